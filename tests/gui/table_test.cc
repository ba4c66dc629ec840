// Tables, boxes and labels: grid sizes with spans, cells filling their area, the table's minimum size,
// box alignment and clipping, label measuring and drawing, and cells or contents that went away.
#include "table.h"

#include <gtest/gtest.h>

#include "gui_test_support.h"

namespace {

Box *box_of(float w, float h) { return new Box(new Probe(w, h, false)); }

void expect_box(const Widget *w, float x, float y, float outer_w, float outer_h) {
  EXPECT_FLOAT_EQ(w->pos_x, x);
  EXPECT_FLOAT_EQ(w->pos_y, y);
  EXPECT_FLOAT_EQ(w->outer_w, outer_w);
  EXPECT_FLOAT_EQ(w->outer_h, outer_h);
}

}  // namespace

TEST(Table, its_own_width_and_height_make_an_empty_table_one_cell_of_that_size) {
  Table t;
  t.style.records[STYLE_BASE].width = 300;
  t.style.records[STYLE_BASE].height = 40;
  t.style.update();
  t.layout();
  EXPECT_FLOAT_EQ(t.content_w, 300);
  EXPECT_FLOAT_EQ(t.content_h, 40);
  EXPECT_TRUE(t.spacer->disabled);
}

TEST(Table, a_wide_cell_spreads_what_its_columns_lack_and_narrow_cells_fill_their_column) {
  Table t;
  t.cur_row = 0;
  Box *top[3] = {box_of(20, 10), box_of(20, 10), box_of(20, 10)};
  for (Box *b : top) t.add_cell(b, 1, 1);
  t.cur_row = 1;
  t.cur_col = 0;
  Box *wide = box_of(70, 8);
  t.add_cell(wide, 3, 1);
  t.layout();
  expect_box(top[0], 0, 0, 24, 10);  // 10 extra: 4, 3, 3
  expect_box(top[1], 24, 0, 23, 10);
  expect_box(top[2], 47, 0, 23, 10);
  expect_box(wide, 0, 10, 70, 8);
  EXPECT_FLOAT_EQ(top[0]->items[0]->pos_x, 2) << "the content centred in the wider cell";
  EXPECT_FLOAT_EQ(t.content_w, 70);
  EXPECT_FLOAT_EQ(t.content_h, 18);
}

TEST(Table, spans_and_cells_from_outside_stay_inside_the_grid) {
  Table t;
  Box *zero = box_of(10, 10), *negative = box_of(10, 10), *huge = box_of(10, 10);
  t.add_cell(zero, 0, 0);
  t.add_cell(negative, -3, -1);
  t.add_cell(huge, 1 << 30, 1 << 30);
  EXPECT_EQ(zero->colspan, 1);
  EXPECT_EQ(negative->column, 1);
  EXPECT_EQ(negative->rowspan, 1);
  EXPECT_EQ(huge->column, 2);
  EXPECT_EQ(huge->colspan, TABLE_GRID_MAX - 2);
  EXPECT_FALSE(t.add_cell(zero, 1, 1)) << "already in the table";
  zero->column = -5;  // fields written directly are kept inside the grid at layout
  zero->colspan = 0;
  t.layout();
  EXPECT_EQ(zero->column, 0);
  EXPECT_EQ(zero->colspan, 1);
  EXPECT_FLOAT_EQ(t.content_w, 30);
}

TEST(Table, a_cleared_table_gets_a_new_spacer_and_keeps_its_minimum_size) {
  Table t;
  t.style.records[STYLE_BASE].width = 50;
  t.style.update();
  t.add_cell(box_of(10, 10), 1, 1);
  t.clear();
  EXPECT_EQ(t.spacer, nullptr);
  t.add_cell(box_of(10, 10), 1, 1);
  t.layout();
  ASSERT_NE(t.spacer, nullptr);
  EXPECT_EQ(t.spacer->parent, &t);
  EXPECT_FLOAT_EQ(t.content_w, 50);
}

TEST(Box, align_and_valign_place_the_content_and_unset_centres_it) {
  Box *b = box_of(10, 10);
  Container root;
  root.add_at(b, 0, 0);
  StyleRecord &s = b->style.records[STYLE_BASE];
  s.width = 100;
  s.height = 50;
  root.layout();
  EXPECT_FLOAT_EQ(b->items[0]->pos_x, 45);
  EXPECT_FLOAT_EQ(b->items[0]->pos_y, 20);
  s.align = 1;
  s.valign = -1;
  root.layout();
  EXPECT_FLOAT_EQ(b->items[0]->pos_x, 90);
  EXPECT_FLOAT_EQ(b->items[0]->pos_y, 0);
}

TEST(Box, a_clipping_box_keeps_its_declared_size_and_an_open_one_grows) {
  Box *b = box_of(200, 10);
  Container root;
  root.add_at(b, 0, 0);
  StyleRecord &s = b->style.records[STYLE_BASE];
  s.width = 100;
  s.padding_top = s.padding_right = s.padding_bottom = s.padding_left = 10;
  root.layout();
  EXPECT_FLOAT_EQ(b->content_w, 200);
  s.clip = 1;
  root.layout();
  EXPECT_FLOAT_EQ(b->content_w, 80);
  EXPECT_FLOAT_EQ(b->outer_w, 100);

  b->remove(b->items[0]);  // without content it keeps its declared size
  root.layout();
  EXPECT_FLOAT_EQ(b->content_w, 80);
  EXPECT_FLOAT_EQ(b->content_h, 0);
}

namespace {

// A leaf that counts its layouts.
class LayoutCounter : public Probe {
 public:
  LayoutCounter() : Probe(5, 5, false) {}
  void layout_inner() override {
    layouts++;
    Probe::layout_inner();
  }
  int layouts = 0;
};

}  // namespace

TEST(Table, one_layout_of_nested_tables_lays_each_widget_out_a_bounded_number_of_times) {
  // Each level's second row holds the next table, narrower than the first row's cell, so every
  // level resizes the box holding the next one.
  LayoutCounter *leaf = new LayoutCounter();
  Widget *inner = leaf;
  for (int level = 0; level < 16; level++) {
    Table *t = new Table();
    t->cur_row = 0;
    t->add_cell(box_of(100 + level, 5), 1, 1);
    t->cur_row = 1;
    t->cur_col = 0;
    t->add_cell(new Box(inner), 1, 1);
    inner = t;
  }
  Container root;
  root.add_at(inner, 0, 0);
  EXPECT_EQ(leaf->layouts, 0) << "adding lays nothing out";
  root.style.update();
  root.layout();
  EXPECT_LE(leaf->layouts, 2) << "a resized box must not lay its content out again";
  EXPECT_FLOAT_EQ(root.content_w, 115);
}

TEST_F(GuiFiles, a_label_is_as_wide_as_its_widest_line_or_wraps_to_its_width) {
  Label l(mono(10), "a a a\naa");
  l.style.update();
  l.layout();
  EXPECT_FLOAT_EQ(l.content_w, 41);  // the font's measure rounds up
  EXPECT_FLOAT_EQ(l.content_h, 20);
  EXPECT_EQ(l.get_text(), nullptr);
  l.style.records[STYLE_BASE].width = 16;
  l.style.update();
  l.layout();
  EXPECT_FLOAT_EQ(l.content_w, 16);
  EXPECT_FLOAT_EQ(l.content_h, 50);
  l.set_text(nullptr);
  l.layout();
  EXPECT_FLOAT_EQ(l.content_h, 10) << "an empty text is one line high";
}

TEST_F(GuiGl, a_clipping_box_cuts_its_content_and_a_label_draws_in_its_colour_and_alignment) {
  Label *label = new Label(mono(10), "a");
  StyleRecord &ls = label->style.records[STYLE_BASE];
  ls.width = 40;
  ls.align = 1;
  ls.text_color = 0x00FF00;
  Box *b = new Box(label);
  StyleRecord &bs = b->style.records[STYLE_BASE];
  bs.width = 35;
  bs.clip = 1;
  bs.align = -1;
  Container root;
  root.add_at(b, 100, 50);
  root.layout();
  root.paint();
  expect_pixel(132, 55, 0x00FF00);  // the glyph sits at 130..140, cut at 135
  expect_pixel(137, 55, 0x000000);
  expect_pixel(125, 55, 0x000000);
  EXPECT_EQ(gfx_state->clip_depth, 0);
}
