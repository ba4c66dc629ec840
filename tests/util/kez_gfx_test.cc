// Drawing state: the window <-> virtual transform, the clip stack, and primitives read back from a real
// GL window (clip stack, rotations, image frames, 9-slice, tiling) with their draw-call counts.
#include "kez_gfx.h"

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data_override.h"
#include "gl_test_support.h"
#include "kez_driver-sdl2.h"
#include "kez_gfx-tex.h"
#include "kez_gfx_internal.h"

namespace {

// A state without a window: 1280 x 720 screen, virtual size as given.
class GfxMath : public testing::Test {
 protected:
  void SetUp() override {
    driver_app_create();
    app_info->width = 1280;
    app_info->height = 720;
    gfx_init();
    gfx_state->virtual_w = 1280;
    gfx_state->virtual_h = 720;
  }
  void TearDown() override {
    gfx_deinit();
    free(app_info);
    app_info = nullptr;
  }
};

void expect_near(float x, float y, float ex, float ey) {
  EXPECT_NEAR(x, ex, 1e-3) << "x";
  EXPECT_NEAR(y, ey, 1e-3) << "y";
}

}  // namespace

TEST_F(GfxMath, conversions_are_the_identity_at_window_size_and_undo_each_other_when_turned) {
  float x = 17.5f, y = 301;
  gfx_point_to_screen(x, y);
  expect_near(x, y, 17.5f, 301);
  gfx_state->virtual_w = 853.7f;  // truncated to 853 by the transform
  gfx_state->virtual_h = 480;
  gfx_state->scale = 0.75f;
  gfx_state->offset_x = 12;
  gfx_state->offset_y = -7;
  for (float rotation : {0.0f, 90.0f, 180.0f, 270.0f}) {
    gfx_state->rotation = rotation;
    float rx = 100, ry = 50, w = 30, h = -20;
    gfx_rect_to_screen(rx, ry, w, h);
    gfx_rect_to_virtual(rx, ry, w, h);
    expect_near(rx, ry, 100, 50);
    expect_near(w, h, 30, -20);
  }
}

TEST_F(GfxMath, rotation_90_turns_virtual_right_into_screen_down) {
  gfx_state->virtual_w = 480;
  gfx_state->virtual_h = 853;
  gfx_state->rotation = 90;
  gfx_state->scale = 1.5f;
  float x = 240 + 10, y = 426.5f;
  gfx_point_to_screen(x, y);
  expect_near(x, y, 640, 360 + 15);
}

TEST_F(GfxMath, pointer_events_keep_window_pixels_in_raw_and_carry_virtual_units) {
  gfx_state->virtual_w = 640;
  gfx_state->virtual_h = 360;
  gfx_state->scale = 2;
  gfx_state->rotation = 90;
  Event e(EVT_MOVE);
  e.dx = 4;
  gfx_event_to_virtual(e);
  EXPECT_EQ(e.raw_x, 0);
  EXPECT_EQ(e.raw_y, 0);
  EXPECT_EQ(e.raw_dx, 4);
  // Window (0, 0) lies 640 left and 360 above the centre: in the turned view that is (-180, 320) units.
  expect_near(e.x, e.y, 320 - 180, 180 + 320);
  expect_near(e.dx, e.dy, 0, -2);
  Event mouse(EVT_MOUSEMOVE);  // raw mouse events are the shell's to retype first
  mouse.x = 5;
  gfx_event_to_virtual(mouse);
  EXPECT_EQ(mouse.x, 5);
  EXPECT_EQ(mouse.raw_x, 0);
}

TEST_F(GfxMath, nested_clip_is_cut_to_its_parent_and_cuts_the_texture_rect_in_proportion) {
  gfx_clip_push(0, 0, 100, 100);
  gfx_clip_push(50, 20, 100, 40);  // only the left half lies inside the first
  EXPECT_FLOAT_EQ(gfx_state->clip[2].w, 50);
  GfxRect r = {0, 0, 200, 100}, t = {0, 0, 1, 1};  // a quad across both clip edges
  ASSERT_TRUE(gfx_clip_test(r, &t));
  EXPECT_FLOAT_EQ(r.x, 50);
  EXPECT_FLOAT_EQ(r.w, 50);
  EXPECT_FLOAT_EQ(r.y, 20);
  EXPECT_FLOAT_EQ(r.h, 40);
  EXPECT_FLOAT_EQ(t.x, 0.25f);
  EXPECT_FLOAT_EQ(t.w, 0.25f);
  EXPECT_FLOAT_EQ(t.y, 0.2f);
  EXPECT_FLOAT_EQ(t.h, 0.4f);
  for (int i = 0; i < 3; i++) gfx_clip_pop();  // one too many: the depth stays 0
  EXPECT_EQ(gfx_state->clip_depth, 0);

  gfx_state->clip[0] = {100, 10, 0, 0};  // a translated widget's clip is stored in absolute units
  gfx_clip_push(0, 0, 20, 20);
  gfx_state->clip[0].x = 90;  // a child 10 units to the left sees it at x 10
  GfxRect child = {0, 0, 50, 50};
  ASSERT_TRUE(gfx_clip_test(child, nullptr));
  EXPECT_FLOAT_EQ(child.x, 10);
  EXPECT_FLOAT_EQ(child.w, 20);
}

TEST_F(GfxMath, empty_rects_and_clips_beyond_eight_levels_hide_everything) {
  GfxRect big = {0, 0, 100, 100};
  GfxRect flat = {1, 1, 5, 0}, mirrored = {10, 1, -5, 5}, nan = {1, 1, NAN, 5};
  EXPECT_FALSE(gfx_clip_rect(flat, nullptr, big));
  EXPECT_FALSE(gfx_clip_rect(mirrored, nullptr, big));
  EXPECT_FALSE(gfx_clip_rect(nan, nullptr, big));
  GfxRect r = {1, 1, 5, 5};
  for (int i = 0; i < 9; i++) gfx_clip_push(0, 0, 1000, 1000);
  EXPECT_FALSE(gfx_clip_test(r, nullptr));
  gfx_clip_pop();
  EXPECT_TRUE(gfx_clip_test(r, nullptr));
  gfx_clip_pop();
  gfx_clip_push(2000, 0, 10, 10);  // depth 8 again, with no overlap with its parent
  r = {2000, 0, 5, 5};
  EXPECT_FALSE(gfx_clip_test(r, nullptr));
}

TEST(GfxNineSlice, corners_keep_the_image_aspect_within_a_third_of_the_rect) {
  struct {
    float fw, fh;
    int w, h, corner, cw, ch;
  } cases[] = {
      {64, 64, 30, 90, 20, 10, 20},      // square: the narrow side limits cw only
      {200, 100, 300, 300, 30, 60, 30},  // 2:1 widens the corner
      {200, 100, 90, 300, 40, 30, 15},   // too wide: cw = a third, ch follows
      {50, 100, 300, 60, 40, 10, 20},    // too tall: ch = a third, cw follows
      {64, 64, 300, 300, -5, 0, 0},      // a negative corner counts as none
  };
  for (const auto &c : cases) {
    int cw = -1, ch = -1;
    ASSERT_TRUE(_gfx_9slice_corner(c.fw, c.fh, c.w, c.h, c.corner, &cw, &ch));
    EXPECT_EQ(cw, c.cw) << c.w << "x" << c.h;
    EXPECT_EQ(ch, c.ch) << c.w << "x" << c.h;
  }
  int cw, ch;
  EXPECT_FALSE(_gfx_9slice_corner(64, 64, 30, 0, 10, &cw, &ch));
  EXPECT_FALSE(_gfx_9slice_corner(64, 0, 30, 30, 10, &cw, &ch));         // an image that did not decode
  EXPECT_TRUE(_gfx_9slice_corner(1e30f, 1e-30f, 30, 30, 10, &cw, &ch));  // absurd atlas sizes stay in range
}

TEST_F(GfxMath, foreign_handles_and_zero_steps_draw_nothing) {
  uint64_t before = gfx_draw_count();
  gfx_img_add("frame", 7, 0, 0, 8, 8, 0, 0, 8, 8);  // its texture handle does not exist
  for (int image : {-1, 0, 1, 99}) {
    gfx_img_draw(image, 0, 0, 10, 10);
    gfx_img_draw_9slice(image, 0, 0, 30, 30, 5);
    gfx_img_draw_tiled(image, 0, 0, 30, 30, 10);
    EXPECT_EQ(gfx_img_texture(image), 0u);
    EXPECT_EQ(gfx_img_aspect(image), 1.0f);
  }
  gfx_img_draw_tiled(1, 0, 0, 100, 100, 0);  // would never leave its first row
  gfx_img_draw_tiled(1, 0, 0, 100, 100, -8);
  EXPECT_EQ(gfx_draw_count(), before);
  EXPECT_EQ(gfx_state->clip_depth, 0);
}

TEST_F(GfxMath, deinit_starts_a_new_generation_and_empties_the_tables) {
  uint32_t generation = gfx_generation();
  int image = gfx_img_add("frame", 0, 0, 0, 8, 8, 0, 0, 8, 8);
  ASSERT_NE(gfx_img_get(image), nullptr);
  gfx_deinit();
  EXPECT_EQ(gfx_img_get(image), nullptr);
  gfx_init();
  EXPECT_NE(gfx_generation(), generation);
  EXPECT_EQ(gfx_img_get(image), nullptr);
}

// A real window and GL context on the test's display; pixels are read back from the back buffer.
namespace {

constexpr uint32_t BLACK = 0x000000, RED = 0xFF0000;

class GfxDraw : public DataOverrideTest {
 protected:
  static void SetUpTestSuite() { gl_test_window_open(); }
  static void TearDownTestSuite() { driver_deinit(); }

  void SetUp() override {
    ASSERT_NE(driver_window(), nullptr);
    ASSERT_TRUE(driver_gl_context());
    override_open("gfx-draw");
    gfx_init();
    view(app_info->width, app_info->height, 0);
  }
  void TearDown() override {
    gfx_deinit();
    override_close();
  }

  // Virtual size, rotation and scale 1, then a cleared frame under the new projection.
  static void view(float w, float h, float rotation) {
    gfx_state->virtual_w = w;
    gfx_state->virtual_h = h;
    gfx_state->rotation = rotation;
    gfx_gl_state_reset();
    gfx_clear();
    gfx_ortho();
  }
  // The colour at window pixel (x, y), y counted from the top.
  static uint32_t pixel(int x, int y) { return gl_test_pixel(x, y); }
  // Writes a PNG of w x h pixels into the data folder, each pixel colour(x, y) as 0xRRGGBB, opaque.
  template <typename F>
  void png(const std::string &name, int w, int h, F colour) {
    ASSERT_TRUE(gl_test_png(folder + "/" + name, w, h, colour));
  }
};

void expect_colour(uint32_t got, uint32_t want, const char *where) { gl_test_expect_colour(got, want, where, 2); }

}  // namespace

TEST_F(GfxDraw, fills_stay_inside_the_overlap_of_nested_clips) {
  uint64_t before = gfx_draw_count();
  gfx_clip_push(10, 10, 100, 100);
  gfx_clip_push(60, 60, 100, 100);
  gfx_rect_fill(RED, 0, 0, 480, 320);
  gfx_clip_pop();
  gfx_rect_fill(0x0000FF, 0, 0, 40, 40);
  gfx_clip_pop();
  EXPECT_EQ(gfx_draw_count() - before, 2u);
  expect_colour(pixel(60, 60), RED, "overlap's corner");
  expect_colour(pixel(109, 109), RED, "overlap's far corner");
  expect_colour(pixel(110, 70), BLACK, "inside the child only");
  expect_colour(pixel(59, 70), BLACK, "inside the parent only");
  expect_colour(pixel(10, 10), 0x0000FF, "after one pop the parent clips");
  expect_colour(pixel(9, 9), BLACK, "outside the parent");
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));  // a fill turns texturing back on and the colour back to white
  float colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f);
}

TEST_F(GfxDraw, the_virtual_top_left_lands_in_the_corner_each_rotation_turns_it_to) {
  int w = app_info->width, h = app_info->height;
  struct {
    float rotation;
    int x, y;  // window pixel inside the filled corner
  } cases[] = {{0, 5, 5}, {90, w - 6, 5}, {180, w - 6, h - 6}, {270, 5, h - 6}};
  for (const auto &c : cases) {
    bool turned = c.rotation == 90 || c.rotation == 270;
    view(turned ? h : w, turned ? w : h, c.rotation);
    gfx_rect_fill(RED, 0, 0, 20, 20);
    SCOPED_TRACE(c.rotation);
    expect_colour(pixel(c.x, c.y), RED, "turned corner");
    expect_colour(pixel(w / 2, h / 2), BLACK, "centre");
    float x = 10, y = 10;
    gfx_point_to_screen(x, y);  // software and GL transforms agree
    EXPECT_NEAR(x, c.x < w / 2 ? 10 : w - 10, 0.01);
    EXPECT_NEAR(y, c.y < h / 2 ? 10 : h - 10, 0.01);
  }
}

TEST_F(GfxDraw, images_fill_their_full_frame_and_trimmed_frames_keep_their_place) {
  png("wide.png", 100, 50, [](int, int) { return RED; });
  int image = gfx_img_load("wide");
  ASSERT_NE(image, 0);
  uint64_t before = gfx_draw_count();
  gfx_img_draw(image, 50, 40, 0, 0);  // size 0: the full 100 x 50
  EXPECT_EQ(gfx_draw_count() - before, 1u);
  expect_colour(pixel(50, 40), RED, "top left");
  expect_colour(pixel(149, 89), RED, "bottom right");
  expect_colour(pixel(150, 60), BLACK, "right of it");
  expect_colour(pixel(60, 90), BLACK, "below it");

  png("sheet.png", 16, 16, [](int, int) { return RED; });
  file("sheet.json",
       R"({"frames": {"dot.png": {"frame": {"x": 0, "y": 0, "w": 8, "h": 8},
           "spriteSourceSize": {"x": 4, "y": 4, "w": 8, "h": 8}, "sourceSize": {"w": 16, "h": 16}}}})");
  ASSERT_NE(gfx_tex_load("sheet"), 0);
  gfx_img_draw(gfx_img_load("dot"), 200, 100, 32, 32);  // twice the frame: the 4-pixel trim becomes 8
  expect_colour(pixel(207, 107), BLACK, "trimmed border");
  expect_colour(pixel(208, 108), RED, "frame's top left");
  expect_colour(pixel(223, 123), RED, "frame's bottom right");
  expect_colour(pixel(224, 124), BLACK, "past the frame");
}

TEST_F(GfxDraw, nine_slice_keeps_its_corners_and_stretches_the_middle) {
  // A 30 x 30 image of nine 10 x 10 blocks, each its own colour.
  static const uint32_t blocks[9] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF,
                                     0xFF00FF, 0xFFFFFF, 0x800000, 0x008000};
  png("panel.png", 30, 30, [](int x, int y) { return blocks[y / 10 * 3 + x / 10]; });
  int image = gfx_img_load("panel");
  uint64_t before = gfx_draw_count();
  gfx_img_draw_9slice(image, 20, 20, 300, 150, 30);  // corners 30 x 30, middle 240 x 90
  EXPECT_EQ(gfx_draw_count() - before, 9u);
  const int col[3] = {35, 170, 305}, row[3] = {35, 95, 155};
  for (int r = 0; r < 3; r++) {
    for (int c = 0; c < 3; c++) {
      SCOPED_TRACE(r * 3 + c);
      expect_colour(pixel(col[c], row[r]), blocks[r * 3 + c], "slice centre");
    }
  }
  expect_colour(pixel(45, 45), blocks[0], "corner at three times the block's size");
  expect_colour(pixel(320, 95), BLACK, "right of the panel");
}

TEST_F(GfxDraw, tiles_repeat_from_the_top_left_and_stop_at_the_rect) {
  png("stripe.png", 8, 8, [](int x, int) { return x < 4 ? RED : 0x00FF00u; });
  int image = gfx_img_load("stripe");
  uint64_t before = gfx_draw_count();
  gfx_img_draw_tiled(image, 10, 10, 30, 20, 8);  // 4 columns x 3 rows, the last of each cut by the rect
  EXPECT_EQ(gfx_draw_count() - before, 12u);
  EXPECT_EQ(gfx_state->clip_depth, 0);
  expect_colour(pixel(17, 10), 0x00FF00, "first tile's right half");
  expect_colour(pixel(34, 12), RED, "fourth tile");
  expect_colour(pixel(39, 12), 0x00FF00, "fourth tile at the edge");
  expect_colour(pixel(40, 12), BLACK, "past the rect");
  expect_colour(pixel(12, 29), RED, "last row");
  expect_colour(pixel(12, 30), BLACK, "below the rect");
}

TEST_F(GfxDraw, an_image_that_does_not_decode_draws_nothing) {
  file("broken.png", "not an image at all");
  int image = gfx_img_load("broken");
  ASSERT_NE(image, 0);  // the texture exists, with no GL name and no size
  EXPECT_EQ(gfx_img_texture(image), 0u);
  EXPECT_EQ(gfx_img_aspect(image), 1.0f);
  uint64_t before = gfx_draw_count();
  gfx_img_draw(image, 10, 10, 50, 50);
  gfx_img_draw(image, 10, 10, 0, 0);
  gfx_img_draw_9slice(image, 10, 10, 90, 90, 10);
  gfx_img_draw_tiled(image, 10, 10, 90, 90, 10);
  EXPECT_EQ(gfx_draw_count(), before);
  expect_colour(pixel(30, 30), BLACK, "no white quad");
}

TEST_F(GfxDraw, enlarged_images_look_like_plain_draws_and_leave_the_mipmap_filter_in_place) {
  png("ramp.png", 16, 16, [](int x, int y) { return (uint32_t)(x * 16) << 16 | (uint32_t)(y * 16) << 8 | 0x40; });
  const int image = gfx_img_load("ramp");
  ASSERT_NE(image, 0);
  // Six pixels a texel, then a sixth of a texel a pixel, where the mipmaps count.
  for (float size : {100.0f, 3.0f}) {
    std::vector<uint32_t> plain, enlarged;
    view(app_info->width, app_info->height, 0);
    gfx_img_draw(image, 0, 0, size, size);
    for (int y = 0; y < size; y++) {
      for (int x = 0; x < size; x++) plain.push_back(pixel(x, y));
    }
    view(app_info->width, app_info->height, 0);
    gfx_img_draw_enlarged(image, 0, 0, size, size, 1);
    for (int y = 0; y < size; y++) {
      for (int x = 0; x < size; x++) enlarged.push_back(pixel(x, y));
    }
    EXPECT_EQ(plain, enlarged) << size;
    GLint filter = 0;
    glBindTexture(GL_TEXTURE_2D, gfx_img_texture(image));
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR_MIPMAP_LINEAR) << size;
  }
}
