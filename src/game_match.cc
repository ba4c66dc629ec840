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
static double _match_param(Game *game, const char *key) {
  return game->mods ? game->mods->param_get(key).number() : 0.0;
}

// "ticks" as a pass count: non-numbers, NaN and anything below 1 give one pass, and a mod cannot ask
// for more passes than a frame can possibly use.
static int _match_ticks(Game *game) {
  double ticks = _match_param(game, "ticks");
  if (!(ticks >= 1)) return 1;
  return ticks > 1000 ? 1000 : (int)ticks;
}

// The pass's time step: the frame time dt scaled by "speed". A step that is no finite number of
// seconds of 0 or more (a NaN, infinite or negative speed, or one whose step no float holds) is 0:
// the match holds still, and the mod's _loop is told so with 0, never with a number Lua cannot use.
static float _match_step(Game *game, float dt) {
  const double d = _match_param(game, "speed") * (double)dt;
  return d > 0 && d <= FLT_MAX ? (float)d : 0.0f;
}

void game_match_tick(Game *game, float dt) {
  for (int pass = 0;;) {
    const float d = _match_step(game, dt);
    if (game->mods_base) game->mods_base->loop(d);
    vantor_step(&game->data.vantor, d, true);
    if (game->mods_base) mods_update(game);
    if (strcmp(game->names.current, "states_play") != 0) return;
    if (++pass >= _match_ticks(game)) return;
  }
}

int vantor_player_mark(Game *game, int which) {
  World *world = &game->data.vantor;
  const char *device = game->settings.device_id;
  int player = 0;
  if (device[0]) {
    for (int n = 1; n < VANTOR_ITEMS; n++) {
      const Item &item = world->items[n];
      if (item.in_use && item.has_user && strncmp(item.user_uid, device, sizeof item.user_uid) == 0) player = n;
    }
  }
  if (!player) {
    double wanted = _match_param(game, which == 2 ? "player2" : "player");
    player = wanted >= 1 && wanted < VANTOR_ITEMS ? (int)wanted : 0;
  }
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    Item &item = world->items[n];
    if (item.in_use && item.has_user) item.has_player = n == player;
  }
  return player;
}

int view_event_hud(Game *game, View *view, Event e) {
  return view_event(&game->data.vantor, view, vantor_player_mark(game, 0), e, 1);
}

bool states_quit_event(Game *game, var e) {
  if (!game->mods) return false;
  game->mods->param_set("quit", var(true));
  if (game->mods_base) mods_event(game, e);
  if (!game->mods || !game->mods->param_get("quit").truth()) return true;
  game->mods->param_set("state", var("quit"));
  return false;
}
