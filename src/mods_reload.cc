// Reloading the mod's files: on request, and once a changed file has settled on disk.
#include "mods_reload.h"
#include "mods_reload_internal.h"

#include <cstring>
#include <ctime>
#include <string>

#include "game.h"
#include "kez_driver-files.h"
#include "kez_log.h"
#include "mods_api.h"

constexpr int64_t RELOAD_SETTLE = 2;  // seconds a changed file must rest before it is reloaded

static int64_t _mods_wall_clock() { return (int64_t)time(nullptr); }
static int64_t (*_mods_now)() = _mods_wall_clock;
static int64_t _mods_reload_checked;  // the second of the last reload check

// Open to the tests: replaces the wall clock (seconds) of the reload check; null restores it.
void _mods_clock_set(int64_t (*now)()) { _mods_now = now ? now : _mods_wall_clock; }

std::string mods_reload(Game *g) {
  ModsAPI *api = g->mods;
  if (!api) return "";
  api->console_lines.clear();
  api->sounds_checked.clear();  // a missing sound is told again in the fresh console
  LOG_PRINTF("mods_reload: %s\n", g->mod_file);
  api->files.clear();
  api->require(std::string(g->mod_file, strnlen(g->mod_file, sizeof g->mod_file)));
  // A missing main file is logged; left pending, its error would be raised by the mod's next call.
  const std::string missing = api->error_flag ? api->error : "";
  api->error.clear();
  api->error_flag = 0;
  return missing;
}

void mods_reload_auto(Game *g) {
  ModsAPI *api = g->mods;
  int64_t now = _mods_now();
  if (!api || now == _mods_reload_checked) return;
  _mods_reload_checked = now;
  bool changed = false;
  for (const ModsFile &file : api->files) {
    int64_t mtime = driver_file_mtime(file.path.c_str());
    if (mtime > file.mtime && mtime <= now - RELOAD_SETTLE) changed = true;
  }
  if (!changed) return;
  LOG_PRINTF("reload...\n");
  mods_reload(g);
}
