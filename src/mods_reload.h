// Reloading the mod's files: on request, and when one of them changed on disk and has settled.
#pragma once

#include <cstdint>
#include <string>

struct Game;

// Forgets the mod's files and runs the main file again; the console is cleared. Returns the error
// that kept the main file from running ("file missing", a NUL byte); "" when it ran, even if it failed.
std::string mods_reload(Game *game);
// mods_reload when a file of the mod changed on disk at least two seconds ago; looks at most once a
// wall-clock second.
void mods_reload_auto(Game *game);
