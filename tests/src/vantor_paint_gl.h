// A GL window for the match painting tests: a 480 x 320 window whose virtual screen is its pixels,
// a private data folder for the test's own images, and pixel read-back.
#pragma once

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../util/gl_test_support.h"
#include "data_override.h"
#include "kez_driver-sdl2.h"
#include "kez_font.h"
#include "kez_gfx.h"

class PaintGlTest : public DataOverrideTest {
 protected:
  static void SetUpTestSuite() { gl_test_window_open(); }
  static void TearDownTestSuite() { driver_deinit(); }

  void SetUp() override {
    ASSERT_TRUE(driver_gl_context());
    override_open("paint");
    gfx_init();
    font_init();
    frame();
  }
  void TearDown() override {
    font_deinit();
    gfx_deinit();
    override_close();
  }

  // A cleared frame whose virtual units are window pixels.
  static void frame() { gl_test_frame(); }
  // The colour at window pixel (x, y), y counted from the top.
  static uint32_t pixel(int x, int y) { return gl_test_pixel(x, y); }
  // Writes an opaque PNG of w x h pixels into the data folder, each pixel colour(x, y) as 0xRRGGBB.
  template <typename F>
  void png(const std::string &name, int w, int h, F colour) {
    ASSERT_TRUE(gl_test_png(folder + "/" + name + ".png", w, h, colour));
  }
  void clear_image(const std::string &name) {
    std::vector<unsigned char> rgba(8 * 8 * 4, 0);
    ASSERT_TRUE(stbi_write_png((folder + "/" + name + ".png").c_str(), 8, 8, 4, rgba.data(), 8 * 4));
  }
  void solid(const std::string &name, uint32_t colour) {
    png(name, 8, 8, [colour](int, int) { return colour; });
  }
};

inline void expect_colour(uint32_t got, uint32_t want, const char *where) {
  gl_test_expect_colour(got, want, where, 3);
}
