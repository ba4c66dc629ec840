// Fuzz target for the event a mod receives from the network: any bytes, split at 0xFE into the
// sender's uid and name, the message type and its data, become the event the network pump hands
// to the mod (game_net_dict), and the real runtime runs the mod's _event with it. Every text must
// arrive exactly as sent, except that "]=]" reads "?"; the event must never fail; and nothing but
// _event may run (no global appears or changes besides the one _event sets). A trap marks a broken
// invariant.
#include <lua.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_mods.h"
#include "fuzz_util.h"
#include "game_net.h"

// The runtime with the mod that keeps the event it got.
static ModsLua *_fuzz_runtime() {
  static ModsLua *lua;
  if (!lua) {
    lua = fuzz_mods_runtime();
    lua->script("function _event(e) got = e end", "fuzz");
  }
  return lua;
}

// The number of globals.
static int _fuzz_globals(lua_State *L) {
  int count = 0;
  lua_pushglobaltable(L);
  lua_pushnil(L);
  while (lua_next(L, -2)) {
    count++;
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
  return count;
}

// The text of field key of the table on top of the stack.
static std::string _fuzz_field(lua_State *L, const char *key) {
  lua_getfield(L, -1, key);
  size_t length = 0;
  const char *text = lua_tolstring(L, -1, &length);
  check(lua_type(L, -1) == LUA_TSTRING);
  std::string out(text, length);
  lua_pop(L, 1);
  return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  ModsLua *lua = _fuzz_runtime();
  lua_State *L = lua->state;
  std::vector<std::string> parts = fuzz_split(data, size, 4);
  lua_pushboolean(L, 0);
  lua_setglobal(L, "got");
  int globals = _fuzz_globals(L);
  lua->event(game_net_dict(parts[0], parts[1], "net:" + parts[2], parts[3]));
  check(lua->status == 0);
  check(_fuzz_globals(L) == globals);
  lua_getglobal(L, "got");
  check(lua_istable(L, -1));
  auto sent = [](const std::string &text) { return str_replace(text, "]=]", "?"); };
  check(_fuzz_field(L, "uid") == sent(parts[0]));
  check(_fuzz_field(L, "name") == sent(parts[1]));
  check(_fuzz_field(L, "type") == sent("net:" + parts[2]));
  check(_fuzz_field(L, "value") == sent(parts[3]));
  lua_pop(L, 1);
  return 0;
}
