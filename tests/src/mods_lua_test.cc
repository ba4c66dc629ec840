// The Lua mod runtime: the sandbox, the w2_ functions' conversions and errors, require, the entry
// points, the instruction limit and the library files.
#include "mods_lua.h"
#include "chat.h"

#include <gtest/gtest.h>

#include <lua.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

#include "data_override.h"
#include "failing_new.h"
#include "game.h"
#include "game_net.h"
#include "mods_api.h"
#include "mods_budget_internal.h"
#include "net.h"
#include "net_client.h"
#include "vantor_step.h"
#include "vantor_world.h"

namespace {

// A headless game running an opened runtime, with a private data folder holding the mod's folder.
// The time limit is out of the way unless a test asks for it: on a slow machine (a sanitizer's) it
// would stop the calls that test work and memory first.
class ModsLuaTest : public DataOverrideTest {
 protected:
  void SetUp() override {
    time_ms = _mods_budget_time_set(3600000);
    override_open("mods-lua");
    std::filesystem::create_directories(folder + "/mod");
    g.reset(new Game());
    g->headless = 1;
    snprintf(g->mod_file, sizeof g->mod_file, "%s/mod/main.lua", folder.c_str());
    vantor_world_reset(&g->data.vantor);
    api.reset(new ModsAPI(g.get()));
    lua.reset(new ModsLua(api.get()));
    g->mods = api.get();
    g->mods_base = lua.get();
    lua->open();
  }
  void TearDown() override {
    lua.reset();  // its destructor still reaches the context
    api.reset();
    g.reset();
    override_close();
    _mods_budget_time_set(time_ms);
  }
  void run(const std::string &code) { lua->script(code.c_str(), "test"); }
  // A global's text, read without running a chunk; "<none>" when it is no string or number.
  std::string global(const char *name) {
    lua_getglobal(lua->state, name);
    const char *text = lua_tostring(lua->state, -1);
    std::string out = text ? text : "<none>";
    lua_pop(lua->state, 1);
    return out;
  }
  // tostring of a Lua expression; "<none>" when the chunk fails.
  std::string eval(const std::string &expr) {
    lua_pushnil(lua->state);
    lua_setglobal(lua->state, "result");
    run("result = tostring(" + expr + ")");
    return global("result");
  }
  // The error a statement raises, "" when it raises none.
  std::string raised(const std::string &code) { return eval("select(2, pcall(function() " + code + " end)) or ''"); }
  bool console_has(const std::string &text) const {
    for (const std::string &line : api->console_lines) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

  std::unique_ptr<Game> g;
  std::unique_ptr<ModsAPI> api;
  std::unique_ptr<ModsLua> lua;
  int time_ms = 0;
};

}  // namespace

TEST_F(ModsLuaTest, sandbox_leaves_no_way_out) {
  for (const char *name :
       {"io",           "load",         "loadfile",       "dofile",      "loadstring",  "debug",
        "package",      "_G",           "collectgarbage", "rawequal",    "xpcall",      "assert",
        "setmetatable", "getmetatable", "rawset",         "rawget",      "error",       "os.execute",
        "os.getenv",    "os.exit",      "os.remove",      "string.dump", "(\"\").dump", "coroutine.running and nil"}) {
    EXPECT_EQ(eval(name), "nil") << name;
  }
  EXPECT_EQ(eval("math.floor(2.5) .. string.format('%02d', 7) .. ('ab'):upper()"), "207AB");
  EXPECT_EQ(eval("bit32.band(6, 3) + #table.concat({'x', 'y'})"), "4");
  EXPECT_EQ(eval("type(os.time()) .. type(coroutine.wrap)"), "numberfunction");
}

TEST_F(ModsLuaTest, precompiled_chunks_are_refused) {
  run(std::string("\x1bLua\x52\x00\x01\x04", 8) + "result = 1");
  EXPECT_TRUE(console_has("binary chunk"));
  EXPECT_EQ(lua->status, 0);  // a script leaves the runtime running
}

TEST_F(ModsLuaTest, an_operation_error_is_raised_once_then_cleared) {
  int user = api->user_init("green", 0x00FF00, 0);
  int home = api->planet_init(user, 0, 0, 50, 20);
  int away = api->planet_init(user, 300, 0, 50, 20);
  EXPECT_EQ(raised("w2_fleet_send(50, 0, " + std::to_string(away) + ")"), "invalid item");
  EXPECT_EQ(api->error_flag, 0);
  EXPECT_EQ(api->error, "");
  EXPECT_NE(eval("w2_fleet_send(50, " + std::to_string(home) + ", " + std::to_string(away) + ")"), "0");
  EXPECT_EQ(raised("w2_item_set(" + std::to_string(home) + ", 'owner_n', 0)"), "out of range");
  EXPECT_EQ(raised("w2_item_get(" + std::to_string(home) + ", 'nope')"), "invalid key");
  EXPECT_EQ(raised("w2_item_get(" + std::to_string(home) + ", 'owner_n')"), "");
}

TEST_F(ModsLuaTest, arguments_are_counted_and_converted) {
  for (const char *title : {"one", "two", "three", "four"}) api->user_init(title, 0, 0);
  EXPECT_EQ(raised("w2_item_get(1)"), "incorrect number of arguments");
  EXPECT_EQ(raised("w2_db_query('a', 'b', 0)"), "incorrect number of arguments");
  EXPECT_EQ(raised("w2_param_set('k', {})"), "null string");
  EXPECT_EQ(raised("w2_item_get(1, nil)"), "null string");
  EXPECT_EQ(eval("w2_item_get(2.5, 'title_value')"), "two");  // ties round to even
  EXPECT_EQ(eval("w2_item_get(3.5, 'title_value')"), "four");
  EXPECT_EQ(eval("w2_item_get('3', 'title_value')"), "three");
  EXPECT_EQ(raised("w2_item_get(1e300, 'title_value')"), "invalid item");
  EXPECT_TRUE(console_has("ModsAPI::item_get:n:2147483647 invalid item"));
  run("w2_param_set(5, 'five') w2_param_set('flag', true)");
  EXPECT_EQ(api->param_get("5").str(), "five");
  EXPECT_EQ(eval("w2_param_get('flag')"), "true");
  EXPECT_EQ(eval("w2_param_get('missing')"), "nil");
  EXPECT_EQ(eval("pcall(w2_planets_settle)"), "true");
  EXPECT_EQ(eval("#w2_db_query('a', 'b', 0, 'c', 1, 'x')"), "0");
}

TEST_F(ModsLuaTest, numbers_no_float_holds_never_reach_the_world) {
  run("u = w2_user_init('green', 65280, 0) p = w2_planet_init(u, 10, 20, 50, 5)");
  const World &world = g->data.vantor;
  int items = 0;
  for (const Item &item : world.items) items += item.in_use != 0;
  EXPECT_EQ(raised("w2_planet_init(u, 200, 200, 1e39, 10)"), "argument 4 is not a finite number");
  EXPECT_EQ(raised("w2_planet_init(u, 0/0, 200, 50, 10)"), "argument 2 is not a finite number");
  EXPECT_EQ(raised("w2_fleet_init(u, -math.huge, p, p)"), "argument 2 is not a finite number");
  run("w2_view_set(0, 0, 800, 600)");
  EXPECT_EQ(raised("w2_view_set(0, 0, 1e39, 600) w2_view_set(0/0, 0, 1, 1)"), "") << "the view keeps its rectangle";
  EXPECT_EQ(world.view_rect[2], 800.0f);
  EXPECT_EQ(raised("w2_part_init('spark', 1, 0/0, 2, 3, 4, 5, 6, 7, 8, 9, 10)"), "argument 3 is not a finite number");
  EXPECT_EQ(raised("w2_planets_settle(0, 0, math.huge, 600)"), "argument 3 is not a finite number");
  for (const char *key : {"position_x", "ships_value", "ships_production", "image_scale"}) {
    EXPECT_EQ(raised(std::string("w2_item_set(p, '") + key + "', 0/0)"), "not a finite number") << key;
    EXPECT_EQ(raised(std::string("w2_item_set(p, '") + key + "', -1e39)"), "not a finite number") << key;
  }
  EXPECT_TRUE(console_has("ModsAPI::item_set(2,\"position_x\",-1e+39) not a finite number"));
  int after = 0;
  for (const Item &item : world.items) after += item.in_use != 0;
  EXPECT_EQ(items, after);
  const Item &planet = world.items[2];
  EXPECT_EQ(10.0f, planet.position_x);
  EXPECT_EQ(5.0f, planet.ships_value);
  EXPECT_EQ(50.0f, planet.ships_production);
  run("w2_item_set(p, 'position_x', 3.4e38) w2_planets_settle(0, 0, 800, 600)");  // large but finite
  EXPECT_LE(planet.position_x, 800.0f);
}

TEST_F(ModsLuaTest, items_are_made_found_and_written_from_lua) {
  run("u = w2_user_init('green', 65280, 0) p = w2_planet_init(u, 10, 20, 50, 5)"
      " w2_item_set(p, 'label_text', 'home') f = w2_items_find('planet')");
  EXPECT_EQ(eval("#f .. ':' .. (f[1] == p and 'p' or '?')"), "1:p");
  EXPECT_EQ(eval("w2_item_get(p, 'label_text') .. w2_item_get(p, 'position_y')"), "home20");
  run("w2_part_init({}, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11)");
  EXPECT_STREQ(g->data.vantor.parts[g->data.vantor.part_cursor].image, "");
  EXPECT_EQ(g->data.vantor.parts[g->data.vantor.part_cursor].alpha_rate, 11);
}

TEST_F(ModsLuaTest, entry_points_run_until_a_chunk_fails) {
  run("calls = '' function _init() calls = calls .. 'i' end"
      " function _loop(dt) calls = calls .. 'l' .. dt end"
      " function _event(e) calls = calls .. 'e' .. e.type end");
  lua->init();
  lua->loop(0.5f);
  var e;
  var_dict2(e, var("type"), var("t"), var("n"), var(3));
  lua->event(e);
  lua->event(var("not a dict"));
  EXPECT_EQ(eval("calls"), "il0.5et");

  run("function _loop() calls = calls .. 'L' local x = nothing.here end");
  lua->loop(0.1f);
  EXPECT_NE(lua->status, 0);
  EXPECT_TRUE(console_has("vantor2:"));
  lua->loop(0.1f);
  lua->init();
  lua->event(e);
  EXPECT_EQ(global("calls"), "il0.5etL");
  run("");  // a script (a reload, a console line) clears the failed state
  EXPECT_EQ(lua->status, 0);
  lua->init();
  EXPECT_EQ(global("calls"), "il0.5etLi");
}

TEST_F(ModsLuaTest, events_arrive_as_literals_and_bad_keys_run_nothing) {
  run("function _event(e) got = e end");
  var e;
  var_dict0(e);
  e["type"] = var("net:chat");
  e["value"] = var("a]=]b");
  e["tail"] = var("x]=");
  e["half"] = var(0.5);
  e["flag"] = var(true);
  e["lines"] = var("\nfirst\nsecond");
  e["blank"] = var("\n");
  lua->event(e);
  EXPECT_EQ(eval("got.value .. '|' .. got.tail .. '|' .. got.half .. '|' .. tostring(got.flag)"), "a?b|x]=|0.5|true");
  // Every other byte arrives as it was sent: line ends, quotes, escapes and NUL included.
  const std::string bytes(
      "\nfirst\r\nsecond\rthird\n\r\"q\"\\0\\x41\0"
      "1\x7f\xff]]",
      37);
  e["value"] = var(bytes);
  lua->event(e);
  run("got_bytes = got.value");
  lua_getglobal(lua->state, "got_bytes");
  size_t length = 0;
  const char *got = lua_tolstring(lua->state, -1, &length);
  EXPECT_EQ(std::string(got ? got : "", length), bytes);
  lua_pop(lua->state, 1);
  EXPECT_EQ(eval("tostring(got.lines == '\\nfirst\\nsecond' and got.blank == '\\n')"), "true")
      << "a leading line feed is kept";

  run("got = nil");
  e["x=1}) injected=true _event({y"] = var(1);
  lua->event(e);
  EXPECT_NE(lua->status, 0);
  EXPECT_EQ(eval("injected"), "nil");
  EXPECT_EQ(eval("got"), "nil");
}

TEST_F(ModsLuaTest, require_runs_files_of_the_mod_folder_once) {
  file("mod/util.lua", "util_runs = (util_runs or 0) + 1");
  file("mod/self.lua", "self_runs = (self_runs or 0) + 1 require('self')");
  file("secret.lua", "secret_ran = true");
  run("require('lib\\\\util') require('util') require('self')");
  EXPECT_EQ(eval("util_runs .. self_runs"), "11");
  ASSERT_EQ(api->files.size(), 2u);
  EXPECT_EQ(api->files[0].name, "lib\\util");
  EXPECT_EQ(api->files[0].file, "util.lua");
  EXPECT_EQ(api->files[0].path, folder + "/mod/util.lua");
  EXPECT_EQ(raised("require('../secret')"), "file missing");
  EXPECT_TRUE(console_has("ModsAPI::require(\"../secret\") file missing"));
  EXPECT_EQ(eval("secret_ran"), "nil");
}

TEST_F(ModsLuaTest, a_mod_that_never_returns_is_stopped) {
  int64_t old = _mods_budget_limit_set(1000000);
  for (const char *body : {"while true do end", "while true do pcall(function() while true do end end) end",
                           "while true do coroutine.resume(coroutine.create(function() while true do end end)) end"}) {
    run(std::string("function _loop() ") + body + " end");
    lua->loop(0.1f);
    EXPECT_NE(lua->status, 0) << body;
    EXPECT_TRUE(console_has("instruction limit exceeded")) << body;
  }
  EXPECT_EQ(eval("1 + 1"), "2");  // the next chunk has its budget again
  _mods_budget_limit_set(old);
}

TEST_F(ModsLuaTest, net_send_goes_to_the_hosted_server_unless_addressed_to_it) {
  ASSERT_TRUE(game_net_host(g.get(), 0));  // any free port
  run("w2_net_join('', " + std::to_string(g->server->port) +
      ") w2_net_send('', 'all', 'x') w2_net_send('$', 'up', 'y')");
  ASSERT_TRUE(g->client);
  EXPECT_EQ(g->server->outgoing.back().type, "all");
  EXPECT_EQ(g->client->outgoing.back().type, "up");
  game_net_client_close(g.get());
  game_net_server_close(g.get());
}

TEST_F(ModsLuaTest, on_a_match_client_fleet_orders_go_to_the_server_and_change_nothing_here) {
  Item *user = vantor_user_init(&g->data.vantor, 0xFF0000, 0, "me");
  Item *home = vantor_planet_init(&g->data.vantor, (int)user->n, 0, 0, 50, 40);
  Item *away = vantor_planet_init(&g->data.vantor, 0, 200, 0, 50, 5);
  home->server_n = 7;  // copies of the server's items carry its indices
  away->server_n = 9;
  g->client = new NetClient();  // never opened: what the mod sends stays in its queue
  const std::string h = std::to_string(home->n), a = std::to_string(away->n);
  EXPECT_EQ(eval("w2_fleet_send(50, " + h + ", " + a + ")"), "0");
  ASSERT_EQ(g->client->outgoing.size(), 1u);
  EXPECT_EQ(g->client->outgoing[0].type, "send");
  EXPECT_EQ(g->client->outgoing[0].data, "50 7 9 " + std::to_string((int)home->sync_id));
  EXPECT_EQ(home->ships_value, 40.0f) << "the server's sync brings the fleet";

  Item *fleet = vantor_item_alloc(&g->data.vantor);
  fleet->has_fleet = 1;
  fleet->server_n = 11;
  run("w2_fleet_redirect(" + std::to_string(fleet->n) + ", " + h + ")");
  ASSERT_EQ(g->client->outgoing.size(), 2u);
  EXPECT_EQ(g->client->outgoing[1].type, "redirect");
  EXPECT_EQ(g->client->outgoing[1].data, "11 7 " + std::to_string((int)fleet->sync_id));

  // A hosting game owns its world: its mod's orders act at once.
  g->server = new Net();
  EXPECT_NE(eval("w2_fleet_send(50, " + h + ", " + a + ")"), "0");
  EXPECT_EQ(g->client->outgoing.size(), 2u);
  game_net_client_close(g.get());
  game_net_server_close(g.get());
}

TEST_F(ModsLuaTest, math_random_follows_the_games_seed) {
  srand(7);
  double expected = (double)(rand() % RAND_MAX) / RAND_MAX;
  char text[32];
  snprintf(text, sizeof text, "%.14g", expected);
  srand(7);
  EXPECT_EQ(eval("math.random()"), text);
}

TEST_F(ModsLuaTest, print_reaches_the_mod_console) {
  run("print('hello', 5)");
  EXPECT_TRUE(console_has("hello"));
  EXPECT_TRUE(console_has("5"));
}

TEST_F(ModsLuaTest, library_files_give_json_and_helpers_to_mods) {
  for (const char *name : {"mod_api.lua", "mod_util.lua", "mod_json.lua"}) {
    std::filesystem::copy_file(std::string(VB_SOURCE_DIR) + "/data/" + name, folder + "/" + name);
  }
  lua.reset(new ModsLua(api.get()));
  g->mods_base = lua.get();
  lua->open();
  EXPECT_EQ(eval("json_encode({b = {1, 2.5, 'q\"\\n'}, a = true, c = {}})"),
            "{\"a\":true,\"b\":[1,2.5,\"q\\\"\\n\"],\"c\":{}}");
  EXPECT_EQ(eval("json_decode('{\"k\": [1, {\"x\": \"\\\\u00e9\"}, false]}').k[2].x"), "\xc3\xa9");
  EXPECT_EQ(eval("select(2, json_decode('[1,'))"), "unexpected text at 4");
  EXPECT_EQ(eval("table.concat(util_split('a,,b', ','), '|') .. util_round(-2.5) .. util_clamp(9, 0, 5)"), "a||b-35");
  EXPECT_EQ(eval("REL_ENEMY .. STATE_PLAY"), "8play");
  EXPECT_EQ(eval("util_clock(125.9) .. ' ' .. util_clock(-3) .. ' ' .. util_clock(3600)"), "2:05 0:00 60:00");
  // A name with markup in it shows as typed on the result page instead of opening a tag.
  const std::string page = eval("util_result_page('<b>Bo & \"Al\"', {\"it's 1<2\"})");
  EXPECT_NE(page.find("<h1>&lt;b&gt;Bo &amp; &quot;Al&quot;</h1>"), std::string::npos) << page;
  EXPECT_NE(page.find("<p>it&apos;s 1&lt;2</p>"), std::string::npos) << page;
  EXPECT_NE(page.find("onclick='again'"), std::string::npos);
  EXPECT_NE(page.find("onclick='leave'"), std::string::npos);
  EXPECT_EQ(eval("error"), "nil");  // the libraries keep it; mods do not get it
}

TEST_F(ModsLuaTest, chat_lines_and_keywords_reach_the_games_chat) {
  run("w2_chat_append(2.9, 'no chat yet')");  // nothing without a chat, and no error
  g->chat = new Chat(true);
  run("w2_chat_append(255.9, 'hello') w2_chat_keywords('[\"/kick\", \"/team\"]')");
  ASSERT_EQ(g->chat->lines.size(), 1u);
  EXPECT_EQ(g->chat->lines[0].color, 255) << "the colour is truncated, not rounded";
  EXPECT_EQ(g->chat->lines[0].text, "hello");
  EXPECT_EQ(g->chat->keywords, (std::vector<std::string>{"/kick", "/team"}));
}

TEST_F(ModsLuaTest, a_pattern_that_would_hang_ends_within_the_budget) {
  int64_t old = _mods_budget_limit_set(20000000);
  run("function _loop() string.find(('a'):rep(3000), ('a-'):rep(12) .. 'b') end");
  lua->loop(0.1f);
  EXPECT_NE(lua->status, 0);
  EXPECT_TRUE(console_has("find: instruction limit exceeded"));
  EXPECT_EQ(eval("select(3, string.find('key=value', '(%w+)='))"), "key") << "the game goes on";
  _mods_budget_limit_set(old);
}

TEST_F(ModsLuaTest, memory_past_the_cap_fails_and_the_mod_goes_on) {
  EXPECT_EQ(lua->memory.cap, (size_t)256 << 20);
  lua->memory.cap = lua->memory.used + ((size_t)16 << 20);
  EXPECT_EQ(raised("local t = {} for i = 1, 1e9 do t[i] = ('x'):rep(1e5) .. i end"), "not enough memory")
      << ::testing::PrintToString(api->console_lines);
  EXPECT_EQ(raised("local s = ('x'):rep(3.3e9)"), "not enough memory");
  EXPECT_LE(lua->memory.used, lua->memory.cap);
  EXPECT_EQ(eval("#(('y'):rep(1e6))"), "1000000");
}

TEST_F(ModsLuaTest, a_copy_that_cannot_be_allocated_is_a_lua_error) {
  run("big = ('x'):rep(4 * 1024 * 1024)");
  failing_new_above(1 << 20);
  std::string error = raised("w2_param_set('k', big)");
  std::string printed = raised("print(big)");
  failing_new_reset();
  EXPECT_EQ(error, "not enough memory");
  EXPECT_EQ(printed, "not enough memory");
  EXPECT_EQ(api->param_get("k").type(), VAR_NONE);
  run("w2_param_set('k', #big)");
  EXPECT_EQ(api->param_get("k").number(), 4 * 1024 * 1024) << "the mod goes on";
}

TEST_F(ModsLuaTest, nul_bytes_in_a_file_or_a_required_name_are_refused) {
  file("mod/nul.lua", std::string("before_nul = true\0after_nul = true", 34));
  file("mod/util.lua", "util_ran = true");
  EXPECT_EQ(raised("require('nul')"), "NUL byte in the file nul.lua");
  EXPECT_EQ(eval("before_nul"), "nil") << "nothing of the file runs";
  EXPECT_TRUE(console_has("ModsAPI::require(\"nul\") NUL byte in " + folder + "/mod/nul.lua"));
  EXPECT_EQ(raised("require('util\\0../../secret')"), "NUL byte in the file name util\\0../../secret");
  EXPECT_TRUE(console_has("ModsAPI::require(\"util\\0../../secret\") NUL byte in the name"));
  EXPECT_EQ(eval("util_ran"), "nil");
  ASSERT_EQ(api->files.size(), 1u) << "the refused file is still watched, so fixing it reloads it";
  EXPECT_EQ(api->files[0].file, "nul.lua");
}

TEST_F(ModsLuaTest, a_library_function_past_the_time_limit_ends_the_call_and_the_log_is_told_calls_ran_long) {
  std::filesystem::copy_file(std::string(VB_SOURCE_DIR) + "/data/mod_json.lua", folder + "/mod_json.lua");
  lua.reset(new ModsLua(api.get()));
  g->mods_base = lua.get();
  lua->open();
  _mods_budget_time_set(MODS_BUDGET_TIME_MS);
  _mods_budget_report_clear();
  run("function _loop() local t = {} for i = 1, 1e5 do t = {t} end text = json_encode(t) end");
  testing::internal::CaptureStdout();
  lua->loop(0.1f);
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(lua->status, 0);
  EXPECT_TRUE(console_has("time limit exceeded (100 ms)")) << ::testing::PrintToString(api->console_lines);
  // The game's own warning: in the log, never in the console that opens its bar over a match.
  EXPECT_NE(log.find("calls into the mod took 20 ms or more of processor time"), std::string::npos) << log;
  EXPECT_FALSE(console_has("calls into the mod took"));
  EXPECT_EQ(eval("text"), "nil");
  EXPECT_EQ(eval("json_encode({1})"), "[1]") << "the next call runs";
}

TEST_F(ModsLuaTest, entry_points_a_mod_leaves_out_are_skipped_and_said_once) {
  run("x = 1");
  lua->init();
  var e;
  var_dict2(e, "type", "t", "n", 1);
  for (int frame = 0; frame < 3; frame++) {
    lua->loop(0.1f);
    lua->event(e);
  }
  EXPECT_EQ(lua->status, 0);
  int said = 0;
  for (const std::string &line : api->console_lines) said += line.find("the mod has no function") != std::string::npos;
  EXPECT_EQ(said, 3);
  EXPECT_TRUE(console_has("the mod has no function _loop: the engine skips it"));
  run("function _loop() looped = true end");
  lua->loop(0.1f);
  EXPECT_EQ(eval("looped"), "true");
}

TEST_F(ModsLuaTest, bad_ports_items_of_the_wrong_kind_and_an_owner_still_in_use_are_refused) {
  for (const char *port : {"0/0", "'x'", "0", "-1", "65536", "1e300"}) {
    for (const std::string call :
         {"w2_net_host(P)", "w2_net_join('127.0.0.1', P)", "w2_net_poke('h', P, 't', 'y', 'd')"}) {
      const std::string code = str_replace(call, "P", port);
      EXPECT_EQ(raised(code), "invalid port") << code;
    }
  }
  EXPECT_FALSE(g->server || g->client);
  int user = api->user_init("green", 0x00FF00, 0), other = api->user_init("red", 0xFF0000, 0);
  int planet = api->planet_init(user, 0, 0, 50, 20), away = api->planet_init(other, 300, 0, 50, 20);
  int fleet = api->fleet_send(50, planet, away);
  ASSERT_NE(fleet, 0);
  const std::string u = std::to_string(user), o = std::to_string(other), p = std::to_string(planet),
                    a = std::to_string(away), f = std::to_string(fleet);
  EXPECT_EQ(raised("w2_planet_chown(" + p + ", " + a + ")"), "not a user");
  EXPECT_EQ(raised("w2_planet_chown(" + f + ", " + o + ")"), "not a planet");
  EXPECT_TRUE(console_has("ModsAPI::planet_chown:uid:" + a + " not a user"));
  EXPECT_EQ(raised("w2_fleet_redirect(" + p + ", " + a + ")"), "not a fleet");
  EXPECT_EQ(raised("w2_fleet_redirect(" + f + ", " + u + ")"), "not a planet");
  EXPECT_EQ(g->data.vantor.items[planet].owner_n, (uint32_t)user);
  EXPECT_EQ(g->data.vantor.items[fleet].fleet_target, (uint32_t)away);

  EXPECT_EQ(raised("w2_item_destroy(" + u + ")"), "user owns planets or fleets");
  EXPECT_TRUE(g->data.vantor.items[user].in_use);
  run("w2_item_destroy(" + f + ") w2_planet_chown(" + p + ", " + o + ")");
  EXPECT_EQ(raised("w2_item_destroy(" + u + ")"), "");
  EXPECT_FALSE(g->data.vantor.items[user].in_use);
}

// A headless server builds no screens, yet the mod's markup meets the caps a windowed game's does.
TEST_F(ModsLuaTest, saved_data_and_markup_a_headless_server_cannot_keep_raise_from_param_set) {
  EXPECT_EQ(raised("w2_param_set('data', '')"), "saved data must be 1 to 65536 bytes");
  EXPECT_EQ(raised("w2_param_set('data', ('d'):rep(65537))"), "saved data must be 1 to 65536 bytes");
  EXPECT_TRUE(console_has("ModsAPI::param_set: saved data of 65537 bytes not kept (1 to 65536 bytes are)"));
  EXPECT_EQ(raised("w2_param_set('html', (' '):rep(1048577))"), "markup longer than 1048576 bytes");
  EXPECT_EQ(raised("w2_param_set('tabs', '<p>x' .. ('<br/>'):rep(16384))"), "markup of more than 16384 tags");
  EXPECT_EQ(raised("w2_param_set('html', '<table>' .. ('<td>x'):rep(4097))"), "markup of more than 4096 elements");
  EXPECT_EQ(raised("w2_param_set('html', ('<table><tr><td>'):rep(65))"), "markup nested deeper than 64 elements");
  EXPECT_TRUE(console_has("ModsAPI::gui_build: html: markup nested deeper than 64 elements: the rest is left out"));
  EXPECT_EQ(raised("w2_param_set('html', '<p>x' .. ('<br/>'):rep(16383))"), "");
  EXPECT_EQ(raised("w2_param_set('data', ('d'):rep(65536))"), "");
}

TEST_F(ModsLuaTest, a_sound_or_music_that_is_missing_is_logged_once_per_name) {
  file("ping.wav", "RIFF");
  run("for i = 1, 3 do w2_play_sound('boom') w2_play_music('tune') w2_play_sound('ping') end");
  int lines = 0;
  for (const std::string &line : api->console_lines) lines += line.find("file missing") != std::string::npos;
  EXPECT_EQ(lines, 2);
  EXPECT_TRUE(console_has("ModsAPI::play_sound(\"boom\") file missing: nothing plays"));
  EXPECT_TRUE(console_has("ModsAPI::play_music(\"tune\") file missing: the music fades out"));
}

TEST_F(ModsLuaTest, the_modding_reference_documents_every_function_the_binding_registers) {
  std::ifstream in(std::string(VB_SOURCE_DIR) + "/docs/modding.md");
  const std::string reference((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(reference.empty());
  std::set<std::string> registered;
  lua_State *L = lua->state;
  lua_pushglobaltable(L);
  for (lua_pushnil(L); lua_next(L, -2); lua_pop(L, 1)) {
    const std::string name = lua_type(L, -2) == LUA_TSTRING ? lua_tostring(L, -2) : "";
    if (lua_iscfunction(L, -1) && (name.rfind("w2_", 0) == 0 || name == "require")) registered.insert(name);
  }
  lua_pop(L, 1);
  EXPECT_EQ(registered.size(), 32u);
  for (const std::string &name : registered) {
    EXPECT_NE(reference.find("\n### " + name + "("), std::string::npos) << name << " is missing from the reference";
  }
  for (size_t at = reference.find("\n### w2_"); at != std::string::npos; at = reference.find("\n### w2_", at + 1)) {
    const std::string name = reference.substr(at + 5, reference.find('(', at) - at - 5);
    EXPECT_TRUE(registered.count(name)) << name << " is in the reference but not in the game";
  }
}
