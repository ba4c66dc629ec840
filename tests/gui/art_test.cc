// Art widgets: the backwards path text with its colours and limits, pixel-art data read and written,
// the greys first in the picker, the 3x filter, painting, swatch and picker gestures, and both drawn on screen.
#include "art.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "art_internal.h"
#include "gui_test_support.h"
#include "kez_base64.h"

namespace {

std::string data(std::vector<unsigned char> bytes) { return base64_encode(bytes.data(), bytes.size()); }

uint32_t rgb(const VectorVertex &v) { return (uint32_t)v.r << 16 | v.g << 8 | v.b; }

Event pressed(int type, float x, float y, float dx = 0, float dy = 0) {
  Event e = gui_event(type, x, y);
  e.button = 1;
  e.dx = dx;
  e.dy = dy;
  return e;
}

// An editable picture with a 140-unit canvas and its swatch row below.
void edit_layout(PixArt &p) {
  p.style.records[STYLE_BASE].width = 140;
  p.style.records[STYLE_BASE].height = 180;
  p.style.update();
  p.layout();
}

}  // namespace

TEST(VectorArt, letters_take_the_argument_after_them_and_a_colour_reaches_the_points_before_it) {
  VectorArt one("T P X10 Y0 P X0 Y10 P X0 Y0 Cff0000");
  ASSERT_EQ(one.tris.size(), 1u);
  const VectorVertex *v = one.tris[0].v;
  for (int k = 0; k < 3; k++) EXPECT_EQ(rgb(v[k]), 0xFF0000u);
  EXPECT_FLOAT_EQ(v[1].y, 10);
  EXPECT_FLOAT_EQ(v[2].x, 10);
  EXPECT_EQ(v[0].a, 255);

  VectorArt mixed("T P X1 Y1 C00ff00 P X2 Y2 P Xinf Y1e999");
  ASSERT_EQ(mixed.tris.size(), 1u);
  EXPECT_EQ(rgb(mixed.tris[0].v[0]), 0xFFFFFFu);
  EXPECT_EQ(rgb(mixed.tris[0].v[2]), 0x00FF00u);
  EXPECT_FLOAT_EQ(mixed.tris[0].v[0].x, 0) << "a coordinate that is not finite reads 0";
  EXPECT_FLOAT_EQ(mixed.tris[0].v[0].y, 0);

  EXPECT_EQ(VectorArt(std::string(VECTOR_ART_TRIS_MAX + 10, 'T').c_str()).tris.size(), (size_t)VECTOR_ART_TRIS_MAX);
}

TEST(PixArt, data_sets_slots_and_pixels_and_what_it_lacks_or_cannot_be_read_keeps_the_defaults) {
  PixArt empty("", 0);
  EXPECT_EQ(std::vector<int32_t>(empty.slots, empty.slots + 4), (std::vector<int32_t>{0, 3, 48, 63}));
  EXPECT_EQ(std::count(empty.pixels, empty.pixels + PIXART_PIXELS, 0), PIXART_PIXELS);
  EXPECT_EQ(PixArt(data({2, 14, 14, 4, 9, 9, 9, 9, 0xFF}), 1).slots[0], 0) << "a later version";
  EXPECT_EQ(std::vector<int32_t>(empty.order, empty.order + 4), (std::vector<int32_t>{0, 21, 42, 63}))
      << "the picker lists the greys first";

  PixArt drawn(data({1, 0, 0, 0, 70, 5}), 0);
  EXPECT_EQ(drawn.slots[0], 63) << "an index past the palette";
  EXPECT_EQ(drawn.slots[1], 5);
  EXPECT_EQ(drawn.slots[2], 48) << "not in the data";
  drawn.pixels[0] = 3;
  drawn.pixels[195] = 1;
  PixArt copy(drawn.get_value().str(), 0);
  EXPECT_EQ(copy.slots[0], 63);
  EXPECT_TRUE(std::equal(copy.pixels, copy.pixels + PIXART_PIXELS, drawn.pixels));
}

TEST(PixArt, the_filter_rounds_a_lone_pixel_and_keeps_a_straight_edge) {
  const int32_t lone[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0}, edge[9] = {1, 0, 0, 1, 0, 0, 1, 0, 0};
  int32_t out[81];
  pixart_scale3(lone, 3, out);
  const int32_t plus[9] = {0, 1, 0, 1, 1, 1, 0, 1, 0};
  for (int k = 0; k < 9; k++) EXPECT_EQ(out[(3 + k / 3) * 9 + 3 + k % 3], plus[k]) << k;
  pixart_scale3(edge, 3, out);
  for (int i = 0; i < 81; i++) EXPECT_EQ(out[i], i % 9 < 3 ? 1 : 0) << i;
}

TEST(PixArt, swatches_pick_the_pen_a_second_press_opens_the_picker_and_slot_0_only_erases) {
  PixArt p("", 1);
  edit_layout(p);
  p.on_event(pressed(EVT_DOWN, 3 * 35 + 10, 150));
  EXPECT_EQ(p.mode, 1) << "the pen's own swatch";
  p.on_event(pressed(EVT_UP, 3 * 35 + 10, 150));  // ends the swatch gesture: no colour picked
  p.on_event(pressed(EVT_DOWN, 130, 5));
  p.on_event(pressed(EVT_UP, 5, 5));
  EXPECT_EQ(p.slots[3], p.order[0]);
  EXPECT_EQ(p.mode, 0);

  p.on_event(pressed(EVT_DOWN, 2 * 35 + 10, 150));
  EXPECT_EQ(p.pen, 2);
  p.on_event(pressed(EVT_DOWN, 5, 5));
  p.on_event(pressed(EVT_MOVE, 75, 5, 70, 0));
  for (int c = 0; c < 8; c++) EXPECT_EQ(p.pixels[c], 2) << c;

  p.on_event(pressed(EVT_DOWN, 10, 150));
  p.on_event(pressed(EVT_DOWN, 10, 150));
  EXPECT_EQ(p.pen, 0);
  EXPECT_EQ(p.mode, 0) << "slot 0 has no colour to choose";
  p.on_event(pressed(EVT_DOWN, 5, 5));
  EXPECT_EQ(p.pixels[0], 0);
}

TEST(PixArt, strokes_off_the_canvas_or_over_no_canvas_paint_nothing) {
  PixArt p("", 1);
  edit_layout(p);
  p.on_event(pressed(EVT_MOVE, 500, -300, 1e9f, 0));
  p.on_event(pressed(EVT_MOVE, -1, 5, 0, 0));
  EXPECT_EQ(std::count(p.pixels, p.pixels + PIXART_PIXELS, 0), PIXART_PIXELS);

  PixArt flat("", 1);  // no width: no cells to hit
  flat.on_event(pressed(EVT_DOWN, 0, 0));
  EXPECT_EQ(std::count(flat.pixels, flat.pixels + PIXART_PIXELS, 0), PIXART_PIXELS);
}

TEST_F(GuiGl, vector_art_draws_its_triangles_in_their_colours) {
  Container root;
  root.add_at(new VectorArt("T P X100 Y0 P X0 Y100 P X0 Y0 C00ff00"), 10, 10);
  root.layout();
  root.paint();
  expect_pixel(20, 20, 0x00FF00);
  expect_pixel(100, 100, 0x000000);
}

TEST_F(GuiGl, a_shown_picture_cuts_its_outer_ring_and_an_edited_one_shows_it) {
  Container root;
  PixArt *p = new PixArt("", 0);
  for (int i = 0; i < PIXART_PIXELS; i++) {
    const int x = i % PIXART_SIDE, y = i / PIXART_SIDE;
    p->pixels[i] = x == 0 || y == 0 || x == 13 || y == 13 ? 2 : 1;  // red ring, blue inside
  }
  p->set_value(p->get_value());
  p->style.records[STYLE_BASE].width = p->style.records[STYLE_BASE].height = 140;
  root.add_at(p, 0, 0);
  root.layout();
  root.paint();
  expect_pixel(3, 3, 0x0000FF);
  p->editable = 1;
  gl_test_frame();
  root.paint();
  expect_pixel(3, 3, 0xFF0000);
}
