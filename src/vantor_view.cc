// The match view: the player's window onto the match (camera, selection, pointer gestures).
#include "vantor_view.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "game_settings.h"
#include "kez_gfx.h"
#include "kez_math.h"
#include "vantor.h"
#include "vantor_batch.h"

// View::ui is a copy of the settings words from ui_box on.
static constexpr size_t view_ui_word(size_t offset) { return (offset - offsetof(GameSettings, ui_box)) / 4; }
static_assert(view_ui_word(offsetof(GameSettings, ui_percent)) == VIEW_UI_PERCENT);
static_assert(view_ui_word(offsetof(GameSettings, ui_slider)) == VIEW_UI_SLIDER);
static_assert(view_ui_word(offsetof(GameSettings, ui_lefty)) == VIEW_UI_LEFTY);
static_assert(view_ui_word(offsetof(GameSettings, ui_drag_drop)) == VIEW_UI_DRAG_DROP);
static_assert(view_ui_word(offsetof(GameSettings, ui_colorblind)) == VIEW_UI_COLORBLIND);

// Tri-state settings words: > 0 on, 0 or < 0 off.
static bool view_option(const View *view, int word) { return view->ui[word] > 0; }

void view_init(View *view, World *world, int force) {
  if (!force && view->initialised) return;
  memset(view->selection, 0, sizeof(view->selection));
  memset(view->pointers, 0, sizeof(view->pointers));
  view->initialised = 1;
  view->percent = view->ui[VIEW_UI_PERCENT] ? view->ui[VIEW_UI_PERCENT] : 50;
  const float screen_w = gfx_state ? gfx_state->virtual_w : 0, screen_h = gfx_state ? gfx_state->virtual_h : 0;
  const float screen[4] = {0, 0, screen_w, screen_h};
  memcpy(view->screen_rect, screen, sizeof(screen));
  view_margins(view);
  view_world_bounds(world, view->world_rect);
  memcpy(view->visible_rect, view->world_rect, sizeof(view->visible_rect));
  view->rotation = 0;
  view->fit_scale = 1;
  view_fit(view, world);
  view_visible_rect(view);
}

void view_margins(View *view) {
  float left = 0, right = 0, top = 0, bottom = 0;
  if (view->hud_mode == 0) {
    const float side = view_option(view, VIEW_UI_SLIDER) ? 44 : 0;
    const bool lefty = view_option(view, VIEW_UI_LEFTY);
    left = 10 + (lefty ? side : 0);
    right = 10 + (lefty ? 0 : side);
    top = bottom = 22;
  } else if (view->hud_mode == 2) {
    top = bottom = 44;
  }
  const float *s = view->screen_rect;
  const float content[4] = {s[0] + left, s[1] + top, s[2] - left - right, s[3] - top - bottom};
  memcpy(view->content_rect, content, sizeof(content));
}

void view_fit(View *view, World *world) {
  const float ww = view->world_rect[2], wh = view->world_rect[3];
  const float cw = view->content_rect[2], ch = view->content_rect[3];
  const float upright = math_max(ww / cw, wh / ch), turned = math_max(ww / ch, wh / cw);
  view->rotation = 0;
  view->fit_scale = upright;
  if (view->hud_mode == 0 && turned < upright) {
    view->rotation = 90;
    view->fit_scale = turned;
  }
  // A world without planets has a negative box, an empty screen divides by zero: neither may
  // mirror or collapse the matrices.
  if (!(view->fit_scale > 0) || !std::isfinite(view->fit_scale)) view->fit_scale = 1;
  view_matrices(view, world);
}

// out = the 4x4 row-major rotation by `degrees` about z followed by the uniform scale s.
static void view_linear(float degrees, float s, float out[16]) {
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  memcpy(out, identity, sizeof(identity));
  mat4_rotate_z(out, degrees);
  mat4_scale(out, s, s, s);
}

void view_matrices(View *view, World *world) {
  const float cx = view->content_rect[0] + view->content_rect[2] / 2;
  const float cy = view->content_rect[1] + view->content_rect[3] / 2;
  const float wx = view->world_rect[0] + view->world_rect[2] / 2;
  const float wy = view->world_rect[1] + view->world_rect[3] / 2;
  // screen_to_world(p) = L p + (w - L c): the content centre shows the world-rect centre.
  float *to_world = view->screen_to_world;
  view_linear(view->rotation, view->fit_scale, to_world);
  mat4_translate(to_world, wx - (to_world[0] * cx + to_world[1] * cy), wy - (to_world[4] * cx + to_world[5] * cy), 0);
  // The inverse is built the same way rather than inverted: the determinant of a small fit scale
  // (a one-planet world) falls under the general inverse's singularity threshold.
  float *to_screen = view->world_to_screen;
  view_linear(-view->rotation, 1 / view->fit_scale, to_screen);
  mat4_translate(to_screen, cx - (to_screen[0] * wx + to_screen[1] * wy), cy - (to_screen[4] * wx + to_screen[5] * wy),
                 0);
  gl_matrix_of(view->screen_to_world, view->screen_to_world_gl);
  gl_matrix_of(view->world_to_screen, view->world_to_screen_gl);
  world->view_scale = view->fit_scale;
}

// The row-major matrix m applied to the point (x, y, 0, 1).
static void view_map(const float m[16], float x, float y, float *ox, float *oy) {
  *ox = m[0] * x + m[1] * y + m[3];
  *oy = m[4] * x + m[5] * y + m[7];
}

void view_visible_rect(View *view) {
  const float *c = view->content_rect;
  float x0, y0, x1, y1;
  view_map(view->screen_to_world, c[0], c[1], &x0, &y0);
  view_map(view->screen_to_world, c[0] + c[2], c[1] + c[3], &x1, &y1);
  const float visible[4] = {std::fmin(x0, x1), std::fmin(y0, y1), std::fabs(x1 - x0), std::fabs(y1 - y0)};
  memcpy(view->visible_rect, visible, sizeof(visible));
}

void view_world_bounds(const World *world, float out[4]) {
  if (world->view_rect[2] != 0 && world->view_rect[3] != 0) {
    memcpy(out, world->view_rect, 4 * sizeof(float));
    return;
  }
  float x0 = 99999, y0 = 99999, x1 = -99999, y1 = -99999;
  for (const Item &item : world->items) {
    if (!item.in_use || !item.is_body || !item.has_planet) continue;
    x0 = std::fmin(x0, item.position_x - item.body_r);
    y0 = std::fmin(y0, item.position_y - item.body_r);
    x1 = std::fmax(x1, item.position_x + item.body_r);
    y1 = std::fmax(y1, item.position_y + item.body_r);
  }
  const float bounds[4] = {x0, y0, x1 - x0, y1 - y0};
  memcpy(out, bounds, sizeof(bounds));
}
