// Scene and tabs states: a live match world without the match HUD, for mods that use the world as a
// picture or a board; the scene full screen, the tabs state between the bands of a tabbed page.
#pragma once

#include "states_play.h"

// "states_scene": the world full screen under the chat panel and a pause icon.
class StatesScene : public StatesMatch {
 public:
  using StatesMatch::StatesMatch;
  void build() override;
  void init() override;
  void paint() override;
  void event(Event e) override;
  void loop(float dt) override;
  // The scene picture: backdrop, stars, world and root (what the dialog and overlay show underneath).
  void game_paint();

 private:
  int gl_errors[4] = {0, 0, 0, 0};  // the last glGetError each painting step saw
  void gl_check(int step);
};

// "states_tabs": the world between the 44-unit bands of the mod's tabbed page.
class StatesTabs : public StatesMatch {
 public:
  using StatesMatch::StatesMatch;
  void init() override;
  void paint() override;
  void event(Event e) override;
  void loop(float dt) override;
};
