// What the fuzz targets over the mods runtime share: one headless game with an opened runtime.
#pragma once

#include "game.h"
#include "kez_driver-sdl2.h"
#include "mods_api.h"
#include "mods_lua.h"

// The runtime of a headless game, made on first use and kept for every input.
inline ModsLua *fuzz_mods_runtime() {
  static ModsLua *lua;
  if (!lua) {
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
