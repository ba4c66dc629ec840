// The settings record: merging the two files, defaults and forced values, saving, identity.
#include "game_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "file_size_limit.h"
#include "game.h"
#include "game_fixture.h"
#include "kez_driver-files.h"
#include "kez_social.h"

namespace {

class Settings : public GameTest {
 protected:
  void SetUp() override { game_open("settings"); }
  void TearDown() override { game_close(); }
  void write(const char *name, const void *bytes, size_t n) {
    driver_user_dir();
    FILE *f = fopen((folder + name).c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(bytes, 1, n, f);
    fclose(f);
  }
  // The record as both files, then loaded.
  void load_from_both(const GameSettings &record) {
    write("settings-local.dat", &record, sizeof record);
    write("settings-cloud.dat", &record, sizeof record);
    game_settings_load(&s());
  }
  std::string read(const char *name) { return driver_file_string((folder + name).c_str()); }
  unsigned mode(const char *name) {
    struct stat st;
    return stat((folder + name).c_str(), &st) == 0 ? (unsigned)(st.st_mode & 0777) : 0u;
  }
  // Both files as saved now, to compare with what a failed save leaves.
  std::string both() { return read("settings-local.dat") + read("settings-cloud.dat"); }
  GameSettings &s() { return g->settings; }
};

void expect_defaults(const GameSettings &s) {
  EXPECT_EQ(s.version, 4);
  EXPECT_EQ(s.music_volume, 50);
  EXPECT_EQ(s.sound_volume, 50);
  EXPECT_EQ(s.vres, -1);
  EXPECT_EQ(s.vfull, 1);
  EXPECT_EQ(s.vsize, 480);
  const int32_t ui[16] = {1, 1, -1, -1, 50, 1, -1, 1, -1, -1, 1, -1, 1, -1, -1, -1};
  for (int i = 0; i < 16; i++) EXPECT_EQ((&s.ui_box)[i], ui[i]) << "ui word " << 392 + i;
  EXPECT_STREQ(s.display_name, "Anonymous");
  EXPECT_NE(s.device_id[0], 0);
}

}  // namespace

TEST_F(Settings, first_start_gives_the_defaults) {
  game_settings_load(&s());
  expect_defaults(s());
  EXPECT_EQ(std::string(s().login_id), std::string("a:") + s().device_id);
  std::string login = s().login_id;
  EXPECT_EQ(std::string(s().token), md5_hex(login + "|" + md5_hex(std::string("velum"))));
}

TEST_F(Settings, save_writes_both_files_whole_and_load_reads_them_back) {
  game_settings_load(&s());
  s().ui_colorblind = 1;
  s().music_volume = 70;
  game_settings_save(&s());
  EXPECT_EQ(read("settings-local.dat").size(), 2848u);
  EXPECT_EQ(read("settings-cloud.dat").size(), 2848u);
  std::string device = s().device_id;
  memset(&s(), 0, sizeof(GameSettings));
  game_settings_load(&s());
  EXPECT_EQ(s().ui_colorblind, 1);
  EXPECT_EQ(s().music_volume, 70);
  EXPECT_EQ(std::string(s().device_id), device) << "the device id is made once and kept";
}

TEST_F(Settings, machine_words_come_from_the_local_file_and_the_rest_from_the_cloud) {
  GameSettings cloud, local;
  memset(&cloud, 0, sizeof cloud);
  memset(&local, 0, sizeof local);
  cloud.version = local.version = 4;
  cloud.music_volume = cloud.sound_volume = 10;
  local.music_volume = local.sound_volume = 80;
  cloud.ui_percent = 30;
  local.ui_percent = 90;
  cloud.ui_scroll = -1;
  write("settings-cloud.dat", &cloud, sizeof cloud);
  write("settings-local.dat", &local, sizeof local);
  game_settings_load(&s());
  EXPECT_EQ(s().music_volume, 80);
  EXPECT_EQ(s().ui_percent, 30);
  EXPECT_EQ(s().ui_scroll, 1) << "forced";
}

TEST_F(Settings, missing_local_file_gives_half_volumes) {
  GameSettings cloud;
  memset(&cloud, 0, sizeof cloud);
  cloud.music_volume = 10;
  write("settings-cloud.dat", &cloud, sizeof cloud);
  game_settings_load(&s());
  EXPECT_EQ(s().music_volume, 50);
}

TEST_F(Settings, short_and_random_files_are_set_aside_and_never_taken) {
  int32_t words[3] = {4, 20, 30};
  write("settings-local.dat", words, sizeof words);
  game_settings_load(&s());
  EXPECT_EQ(s().music_volume, 50) << "a cut file is no record: its words are not taken";
  EXPECT_EQ(s().vsize, 480);
  EXPECT_EQ(read("settings-local.dat.damaged").size(), sizeof words);

  std::mt19937 rng(7);
  std::string noise(5000, 0);
  for (char &c : noise) c = (char)rng();
  write("settings-local.dat", noise.data(), noise.size());
  write("settings-cloud.dat", noise.data(), 1000);
  game_settings_load(&s());
  EXPECT_EQ(s().version, 4);
  for (const char *text : {s().user_name, s().password, s().device_id, s().login_id, s().display_name, s().token,
                           s().server_uid, s().server_name}) {
    EXPECT_LT(strlen(text), 64u) << "every text field ends inside its field";
  }
}

TEST_F(Settings, saved_files_are_private_to_the_user) {
  game_settings_load(&s());
  game_settings_copy_text(s().password, sizeof s().password, "secret");
  EXPECT_TRUE(game_settings_save(&s()));
  EXPECT_EQ(mode("settings-local.dat"), 0600u) << "the record holds the password";
  EXPECT_EQ(mode("settings-cloud.dat"), 0600u);
}

TEST_F(Settings, unwritable_folder_is_skipped) {
  game_settings_load(&s());
  s().music_volume = 20;
  ASSERT_TRUE(game_settings_save(&s()));
  const std::string saved = both();
  s().music_volume = 90;
  setenv("APPDATA", "/proc/none", 1);
  EXPECT_FALSE(game_settings_save(&s())) << "a save that wrote nothing is not a success";
  EXPECT_TRUE(both() == saved) << "the files in the usable folder are untouched";
}

TEST_F(Settings, a_save_cut_short_by_a_full_disk_keeps_the_old_files) {
  game_settings_load(&s());
  s().music_volume = 20;
  ASSERT_TRUE(game_settings_save(&s()));
  const std::string saved = both();
  s().music_volume = 90;
  EXPECT_EQ(with_file_size_limit(1000, [&] { return game_settings_save(&s()); }), 0);
  EXPECT_TRUE(both() == saved) << "neither file is left half written";
  size_t entries = 0;
  for (const auto &e : std::filesystem::directory_iterator(folder)) entries += e.path().extension() == ".dat";
  EXPECT_EQ(entries, 2u) << "no temporary file is left beside them";
  game_settings_load(&s());
  EXPECT_EQ(s().music_volume, 20);
}

TEST_F(Settings, a_damaged_file_loads_every_word_in_its_range) {
  GameSettings bad;
  memset(&bad, 0, sizeof bad);
  bad.version = 4;
  bad.music_volume = 100000;
  bad.sound_volume = -5;
  bad.vres = 30000 << 16 | 20000;
  bad.vfull = -7;
  bad.vsize = 1 << 30;
  bad.logged_in = 9;
  for (int32_t *w = &bad.ui_box; w <= &bad.ui_unnamed[1]; w++) *w = -1000;
  bad.ui_lefty = 1000;
  bad.ui_percent = 5000;
  load_from_both(bad);
  EXPECT_EQ(s().music_volume, 100);
  EXPECT_EQ(s().sound_volume, 0);
  EXPECT_EQ(s().vres, -1) << "an unlisted window size falls back to automatic";
  EXPECT_EQ(s().vfull, 1) << "anything but -1 meant fullscreen, and still does";
  EXPECT_EQ(s().vsize, 960);
  EXPECT_EQ(s().ui_box, -1);
  EXPECT_EQ(s().ui_lefty, 1);
  EXPECT_EQ(s().ui_colorblind, -1);
  EXPECT_EQ(s().ui_percent, 100);
  bad.vsize = 500;
  bad.vres = -3;
  bad.ui_percent = 2;
  load_from_both(bad);
  EXPECT_EQ(s().vsize, 480) << "the nearest listed size";
  EXPECT_EQ(s().vres, -1);
  EXPECT_EQ(s().ui_percent, 5);
}

TEST_F(Settings, valid_words_load_exactly_as_stored) {
  GameSettings good;
  memset(&good, 0, sizeof good);
  good.version = 4;
  good.music_volume = 100;
  good.sound_volume = 0;
  good.vfull = -1;
  good.ui_percent = 35;
  good.ui_double_select = -1;
  good.ui_lefty = 1;
  for (int32_t size : {320, 480, 640, 960}) {
    for (int32_t vres : GAME_SETTINGS_VRES) {
      good.vsize = size;
      good.vres = vres;
      load_from_both(good);
      ASSERT_EQ(s().vres, vres);
      ASSERT_EQ(s().vsize, size);
    }
  }
  EXPECT_EQ(s().music_volume, 100);
  EXPECT_EQ(s().sound_volume, 0);
  EXPECT_EQ(s().vfull, -1);
  EXPECT_EQ(s().ui_percent, 35);
  EXPECT_EQ(s().ui_double_select, -1);
  EXPECT_EQ(s().ui_lefty, 1);
}

TEST_F(Settings, headless_loads_and_saves_nothing) {
  g->headless = 1;
  game_settings_load(&s());
  EXPECT_EQ(s().version, 0);
  game_settings_save(&s());
  EXPECT_EQ(read("settings-local.dat"), "");
}

TEST(Md5Hex, known_digests) {
  EXPECT_EQ(md5_hex(std::string("")), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(md5_hex(std::string("abc")), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(md5_hex(std::string("message digest")), "f96b697d7cb7938d525a2f31aaf161d0");
}

TEST(MacAddress, is_a_real_adapter_or_none) {
  testing::internal::CaptureStdout();
  std::string mac = get_mac_address();
  testing::internal::GetCapturedStdout();
  EXPECT_NE(mac, "00:00:00:00:00:00");
  EXPECT_TRUE(mac == "none" || mac.size() == 17) << mac;
}
