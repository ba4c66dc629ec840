// Scrolling: the wheel's limits, pointer events shifted by the scroll and hover lost outside the window,
// clipping on screen, slider dragging and clamping, and the slider paired with a scroll box.
#include "scroll.h"

#include <gtest/gtest.h>

#include <memory>

#include "gui_test_support.h"

namespace {

Event wheel(float dy) {
  Event e(EVT_WHEEL);
  e.dy = dy;
  return e;
}

Event pressed(int type, float x, float y) {
  Event e = gui_event(type, x, y);
  e.button = 1;
  return e;
}

// A box of w x h over content of height h_content, laid out.
ScrollBox *scroll_box(float h_content, int w = 100, int h = 100) {
  ScrollBox *b = new ScrollBox(new Probe(100, h_content, false), w, h);
  b->style.update();
  b->layout();
  return b;
}

Widget *block(uint32_t colour) {
  Widget *w = new Widget();
  StyleRecord &s = w->style.records[STYLE_BASE];
  s.width = s.height = 100;
  s.bg_tint = (int32_t)colour;
  return w;
}

class CountingSlider : public VSlider {
 public:
  void changed() override { calls++; }
  int calls = 0;
};

}  // namespace

TEST(ScrollBox, the_wheel_scrolls_30_units_a_notch_within_the_content) {
  std::unique_ptr<ScrollBox> short_one(scroll_box(50));
  short_one->on_event(wheel(1));
  EXPECT_FLOAT_EQ(short_one->scroll_y, 0);

  std::unique_ptr<ScrollBox> b(scroll_box(400));
  b->on_event(wheel(-1));
  EXPECT_FLOAT_EQ(b->scroll_y, 0);
  b->on_event(wheel(1));
  EXPECT_FLOAT_EQ(b->scroll_y, 30);
  b->scroll_y = 290;
  b->on_event(wheel(1));
  EXPECT_FLOAT_EQ(b->scroll_y, 300);
}

TEST(ScrollBox, presses_reach_the_content_shifted_by_the_scroll_and_leaving_the_window_drops_the_hover) {
  std::unique_ptr<ScrollBox> b(scroll_box(400));
  Probe *p = static_cast<Probe *>(b->items[0]);
  b->scroll_y = 60;
  EXPECT_EQ(b->on_event(gui_event(EVT_DOWN, 10, 10)).type(), VAR_NONE);
  EXPECT_FLOAT_EQ(p->got.back().y, 70);
  EXPECT_TRUE(p->style.hover);
  b->on_event(gui_event(EVT_MOVE, 150, 10));
  EXPECT_FALSE(p->style.hover);
}

TEST_F(GuiGl, a_scroll_box_clips_its_content_and_shows_the_scrolled_part) {
  Container *content = new Container();
  content->add_at(block(0xFF0000), 0, 0);
  content->add_at(block(0x0000FF), 0, 100);
  Container root;
  ScrollBox *b = new ScrollBox(content, 100, 100);
  root.add_at(b, 10, 10);
  root.layout();
  root.paint();
  expect_pixel(50, 50, 0xFF0000);
  expect_pixel(50, 150, 0x000000);
  b->on_event(wheel(1));
  gl_test_frame();
  root.paint();
  expect_pixel(50, 95, 0x0000FF);
  expect_pixel(50, 150, 0x000000);
  EXPECT_EQ(gfx_state->clip_depth, 0);
}

TEST(VSlider, dragging_past_either_end_gives_high_or_low_and_set_int_clamps_then_notifies) {
  CountingSlider s;
  s.high = 100;
  s.style.records[STYLE_BASE].height = 200;
  s.style.update();
  s.layout();
  s.action.change = var(7);
  s.focus();
  EXPECT_TRUE(s.on_event(pressed(EVT_DOWN, 5, 300)) == var(7));
  EXPECT_EQ(s.value, 100);
  s.on_event(pressed(EVT_MOVE, 5, -50));
  EXPECT_EQ(s.value, 0);
  s.on_event(wheel(2));
  EXPECT_EQ(s.value, 60);
  s.set_int(-5);
  EXPECT_EQ(s.get_int(), 0);
  EXPECT_EQ(s.calls, 1);
}

TEST(ScrollBox2, the_knob_shows_the_visible_fraction_and_the_slider_and_the_content_follow_each_other) {
  ScrollBox2 s(scroll_box(2000, 100, 200));
  s.style.update();
  s.layout();
  EXPECT_EQ(s.slider->knob, 40);
  EXPECT_EQ(s.slider->high, 1800);

  s.on_event(gui_event(EVT_MOVE, s.slider->pos_x + 5, 10));
  EXPECT_EQ(s.on_event(wheel(1)).type(), VAR_NONE);
  EXPECT_FLOAT_EQ(s.content->scroll_y, 30);
  s.on_event(gui_event(EVT_MOVE, 50, 10));
  s.on_event(wheel(1));
  s.layout();
  EXPECT_EQ(s.slider->value, 60);

  s.style.records[STYLE_BASE].height = 150;  // the box's height reaches both cells
  s.loop();
  EXPECT_FLOAT_EQ(s.slider->style.records[STYLE_BASE].height, 150);
}

TEST(ScrollBox2, short_content_gives_a_range_of_one_and_cleared_cells_are_forgotten) {
  ScrollBox2 s(scroll_box(50, 100, 200));
  s.style.update();
  s.layout();
  EXPECT_EQ(s.slider->high, 1);
  s.clear();
  s.layout();  // makes a new spacer, perhaps where a cell was
  s.loop();
  s.on_event(wheel(1));
  EXPECT_EQ(s.content, nullptr);
  EXPECT_EQ(s.slider, nullptr);
}

TEST(ScrollPage, a_page_that_fits_has_no_slider_and_either_way_its_content_stays_centred) {
  auto centre = [](Widget *page, Widget *content) {  // the content's centre in page units
    float x = content->pos_x + content->offset_x + content->content_w / 2;
    for (Widget *w = content->parent; w && w != page->parent; w = w->parent) x += w->pos_x + w->offset_x;
    return x;
  };
  for (float tall : {80.0f, 400.0f}) {
    SCOPED_TRACE(tall);
    Probe *content = new Probe(60, tall, false);
    std::unique_ptr<Widget> page(scroll_page(new Box(content), 300, 200));
    page->style.update();
    page->layout();
    EXPECT_NEAR(centre(page.get(), content), 150, 1);
    ScrollBox2 *window = dynamic_cast<ScrollBox2 *>(page.get());
    EXPECT_EQ(window != nullptr, tall > 200) << "only a page taller than its window scrolls";
  }
  ScrollBox2 lobby(new ScrollBox(new Box(new Probe(60, 80, false)), 278, 200));  // a window that may grow
  lobby.style.update();
  lobby.layout();
  EXPECT_TRUE(lobby.slider->disabled) << "nothing to scroll: the slider is not shown";
  EXPECT_FALSE(lobby.slider->focusable);
  lobby.content->style.records[STYLE_BASE].height = 50;
  lobby.style.update();
  lobby.layout();
  EXPECT_FALSE(lobby.slider->disabled);
}
