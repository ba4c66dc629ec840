// Screen transitions: the old and new screens' pictures blended over 15 steps of 1/60 s.
#pragma once

#include <cstdint>

struct Game;

// Makes the three framebuffers once and starts a cross-fade from the splash logo.
void trans_init(Game *game);
// Makes a 2048 x 1024 colour texture and a framebuffer drawing into it; a picture takes the window's
// size within it.
void fbo_create(uint32_t *framebuffer, uint32_t *texture);
// Forgets the framebuffers (after a new GL context) so that trans_init makes them again.
void trans_forget();
// The framebuffer of picture 1 (old) or 2 (new); 0 (the window's own) before they are made.
uint32_t trans_framebuffer(int which);
// Captures the old (1) or new (2) screen; a mode other than -1 starts a transition of that kind.
void trans_capture(int which, int mode, Game *game);
// Advances the transition by dt seconds of frame time.
void trans_step(float dt);
// True while steps of a transition remain.
bool trans_running();
// True when the new screen is to be captured now: a transition runs without it, and the old screen was
// not captured in this same frame (two captures and the blend in one frame would stall it).
bool trans_new_due();
// Draws the blend of the two pictures (the old one alone until the new one is captured).
void trans_paint();
