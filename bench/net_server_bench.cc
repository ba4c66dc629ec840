// What a dedicated server costs its operator: the shipped server mode (data/mod_server.lua with its
// computer players) run as a headless game runs it, 60 ticks per second, with 1, 8 and 31 clients on
// 127.0.0.1 that play their seats. Reported per run: the server's CPU time per tick and its share
// of one core, and the bytes per second each client costs on the wire with the UDP and IP headers,
// each next to its target. Where those bytes go is reported too: the sync messages one client gets
// per second with their coded (run-length) bytes, the datagrams per client, and what the range coder
// leaves of the coded bytes it is given.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game.h"
#include "game_match.h"
#include "game_net.h"
#include "kez_driver-sdl2.h"
#include "kez_log.h"
#include "mods_api.h"
#include "mods_start.h"
#include "mods_update.h"
#include "net_client.h"
#include "net_packet.h"
#include "net_server.h"
#include "vantor.h"

namespace {

const float TICK = 1.0f / 60;
const int TICKS_PER_S = 60;
// Seconds of match before measuring (joins, baselines, the first fleets), then measured.
const int WARM_UP_TICKS = 3 * TICKS_PER_S;
const int MEASURED_TICKS = 10 * TICKS_PER_S;
// A client orders as the computer players do, every 1.5 s.
const int ORDER_EVERY = 90;
// What a datagram costs on the wire beyond ENet's own bytes: an IPv4 header and a UDP header.
const double IP_UDP_HEADER = 20 + 8;
// The targets of a server at 31 clients.
const double TARGET_CORE_SHARE = 0.03;
const double TARGET_BYTES_PER_S = 5000;

// A UDP port of 127.0.0.1 that was free a moment ago; 0 when none.
int free_udp_port() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in sin = {};
  sin.sin_family = AF_INET;
  sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sin;
  int port = 0;
  if (fd >= 0 && bind(fd, (sockaddr *)&sin, sizeof sin) == 0 && getsockname(fd, (sockaddr *)&sin, &len) == 0)
    port = ntohs(sin.sin_port);
  if (fd >= 0) close(fd);
  return port;
}

double thread_cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// What the server's range coder is given and what it returns, datagram by datagram. It wraps the
// coder the server installed, so the wire carries the same bytes as without it.
struct CoderCount {
  void *coder = nullptr;
  double datagrams = 0, plain = 0, coded = 0;
};

size_t counted_compress(void *context, const ENetBuffer *buffers, size_t count, size_t limit, enet_uint8 *out,
                        size_t out_limit) {
  CoderCount *c = (CoderCount *)context;
  const size_t coded = enet_range_coder_compress(c->coder, buffers, count, limit, out, out_limit);
  c->datagrams += 1;
  c->plain += (double)limit;
  c->coded += (double)(coded ? coded : limit);  // ENet sends the plain commands when coding does not pay
  return coded;
}

size_t counted_decompress(void *context, const enet_uint8 *in, size_t in_limit, enet_uint8 *out, size_t out_limit) {
  return enet_range_coder_decompress(((CoderCount *)context)->coder, in, in_limit, out, out_limit);
}

void counted_destroy(void *context) { enet_range_coder_destroy(((CoderCount *)context)->coder); }

void coder_count_install(ENetHost *host, CoderCount *count) {
  count->coder = enet_range_coder_create();
  ENetCompressor compressor = {count, counted_compress, counted_decompress, counted_destroy};
  enet_host_compress(host, &compressor);
}

// The messages one client received, by type: how many, and their coded bytes as the server sent them.
struct TypeCount {
  double messages = 0, coded = 0;
};

// The server's log lines go to its log file, as a dedicated server's do, not to the console that
// shows the results.
struct QuietConsole {
  int saved = dup(1);
  QuietConsole() {
    fflush(stdout);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
  }
  ~QuietConsole() {
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
  }
};

// One client: the id its seat carries (the public one of its network id) and the connection.
struct BenchClient {
  std::string uid;
  std::unique_ptr<NetClient> net;
};

// The headless server game: the mod, and a frame as Game::loop runs it without a window.
struct BenchServer {
  std::unique_ptr<Game> game;
  std::vector<std::string> args;
  std::vector<char *> argv;

  explicit BenchServer(int port) {
    srand(1);  // the same field of planets and the same computer players' choices each run
    game.reset(new Game());
    ::game = game.get();
    game->headless = 1;
    game->port = port;
    args = {"-wait", "3600"};  // the match starts when every client has joined (below)
    for (std::string &a : args) argv.push_back(&a[0]);
    game->argv = argv.data();
    game->argc = (int)argv.size();
    snprintf(game->mod_file, sizeof game->mod_file, "%s/data/mod_server.lua", VB_BINARY_DIR);
    mods_start(game.get());
  }
  ~BenchServer() {
    mods_stop(game.get());
    ::game = nullptr;
  }
  void tick() {
    game_net_server_loop(game.get());
    game_match_tick(game.get(), TICK);
  }
  NetServer *net() { return static_cast<NetServer *>(game->server); }
};

// The user item that seats the client.
int bench_seat(const World &world, const std::string &uid) {
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &item = world.items[n];
    if (item.in_use && item.has_user && strncmp(item.user_uid, uid.c_str(), sizeof item.user_uid) == 0) return n;
  }
  return 0;
}

// The client's order when its turn comes, as a headless client's computer player chooses it (from
// the server's world here; the client's own copy shows the same): 60 % of its strongest planet, when
// that has 12 ships or more, to the planet of another side that is cheapest to take (its ships and
// 0.08 per unit of distance).
void bench_order(BenchClient &c, const World &world) {
  const int user = bench_seat(world, c.uid);
  if (!user) return;
  int from = 0, to = 0;
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &p = world.items[n];
    if (p.in_use && p.has_planet && (int)p.owner_n == user && (!from || p.ships_value > world.items[from].ships_value))
      from = n;
  }
  if (!from || world.items[from].ships_value < 12) return;
  const Item &f = world.items[from];
  double best = 0;
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &p = world.items[n];
    if (!p.in_use || !p.has_planet || (int)p.owner_n == user) continue;
    const double cost = p.ships_value + 0.08 * std::hypot(p.position_x - f.position_x, p.position_y - f.position_y);
    if (!to || cost < best) to = n, best = cost;
  }
  if (!to) return;
  char data[64];
  snprintf(data, sizeof data, "%d %d %d %d", 60, from, to, (int)f.sync_id);
  c.net->send("", "send", data, NET_RELIABLE);
}

// Pumps every client; what the first one receives is counted into `seen` when given.
void clients_pump(std::vector<BenchClient> &clients, std::map<std::string, TypeCount> *seen) {
  NetMsg msg;
  std::string coded;
  for (BenchClient &c : clients) {
    c.net->loop();
    while (c.net->recv(&msg)) {
      if (!seen || &c != &clients[0] || !net_packet_write({"", "", "", msg.type, msg.data}, &coded)) continue;
      TypeCount &t = (*seen)[msg.type];
      t.messages += 1;
      t.coded += (double)coded.size();
    }
  }
}

bool all_joined(BenchServer &server, size_t count) {
  NetServer *net = server.net();
  size_t joined = 0;
  for (auto &peer : net->peers) joined += peer->joined;
  return joined == count;
}

void BM_dedicated_server(benchmark::State &state) {
  const size_t count = (size_t)state.range(0);
  QuietConsole quiet;
  BenchServer server(free_udp_port());
  std::vector<BenchClient> clients(count);
  for (size_t i = 0; i < count; i++) {
    char id[32];
    snprintf(id, sizeof id, "a:%013zx", (size_t)0x5eed000 + i);
    clients[i].uid = net_public_id(id);
    clients[i].net.reset(new NetClient());
    clients[i].net->setup("127.0.0.1", server.net()->port, id, "Player " + std::to_string(i + 1), "velum");
    clients[i].net->open();
  }
  for (int i = 0; i < 10000 && !all_joined(server, count); i++) {
    server.tick();
    clients_pump(clients, nullptr);
    usleep(100);  // the handshakes travel through the kernel
  }
  var start;
  var_dict2(start, "type", "onclick", "value", "start");
  mods_event(server.game.get(), start);

  const World &world = server.game->data.vantor;
  CoderCount coder;
  coder_count_install(server.net()->enet_host, &coder);
  std::map<std::string, TypeCount> seen;
  double cpu = 0;
  uint32_t bytes_before = 0, datagrams_before = 0;
  int tick = 0;
  for (auto _ : state) {
    for (tick = 0; tick < WARM_UP_TICKS + MEASURED_TICKS; tick++) {
      if (tick == WARM_UP_TICKS) {
        cpu = 0;
        coder = CoderCount{coder.coder};
        seen.clear();
        bytes_before = server.net()->enet_host->totalSentData;
        datagrams_before = server.net()->enet_host->totalSentPackets;
      }
      for (size_t i = 0; i < count; i++) {
        if ((tick + (int)i * ORDER_EVERY / (int)count) % ORDER_EVERY == 0) bench_order(clients[i], world);
      }
      const double before = thread_cpu_seconds();
      server.tick();
      cpu += thread_cpu_seconds() - before;
      clients_pump(clients, tick >= WARM_UP_TICKS ? &seen : nullptr);
    }
  }
  ENetHost *host = server.net()->enet_host;
  const double seconds = (double)MEASURED_TICKS / TICKS_PER_S;
  const double wire = (uint32_t)(host->totalSentData - bytes_before) +
                      IP_UDP_HEADER * (uint32_t)(host->totalSentPackets - datagrams_before);
  int fleets = 0, synced = 0;
  for (const Item &item : world.items) {
    fleets += item.in_use && item.has_fleet;
    synced += item.in_use && item.synced;
  }
  state.counters["clients"] = (double)count;
  state.counters["cpu_us_per_tick"] = cpu / MEASURED_TICKS * 1e6;
  state.counters["core_share"] = cpu / seconds;
  state.counters["core_share_target"] = TARGET_CORE_SHARE;
  state.counters["wire_B_per_s_per_client"] = wire / seconds / (double)count;
  state.counters["wire_B_per_s_target"] = TARGET_BYTES_PER_S;
  const double per_client_s = seconds * (double)count;
  state.counters["datagrams_per_s_per_client"] = coder.datagrams / per_client_s;
  state.counters["ip_udp_B_per_s_per_client"] = IP_UDP_HEADER * coder.datagrams / per_client_s;
  state.counters["range_coder_ratio"] = coder.plain > 0 ? coder.coded / coder.plain : 0;
  for (const char *type : {"I", "D", "A"}) {
    state.counters[std::string(type) + "_per_s"] = seen[type].messages / seconds;
    state.counters[std::string(type) + "_coded_B_per_s"] = seen[type].coded / seconds;
  }
  state.counters["fleets_at_end"] = fleets;
  state.counters["synced_items_at_end"] = synced;
  for (BenchClient &c : clients) c.net->close();
}

BENCHMARK(BM_dedicated_server)->Arg(1)->Arg(8)->Arg(31)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
  // The server finds its data folder ("./data") and writes its log into a user folder of its own.
  char appdata[] = "/tmp/vantor-bench-XXXXXX";
  if (!mkdtemp(appdata) || chdir(VB_BINARY_DIR) != 0) return 1;
  setenv("APPDATA", appdata, 1);
  driver_app_create();
  snprintf(app_info->app_name, sizeof app_info->app_name, "Vantor Brevane");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
