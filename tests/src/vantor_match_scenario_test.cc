// Whole matches at 60 frames a second: production, captures, reinforcements, redirects and settling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "vantor_fleet.h"
#include "vantor_step.h"
#include "vantor_step_internal.h"
#include "vantor_world.h"

namespace {

const float FRAME = 1.0f / 60;

// Three users: "neutral" (no production), "player" and "enemy".
struct Match {
  std::unique_ptr<World> holder = std::make_unique<World>();
  World *world = holder.get();
  Item *neutral, *player, *enemy;

  explicit Match(unsigned seed) {
    srand(seed);
    vantor_world_reset(world);
    neutral = vantor_user_init(world, 0x555555, 0, "neutral");
    neutral->ships_production_enabled = 0;
    player = vantor_user_init(world, 0x00FF00, 0, "player");
    enemy = vantor_user_init(world, 0xFF0000, 0, "enemy");
  }

  Item *planet(Item *owner, float x, float y, float production, float ships) {
    return vantor_planet_init(world, owner->n, x, y, production, ships);
  }

  void run(float seconds) {
    for (int i = 0; i < (int)(seconds * 60); i++) vantor_step(world, FRAME, true);
  }

  int count(bool (*test)(const Item &)) const {
    int n = 0;
    for (const Item &item : world->items) n += item.in_use && test(item);
    return n;
  }

  int fleets() const {
    return count([](const Item &item) { return item.has_fleet || item.is_ship; });
  }

  // Steps until every fleet has landed; false when that takes longer than a minute.
  bool run_until_landed() {
    for (int i = 0; i < 3600 && fleets() > 0; i++) vantor_step(world, FRAME, true);
    return fleets() == 0;
  }
};

bool any(const Item &) { return true; }

}  // namespace

TEST(VantorMatch, planets_produce_over_time_by_owner) {
  Match m(1);
  m.enemy->ships_production_factor = 0.5f;
  Item *mine = m.planet(m.player, 0, 0, 100, 10);
  Item *theirs = m.planet(m.enemy, 500, 0, 100, 10);
  Item *free_planet = m.planet(m.neutral, 0, 500, 100, 10);
  m.run(10);
  EXPECT_NEAR(30.0f, mine->ships_value, 0.01f);
  EXPECT_NEAR(20.0f, theirs->ships_value, 0.01f);
  EXPECT_EQ(10.0f, free_planet->ships_value);
}

TEST(VantorMatch, a_fleet_captures_a_neutral_planet_with_what_is_left_over) {
  Match m(2);
  Item *home = m.planet(m.player, 0, 0, 0, 60);
  Item *target = m.planet(m.neutral, 300, 40, 0, 20);
  ASSERT_NE(0, vantor_fleet_send(m.world, home->n, target->n, 50));
  EXPECT_NEAR(30.0f, home->ships_value, 1e-3f);
  ASSERT_TRUE(m.run_until_landed());
  EXPECT_EQ((int32_t)m.player->n, target->owner_n);
  EXPECT_NEAR(10.0f, target->ships_value, 1e-3f);
  EXPECT_EQ(m.player->render_color, target->render_color);
  EXPECT_EQ(1u, target->ships_production_enabled);  // the player's planets produce
}

TEST(VantorMatch, a_fleet_to_an_own_planet_reinforces_it) {
  Match m(3);
  Item *home = m.planet(m.player, 0, 0, 0, 40);
  Item *other = m.planet(m.player, -250, 100, 0, 5);
  ASSERT_NE(0, vantor_fleet_send(m.world, home->n, other->n, 50));
  ASSERT_TRUE(m.run_until_landed());
  EXPECT_NEAR(20.0f, home->ships_value, 1e-3f);
  EXPECT_NEAR(25.0f, other->ships_value, 1e-3f);
  EXPECT_EQ((int32_t)m.player->n, other->owner_n);
}

TEST(VantorMatch, a_redirected_fleet_lands_on_its_new_target) {
  Match m(4);
  Item *home = m.planet(m.player, 0, 0, 0, 30);
  Item *far = m.planet(m.enemy, 1500, 0, 0, 50);
  Item *near = m.planet(m.player, 0, 300, 0, 0);
  int fleet = vantor_fleet_send(m.world, home->n, far->n, 100);
  ASSERT_NE(0, fleet);
  m.run(1);
  vantor_fleet_redirect(m.world, fleet, near->n);
  ASSERT_TRUE(m.run_until_landed());
  EXPECT_EQ(50.0f, far->ships_value);
  EXPECT_NEAR(30.0f, near->ships_value, 1e-3f);
}

TEST(VantorMatch, a_fleet_is_refused_for_too_few_ships) {
  Match m(5);
  Item *home = m.planet(m.player, 0, 0, 0, 1.5f);
  Item *target = m.planet(m.enemy, 300, 0, 0, 0);
  int items = m.count(any);
  EXPECT_EQ(0, vantor_fleet_send(m.world, home->n, target->n, 50));
  EXPECT_EQ(1.5f, home->ships_value);
  EXPECT_EQ(items, m.count(any));
}

TEST(VantorMatch, planet_radii_grow_with_production_and_names_follow_the_planet) {
  Match m(6);
  EXPECT_EQ(12.0f, m.planet(m.player, 0, 0, 0, 0)->planet_r);
  EXPECT_EQ(12.0f, m.planet(m.player, 0, 0, 15, 0)->planet_r);
  EXPECT_EQ(18.0f, m.planet(m.player, 0, 0, 57.5f, 0)->planet_r);
  EXPECT_EQ(24.0f, m.planet(m.player, 0, 0, 100, 0)->planet_r);
  EXPECT_STREQ("paxa", vantor_planet_name(0));
  EXPECT_STREQ("paxa", m.planet(m.player, 0, 0, 0, 0)->title_value);
  // Negative coordinates wrap in 32 bits, so a planet left of the origin keeps its name.
  EXPECT_STREQ("zarigaxa", m.planet(m.player, -1, -2, 10, 5)->title_value);
  EXPECT_STREQ(m.planet(m.player, 0, 7, 10, 5)->title_value, m.planet(m.player, NAN, 7, 10, 5)->title_value);
  for (uint32_t seed = 0; seed < 100000; seed += 37) {
    std::string name = vantor_planet_name(seed * 2654435761u);
    ASSERT_GE(name.size(), 4u);
    ASSERT_LE(name.size(), 8u);
    for (size_t i = 1; i < name.size(); i++) {
      bool vowel_before = strchr("aeiou", name[i - 1]) != nullptr;
      ASSERT_NE(vowel_before, strchr("aeiou", name[i]) != nullptr) << name;
    }
  }
}

TEST(VantorMatch, settling_spreads_stacked_planets_inside_the_rectangle) {
  Match m(7);
  Item *planets[6];
  for (Item *&planet : planets) planet = m.planet(m.player, 100, 100, 30, 0);
  int items = m.count(any);
  uint32_t passes = vantor_collide_passes();
  vantor_planets_settle(m.world, 0, 0, 400, 300);
  EXPECT_EQ(passes + 16, vantor_collide_passes());
  EXPECT_EQ(items, m.count(any));  // the corner anchors are gone again
  for (int i = 0; i < 6; i++) {
    const Item &a = *planets[i];
    EXPECT_EQ(a.planet_r, a.collide_r);
    EXPECT_GE(a.position_x, a.collide_r);
    EXPECT_LE(a.position_x, 400 - a.collide_r);
    EXPECT_GE(a.position_y, a.collide_r);
    EXPECT_LE(a.position_y, 300 - a.collide_r);
    for (int j = i + 1; j < 6; j++) {
      const Item &b = *planets[j];
      EXPECT_GE(std::hypot(a.position_x - b.position_x, a.position_y - b.position_y), a.collide_r + b.collide_r);
    }
  }
  vantor_planets_settle(m.world, 0, 0, 0, 0);  // no rectangle: no anchors
  EXPECT_EQ(items, m.count(any));
}

TEST(VantorMatch, two_runs_from_one_seed_are_byte_identical) {
  std::unique_ptr<World> results[2];
  for (auto &result : results) {
    Match m(42);
    Item *a = m.planet(m.player, 0, 0, 40, 80);
    Item *b = m.planet(m.enemy, 400, 50, 40, 80);
    Item *c = m.planet(m.neutral, 200, 300, 20, 10);
    m.player->fleet_crash = m.enemy->fleet_crash = 100;  // so the fleets fight where they cross
    vantor_planets_settle(m.world, -100, -100, 700, 600);
    vantor_fleet_send(m.world, a->n, b->n, 75);
    vantor_fleet_send(m.world, b->n, a->n, 75);
    vantor_fleet_send(m.world, a->n, c->n, 50);
    m.run(8);
    result = std::move(m.holder);
  }
  EXPECT_EQ(0, memcmp(results[0]->items, results[1]->items, sizeof(results[0]->items)));
  EXPECT_EQ(0, memcmp(results[0]->parts, results[1]->parts, sizeof(results[0]->parts)));
}
