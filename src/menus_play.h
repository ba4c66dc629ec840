// The pages that hand the screen to a mod: play, practice (classic), the mods list and the page a mode
// chosen there starts on.
#pragma once

#include "menus.h"

// "menus_play": the framed background while the play mod takes over the screen.
class MenusPlay : public MenusState {
 public:
  using MenusState::MenusState;
  // Starts (or restarts) "mod_play.lua".
  void init() override;
};

// "menus_lite": the framed background while the classic mod takes over the screen.
class MenusLite : public MenusState {
 public:
  using MenusState::MenusState;
  // Starts (or restarts) "mod_classic.lua".
  void init() override;
};

// "menus_run": the framed background while the mod of the Game's mod file takes over the screen. The
// mods page pushes it, so the mode's first screen replaces it and leaving the mode pops back to the list.
class MenusRun : public MenusState {
 public:
  using MenusState::MenusState;
  // Starts (or restarts) the Game's mod file.
  void init() override;
};

// "menus_mods": buttons for the bundled mods and a field for a mod file of the player's own.
class MenusMods : public MenusState {
 public:
  using MenusState::MenusState;
  // Builds the list; the field shows the current mod file (the desktop folder when there is none).
  void init() override;
  // A mod button starts that data file over this page, "open" the field's path; "magnet" changes to
  // the planet layouts.
  void event(Event e) override;
};
