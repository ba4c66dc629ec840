// Widget base: the box model (margin, border, padding around a content box), per-state styles with
// animated transitions, the event entry with its sounds and action values, painting of backgrounds,
// borders and overlays, and keyboard focus and pointer hover with arrow-key navigation.
//
// Geometry is in virtual units. A widget's `pos` is its outer box's place in its parent's content box;
// `offset` is where its own content box starts inside that outer box. Focus and hover are kept as two
// paths from the root: every container on a path records the child on it (container.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kez_driver-sdl2.h"
#include "kez_gfx.h"
#include "kez_var.h"

class Container;

constexpr int32_t STYLE_UNSET = -16777215;     // an unset integer property (bit pattern 0xFF000001)
constexpr float STYLE_UNSET_F = -16777215.0f;  // an unset width or height
constexpr int STYLE_PROPS = 35;                // properties of a record

// One style record: 35 properties of 32 bits. Colours are 0xRRGGBB, images are image handles, sounds
// are sample ids (kez_sound.h); sides are in units; alphas run 0..255.
struct StyleRecord {
  float width, height;  // content size of leaf widgets
  int32_t clip;         // a Box clips its children to its content box when set and non-zero
  int32_t align;        // -1 left, 0 centre, 1 right
  int32_t valign;       // -1 top, 0 middle, 1 bottom
  int32_t text_color, text_alpha;
  int32_t border_top, border_right, border_bottom, border_left;
  int32_t border_color;  // no border is drawn while unset
  int32_t padding_top, padding_right, padding_bottom, padding_left;
  int32_t margin_top, margin_right, margin_bottom, margin_left;
  int32_t bg_image, bg_tint, bg_alpha, bg_inset, bg_tile;  // background over the padding box
  int32_t fg_image, fg_tint, fg_alpha, fg_inset, fg_tile;  // overlay drawn after the background
  int32_t sound_click, sound_down, sound_up, sound_enter, sound_focus;
};
static_assert(sizeof(StyleRecord) == STYLE_PROPS * 4, "a style record is one word per property");

// Record numbers of WidgetStyle::records.
enum {
  STYLE_BASE = 0,         // used where the record of the current state leaves a property unset
  STYLE_PLAIN = 1,        // state 0: neither hovered nor focused
  STYLE_CURRENT = 2,      // the resolved, animated values that layout and paint read
  STYLE_HOVERED = 3,      // state 2
  STYLE_FOCUSED = 4,      // state 3
  STYLE_HOVER_FOCUS = 5,  // state 4
  STYLE_SELECTED = 6,     // overrides the others while `selected` is set
  STYLE_RECORDS = 7,
};

struct WidgetStyle {
  StyleRecord records[STYLE_RECORDS];
  int32_t hover, focus;  // 0 or 1
  int32_t hover_focus;   // hover and focus
  int32_t selected;      // 0 or 1: set by toggles, options and selecting scroll boxes
  int32_t state_code;    // 0, 2 (hovered), 3 (focused) or 4 (both); set by state()

  // Every property of the seven records unset and the five state words 0.
  void init();
  // Recomputes `hover_focus` and `state_code` from `hover` and `focus`.
  void state();
  // Moves the current record one transition step toward the values of the selected or state record,
  // else the base record; a property without any target keeps its current value.
  void update();
};

// Margin + border + padding of each side of the current record, unset sides counting 0.
struct WidgetSides {
  double left, top, right, bottom;
};

// The values a widget answers events with (see Widget::on_event); none where unset. Each is shared
// with whoever gave it: pages compare the result of `event` with their own values.
struct WidgetActions {
  var click;   // EVT_CLICK
  var down;    // EVT_DOWN
  var up;      // EVT_UP
  var move;    // EVT_MOVE
  var change;  // returned by subclasses when their value changes
  var enter;   // EVT_ENTER
  var leave;   // EVT_LEAVE
  var focus;   // EVT_FOCUS
};

// The action {"type": type}, as pages and states attach it to widgets and compare it.
var widget_action(const char *type);

class Widget {
 public:
  Container *parent = nullptr;       // the container holding this widget, null for a root; not owning
  Widget *tab_next = nullptr;        // receives focus when Tab is pressed here; not owning
  float offset_x = 0, offset_y = 0;  // content box origin inside the outer box
  float content_w = 0, content_h = 0;
  float pos_x = 0, pos_y = 0;  // outer box corner in the parent's content box
  float outer_w = 0, outer_h = 0;
  float scroll_x = 0, scroll_y = 0;  // subtracted from the descendants' positions
  WidgetActions action;
  std::string id;  // the key of `find`
  WidgetStyle style;
  int32_t disabled = 0;   // skipped by hover, pointer focus, arrow-key focus and the first-hover rule
  int32_t focusable = 0;  // can take keyboard focus
  int32_t column = 0, row = 0, colspan = 1, rowspan = 1;  // cell of a Table

  // Every style property unset, no actions, empty id.
  Widget();
  // Copies every field (actions shared, the whole style) and keeps the target's class.
  Widget(const Widget &) = default;
  Widget &operator=(const Widget &) = default;

  // This widget when its id is `name`, else null.
  virtual Widget *find(const char *name);
  // The widget's text; null for widgets without one.
  virtual const char *get_text() { return nullptr; }
  virtual void set_text(const char *) {}
  // The widget's number; 0 for widgets without one.
  virtual int get_int() { return 0; }
  virtual void set_int(int) {}
  // The widget's value; none for widgets without one.
  virtual var get_value() { return var(); }
  virtual void set_value(var) {}
  // Gives this widget keyboard focus along a new path from the root; the last action that was not
  // none, or none when it already had focus.
  virtual var focus();
  // Makes this widget the hovered one along a new path from the root; as `focus` for the result.
  virtual var hover();
  // The deepest hovered widget below this one; null for a leaf.
  virtual Widget *get_hovered() { return nullptr; }
  // `hover`, then `focus`; the last of their results that is not none.
  virtual var select();
  // Every descendant in pre-order; empty for a leaf.
  virtual std::vector<Widget *> children() { return {}; }
  // True when this widget is the end of the focus path.
  virtual bool has_focus() { return style.focus != 0; }
  // The widget's own reaction to an event whose position is relative to its content box.
  virtual var on_event(Event e);
  // Per-frame update.
  virtual void loop() {}
  // Paints the content with the drawing origin at the content box.
  virtual void paint_inner() {}
  // Fits the content into w x h; the base only lays out.
  virtual void resize_inner(int w, int h);
  // Sizes the content box: the resolved width and height, 0 where unset.
  virtual void layout_inner();
  // Entry for an event positioned in the parent's content box minus this widget's pos: moves it into
  // the content box, plays the event's sound, then runs on_event.
  virtual var event(Event e);
  // Paints border, background and overlay, then the content; the parent has applied `pos`.
  virtual void paint();
  // Fits the widget into an outer size of w x h.
  virtual void resize(int w, int h);
  // Sizes the widget from its content.
  virtual void layout();
  virtual ~Widget() = default;

  // The content box (outer false) or the outer box (outer true) in root coordinates, scrolls applied.
  GfxRect get_rect(bool outer) const;
  // Moves the focus to the nearest focusable widget in direction (dx, dy); none when this widget has no
  // focus or nothing lies that way.
  var focus_move(int dx, int dy);
};

// v, or `fallback` when v is unset.
int32_t widget_style_or(int32_t v, int32_t fallback);
float widget_style_or_f(float v, float fallback);
// The current record's sides of a widget.
WidgetSides widget_sides(const Widget &w);

// Whole part of v toward zero, held inside +-1e9 (NaN gives 0): sizes from markup are not trusted.
int widget_trunc(double v);
// Replaces `result` by `v` unless v is none: event results keep the last value that was not none.
void widget_keep(var &result, const var &v);
// Moves the drawing origin (the drawing state's translation and the GL matrix together).
void widget_translate(float dx, float dy);
// Sets the premultiplied draw colour; an unset colour is white and an unset alpha 255.
void widget_draw_color(int32_t colour, int32_t alpha);
