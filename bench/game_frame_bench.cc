// Frames of the real game on the software renderer: painting a full match world, and the longest
// frame while a page opens or a match starts. The game runs whole (window, data folder, main script,
// audio on SDL's dummy driver), so it needs a display: scripts/test.sh runs it on its own Xvfb.
//
// The longest frames are counters, kept over every run of a benchmark so that the first, cold opening
// counts: "max_frame_ms" in wall time, and "max_frame_cpu_ms" in the main thread's CPU time. With
// LP_NUM_THREADS=0 the renderer draws on the main thread, so the second is a frame's whole work, which
// a busy machine does not inflate as it does wall time.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_world.h"
#include "game.h"
#include "menus.h"
#include "mods_start.h"
#include "mods_update.h"
#include "trans.h"

namespace {

using Clock = std::chrono::steady_clock;

// Frames the home screen shows before a benchmark, paced as the game paces them: a player looks at
// it for a moment before the first click.
const int HOME_FRAMES = 90;
// Frames run after a transition ends: a page's or a match's first frames of its own.
const int SETTLE_FRAMES = 30;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double thread_cpu_ms() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The longest frame seen, in wall and in CPU time.
struct Worst {
  double wall = 0, cpu = 0;

  void counters(benchmark::State &state) const {
    state.counters["max_frame_ms"] = wall;
    state.counters["max_frame_cpu_ms"] = cpu;
  }
};

// One frame of the main loop without the pacing sleep. `before` runs first, inside the frame, as a
// click's handling does.
template <typename Before>
void frame(Worst &worst, Before before) {
  const Clock::time_point start = Clock::now();
  const double cpu = thread_cpu_ms();
  before();
  game_pump_events();
  game->loop();
  game->paint_frame();
  worst.cpu = std::max(worst.cpu, thread_cpu_ms() - cpu);
  worst.wall = std::max(worst.wall, ms_since(start));
}

void frame(Worst &worst) {
  frame(worst, [] {});
}

// A click on a tab or the bottom bar, handled in one frame; then frames until its transition has
// ended and the new screen has run a while.
void click_and_settle(Worst &worst, const char *value) {
  var click;
  var_dict2(click, "type", "onclick", "value", value);
  frame(worst, [&click] { menus_tabs_handle(game, click); });
  while (trans_running()) frame(worst);
  for (int i = 0; i < SETTLE_FRAMES; i++) frame(worst);
}

// The pages a player opens from the home screen's tabs and the settings' own tabs; each comes back
// home through the bottom bar.
const char *const PAGES[] = {"tab:mods", "tab:news", "tab:settings", "tab:settings:audio", "tab:settings:video",
                             "tab:settings:controls", "tab:settings:options"};

void BM_page_open(benchmark::State &state) {
  static Worst worst;
  for (auto _ : state) {
    for (const char *page : PAGES) {
      click_and_settle(worst, page);
      click_and_settle(worst, "popup:done");
    }
  }
  worst.counters(state);
}

// Practice: the classic mod starts a match on a random map; the bar takes the player home again.
void BM_match_start(benchmark::State &state) {
  static Worst worst;
  for (auto _ : state) {
    click_and_settle(worst, "tab:lite");
    state.PauseTiming();
    Worst home;
    mods_home(game);
    while (trans_running()) frame(home);
    state.ResumeTiming();
  }
  worst.counters(state);
}

// A full world (4095 items: planets, ships in flight with their labels, sparks) painted by the play
// screen with its HUD. The world holds still: only the painting is timed.
void BM_full_world_frame(benchmark::State &state) {
  mods_stop(game);
  World *world = &game->data.vantor;
  world_build(world, VANTOR_ITEMS - 1);
  for (int i = 0; i < 256; i++) vantor_hit_sparks(world, (float)(i % 16) * 150 - 1200, (float)(i / 16) * 150 - 1200);
  state_change("states_play", &game->names, -1);
  for (int i = 0; i < 3; i++) game->paint_frame();  // textures load on first use
  for (auto _ : state) game->paint_frame();
  int ships = 0, planets = 0, parts = 0;
  for (const Item &item : world->items) {
    ships += item.in_use && item.is_ship;
    planets += item.in_use && item.has_planet;
  }
  for (const Part &part : world->parts) parts += part.in_use;
  state.counters["items"] = items_in_use(world);
  state.counters["planets"] = planets;
  state.counters["ships"] = ships;
  state.counters["particles"] = parts;
  Worst home;
  mods_home(game);
  while (trans_running()) frame(home);
}

BENCHMARK(BM_page_open)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_match_start)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_full_world_frame)->Unit(benchmark::kMillisecond)->UseRealTime();

// The game as a player starts it, in a user folder of its own, run to its home screen.
bool game_open() {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  char folder[] = "/tmp/vantor-bench-XXXXXX";
  if (!mkdtemp(folder) || chdir(VB_BINARY_DIR) != 0) return false;  // the data folder is "./data"
  setenv("APPDATA", folder, 1);
  static char name[] = "game_frame_bench";
  static char *args[] = {name, nullptr};
  game_create(1, args);
  if (!driver_gl_context()) return false;
  for (int i = 0; i < HOME_FRAMES; i++) {
    game_pump_events();
    game->loop();
    game->paint();
  }
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!game_open()) {
    fprintf(stderr, "game_frame_bench: no window (it needs a display with a 24-bit screen)\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  game_destroy();
  benchmark::Shutdown();
  return 0;
}
