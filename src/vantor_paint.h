// Match painting: one frame of the world layer by layer (planets, items, labels, the "you" marker,
// particles), the backdrop, and the colour-blind remap of team colours.
#pragma once

#include <cstdint>

#include "vantor.h"
#include "vantor_view.h"

// Draws one frame of the world through the view's matrices as seen by `user` (the local user's
// item, 0 none), laying the view out first when it is not initialised. background = 1 draws the
// backdrop and the star field first. Leaves the screen transform loaded.
// `user` is an argument of its own on purpose: which planets show their ship counts depends on the
// viewer, and the two halves of the split screen are painted for two different users.
void sys_paint(View *view, World *world, int user, int background);
// Draws every item in item order: rings and lines, images through the batch, and labels; gives
// planets whose relation to `user` is in the user's ui_ships_show_mask their ship-count label.
void items_paint(World *world, const View *view, int user);
// Draws the turning "you" marker round the local player's planets during the match's first 3 s.
void you_paint(const World *world);
// Draws every live particle at its age, additive, one draw call per run of one texture.
void parts_paint(World *world);

// Draws the world's backdrop picture, slowly turning about the virtual screen's centre.
void background_paint(const World *world);
// Moves the star field one frame to the left and draws it over the backdrop, slowly turning about the
// screen centre, as many stars as suit the window's area; a new screen size makes a new field.
void stars_paint(const World *world);

// The colour-blind palette colour standing for c while the option is on; c itself when it is off
// or c is a grey darker than 170. What a colour maps to lasts the program run, so a team keeps its
// look from one match to the next.
uint32_t color_remap(uint32_t c);
// c with its channels raised until its luminance reads on the dark background.
uint32_t color_readable(uint32_t c);

// One star of the field, in UI units about the screen centre.
struct Star {
  float x, y, z;
  float size;   // half the quad's side
  float speed;  // 0..1
};
constexpr int STARS_MAX = 1024;
