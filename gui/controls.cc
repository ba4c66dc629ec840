// Controls and skins: skinned buttons, the text-input maker, the slider, the toggle and the option box.
#include "controls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "kez_font.h"
#include "kez_gfx-tex.h"

static const int SKIN_INSET = 10;       // the skins' 9-slice border
static const char *FONT_NAME = "font";  // every control's font

// How a class of the skin table builds its button.
enum SkinKind { SKIN_PAIR, SKIN_TAB, SKIN_TAB_PAIR };

struct SkinEntry {
  const char *cls, *normal, *over;
  SkinKind kind;
};

// First match wins; a class not listed gets the plain button.
static const SkinEntry SKINS[] = {
    {"button1", "gui-button1", "gui-button1o", SKIN_PAIR},
    {"button2", "gui-button2", "gui-button2o", SKIN_PAIR},
    {"button3", "gui-button3", "gui-button3o", SKIN_PAIR},
    {"button4", "gui-button4", "gui-button4o", SKIN_PAIR},
    {"toggle1", "gui-toggle1", "gui-toggle1o", SKIN_PAIR},
    {"toggle2", "gui-toggle2", "gui-toggle2o", SKIN_PAIR},
    {"toggle3", "gui-toggle3", "gui-toggle3o", SKIN_PAIR},
    {"toggle4", "gui-toggle4", "gui-toggle4o", SKIN_PAIR},
    {"icon1", "gui-icon1", "gui-icon1o", SKIN_PAIR},
    {"icon2", "gui-icon2", "gui-icon2o", SKIN_PAIR},
    {"icon3", "gui-icon3", "gui-icon3o", SKIN_PAIR},
    {"icon4", "gui-icon4", "gui-icon4o", SKIN_PAIR},
    {"tiny1", "gui-icon1", "gui-icon1o", SKIN_PAIR},
    {"tiny2", "gui-tiny2", "gui-tiny2o", SKIN_PAIR},
    {"tiny3", "gui-tiny3", "gui-tiny3o", SKIN_PAIR},
    {"tiny4", "gui-tiny4", "gui-tiny4o", SKIN_PAIR},
    {"tab", "gui-tab1", "gui-tab1o", SKIN_TAB},
    {"tab0", "gui-tab0", "blank", SKIN_TAB_PAIR},
    {"tab2", "gui-tab2o", "blank", SKIN_TAB_PAIR},
};

// A font's distance from one line to the next; 0 for no font.
static float _controls_line(int font) {
  const Font *f = font_get(font);
  return f ? f->line_step : 0.0f;
}

static void _controls_sides(StyleRecord &r, int32_t padding, int32_t margin) {
  r.padding_top = r.padding_right = r.padding_bottom = r.padding_left = padding;
  r.margin_top = r.margin_right = r.margin_bottom = r.margin_left = margin;
}

// The over image fades in as the pointer reaches the control, and fully where the keyboard's focus is:
// the control that Enter presses must stand out from its neighbours at a glance.
static void _controls_fade(Widget &w) {
  w.style.records[STYLE_BASE].fg_alpha = 0;
  w.style.records[STYLE_HOVERED].fg_alpha = 0x55;
  w.style.records[STYLE_FOCUSED].fg_alpha = 0xff;
  w.style.records[STYLE_HOVER_FOCUS].fg_alpha = 0xff;
  w.focusable = 1;
}

// The button look: the normal image under the over image, both 9-sliced.
static void _controls_look(Widget &w, const char *normal, const char *over) {
  StyleRecord &b = w.style.records[STYLE_BASE];
  b.bg_image = gfx_img_load(normal);
  b.fg_image = gfx_img_load(over);
  b.bg_inset = b.fg_inset = SKIN_INSET;
  _controls_fade(w);
}

// The toggle and option look: a second pair of images while selected.
static void _controls_switch_look(Widget &w) {
  _controls_look(w, "gui-button1", "gui-button1o");
  StyleRecord &plain = w.style.records[STYLE_PLAIN], &selected = w.style.records[STYLE_SELECTED];
  plain.bg_image = w.style.records[STYLE_BASE].bg_image;
  plain.fg_image = w.style.records[STYLE_BASE].fg_image;
  selected.bg_image = gfx_img_load("gui-button2o");
  selected.fg_image = gfx_img_load("gui-button2");
}

static void _controls_size(Widget &w, float width, float height) {
  w.style.records[STYLE_BASE].width = width;
  w.style.records[STYLE_BASE].height = height;
}

// One frame's update, restyle and layout, as if the control were a page of its own: the styles are
// resolved before the builder reads them.
static void _controls_settle(Widget &w) {
  w.loop();
  w.style.update();
  w.layout_inner();
}

// A token's attribute without adding it to the token when it is missing.
static var _controls_attr(const var &token, const char *key) {
  return token.type() == VAR_DICT && token.has(key) ? token[key] : var();
}

Box *gui_button(const var &click, Widget *content) {
  Box *b = new Box(content);
  b->action.click = click;
  _controls_size(*b, 160, 44);
  _controls_sides(b->style.records[STYLE_BASE], 4, 1);
  _controls_look(*b, "gui-button1", "gui-button1o");
  _controls_settle(*b);
  return b;
}

Box *gui_button_skin(const var &click, Widget *content, const char *normal, const char *over) {
  Box *b = gui_button(click, content);
  b->style.records[STYLE_BASE].bg_image = gfx_img_load(normal);
  b->style.records[STYLE_BASE].fg_image = gfx_img_load(over);
  return b;
}

Box *gui_button_tab(const var &click, Widget *content) {
  Box *b = gui_button_skin(click, content, "gui-tab1", "gui-tab1o");
  _controls_sides(b->style.records[STYLE_BASE], 0, 0);
  return b;
}

Box *gui_button_by_class(const var &click, Widget *content, const var &token) {
  if (!content)
    content = new Label(font_load(FONT_NAME, GUI_CONTROL_FONT_SIZE), _controls_attr(token, "value").str().c_str());
  const std::string cls = _controls_attr(token, "class").str();
  for (const SkinEntry &s : SKINS) {
    if (cls != s.cls) continue;
    if (s.kind == SKIN_PAIR) return gui_button_skin(click, content, s.normal, s.over);
    Box *b = gui_button_tab(click, content);
    if (s.kind == SKIN_TAB_PAIR) {
      b->style.records[STYLE_BASE].bg_image = gfx_img_load(s.normal);
      b->style.records[STYLE_BASE].fg_image = gfx_img_load(s.over);
    }
    return b;
  }
  return gui_button(click, content);
}

TextInput *gui_text_input(const char *name, const char *text) {
  const int font = font_load(FONT_NAME, GUI_CONTROL_FONT_SIZE);
  TextInput *t = new TextInput(font, text);
  t->id = name ? name : "";
  StyleRecord &b = t->style.records[STYLE_BASE];
  b.width = 150;  // no height: the input sizes itself to its font
  const int32_t pad = widget_trunc((42 - _controls_line(font)) * 0.5);
  _controls_sides(b, pad, 1);
  b.padding_left = b.padding_right = 4;
  _controls_look(*t, "gui-input1", "gui-input1o");
  return t;
}

NumSlider::NumSlider(int v, int lo, int hi, int st)
    : low(lo),
      high(hi),
      value(v),
      step(st != 0 ? st : 1),
      font(font_load(FONT_NAME, GUI_CONTROL_FONT_SIZE)),
      dragging(0) {
  _controls_size(*this, 160, 44);
  _controls_sides(style.records[STYLE_BASE], 1, 0);
  text_w = widget_trunc(font_text_width(font, "  888"));
  // A range of one value or less (high below low) still shares the track with one knob position.
  const double positions = std::max<double>(1.0, (double)high - low + 1);
  knob_w = widget_trunc(std::max((160.0 - text_w) / positions, 2.0 * _controls_line(font)));
  focusable = 1;
}

void NumSlider::set_int(int v) {
  value = v;
  changed();
}

var NumSlider::get_value() { return var(get_int()); }

void NumSlider::set_value(var v) { set_int(widget_trunc(v.number())); }

// v moved toward low onto the step grid that starts at low, then held inside low..high.
static int32_t _slider_snap(const NumSlider &s, double v) {
  if (v != v) return s.value;
  const double offset = std::clamp(std::trunc(v - s.low), -4e9, 4e9);  // whole steps of an int64 stay exact
  const int64_t snapped = (int64_t)offset / s.step * s.step + s.low;
  return (int32_t)std::max<int64_t>(s.low, std::min<int64_t>(s.high, snapped));
}

// The value under pointer x; the current value when the track leaves the knob no room to move.
static double _slider_at(const NumSlider &s, float x) {
  const double track = (double)s.content_w - s.knob_w - s.text_w;
  if (!(track > 0)) return s.value;
  return s.low + (x - s.knob_w / 2.0) * ((double)s.high - s.low + 1) / track;
}

// The value a key asks for.
static double _slider_key(const NumSlider &s, int key) {
  if (key == KEY_LEFT) return (double)s.value - s.step;
  if (key == KEY_RIGHT) return (double)s.value + s.step;
  return s.value;
}

var NumSlider::on_event(Event e) {
  const bool arrow = (e.type == EVT_KEYDOWN || e.type == EVT_KEYUP) && (e.key == KEY_LEFT || e.key == KEY_RIGHT);
  if (!arrow) {  // arrows must not move the focus off a slider
    var base = Widget::on_event(e);
    if (base.type() != VAR_NONE) return base;
  }
  if (!has_focus()) {
    dragging = 0;
    return var();
  }
  if (e.type == EVT_DOWN && e.x >= 0 && e.x < content_w && e.y >= 0 && e.y < content_h) dragging = 1;
  if (e.type == EVT_UP) {
    dragging = 0;
    return action.change;
  }
  if (e.type != EVT_KEYDOWN && e.type != EVT_DOWN && e.type != EVT_MOVE) return var();
  if (!dragging) return var();
  if (e.type != EVT_KEYDOWN && e.button == 0) return var();
  const double v = e.type == EVT_KEYDOWN ? _slider_key(*this, e.key) : _slider_at(*this, e.x);
  const int32_t before = value;
  value = _slider_snap(*this, v);
  return e.type == EVT_KEYDOWN && value != before ? action.change : var();
}

void NumSlider::paint_inner() {
  const double W = content_w, H = content_h;
  widget_draw_color(0xFFFFFF, 255);
  gfx_img_draw_9slice(gfx_img_load("gui-slider1"), 0, 0, widget_trunc(W - text_w), widget_trunc(H), SKIN_INSET);
  const double range = (double)high - low;  // no range: the knob rests at the left
  const double x = range > 0 ? (W - knob_w - text_w) * ((double)value - low) / range : 0;
  gfx_img_draw_9slice(gfx_img_load("gui-slider2"), widget_trunc(x), 0, knob_w, widget_trunc(H), SKIN_INSET);
  char text[16];
  snprintf(text, sizeof text, "%d", value);
  const StyleRecord &c = style.records[STYLE_CURRENT];
  widget_draw_color(c.text_color, c.text_alpha);
  font_draw_line(font, text, (float)(W - font_text_width(font, text)),
                 (float)widget_trunc((H - _controls_line(font)) * 0.5));
  widget_draw_color(0xFFFFFF, 255);
}

NumSlider *gui_num_slider(const char *name, int value, int low, int high, int step) {
  NumSlider *s = new NumSlider(value, low, high, step);
  s->id = name ? name : "";
  return s;
}

MyToggle::MyToggle(int v, int f) : font(f), value(v) {
  style.selected = v == 1;
  _controls_size(*this, font_text_width(font, " <XXX> "), _controls_line(font));
  focusable = 1;
}

void MyToggle::set_int(int v) {
  value = v;
  style.selected = v == 1;
  style.update();
}

var MyToggle::get_value() { return var(get_int()); }

void MyToggle::set_value(var v) { set_int(widget_trunc(v.number())); }

var MyToggle::on_event(Event e) {
  if (e.type != EVT_CLICK) return Widget::on_event(e);
  set_int(value == 1 ? -1 : 1);  // an unset toggle turns on
  return action.change;
}

void MyToggle::paint_inner() {
  const char *text = value == 1 ? "< ON >" : "< OFF >";
  const StyleRecord &c = style.records[STYLE_CURRENT];
  widget_draw_color(c.text_color, c.text_alpha);
  font_draw_line(font, text, (float)widget_trunc((content_w - font_text_width(font, text)) * 0.5),
                 (float)widget_trunc((content_h - _controls_line(font)) * 0.5));
  widget_draw_color(0xFFFFFF, 255);
}

MyToggle *gui_toggle(const char *name, int value) {
  MyToggle *t = new MyToggle(value, font_load(FONT_NAME, GUI_CONTROL_FONT_SIZE));
  t->id = name ? name : "";
  _controls_size(*t, 80, 44);
  _controls_sides(t->style.records[STYLE_BASE], 4, 1);
  _controls_switch_look(*t);
  return t;
}

OptionBox::OptionBox(Widget *content, const var &v, OptionBox *l) : Box(content), value(v) {
  leader = l ? l->leader : this;
  leader->members.push_back(this);
}

OptionBox::~OptionBox() {
  if (leader != this) {
    std::vector<OptionBox *> &list = leader->members;
    auto it = std::find(list.begin(), list.end(), this);
    if (it != list.end()) list.erase(it);
    return;
  }
  for (OptionBox *m : members) {  // once, for the whole group: a page deletes the leader first
    if (m == this) continue;
    m->leader = m;
    m->members.assign(1, m);
  }
}

void OptionBox::select_value(const var &v) {
  leader->selected = v;
  const std::string text = v.str();
  for (OptionBox *m : leader->members) {
    m->style.selected = m->value.str() == text;
    m->style.update();
  }
}

var OptionBox::on_event(Event e) {
  if (e.type != EVT_CLICK) return Box::on_event(e);
  select_value(value);
  return action.change;
}

OptionBox *gui_option(Widget *content, const var &value, OptionBox *leader) {
  OptionBox *o = new OptionBox(content, value, leader);
  _controls_size(*o, 80, 44);
  _controls_switch_look(*o);
  _controls_settle(*o);
  return o;
}
