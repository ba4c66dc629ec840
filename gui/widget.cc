// Widget base: box model, per-state styles and their transitions, event entry, painting, focus and hover.
#include "widget.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "container.h"
#include "kez_sound.h"

// How a property's current value moves toward its target on each update.
enum StyleMotion : uint8_t { COPY, COLOUR, STEP_SIZE, STEP_ALPHA, STEP_UNIT };

static const StyleMotion style_motion[STYLE_PROPS] = {
    STEP_SIZE, STEP_SIZE,                                     // width, height
    COPY,      COPY,       COPY,                              // clip, align, valign
    COLOUR,    STEP_ALPHA,                                    // text
    STEP_UNIT, STEP_UNIT,  STEP_UNIT,  STEP_UNIT, COLOUR,     // borders and their colour
    STEP_UNIT, STEP_UNIT,  STEP_UNIT,  STEP_UNIT,             // padding
    STEP_UNIT, STEP_UNIT,  STEP_UNIT,  STEP_UNIT,             // margins
    COPY,      COLOUR,     STEP_ALPHA, STEP_UNIT, STEP_UNIT,  // background
    COPY,      COLOUR,     STEP_ALPHA, STEP_UNIT, STEP_UNIT,  // overlay
    COPY,      COPY,       COPY,       COPY,      COPY,       // sounds
};

static int32_t _style_get(const StyleRecord &r, int p) {
  int32_t bits;
  memcpy(&bits, reinterpret_cast<const char *>(&r) + 4 * p, 4);
  return bits;
}

static void _style_set(StyleRecord &r, int p, int32_t bits) { memcpy(reinterpret_cast<char *>(&r) + 4 * p, &bits, 4); }

static float _bits_float(int32_t bits) {
  float f;
  memcpy(&f, &bits, 4);
  return f;
}

static int32_t _float_bits(float f) {
  int32_t bits;
  memcpy(&bits, &f, 4);
  return bits;
}

// The bit pattern that marks property p unset (the float one for width and height).
static int32_t _style_unset_bits(int p) { return p >= 2 ? STYLE_UNSET : _float_bits(STYLE_UNSET_F); }

// `current` moved by exactly n toward `target`, or `target` when it is within n.
static int64_t _style_step(int64_t current, int64_t target, int64_t n) {
  if (std::llabs(target - current) <= n) return target;
  return current + (target > current ? n : -n);
}

static int32_t _style_colour_step(int32_t current, int32_t target) {
  int32_t out = 0;
  for (int shift : {16, 8, 0})
    out |= (int32_t)_style_step(current >> shift & 0xFF, target >> shift & 0xFF, 36) << shift;
  return out;
}

static int32_t _style_move(int p, int32_t current, int32_t target) {
  switch (style_motion[p]) {
    case COLOUR: return _style_colour_step(current, target);
    case STEP_ALPHA: return (int32_t)_style_step(current, target, 36);
    case STEP_UNIT: return (int32_t)_style_step(current, target, 1);
    case STEP_SIZE:
      return _float_bits(
          (float)_style_step(widget_trunc(_bits_float(current)), widget_trunc(_bits_float(target)), 1000));
    case COPY: break;
  }
  return target;
}

// The record of the current state; null for a state word outside 0..4, which then has no record of its
// own (the word is public, and an index from it must not leave the seven records).
static const StyleRecord *_style_state_record(const WidgetStyle &s) {
  int index = s.state_code + 1;
  if (index < STYLE_PLAIN || index > STYLE_HOVER_FOCUS) return nullptr;
  return &s.records[index];
}

void WidgetStyle::init() {
  for (StyleRecord &r : records) {
    for (int p = 0; p < STYLE_PROPS; p++) _style_set(r, p, _style_unset_bits(p));
  }
  hover = focus = hover_focus = selected = state_code = 0;
}

void WidgetStyle::state() {
  hover_focus = hover && focus;
  state_code = hover_focus ? 4 : focus ? 3 : hover ? 2 : 0;
}

void WidgetStyle::update() {
  const StyleRecord *order[3] = {selected ? &records[STYLE_SELECTED] : nullptr, _style_state_record(*this),
                                 &records[STYLE_BASE]};
  StyleRecord &current = records[STYLE_CURRENT];
  for (int p = 0; p < STYLE_PROPS; p++) {
    const int32_t unset = _style_unset_bits(p);
    int32_t target = unset;
    for (const StyleRecord *r : order) {
      if (r && _style_get(*r, p) != unset) {
        target = _style_get(*r, p);
        break;
      }
    }
    if (target == unset) continue;
    const int32_t now = _style_get(current, p);
    _style_set(current, p, now == unset ? target : _style_move(p, now, target));
  }
}

int32_t widget_style_or(int32_t v, int32_t fallback) { return v == STYLE_UNSET ? fallback : v; }

float widget_style_or_f(float v, float fallback) { return v == STYLE_UNSET_F ? fallback : v; }

WidgetSides widget_sides(const Widget &w) {
  const StyleRecord &c = w.style.records[STYLE_CURRENT];
  auto side = [](int32_t margin, int32_t border, int32_t padding) {
    return (double)widget_style_or(margin, 0) + widget_style_or(border, 0) + widget_style_or(padding, 0);
  };
  return {side(c.margin_left, c.border_left, c.padding_left), side(c.margin_top, c.border_top, c.padding_top),
          side(c.margin_right, c.border_right, c.padding_right),
          side(c.margin_bottom, c.border_bottom, c.padding_bottom)};
}

int widget_trunc(double v) {
  if (v != v) return 0;
  return (int)std::max(-1e9, std::min(1e9, v));
}

void widget_keep(var &result, const var &v) {
  if (v.type() != VAR_NONE) result = v;
}

void widget_translate(float dx, float dy) {
  if (!gfx_state) return;
  gfx_state->clip[0].x += dx;
  gfx_state->clip[0].y += dy;
  glTranslatef(dx, dy, 0);
}

void widget_draw_color(int32_t colour, int32_t alpha) {
  const uint32_t c = (uint32_t)widget_style_or(colour, 0xFFFFFF);
  const uint32_t a = (uint32_t)std::clamp(widget_style_or(alpha, 255), 0, 255);
  glColor4ub((c >> 16 & 0xFF) * a / 255, (c >> 8 & 0xFF) * a / 255, (c & 0xFF) * a / 255, a);
}

Widget::Widget() { style.init(); }

Widget *Widget::find(const char *name) { return name && id == name ? this : nullptr; }

static Widget *_widget_root(Widget *w) {
  while (w->parent) w = w->parent;
  return w;
}

var widget_action(const char *type) {
  var action;
  var_dict0(action);
  action["type"] = var(type);
  return action;
}

// Moves a path (focus or hover) to end at w: the root's old path is told `off`, then w and each of its
// ancestors, which point at their child on the path, are told `on`. The actions they answer, kept.
static var _widget_path_to(Widget *w, Widget *Container::*path_child, int32_t off, int32_t on) {
  _widget_root(w)->on_event(Event(off));  // clears the old path
  var result = w->event(Event(on));
  for (Widget *child = w; child->parent; child = child->parent) {
    child->parent->*path_child = child;
    widget_keep(result, child->parent->event(Event(on)));
  }
  return result;
}

var Widget::focus() {
  if (style.focus) return var();
  return _widget_path_to(this, &Container::focus_child, EVT_BLUR, EVT_FOCUS);
}

var Widget::hover() {
  if (style.hover) return var();
  return _widget_path_to(this, &Container::hover_child, EVT_LEAVE, EVT_ENTER);
}

var Widget::select() {
  var result = hover();
  widget_keep(result, focus());
  return result;
}

// The base reaction to a key: Tab follows the tab link, the arrows move the focus.
static var _widget_key(Widget &w, const Event &e) {
  switch (e.key) {
    case KEY_TAB:
      if (w.tab_next) w.tab_next->focus();
      return var();
    case KEY_UP: return w.focus_move(0, -1);
    case KEY_RIGHT: return w.focus_move(1, 0);
    case KEY_DOWN: return w.focus_move(0, 1);
    case KEY_LEFT: return w.focus_move(-1, 0);
  }
  return var();
}

// Sets a state word and restyles; returns `answer`.
static var _widget_flag(Widget &w, int32_t &word, int32_t value, const var &answer) {
  word = value;
  w.style.state();
  return answer;
}

var Widget::on_event(Event e) {
  switch (e.type) {
    case EVT_KEYDOWN: return _widget_key(*this, e);
    case EVT_CLICK: return action.click;
    case EVT_DOWN: return action.down;
    case EVT_UP: return action.up;
    case EVT_MOVE: return action.move;
    case EVT_FOCUS: return _widget_flag(*this, style.focus, 1, action.focus);
    case EVT_ENTER: return _widget_flag(*this, style.hover, 1, action.enter);
    case EVT_LEAVE: return _widget_flag(*this, style.hover, 0, action.leave);
    case EVT_BLUR: return _widget_flag(*this, style.focus, 0, var());
  }
  return var();
}

void Widget::resize_inner(int, int) { layout_inner(); }

void Widget::layout_inner() {
  const StyleRecord &c = style.records[STYLE_CURRENT];
  content_w = widget_style_or_f(c.width, 0);
  content_h = widget_style_or_f(c.height, 0);
}

// The sample an event type plays; unset for types without a sound.
static int32_t _widget_sound(const StyleRecord &c, int type) {
  switch (type) {
    case EVT_CLICK: return c.sound_click;
    case EVT_DOWN: return c.sound_down;
    case EVT_UP: return c.sound_up;
    case EVT_ENTER: return c.sound_enter;
    case EVT_FOCUS: return c.sound_focus;
  }
  return STYLE_UNSET;
}

var Widget::event(Event e) {
  e.x -= offset_x;
  e.y -= offset_y;
  const int32_t sound = _widget_sound(style.records[STYLE_CURRENT], e.type);
  if (sound != STYLE_UNSET) driver_audio_sample_play(sound, 1.0f, 0.0f);
  return on_event(e);
}

// Fills each side of the border box that has a width.
static void _widget_borders(const Widget &w, const StyleRecord &c) {
  const double ml = widget_style_or(c.margin_left, 0), mt = widget_style_or(c.margin_top, 0);
  const double mr = widget_style_or(c.margin_right, 0), mb = widget_style_or(c.margin_bottom, 0);
  const double bl = widget_style_or(c.border_left, 0), bt = widget_style_or(c.border_top, 0);
  const double br = widget_style_or(c.border_right, 0), bb = widget_style_or(c.border_bottom, 0);
  const double W = w.outer_w, H = w.outer_h, inner_h = H - bt - bb - mt - mb;
  const uint32_t colour = (uint32_t)c.border_color;
  if (bt != 0) gfx_rect_fill(colour, ml, mt, W - ml - mr, bt);
  if (bb != 0) gfx_rect_fill(colour, ml, H - bb - mb, W - ml - mr, bb);
  if (br != 0) gfx_rect_fill(colour, W - br - mr, mt + bt, br, inner_h);
  if (bl != 0) gfx_rect_fill(colour, ml, mt + bt, bl, inner_h);
}

// One image layer over the box: 9-slice, tiled or stretched; without an image a set tint fills the box.
static void _widget_layer(int32_t image, int32_t tint, int32_t alpha, int32_t inset, int32_t tile, const int box[4]) {
  if (image == STYLE_UNSET) {
    if (tint != STYLE_UNSET) gfx_rect_fill((uint32_t)tint, box[0], box[1], box[2], box[3]);
    return;
  }
  widget_draw_color(tint, alpha);
  if (inset != STYLE_UNSET) {
    gfx_img_draw_9slice(image, box[0], box[1], box[2], box[3], inset);
  } else if (tile != STYLE_UNSET) {
    gfx_img_draw_tiled(image, box[0], box[1], box[2], box[3], tile);
  } else {
    gfx_img_draw_part(image, 0, 0, 1, 1, box[0], box[1], box[2], box[3]);  // an empty box draws nothing
  }
  widget_draw_color(0xFFFFFF, 255);
}

void Widget::paint() {
  const StyleRecord &c = style.records[STYLE_CURRENT];
  if (c.border_color != STYLE_UNSET) _widget_borders(*this, c);
  const double ml = widget_style_or(c.margin_left, 0), mt = widget_style_or(c.margin_top, 0);
  const double bl = widget_style_or(c.border_left, 0), bt = widget_style_or(c.border_top, 0);
  const double right = (double)widget_style_or(c.border_right, 0) + widget_style_or(c.margin_right, 0);
  const double bottom = (double)widget_style_or(c.border_bottom, 0) + widget_style_or(c.margin_bottom, 0);
  const int box[4] = {widget_trunc(ml + bl), widget_trunc(mt + bt), widget_trunc(outer_w - bl - ml - right),
                      widget_trunc(outer_h - bt - mt - bottom)};
  _widget_layer(c.bg_image, c.bg_tint, c.bg_alpha, c.bg_inset, c.bg_tile, box);
  _widget_layer(c.fg_image, c.fg_tint, c.fg_alpha, c.fg_inset, c.fg_tile, box);
  widget_translate(offset_x, offset_y);
  paint_inner();
  widget_translate(-offset_x, -offset_y);
}

// Sets offset and outer size around the content box.
static void _widget_box(Widget &w) {
  const WidgetSides s = widget_sides(w);
  w.offset_x = (float)s.left;
  w.offset_y = (float)s.top;
  w.outer_w = (float)(s.left + w.content_w + s.right);
  w.outer_h = (float)(s.top + w.content_h + s.bottom);
}

void Widget::resize(int w, int h) {
  const WidgetSides s = widget_sides(*this);
  resize_inner(widget_trunc(w - (s.left + s.right)), widget_trunc(h - (s.top + s.bottom)));
  _widget_box(*this);
}

void Widget::layout() {
  layout_inner();
  _widget_box(*this);
}

GfxRect Widget::get_rect(bool outer) const {
  int x = 0, y = 0;
  for (const Widget *w = this; w; w = w->parent) {
    x = widget_trunc(widget_trunc((double)x + w->offset_x) + (double)w->pos_x);
    y = widget_trunc(widget_trunc((double)y + w->offset_y) + (double)w->pos_y);
    if (w->parent) {
      x -= widget_trunc(w->parent->scroll_x);
      y -= widget_trunc(w->parent->scroll_y);
    }
  }
  if (!outer) return {(float)x, (float)y, content_w, content_h};
  return {x - offset_x, y - offset_y, outer_w, outer_h};
}

// Whether centre c lies strictly beyond centre `from` in direction d (0 accepts any).
static bool _widget_beyond(int d, int from, int c) { return d == 0 || (d < 0 ? c < from : c > from); }

// The gap along one axis: edge to facing edge in the direction d, centre to centre across it.
static int64_t _widget_gap(int d, const float me[2], int me_c, const float it[2], int it_c) {
  double gap = d > 0 ? it[0] - ((double)me[0] + me[1]) : d < 0 ? me[0] - ((double)it[0] + it[1]) : it_c - me_c;
  return std::llabs((int64_t)widget_trunc(gap));
}

var Widget::focus_move(int dx, int dy) {
  if (!has_focus() || !focusable) return var();
  const std::vector<Widget *> all = _widget_root(this)->children();
  const GfxRect me = get_rect(true);
  const int mcx = widget_trunc(me.x + me.w / 2), mcy = widget_trunc(me.y + me.h / 2);
  std::vector<std::pair<int64_t, Widget *>> found;
  for (size_t i = 0; i < all.size(); i++) {
    Widget *w = all[i];
    if (w == this || w->style.focus || w->disabled || !w->focusable) continue;
    const GfxRect r = w->get_rect(true);
    const int cx = widget_trunc(r.x + r.w / 2), cy = widget_trunc(r.y + r.h / 2);
    if (!_widget_beyond(dx, mcx, cx) || !_widget_beyond(dy, mcy, cy)) continue;
    const float mx[2] = {me.x, me.w}, my[2] = {me.y, me.h}, rx[2] = {r.x, r.w}, ry[2] = {r.y, r.h};
    const int64_t gx = _widget_gap(dx, mx, mcx, rx, cx) * (dy ? 2 : 1);
    const int64_t gy = _widget_gap(dy, my, mcy, ry, cy) * (dx ? 2 : 1);
    const int64_t distance = (int64_t)std::sqrt((double)gx * gx + (double)gy * gy);
    found.push_back({distance * 65536 + (int64_t)i, w});
  }
  std::sort(found.begin(), found.end());
  fprintf(stderr, "res.size: %lu\n", (unsigned long)found.size());
  if (found.empty()) return var();
  var result = found[0].second->hover();
  widget_keep(result, found[0].second->focus());
  return result;
}
