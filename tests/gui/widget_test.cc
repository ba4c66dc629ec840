// Widget base: style resolution and transitions, the box model, event answers, the focus and hover
// paths with Tab and the arrows, rectangles in root coordinates, and the painted box.
#include "widget.h"

#include <gtest/gtest.h>

#include "gui_test_support.h"

namespace {

int updates_until(WidgetStyle &s, int32_t StyleRecord::*prop, int32_t want) {
  int n = 0;
  while (s.records[STYLE_CURRENT].*prop != want && n < 100) {
    s.update();
    n++;
  }
  return n;
}

}  // namespace

TEST(WidgetStyle, target_is_selected_then_state_then_base_and_a_lone_state_value_stays_after_the_state) {
  Widget w;
  StyleRecord *r = w.style.records;
  r[STYLE_BASE].align = -1;
  r[STYLE_HOVERED].align = 1;
  r[STYLE_HOVERED].valign = 1;
  r[STYLE_SELECTED].align = 0;
  w.style.update();
  EXPECT_EQ(r[STYLE_CURRENT].align, -1);
  EXPECT_EQ(r[STYLE_CURRENT].valign, STYLE_UNSET);
  EXPECT_EQ(r[STYLE_CURRENT].clip, STYLE_UNSET);  // no target anywhere

  w.on_event(gui_event(EVT_ENTER));
  EXPECT_EQ(w.style.state_code, 2);
  w.style.update();
  EXPECT_EQ(r[STYLE_CURRENT].align, 1);
  EXPECT_EQ(r[STYLE_CURRENT].valign, 1);

  w.on_event(gui_event(EVT_LEAVE));
  w.style.update();
  EXPECT_EQ(r[STYLE_CURRENT].align, -1);
  EXPECT_EQ(r[STYLE_CURRENT].valign, 1) << "neither the plain nor the base record sets it";

  w.style.selected = 1;
  w.style.update();
  EXPECT_EQ(r[STYLE_CURRENT].align, 0);

  w.style.state_code = 9;  // a word no state has: only the base record counts
  w.style.selected = 0;
  w.style.update();
  EXPECT_EQ(r[STYLE_CURRENT].align, -1);
}

TEST(WidgetStyle, new_values_land_at_once_and_later_changes_step_by_kind) {
  WidgetStyle s;
  s.init();
  StyleRecord &base = s.records[STYLE_BASE], &cur = s.records[STYLE_CURRENT];
  base.bg_tint = 0x000000;
  base.fg_alpha = 0;
  base.padding_top = 2;
  base.width = 10;
  s.update();
  EXPECT_EQ(cur.bg_tint, 0);
  EXPECT_FLOAT_EQ(cur.width, 10);

  base.bg_tint = (int32_t)0xFFFFFFFF;  // a stray top byte never reaches the current record
  EXPECT_EQ(updates_until(s, &StyleRecord::bg_tint, 0xFFFFFF), 8);
  base.fg_alpha = 255;
  s.update();
  EXPECT_EQ(cur.fg_alpha, 36);
  base.padding_top = 5;
  EXPECT_EQ(updates_until(s, &StyleRecord::padding_top, 5), 3);
  base.width = 990;
  s.update();
  EXPECT_FLOAT_EQ(cur.width, 990);
  base.width = 3000;
  s.update();
  EXPECT_FLOAT_EQ(cur.width, 1990);
}

TEST(Widget, margins_and_padding_wrap_the_content_box_and_resize_fits_the_outer_size) {
  Widget w;
  StyleRecord &b = w.style.records[STYLE_BASE];
  b.width = b.height = 10;
  b.margin_top = b.margin_right = b.margin_bottom = b.margin_left = 1;
  b.padding_top = b.padding_right = b.padding_bottom = b.padding_left = 4;
  w.style.update();
  w.layout();
  EXPECT_FLOAT_EQ(w.outer_w, 20);
  EXPECT_FLOAT_EQ(w.outer_h, 20);
  EXPECT_FLOAT_EQ(w.offset_x, 5);
  EXPECT_FLOAT_EQ(w.offset_y, 5);
  w.resize(50, 60);  // a plain widget keeps its own content size
  EXPECT_FLOAT_EQ(w.outer_w, 20);
}

TEST(Widget, events_answer_with_their_action_values_in_content_coordinates) {
  Probe w;
  w.action.click = gui_action("onclick", "go");
  w.action.down = var("down");
  w.action.focus = var("focused");
  w.style.records[STYLE_BASE].padding_left = 3;
  w.style.update();
  w.layout();
  EXPECT_TRUE(w.event(gui_event(EVT_CLICK, 10, 0)) == w.action.click);
  EXPECT_FLOAT_EQ(w.got.back().x, 7);
  EXPECT_EQ(w.event(gui_event(EVT_DOWN)).str(), "down");
  EXPECT_EQ(w.event(gui_event(EVT_UP)).type(), VAR_NONE);
  EXPECT_EQ(w.event(gui_event(EVT_FOCUS)).str(), "focused");
  EXPECT_TRUE(w.has_focus());
  EXPECT_EQ(w.style.state_code, 3);
  EXPECT_EQ(w.event(gui_event(EVT_KEYDOWN, 0, 0, KEY_TAB)).type(), VAR_NONE) << "no tab link";
  EXPECT_EQ(w.event(gui_event(EVT_BLUR)).type(), VAR_NONE);
  EXPECT_EQ(w.style.state_code, 0);
}

TEST(Widget, focus_clears_the_old_path_marks_the_new_one_up_to_the_root_and_tab_follows_the_link) {
  Container root, *left = new Container(), *right = new Container();
  Probe *a = new Probe(), *b = new Probe();
  root.add_at(left, 0, 0);
  root.add_at(right, 50, 0);
  left->add_at(a, 0, 0);
  right->add_at(b, 0, 0);
  root.action.focus = var("root focus");
  EXPECT_EQ(a->focus().str(), "root focus");
  EXPECT_EQ(root.focus_child, left);
  EXPECT_EQ(left->focus_child, a);
  EXPECT_FALSE(root.has_focus());
  EXPECT_TRUE(a->has_focus());

  a->got.clear();
  EXPECT_EQ(a->focus().type(), VAR_NONE);
  EXPECT_TRUE(a->got.empty()) << "focusing the focused widget sends nothing";

  a->tab_next = b;
  EXPECT_EQ(root.on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_TAB)).type(), VAR_NONE);
  EXPECT_EQ(a->types(), std::vector<int>({EVT_KEYDOWN, EVT_BLUR}));
  EXPECT_EQ(left->focus_child, nullptr);
  EXPECT_EQ(root.focus_child, right);
  EXPECT_TRUE(b->has_focus());

  b->hover();
  a->hover();
  EXPECT_EQ(b->style.hover, 0);
  EXPECT_EQ(root.get_hovered(), a);
}

// A 3 x 3 grid of focusable 10 x 10 probes, 20 units apart, plus one far to the right of the top row.
class Grid : public testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 9; i++) {
      cell[i] = new Probe();
      root.add_at(cell[i], (i % 3) * 20, (i / 3) * 20);
    }
    far = new Probe();
    root.add_at(far, 200, 2);
    root.layout_inner();
  }
  Container root;
  Probe *cell[9], *far;
};

TEST_F(Grid, arrows_move_to_the_nearest_enabled_widget_that_way_and_else_keep_the_focus) {
  cell[4]->focus();
  root.on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_RIGHT));
  EXPECT_TRUE(cell[5]->has_focus());
  EXPECT_TRUE(cell[5]->style.hover);
  root.on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_UP));
  EXPECT_TRUE(cell[2]->has_focus()) << "the same column before a nearer edge off it";
  root.on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_RIGHT));
  EXPECT_TRUE(far->has_focus());
  EXPECT_EQ(far->focus_move(1, 0).type(), VAR_NONE);
  EXPECT_TRUE(far->has_focus());
  EXPECT_EQ(cell[0]->focus_move(0, 1).type(), VAR_NONE) << "only the focused widget moves the focus";

  cell[0]->focus();
  cell[3]->disabled = 1;
  root.on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_DOWN));
  EXPECT_TRUE(cell[6]->has_focus());
}

TEST(Widget, rects_add_offsets_and_positions_up_to_the_root_less_the_scrolls) {
  Container root, *box = new Container();
  Probe *leaf = new Probe();
  box->style.records[STYLE_BASE].padding_left = 5;
  box->style.records[STYLE_BASE].padding_top = 2;
  root.add_at(box, 100, 50);
  box->add_at(leaf, 7, 9);
  root.layout();
  box->scroll_y = 30;
  GfxRect in = leaf->get_rect(false), out = box->get_rect(true);
  EXPECT_FLOAT_EQ(in.x, 112);
  EXPECT_FLOAT_EQ(in.y, 31);
  EXPECT_FLOAT_EQ(in.w, 10);
  EXPECT_FLOAT_EQ(out.x, 100);
  EXPECT_FLOAT_EQ(out.y, 50);
  EXPECT_FLOAT_EQ(out.w, 22);
}

TEST_F(GuiGl, a_widget_paints_border_then_background_then_overlay_then_content_at_its_offset) {
  const int red = image("red", 4, 4, 0xFF0000);
  Probe w(40, 20);
  StyleRecord &b = w.style.records[STYLE_BASE];
  b.margin_left = b.margin_top = b.margin_right = b.margin_bottom = 2;
  b.border_left = b.border_top = b.border_right = b.border_bottom = 3;
  b.border_color = 0x00FF00;
  b.bg_tint = 0x0000FF;  // no image: a plain fill
  b.fg_image = red;
  b.fg_alpha = 128;  // the overlay over blue, at half strength
  w.style.update();
  w.layout();
  widget_translate(100, 100);
  w.paint();
  widget_translate(-100, -100);
  expect_pixel(101, 110, 0x000000);  // margin
  expect_pixel(103, 110, 0x00FF00);  // left border
  expect_pixel(125, 103, 0x00FF00);  // top border
  expect_pixel(125, 126, 0x00FF00);  // bottom border
  expect_pixel(146, 110, 0x00FF00);  // right border
  expect_pixel(125, 115, 0x80007F);  // half red over blue
  EXPECT_FLOAT_EQ(gfx_state->clip[0].x, 0) << "the translation is restored";
}
