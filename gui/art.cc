// Art widgets: vector path text to coloured triangles, the rank insignia's layers, and the smoothed,
// paintable 14 x 14 pixel picture.
#include "art.h"
#include "art_internal.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "kez_base64.h"
#include "kez_gfx-tex.h"

constexpr int PIXART_DATA_BYTES = 8 + PIXART_PIXELS / 4;  // header, slots, pixels: 57
constexpr int PIXART_PICKER = 8;                          // picker cells per side
constexpr float PIXART_SWATCH_GAP = 5;                    // units between the canvas and the swatches
constexpr uint32_t PIXART_CANVAS = 0x222222;
constexpr uint8_t PIXART_GRID_ALPHA = 0x55;

// A coordinate of the path text; a value that is not finite would reach GL as garbage, so it is 0.
static float _vector_decimal(const std::string &arg) {
  const float v = strtof(arg.c_str(), nullptr);
  return std::isfinite(v) ? v : 0;
}

// The characters from `from` up to `to` without spaces: the argument of the letter before `from`.
static std::string _vector_arg(const char *data, size_t from, size_t to) {
  std::string arg;
  for (size_t i = from; i < to; i++) {
    if (data[i] != ' ') arg += data[i];
  }
  return arg;
}

// Reads the path text backwards. Each letter's argument is the run between it and the letter read just
// before (to its right), taken in one piece so a long argument costs no more than its length.
static void _vector_parse(const char *data, std::vector<VectorTri> &tris) {
  uint32_t colour = 0xFFFFFF;
  float x = 0, y = 0;
  VectorVertex pending[3];
  for (VectorVertex &v : pending) v = {0, 0, 255, 255, 255, 255};
  int next = 0;
  size_t end = strlen(data);
  for (size_t i = end; i-- > 0;) {
    const char c = data[i];
    if (c != 'C' && c != 'X' && c != 'Y' && c != 'P' && c != 'T') continue;
    const std::string arg = _vector_arg(data, i + 1, end);
    end = i;
    if (c == 'C') colour = (uint32_t)strtoul(arg.c_str(), nullptr, 16) & 0xFFFFFF;
    if (c == 'X') x = _vector_decimal(arg);
    if (c == 'Y') y = _vector_decimal(arg);
    if (c == 'P') {
      pending[next] = {x, y, (uint8_t)(colour >> 16), (uint8_t)(colour >> 8), (uint8_t)colour, 255};
      next = (next + 1) % 3;
    }
    if (c == 'T' && tris.size() < (size_t)VECTOR_ART_TRIS_MAX) tris.push_back({{pending[0], pending[1], pending[2]}});
  }
}

VectorArt::VectorArt(const char *data) { _vector_parse(data ? data : "", tris); }

void VectorArt::paint_inner() {
  if (tris.empty()) return;
  glColor4f(1, 1, 1, 1);
  glDisable(GL_TEXTURE_2D);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(VectorVertex), &tris[0].v[0].x);
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(VectorVertex), &tris[0].v[0].r);
  gfx_draw_arrays(GL_TRIANGLES, 0, (int)tris.size() * 3);
  glDisableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnable(GL_TEXTURE_2D);
}

// A hexadecimal digit's value; 0 for anything else.
static int _art_hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

void art_rank_images(const std::string &rank, int32_t images[3]) {
  static const char *const LAYERS[3] = {"flag%d", "stars%d", "wings%d"};
  for (size_t k = 0; k < 3; k++) {
    char name[16];
    snprintf(name, sizeof name, LAYERS[k], k < rank.size() ? _art_hex_digit(rank[k]) : 0);
    images[k] = gfx_img_load(name);
  }
}

// The top-left corner of the 3 x 3 block of E; the other corners pass a mirrored neighbourhood.
static int32_t _pixart_corner(int32_t A, int32_t B, int32_t C, int32_t D, int32_t E, int32_t F, int32_t G, int32_t H,
                              int32_t I) {
  if (A == E) return E;
  if (B == A && C == A && D == A && F == A && G == A && H == A && I == A) return A;  // E is a lone pixel
  if (B == E || D == E) return E;
  if ((A != D || A != B) && B != D) return E;
  if (C == E && B == A) return B;
  if (G != E || D != A) {
    if (C == E) return B;
    if (G != E) return E;
  }
  return D;
}

// Open to the tests: enlarges an n x n map of slots to 3n x 3n (dst holds 9 n^2 values), keeping
// edges and diagonals smooth; the edges of src are repeated outward.
void pixart_scale3(const int32_t *src, int n, int32_t *dst) {
  auto at = [&](int x, int y) { return src[std::clamp(y, 0, n - 1) * n + std::clamp(x, 0, n - 1)]; };
  const int row = 3 * n;
  for (int y = 0; y < n; y++) {
    for (int x = 0; x < n; x++) {
      const int32_t A = at(x - 1, y - 1), B = at(x, y - 1), C = at(x + 1, y - 1);
      const int32_t D = at(x - 1, y), E = at(x, y), F = at(x + 1, y);
      const int32_t G = at(x - 1, y + 1), H = at(x, y + 1), I = at(x + 1, y + 1);
      int32_t *o = dst + 3 * y * row + 3 * x;
      for (int k = 0; k < 3; k++) std::fill(o + k * row, o + k * row + 3, E);
      o[0] = _pixart_corner(A, B, C, D, E, F, G, H, I);
      o[2] = _pixart_corner(C, B, A, F, E, D, I, H, G);
      o[2 * row] = _pixart_corner(G, H, I, D, E, F, A, B, C);
      o[2 * row + 2] = _pixart_corner(I, H, G, F, E, D, C, B, A);
    }
  }
}

// Picker sort key: greys first by index, then hue, saturation and value, computed in bytes.
static int64_t _pixart_hue_key(int32_t rgb, int index) {
  const int r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
  const int hi = std::max({r, g, b}), lo = std::min({r, g, b}), delta = hi - lo;
  const int s = hi ? delta * 255 / hi : 0;
  if (s == 0) return index;
  const int h = hi == r ? (g - b) * 43 / delta : hi == g ? 85 + (b - r) * 43 / delta : 171 + (r - g) * 43 / delta;
  return (((int64_t)(uint8_t)h * 256 + s) * 256 + hi) * 128 + index;
}

static void _pixart_palette(PixArt &p) {
  std::pair<int64_t, int> keys[PIXART_COLOURS];
  for (int i = 0; i < PIXART_COLOURS; i++) {
    p.palette[i] = (i >> 4 & 3) * 0x550000 + (i >> 2 & 3) * 0x5500 + (i & 3) * 0x55;
    keys[i] = {_pixart_hue_key(p.palette[i], i), i};
  }
  std::sort(keys, keys + PIXART_COLOURS);
  for (int i = 0; i < PIXART_COLOURS; i++) p.order[i] = keys[i].second;
}

// The colour of a slot; the fields are public, so the indexes are held in range.
static uint32_t _pixart_colour(const PixArt &p, int slot) {
  return (uint32_t)p.palette[std::clamp(p.slots[slot & 3], 0, PIXART_COLOURS - 1)];
}

static void _pixart_parse(PixArt &p, const std::string &text) {
  const std::string b = base64_decode(text);
  const size_t n = std::min(b.size(), (size_t)PIXART_DATA_BYTES);
  for (size_t i = 0; i < n; i++) {
    const unsigned char c = (unsigned char)b[i];
    if (i == 0 && c > 1) return;  // a later version: nothing of it can be read
    if (i >= 4 && i < 8) p.slots[i - 4] = std::min((int)c, PIXART_COLOURS - 1);
    if (i < 8) continue;
    for (int k = 0; k < 4; k++) p.pixels[(i - 8) * 4 + k] = c >> (6 - 2 * k) & 3;
  }
}

// The GL texture is the widget's own; after gfx_deinit its name may belong to someone else.
static void _pixart_texture_free(PixArt &p) {
  if (p.texture && p.tex_generation == gfx_generation() && driver_gl_context()) glDeleteTextures(1, &p.texture);
  p.texture = 0;
}

static void _pixart_texture(PixArt &p) {
  std::vector<int32_t> mid(PIXART_PIXELS * 9), big(PIXART_PIXELS * 81);
  pixart_scale3(p.pixels, PIXART_SIDE, mid.data());
  pixart_scale3(mid.data(), PIXART_SIDE * 3, big.data());
  std::vector<unsigned char> rgba(big.size() * 4, 0);
  for (size_t i = 0; i < big.size(); i++) {
    const int slot = big[i] & 3;
    if (slot == 0) continue;  // transparent
    const uint32_t c = _pixart_colour(p, slot);
    unsigned char *o = &rgba[i * 4];
    o[0] = (unsigned char)(c >> 16);
    o[1] = (unsigned char)(c >> 8);
    o[2] = (unsigned char)c;
    o[3] = 255;
  }
  _pixart_texture_free(p);
  const GfxUpload u = driver_tex_upload(rgba.data(), PIXART_SCALED, PIXART_SCALED);
  p.texture = u.gl;
  p.tex_generation = gfx_generation();
  p.tex_u = u.tex_w > 0 ? (float)u.image_w / (float)u.tex_w : 0;
  p.tex_v = u.tex_h > 0 ? (float)u.image_h / (float)u.tex_h : 0;
}

PixArt::PixArt(const std::string &data, int edit) : editable(edit) {
  _pixart_palette(*this);
  const int32_t defaults[PIXART_SLOTS] = {0, 3, 48, 63};  // black, blue, red, white
  std::copy(defaults, defaults + PIXART_SLOTS, slots);
  std::fill(pixels, pixels + PIXART_PIXELS, 0);
  _pixart_parse(*this, data);
  _pixart_texture(*this);
  focusable = editable != 0;
}

PixArt::~PixArt() { _pixart_texture_free(*this); }

var PixArt::get_value() {
  unsigned char b[PIXART_DATA_BYTES] = {1, PIXART_SIDE, PIXART_SIDE, PIXART_SLOTS};
  for (int k = 0; k < PIXART_SLOTS; k++) b[4 + k] = (unsigned char)std::clamp(slots[k], 0, PIXART_COLOURS - 1);
  for (int i = 0; i < PIXART_PIXELS; i++) b[8 + i / 4] |= (unsigned char)((pixels[i] & 3) << (6 - 2 * (i % 4)));
  return var(base64_encode(b, sizeof b));
}

void PixArt::set_value(var v) {
  _pixart_parse(*this, v.str());
  _pixart_texture(*this);  // at once: the picture on screen shows the new value
}

// The cell of a position along an axis of `cells` cells over `side` units, held inside the grid.
static int _pixart_cell(double pos, double side, int cells) {
  const double c = pos * cells / side;
  if (!(c >= 0)) return 0;
  return c >= cells ? cells - 1 : (int)c;
}

// Paints every cell on the path of the pointer since the last event; points off the canvas paint nothing.
static void _pixart_stroke(PixArt &p, const Event &e, int pen) {
  const double W = p.content_w, len = std::sqrt((double)e.dx * e.dx + (double)e.dy * e.dy);
  const int n = std::clamp(widget_trunc(len) + 1, 1, PIXART_SAMPLES_MAX);  // a wild delta must not spin
  bool changed = false;
  for (int i = 1; i <= n; i++) {
    const double back = 1 - (double)i / n;
    const double cx = (e.x - e.dx * back) * PIXART_SIDE / W, cy = (e.y - e.dy * back) * PIXART_SIDE / W;
    if (!(cx >= 0 && cx < PIXART_SIDE && cy >= 0 && cy < PIXART_SIDE)) continue;
    int32_t &pixel = p.pixels[(int)cy * PIXART_SIDE + (int)cx];
    changed |= pixel != pen;
    pixel = pen;
  }
  if (changed) _pixart_texture(p);
}

// Events of an editable picture whose gesture is still open; false when the base reaction applies.
static bool _pixart_gesture(PixArt &p, const Event &e) {
  const double W = p.content_w;
  const bool press = e.type == EVT_DOWN, drag = e.type == EVT_MOVE && e.button != 0, release = e.type == EVT_UP;
  const int pen = std::clamp(p.pen, 0, PIXART_SLOTS - 1);
  if (press && e.y > W + PIXART_SWATCH_GAP) {
    const int k = _pixart_cell(e.x, W, PIXART_SLOTS);
    if (p.mode == 0 && k == pen && k != 0) {
      p.mode = 1;  // a second press on the pen's swatch opens the picker for its colour
    } else {
      p.pen = k;
      p.mode = 0;
    }
    p.gesture_done = 1;
    return true;
  }
  if (p.mode == 0 && (press || drag)) {
    _pixart_stroke(p, e, pen);
    return true;
  }
  if (p.mode != 1 || !(press || drag || release)) return false;
  const int col = _pixart_cell(e.x, W, PIXART_PICKER), row = _pixart_cell(e.y, W, PIXART_PICKER);
  p.slots[pen] = p.order[row * PIXART_PICKER + col];
  if (release) {
    _pixart_texture(p);
    p.mode = 0;
    p.gesture_done = 1;
  }
  return true;
}

var PixArt::on_event(Event e) {
  if (!editable) return Widget::on_event(e);
  if (e.type == EVT_DOWN) gesture_done = 0;
  // A canvas without width has no cells: every position would divide by zero.
  if (gesture_done || !(content_w >= 1) || !_pixart_gesture(*this, e)) return Widget::on_event(e);
  return var();
}

// Black at opacity 0x55 over a rect (premultiplied: the colour channels stay 0).
static void _pixart_shade(float x, float y, float w, float h) {
  GfxRect r = {x, y, w, h};
  if (!gfx_clip_test(r, nullptr)) return;
  const float v[8] = {r.x, r.y, r.x, r.y + r.h, r.x + r.w, r.y, r.x + r.w, r.y + r.h};
  glColor4ub(0, 0, 0, PIXART_GRID_ALPHA);
  glDisable(GL_TEXTURE_2D);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, v);
  gfx_draw_arrays(GL_TRIANGLE_STRIP, 0, 4);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
}

// The picture; shown for use, the outer ring of pixels is cut away, while editing everything shows
// under a grid of the cell borders and a frame.
static void _pixart_paint_picture(const PixArt &p, int W) {
  if (!p.editable) {
    const float bu = p.tex_u / PIXART_SIDE, bv = p.tex_v / PIXART_SIDE;
    gfx_tex_draw(p.texture, bu, bv, p.tex_u - 2 * bu, p.tex_v - 2 * bv, 0, 0, (float)W, (float)W);
    return;
  }
  gfx_tex_draw(p.texture, 0, 0, p.tex_u, p.tex_v, 0, 0, (float)W, (float)W);
  for (int k = 0; k <= PIXART_SIDE; k++) {
    const float at = (float)k * (float)W / PIXART_SIDE - 0.5f;
    _pixart_shade(at, 0, 1, (float)W);
    _pixart_shade(0, at, (float)W, 1);
  }
  _pixart_shade(0, 0, (float)W, 1);
  _pixart_shade(0, (float)W - 1, (float)W, 1);
  _pixart_shade(0, 1, 1, (float)W - 2);
  _pixart_shade((float)W - 1, 1, 1, (float)W - 2);
}

// The 8 x 8 colours in picker order; the current slot's colour is inset.
static void _pixart_paint_picker(const PixArt &p, int W) {
  const int cell = W / PIXART_PICKER;
  const int32_t current = p.slots[std::clamp(p.pen, 0, PIXART_SLOTS - 1)];
  for (int i = 0; i < PIXART_COLOURS; i++) {
    const int x = i % PIXART_PICKER * W / PIXART_PICKER, y = i / PIXART_PICKER * W / PIXART_PICKER;
    const int inset = p.order[i] == current ? 2 : 0;
    gfx_rect_fill((uint32_t)p.palette[p.order[i]], (float)(x + inset), (float)(y + inset),
                  (float)(cell - 1 - 2 * inset), (float)(cell - 1 - 2 * inset));
  }
}

// The four colour slots below the canvas, the pen's swatch lighter.
static void _pixart_paint_swatches(const PixArt &p, int W) {
  const float side = (float)(W / PIXART_SLOTS), y = (float)W + PIXART_SWATCH_GAP;
  for (int k = 0; k < PIXART_SLOTS; k++) {
    const float x = (float)(k * W / PIXART_SLOTS);
    gfx_rect_fill(k == p.pen ? 0x888888 : 0x333333, x, y, side, side);
    gfx_rect_fill(k == 0 ? PIXART_CANVAS : _pixart_colour(p, k), x + 5, y + 5, side - 10, side - 10);
  }
}

void PixArt::paint_inner() {
  if (!texture || tex_generation != gfx_generation()) _pixart_texture(*this);  // made before a GL reset
  const int W = widget_trunc(content_w);
  if (editable) gfx_rect_fill(PIXART_CANVAS, 0, 0, (float)W, (float)W);
  if (mode == 1) {
    _pixart_paint_picker(*this, W);
  } else {
    _pixart_paint_picture(*this, W);
  }
  if (editable) _pixart_paint_swatches(*this, W);
}
