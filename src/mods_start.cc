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
static void _mods_args_params(Game *g, ModsAPI *api) {
  for (int i = 0; i + 1 < g->argc; i++) {
    const char *arg = g->argv[i];
    if (arg[0] == '-' && !_mods_game_option(arg)) api->param_set(arg + 1, var(g->argv[i + 1]));
  }
}

// The engine's params: identity, version, the first screen, the network address and whether the game
// has a web service ("web" 1; absent without one), which the campaign needs.
static void _mods_engine_params(Game *g, ModsAPI *api) {
  api->param_set("vinfo", var(VINFO));
  api->param_set("version", var(VERSION));
  api->param_set("html", var(""));
  api->param_set("state", var("menu"));
  api->param_set("tab", var("mods"));
  api->param_set("speed", var(1));
  api->param_set("ticks", var(1));
  api->param_set("name", var(game_user_name(g)));
  api->param_set("uid", var(net_public_id(game_user_uid(g))));
  api->param_set("player", var(0));
  if (g->headless) api->param_store("headless", var(1));
  if (g->port) api->param_store("port", var(g->port));
  if (game_web_configured()) api->param_store("web", var(1));
  if (g->server_name[0]) {
    var pieces;
    str_split(pieces, game_settings_text(g->server_name, sizeof g->server_name), ":");
    api->param_store("host", pieces[0]);
    api->param_store("port", pieces.len() > 1 ? pieces[1] : var());  // no ':': no port
  }
  api->param_set("platform", var("Win32"));
}

std::string mods_start(Game *g) {
  mods_stop(g);
  ModsAPI *api = new ModsAPI(g);
  g->mods = api;
  _mods_args_params(g, api);
  _mods_engine_params(g, api);
  ModsLua *lua = new ModsLua(api);
  const std::string library = lua->open();
  g->mods_base = lua;
  const std::string missing = mods_reload(g);
  lua->init();
  // Read before the update: a "quit" state may stop the mod there. A broken library file comes
  // first: the mod's own errors follow from it.
  const std::string failure = !library.empty() ? library : !missing.empty() ? missing : lua->failure;
  // A mod that failed shows nothing: the screen stays as it was, for the caller to tell why.
  if (failure.empty()) mods_update(g);
  return failure;
}

void mods_stop(Game *g) {
  if (app_info) memset(app_info->data_override, 0, sizeof app_info->data_override);
  game_net_client_close(g);
  game_net_server_close(g);
  vantor_world_reset(&g->data.vantor);
  g->view.initialised = 0;
  delete g->mods_base;  // its destructor still reaches the context
  g->mods_base = nullptr;
  delete g->mods;
  g->mods = nullptr;
}

void mods_start_main(Game *g) {
  const std::string path = driver_data_path(MODS_MAIN_SCRIPT);
  game_settings_copy_text(g->mod_file, sizeof g->mod_file, path.c_str());
  const std::string failure = mods_start(g);
  if (failure.empty()) return;
  mods_stop(g);
  // The home screen is the main script's: the classic main menu, which needs no mod, stands in
  // beneath the page that says why.
  state_change("menus_main", &g->names, -1);
  menus_error_text(g, "The game cannot start its main script " + path + ": " + failure +
                             ". Its files are damaged: reinstalling the game repairs them.");
}
