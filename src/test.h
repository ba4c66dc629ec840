// Developer screens: "test", a loopback run of the network endpoints, and (test_magnetset.h)
// "test_magnetset", a random planet layout generator.
#pragma once

#include "menus.h"

struct Game;

// The loopback screen: each init runs a server and a client in this process for 100 short passes and
// logs every message either one receives.
class Test : public MenusState {
 public:
  using MenusState::MenusState;
  // Runs the loopback exchange; the screen freezes while it runs.
  void init() override;
  // Escape leaves (tests_leave), space runs the exchange again; then the page gets the event.
  void event(Event e) override;
};

// Creates the developer screens for game and registers them as "test" and "test_magnetset".
void tests_init(Game *game);
// Leaves a developer screen for the splash, which leads on to a quick match.
void tests_leave(Game *game);
