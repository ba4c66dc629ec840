// Helpers for the match sync tests: a small server world and an in-memory wire to a client world.
#pragma once

#include <cstring>
#include <memory>

#include "net.h"
#include "vantor_client.h"
#include "vantor_step.h"
#include "vantor_world.h"

// Users "u1" and "u2" with a planet each (home: 40 ships, away) and an ownerless planet. Slot 1 is
// freed again, so the client's indices differ from the server's.
struct SyncWorld {
  std::unique_ptr<World> holder;  // unless the world lives elsewhere
  World *world;
  int alice, bob, home, away, free_planet;

  explicit SyncWorld(World *into = nullptr) : holder(into ? nullptr : new World()), world(into ? into : holder.get()) {
    vantor_world_reset(world);
    vantor_item_destroy(world, vantor_team_init(world, 0, "gap")->n);
    alice = user("u1");
    bob = user("u2");
    home = vantor_planet_init(world, alice, 0, 0, 50, 40)->n;
    away = vantor_planet_init(world, bob, 300, 0, 50, 10)->n;
    free_planet = vantor_planet_init(world, 0, 0, 300, 0, 5)->n;
  }
  int user(const char *uid) {
    Item *u = vantor_user_init(world, 0x00FF00, 0, uid);
    vantor_text_copy(u->user_uid, sizeof(u->user_uid), uid);
    return (int)u->n;
  }
  Item &operator[](int n) { return world->items[n]; }
};

inline bool sync_is_synced(const Item &item) { return item.synced; }
inline bool sync_is_fleet(const Item &item) { return item.has_fleet; }
inline bool sync_is_ship(const Item &item) { return item.is_ship; }

// Hands every message the server endpoint queued to the client world, as the wire would.
inline void sync_deliver(Net *server, World *client) {
  for (const NetMsg &msg : server->outgoing) vantor_client_handle(client, nullptr, msg);
  server->outgoing.clear();
}

// The client's copy of server item r, or null.
inline const Item *sync_copy(const World *client, int r) {
  uint32_t l = client->client_map[r];
  return l && client->items[l].in_use && client->items[l].server_n == (uint32_t)r ? &client->items[l] : nullptr;
}

// The first in-use item that passes test; 0 when none.
inline int sync_first(const World *world, bool (*test)(const Item &)) {
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    if (world->items[n].in_use && test(world->items[n])) return n;
  }
  return 0;
}

inline int sync_count(const World *world, bool (*test)(const Item &)) {
  int n = 0;
  for (const Item &item : world->items) n += item.in_use && test(item);
  return n;
}
