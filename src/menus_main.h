// The main menu: logo and the Play, Practice, Mods, Settings and Quit buttons over the backdrop.
#pragma once

#include "menus.h"

// "menus_main": each showing stops the running mod and starts the menu music. Opened over another
// page, it has a "Back" bar.
class MenusMain : public MenusState {
 public:
  using MenusState::MenusState;
  // Builds the page.
  void init() override;
  // The bar (and Escape) go back; Quit ends the program; every other button pushes the page it names
  // over the menu (Play: the sign-in page, or without a web service the quick match).
  void event(Event e) override;
};
