// The log: line forms, the queue before the file opens, and the file's framing.
#include "kez_log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "kez_driver-files.h"
#include "kez_driver-sdl2.h"
#include "kez_log_internal.h"

namespace {

std::string read_all(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string capture_log(const int *port, const char *file, const char *message) {
  log_set_instance(port);
  testing::internal::CaptureStdout();
  log_printf(file, 12, "f", "%s", message);
  std::string out = testing::internal::GetCapturedStdout();
  log_set_instance(nullptr);
  return out;
}

class LogFile : public testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/vantor-log-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    setenv("APPDATA", dir, 1);
    base = dir;
    driver_app_create();
    app_info->app_name[0] = 0;
    _driver_log_deinit();  // a log file another test left open would take this test's lines
  }
  void TearDown() override {
    _driver_log_deinit();
    free(app_info);
    app_info = nullptr;
  }
  std::string path() { return base + "/Test App/kezcode.log"; }
  std::string base;
};

}  // namespace

TEST(LogLine, port_zero_gives_short_form_with_module_name_and_newline) {
  int port = 0;
  EXPECT_EQ(capture_log(&port, "src/game", "hello"), "[game:f:12] hello\n");
  EXPECT_EQ(capture_log(&port, "src/game.cc", "hello\n"), "[game:f:12] hello\n");
  EXPECT_EQ(capture_log(&port, "/w/src/game_settings.cc", ""), "[game_settings:f:12] \n");
  EXPECT_EQ(capture_log(&port, "a.b/c", "x"), "[c:f:12] x\n") << "a dot in a folder name is not an extension";
}

TEST(LogLine, port_gives_long_form_with_instance_and_time) {
  int port = 27015;
  std::string line = capture_log(&port, "src/game", "hello");
  EXPECT_TRUE(std::regex_match(line, std::regex(R"(\[27015\]\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\]\[game:f:12\] hello\n)")))
      << line;
}

TEST(LogLine, no_game_gives_instance_minus_one) {
  std::string line = capture_log(nullptr, "x.cc", "m");
  EXPECT_EQ(line.rfind("[-1][", 0), 0u) << line;
}

TEST(LogLine, driver_lines_keep_the_short_form_whatever_the_port) {
  int port = 27015;
  log_set_instance(&port);
  testing::internal::CaptureStdout();
  driver_log_printf("kezcode/util/kez_driver-sdl2.cc", 7, "g", "x=%d", 3);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "[kez_driver-sdl2:g:7] x=3\n");
  log_set_instance(nullptr);
}

TEST(LogLine, outside_bytes_stay_only_when_they_are_printable_utf8) {
  EXPECT_EQ(log_escape("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x9a\x80", 64), "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x9a\x80");
  EXPECT_EQ(log_escape("a\001b\177", 64), "a\\x01b\\x7f");
  // A stray continuation, a cut sequence, a surrogate, an overlong form and a code past U+10FFFF.
  EXPECT_EQ(log_escape("\x80 \xc3( \xed\xa0\x80 \xc0\xaf \xf4\x90\x80\x80", 64),
            "\\x80 \\xc3( \\xed\\xa0\\x80 \\xc0\\xaf \\xf4\\x90\\x80\\x80");
  EXPECT_EQ(log_escape("ab\xc3\xa9", 3), "ab\\xc3 ... (4 bytes)") << "a character cut by the limit";
}

TEST_F(LogFile, lines_before_the_file_opens_reach_it_in_order) {
  int port = 0;
  log_set_instance(&port);
  testing::internal::CaptureStdout();
  LOG_PRINTF("first");
  LOG_PRINTF("second");
  const int pending = _driver_log_pending();
  snprintf(app_info->app_name, sizeof app_info->app_name, "Test App");
  _driver_log_init();
  LOG_PRINTF("third");
  testing::internal::GetCapturedStdout();
  log_set_instance(nullptr);
  EXPECT_GE(pending, 2);
  _driver_log_deinit();
  std::string text = read_all(path());
  EXPECT_EQ(text.rfind("[_driver_log_init]\n", 0), 0u);
  size_t a = text.find("] first"), b = text.find("] second"), c = text.find("] third");
  ASSERT_NE(a, std::string::npos);
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  EXPECT_EQ(text.substr(text.size() - 22), "\n[_driver_log_deinit]\n");
  EXPECT_EQ(_driver_log_pending(), 0);
}

TEST_F(LogFile, unwritable_user_folder_caps_the_queue) {
  setenv("APPDATA", "/proc/no-such-folder", 1);
  snprintf(app_info->app_name, sizeof app_info->app_name, "Test App");
  for (int i = 0; i < 10000; i++) _driver_log_write("line %d\n", i);
  EXPECT_LE(_driver_log_pending(), 4096);
  EXPECT_GT(_driver_log_pending(), 0);
}

TEST_F(LogFile, each_run_starts_a_new_file) {
  snprintf(app_info->app_name, sizeof app_info->app_name, "Test App");
  _driver_log_write("old run\n");
  _driver_log_init();
  _driver_log_write("new run\n");
  _driver_log_deinit();
  std::string text = read_all(path());
  EXPECT_EQ(text.find("old run"), std::string::npos);
  EXPECT_NE(text.find("new run"), std::string::npos);
}

TEST_F(LogFile, the_file_stops_growing_at_its_bound_and_says_so_once) {
  snprintf(app_info->app_name, sizeof app_info->app_name, "Test App");
  _driver_log_init();
  const std::string mib(1 << 20, 'x');
  for (int i = 0; i < 80; i++) _driver_log_write("%s\n", mib.c_str());
  _driver_log_deinit();
  const std::string text = read_all(path());
  EXPECT_LE(text.size(), (64u << 20) + 200);
  EXPECT_GT(text.size(), (63u << 20));
  const std::string notice = "the log file has reached 64 MiB: later lines go to standard output only\n";
  const size_t at = text.find(notice);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(text.find(notice, at + 1), std::string::npos) << "said once";
  EXPECT_EQ(text.substr(text.size() - 22), "\n[_driver_log_deinit]\n");
}
