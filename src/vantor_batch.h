// The shared triangle batch and the small world-space primitives of match painting: sprite quads,
// rings, lines and arrows.
//
// Colours are 0xRRGGBB words with a separate alpha byte; what reaches GL is premultiplied. Sprites
// are image handles (kez_gfx-tex.h); one whose texture has no GL name or no size draws nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vantor.h"

// One vertex of the batch: 20 bytes, read by GL through strides.
struct TriVertex {
  float u, v;          // texture coordinates
  float x, y;          // world position
  uint8_t r, g, b, a;  // premultiplied colour
};

// One triangle of the batch: 60 bytes.
struct Triangle {
  TriVertex v[3];
};

static_assert(sizeof(TriVertex) == 20, "a batch vertex is 20 bytes");
static_assert(offsetof(TriVertex, u) == 0 && offsetof(TriVertex, x) == 8 && offsetof(TriVertex, r) == 16);
static_assert(sizeof(Triangle) == 60, "a batch triangle is 60 bytes");

// Triangles the batch holds before it draws them itself.
constexpr int TRI_BATCH_MAX = 8192;

// Appends a triangle drawn with the GL texture and destination blend factor (GL_ONE_MINUS_SRC_ALPHA
// or GL_ONE); a different texture or blend first draws what the batch holds.
void tri_batch_add(const Triangle &triangle, uint32_t texture, uint32_t blend);
// Draws the batch in one call and empties it; nothing when empty. Leaves white, normal blend.
void tri_batch_flush();

// The sprite's GL texture and its atlas rectangle as texture coordinates u0, v0, u1, v1; false
// when the sprite has no texture to draw with.
bool sprite_batch_uv(int sprite, uint32_t *gl, float uv[4]);
// Adds the sprite as a quad: corners (-cx, -cy) to (w - cx, h - cy), times scale, turned by angle
// (radians) and moved to (x, y), in colour with alpha (0..255). Nothing for an undrawable sprite.
void sprite_batch_quad(int sprite, uint32_t colour, int alpha, uint32_t blend, float x, float y, float w, float h,
                       float cx, float cy, float scale, float angle);
// Draws a ring of the given width round (x, y) in one strip, the sprite's u running from 0 inside
// to 1 outside; segments are held to 33..128.
void ring_paint(uint32_t colour, int sprite, float x, float y, float radius, int segments, float width);
// Draws a band of the given width centred on the segment (x1, y1)-(x2, y2); nothing for zero length.
void line_paint(int sprite, uint32_t colour, float x1, float y1, float x2, float y2, float width);
// Draws a cyan line between two items, each end pulled in by that item's body radius plus gap;
// nothing when the items are too close for both ends to fit.
void arrow_paint(int sprite, float width, float gap, const Item &from, const Item &to);

// The colour with each channel multiplied by alpha / 255; alpha is held to 0..255.
uint32_t color_apply_alpha(uint32_t colour, int alpha);
// The column-major (GL) copy of a row-major 4x4 matrix, into out.
void gl_matrix_of(const float matrix[16], float out[16]);
