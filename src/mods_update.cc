// The step after every frame and event of the mod: events into it, and the screens it asks for.
#include "mods_update.h"

#include <cstring>
#include <string>

#include "game.h"
#include "game_net.h"
#include "game_video.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "mods_reload.h"
#include "mods_start.h"

constexpr int TRANS_FADE = 2;  // the screen transition of a state switch

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

static bool _mods_begins(const char *text, const char *prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

// Switches to the screen the running mod's "state" param names ("play" and "pause" with a second
// local player lead to the two-player screens), unless it is showing already; false when no mod runs
// or the param names no screen.
static bool _mods_state_follow(Game *g) {
  ModsAPI *api = g->mods;
  if (!api) return false;
  const std::string state = api->param_get("state").str();
  const int mode = api->param_get("player2").number() != 0 ? 2 : 1;
  for (const auto &row : MODS_STATES) {
    if (state != row.state || (row.mode && row.mode != mode)) continue;
    if (strcmp(g->names.current, row.target) != 0) state_change(row.target, &g->names, TRANS_FADE);
    return true;
  }
  return false;
}

void mods_home(Game *g) {
  static bool starting;  // set while the main script starts: it may quit at once, from its _init
  if (_mods_state_follow(g)) return;
  if (starting) {
    // A main script that cannot show the home must not be started over and over.
    state_change("menus_main", &g->names, TRANS_FADE);
    return;
  }
  starting = true;
  mods_start_main(g);
  starting = false;
}

void mods_back(Game *g) {
  if (g->names.stack[1][0]) {
    state_pop(&g->names);
  } else {
    mods_home(g);
  }
}

static void _mods_quit(Game *g) {
  game_net_client_close(g);
  game_net_server_close(g);
  mods_back(g);
}

void mods_update(Game *g) {
  ModsAPI *api = g->mods;
  if (!api) return;
  mods_reload_auto(g);
  api->poke.loop();
  const std::string state = api->param_get("state").str();
  if (g->headless) {
    if (state == "quit") {
      Event quit = Event();
      quit.type = EVT_QUIT;
      g->event(quit);
    }
    return;
  }
  api->param_set("orient", var(game_ui_width() < game_ui_height()));
  if (_mods_begins(g->names.current, "menus_settings_") && state != "play") return;
  if (_mods_begins(g->names.current, "menus_error")) return;
  if (state == "exit") g->quit = 1;
  _mods_state_follow(g);
  if (state == "quit") _mods_quit(g);
}

void mods_event(Game *g, var e) {
  ModsAPI *api = g->mods;
  if (!api || !g->mods_base) return;
  if (e.type() == VAR_DICT && e.has(var("type")) && e["type"].str() == "mods_popup_dismiss") {
    Widget *popup = api->screen.find("popup");
    if (popup && popup->parent) popup->parent->remove(popup);
    api->param_store("html", var(""));
    return;
  }
  g->mods_base->event(e);
  mods_update(g);
}
