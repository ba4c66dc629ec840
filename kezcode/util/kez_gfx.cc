// Drawing state: the window <-> virtual-unit transform, the clip stack, GL set-up and the 2D primitives.
#include "kez_gfx.h"
#include "kez_gfx_internal.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "kez_driver-files.h"
#include "kez_gfx-tex.h"
#include "kez_log.h"

#define LOG(...) DRIVER_LOG_PRINTF(__VA_ARGS__)

GfxState *gfx_state;

static uint32_t generation;
static uint64_t draw_calls;
// The last glGetError value each checking function saw: a steady error is logged once.
static int gl_error_reset, gl_error_clear, gl_error_ortho;

static void _gfx_gl_check(int &last) {
  int e = (int)glGetError();
  if (e == last) return;
  LOG("glGetError() -> %d\n", e);
  last = e;
}

// Whole part of v held inside the int range (NaN gives 0): image sizes from atlas files are not trusted.
static int _gfx_whole(double v) {
  if (v != v) return 0;
  return (int)std::max(-1e9, std::min(1e9, v));
}

void gfx_init() {
  if (!gfx_state) {
    gfx_state = new GfxState();
    gfx_state->textures.resize(1);
    gfx_state->images.resize(1);
    gfx_state->virtual_w = gfx_state->virtual_h = 256;
    gfx_state->scale = 1;
    gfx_state->z_near = -1;
    gfx_state->z_far = 1;
    gfx_gl_state_reset();
  }
  gfx_screen_update();
}

void gfx_deinit() {
  if (!gfx_state) return;
  LOG("gfx_deinit()\n");
  gfx_tex_preload_stop();
  LOG("_gfx->memused: %.2fM\n", gfx_state->memused / 1048576.0);
  for (size_t i = 1; i < gfx_state->textures.size(); i++) gfx_tex_unload((int)i);
  LOG("_gfx->memused: %.2fM\n", gfx_state->memused / 1048576.0);
  delete gfx_state;
  gfx_state = nullptr;
  generation++;
}

uint32_t gfx_generation() { return generation; }

void gfx_screen_update() {
  if (!gfx_state || !app_info) return;
  float w = (float)app_info->width, h = (float)app_info->height;
  if (w == gfx_state->screen_w && h == gfx_state->screen_h) return;
  gfx_state->screen_w = w;
  gfx_state->screen_h = h;
  gfx_state->screen = {0, 0, w, h};
}

void gfx_gl_state_reset() {
  if (!driver_gl_context()) return;  // texture-unit calls go through GLEW, loaded with the context
  _gfx_gl_check(gl_error_reset);
  glDisable(GL_DEPTH_TEST);
  glActiveTexture(GL_TEXTURE0);
  glClientActiveTexture(GL_TEXTURE0);
  glEnable(GL_TEXTURE_2D);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);  // every colour is premultiplied
  glFrontFace(GL_CCW);
  glCullFace(GL_BACK);
  glDisable(GL_CULL_FACE);
  glDisableClientState(GL_COLOR_ARRAY);
  glColor4f(1, 1, 1, 1);
}

void gfx_clear() {
  _gfx_gl_check(gl_error_clear);
  glClearColor(0, 0, 0, 1);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void gfx_ortho() {
  if (!gfx_state) return;
  _gfx_gl_check(gl_error_ortho);
  gfx_screen_update();
  const GfxState &g = *gfx_state;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, g.screen_w, g.screen_h, 0, g.z_near, g.z_far);  // y grows downwards
  glTranslatef(g.screen.x + g.screen.w / 2, g.screen.y + g.screen.h / 2, 0);
  glScalef(g.scale, g.scale, 1);
  glRotatef(g.rotation, 0, 0, 1);
  glTranslatef(-std::trunc(g.virtual_w) / 2, -std::trunc(g.virtual_h) / 2, 0);
  glTranslatef(g.offset_x, g.offset_y, 0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void gfx_point_to_screen(float &x, float &y) {
  if (!gfx_state) return;
  const GfxState &g = *gfx_state;
  double r = g.rotation * M_PI / 180, c = std::cos(r), s = std::sin(r);
  double px = x + g.offset_x - std::trunc(g.virtual_w) / 2, py = y + g.offset_y - std::trunc(g.virtual_h) / 2;
  x = (float)(g.screen.x + g.screen.w / 2 + g.scale * (c * px - s * py));
  y = (float)(g.screen.y + g.screen.h / 2 + g.scale * (s * px + c * py));
}

void gfx_point_to_virtual(float &x, float &y) {
  if (!gfx_state) return;
  const GfxState &g = *gfx_state;
  double r = g.rotation * M_PI / 180, c = std::cos(r), s = std::sin(r);
  double qx = 0, qy = 0;  // a zero scale (window not sized yet) maps everything to the centre
  if (g.scale != 0) {
    qx = (x - (g.screen.x + g.screen.w / 2)) / g.scale;
    qy = (y - (g.screen.y + g.screen.h / 2)) / g.scale;
  }
  x = (float)(std::trunc(g.virtual_w) / 2 + (c * qx + s * qy) - g.offset_x);
  y = (float)(std::trunc(g.virtual_h) / 2 + (-s * qx + c * qy) - g.offset_y);
}

// Maps a rectangle through a point mapping, by its two corners.
static void _gfx_rect_map(void (*map)(float &, float &), float &x, float &y, float &w, float &h) {
  float x2 = x + w, y2 = y + h;
  map(x, y);
  map(x2, y2);
  w = x2 - x;
  h = y2 - y;
}

void gfx_rect_to_screen(float &x, float &y, float &w, float &h) { _gfx_rect_map(gfx_point_to_screen, x, y, w, h); }

void gfx_rect_to_virtual(float &x, float &y, float &w, float &h) { _gfx_rect_map(gfx_point_to_virtual, x, y, w, h); }

bool gfx_event_positioned(const Event &e) {
  return e.type == EVT_DOWN || e.type == EVT_MOVE || e.type == EVT_UP || e.type == EVT_WHEEL;
}

void gfx_event_to_virtual(Event &e) {
  if (!gfx_event_positioned(e)) return;
  e.raw_x = e.x;
  e.raw_y = e.y;
  e.raw_dx = e.dx;
  e.raw_dy = e.dy;
  gfx_rect_to_virtual(e.x, e.y, e.dx, e.dy);
}

void gfx_focus_rect_set(float x, float y, float w, float h) {
  if (gfx_state) gfx_state->focus = {x, y, w, h};
}

void gfx_focus_rect_clear() { gfx_focus_rect_set(0, 0, 0, 0); }

void gfx_clip_push(float x, float y, float w, float h) {
  if (!gfx_state) return;
  GfxState &g = *gfx_state;
  if (g.clip_depth < 0) g.clip_depth = 0;  // an extra pop must not let a push overwrite the translation
  int d = ++g.clip_depth;
  if (d > GFX_CLIP_MAX) return;  // still counted: everything stays clipped until it is popped again
  GfxRect &slot = g.clip[d];
  slot = {x + g.clip[0].x, y + g.clip[0].y, w, h};
  if (d >= 2 && !gfx_clip_rect(slot, nullptr, g.clip[d - 1])) slot.w = slot.h = 0;
}

void gfx_clip_pop() {
  if (gfx_state && gfx_state->clip_depth > 0) gfx_state->clip_depth--;
}

// Cuts the span (pos, size) to (cpos, csize); the paired span, if any, loses the same share of itself.
static bool _gfx_clip_axis(float &pos, float &size, float *tpos, float *tsize, float cpos, float csize) {
  if (cpos > pos) {
    float d = cpos - pos;
    if (tpos) {
      float k = *tsize * d / size;
      *tpos += k;
      *tsize -= k;
    }
    pos += d;
    size -= d;
    if (!(size > 0)) return false;
  }
  if (pos + size > cpos + csize) {
    float d = pos + size - (cpos + csize);
    if (tsize) *tsize -= d * *tsize / size;
    size -= d;
  }
  return size > 0;
}

bool gfx_clip_rect(GfxRect &r, GfxRect *t, const GfxRect &c) {
  if (!(r.w > 0) || !(r.h > 0)) return false;  // also refuses NaN sizes
  return _gfx_clip_axis(r.x, r.w, t ? &t->x : nullptr, t ? &t->w : nullptr, c.x, c.w) &&
         _gfx_clip_axis(r.y, r.h, t ? &t->y : nullptr, t ? &t->h : nullptr, c.y, c.h);
}

bool gfx_clip_test(GfxRect &r, GfxRect *t) {
  if (!gfx_state || gfx_state->clip_depth <= 0) return true;
  const GfxState &g = *gfx_state;
  if (g.clip_depth > GFX_CLIP_MAX) return false;
  GfxRect c = g.clip[g.clip_depth];
  c.x -= g.clip[0].x;
  c.y -= g.clip[0].y;
  return gfx_clip_rect(r, t, c);
}

void gfx_draw_arrays(uint32_t mode, int first, int count) {
  glDrawArrays(mode, first, count);
  draw_calls++;
}

// Open to the tests: draw calls made so far by the process.
uint64_t gfx_draw_count() { return draw_calls; }

// The strip order of a rect's corners: top left, bottom left, top right, bottom right.
static void _gfx_corners(const GfxRect &r, float out[8]) {
  const float c[8] = {r.x, r.y, r.x, r.y + r.h, r.x + r.w, r.y, r.x + r.w, r.y + r.h};
  std::copy(c, c + 8, out);
}

// One four-vertex strip over r, with the texture rect t or untextured.
static void _gfx_strip(const GfxRect &r, const GfxRect *t) {
  float v[8], uv[8];
  _gfx_corners(r, v);
  glVertexPointer(2, GL_FLOAT, 0, v);
  if (t) {
    _gfx_corners(*t, uv);
    glTexCoordPointer(2, GL_FLOAT, 0, uv);
  }
  gfx_draw_arrays(GL_TRIANGLE_STRIP, 0, 4);
}

void gfx_tex_draw(uint32_t gl_texture, float u, float v, float uw, float vh, float x, float y, float w, float h) {
  GfxRect r = {x, y, w, h}, t = {u, v, uw, vh};
  if (!(w > 0) || !(h > 0) || !gfx_clip_test(r, &t)) return;  // degenerate rects draw nothing, even unclipped
  glBindTexture(GL_TEXTURE_2D, gl_texture);
  _gfx_strip(r, &t);
}

// Draws the part (u, v, uw, vh) of an image into (x, y, w, h). An image without a decoded texture or
// with an empty frame draws nothing: it has no size to divide by and must not show as a white quad.
static void _gfx_img_part(int image, float u, float v, float uw, float vh, float x, float y, float w, float h) {
  GfxImage *img = gfx_img_get(image);
  if (!img) return;
  int texture = img->texture;
  gfx_tex_touch(texture);    // an evicted texture comes back for whoever still draws it
  img = gfx_img_get(image);  // the reload rewrites the image table
  const GfxTexture *t = gfx_tex_get(texture);
  if (!t || !t->gl || !(t->rect.w > 0) || !(t->rect.h > 0) || !(img->full_w > 0) || !(img->full_h > 0)) return;
  float tw = t->rect.w, th = t->rect.h;
  gfx_tex_draw(t->gl, (img->sx + u * img->sw) / tw, (img->sy + v * img->sh) / th, uw * img->sw / tw, vh * img->sh / th,
               x + img->trim_x * w / img->full_w, y + img->trim_y * h / img->full_h, w * img->sw / img->full_w,
               h * img->sh / img->full_h);
}

void gfx_img_draw(int image, float x, float y, float w, float h) {
  const GfxImage *img = gfx_img_get(image);
  if (!img) return;
  if (w == 0) w = img->full_w;
  if (h == 0) h = img->full_h;
  _gfx_img_part(image, 0, 0, 1, 1, x, y, w, h);
}

void gfx_img_draw_enlarged(int image, float x, float y, float w, float h, float unit_pixels) {
  const uint32_t gl = gfx_img_texture(image);  // brings an evicted texture back first
  const GfxImage *img = gfx_img_get(image);
  const bool enlarged = gl && img && img->full_w > 0 && img->full_h > 0 &&
                        std::min(w / img->full_w, h / img->full_h) * unit_pixels >= 1.01f;
  GLint min_filter = GL_LINEAR;
  if (enlarged) {
    glBindTexture(GL_TEXTURE_2D, gl);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  }
  gfx_img_draw(image, x, y, w, h);
  if (enlarged) {
    glBindTexture(GL_TEXTURE_2D, gl);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
  }
}

void gfx_img_draw_part(int image, float u, float v, float uw, float vh, float x, float y, float w, float h) {
  if (w == 0 || h == 0) return;
  _gfx_img_part(image, u, v, uw, vh, x, y, w, h);
}

// Open to the tests: the 9-slice corner size (cw, ch) for an image of full size fw x fh drawn into
// w x h; false when nothing is to be drawn.
bool _gfx_9slice_corner(float fw, float fh, int w, int h, int corner, int *cw, int *ch) {
  if (!(fw > 0) || !(fh > 0) || w <= 0 || h <= 0) return false;
  float aspect = fw / fh;
  corner = std::max(corner, 0);
  int x = std::min(w / 3, corner), y = std::min(h / 3, corner);
  if (fw > fh) {
    x = _gfx_whole(y * aspect);
  } else if (fw < fh) {
    y = _gfx_whole(x / aspect);
  }
  if (x > w / 3) {  // for a whole x the same as comparing with the exact third
    x = w / 3;
    y = _gfx_whole(x / aspect);
  }
  if (y > h / 3) {
    y = h / 3;
    x = _gfx_whole(y * aspect);
  }
  *cw = x;
  *ch = y;
  return true;
}

void gfx_img_draw_9slice(int image, int x, int y, int w, int h, int corner) {
  const GfxImage *img = gfx_img_get(image);
  int cw, ch;
  if (!img || !_gfx_9slice_corner(img->full_w, img->full_h, w, h, corner, &cw, &ch)) return;
  const int col_x[3] = {x, x + cw, x + w - cw}, col_w[3] = {cw, w - 2 * cw, cw};
  const int row_y[3] = {y, y + ch, y + h - ch}, row_h[3] = {ch, h - 2 * ch, ch};
  const float third = 1.0f / 3;
  for (int r = 0; r < 3; r++) {
    for (int c = 0; c < 3; c++) {
      gfx_img_draw_part(image, c * third, r * third, third, third, col_x[c], row_y[r], col_w[c], row_h[r]);
    }
  }
}

void gfx_img_draw_tiled(int image, int x, int y, int w, int h, int step) {
  if (step <= 0) return;  // a step that does not advance would never leave the row
  gfx_clip_push(x, y, w, h);
  for (int64_t ty = y; ty < (int64_t)y + h; ty += step) {
    for (int64_t tx = x; tx < (int64_t)x + w; tx += step)
      gfx_img_draw(image, (float)tx, (float)ty, (float)step, (float)step);
  }
  gfx_clip_pop();
}

void gfx_rect_fill(uint32_t colour, float x, float y, float w, float h) {
  GfxRect r = {x, y, w, h};
  if (!(w > 0) || !(h > 0) || !gfx_clip_test(r, nullptr)) return;
  glColor4ub((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF, 255);
  glDisable(GL_TEXTURE_2D);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  _gfx_strip(r, nullptr);
  glEnable(GL_TEXTURE_2D);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glColor4f(1, 1, 1, 1);
}

uint32_t gfx_img_texture(int image) {
  const GfxImage *img = gfx_img_get(image);
  if (!img) return 0;
  int texture = img->texture;
  gfx_tex_touch(texture);
  const GfxTexture *t = gfx_tex_get(texture);
  return t ? t->gl : 0;
}

float gfx_img_aspect(int image) {
  const GfxImage *img = gfx_img_get(image);
  float fw = img ? std::trunc(img->full_w) : 0, fh = img ? std::trunc(img->full_h) : 0;
  return std::max(1.0f, fw) / std::max(1.0f, fh);  // 1 first: a NaN size counts as 1
}
