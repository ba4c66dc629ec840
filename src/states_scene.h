// Scene and tabs states: a live match world without the match HUD, for mods that use the world as a
// picture or a board; the scene full screen, the tabs state between the bands of a tabbed page.
#pragma once

#include <string>

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
  // The scene picture: backdrop, stars, world and root.
  void game_paint() override;

 private:
  int gl_errors[4] = {0, 0, 0, 0};  // the last glGetError each painting step saw
  void gl_check(int step);
};

// "states_tabs": the world between the 44-unit bands of a tabbed page. The top band holds the strip of
// the mod's "tabs" list with its "tab" selected; the bottom band the bar back to the screen below, when
// there is one. The mod's own page lies over the world between the bands.
class StatesTabs : public StatesMatch {
 public:
  using StatesMatch::StatesMatch;
  // The full-screen widget, the tab strip and the bottom bar.
  void build() override;
  void init() override;
  void paint() override;
  // Tab clicks go to menus_tabs_handle; a tab it does not know is the mod's own and goes to the mod.
  // Escape presses the bottom bar, or without one reaches the mod as the "resume" click.
  void event(Event e) override;
  // Rebuilds the strip when the mod changed "tabs" or "tab", then the mod screen, chat and match.
  void loop(float dt) override;

 private:
  std::string shown_tabs, shown_tab;  // the params the strip was built from
  void frame_params(std::string &tabs, std::string &tab);
};
