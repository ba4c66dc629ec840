// The match view: the player's window onto the match (camera, selection, pointer gestures).
#pragma once

#include <cstdint>

#include "kez_driver-sdl2.h"

// Per-pointer gesture state: ten 32-bit words.
struct PointerRecord {
  int32_t in_use;  // -1 while a pointer event is being handled
  int32_t target;  // item an order would reach, 0 none
  int32_t hover;   // planet under the pointer, 0 none
  int32_t anchor;  // item pressed in this gesture (negative: deselect on release)
  int32_t pressed;
  int32_t box;  // 0 none, -1 started, 1 active
  float box_x0, box_y0, box_x1, box_y1;
};

struct View {
  int32_t percent;       // share of a planet's ships an order sends
  int32_t slider_saved;  // HUD slider memory
  Event slider_press;
  uint32_t selection[4096];         // per item: 0 unselected, else the marking pointer slot
  uint32_t selection_serial[4096];  // per item: its serial when marked, so a reused slot is not selected
  PointerRecord pointers[12];
  float screen_rect[4];
  float content_rect[4];
  float rotation;
  float fit_scale;
  float screen_to_world[16];
  float screen_to_world_gl[16];
  float world_to_screen[16];
  float world_to_screen_gl[16];
  float world_rect[4];
  float visible_rect[4];
  int32_t hud_mode;     // 0 full HUD, 1 none, 2 tab bands
  int32_t initialised;  // 0 until laid out; cleared to lay out again
  int32_t ui[64];       // copy of the settings words from ui_box on
};

// The one pointer slot: every pointer gesture lives in pointers[VIEW_SLOT] and marks with it.
enum { VIEW_SLOT = 1, VIEW_SLOTS = 12 };

// Indexes into View::ui: the settings words from ui_box on, in their stored order.
enum {
  VIEW_UI_BOX = 0,
  VIEW_UI_DOUBLE_SELECT = 1,
  VIEW_UI_DOUBLE_REINFORCE = 2,
  VIEW_UI_PERCENT = 4,
  VIEW_UI_WHEEL_INVERT = 6,
  VIEW_UI_SLIDER = 7,
  VIEW_UI_RIGHT_ONLY = 9,
  VIEW_UI_DRAG_DROP = 10,
  VIEW_UI_LEFTY = 11,
  VIEW_UI_COLORBLIND = 13,
};

struct World;
class var;

// Lays the view out anew when force is set or it is not initialised: selection and pointers
// cleared, percent from the settings (50 when unset), the world fitted into the drawing state's
// virtual screen and the matrices made.
void view_init(View *view, World *world, int force);
// Content rectangle: the screen rectangle less the HUD margins of the view's hud_mode.
void view_margins(View *view);
// Fit scale and rotation that show the whole world rectangle in the content rectangle, then the
// matrices. A scale that is not a positive number (no planets, empty screen) falls back to 1.
void view_fit(View *view, World *world);
// Both matrices and their column-major copies from rotation, fit scale and the two rectangles;
// the fit scale is also stored as the world's view scale.
void view_matrices(View *view, World *world);
// The world area the content rectangle shows.
void view_visible_rect(View *view);
// The world's fixed view rectangle when it has one, else the box of every planet widened by its
// radius, as x, y, w, h into out.
void view_world_bounds(const World *world, float out[4]);
// Layout again after the screen changed: lays out first when needed, then margins and fit.
void view_refresh(View *view, World *world);
// Lays the view out for a screen of w x h virtual units from (0, 0), keeping the match as the player
// left it: selection, percent and world rectangle stay; only a view that is not initialised is laid
// out from scratch first. For a screen that changed under a running match (a resize, a layer, a state
// entered again).
void view_screen_set(View *view, World *world, float w, float h);
// Shows the world rectangle x, y, w, h from now on (also kept as the world's fixed view rectangle).
// Nothing happens when a value is not a finite number.
void view_set(View *view, World *world, float x, float y, float w, float h);

// The view's input: pointer events (8, 9, 10) in virtual screen units become selection and orders for
// user (the local user's item), digit keys and Home set the percent and recentre, the wheel steps the
// percent. hud is the HUD flag (its controls go first). Returns 1 when the event was taken, 0 when it
// is not the view's.
int view_event(World *world, View *view, int user, Event e, int hud);
// The body under the world point (x, y) within the pick radius, best score first: planets, then (unless
// prefer_planets) user's own items; a ship of user (with fleet redirect on) yields its fleet. 0 = none.
int view_pick(const World *world, const View *view, int user, float x, float y, int prefer_planets);
// The button item whose image rectangle holds the world point (x, y), nearest centre first; 0 = none.
int view_pick_button(const World *world, float x, float y);
// Issues the order of pointer slot `slot`: every selected item of user marked with it sends percent of
// its ships to the slot's target (planets) or turns towards it (fleets), locally or through the
// network client vantor_host gives. Then the slot is cleared. Nothing but the clearing without a
// target or user.
void view_order(World *world, View *view, int user, int slot);
// Unmarks every item marked by `slot` and clears its pointer record; nothing for a bad slot.
void view_slot_clear(View *view, int slot);
// Selects every planet of user, and nothing else, with `slot`.
void view_select_all_own(View *view, World *world, int user, int slot);
// The number of selected items. Words whose item is no longer in use or was replaced by another item
// since it was marked are cleared first.
int view_selection_count(View *view, const World *world);
// Hands pointer event e at world point (x, y) with world delta (dx, dy) to the running mod as a dict
// {"type": "ui:down" / "ui:motion" / "ui:up", "b", "n": button item under the point, "x", "y", "dx",
// "dy", "value": that button's name}; 1 when a button item lies under the point, which keeps the
// event away from the selection rules, else 0.
int view_mods_pointer(World *world, const Event &e, float x, float y, float dx, float dy);
