// The step after every frame and every event of the mod: events into the mod, and the screen its
// "state" param asks for (home, back, exit and quit among them).
#pragma once

#include "kez_var.h"

struct Game;

// Goes home: to the screen the running mod's "state" names; when it names none, the main script
// starts afresh (or, when the main script quits as it starts, the engine's main menu takes over).
void mods_home(Game *game);
// Back to the screen below the current one; a screen that replaced the one it was opened from (a
// mod or page started from a tab or a link) has none, and the player would be stuck: home instead.
void mods_back(Game *game);
// The step after every frame and every mod event: reloads changed files, services the mod's own
// endpoint and follows the "state" param (screens, "exit", "quit": back to the screen below, or home
// when there is none). Nothing without a mod.
void mods_update(Game *game);
// Hands one event to the running mod, then mods_update; "mods_popup_dismiss" only removes the mod
// screen's popup. Nothing without a mod.
void mods_event(Game *game, var e);
