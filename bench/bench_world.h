// The busy world the benchmarks share: planets of four users in a ring, fleets crossing it.
#pragma once

#include <cmath>
#include <cstdlib>

#include "vantor_fleet.h"
#include "vantor_step.h"
#include "vantor_world.h"

const float FRAME = 1.0f / 60;

inline int items_in_use(const World *world) {
  int count = 0;
  for (const Item &item : world->items) count += item.in_use;
  return count;
}

// A ring of planets of four users, fleets crossing the middle to the far side (through each
// other: enemy ships pass), topped up with planets outside the ring to exactly `items` items.
inline void world_build(World *world, int items) {
  srand(1);
  vantor_world_reset(world);
  int users[4];
  for (int i = 0; i < 4; i++) users[i] = vantor_user_init(world, 0x3F3F3F << i, 0, "user")->n;
  const int planets = items / 8 < 32 ? items / 8 : 32;
  const float ring = 1200;
  int first = 0;
  for (int i = 0; i < planets; i++) {
    float a = 2 * VANTOR_PI * i / planets;
    int n = vantor_planet_init(world, users[i % 4], ring * std::cos(a), ring * std::sin(a), 50, 20)->n;
    if (i == 0) first = n;
  }
  for (int k = 0; items_in_use(world) < items - 2; k++) {
    int from = first + k % planets;
    int to = first + (k + planets / 2) % planets;
    if (!vantor_fleet_init(world, from, world->items[from].owner_n, 120, to)->in_use) break;
  }
  for (int n = VANTOR_ITEMS - 1; n > 0 && items_in_use(world) > items; n--) {
    if (world->items[n].in_use && world->items[n].is_ship) vantor_item_destroy(world, n);
  }
  for (int i = 0; items_in_use(world) < items; i++) {
    vantor_planet_init(world, users[i % 4], -3000 + 40 * (i % 150), 1600 + 40 * (i / 150), 10, 5);
  }
  for (int i = 0; i < 180; i++) vantor_step(world, FRAME, true);  // spread the fleets out
}

