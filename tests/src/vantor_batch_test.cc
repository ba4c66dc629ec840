// The triangle batch and the world-space primitives, drawn in a real GL window and read back.
#include "vantor_batch.h"

#include <gtest/gtest.h>

#include <cmath>

#include "kez_gfx-tex.h"
#include "kez_gfx_internal.h"
#include "vantor_batch_internal.h"
#include "vantor_paint_gl.h"

namespace {

constexpr uint32_t BLACK = 0x000000, RED = 0xFF0000, GREEN = 0x00FF00;

class PaintBatch : public PaintGlTest {};

Triangle triangle_at(float x, float y) {
  Triangle t{};
  const float corners[3][2] = {{x, y}, {x + 4, y}, {x, y + 4}};
  for (int i = 0; i < 3; i++) t.v[i] = {0, 0, corners[i][0], corners[i][1], 255, 255, 255, 255};
  return t;
}

}  // namespace

TEST_F(PaintBatch, one_texture_and_blend_share_a_draw_call_and_a_change_flushes_first) {
  solid("a", RED);
  solid("b", GREEN);
  const uint64_t before = gfx_draw_count();
  for (int i = 0; i < 3; i++) sprite_batch_quad(gfx_img_load("a"), 0xFFFFFF, 255, GL_ONE, 10, 10, 8, 8, 0, 0, 1, 0);
  EXPECT_EQ(gfx_draw_count(), before);
  EXPECT_EQ(tri_batch_count(), 6);
  sprite_batch_quad(gfx_img_load("b"), 0xFFFFFF, 255, GL_ONE, 30, 10, 8, 8, 0, 0, 1, 0);
  EXPECT_EQ(gfx_draw_count() - before, 1u);  // the three red quads went out together
  sprite_batch_quad(gfx_img_load("b"), 0xFFFFFF, 255, GL_ONE_MINUS_SRC_ALPHA, 50, 10, 8, 8, 0, 0, 1, 0);
  EXPECT_EQ(gfx_draw_count() - before, 2u);  // same texture, other blend
  tri_batch_flush();
  tri_batch_flush();  // an empty batch draws nothing
  EXPECT_EQ(gfx_draw_count() - before, 3u);
  expect_colour(pixel(12, 12), RED, "first texture");
  expect_colour(pixel(32, 12), GREEN, "second texture");
  expect_colour(pixel(52, 12), GREEN, "second blend");
  float colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f);
}

TEST_F(PaintBatch, a_full_batch_draws_itself_at_8192_triangles) {
  solid("a", RED);
  uint32_t gl;
  float uv[4];
  ASSERT_TRUE(sprite_batch_uv(gfx_img_load("a"), &gl, uv));
  const uint64_t before = gfx_draw_count();
  for (int i = 0; i < TRI_BATCH_MAX + 1; i++) tri_batch_add(triangle_at(100, 100), gl, GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_EQ(gfx_draw_count() - before, 1u);
  EXPECT_EQ(tri_batch_count(), 1);
  tri_batch_flush();
  EXPECT_EQ(gfx_draw_count() - before, 2u);
  expect_colour(pixel(101, 101), RED, "batched triangle");
}

TEST_F(PaintBatch, sprite_quads_are_centred_scaled_turned_and_premultiplied) {
  png("half", 16, 16, [](int x, int) { return x < 8 ? RED : GREEN; });  // padded to 64: uv must follow
  const int half = gfx_img_load("half");
  sprite_batch_quad(half, 0xFFFFFF, 255, GL_ONE_MINUS_SRC_ALPHA, 100, 100, 1, 1, 0.5f, 0.5f, 40, 0);
  sprite_batch_quad(half, 0xFFFFFF, 255, GL_ONE_MINUS_SRC_ALPHA, 300, 100, 1, 1, 0.5f, 0.5f, 40, VANTOR_PI);
  sprite_batch_quad(half, 0xFFFFFF, 128, GL_ONE_MINUS_SRC_ALPHA, 100, 250, 1, 1, 0.5f, 0.5f, 40, 0);
  sprite_batch_quad(half, 0xFFFFFF, 999, GL_ONE_MINUS_SRC_ALPHA, 300, 250, 1, 1, 0.5f, 0.5f, 40, 0);
  tri_batch_flush();
  expect_colour(pixel(85, 100), RED, "left half");
  expect_colour(pixel(115, 100), GREEN, "right half");
  expect_colour(pixel(100, 75), BLACK, "above the quad");
  expect_colour(pixel(285, 100), GREEN, "turned half a circle: left shows the right half");
  expect_colour(pixel(315, 100), RED, "turned: right shows the left half");
  expect_colour(pixel(85, 250), 0x7F0000, "half alpha over black");
  expect_colour(pixel(285, 250), RED, "alpha beyond 255 counts as 255");
}

TEST_F(PaintBatch, undrawable_sprites_draw_nothing) {
  file("broken.png", "not an image");
  const uint64_t before = gfx_draw_count();
  for (int sprite : {0, -3, 999, gfx_img_load("missing"), gfx_img_load("broken")}) {
    sprite_batch_quad(sprite, 0xFFFFFF, 255, GL_ONE, 10, 10, 8, 8, 0, 0, 1, 0);
    ring_paint(0xFFFFFF, sprite, 100, 100, 50, 40, 10);
    line_paint(sprite, 0xFFFFFF, 0, 0, 100, 100, 10);
  }
  tri_batch_flush();
  EXPECT_EQ(gfx_draw_count(), before);
  expect_colour(pixel(100, 50), BLACK, "no white ring");
}

TEST_F(PaintBatch, rings_and_lines_land_round_their_points_in_their_colour) {
  solid("line", 0xFFFFFF);
  const int line = gfx_img_load("line");
  const uint64_t before = gfx_draw_count();
  ring_paint(RED, line, 240, 120, 60, 10, 20);
  line_paint(line, GREEN, 20, 280, 460, 280, 10);
  line_paint(line, GREEN, 20, 20, 20, 20, 10);  // zero length: nothing
  EXPECT_EQ(gfx_draw_count() - before, 2u);
  EXPECT_EQ(_ring_segments(10), 33);
  EXPECT_EQ(_ring_segments(500), 128);
  for (float a = 0; a < 6.28f; a += 0.3f) {
    SCOPED_TRACE(a);
    expect_colour(pixel(240 + (int)std::lround(std::sin(a) * 60), 120 + (int)std::lround(std::cos(a) * 60)), RED,
                  "on the ring");
  }
  expect_colour(pixel(240, 120), BLACK, "inside the ring");
  expect_colour(pixel(240 + 75, 120), BLACK, "outside the ring");
  expect_colour(pixel(240, 280), GREEN, "on the line");
  expect_colour(pixel(240, 287), BLACK, "beside the line");
  expect_colour(pixel(470, 280), BLACK, "past its end");
}

TEST_F(PaintBatch, arrows_leave_room_for_both_items_and_skip_items_too_close) {
  solid("line", 0xFFFFFF);
  const int line = gfx_img_load("line");
  Item from{}, to{};
  from.position_x = 100;
  to.position_x = 300;
  from.position_y = to.position_y = 50;
  from.body_r = to.body_r = 20;
  arrow_paint(line, 10, 5, from, to);
  expect_colour(pixel(122, 50), BLACK, "inside the first item's room");
  expect_colour(pixel(128, 50), 0x00FFFF, "arrow start");
  expect_colour(pixel(272, 50), 0x00FFFF, "arrow end");
  expect_colour(pixel(278, 50), BLACK, "inside the second item's room");
  const uint64_t before = gfx_draw_count();
  to.position_x = 149;  // 25 + 25 > 49
  arrow_paint(line, 10, 5, from, to);
  to.position_x = 100;  // the same point
  arrow_paint(line, 10, 5, from, to);
  EXPECT_EQ(gfx_draw_count(), before);
}

TEST(PaintColour, alpha_scales_each_channel_and_is_held_to_a_byte) {
  EXPECT_EQ(color_apply_alpha(0xFF8040, 255), 0xFF8040u);
  EXPECT_EQ(color_apply_alpha(0xFF8040, 128), 0x804020u);  // 255 * 128 / 255, 128 * 128 / 255, 64 * 128 / 255
  EXPECT_EQ(color_apply_alpha(0xFF8040, 0), 0u);
  EXPECT_EQ(color_apply_alpha(0xFF8040, -40), 0u);
  EXPECT_EQ(color_apply_alpha(0xFF8040, 4000), 0xFF8040u);
  EXPECT_EQ(color_apply_alpha(0x12FF8040, 255), 0xFF8040u);  // bits above the colour are not carried
}

TEST(PaintColour, gl_matrix_of_transposes_row_major_into_column_major) {
  float m[16], out[16];
  for (int i = 0; i < 16; i++) m[i] = (float)i;
  gl_matrix_of(m, out);
  EXPECT_EQ(out[12], 3);  // the translation x of a row-major matrix is GL's element 12
  EXPECT_EQ(out[1], 4);
  EXPECT_EQ(out[15], 15);
}
