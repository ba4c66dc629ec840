// Controls and skins: the toggle's three values, the slider's keys, drags and releases (also without a
// usable range), option groups and their leader, and the skin chosen by class.
#include "controls.h"

#include <gtest/gtest.h>

#include "gui_test_support.h"

namespace {

Event press(float x, float y, int type = EVT_DOWN) {
  Event e = gui_event(type, x, y);
  e.button = 1;
  return e;
}

OptionBox *option(Container &root, const char *value, OptionBox *leader) {
  OptionBox *o = gui_option(new Probe(10, 10, false), var(value), leader);
  o->action.change = gui_action("onchange", "res");
  root.add_at(o, 0, 0);
  return o;
}

}  // namespace

TEST(MyToggle, an_unset_toggle_turns_on_at_the_first_click_and_off_at_the_next) {
  MyToggle *t = gui_toggle("sound", 0);
  t->action.change = gui_action("onchange", "sound");
  EXPECT_EQ(t->style.selected, 0);
  EXPECT_TRUE(t->event(gui_event(EVT_CLICK)) == t->action.change);
  EXPECT_EQ(t->get_int() * 10 + t->style.selected, 11);
  t->event(gui_event(EVT_CLICK));
  EXPECT_EQ(t->get_value().number(), -1);
  EXPECT_EQ(t->style.selected, 0);
  delete t;
}

TEST_F(GuiFiles, a_slider_moves_by_keys_only_while_held_and_reports_keys_and_every_release) {
  Container root;
  Probe *left = new Probe(10, 10);
  NumSlider *s = gui_num_slider("pct", 50, 5, 100, 5);
  s->action.change = gui_action("onchange", "pct");
  root.add_at(left, 0, 0);
  root.add_at(s, 20, 0);
  root.layout_inner();
  s->focus();
  EXPECT_EQ(root.on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_LEFT)).type(), VAR_NONE);
  EXPECT_EQ(s->get_int(), 50);
  EXPECT_TRUE(s->has_focus()) << "arrows do not move the focus off a slider";

  s->on_event(gui_event(EVT_DOWN, 30, 10));  // no button held: the drag starts, the value stays
  EXPECT_TRUE(s->on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_LEFT)) == s->action.change);
  EXPECT_EQ(s->get_int(), 45);
  s->set_int(5);
  EXPECT_EQ(s->on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_LEFT)).type(), VAR_NONE);
  EXPECT_EQ(s->get_int(), 5);

  EXPECT_EQ(s->on_event(press(5000, 10, EVT_MOVE)).type(), VAR_NONE);
  EXPECT_EQ(s->get_int(), 100);
  EXPECT_TRUE(s->on_event(gui_event(EVT_UP, 5000, 10)) == s->action.change);
  EXPECT_TRUE(s->on_event(gui_event(EVT_UP, 5000, 10)) == s->action.change) << "even when nothing changed";
  s->on_event(press(30, 10));
  left->focus();
  s->on_event(press(30, 10, EVT_MOVE));
  EXPECT_EQ(s->dragging, 0) << "a slider that lost the focus lets go";
}

TEST_F(GuiFiles, a_slider_without_a_range_or_a_step_never_divides_by_zero) {
  for (NumSlider *s : {gui_num_slider("flat", 7, 7, 7, 0), gui_num_slider("upside", 3, 10, 5, 1)}) {
    EXPECT_EQ(s->step, 1);
    EXPECT_GT(s->knob_w, 0);
    EXPECT_LE(s->knob_w, 160);
    s->style.update();
    s->layout();
    s->focus();
    s->on_event(press(s->content_w / 2, 10));
    s->on_event(press(s->content_w / 3, 10, EVT_MOVE));
    s->on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_RIGHT));
    EXPECT_EQ(s->get_int(), s->low);
    delete s;
  }
}

TEST(OptionBox, a_click_selects_one_value_for_the_whole_group_and_deleted_members_leave_no_pointers) {
  Container root;
  OptionBox *a = option(root, "320", nullptr), *b = option(root, "480", a), *c = option(root, "640", b);
  OptionBox *d = option(root, "800", a);
  EXPECT_EQ(c->leader, a) << "a member handed in as leader joins its leader's group";
  EXPECT_EQ(a->get_value().type(), VAR_NONE);
  EXPECT_TRUE(b->event(gui_event(EVT_CLICK)) == b->action.change);
  for (OptionBox *o : {a, b, c, d}) EXPECT_EQ(o->get_value().str(), "480");
  EXPECT_EQ(a->style.selected + b->style.selected * 2 + c->style.selected * 4 + d->style.selected * 8, 2);

  root.remove(b);
  a->set_value(var(640));
  EXPECT_EQ(c->style.selected, 1);
  root.remove(a);  // the leader: the others stand alone
  EXPECT_EQ(d->leader, d);
  d->event(gui_event(EVT_CLICK));
  EXPECT_EQ(d->get_value().str(), "800");
  EXPECT_EQ(c->get_value().type(), VAR_NONE);
}

TEST_F(GuiGl, the_class_picks_the_skin_pair_and_tabs_have_no_padding_or_margin) {
  struct Want {
    const char *cls, *normal, *over;
    int sides;  // padding and margin
  };
  const Want wants[] = {{"button2", "gui-button2", "gui-button2o", 41},
                        {"tiny1", "gui-icon1", "gui-icon1o", 41},
                        {"tab", "gui-tab1", "gui-tab1o", 0},
                        {"tab0", "gui-tab0", "blank", 0},
                        {"tab2", "gui-tab2o", "blank", 0},
                        {"ibutton1", "gui-button1", "gui-button1o", 41}};
  for (const Want &w : wants) {  // all first: the registry remembers a name it did not find
    image(w.normal, 30, 30, 0x808080);
    image(w.over, 30, 30, 0x808080);
  }
  for (const Want &w : wants) {
    ASSERT_NE(gfx_img_load(w.normal), 0);
    var token;
    var_dict0(token);
    token["class"] = var(w.cls);
    Box *b = gui_button_by_class(gui_action("onclick", "go"), nullptr, token);
    const StyleRecord &r = b->style.records[STYLE_BASE];
    EXPECT_EQ(r.bg_image, gfx_img_load(w.normal)) << w.cls;
    EXPECT_EQ(r.fg_image, gfx_img_load(w.over)) << w.cls;
    EXPECT_EQ(r.padding_left * 10 + r.margin_top, w.sides) << w.cls;
    delete b;
  }
}
