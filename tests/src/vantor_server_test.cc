// The match server: the sync tick's cadence and records, the join baseline and the order checks.
#include "vantor_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "net_log.h"
#include "net_log_internal.h"
#include "vantor_fleet.h"
#include "vantor_server_internal.h"
#include "vantor_sync_test_util.h"

namespace {

struct VantorServer : testing::Test {
  SyncWorld s;
  Net server;  // a bare endpoint: what the server sends stays in its queue

  // The log line of one order, on a fresh log budget: these tests send more than a client may log.
  std::string order(const char *peer, const char *type, const std::string &data) {
    _net_log_reset();
    testing::internal::CaptureStdout();
    vantor_server_handle(&server, s.world, {peer, "Alice", type, data, 0});
    return testing::internal::GetCapturedStdout();
  }
  size_t sent(const std::string &type) const {
    return std::count_if(server.outgoing.begin(), server.outgoing.end(),
                         [&](const NetMsg &m) { return m.type == type; });
  }
};

std::string w(uint32_t n) { return " " + std::to_string(n); }

}  // namespace

TEST_F(VantorServer, every_sixtieth_tick_sends_the_alive_map_and_every_item_other_ticks_only_dirty_ones) {
  const int fleet = vantor_fleet_send(s.world, s.home, s.away, 50);  // its ships stay on the server
  const size_t items = sync_count(s.world, sync_is_synced);
  vantor_server_sync(&server, s.world);
  EXPECT_EQ(items, sent("I"));
  EXPECT_EQ(0, memcmp(&s.world->shadows[fleet], &s[fleet], sizeof(Item)));
  EXPECT_EQ(0u, s[fleet].dirty);

  server.outgoing.clear();
  for (int ticks = 0; ticks < 60 && server.outgoing.empty(); ticks++) vantor_server_sync(&server, s.world);
  ASSERT_EQ(items + 1, server.outgoing.size()) << "one full pass within 60 ticks";
  const std::string &alive = server.outgoing[0].data;
  ASSERT_EQ(4096u, alive.size());
  EXPECT_EQ(1, alive[s.home]);
  EXPECT_EQ(0, alive[fleet + 1]) << "a ship";
  EXPECT_EQ(items, sent("D"));

  server.outgoing.clear();
  vantor_item_mark_dirty(s.world, &s[s.away]);
  vantor_server_sync(&server, s.world);
  ASSERT_EQ(1u, server.outgoing.size());
  EXPECT_EQ("I", server.outgoing[0].type);
  s[s.away].dirty = 1;  // not listed: only the full pass finds it
  vantor_server_sync(&server, s.world);
  EXPECT_EQ(1u, server.outgoing.size());
}

TEST_F(VantorServer, orders_are_carried_out_only_when_every_check_passes) {
  const int theirs = vantor_fleet_send(s.world, s.away, s.home, 50);
  const std::string to = w(s.away), serial = w(s[s.home].sync_id), their_serial = w(s[theirs].sync_id);
  const struct {
    const char *peer, *type;
    std::string data;
    const char *check;
  } cases[] = {
      {"u9", "send", "50" + w(s.home) + to + serial, "user"},
      {"u1", "send", "half" + w(s.home) + to + serial, "perc"},
      {"u1", "send", "50 1e300" + to + serial, "from1"},
      {"u1", "send", "50" + w(s.alice) + to + serial, "from2"},
      {"u1", "send", "50" + w(s.away) + w(s.home) + w(s[s.away].sync_id), "from3"},
      {"u1", "send", "50" + w(s.home) + " 0" + serial, "to1"},
      {"u1", "send", "50" + w(s.home) + w(s.bob) + serial, "to2"},
      {"u1", "send", "50" + w(s.home) + to, "sync_id"},
      {"u2", "redirect", std::to_string(s.away) + w(s.home) + w(s[s.away].sync_id), "from2"},
      {"u1", "redirect", std::to_string(theirs) + w(s.free_planet) + their_serial, "from3"},
      {"u2", "redirect", std::to_string(theirs) + w(s.free_planet) + " 0", "sync_id"},
  };
  for (const auto &c : cases) {
    const std::string line =
        std::string("_vantor_server_handle_") + c.type + ": invalid " + c.check + ", from " + c.peer + " <Alice>\n";
    EXPECT_NE(std::string::npos, order(c.peer, c.type, c.data).find(line)) << c.type << c.data;
  }
  EXPECT_EQ(1, sync_count(s.world, sync_is_fleet));
  EXPECT_EQ((uint32_t)s.home, s[theirs].fleet_target);
  EXPECT_EQ(40.0f, s[s.home].ships_value);

  s[s.home].sync_id = 0x80000001u;  // clients print serials with "%d": this one arrives negative
  order("u1", "send", "50" + w(s.home) + to + " " + std::to_string(INT32_MIN + 1));
  EXPECT_EQ(2, sync_count(s.world, sync_is_fleet));
  EXPECT_NEAR(20.0f, s[s.home].ships_value, 1e-3f);
}

TEST_F(VantorServer, a_message_is_logged_with_at_most_256_bytes_of_its_data_and_control_bytes_escaped) {
  std::string huge(14 * 1024, 'x');
  huge[3] = '\n';
  huge[4] = '\x1b';
  std::string log = order("u1", "chat", huge);
  EXPECT_LT(log.size(), 400u) << "a 14 KB message must not write a 14 KB log line";
  EXPECT_NE(std::string::npos, log.find("[chat] xxx\\x0a\\x1bxxx"));
  EXPECT_NE(std::string::npos, log.find(" ... (14336 bytes)"));
  EXPECT_EQ(1, std::count(log.begin(), log.end(), '\n'));
}

TEST_F(VantorServer, a_peer_gets_at_most_one_requested_baseline_a_second) {
  // Peers and clock readings of this test's own: the interval table outlives a test in one process.
  const uint32_t t0 = 0x70000000u;
  auto handle = [&](const char *peer, const char *type, uint32_t now) {
    testing::internal::CaptureStdout();
    _vantor_server_dispatch(&server, s.world, {peer, "Alice", type, "", 0}, now);
    return testing::internal::GetCapturedStdout();
  };
  handle("limit-a", "join", t0);
  EXPECT_EQ(1u, sent("R"));
  std::string log;
  for (uint32_t t = 1; t <= 20; t++) log += handle("limit-a", "refresh", t0 + t);
  EXPECT_EQ(1u, sent("R")) << "repeats within the second are merged into the baseline already sent";
  const std::string dropped = "limit-a asked again within a second, dropped";
  EXPECT_NE(std::string::npos, log.find(dropped));
  EXPECT_EQ(log.find(dropped), log.rfind(dropped)) << "one log line, not one per request";

  handle("limit-a", "refresh", t0 + 1000);
  EXPECT_EQ(2u, sent("R"));
  handle("limit-a", "refresh", t0 + 1500);
  EXPECT_EQ(2u, sent("R"));
  // The endpoint's own join always brings a baseline: a new connection has an empty world.
  handle("limit-a", "leave", t0 + 1600);
  handle("limit-a", "join", t0 + 1700);
  EXPECT_EQ(3u, sent("R"));
  // Another peer has its own interval.
  handle("limit-b", "refresh", t0 + 1701);
  EXPECT_EQ(4u, sent("R"));
}

TEST_F(VantorServer, a_joining_client_gets_a_reset_then_shadow_and_delta_of_every_synced_item_and_nothing_else_changes) {
  s[s.home].ships_value = 77;  // changed since its shadow was last sent
  vantor_server_sync_all(&server, s.world);
  s[s.home].ships_value = 78;
  server.outgoing.clear();
  const std::vector<Item> shadows(s.world->shadows, s.world->shadows + VANTOR_ITEMS);
  std::vector<uint8_t> dirty;
  for (const Item &item : s.world->items) dirty.push_back(item.dirty);

  order("late", "join", "");
  ASSERT_FALSE(server.outgoing.empty());
  EXPECT_EQ("R", server.outgoing[0].type);
  std::vector<int> order_seen;
  for (size_t i = 1; i < server.outgoing.size(); i += 2) {
    const NetMsg &shadow = server.outgoing[i], &delta = server.outgoing[i + 1];
    EXPECT_EQ("S", shadow.type);
    EXPECT_EQ("D", delta.type);
    EXPECT_EQ("late", shadow.peer);
    uint32_t n;
    memcpy(&n, delta.data.data() + 4, 4);
    order_seen.push_back((int)n);
  }
  EXPECT_EQ((int)order_seen.size(), sync_count(s.world, sync_is_synced));
  EXPECT_TRUE(std::is_sorted(order_seen.begin(), order_seen.end()));
  for (int n = 0; n < VANTOR_ITEMS; n++) {
    EXPECT_EQ(0, memcmp(&shadows[n], &s.world->shadows[n], sizeof(Item))) << n;
    EXPECT_EQ(dirty[n], s.world->items[n].dirty) << n;
  }
}

TEST_F(VantorServer, the_percentage_must_lie_within_1_and_100) {
  const std::string rest = w(s.home) + w(s.away) + w(s[s.home].sync_id);
  for (const char *bad : {"0", "101", "-5", "nan", "inf"})
    EXPECT_NE(std::string::npos, order("u1", "send", bad + rest).find("invalid perc")) << bad;
  EXPECT_EQ(0, sync_count(s.world, sync_is_fleet));
  s[s.home].ships_value = 400;  // enough that 1% is a whole ship
  EXPECT_EQ(std::string::npos, order("u1", "send", "1" + rest).find("invalid"));
  EXPECT_EQ(std::string::npos, order("u1", "send", "100" + rest).find("invalid"));
  EXPECT_EQ(2, sync_count(s.world, sync_is_fleet));
}
