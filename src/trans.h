// Screen transitions: the old and new screens' pictures blended over 15 steps of 1/60 s.
#pragma once

struct Game;

// Captures the old (1) or new (2) screen; a mode other than -1 starts a transition of that kind.
void trans_capture(int which, int mode, Game *game);
// Advances the transition by dt seconds of frame time.
void trans_step(float dt);
// True while steps of a transition remain.
bool trans_running();
// True once the new screen of the running transition has been captured.
bool trans_new_captured();
// Draws the blend of the two pictures.
void trans_paint();
