// The match view's HUD: the percent slider and button, selection and order marks, the planet label,
// the rank insignia and the percent readout, drawn over the painted match.
#pragma once

#include "kez_driver-sdl2.h"
#include "kez_gfx.h"

struct View;
struct World;

// The slider column in virtual screen units: 44 wide at the right edge (at x = -1 with ui_lefty),
// from y = 44 to 44 above the bottom. The percent button is the 44-unit band below it.
GfxRect hud_slider_rect(const View *view);
// The HUD's share of the view's input: a press on the percent button steps the percent by 25
// (100 wraps to 25), a press or drag on the slider (with ui_slider on) sets it from the height; a
// drag that leaves the column restores the percent it started with and replays its press as a press
// in `world` (the main screen's world, vantor_host's). Returns 1 when the HUD took the event, 0
// otherwise. `user` (the item the replayed press selects and orders for) is an argument of its own on
// purpose: each half of the split screen has its own user, so it cannot be taken from the world.
int hud_event(World *world, View *view, Event e, int user);
// Draws the HUD for user (the local user's item, 0 none) after the world: rings round the selection,
// the hovered planet and the target, order arrows, the selection box and the hovered planet's label
// through the view's matrix; then in screen units the rank insignia, the percent, the slider and
// the world's status text in the top margin (none of them while "states_pause" is current). Lays
// the view out first when needed and clears selection words of freed items. Leaves the screen
// transform loaded.
void hud_paint(View *view, World *world, int user);
