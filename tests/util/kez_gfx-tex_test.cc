// Textures, images and atlases without a GL context: the search rules over a data folder and an override
// folder, the upload's pixel preparation, sizes and budget, eviction, hot reload and atlas frames.
#include "kez_gfx-tex.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "kez_driver-sdl2.h"
#include "kez_gfx-tex_internal.h"

namespace {

int64_t fake_now;
int64_t fake_clock() { return fake_now; }

// A working folder holding "data" (the data folder) and "over" (the override folder).
class GfxTex : public testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/vantor-gfx-tex-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    root = dir;
    ASSERT_TRUE(getcwd(saved_cwd, sizeof saved_cwd));
    ASSERT_EQ(chdir(dir), 0);
    mkdir("data", 0755);
    mkdir("over", 0755);
    driver_app_create();
    snprintf(app_info->app_name, sizeof app_info->app_name, "GfxTex");  // the data folder is ./data
    snprintf(app_info->device, sizeof app_info->device, "desktop");
    snprintf(app_info->data_override, sizeof app_info->data_override, "%s/over", dir);
    fake_now = 1000000;
    _gfx_tex_clock_set(fake_clock);
    gfx_init();
  }
  void TearDown() override {
    gfx_deinit();
    _gfx_tex_clock_set(nullptr);
    free(app_info);
    app_info = nullptr;
    ASSERT_EQ(chdir(saved_cwd), 0);
    std::filesystem::remove_all(root);
  }

  static void file(const std::string &path, const std::string &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  static void png(const std::string &path, int w, int h) {
    std::vector<unsigned char> rgba((size_t)w * h * 4, 255);
    ASSERT_TRUE(stbi_write_png(path.c_str(), w, h, 4, rgba.data(), w * 4));
  }
  static void set_mtime(const std::string &path, int64_t t) {
    struct utimbuf times = {(time_t)t, (time_t)t};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
  }
  static const GfxImage &image(const char *name) {
    static const GfxImage none = {};
    const GfxImage *img = gfx_img_get(gfx_img_load(name));
    return img ? *img : none;
  }
  // A loaded texture record that only counts bytes (no file, no GL name), last used `idle` seconds ago.
  static int fake_texture(uint32_t mib, int64_t idle) {
    GfxTexture t = {};
    t.index = (int)gfx_state->textures.size();
    t.loaded = 1;
    t.bytes = mib << 20;
    t.last_use = fake_now - idle;
    gfx_state->textures.push_back(t);
    gfx_state->memused += t.bytes;
    return t.index;
  }

  std::string root;
  char saved_cwd[4096];
};

}  // namespace

TEST_F(GfxTex, variants_are_tried_scale_and_device_first_then_scale_then_device_then_plain) {
  app_info->scale = 2;
  for (const char *name : {"button.png", "button~desktop.tga", "button@2x.jpg", "button@2x~desktop.kez"}) {
    file(std::string("data/") + name, "x");
  }
  for (const char *want : {"button@2x~desktop.kez", "button@2x.jpg", "button~desktop.tga", "button.png"}) {
    EXPECT_EQ(_gfx_find("button"), want);
    remove((std::string("data/") + want).c_str());
  }
  EXPECT_EQ(_gfx_find("button"), "");
}

TEST_F(GfxTex, extensions_are_appended_in_order_after_the_name_unchanged_and_folders_are_dropped) {
  file("data/logo.jpg", "x");
  file("data/logo.tga", "x");
  EXPECT_EQ(_gfx_find("logo"), "logo.tga");
  file("data/ship.png", "x");
  file("data/ship.png.tga", "x");
  EXPECT_EQ(_gfx_find("ui/ship.png"), "ship.png");
  file("data/ship@1x.png.jpg", "x");  // a variant with an appended extension beats the plain name
  EXPECT_EQ(_gfx_find("ui/ship.png"), "ship@1x.png.jpg");
  file("data/bare", "x");
  EXPECT_EQ(gfx_find_ext("bare"), "");  // a name without a dot is never tried bare
  file("data/map~desktop", "x");
  EXPECT_EQ(_gfx_find("maps.v2/map"), "");  // a dot in the folder part is no extension
}

TEST_F(GfxTex, the_override_folder_is_searched_before_the_data_folder) {
  png("data/logo.png", 8, 8);
  png("over/logo.png", 8, 8);
  png("over/extra.tga", 8, 8);
  int logo = gfx_tex_load("logo");
  ASSERT_NE(logo, 0);
  EXPECT_EQ(std::string(gfx_tex_get(logo)->path), root + "/over/logo.png");
  EXPECT_NE(gfx_tex_load("extra"), 0);
}

TEST_F(GfxTex, missing_and_overlong_names_answer_zero_and_are_not_searched_again) {
  EXPECT_EQ(gfx_tex_load("later"), 0);
  png("data/later.png", 8, 8);
  EXPECT_EQ(gfx_tex_load("later"), 0);
  EXPECT_EQ(gfx_img_load("later"), 0);
  EXPECT_EQ(gfx_state->image_names.at("later"), 0);
  EXPECT_EQ(gfx_tex_load(""), 0);
  std::string fits(63, 'a'), too_long(64, 'b');  // the record keeps 63 bytes and a NUL
  png("data/" + fits + ".png", 8, 8);
  png("data/" + too_long + ".png", 8, 8);
  EXPECT_EQ(std::string(gfx_tex_get(gfx_tex_load(fits.c_str()))->name), fits);
  EXPECT_EQ(gfx_img_load(too_long.c_str()), 0);
}

TEST_F(GfxTex, a_texture_is_padded_to_powers_of_two_and_charged_four_thirds) {
  png("data/wide.png", 100, 50);
  int handle = gfx_tex_load("wide");
  ASSERT_NE(handle, 0);
  const GfxTexture &t = *gfx_tex_get(handle);
  EXPECT_EQ(t.index, handle);
  EXPECT_EQ(t.loaded, 1);
  EXPECT_EQ(t.rect.w, 128);
  EXPECT_EQ(t.rect.h, 64);
  EXPECT_EQ(t.bytes, 43690u);
  EXPECT_EQ(gfx_state->memused, 43690u);
  EXPECT_EQ(t.last_use, fake_now);
  const GfxImage &whole = image("wide");  // the texture's own name is its whole image
  EXPECT_EQ(whole.texture, handle);
  EXPECT_EQ(whole.sw, 100);
  EXPECT_EQ(whole.sh, 50);
  EXPECT_EQ(whole.full_w, 100);
  EXPECT_EQ(whole.full_h, 50);
  EXPECT_EQ(gfx_tex_load("wide"), handle);
  EXPECT_EQ(gfx_state->textures.size(), 2u);
}

TEST_F(GfxTex, a_file_that_does_not_decode_gives_a_texture_without_size) {
  file("data/broken.png", "definitely not a picture");
  int handle = gfx_tex_load("broken");
  ASSERT_NE(handle, 0);
  const GfxTexture &t = *gfx_tex_get(handle);
  EXPECT_EQ(t.gl, 0u);
  EXPECT_EQ(t.bytes, 0u);
  EXPECT_EQ(t.rect.w, 0);
  EXPECT_EQ(image("broken").full_w, 0);
  EXPECT_EQ(gfx_img_aspect(gfx_img_load("broken")), 1.0f);
  GfxUpload none = driver_tex_load("data/no-such-file.png");
  EXPECT_EQ(none.tex_w, 0);
}

TEST_F(GfxTex, files_decoded_ahead_load_as_from_disk_and_upload_one_a_step) {
  png("data/wide.png", 100, 50);
  png("data/small.png", 10, 10);
  gfx_tex_preload({"wide", "small", "missing"});
  const GfxImage &small = image("small");  // wanted before its turn: taken from the worker or decoded here
  EXPECT_EQ(small.sw, 10);
  EXPECT_EQ(gfx_tex_get(small.texture)->rect.w, 64);
  _gfx_tex_preload_wait();
  EXPECT_EQ(gfx_state->texture_names.count("wide"), 0u) << "decoded, not yet uploaded";
  gfx_tex_preload_step();
  ASSERT_EQ(gfx_state->texture_names.count("wide"), 1u);
  const GfxTexture *wide = gfx_tex_get(gfx_state->texture_names["wide"]);
  EXPECT_EQ(wide->rect.w, 128);
  EXPECT_EQ(wide->rect.h, 64);
  EXPECT_EQ(image("wide").sw, 100);
  const size_t textures = gfx_state->textures.size();
  gfx_tex_preload_step();
  gfx_tex_preload_step();
  EXPECT_EQ(gfx_state->textures.size(), textures) << "a texture already loaded, or a missing file, adds none";
}

TEST(GfxUploadPrep, pixels_are_premultiplied_then_padded_by_repeating_the_last_column_and_row) {
  unsigned char px[2 * 2 * 4] = {255, 200, 0, 128, 20, 0, 0, 255, 30, 0, 0, 255, 255, 0, 0, 255};
  std::vector<unsigned char> padded;
  GfxUpload u{};
  const unsigned char *out = _gfx_tex_prepare(px, 2, 2, false, padded, u);
  ASSERT_EQ(u.tex_w, 64);
  ASSERT_EQ(u.tex_h, 64);
  EXPECT_EQ(u.image_w, 2);
  auto red = [&](int x, int y) { return (int)out[(y * 64 + x) * 4]; };
  EXPECT_EQ(red(0, 0), 127);  // alpha 128
  EXPECT_EQ(out[1], 100);
  EXPECT_EQ(out[3], 128);
  EXPECT_EQ(red(63, 0), 19);
  EXPECT_EQ(red(0, 63), 29);
  EXPECT_EQ(red(63, 63), 254);  // full alpha still divides by 256
  std::vector<unsigned char> line((size_t)4097 * 4, 255);
  _gfx_tex_prepare(line.data(), 4097, 1, false, padded, u);
  EXPECT_EQ(u.tex_w, 4097);  // beyond 4096 a side stays as it is
  EXPECT_EQ(u.tex_h, 64);
}

TEST(GfxUploadPrep, small_devices_halve_textures_above_64_on_both_sides) {
  std::vector<unsigned char> square((size_t)64 * 64 * 4, 255), padded;
  GfxUpload u{};
  _gfx_tex_prepare(square.data(), 64, 64, true, padded, u);
  EXPECT_EQ(u.tex_w, 64);
  EXPECT_EQ(u.image_w, 64);

  std::vector<unsigned char> wide((size_t)200 * 100 * 4, 255);
  const unsigned char values[4] = {0, 100, 200, 255};  // the first 2 x 2 block
  for (int i = 0; i < 4; i++) wide[(size_t)((i / 2) * 200 + i % 2) * 4] = values[i];
  const unsigned char *out = _gfx_tex_prepare(wide.data(), 200, 100, true, padded, u);
  EXPECT_EQ(u.tex_w, 128);
  EXPECT_EQ(u.tex_h, 64);
  EXPECT_EQ(u.image_w, 100);
  EXPECT_EQ(u.image_h, 50);
  EXPECT_EQ(out[0], (0 + 99 + 199 + 254) >> 2);
  EXPECT_EQ(out[3], 255);
}

TEST_F(GfxTex, small_devices_load_halved_textures_and_a_lower_budget) {
  snprintf(app_info->device, sizeof app_info->device, "phone");
  png("data/big.png", 200, 100);
  const GfxTexture &t = *gfx_tex_get(gfx_tex_load("big"));
  EXPECT_EQ(t.rect.w, 128);
  EXPECT_EQ(image("big").sw, 100);
  int idle = fake_texture(40, 400);  // 40 MiB: within 80 MiB, beyond 32 MiB
  _gfx_tex_recycle();
  EXPECT_EQ(gfx_tex_get(idle)->loaded, 0);
}

TEST_F(GfxTex, eviction_takes_the_longest_idle_texture_and_prefers_the_later_on_a_tie) {
  int a = fake_texture(30, 400), b = fake_texture(30, 400), recent = fake_texture(30, 299);
  _gfx_tex_recycle();  // 90 MiB: one of the two idle ones must go
  EXPECT_EQ(gfx_tex_get(a)->loaded, 1);
  EXPECT_EQ(gfx_tex_get(b)->loaded, 0);
  EXPECT_EQ(gfx_state->memused, 60u << 20);
  int older = fake_texture(30, 500);
  _gfx_tex_recycle();
  EXPECT_EQ(gfx_tex_get(older)->loaded, 0);
  EXPECT_EQ(gfx_tex_get(a)->loaded, 1);

  fake_texture(60, 0);  // 120 MiB, but only `a` is idle long enough: the rest stays over the budget
  _gfx_tex_recycle();
  EXPECT_EQ(gfx_tex_get(a)->loaded, 0);
  EXPECT_EQ(gfx_tex_get(recent)->loaded, 1);
  EXPECT_EQ(gfx_state->memused, 90u << 20);
}

TEST_F(GfxTex, an_evicted_texture_loads_again_when_next_used) {
  png("data/icon.png", 16, 16);
  int handle = gfx_tex_load("icon");
  fake_now += 300;
  fake_texture(90, 0);
  _gfx_tex_recycle();
  ASSERT_EQ(gfx_tex_get(handle)->loaded, 0);
  EXPECT_EQ(gfx_tex_get(handle)->bytes, 0u);
  EXPECT_NE(gfx_img_load("icon"), 0);
  EXPECT_EQ(gfx_tex_get(handle)->loaded, 1);
  EXPECT_EQ(gfx_tex_get(handle)->bytes, 64u * 64 * 16 / 3);
  EXPECT_EQ(gfx_tex_get(handle)->last_use, fake_now);
}

TEST_F(GfxTex, a_changed_file_reloads_once_it_is_two_seconds_old_and_at_most_once_a_second) {
  png("data/pic.png", 32, 16);
  set_mtime("data/pic.png", fake_now - 100);
  int handle = gfx_tex_load("pic");
  png("data/pic.png", 100, 50);
  set_mtime("data/pic.png", fake_now);
  fake_now += 1;
  gfx_reload();
  EXPECT_EQ(image("pic").sw, 32);  // saved 1 s ago: maybe not complete yet
  set_mtime("data/pic.png", fake_now - 10);
  gfx_reload();
  EXPECT_EQ(image("pic").sw, 32);  // same second: no second look
  fake_now += 1;
  gfx_reload();
  EXPECT_EQ(image("pic").sw, 100);
  EXPECT_EQ(gfx_tex_get(handle)->file_time, fake_now - 11);
  EXPECT_EQ(gfx_state->memused, 128u * 64 * 16 / 3);
  fake_now += 5;
  gfx_reload();  // unchanged since: nothing to do
  EXPECT_EQ(gfx_tex_get(handle)->last_use, fake_now - 5);
}

TEST_F(GfxTex, an_atlas_beside_the_texture_registers_its_frames_by_name_without_extension) {
  png("data/ships.png", 64, 32);
  file("data/ships.json", R"({"frames": {
    "fighter.png": {"frame": {"x": 2, "y": 3, "w": 10, "h": 12},
                    "spriteSourceSize": {"x": 1, "y": 2, "w": 10, "h": 12}, "sourceSize": {"w": 14, "h": 16}},
    "carrier": {"frame": {"x": 20, "y": 0, "w": 30, "h": 20}},
    "odd.one.png": 7}, "meta": {}})");
  int texture = gfx_tex_load("ships");
  const GfxImage &fighter = image("fighter");
  EXPECT_EQ(fighter.texture, texture);
  EXPECT_EQ(fighter.sx, 2);
  EXPECT_EQ(fighter.sy, 3);
  EXPECT_EQ(fighter.sw, 10);
  EXPECT_EQ(fighter.sh, 12);
  EXPECT_EQ(fighter.trim_x, 1);
  EXPECT_EQ(fighter.trim_y, 2);
  EXPECT_EQ(fighter.full_w, 14);
  EXPECT_EQ(fighter.full_h, 16);
  EXPECT_EQ(image("carrier").sw, 30);
  EXPECT_EQ(image("carrier").full_w, 0);  // no frame size: the image draws nothing
  EXPECT_FALSE(gfx_state->image_names.count("odd.one"));
  EXPECT_EQ(std::string(gfx_tex_get(texture)->atlas_path), "./data/ships.json");
}

TEST_F(GfxTex, a_malformed_atlas_adds_no_frames_and_a_fixed_one_is_read_on_reload) {
  png("data/hud.png", 64, 64);
  file("data/hud.json", R"({"frames": {"bar.png": {"frame": {"x": 1, "y": 1, "w": 4, "h": 4}}},)");
  set_mtime("data/hud.json", fake_now - 100);
  int texture = gfx_tex_load("hud");
  ASSERT_NE(texture, 0);
  EXPECT_FALSE(gfx_state->image_names.count("bar"));
  file("data/hud.json", R"({"frames": {"bar.png": {"frame": {"x": 1, "y": 1, "w": 4, "h": 4}}}})");
  set_mtime("data/hud.json", fake_now - 5);
  fake_now += 1;
  gfx_reload();
  EXPECT_EQ(image("bar").sw, 4);
  EXPECT_EQ(image("bar").texture, texture);
  file("data/hud.json", "[1, 2]");
  set_mtime("data/hud.json", fake_now - 3);
  fake_now += 1;
  gfx_reload();  // not an object of frames: the frames read before stay
  EXPECT_EQ(image("bar").sw, 4);
}

TEST_F(GfxTex, handles_outside_the_tables_count_as_none) {
  png("data/one.png", 8, 8);
  int handle = gfx_tex_load("one");
  for (int bad : {-1, 0, handle + 1, 1 << 30}) {
    EXPECT_EQ(gfx_tex_get(bad), nullptr);
    gfx_tex_touch(bad);
    gfx_tex_reload(bad);
    gfx_tex_unload(bad);
    gfx_atlas_load("./data/one.json", bad);
  }
  EXPECT_EQ(gfx_img_get(-3), nullptr);
  EXPECT_EQ(gfx_img_get((int)gfx_state->images.size()), nullptr);
  EXPECT_EQ(gfx_state->textures.size(), 2u);
  gfx_deinit();
  EXPECT_EQ(gfx_tex_get(handle), nullptr);
  EXPECT_EQ(gfx_tex_load("one"), 0);  // no state: nothing loads
  EXPECT_EQ(gfx_img_add("x", 1, 0, 0, 1, 1, 0, 0, 1, 1), 0);
}
