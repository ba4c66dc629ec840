// Times the match step and its collision pass on worlds of planets and fleets of ships in flight.
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

// Runs `body` on a world of state.range(0) items, restoring it before the ships can land.
template <typename Body>
void run_on_world(benchmark::State &state, Body body) {
  auto start = std::make_unique<World>();
  world_build(start.get(), (int)state.range(0));
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

}  // namespace

BENCHMARK(BM_vantor_step)->Arg(256)->Arg(1024)->Arg(4095)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_vantor_collide)->Arg(256)->Arg(1024)->Arg(4095)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
