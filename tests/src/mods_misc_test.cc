// Running the mod: start-up params, following "state", events, and reloads of changed files.
#include "mods_misc.h"

#include <gtest/gtest.h>
#include <utime.h>

#include <memory>

#include "data_override.h"
#include "game.h"
#include "mods_api.h"
#include "mods_lua.h"

namespace {

int64_t fake_now;
int64_t fake_clock() { return fake_now; }

// A game whose mod file lies in a private data folder.
class ModsMisc : public DataOverrideTest {
 protected:
  void SetUp() override {
    override_open("mods-misc");
    g.reset(new Game());
    snprintf(g->mod_file, sizeof g->mod_file, "%s/main.lua", folder.c_str());
  }
  void TearDown() override {
    mods_stop(g.get());
    g.reset();
    _mods_clock_set(nullptr);
    override_close();
  }
  void start(const char *lua, std::vector<const char *> args = {"vantor"}) {
    file("main.lua", lua);
    argv = args;
    g->argv = const_cast<char **>(argv.data());
    g->argc = (int)argv.size();
    mods_start(g.get());
  }
  std::string param(const char *key) { return g->mods->param_get(key).str(); }

  std::unique_ptr<Game> g;
  std::vector<const char *> argv;
};

}  // namespace

TEST_F(ModsMisc, free_command_line_pairs_become_text_params) {
  g->headless = 1;
  start("", {"vantor", "-name", "a", "-port", "9", "-x", "5", "-a", "-b", "c", "-z"});
  EXPECT_EQ(param("x"), "5");
  EXPECT_EQ(param("a"), "-b");
  EXPECT_EQ(param("b"), "c");
  EXPECT_FALSE(g->mods->params.has(var("z")));
  EXPECT_EQ(param("name"), "Anonymous");  // the user's identity, not the command line's pair
  EXPECT_EQ(g->mods->param_get("port").type(), VAR_NONE);  // the game's port is 0: none stored
  EXPECT_EQ(param("state"), "menu");
  EXPECT_EQ(param("headless"), "1");
}

TEST_F(ModsMisc, the_main_file_runs_then_init_and_a_headless_quit_ends_the_game) {
  g->headless = 1;
  start("function _init() w2_param_set('state', 'quit') end");
  EXPECT_EQ(g->quit, 1u);
  ASSERT_EQ(g->mods->files.size(), 1u);
  EXPECT_EQ(g->mods->files[0].file, "main.lua");
}

TEST_F(ModsMisc, state_param_switches_screens_except_over_settings_and_errors) {
  start("function _init() end function _event(e) w2_param_set('state', e.value) end");
  EXPECT_STREQ(g->names.current, "states_menu");
  var e;
  var_dict2(e, var("type"), var("go"), var("value"), var("play"));
  mods_event(g.get(), e);
  EXPECT_STREQ(g->names.current, "states_play");
  g->mods->param_set("player2", var(1));
  mods_update(g.get());
  EXPECT_STREQ(g->names.current, "states_play2");

  state_change("menus_settings_video", &g->names, -1);
  e["value"] = var("lobby");
  mods_event(g.get(), e);
  EXPECT_STREQ(g->names.current, "menus_settings_video");
  e["value"] = var("play");
  mods_event(g.get(), e);
  EXPECT_STREQ(g->names.current, "states_play2");
  state_change("menus_error", &g->names, -1);
  e["value"] = var("menu");
  mods_event(g.get(), e);
  EXPECT_STREQ(g->names.current, "menus_error");
}

TEST_F(ModsMisc, a_popup_dismissal_clears_html_without_reaching_the_mod) {
  start("seen = 0 function _init() end function _event(e) seen = seen + 1 end");
  g->mods->param_store("html", var("<p>hi</p>"));
  var e;
  var_dict2(e, var("type"), var("mods_popup_dismiss"), var("value"), var(""));
  mods_event(g.get(), e);
  EXPECT_EQ(param("html"), "");
  g->mods_base->script("w2_param_set('seen', seen)", "test");
  EXPECT_EQ(param("seen"), "0");
}

TEST_F(ModsMisc, a_changed_file_is_reloaded_once_after_it_settles) {
  _mods_clock_set(fake_clock);
  fake_now = 1000000;
  start("runs = (runs or 0) + 1 w2_param_set('runs', runs)");
  std::string path = folder + "/main.lua";
  struct utimbuf old_times = {999000, 999000};
  utime(path.c_str(), &old_times);
  g->mods->files[0].mtime = 999000;
  struct utimbuf touched = {1000010, 1000010};
  utime(path.c_str(), &touched);
  for (fake_now = 1000001; fake_now <= 1000011; fake_now++) mods_update(g.get());
  EXPECT_EQ(param("runs"), "1");  // changed within the last two seconds: not yet
  for (fake_now = 1000012; fake_now <= 1000020; fake_now++) mods_update(g.get());
  EXPECT_EQ(param("runs"), "2");
}

TEST_F(ModsMisc, a_missing_main_file_leaves_no_error_for_the_next_call) {
  g->headless = 1;
  snprintf(g->mod_file, sizeof g->mod_file, "%s/absent.lua", folder.c_str());
  start("");
  g->mods_base->script("w2_param_set('after', 'clean')", "test");
  EXPECT_EQ(param("after"), "clean");
}
