// Container: ownership and the tree's shape, pointer hover and focus, clicks from releases and keys,
// the first-hover rule, names and descendants, layout extents and the painting of children.
#include "container.h"

#include <gtest/gtest.h>

#include "gui_test_support.h"

namespace {

// A root holding a (0, 0) and b (10, 10), both 20 x 20 and focusable, so b overlaps a's lower right.
class Pair : public testing::Test {
 protected:
  void SetUp() override {
    root.add_at(a, 0, 0);
    root.add_at(b, 10, 10);
    root.layout_inner();
    b->action.click = gui_action("onclick", "b");
  }
  Container root;
  Probe *a = new Probe(20, 20), *b = new Probe(20, 20);
};

}  // namespace

TEST_F(Pair, the_child_added_last_takes_hover_and_focus_and_a_release_over_it_is_a_click) {
  EXPECT_EQ(root.on_event(gui_event(EVT_DOWN, 15, 15)).type(), VAR_NONE);
  EXPECT_EQ(root.hover_child, b);
  EXPECT_TRUE(b->has_focus());
  const Event &down = b->got.back();
  EXPECT_EQ(down.type, EVT_DOWN);
  EXPECT_FLOAT_EQ(down.x, 5);
  EXPECT_EQ(down.key, DOWN_MOVED_FOCUS);

  EXPECT_TRUE(root.on_event(gui_event(EVT_UP, 16, 16)) == b->action.click);
  EXPECT_EQ(b->types().back(), EVT_CLICK);
  EXPECT_FLOAT_EQ(b->got.back().x, 6);
}

TEST_F(Pair, a_drag_keeps_its_hover_and_a_release_over_another_child_is_no_click) {
  root.on_event(gui_event(EVT_DOWN, 15, 15));
  Event drag = gui_event(EVT_MOVE, 2, 2);
  drag.button = 1;
  root.on_event(drag);
  EXPECT_EQ(root.hover_child, b);
  EXPECT_FLOAT_EQ(b->got.back().x, -8);
  EXPECT_EQ(root.on_event(gui_event(EVT_UP, 2, 2)).type(), VAR_NONE);
  EXPECT_EQ(root.hover_child, a);
  for (int type : b->types()) EXPECT_NE(type, EVT_CLICK);
}

TEST_F(Pair, space_or_enter_released_on_the_focused_child_clicks_its_centre) {
  b->focus();
  for (int key : {KEY_SPACE, KEY_ENTER}) {
    EXPECT_TRUE(root.on_event(gui_event(EVT_KEYUP, 0, 0, key)) == b->action.click);
    const Event &click = b->got.back();
    EXPECT_EQ(click.type, EVT_CLICK);
    EXPECT_EQ(click.key, CLICK_FROM_KEYS);
    EXPECT_FLOAT_EQ(click.x, 10);
    EXPECT_FLOAT_EQ(click.y, 10);
  }
  EXPECT_EQ(root.on_event(gui_event(EVT_KEYUP, 0, 0, KEY_A)).type(), VAR_NONE);
}

TEST_F(Pair, a_disabled_child_is_never_picked_by_the_pointer_but_keeps_its_keys) {
  b->disabled = 1;
  root.on_event(gui_event(EVT_DOWN, 15, 15));
  EXPECT_EQ(root.hover_child, a);
  EXPECT_TRUE(a->has_focus());
  b->focus();
  root.on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_A));
  EXPECT_EQ(b->types().back(), EVT_KEYDOWN);
}

TEST(Container, the_first_focusable_enabled_widget_is_focused_by_a_root_without_focus) {
  Container root;
  root.add_at(new Probe(10, 10, false), 0, 0);
  root.loop();
  EXPECT_EQ(root.focus_child, nullptr) << "nothing to focus";

  Probe *off = new Probe(), *on = new Probe();
  off->disabled = 1;
  root.add_at(off, 0, 20);
  root.add_at(on, 0, 40);
  root.loop();
  EXPECT_TRUE(on->has_focus());
  EXPECT_EQ(root.get_hovered(), on);

  root.clear();  // a page rebuild
  Probe *again = new Probe();
  root.add_at(again, 0, 0);
  root.loop();
  EXPECT_TRUE(again->has_focus());
}

TEST(Container, removing_or_clearing_children_drops_every_pointer_that_led_to_them) {
  Container root, *inner = new Container();
  Probe *keep = new Probe(), *gone = new Probe(), *deep = new Probe();
  root.add_at(keep, 0, 0);
  root.add_at(gone, 20, 0);
  root.add_at(inner, 40, 0);
  inner->add_at(deep, 0, 0);
  keep->tab_next = gone;
  deep->tab_next = keep;
  gone->select();
  root.remove(gone);
  EXPECT_EQ(root.focus_child, nullptr);
  EXPECT_EQ(root.hover_child, nullptr);
  EXPECT_EQ(keep->tab_next, nullptr);
  EXPECT_EQ(root.items.size(), 2u);

  Probe stranger;
  root.remove(&stranger);  // not a child: left alone (and not deleted)
  EXPECT_EQ(root.items.size(), 2u);

  keep->tab_next = deep;
  deep->select();
  inner->clear();
  EXPECT_EQ(inner->focus_child, nullptr);
  EXPECT_EQ(inner->hover_child, nullptr);
  EXPECT_EQ(keep->tab_next, nullptr);
  root.on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_TAB));  // reaches inner, which has nothing left
}

TEST(Container, add_refuses_what_would_give_a_widget_two_owners_or_make_a_loop) {
  Container root, *inner = new Container(), other;
  Probe *owned = new Probe();
  EXPECT_TRUE(root.add_at(inner, 0, 0));
  EXPECT_TRUE(other.add_at(owned, 0, 0));
  EXPECT_FALSE(inner->add_at(owned, 0, 0));
  EXPECT_FALSE(inner->add_at(&root, 0, 0));
  EXPECT_FALSE(inner->add_at(inner, 0, 0));
  EXPECT_FALSE(inner->add_at(nullptr, 0, 0));
  EXPECT_TRUE(inner->items.empty());
  EXPECT_EQ(owned->parent, &other);
}

TEST(Container, names_descendants_and_size_follow_the_tree) {
  Container root, *inner = new Container();
  Probe *a = new Probe(30, 5), *b = new Probe(), *c = new Probe();
  root.add_at(a, 0, 50);
  root.add_at(inner, 20, 0);
  inner->add_at(b, 0, 0);
  root.add_at(c, 5, 5);
  b->id = c->id = "x";
  inner->id = "inner";
  root.id = "x";
  EXPECT_EQ(root.find("x"), b) << "children before the container, in order";
  EXPECT_EQ(root.find("inner"), inner);
  EXPECT_EQ(root.find("none"), nullptr);
  EXPECT_EQ(root.children(), (std::vector<Widget *>{a, inner, b, c}));
  root.layout_inner();
  EXPECT_FLOAT_EQ(root.content_w, 30);
  EXPECT_FLOAT_EQ(root.content_h, 55);
}

TEST_F(GuiGl, children_paint_in_order_at_their_positions_the_last_on_top) {
  Container root;
  Probe *under = new Probe(20, 20), *over = new Probe(20, 20);
  under->style.records[STYLE_BASE].bg_tint = 0xFF0000;
  over->style.records[STYLE_BASE].bg_tint = 0x0000FF;
  root.add_at(under, 10, 10);
  root.add_at(over, 20, 20);
  root.layout();
  root.paint();
  expect_pixel(15, 15, 0xFF0000);
  expect_pixel(25, 25, 0x0000FF);
  expect_pixel(35, 35, 0x0000FF);
  expect_pixel(45, 45, 0x000000);
}
