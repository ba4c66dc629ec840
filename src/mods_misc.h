// Running the mod: start and stop, the step after every frame and event, events into the mod, and
// reloading its files (on request and when they change on disk).
#pragma once

#include <cstdint>
#include <string>

#include "kez_var.h"

struct Game;

// The main script every windowed run starts with.
constexpr const char *MODS_MAIN_SCRIPT = "Quorvex.lua";

// Starts (or restarts) the mod of game->mod_file: a fresh context with the command line's free
// "-key value" pairs and the engine's params, a fresh Lua runtime, the main file run, then _init.
// Returns why the mod could not start ("file missing", the first line of the Lua error of its main
// file, of a file it requires or of _init); "" when it started.
std::string mods_start(Game *game);
// Starts the main script, MODS_MAIN_SCRIPT of the data folder: the home screen of a windowed run.
void mods_start_main(Game *game);
// Goes home: to the screen the running mod's "state" names; when it names none, the main script
// starts afresh (or, when the main script quits as it starts, the engine's main menu takes over).
void mods_home(Game *game);
// Back to the screen below the current one; a screen that replaced the one it was opened from (a
// mod or page started from a tab or a link) has none, and the player would be stuck: home instead.
void mods_back(Game *game);
// Stops the running mod (nothing without one) and closes the game's network endpoints; the world is
// reset and data files are looked up in the data folder again.
void mods_stop(Game *game);
// The step after every frame and every mod event: reloads changed files, services the mod's own
// endpoint and follows the "state" param (screens, "exit", "quit": back to the screen below, or home
// when there is none). Nothing without a mod.
void mods_update(Game *game);
// Hands one event to the running mod, then mods_update; "mods_popup_dismiss" only removes the mod
// screen's popup. Nothing without a mod.
void mods_event(Game *game, var e);
// Forgets the mod's files and runs the main file again; the console is cleared. Returns the error
// that kept the main file from running ("file missing", a NUL byte); "" when it ran, even if it failed.
std::string mods_reload(Game *game);
// mods_reload when a file of the mod changed on disk at least two seconds ago; looks at most once a
// wall-clock second.
void mods_reload_auto(Game *game);

// Module-internal, open to the tests: replaces the wall clock (seconds) of the reload check; null
// restores it.
void _mods_clock_set(int64_t (*now)());
