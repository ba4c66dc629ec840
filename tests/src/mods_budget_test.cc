// The limits of a running mod: the memory cap, work outside Lua code charged to the budget and
// noticed at once, and a quit request ending a long call.
#include "mods_budget.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <lua.hpp>

#include <string>

#include "mods_budget_internal.h"
#include "mods_library.h"

namespace {

// A bare Lua state on the mod allocator and library, running chunks as the engine does. The time
// limit is out of the way of the tests of work and memory: it stops a slow machine's calls first.
class ModsBudget : public testing::Test {
 protected:
  void SetUp() override {
    time_ms = _mods_budget_time_set(3600000);
    open(MODS_BUDGET_MEMORY);
  }
  void TearDown() override {
    if (L) lua_close(L);
    _mods_budget_quit_clear();
    _mods_budget_time_set(time_ms);
  }
  void open(size_t cap) {
    if (L) lua_close(L);
    memory.cap = cap;
    L = lua_newstate(mods_budget_alloc, &memory);
    luaL_openlibs(L);
    mods_library_open(L);
  }
  // The chunk's error, "" when it ran through.
  std::string run(const std::string &code) {
    lua_State *previous = mods_budget_enter(L);
    std::string error;
    if (luaL_dostring(L, code.c_str()) != LUA_OK) {
      error = lua_tostring(L, -1);
      lua_pop(L, 1);
    }
    mods_budget_leave(previous);
    return error;
  }
  double number(const char *global) {
    lua_getglobal(L, global);
    double n = lua_tonumber(L, -1);
    lua_pop(L, 1);
    return n;
  }

  ModsMemory memory;
  lua_State *L = nullptr;
  int time_ms = 0;
};

int _quit_now(lua_State *) {
  mods_budget_quit();
  return 0;
}

int _signal_now(lua_State *) {
  raise(SIGUSR1);
  return 0;
}

void _on_signal(int) { mods_budget_quit(); }

}  // namespace

TEST_F(ModsBudget, memory_past_the_cap_fails_and_the_state_goes_on) {
  open(8 << 20);
  EXPECT_NE(run("s = ('x'):rep(16 * 1024 * 1024)").find("not enough memory"), std::string::npos);
  EXPECT_NE(run("local t = {} for i = 1, 1e7 do t[i] = {} end").find("not enough memory"), std::string::npos);
  EXPECT_LE(memory.used, memory.cap);
  EXPECT_EQ(run("s = ('y'):rep(1024 * 1024)"), "") << "what the failed chunk held is garbage now";
  lua_close(L);
  L = nullptr;
  EXPECT_EQ(memory.used, 0u) << "every byte is accounted for";
  EXPECT_EQ(memory.blocks, 0u);
}

TEST_F(ModsBudget, a_refused_allocation_costs_a_collection) {
  int64_t old = _mods_budget_limit_set(20000000);
  open(16 << 20);
  // At the cap, each refused allocation makes Lua collect the whole heap: a pcall loop of them
  // must run out of budget, not go on for hours.
  std::string error = run("s = ('x'):rep(4 * 1024 * 1024) t = {} pcall(function() while true do t[#t + 1] = {} end end)"
                          " while true do pcall(function() local big = s .. s end) end");
  EXPECT_NE(error.find("instruction limit exceeded"), std::string::npos) << error;
  _mods_budget_limit_set(old);
}

TEST_F(ModsBudget, allocation_past_the_budget_stops_the_next_instruction) {
  int64_t old = _mods_budget_limit_set(200000);
  // Each round allocates a megabyte, 65536 units, in a handful of instructions: the hook must not
  // wait for its next thousand instructions.
  for (const char *code : {"n = 0 local s = ('x'):rep(1e6) while true do n = n + 1 local c = s .. n end",
                           "n = 0 local s = ('x'):rep(1e6) coroutine.wrap(function()"
                           " while true do n = n + 1 pcall(function() local c = s .. n end) end end)()"}) {
    EXPECT_NE(run(code).find("instruction limit exceeded"), std::string::npos) << code;
    EXPECT_LE(number("n"), 6) << code;
  }
  _mods_budget_limit_set(old);
}

TEST_F(ModsBudget, a_quit_request_lets_short_calls_end_and_stops_long_ones) {
  lua_register(L, "quit_now", _quit_now);
  EXPECT_EQ(run("quit_now() short = 0 for i = 1, 1000 do short = short + i end"), "");
  EXPECT_EQ(number("short"), 500500);
  std::string error = run("while true do pcall(function() while true do end end) end");
  EXPECT_NE(error.find("game is quitting"), std::string::npos) << error;
  EXPECT_NE(run("x = 1").find("game is quitting"), std::string::npos) << "past the grace, nothing runs on";
  _mods_budget_quit_clear();
  EXPECT_EQ(run("x = 1"), "");
}

TEST_F(ModsBudget, a_signal_reaches_a_call_of_heavy_instructions) {
  struct sigaction action = {}, old_action;
  action.sa_handler = _on_signal;
  sigaction(SIGUSR1, &action, &old_action);
  lua_register(L, "signal_now", _signal_now);
  // Every comparison reads 32 MiB: the hook's thousand instructions would take seconds, and the
  // budget days. The signal must make the hook look at the next instruction.
  std::string error = run("local a = ('x'):rep(32 * 1024 * 1024) local b = a:sub(2) .. 'y'"
                          " signal_now() n = 0 while a ~= b do n = n + 1 end");
  sigaction(SIGUSR1, &old_action, nullptr);
  EXPECT_NE(error.find("game is quitting"), std::string::npos) << error;
  EXPECT_LT(number("n"), 120) << "about five instructions a round: the hook would wait 200 rounds";
}

TEST_F(ModsBudget, a_call_past_the_time_limit_fails_naming_it_and_long_calls_are_told_once_an_interval) {
  _mods_budget_time_set(MODS_BUDGET_TIME_MS);
  _mods_budget_report_clear();
  // Little work for the budget, much processor time: fresh coroutines resumed through pcall never
  // reach the instruction hook of their own, and a deep table grows the garbage collector's walk.
  std::string error = run("n = 0 local deep = {} for i = 1, 2e6 do n = i"
                          " pcall(coroutine.resume, coroutine.create(function() end)) deep = {deep} end");
  EXPECT_NE(error.find("time limit exceeded (100 ms)"), std::string::npos) << error;
  EXPECT_LT(number("n"), 2e6);
  // A library function with the work of minutes in it is stopped inside.
  error = run("string.find(('a'):rep(3000), ('a-'):rep(12) .. 'b')");
  EXPECT_NE(error.find("find: time limit exceeded (100 ms)"), std::string::npos) << error;
  EXPECT_EQ(run("x = 1"), "") << "the next chunk has its time again";

  const std::string told = mods_budget_report();
  EXPECT_NE(told.find("2 of 3 calls into the mod took 20 ms or more of processor time"), std::string::npos) << told;
  EXPECT_NE(run("while true do end").find("time limit exceeded"), std::string::npos);
  EXPECT_EQ(mods_budget_report(), "") << "once an interval";
}
