// The shell's side of the match engine's table of calls (vantor_host): what the engine asks of the game.
#pragma once

// Points vantor_host at the game's answers. Each answer reads the global game at the time of the
// call, so the table stays valid as games come and go; with no game they give the engine's defaults.
void game_engine_connect();
