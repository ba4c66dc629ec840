// The match server of a busy match at 60 ticks per second, with real clients on 127.0.0.1: the
// server's CPU time per tick (step, sync, transport and the clients' messages) and the bytes per
// second each client costs on the wire.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "net_client.h"
#include "net_server.h"
#include "vantor_fleet.h"
#include "vantor_server.h"
#include "vantor_step.h"
#include "vantor_world.h"

namespace {

const float TICK = 1.0f / 60;
const int SIDES = 8;
const int PLANETS = 68;
// Every side sends a fleet every 1.5 s (ticks), the pace of the game's computer players, so
// fleets are always in flight.
const int ORDER_EVERY = 90;
// Ticks run before measuring: the joins, their baselines and the first fleets.
const int WARM_UP = 180;

// 8 sides with a home each and 60 neutral planets, spread over the field.
void match_build(World *world, std::vector<int> *users) {
  srand(3);
  vantor_world_reset(world);
  for (int s = 0; s < SIDES; s++) {
    const std::string uid = "side" + std::to_string(s);
    Item *user = vantor_user_init(world, 0x204080u * (s + 1) & 0xFFFFFF, 0, uid.c_str());
    vantor_text_copy(user->user_uid, sizeof user->user_uid, uid.c_str());
    users->push_back((int)user->n);
  }
  for (int p = 0; p < PLANETS; p++) {
    const float a = 2 * VANTOR_PI * p / PLANETS, r = p % 2 ? 700.0f : 400.0f;
    const int owner = p < SIDES ? (*users)[p] : 0;
    vantor_planet_init(world, owner, r * std::cos(a), r * std::sin(a), owner ? 100 : 30, owner ? 200 : 20);
  }
}

// Each side in turn sends half of one of its planets to a planet across the field.
void match_orders(World *world, int tick) {
  const int gap = ORDER_EVERY / SIDES;  // the sides take turns
  if (tick % gap != 0) return;
  const int side = (tick / gap) % SIDES;
  std::vector<int> own, all;
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &item = world->items[n];
    if (!item.in_use || !item.has_planet) continue;
    all.push_back(n);
    if (item.owner_n && world->items[item.owner_n].has_user && side == (int)(item.owner_n % SIDES)) own.push_back(n);
  }
  if (own.empty() || all.empty()) return;
  const int from = own[rand() % own.size()], to = all[rand() % all.size()];
  if (from != to) vantor_fleet_send(world, from, to, 50);
}

// The clients only service their connection (acknowledging what the server sends) and drop what
// they receive: their own work is not the server's.
void clients_pump(std::vector<std::unique_ptr<NetClient>> &clients) {
  NetMsg msg;
  for (auto &c : clients) {
    c->loop();
    while (c->recv(&msg)) {
    }
  }
}

// One server tick: the match step, the sync tick, the transport and every client message.
void server_tick(NetServer *server, World *world, int tick) {
  match_orders(world, tick);
  vantor_step(world, TICK, true);
  vantor_server_sync(server, world);
  server->loop();
  NetMsg msg;
  while (server->recv(&msg)) vantor_server_handle(server, world, msg);
}

void BM_net_server_busy_match(benchmark::State &state) {
  const int count = (int)state.range(0);
  auto world = std::make_unique<World>();
  std::vector<int> users;
  match_build(world.get(), &users);
  NetServer server;
  server.setup("", 0, "server", "Server", "velum");
  server.open();
  std::vector<std::unique_ptr<NetClient>> clients;
  for (int i = 0; i < count; i++) {
    clients.emplace_back(new NetClient());
    const std::string uid = "side" + std::to_string(i % SIDES) + (i < SIDES ? "" : "x" + std::to_string(i));
    clients.back()->setup("127.0.0.1", server.port, uid, "Player", "velum");
    clients.back()->open();
  }
  int tick = 0;
  for (; tick < WARM_UP; tick++) {
    server_tick(&server, world.get(), tick);
    clients_pump(clients);
  }
  const uint32_t sent_before = server.enet_host->totalSentData;
  int measured = 0;
  double busy = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    server_tick(&server, world.get(), tick++);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(took);
    busy += took;
    measured++;
    clients_pump(clients);
  }
  const double seconds = measured * (double)TICK;
  const double sent = (uint32_t)(server.enet_host->totalSentData - sent_before);
  state.counters["clients"] = count;
  state.counters["bytes_per_s_per_client"] = sent / seconds / count;
  state.counters["share_of_a_core"] = busy / seconds;  // at 60 ticks per second
  int fleets = 0, items = 0;
  for (const Item &item : world->items) {
    fleets += item.in_use && item.has_fleet;
    items += item.in_use && item.synced;
  }
  state.counters["fleets"] = fleets;
  state.counters["synced_items"] = items;
  for (auto &c : clients) c->close();
  server.close();
}

// Ten seconds of match time, so each run holds ten full passes.
BENCHMARK(BM_net_server_busy_match)->Arg(1)->Arg(8)->Arg(31)->UseManualTime()->Iterations(600)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
