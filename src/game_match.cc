// The match tick: the running mod, the world and the mod layer advanced once per frame.
#include "game_match.h"

#include <cfloat>
#include <cstring>

#include "game.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "mods_update.h"
#include "vantor_step.h"
#include "vantor_view.h"

// A mod parameter as a number; 0 without a running mod or when it is not a number.
static double _match_param(Game *g, const char *key) {
  return g->mods ? g->mods->param_get(key).number() : 0.0;
}

// "ticks" as a pass count: non-numbers, NaN and anything below 1 give one pass, and a mod cannot ask
// for more passes than a frame can possibly use.
static int _match_ticks(Game *g) {
  double ticks = _match_param(g, "ticks");
  if (!(ticks >= 1)) return 1;
  return ticks > 1000 ? 1000 : (int)ticks;
}

// The pass's time step: the frame time dt scaled by "speed". A step that is no finite number of
// seconds of 0 or more (a NaN, infinite or negative speed, or one whose step no float holds) is 0:
// the match holds still, and the mod's _loop is told so with 0, never with a number Lua cannot use.
static float _match_step(Game *g, float dt) {
  const double d = _match_param(g, "speed") * (double)dt;
  return d > 0 && d <= FLT_MAX ? (float)d : 0.0f;
}

void game_match_tick(Game *g, float dt) {
  for (int pass = 0;;) {
    const float d = _match_step(g, dt);
    if (g->mods_base) g->mods_base->loop(d);
    vantor_step(&g->data.vantor, d, true);
    if (g->mods_base) mods_update(g);
    if (strcmp(g->names.current, "states_play") != 0) return;
    if (++pass >= _match_ticks(g)) return;
  }
}

int vantor_player_mark(Game *g, int which) {
  World *world = &g->data.vantor;
  const char *device = g->settings.device_id;
  int player = 0;
  if (device[0]) {
    for (int n = 1; n < VANTOR_ITEMS; n++) {
      const Item &item = world->items[n];
      if (item.in_use && item.has_user && strncmp(item.user_uid, device, sizeof item.user_uid) == 0) player = n;
    }
  }
  if (!player) {
    double wanted = _match_param(g, which == 2 ? "player2" : "player");
    player = wanted >= 1 && wanted < VANTOR_ITEMS ? (int)wanted : 0;
  }
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    Item &item = world->items[n];
    if (item.in_use && item.has_user) item.has_player = n == player;
  }
  return player;
}

int view_event_hud(Game *g, View *view, Event e) {
  return view_event(&g->data.vantor, view, vantor_player_mark(g, 0), e, 1);
}

bool states_quit_event(Game *g, var e) {
  if (!g->mods) return false;
  g->mods->param_set("quit", var(true));
  if (g->mods_base) mods_event(g, e);
  if (!g->mods || !g->mods->param_get("quit").truth()) return true;
  g->mods->param_set("state", var("quit"));
  return false;
}
