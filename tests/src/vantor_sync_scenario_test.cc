// A networked match in one process: a hosting game and a joining game over ENet on the loopback,
// driven by the games' own network pumps.
#include <gtest/gtest.h>

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "game.h"
#include "game_identity.h"
#include "game_net.h"
#include "net_log_internal.h"
#include "net_test_util.h"
#include "vantor_sync_test_util.h"

namespace {

struct NetMatch : testing::Test {
  std::unique_ptr<Game> host{new Game()}, guest{new Game()};
  World *sw = &host->data.vantor, *cw = &guest->data.vantor;
  SyncWorld s{sw};

  void SetUp() override {
    _net_log_reset();  // the guest is on the loopback: earlier tests of the process spent its log budget
    for (Game *g : {host.get(), guest.get()}) {
      snprintf(g->settings.server_name, sizeof g->settings.server_name, "Alice");
      g->settings.logged_in = 1;
    }
    // Alice's user item carries what the server shows of the guest's id.
    vantor_text_copy(s[s.alice].user_uid, sizeof s[s.alice].user_uid,
                     net_public_id(game_user_uid(guest.get())).c_str());
    vantor_text_copy(s[s.bob].user_uid, sizeof s[s.bob].user_uid, net_public_id("u2").c_str());
    ASSERT_TRUE(game_net_host(host.get(), 0));
    ASSERT_TRUE(game_net_join(guest.get(), "127.0.0.1", host->server->port));
  }
  void TearDown() override {
    for (Game *g : {host.get(), guest.get()}) {
      game_net_client_close(g);
      game_net_server_close(g);
    }
  }
  // Runs step (by default both games' pumps) until done() holds, waiting at most 1 ms a round for traffic.
  bool pump(std::function<bool()> done, std::function<void()> step = nullptr) {
    for (int i = 0; i < 3000; i++) {
      if (step) {
        step();
      } else {
        game_net_server_loop(host.get());
        game_net_client_loop(guest.get());
      }
      if (done()) return true;
      std::vector<pollfd> fds;
      for (Net *net : {host->server, host->client, guest->client}) {
        if (net && net->enet_host) fds.push_back({net->enet_host->socket, POLLIN, 0});
      }
      poll(fds.data(), fds.size(), 1);
    }
    return false;
  }
  bool mirrored() {
    for (int r = 1; r < VANTOR_ITEMS; r++) {
      const Item &item = sw->items[r], *copy = sync_copy(cw, r);
      if (item.in_use && item.synced &&
          (!copy || copy->sync_id != item.sync_id || copy->ships_value != item.ships_value))
        return false;
    }
    return sync_count(cw, sync_is_synced) == sync_count(sw, sync_is_synced);
  }
  int local(int r) { return (int)cw->client_map[r]; }
};

}  // namespace

TEST_F(NetMatch, the_client_mirrors_the_match_and_its_orders_are_checked_and_carried_out_by_the_server) {
  ASSERT_TRUE(pump([&] { return mirrored(); }));
  s[s.home].ships_value = 77;  // not marked dirty: travels as a delta in the next full pass
  vantor_item_destroy(sw, s.free_planet);
  ASSERT_TRUE(pump([&] { return mirrored() && sync_copy(cw, s.home)->ships_value == 77; }));

  testing::internal::CaptureStdout();
  // The first order names a planet that is not the user's.
  const bool sent_foreign = vantor_client_send(guest->client, cw, 50, local(s.away), local(s.home));
  const bool sent_own = vantor_client_send(guest->client, cw, 50, local(s.home), local(s.away));
  const bool arrived = pump([&] { return sync_first(cw, sync_is_fleet) != 0; });
  const std::string log = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(sent_foreign && sent_own);
  ASSERT_TRUE(arrived);
  EXPECT_NE(std::string::npos, log.find("_vantor_server_handle_send: invalid from3"));
  ASSERT_EQ(1, sync_count(sw, sync_is_fleet));
  const int fleet = sync_first(sw, sync_is_fleet);
  EXPECT_EQ((uint32_t)s.away, s[fleet].fleet_target);
  EXPECT_EQ((int)s[fleet].fleet_live, sync_count(cw, sync_is_ship)) << "the client builds the ships itself";

  ASSERT_TRUE(vantor_client_redirect(guest->client, cw, local(fleet), local(s.home)));
  ASSERT_TRUE(pump([&] { return sync_copy(cw, fleet)->fleet_target == (uint32_t)local(s.home); }));
  EXPECT_EQ((uint32_t)s.home, s[fleet].fleet_target);
}

TEST_F(NetMatch, the_hosts_own_local_client_leaves_the_world_to_the_server) {
  EXPECT_FALSE(game_net_join(host.get(), "", 65536));
  EXPECT_EQ(nullptr, host->client);
  ASSERT_TRUE(game_net_join(host.get(), "", host->server->port));
  ASSERT_TRUE(host->client->is_local());
  EXPECT_EQ("localhost", host->client->host);
  auto reset_waits = [&] {  // received, not yet handed on
    for (const NetMsg &msg : host->client->incoming) {
      if (msg.type == "R") return true;
    }
    return false;
  };
  ASSERT_TRUE(pump(reset_waits, [&] {
    game_net_server_loop(host.get());
    host->client->loop();
  }));
  const std::vector<char> before((const char *)sw->items, (const char *)(sw->items + VANTOR_ITEMS));
  game_net_client_loop(host.get());
  EXPECT_TRUE(host->client->incoming.empty());
  EXPECT_EQ(0, memcmp(before.data(), sw->items, before.size()));
}

// A hand-crafting client against the hosting game's own pump: repeated baseline requests and a huge
// message cost the server one baseline and one short log line.
TEST_F(NetMatch, a_raw_client_asking_for_baselines_again_and_again_gets_one) {
  ASSERT_TRUE(pump([&] { return mirrored(); }));
  RawHost raw(false);
  ENetPeer *peer = raw.connect(host->server->port, NET_PROTOCOL_VERSION);
  ASSERT_TRUE(pump([&] { return !raw.connected.empty(); },
                   [&] {
                     game_net_server_loop(host.get());
                     raw.loop();
                   }));
  // "u2" is Bob's id: his order, sent last, shows when everything before it has been handled.
  const std::string bob_order =
      "50 " + std::to_string(s.away) + " " + std::to_string(s.free_planet) + " " + std::to_string(s[s.away].sync_id);
  testing::internal::CaptureStdout();
  net_enet_send(peer, net_bytes("u2", "Bob", "ping"), 1);
  for (int i = 0; i < 20; i++) net_enet_send(peer, net_bytes("u2", "Bob", "refresh"), 1);
  net_enet_send(peer, net_bytes("u2", "Bob", "message", std::string(14 * 1024, 'z')), 1);
  net_enet_send(peer, net_bytes("u2", "Bob", "send", bob_order), 1);
  auto resets = [&] {
    int n = 0;
    for (const NetPacket &p : raw.decoded()) n += p.type == "R";
    return n;
  };
  const bool handled = pump([&] { return sync_count(sw, sync_is_fleet) == 1 && resets() >= 1; },
                            [&] {
                              game_net_server_loop(host.get());
                              raw.loop();
                            });
  // The server's queue is drained by its pump; run it a little longer so any late answer would show.
  for (int i = 0; i < 20; i++) {
    game_net_server_loop(host.get());
    raw.loop();
  }
  std::string log = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(handled);
  EXPECT_EQ(1, resets());
  EXPECT_LT(std::count(log.begin(), log.end(), '\n'), 15) << log;
  EXPECT_EQ(std::string::npos, log.find("asked again", log.find("asked again") + 1)) << "said once at most";
  EXPECT_EQ(std::string::npos, log.find(std::string(300, 'z')));
}
