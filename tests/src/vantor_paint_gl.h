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
#include "kez_driver-sdl2.h"
#include "kez_font.h"
#include "kez_gfx.h"

class PaintGlTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    driver_app_create();
    _driver_video_init();
    driver_video_init(480, 320, 0);
    dl_iterate_phdr(pin_gl_driver, nullptr);
  }
  static void TearDownTestSuite() { driver_deinit(); }

  void SetUp() override {
    ASSERT_TRUE(driver_gl_context());
    char dir[] = "/tmp/vantor-paint-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    folder = dir;
    snprintf(app_info->data_override, sizeof app_info->data_override, "%s", dir);
    gfx_init();
    font_init();
    frame();
  }
  void TearDown() override {
    font_deinit();
    gfx_deinit();
    app_info->data_override[0] = 0;
    std::filesystem::remove_all(folder);
  }

  // A cleared frame whose virtual units are window pixels.
  static void frame() {
    gfx_state->virtual_w = (float)app_info->width;
    gfx_state->virtual_h = (float)app_info->height;
    gfx_gl_state_reset();
    gfx_clear();
    gfx_ortho();
  }
  // The colour at window pixel (x, y), y counted from the top.
  static uint32_t pixel(int x, int y) {
    unsigned char p[4];
    glReadPixels(x, app_info->height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (uint32_t)p[0] << 16 | p[1] << 8 | p[2];
  }
  // Writes an opaque PNG of w x h pixels into the data folder, each pixel colour(x, y) as 0xRRGGBB.
  template <typename F>
  void png(const std::string &name, int w, int h, F colour) {
    std::vector<unsigned char> rgba((size_t)w * h * 4);
    for (int y = 0; y < h; y++) {
      for (int x = 0; x < w; x++) {
        const uint32_t c = colour(x, y);
        unsigned char *p = &rgba[((size_t)y * w + x) * 4];
        p[0] = c >> 16;
        p[1] = c >> 8 & 0xFF;
        p[2] = c & 0xFF;
        p[3] = 255;
      }
    }
    ASSERT_TRUE(stbi_write_png((folder + "/" + name + ".png").c_str(), w, h, 4, rgba.data(), w * 4));
  }
  // A fully transparent image, so that a test draws none of the game's own art of that name.
  void clear_image(const std::string &name) {
    std::vector<unsigned char> rgba(8 * 8 * 4, 0);
    ASSERT_TRUE(stbi_write_png((folder + "/" + name + ".png").c_str(), 8, 8, 4, rgba.data(), 8 * 4));
  }
  void solid(const std::string &name, uint32_t colour) {
    png(name, 8, 8, [colour](int, int) { return colour; });
  }
  void file(const std::string &name, const std::string &bytes) {
    FILE *f = fopen((folder + "/" + name).c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }

  std::string folder;
};

// Colours come back premultiplied at full alpha, so 255 may read as 254.
inline void expect_colour(uint32_t got, uint32_t want, const char *where) {
  for (int shift : {16, 8, 0}) {
    const int g = got >> shift & 0xFF, w = want >> shift & 0xFF;
    EXPECT_NEAR(g, w, 3) << where << std::hex << ": got 0x" << got << ", want 0x" << want;
  }
}
