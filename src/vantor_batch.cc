// The shared triangle batch and the small world-space primitives of match painting.
#include "vantor_batch.h"
#include "vantor_batch_internal.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "kez_gfx-tex.h"
#include "kez_gfx.h"

// The batch: triangles that share one texture and one blend, drawn together.
static std::vector<Triangle> batch;
static uint32_t batch_texture;
static uint32_t batch_blend = GL_ONE_MINUS_SRC_ALPHA;

// Strip vertices of the largest ring.
static const int RING_MAX = 128;
static float ring_xy[RING_MAX * 2 * 2];
static float ring_uv[RING_MAX * 2 * 2];

// Dividing by the size of a texture that did not decode must not make a white quad: such a sprite
// is not drawn.
bool sprite_batch_uv(int sprite, uint32_t *gl, float uv[4]) {
  const GfxImage *img = gfx_img_get(sprite);
  if (!img) return false;
  const int texture = img->texture;
  gfx_tex_touch(texture);     // an evicted texture comes back for whoever still draws it
  img = gfx_img_get(sprite);  // the reload rewrites the image table
  const GfxTexture *t = gfx_tex_get(texture);
  if (!img || !t || !t->gl || !(t->rect.w > 0) || !(t->rect.h > 0)) return false;
  *gl = t->gl;
  uv[0] = img->sx / t->rect.w;
  uv[1] = img->sy / t->rect.h;
  uv[2] = (img->sx + img->sw) / t->rect.w;
  uv[3] = (img->sy + img->sh) / t->rect.h;
  return true;
}

void tri_batch_add(const Triangle &triangle, uint32_t texture, uint32_t blend) {
  if (texture != batch_texture || blend != batch_blend) {
    tri_batch_flush();
    batch_texture = texture;
    batch_blend = blend;
  }
  if (batch.capacity() == 0) batch.reserve(TRI_BATCH_MAX);
  batch.push_back(triangle);
  if ((int)batch.size() >= TRI_BATCH_MAX) tri_batch_flush();
}

void tri_batch_flush() {
  if (batch.empty()) return;
  const char *base = reinterpret_cast<const char *>(batch.data());
  glBlendFunc(GL_ONE, batch_blend);
  glEnableClientState(GL_COLOR_ARRAY);
  glBindTexture(GL_TEXTURE_2D, batch_texture);
  glTexCoordPointer(2, GL_FLOAT, sizeof(TriVertex), base + offsetof(TriVertex, u));
  glVertexPointer(2, GL_FLOAT, sizeof(TriVertex), base + offsetof(TriVertex, x));
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(TriVertex), base + offsetof(TriVertex, r));
  gfx_draw_arrays(GL_TRIANGLES, 0, 3 * (int)batch.size());
  glDisableClientState(GL_COLOR_ARRAY);
  glColor4f(1, 1, 1, 1);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  batch.clear();
  batch_texture = 0;
}

// Open to the tests: the triangles waiting in the batch.
int tri_batch_count() { return (int)batch.size(); }

void sprite_batch_quad(int sprite, uint32_t colour, int alpha, uint32_t blend, float x, float y, float w, float h,
                       float cx, float cy, float scale, float angle) {
  uint32_t gl;
  float uv[4];
  if (!sprite_batch_uv(sprite, &gl, uv)) return;
  const uint32_t c = color_apply_alpha(colour, alpha);
  const uint8_t r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF, a = (uint8_t)std::clamp(alpha, 0, 255);
  const float cs = std::cos(angle), sn = std::sin(angle);
  // Corners in strip order: top left, top right, bottom left, bottom right.
  TriVertex q[4];
  for (int i = 0; i < 4; i++) {
    const float px = ((i & 1) ? w - cx : -cx) * scale, py = ((i & 2) ? h - cy : -cy) * scale;
    q[i] = {uv[(i & 1) ? 2 : 0], uv[(i & 2) ? 3 : 1], x + cs * px - sn * py, y + sn * px + cs * py, r, g, b, a};
  }
  tri_batch_add({{q[0], q[1], q[2]}}, gl, blend);
  tri_batch_add({{q[2], q[1], q[3]}}, gl, blend);
}

// Open to the tests: the segment count a ring is drawn with.
int _ring_segments(int segments) { return std::clamp(segments, 33, RING_MAX); }

// Sets the colour at full alpha and draws `count` strip vertices from the ring arrays.
static void strip_draw(uint32_t colour, uint32_t gl, int count) {
  glBindTexture(GL_TEXTURE_2D, gl);
  glColor4ub(colour >> 16 & 0xFF, colour >> 8 & 0xFF, colour & 0xFF, 255);
  glVertexPointer(2, GL_FLOAT, 0, ring_xy);
  glTexCoordPointer(2, GL_FLOAT, 0, ring_uv);
  gfx_draw_arrays(GL_TRIANGLE_STRIP, 0, count);
  glColor4f(1, 1, 1, 1);
}

// Vertex i of the strip arrays at (x, y) with texture coordinate (u, v).
static void strip_vertex(int i, float x, float y, float u, float v) {
  ring_xy[2 * i] = x;
  ring_xy[2 * i + 1] = y;
  ring_uv[2 * i] = u;
  ring_uv[2 * i + 1] = v;
}

void ring_paint(uint32_t colour, int sprite, float x, float y, float radius, int segments, float width) {
  uint32_t gl;
  float uv[4];
  if (!sprite_batch_uv(sprite, &gl, uv)) return;
  const int n = _ring_segments(segments);
  const float inner = radius - width / 2, outer = radius + width / 2;
  for (int i = 0; i < n; i++) {
    const float a = 2 * VANTOR_PI * i / (n - 1);  // the last pair closes the ring on the first
    const float v = uv[1] + (uv[3] - uv[1]) * i / (n - 1);
    strip_vertex(2 * i, x + std::sin(a) * inner, y + std::cos(a) * inner, uv[0], v);
    strip_vertex(2 * i + 1, x + std::sin(a) * outer, y + std::cos(a) * outer, uv[2], v);
  }
  strip_draw(colour, gl, 2 * n);
}

void line_paint(int sprite, uint32_t colour, float x1, float y1, float x2, float y2, float width) {
  const float dx = x2 - x1, dy = y2 - y1, d = std::sqrt(dx * dx + dy * dy);
  uint32_t gl;
  float uv[4];
  if (!(d > 0) || !sprite_batch_uv(sprite, &gl, uv)) return;
  const float nx = -dy / d * width / 2, ny = dx / d * width / 2;
  strip_vertex(0, x1 + nx, y1 + ny, uv[0], uv[1]);
  strip_vertex(1, x1 - nx, y1 - ny, uv[2], uv[1]);
  strip_vertex(2, x2 + nx, y2 + ny, uv[0], uv[3]);
  strip_vertex(3, x2 - nx, y2 - ny, uv[2], uv[3]);
  strip_draw(colour, gl, 4);
}

void arrow_paint(int sprite, float width, float gap, const Item &from, const Item &to) {
  const float dx = to.position_x - from.position_x, dy = to.position_y - from.position_y;
  const float d = std::sqrt(dx * dx + dy * dy);
  const float start = from.body_r + gap, end = to.body_r + gap;
  if (!(d > 0) || !(start + end <= d)) return;
  const float ux = dx / d, uy = dy / d;
  line_paint(sprite, 0x00FFFF, from.position_x + ux * start, from.position_y + uy * start, to.position_x - ux * end,
             to.position_y - uy * end, width);
}

uint32_t color_apply_alpha(uint32_t colour, int alpha) {
  const uint32_t a = (uint32_t)std::clamp(alpha, 0, 255);  // render_alpha is a mod's 16-bit word
  const uint32_t r = (colour >> 16 & 0xFF) * a / 255, g = (colour >> 8 & 0xFF) * a / 255, b = (colour & 0xFF) * a / 255;
  return r << 16 | g << 8 | b;
}

void gl_matrix_of(const float matrix[16], float out[16]) {
  for (int row = 0; row < 4; row++) {
    for (int col = 0; col < 4; col++) out[4 * col + row] = matrix[4 * row + col];
  }
}
