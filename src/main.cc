// Program entry: create the game, run frames until it quits, then shut it down.
#include "game.h"

int main(int argc, char **argv) {
  game_create(argc, argv);
  while (!game_should_quit()) {
    game_pump_events();
    if (game) game->loop();
    if (game) game->paint();
  }
  game_destroy();
  return game_exit_status();
}
