// The small pages: the start-up splash and the static thanks, clans and store pages.
#pragma once

#include "menus.h"

// "menus_splash": the logo alone; after a quarter second it moves on to "menus_play".
class MenusSplash : public MenusState {
 public:
  using MenusState::MenusState;
  // Shows the logo and restarts the timer.
  void init() override;
  // The root's events only: the splash has no buttons.
  void event(Event e) override;
  // Counts the time and changes to "menus_play" once it reaches the splash time.
  void loop(float dt) override;

  float elapsed = 0;  // seconds since init
};

// "menus_stats": the thank-you page for backers.
class MenusStats : public MenusState {
 public:
  using MenusState::MenusState;
  void init() override;
};

// "menus_clans": the clan page with its one button, which opens the clan web page.
class MenusClans : public MenusState {
 public:
  using MenusState::MenusState;
  void init() override;
  void event(Event e) override;
};

// "menus_store": the store placeholder.
class MenusStore : public MenusState {
 public:
  using MenusState::MenusState;
  void init() override;
};
