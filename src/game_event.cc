// Global event dispatch: the application-wide events and shortcuts, then the current state.
#include <SDL.h>

#include <cstring>

#include "game.h"
#include "game_video.h"
#include "kez_log.h"
#include "trans.h"

// Any Ctrl, Alt or GUI key, left or right, from SDL's own keyboard state.
static const int SHORTCUT_MODS = 0x0FC0;

static bool _event_shortcut(const Event &e, int key) {
  return e.type == EVT_KEYDOWN && e.key == key && (SDL_GetModState() & SHORTCUT_MODS) != 0;
}

// The pointer's raw types and their generic twins, which the states read after the raw one.
static int _event_generic_type(int type) {
  switch (type) {
    case EVT_MOUSEDOWN:
    case EVT_TOUCHDOWN: return EVT_DOWN;
    case EVT_MOUSEMOVE:
    case EVT_TOUCHMOVE: return EVT_MOVE;
    case EVT_MOUSEUP:
    case EVT_TOUCHUP: return EVT_UP;
  }
  return 0;
}

// Returns true when the event is consumed here and reaches no state.
static bool _event_global(Game *g, Event &e) {
  if (_event_shortcut(e, KEY_F)) {
    g->settings.vfull = g->settings.vfull == 1 ? -1 : 1;
    g->video_apply();
  }
  if (_event_shortcut(e, KEY_Q)) {
    g->event(Event(EVT_SUSPEND));
    g->quit = 1;
    return true;
  }
  if (_event_shortcut(e, KEY_R)) g->event(Event(EVT_RESET));
  const char *state = g->names.current;
  bool split = strcmp(state, "states_play2") == 0 || strcmp(state, "states_pause2") == 0;
  if (e.type == EVT_ROTATE && !split && game_video_rotation() != (float)e.key) {
    game_video_refit((float)e.key);
    g->state_reinit();
  } else if (e.type == EVT_RESIZE) {
    if (game_video_resize((int)e.w, (int)e.h)) g->state_reinit();
  } else if (e.type == EVT_RESET) {
    log_printf(__FILE__, __LINE__, "Game::event", "EVT_RESET");
    if (driver_window()) _sdl2_create_context(driver_window());
    game_video_reset(1);
    g->state_reinit();
  } else if (e.type == EVT_SUSPEND) {
    log_printf(__FILE__, __LINE__, "Game::event", "EVT_SUSPEND");
    game_settings_save(&g->settings);
  } else if (e.type == EVT_RESUME) {
    log_printf(__FILE__, __LINE__, "Game::event", "EVT_RESUME");
  } else if (e.type == EVT_KEYDOWN) {
    game_mouse_grab_key(e.key);
  }
  return false;
}

void Game::event(Event e) {
  if (e.type == EVT_QUIT) {
    quit = 1;
    return;
  }
  if (e.type == EVT_LOGIN || e.type == EVT_LOGOUT) {
    game_identity_update(this);
    return;
  }
  if (headless) return;
  if (_event_global(this, e)) return;
  game_video_pointer(e);
  if (trans_running() && e.type != EVT_KEYDOWN && e.type != EVT_KEYUP) return;
  state_event(names.current, e);
  int generic = _event_generic_type(e.type);
  if (!generic) return;
  e.type = generic;
  event(e);
}
