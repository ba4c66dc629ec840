// Fleets and ships: sending, redirecting, landing, fighting, capturing and sparks.
#include "vantor_fleet.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <memory>

#include "vantor_step.h"
#include "vantor_world.h"

namespace {

// Two users, "green" and "red", each with one planet, 400 units apart.
struct Duel {
  std::unique_ptr<World> holder = std::make_unique<World>();
  World *world = holder.get();
  Item *green, *red, *home, *away;

  Duel() {
    vantor_world_reset(world);
    green = vantor_user_init(world, 0x00FF00, 0, "green");
    red = vantor_user_init(world, 0xFF0000, 0, "red");
    home = vantor_planet_init(world, green->n, 0, 0, 50, 10);
    away = vantor_planet_init(world, red->n, 400, 0, 50, 10);
  }

  // A one-ship fleet of `owner` from `from` to `to`, carrying `value`.
  Item *lone_ship(Item *owner, Item *from, Item *to, float value) {
    Item *fleet = vantor_fleet_init(world, from->n, owner->n, 1, to->n);
    EXPECT_EQ(1u, fleet->fleet_live);
    Item *ship = first_ship(fleet->n);
    ship->ships_value = fleet->fleet_ships = value;
    return ship;
  }

  Item *first_ship(int fleet) {
    for (Item &item : world->items) {
      if (item.in_use && item.is_ship && item.fleet_n == (uint32_t)fleet) return &item;
    }
    return nullptr;
  }

  int count(bool (*test)(const Item &)) const {
    int n = 0;
    for (const Item &item : world->items) n += item.in_use && test(item);
    return n;
  }
};

int parts_in_use(const World *world) {
  int n = 0;
  for (const Part &part : world->parts) n += part.in_use;
  return n;
}

}  // namespace

TEST(VantorFleet, sending_half_of_ten_ships_makes_five_ships_of_one) {
  Duel d;
  int fleet = vantor_fleet_send(d.world, d.home->n, d.away->n, 50);
  ASSERT_NE(0, fleet);
  const Item &item = d.world->items[fleet];
  EXPECT_EQ(5u, item.fleet_live);
  EXPECT_EQ(5.0f, item.fleet_ships);
  EXPECT_EQ(5.0f, d.home->ships_value);
  EXPECT_EQ(1u, d.home->dirty);
  EXPECT_EQ(d.away->n, item.fleet_target);
  EXPECT_EQ((int32_t)d.green->n, item.owner_n);
  EXPECT_EQ(0x00FF00u, item.render_color);
  for (const Item &ship : d.world->items) {
    if (!ship.in_use || !ship.is_ship) continue;
    EXPECT_EQ(1.0f, ship.ships_value);
    EXPECT_EQ(0, ship.synced);  // ships are never sent: each side builds its own
    EXPECT_STREQ("ship", ship.image_src);
    // In the disk of radius 6 sqrt(5) at the rim point facing the target, flown six short steps on.
    float rim = d.home->collide_r;
    EXPECT_LT(std::hypot(ship.position_x - rim, ship.position_y), 6 * std::sqrt(5.0f) + 6.01f);
    EXPECT_NEAR(0.0f, ship.heading, 0.3f);
  }
}

TEST(VantorFleet, a_send_is_refused_for_too_few_ships_bad_percentages_and_bad_ends) {
  Duel d;
  d.home->ships_value = 1.5f;
  int used = d.count([](const Item &) { return true; });
  EXPECT_EQ(0, vantor_fleet_send(d.world, d.home->n, d.away->n, 50));  // 0.75 ships
  d.home->ships_value = 10;
  EXPECT_EQ(0, vantor_fleet_send(d.world, d.home->n, d.away->n, 0));
  EXPECT_EQ(0, vantor_fleet_send(d.world, d.home->n, d.away->n, 101));
  EXPECT_EQ(0, vantor_fleet_send(d.world, d.home->n, d.home->n, 50));
  EXPECT_EQ(0, vantor_fleet_send(d.world, d.home->n, d.green->n, 50));
  EXPECT_EQ(0, vantor_fleet_send(d.world, d.home->n, 4096, 50));
  EXPECT_EQ(0, vantor_fleet_send(d.world, -1, d.away->n, 50));
  EXPECT_EQ(10.0f, d.home->ships_value);
  EXPECT_EQ(used, d.count([](const Item &) { return true; }));
  EXPECT_EQ(0u, vantor_fleet_init(d.world, d.home->n, d.green->n, NAN, d.away->n)->in_use);
  EXPECT_EQ(0u, vantor_fleet_init(d.world, d.home->n, d.green->n, INFINITY, d.away->n)->in_use);
}

TEST(VantorFleet, fleet_size_grows_with_the_root_of_the_amount_and_shrinks_as_the_table_fills) {
  Duel d;
  d.home->ships_value = 200;
  int fleet = vantor_fleet_send(d.world, d.home->n, d.away->n, 50);
  EXPECT_EQ(41u, d.world->items[fleet].fleet_live);  // trunc(sqrt(17 * 100))
  while (d.count([](const Item &) { return true; }) < 4000) vantor_item_alloc(d.world);
  fleet = vantor_fleet_send(d.world, d.home->n, d.away->n, 100);
  EXPECT_EQ(1u, d.world->items[fleet].fleet_live);
  EXPECT_NEAR(100.0f, d.world->items[fleet].fleet_ships, 1e-3f);
  d.home->ships_value = 50;
  while (vantor_item_alloc(d.world)->in_use) {
  }
  EXPECT_EQ(0, vantor_fleet_send(d.world, d.home->n, d.away->n, 100));
  EXPECT_EQ(50.0f, d.home->ships_value);
}

TEST(VantorFleet, redirect_turns_the_fleet_and_its_ships_only_towards_a_planet) {
  Duel d;
  Item *third = vantor_planet_init(d.world, d.green->n, 0, 400, 50, 0);
  int fleet = vantor_fleet_send(d.world, d.home->n, d.away->n, 50);
  vantor_fleet_redirect(d.world, fleet, d.red->n);      // not a planet
  vantor_fleet_redirect(d.world, d.home->n, third->n);  // not a fleet
  vantor_fleet_redirect(d.world, fleet, 4096);
  EXPECT_EQ(d.away->n, d.world->items[fleet].fleet_target);
  vantor_fleet_redirect(d.world, fleet, third->n);
  EXPECT_EQ(third->n, d.world->items[fleet].fleet_target);
  uint32_t group = ((d.green->n << 12) | third->n) << 8;
  for (const Item &ship : d.world->items) {
    if (!ship.in_use || !ship.is_ship) continue;
    EXPECT_EQ(third->n, ship.target_n);
    EXPECT_EQ(group, ship.collide_group);
    EXPECT_EQ(group, ship.collide_same);
  }
}

TEST(VantorFleet, an_enemy_landing_attacks_and_captures_only_below_zero) {
  Duel d;
  Item *ship = d.lone_ship(d.green, d.home, d.away, 10);
  ship->arrived = 1;
  vantor_ship_resolve(d.world, ship);
  EXPECT_EQ(0.0f, d.away->ships_value);
  EXPECT_EQ((int32_t)d.red->n, d.away->owner_n);  // exactly 0 is not captured
  EXPECT_EQ(0u, ship->in_use);
  EXPECT_EQ(16, parts_in_use(d.world));  // the hit sparks
  ship = d.lone_ship(d.green, d.home, d.away, 0.5f);
  ship->arrived = 1;
  vantor_ship_resolve(d.world, ship);
  EXPECT_EQ(0.5f, d.away->ships_value);
  EXPECT_EQ((int32_t)d.green->n, d.away->owner_n);
  EXPECT_EQ(0x00FF00u, d.away->render_color);
  EXPECT_EQ(0u, d.count([](const Item &item) { return item.has_fleet != 0; }));  // spent fleets are freed
}

TEST(VantorFleet, a_friendly_landing_reinforces_and_a_client_copy_is_never_captured) {
  Duel d;
  Item *ship = d.lone_ship(d.green, d.away, d.home, 4);
  ship->arrived = 1;
  vantor_ship_resolve(d.world, ship);
  EXPECT_EQ(14.0f, d.home->ships_value);
  EXPECT_EQ(0, parts_in_use(d.world));
  d.away->server_n = 77;  // a copy of the server's planet: the server decides captures
  ship = d.lone_ship(d.green, d.home, d.away, 25);
  ship->arrived = 1;
  vantor_ship_resolve(d.world, ship);
  EXPECT_EQ(-15.0f, d.away->ships_value);
  EXPECT_EQ((int32_t)d.red->n, d.away->owner_n);
}

TEST(VantorFleet, ships_of_default_strength_pass_each_other_and_armed_ships_trade_losses) {
  Duel d;
  Item *a = d.lone_ship(d.green, d.home, d.away, 3);
  Item *b = d.lone_ship(d.red, d.away, d.home, 5);
  a->partner = b->n;
  b->partner = a->n;
  vantor_ship_resolve(d.world, a);
  EXPECT_EQ(3.0f, a->ships_value);
  EXPECT_EQ(5.0f, b->ships_value);
  EXPECT_EQ(0u, a->partner);
  EXPECT_EQ(0u, b->partner);
  a->fleet_crash = b->fleet_crash = 100;
  a->partner = b->n;
  vantor_ship_resolve(d.world, a);
  EXPECT_EQ(0u, a->in_use);
  EXPECT_EQ(2.0f, b->ships_value);
  EXPECT_EQ(2.0f, d.world->items[b->fleet_n].fleet_ships);
  EXPECT_EQ(16, parts_in_use(d.world));
}

TEST(VantorFleet, the_stronger_ship_loses_less_and_huge_strengths_or_amounts_do_not_overflow) {
  Duel d;
  Item *a = d.lone_ship(d.green, d.home, d.away, 4);
  Item *b = d.lone_ship(d.red, d.away, d.home, 4);
  a->fleet_crash = 200;  // b counts as 100
  a->partner = b->n;
  vantor_ship_resolve(d.world, a);
  EXPECT_EQ(2.0f, a->ships_value);
  EXPECT_EQ(0u, b->in_use);
  b = d.lone_ship(d.red, d.away, d.home, 4);
  a->fleet_crash = INT_MAX;
  a->partner = b->n;
  vantor_ship_resolve(d.world, a);
  EXPECT_EQ(2.0f, a->ships_value);  // 100 * 100 / INT_MAX rounds its loss to nothing
  EXPECT_EQ(2.0f, b->ships_value);
  b = d.lone_ship(d.red, d.away, d.home, FLT_MAX);
  a->ships_value = FLT_MAX;
  a->fleet_crash = 200;
  a->partner = b->n;
  vantor_ship_resolve(d.world, a);
  EXPECT_EQ(FLT_MAX / 2, a->ships_value);  // half of b's, though 50 times it is no float
}

TEST(VantorFleet, enemy_ships_crash_on_a_crash_planet_and_friends_do_not) {
  Duel d;
  d.away->planet_crash = 1;
  d.home->planet_crash = 1;
  Item *enemy = d.lone_ship(d.green, d.home, d.away, 3);
  Item *friendly = d.lone_ship(d.green, d.away, d.home, 3);
  int enemy_fleet = enemy->fleet_n;
  enemy->partner = d.away->n;
  friendly->partner = d.home->n;
  vantor_ship_resolve(d.world, enemy);
  vantor_ship_resolve(d.world, friendly);
  EXPECT_EQ(0u, enemy->in_use);
  EXPECT_EQ(0u, d.world->items[enemy_fleet].in_use);  // its last ship gone, the fleet goes too
  EXPECT_EQ(1u, friendly->in_use);
  EXPECT_EQ(10.0f, d.away->ships_value);
}

TEST(VantorFleet, a_new_owner_gives_its_look_and_a_burst_of_sparks) {
  Duel d;
  d.green->planet_crash = 1;
  d.green->ships_production_enabled = 0;
  vantor_planet_chown(d.world, d.away->n, d.green->n);
  EXPECT_EQ((int32_t)d.green->n, d.away->owner_n);
  EXPECT_EQ(1u, d.away->dirty);
  EXPECT_EQ(1, d.away->planet_crash);
  EXPECT_EQ(0u, d.away->ships_production_enabled);
  EXPECT_EQ(d.green->planet_style[0].color, d.away->planet_style[0].color);
  EXPECT_EQ(d.green->planet_overlay[1].color, d.away->planet_overlay[1].color);
  float r = d.away->collide_r;
  EXPECT_EQ((int)(r * r / 35), parts_in_use(d.world));
  vantor_planet_chown(d.world, 0, d.green->n);  // no such planet: nothing
  vantor_planet_chown(d.world, 4096, d.green->n);
}

TEST(VantorFleet, sparks_fill_their_disk_and_a_radius_without_a_disk_makes_none) {
  auto world = std::make_unique<World>();
  vantor_world_reset(world.get());
  vantor_sparks_spawn(world.get(), 100, -50, 20);
  ASSERT_EQ(11, parts_in_use(world.get()));
  for (const Part &part : world->parts) {
    if (!part.in_use) continue;
    EXPECT_STREQ("spark", part.image);
    EXPECT_LE(std::hypot(part.x - 100, part.y + 50), 20.0f + 1e-3f);
    EXPECT_GE(part.life, 0.5f);
    EXPECT_LE(part.life, 0.7f);
    EXPECT_FLOAT_EQ(-1.0f / part.life, part.alpha_rate);
  }
  vantor_world_reset(world.get());
  vantor_sparks_spawn(world.get(), 0, 0, 5);  // 25 / 35 < 1
  vantor_sparks_spawn(world.get(), 0, 0, NAN);
  vantor_sparks_spawn(world.get(), 0, 0, INFINITY);
  vantor_sparks_spawn(world.get(), NAN, 0, 20);  // ends, with particles nobody sees
  EXPECT_EQ(11, parts_in_use(world.get()));
  vantor_sparks_spawn(world.get(), 0, 0, 1e6f);  // capped at the table
  EXPECT_EQ(VANTOR_PARTS, parts_in_use(world.get()));
  vantor_world_reset(world.get());
  vantor_hit_sparks(world.get(), 5, 5);
  EXPECT_EQ(16, parts_in_use(world.get()));
  for (const Part &part : world->parts) {
    if (part.in_use) {
      EXPECT_LE(std::hypot(part.x - 5, part.y - 5), 2.0f);
    }
  }
}

TEST(VantorFleet, a_ship_heads_for_its_target_and_flies_at_its_speed) {
  Duel d;
  d.green->fleet_v_factor = 2;
  Item *third = vantor_planet_init(d.world, d.green->n, 0, 400, 50, 0);
  Item *ship = d.lone_ship(d.green, d.home, third, 1);
  EXPECT_EQ(80.0f, ship->speed);
  EXPECT_NEAR(VANTOR_PI / 2, ship->heading, 0.05f);
  EXPECT_NEAR(VANTOR_PI, ship->image_a, 0.05f);  // drawn along its way
  float y = ship->position_y;
  ship->ticks = 1;
  vantor_ship_steer(d.world, ship, 0.5f);
  EXPECT_NEAR(y + 40, ship->position_y, 0.5f);
  ship->position_x = ship->position_y = 0;
  vantor_ship_arrival(d.world, ship);
  EXPECT_EQ(0u, ship->arrived);
  ship->position_y = 380;
  vantor_ship_arrival(d.world, ship);
  EXPECT_EQ(1u, ship->arrived);
  ship->arrived = 0;
  ship->target_n = vantor_planet_init(d.world, d.green->n, 0, 0, 3.4e38f, 0)->n;
  ship->position_y = 1e20f;  // well inside its radius, though the squares of both pass FLT_MAX
  vantor_ship_arrival(d.world, ship);
  EXPECT_EQ(1u, ship->arrived);
}
