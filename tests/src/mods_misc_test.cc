// Running the mod: start-up params, following "state", events, and reloads of changed files.
#include "mods_misc.h"

#include <gtest/gtest.h>
#include <utime.h>

#include <memory>

#include "data_override.h"
#include "game.h"
#include "game_identity.h"
#include "kez_driver-files.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "state.h"
#include "net_server.h"
#include "net_test_util.h"
#include "game_net.h"
#include "vantor_world.h"

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

// A game running a mod that records its events, joined to a match server of the test's own.
class ModsNet : public ModsMisc {
 protected:
  void SetUp() override {
    ModsMisc::SetUp();
    server.setup("", 0, "server", "Server", "velum");
    server.open();
    ASSERT_EQ(server.opened, 1);
  }
  void TearDown() override {
    server.close();
    ModsMisc::TearDown();
  }
  // Joins the server and waits for the join; the game's own pump runs the client.
  void join() {
    g->mods_base->script(("w2_net_join('127.0.0.1', " + std::to_string(server.port) + ")").c_str(), "test");
    ASSERT_TRUE(pump([&] { return net_has(server, "join"); }));
    server.incoming.clear();
  }
  template <class Done>
  bool pump(Done done) {
    for (int i = 0; i < 3000; i++) {
      server.loop();
      game_net_client_loop(g.get());
      if (done()) return true;
      std::vector<pollfd> fds = {{server.enet_host->socket, POLLIN, 0}};
      if (g->client && g->client->enet_host) fds.push_back({g->client->enet_host->socket, POLLIN, 0});
      poll(fds.data(), fds.size(), 1);
    }
    return false;
  }
  std::string events() {
    g->mods_base->script("w2_param_set('seen', table.concat(seen, ' '))", "test");
    return param("seen");
  }
  NetServer server;
};

TEST_F(ModsNet, sync_messages_reach_the_match_but_never_the_mod_and_other_messages_reach_the_mod) {
  start("seen = {} function _init() end function _event(e) seen[#seen + 1] = e.type end");
  join();
  vantor_item_alloc(&g->data.vantor);  // something for the reset to clear
  testing::internal::CaptureStdout();
  server.send("", "R", "", 1);
  server.send("", "chat", "hi", 1);
  const bool arrived = pump([&] { return events().find("net:chat") != std::string::npos; });
  testing::internal::GetCapturedStdout();
  ASSERT_TRUE(arrived);
  EXPECT_EQ(events(), "net:connect net:chat");
  for (const Item &item : g->data.vantor.items) EXPECT_FALSE(item.in_use) << "the reset reached the world";
}

TEST_F(ModsNet, a_mod_that_quits_during_a_network_event_ends_the_pump_and_both_endpoints) {
  start(
      "seen = {} function _init() end "
      "function _event(e) seen[#seen + 1] = e.type if e.type == 'net:bye' then w2_param_set('state', 'quit') end end");
  join();
  state_push(&g->names, "states_lobby");  // the quit goes back to the screen below, and the mod stays
  ASSERT_TRUE(game_net_host(g.get(), 0));  // any free port
  game_net_server_close(g.get());  // the quit below must close a client whose game hosts nothing
  server.send("", "bye", "", 1);
  server.send("", "after", "", 1);
  ASSERT_TRUE(pump([&] { return !g->client; }));
  EXPECT_EQ(events(), "net:connect net:bye") << "nothing is read from the closed endpoint";
  EXPECT_EQ(g->server, nullptr);
}

TEST_F(ModsNet, joining_tells_the_mod_the_id_and_name_the_game_goes_by) {
  start("function _init() end");
  snprintf(g->settings.server_uid, sizeof g->settings.server_uid, "web-7");
  snprintf(g->settings.server_name, sizeof g->settings.server_name, "Webby");
  g->settings.logged_in = 1;  // a login made while the mod runs
  join();
  EXPECT_EQ(param("uid"), net_public_id(game_net_id())) << "the id proves who the game is: it is never a web id";
  EXPECT_EQ(param("name"), "Webby");
  EXPECT_EQ(server.count_named(net_public_id(game_net_id())), 1);
}

TEST_F(ModsNet, the_name_a_mod_gives_the_player_is_saved_in_the_settings_and_joined_with) {
  snprintf(g->settings.server_name, sizeof g->settings.server_name, "Webby");
  g->settings.logged_in = 1;
  start("function _init() w2_param_set('name', 'Zed') end");
  EXPECT_STREQ(g->settings.user_name, "Zed");
  EXPECT_EQ(g->settings.logged_in, 0) << "as typing a new name on the account page, it ends the sign-in";
  const std::string saved = driver_file_string((std::string(driver_user_dir()) + "/settings-local.dat").c_str());
  ASSERT_EQ(saved.size(), sizeof(GameSettings));
  EXPECT_STREQ(saved.data() + offsetof(GameSettings, user_name), "Zed");
  join();
  EXPECT_EQ(server.peer_info(net_public_id(game_net_id())), "Zed");
  EXPECT_EQ(param("name"), "Zed");
}
