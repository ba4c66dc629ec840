// Images for the asset generators: a float RGBA canvas, source-over painting with anti-aliased
// shapes given as signed distance functions, and PNG output.
//
// Canvas pixels are premultiplied (colour already multiplied by alpha) so that painting one layer
// over another is a single multiply-add; PNG output divides the alpha back out, because the game's
// texture loader premultiplies on upload. Pixel (x, y) covers [x, x + 1) x [y, y + 1); shaders and
// distance functions are sampled at pixel centres (x + 0.5, y + 0.5), y growing downwards.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr float kPi = 3.14159265358979f;

struct Vec2 {
  float x, y;
};
inline Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
inline Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline Vec2 operator*(Vec2 a, float s) { return {a.x * s, a.y * s}; }
float vec_len(Vec2 a);
float vec_dot(Vec2 a, Vec2 b);
Vec2 vec_rotate(Vec2 a, float radians);

// A straight (not premultiplied) colour, each channel 0..1.
struct Rgba {
  float r, g, b, a;
};
// 0xRRGGBB with an alpha of 0..1.
Rgba rgba_hex(uint32_t rgb, float alpha = 1.0f);
// Channel-wise blend: t = 0 gives a, t = 1 gives b.
Rgba rgba_mix(Rgba a, Rgba b, float t);
// The colour with its alpha multiplied by k.
Rgba rgba_fade(Rgba c, float k);
// Brighter (k > 1) or darker (k < 1), alpha kept; channels clamp at 1.
Rgba rgba_scale(Rgba c, float k);

float clampf(float v, float lo, float hi);
float mixf(float a, float b, float t);
// Hermite step from 0 at e0 to 1 at e1 (with e0 > e1, a falling step).
float smoothstepf(float e0, float e1, float x);

struct Image {
  int w = 0, h = 0;
  std::vector<float> px;  // premultiplied RGBA, rows from the top

  Image() = default;
  Image(int width, int height);  // fully transparent
  float *at(int x, int y) { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
  const float *at(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
};

// Paints colour c with the given coverage (0..1) over pixel (x, y).
void img_blend(Image &im, int x, int y, Rgba c, float coverage);
// Every pixel gets shader(centre) painted over it.
void img_paint(Image &im, const std::function<Rgba(Vec2)> &shader);
// Paints the shape whose signed distance (pixels, negative inside) is sdf, anti-aliased over one
// pixel, in the colour that shader gives at each pixel.
void img_fill(Image &im, const std::function<float(Vec2)> &sdf, const std::function<Rgba(Vec2)> &shader);
// The same in one flat colour.
void img_fill(Image &im, const std::function<float(Vec2)> &sdf, Rgba c);
// Paints src over dst with its top left corner at (x, y).
void img_draw(Image &dst, const Image &src, int x, int y);
// Whole-image opacity multiply.
void img_fade(Image &im, float k);

// Coverage of a pixel whose centre lies at signed distance d (in pixels) from a shape's edge.
float sdf_coverage(float d);
// Signed distances, negative inside.
float sdf_circle(Vec2 p, Vec2 centre, float radius);
float sdf_round_rect(Vec2 p, Vec2 centre, Vec2 half_size, float radius);
// A segment with round caps, half_width thick on each side.
float sdf_capsule(Vec2 p, Vec2 a, Vec2 b, float half_width);
// A simple closed polygon (any winding).
float sdf_polygon(Vec2 p, const std::vector<Vec2> &points);
// A regular star with `points` tips between radii inner and outer; tip 0 points up.
float sdf_star(Vec2 p, Vec2 centre, float outer, float inner, int points);
// An ellipse (approximate distance, good enough for anti-aliasing).
float sdf_ellipse(Vec2 p, Vec2 centre, Vec2 radii);

// Writes the image as an 8-bit PNG with 1 (grey from red), 2 (grey + alpha), 3 (RGB) or 4 (RGBA)
// channels; a dither amplitude above 0 (in 1/255 steps) breaks up banding in dark gradients with a
// fixed, seeded pattern. Returns false (after a message on stderr) when the file cannot be written.
bool img_write_png(const Image &im, const std::string &path, int channels, float dither = 0.0f);
