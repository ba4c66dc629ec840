// The engine's one way up: the table of calls the program around the match engine sets at start-up.
#pragma once

class Net;
class var;
struct World;

// What the engine needs from the program that runs it, asked through this table rather than by name,
// so that the engine (and the network) build and link without the shell, the menus or the mods above
// them. The program fills every entry; without a table the engine behaves as with no game around it:
// silent, UI size unset, no pause screen, no network client, no mod.
struct VantorHost {
  // False while no sound may play (a headless server); else the sound-effect volume into volume, the
  // settings' 0..100 scaled to 0..1.
  bool (*sfx_volume)(float *volume);
  // The UI size setting: the screen's shorter side in UI units; 0 or less when unset.
  int (*ui_size)();
  // The colour-blind option of the main screen's view: true when on.
  bool (*colorblind)();
  // True while the pause screen shows the match under it.
  bool (*paused)();
  // The world of the main screen, into which the HUD replays a gesture that leaves its slider.
  World *(*world)();
  // The network client through which a player's orders go; null offline.
  Net *(*client)();
  // Hands a pointer event dict to the running mod; nothing when no mod runs.
  void (*mod_event)(var event);
  // True while the running mod shows its own screen over the match.
  bool (*mod_screen)();
};

// The program's table; null until it sets one.
extern const VantorHost *vantor_host;

// The UI size: the setting, or 480 when it is unset or there is no table.
int vantor_ui_size();
// The window's width (height) in UI units: the shorter window side measures vantor_ui_size. 0 before
// a window exists.
int vantor_ui_width();
int vantor_ui_height();
