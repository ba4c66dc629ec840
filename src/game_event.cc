// Global event dispatch: the application-wide events and shortcuts, then the current state.
#include <SDL.h>

#include "game.h"
#include "kez_log.h"

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
  state_event(names.current, e);
}
