// The real headless server running hostile mods: each ends with an error in the log and the server
// runs on, and a signal ends the server within two seconds even while a mod is inside a long call.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "e2e_process.h"

static const int START_MS = 30000;
static const int QUIT_MS = 2000;

namespace {

// Hostile mod files, each run by a real headless server.
class HostileMod : public ModFolderTest {
 protected:
  // Starts the server on the mod and waits until its output holds text.
  GameProcess start(const std::string &path, const std::string &text) {
    GameProcess p = game_start({"-headless", "-port", std::to_string(free_udp_port()), "-mod", path});
    EXPECT_TRUE(wait_for_text(p.output, text, START_MS)) << file_text(p.output);
    return p;
  }
  // Signals the server and checks that it ends in time, with status 0 and a complete log.
  void stop(GameProcess &p, int signal) {
    kill(p.pid, signal);
    EXPECT_EQ(game_wait(p, QUIT_MS), 0) << "the server must end within two seconds";
    std::string log = game_log(p);
    ASSERT_GE(log.size(), 22u);
    EXPECT_EQ(log.substr(log.size() - 22), "\n[_driver_log_deinit]\n");
  }
};

}  // namespace

TEST_F(HostileMod, runaway_patterns_memory_and_arguments_fail_in_the_log_and_the_server_runs_on) {
  std::string path = mod("hostile.lua", R"lua(
local steps = {
  function() local t = {} for i = 1, 1e9 do t[i] = ("x"):rep(1e6) .. i end end,
  function() local s = ("x"):rep(3.3e9) end,
  function() w2_param_set("k", ("x"):rep(1.2e9)) end,
  function() string.find(("a"):rep(3000), ("a-"):rep(12) .. "b") end,
}
local frame = 0
function _init() end
function _loop(dt)
  frame = frame + 1
  if steps[frame] then print("step " .. frame .. ": " .. select(2, pcall(steps[frame]))) end
end
)lua");
  GameProcess p = start(path, "find: instruction limit exceeded");
  std::string out = file_text(p.output);
  EXPECT_NE(out.find("step 1: not enough memory"), std::string::npos) << out;
  EXPECT_NE(out.find("step 2: not enough memory"), std::string::npos);
  EXPECT_NE(out.find("step 3: not enough memory"), std::string::npos);
  EXPECT_EQ(kill(p.pid, 0), 0) << "the server is still running";
  stop(p, SIGTERM);
}

TEST_F(HostileMod, a_signal_ends_the_server_while_a_mod_is_inside_a_long_call) {
  // Each comparison reads 32 MiB, so the call would outlast the budget's instructions by days.
  std::string path = mod("spin.lua", R"lua(
function _init() end
function _loop(dt)
  local a = ("x"):rep(32 * 1024 * 1024)
  local b = a:sub(2) .. "y"
  print("spinning")
  while a ~= b do end
end
)lua");
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    GameProcess p = start(path, "spinning");
    stop(p, signal);
    EXPECT_NE(game_log(p).find("spin.lua\"]:7: game is quitting"), std::string::npos) << game_log(p);
  }
}

TEST_F(HostileMod, a_mod_file_with_a_nul_byte_is_refused) {
  std::string path = mod("nul.lua", std::string("print('before nul')\0print('after nul')", 39));
  GameProcess p = start(path, "NUL byte in " + folder + "/nul.lua");
  EXPECT_EQ(file_text(p.output).find("before nul"), std::string::npos);
  stop(p, SIGTERM);
}
