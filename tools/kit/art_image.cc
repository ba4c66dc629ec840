// Images for the asset generators: canvas, painting, signed distance shapes and PNG output.
#include "art_image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <stb_image_write.h>

#include "art_noise.h"

float vec_len(Vec2 a) { return std::sqrt(a.x * a.x + a.y * a.y); }
float vec_dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }
Vec2 vec_rotate(Vec2 a, float radians) {
  float c = std::cos(radians), s = std::sin(radians);
  return {a.x * c - a.y * s, a.x * s + a.y * c};
}

Rgba rgba_hex(uint32_t rgb, float alpha) {
  return {((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, alpha};
}
Rgba rgba_mix(Rgba a, Rgba b, float t) {
  return {mixf(a.r, b.r, t), mixf(a.g, b.g, t), mixf(a.b, b.b, t), mixf(a.a, b.a, t)};
}
Rgba rgba_fade(Rgba c, float k) { return {c.r, c.g, c.b, c.a * k}; }
Rgba rgba_scale(Rgba c, float k) {
  return {std::min(1.0f, c.r * k), std::min(1.0f, c.g * k), std::min(1.0f, c.b * k), c.a};
}

float clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }
float mixf(float a, float b, float t) { return a + (b - a) * t; }
float smoothstepf(float e0, float e1, float x) {
  float t = clampf((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

Image::Image(int width, int height) : w(width), h(height), px(static_cast<size_t>(width) * height * 4, 0.0f) {}

void img_blend(Image &im, int x, int y, Rgba c, float coverage) {
  if (x < 0 || y < 0 || x >= im.w || y >= im.h) return;
  float a = clampf(c.a * coverage, 0.0f, 1.0f);
  if (a <= 0.0f) return;
  float *d = im.at(x, y);
  float keep = 1.0f - a;
  d[0] = c.r * a + d[0] * keep;
  d[1] = c.g * a + d[1] * keep;
  d[2] = c.b * a + d[2] * keep;
  d[3] = a + d[3] * keep;
}

void img_paint(Image &im, const std::function<Rgba(Vec2)> &shader) {
  for (int y = 0; y < im.h; y++)
    for (int x = 0; x < im.w; x++) img_blend(im, x, y, shader({x + 0.5f, y + 0.5f}), 1.0f);
}

void img_fill(Image &im, const std::function<float(Vec2)> &sdf, const std::function<Rgba(Vec2)> &shader) {
  for (int y = 0; y < im.h; y++)
    for (int x = 0; x < im.w; x++) {
      Vec2 p = {x + 0.5f, y + 0.5f};
      float cover = sdf_coverage(sdf(p));
      if (cover > 0.0f) img_blend(im, x, y, shader(p), cover);
    }
}

void img_fill(Image &im, const std::function<float(Vec2)> &sdf, Rgba c) {
  img_fill(im, sdf, [c](Vec2) { return c; });
}

void img_draw(Image &dst, const Image &src, int x0, int y0) {
  for (int y = 0; y < src.h; y++)
    for (int x = 0; x < src.w; x++) {
      int dx = x + x0, dy = y + y0;
      if (dx < 0 || dy < 0 || dx >= dst.w || dy >= dst.h) continue;
      const float *s = src.at(x, y);
      float *d = dst.at(dx, dy);
      float keep = 1.0f - s[3];
      for (int k = 0; k < 4; k++) d[k] = s[k] + d[k] * keep;
    }
}

void img_fade(Image &im, float k) {
  for (float &v : im.px) v *= k;
}

float sdf_coverage(float d) { return clampf(0.5f - d, 0.0f, 1.0f); }

float sdf_circle(Vec2 p, Vec2 centre, float radius) { return vec_len(p - centre) - radius; }

float sdf_round_rect(Vec2 p, Vec2 centre, Vec2 half_size, float radius) {
  float qx = std::fabs(p.x - centre.x) - half_size.x + radius;
  float qy = std::fabs(p.y - centre.y) - half_size.y + radius;
  float outside = vec_len({std::max(qx, 0.0f), std::max(qy, 0.0f)});
  return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

float sdf_capsule(Vec2 p, Vec2 a, Vec2 b, float half_width) {
  Vec2 pa = p - a, ba = b - a;
  float len2 = vec_dot(ba, ba);
  float t = len2 > 0.0f ? clampf(vec_dot(pa, ba) / len2, 0.0f, 1.0f) : 0.0f;
  return vec_len(pa - ba * t) - half_width;
}

float sdf_polygon(Vec2 p, const std::vector<Vec2> &v) {
  // Distance to the nearest edge, signed by the even-odd crossing count.
  float d2 = vec_dot(p - v[0], p - v[0]);
  bool inside = false;
  for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
    Vec2 e = v[j] - v[i], w = p - v[i];
    float t = clampf(vec_dot(w, e) / vec_dot(e, e), 0.0f, 1.0f);
    Vec2 b = w - e * t;
    d2 = std::min(d2, vec_dot(b, b));
    bool up = p.y >= v[i].y, down = p.y < v[j].y;
    float cross = e.x * w.y - e.y * w.x;
    if ((up && down && cross > 0) || (!up && !down && cross < 0)) inside = !inside;
  }
  return inside ? -std::sqrt(d2) : std::sqrt(d2);
}

float sdf_star(Vec2 p, Vec2 centre, float outer, float inner, int points) {
  std::vector<Vec2> v;
  for (int i = 0; i < points * 2; i++) {
    float r = (i % 2) ? inner : outer;
    float a = kPi * i / points;
    v.push_back({centre.x + r * std::sin(a), centre.y - r * std::cos(a)});
  }
  return sdf_polygon(p, v);
}

float sdf_ellipse(Vec2 p, Vec2 centre, Vec2 radii) {
  // Scale to the unit circle, then back by the local stretch: exact on the axes, close elsewhere.
  Vec2 q = {(p.x - centre.x) / radii.x, (p.y - centre.y) / radii.y};
  float k = vec_len(q);
  if (k == 0.0f) return -std::min(radii.x, radii.y);
  Vec2 grad = {q.x / radii.x, q.y / radii.y};
  return (k - 1.0f) * k / vec_len(grad);
}

bool img_write_png(const Image &im, const std::string &path, int channels, float dither) {
  std::vector<unsigned char> out(static_cast<size_t>(im.w) * im.h * channels);
  Rng rng(0x5eed1234u);  // fixed seed: the dither pattern is the same on every run
  size_t o = 0;
  for (int y = 0; y < im.h; y++)
    for (int x = 0; x < im.w; x++) {
      const float *s = im.at(x, y);
      float a = clampf(s[3], 0.0f, 1.0f);
      float rgb[3];
      for (int k = 0; k < 3; k++) rgb[k] = a > 0.0f ? clampf(s[k] / a, 0.0f, 1.0f) : 0.0f;
      float jitter = dither > 0.0f ? (rng.uniform() - rng.uniform()) * dither : 0.0f;
      auto q = [jitter](float v) { return static_cast<unsigned char>(clampf(v * 255.0f + 0.5f + jitter, 0.0f, 255.0f)); };
      if (channels == 1 || channels == 2) {
        out[o++] = q(rgb[0]);
      } else {
        for (int k = 0; k < 3; k++) out[o++] = q(rgb[k]);
      }
      if (channels == 2 || channels == 4) out[o++] = static_cast<unsigned char>(a * 255.0f + 0.5f);
    }
  if (!stbi_write_png(path.c_str(), im.w, im.h, channels, out.data(), im.w * channels)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}
