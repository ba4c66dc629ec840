// What the fuzz targets over the mods runtime share: one headless game with an opened runtime.
#pragma once

#include "game.h"
#include "kez_driver-sdl2.h"
#include "mods_api.h"
#include "mods_budget.h"
#include "mods_budget_internal.h"
#include "mods_lua.h"

// The runtime of a headless game, made on first use and kept for every input. The time limit is
// lifted: on a busy or virtual machine a trivial call now and then reads tens of milliseconds of
// processor time, which would fail an input for where it ran; the instruction budget still ends
// every runaway mod, and libFuzzer's per-input timeout catches a hang.
inline ModsLua *fuzz_mods_runtime() {
  static ModsLua *lua;
  if (!lua) {
    _mods_budget_time_set(3600000);
    if (!app_info) driver_app_create();
    Game *game = new Game();
    game->headless = 1;
    ModsAPI *api = new ModsAPI(game);
    lua = new ModsLua(api);
    game->mods = api;
    game->mods_base = lua;
    lua->open();
  }
  return lua;
}
