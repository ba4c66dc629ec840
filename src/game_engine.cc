// The shell's side of the match engine's table of calls: sound, UI size, view options, the pause
// screen, the main world, the network client and the running mod, each read from the global game.
#include "game_engine.h"

#include <cstring>
#include <string>

#include "game.h"
#include "mods_api.h"
#include "mods_update.h"
#include "vantor_host.h"

static bool _engine_sfx_volume(float *volume) {
  if (!game || game->headless) return false;
  *volume = game->settings.sound_volume / 100.0f;
  return true;
}

static int _engine_ui_size() { return game ? game->settings.vsize : 0; }

static bool _engine_colorblind() { return game && game->view.ui[VIEW_UI_COLORBLIND] > 0; }

static bool _engine_paused() {
  return game && strncmp(game->names.current, "states_pause", sizeof(game->names.current)) == 0;
}

static World *_engine_world() { return game ? &game->data.vantor : nullptr; }

static Net *_engine_client() { return game ? game->client : nullptr; }

static void _engine_mod_event(var event) {
  if (game && game->mods_base) mods_event(game, event);
}

// A mod's "state" of "tabs" or "scene" is a screen of its own over the match.
static bool _engine_mod_screen() {
  if (!game || !game->mods || !game->mods_base) return false;
  std::string state = game->mods->param_get("state").str();
  return state == "tabs" || state == "scene";
}

static const VantorHost GAME_ENGINE_HOST = {
    _engine_sfx_volume, _engine_ui_size, _engine_colorblind, _engine_paused,
    _engine_world,      _engine_client,  _engine_mod_event,  _engine_mod_screen,
};

void game_engine_connect() { vantor_host = &GAME_ENGINE_HOST; }
