// The planet layout generator screen "test_magnetset": random planets of four users, shaken and
// settled, shown with the match view and renderer; space makes the next layout.
#pragma once

#include <cstdint>

#include "menus.h"

struct Game;

class TestMagnetSet : public MenusState {
 public:
  using MenusState::MenusState;
  // Makes the layout of the next seed (1 on the first call) and starts the simulation.
  void init() override;
  // Clears the screen, then paints the world, the HUD and the quit button.
  void paint() override;
  // Escape or the quit button leave (tests_leave); space makes the next layout and does nothing else;
  // other events go to the match view.
  void event(Event e) override;
  // Advances the page and, while running, the world by dt seconds.
  void loop(float dt) override;

  int32_t seed = 0;     // the layout shown; the next init uses seed + 1
  int32_t running = 0;  // 1 while the world steps
};
