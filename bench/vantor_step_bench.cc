// Times the match step and its collision pass on worlds of planets and fleets of ships in flight, and
// the settling of a full table of planets.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bench_world.h"
#include "vantor_step.h"

namespace {

// Steps between restores of the starting world: 10 match seconds, too short for any ship to land.
const int RESTORE_EVERY = 600;

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

// A user and `planets` planets of every size scattered over an 800 by 600 field that holds a tenth of
// them: settling it spends every pass's whole allowance.
void world_build_crowd(World *world, int planets) {
  srand(1);
  vantor_world_reset(world);
  int user = vantor_user_init(world, 0x3F3F3F, 0, "user")->n;
  for (int i = 0; i < planets; i++) {
    vantor_planet_init(world, user, (float)(rand() % 800), (float)(rand() % 600), (float)(15 + rand() % 86), 10);
  }
}

// Runs `body` on a world of state.range(0) items made by `build`, restoring it every
// `restore_every` runs (by default before the ships can land).
template <typename Body>
void run_on_world(benchmark::State &state, Body body, void (*build)(World *, int) = world_build,
                  int restore_every = RESTORE_EVERY) {
  auto start = std::make_unique<World>();
  build(start.get(), (int)state.range(0));
  auto world = std::make_unique<World>(*start);
  state.counters["items"] = items_in_use(world.get());
  int steps = 0;
  for (auto _ : state) {
    if (++steps % restore_every == 0) {
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

// Each run settles the scattered planets afresh.
void BM_vantor_planets_settle(benchmark::State &state) {
  run_on_world(state, [](World *world) { vantor_planets_settle(world, 0, 0, 800, 600); }, world_build_crowd, 1);
}

}  // namespace

BENCHMARK(BM_vantor_step)->Arg(256)->Arg(1024)->Arg(4095)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_vantor_step_huge)->Arg(4095)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_vantor_collide)->Arg(256)->Arg(1024)->Arg(4095)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_vantor_planets_settle)->Arg(4093)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
