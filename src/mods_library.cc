// The library functions a mod gets in place of Lua's own.
//
// They keep the behaviour mods know from Lua 5.2 (results, error texts) and add a charge for every
// step of work to the running chunk's budget. Lua raises errors with longjmp, so nothing here holds
// an object with a destructor: the match state is a plain record on the C stack.
#include "mods_library.h"

#include <lua.hpp>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>

#include "mods_budget.h"
#include "mods_pattern.h"

// ---- strings ----

// A 1-based string position, counted from the end when negative; 0 for before the start.
static size_t _mods_library_position(lua_Integer position, size_t length) {
  if (position >= 0) return (size_t)position;
  size_t back = 0u - (size_t)position;
  return back > length ? 0 : length - back + 1;
}

static int _mods_library_fail(lua_State *L, const ModsPattern *m, const char *function) {
  if (m->status == MODS_PATTERN_SPENT) return mods_budget_raise(L, function);
  return luaL_error(L, "%s", m->error);
}

// Pushes capture i of the match from s to e; capture 0 of a pattern without captures is the match.
static void _mods_library_push_capture(lua_State *L, const ModsPattern *m, int i, const char *s, const char *e) {
  if (i >= m->level) {
    if (i != 0) luaL_error(L, "invalid capture index");
    lua_pushlstring(L, s, (size_t)(e - s));
    return;
  }
  const ModsPatternCapture &capture = m->captures[i];
  if (capture.length == MODS_PATTERN_OPEN) luaL_error(L, "unfinished capture");
  if (capture.length == MODS_PATTERN_POSITION) {
    lua_pushinteger(L, (lua_Integer)(capture.start - m->subject) + 1);
  } else {
    lua_pushlstring(L, capture.start, (size_t)capture.length);
  }
}

// Pushes every capture, or the whole match when there are none and whole is set; returns the count.
static int _mods_library_push_captures(lua_State *L, const ModsPattern *m, const char *s, const char *e, bool whole) {
  int count = m->level == 0 && whole ? 1 : m->level;
  luaL_checkstack(L, count, "too many captures");
  for (int i = 0; i < count; i++) _mods_library_push_capture(L, m, i, s, e);
  return count;
}

// find and match: the first match from the start position on.
static int _mods_library_search(lua_State *L, bool find) {
  const char *function = find ? "find" : "match";
  size_t subject_length, pattern_length;
  const char *subject = luaL_checklstring(L, 1, &subject_length);
  const char *pattern = luaL_checklstring(L, 2, &pattern_length);
  size_t start = _mods_library_position(luaL_optinteger(L, 3, 1), subject_length);
  if (start < 1) start = 1;
  if (start > subject_length + 1) {
    lua_pushnil(L);
    return 1;
  }
  ModsPattern m;
  if (find && (lua_toboolean(L, 4) || mods_pattern_is_plain(pattern, pattern_length))) {
    mods_pattern_init(&m, subject, subject_length, pattern, pattern_length, mods_budget_spend);
    const char *hit = mods_pattern_find_plain(&m, subject + start - 1);
    if (!mods_pattern_flush(&m)) return _mods_library_fail(L, &m, function);
    if (!hit) {
      lua_pushnil(L);
      return 1;
    }
    lua_pushinteger(L, (lua_Integer)(hit - subject) + 1);
    lua_pushinteger(L, (lua_Integer)(hit - subject + pattern_length));
    return 2;
  }
  bool anchored = pattern_length > 0 && *pattern == '^';
  mods_pattern_init(&m, subject, subject_length, pattern + anchored, pattern_length - anchored, mods_budget_spend);
  const char *at = subject + start - 1;
  do {
    const char *end = mods_pattern_match(&m, at);
    if (m.status != MODS_PATTERN_OK) return _mods_library_fail(L, &m, function);
    if (end) {
      if (!mods_pattern_flush(&m)) return _mods_library_fail(L, &m, function);
      if (!find) return _mods_library_push_captures(L, &m, at, end, true);
      lua_pushinteger(L, (lua_Integer)(at - subject) + 1);
      lua_pushinteger(L, (lua_Integer)(end - subject));
      return 2 + _mods_library_push_captures(L, &m, at, end, false);
    }
  } while (at++ < m.subject_end && !anchored);
  if (!mods_pattern_flush(&m)) return _mods_library_fail(L, &m, function);
  lua_pushnil(L);
  return 1;
}

static int _mods_library_find(lua_State *L) { return _mods_library_search(L, true); }

static int _mods_library_match(lua_State *L) { return _mods_library_search(L, false); }

// The iterator of gmatch; its upvalues are the subject, the pattern and where to go on. A '^' is
// no anchor here: it would stop the iteration.
static int _mods_library_gmatch_next(lua_State *L) {
  size_t subject_length, pattern_length;
  const char *subject = lua_tolstring(L, lua_upvalueindex(1), &subject_length);
  const char *pattern = lua_tolstring(L, lua_upvalueindex(2), &pattern_length);
  size_t next = (size_t)lua_tointeger(L, lua_upvalueindex(3));
  if (next > subject_length) return 0;
  ModsPattern m;
  mods_pattern_init(&m, subject, subject_length, pattern, pattern_length, mods_budget_spend);
  for (const char *at = subject + next; at <= m.subject_end; at++) {
    const char *end = mods_pattern_match(&m, at);
    if (m.status != MODS_PATTERN_OK) return _mods_library_fail(L, &m, "gmatch");
    if (end) {
      if (!mods_pattern_flush(&m)) return _mods_library_fail(L, &m, "gmatch");
      lua_pushinteger(L, (lua_Integer)(end - subject) + (end == at));  // past an empty match
      lua_replace(L, lua_upvalueindex(3));
      return _mods_library_push_captures(L, &m, at, end, true);
    }
  }
  if (!mods_pattern_flush(&m)) return _mods_library_fail(L, &m, "gmatch");
  lua_pushinteger(L, (lua_Integer)subject_length + 1);
  lua_replace(L, lua_upvalueindex(3));
  return 0;
}

static int _mods_library_gmatch(lua_State *L) {
  luaL_checkstring(L, 1);
  luaL_checkstring(L, 2);
  lua_settop(L, 2);
  lua_pushinteger(L, 0);
  lua_pushcclosure(L, _mods_library_gmatch_next, 3);
  return 1;
}

// Adds a replacement text with its "%0" to "%9" and "%%" for the match from s to e.
static void _mods_library_add_text(lua_State *L, luaL_Buffer *b, const ModsPattern *m, const char *s, const char *e) {
  size_t length;
  const char *text = lua_tolstring(L, 3, &length);
  for (size_t i = 0; i < length; i++) {
    if (text[i] != '%') {
      luaL_addchar(b, text[i]);
      continue;
    }
    char c = ++i < length ? text[i] : '\0';
    if (c == '%') {
      luaL_addchar(b, '%');
    } else if (c == '0') {
      luaL_addlstring(b, s, (size_t)(e - s));
    } else if (isdigit((unsigned char)c)) {
      _mods_library_push_capture(L, m, c - '1', s, e);
      luaL_addvalue(b);
    } else {
      luaL_error(L, "invalid use of '%c' in replacement string", '%');
    }
  }
}

// Adds the replacement of the match from s to e: the text, the function's result or the table's
// value for the first capture; false or nil keeps the match as it is.
static void _mods_library_add_replacement(lua_State *L, luaL_Buffer *b, const ModsPattern *m, const char *s,
                                          const char *e, int kind) {
  if (kind == LUA_TFUNCTION) {
    lua_pushvalue(L, 3);
    int count = _mods_library_push_captures(L, m, s, e, true);
    lua_call(L, count, 1);
  } else if (kind == LUA_TTABLE) {
    _mods_library_push_capture(L, m, 0, s, e);
    lua_gettable(L, 3);
  } else {
    _mods_library_add_text(L, b, m, s, e);
    return;
  }
  if (!lua_toboolean(L, -1)) {
    lua_pop(L, 1);
    luaL_addlstring(b, s, (size_t)(e - s));
  } else if (!lua_isstring(L, -1)) {
    luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
  } else {
    luaL_addvalue(b);
  }
}

static int _mods_library_gsub(lua_State *L) {
  size_t subject_length, pattern_length;
  const char *subject = luaL_checklstring(L, 1, &subject_length);
  const char *pattern = luaL_checklstring(L, 2, &pattern_length);
  int kind = lua_type(L, 3);
  lua_Integer most = luaL_optinteger(L, 4, (lua_Integer)subject_length + 1);
  if (most < 0) most = LLONG_MAX;  // as a count of replacements, a negative one means no limit
  luaL_argcheck(L, kind == LUA_TNUMBER || kind == LUA_TSTRING || kind == LUA_TFUNCTION || kind == LUA_TTABLE, 3,
                "string/function/table expected");
  bool anchored = pattern_length > 0 && *pattern == '^';
  ModsPattern m;
  mods_pattern_init(&m, subject, subject_length, pattern + anchored, pattern_length - anchored, mods_budget_spend);
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  const char *at = subject;
  lua_Integer count = 0;
  while (count < most) {
    const char *end = mods_pattern_match(&m, at);
    if (m.status != MODS_PATTERN_OK) return _mods_library_fail(L, &m, "gsub");
    if (end) {
      count++;
      _mods_library_add_replacement(L, &b, &m, at, end, kind);
    }
    if (end && end > at) {
      at = end;
    } else if (at < m.subject_end) {
      luaL_addchar(&b, *at++);
    } else {
      break;
    }
    if (anchored) break;
  }
  if (!mods_pattern_flush(&m)) return _mods_library_fail(L, &m, "gsub");
  luaL_addlstring(&b, at, (size_t)(m.subject_end - at));
  luaL_pushresult(&b);
  lua_pushinteger(L, count);
  return 2;
}

// rep(s, n [, sep]): the result is built by doubling what is already written, so the work is that
// of its allocation; and a result of no bytes at all is made without a loop (the library's own
// copies nothing n times over).
static int _mods_library_rep(lua_State *L) {
  size_t length, separator_length;
  const char *text = luaL_checklstring(L, 1, &length);
  lua_Integer n = luaL_checkinteger(L, 2);
  const char *separator = luaL_optlstring(L, 3, "", &separator_length);
  if (n <= 0 || length + separator_length == 0) {
    lua_pushliteral(L, "");
    return 1;
  }
  size_t period = length + separator_length;
  if (period < length || period > (size_t)LLONG_MAX / (size_t)n) return luaL_error(L, "resulting string too large");
  size_t total = period * (size_t)n - separator_length;
  luaL_Buffer b;  // its allocation is charged, or refused past the memory cap
  char *out = luaL_buffinitsize(L, &b, total);
  memcpy(out, text, length);
  size_t filled = length;
  if (filled < total) {
    memcpy(out + filled, separator, separator_length);
    filled += separator_length;
  }
  while (filled < total) {  // filled is a whole number of periods here
    size_t chunk = filled < total - filled ? filled : total - filled;
    memcpy(out + filled, out, chunk);
    filled += chunk;
  }
  luaL_pushresultsize(&b, total);
  return 1;
}

// byte(s [, i [, j]]): one value per byte of the slice, each counted.
static int _mods_library_byte(lua_State *L) {
  size_t length;
  const char *text = luaL_checklstring(L, 1, &length);
  size_t first = _mods_library_position(luaL_optinteger(L, 2, 1), length);
  size_t last = _mods_library_position(luaL_optinteger(L, 3, (lua_Integer)first), length);
  if (first < 1) first = 1;
  if (last > length) last = length;
  if (first > last) return 0;
  size_t count = last - first + 1;
  if (count >= INT_MAX) return luaL_error(L, "string slice too long");
  mods_budget_charge(L, (int64_t)count, "byte");
  luaL_checkstack(L, (int)count, "string slice too long");
  for (size_t i = 0; i < count; i++) lua_pushinteger(L, (unsigned char)text[first - 1 + i]);
  return (int)count;
}

// ---- tables and tonumber: the library's own after their cost is charged ----

// The library's function, with a cost function that checks the arguments first (so the errors name
// the function as the mod called it) and returns the units to charge.
struct ModsLibraryCharged {
  const char *library;  // global table, or null for a base function
  const char *name;
  int64_t (*cost)(lua_State *L);
};

// The length of the table at index, as the table functions use it when none is given.
static lua_Integer _mods_library_length(lua_State *L, int index) { return (lua_Integer)lua_rawlen(L, index); }

static int64_t _mods_library_insert_cost(lua_State *L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  lua_Integer end = _mods_library_length(L, 1) + 1;
  switch (lua_gettop(L)) {
    case 2: return 1;
    case 3: {
      lua_Integer at = luaL_checkinteger(L, 2);
      luaL_argcheck(L, 1 <= at && at <= end, 2, "position out of bounds");
      return end - at + 1;
    }
    default: return luaL_error(L, "wrong number of arguments to 'insert'");
  }
}

static int64_t _mods_library_remove_cost(lua_State *L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  lua_Integer size = _mods_library_length(L, 1);
  lua_Integer at = luaL_optinteger(L, 2, size);
  if (lua_gettop(L) >= 2 && at != size) luaL_argcheck(L, 1 <= at && at <= size + 1, 1, "position out of bounds");
  return size - at + 1 > 0 ? size - at + 1 : 1;
}

static int64_t _mods_library_sort_cost(lua_State *L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  if (!lua_isnoneornil(L, 2)) luaL_checktype(L, 2, LUA_TFUNCTION);
  double n = (double)_mods_library_length(L, 1);
  return (int64_t)(n * (std::log2(n + 1) + 1)) + 1;  // comparisons of a sort
}

static int64_t _mods_library_tonumber_cost(lua_State *L) {
  size_t length = 0;
  if (lua_isnoneornil(L, 2)) {
    luaL_checkany(L, 1);
    if (lua_type(L, 1) == LUA_TSTRING) lua_tolstring(L, 1, &length);
  } else {
    lua_Integer base = luaL_checkinteger(L, 2);
    luaL_checklstring(L, 1, &length);
    luaL_argcheck(L, 2 <= base && base <= 36, 2, "base out of range");
  }
  return 1 + (int64_t)length / MODS_BUDGET_SCAN_BYTES;
}

static const ModsLibraryCharged CHARGED[] = {
    {"table", "insert", _mods_library_insert_cost}, {"table", "remove", _mods_library_remove_cost},
    {"table", "sort", _mods_library_sort_cost},     {nullptr, "tonumber", _mods_library_tonumber_cost},
};

// Upvalues: the library's function and the index of its entry in CHARGED.
static int _mods_library_charged(lua_State *L) {
  const ModsLibraryCharged &entry = CHARGED[lua_tointeger(L, lua_upvalueindex(2))];
  mods_budget_charge(L, entry.cost(L), entry.name);
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
  return lua_gettop(L);
}

// Element i of the table at index 1, for concat: a string or a number.
static void _mods_library_add_element(lua_State *L, luaL_Buffer *b, int i) {
  lua_rawgeti(L, 1, i);
  if (!lua_isstring(L, -1)) {
    luaL_error(L, "invalid value (%s) at index %d in table for 'concat'", luaL_typename(L, -1), i);
  }
  luaL_addvalue(b);
}

// concat(t [, sep [, i [, j]]]), each element counted.
static int _mods_library_concat(lua_State *L) {
  size_t separator_length;
  const char *separator = luaL_optlstring(L, 2, "", &separator_length);
  luaL_checktype(L, 1, LUA_TTABLE);
  int i = (int)luaL_optinteger(L, 3, 1);
  int last = lua_isnoneornil(L, 4) ? (int)luaL_len(L, 1) : (int)luaL_checkinteger(L, 4);
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  for (; i < last; i++) {
    if (i % 1024 == 0) mods_budget_charge(L, 1024, "concat");
    _mods_library_add_element(L, &b, i);
    luaL_addlstring(&b, separator, separator_length);
  }
  if (i == last) _mods_library_add_element(L, &b, i);
  luaL_pushresult(&b);
  return 1;
}

// unpack(t [, i [, j]]): the elements as values, each counted.
static int _mods_library_unpack(lua_State *L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  int first = (int)luaL_optinteger(L, 2, 1);
  int last = lua_isnoneornil(L, 3) ? (int)luaL_len(L, 1) : (int)luaL_checkinteger(L, 3);
  if (first > last) return 0;
  unsigned count = (unsigned)last - (unsigned)first + 1;
  if (count == 0 || count >= (unsigned)INT_MAX || !lua_checkstack(L, (int)count)) {
    return luaL_error(L, "too many results to unpack");
  }
  mods_budget_charge(L, count, "unpack");
  for (unsigned k = 0; k < count; k++) lua_rawgeti(L, 1, (int)(first + (int)k));
  return (int)count;
}

// maxn(t): the largest positive numeric key, each entry of the table counted.
static int _mods_library_maxn(lua_State *L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  lua_Number most = 0;
  int64_t entries = 0;
  lua_pushnil(L);
  while (lua_next(L, 1)) {
    lua_pop(L, 1);
    if (++entries % 1024 == 0) mods_budget_charge(L, 1024, "maxn");
    if (lua_type(L, -1) == LUA_TNUMBER && lua_tonumber(L, -1) > most) most = lua_tonumber(L, -1);
  }
  lua_pushnumber(L, most);
  return 1;
}

// ---- coroutines ----

// Resumes co with the top nargs values of L. Returns the number of values it yielded or returned,
// now on L; or -1 with the error message on top of L.
static int _mods_library_resume(lua_State *L, lua_State *co, int nargs) {
  if (lua_status(co) == LUA_OK && lua_gettop(co) == 0) {
    lua_pushliteral(L, "cannot resume dead coroutine");
    return -1;
  }
  if (!lua_checkstack(co, nargs)) {
    lua_pushliteral(L, "too many arguments to resume");
    return -1;
  }
  lua_xmove(L, co, nargs);
  lua_State *resumer = mods_budget_switch(co);
  int status = lua_resume(co, L, nargs);
  mods_budget_switch(resumer);
  if (status != LUA_OK && status != LUA_YIELD) {
    lua_xmove(co, L, 1);
    return -1;
  }
  int results = lua_gettop(co);
  if (!lua_checkstack(L, results + 1)) {
    lua_pop(co, results);
    lua_pushliteral(L, "too many results to resume");
    return -1;
  }
  lua_xmove(co, L, results);
  return results;
}

static int _mods_library_coroutine_resume(lua_State *L) {
  lua_State *co = lua_tothread(L, 1);
  luaL_argcheck(L, co, 1, "coroutine expected");
  int results = _mods_library_resume(L, co, lua_gettop(L) - 1);
  lua_pushboolean(L, results >= 0);
  if (results < 0) {
    lua_insert(L, -2);
    return 2;
  }
  lua_insert(L, -(results + 1));
  return results + 1;
}

// The function coroutine.wrap returns: resumes its thread and raises the thread's error, with the
// caller's position in front of a text.
static int _mods_library_wrapped(lua_State *L) {
  int results = _mods_library_resume(L, lua_tothread(L, lua_upvalueindex(1)), lua_gettop(L));
  if (results >= 0) return results;
  if (lua_isstring(L, -1)) {
    luaL_where(L, 1);
    lua_insert(L, -2);
    lua_concat(L, 2);
  }
  return lua_error(L);
}

static int _mods_library_coroutine_wrap(lua_State *L) {
  luaL_checktype(L, 1, LUA_TFUNCTION);
  lua_State *co = lua_newthread(L);
  lua_pushvalue(L, 1);
  lua_xmove(L, co, 1);
  lua_pushcclosure(L, _mods_library_wrapped, 1);
  return 1;
}

// ---- registration ----

static const struct {
  const char *library;
  const char *name;
  lua_CFunction function;
} OWN[] = {
    {"string", "find", _mods_library_find},   {"string", "match", _mods_library_match},
    {"string", "gmatch", _mods_library_gmatch}, {"string", "gsub", _mods_library_gsub},
    {"string", "rep", _mods_library_rep},     {"string", "byte", _mods_library_byte},
    {"table", "maxn", _mods_library_maxn},    {"table", "concat", _mods_library_concat},
    {"table", "unpack", _mods_library_unpack}, {nullptr, "unpack", _mods_library_unpack},
    {"coroutine", "resume", _mods_library_coroutine_resume},
    {"coroutine", "wrap", _mods_library_coroutine_wrap},
};

// Pushes the table of that library (the global table for null); false when there is none.
static bool _mods_library_push(lua_State *L, const char *library) {
  if (!library) {
    lua_pushglobaltable(L);
    return true;
  }
  lua_getglobal(L, library);
  if (lua_istable(L, -1)) return true;
  lua_pop(L, 1);
  return false;
}

void mods_library_open(lua_State *L) {
  for (const auto &own : OWN) {
    if (!_mods_library_push(L, own.library)) continue;
    lua_pushcfunction(L, own.function);
    lua_setfield(L, -2, own.name);
    lua_pop(L, 1);
  }
  for (size_t i = 0; i < sizeof CHARGED / sizeof CHARGED[0]; i++) {
    if (!_mods_library_push(L, CHARGED[i].library)) continue;
    lua_getfield(L, -1, CHARGED[i].name);
    if (lua_isfunction(L, -1)) {
      lua_pushinteger(L, (lua_Integer)i);
      lua_pushcclosure(L, _mods_library_charged, 2);
      lua_setfield(L, -2, CHARGED[i].name);
    } else {
      lua_pop(L, 1);
    }
    lua_pop(L, 1);
  }
}
