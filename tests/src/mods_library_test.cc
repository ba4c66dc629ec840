// The library functions mods get: the same results and errors as Lua's own (which serve as the
// reference here), and work that ends within the budget where Lua's own would not.
#include "mods_library.h"

#include <gtest/gtest.h>

#include <lua.hpp>

#include <random>
#include <string>
#include <vector>

#include "mods_budget.h"
#include "mods_budget_internal.h"

namespace {

// Runs expressions in a state with Lua's own library and in one with ours.
class ModsLibrary : public testing::Test {
 protected:
  void SetUp() override {
    stock = luaL_newstate();
    luaL_openlibs(stock);
    ours = lua_newstate(mods_budget_alloc, &memory);
    luaL_openlibs(ours);
    mods_library_open(ours);
  }
  void TearDown() override {
    lua_close(stock);
    lua_close(ours);
  }
  // "ok:" and the results, or "error:" and the message, of a Lua expression list.
  static std::string eval(lua_State *L, const std::string &expressions) {
    std::string code = "local r = table.pack(pcall(function() return " + expressions +
                       " end)) local out = {} for i = 2, r.n do out[#out + 1] = tostring(r[i]) end"
                       " return (r[1] and 'ok:' or 'error:') .. table.concat(out, ',')";
    if (luaL_dostring(L, code.c_str()) != LUA_OK) return std::string("chunk:") + lua_tostring(L, -1);
    std::string out = lua_tostring(L, -1);
    lua_pop(L, 1);
    return out;
  }
  // Checks that both libraries give the same for every expression list.
  void same(const std::vector<std::string> &cases) {
    for (const std::string &c : cases) EXPECT_EQ(eval(ours, c), eval(stock, c)) << c;
  }
  // Runs code as the engine runs a chunk, within the budget; its error, or "" when it ran through.
  std::string run(const std::string &code) {
    lua_State *previous = mods_budget_enter(ours);
    std::string error;
    if (luaL_dostring(ours, code.c_str()) != LUA_OK) {
      error = lua_tostring(ours, -1);
      lua_pop(ours, 1);
    }
    mods_budget_leave(previous);
    return error;
  }

  ModsMemory memory;
  lua_State *stock = nullptr;
  lua_State *ours = nullptr;
};

}  // namespace

TEST_F(ModsLibrary, find_and_match_agree_with_lua) {
  same({"string.find('hello world', 'o w')", "string.find('a+b', '+', 1, true)", "string.find('a.b', '.', 1, true)",
        "string.find('abc', 'b', -1)", "string.find('abc', 'b', -10)", "string.find('abc', '', 10)",
        "string.find('abc', '', 4)", "string.find('abc', '', 5)", "string.find('abc', 'b', 2.9)",
        "string.find('abc', 'b', '2')", "string.find('abc', 'b', 0)", "string.find(123, 2)",
        "string.find('THE (quick) fox', '%((%a+)%)')", "string.find('abc', '()b()')", "string.find('aaab', '.-b')",
        "string.find('a\\0b', '%z')", "string.find('\\0a', '[%z]a')", "string.find('a\\0', '[\\0]')",
        "string.find('x%y', '%%')", "string.find('a+b', 'a*+')", "string.find('a+b', '+')",
        "string.find('x', '[]]')", "string.find(']', '[]]')", "string.find('^', '[^^]')", "string.find('-', '[a-]')",
        "string.find('abc', '[%a-z]')", "string.find('a-b', '[a%-b]', 2)", "string.find('abc', '[b-a]')",
        "string.find('abc', '[^]]')", "string.find('aaa', 'a-$')", "string.find('a$b', 'a$b')",
        "string.find('abc', '%bac')", "string.find('((a)', '%b()')", "string.find('f(a(b)c)d', '%b()')",
        "string.find('THE (quick) fox', '%f[%a]%a+', 5)", "string.find('x', '%f[%w]')", "string.find('THE', '%f[%l]')",
        "string.find('', '%f[%z]')", "string.find('hello hello', '(l+)o %a-%1')", "string.find('aXb', '%u')",
        "string.find('a\\nb', 'a.b')", "string.find('\\t x', '%s+%S')", "string.find('12ab', '^%d+')",
        "string.find('ab12', '^%d+')", "string.find('ab', 'b?b?$')", "string.find('#!x', '%p+')",
        "string.find('é', '%a')", "string.find('\\200\\201', '[\\128-\\255]+')"});
  same({"string.match('key = val', '(%w+)%s*=%s*(%w+)')", "string.match('abc', '', 5)", "string.match('abc', 'a)')",
        "string.match('abc', '(()')", "string.match('2024-01-31', '(%d+)-(%d+)-(%d+)')", "string.match('  x  ', '^%s*(.-)%s*$')",
        "string.match('abc', '%x+')", "string.match('0xFF', '%x+', 3)", "string.match('abba', '(a)(b)%2%1')",
        "string.match('a', '()')", "string.match('aaa', '^(a-)a$')", "string.match(' a', '^a')"});
}

TEST_F(ModsLibrary, malformed_patterns_fail_with_lua_messages) {
  same({"string.find('abc', '(')", "string.find('abc', '%')", "string.find('abc', '[a')", "string.find('abc', '%f')",
        "string.find('abc', '%fa')", "string.find('abc', '%b')", "string.find('abc', '%ba')", "string.find('abc', '%1')",
        "string.find('abc', '%0')", "string.find('abc', '(a)%2')", "string.find('abc', '(a%1)')",
        "string.find('abc', string.rep('()', 33))", "string.find('abc', string.rep('(a)', 30))",
        "string.find('abc', '[^]')", "string.find('a]', '[]')", "string.find('%', '[%')", "string.find('a', '[a-%%]')",
        "string.find('abc', '(()')", "string.find('abc', 'a)b')", "string.find('aaa', string.rep('a?', 300))",
        "string.find(nil, 'b')", "string.find('a', {})", "string.match('abc', 'a)')"});
}

TEST_F(ModsLibrary, gsub_and_gmatch_agree_with_lua) {
  same({"string.gsub('hello world', 'o*', '-')", "string.gsub('abc', '', '-')", "string.gsub('abc', '%w', '%0%0', 2)",
        "string.gsub('abc', '(b)', '%1%0%%')", "string.gsub('abc', '()', '%1')", "string.gsub('abc', 'b', '%')",
        "string.gsub('abc', 'b', '%2')", "string.gsub('abc', 'b', '%x')", "string.gsub('abc', '%w', {a = 1, b = true})",
        "string.gsub('abc', '%w', {b = {}})", "string.gsub('abc', '%w', {a = 'A'})",
        "string.gsub('abc', '%w', function(c) if c == 'b' then return false end return c:upper() end)",
        "string.gsub('abc', '%w', function() return {} end)", "string.gsub('abc', '%w', 'x', -1)",
        "string.gsub('abc', '^%w', 'x')", "string.gsub('abc', 'b', 5)", "string.gsub('abc', 'b', nil)",
        "string.gsub('abc', 'b', 'x', '1')", "string.gsub('abc', 'b', 'x', 1.5)", "string.gsub('%a', '%%', '%%%%')",
        "string.gsub('a,b,,c', ',', ';')", "string.gsub('x = 1, y = 2', '(%w+) = (%w+)', '%2 = %1')",
        "string.gsub('abc', '.', {a = 'x'}, 2)", "string.gsub('', '', 'e')", "string.gsub('abc', '$', '!')"});
  const char *collect = "(function(s, p) local out = {} for a, b in string.gmatch(s, p) do"
                        " out[#out + 1] = tostring(a) .. '/' .. tostring(b) end return table.concat(out, ' ') end)";
  std::vector<std::string> gmatch;
  for (const char *args : {"'abc', '%a*'", "'^a^a', '^a'", "'abc', ''", "'abc', '()(.)'",
                           "'k1=v1, k2=v2', '(%w+)=(%w+)'", "'one two  three', '%a+'", "'a,b,,c', '([^,]*)'",
                           "'abc', '('", "'', '.-'"}) {
    gmatch.push_back(std::string(collect) + "(" + args + ")");
  }
  gmatch.push_back("pcall(string.gmatch, 'a', {})");
  same(gmatch);
}

TEST_F(ModsLibrary, rep_byte_tables_and_coroutines_agree_with_lua) {
  same({"string.rep('ab', 3, ',')", "string.rep('ab', 3, '')", "string.rep('', 5, '-')", "string.rep('x', 0)",
        "string.rep('x', -1)", "string.rep('x', -5, 'y')", "string.rep('a', 2.7)", "string.rep('a', '2')",
        "string.rep('a')", "string.rep('ab', 1, ',')", "string.byte('hello', 1, -1)", "string.byte('hello', 0, 100)",
        "string.byte('hello', -100, 1)", "string.byte('abc', 2, 1)", "string.byte('')", "string.byte('abc', 4)",
        "string.byte('abc', -1)"});
  same({"table.insert({}, 1, 2, 3)", "table.insert({})", "table.insert({}, 5, 1)", "table.insert({}, 0, 1)",
        "table.insert(nil, 1)", "(function() local t = {1, 2} table.insert(t, 1, 0) return table.concat(t) end)()",
        "table.remove({}, 5)", "table.remove({1, 2}, 3)", "table.remove({1, 2}, 1)", "table.remove({}, 0)",
        "table.remove({})", "table.remove(nil)", "table.concat({1, {}, 3})", "table.concat({1, 2, 3}, ',', 2)",
        "table.concat(nil)", "table.concat({}, {})", "table.concat({1, 2}, '-', 1, 5)", "unpack(nil)",
        "unpack({1, 2, 3}, 2)", "unpack({1, 2, 3}, -1, 1)", "unpack({}, 1, 1e8)", "table.unpack('abc')",
        "table.sort(nil)", "table.sort({3, 1, 2}, 5)", "table.sort({3, {}, 2})",
        "(function() local t = {3, 1, 2} table.sort(t, function(a, b) return a > b end) return unpack(t) end)()",
        "table.maxn({1, 2, [10] = 1, [3.5] = 1, x = 1})", "table.maxn({})", "table.maxn({[-3] = 1})",
        "table.maxn(nil)"});
  same({"tonumber(nil)", "tonumber()", "tonumber({}, 10)", "tonumber('10', '16')", "tonumber('  1z  ', 36)",
        "tonumber('1 2', 10)", "tonumber('', 10)", "tonumber('7fffffffffffffffff', 16)", "tonumber('ff', 10.5)",
        "tonumber('1', 99)", "tonumber(1, 10)", "tonumber('  10  ')", "tonumber(' 0x10 ')", "tonumber('1e1')"});
  same({"coroutine.resume(coroutine.create(function(a) return a + 1 end), 1)",
        "(function() local co = coroutine.create(function(a) local b = coroutine.yield(a + 1) error('boom' .. b) end)"
        " return coroutine.resume(co, 1), select(2, coroutine.resume(co, 2)), select(2, coroutine.resume(co, 3)) end)()",
        "coroutine.resume(5)", "coroutine.resume(coroutine.running())",
        "coroutine.resume(coroutine.create(function() return coroutine.resume(coroutine.running()) end))",
        "coroutine.wrap(function() error('inside') end)()", "coroutine.wrap(function() error('inside', 0) end)()",
        "coroutine.wrap(5)", "(function() local w = coroutine.wrap(function() return 1 end) w() return w() end)()",
        "(function() local w = coroutine.wrap(function(...) local x = coroutine.yield(...) return x * 2 end)"
        " return w(1, 2, 3), w(21) end)()",
        "(function() local co co = coroutine.create(function() return coroutine.status(co) end)"
        " return coroutine.resume(co) end)()"});
}

// Random small patterns over a small alphabet, valid or not: any difference in result or message
// shows a fault in the matcher.
TEST_F(ModsLibrary, random_patterns_agree_with_lua) {
  static const char *const items[] = {"a", "b", ".", "%a", "%d", "%A", "[ab]", "[^a]", "[a-c]", "*", "+", "-", "?",
                                      "(", ")", "()", "%1", "%2", "^", "$", "%b()", "%f[%a]", "%", "[", "1", " "};
  static const char subject_chars[] = "ab1( )c";
  std::mt19937 random(12);
  std::vector<std::string> cases;
  for (int i = 0; i < 3000; i++) {
    std::string pattern, subject;
    for (int n = random() % 7; n > 0; n--) pattern += items[random() % (sizeof items / sizeof items[0])];
    for (int n = random() % 10; n > 0; n--) subject += subject_chars[random() % (sizeof subject_chars - 1)];
    std::string args = "'" + subject + "', '" + pattern + "'";
    switch (i % 4) {
      case 0: cases.push_back("string.find(" + args + ")"); break;
      case 1: cases.push_back("string.match(" + args + ", " + std::to_string(random() % 4) + ")"); break;
      case 2: cases.push_back("string.gsub(" + args + ", '<%0>')"); break;
      default:
        cases.push_back("(function() local n = 0 for a, b in string.gmatch(" + args +
                        ") do n = n + 1 if n > 20 then break end end return n end)()");
    }
  }
  same(cases);
}

// Each of these runs without bound, or for hours, with Lua's own library; here it ends with the
// budget's error naming the function.
TEST_F(ModsLibrary, hostile_calls_end_within_the_budget) {
  int64_t old = _mods_budget_limit_set(5000000);
  int old_time = _mods_budget_time_set(3600000);  // the work is what counts here, on any machine
  const struct {
    const char *code;
    const char *error;
  } cases[] = {
      {"string.find(('a'):rep(3000), ('a-'):rep(12) .. 'b')", "find: instruction limit exceeded"},
      {"string.match(('a'):rep(3000), ('(a*)'):rep(12) .. 'b')", "match: instruction limit exceeded"},
      {"string.gsub(('a'):rep(3000), ('a?'):rep(20) .. 'b', '')", "gsub: instruction limit exceeded"},
      {"for w in string.gmatch(('a'):rep(3000), ('a*'):rep(8) .. 'b') do end", "gmatch: instruction limit exceeded"},
      {"local s = ('x'):rep(1e5) .. 'y' while true do s:find(('x'):rep(1e4) .. 'z', 1, true) end",
       "find: instruction limit exceeded"},
      {"local s = ('x'):rep(1e5) while true do string.byte(s, 1, -1) end", "byte: instruction limit exceeded"},
      {"local t = {} for i = 1, 1e6 do table.insert(t, 1, i) end", "insert: instruction limit exceeded"},
      {"local t = {} for i = 1, 1e5 do t[i] = i end while true do table.remove(t, 1) t[#t + 1] = 0 end",
       "remove: instruction limit exceeded"},
      {"local t = {} for i = 1, 1e5 do t[i] = 'x' end while true do table.concat(t, '', 1, 1) unpack(t) end",
       "unpack: instruction limit exceeded"},
      {"local t = {} for i = 1, 1e5 do t[i] = -i end while true do table.sort(t) end", "sort: instruction limit exceeded"},
      {"local t = {} for i = 1, 1e5 do t[i] = i end while true do table.maxn(t) end", "maxn: instruction limit exceeded"},
      {"local s = (' '):rep(1e6) while true do tonumber(s) end", "tonumber: instruction limit exceeded"},
  };
  for (const auto &c : cases) {
    EXPECT_NE(run(c.code).find(c.error), std::string::npos) << c.code;
    EXPECT_EQ(run("x = 1"), "") << "the next chunk has its budget again";
  }
  EXPECT_EQ(run("assert(string.rep('', 1e15) == '') assert(string.rep('', 1e15, '') == '')"), "");
  _mods_budget_limit_set(old);
  _mods_budget_time_set(old_time);
}
