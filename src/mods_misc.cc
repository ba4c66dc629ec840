// Running the mod: start, stop, the per-frame step, events and file reloads.
#include "mods_misc.h"

#include <cstring>
#include <ctime>
#include <string>

#include "game.h"
#include "game_identity.h"
#include "game_net.h"
#include "game_settings.h"
#include "game_video.h"
#include "kez_driver-files.h"
#include "kez_log.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "net.h"
#include "vantor_world.h"

static const char *const VINFO = "brevane2.4-Desktop-Win32-Steamworks";
static const char *const VERSION = "brevane2.4";
constexpr int TRANS_FADE = 2;         // the screen transition of a state switch
constexpr int64_t RELOAD_SETTLE = 2;  // seconds a changed file must rest before it is reloaded

static int64_t _mods_wall_clock() { return (int64_t)time(nullptr); }
static int64_t (*_mods_now)() = _mods_wall_clock;
static int64_t _mods_reload_checked;  // the second of the last reload check

void _mods_clock_set(int64_t (*now)()) { _mods_now = now ? now : _mods_wall_clock; }

// The screens the "state" param names; mode 2 is the two-player layout ("player2").
static const struct {
  const char *state;
  const char *target;
  int mode;  // 0: either
} MODS_STATES[] = {
    {"menu", "states_menu", 0},   {"play", "states_play", 1},     {"pause", "states_pause", 1},
    {"play", "states_play2", 2},  {"pause", "states_pause2", 2},  {"lobby", "states_lobby", 0},
    {"scene", "states_scene", 0}, {"dialog", "states_dialog", 0}, {"overlay", "states_overlay", 0},
    {"tabs", "states_tabs", 0},   {"xtabs", "states_tabs", 0},
};

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

// The engine's params: identity, version, the first screen and the network address.
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
  lua->open();
  game->mods_base = lua;
  const std::string missing = mods_reload(game);
  lua->init();
  // Read before the update: a "quit" state may stop the mod there.
  const std::string failure = missing.empty() ? lua->failure : missing;
  mods_update(game);
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

static bool _mods_begins(const char *text, const char *prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

// Switches to the screen the running mod's "state" param names ("play" and "pause" with a second
// local player lead to the two-player screens), unless it is showing already; false when no mod runs
// or the param names no screen.
static bool _mods_state_follow(Game *game) {
  ModsAPI *api = game->mods;
  if (!api) return false;
  const std::string state = api->param_get("state").str();
  const int mode = api->param_get("player2").number() != 0 ? 2 : 1;
  for (const auto &row : MODS_STATES) {
    if (state != row.state || (row.mode && row.mode != mode)) continue;
    if (strcmp(game->names.current, row.target) != 0) state_change(row.target, &game->names, TRANS_FADE);
    return true;
  }
  return false;
}

void mods_start_main(Game *game) {
  game_settings_copy_text(game->mod_file, sizeof game->mod_file, driver_data_path(MODS_MAIN_SCRIPT));
  mods_start(game);
}

void mods_home(Game *game) {
  static bool starting;  // set while the main script starts: it may quit at once, from its _init
  if (_mods_state_follow(game)) return;
  if (starting) {
    // A main script that cannot show the home must not be started over and over.
    state_change("menus_main", &game->names, TRANS_FADE);
    return;
  }
  starting = true;
  mods_start_main(game);
  starting = false;
}

void mods_back(Game *game) {
  if (game->names.stack[1][0]) {
    state_pop(&game->names);
  } else {
    mods_home(game);
  }
}

static void _mods_quit(Game *game) {
  game_net_client_close(game);
  game_net_server_close(game);
  mods_back(game);
}

void mods_update(Game *game) {
  ModsAPI *api = game->mods;
  if (!api) return;
  mods_reload_auto(game);
  api->poke.loop();
  const std::string state = api->param_get("state").str();
  if (game->headless) {
    if (state == "quit") {
      Event quit = Event();
      quit.type = EVT_QUIT;
      game->event(quit);
    }
    return;
  }
  api->param_set("orient", var(game_ui_width() < game_ui_height()));
  if (_mods_begins(game->names.current, "menus_settings_") && state != "play") return;
  if (_mods_begins(game->names.current, "menus_error")) return;
  if (state == "exit") game->quit = 1;
  _mods_state_follow(game);
  if (state == "quit") _mods_quit(game);
}

void mods_event(Game *game, var e) {
  ModsAPI *api = game->mods;
  if (!api || !game->mods_base) return;
  if (e.type() == VAR_DICT && e.has(var("type")) && e["type"].str() == "mods_popup_dismiss") {
    Widget *popup = api->screen.find("popup");
    if (popup && popup->parent) popup->parent->remove(popup);
    api->param_store("html", var(""));
    return;
  }
  game->mods_base->event(e);
  mods_update(game);
}

std::string mods_reload(Game *game) {
  ModsAPI *api = game->mods;
  if (!api) return "";
  api->console_lines.clear();
  LOG_PRINTF("mods_reload: %s\n", game->mod_file);
  api->files.clear();
  api->require(std::string(game->mod_file, strnlen(game->mod_file, sizeof game->mod_file)));
  // A missing main file is logged; left pending, its error would be raised by the mod's next call.
  const std::string missing = api->error_flag ? api->error : "";
  api->error.clear();
  api->error_flag = 0;
  return missing;
}

void mods_reload_auto(Game *game) {
  ModsAPI *api = game->mods;
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
  mods_reload(game);
}
