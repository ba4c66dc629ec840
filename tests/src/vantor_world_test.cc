// The world's tables: allocation, reset, destruction and particles.
#include "vantor_world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "vantor_fleet.h"
#include "vantor_step.h"

namespace {

std::unique_ptr<World> new_world() {
  auto world = std::make_unique<World>();
  vantor_world_reset(world.get());
  return world;
}

// A user with one planet and a fleet of `ships` ships flying to a second planet.
struct SmallMatch {
  std::unique_ptr<World> world = new_world();
  int user = vantor_user_init(world.get(), 0x00FF00, 0, "player")->n;
  int home = vantor_planet_init(world.get(), user, 0, 0, 50, 100)->n;
  int away = vantor_planet_init(world.get(), user, 400, 0, 50, 0)->n;
  int fleet(float ships) { return vantor_fleet_init(world.get(), home, user, ships, away)->n; }
};

int ships_of(const World *world, int fleet) {
  int count = 0;
  for (const Item &item : world->items) count += item.in_use && item.is_ship && item.fleet_n == (uint32_t)fleet;
  return count;
}

}  // namespace

TEST(VantorWorld, alloc_hands_out_slots_round_robin_with_growing_serials) {
  auto world = new_world();
  Item *a = vantor_item_alloc(world.get());
  Item *b = vantor_item_alloc(world.get());
  EXPECT_EQ(1u, a->n);
  EXPECT_EQ(2u, b->n);
  EXPECT_EQ(a->sync_id + 1, b->sync_id);
  EXPECT_EQ(1u, a->in_use);
  EXPECT_EQ(1u, a->synced);
  EXPECT_EQ(1u, a->dirty);
  a->in_use = 0;
  EXPECT_EQ(3u, vantor_item_alloc(world.get())->n);  // a freed slot waits for the cursor to come round
}

TEST(VantorWorld, reset_clears_the_world_but_keeps_counting_serials) {
  auto world = new_world();
  vantor_item_alloc(world.get());
  uint32_t last = vantor_item_alloc(world.get())->sync_id;
  world->time = 5;
  vantor_world_reset(world.get());
  EXPECT_EQ(0.0f, world->time);
  EXPECT_EQ(0u, world->items[2].in_use);
  EXPECT_NE(0, world->started);
  Item *item = vantor_item_alloc(world.get());
  EXPECT_EQ(1u, item->n);
  EXPECT_EQ(last + 1, item->sync_id);
}

TEST(VantorWorld, full_table_gives_a_zeroed_dummy_that_is_not_in_use) {
  auto world = new_world();
  for (int i = 1; i < VANTOR_ITEMS; i++) ASSERT_EQ(1u, vantor_item_alloc(world.get())->in_use);
  Item *dummy = vantor_item_alloc(world.get());
  EXPECT_EQ(0u, dummy->in_use);
  dummy->ships_value = 7;
  dummy = vantor_item_alloc(world.get());
  EXPECT_EQ(0.0f, dummy->ships_value);
  EXPECT_EQ(0u, world->items[0].in_use);
}

TEST(VantorWorld, item_numbers_outside_the_table_read_as_no_item) {
  auto world = new_world();
  world->items[0].ships_production_factor = 0;
  Item *item = vantor_item_alloc(world.get());
  item->ships_production_factor = 3;
  EXPECT_EQ(3.0f, vantor_item_get(world.get(), 1).ships_production_factor);
  EXPECT_EQ(0.0f, vantor_item_get(world.get(), -1).ships_production_factor);
  EXPECT_EQ(0.0f, vantor_item_get(world.get(), 4096).ships_production_factor);
  EXPECT_EQ(0.0f, vantor_item_get(world.get(), 0xFFFFFFFFu).ships_production_factor);
  EXPECT_EQ(item, vantor_item_live(world.get(), 1));
  EXPECT_EQ(nullptr, vantor_item_live(world.get(), 0));
  EXPECT_EQ(nullptr, vantor_item_live(world.get(), 2));
  EXPECT_EQ(nullptr, vantor_item_live(world.get(), 4096));
}

TEST(VantorWorld, destroying_a_fleet_removes_its_ships) {
  SmallMatch match;
  int fleet = match.fleet(20);
  ASSERT_GT(ships_of(match.world.get(), fleet), 1);
  vantor_item_destroy(match.world.get(), fleet);
  EXPECT_EQ(0u, match.world->items[fleet].in_use);
  EXPECT_EQ(0, ships_of(match.world.get(), fleet));
}

TEST(VantorWorld, destroying_a_planet_removes_the_fleets_flying_to_it) {
  SmallMatch match;
  int fleet = match.fleet(20);
  vantor_item_destroy(match.world.get(), match.away);
  EXPECT_EQ(0u, match.world->items[match.away].in_use);
  EXPECT_EQ(0u, match.world->items[fleet].in_use);
  EXPECT_EQ(0, ships_of(match.world.get(), fleet));
  EXPECT_EQ(1u, match.world->items[match.home].in_use);
}

TEST(VantorWorld, destroying_single_ships_keeps_the_fleet_counts_and_frees_it_with_the_last) {
  SmallMatch match;
  int fleet = match.fleet(4);
  const Item &item = match.world->items[fleet];
  ASSERT_EQ(4u, item.fleet_live);
  int destroyed = 0;
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &ship = match.world->items[n];
    if (!ship.in_use || !ship.is_ship || ship.fleet_n != (uint32_t)fleet) continue;
    vantor_item_destroy(match.world.get(), n);
    destroyed++;
    if (destroyed < 4) {
      EXPECT_EQ(4u - destroyed, item.fleet_live);
      EXPECT_FLOAT_EQ(4.0f - destroyed, item.fleet_ships);
      EXPECT_EQ(1u, item.in_use);
    }
  }
  EXPECT_EQ(4, destroyed);
  EXPECT_EQ(0u, item.in_use);  // no fleet without ships is left behind
}

TEST(VantorWorld, destroy_ignores_numbers_outside_the_table_and_free_slots) {
  SmallMatch match;
  auto before = std::make_unique<World>(*match.world);
  vantor_item_destroy(match.world.get(), 0);
  vantor_item_destroy(match.world.get(), -5);
  vantor_item_destroy(match.world.get(), 4096);
  vantor_item_destroy(match.world.get(), 100);
  EXPECT_EQ(0, memcmp(before.get(), match.world.get(), sizeof(World)));
}

TEST(VantorWorld, records_pointing_at_each_other_are_destroyed_without_endless_recursion) {
  auto world = new_world();
  Item *a = vantor_item_alloc(world.get());
  Item *b = vantor_item_alloc(world.get());
  a->has_fleet = a->has_planet = b->has_fleet = b->has_planet = 1;
  a->fleet_target = b->n;
  b->fleet_target = a->n;
  vantor_item_destroy(world.get(), a->n);
  EXPECT_EQ(0u, a->in_use);
  EXPECT_EQ(0u, b->in_use);
}

TEST(VantorWorld, particles_take_slots_round_robin_and_age_out) {
  auto world = new_world();
  Part *first = vantor_part_alloc(world.get());
  EXPECT_EQ(&world->parts[1], first);
  first->life = 0.5f;
  for (int i = 1; i < VANTOR_PARTS; i++) vantor_part_alloc(world.get())->life = 10;
  EXPECT_EQ(&world->parts[0], &world->parts[world->part_cursor]);
  parts_age(world.get(), 0.25f);
  EXPECT_EQ(1u, first->in_use);
  EXPECT_EQ(0.25f, first->age);
  parts_age(world.get(), 0.25f);
  EXPECT_EQ(0u, first->in_use);
  EXPECT_EQ(1u, world->parts[2].in_use);
  EXPECT_EQ(first, vantor_part_alloc(world.get()));  // the oldest slot comes round again
}

TEST(VantorWorld, text_copy_cuts_to_the_field_and_float_min_prefers_b_on_ties) {
  char field[4];
  vantor_text_copy(field, sizeof(field), "neutral");
  EXPECT_STREQ("neu", field);
  vantor_text_copy(field, sizeof(field), nullptr);
  EXPECT_STREQ("", field);
  EXPECT_EQ(1.0f, float_min(1, 2));
  EXPECT_TRUE(std::signbit(float_min(0.0f, -0.0f)));
}
