// Fuzz target for the mods' pattern functions: any bytes, split at 0xFE into a subject, a pattern
// and a replacement, go through string.find, match, gsub and gmatch of the mods' library and of
// Lua's own. Both must give the same results and the same errors, except where ours stops for its
// budget or either reaches its nesting limit. The address sanitizer watches every read of the
// subject and the pattern. A trap marks a broken invariant.
#include <lua.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "mods_budget.h"
#include "mods_budget_internal.h"
#include "mods_library.h"

// Each call on its arguments s, p and r, its results as one text; errors start with "error:".
static const char *const CALLS =
    "local s, p, r = ... local out = {}"
    " local function add(...) local t = table.pack(...) for i = 1, t.n do out[#out + 1] = tostring(t[i]) end end"
    " local function try(f, ...) local t = table.pack(pcall(f, ...))"
    "   if t[1] then add(table.unpack(t, 2, t.n)) else out[#out + 1] = 'error:' .. tostring(t[2]) end end"
    " try(string.find, s, p) try(string.find, s, p, 2) try(string.match, s, p) try(string.match, s, p, -2)"
    " try(string.gsub, s, p, r) try(string.gsub, s, p, r, 2)"
    " try(function() local n = 0 for a, b in string.gmatch(s, p) do add(a, b) n = n + 1 if n > 50 then break end end end)"
    " return table.concat(out, '|')";

static lua_State *_fuzz_state(bool ours) {
  static ModsMemory memory;
  lua_State *L = ours ? lua_newstate(mods_budget_alloc, &memory) : luaL_newstate();
  luaL_openlibs(L);
  if (ours) mods_library_open(L);
  check(luaL_loadstring(L, CALLS) == LUA_OK);
  lua_setglobal(L, "calls");
  return L;
}

static std::string _fuzz_run(lua_State *L, const std::vector<std::string> &args) {
  lua_getglobal(L, "calls");
  for (const std::string &a : args) lua_pushlstring(L, a.data(), a.size());
  if (lua_pcall(L, 3, 1, 0) != LUA_OK) {
    std::string error = std::string("chunk:") + lua_tostring(L, -1);
    lua_pop(L, 1);
    return error;
  }
  std::string out = lua_tostring(L, -1);
  lua_pop(L, 1);
  return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static lua_State *ours = _fuzz_state(true);
  static lua_State *stock = _fuzz_state(false);
  static bool limited = (_mods_budget_limit_set(2000000), true);
  (void)limited;
  std::vector<std::string> args = fuzz_split(data, size, 3);
  if (args[0].size() > 64 || args[1].size() > 32) return 0;  // Lua's own matcher has no budget
  lua_State *previous = mods_budget_enter(ours);
  std::string mine = _fuzz_run(ours, args);
  mods_budget_leave(previous);
  // Stopped by its budget of work or of time (an instrumented build can be slow enough for either).
  if (mine.find("limit exceeded") != std::string::npos) return 0;
  std::string theirs = _fuzz_run(stock, args);
  if (mine.find("pattern too complex") != std::string::npos || theirs.find("pattern too complex") != std::string::npos) {
    return 0;  // the nesting limits are counted a little differently
  }
  check(mine == theirs);
  return 0;
}
