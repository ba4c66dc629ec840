// The mod context: the log entry, pending errors, params, saved data, the database stub and the
// world operations.
#include "mods_api.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "game.h"
#include "game_video.h"
#include "kez_driver-steam.h"
#include "mods_budget.h"
#include "mods_budget_internal.h"
#include "mods_lua.h"
#include "mods_world.h"
#include "mods_world_internal.h"
#include "vantor_world.h"

namespace {

// A headless game with a fresh world and a mod context.
class ModsApi : public testing::Test {
 protected:
  void SetUp() override {
    g.reset(new Game());
    g->headless = 1;
    vantor_world_reset(world());
    api.reset(new ModsAPI(g.get()));
  }
  World *world() { return &g->data.vantor; }
  std::vector<std::string> lines() const { return api->console_lines; }

  std::unique_ptr<Game> g;
  std::unique_ptr<ModsAPI> api;
};

}  // namespace

TEST_F(ModsApi, log_entry_expands_tabs_splits_lines_and_drops_blank_pieces) {
  api->log_entry("a\tb");
  api->log_entry("one\r\ntwo");
  api->log_entry("   ");
  EXPECT_EQ(lines(), (std::vector<std::string>{"two", "one", "a    b"}));
  // What a peer said reaches the log file escaped (the console shows it as it came).
  testing::internal::CaptureStdout();
  api->log_entry("chat: \xff\x1b[2J");
  EXPECT_NE(testing::internal::GetCapturedStdout().find("ModsAPI: chat: \\xff\\x1b[2J"), std::string::npos);
  EXPECT_EQ(lines().front(), "chat: \xff\x1b[2J");
}

TEST_F(ModsApi, console_keeps_the_newest_255_lines) {
  for (int i = 0; i < 256; i++) api->logf("line %d", i);
  ASSERT_EQ(lines().size(), 255u);
  EXPECT_EQ(lines().front(), "line 255");
  EXPECT_EQ(lines().back(), "line 1");
}

TEST_F(ModsApi, a_second_error_replaces_the_first) {
  int user = api->user_init("green", 0x00FF00, 0);
  api->item_get(0, "has_user");
  EXPECT_EQ(lines().front(), "ModsAPI::item_get:n:0 invalid item");
  api->item_get(user, "nope");
  EXPECT_EQ(api->error_flag, 1);
  EXPECT_EQ(api->error_get(), "invalid key");
}

TEST_F(ModsApi, state_settings_pushes_the_popup_and_stores_nothing) {
  api->param_set("state", var("menu"));
  api->param_set("state", var("settings"));
  EXPECT_STREQ(g->names.current, "menus_settings_popup");
  EXPECT_EQ(api->param_get("state").str(), "menu");
}

TEST_F(ModsApi, background_and_status_are_cut_and_leave_no_old_bytes) {
  api->param_set("bkgr_src", var("abcdefghijklmnopqrst"));
  EXPECT_STREQ(world()->background, "abcdefghijklmno");
  api->param_set("bkgr_src", var("ab"));
  char expected[16] = "ab";
  EXPECT_EQ(memcmp(world()->background, expected, sizeof expected), 0);
  api->param_set("status", var(std::string(300, 's')));
  EXPECT_EQ(strlen(world()->status), 255u);
}

TEST_F(ModsApi, params_store_and_read_back_values_and_none_for_missing) {
  api->param_set("speed", var(2));
  EXPECT_EQ(api->param_get("speed").number(), 2);
  EXPECT_EQ(api->param_get("missing").type(), VAR_NONE);
  EXPECT_FALSE(api->params.has(var("missing")));  // reading does not grow the dict
}

TEST_F(ModsApi, saved_data_is_named_after_the_main_file_and_limited_in_size) {
  EXPECT_EQ(mods_bin_name("mod_classic.lua"), "mod_classic");
  EXPECT_EQ(mods_bin_name("my-mod 2.lua"), "my_mod_2");
  EXPECT_EQ(mods_bin_name("abcdefghijklmnopqrst.lua"), "abcdefghijklmnop");
  EXPECT_EQ(mods_bin_name(".hidden"), "_");

  if (!app_info) driver_app_create();
  const std::string name_before = app_info->app_name;
  snprintf(app_info->app_name, sizeof app_info->app_name, "App");  // cloud files go to the test's APPDATA

  api->param_set("data", var("lost"));  // no main file yet: nothing to name the file after
  EXPECT_EQ(api->param_get("data").str(), "");
  api->files.push_back({"keep.lua", "keep.lua", 0, "keep.lua"});
  std::string full(MODS_BIN_MAX, 'k');
  api->param_set("data", var(full));
  api->param_set("data", var(full + "x"));
  EXPECT_EQ(api->param_get("data").str(), full);
  EXPECT_TRUE(driver_cloud_exists("keep.bin"));
  // The name also picks the data folder, which later tests of the process look in.
  snprintf(app_info->app_name, sizeof app_info->app_name, "%s", name_before.c_str());
}

TEST_F(ModsApi, database_is_a_stub_and_its_wrapper_closes_a_connection) {
  var values;
  var_new_list(values);
  EXPECT_EQ(api->db_query("a", "b", "c", values).type(), VAR_NONE);
  EXPECT_EQ(lines().front(), "n/a");
  auto db = std::make_unique<DBWrap>();
  ASSERT_EQ(sqlite3_open(":memory:", &db->handle), SQLITE_OK);
  db.reset();  // the leak check fails the run when the connection stays open
}

TEST_F(ModsApi, creators_check_their_items_and_report_the_first_bad_one) {
  int user = api->user_init("green", 0x00FF00, 0);
  int team = api->team_init("blue", 0x0000FF);
  EXPECT_GT(user, 0);
  EXPECT_GT(team, 0);
  EXPECT_EQ(api->planet_init(0, 0, 0, 50, 10), 0);
  EXPECT_EQ(lines().front(), "ModsAPI::planet_init:uid:0 invalid item");
  int home = api->planet_init(user, 0, 0, 50, 10);
  int away = api->planet_init(user, 300, 0, 50, 10);
  EXPECT_EQ(api->fleet_init(user, 4095, 4096, 3), 0);
  EXPECT_EQ(lines().front(), "ModsAPI::fleet_init:from:4095 invalid item");
  EXPECT_GT(api->fleet_init(user, home, away, 3), 0);
  EXPECT_EQ(api->fleet_send(50, home, -1), 0);
  EXPECT_EQ(lines().front(), "ModsAPI::fleet_send:to:-1 invalid item");
  api->error_flag = 0;
  EXPECT_EQ(api->fleet_send(0, home, away), 0);  // refused by the match rules, not an API error
  EXPECT_EQ(api->error_flag, 0);
}

TEST_F(ModsApi, the_4097th_particle_overwrites_the_first_slot_used) {
  float numbers[MODS_PART_NUMBERS] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  api->part_init("sparkling", numbers);
  int first = world()->part_cursor;
  const Part &part = world()->parts[first];
  EXPECT_STREQ(part.image, "sparkli");
  EXPECT_EQ(part.life, 1);
  EXPECT_EQ(part.alpha_rate, 11);
  EXPECT_EQ(part.age, 0);
  numbers[0] = 99;
  for (int i = 0; i < VANTOR_PARTS; i++) api->part_init("x", numbers);
  EXPECT_EQ((int)world()->part_cursor, first);
  EXPECT_EQ(world()->parts[first].life, 99);
}

TEST_F(ModsApi, game_reset_clears_the_match_and_keeps_serials_growing) {
  int user = api->user_init("green", 0x00FF00, 0);
  uint32_t serial = world()->items[user].sync_id;
  g->view.initialised = 1;
  api->game_reset();
  EXPECT_FALSE(world()->items[user].in_use);
  EXPECT_EQ(g->view.initialised, 0);
  EXPECT_GT(world()->items[api->user_init("red", 0xFF0000, 0)].sync_id, serial);
}

TEST(ModsFileName, require_names_never_leave_the_folder) {
  EXPECT_EQ(mods_file_name("lib\\util"), "util.lua");
  EXPECT_EQ(mods_file_name("../secret"), "secret.lua");
  EXPECT_EQ(mods_file_name("..\\..\\etc/passwd"), "passwd.lua");
  EXPECT_EQ(mods_file_name("notes.txt"), "notes.txt");
  EXPECT_EQ(mods_file_name("...."), "__.lua");
}

namespace {

const char *const NICK_PAGE = "<table><tr><td><input type='text' name='nick' value='Ann'/></td></tr></table>";
const char *const TAB_BAR = "<table><tr><td><input type='button' value='Tab' onclick='tab:one'/></td></tr></table>";

// A windowed game's mod screen (no window is needed to build it).
class ModsScreen : public ModsApi {
 protected:
  void SetUp() override {
    ModsApi::SetUp();
    g->headless = 0;
    api.reset(new ModsAPI(g.get()));
  }
  bool shows(const char *name) { return api->screen.find(name) != nullptr; }
  void press(int key) {
    Event e(EVT_KEYDOWN);
    e.key = key;
    api->screen.on_event(e);
  }
  Widget *clicked_by(const char *value) {
    for (Widget *w : api->screen.children()) {
      if (w->action.click.type() == VAR_DICT && w->action.click["value"].str() == value) return w;
    }
    return nullptr;
  }
};

}  // namespace

TEST_F(ModsScreen, console_page_is_built_only_for_a_windowed_game) {
  EXPECT_TRUE(api->console.find("input"));
  g->headless = 1;
  ModsAPI headless(g.get());
  EXPECT_TRUE(headless.console.items.empty());
  headless.param_set("html", var(NICK_PAGE));
  EXPECT_FALSE(headless.screen.find("nick"));
}

TEST_F(ModsScreen, typed_values_survive_tabs_and_state_changes_but_not_new_html) {
  api->param_set("html", var(NICK_PAGE));
  ASSERT_TRUE(shows("html"));
  EXPECT_EQ(api->gui_get("nick").str(), "Ann");
  api->gui_set("nick", var("Bob"));
  api->param_set("tabs", var(TAB_BAR));
  EXPECT_EQ(api->gui_get("nick").str(), "Bob");
  api->param_set("state", var("play"));
  EXPECT_EQ(api->gui_get("nick").str(), "Bob");
  api->param_set("html", var(std::string(NICK_PAGE) + " "));
  EXPECT_EQ(api->gui_get("nick").str(), "Ann");
  EXPECT_EQ(api->gui_get("missing").type(), VAR_NONE);
  api->gui_set("missing", var(1));
}

TEST_F(ModsScreen, a_state_change_brings_the_quit_icon_back) {
  api->param_set("html", var(NICK_PAGE));
  EXPECT_TRUE(shows("quit") && shows("settings"));
  api->param_store("remove_quit", var(true));
  api->gui_build(true);
  EXPECT_FALSE(shows("quit"));
  EXPECT_TRUE(shows("settings"));
  api->param_set("state", var("scene"));
  EXPECT_TRUE(shows("quit"));
}

TEST_F(ModsScreen, tabs_state_shows_the_bar_and_a_long_enough_page_only) {
  api->param_set("tabs", var(TAB_BAR));
  api->param_set("html", var("<p>short</p>"));
  api->param_set("state", var("tabs"));
  EXPECT_TRUE(shows("tabs"));
  EXPECT_FALSE(shows("html") || shows("quit") || shows("settings"));
  api->param_set("html", var(NICK_PAGE));
  EXPECT_TRUE(shows("html"));
  api->param_set("state", var("menu"));
  EXPECT_FALSE(shows("tabs"));  // the bar shows only in the tabs and lobby states
  api->param_set("state", var("lobby"));
  EXPECT_TRUE(shows("tabs") && shows("htmlbox"));
}

// A 1280 x 720 window for the test's lifetime, so the screen has a UI area (853 x 480); the record as
// it was afterwards.
struct WindowSize {
  WindowSize() {
    made = !app_info;
    if (made) driver_app_create();
    w = app_info->width;
    h = app_info->height;
    app_info->width = 1280;
    app_info->height = 720;
  }
  ~WindowSize() {
    app_info->width = w;
    app_info->height = h;
    if (!made) return;
    free(app_info);
    app_info = nullptr;
  }
  bool made;
  int w, h;
};

TEST_F(ModsScreen, the_first_tab_leaves_the_backdrop_for_the_first_control_and_arrows_never_go_back) {
  WindowSize window;
  api->param_set("state", var("scene"));
  api->param_set("html", var("<table><tr><td><input type='button' value='One' onclick='one' width=200 height=60 />"
                             "</td></tr><tr><td><input type='button' value='Two' onclick='two' width=200 height=60 />"
                             "</td></tr></table>"));
  api->screen.layout();
  api->screen.loop();  // the first-hover rule gives the focus to the backdrop
  Widget *backdrop = api->screen.items.front(), *one = clicked_by("one");
  ASSERT_TRUE(one);
  ASSERT_TRUE(backdrop->has_focus());
  press(KEY_TAB);
  EXPECT_TRUE(one->has_focus());
  for (int round = 0; round < 2; round++) {
    for (int key : {KEY_UP, KEY_LEFT, KEY_RIGHT, KEY_DOWN}) {
      press(key);
      EXPECT_FALSE(backdrop->has_focus()) << "arrow " << key;
    }
  }

  Event down(EVT_DOWN);
  down.x = 5;
  down.y = (float)game_ui_height() / 2;
  api->screen.on_event(down);
  EXPECT_TRUE(backdrop->has_focus()) << "a press on empty space still takes the focus off the controls";
  press(KEY_DOWN);
  EXPECT_FALSE(backdrop->has_focus()) << "and an arrow leaves it again";
}

TEST_F(ModsScreen, markup_is_built_within_the_mods_bounds_and_what_it_leaves_out_is_logged_once) {
  std::string deep;
  for (int i = 0; i < 100; i++) deep += "<table><tr><td>";
  api->param_set("html", var(deep));
  EXPECT_EQ(api->error_get(), "markup nested deeper than 64 elements");
  EXPECT_TRUE(shows("html")) << "the page keeps what was built";

  api->param_set("html", var("<table><tr><td><p>a</p><p>b</p><b>c</b></td></tr></table>"));
  api->param_set("state", var("play"));  // built again from the same markup
  int told = 0;
  for (const std::string &line : lines()) told += line.find("html: left out") != std::string::npos;
  EXPECT_EQ(told, 1);
  EXPECT_EQ(lines().front(), "ModsAPI::gui_build: html: left out <p> (a cell holds one element), <b> (unknown)");

  // A mod's markup is built on the budget and the time of the mod's call: whichever runs out first
  // ends the call.
  ModsLua lua(api.get());
  lua.open();
  int64_t old = _mods_budget_limit_set(200000);
  lua.script("w2_param_set('html', '<table>' .. string.rep('<tr><td><p>row</p>', 2000) .. '</table>') after = 1",
             "test");
  _mods_budget_limit_set(old);
  bool stopped = false;
  for (const std::string &line : lines()) {
    stopped |= line.find("w2_param_set: instruction limit exceeded") != std::string::npos ||
               line.find("w2_param_set: time limit exceeded") != std::string::npos;
  }
  EXPECT_TRUE(stopped) << ::testing::PrintToString(lines());
}
