// Pictures from text data: coloured triangles from a compact path text (VectorArt), and a 14 x 14
// picture of four colours, smoothed by two 3x passes into a texture, that the user may paint (PixArt).
//
// Vector path text, read from its last character to its first: "C" sets the colour (hexadecimal
// 0xRRGGBB), "X" and "Y" the position (decimal), "P" stores a point, "T" appends the last three points
// as a triangle. Each letter takes the characters written after it; spaces are skipped.
//
// PixArt data: base64 of version 1, width 14, height 14, colours 4, four palette indexes (0..63) of the
// colour slots, then 196 two-bit pixels, four to a byte, the first in the top bits. Slot 0 is
// transparent. The width, height and colour-count bytes are not used: the picture is always 14 x 14.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "widget.h"

constexpr int VECTOR_ART_TRIS_MAX = 65536;  // triangles one path text may make; the rest is dropped

constexpr int PIXART_SIDE = 14;  // pixels per side
constexpr int PIXART_PIXELS = PIXART_SIDE * PIXART_SIDE;
constexpr int PIXART_SCALED = PIXART_SIDE * 9;  // side of the texture: two 3x passes
constexpr int PIXART_COLOURS = 64;              // palette: 4 levels of red, green and blue
constexpr int PIXART_SLOTS = 4;                 // colours one picture uses
constexpr int PIXART_SAMPLES_MAX = 4096;        // points one pointer move paints along its path

// One corner of a triangle, laid out as GL reads it: 12 bytes.
struct VectorVertex {
  float x, y;
  uint8_t r, g, b, a;
};
static_assert(sizeof(VectorVertex) == 12, "a vertex is 12 bytes");

struct VectorTri {
  VectorVertex v[3];
};

// Coloured triangles in content coordinates; its size is its style width and height.
class VectorArt : public Widget {
 public:
  std::vector<VectorTri> tris;

  // The triangles of the path text (null is empty).
  explicit VectorArt(const char *data);

  void paint_inner() override;
};

// The rank insignia's three layers, back to front: the images "flag%d", "stars%d" and "wings%d" of the
// first three characters of `rank`, each read as one hexadecimal digit; a missing character or any
// other one (a '#' too) reads 0. Drawn on top of one another in one 3:2 frame.
void art_rank_images(const std::string &rank, int32_t images[3]);

// A 14 x 14 four-colour picture drawn over a `content_w` square; editable ones add a row of four
// colour swatches 5 units below it and an 8 x 8 colour picker.
class PixArt : public Widget {
 public:
  int32_t palette[PIXART_COLOURS];  // 0xRRGGBB; index = 16 r + 4 g + b, levels 0x00, 0x55, 0xAA, 0xFF
  int32_t order[PIXART_COLOURS];    // palette indexes in picker order: greys, then by hue
  int32_t slots[PIXART_SLOTS];      // palette index of each colour slot
  int32_t pixels[PIXART_PIXELS];    // slot of each pixel, row by row
  int32_t editable;                 // non-zero: the user paints and picks colours
  int32_t mode = 0;                 // 0 painting, 1 choosing the colour of slot `pen`
  int32_t pen = 3;                  // the slot painted with
  int32_t gesture_done = 0;         // set after a swatch or picker gesture: ignore events until a press
  uint32_t texture = 0;             // GL texture name of the picture, this widget's own; 0 = none
  uint32_t tex_generation = 0;      // gfx_generation() when `texture` was made
  float tex_u = 0, tex_v = 0;       // used fraction of the padded texture

  // The picture of `data` over the default slots (black, blue, red, white) and a transparent picture;
  // editable ones are focusable.
  PixArt(const std::string &data, int editable);
  PixArt(const PixArt &) = delete;  // the texture has one owner
  PixArt &operator=(const PixArt &) = delete;
  ~PixArt() override;

  // The data string of the picture.
  var get_value() override;
  // Reads the value's text as data (what it lacks keeps its current values) and redraws the texture.
  void set_value(var v) override;
  // Painting, swatch and picker gestures when editable; the base reaction otherwise.
  var on_event(Event e) override;
  void paint_inner() override;
};
