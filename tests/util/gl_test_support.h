// Shared by the tests that open a real GL window: the window, pixel read-back and test images.
#pragma once

#include <GL/glew.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <stb_image_write.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "kez_driver-sdl2.h"
#include "kez_gfx.h"

// Mesa's software driver keeps a few bytes from its first draw and is unloaded by SDL_Quit, after which
// the leak checker can no longer name it to apply its suppression: keep it loaded until the process ends.
// Call as dl_iterate_phdr(pin_gl_driver, nullptr) once the GL context exists.
inline int pin_gl_driver(struct dl_phdr_info *info, size_t, void *) {
  if (strstr(info->dlpi_name, "_dri.so")) dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  return 0;
}

// Opens the test's 480 x 320 window with its GL context through the driver.
inline void gl_test_window_open() {
  driver_app_create();
  _driver_video_init();
  driver_video_init(480, 320, 0);
  dl_iterate_phdr(pin_gl_driver, nullptr);
}

// A cleared frame whose virtual units are window pixels, at the given rotation.
inline void gl_test_frame(float rotation = 0) {
  gfx_state->virtual_w = (float)app_info->width;
  gfx_state->virtual_h = (float)app_info->height;
  gfx_state->rotation = rotation;
  gfx_gl_state_reset();
  gfx_clear();
  gfx_ortho();
}

// The colour at window pixel (x, y) as 0xRRGGBB, y counted from the top.
inline uint32_t gl_test_pixel(int x, int y) {
  unsigned char p[4];
  glReadPixels(x, app_info->height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return (uint32_t)p[0] << 16 | p[1] << 8 | p[2];
}

// Writes an opaque PNG of w x h pixels, each pixel colour(x, y) as 0xRRGGBB; false when it cannot.
template <typename F>
bool gl_test_png(const std::string &path, int w, int h, F colour) {
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
  return stbi_write_png(path.c_str(), w, h, 4, rgba.data(), w * 4) != 0;
}

// Expects each channel of the read-back colour got within `slack` of want. Colours come back
// premultiplied at full alpha, so 255 may read as 254.
inline void gl_test_expect_colour(uint32_t got, uint32_t want, const char *where, int slack) {
  for (int shift : {16, 8, 0}) {
    const int g = got >> shift & 0xFF, w = want >> shift & 0xFF;
    EXPECT_NEAR(g, w, slack) << where << std::hex << ": got 0x" << got << ", want 0x" << want;
  }
}
