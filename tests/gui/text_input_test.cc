// Text fields: the length limit and the byte filter, undo and redo with their limits, selection by focus,
// pointer and keys, the clipboard in password mode, Up and Down in multi-line mode, fields copied in
// with stale indexes, scrolling and the painted selection and caret.
#include "text_input.h"

#include <gtest/gtest.h>

#include "gui_test_support.h"

namespace {

void key(TextInput &t, int code, int mods = 0) {
  Event e = gui_event(EVT_KEYDOWN, 0, 0, code);
  e.button = mods;
  t.on_event(e);
}

void type(TextInput &t, const std::string &s) {
  for (char c : s) {
    Event e(EVT_KEYDOWN);
    e.ch = (signed char)c;
    t.on_event(e);
  }
}

}  // namespace

TEST(TextInput, edits_are_cut_to_the_length_limit_and_filtered_and_enter_submits_a_single_line) {
  EXPECT_EQ(TextInput(0, nullptr).max_len, 255);
  TextInput big(0, std::string(300, 'b').c_str());
  EXPECT_EQ(big.max_len, 300);
  type(big, "x");
  EXPECT_EQ(big.text.size(), 300u);
  EXPECT_TRUE(big.history.empty()) << "a full field ignores the byte and records nothing";
  big.max_len = 10;  // lowered below the text: deleting still works
  key(big, KEY_DELETE);
  EXPECT_EQ(big.text.size(), 299u);

  TextInput t(0, std::string(250, 'a').c_str());
  t.cursor = t.anchor = 250;
  t.action.change = gui_action("input", "");
  EXPECT_TRUE(t.on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_ENTER)) == t.action.change);
  t.replace(250, 0, "a\nb\x80\x7f\t-");
  EXPECT_EQ(t.text.substr(250), "a b??");
  t.multi_line = 1;
  t.replace(0, 250, "");
  t.on_event(gui_event(EVT_KEYDOWN, 0, 0, KEY_ENTER));
  EXPECT_EQ(t.text, "\na b??");
}

TEST(TextInput, undo_reaches_back_255_edits_redo_stops_at_a_new_edit_and_long_edits_share_a_budget) {
  TextInput t(0, "");
  t.max_len = 1000;
  std::string typed;
  for (int i = 0; i < 300; i++) typed += (char)('a' + i % 26);
  type(t, typed);
  for (int i = 0; i < 300; i++) key(t, KEY_Z, MOD_CTRL);
  EXPECT_EQ(t.text, typed.substr(0, 45));
  key(t, KEY_Z, MOD_CTRL | MOD_SHIFT);
  type(t, "!");
  key(t, KEY_Z, MOD_GUI | MOD_SHIFT);
  EXPECT_EQ(t.text, typed.substr(0, 46) + "!") << "the new edit dropped what could be redone";

  const std::string a(300000, 'a'), b(300000, 'b');
  TextInput long_one(0, a.c_str());
  for (const std::string *s : {&b, &a, &b}) long_one.set_text(s->c_str());
  ASSERT_EQ(long_one.history.size(), 1u) << "older copies of the text were dropped";
  long_one.undo();
  EXPECT_EQ(long_one.text, a);
}

TEST_F(GuiFiles, focus_selects_everything_and_a_press_drag_end_or_home_move_the_cursor_to_byte_places) {
  Container root;
  TextInput *t = new TextInput(mono(10), "aaaa");
  root.add_at(t, 0, 0);
  root.layout();
  t->focus();
  EXPECT_EQ(t->anchor, 0);
  EXPECT_EQ(t->cursor, 4);
  root.on_event(gui_event(EVT_BLUR));
  root.on_event(gui_event(EVT_DOWN, 11, 5));  // focuses (selecting all), then places the cursor
  EXPECT_EQ(t->anchor, 1);
  EXPECT_EQ(t->cursor, 1);
  Event drag = gui_event(EVT_MOVE, 39, 5);
  drag.button = 1;
  root.on_event(drag);
  EXPECT_EQ(t->cursor, 4) << "past the middle of the last byte is the end of the line";
  key(*t, KEY_LEFT);
  EXPECT_EQ(t->cursor, 1) << "a selection collapses to its start";
  key(*t, KEY_END);
  key(*t, KEY_HOME, MOD_SHIFT);
  EXPECT_EQ(t->cursor, 0);
  EXPECT_EQ(t->anchor, 4);
}

TEST_F(GuiFiles, up_and_down_keep_the_column_across_a_shorter_line) {
  TextInput t(mono(10), "aaa\na\naaa");
  t.multi_line = 1;
  t.style.records[STYLE_BASE].width = 100;
  t.style.update();
  t.layout();
  t.cursor = t.anchor = 2;
  key(t, KEY_DOWN);
  EXPECT_EQ(t.cursor, 5) << "the end of the short line";
  key(t, KEY_UP);
  EXPECT_EQ(t.cursor, 2) << "a caret before a newline stands on the line the newline closes";
  key(t, KEY_DOWN);
  key(t, KEY_DOWN);
  EXPECT_EQ(t.cursor, 8) << "back in the remembered column";
}

TEST_F(GuiFiles, indexes_copied_in_from_outside_the_text_are_held_inside_it) {
  TextInput t(mono(10), "abc");
  t.cursor = 50;
  t.anchor = -7;
  t.hist_pos = 99;
  type(t, "x");
  EXPECT_EQ(t.text, "x");
  t.text = "";  // a restored text that its history no longer matches
  t.undo();
  EXPECT_EQ(t.text, "abc");
  EXPECT_LE(t.cursor, 3);
}

TEST_F(GuiFiles, a_long_line_scrolls_the_caret_into_view_until_the_field_loses_focus) {
  TextInput t(mono(10), "aaaa");
  t.style.records[STYLE_BASE].width = 20;
  t.style.update();
  t.layout();
  t.on_event(gui_event(EVT_FOCUS));
  EXPECT_FLOAT_EQ(t.scroll_x, 21) << "the caret's place, held inside the text width of 41";
  t.on_event(gui_event(EVT_BLUR));
  EXPECT_FLOAT_EQ(t.scroll_x, 0);
}

TEST_F(GuiGl, copy_and_cut_in_a_password_field_leave_the_clipboard_alone) {
  TextInput t(0, "secret");
  t.on_event(gui_event(EVT_FOCUS));
  key(t, KEY_C, MOD_CTRL);
  EXPECT_EQ(driver_clipboard_get(), "secret");
  driver_clipboard_set("kept");
  t.password = 1;
  key(t, KEY_C, MOD_CTRL);
  key(t, KEY_X, MOD_CTRL);
  EXPECT_EQ(driver_clipboard_get(), "kept");
  EXPECT_EQ(t.text, "") << "cut still deletes";
  key(t, KEY_V, MOD_CTRL);
  EXPECT_EQ(t.text, "kept");
}

TEST_F(GuiGl, a_focused_field_paints_its_selection_under_the_text_and_a_white_caret) {
  Container root;
  TextInput *t = new TextInput(mono(10), "a a");
  root.add_at(t, 20, 20);
  root.layout();
  t->focus();
  root.paint();
  expect_pixel(32, 25, 0x55AAFF);  // the space between the glyphs
  expect_pixel(45, 25, 0xFFFFFF);  // the caret after the last byte
  gl_test_frame();
  t->on_event(gui_event(EVT_BLUR));
  root.paint();
  expect_pixel(32, 25, 0x000000);
  expect_pixel(45, 25, 0x000000);
}
