// The match client: copies with local references, fleets built locally, the alive map, and what it
// refuses.
#include "vantor_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "net_log.h"
#include "net_log_internal.h"
#include "vantor_fleet.h"
#include "vantor_server.h"
#include "vantor_step_internal.h"
#include "vantor_sync_test_util.h"

namespace {

struct VantorClient : testing::Test {
  SyncWorld s;
  SyncWorld client;  // replaced by the server's world on the first sync
  World *c = client.world;
  Net server;

  void SetUp() override {
    vantor_server_handle(&server, s.world, {"u1", "", "join", "", 0});  // a join always brings the baseline
    sync();
  }
  void sync() {
    vantor_server_sync_new(&server, s.world);
    sync_deliver(&server, c);
  }
  uint32_t local(int r) { return c->client_map[r]; }
};

}  // namespace

TEST_F(VantorClient, a_fleet_builds_its_ships_once_then_only_follows_redirects_and_captures_show_locally) {
  const int fleet = vantor_fleet_send(s.world, s.home, s.away, 50);
  sync();
  ASSERT_NE(nullptr, sync_copy(c, fleet));
  EXPECT_NE((uint32_t)fleet, local(fleet));
  EXPECT_EQ(local(s.away), sync_copy(c, fleet)->fleet_target);
  EXPECT_EQ((int32_t)local(s.alice), sync_copy(c, fleet)->owner_n);
  const int ships = sync_count(c, sync_is_ship);
  EXPECT_EQ((int)s[fleet].fleet_live, ships);

  vantor_fleet_redirect(s.world, fleet, s.free_planet);
  s[fleet].fleet_ships = 1;
  sync();
  EXPECT_EQ(local(s.free_planet), sync_copy(c, fleet)->fleet_target);
  EXPECT_NE(1.0f, sync_copy(c, fleet)->fleet_ships);
  EXPECT_EQ(ships, sync_count(c, sync_is_ship));

  vantor_planet_chown(s.world, s.away, s.alice);
  sync();
  EXPECT_EQ((int32_t)local(s.alice), sync_copy(c, s.away)->owner_n);
  EXPECT_NE(0u, c->parts[c->part_cursor].in_use) << "the capture sparks";

  Item bogus = s[fleet];  // claims more ships than any table holds: builds none
  bogus.n = 4000;
  bogus.fleet_live = 0xFFFFFFFFu;
  ASSERT_TRUE(vantor_client_apply(c, nullptr, bogus));
  EXPECT_EQ(ships, sync_count(c, sync_is_ship));
}

TEST_F(VantorClient, the_alive_map_destroys_missing_copies_but_never_a_local_item_in_their_slot) {
  const int fleet = vantor_fleet_send(s.world, s.home, s.away, 50);
  sync();
  Item &reused = c->items[local(s.home)];  // as if a local ship had taken the copy's slot
  reused.synced = 0;
  reused.server_n = 0;
  vantor_item_destroy(s.world, s.away);  // and with it the fleet flying there
  vantor_item_destroy(s.world, s.home);
  vantor_server_sync_alive(&server, s.world);
  sync_deliver(&server, c);
  EXPECT_EQ(nullptr, sync_copy(c, s.away));
  EXPECT_EQ(nullptr, sync_copy(c, fleet));
  EXPECT_EQ(0, sync_count(c, sync_is_ship));
  EXPECT_EQ(1u, reused.in_use);
  EXPECT_EQ(0u, local(s.home));
}

TEST_F(VantorClient, messages_of_the_wrong_size_or_index_and_orders_on_free_items_are_refused) {
  const std::string record((const char *)&s[s.home], sizeof(Item));
  auto at = [&](uint32_t r) {
    std::string bytes = record;
    memcpy(&bytes[4], &r, 4);
    return bytes;
  };
  const std::vector<NetMsg> bad = {
      {"", "", "I", record.substr(0, 543)},
      {"", "", "S", record.substr(0, 10)},
      {"", "", "D", record.substr(0, 543)},
      {"", "", "A", std::string(4095, 0)},
      {"", "", "I", at(0)},
      {"", "", "D", at(4096)},
      {"", "", "chat", "hello"},
  };
  const std::vector<char> before((const char *)c, (const char *)c + sizeof(World));
  for (const NetMsg &msg : bad) EXPECT_FALSE(vantor_client_handle(c, nullptr, msg)) << msg.type << msg.data.size();
  EXPECT_EQ(0, memcmp(before.data(), c, sizeof(World)));

  Net to_server;
  EXPECT_FALSE(vantor_client_send(&to_server, c, 50, (int)local(s.home), 4000));
  EXPECT_FALSE(vantor_client_redirect(&to_server, c, 0, (int)local(s.away)));
  EXPECT_TRUE(to_server.outgoing.empty());
}

TEST_F(VantorClient, a_reused_server_slot_replaces_the_copy_and_an_empty_delta_reapplies_the_shadow) {
  const uint32_t before = local(s.free_planet);
  ASSERT_NE(0u, before);
  // The server's slot now holds another planet: the same index under a new serial.
  Item reused = s[s.free_planet];
  reused.sync_id += 1000;
  reused.ships_value = 9;
  reused.owner_n = 0;
  ASSERT_TRUE(vantor_client_apply(c, nullptr, reused));
  const Item *copy = sync_copy(c, s.free_planet);
  ASSERT_NE(nullptr, copy);
  EXPECT_EQ(reused.sync_id, copy->sync_id);
  EXPECT_EQ(9.0f, copy->ships_value);
  EXPECT_FALSE(c->items[before].in_use && c->items[before].sync_id == s[s.free_planet].sync_id)
      << "the old copy is gone";
  EXPECT_EQ(1, sync_count(c, [](const Item &i) { return i.has_planet && i.ships_value == 9.0f; }));

  // A delta of all zeros but the index is the shadow itself, applied again.
  c->items[local(s.home)].ships_value = 1234;  // a local drift the server's record corrects
  std::string delta(sizeof(Item), '\0');
  const uint32_t r = (uint32_t)s.home;
  memcpy(&delta[4], &r, 4);
  ASSERT_TRUE(vantor_client_handle_delta(c, nullptr, delta));
  EXPECT_EQ(c->shadows[s.home].ships_value, sync_copy(c, s.home)->ships_value);
}

TEST_F(VantorClient, bytes_past_a_record_or_map_are_ignored) {
  const int mapped = (int)local(s.home);
  std::string record((const char *)&s[s.home], sizeof(Item));
  record[offsetof(Item, ships_value)] ^= 1;  // a changed value, so the apply shows
  EXPECT_TRUE(vantor_client_handle(c, nullptr, {"", "", "I", record + "more"}));
  EXPECT_EQ(0, memcmp(&c->shadows[s.home], record.data(), sizeof(Item)));
  EXPECT_TRUE(vantor_client_handle(c, nullptr, {"", "", "D", std::string(4, 0) + record.substr(4, 4) + std::string(536, 0) + "x"}));
  std::string alive(VANTOR_ITEMS + 7, 1);
  EXPECT_TRUE(vantor_client_handle(c, nullptr, {"", "", "A", alive}));
  EXPECT_EQ(mapped, (int)local(s.home)) << "a map that keeps everything forgets nothing";
}

TEST_F(VantorClient, records_with_a_position_size_or_amount_no_float_holds_are_refused) {
  const float inf = INFINITY;
  struct Bad {
    size_t offset;
    float value;
  } bad[] = {
      {offsetof(Item, position_x), inf},       {offsetof(Item, position_y), NAN},
      {offsetof(Item, collide_r), inf},        {offsetof(Item, collide_r), NAN},
      {offsetof(Item, planet_r), -inf},        {offsetof(Item, ships_value), NAN},
      {offsetof(Item, ships_production), inf}, {offsetof(Item, mass), NAN},
  };
  const std::vector<char> before((const char *)c, (const char *)c + sizeof(World));
  for (const Bad &b : bad) {
    for (int known : {0, 1}) {  // a new item in a free server slot, and an update of a copy
      Item record = s[s.home];
      if (!known) record.n = 4000;
      memcpy(reinterpret_cast<char *>(&record) + b.offset, &b.value, sizeof b.value);
      std::string bytes((const char *)&record, sizeof record);
      EXPECT_FALSE(vantor_client_handle(c, nullptr, {"", "", "I", bytes})) << b.offset;
      for (size_t i = 0; i < sizeof record; i++) bytes[i] ^= ((const char *)&c->shadows[record.n])[i];
      memcpy(&bytes[offsetof(Item, n)], &record.n, sizeof record.n);
      EXPECT_FALSE(vantor_client_handle(c, nullptr, {"", "", "D", bytes})) << b.offset;
    }
  }
  // Only the shadows, which no one steps or draws, took the records.
  EXPECT_EQ(0, memcmp(before.data() + offsetof(World, items), c->items, sizeof c->items));
  EXPECT_EQ(0, memcmp(before.data() + offsetof(World, client_map), c->client_map, sizeof c->client_map));
  uint64_t work = vantor_collide_work();
  vantor_step(c, 1.0f / 60, true);
  EXPECT_LT(vantor_collide_work() - work, 32u * 32 * VANTOR_ITEMS);
}

TEST_F(VantorClient, a_flood_of_refused_records_logs_a_few_lines_then_their_count) {
  Item record = s[s.home];
  record.collide_r = INFINITY;
  _net_log_reset();
  testing::internal::CaptureStdout();
  for (int i = 0; i < 200; i++) vantor_client_apply(c, nullptr, record);
  net_log_flush(enet_time_get() + NET_LOG_INTERVAL_MS);
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_EQ(NET_LOG_LINES + 1, std::count(log.begin(), log.end(), '\n')) << log;
  EXPECT_NE(std::string::npos,
            log.find("vantor_client_apply: record " + std::to_string(s.home) + " refused: collide_r is not finite\n"));
  EXPECT_NE(std::string::npos, log.find("vantor_client_apply: 195 more log lines in 1000 ms left out\n")) << log;
}
