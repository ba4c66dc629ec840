// The match server's sync: the per-frame tick that sends the world to the clients, and the orders.
#include "vantor_server.h"
#include "vantor_server_internal.h"

#include <SDL.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <vector>

#include "kez_log.h"
#include "net_log.h"
#include "vantor_fleet.h"
#include "vantor_world.h"

// Frames between two full passes ("A" and every synced item): once a second at 60 frames.
static const uint32_t SYNC_FULL_PERIOD = 60;
// Counts for the process lifetime; a world reset does not restart it.
static uint32_t sync_ticks;

static bool _vantor_server_synced(const Item &item) { return item.in_use && item.synced; }

static std::string _vantor_server_record(const Item &item) {
  return std::string(reinterpret_cast<const char *>(&item), sizeof(Item));
}

// The item XOR its shadow, with bytes 4..7 (the index) in plain so the receiver knows the slot.
static std::string _vantor_server_delta(const Item &item, const Item &shadow, uint32_t n) {
  const uint8_t *a = reinterpret_cast<const uint8_t *>(&item);
  const uint8_t *b = reinterpret_cast<const uint8_t *>(&shadow);
  std::string out(sizeof(Item), '\0');
  for (size_t i = 0; i < sizeof(Item); i++) out[i] = (char)(a[i] ^ b[i]);
  for (int i = 0; i < 4; i++) out[4 + i] = (char)((n >> (8 * i)) & 0xFF);
  return out;
}

void vantor_server_sync(Net *server, World *world) {
  sync_ticks += 1;
  if (sync_ticks % SYNC_FULL_PERIOD == 0) {
    vantor_server_sync_alive(server, world);
    vantor_server_sync_all(server, world);
  } else {
    vantor_server_sync_new(server, world);
  }
}

bool vantor_server_sync_item(Net *server, World *world, int mode, const std::string &target, int n) {
  if (n < 1 || n >= VANTOR_ITEMS || !_vantor_server_synced(world->items[n])) return false;
  if (mode != VANTOR_SYNC_TICK && mode != VANTOR_SYNC_REFRESH) return false;
  Item &item = world->items[n];
  Item &shadow = world->shadows[n];
  if (mode == VANTOR_SYNC_TICK && item.dirty) {
    item.dirty = 0;
    shadow = item;
    server->send(target, "I", _vantor_server_record(item), NET_RELIABLE);
    return true;
  }
  if (mode == VANTOR_SYNC_REFRESH) server->send(target, "S", _vantor_server_record(shadow), NET_RELIABLE);
  server->send(target, "D", _vantor_server_delta(item, shadow, (uint32_t)n), NET_RELIABLE);
  return true;
}

void vantor_server_sync_alive(Net *server, const World *world) {
  std::string alive(VANTOR_ITEMS, '\0');
  for (int n = 1; n < VANTOR_ITEMS; n++) alive[n] = _vantor_server_synced(world->items[n]) ? 1 : 0;
  server->send("", "A", alive, NET_RELIABLE);
}

void vantor_server_sync_all(Net *server, World *world) {
  for (int n = 1; n < VANTOR_ITEMS; n++) vantor_server_sync_item(server, world, VANTOR_SYNC_TICK, "", n);
  static std::vector<uint16_t> slots;
  vantor_dirty_take(world, &slots);  // every dirty item went out with the pass
}

void vantor_server_sync_new(Net *server, World *world) {
  static std::vector<uint16_t> slots;
  if (vantor_dirty_take(world, &slots)) {
    for (uint16_t n : slots) {
      if (world->items[n].dirty) vantor_server_sync_item(server, world, VANTOR_SYNC_TICK, "", n);
    }
    return;
  }
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    if (world->items[n].dirty) vantor_server_sync_item(server, world, VANTOR_SYNC_TICK, "", n);
  }
}

int vantor_server_user_find(const World *world, const std::string &uid) {
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &item = world->items[n];
    if (!item.in_use || !item.has_user) continue;
    if (uid == std::string(item.user_uid, strnlen(item.user_uid, sizeof(item.user_uid)))) return n;
  }
  return 0;
}

// ---- Orders ----

// The first `count` words of an order: split on single spaces, each read as a number (a non-number
// reads 0) and truncated; missing words read 0. They stay doubles so that a huge or non-finite word
// fails its range check instead of overflowing an int.
static std::vector<double> _vantor_server_words(const std::string &data, size_t count) {
  std::vector<double> words;
  size_t start = 0;
  while (words.size() < count) {
    size_t end = data.find(' ', start);
    std::string word = data.substr(start, end == std::string::npos ? std::string::npos : end - start);
    words.push_back(std::trunc(strtod(word.c_str(), nullptr)));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  words.resize(count, 0.0);
  return words;
}

// The in-use item an order word names; null unless the word is an index 1..4095.
static Item *_vantor_server_order_item(World *world, double word) {
  if (!(word >= 1 && word < VANTOR_ITEMS)) return nullptr;
  return vantor_item_live(world, (int64_t)word);
}

// Clients print the u32 serial with "%d", so a serial past 2^31 arrives negative: compare modulo 2^32.
static bool _vantor_server_serial_matches(double word, uint32_t serial) {
  if (!(word >= INT32_MIN && word <= UINT32_MAX)) return false;
  return (uint32_t)(int64_t)word == serial;
}

// The first failing check of an order's ends, by its log name, or null when they pass: the source
// (a fleet or a planet) must be in use and user's, the target an in-use planet, the serial the
// source's (so an order made against an old copy of a reused slot never acts on the new item).
static const char *_vantor_server_ends_fault(World *world, int user, double from_word, bool from_fleet, double to_word,
                                             double serial_word) {
  const Item *from = _vantor_server_order_item(world, from_word);
  if (!from) return "from1";
  if (from_fleet ? !from->has_fleet : !from->has_planet) return "from2";
  if (from->owner_n != user) return "from3";
  const Item *to = _vantor_server_order_item(world, to_word);
  if (!to) return "to1";
  if (!to->has_planet) return "to2";
  if (!_vantor_server_serial_matches(serial_word, from->sync_id)) return "sync_id";
  return nullptr;
}

// A client's messages may cost the log a few lines a second, whatever it sends and over however many
// connections of its address (net_log).
static bool _vantor_server_may_log(const NetMsg &msg) {
  return net_log_allow(msg.source.empty() ? msg.peer : msg.source, enet_time_get());
}

// Who sent a message, for the operator: the shown id, the name and the address.
static std::string _vantor_server_sender(const NetMsg &msg) {
  std::string who = log_escape(msg.peer, 32) + " <" + log_escape(msg.info, 16) + ">";
  return msg.source.empty() ? who : who + " at " + msg.source;
}

static void _vantor_server_handle_send(World *world, const NetMsg &msg) {
  std::vector<double> w = _vantor_server_words(msg.data, 4);  // perc, from, to, from's serial
  int user = vantor_server_user_find(world, msg.peer);
  const char *fault = !user                         ? "user"
                      : !(w[0] >= 1 && w[0] <= 100) ? "perc"
                                                    : _vantor_server_ends_fault(world, user, w[1], false, w[2], w[3]);
  if (fault) {
    if (_vantor_server_may_log(msg))
      LOG_PRINTF("_vantor_server_handle_send: invalid %s, from %s", fault, _vantor_server_sender(msg).c_str());
    return;
  }
  vantor_fleet_send(world, (int)w[1], (int)w[2], (int)w[0]);
}

static void _vantor_server_handle_redirect(World *world, const NetMsg &msg) {
  std::vector<double> w = _vantor_server_words(msg.data, 3);  // fleet, to, fleet's serial
  int user = vantor_server_user_find(world, msg.peer);
  const char *fault = !user ? "user" : _vantor_server_ends_fault(world, user, w[0], true, w[1], w[2]);
  if (fault) {
    if (_vantor_server_may_log(msg))
      LOG_PRINTF("_vantor_server_handle_redirect: invalid %s, from %s", fault, _vantor_server_sender(msg).c_str());
    return;
  }
  vantor_fleet_redirect(world, (int)w[0], (int)w[1]);
}

// A reset, then the baseline and current state of every synced item, for the sender alone.
static void _vantor_server_baseline(Net *server, World *world, const std::string &peer) {
  server->send(peer, "R", "", NET_RELIABLE);
  for (int n = 1; n < VANTOR_ITEMS; n++) vantor_server_sync_item(server, world, VANTOR_SYNC_REFRESH, peer, n);
}

// A baseline costs the server a record per item, so a client asking for one again and again could
// turn a few bytes in into megabytes out: a peer gets at most one per interval, the rest are dropped.
static const uint32_t BASELINE_INTERVAL_MS = 1000;
struct BaselineStamp {
  uint32_t at;         // when the peer's last baseline went out
  bool drop_reported;  // one log line per interval, however many requests are dropped
};
static std::map<std::string, BaselineStamp> baseline_stamps;

// Forgets the stamps that no longer hold anything back, so names that never leave (anonymous
// senders) cannot grow the table.
static void _vantor_server_baseline_prune(uint32_t now) {
  if (baseline_stamps.size() <= 4 * NET_PEERS_MAX) return;
  for (auto it = baseline_stamps.begin(); it != baseline_stamps.end();) {
    it = now - it->second.at >= BASELINE_INTERVAL_MS ? baseline_stamps.erase(it) : std::next(it);
  }
}

// "join" and "rejoin" come from the server's own endpoint, once per connection, and always get their
// baseline; "refresh" comes from the client and waits for its interval.
static void _vantor_server_handle_refresh(Net *server, World *world, const NetMsg &msg, uint32_t now) {
  if (msg.peer.empty()) return;  // the empty peer would address every client
  auto it = baseline_stamps.find(msg.peer);
  if (msg.type == "refresh" && it != baseline_stamps.end() && now - it->second.at < BASELINE_INTERVAL_MS) {
    if (!it->second.drop_reported && _vantor_server_may_log(msg))
      LOG_PRINTF("_vantor_server_handle_refresh: %s asked again within a second, dropped",
                 log_escape(msg.peer, 16).c_str());
    it->second.drop_reported = true;
    return;
  }
  _vantor_server_baseline_prune(now);
  baseline_stamps[msg.peer] = {now, false};
  _vantor_server_baseline(server, world, msg.peer);
}

// The most of a message's data its log line shows: a client's message is outside input of any size.
static const size_t HANDLE_LOG_DATA_MAX = 256;

// Open to the tests: vantor_server_handle without its log line, at a
// given millisecond clock reading.
void _vantor_server_dispatch(Net *server, World *world, const NetMsg &msg, uint32_t now_ms) {
  if (msg.type == "send") {
    _vantor_server_handle_send(world, msg);
  } else if (msg.type == "redirect") {
    _vantor_server_handle_redirect(world, msg);
  } else if (msg.type == "refresh" || msg.type == "join" || msg.type == "rejoin") {
    _vantor_server_handle_refresh(server, world, msg, now_ms);
  } else if (msg.type == "leave") {
    baseline_stamps.erase(msg.peer);
  }
}

void vantor_server_handle(Net *server, World *world, const NetMsg &msg) {
  if (_vantor_server_may_log(msg))
    LOG_PRINTF("<%s> [%s] %s", log_escape(msg.info, 16).c_str(), log_escape(msg.type, 16).c_str(),
               log_escape(msg.data, HANDLE_LOG_DATA_MAX).c_str());
  _vantor_server_dispatch(server, world, msg, SDL_GetTicks());
}
