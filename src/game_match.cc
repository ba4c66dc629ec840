// The match tick: the running mod, the world and the mod layer advanced once per frame.
#include "game_match.h"

#include <cmath>
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

void game_match_tick(Game *game, float dt) {
  for (int pass = 0;;) {
    float d = (float)_match_param(game, "speed") * dt;
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
