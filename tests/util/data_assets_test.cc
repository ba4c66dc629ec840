// The generated data folder: every image, font and sound the game asks for by name exists beside
// the executable (build/data) and decodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <stb_image.h>

#include "gl_test_support.h"
#include "kez_driver-sdl2.h"
#include "kez_font.h"
#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "kez_sound.h"
#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

namespace {

const std::string kData = VB_BINARY_DIR "/data/";

bool exists(const std::string &file) { return std::ifstream(kData + file).good(); }

// A decoded RGBA image; empty when the file is missing or unreadable.
struct Rgba8 {
  int w = 0, h = 0;
  std::vector<uint8_t> px;
  const uint8_t *at(int x, int y) const { return &px[(static_cast<size_t>(y) * w + x) * 4]; }
};
Rgba8 load_png(const std::string &file) {
  Rgba8 im;
  int comps = 0;
  unsigned char *data = stbi_load((kData + file).c_str(), &im.w, &im.h, &comps, 4);
  if (!data) return Rgba8{};
  im.px.assign(data, data + static_cast<size_t>(im.w) * im.h * 4);
  stbi_image_free(data);
  return im;
}

std::vector<std::string> numbered(const std::string &prefix, int first, int last, const char *format = "%d") {
  std::vector<std::string> out;
  for (int i = first; i <= last; i++) {
    char digits[16];
    std::snprintf(digits, sizeof digits, format, i);
    out.push_back(prefix + digits);
  }
  return out;
}

// Images the match, the HUD and the screens load by name.
std::vector<std::string> named_images() {
  std::vector<std::string> names = {
      "logo",        "rank10",      "ship",        "spark",     "star",          "line",       "you",
      "slider-line", "slider-dot",  "planet-aura", "white",     "black",         "fade",       "blank",
      "vignette",    "icon-pause",  "icon-chat",   "icon-quit", "icon-settings", "chat-tab",   "lobby-fade",
      "quit",        "gui-tab0",    "gui-tab1",    "gui-tab1o", "gui-tab2o",     "gui-input1", "gui-input1o",
      "gui-slider1", "gui-slider2", "gui-error",   "gui-box1",  "gui-box2",      "gui-box3"};
  for (const auto &list : {numbered("planet-tex", 0, 4), numbered("background", 1, 5, "%02d"), numbered("flag", 0, 15),
                           numbered("stars", 0, 15), numbered("wings", 0, 15)})
    names.insert(names.end(), list.begin(), list.end());
  return names;
}

// Skins drawn as nine-slices (each with its focused "o" twin where the game has one).
std::vector<std::string> nine_slice_skins() {
  std::vector<std::string> names;
  for (const auto &list : {numbered("gui-button", 1, 4), numbered("gui-toggle", 1, 4), numbered("gui-icon", 1, 4),
                           numbered("gui-tiny", 2, 4)})
    for (const std::string &name : list) {
      names.push_back(name);
      names.push_back(name + "o");
    }
  for (const char *name : {"gui-tab0", "gui-tab1", "gui-tab1o", "gui-tab2o", "gui-input1", "gui-input1o", "gui-slider1",
                           "gui-slider2", "gui-error", "gui-box1", "gui-box2", "gui-box3"})
    names.push_back(name);
  return names;
}

TEST(DataAssets, every_named_image_decodes) {
  std::vector<std::string> names = named_images(), skins = nine_slice_skins();
  names.insert(names.end(), skins.begin(), skins.end());
  for (const std::string &name : names) {
    Rgba8 im = load_png(name + ".png");
    EXPECT_GT(im.w, 0) << name << ".png is missing or unreadable";
  }
  EXPECT_GT(load_png("icon.png").w, 0) << "window icon icon.png";
}

TEST(DataAssets, nine_slice_corners_are_exact_thirds) {
  for (const std::string &name : nine_slice_skins()) {
    Rgba8 im = load_png(name + ".png");
    ASSERT_GT(im.w, 0) << name;
    EXPECT_EQ(im.w % 3, 0) << name << " is " << im.w << " wide";
    EXPECT_EQ(im.h % 3, 0) << name << " is " << im.h << " high";
    EXPECT_EQ(im.w, im.h) << name << ": a square skin keeps its corners round at any size";
  }
}

TEST(DataAssets, focused_skins_are_brighter_than_their_resting_twins) {
  auto brightness = [](const Rgba8 &im) {
    double sum = 0;
    for (size_t i = 0; i < im.px.size(); i += 4)
      sum += (im.px[i] + im.px[i + 1] + im.px[i + 2]) * (im.px[i + 3] / 255.0);
    return sum;
  };
  for (const std::string &name : nine_slice_skins()) {
    if (name.back() == 'o' || !exists(name + "o.png")) continue;
    EXPECT_GT(brightness(load_png(name + "o.png")), brightness(load_png(name + ".png")) * 1.15) << name;
  }
}

TEST(DataAssets, rank_layers_share_one_frame) {
  Rgba8 first = load_png("flag0.png");
  ASSERT_GT(first.w, 0);
  EXPECT_EQ(first.w * 2, first.h * 3) << "rank layers are drawn into a 3:2 frame";
  for (const auto &list : {numbered("flag", 0, 15), numbered("stars", 0, 15), numbered("wings", 0, 15)})
    for (const std::string &name : list) {
      Rgba8 im = load_png(name + ".png");
      EXPECT_EQ(im.w, first.w) << name;
      EXPECT_EQ(im.h, first.h) << name;
    }
}

TEST(DataAssets, plain_fills_hold_their_colour) {
  Rgba8 blank = load_png("blank.png"), white = load_png("white.png"), black = load_png("black.png");
  ASSERT_EQ(blank.w, 1);
  ASSERT_EQ(blank.h, 1);
  EXPECT_EQ(blank.at(0, 0)[3], 0) << "blank must be transparent";
  ASSERT_GT(white.w, 0);
  ASSERT_GT(black.w, 0);
  for (size_t i = 0; i < white.px.size(); i++) EXPECT_EQ(white.px[i], 255) << "white byte " << i;
  for (size_t i = 0; i < black.px.size(); i++) EXPECT_EQ(black.px[i], i % 4 == 3 ? 255 : 0) << "black byte " << i;
}

// ---- Fonts ---------------------------------------------------------------------------------

// A text BMFont description, read the way the game reads it: lines of space-separated words, the
// first word the line's kind, then key=value pairs.
struct FontFile {
  std::map<std::string, std::map<std::string, std::string>> single;  // "info", "common", "page"
  std::map<int, std::map<std::string, int>> chars;
};
bool read_font(const std::string &file, FontFile &font) {
  std::ifstream in(kData + file);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind, word;
    words >> kind;
    std::map<std::string, std::string> pairs;
    while (words >> word) {
      size_t eq = word.find('=');
      if (eq != std::string::npos) pairs[word.substr(0, eq)] = word.substr(eq + 1);
    }
    if (kind == "char") {
      std::map<std::string, int> &c = font.chars[std::stoi(pairs["id"])];
      for (const auto &kv : pairs) c[kv.first] = std::stoi(kv.second);
    } else {
      font.single[kind] = pairs;
    }
  }
  return true;
}

TEST(DataAssets, fonts_describe_one_page_that_exists) {
  for (const char *name : {"font", "font-console", "font-outline"}) {
    SCOPED_TRACE(name);
    FontFile font;
    ASSERT_TRUE(read_font(std::string(name) + ".fnt", font)) << name << ".fnt is missing";
    auto &common = font.single["common"];
    ASSERT_TRUE(common.count("lineHeight") && common.count("base") && common.count("scaleW") && common.count("scaleH"));
    int line_height = std::stoi(common["lineHeight"]), base = std::stoi(common["base"]);
    EXPECT_GT(line_height, 0);
    EXPECT_GT(base, 0);
    EXPECT_LE(base, line_height);
    EXPECT_EQ(common["pages"], "1");

    std::string page = font.single["page"]["file"];
    ASSERT_GE(page.size(), 2u);
    if (page.front() == '"') page = page.substr(1, page.size() - 2);
    Rgba8 image = load_png(page);
    ASSERT_GT(image.w, 0) << "page image " << page;
    EXPECT_EQ(image.w, std::stoi(common["scaleW"]));
    EXPECT_EQ(image.h, std::stoi(common["scaleH"]));
    EXPECT_EQ(page, std::string(name) + ".png") << "the game loads the page by the font's own name";

    // Printable ASCII must all be there; every glyph lies on the page.
    for (int id = 32; id <= 126; id++) {
      ASSERT_TRUE(font.chars.count(id)) << "glyph " << id;
      EXPECT_GT(font.chars[id]["xadvance"], 0) << "glyph " << id;
      if (id != ' ') {
        EXPECT_GT(font.chars[id]["width"], 0) << "glyph " << id;
      }
    }
    for (auto &entry : font.chars) {
      auto &c = entry.second;
      EXPECT_GE(entry.first, 1);
      EXPECT_LE(entry.first, 255);
      EXPECT_LE(c["x"] + c["width"], image.w) << "glyph " << entry.first;
      EXPECT_LE(c["y"] + c["height"], image.h) << "glyph " << entry.first;
    }
    EXPECT_TRUE(font.chars.count(0xe9)) << "Latin-1 letters are drawn too";
  }
}

TEST(DataAssets, console_font_is_monospaced) {
  FontFile font;
  ASSERT_TRUE(read_font("font-console.fnt", font));
  for (int id = 33; id <= 126; id++)
    EXPECT_EQ(font.chars[id]["xadvance"], font.chars[' ']["xadvance"]) << "glyph " << id;
}

TEST(DataAssets, outline_font_has_a_dark_rim_round_white_glyphs) {
  FontFile font;
  ASSERT_TRUE(read_font("font-outline.fnt", font));
  Rgba8 page = load_png("font-outline.png");
  ASSERT_GT(page.w, 0);
  auto &zero = font.chars['0'];
  int dark = 0, white = 0;
  for (int y = zero["y"]; y < zero["y"] + zero["height"]; y++)
    for (int x = zero["x"]; x < zero["x"] + zero["width"]; x++) {
      const uint8_t *p = page.at(x, y);
      if (p[3] == 255 && p[0] < 40) dark++;
      if (p[3] == 255 && p[0] > 240) white++;
    }
  EXPECT_GT(dark, 100);
  EXPECT_GT(white, 100);
}

// ---- Sounds --------------------------------------------------------------------------------

struct WavFormat {
  int format = 0, channels = 0, rate = 0, bits = 0;
  uint32_t data_bytes = 0;
};
bool read_wav(const std::string &file, WavFormat &out) {
  std::ifstream in(kData + file, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u16 = [&b](size_t at) { return static_cast<int>(b[at] | (b[at + 1] << 8)); };
  auto u32 = [&b](size_t at) {
    return static_cast<uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (b[at + 3] << 24));
  };
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
      std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
    return false;
  for (size_t at = 12; at + 8 <= b.size(); at += 8 + u32(at + 4) + (u32(at + 4) & 1)) {
    std::string id(b.begin() + at, b.begin() + at + 4);
    if (id == "fmt " && at + 24 <= b.size()) {
      out.format = u16(at + 8);
      out.channels = u16(at + 10);
      out.rate = static_cast<int>(u32(at + 12));
      out.bits = u16(at + 22);
    } else if (id == "data") {
      out.data_bytes = u32(at + 4);
    }
  }
  return true;
}

TEST(DataAssets, sound_effects_are_16_bit_wav_at_44100_hz) {
  for (const char *name : {"sfx-hit", "sfx-explode", "sfx-ping"}) {
    WavFormat wav;
    ASSERT_TRUE(read_wav(std::string(name) + ".wav", wav)) << name << ".wav is missing or not a WAV file";
    EXPECT_EQ(wav.format, 1) << name << ": PCM";
    EXPECT_EQ(wav.rate, 44100) << name;
    EXPECT_EQ(wav.bits, 16) << name;
    EXPECT_GE(wav.channels, 1) << name;
    EXPECT_GT(wav.data_bytes, 44100u / 50) << name << " is shorter than 10 ms";
  }
}

TEST(DataAssets, music_tracks_are_stereo_vorbis_loops_of_a_minute_or_more) {
  for (const char *name : {"mus-menu", "mus-match"}) {
    SCOPED_TRACE(name);
    int channels = 0, rate = 0;
    short *samples = nullptr;
    int frames = stb_vorbis_decode_filename((kData + name + ".ogg").c_str(), &channels, &rate, &samples);
    ASSERT_GT(frames, 0) << "missing, or it does not decode";
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, 44100);
    EXPECT_GE(frames, 60 * 44100);
    int peak = 0;
    for (size_t i = 0; i < static_cast<size_t>(frames) * channels; i++)
      peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    EXPECT_GT(peak, 32768 / 8) << "the music is nearly silent";
    EXPECT_LT(peak, 32767) << "the music clips";
    // The stream restarts at its first sample: the last and first frames must meet without a jump.
    for (int c = 0; c < channels; c++)
      EXPECT_LT(std::abs(samples[(frames - 1) * channels + c] - samples[c]), 32768 / 16) << "a seam on channel " << c;
    free(samples);
  }
}

TEST(DataAssets, mus_none_names_no_file) {
  for (const char *ext : {"", ".wav", ".ogg", ".mp3", ".aac", ".caf", ".raw"})
    EXPECT_FALSE(exists(std::string("mus-none") + ext)) << "\"mus-none\" must stay silent, found mus-none" << ext;
}

}  // namespace

// The same assets through the game's own loaders, in a real GL context.
namespace {

class DataLoaders : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    gl_test_window_open();
    snprintf(app_info->data_override, sizeof app_info->data_override, "%s", VB_BINARY_DIR "/data");
    gfx_init();
    font_init();
  }
  static void TearDownTestSuite() {
    font_deinit();
    gfx_deinit();
    driver_deinit();
  }
};

}  // namespace

TEST_F(DataLoaders, every_named_image_loads_as_a_texture) {
  ASSERT_TRUE(driver_gl_context());
  std::vector<std::string> names = named_images();
  std::vector<std::string> skins = nine_slice_skins();
  names.insert(names.end(), skins.begin(), skins.end());
  for (const std::string &name : names) {
    int image = gfx_img_load(name.c_str());
    EXPECT_NE(image, 0) << name;
    EXPECT_NE(gfx_img_texture(image), 0u) << name;
    EXPECT_GE(gfx_img_aspect(image), 0.01f) << name;
  }
}

TEST_F(DataLoaders, every_font_loads_at_the_sizes_the_screens_use) {
  for (const char *name : {"font", "font-console", "font-outline"}) {
    for (int size : {16, 20, 26, 32}) {
      int font = font_load(name, size);
      ASSERT_NE(font, 0) << name << " at " << size;
      EXPECT_NE(font_get(font)->texture, 0) << name;
      EXPECT_GT(font_text_width(font, "Vantor 123"), size) << name;
    }
  }
}

TEST_F(DataLoaders, every_named_sound_loads_through_the_registry) {
  _driver_audio_init();
  ASSERT_NE(driver_mixer, nullptr);
  sound_init();
  for (const char *name : {"sfx-hit", "sfx-explode", "sfx-ping"}) EXPECT_NE(sound_sample_load(name), 0) << name;
  for (const char *name : {"mus-menu", "mus-match"}) {
    int music = sound_stream_load(name);
    EXPECT_NE(music, 0) << name;
    EXPECT_TRUE(driver_audio_stream_play(music, 1.0f)) << name << " opens as a stream";
    driver_audio_stream_stop(music);
  }
  EXPECT_EQ(sound_stream_load("mus-none"), 0);
  EXPECT_EQ(sound_sample_load("mus-none"), 0);
  sound_deinit();
  _driver_audio_deinit();
}
