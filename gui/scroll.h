// Scrolling: a fixed-size window onto one content widget scrolled by the wheel (ScrollBox), a vertical
// slider drawn with two skin images (VSlider), and a two-cell table that keeps a content widget and a
// slider beside it in step (ScrollBox2).
#pragma once

#include <cstdint>

#include "table.h"

constexpr int SCROLL_GUTTER = 22;  // a VSlider's width: the room a page's slider takes at its right

// A window of its base `width` x `height` onto its first child, the content, which it clips and
// shifts up by `scroll_y`. The wheel scrolls 30 units a notch, within the content's height.
class ScrollBox : public Container {
 public:
  // Holds `content` at (0, 0); the box's base size is width x height.
  ScrollBox(Widget *content, int width, int height);

  // Pointer events reach the content with the scroll added; a move outside the window takes the hover
  // from the content. The wheel only scrolls and answers none.
  var on_event(Event e) override;
  void paint_inner() override;
  // The content is laid out; the window keeps its own width and height (0 where unset).
  void layout_inner() override;
};

// A vertical slider over `low`..`high`: track image "gui-slider1", knob image "gui-slider2".
class VSlider : public Widget {
 public:
  int32_t low = 0;
  int32_t high = 1;
  int32_t value = 0;  // kept within low..high
  int32_t knob = 20;  // knob height in units

  // Base width 22, focusable.
  VSlider();

  // `value`.
  int get_int() override;
  // Sets the value, held within low..high, then calls `changed`.
  void set_int(int v) override;
  // The wheel and a drag with a button held (while focused) move the value; the `change` action when
  // it moved, none otherwise. A base reaction that reads as a non-zero number is answered first.
  var on_event(Event e) override;
  void paint_inner() override;
  // Called after set_int; nothing here.
  virtual void changed();
};

// A table of two cells: `content` (in practice a ScrollBox) and a VSlider beside it. The slider's
// range follows the content's scrollable height and its knob the visible fraction; moving the slider
// scrolls the content. While the content fits, nothing scrolls and the slider is neither drawn nor
// reached.
class ScrollBox2 : public Table {
 public:
  Widget *content;  // a cell, owned through `items`; null once the table no longer holds it
  VSlider *slider;  // a cell, owned through `items`; null once it was deleted

  // content in the first cell, a new slider (as high as the content's base height, `change` action
  // the number -1) in the second.
  explicit ScrollBox2(Widget *content);
  ~ScrollBox2() override;

  // Shows the pressed look between a press and a release or blur; a slider move scrolls the content
  // and answers none, every other answer passes through.
  var on_event(Event e) override;
  // Gives its own base height, when set, to the content and the slider.
  void loop() override;
  // The table layout, then the slider's range, knob and value from the content's scroll.
  void layout_inner() override;
};

// A page of markup `width` wide in a window `height` high: `page` (a Box round the content) takes the
// whole width when it fits; otherwise it goes into a ScrollBox2 (see scroll_window).
Widget *scroll_page(Box *page, int width, int height);
// `page` in a ScrollBox `height` high beside a slider, all `width` wide. The page keeps SCROLL_GUTTER
// free at its left as well, so its content stays centred on the width.
ScrollBox2 *scroll_window(Box *page, int width, int height);
