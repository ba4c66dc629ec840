// The match view's HUD: percent slider and button input, and the marks, label and readouts over the match.
#include "vantor_hud.h"
#include "vantor_hud_internal.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "art.h"
#include "kez_font.h"
#include "kez_gfx-tex.h"
#include "vantor.h"
#include "vantor_batch.h"
#include "vantor_host.h"
#include "vantor_view.h"
#include "vantor_world.h"

static const uint32_t HUD_CYAN = 0x00FFFF;
static const float HUD_BAND = 44;       // the slider's width, its margins and the button's height
static const int HUD_STATUS_SIZE = 16;  // the status line's text height: it fits the view's top margin

static bool hud_option(const View *view, int word) { return view->ui[word] > 0; }

GfxRect hud_slider_rect(const View *view) {
  const float w = view->screen_rect[2], h = view->screen_rect[3];
  return GfxRect{hud_option(view, VIEW_UI_LEFTY) ? -1 : w - HUD_BAND, HUD_BAND, HUD_BAND, h - 2 * HUD_BAND};
}

// Open to the tests: the percent the slider gives at screen height y.
int _hud_percent_at(const GfxRect &slider, float y) {
  // A screen too short for the slider leaves it no travel: every point reads as the top.
  const float travel = slider.h - 22;
  float v = travel > 0 ? 100 - (y - 55) * 95 / travel : 100;
  if (!(v > 5)) v = 5;
  if (v > 100) v = 100;
  return (((int)v * 2 + 7) / 10) * 5;  // to the nearest multiple of 5
}

// ---- Input ----

static bool hud_in_button(const GfxRect &r, float x, float y) { return y > r.y + r.h && x > r.x && x < r.x + r.w; }

static bool hud_in_slider(const GfxRect &r, float x, float y) {
  return x >= r.x && x <= r.x + r.w && y >= r.y && y <= r.y + r.h;
}

// A press: the button steps the percent (50, 75, 100, 25 ...), the slider sets it. slider_saved
// remembers the percent before the gesture, negative for the button.
static int hud_press(View *view, const GfxRect &r, const Event &e) {
  if (hud_in_button(r, e.x, e.y)) {
    view->slider_saved = -view->percent;
    const int next = (view->percent + 25) / 25 * 25;
    view->percent = next > 100 ? 25 : next;
    view->slider_press = e;
    return 1;
  }
  if (hud_option(view, VIEW_UI_SLIDER) && hud_in_slider(r, e.x, e.y)) {
    view->slider_saved = view->percent;
    view->percent = _hud_percent_at(r, e.y);
    view->slider_press = e;
    return 1;
  }
  view->slider_saved = 0;
  return 0;
}

// A drag: inside the column the slider follows; leaving it gives the gesture back to the world as
// if it had started there, with the percent it had before.
static int hud_drag(World *world, View *view, int user, const GfxRect &r, const Event &e) {
  if (!e.button || !view->slider_saved) return 0;
  if (e.x >= r.x && e.x <= r.x + r.w) {
    if (view->slider_saved > 0) view->percent = _hud_percent_at(r, e.y);
    return 1;
  }
  view->percent = std::abs(view->slider_saved);
  view->slider_saved = 0;
  view_event(world, view, user, view->slider_press, 0);
  return 0;
}

int hud_event(World *world, View *view, Event e, int user) {
  const GfxRect r = hud_slider_rect(view);
  switch (e.type) {
    case EVT_DOWN: return hud_press(view, r, e);
    case EVT_MOVE: return hud_drag(world, view, user, r, e);
    case EVT_UP: view->slider_saved = 0; return 0;
  }
  return 0;
}

// ---- Painting ----

// v truncated toward zero and held to lo..hi; NaN gives lo. Synced records can hold any float.
static int hud_trunc(float v, int lo, int hi) {
  if (!(v > lo)) return lo;
  return v < hi ? (int)v : hi;
}

// Item n when it is a live item of the table, else null.
static const Item *hud_live(const World *world, int n) {
  const Item &item = vantor_item_get(world, n);
  return n > 0 && item.in_use ? &item : nullptr;
}

// A cyan ring just outside the item's body.
static void hud_ring(const View *view, const Item &item, int line) {
  const float radius = item.body_r + 8;
  ring_paint(HUD_CYAN, line, item.position_x, item.position_y, radius, hud_trunc(radius * view->fit_scale, 0, 128), 16);
}

// Rings round the selected items and arrows from them to their pointer's target.
static void hud_selection_paint(View *view, const World *world, int line) {
  view_selection_count(view, world);  // forgets the words of freed items
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const uint32_t slot = view->selection[n];
    if (!slot) continue;
    const Item &item = world->items[n];
    hud_ring(view, item, line);
    if (slot >= VIEW_SLOTS) continue;
    const Item *target = hud_live(world, view->pointers[slot].target);
    if (target) arrow_paint(line, 16, 8, item, *target);
  }
}

static void hud_box_paint(const PointerRecord &rec, int line) {
  const float x0 = rec.box_x0, y0 = rec.box_y0, x1 = rec.box_x1, y1 = rec.box_y1;
  line_paint(line, HUD_CYAN, x0, y0, x1, y0, 16);
  line_paint(line, HUD_CYAN, x1, y0, x1, y1, 16);
  line_paint(line, HUD_CYAN, x1, y1, x0, y1, 16);
  line_paint(line, HUD_CYAN, x0, y1, x0, y0, 16);
}

// A ring round item n when it is live and not selected (the selection has its own ring).
static void hud_ring_unselected(const View *view, const World *world, int n, int line) {
  const Item *item = hud_live(world, n);
  if (item && !view->selection[n]) hud_ring(view, *item, line);
}

// Rings at every gesture's target and hovered planet, and the selection boxes.
static void hud_pointers_paint(const View *view, const World *world, int line) {
  for (const PointerRecord &rec : view->pointers) {
    if (!rec.in_use) continue;
    hud_ring_unselected(view, world, rec.target, line);
    if (rec.hover != rec.target) hud_ring_unselected(view, world, rec.hover, line);
    if (rec.box == 1) hud_box_paint(rec, line);
  }
}

// The planet's label: its owner's name (its own when the owner is neutral or gone) over "+production",
// beside it on the side facing the screen's centre, upright on screen.
static void hud_label_paint(const View *view, const World *world, const Item &planet) {
  const Item *owner = hud_live(world, planet.owner_n);
  const char *title = owner && !owner->user_neutral ? owner->title_value : planet.title_value;
  char name[sizeof(Item::title_value)], production[16];
  vantor_text_copy(name, sizeof(name), title);  // a synced title need not end its text
  snprintf(production, sizeof(production), "+%d", hud_trunc(planet.ships_production, INT32_MIN, INT32_MAX));
  const int font = font_load("font", 20);
  const float *m = view->world_to_screen;
  const float screen_x = m[0] * planet.position_x + m[1] * planet.position_y + m[3];
  const bool right = screen_x <= view->screen_rect[2] / 2;
  const float gap = planet.body_r + 12, step = font_text_height(font, nullptr, 0);
  glPushMatrix();
  glTranslatef(planet.position_x, planet.position_y, 0);
  glRotatef(view->rotation, 0, 0, 1);
  const char *lines[2] = {name, production};
  for (int i = 0; i < 2; i++) {
    const float x = right ? gap : -gap - font_text_width(font, lines[i]);
    font_draw_line(font, lines[i], x, (i - 1) * step);
  }
  glPopMatrix();
}

// Labels the planet each gesture hovers (else targets); the last planet labelled, 0 for none.
static int hud_labels_paint(const View *view, const World *world) {
  int labelled = 0;
  for (const PointerRecord &rec : view->pointers) {
    const int n = rec.hover ? rec.hover : rec.target;
    const Item *planet = rec.in_use ? hud_live(world, n) : nullptr;
    if (!planet) continue;
    hud_label_paint(view, world, *planet);
    labelled = n;
  }
  return labelled;
}

// The rank of the labelled planet's owner when it has one, else the local user's: its insignia with
// the field's '#' skipped, stacked.
static void hud_rank_paint(const World *world, int labelled, int user) {
  const Item *owner = hud_live(world, vantor_item_get(world, labelled).owner_n);
  const Item &ranked = owner && owner->user_rank[0] ? *owner : vantor_item_get(world, user);
  std::string rank;
  for (size_t i = 0; i < sizeof(ranked.user_rank) && ranked.user_rank[i]; i++) {
    if (ranked.user_rank[i] != '#') rank += ranked.user_rank[i];
  }
  int32_t images[3];
  art_rank_images(rank, images);
  for (int32_t image : images) gfx_img_draw(image, 0, 7.333f, 44, 29.333f);
}

// The percent centred in the button band (nudged towards the centre at 100, where it is widest) and
// the slider with its dot at the percent's height.
static void hud_percent_paint(const View *view) {
  const GfxRect r = hud_slider_rect(view);
  char text[16];
  snprintf(text, sizeof(text), "%d%%", view->percent);
  const int font = font_load("font", 20);
  const float nudge = view->percent != 100 ? 0 : hud_option(view, VIEW_UI_LEFTY) ? 5 : -5;
  const float x = r.x + (r.w - font_text_width(font, text)) / 2 + nudge;
  font_draw_line(font, text, x, r.y + r.h + (HUD_BAND - font_text_height(font, text, 0)) / 2);
  if (!hud_option(view, VIEW_UI_SLIDER)) return;
  gfx_img_draw(gfx_img_load("slider-line"), r.x + 11, HUD_BAND, 22, r.h);
  const float dot_y = HUD_BAND + (r.h - 22) * (100 - view->percent) / 95;
  gfx_img_draw(gfx_img_load("slider-dot"), r.x + 11, dot_y, 22, 22);
}

// The running mode's status line, centred in the view's top margin (which no planet reaches) between
// the insignia and the pause icon, wrapped to that width.
static void hud_status_paint(const View *view, const World *world) {
  char status[sizeof(World::status)];
  vantor_text_copy(status, sizeof(status), world->status);  // a mod may fill the field to its end
  const float width = view->screen_rect[2] - 2 * HUD_BAND;
  if (!status[0] || width <= 0) return;
  const int font = font_load("font-outline", HUD_STATUS_SIZE);
  const float margin = view->content_rect[1] - view->screen_rect[1];
  font_draw(font, status, HUD_BAND, (margin - font_text_height(font, nullptr, 0)) / 2, width, 0);
}

// The pause screen shows the match under it without the HUD's readouts.
static bool hud_paused() { return vantor_host && vantor_host->paused(); }

void hud_paint(View *view, World *world, int user) {
  if (!view->initialised) view_init(view, world, 0);
  const int line = gfx_img_load("line");
  float matrix[16];
  gl_matrix_of(view->world_to_screen, matrix);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(matrix);
  glBlendFunc(GL_ONE, GL_ONE);
  hud_selection_paint(view, world, line);
  hud_pointers_paint(view, world, line);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(1, 1, 1, 1);
  const int labelled = hud_labels_paint(view, world);
  gfx_ortho();
  if (hud_paused()) return;
  hud_rank_paint(world, labelled, user);
  if (user) hud_percent_paint(view);  // a spectator (a bot war) sends no fleets: no share to show
  hud_status_paint(view, world);
}
