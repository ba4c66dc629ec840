// Bitmap fonts: loading and parsing, scale and margins, wrapping, measuring, caret and hit tests, hot
// reload, and text read back from a real GL window (glyph boxes on a padded page, alignment, limits).
#include "kez_font.h"

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <utime.h>

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
#include "kez_font_internal.h"
#include "kez_gfx-tex.h"
#include "kez_gfx_internal.h"

namespace {

// The test face: 10 px lines on a 40 x 20 page. Its top row holds four 10 x 10 glyphs: a red, b green,
// c blue (drawn 2 px right and 3 px down, advancing 12), d white; W is the 40 x 10 yellow bottom row.
// A space advances 5 and has no box; i is a red glyph that advances only 1.
const char *const MONO = R"(info face="mono" size=10
common lineHeight=10 base=8 scaleW=40 scaleH=20 pages=1
page id=0 file="mono.png"
chars count=7
char id=97 x=0 y=0 width=10 height=10 xoffset=0 yoffset=0 xadvance=10 page=0
char id=98 x=10 y=0 width=10 height=10 xoffset=0 yoffset=0 xadvance=10 page=0
char id=99 x=20 y=0 width=10 height=10 xoffset=2 yoffset=3 xadvance=12 page=0
char id=100 x=30 y=0 width=10 height=10 xoffset=0 yoffset=0 xadvance=10 page=0
char id=87 x=0 y=10 width=40 height=10 xoffset=0 yoffset=0 xadvance=40 page=0
char id=32 x=0 y=0 width=0 height=0 xoffset=0 yoffset=0 xadvance=5 page=0
char id=105 x=0 y=0 width=10 height=10 xoffset=0 yoffset=0 xadvance=1 page=0
kernings count=1
kerning first=97 second=98 amount=-3
)";

constexpr uint32_t BLACK = 0x000000, RED = 0xFF0000, GREEN = 0x00FF00, BLUE = 0x0000FF, WHITE = 0xFFFFFF,
                   YELLOW = 0xFFFF00;

int64_t fake_now;
int64_t fake_clock() { return fake_now; }

// A data override folder of its own for every test, and a fresh font registry.
class FontFiles : public DataOverrideTest {
 protected:
  void SetUp() override {
    override_open("font");
    font_init();
  }
  void TearDown() override {
    font_deinit();
    _font_clock_set(nullptr);
    override_close();
  }
  static void TearDownTestSuite() {
    free(app_info);
    app_info = nullptr;
  }

  void file_time(const std::string &name, int64_t seconds) {
    struct utimbuf times = {(time_t)seconds, (time_t)seconds};
    ASSERT_EQ(utime((folder + "/" + name).c_str(), &times), 0);
  }
  // The mono face loaded at a size.
  int mono(int size) {
    file("mono.fnt", MONO);
    return font_load("mono", size);
  }
};

// Expects the lines of `text` wrapped at `width` to be exactly these (start, end, width) triples.
void expect_lines(int font, const char *text, float width, std::vector<FontLine> want) {
  FontLines got;
  ASSERT_EQ(font_wrap(font, text, width, got), (int)want.size()) << text << " at " << width;
  for (size_t k = 0; k < want.size(); k++) {
    EXPECT_EQ(got.lines[k].start, want[k].start) << "line " << k;
    EXPECT_EQ(got.lines[k].end, want[k].end) << "line " << k;
    EXPECT_EQ(got.lines[k].width, want[k].width) << "line " << k;
  }
}

void expect_rect(GfxRect r, GfxRect want) {
  EXPECT_FLOAT_EQ(r.x, want.x);
  EXPECT_FLOAT_EQ(r.y, want.y);
  EXPECT_FLOAT_EQ(r.w, want.w);
  EXPECT_FLOAT_EQ(r.h, want.h);
}

}  // namespace

TEST_F(FontFiles, size_scales_the_face_so_one_line_is_size_units_tall) {
  file("face.fnt", "common lineHeight=32 base=26 scaleW=64 scaleH=64\n");
  int font = font_load("face", 24);
  ASSERT_NE(font, 0);
  const Font *f = font_get(font);
  EXPECT_EQ(f->index, font);
  EXPECT_FLOAT_EQ(f->scale, 0.75f);
  EXPECT_FLOAT_EQ(f->line_step, 24);
  EXPECT_FLOAT_EQ(f->base, 26);
  EXPECT_FLOAT_EQ(f->page.w, 64);
  EXPECT_EQ(font_load("face", 24), font);
  int big = font_load("face", 48);
  EXPECT_NE(big, font);
  EXPECT_FLOAT_EQ(font_get(big)->line_step, 48);
  EXPECT_FLOAT_EQ(font_text_height(big, "one line", 0), 48);
}

TEST_F(FontFiles, names_are_tried_as_given_then_with_fnt_then_txt_and_misses_are_remembered) {
  const std::string common = "common lineHeight=10 scaleW=8 scaleH=8\n";
  file("plain", common);
  file("both.fnt", common);
  file("both.txt", common);
  file("text.txt", common);
  EXPECT_EQ(font_find("plain"), "plain");
  EXPECT_EQ(font_find("both"), "both.fnt");
  EXPECT_EQ(font_find("text"), "text.txt");
  EXPECT_EQ(font_find("absent"), "");
  EXPECT_EQ(font_find(""), "");
  EXPECT_NE(font_load("text", 12), 0);

  EXPECT_EQ(font_load("late", 12), 0);
  file("late.fnt", common);
  EXPECT_EQ(font_load("late", 12), 0);  // remembered as missing at this size
  EXPECT_NE(font_load("late", 13), 0);

  // Names come from markup and mods: one longer than the record holds is refused, not cut short.
  std::string long_name(FONT_NAME_MAX, 'n');
  file(long_name + ".fnt", common);
  file(long_name.substr(1) + ".fnt", common);
  EXPECT_EQ(font_load(long_name.c_str(), 12), 0);
  EXPECT_NE(font_load(long_name.substr(1).c_str(), 12), 0);
  EXPECT_EQ(font_load(nullptr, 12), 0);
}

TEST_F(FontFiles, char_lines_fill_glyphs_by_byte_and_ignore_ids_outside_a_byte) {
  file("glyphs.fnt",
       "info face=\"x\"\r\n"
       "common lineHeight=10 base=8 scaleW=16 scaleH=16\r\n"
       "char id=65 x=1 y=2 width=3 height=4 xoffset=-1 yoffset=5 xadvance=3 xadvance=7\r\n"
       "char id=255 x=0 y=0 width=2 height=2 xadvance=9\r\n"
       "char id=300 x=0 y=0 width=5 height=5 xadvance=30\r\n"
       "char id=44 x=0 y=0 width=5 height=5 xadvance=1e300\r\n"
       "char id=0 x=0 y=0 width=5 height=5 xadvance=50\r\n"
       "kerning first=65 second=65 amount=-2\r\n");
  int font = font_load("glyphs", 10);
  ASSERT_NE(font, 0);
  const Font *f = font_get(font);
  EXPECT_FLOAT_EQ(f->line_height, 10);  // the carriage return does not disturb the number
  EXPECT_FLOAT_EQ(f->boxes['A'].x, 1);
  EXPECT_FLOAT_EQ(f->boxes['A'].h, 4);
  EXPECT_FLOAT_EQ(f->metrics['A'].x_offset, -1);
  EXPECT_FLOAT_EQ(f->metrics['A'].x_advance, 7);  // a repeated key keeps its later value
  EXPECT_FLOAT_EQ(f->metrics[255].x_advance, 9);
  EXPECT_FLOAT_EQ(f->metrics[0].x_advance, 0);
  EXPECT_FLOAT_EQ(f->metrics['B'].x_advance, 0);  // no char line: no room taken
  EXPECT_TRUE(std::isfinite(f->metrics[','].x_advance));
  EXPECT_FLOAT_EQ(font_text_width(font, "AA\xff"), 24);  // 7 + 7 + 9, no kerning, rounded up past .01
  EXPECT_FLOAT_EQ(font_text_width(font, "B"), 1);
}

TEST_F(FontFiles, files_without_a_positive_line_height_and_page_are_refused) {
  const char *broken[] = {
      "info face=\"x\"\nchar id=65 width=4 height=4 xadvance=4\n",
      "common lineHeight=0 scaleW=16 scaleH=16\n",
      "common lineHeight=10 scaleW=0 scaleH=16\n",
      "common lineHeight=10 scaleW=16 scaleH=-4\n",
      "common lineHeight=nan scaleW=16 scaleH=16\n",
      "common lineHeight=10 scaleW=inf scaleH=16\n",
      "",
  };
  for (const char *text : broken) {
    file("broken.fnt", text);
    font_deinit();
    font_init();
    EXPECT_EQ(font_load("broken", 20), 0) << text;
  }
  file("good.fnt", "common lineHeight=1e300 scaleW=16 scaleH=16\n");
  int huge = font_load("good", 20);
  ASSERT_NE(huge, 0);  // held to a finite height: a tiny scale, never NaN
  EXPECT_GT(font_get(huge)->scale, 0);
  EXPECT_FLOAT_EQ(font_get(huge)->line_step, 20);
}

TEST_F(FontFiles, margins_are_fractions_of_the_line_squeezed_into_its_size) {
  int font = mono(20);
  font_set_margins(font, 0.5f, 0.1f, 0.5f, 0.2f);
  const Font *f = font_get(font);
  EXPECT_FLOAT_EQ(f->margin_top, 5);
  EXPECT_FLOAT_EQ(f->margin_right, 1);
  EXPECT_FLOAT_EQ(f->margin_left, 2);
  EXPECT_FLOAT_EQ(f->scale, 1);  // 20 / (5 + 10 + 5)
  EXPECT_FLOAT_EQ(f->line_step, 20);
  EXPECT_FLOAT_EQ(font_text_width(font, "ab"), 24);                // 2 + 20 + 1, rounded up past .01
  expect_rect(font_char_rect(font, "ab", 1, 0), {12, 5, 10, 20});  // left and top margins
  expect_lines(font, "ab", 0, {{0, 2, 23}});                       // both side margins

  font_set_margins(font, -1, 0, -0.5f, 0);  // no line left to scale by
  font_set_margins(font, 0, NAN, 0, 0);
  EXPECT_FLOAT_EQ(f->scale, 1);
  EXPECT_FLOAT_EQ(f->margin_top, 5);
  EXPECT_FLOAT_EQ(f->line_step, 20);
}

TEST_F(FontFiles, wrapping_breaks_after_the_last_space_that_fits_else_before_the_overflowing_byte) {
  int font = mono(10);  // scale 1: a, b advance 10, a space 5
  expect_lines(font, "aaa bbb", 40, {{0, 3, 30}, {4, 7, 30}});
  expect_lines(font, "aaa bbb", 0, {{0, 7, 65}});
  expect_lines(font, "aaa bbb", 65, {{0, 7, 65}});  // a byte that exactly fits stays
  expect_lines(font, "aaaaa", 25, {{0, 2, 20}, {2, 4, 20}, {4, 5, 10}});
  expect_lines(font, "ab\n\nb", 100, {{0, 2, 20}, {3, 3, 0}, {4, 5, 10}});
  expect_lines(font, "", 100, {{0, 0, 0}});
  expect_lines(font, nullptr, 100, {{0, 0, 0}});

  // A byte wider than the whole width never fits: empty lines at it until the limit.
  FontLines lines;
  ASSERT_EQ(font_wrap(font, "aW", 30, lines), FONT_LINES_MAX);
  EXPECT_EQ(lines.lines[0].end, 1);
  EXPECT_EQ(lines.lines[FONT_LINES_MAX - 1].start, 1);
  EXPECT_EQ(lines.lines[FONT_LINES_MAX - 1].end, 1);

  std::string many(40, '\n');
  EXPECT_EQ(font_wrap(font, many.c_str(), 0, lines), FONT_LINES_MAX);
  EXPECT_FLOAT_EQ(font_text_height(font, many.c_str(), 100), 10 * FONT_LINES_MAX);
  EXPECT_FLOAT_EQ(font_text_height(font, "aaa bbb", 40), 20);
  EXPECT_FLOAT_EQ(font_text_height(font, nullptr, 40), 10);
}

TEST_F(FontFiles, width_is_the_widest_line_rounded_up) {
  int font = mono(20);                                       // scale 2
  EXPECT_FLOAT_EQ(font_text_width(font, "a\nab a\nb"), 71);  // 20 + 20 + 10 + 20 = 70, past .01
  EXPECT_FLOAT_EQ(font_text_width(font, ""), 1);
  EXPECT_FLOAT_EQ(font_text_width(font, nullptr), 1);
}

TEST_F(FontFiles, caret_rects_walk_the_wrapped_lines_and_rest_at_the_end_past_it) {
  int font = mono(10);
  expect_rect(font_char_rect(font, "aaa bbb", 1, 40), {10, 0, 10, 10});
  expect_rect(font_char_rect(font, "aaa bbb", 5, 40), {10, 10, 10, 10});
  expect_rect(font_char_rect(font, "aaa bbb", 3, 40), {0, 10, 10, 10});  // the space belongs to no line
  expect_rect(font_char_rect(font, "aaa bbb", 100, 40), {30, 10, 0, 10});
  expect_rect(font_char_rect(font, "aaa bbb", -5, 40), {0, 0, 10, 10});
  expect_rect(font_char_rect(font, "", 0, 40), {0, 0, 0, 10});
}

TEST_F(FontFiles, hit_test_takes_the_nearest_row_then_the_nearest_byte) {
  int font = mono(10);  // rows' middles at 5 and 15
  EXPECT_EQ(font_char_at(font, "aaa bbb", 12, 15, 40), 5);
  EXPECT_EQ(font_char_at(font, "aaa bbb", 12, 4, 40), 1);
  EXPECT_EQ(font_char_at(font, "aaa bbb", 1000, 6, 40), 2);  // far right, but the row comes first
  EXPECT_EQ(font_char_at(font, "aaa bbb", 15, 5, 40), 1);    // a tie keeps the first byte
  // Far-off points stay in 64-bit range: the row term alone would overflow 32 bits.
  EXPECT_EQ(font_char_at(font, "aaa bbb", -1e30f, 1e30f, 40), 4);
  EXPECT_EQ(font_char_at(font, "aaa bbb", 1e9f, -3e9f, 40), 2);
  EXPECT_EQ(font_char_at(font, "aaa bbb", NAN, NAN, 40), 0);
  EXPECT_EQ(font_char_at(font, "", 50, 50, 40), 0);
}

TEST_F(FontFiles, hot_reload_reparses_a_settled_change_in_place_at_most_once_a_second) {
  fake_now = 1000000;
  _font_clock_set(fake_clock);
  file("mono.fnt", MONO);
  file_time("mono.fnt", fake_now - 100);
  int font = font_load("mono", 20);
  ASSERT_NE(font, 0);
  font_set_margins(font, 0.5f, 0, 0.5f, 0);

  std::string taller = MONO;
  taller.replace(taller.find("lineHeight=10"), 13, "lineHeight=40");
  file("mono.fnt", taller);
  file_time("mono.fnt", fake_now - 1);  // saved a second ago: perhaps still being written
  font_reload();
  EXPECT_FLOAT_EQ(font_get(font)->line_height, 10);
  file_time("mono.fnt", fake_now - 2);
  font_reload();  // the same second: not looked at again
  EXPECT_FLOAT_EQ(font_get(font)->line_height, 10);
  fake_now++;
  font_reload();
  const Font *f = font_get(font);
  EXPECT_FLOAT_EQ(f->line_height, 40);
  EXPECT_FLOAT_EQ(f->scale, 0.5f);  // margins start again from zero
  EXPECT_FLOAT_EQ(f->line_step, 20);
  EXPECT_FLOAT_EQ(f->size, 20);
  EXPECT_EQ(font_load("mono", 20), font);

  file("mono.fnt", "common lineHeight=0\n");  // a broken save keeps the font as it was
  file_time("mono.fnt", fake_now);
  fake_now += 2;
  font_reload();
  EXPECT_FLOAT_EQ(font_get(font)->line_height, 40);
  EXPECT_EQ(font_get(font)->file_time, fake_now - 2);  // and is not read again every second
}

TEST_F(FontFiles, handle_zero_and_foreign_handles_measure_and_draw_nothing) {
  mono(10);
  uint64_t before = gfx_draw_count();
  for (int font : {-1, 0, 99}) {
    FontLines lines;
    EXPECT_EQ(font_wrap(font, "ab", 10, lines), 0);
    EXPECT_EQ(lines.count, 0);
    EXPECT_EQ(font_text_width(font, "ab"), 0);
    EXPECT_EQ(font_text_height(font, "ab", 10), 0);
    expect_rect(font_char_rect(font, "ab", 1, 0), {0, 0, 0, 0});
    EXPECT_EQ(font_char_at(font, "ab", 5, 5, 0), 0);
    EXPECT_FALSE(font_parse(font));
    font_set_margins(font, 1, 1, 1, 1);
    font_draw(font, "ab", 0, 0, 0, -1);
    font_draw_line(font, "ab", 0, 0);
  }
  EXPECT_EQ(gfx_draw_count(), before);
  font_deinit();
  EXPECT_EQ(font_load("mono", 10), 0);
  font_reload();
}

// A real window and GL context on the test's display; pixels are read back from the back buffer.
namespace {

class FontDraw : public FontFiles {
 protected:
  static void SetUpTestSuite() { gl_test_window_open(); }
  static void TearDownTestSuite() { driver_deinit(); }

  void SetUp() override {
    ASSERT_NE(driver_window(), nullptr);
    ASSERT_TRUE(driver_gl_context());
    FontFiles::SetUp();
    gfx_init();
    frame();
  }
  void TearDown() override {
    gfx_deinit();
    FontFiles::TearDown();
  }

  // A cleared frame with virtual units equal to window pixels.
  static void frame() {
    gfx_state->virtual_w = (float)app_info->width;
    gfx_state->virtual_h = (float)app_info->height;
    gfx_gl_state_reset();
    gfx_clear();
    gfx_ortho();
  }
  // The colour at window pixel (x, y), y counted from the top.
  static uint32_t pixel(int x, int y) { return gl_test_pixel(x, y); }
  // The mono page: 40 x 20 pixels, so the texture is padded to 64 x 64.
  void mono_page(const std::string &name) {
    static const uint32_t top[4] = {RED, GREEN, BLUE, WHITE};
    std::vector<unsigned char> rgba(40 * 20 * 4);
    for (int y = 0; y < 20; y++) {
      for (int x = 0; x < 40; x++) {
        uint32_t c = y < 10 ? top[x / 10] : YELLOW;
        unsigned char *p = &rgba[(y * 40 + x) * 4];
        p[0] = c >> 16;
        p[1] = c >> 8 & 0xFF;
        p[2] = c & 0xFF;
        p[3] = 255;
      }
    }
    ASSERT_TRUE(stbi_write_png((folder + "/" + name).c_str(), 40, 20, 4, rgba.data(), 40 * 4));
  }
  int mono_drawn(int size) {
    mono_page("mono.png");
    return mono(size);
  }
};

void expect_colour(uint32_t got, uint32_t want, const char *where) { gl_test_expect_colour(got, want, where, 2); }

}  // namespace

TEST_F(FontDraw, a_line_draws_each_glyph_from_its_box_on_the_padded_page_in_one_call) {
  int font = mono_drawn(20);  // scale 2
  uint64_t before = gfx_draw_count();
  font_draw_line(font, "abcd W", 10, 10);
  EXPECT_EQ(gfx_draw_count() - before, 1u);
  expect_colour(pixel(20, 20), RED, "a");
  expect_colour(pixel(40, 20), GREEN, "b");
  expect_colour(pixel(64, 30), BLUE, "c, moved by its offsets");
  expect_colour(pixel(64, 14), BLACK, "above c");
  expect_colour(pixel(84, 20), WHITE, "d");
  expect_colour(pixel(97, 20), BLACK, "the space");
  expect_colour(pixel(110, 20), YELLOW, "W");
  expect_colour(pixel(182, 20), YELLOW, "W's right end");
  expect_colour(pixel(186, 20), BLACK, "past W");
  expect_colour(pixel(20, 31), BLACK, "below a");
}

TEST_F(FontDraw, wrapped_lines_are_aligned_in_the_width_and_clipped_lines_are_skipped) {
  int font = mono_drawn(20);
  // "ab a" at 60 wraps into "ab" (40 wide) and "a" (20 wide), 20 units apart.
  font_draw(font, "ab a", 10, 100, 60, 1);
  expect_colour(pixel(35, 110), RED, "right-aligned first line");
  expect_colour(pixel(25, 110), BLACK, "left of it");
  expect_colour(pixel(55, 130), RED, "right-aligned second line");
  expect_colour(pixel(45, 130), BLACK, "left of it");

  frame();
  font_draw(font, "ab a", 10, 100, 60, 0);
  expect_colour(pixel(22, 110), RED, "centred first line");
  expect_colour(pixel(18, 110), BLACK, "left of it");
  expect_colour(pixel(32, 130), RED, "centred second line");
  expect_colour(pixel(28, 130), BLACK, "left of it");

  frame();
  uint64_t before = gfx_draw_count();
  gfx_clip_push(0, 100, 480, 15);
  font_draw(font, "ab a", 10, 100, 60, -1);
  gfx_clip_pop();
  EXPECT_EQ(gfx_draw_count() - before, 1u);
  expect_colour(pixel(20, 105), RED, "first line, left");
  expect_colour(pixel(20, 118), BLACK, "cut by the clip");
}

TEST_F(FontDraw, a_line_draws_at_most_256_glyphs) {
  int font = mono_drawn(10);  // scale 1; each i is 10 wide and 1 further right
  std::string text(300, 'i');
  font_draw_line(font, text.c_str(), 0, 20);
  expect_colour(pixel(262, 25), RED, "the 256th glyph");
  expect_colour(pixel(268, 25), BLACK, "where the 259th would be");
}

TEST_F(FontDraw, a_rebuilt_drawing_state_gives_the_font_its_page_again) {
  int font = mono_drawn(20);
  font_draw_line(font, "a", 10, 10);
  expect_colour(pixel(20, 20), RED, "before");
  gfx_deinit();
  gfx_init();
  frame();
  std::vector<unsigned char> white(8 * 8 * 4, 255);  // takes the page's old texture handle
  ASSERT_TRUE(stbi_write_png((folder + "/white.png").c_str(), 8, 8, 4, white.data(), 8 * 4));
  ASSERT_EQ(gfx_tex_load("white"), font_get(font)->texture);
  font_draw_line(font, "a", 10, 10);
  expect_colour(pixel(20, 20), RED, "after");
}

TEST_F(FontDraw, a_font_without_its_page_measures_but_draws_nothing) {
  int font = mono(20);
  ASSERT_NE(font, 0);
  EXPECT_EQ(font_get(font)->texture, 0);
  EXPECT_FLOAT_EQ(font_text_width(font, "ab"), 41);
  uint64_t before = gfx_draw_count();
  font_draw(font, "ab", 10, 10, 0, -1);
  EXPECT_EQ(gfx_draw_count(), before);
  expect_colour(pixel(20, 20), BLACK, "no white quad");
}

TEST_F(FontDraw, the_generated_game_font_draws_at_a_small_size) {
  snprintf(app_info->data_override, sizeof app_info->data_override, "%s", VB_BINARY_DIR "/data");
  int font = font_load("font", 32);
  ASSERT_NE(font, 0);
  const Font *f = font_get(font);
  EXPECT_FLOAT_EQ(f->line_step, 32);
  EXPECT_FLOAT_EQ(f->scale, 32 / f->line_height);
  float width = font_text_width(font, "HH");
  EXPECT_GT(width, 16);
  EXPECT_LT(width, 64);
  uint64_t before = gfx_draw_count();
  font_draw(font, "HH", 10, 10, 0, -1);
  EXPECT_EQ(gfx_draw_count() - before, 1u);
  int lit = 0;
  for (int y = 10; y < 42; y++) {
    for (int x = 10; x < 10 + (int)width; x++) lit += pixel(x, y) != BLACK;
  }
  EXPECT_GT(lit, 40) << "glyph pixels inside the line";
  EXPECT_EQ(pixel((int)width + 14, 26), BLACK);
}
