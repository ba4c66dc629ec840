// Match painting: one frame of the world layer by layer, the backdrop and the colour-blind remap.
#include "vantor_paint.h"
#include "vantor_paint_internal.h"

#include <GL/glew.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "kez_font.h"
#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "kez_log.h"
#include "kez_rand.h"
#include "vantor_batch.h"
#include "vantor_host.h"
#include "vantor_planet_paint.h"
#include "vantor_step.h"
#include "vantor_world.h"

// The last glGetError value each checkpoint of sys_paint saw: a steady error is logged once.
static int paint_gl_errors[8];

// Particle vertices: 6 per particle (two triangles), drawn straight from these arrays.
static float part_xy[VANTOR_PARTS * 6 * 2];
static float part_uv[VANTOR_PARTS * 6 * 2];
static float part_rgba[VANTOR_PARTS * 6 * 4];
// The world and drawing-state generation the particles' cached image handles were taken under.
static const World *parts_world;
static uint32_t parts_generation;

// Source colour -> palette colour, in the order colours were first seen since the last clear.
static std::map<uint32_t, uint32_t> remap_cache;
// Palette entries handed out (0..12).
static int remap_count;
static const uint32_t remap_palette[12] = {0x0000FF, 0xFF0000, 0xFFFF00, 0x00FFFF, 0xFFFFFF, 0xFF8800,
                                           0x99FF99, 0xFF9999, 0x00FF00, 0xBB00FF, 0xFF88FF, 0x9999FF};

static void paint_gl_check(int point) {
  const int e = (int)glGetError();
  if (e == paint_gl_errors[point]) return;
  log_printf(__FILE__, __LINE__, "sys_paint", "glGetError() -> %d\n", e);
  paint_gl_errors[point] = e;
}

// v truncated toward zero and held to lo..hi; NaN gives lo. Mods can write any float.
static int paint_trunc(float v, int lo, int hi) {
  if (!(v > lo)) return lo;
  return v < hi ? (int)v : hi;
}

// Premultiplied 0xRRGGBB with alpha as the current GL colour.
static void paint_color(uint32_t colour, int alpha) {
  const uint32_t c = color_apply_alpha(colour, alpha);
  glColor4ub(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF, (GLubyte)std::clamp(alpha, 0, 255));
}

void sys_paint(View *view, World *world, int user, int background) {
  if (!view->initialised) view_init(view, world, 0);
  paint_gl_check(0);
  if (background) {
    background_paint(world);
    stars_paint(world);
  }
  paint_gl_check(1);
  float matrix[16];
  gl_matrix_of(view->world_to_screen, matrix);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(matrix);
  paint_gl_check(2);
  planets_paint_spheres(world, 1 / view->fit_scale);
  planet_overlays_paint(world);
  paint_gl_check(3);
  items_paint(world, view, user);
  paint_gl_check(4);
  you_paint(world);
  paint_gl_check(5);
  parts_paint(world);
  paint_gl_check(6);
  gfx_ortho();
  paint_gl_check(7);
}

// A ring ('C') or line ('L') item, additive, with the "line" sprite.
static void item_draw_paint(const Item &item, int line) {
  if (item.draw_type != 'C' && item.draw_type != 'L') return;
  tri_batch_flush();
  glBlendFunc(GL_ONE, GL_ONE);
  if (item.draw_type == 'C') {
    ring_paint(item.render_color, line, item.position_x, item.position_y, item.draw_r, paint_trunc(item.draw_r, 0, 128),
               20);
  } else {
    line_paint(line, item.render_color, item.position_x, item.position_y, item.draw_x2, item.draw_y2, 20);
  }
}

static void item_image_paint(const Item &item) {
  char name[sizeof(item.image_src)];
  vantor_text_copy(name, sizeof(name), item.image_src);  // a synced record need not end its text
  const uint32_t colour = item.is_ship ? color_remap(item.render_color) : item.render_color;
  const uint32_t blend = item.render_blend ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA;
  sprite_batch_quad(gfx_img_load(name), colour, item.render_alpha, blend, item.position_x, item.position_y,
                    item.image_w, item.image_h, item.image_cx, item.image_cy, item.image_scale, item.image_a);
}

// A planet shows its ship count when its relation to the user is one the user wants counted.
void _planet_label_set(World *world, Item &planet, int user) {
  const Item *viewer = vantor_item_live(world, user);
  const int mask = viewer ? viewer->ui_ships_show_mask : 23;
  if (!(mask & vantor_item_relation(world, planet.n, user))) {
    planet.has_label = 0;
    return;
  }
  planet.has_label = 1;
  snprintf(planet.label_text, sizeof(planet.label_text), "%d", paint_trunc(planet.ships_value, 0, INT32_MAX));
  vantor_text_copy(planet.label_font, sizeof(planet.label_font), "font-outline");
  planet.render_color = 0xFFFFFF;
  planet.render_alpha = 255;
}

// The label upright on screen, placed by its alignment round the item's position.
static void item_label_paint(const Item &item, const View *view) {
  tri_batch_flush();
  char text[sizeof(item.label_text)], font_name[sizeof(item.label_font)];
  vantor_text_copy(text, sizeof(text), item.label_text);
  vantor_text_copy(font_name, sizeof(font_name), item.label_font);
  const int font = font_load(font_name, item.label_size ? item.label_size : 20);
  glPushMatrix();
  glTranslatef(item.position_x, item.position_y, 0);
  glRotatef(view->rotation, 0, 0, 1);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  paint_color(item.render_color, item.render_alpha);
  const int w = paint_trunc(font_text_width(font, text), 0, 1 << 20);
  const int h = paint_trunc(font_text_height(font, text, 0), 0, 1 << 20);
  font_draw_line(font, text, (float)((item.label_align - 1) * w / 2), (float)((item.label_valign - 1) * h / 2));
  glColor4f(1, 1, 1, 1);
  glPopMatrix();
}

void items_paint(World *world, const View *view, int user) {
  const int line = gfx_img_load("line");
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    Item &item = world->items[n];
    if (!item.in_use) continue;
    if (item.has_draw) item_draw_paint(item, line);
    if (item.has_image) item_image_paint(item);
    if (item.has_planet) _planet_label_set(world, item, user);
    if (item.has_label) item_label_paint(item, view);
  }
  tri_batch_flush();
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}

void you_paint(const World *world) {
  if (!(world->time < 3.0f)) return;
  const int c = (int)std::min(224.0f, (3 - world->time) * 127.5f);
  const uint32_t colour = (uint32_t)((c * 255 / 256) & 255) << 8 | (uint32_t)((c * 85 / 256) & 255);
  const uint64_t t = (uint64_t)SDL_GetTicks() * 60 / 1000;
  const float angle = -(float)(4 * t % 360) * VANTOR_PI / 180;  // -240 degrees a second
  const int you = gfx_img_load("you");
  for (const Item &planet : world->items) {
    if (!planet.in_use || !planet.has_planet || !vantor_item_get(world, planet.owner_n).has_player) continue;
    const float size = 4 * planet.body_r;
    sprite_batch_quad(you, colour, 255, GL_ONE, planet.position_x, planet.position_y, size, size, size / 2, size / 2, 1,
                      angle);
  }
  tri_batch_flush();
}

// Image handles cached in the particles are dropped when they may come from another drawing
// state: after a GL reset the same number names another image, or none.
static void parts_cache_check(World *world) {
  if (world == parts_world && gfx_generation() == parts_generation) return;
  for (Part &part : world->parts) part.texture = 0;
  parts_world = world;
  parts_generation = gfx_generation();
}

// The six vertices of particle slot k at its age, in the sprite rectangle uv.
static void part_vertices(const Part &part, int k, const float uv[4]) {
  const float t = part.age;
  const float x = part.x + part.vx * t, y = part.y + part.vy * t, s = part.size + part.size_rate * t;
  const float alpha = std::min(1.0f, part.alpha + part.alpha_rate * t);
  const float angle = part.angle + part.angle_rate * t, cs = std::cos(angle), sn = std::sin(angle);
  static const int corners[6] = {0, 1, 2, 2, 1, 3};  // bit 0: right, bit 1: bottom
  for (int i = 0; i < 6; i++) {
    const int corner = corners[i], v = 6 * k + i;
    const float px = (corner & 1) ? s : -s, py = (corner & 2) ? s : -s;
    part_xy[2 * v] = x + cs * px - sn * py;
    part_xy[2 * v + 1] = y + sn * px + cs * py;
    part_uv[2 * v] = uv[(corner & 1) ? 2 : 0];
    part_uv[2 * v + 1] = uv[(corner & 2) ? 3 : 1];
    std::fill(part_rgba + 4 * v, part_rgba + 4 * v + 4, alpha);
  }
}

// Draws particle slots first..first + count - 1 of the arrays with one texture.
static void parts_run_draw(uint32_t gl, int first, int count) {
  if (count <= 0) return;
  glBindTexture(GL_TEXTURE_2D, gl);
  gfx_draw_arrays(GL_TRIANGLES, 6 * first, 6 * count);
}

void parts_paint(World *world) {
  parts_cache_check(world);
  glBlendFunc(GL_ONE, GL_ONE);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, part_xy);
  glTexCoordPointer(2, GL_FLOAT, 0, part_uv);
  glColorPointer(4, GL_FLOAT, 0, part_rgba);
  int count = 0, run_start = 0;
  uint32_t run_gl = 0;
  for (Part &part : world->parts) {
    if (!part.in_use) continue;
    if (!part.texture) {
      char name[sizeof(part.image)];
      vantor_text_copy(name, sizeof(name), part.image);
      part.texture = (uint32_t)gfx_img_load(name);
    }
    uint32_t gl;
    float uv[4];
    if (!sprite_batch_uv((int)part.texture, &gl, uv)) continue;
    if (gl != run_gl) {
      parts_run_draw(run_gl, run_start, count - run_start);
      run_start = count;
      run_gl = gl;
    }
    part_vertices(part, count++, uv);
  }
  parts_run_draw(run_gl, run_start, count - run_start);
  glDisableClientState(GL_COLOR_ARRAY);
  glColor4f(1, 1, 1, 1);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}

// Open to the tests: the backdrop picture's name for the world, into name.
void _background_name(const World *world, char name[32]) {
  if (world->background[0]) {
    vantor_text_copy(name, sizeof(world->background), world->background);
    return;
  }
  snprintf(name, 32, "background%02d", world->started ? (int)((uint32_t)world->started % 4) + 1 : 5);
}

void background_paint(const World *world) {
  if (!gfx_state) return;
  const float w = std::trunc(gfx_state->virtual_w), h = std::trunc(gfx_state->virtual_h);
  const uint64_t t = (uint64_t)SDL_GetTicks() * 60 / 1000;
  char name[32];
  _background_name(world, name);
  const float r = std::sqrt(w * w + h * h) * 0.5f;
  const float s = world->view_scale > 0 ? world->view_scale : 1;
  const float k = 1 - std::log10(s) / 12;  // a wider view shows the backdrop a little smaller
  glPushMatrix();
  glTranslatef((float)((int)w / 2), (float)((int)h / 2), 0);
  glRotatef((float)(t % 86400) / 240, 0, 0, 1);
  glScalef(k, k, 1);
  // The backdrop is the first layer on a cleared screen: drawn without blending, the renderer need not
  // read the pixels it covers (over black, the blend would give the same colours).
  glDisable(GL_BLEND);
  gfx_img_draw_enlarged(gfx_img_load(name), -r, -r, 2 * r, 2 * r, k * gfx_state->scale);
  glEnable(GL_BLEND);
  glPopMatrix();
}

// ---- Star field ----

static Star stars[STARS_MAX];
static uint32_t stars_key;  // (UI width << 16) + UI height the field was made for
// Six vertices a star (two triangles), drawn straight from these arrays.
static float star_xyz[STARS_MAX * 6 * 3];
static float star_uv[STARS_MAX * 6 * 2];
static uint8_t star_rgba[STARS_MAX * 6 * 4];

// Open to the tests: the star table.
const Star *_stars_table() { return stars; }

// A new field anywhere in the side x side square about the screen centre.
static void stars_make(int side) {
  const int half = side / 2;
  for (Star &star : stars) {
    star.x = (float)(rand() % side - half);
    star.y = (float)(rand() % side - half);
    star.z = (float)(rand() % side);
    star.size = 0.75f + 0.75f * (float)rand15() / 32767;
    star.speed = (float)rand15() / 32767;
  }
  memset(star_rgba, 255, sizeof(star_rgba));
}

// Open to the tests: the number of stars a window of that size shows (0
// for an empty window): one per 900 square units of the window scaled so that its longer side
// measures ui_size.
int _stars_count(int window_w, int window_h, int ui_size) {
  const int64_t m = std::max(window_w, window_h);
  if (window_w <= 0 || window_h <= 0 || ui_size <= 0) return 0;
  const int64_t a = (int64_t)ui_size * window_h / m, b = (int64_t)ui_size * window_w / m;
  return (int)std::min<int64_t>(STARS_MAX, a * b / 900);  // 921600 / 1024: no overflow for any size word
}

// Drifts the first n stars left, each by its speed and size, wrapping round the square.
static void stars_move(int n, int side) {
  const int half = side / 2;
  for (int i = 0; i < n; i++) {
    Star &star = stars[i];
    star.x -= star.speed * star.size * 0.05f;
    if (star.x < -half) star.x += side;
  }
}

// The quads of the first n stars with the sprite rectangle uv.
static void stars_vertices(int n, const float uv[4]) {
  static const int corners[6] = {0, 1, 2, 2, 1, 3};  // bit 0: right, bit 1: bottom
  for (int i = 0; i < n; i++) {
    const Star &star = stars[i];
    for (int c = 0; c < 6; c++) {
      const int corner = corners[c], v = 6 * i + c;
      star_xyz[3 * v] = star.x + ((corner & 1) ? star.size : -star.size);
      star_xyz[3 * v + 1] = star.y + ((corner & 2) ? star.size : -star.size);
      star_xyz[3 * v + 2] = star.z;
      star_uv[2 * v] = uv[(corner & 1) ? 2 : 0];
      star_uv[2 * v + 1] = uv[(corner & 2) ? 3 : 1];
    }
  }
}

// Draws the first n stars about the centre of a w x h screen, turned and scaled like the backdrop.
static void stars_draw(const World *world, int n, int w, int h) {
  uint32_t gl;
  float uv[4];
  if (n <= 0 || !sprite_batch_uv(gfx_img_load("star"), &gl, uv)) return;
  stars_vertices(n, uv);
  const uint64_t t = (uint64_t)SDL_GetTicks() * 60 / 1000;
  const float s = world->view_scale > 0 && std::isfinite(world->view_scale) ? world->view_scale : 1;
  const float k = 1 - std::log10(s) * 0.125f;
  glPushMatrix();
  glTranslatef((float)(w / 2), (float)(h / 2), 0);
  glRotatef((float)std::fmod((double)t / 220, 360), 0, 0, 1);
  glScalef(k, k, 1);
  glEnable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glBindTexture(GL_TEXTURE_2D, gl);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, star_xyz);
  glTexCoordPointer(2, GL_FLOAT, 0, star_uv);
  glColorPointer(4, GL_UNSIGNED_BYTE, 0, star_rgba);
  gfx_draw_arrays(GL_TRIANGLES, 0, 6 * n);
  glDisableClientState(GL_COLOR_ARRAY);
  glPopMatrix();
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}

void stars_paint(const World *world) {
  const int w = vantor_ui_width(), h = vantor_ui_height();
  const int side = (int)(std::max(w, h) * 1.5f);
  if (side <= 0) return;  // no window yet: no square to scatter the stars in
  const uint32_t key = ((uint32_t)w << 16) + (uint32_t)h;
  if (key != stars_key) {
    stars_make(side);
    stars_key = key;
  }
  const int n = app_info ? _stars_count(app_info->width, app_info->height, vantor_ui_size()) : 0;
  stars_move(n, side);
  stars_draw(world, n, w, h);
  // Backdrop and stars cover every pixel and are the largest share of a frame's raster work. Handed to
  // the renderer now, its threads paint them while this thread still prepares the layers above.
  glFlush();
}

// Open to the tests: forgets every colour the remap has handed out (the
// palette starts over).
void _color_remap_clear() {
  remap_cache.clear();
  remap_count = 0;
}

uint32_t color_remap(uint32_t c) {
  if (!vantor_host || !vantor_host->colorblind()) return c;
  const uint32_t r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
  if (r == g && g == b && r < 170) return c;  // dark greys (neutral planets) keep their look
  auto it = remap_cache.find(c);
  if (it != remap_cache.end()) return it->second;
  if (remap_count >= 12) _color_remap_clear();
  const uint32_t mapped = remap_palette[remap_count++];
  remap_cache[c] = mapped;
  return mapped;
}

// Luminance of 0xRRGGBB, truncated.
static int color_luminance(int r, int g, int b) { return (int)(0.21f * r + 0.71f * g + 0.07f * b); }

uint32_t color_readable(uint32_t c) {
  int r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
  // Each pass raises L by at least 0.07 per unit while a channel is below 255, and all three at
  // 255 give 252: the loop ends.
  for (int l = color_luminance(r, g, b); l < 85; l = color_luminance(r, g, b)) {
    r = std::min(255, r + 85 - l);
    g = std::min(255, g + 85 - l);
    b = std::min(255, b + 85 - l);
  }
  return (uint32_t)(r << 16 | g << 8 | b);
}
