// The real executable: start-up, the log file, the window and clean shutdown.
#include <gtest/gtest.h>
#include <signal.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "e2e_process.h"

static const int WAIT_MS = 30000;

TEST(GameStart, headless_without_mod_exits_255_before_any_frame) {
  GameProcess p = game_start({"-headless"});
  EXPECT_EQ(game_wait(p, WAIT_MS), 255);
  std::string log = game_log(p);
  EXPECT_EQ(log.rfind("[_driver_log_init]\n", 0), 0u) << log;
  EXPECT_NE(log.find("error -mod $FNAME must be provided when running in -headless mode"), std::string::npos);
  EXPECT_NE(file_text(p.output).find("error -mod $FNAME must be provided"), std::string::npos);
}

namespace {

// A start-up with mod files of the test's own.
class GameStartMod : public ModFolderTest {};

// Starts every game at once; each must end with status 255, its reason alone on standard error and in the log.
void expect_refused(const std::vector<std::pair<std::vector<std::string>, std::string>> &cases) {
  std::vector<GameProcess> games;
  for (const auto &c : cases) games.push_back(game_start(c.first, {}, RLIM_INFINITY, true));
  for (size_t i = 0; i < cases.size(); i++) {
    EXPECT_EQ(game_wait(games[i], WAIT_MS), 255) << cases[i].second;
    EXPECT_EQ(file_text(games[i].errors), "vantor: " + cases[i].second + "\n") << file_text(games[i].output);
    EXPECT_NE(game_log(games[i]).find("error " + cases[i].second + "\n"), std::string::npos) << game_log(games[i]);
  }
}

}  // namespace

TEST_F(GameStartMod, a_headless_server_that_cannot_serve_exits_255_with_one_line_saying_why) {
  const std::string broken = mod("broken.lua", "function _init( end");
  const std::string failing = mod("failing.lua", "function _init() local x = nil .. 1 end");
  const std::string port = std::to_string(free_udp_port());
  GameProcess first = game_start({"-headless", "-port", port, "-mod", "mod_server.lua"});
  ASSERT_TRUE(wait_for_text(first.output, "hosting on port", WAIT_MS)) << file_text(first.output);
  expect_refused({
      {{"-headless", "-mod", folder + "/missing.lua"}, "cannot start the mod " + folder + "/missing.lua: file missing"},
      {{"-headless", "-mod", broken},
       "cannot start the mod " + broken + ": [string \"broken.lua\"]:1: <name> or '...' expected near 'end'"},
      {{"-headless", "-mod", failing},
       "cannot start the mod " + failing + ": [string \"failing.lua\"]:1: attempt to concatenate a nil value"},
      {{"-headless", "-port", port, "-mod", "mod_server.lua"},
       "cannot host on port " + port + ": another program is using it"},
      {{"-headless"}, "-mod $FNAME must be provided when running in -headless mode"},
  });
  kill(first.pid, SIGTERM);
  EXPECT_EQ(game_wait(first, WAIT_MS), 0);
}

// A folder to start the game in whose data folder links to the build's files, except the one named:
// it holds the text instead, or is left out when that is null.
static std::string install_with(const std::string &name, const char *text) {
  char dir[] = "/tmp/vantor-e2e-install-XXXXXX";
  EXPECT_TRUE(mkdtemp(dir));
  const std::string data = std::string(dir) + "/data/";
  std::filesystem::create_directory(data);
  for (const auto &entry : std::filesystem::directory_iterator(std::string(VB_BINARY_DIR) + "/data"))
    if (entry.path().filename() != name)
      std::filesystem::create_symlink(entry.path(), data + entry.path().filename().c_str());
  if (text) std::ofstream(data + name) << text;
  return dir;
}

TEST(GameStart, a_damaged_install_is_told_on_standard_error_headless_and_on_a_page_windowed) {
  const std::string empty = install_with("", nullptr), no_api = install_with("mod_api.lua", nullptr),
                    bad_util = install_with("mod_util.lua", "end"),
                    bad_main = install_with("Quorvex.lua", "function _init( end");
  std::filesystem::remove_all(empty + "/data");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {empty, "cannot find the data folder " + empty + "/data: start the game from the folder that holds it"},
      {no_api,
       "cannot start the mod ./data/mod_server.lua: the library file ./data/mod_api.lua cannot be read: No "
       "such file or directory"},
      {bad_util,
       "cannot start the mod ./data/mod_server.lua: the library file ./data/mod_util.lua does not run: "
       "[string \"mod_util.lua\"]:1: <eof> expected near 'end'"}};
  for (const auto &c : cases) {
    GameProcess p = game_start({"-headless", "-mod", "mod_server.lua"}, {}, RLIM_INFINITY, true, c.first);
    EXPECT_EQ(game_wait(p, WAIT_MS), 255) << c.second;
    EXPECT_EQ(file_text(p.errors), "vantor: " + c.second + "\n") << file_text(p.output);
  }
  GameProcess p = game_start({}, {}, RLIM_INFINITY, false, bad_main);
  EXPECT_TRUE(wait_for_text(p.output, "stack:0:menus_error\nstack:1:menus_main", WAIT_MS)) << file_text(p.output);
  kill(p.pid, SIGTERM);
  EXPECT_EQ(game_wait(p, WAIT_MS), 0);
  EXPECT_NE(game_log(p).find("The game cannot start its main script ./data/Quorvex.lua: [string \"Quorvex.lua\"]:1: "
                             "<name> or '...' expected near 'end'. Its files are damaged"),
            std::string::npos)
      << game_log(p);
  for (const std::string &dir : {empty, no_api, bad_util, bad_main}) std::filesystem::remove_all(dir);
}

TEST(GameStart, a_headless_server_refuses_a_port_that_is_not_a_whole_number_from_1_to_65535) {
  std::vector<std::pair<std::vector<std::string>, std::string>> cases;
  for (std::string port : {"0", "abc", "1.5", "4294967297", "33464x", "-5", "", "65536", " 80", "1\n2"})
    cases.push_back(
        {{"-headless", "-port", port, "-mod", "mod_server.lua"},
         "-port \"" + (port == "1\n2" ? "1\\x0a2" : port) + "\" is not a port: a whole number from 1 to 65535"});
  expect_refused(cases);
}

TEST(GameStart, log_holds_banner_and_start_up_lines_in_order) {
  GameProcess p = game_start({"-headless", "-port", std::to_string(free_udp_port()), "-mod", "mod_server.lua"});
  // The headless server runs until it is stopped; SIGTERM must end it cleanly.
  ASSERT_TRUE(wait_for_text(p.output, "sizeof(PlanetStyleOverlay)", WAIT_MS)) << file_text(p.output);
  kill(p.pid, SIGTERM);
  EXPECT_EQ(game_wait(p, WAIT_MS), 0);
  std::string log = game_log(p);
  size_t init = log.find("[_driver_log_init]");
  size_t banner = log.find("DO NOT SHARE LOG FILES WITH ANYONE BUT THE DEVELOPERS");
  size_t version = log.find("VERSION: brevane2.4-Desktop-Win32-Steamworks");
  size_t sizes = log.find("sizeof(vantor.Item) = 544 b");
  EXPECT_EQ(init, 0u);
  EXPECT_LT(init, banner);
  EXPECT_LT(banner, version);
  EXPECT_LT(version, sizes);
  EXPECT_NE(sizes, std::string::npos);
  ASSERT_GE(log.size(), 22u);
  EXPECT_EQ(log.substr(log.size() - 22), "\n[_driver_log_deinit]\n");
}

TEST(GameStart, port_gives_long_log_lines_and_no_port_the_short_form) {
  GameProcess p = game_start({"-headless", "-port", "27015"});
  EXPECT_EQ(game_wait(p, WAIT_MS), 255);
  std::string log = game_log(p);
  std::regex long_form(R"(\[27015\]\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\]\[game:Game::init:\d+\] sizeof\(game\) = \d+k)");
  EXPECT_TRUE(std::regex_search(log, long_form)) << log;

  GameProcess q = game_start({"-headless"});
  EXPECT_EQ(game_wait(q, WAIT_MS), 255);
  std::regex short_form(R"(\n\[game:Game::init:\d+\] sizeof\(game\) = \d+k)");
  EXPECT_TRUE(std::regex_search(game_log(q), short_form)) << game_log(q);
}

TEST(GameStart, windowed_opens_a_gl_window_and_quits_when_it_is_closed) {
  GameProcess p = game_start({});
  unsigned long window = x_wait_window(p, 20);
  ASSERT_NE(window, 0u) << file_text(p.output);
  ASSERT_TRUE(x_close_window(window));
  EXPECT_EQ(game_wait(p, WAIT_MS), 0) << file_text(p.output);
  std::string log = game_log(p);
  EXPECT_NE(log.find("init_video: "), std::string::npos);
  EXPECT_NE(log.find("GL_RED_SIZE:8"), std::string::npos) << "a software 24-bit GL visual must be found";
  EXPECT_NE(log.find("_driver_steam_api: 0"), std::string::npos) << "no platform client on this system";
  std::regex drawable(R"(window: [1-9]\d* x [1-9]\d*\. drawable: [1-9]\d* x [1-9]\d*)");
  EXPECT_TRUE(std::regex_search(log, drawable)) << log;
  EXPECT_NE(log.find("[_driver_log_deinit]"), std::string::npos);
}

TEST(GameStart, windowed_quits_cleanly_on_sigterm) {
  GameProcess p = game_start({});
  ASSERT_NE(x_wait_window(p, 20), 0u) << file_text(p.output);
  kill(p.pid, SIGTERM);
  EXPECT_EQ(game_wait(p, WAIT_MS), 0);
  std::string log = game_log(p);
  EXPECT_EQ(log.substr(log.size() - 22), "\n[_driver_log_deinit]\n");
}

TEST(GameStart, command_line_account_survives_the_settings_load) {
  GameProcess p = game_start({"-name", "bob", "-passwd", "pw"});
  unsigned long window = x_wait_window(p, 20);
  ASSERT_NE(window, 0u) << file_text(p.output);
  ASSERT_TRUE(x_close_window(window));
  ASSERT_EQ(game_wait(p, WAIT_MS), 0);
  std::string cloud = file_text(p.appdata + "/Vantor Brevane/settings-cloud.dat");
  ASSERT_EQ(cloud.size(), 2848u);
  EXPECT_STREQ(cloud.data() + 263 * 4, "bob");
  EXPECT_STREQ(cloud.data() + 311 * 4, "g:bob");
  EXPECT_STREQ(cloud.data() + 327 * 4, "bob");
}

TEST(GameStart, start_removes_the_leftovers_of_its_own_saves_and_nothing_of_the_players) {
  char dir[] = "/tmp/vantor-e2e-leftovers-XXXXXX";
  ASSERT_TRUE(mkdtemp(dir));
  const std::string folder = std::string(dir) + "/Vantor Brevane";
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  auto put = [&](const std::string &name, mode_t mode) {
    std::ofstream(folder + "/" + name) << "bytes";
    chmod((folder + "/" + name).c_str(), mode);
  };
  put(".settings-local.dat.vantor-save-Ab12Cd", 0600);
  put(".mods-quorvex.bin.vantor-save-x9Y8z7", 0600);
  // The player's own copies: cp keeps a private file's 0600, and under umask 077 every file has it.
  std::set<std::string> own = {"settings-local.dat",    "settings-local.dat.backup",
                               "network-id.txt.before", "settings-cloud.dat.draft1",
                               "notes.Qw34Er",          ".settings-local.dat.vantor-save-"};
  for (const std::string &name : own) put(name, 0600);
  GameProcess p = game_start({"-headless"}, {{"APPDATA", dir}});
  EXPECT_EQ(game_wait(p, WAIT_MS), 255);
  std::set<std::string> left;
  for (const auto &entry : std::filesystem::directory_iterator(folder)) left.insert(entry.path().filename());
  own.insert("kezcode.log");
  EXPECT_EQ(left, own);
  EXPECT_NE(
      file_text(folder + "/kezcode.log").find(".settings-local.dat.vantor-save-Ab12Cd, left by an interrupted save"),
      std::string::npos);
  std::filesystem::remove_all(dir);
}

TEST(GameStart, a_hang_up_ends_a_first_run_cleanly_with_its_settings_saved) {
  GameProcess p = game_start({});
  ASSERT_NE(x_wait_window(p, 20), 0u) << file_text(p.output);
  kill(p.pid, SIGHUP);
  EXPECT_EQ(game_wait(p, WAIT_MS), 0) << file_text(p.output);
  for (const char *name : {"settings-local.dat", "settings-cloud.dat"})
    EXPECT_EQ(file_text(p.appdata + "/Vantor Brevane/" + name).size(), 2848u) << name;
  std::string log = game_log(p);
  ASSERT_GE(log.size(), 22u);
  EXPECT_EQ(log.substr(log.size() - 22), "\n[_driver_log_deinit]\n");
}

TEST(GameStart, a_server_started_under_nohup_keeps_ignoring_hang_ups) {
  struct sigaction ignore = {}, old = {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGHUP, &ignore, &old), 0);  // inherited by the game, as nohup hands it on
  GameProcess p = game_start({"-headless", "-port", std::to_string(free_udp_port()), "-mod", "mod_server.lua"});
  sigaction(SIGHUP, &old, nullptr);
  ASSERT_TRUE(wait_for_text(p.output, "sizeof(PlanetStyleOverlay)", WAIT_MS)) << file_text(p.output);
  std::string status = file_text("/proc/" + std::to_string(p.pid) + "/status");
  size_t at = status.find("SigIgn:\t");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(std::stoull(status.substr(at + 8, 16), nullptr, 16) & (1ull << (SIGHUP - 1)), 1ull << (SIGHUP - 1));
  kill(p.pid, SIGTERM);
  EXPECT_EQ(game_wait(p, WAIT_MS), 0);
}

TEST(GameStart, a_server_runs_on_when_its_log_reaches_the_file_size_limit) {
  const rlim_t limit = 512;  // less than the start-up lines alone
  GameProcess p =
      game_start({"-headless", "-port", std::to_string(free_udp_port()), "-mod", "mod_server.lua"}, {}, limit);
  // The console lines go out one at a time, so the output file is the first to reach the limit.
  ASSERT_TRUE(wait_for_size(p.output, limit, WAIT_MS)) << file_text(p.output);
  kill(p.pid, SIGTERM);
  EXPECT_EQ(game_wait(p, WAIT_MS), 0) << "a write past the limit fails; it does not end the game";
}
