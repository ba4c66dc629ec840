// The mods console: the running mod's log over the screen, a Lua prompt that runs lines in the mod's
// state, and the function keys F1 (toggle), F2 (clear) and F5 (restart the mod).
#pragma once

#include "kez_driver-sdl2.h"

struct Game;
class ModsAPI;

// Offers one input event to the console of the game's running mod: 1 when the console consumed it,
// 0 when the caller should handle it (always 0 without a mod).
int mods_console_event(Game *game, Event e);
// Draws the console: the shaded page with the log while shown, the header bar once there is a line.
void mods_console_paint(ModsAPI *api);
