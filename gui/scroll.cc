// Scrolling widgets: the clipped scroll window, the vertical slider and the table pairing them.
#include "scroll.h"

#include <algorithm>

#include "kez_gfx-tex.h"

constexpr float SCROLL_WHEEL_STEP = 30;  // units per wheel notch, for the window and the slider
constexpr float SCROLL_AWAY = -65536;    // a pointer position no child lies under
constexpr int SLIDER_CORNER = 10;        // 9-slice corner of the slider images
constexpr float SLIDER_KNOB_MIN = 40;    // the knob of a ScrollBox2 is never shorter

// The first child, or null when it was removed.
static Widget *_scroll_first(const Container &c) { return c.items.empty() ? nullptr : c.items[0]; }

ScrollBox::ScrollBox(Widget *content, int width, int height) {
  add_at(content, 0, 0);
  style.records[STYLE_BASE].width = (float)width;
  style.records[STYLE_BASE].height = (float)height;
}

static Event _scroll_shifted(Event e, float dx, float dy) {
  e.x += dx;
  e.y += dy;
  return e;
}

// The largest scroll that still shows content: 0 when the content fits.
static int _scroll_limit(const ScrollBox &b) {
  const Widget *content = _scroll_first(b);
  return content ? std::max(0, widget_trunc(content->outer_h - b.content_h)) : 0;
}

var ScrollBox::on_event(Event e) {
  switch (e.type) {
    case EVT_WHEEL: {
      const int y = widget_trunc(scroll_y + SCROLL_WHEEL_STEP * e.dy);
      scroll_y = (float)std::max(0, std::min(y, _scroll_limit(*this)));
      return var();
    }
    case EVT_DOWN: Container::on_event(_scroll_shifted(e, scroll_x, scroll_y)); return var();
    case EVT_MOVE: {
      const bool inside = e.x >= 0 && e.x < content_w && e.y >= 0 && e.y < content_h;
      if (inside) return Container::on_event(_scroll_shifted(e, scroll_x, scroll_y));
      e.x = e.y = SCROLL_AWAY;
      return Container::on_event(e);
    }
    case EVT_UP: return Container::on_event(_scroll_shifted(e, scroll_x, scroll_y));
  }
  return Container::on_event(e);
}

void ScrollBox::paint_inner() {
  gfx_clip_push(0, 0, content_w, content_h);
  widget_translate(-scroll_x, -scroll_y);
  Container::paint_inner();
  widget_translate(scroll_x, scroll_y);
  gfx_clip_pop();
}

void ScrollBox::layout_inner() {
  Container::layout_inner();
  const StyleRecord &c = style.records[STYLE_CURRENT];
  content_w = widget_style_or_f(c.width, 0);
  content_h = widget_style_or_f(c.height, 0);
}

VSlider::VSlider() {
  style.records[STYLE_BASE].width = 22;
  focusable = 1;
}

// v held within low..high (low wins when a caller set them the wrong way round); NaN gives high.
static int32_t _slider_clamp(const VSlider &s, double v) {
  if (!(v <= s.high)) v = s.high;
  if (v < s.low) v = s.low;
  return widget_trunc(v);
}

int VSlider::get_int() { return value; }

void VSlider::set_int(int v) {
  value = _slider_clamp(*this, v);
  changed();
}

var VSlider::on_event(Event e) {
  const double base = Widget::on_event(e).number();
  if (base != 0) return var(base);
  if (e.type == EVT_WHEEL) {
    value = _slider_clamp(*this, value + (double)SCROLL_WHEEL_STEP * e.dy);
    return action.change;
  }
  const bool pointer = e.type == EVT_DOWN || e.type == EVT_MOVE || e.type == EVT_UP;
  if (!has_focus() || !pointer || e.button == 0) return var();
  const double travel = std::max(1.0, (double)content_h - knob);  // a knob as tall as the track still drags
  const int32_t v = _slider_clamp(*this, low + (e.y - knob / 2) * ((double)high - low + 1) / travel);
  if (v == value) return var();
  value = v;
  return action.change;
}

void VSlider::paint_inner() {
  if (disabled) return;  // a slider with nothing to scroll is not shown
  const int w = widget_trunc(content_w), h = widget_trunc(content_h);
  gfx_img_draw_9slice(gfx_img_load("gui-slider1"), 0, 0, w, h, SLIDER_CORNER);
  // An empty range (high == low) has no position to show: the knob stays at the top.
  const double range = (double)high - low;
  const int y = range > 0 ? widget_trunc(((double)content_h - knob) * ((double)value - low) / range) : 0;
  gfx_img_draw_9slice(gfx_img_load("gui-slider2"), 0, y, w, knob, SLIDER_CORNER);
}

void VSlider::changed() {}

// The slider of a ScrollBox2 tells its table when it is deleted (by a clear or remove), so the table
// never writes through a stale pointer: the memory may already hold another widget.
class ScrollSlider : public VSlider {
 public:
  explicit ScrollSlider(ScrollBox2 *s) : owner(s) {}
  ~ScrollSlider() override {
    if (owner) owner->slider = nullptr;
  }
  ScrollBox2 *owner;
};

// Forgets the content once the table no longer holds it (a page removed or cleared the cells). The
// spacer a cleared table makes again may sit where the content was.
static void _scroll2_check(ScrollBox2 &s) {
  const bool held = std::find(s.items.begin(), s.items.end(), s.content) != s.items.end();
  if (!held || s.content == s.spacer) s.content = nullptr;
}

ScrollBox2::ScrollBox2(Widget *c) : content(c), slider(new ScrollSlider(this)) {
  if (content) content->layout_inner();
  cur_row = 0;
  cur_col = 0;
  if (!add_cell(content, 1, 1)) content = nullptr;
  slider->style.records[STYLE_BASE].height = content ? content->style.records[STYLE_BASE].height : STYLE_UNSET_F;
  slider->action.change = var(-1);
  add_cell(slider, 1, 1);
}

ScrollBox2::~ScrollBox2() {
  if (auto *s = dynamic_cast<ScrollSlider *>(slider)) s->owner = nullptr;  // the table is gone before its cells
}

var ScrollBox2::on_event(Event e) {
  _scroll2_check(*this);
  if (e.type == EVT_DOWN) style.selected = 1;
  if (e.type == EVT_UP || e.type == EVT_BLUR) style.selected = 0;
  var result = Container::on_event(e);
  if (!(result == var(-1))) return result;
  if (content && slider) content->scroll_y = (float)slider->get_int();
  return var();
}

void ScrollBox2::loop() {
  _scroll2_check(*this);
  const float height = style.records[STYLE_BASE].height;
  if (height != STYLE_UNSET_F) {
    if (content) content->style.records[STYLE_BASE].height = height;
    if (slider) slider->style.records[STYLE_BASE].height = height;
  }
  Container::loop();
}

void ScrollBox2::layout_inner() {
  Table::layout_inner();
  _scroll2_check(*this);
  if (!content || !slider) return;
  const Container *box = dynamic_cast<const Container *>(content);
  const Widget *inner = box ? _scroll_first(*box) : nullptr;
  const double inner_h = inner ? inner->outer_h : 0;
  const double range = std::max(1.0, inner_h - content->content_h);
  const bool fits = inner_h <= content->content_h;
  slider->disabled = fits;
  slider->focusable = !fits;
  slider->low = 0;
  slider->high = widget_trunc(range);
  slider->value = _slider_clamp(*slider, slider->value);
  const double H = widget_style_or_f(slider->style.records[STYLE_BASE].height, 0);
  const double shown = H * content->content_h / std::max(1.0, inner_h);  // the visible fraction of H
  slider->knob = widget_trunc(std::max((double)SLIDER_KNOB_MIN, std::min(H, shown)));
  slider->set_int(widget_trunc(content->scroll_y));
}

// Lays `page` out `width` wide with `gutter` free at its left.
static void _scroll_page_width(Box *page, int width, int gutter) {
  StyleRecord &b = page->style.records[STYLE_BASE], &c = page->style.records[STYLE_CURRENT];
  b.width = (float)width;
  b.padding_left = gutter;
  c.width = STYLE_UNSET_F;  // a second layout takes the new values at once, not by transition steps
  c.padding_left = STYLE_UNSET;
  page->style.update();
  page->layout();
}

ScrollBox2 *scroll_window(Box *page, int width, int height) {
  _scroll_page_width(page, width - SCROLL_GUTTER, SCROLL_GUTTER);
  return new ScrollBox2(new ScrollBox(page, width - SCROLL_GUTTER, height));
}

Widget *scroll_page(Box *page, int width, int height) {
  _scroll_page_width(page, width, 0);
  if (page->outer_h <= height) return new Box(page);
  return scroll_window(page, width, height);
}
