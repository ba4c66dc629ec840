// Starting and stopping the mod: its params, its runtime, its main file and _init; the teardown.
#include "mods_start.h"

#include <cstring>
#include <string>

#include "game.h"
#include "game_identity.h"
#include "game_net.h"
#include "game_settings.h"
#include "game_web.h"
#include "kez_driver-files.h"
#include "menus.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "mods_reload.h"
#include "mods_update.h"
#include "net.h"
#include "vantor_world.h"

static const char *const VINFO = "brevane2.4-Desktop-Win32-Steamworks";
static const char *const VERSION = "brevane2.4";

// The options the game itself reads; every other "-key value" pair is a param.
static bool _mods_game_option(const char *arg) {
  for (const char *option : {"-name", "-passwd", "-mod", "-headless", "-port"}) {
    if (strcmp(arg, option) == 0) return true;
  }
  return false;
}

// Each free "-key value" pair of the command line as a text param; the value is examined as a key
// in turn, so "-a -b c" gives a = "-b" and b = "c".
static void _mods_args_params(Game *game, ModsAPI *api) {
  for (int i = 0; i + 1 < game->argc; i++) {
    const char *arg = game->argv[i];
    if (arg[0] == '-' && !_mods_game_option(arg)) api->param_set(arg + 1, var(game->argv[i + 1]));
  }
}

// The engine's params: identity, version, the first screen, the network address and whether the game
// has a web service ("web" 1; absent without one), which the campaign needs.
static void _mods_engine_params(Game *game, ModsAPI *api) {
  api->param_set("vinfo", var(VINFO));
  api->param_set("version", var(VERSION));
  api->param_set("html", var(""));
  api->param_set("state", var("menu"));
  api->param_set("tab", var("mods"));
  api->param_set("speed", var(1));
  api->param_set("ticks", var(1));
  api->param_set("name", var(game_user_name(game)));
  api->param_set("uid", var(net_public_id(game_user_uid(game))));
  api->param_set("player", var(0));
  if (game->headless) api->param_store("headless", var(1));
  if (game->port) api->param_store("port", var(game->port));
  if (game_web_configured()) api->param_store("web", var(1));
  if (game->server_name[0]) {
    var pieces;
    str_split(pieces, game_settings_text(game->server_name, sizeof game->server_name), ":");
    api->param_store("host", pieces[0]);
    api->param_store("port", pieces.len() > 1 ? pieces[1] : var());  // no ':': no port
  }
  api->param_set("platform", var("Win32"));
}

std::string mods_start(Game *game) {
  mods_stop(game);
  ModsAPI *api = new ModsAPI(game);
  game->mods = api;
  _mods_args_params(game, api);
  _mods_engine_params(game, api);
  ModsLua *lua = new ModsLua(api);
  const std::string library = lua->open();
  game->mods_base = lua;
  const std::string missing = mods_reload(game);
  lua->init();
  // Read before the update: a "quit" state may stop the mod there. A broken library file comes
  // first: the mod's own errors follow from it.
  const std::string failure = !library.empty() ? library : !missing.empty() ? missing : lua->failure;
  // A mod that failed shows nothing: the screen stays as it was, for the caller to tell why.
  if (failure.empty()) mods_update(game);
  return failure;
}

void mods_stop(Game *game) {
  if (app_info) memset(app_info->data_override, 0, sizeof app_info->data_override);
  game_net_client_close(game);
  game_net_server_close(game);
  vantor_world_reset(&game->data.vantor);
  game->view.initialised = 0;
  delete game->mods_base;  // its destructor still reaches the context
  game->mods_base = nullptr;
  delete game->mods;
  game->mods = nullptr;
}

void mods_start_main(Game *game) {
  const std::string path = driver_data_path(MODS_MAIN_SCRIPT);
  game_settings_copy_text(game->mod_file, sizeof game->mod_file, path.c_str());
  const std::string failure = mods_start(game);
  if (failure.empty()) return;
  mods_stop(game);
  // The home screen is the main script's: the classic main menu, which needs no mod, stands in
  // beneath the page that says why.
  state_change("menus_main", &game->names, -1);
  menus_error_text(game, "The game cannot start its main script " + path + ": " + failure +
                             ". Its files are damaged: reinstalling the game repairs them.");
}
