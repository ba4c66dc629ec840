// The simulation step: time guard, production, collisions, fleet boxes, relations and creators.
#include "vantor_step.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>

#include "vantor_fleet.h"
#include "vantor_step_internal.h"
#include "vantor_world.h"

namespace {

std::unique_ptr<World> new_world() {
  auto world = std::make_unique<World>();
  vantor_world_reset(world.get());
  return world;
}

// A collidable body with the given collision rules.
Item *body(World *world, float x, float y, uint32_t group, uint32_t mask, uint32_t same) {
  Item *item = vantor_item_alloc(world);
  item->has_collide = 1;
  item->position_x = x;
  item->position_y = y;
  item->collide_r = 6;
  item->mass = 1;
  item->collide_group = group;
  item->collide_mask = mask;
  item->collide_same = same;
  return item;
}

// Ship collision group: one owner's ships flying to one target.
uint32_t ship_group(uint32_t owner, uint32_t target) { return ((owner << 12) | target) << 8; }

float distance(const Item &a, const Item &b) {
  return std::hypot(a.position_x - b.position_x, a.position_y - b.position_y);
}

// The work one collision pass may spend on `items` items: a small multiple of them times the leaf.
uint64_t collide_work_bound(int items) { return 32ull * 32 * items + 48 * 32 * 31 / 2; }

// Fills the rest of the item table with small bodies of one owner on a 2000 by 2000 field.
void crowd(World *world) {
  int used = 0;
  for (const Item &item : world->items) used += item.in_use != 0;
  srand(5);
  uint32_t group = ship_group(1, 9);
  for (int i = used; i < VANTOR_ITEMS - 1; i++) {
    body(world, (float)(rand() % 2000), (float)(rand() % 2000), group, 1, group);
  }
}

// "n:field" for the first item in use with a number field a client would refuse; "" when none.
std::string not_finite(const World *world) {
  for (const Item &item : world->items) {
    const char *field = item.in_use ? vantor_item_not_finite(item) : nullptr;
    if (field) return std::to_string(item.n) + ":" + field;
  }
  return "";
}

}  // namespace

TEST(VantorStep, time_that_is_not_positive_and_finite_changes_nothing) {
  auto world = new_world();
  int user = vantor_user_init(world.get(), 0xFF0000, 0, "red")->n;
  int home = vantor_planet_init(world.get(), user, 0, 0, 50, 40)->n;
  int away = vantor_planet_init(world.get(), user, 300, 0, 50, 0)->n;
  ASSERT_NE(0, vantor_fleet_send(world.get(), home, away, 50));
  vantor_sparks_spawn(world.get(), 0, 0, 30);
  auto before = std::make_unique<World>(*world);
  for (float dt : {0.0f, -0.5f, NAN, INFINITY, -INFINITY}) {
    vantor_step(world.get(), dt, true);
    EXPECT_EQ(0, memcmp(before.get(), world.get(), sizeof(World))) << "dt " << dt;
  }
}

TEST(VantorStep, planets_produce_by_their_owners_factor_and_nothing_without_owner_or_when_disabled) {
  auto world = new_world();
  Item *user = vantor_user_init(world.get(), 0xFF0000, 0, "red");
  user->ships_production_factor = 2;
  Item *owned = vantor_planet_init(world.get(), user->n, 0, 0, 50, 10);
  Item *unowned = vantor_planet_init(world.get(), 0, 500, 0, 50, 10);
  EXPECT_EQ(0.0f, unowned->ships_value);  // no owner, no value factor
  unowned->ships_value = 10;
  Item *disabled = vantor_planet_init(world.get(), user->n, 1000, 0, 50, 10);
  disabled->ships_production_enabled = 0;
  for (int i = 0; i < 60; i++) vantor_step(world.get(), 1.0f / 60, false);
  EXPECT_NEAR(12.0f, owned->ships_value, 1e-3);  // production 50 at factor 1 is one ship a second
  EXPECT_EQ(10.0f, unowned->ships_value);
  EXPECT_EQ(10.0f, disabled->ships_value);
  EXPECT_EQ(60u, owned->ticks);
  EXPECT_NEAR(1.0f, world->time, 1e-5);
}

TEST(VantorStep, planets_at_one_point_are_pushed_apart) {
  auto world = new_world();
  Item *a = vantor_planet_init(world.get(), 0, 100, 100, 10, 0);
  Item *b = vantor_planet_init(world.get(), 0, 100, 100, 10, 0);
  vantor_collide(world.get());
  // The direction is random and not normalised, so the gap is up to sqrt(2) times the radii.
  EXPECT_GT(distance(*a, *b), 0.0f);
  EXPECT_LE(distance(*a, *b), 24.0f * std::sqrt(2.0f) + 1e-3f);
}

TEST(VantorStep, planets_push_enemy_ships_off_and_enemy_ships_pass_through_each_other) {
  auto world = new_world();
  Item *planet = body(world.get(), 0, 0, 1, 0, 1);
  planet->collide_r = 20;
  planet->mass = 1e6f;
  Item *ship = body(world.get(), 5, 0, ship_group(1, 9), 1, ship_group(1, 9));
  Item *enemy = body(world.get(), 200, 0, ship_group(2, 9), 1, ship_group(2, 9));
  Item *other = body(world.get(), 203, 0, ship_group(3, 9), 1, ship_group(3, 9));
  vantor_collide(world.get());
  EXPECT_EQ(0.0f, planet->position_x);
  EXPECT_NEAR(26.0f, distance(*planet, *ship), 1e-3);
  EXPECT_EQ(200.0f, enemy->position_x);
  EXPECT_EQ(203.0f, other->position_x);
  EXPECT_EQ(other->n, enemy->partner);  // they did meet: combat reads the partner
  EXPECT_EQ(enemy->n, other->partner);
}

TEST(VantorStep, ships_of_one_owner_and_target_push_each_other) {
  auto world = new_world();
  uint32_t group = ship_group(1, 9);
  Item *a = body(world.get(), 0, 0, group, 1, group);
  Item *b = body(world.get(), 4, 0, group, 1, group);
  vantor_collide(world.get());
  EXPECT_NEAR(12.0f, distance(*a, *b), 1e-3);
}

TEST(VantorStep, a_pair_without_mass_is_left_alone) {
  auto world = new_world();
  Item *a = body(world.get(), 0, 0, 1, 0, 1);
  Item *b = body(world.get(), 3, 0, 1, 0, 1);
  a->mass = b->mass = 0;
  vantor_collide(world.get());
  EXPECT_EQ(0.0f, a->position_x);
  EXPECT_EQ(3.0f, b->position_x);
}

TEST(VantorStep, a_large_crowd_is_split_into_cells_and_spread_without_nan) {
  auto world = new_world();
  srand(3);
  uint32_t group = ship_group(1, 9);
  for (int i = 0; i < 2000; i++) body(world.get(), (float)(rand() % 400), (float)(rand() % 400), group, 1, group);
  for (int i = 0; i < 20; i++) body(world.get(), 50, 50, group, 1, group);  // a stack on one point
  for (int pass = 0; pass < 30; pass++) vantor_collide(world.get());
  int stacked = 0;
  for (int n = 1; n <= 2020; n++) {
    const Item &item = world->items[n];
    ASSERT_TRUE(std::isfinite(item.position_x) && std::isfinite(item.position_y));
    stacked += item.position_x == 50 && item.position_y == 50;
  }
  EXPECT_LE(stacked, 1);
}

TEST(VantorStep, a_collision_pass_is_bounded_whatever_the_bodies_hold) {
  const float inf = INFINITY, big = 3.4e38f;
  struct Case {
    const char *name;
    int odd;  // bodies given these values, the rest of the table a crowd
    float x, y, r;
  } cases[] = {
      {"one body covering the field", 1, 1000, 1000, inf},
      {"a body of radius 1e30", 1, 1000, 1000, 1e30f},
      {"64 bodies far larger than their cells", 64, -1, -1, 1e6f},
      {"bodies at infinity", 64, inf, -inf, 6},
      {"bodies of NaN position", 64, NAN, 5, 6},
      {"bodies of NaN and infinite radius at the far edge", 64, big, -big, NAN},
      {"bodies of infinite radius at infinity", 64, -inf, inf, inf},
      {"every body on one point", VANTOR_ITEMS - 1, 500, 500, 6},
  };
  for (const Case &c : cases) {
    auto world = new_world();
    srand(9);
    for (int i = 0; i < c.odd; i++) {
      float x = c.x == -1 ? (float)(rand() % 2000) : c.x;
      float y = c.y == -1 ? (float)(rand() % 2000) : c.y;
      Item *odd = body(world.get(), x, y, 1, 0, 1);
      odd->collide_r = std::isnan(c.r) && i % 2 ? inf : c.r;
      odd->mass = 1e6f;
    }
    crowd(world.get());
    uint64_t before = vantor_collide_work();
    vantor_collide(world.get());
    EXPECT_LE(vantor_collide_work() - before, collide_work_bound(VANTOR_ITEMS - 1)) << c.name;
    for (int n = c.odd + 1; n < VANTOR_ITEMS; n++) {
      const Item &item = world->items[n];
      ASSERT_TRUE(std::isfinite(item.position_x) && std::isfinite(item.position_y)) << c.name << " item " << n;
    }
  }
}

TEST(VantorStep, a_body_far_larger_than_the_field_still_meets_every_body_it_covers) {
  for (float r : {1e30f, (float)INFINITY}) {
    auto world = new_world();
    Item *huge = body(world.get(), 1000, 1000, 1, 0, 1);
    huge->collide_r = r;
    crowd(world.get());
    vantor_collide(world.get());
    int met = 0;
    for (int n = 2; n < VANTOR_ITEMS; n++) met += world->items[n].partner == huge->n;
    EXPECT_GE(met, (VANTOR_ITEMS - 2) * 9 / 10) << "radius " << r;  // crowded leaves test a window
  }
}

TEST(VantorStep, settling_ends_with_a_planet_of_infinite_radius_and_keeps_the_others_inside) {
  auto world = new_world();
  int user = vantor_user_init(world.get(), 0xFF0000, 0, "red")->n;
  srand(4);
  for (int i = 0; i < 40; i++) vantor_planet_init(world.get(), user, (float)(rand() % 800), (float)(rand() % 600), 50, 0);
  Item *huge = vantor_planet_init(world.get(), user, 200, 200, 50, 0);
  huge->collide_r = INFINITY;
  uint64_t before = vantor_collide_work();
  vantor_planets_settle(world.get(), 0, 0, 800, 600);
  EXPECT_LE(vantor_collide_work() - before, 16 * collide_work_bound(45));
  for (int n = 2; n < (int)huge->n; n++) {
    const Item &planet = world->items[n];
    EXPECT_TRUE(planet.position_x >= 0 && planet.position_x <= 800) << n;
    EXPECT_TRUE(planet.position_y >= 0 && planet.position_y <= 600) << n;
  }
}

TEST(VantorStep, settling_a_full_table_crowded_into_a_screen_spends_what_passes_over_256_items_spend) {
  auto world = new_world();
  srand(6);
  for (int i = 1; i < VANTOR_ITEMS; i++) {
    vantor_planet_init(world.get(), 0, (float)(rand() % 800), (float)(rand() % 600), 50, 0);
  }
  uint64_t before = vantor_collide_work();
  vantor_planets_settle(world.get(), 0, 0, 800, 600);
  EXPECT_LE(vantor_collide_work() - before, 16 * collide_work_bound(256));
}

TEST(VantorStep, fleet_bounds_follow_the_ships_near_and_far_and_survive_a_fleet_without_live_ships) {
  auto world = new_world();
  Item *fleet = vantor_item_alloc(world.get());
  Item *far = vantor_item_alloc(world.get());
  fleet->has_fleet = far->has_fleet = 1;
  fleet->fleet_live = far->fleet_live = 2;
  for (float x : {10.0f, 30.0f, -FLT_MAX, FLT_MAX}) {
    const bool near = std::fabs(x) < 100;
    Item *ship = vantor_item_alloc(world.get());
    ship->is_ship = 1;
    ship->fleet_n = near ? fleet->n : far->n;
    ship->position_x = x;
    ship->position_y = near ? x / 10 : FLT_MAX;  // far: a sum and a span no float holds
  }
  Item *empty = vantor_item_alloc(world.get());
  empty->has_fleet = 1;
  vantor_fleet_bounds(world.get());
  EXPECT_EQ("", not_finite(world.get()));
  EXPECT_EQ(FLT_MAX, far->position_y);
  EXPECT_EQ(20.0f, fleet->position_x);
  EXPECT_EQ(2.0f, fleet->position_y);
  EXPECT_EQ(10.0f, fleet->bounds[0]);
  EXPECT_EQ(3.0f, fleet->bounds[3]);
  EXPECT_FLOAT_EQ((2.0f + 20.0f) / 5, fleet->body_r);
  EXPECT_EQ(0.0f, empty->position_x);
  EXPECT_EQ(0.0f, empty->position_y);
}

TEST(VantorStep, relation_bits_name_own_team_neutral_enemy_and_revealed) {
  auto world = new_world();
  int team = vantor_team_init(world.get(), 0x0000FF, "blue")->n;
  Item *me = vantor_user_init(world.get(), 0x0000FF, team, "me");
  Item *ally = vantor_user_init(world.get(), 0x0000AA, team, "ally");
  Item *neutral = vantor_user_init(world.get(), 0x555555, 0, "neutral");
  Item *enemy = vantor_user_init(world.get(), 0xFF0000, 0, "enemy");
  int mine = vantor_planet_init(world.get(), me->n, 0, 0, 10, 50)->n;
  int allied = vantor_planet_init(world.get(), ally->n, 100, 0, 10, 0)->n;
  int free_planet = vantor_planet_init(world.get(), neutral->n, 200, 0, 10, 0)->n;
  int hostile = vantor_planet_init(world.get(), enemy->n, 300, 0, 10, 0)->n;
  EXPECT_EQ(VANTOR_REL_OWN, vantor_item_relation(world.get(), mine, me->n));
  EXPECT_EQ(VANTOR_REL_TEAM, vantor_item_relation(world.get(), allied, me->n));
  EXPECT_EQ(VANTOR_REL_NEUTRAL, vantor_item_relation(world.get(), free_planet, me->n));
  EXPECT_EQ(VANTOR_REL_ENEMY, vantor_item_relation(world.get(), hostile, me->n));
  EXPECT_EQ(VANTOR_REL_ENEMY, vantor_item_relation(world.get(), mine, 0));  // no viewer
  EXPECT_EQ(VANTOR_REL_NEUTRAL, vantor_item_relation(world.get(), free_planet, 0));
  enemy->user_reveal = 1;
  EXPECT_EQ(VANTOR_REL_ENEMY | VANTOR_REL_REVEALED, vantor_item_relation(world.get(), hostile, me->n));
  int fleet = vantor_fleet_send(world.get(), mine, hostile, 10);
  ASSERT_NE(0, fleet);
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    if (world->items[n].in_use && world->items[n].is_ship) {
      EXPECT_EQ(VANTOR_REL_OWN, vantor_item_relation(world.get(), n, me->n));  // a ship counts as its fleet
    }
  }
}

TEST(VantorStep, users_join_their_team_and_wear_its_colour_as_planet_aura) {
  auto world = new_world();
  Item *team = vantor_team_init(world.get(), 0x0000FF, "blue");
  Item *user = vantor_user_init(world.get(), 0x00FF00, team->n, "green");
  Item *loner = vantor_user_init(world.get(), 0xFF0000, 9999, "red");
  Item *neutral = vantor_user_init(world.get(), 0x555555, 0, "neutral");
  EXPECT_EQ(0, team->has_user);
  EXPECT_EQ((int32_t)team->n, user->user_team_n);
  EXPECT_EQ((int32_t)loner->n, loner->user_team_n);  // a team number outside the table: own team
  EXPECT_EQ(0x00FF00u, user->planet_style[0].color);
  EXPECT_EQ(0x0000FFu, user->planet_overlay[1].color);
  EXPECT_STREQ("planet-aura", user->planet_overlay[1].texture);
  EXPECT_EQ(0u, user->user_neutral);
  EXPECT_EQ(1u, neutral->user_neutral);
  EXPECT_STREQ("planet-tex1", neutral->planet_style[0].texture);  // the "neutral" look
}

TEST(VantorStep, creators_give_the_dummy_on_a_full_table) {
  auto world = new_world();
  for (int i = 1; i < VANTOR_ITEMS; i++) vantor_item_alloc(world.get());
  EXPECT_EQ(0u, vantor_user_init(world.get(), 1, 0, "a")->in_use);
  EXPECT_EQ(0u, vantor_team_init(world.get(), 1, "a")->in_use);
  EXPECT_EQ(0u, vantor_planet_init(world.get(), 1, 0, 0, 10, 10)->in_use);
}

TEST(VantorStep, a_planet_takes_its_owners_value_factor_crash_and_look) {
  auto world = new_world();
  Item *user = vantor_user_init(world.get(), 0x00FF00, 0, "green");
  user->ships_value_factor = 2;
  user->planet_crash = 1;
  Item *planet = vantor_planet_init(world.get(), user->n, 10, 20, 100, 7);
  EXPECT_EQ(14.0f, planet->ships_value);
  EXPECT_EQ(1, planet->planet_crash);
  EXPECT_FLOAT_EQ(VANTOR_PI * 24 * 24, planet->mass);
  EXPECT_LT(planet->planet_seed, 9999u);
  EXPECT_EQ(0, memcmp(user->planet_style, planet->planet_style, sizeof(planet->planet_style)));
}

TEST(VantorStep, the_largest_finite_inputs_make_finite_records_as_planets_grow_and_fleets_fly_and_land) {
  auto world = new_world();
  World *w = world.get();
  Item *green = vantor_user_init(w, 1, 0, "green");
  Item *red = vantor_user_init(w, 2, 0, "red");
  green->ships_production_enabled = 0;  // production would mend an overflowing landing
  green->ships_value_factor = red->ships_production_factor = red->fleet_v_factor = FLT_MAX;
  Item *home = vantor_planet_init(w, green->n, 0, 0, 50, 0);
  // Ships of the largest speed scatter from a planet whose mass, then a giant whose radius, passes FLT_MAX.
  EXPECT_NE(0, vantor_fleet_send(w, vantor_planet_init(w, red->n, 0, -400, 1e20f, 100)->n, home->n, 100));
  const int giant = vantor_planet_init(w, red->n, 3e38f, 0, 3.4e38f, 100)->n;
  EXPECT_NE(0, vantor_fleet_send(w, giant, vantor_planet_init(w, red->n, FLT_MAX, 0, 50, 0)->n, 100));
  home->ships_value = FLT_MAX;  // all of it, to a planet of twice FLT_MAX ships
  const int fleet = vantor_fleet_send(w, home->n, vantor_planet_init(w, green->n, 0, 400, 50, 2)->n, 100);
  EXPECT_NE(0, fleet);
  EXPECT_EQ("", not_finite(w));
  // The green ships land in about 20 steps, or circle their target for a while from some starting
  // spots (which earlier draws of rand() decide): the bound leaves them room to.
  for (int i = 0; i < 40 || (w->items[fleet].in_use && i < 400); i++) {
    vantor_step(w, 0.5f, false);
    ASSERT_EQ("", not_finite(w)) << "step " << i;
  }
  EXPECT_EQ(0u, w->items[fleet].in_use) << "landed";
}
