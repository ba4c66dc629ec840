// The match view: the player's window onto the match (camera, selection, pointer gestures).
#pragma once

#include <cstdint>

#include "kez_driver-sdl2.h"

// Per-pointer gesture state: ten 32-bit words.
struct PointerRecord {
  int32_t in_use;  // -1 while a pointer event is being handled
  int32_t target;  // item an order would reach, 0 none
  int32_t hover;   // planet under the pointer, 0 none
  int32_t anchor;  // item pressed in this gesture (negative: deselect on release)
  int32_t pressed;
  int32_t box;  // 0 none, -1 started, 1 active
  float box_x0, box_y0, box_x1, box_y1;
};

struct View {
  int32_t percent;       // share of a planet's ships an order sends
  int32_t slider_saved;  // HUD slider memory
  Event slider_press;
  uint32_t selection[4096];  // per item: 0 unselected, else the marking pointer slot
  PointerRecord pointers[12];
  float screen_rect[4];
  float content_rect[4];
  float rotation;
  float fit_scale;
  float screen_to_world[16];
  float screen_to_world_gl[16];
  float world_to_screen[16];
  float world_to_screen_gl[16];
  float world_rect[4];
  float visible_rect[4];
  int32_t hud_mode;     // 0 full HUD, 1 none, 2 tab bands
  int32_t initialised;  // 0 until laid out; cleared to lay out again
  int32_t ui[64];       // copy of the settings words from ui_box on
};
