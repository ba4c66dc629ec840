// The real headless server running hostile mods: each ends with an error in the log and the server
// runs on, a call past the time limit ends, and a signal ends the server within two seconds even
// while a mod is inside a long call.
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
  // The hoard grows in small pieces for 10 ms of each frame, well within the time limit, until the
  // memory cap: fresh memory can be slow to come by.
  std::string path = mod("hostile.lua", R"lua(
local hoard = {}
local steps = {
  function() local s = ("x"):rep(3.3e9) end,
  function() w2_param_set("k", ("x"):rep(1.2e9)) end,
  function()
    local start = os.clock()
    repeat hoard[#hoard + 1] = ("x"):rep(65536) .. #hoard until os.clock() - start > 0.01
    return "again"
  end,
  function() string.find(("a"):rep(3000), ("a-"):rep(12) .. "b") end,
}
local step = 1
function _init() end
function _loop(dt)
  if not steps[step] then return end
  local ok, result = pcall(steps[step])
  if ok and result == "again" then return end
  print("step " .. step .. ": " .. tostring(result))
  step = step + 1
end
)lua");
  GameProcess p = start(path, "find: time limit exceeded (100 ms)");
  std::string out = file_text(p.output);
  EXPECT_NE(out.find("step 1: not enough memory"), std::string::npos) << out;
  EXPECT_NE(out.find("step 2: not enough memory"), std::string::npos);
  EXPECT_NE(out.find("step 3: not enough memory"), std::string::npos);
  EXPECT_EQ(kill(p.pid, 0), 0) << "the server is still running";
  stop(p, SIGTERM);
}

TEST_F(HostileMod, a_signal_ends_the_server_while_a_mod_is_inside_a_long_call) {
  // The comparisons would go on for ever: the time limit or the signal, whichever comes first, ends
  // the call at the comparison, and the signal ends the server.
  std::string path = mod("spin.lua", R"lua(
function _init() end
function _loop(dt)
  local a = ("x"):rep(65536)
  local b = a:sub(2) .. "y"
  print("spinning")
  while a ~= b do end
end
)lua");
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    GameProcess p = start(path, "spinning");
    stop(p, signal);
    const std::string log = game_log(p);
    EXPECT_TRUE(log.find("spin.lua\"]:7: game is quitting") != std::string::npos ||
                log.find("spin.lua\"]:7: time limit exceeded (100 ms)") != std::string::npos)
        << log;
  }
}

TEST_F(HostileMod, a_call_past_the_time_limit_ends_and_the_server_says_its_calls_ran_long) {
  // Little work for the budget, seconds of processor time a frame.
  std::string path = mod("slow.lua", R"lua(
function _init() end
function _loop(dt)
  local deep = {}
  for i = 1, 2e6 do pcall(coroutine.resume, coroutine.create(function() end)) deep = {deep} end
  print("a whole frame's call")
end
)lua");
  GameProcess p = start(path, "slow.lua\"]:5: time limit exceeded (100 ms)");
  EXPECT_TRUE(wait_for_text(p.output, "calls into the mod took 20 ms or more of processor time", START_MS));
  EXPECT_EQ(file_text(p.output).find("a whole frame's call"), std::string::npos);
  stop(p, SIGTERM);
}

TEST_F(HostileMod, a_mod_file_with_a_nul_byte_is_refused) {
  std::string path = mod("nul.lua", std::string("print('before nul')\0print('after nul')", 39));
  GameProcess p = game_start({"-headless", "-port", std::to_string(free_udp_port()), "-mod", path});
  EXPECT_EQ(game_wait(p, START_MS), 255) << "a server whose mod cannot load does not serve";
  const std::string out = file_text(p.output);
  EXPECT_NE(out.find("NUL byte in " + folder + "/nul.lua"), std::string::npos) << out;
  EXPECT_EQ(out.find("before nul"), std::string::npos);
}
