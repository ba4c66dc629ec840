// Times the match step and its collision pass on worlds of planets and fleets of ships in flight.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "vantor_fleet.h"
#include "vantor_step.h"
#include "vantor_world.h"

namespace {

const float FRAME = 1.0f / 60;
// Steps between restores of the starting world: 10 match seconds, too short for any ship to land.
const int RESTORE_EVERY = 600;

int items_in_use(const World *world) {
  int count = 0;
  for (const Item &item : world->items) count += item.in_use;
  return count;
}

// A ring of planets of four users, fleets crossing the middle to the far side (through each
// other: enemy ships pass), topped up with planets outside the ring to exactly `items` items.
void world_build(World *world, int items) {
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

// The same world with its last planet grown far larger than the field: it overlaps every item.
void world_build_huge(World *world, int items) {
  world_build(world, items);
  for (int n = VANTOR_ITEMS - 1; n > 0; n--) {
    Item &planet = world->items[n];
    if (!planet.in_use || !planet.has_planet) continue;
    planet.collide_r = 1e30f;
    return;
  }
}

// Runs `body` on a world of state.range(0) items made by `build`, restoring it before the ships
// can land.
template <typename Body>
void run_on_world(benchmark::State &state, Body body, void (*build)(World *, int) = world_build) {
  auto start = std::make_unique<World>();
  build(start.get(), (int)state.range(0));
  auto world = std::make_unique<World>(*start);
  state.counters["items"] = items_in_use(world.get());
  int steps = 0;
  for (auto _ : state) {
    if (++steps % RESTORE_EVERY == 0) {
      state.PauseTiming();
      memcpy(world.get(), start.get(), sizeof(World));
      state.ResumeTiming();
    }
    body(world.get());
  }
}

void BM_vantor_step(benchmark::State &state) {
  run_on_world(state, [](World *world) { vantor_step(world, FRAME, true); });
}

void BM_vantor_collide(benchmark::State &state) {
  run_on_world(state, [](World *world) { vantor_collide(world); });
}

// One item far larger than the field among the rest: its time stays near the ordinary world's.
void BM_vantor_step_huge(benchmark::State &state) {
  run_on_world(state, [](World *world) { vantor_step(world, FRAME, true); }, world_build_huge);
}

}  // namespace

BENCHMARK(BM_vantor_step)->Arg(256)->Arg(1024)->Arg(4095)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_vantor_step_huge)->Arg(4095)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_vantor_collide)->Arg(256)->Arg(1024)->Arg(4095)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
