// Starting and stopping the mod: a fresh context with its params and a fresh Lua runtime, the main
// script of a windowed run, and the teardown of both with the game's network endpoints.
#pragma once

#include <string>

struct Game;

// The main script every windowed run starts with.
constexpr const char *MODS_MAIN_SCRIPT = "Quorvex.lua";

// Starts (or restarts) the mod of game->mod_file: a fresh context with the command line's free
// "-key value" pairs and the engine's params, a fresh Lua runtime, the main file run, then _init.
// Returns why the mod could not start (a library file that cannot be read or run, "file missing",
// the first line of the Lua error of its main file, of a file it requires or of _init); "" when it
// started. Only a mod that started gets its first update, which shows its screen.
std::string mods_start(Game *game);
// Starts the main script, MODS_MAIN_SCRIPT of the data folder: the home screen of a windowed run.
// When it cannot start, the error page says why over the classic main menu.
void mods_start_main(Game *game);
// Stops the running mod (nothing without one) and closes the game's network endpoints; the world is
// reset and data files are looked up in the data folder again.
void mods_stop(Game *game);
