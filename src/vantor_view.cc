// The match view: the player's window onto the match (camera, selection, pointer gestures).
#include "vantor_view.h"
#include "vantor_view_internal.h"

#include <SDL.h>

#include <cmath>
#include <cstring>
#include <string>

#include "kez_gfx.h"
#include "kez_math.h"
#include "kez_var.h"
#include "net.h"
#include "vantor.h"
#include "vantor_batch.h"
#include "vantor_client.h"
#include "vantor_host.h"
#include "vantor_hud.h"
#include "vantor_step.h"
#include "vantor_world.h"

// Tri-state settings words: > 0 on, 0 or < 0 off.
static bool view_option(const View *view, int word) { return view->ui[word] > 0; }

// Orders send 5 to 100 percent; anything else (a settings file, a zeroed View) is pulled into range.
static int view_percent_clamp(int percent) { return percent < 5 ? 5 : percent > 100 ? 100 : percent; }

void view_init(View *view, World *world, int force) {
  if (!force && view->initialised) return;
  memset(view->selection, 0, sizeof(view->selection));
  memset(view->pointers, 0, sizeof(view->pointers));
  view->initialised = 1;
  view->percent = view->ui[VIEW_UI_PERCENT] > 0 ? view_percent_clamp(view->ui[VIEW_UI_PERCENT]) : 50;
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

void view_refresh(View *view, World *world) {
  if (!view->initialised) view_init(view, world, 0);
  view_margins(view);
  view_fit(view, world);
}

void view_screen_set(View *view, World *world, float w, float h) {
  if (!view->initialised) view_init(view, world, 0);
  const float screen[4] = {0, 0, w, h};
  memcpy(view->screen_rect, screen, sizeof(screen));
  view_refresh(view, world);
  view_visible_rect(view);
}

void view_set(View *view, World *world, float x, float y, float w, float h) {
  const float rect[4] = {x, y, w, h};
  for (float v : rect) {
    if (!std::isfinite(v)) return;  // a mod's NaN would poison both matrices
  }
  memcpy(world->view_rect, rect, sizeof(rect));
  memcpy(view->world_rect, rect, sizeof(rect));
  view_refresh(view, world);
}

// ---- Selection ----

// True when item n belongs to user. Without a user (< 1) nothing is owned: the unowned items'
// owner_n 0 must not read as the user's.
static bool view_own(const World *world, int user, int n) {
  if (user < 1 || n < 1) return false;
  const Item &item = vantor_item_get(world, n);
  return item.in_use && item.owner_n == user;
}

// Marks item n (1..4095) with slot, and with its serial: a mod may destroy it and another item take
// its slot, which the player never chose.
static void view_mark(View *view, const World *world, int n, int slot) {
  view->selection[n] = (uint32_t)slot;
  view->selection_serial[n] = world->items[n].sync_id;
}

// True while item n is marked and is still the item that was: a freed or replaced item is never ordered.
static bool view_marked_live(const View *view, const World *world, int n) {
  const Item &item = world->items[n];
  return view->selection[n] && item.in_use && item.sync_id == view->selection_serial[n];
}

int view_selection_count(View *view, const World *world) {
  int count = 0;
  for (int n = 0; n < VANTOR_ITEMS; n++) {
    if (!view->selection[n]) continue;
    if (view_marked_live(view, world, n)) {
      count++;
    } else {
      view->selection[n] = 0;
    }
  }
  return count;
}

void view_slot_clear(View *view, int slot) {
  if (slot < 0 || slot >= VIEW_SLOTS) return;
  for (uint32_t &word : view->selection) {
    if (word == (uint32_t)slot) word = 0;
  }
  memset(&view->pointers[slot], 0, sizeof(PointerRecord));
}

void view_select_all_own(View *view, World *world, int user, int slot) {
  memset(view->selection, 0, sizeof(view->selection));
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    if (world->items[n].has_planet && view_own(world, user, n)) view_mark(view, world, n, slot);
  }
}

// ---- Picking ----

// World units around the pointer that still count as touching a body.
static float view_pick_radius(const View *view) { return math_max(8, 20 * view->fit_scale - 12); }

// A ship is picked (as its fleet) only when it is the user's, the user may redirect fleets and the
// fleet still exists.
static bool view_pickable_ship(const World *world, int user, const Item &ship) {
  const Item &fleet = vantor_item_get(world, ship.fleet_n);
  return user >= 1 && ship.owner_n == user && vantor_item_get(world, user).ui_fleet_redirect && fleet.in_use &&
         fleet.has_fleet;
}

int view_pick(const World *world, const View *view, int user, float x, float y, int prefer_planets) {
  const float radius = view_pick_radius(view);
  float best = -99999;
  int found = 0;
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &item = world->items[n];
    if (!item.in_use || !item.is_body) continue;
    if (item.is_ship && !view_pickable_ship(world, user, item)) continue;
    const float d = std::hypot(item.position_x - x, item.position_y - y) - item.body_r;
    if (!(d <= radius)) continue;
    const int own = user >= 1 && item.owner_n == user;
    const float score = 1000.0f * (prefer_planets ? item.has_planet : item.has_planet + 2 * own) - d;
    if (score >= best) {  // an equal score goes to the later item
      best = score;
      found = n;
    }
  }
  return found && world->items[found].is_ship ? (int)world->items[found].fleet_n : found;
}

int view_pick_button(const World *world, float x, float y) {
  float best = INFINITY;
  int found = 0;
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &item = world->items[n];
    if (!item.in_use || !item.has_button) continue;
    const float s = item.image_scale;
    const float x0 = item.position_x - item.image_cx * s, x1 = item.position_x + (item.image_w - item.image_cx) * s;
    const float y0 = item.position_y - item.image_cy * s, y1 = item.position_y + (item.image_h - item.image_cy) * s;
    if (!(x >= x0 && x <= x1 && y >= y0 && y <= y1)) continue;
    const float d = std::hypot((x0 + x1) / 2 - x, (y0 + y1) / 2 - y);
    if (d < best) {
      best = d;
      found = n;
    }
  }
  return found;
}

// ---- Orders ----

// The program's network client, through which a networked player's orders go (a host's too); null offline.
static Net *view_client() { return vantor_host ? vantor_host->client() : nullptr; }

void view_order(World *world, View *view, int user, int slot) {
  if (slot < 0 || slot >= VIEW_SLOTS) return;
  const int target = view->pointers[slot].target;
  if (target > 0 && target < VANTOR_ITEMS) {
    view->selection[target] = 0;
    const int percent = view_percent_clamp(view->percent);
    for (int n = 1; n < VANTOR_ITEMS; n++) {
      if (view->selection[n] != (uint32_t)slot || !view_marked_live(view, world, n)) continue;
      if (!view_own(world, user, n)) continue;
      const Item &item = world->items[n];
      if (item.has_planet) {
        vantor_order_send(view_client(), world, percent, n, target);
      } else if (item.has_fleet) {
        vantor_order_redirect(view_client(), world, n, target);
      }
    }
  }
  view_slot_clear(view, slot);
}

// ---- Pointer rules ----

// One pointer step: the gesture's record, its event and what lies under the point.
struct ViewStep {
  World *world;
  View *view;
  PointerRecord *rec;
  int user;
  int slot;
  int type;    // EVT_DOWN, EVT_MOVE or EVT_UP
  int b;       // normalised button: 1 or 3 on press and release, 0 or 1 on motion
  int raw;     // the event's own button word
  float x, y;  // world point
  int count;   // selected items
  int hit;     // item under the point
  int planet;  // hit when it is a planet
};

// A target must be something the user may aim at (the user's ui_to_mask over own, team, neutral and enemy).
static void view_set_target(ViewStep &s, int n) {
  const Item &me = vantor_item_get(s.world, s.user);
  const int mask = me.in_use && me.has_user ? me.ui_to_mask : 15;
  s.rec->target = n && (vantor_item_relation(s.world, n, s.user) & 15 & mask) ? n : 0;
}

static void view_target_order(ViewStep &s, int n) {
  view_set_target(s, n);
  view_order(s.world, s.view, s.user, s.slot);
}

static bool view_shift_held() { return (SDL_GetModState() & KMOD_SHIFT) != 0; }

// Own planets inside the box, marked with the slot after the whole selection is cleared; their count.
static int view_box_planets(ViewStep &s, float x0, float y0, float x1, float y1) {
  memset(s.view->selection, 0, sizeof(s.view->selection));
  int marked = 0;
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &item = s.world->items[n];
    if (!item.has_planet || !view_own(s.world, s.user, n)) continue;
    if (item.position_x < x0 || item.position_x > x1 || item.position_y < y0 || item.position_y > y1) continue;
    view_mark(s.view, s.world, n, s.slot);
    marked++;
  }
  return marked;
}

// The fleets of the user's ships inside the box, marked with the slot; their ship count.
static int view_box_fleets(ViewStep &s, float x0, float y0, float x1, float y1) {
  int marked = 0;
  for (const Item &ship : s.world->items) {
    if (!ship.in_use || !ship.is_ship || !view_pickable_ship(s.world, s.user, ship)) continue;
    if (ship.position_x < x0 || ship.position_x > x1 || ship.position_y < y0 || ship.position_y > y1) continue;
    view_mark(s.view, s.world, (int)ship.fleet_n, s.slot);
    marked++;
  }
  return marked;
}

// Widens [*a, *b] to at least r about its centre.
static void view_widen(float *a, float *b, float r) {
  if (*b - *a >= r) return;
  const float c = (*a + *b) / 2;
  *a = c - r / 2;
  *b = c + r / 2;
}

// The selection box: own planets inside; a box smaller than the pick radius acts as a tap; failing
// both, the user's fleets inside. A final step that selected nothing clears the slot.
static void view_box_update(ViewStep &s, bool final) {
  PointerRecord &rec = *s.rec;
  float x0 = std::fmin(rec.box_x0, rec.box_x1), x1 = std::fmax(rec.box_x0, rec.box_x1);
  float y0 = std::fmin(rec.box_y0, rec.box_y1), y1 = std::fmax(rec.box_y0, rec.box_y1);
  if (x1 - x0 > 5 || y1 - y0 > 5) {
    rec.box = 1;
    rec.target = 0;
  }
  if (rec.box == 1 && view_box_planets(s, x0, y0, x1, y1)) return;
  const float r = view_pick_radius(s.view);
  if (std::hypot(x1 - x0, y1 - y0) < r) {
    const int hit = view_pick(s.world, s.view, s.user, (x0 + x1) / 2, (y0 + y1) / 2, 0);
    if (view_own(s.world, s.user, hit)) {
      view_mark(s.view, s.world, hit, s.slot);
      return;
    }
  }
  int marked = 0;
  if (s.user >= 1 && vantor_item_get(s.world, s.user).ui_fleet_redirect) {
    view_widen(&x0, &x1, r);
    view_widen(&y0, &y1, r);
    marked = view_box_fleets(s, x0, y0, x1, y1);
  }
  if (final && !marked) view_slot_clear(s.view, s.slot);
}

// Motion without a box: the target follows the planet under a held pointer. True when handled.
static bool view_step_move(ViewStep &s) {
  PointerRecord &rec = *s.rec;
  if (!s.planet) {
    if (s.b == 0) rec.target = 0;
    if (rec.anchor < 0) rec.anchor = -rec.anchor;  // the press became a drag: no deselect on release
    return true;
  }
  if (s.count == 0) return false;
  if (s.b == 0) {
    rec.target = 0;
  } else if (s.planet != rec.anchor && s.planet != -rec.anchor) {
    view_set_target(s, s.planet);
    if (rec.anchor < 0) rec.anchor = -rec.anchor;
  } else {
    rec.target = 0;
  }
  return true;
}

static void view_step_box(ViewStep &s) {
  PointerRecord &rec = *s.rec;
  if (s.type == EVT_MOVE) {
    rec.box_x1 = s.x;
    rec.box_y1 = s.y;
    view_box_update(s, false);
  } else if (s.type == EVT_UP) {
    view_box_update(s, true);
    rec.box = 0;
    rec.anchor = 0;
  }
}

// The item a press may act on: none before anything is selected unless it is the user's, never a
// fleet, and nothing at all before a selection when orders are not made by dragging.
static int view_candidate(const ViewStep &s) {
  if (!s.hit || s.world->items[s.hit].has_fleet) return 0;
  if (s.count == 0 && (!view_own(s.world, s.user, s.hit) || !view_option(s.view, VIEW_UI_DRAG_DROP))) return 0;
  return s.hit;
}

// A press: starts a box, selects, deselects or orders. False when it lands on nothing.
static bool view_step_press(ViewStep &s) {
  PointerRecord &rec = *s.rec;
  if (view_option(s.view, VIEW_UI_BOX) && !view_candidate(s)) {
    rec.box = -1;
    rec.box_x0 = rec.box_x1 = s.x;
    rec.box_y0 = rec.box_y1 = s.y;
    return true;
  }
  if (!s.hit) return false;
  const bool own = view_own(s.world, s.user, s.hit), selected = view_marked_live(s.view, s.world, s.hit);
  const bool own_selected_planet = own && selected && s.planet;
  const bool reinforce = view_option(s.view, VIEW_UI_DOUBLE_REINFORCE);
  const bool right_only = view_option(s.view, VIEW_UI_RIGHT_ONLY);
  if (view_option(s.view, VIEW_UI_DOUBLE_SELECT) && s.count == 1 && own_selected_planet) {
    view_select_all_own(s.view, s.world, s.user, s.slot);
    rec.anchor = s.hit;
  } else if (!right_only && reinforce && own_selected_planet) {
    view_target_order(s, s.hit);
  } else if (own) {
    if (selected) {
      rec.anchor = -s.hit;  // deselected if released without an order
    } else {
      view_mark(s.view, s.world, s.hit, s.slot);
      rec.anchor = s.hit;
    }
    if (!reinforce) rec.target = 0;
  } else if (!right_only && s.count > 0 && s.planet) {
    view_target_order(s, s.hit);
  }
  return true;
}

// A release over empty space with a selection: a dragged order still goes out.
static void view_step_release_nothing(ViewStep &s) {
  PointerRecord &rec = *s.rec;
  if (view_option(s.view, VIEW_UI_DRAG_DROP)) {
    if (view_option(s.view, VIEW_UI_RIGHT_ONLY) && rec.anchor == 0 && s.b != 3) return;
    if (rec.target) view_order(s.world, s.view, s.user, s.slot);
    if (rec.anchor) return;
  }
  view_slot_clear(s.view, s.slot);
}

// A release over an item (and, with double-reinforce, any release): deselect, keep or order.
static void view_step_release(ViewStep &s) {
  PointerRecord &rec = *s.rec;
  const bool own = view_own(s.world, s.user, s.hit);
  if (!view_option(s.view, VIEW_UI_DOUBLE_REINFORCE)) {
    if (s.type != EVT_UP || !s.hit) return;
    if (own && s.hit == -rec.anchor) {  // a second tap on a selected item
      rec.anchor = rec.target = 0;
      s.view->selection[s.hit] = 0;
      return;
    }
  } else if (s.type != EVT_UP) {
    return;
  }
  if (!s.hit) return;
  if (view_option(s.view, VIEW_UI_RIGHT_ONLY) && rec.anchor == 0 && s.b != 3) return;
  if (!view_option(s.view, VIEW_UI_DRAG_DROP) && rec.anchor) return;
  if (own && (s.hit == rec.anchor || s.hit == -rec.anchor)) {
    rec.anchor = rec.target = 0;
  } else if (s.planet) {
    view_target_order(s, s.hit);
  } else {
    rec.anchor = rec.target = 0;
  }
}

// One pointer step at a world point through the gesture rules.
static void view_pointer_apply(ViewStep &s) {
  PointerRecord &rec = *s.rec;
  s.count = view_selection_count(s.view, s.world);
  s.hit = view_pick(s.world, s.view, s.user, s.x, s.y, s.count > 0);
  s.planet = s.hit && s.world->items[s.hit].has_planet ? s.hit : 0;
  rec.hover = s.type == EVT_UP ? 0 : s.planet;
  if (s.type == EVT_DOWN) rec.pressed = 1;
  if (s.raw && s.type != EVT_DOWN && !rec.pressed) return;  // a drag that did not start in the world
  const bool boxing = view_option(s.view, VIEW_UI_BOX) && rec.box;
  if (!boxing && s.type == EVT_MOVE && view_step_move(s)) return;
  if (s.type == EVT_DOWN && s.b == 3) {
    if (s.count > 0 && s.planet) view_target_order(s, s.hit);
    return;
  }
  if (s.type == EVT_DOWN && view_shift_held() && view_own(s.world, s.user, s.hit)) {
    rec.box = 0;
    view_select_all_own(s.view, s.world, s.user, s.slot);
    rec.target = 0;
    rec.anchor = s.hit;
    return;
  }
  if (s.type == EVT_UP && s.b == 3) return;
  if (boxing) {
    view_step_box(s);
    return;
  }
  if (s.type == EVT_DOWN && view_step_press(s)) return;
  if (s.type == EVT_UP && s.count > 0 && !s.hit) {
    view_step_release_nothing(s);
    return;
  }
  view_step_release(s);
}

// A motion longer than this many world units is walked in longer strides: a wild delta must not
// stall the frame (or overflow the step count).
static const float VIEW_STEPS_MAX = 4096;

// Presses and releases apply once; a motion is walked in unit strides from its start, so a fast sweep
// still meets every planet on the way.
static void view_pointer_steps(ViewStep &s, float dx, float dy) {
  const float x = s.x, y = s.y;
  if (s.type != EVT_MOVE) {
    view_pointer_apply(s);
    return;
  }
  if (!std::isfinite(dx) || !std::isfinite(dy)) dx = dy = 0;
  const int n = (int)std::fmin(std::trunc(std::hypot(dx, dy) + 1), VIEW_STEPS_MAX);
  for (int i = 0; i <= n; i++) {
    s.x = ((n - i) * (x - dx) + i * x) / n;
    s.y = ((n - i) * (y - dy) + i * y) / n;
    view_pointer_apply(s);
  }
  s.x = x;
  s.y = y;
}

// The button word as the rules read it: press and release keep 1 and 3, motion keeps 0 and makes any
// held button 1; -1 for the middle button, which plays no part.
static int view_button(int type, int button) {
  if (button == 2) return -1;
  if (type == EVT_MOVE) return button ? 1 : 0;
  return button == 1 || button == 3 ? button : 0;
}

// A pointer event at world point (x, y) with world delta (dx, dy) through the one pointer slot.
static void view_pointer(World *world, View *view, int user, const Event &e, float x, float y, float dx, float dy) {
  ViewStep s = {};
  s.b = view_button(e.type, e.button);
  if (s.b < 0) return;
  s.world = world;
  s.view = view;
  s.rec = &view->pointers[VIEW_SLOT];
  s.user = user;
  s.slot = VIEW_SLOT;
  s.type = e.type;
  s.raw = e.button;
  s.x = x;
  s.y = y;
  s.rec->in_use = -1;
  view_pointer_steps(s, dx, dy);
  if (e.type == EVT_MOVE) return;
  if (e.type == EVT_UP) memset(s.rec, 0, sizeof(PointerRecord));
  // Hover and target follow the pointer at once, not at its next motion.
  s.rec->in_use = -1;
  s.type = EVT_MOVE;
  s.b = view_button(EVT_MOVE, e.button);
  view_pointer_steps(s, 0, 0);
}

// Open to the tests: the dict a running mod receives for pointer event e
// at world point (x, y) and world delta (dx, dy); none for other event types.
var view_mods_dict(const World *world, const Event &e, float x, float y, float dx, float dy) {
  const char *type = e.type == EVT_DOWN   ? "ui:down"
                     : e.type == EVT_MOVE ? "ui:motion"
                     : e.type == EVT_UP   ? "ui:up"
                                          : nullptr;
  var dict;
  if (!type) return dict;
  const int n = view_pick_button(world, x, y);
  const char *name = world->items[n].button_name;  // item 0: an empty name
  var_dict0(dict);
  dict["type"] = var(type);
  dict["b"] = var(e.button);
  dict["n"] = var(n);
  dict["x"] = var(x);
  dict["y"] = var(y);
  dict["dx"] = var(dx);
  dict["dy"] = var(dy);
  dict["value"] = var(std::string(name, strnlen(name, sizeof(Item::button_name))));  // may come unterminated
  return dict;
}

int view_mods_pointer(World *world, const Event &e, float x, float y, float dx, float dy) {
  if (vantor_host) vantor_host->mod_event(view_mods_dict(world, e, x, y, dx, dy));
  // Looked up after the mod had the event: its handler may have added or removed the button.
  return view_pick_button(world, x, y) ? 1 : 0;
}

// ---- Input ----

// True while a running mod shows its own screen ("state" is "tabs" or "scene") over the match.
static bool view_mod_screen() { return vantor_host && vantor_host->mod_screen(); }

static int view_event_pointer(World *world, View *view, int user, const Event &e) {
  const float *m = view->screen_to_world;
  float x, y;
  view_map(m, e.x, e.y, &x, &y);
  const float dx = m[0] * e.dx + m[1] * e.dy, dy = m[4] * e.dx + m[5] * e.dy;
  if (!std::isfinite(x) || !std::isfinite(y)) return 0;  // a NaN box would hold every ship
  if (view_mods_pointer(world, e, x, y, dx, dy)) return 1;
  if (view_mod_screen()) return 0;  // the mod's own screen: pointer events are the mod's only
  view_pointer(world, view, user, e, x, y, dx, dy);
  return 1;
}

static int view_event_key(World *world, View *view, const Event &e) {
  if (e.ch >= '0' && e.ch <= '9') {
    view->percent = e.ch == '0' ? 100 : (e.ch - '0') * 10;
    return 1;
  }
  if (e.key == KEY_HOME) {
    view_init(view, world, 1);
    return 1;
  }
  return 0;
}

static void view_event_wheel(View *view, const Event &e) {
  const float dy = view_option(view, VIEW_UI_WHEEL_INVERT) ? -e.dy : e.dy;
  view->percent = view_percent_clamp(view->percent + (dy > 0 ? -5 : 5));
}

int view_event(World *world, View *view, int user, Event e, int hud) {
  if (!view->initialised) view_init(view, world, 0);
  // The slider and percent button go first; a gesture leaving the slider goes to the main screen's world.
  World *main_world = hud && vantor_host ? vantor_host->world() : nullptr;
  if (main_world && hud_event(main_world, view, e, user)) return 1;
  switch (e.type) {
    case EVT_DOWN:
    case EVT_MOVE:
    case EVT_UP: return view_event_pointer(world, view, user, e);
  }
  if (view_mod_screen()) return 0;  // keys and the wheel belong to the mod's own screen
  switch (e.type) {
    case EVT_KEYDOWN: return view_event_key(world, view, e);
    case EVT_WHEEL: view_event_wheel(view, e); return 1;
  }
  return 0;
}
