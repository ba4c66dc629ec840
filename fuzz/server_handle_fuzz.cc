// Fuzz target for what the match server does with its clients: any bytes become a run of transport
// events (connects of any version, disconnects, packets of any content from up to 33 peers, moments
// of silence) handed to a real NetServer, and every message it queues goes to vantor_server_handle
// against a world with seats and planets, as the server's pump does. Promises checked:
// - a sender id never surfaces: every message and event names its peer by a public id, an
//   anonymous sender's address or nothing;
// - "join", "rejoin" and "leave" come only from the server itself: a packet yields at most one
//   join or rejoin, first, and never a leave;
// - shown names are at most 15 bytes of well-formed UTF-8 with no control character or markup, and
//   no two joined peers share one; no peer has more queued than its share;
// - the world stays consistent (every item in use in its own slot, its references in the table);
// - an address, over all its connections, has at most NET_WAITING_PER_ADDRESS connections waiting to
//   join and one more being let go, and causes at most a few log lines a second.
// A trap marks a broken promise.
//
// Input, repeated: an op byte o and a peer byte k (peer k % 33 of the host's table), then by o % 4:
// 0 connect from one of four addresses (o >> 6) with version 5 (or the next byte when o & 4);
// 1 disconnect; 2 a packet: o & 4 takes a 2-byte length and that many raw bytes, else three choices
// (sender id, title, type from short lists by a byte each) and a 1-byte length of payload; 3 the peer
// and every connection age by the next byte's tenths of a second, and the server's own loop runs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "game.h"
#include "kez_utf8.h"
#include "net_log.h"
#include "net_packet.h"
#include "net_server.h"
#include "vantor_server.h"
#include "vantor_step.h"
#include "vantor_world.h"

static NetServer *server;
static FILE *log_out;  // standard output, kept in memory so that the log lines can be counted
static char *log_bytes;
static size_t log_size;
static const char *const IDS[] = {"", "u1", "u2", "*", "*poke", "p:0123456789abc", "u1 "};
static const char *const TITLES[] = {"", "Alice", "Alice", "<b>Bob</b>", "\x01\xff", "Alice 2", "Player"};
static const char *const TYPES[] = {"ping",   "send",  "redirect",   "refresh", "join",
                                    "rejoin", "leave", "disconnect", "message"};

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  log_out = open_memstream(&log_bytes, &log_size);  // every message is logged; the fuzzer reports on stderr
  if (!log_out) abort();
  stdout = log_out;
  game = new Game();
  game->headless = 1;
  server = new NetServer();
  server->setup("", 0, "server", "Server", "velum");
  server->open();
  if (!server->opened) abort();
  return 0;
}

// Seats for the ids "u1" and "u2" with a planet each, and a free planet, as the server mode makes them.
static void world_build(World *w) {
  vantor_world_reset(w);
  static const std::string uids[2] = {net_public_id("u1"), net_public_id("u2")};
  int users[2];
  for (int i = 0; i < 2; i++) {
    const std::string &uid = uids[i];
    Item *u = vantor_user_init(w, 0x00FF00, 0, uid.c_str());
    vantor_text_copy(u->user_uid, sizeof u->user_uid, uid.c_str());
    users[i] = (int)u->n;
  }
  vantor_planet_init(w, users[0], 0, 0, 50, 40);
  vantor_planet_init(w, users[1], 300, 0, 50, 10);
  vantor_planet_init(w, 0, 0, 300, 0, 5);
}

static bool in_table(int64_t n) { return n >= 0 && n < VANTOR_ITEMS; }

__attribute__((noinline, no_sanitize("coverage"))) static void check_world(const World &w) {
  for (int i = 1; i < VANTOR_ITEMS; i++) {
    const Item &item = w.items[i];
    if (!item.in_use) continue;
    check(item.n == (uint32_t)i);
    check(in_table(item.owner_n) && in_table(item.fleet_target) && in_table(item.fleet_n));
  }
}

static bool shown_name_ok(const std::string &name) {
  if (name.empty() || name.size() > NET_NAME_MAX) return false;
  for (size_t i = 0; i < name.size();) {
    const size_t length = utf8_char_length(&name[i], name.size() - i);
    const unsigned char c = (unsigned char)name[i];
    if (!length || c < 0x20 || c == 0x7f || c == '<' || c == '>' || c == '&') return false;
    i += length;
  }
  return true;
}

__attribute__((noinline, no_sanitize("coverage"))) static void check_peers() {
  std::map<std::string, size_t> waiting, leaving;  // unjoined connections by address
  for (auto &a : server->peers) {
    if (!a->joined) (a->active ? waiting : leaving)[a->source]++;
  }
  for (auto &w : waiting) check(w.second <= NET_WAITING_PER_ADDRESS);
  for (auto &l : leaving) check(l.second <= 1);
  for (auto &a : server->peers) {
    check(a->queued <= NET_PEER_QUEUED_MAX);
    if (!a->joined) continue;
    check(shown_name_ok(a->info));
    for (auto &b : server->peers) check(a == b || !b->joined || a->info != b->info);
  }
}

// Whether a peer name is one the server may show: a public id, an address, or none.
static bool shown_id_ok(const std::string &peer) {
  if (peer.empty() || peer[0] == '*') return true;
  if (peer.size() != 15 || peer.compare(0, 2, "p:") != 0) return false;
  for (auto &entry : server->peers) {
    if (entry->id == peer) return false;  // a sender id that merely looks public must not pass
  }
  return true;
}

// Hands what the server queued to the match server; from a packet, a join or rejoin may only come
// first and a leave never.
static void drain(World *w, bool from_packet) {
  NetMsg msg;
  bool first = true;
  while (server->recv(&msg)) {
    check(shown_id_ok(msg.peer));
    const bool own = msg.type == "join" || msg.type == "rejoin" || msg.type == "leave";
    if (from_packet) check(!own || (first && msg.type != "leave"));
    first = false;
    vantor_server_handle(server, w, msg);
  }
  server->outgoing.clear();
}

// The lines logged since the input began must fit the budget of its four addresses, a few lines
// and one count line for each interval the input spanned.
__attribute__((noinline, no_sanitize("coverage"))) static void check_log(size_t from, uint32_t started) {
  fflush(log_out);
  const size_t lines = (size_t)std::count(log_bytes + from, log_bytes + log_size, '\n');
  const size_t intervals = (enet_time_get() - started) / NET_LOG_INTERVAL_MS + 2;
  check(lines <= 4 * (NET_LOG_LINES + 1) * intervals);
}

static uint8_t next(const uint8_t *&p, const uint8_t *end) { return p < end ? *p++ : 0; }

static std::string bytes(const uint8_t *&p, const uint8_t *end, size_t n) {
  const size_t take = (size_t)(end - p) < n ? (size_t)(end - p) : n;
  std::string out((const char *)p, take);
  p += take;
  return out;
}

static ENetPacket *packet(uint8_t op, const uint8_t *&p, const uint8_t *end) {
  std::string coded;
  if (op & 4) {
    size_t n = next(p, end);
    n |= (size_t)next(p, end) << 8;
    coded = bytes(p, end, n);
  } else {
    const char *id = IDS[next(p, end) % 7], *title = TITLES[next(p, end) % 7], *type = TYPES[next(p, end) % 9];
    const size_t n = next(p, end);
    net_packet_write({id, title, "velum", type, bytes(p, end, n)}, &coded);
  }
  return enet_packet_create(coded.data(), coded.size(), 0);
}

// Forgets every peer, so that each input starts from an empty server.
static void server_reset() {
  server->peers.clear();
  server->incoming.clear();
  server->outgoing.clear();
  for (size_t i = 0; i < server->enet_host->peerCount; i++) {
    ENetPeer *peer = &server->enet_host->peers[i];
    enet_peer_reset(peer);
    peer->data = nullptr;
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  World *world = &game->data.vantor;
  world_build(world);
  server_reset();
  fflush(log_out);
  if (log_size > (1u << 20)) rewind(log_out);  // the lines of earlier inputs are counted already
  fflush(log_out);
  const size_t log_from = log_size;
  const uint32_t started = enet_time_get();
  const uint8_t *p = data, *end = data + size;
  while (p < end) {
    const uint8_t op = next(p, end);
    ENetPeer *peer = &server->enet_host->peers[next(p, end) % server->enet_host->peerCount];
    const uint32_t now = enet_time_get();
    ENetEvent event = {};
    event.peer = peer;
    switch (op % 4) {
      case 0:
        event.type = ENET_EVENT_TYPE_CONNECT;
        event.data = (op & 4) ? next(p, end) : NET_PROTOCOL_VERSION;
        peer->address.host = 0x0100007f + ((uint32_t)(op >> 6) << 24);  // 127.0.0.1 to 127.0.0.4
        peer->address.port = (uint16_t)(1024 + op);
        peer->lastReceiveTime = now;
        break;
      case 1: event.type = ENET_EVENT_TYPE_DISCONNECT; break;
      case 2:
        event.type = ENET_EVENT_TYPE_RECEIVE;
        event.packet = packet(op, p, end);
        peer->lastReceiveTime = now;
        break;
      case 3: {
        const uint32_t age = 100u * next(p, end);
        peer->lastReceiveTime = now - age;
        for (auto &entry : server->peers) {
          if (entry->waiting_since) entry->waiting_since -= age;
          entry->since -= age;
        }
        break;
      }
    }
    if (event.type != ENET_EVENT_TYPE_NONE) server->handle_event(event, now);
    if (op % 4 == 3) server->loop();
    drain(world, op % 4 == 2);
    check_peers();
  }
  check_log(log_from, started);
  check_world(*world);
  return 0;
}
