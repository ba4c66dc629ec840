// The Lua mod runtime: the sandboxed state, the w2_ functions, the output hooks and the entry points.
//
// Lua raises errors with longjmp, which skips C++ destructors. So no function Lua calls (the w2_
// functions, print, the message handler) holds a C++ object with a destructor while it can raise:
// texts and values it pushes or raises are parked in static storage first, and every C++ temporary
// of an operation call ends with its statement. The other way round, a C++ exception must not
// unwind through Lua's C frames: every function Lua calls here runs behind _mods_lua_guarded.
#include "mods_lua.h"

#include "kez_json.h"

#include <lua.hpp>

#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "builds.h"
#include "game.h"
#include "game_net.h"
#include "kez_driver-files.h"
#include "kez_log.h"
#include "mods_api.h"
#include "mods_library.h"
#include "vantor_client.h"
#include "vantor_fleet.h"
#include "vantor_step.h"
#include "vantor_view.h"
#include "vantor_world.h"

ModsAPI *mods_lua_current;

static const char *const PROGRAM_NAME = "vantor2";
static const char *const REGISTRY_KEY = "w2";  // the context, as a light userdata

// Keeps only the allowed names in the global table. The library tables are replaced by new tables
// holding the allowed members, and strings' methods are looked up in the reduced string table too,
// so ("").dump is gone with string.dump.
static const char *const SANDBOX = R"lua(
local function sandbox()
  local G, pairs, ipairs, type = _G, pairs, ipairs, type
  -- A new table of the named members of a library; a member the library lacks stays absent.
  local function pick(library, names)
    if type(library) ~= "table" then return nil end
    local t = {}
    for _, name in ipairs(names) do t[name] = library[name] end
    return t
  end
  local allowed = {
    setmetatable = setmetatable, getmetatable = getmetatable, rawset = rawset, rawget = rawget,
    error = error, ipairs = ipairs, next = next, pairs = pairs, pcall = pcall, print = print,
    select = select, tonumber = tonumber, tostring = tostring, type = type, unpack = unpack,
    coroutine = pick(coroutine, {"create", "resume", "running", "status", "wrap", "yield"}),
    string = pick(string, {"byte", "char", "find", "format", "gmatch", "gsub", "len", "lower",
                           "match", "rep", "reverse", "sub", "upper"}),
    table = pick(table, {"insert", "maxn", "remove", "sort", "unpack", "concat"}),
    math = pick(math, {"abs", "acos", "asin", "atan", "atan2", "ceil", "cos", "cosh", "deg", "exp",
                       "floor", "fmod", "frexp", "huge", "ldexp", "log", "log10", "max", "min",
                       "modf", "pi", "pow", "rad", "random", "sin", "sinh", "sqrt", "tan", "tanh",
                       "randomseed"}),
    os = pick(os, {"clock", "difftime", "time"}),
    bit32 = pick(bit32, {"arshift", "band", "bnot", "bor", "btest", "bxor", "extract", "lrotate",
                         "lshift", "replace", "rrotate", "rshift"}),
  }
  getmetatable("").__index = allowed.string
  for i in ipairs(G) do G[i] = nil end
  for k in pairs(G) do G[k] = nil end
  for k, v in pairs(allowed) do G[k] = v end
end
sandbox()
)lua";

// The library files may use these five functions; mod code may not.
static const char *const SANDBOX_LATE[] = {"setmetatable=nil", "getmetatable=nil", "rawset=nil", "rawget=nil",
                                           "error=nil"};
static const char *const LIBRARY_FILES[] = {"mod_api.lua", "mod_util.lua", "mod_json.lua"};

// Parked off the C stack: what a w2_ function pushes or raises (see the top of the file).
static var _mods_lua_result;
static std::string _mods_lua_text;

// ---- output hooks ----

int mods_lua_print(const char *text, FILE *stream) {
  if (!text || !text[0]) return 0;
  if ((stream == stdout || stream == stderr) && mods_lua_current) mods_lua_current->log_entry(text);
  return (int)strlen(text);
}

int mods_lua_printf(FILE *stream, const char *format, ...) {
  va_list args;
  va_start(args, format);
  std::string text;
  bool ok = str_vformat(text, format, args);
  va_end(args);
  return ok ? mods_lua_print(text.c_str(), stream) : 0;
}

// print: each value through tostring, tab separated, then a line feed, all through the output hook.
static int _mods_lua_print_values(lua_State *L) {
  int count = lua_gettop(L);
  lua_getglobal(L, "tostring");
  for (int i = 1; i <= count; i++) {
    lua_pushvalue(L, -1);
    lua_pushvalue(L, i);
    lua_call(L, 1, 1);
    size_t length;
    const char *text = lua_tolstring(L, -1, &length);
    if (!text) return luaL_error(L, "'tostring' must return a string to 'print'");
    mods_budget_charge(L, 1 + (int64_t)length / MODS_BUDGET_SCAN_BYTES, "print");
    if (i > 1) mods_lua_print("\t", stdout);
    mods_lua_print(text, stdout);
    lua_pop(L, 1);
  }
  mods_lua_print("\n", stdout);
  return 0;
}

static int _mods_lua_panic(lua_State *L) {
  const char *message = lua_tostring(L, -1);
  mods_lua_printf(stderr, "PANIC: unprotected error in call to Lua API (%s)\n", message ? message : "?");
  return 0;
}

// The message handler of every chunk: a text error gets a traceback; another value its __tostring.
static int _mods_lua_traceback(lua_State *L) {
  const char *message = lua_tostring(L, 1);
  if (message) {
    luaL_traceback(L, L, message, 1);
  } else if (!lua_isnoneornil(L, 1) && !luaL_callmeta(L, 1, "__tostring")) {
    lua_pushliteral(L, "(no error message)");
  }
  return 1;
}

// ---- running chunks ----

// Reports a failed chunk's error (on top of the stack) on the error stream and pops it; returns its
// first line.
static std::string _mods_lua_report(lua_State *L) {
  const char *message = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : nullptr;
  if (!message) message = "(error object is not a string)";
  mods_lua_printf(stderr, "%s: ", PROGRAM_NAME);
  mods_lua_printf(stderr, "%s\n", message);
  std::string line(message, strcspn(message, "\n"));
  lua_pop(L, 1);
  return line;
}

// Calls the function below the top args values, without results, under the message handler; the
// result code, 0 on success.
static int _mods_lua_protected(lua_State *L, int args) {
  const int base = lua_gettop(L) - args;
  lua_pushcfunction(L, _mods_lua_traceback);
  lua_insert(L, base);
  const int status = lua_pcall(L, args, 0, base);
  lua_remove(L, base);
  return status;
}

// Ends a call into the mod that the budget bounded: reports a failure, keeping the first line of its
// error in *failure when given, and the calls that ran long. Returns status.
static int _mods_lua_done(lua_State *L, int status, std::string *failure) {
  if (status != LUA_OK) {
    const std::string line = _mods_lua_report(L);
    if (failure) *failure = line;
  }
  // A busy machine makes calls run long as much as the mod does: the operator's log hears of it, while
  // the console, which opens its bar over the player's match, is left to the mod's own output.
  const std::string long_calls = mods_budget_report();
  if (!long_calls.empty()) LOG_PRINTF("%s", long_calls.c_str());
  return status;
}

// Loads text as a chunk of that name and calls it under the message handler, within the budget;
// reports a failure, and keeps the first line of its error in *failure when given. Only text is
// loaded: precompiled chunks can break the interpreter's memory safety. Returns the result code, 0
// on success.
static int _mods_lua_run(lua_State *L, const char *text, size_t length, const char *name,
                         std::string *failure = nullptr) {
  lua_State *previous = mods_budget_enter(L);
  int status = luaL_loadbufferx(L, text, length, name, "t");
  if (status == LUA_OK) status = _mods_lua_protected(L, 0);
  mods_budget_leave(previous);
  return _mods_lua_done(L, status, failure);
}

static int _mods_lua_run(lua_State *L, const char *text, const char *name, std::string *failure = nullptr) {
  return _mods_lua_run(L, text, strlen(text), name, failure);
}

// ---- argument conversion ----

// Raises message as a plain Lua error (no position).
static int _mods_lua_raise(lua_State *L, const char *message) {
  lua_pushstring(L, message);
  return lua_error(L);
}

const char *mods_lua_check_string(lua_State *L, int index, const char *fallback, size_t *length) {
  int type = lua_type(L, index);
  if (type == LUA_TSTRING || type == LUA_TNUMBER) return lua_tolstring(L, index, length);
  if (!fallback) {
    _mods_lua_raise(L, "null string");
    return nullptr;  // not reached: the raise jumps out of the call
  }
  if (length) *length = strlen(fallback);
  return fallback;
}

// Raises "null string" for an argument mods_lua_to_var refuses, before any C++ object exists, so that
// the conversion itself cannot raise later.
static void _mods_lua_check_value(lua_State *L, int index) {
  int type = lua_type(L, index);
  if (type == LUA_TNIL || type == LUA_TBOOLEAN || type == LUA_TNUMBER || type == LUA_TSTRING) return;
  _mods_lua_raise(L, "null string");
}

var mods_lua_to_var(lua_State *L, int index) {
  size_t length;
  switch (lua_type(L, index)) {
    case LUA_TNIL: return var();
    case LUA_TBOOLEAN: return var(lua_toboolean(L, index) != 0);
    case LUA_TNUMBER: return var(lua_tonumber(L, index));
    case LUA_TSTRING: {
      const char *text = lua_tolstring(L, index, &length);
      return var(std::string(text, length));
    }
  }
  _mods_lua_raise(L, "null string");
  return var();
}

void mods_lua_push_var(lua_State *L, const var &v) {
  switch (v.type()) {
    case VAR_NONE: lua_pushnil(L); return;
    case VAR_NUMBER: lua_pushnumber(L, v.number()); return;
    case VAR_BOOL: lua_pushboolean(L, v.truth()); return;
    default: _mods_lua_text = v.str(); lua_pushlstring(L, _mods_lua_text.data(), _mods_lua_text.size());
  }
}

// An id, port, colour or team: the number rounded to the nearest integer, ties to even.
static int _mods_lua_int(lua_State *L, int index) { return mods_number_int(std::nearbyint(lua_tonumber(L, index))); }

// A coordinate, amount or size, narrowed to a float; a number no float holds raises.
static float _mods_lua_float(lua_State *L, int index) {
  double v = lua_tonumber(L, index);
  if (!mods_number_finite(v)) {
    lua_pushfstring(L, "argument %d is not a finite number", index);
    lua_error(L);
  }
  return (float)v;
}

// A number narrowed to a float, NaN for one no float holds, for a caller that ignores what is not finite.
static float _mods_lua_float_or_nan(lua_State *L, int index) {
  const double v = lua_tonumber(L, index);
  return mods_number_finite(v) ? (float)v : NAN;
}

// A text argument as a byte string (it may hold NUL bytes).
static std::string _mods_lua_bytes(const char *text, size_t length) { return std::string(text, length); }

// ---- the w2_ functions ----

// The context, from the registry, with no error pending: an error that the engine's own use of an
// operation left (a screen rebuilt from the mod's markup when the engine changed the state) is not
// this call's to raise.
static ModsAPI *_mods_lua_context(lua_State *L) {
  lua_getfield(L, LUA_REGISTRYINDEX, REGISTRY_KEY);
  ModsAPI *api = static_cast<ModsAPI *>(lua_touserdata(L, -1));
  lua_pop(L, 1);
  api->error.clear();
  api->error_flag = 0;
  return api;
}

// Checks the argument count ("incorrect number of arguments") and returns the context.
static ModsAPI *_mods_lua_begin(lua_State *L, int count) {
  if (lua_gettop(L) != count) _mods_lua_raise(L, "incorrect number of arguments");
  return _mods_lua_context(L);
}

// Raises the operation's pending error once: it is cleared in the context before it unwinds.
static void _mods_lua_raise_pending(lua_State *L, ModsAPI *api) {
  if (!api->error_flag) return;
  _mods_lua_text = api->error_get();
  api->error.clear();
  api->error_flag = 0;
  lua_pushlstring(L, _mods_lua_text.data(), _mods_lua_text.size());
  lua_error(L);
}

// Ends a w2_ function without results.
static int _mods_lua_end(lua_State *L, ModsAPI *api) {
  _mods_lua_raise_pending(L, api);
  return 0;
}

// Ends a w2_ function with a number result.
static int _mods_lua_end_number(lua_State *L, ModsAPI *api, int n) {
  _mods_lua_raise_pending(L, api);
  lua_pushinteger(L, n);
  return 1;
}

// Ends a w2_ function with a bool result.
static int _mods_lua_end_bool(lua_State *L, ModsAPI *api, bool b) {
  _mods_lua_raise_pending(L, api);
  lua_pushboolean(L, b);
  return 1;
}

// Ends a w2_ function with the parked result.
static int _mods_lua_end_result(lua_State *L, ModsAPI *api) {
  _mods_lua_raise_pending(L, api);
  mods_lua_push_var(L, _mods_lua_result);
  return 1;
}

// A w2_ function that hands its one text argument to an operation without results.
static int _mods_lua_text_op(lua_State *L, void (ModsAPI::*op)(const std::string &)) {
  ModsAPI *api = _mods_lua_begin(L, 1);
  size_t length;
  const char *text = mods_lua_check_string(L, 1, nullptr, &length);
  (api->*op)(_mods_lua_bytes(text, length));
  return _mods_lua_end(L, api);
}

// A w2_ function that sets the value (argument 2) of a name (argument 1) through an operation.
static int _mods_lua_named_set(lua_State *L, void (ModsAPI::*set)(const std::string &, const var &)) {
  ModsAPI *api = _mods_lua_begin(L, 2);
  size_t length;
  const char *name = mods_lua_check_string(L, 1, nullptr, &length);
  _mods_lua_check_value(L, 2);
  (api->*set)(_mods_lua_bytes(name, length), mods_lua_to_var(L, 2));
  return _mods_lua_end(L, api);
}

// A w2_ function that returns the value of a name (its one argument) through an operation.
static int _mods_lua_named_get(lua_State *L, var (ModsAPI::*get)(const std::string &)) {
  ModsAPI *api = _mods_lua_begin(L, 1);
  size_t length;
  const char *name = mods_lua_check_string(L, 1, nullptr, &length);
  _mods_lua_result = (api->*get)(_mods_lua_bytes(name, length));
  return _mods_lua_end_result(L, api);
}

static World *_mods_lua_world(ModsAPI *api) { return &api->game->data.vantor; }

static int w2_game_reset(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 0);
  api->game_reset();
  return _mods_lua_end(L, api);
}

// Any count other than 4 settles into the rectangle 0, 0, 0, 0 instead of raising.
static int w2_planets_settle(lua_State *L) {
  float r[4] = {0, 0, 0, 0};
  if (lua_gettop(L) == 4) {
    for (int i = 0; i < 4; i++) r[i] = _mods_lua_float(L, i + 1);
  }
  ModsAPI *api = _mods_lua_context(L);
  vantor_planets_settle(_mods_lua_world(api), r[0], r[1], r[2], r[3]);
  return _mods_lua_end(L, api);
}

// A rectangle that is not finite raises nothing: view_set keeps the view it had.
static int w2_view_set(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 4);
  view_set(&api->game->view, _mods_lua_world(api), _mods_lua_float_or_nan(L, 1), _mods_lua_float_or_nan(L, 2),
           _mods_lua_float_or_nan(L, 3), _mods_lua_float_or_nan(L, 4));
  return _mods_lua_end(L, api);
}

static int w2_user_init(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 3);
  size_t length;
  const char *title = mods_lua_check_string(L, 1, nullptr, &length);
  int n = api->user_init(_mods_lua_bytes(title, length), _mods_lua_int(L, 2), _mods_lua_int(L, 3));
  return _mods_lua_end_number(L, api, n);
}

static int w2_team_init(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 2);
  size_t length;
  const char *title = mods_lua_check_string(L, 1, nullptr, &length);
  int n = api->team_init(_mods_lua_bytes(title, length), _mods_lua_int(L, 2));
  return _mods_lua_end_number(L, api, n);
}

static int w2_planet_init(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 5);
  int n = api->planet_init(_mods_lua_int(L, 1), _mods_lua_float(L, 2), _mods_lua_float(L, 3), _mods_lua_float(L, 4),
                           _mods_lua_float(L, 5));
  return _mods_lua_end_number(L, api, n);
}

// Arguments: owner, ships, from, to.
static int w2_fleet_init(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 4);
  int n = api->fleet_init(_mods_lua_int(L, 1), _mods_lua_int(L, 3), _mods_lua_int(L, 4), _mods_lua_float(L, 2));
  return _mods_lua_end_number(L, api, n);
}

static int w2_item_init(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 0);
  return _mods_lua_end_number(L, api, (int)vantor_item_alloc(_mods_lua_world(api))->n);
}

static int w2_fleet_send(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 3);
  int n = api->fleet_send(_mods_lua_int(L, 1), _mods_lua_int(L, 2), _mods_lua_int(L, 3));
  return _mods_lua_end_number(L, api, n);
}

static int w2_fleet_redirect(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 2);
  int fleet = _mods_lua_int(L, 1), to = _mods_lua_int(L, 2);
  if (api->item_is(fleet, "fleet_redirect:fleet", "fleet") && api->item_is(to, "fleet_redirect:to", "planet")) {
    vantor_order_redirect(game_net_order_client(api->game), _mods_lua_world(api), fleet, to);
  }
  return _mods_lua_end(L, api);
}

static int w2_planet_chown(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 2);
  int planet = _mods_lua_int(L, 1), owner = _mods_lua_int(L, 2);
  if (api->item_is(planet, "planet_chown:pid", "planet") && api->item_is(owner, "planet_chown:uid", "user")) {
    vantor_planet_chown(_mods_lua_world(api), planet, owner);
  }
  return _mods_lua_end(L, api);
}

// Arguments: the image name (anything but a text or number gives the empty name), then the numbers.
static int w2_part_init(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 1 + MODS_PART_NUMBERS);
  size_t length = 0;
  const char *type = lua_tolstring(L, 1, &length);
  float numbers[MODS_PART_NUMBERS];
  for (int i = 0; i < MODS_PART_NUMBERS; i++) numbers[i] = _mods_lua_float(L, i + 2);
  api->part_init(type ? _mods_lua_bytes(type, length) : std::string(), numbers);
  return _mods_lua_end(L, api);
}

// Returns a new table of the found ids.
static int w2_items_find(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 1);
  size_t length;
  const char *query = mods_lua_check_string(L, 1, nullptr, &length);
  _mods_lua_result = api->items_find(_mods_lua_bytes(query, length));
  _mods_lua_raise_pending(L, api);
  int count = _mods_lua_result.len();
  lua_createtable(L, count, 0);
  for (int i = 0; i < count; i++) {
    lua_pushnumber(L, _mods_lua_result[i].number());
    lua_rawseti(L, -2, i + 1);
  }
  return 1;
}

static int w2_item_set(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 3);
  size_t length;
  const char *key = mods_lua_check_string(L, 2, nullptr, &length);
  _mods_lua_check_value(L, 3);
  api->item_set(_mods_lua_int(L, 1), _mods_lua_bytes(key, length), mods_lua_to_var(L, 3));
  return _mods_lua_end(L, api);
}

static int w2_item_get(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 2);
  size_t length;
  const char *key = mods_lua_check_string(L, 2, nullptr, &length);
  _mods_lua_result = api->item_get(_mods_lua_int(L, 1), _mods_lua_bytes(key, length));
  return _mods_lua_end_result(L, api);
}

static int w2_item_destroy(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 1);
  api->item_destroy(_mods_lua_int(L, 1));
  return _mods_lua_end(L, api);
}

static int w2_param_set(lua_State *L) { return _mods_lua_named_set(L, &ModsAPI::param_set); }

static int w2_param_get(lua_State *L) { return _mods_lua_named_get(L, &ModsAPI::param_get); }

static int w2_gui_set(lua_State *L) { return _mods_lua_named_set(L, &ModsAPI::gui_set); }

static int w2_gui_get(lua_State *L) { return _mods_lua_named_get(L, &ModsAPI::gui_get); }

// Returns whether the game now hosts: a windowed game cannot when the port is taken.
static int w2_net_host(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 1);
  const int port = _mods_lua_int(L, 1);
  const bool hosting = api->port_check(port, "net_host") && game_net_host(api->game, port);
  return _mods_lua_end_bool(L, api, hosting);
}

static int w2_net_join(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 2);
  size_t length;
  const char *host = mods_lua_check_string(L, 1, nullptr, &length);
  api->net_join(_mods_lua_bytes(host, length), _mods_lua_int(L, 2));
  return _mods_lua_end(L, api);
}

static int w2_net_send(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 3);
  size_t to_n, type_n, data_n;
  const char *to = mods_lua_check_string(L, 1, nullptr, &to_n);
  const char *type = mods_lua_check_string(L, 2, nullptr, &type_n);
  const char *data = mods_lua_check_string(L, 3, nullptr, &data_n);
  api->net_send(_mods_lua_bytes(to, to_n), _mods_lua_bytes(type, type_n), _mods_lua_bytes(data, data_n));
  return _mods_lua_end(L, api);
}

// Arguments: host, port, title, type, data.
static int w2_net_poke(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 5);
  size_t host_n, title_n, type_n, data_n;
  const char *host = mods_lua_check_string(L, 1, nullptr, &host_n);
  const char *title = mods_lua_check_string(L, 3, nullptr, &title_n);
  const char *type = mods_lua_check_string(L, 4, nullptr, &type_n);
  const char *data = mods_lua_check_string(L, 5, nullptr, &data_n);
  api->net_poke(_mods_lua_bytes(host, host_n), _mods_lua_int(L, 2), _mods_lua_bytes(title, title_n),
                _mods_lua_bytes(type, type_n), _mods_lua_bytes(data, data_n));
  return _mods_lua_end(L, api);
}

// The colour is truncated toward zero, unlike the other integer arguments, which are rounded.
static int w2_chat_append(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 2);
  _mods_lua_check_value(L, 2);
  api->chat_append(mods_number_int(std::trunc(lua_tonumber(L, 1))), mods_lua_to_var(L, 2).str());
  return _mods_lua_end(L, api);
}

static int w2_chat_keywords(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 1);
  size_t length;
  const char *text = mods_lua_check_string(L, 1, nullptr, &length);
  api->chat_keywords(json_decode_string(_mods_lua_bytes(text, length)));
  return _mods_lua_end(L, api);
}

static int w2_play_sound(lua_State *L) { return _mods_lua_text_op(L, &ModsAPI::play_sound); }

static int w2_play_music(lua_State *L) { return _mods_lua_text_op(L, &ModsAPI::play_music); }

// A row of a query result: a dict becomes a table of its pairs, anything else a plain value.
static void _mods_lua_push_row(lua_State *L, const var &row) {
  if (row.type() != VAR_DICT) {
    mods_lua_push_var(L, row);
    return;
  }
  lua_newtable(L);
  for (const auto &pair : static_cast<const _var_dict *>(row.object())->items) {
    lua_pushlstring(L, pair.first.data(), pair.first.size());
    mods_lua_push_var(L, pair.second);
    lua_rawset(L, -3);
  }
}

// Arguments: two texts, a number that is read and not used, a text, then any number of values.
static int w2_db_query(lua_State *L) {
  int count = lua_gettop(L);
  if (count < 4) return _mods_lua_raise(L, "incorrect number of arguments");
  ModsAPI *api = _mods_lua_context(L);
  size_t a_n, b_n, c_n;
  const char *a = mods_lua_check_string(L, 1, nullptr, &a_n);
  const char *b = mods_lua_check_string(L, 2, nullptr, &b_n);
  lua_tonumber(L, 3);
  const char *c = mods_lua_check_string(L, 4, nullptr, &c_n);
  for (int i = 5; i <= count; i++) _mods_lua_check_value(L, i);
  {
    var values;
    var_new_list(values);
    for (int i = 5; i <= count; i++) values.append(mods_lua_to_var(L, i));
    _mods_lua_result = api->db_query(_mods_lua_bytes(a, a_n), _mods_lua_bytes(b, b_n), _mods_lua_bytes(c, c_n), values);
  }
  _mods_lua_raise_pending(L, api);
  int rows = _mods_lua_result.type() == VAR_LIST ? _mods_lua_result.len() : 0;
  lua_createtable(L, rows, 0);
  for (int i = 0; i < rows; i++) {
    _mods_lua_push_row(L, _mods_lua_result[i]);
    lua_rawseti(L, -2, i + 1);
  }
  return 1;
}

static int w2_api_call(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 2);
  size_t name_n, json_n;
  const char *name = mods_lua_check_string(L, 1, nullptr, &name_n);
  const char *json = mods_lua_check_string(L, 2, nullptr, &json_n);
  api->api_call(_mods_lua_bytes(name, name_n), _mods_lua_bytes(json, json_n));
  return _mods_lua_end(L, api);
}

static int w2_ext_call(lua_State *L) {
  ModsAPI *api = _mods_lua_begin(L, 2);
  size_t name_n, json_n;
  const char *name = mods_lua_check_string(L, 1, nullptr, &name_n);
  const char *json = mods_lua_check_string(L, 2, nullptr, &json_n);
  _mods_lua_result =
      var(builds_mods_api_ext_call(api->game, _mods_lua_bytes(name, name_n), _mods_lua_bytes(json, json_n)));
  return _mods_lua_end_result(L, api);
}

static int _mods_lua_require(lua_State *L) { return _mods_lua_text_op(L, &ModsAPI::require); }

// Runs the C function in upvalue 1, named by upvalue 2. An exception thrown by the C++ underneath
// (a copy of a huge argument that cannot be allocated) ends here and becomes a Lua error, raised
// once no C++ object is left on the way. Engine work that used up the chunk's budget or time (a
// markup build) ends the call with the budget's error, naming the function.
static int _mods_lua_guarded(lua_State *L) {
  lua_CFunction function = lua_tocfunction(L, lua_upvalueindex(1));
  const char *failure = nullptr;
  int results = 0;
  try {
    results = function(L);
  } catch (const std::bad_alloc &) {
    failure = "not enough memory";
  } catch (const std::length_error &) {
    failure = "not enough memory";
  } catch (...) {
    failure = "internal error";
  }
  if (failure) return _mods_lua_raise(L, failure);
  if (!mods_budget_spend(0)) return mods_budget_raise(L, lua_tostring(L, lua_upvalueindex(2)));
  return results;
}

// Makes function the global name, behind _mods_lua_guarded.
static void _mods_lua_register(lua_State *L, const char *name, lua_CFunction function) {
  lua_pushcfunction(L, function);
  lua_pushstring(L, name);
  lua_pushcclosure(L, _mods_lua_guarded, 2);
  lua_setglobal(L, name);
}

// The globals a mod calls, in registration order.
static const luaL_Reg MODS_LUA_FUNCTIONS[] = {
    {"w2_game_reset", w2_game_reset},     {"w2_planets_settle", w2_planets_settle},
    {"w2_view_set", w2_view_set},         {"w2_user_init", w2_user_init},
    {"w2_team_init", w2_team_init},       {"w2_planet_init", w2_planet_init},
    {"w2_fleet_init", w2_fleet_init},     {"w2_item_init", w2_item_init},
    {"w2_fleet_send", w2_fleet_send},     {"w2_fleet_redirect", w2_fleet_redirect},
    {"w2_planet_chown", w2_planet_chown}, {"w2_part_init", w2_part_init},
    {"w2_items_find", w2_items_find},     {"w2_item_set", w2_item_set},
    {"w2_item_get", w2_item_get},         {"w2_item_destroy", w2_item_destroy},
    {"w2_param_set", w2_param_set},       {"w2_param_get", w2_param_get},
    {"w2_gui_set", w2_gui_set},           {"w2_gui_get", w2_gui_get},
    {"w2_net_host", w2_net_host},         {"w2_net_join", w2_net_join},
    {"w2_net_send", w2_net_send},         {"w2_net_poke", w2_net_poke},
    {"w2_chat_append", w2_chat_append},   {"w2_chat_keywords", w2_chat_keywords},
    {"w2_play_sound", w2_play_sound},     {"w2_play_music", w2_play_music},
    {"w2_db_query", w2_db_query},         {"w2_api_call", w2_api_call},
    {"w2_ext_call", w2_ext_call},         {"require", _mods_lua_require},
};

// ---- the runtime ----

ModsLua::ModsLua(ModsAPI *owner) : context(owner) {}

ModsLua::~ModsLua() {
  mods_lua_current = context;
  if (state) lua_close(state);
  state = nullptr;
}

// Runs the library files in their order; why the first that cannot be read or run fails, else "".
// Every mod is written against them, so a damaged one is a damaged install, not a fault of the mod.
static std::string _mods_lua_libraries(lua_State *L) {
  std::string failure;
  for (const char *file : LIBRARY_FILES) {
    const std::string path = driver_data_path(file);
    std::string text, line;
    const int cause = driver_file_load(path.c_str(), &text);
    if (cause && failure.empty()) failure = "the library file " + path + " cannot be read: " + strerror(cause);
    if (cause) continue;
    if (_mods_lua_run(L, text.data(), text.size(), file, &line) != LUA_OK && failure.empty())
      failure = "the library file " + path + " does not run: " + line;
  }
  return failure;
}

std::string ModsLua::open() {
  mods_lua_current = context;
  if (state) return "";
  state = lua_newstate(mods_budget_alloc, &memory);
  if (!state) return "no memory for the Lua state";
  lua_atpanic(state, _mods_lua_panic);
  luaL_openlibs(state);
  mods_library_open(state);                                    // before the sandbox picks from the libraries
  _mods_lua_register(state, "print", _mods_lua_print_values);  // the sandbox keeps this print
  _mods_lua_run(state, SANDBOX, "sandbox");
  lua_pushlightuserdata(state, context);
  lua_setfield(state, LUA_REGISTRYINDEX, REGISTRY_KEY);
  for (const luaL_Reg &function : MODS_LUA_FUNCTIONS) _mods_lua_register(state, function.name, function.func);
  const std::string library = _mods_lua_libraries(state);
  for (const char *line : SANDBOX_LATE) _mods_lua_run(state, line, "sandbox2");
  return library;
}

// Pushes whether the global named by the light userdata argument is a function, reading the global
// table raw: no metamethod of the mod runs.
static int _mods_lua_defines(lua_State *L) {
  const char *name = static_cast<const char *>(lua_touserdata(L, 1));
  lua_pushglobaltable(L);
  lua_pushstring(L, name);
  lua_rawget(L, -2);
  lua_pushboolean(L, lua_isfunction(L, -1));
  return 1;
}

bool ModsLua::defines(const char *name, unsigned bit) {
  // In protected mode: pushing the name may need memory the mod has used up. A check that fails
  // says yes, so that the call itself reports why.
  lua_pushcfunction(state, _mods_lua_defines);
  lua_pushlightuserdata(state, const_cast<char *>(name));
  const bool defined = lua_pcall(state, 1, 1, 0) != LUA_OK || lua_toboolean(state, -1);
  lua_pop(state, 1);
  if (defined || (missing & bit)) return defined;
  missing |= bit;
  mods_lua_printf(stdout, "the mod has no function %s: the engine skips it\n", name);
  return false;
}

void ModsLua::init() {
  if (status || !state || !defines("_init", 1)) return;
  status = _mods_lua_run(state, "_init()", "init", &failure);
  if (status) LOG_PRINTF("Lua error: %d\n", status);
}

// Calls the mod's _loop with the number on the stack. It runs in protected mode: looking the name
// up may need memory the mod has used up.
static int _mods_lua_loop_call(lua_State *L) {
  lua_getglobal(L, "_loop");
  lua_insert(L, 1);
  lua_call(L, 1, 0);
  return 0;
}

// dt goes to the mod as a number, never as text: no number can make a chunk the mod did not write.
void ModsLua::loop(float dt) {
  if (status || !state || !defines("_loop", 2)) return;
  lua_State *previous = mods_budget_enter(state);
  lua_pushcfunction(state, _mods_lua_loop_call);
  lua_pushnumber(state, dt);
  const int result = _mods_lua_protected(state, 1);
  mods_budget_leave(previous);
  status = _mods_lua_done(state, result, &failure);
  if (status) LOG_PRINTF("Lua error: %d\n", status);
}

// True when text is a Lua name (and so can be written as a bare table key).
static bool _mods_lua_is_name(const std::string &text) {
  static const char *const reserved[] = {"and",      "break",  "do",   "else", "elseif", "end",  "false", "for",
                                         "function", "goto",   "if",   "in",   "local",  "nil",  "not",   "or",
                                         "repeat",   "return", "then", "true", "until",  "while"};
  if (text.empty() || (text[0] >= '0' && text[0] <= '9')) return false;
  for (char c : text) {
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    if (!letter && !(c >= '0' && c <= '9')) return false;
  }
  for (const char *word : reserved) {
    if (text == word) return false;
  }
  return true;
}

// Appends text as a quoted Lua string that reads back as exactly these bytes. (A long bracket
// would lose a leading line feed and turn every carriage return into a line feed.)
static void _mods_lua_quoted(const std::string &text, std::string &out) {
  out += '"';
  for (char c : text) {
    unsigned char u = (unsigned char)c;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 32 || u == 127) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\%03u", u);  // three digits, so a digit after it stays a digit
      out += escape;
    } else {
      out += c;
    }
  }
  out += '"';
}

// Appends the Lua literal of v to out; false when a dict key is not a Lua name.
static bool _mods_lua_literal(const var &v, std::string &out) {
  switch (v.type()) {
    case VAR_NONE: out += "nil"; return true;
    case VAR_BOOL: out += v.truth() ? "true" : "false"; return true;
    case VAR_NUMBER: out += v.str(); return true;
    case VAR_DICT: {
      out += "{";
      const char *separator = "";
      for (const auto &pair : static_cast<const _var_dict *>(v.object())->items) {
        if (!_mods_lua_is_name(pair.first)) return false;
        out += separator + pair.first + "=";
        if (!_mods_lua_literal(pair.second, out)) return false;
        separator = ",";
      }
      out += "}";
      return true;
    }
    default: _mods_lua_quoted(str_replace(v.str(), "]=]", "?"), out); return true;
  }
}

void ModsLua::event(var e) {
  if (status || !state || e.type() != VAR_DICT || !defines("_event", 4)) return;
  std::string text = "_event(";
  if (_mods_lua_literal(e, text)) {
    text += ");";
    status = _mods_lua_run(state, text.data(), text.size(), "event", &failure);
  } else {
    mods_lua_printf(stderr, "%s: event: a key is not a Lua name\n", PROGRAM_NAME);
    status = LUA_ERRSYNTAX;
  }
  if (status) LOG_PRINTF("Lua error: %d\n", status);
}

void ModsLua::script(const char *text, const char *name) {
  status = 0;
  if (!state) return;
  int result = _mods_lua_run(state, text, name, &failure);
  if (result) LOG_PRINTF("Lua error: %d\n", result);
  status = 0;
}
