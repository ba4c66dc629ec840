// Drawing state: the window <-> virtual-unit transform, the clip stack, GL set-up and the 2D primitives.
//
// Every screen is laid out in virtual units; `gfx_state` maps that area onto the window, centred,
// uniformly scaled and rotated about the window centre. All colours are premultiplied: drawing blends
// with (ONE, ONE_MINUS_SRC_ALPHA). Textures and images (the handles the primitives take) live in the
// same state; their loading is in kez_gfx-tex.h.
//
// Handles are indexes into the state's tables; 0 means none, and any handle outside the table counts as
// 0. Tables are emptied by gfx_deinit, so a handle kept across it is stale: `gfx_generation` changes
// then, and whoever caches handles must drop them when it sees a new generation.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "kez_driver-sdl2.h"

struct GfxRect {
  float x, y, w, h;
};

// One texture; table index = texture handle. Slot 0 is an all-zero record that is never loaded.
struct GfxTexture {
  int32_t index;         // its own table index
  int32_t loaded;        // 1 while its GL texture exists, 0 after eviction
  uint32_t gl;           // GL texture name, 0 = none
  uint32_t bytes;        // texture memory charged to the budget
  GfxRect rect;          // 0, 0, padded texture width and height
  char name[64];         // the name it was loaded by
  char path[512];        // the file's data path
  int64_t file_time;     // modification time of the file when last loaded
  char atlas_path[512];  // sprite-atlas file of this texture, empty = none
  int64_t atlas_time;    // modification time of the atlas when last read
  int64_t last_use;      // wall-clock seconds of the last use
};

// One image: a named rectangle of a texture; table index = image handle. Slot 0 is all zero.
struct GfxImage {
  int32_t index;         // its own table index
  int32_t texture;       // texture handle
  float sx, sy, sw, sh;  // source rect in pixels of the texture image
  float trim_x, trim_y;  // where the source rect lies inside the untrimmed frame
  float full_w, full_h;  // size of the untrimmed frame
};

constexpr int GFX_CLIP_MAX = 8;  // clip rects the stack holds; deeper pushes clip everything away

// The process-wide drawing state.
struct GfxState {
  float screen_w, screen_h;    // window size last taken from app_info
  GfxRect screen;              // window area the virtual view is centred in
  float virtual_w, virtual_h;  // virtual size (the shell sets the UI size)
  float rotation;              // degrees
  float scale;
  GfxRect focus;             // virtual area the on-screen keyboard keeps visible; all 0 = none
  float offset_x, offset_y;  // virtual units added to every point before the transform
  std::unordered_map<std::string, int32_t> image_names;  // a name that was not found maps to 0
  std::vector<GfxImage> images;
  std::unordered_map<std::string, int32_t> texture_names;
  std::vector<GfxTexture> textures;
  // Slot 0's x and y are the current translation (written by the widget painter); slots 1..8 hold the
  // pushed clip rects in translated (absolute) virtual units.
  GfxRect clip[GFX_CLIP_MAX + 1];
  int32_t clip_depth;     // 0 = no clipping; must be back to 0 at the end of every frame
  float z_near, z_far;    // projection depth range
  uint32_t memused;       // bytes of texture memory in use
  int64_t reload_second;  // the wall-clock second gfx_reload last ran
};

// The one drawing state, null before gfx_init and after gfx_deinit.
extern GfxState *gfx_state;

// Creates the state on first call (256 x 256 virtual, rotation 0, scale 1); always refreshes the screen size.
void gfx_init();
// Unloads every texture and frees the state; handles from before become stale (see gfx_generation).
void gfx_deinit();
// Changes on every gfx_deinit: a cache of texture or image handles made under another value is stale.
uint32_t gfx_generation();
// Takes a changed window size from app_info; the screen rect becomes the whole window.
void gfx_screen_update();
// Sets the GL state every drawing function expects (nothing without a GL context).
void gfx_gl_state_reset();
// Clears the colour and depth buffers to opaque black.
void gfx_clear();
// Loads the projection that maps virtual units onto the window, and an identity model-view.
void gfx_ortho();

// Window pixels <-> virtual units, in place; identity without a state.
void gfx_point_to_screen(float &x, float &y);
void gfx_point_to_virtual(float &x, float &y);
// The same for a rect: its two corners are mapped and (w, h) becomes their difference.
void gfx_rect_to_screen(float &x, float &y, float &w, float &h);
void gfx_rect_to_virtual(float &x, float &y, float &w, float &h);
// Pointer down, move, up and wheel events: keeps the window coordinates in raw_* and turns x, y, dx, dy
// into virtual units. Other event types are left alone.
void gfx_event_to_virtual(Event &e);
// Whether the event carries a pointer position (press, move, release, wheel): the events the mapping
// above moves.
bool gfx_event_positioned(const Event &e);

// The on-screen keyboard's focus rect, in virtual units; clear sets all 0.
void gfx_focus_rect_set(float x, float y, float w, float h);
void gfx_focus_rect_clear();

// Pushes a clip rect given relative to the current translation, cut to the rect below it.
void gfx_clip_push(float x, float y, float w, float h);
// Drops the top clip rect (nothing at depth 0).
void gfx_clip_pop();
// Cuts r to clip c; the paired rect t (a texture rect, or null) is cut in the same proportion. false
// when nothing of r is left.
bool gfx_clip_rect(GfxRect &r, GfxRect *t, const GfxRect &c);
// Cuts r (and its pair) to the current clip; true at depth 0, false beyond depth 8 or when nothing is left.
bool gfx_clip_test(GfxRect &r, GfxRect *t);

// glDrawArrays, counted: every draw call of the program goes through here.
void gfx_draw_arrays(uint32_t mode, int first, int count);

// Draws the texture rect (u, v, uw, vh, in 0..1) of a GL texture into (x, y, w, h), clipped.
void gfx_tex_draw(uint32_t gl_texture, float u, float v, float uw, float vh, float x, float y, float w, float h);
// Draws a whole image, its atlas trim included; a w or h of 0 takes the untrimmed frame's size.
void gfx_img_draw(int image, float x, float y, float w, float h);
// Draws a whole image like gfx_img_draw, for pictures stretched over the screen: unit_pixels is the
// screen pixels a unit of the current transform covers. While every texel covers more than a pixel the
// mipmaps are never read, yet a mipmap filter has the software renderer work out a level for each
// pixel; the image is then drawn with the plain filter, which gives the same colours for less work.
void gfx_img_draw_enlarged(int image, float x, float y, float w, float h, float unit_pixels);
// Draws the part (u, v, uw, vh), in fractions of the image, into the rect; nothing when w or h is 0.
void gfx_img_draw_part(int image, float u, float v, float uw, float vh, float x, float y, float w, float h);
// Draws the image's thirds as a 9-slice with corners of at most `corner` units, keeping the corners'
// aspect; nothing for an empty rect or an image without size.
void gfx_img_draw_9slice(int image, int x, int y, int w, int h, int corner);
// Fills the rect with the image at step x step units, clipped to the rect; nothing for a step below 1.
void gfx_img_draw_tiled(int image, int x, int y, int w, int h, int step);
// Fills the rect with the opaque colour 0xRRGGBB.
void gfx_rect_fill(uint32_t colour, float x, float y, float w, float h);
// The GL name of the image's texture (marking it used); 0 for none.
uint32_t gfx_img_texture(int image);
// The untrimmed frame's width / height, each truncated and raised to at least 1.
float gfx_img_aspect(int image);
