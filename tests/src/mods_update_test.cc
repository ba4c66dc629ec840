// The mod's step and events: following "state", the popup dismissal, and network events into the mod.
#include "mods_update.h"

#include <gtest/gtest.h>
#include <poll.h>

#include "game.h"
#include "game_identity.h"
#include "game_identity_internal.h"
#include "game_net.h"
#include "game_settings.h"
#include "kez_driver-files.h"
#include "mods_api.h"
#include "mods_fixture.h"
#include "mods_lua.h"
#include "net_server.h"
#include "net_test_util.h"
#include "state.h"
#include "vantor_world.h"

using ModsUpdate = ModsRun;

TEST_F(ModsUpdate, state_param_switches_screens_except_over_settings_and_errors) {
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

TEST_F(ModsUpdate, a_popup_dismissal_clears_html_without_reaching_the_mod) {
  start("seen = 0 function _init() end function _event(e) seen = seen + 1 end");
  g->mods->param_store("html", var("<p>hi</p>"));
  var e;
  var_dict2(e, var("type"), var("mods_popup_dismiss"), var("value"), var(""));
  mods_event(g.get(), e);
  EXPECT_EQ(param("html"), "");
  g->mods_base->script("w2_param_set('seen', seen)", "test");
  EXPECT_EQ(param("seen"), "0");
}

TEST_F(ModsUpdate, a_pokes_title_reaches_the_hosting_mod_as_the_senders_shown_name) {
  start(
      "function _event(e) if e.type == 'net:hello' then w2_param_set('poked', e.uid .. '|' .. e.name .. '|' .. "
      "e.value) end end");
  ASSERT_TRUE(game_net_host(g.get(), 0));  // any free port
  g->mods_base->script(
      ("w2_net_poke('127.0.0.1', " + std::to_string(g->server->port) + ", '<b>Ann</b>\\1 Lee', 'hello', 'hi')").c_str(),
      "test");
  ASSERT_TRUE(net_pump({&g->mods->poke}, [&] {
    mods_update(g.get());
    game_net_server_loop(g.get());
    return !param("poked").empty();
  }));
  EXPECT_EQ(param("poked"), "*127.0.0.1|Ann Lee|hi") << "cleaned as the names of joined players are";
}

// A game running a mod that records its events, joined to a match server of the test's own.
class ModsNet : public ModsRun {
 protected:
  void SetUp() override {
    ModsRun::SetUp();
    server.setup("", 0, "server", "Server", "velum");
    server.open();
    ASSERT_EQ(server.opened, 1);
  }
  void TearDown() override {
    server.close();
    ModsRun::TearDown();
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

TEST_F(ModsNet, the_name_a_mod_gives_the_player_is_only_the_name_shown_online) {
  snprintf(g->settings.server_name, sizeof g->settings.server_name, "Webby");
  snprintf(g->settings.user_name, sizeof g->settings.user_name, "account");
  g->settings.logged_in = 1;
  start("function _init() w2_param_set('name', 'Zed') end");
  EXPECT_STREQ(g->settings.user_name, "account");
  EXPECT_EQ(g->settings.logged_in, 1) << "the player stays signed in";
  join();
  EXPECT_EQ(server.peer_info(net_public_id(game_net_id())), "Zed");
  EXPECT_EQ(param("name"), "Zed");
}
