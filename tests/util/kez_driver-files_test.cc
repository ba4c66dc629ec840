// Files and folders: the user folder's fallbacks, data paths, whole-file reads and device queries.
#include "kez_driver-files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "file_size_limit.h"
#include "kez_driver-files_internal.h"
#include "kez_driver-sdl2.h"
#include "kez_driver-steam.h"

namespace {

class Files : public testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/vantor-files-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    base = dir;
    saved_appdata = getenv("APPDATA") ? getenv("APPDATA") : "";
    setenv("APPDATA", dir, 1);
    driver_app_create();
    snprintf(app_info->app_name, sizeof app_info->app_name, "App");
  }
  void TearDown() override {
    setenv("APPDATA", saved_appdata.c_str(), 1);
    free(app_info);
    app_info = nullptr;
  }
  void write(const std::string &path, const std::string &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  // The names in the folder, so a test can see that no temporary file stayed behind.
  static std::vector<std::string> names(const std::string &folder) {
    std::vector<std::string> out;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) out.push_back(entry.path().filename());
    return out;
  }
  static unsigned mode(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (unsigned)(st.st_mode & 0777) : 0u;
  }
  std::string base, saved_appdata;
};

}  // namespace

TEST_F(Files, user_dir_falls_back_from_appdata_to_xdg_to_home) {
  EXPECT_EQ(std::string(driver_user_dir()), base + "/App");
  unsetenv("APPDATA");
  setenv("XDG_DATA_HOME", (base + "/xdg").c_str(), 1);
  EXPECT_EQ(std::string(driver_user_dir()), base + "/xdg/App");
  unsetenv("XDG_DATA_HOME");
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", (base + "/home").c_str(), 1);
  EXPECT_EQ(std::string(driver_user_dir()), base + "/home/.local/share/App");
  struct stat st;
  EXPECT_EQ(stat((base + "/home/.local/share/App").c_str(), &st), 0) << "the folder and its parents are made";
  setenv("HOME", home.c_str(), 1);
}

TEST_F(Files, user_dir_without_app_name_is_the_working_folder) {
  app_info->app_name[0] = 0;
  EXPECT_STREQ(driver_user_dir(), ".");
  EXPECT_STREQ(driver_data_dir(), "../data");
}

// Run from the build's test folder, a base made up from nothing would leave the files there.
TEST_F(Files, without_any_home_no_user_file_is_kept) {
  const std::string home = getenv("HOME") ? getenv("HOME") : "";
  unsetenv("APPDATA");
  unsetenv("XDG_DATA_HOME");
  unsetenv("HOME");
  EXPECT_STREQ(driver_user_dir(), "");
  EXPECT_EQ(driver_user_path("user.dat"), "");
  EXPECT_FALSE(driver_user_write("user.dat", "x", 1));
  setenv("HOME", home.c_str(), 1);
  EXPECT_FALSE(std::filesystem::exists("user.dat"));
  EXPECT_FALSE(std::filesystem::exists(".local"));
}

TEST_F(Files, data_path_prefers_a_readable_override) {
  EXPECT_STREQ(driver_data_path("x.png"), "./data/x.png");
  snprintf(app_info->data_override, sizeof app_info->data_override, "%s", base.c_str());
  EXPECT_EQ(std::string(driver_data_path("missing.png")), "./data/missing.png");
  write(base + "/here.png", "x");
  EXPECT_EQ(std::string(driver_data_path("here.png")), base + "/here.png");
}

TEST_F(Files, whole_file_reads_give_empty_results_for_missing_files) {
  size_t n = 99;
  EXPECT_EQ(driver_file_alloc((base + "/none").c_str(), &n), nullptr);
  EXPECT_EQ(n, 0u);
  write(base + "/empty", "");
  EXPECT_EQ(driver_file_alloc((base + "/empty").c_str(), &n), nullptr);
  EXPECT_EQ(driver_file_string((base + "/none").c_str()), "");
  EXPECT_EQ(driver_file_mtime((base + "/none").c_str()), 0);
  write(base + "/bin", std::string("a\0b", 3));
  EXPECT_EQ(driver_file_string((base + "/bin").c_str()), std::string("a\0b", 3));
  EXPECT_GT(driver_file_mtime((base + "/bin").c_str()), 0);
  char buf[2];
  EXPECT_EQ(driver_file_read((base + "/bin").c_str(), buf, 2), 2u);
}

TEST_F(Files, cloud_files_live_in_the_user_folder_without_a_platform) {
  EXPECT_EQ(driver_cloud_size("mod.bin"), 0);
  EXPECT_EQ(driver_cloud_read_string("mod.bin"), "");
  EXPECT_TRUE(driver_cloud_write("mod.bin", "abc\0d", 5));
  EXPECT_TRUE(driver_cloud_exists("mod.bin"));
  EXPECT_EQ(driver_cloud_size("mod.bin"), 5);
  EXPECT_EQ(driver_cloud_read_string("mod.bin"), std::string("abc\0d", 5));
  struct stat st;
  EXPECT_EQ(stat((base + "/App/mod.bin").c_str(), &st), 0);
}

TEST_F(Files, a_replaced_file_is_whole_and_private_to_its_owner) {
  const std::string path = base + "/user.dat";
  write(path, "old");
  chmod(path.c_str(), 0644);
  EXPECT_TRUE(driver_file_replace(path.c_str(), "new\0content", 11));
  EXPECT_EQ(driver_file_string(path.c_str()), std::string("new\0content", 11));
  EXPECT_EQ(mode(path), 0600u) << "the file may hold a password";
  EXPECT_TRUE(driver_file_replace(path.c_str(), "", 0));
  EXPECT_EQ(driver_file_string(path.c_str()), "");
  EXPECT_EQ(names(base), std::vector<std::string>{"user.dat"});
}

TEST_F(Files, a_write_that_fails_part_way_keeps_the_old_file) {
  const std::string path = base + "/user.dat", old(4000, 'o');
  write(path, old);
  const std::string fresh(8000, 'n');
  EXPECT_EQ(with_file_size_limit(1000, [&] { return driver_file_replace(path.c_str(), fresh.data(), fresh.size()); }),
            0)
      << "a full disk is reported as a failure";
  const std::string kept = driver_file_string(path.c_str());
  EXPECT_EQ(kept.size(), old.size());
  EXPECT_TRUE(kept == old) << "the old bytes stay as they were";
  EXPECT_EQ(names(base), std::vector<std::string>{"user.dat"}) << "the partial temporary file is removed";

  EXPECT_FALSE(driver_file_replace((base + "/missing/user.dat").c_str(), "x", 1));
  setenv("APPDATA", "/proc/none", 1);
  EXPECT_FALSE(driver_user_write("user.dat", "x", 1)) << "a user folder that cannot be made";
}

TEST_F(Files, the_start_up_sweep_removes_the_temporary_file_a_save_makes) {
  std::string temp = _driver_save_temp((std::string(driver_user_dir()) + "/settings-local.dat").c_str());
  close(mkstemp(&temp[0]));
  driver_user_sweep();
  EXPECT_FALSE(std::filesystem::exists(temp)) << temp;
}

TEST(GlVersion, parses_up_to_three_numbers) {
  EXPECT_EQ(driver_gl_version_parse("1.4"), 65536 + 1024);
  EXPECT_EQ(driver_gl_version_parse("1.3"), 65536 + 768);
  EXPECT_EQ(driver_gl_version_parse("2.1.2 NVIDIA 1.2"), 2 * 65536 + 256 + 2);
  EXPECT_EQ(driver_gl_version_parse("4.4.0 build 7"), 4 * 65536 + 1024);
  EXPECT_EQ(driver_gl_version_parse("4.5 (Compatibility Profile) Mesa 22.3.6"), 4 * 65536 + 5 * 256);
  EXPECT_EQ(driver_gl_version_parse(""), 0);
  EXPECT_EQ(driver_gl_version_parse(nullptr), 0);
}

TEST(GlVersion, is_zero_without_a_context) { EXPECT_EQ(driver_gl_version(), 0); }

TEST(Mobile, tablets_count_as_small_up_to_1024_pixels) {
  driver_app_create();
  snprintf(app_info->device, sizeof app_info->device, "tablet");
  app_info->width = 1024;
  app_info->height = 768;
  app_info->scale = 1;
  EXPECT_TRUE(driver_is_mobile());
  app_info->width = 2048;
  app_info->height = 1536;
  EXPECT_FALSE(driver_is_mobile());
  snprintf(app_info->device, sizeof app_info->device, "phone");
  EXPECT_TRUE(driver_is_mobile());
  snprintf(app_info->device, sizeof app_info->device, "desktop");
  EXPECT_FALSE(driver_is_mobile());
  free(app_info);
  app_info = nullptr;
}
