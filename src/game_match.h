// The match tick: the running mod, the world and the mod layer advanced once per frame.
#pragma once

#include "kez_driver-sdl2.h"
#include "kez_var.h"

struct Game;
struct View;

// Advances the match by dt scaled by the mod's "speed", "ticks" passes per frame in "states_play". A
// scaled step that is no finite number of 0 or more is 0 for the mod's _loop and the world alike.
void game_match_tick(Game *game, float dt);
// Marks the local player's user item (which = 2: the second local player); its number, 0 for none.
int vantor_player_mark(Game *game, int which);
// Hands an event to the match view with its HUD first; 1 when the view took it.
int view_event_hud(Game *game, View *view, Event e);
// The states' shared "quit": asks the mod; true when the mod cleared "quit" and the match goes on.
bool states_quit_event(Game *game, var e);
