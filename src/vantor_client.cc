// The match client's sync: applying the server's records to the local world, and sending orders.
#include "vantor_client.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "kez_log.h"
#include "net_log.h"
#include "vantor_fleet.h"
#include "vantor_view.h"
#include "vantor_world.h"

// The server index in bytes 4..7 of a record, valid or not.
static uint32_t _vantor_client_index(const std::string &data) {
  uint32_t r;
  memcpy(&r, data.data() + offsetof(Item, n), sizeof r);
  return r;
}

static bool _vantor_client_index_ok(uint32_t r) { return r >= 1 && r < VANTOR_ITEMS; }

// The local index of server index `value`; 0 for none and for anything outside 0..4095.
static uint32_t _vantor_client_local(const World *world, int64_t value) {
  return value >= 0 && value < VANTOR_ITEMS ? world->client_map[value] : 0;
}

// Drops the mapping of server index r and destroys its copy, but only when the local slot still
// holds that copy: a slot the client reused for its own items is left alone.
static void _vantor_client_forget(World *world, uint32_t r) {
  uint32_t l = world->client_map[r];
  if (!l) return;
  world->client_map[r] = 0;
  world->remote_serials[r] = 0;
  const Item &item = world->items[l];
  if (item.in_use && item.synced && item.server_n == r) vantor_item_destroy(world, (int)l);
}

// Turns the server's references in the record into local ones.
static void _vantor_client_remap(const World *world, Item *record, uint32_t r) {
  record->n = _vantor_client_local(world, r);
  record->owner_n = (int32_t)_vantor_client_local(world, record->owner_n);
  record->fleet_target = _vantor_client_local(world, record->fleet_target);
  record->user_team_n = (int32_t)_vantor_client_local(world, record->user_team_n);
  record->fleet_n = _vantor_client_local(world, record->fleet_n);
  record->server_n = r;
}

// Ships are never sent: the client builds a new fleet's ships itself from the record's counts.
static void _vantor_client_fleet_ships(World *world, const Item &fleet) {
  uint32_t count = fleet.fleet_live;
  if (count >= VANTOR_ITEMS) count = 0;  // no server sends more ships than a table holds: a bad record
  float value = count ? fleet.fleet_ships / count : 0.0f;
  vantor_fleet_fill(world, (int)fleet.n, (int)count, value);
}

static bool _vantor_client_create(World *world, View *view, const Item &record) {
  world->items[record.n] = record;
  if (record.has_fleet) _vantor_client_fleet_ships(world, record);
  if (record.has_planet && view) view->initialised = 0;
  return true;
}

// A fleet keeps its own flight and only follows redirects; anything else takes the server's record,
// with a planet's capture shown here as it happens.
static bool _vantor_client_update(World *world, const Item &record, uint32_t r) {
  Item *item = &world->items[record.n];
  if (!item->in_use || !item->synced || item->server_n != r) return false;
  if (item->has_fleet) {
    if (item->fleet_target != record.fleet_target)
      vantor_fleet_redirect(world, (int)record.n, (int)record.fleet_target);
    return true;
  }
  if (item->has_planet && item->owner_n != record.owner_n) vantor_planet_chown(world, (int)record.n, record.owner_n);
  *item = record;
  return true;
}

// The client's one source of records, its server, in the log budget (net_log): a server that sends
// thousands of bad records a second costs the log a few lines a second.
static const char *const CLIENT_LOG_SOURCE = "vantor_client_apply";

bool vantor_client_apply(World *world, View *view, const Item &record) {
  const uint32_t r = record.n;
  if (!_vantor_client_index_ok(r)) return false;
  if (const char *field = vantor_item_not_finite(record)) {
    if (net_log_allow(CLIENT_LOG_SOURCE, enet_time_get()))
      LOG_PRINTF("vantor_client_apply: record %u refused: %s is not finite\n", r, field);
    return false;
  }
  if (world->client_map[r] && world->remote_serials[r] != record.sync_id) {
    _vantor_client_forget(world, r);  // another item now uses that server slot
  }
  const bool fresh = world->client_map[r] == 0;
  if (fresh) {
    Item *slot = vantor_item_alloc(world);
    if (!slot->in_use) return false;  // table full: the map stays empty, so a later record retries
    slot->in_use = 0;                 // free until the copy is made
    world->client_map[r] = slot->n;
    world->remote_serials[r] = record.sync_id;
  }
  Item copy = record;
  _vantor_client_remap(world, &copy, r);
  return fresh ? _vantor_client_create(world, view, copy) : _vantor_client_update(world, copy, r);
}

bool vantor_client_handle_alive(World *world, const std::string &data) {
  if (data.size() < VANTOR_ITEMS) return false;  // bytes past the map are a later server's, not ours
  for (uint32_t r = 1; r < VANTOR_ITEMS; r++) {
    if (!data[r]) _vantor_client_forget(world, r);
  }
  return true;
}

bool vantor_client_handle_shadow(World *world, const std::string &data) {
  if (data.size() < sizeof(Item) || !_vantor_client_index_ok(_vantor_client_index(data))) return false;
  memcpy(&world->shadows[_vantor_client_index(data)], data.data(), sizeof(Item));
  return true;
}

bool vantor_client_handle_item(World *world, View *view, const std::string &data) {
  if (!vantor_client_handle_shadow(world, data)) return false;
  return vantor_client_apply(world, view, world->shadows[_vantor_client_index(data)]);
}

bool vantor_client_handle_delta(World *world, View *view, const std::string &data) {
  if (data.size() < sizeof(Item)) return false;  // only the first record's bytes are read
  const uint32_t r = _vantor_client_index(data);
  if (!_vantor_client_index_ok(r)) return false;
  Item record;
  uint8_t *out = reinterpret_cast<uint8_t *>(&record);
  const uint8_t *base = reinterpret_cast<const uint8_t *>(&world->shadows[r]);
  for (size_t i = 0; i < sizeof(Item); i++) out[i] = (uint8_t)data[i] ^ base[i];
  record.n = r;
  return vantor_client_apply(world, view, record);
}

static void _vantor_client_handle_reset(World *world, View *view) {
  LOG_PRINTF("**** _vantor_client_handle_reset");
  vantor_world_reset(world);
  if (view) view->initialised = 0;
}

bool vantor_client_handle(World *world, View *view, const NetMsg &msg) {
  if (msg.type == "A") return vantor_client_handle_alive(world, msg.data);
  if (msg.type == "S") return vantor_client_handle_shadow(world, msg.data);
  if (msg.type == "I") return vantor_client_handle_item(world, view, msg.data);
  if (msg.type == "D") return vantor_client_handle_delta(world, view, msg.data);
  if (msg.type != "R") return false;
  _vantor_client_handle_reset(world, view);
  return true;
}

// ---- Orders ----

// The index the server knows an item by: copies carry it; items of a server in this process are
// their own.
static int _vantor_client_remote(const Item &item) { return (int)(item.server_n ? item.server_n : item.n); }

bool vantor_client_send(Net *client, const World *world, int perc, int from, int to) {
  const Item &source = vantor_item_get(world, from);
  const Item &target = vantor_item_get(world, to);
  if (!source.in_use || !target.in_use) return false;
  char data[64];
  snprintf(data, sizeof data, "%d %d %d %d", perc, _vantor_client_remote(source), _vantor_client_remote(target),
           (int)source.sync_id);
  client->send("", "send", data, NET_RELIABLE);
  return true;
}

bool vantor_client_redirect(Net *client, const World *world, int fleet, int to) {
  const Item &source = vantor_item_get(world, fleet);
  const Item &target = vantor_item_get(world, to);
  if (!source.in_use || !target.in_use) return false;
  char data[48];
  snprintf(data, sizeof data, "%d %d %d", _vantor_client_remote(source), _vantor_client_remote(target),
           (int)source.sync_id);
  client->send("", "redirect", data, NET_RELIABLE);
  return true;
}

int vantor_order_send(Net *client, World *world, int perc, int from, int to) {
  if (!client) return vantor_fleet_send(world, from, to, perc);
  vantor_client_send(client, world, perc, from, to);
  return 0;
}

void vantor_order_redirect(Net *client, World *world, int fleet, int to) {
  if (client) {
    vantor_client_redirect(client, world, fleet, to);
  } else {
    vantor_fleet_redirect(world, fleet, to);
  }
}
