// Shared by the widget toolkit tests: events, a widget that records what reaches it, a test font and a
// GL window fixture whose virtual units are window pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "container.h"
#include "data_override.h"
#include "kez_font.h"
#include "kez_gfx-tex.h"
#include "util/gl_test_support.h"

inline Event gui_event(int type, float x = 0, float y = 0, int key = 0) {
  Event e(type);
  e.x = x;
  e.y = y;
  e.key = key;
  return e;
}

// A dict action value {"type": type, "value": value}.
inline var gui_action(const char *type, const char *value) {
  var a;
  var_dict2(a, "type", type, "value", value);
  return a;
}

// A leaf of w x h that records every event its on_event sees; focusable unless told otherwise.
class Probe : public Widget {
 public:
  explicit Probe(float w = 10, float h = 10, bool can_focus = true) {
    style.records[STYLE_BASE].width = w;
    style.records[STYLE_BASE].height = h;
    focusable = can_focus;
  }
  var on_event(Event e) override {
    got.push_back(e);
    return Widget::on_event(e);
  }
  // The types received, in order.
  std::vector<int> types() const {
    std::vector<int> out;
    for (const Event &e : got) out.push_back(e.type);
    return out;
  }
  std::vector<Event> got;
};

// A data override folder of the test's own, holding "mono": a 10-unit face whose glyph "a" is a solid
// white 10 x 10 block and whose space advances 5.
class GuiFiles : public DataOverrideTest {
 protected:
  void SetUp() override {
    override_open("gui");
    font_init();
  }
  void TearDown() override {
    font_deinit();
    override_close();
  }
  int mono(int size) {
    FILE *f = fopen((folder + "/mono.fnt").c_str(), "w");
    fputs(
        "common lineHeight=10 base=8 scaleW=10 scaleH=10 pages=1\npage id=0 file=\"mono.png\"\n"
        "char id=97 x=0 y=0 width=10 height=10 xoffset=0 yoffset=0 xadvance=10 page=0\n"
        "char id=32 x=0 y=0 width=0 height=0 xoffset=0 yoffset=0 xadvance=5 page=0\n",
        f);
    fclose(f);
    gl_test_png(folder + "/mono.png", 10, 10, [](int, int) { return 0xFFFFFFu; });
    return font_load("mono", size);
  }
};

// A 480 x 320 window for the whole suite, a fresh drawing state and a cleared frame per test.
class GuiGl : public GuiFiles {
 protected:
  static void SetUpTestSuite() { gl_test_window_open(); }
  static void TearDownTestSuite() { driver_deinit(); }
  void SetUp() override {
    ASSERT_TRUE(driver_gl_context());
    GuiFiles::SetUp();
    gfx_init();
    gl_test_frame();
  }
  void TearDown() override {
    gfx_deinit();
    GuiFiles::TearDown();
  }
  // An opaque image of w x h in one colour, by name.
  int image(const char *name, int w, int h, uint32_t colour) {
    gl_test_png(folder + "/" + name + ".png", w, h, [colour](int, int) { return colour; });
    return gfx_img_load(name);
  }
};

// Colours come back from the frame buffer within a step of rounding.
inline void expect_pixel(int x, int y, uint32_t want) {
  const uint32_t got = gl_test_pixel(x, y);
  for (int shift : {16, 8, 0}) {
    EXPECT_NEAR((int)(got >> shift & 0xFF), (int)(want >> shift & 0xFF), 2)
        << "at " << x << "," << y << std::hex << ": got 0x" << got << ", want 0x" << want;
  }
}
