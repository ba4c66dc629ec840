// The match server's side of sync: sending the world to the clients and carrying out their orders.
//
// Sync messages (all reliable; the client side reads the same formats):
//   "A"  4096 bytes: byte n is 1 when item n is synced (in use and marked synced), else 0
//   "I"  544 bytes:  the raw item record, dirty already cleared; it becomes the shadow of its index. A
//                    dirty item the clients know already goes as "D" instead when that codes shorter.
//   "S"  544 bytes:  the server's shadow record of one index
//   "D"  544 bytes:  the item XOR its shadow, except bytes 4..7, which hold the index in plain
//   "R"  empty:      the client clears its world
// Orders from clients, in the server's indices and serials:
//   "send"      "%d %d %d %d": percent, from planet, to planet, from's serial
//   "redirect"  "%d %d %d":    fleet, to planet, fleet's serial
#pragma once

#include <cstdint>
#include <string>

#include "net.h"
#include "vantor.h"

// How vantor_server_sync_item sends an item.
enum {
  VANTOR_SYNC_TICK = 0,     // "I" when dirty (the shadow follows), else "D" against the shadow
  VANTOR_SYNC_REFRESH = 1,  // "S" then "D": a baseline for one client; shadows and dirty flags unchanged
};

// The per-frame sync tick: every 60th call "A" and every synced item to all clients, otherwise
// only the dirty ones.
void vantor_server_sync(Net *server, World *world);
// Sends item n (1..4095, in use and synced) to `target` ("" = every client) in `mode`. Returns
// false, sending nothing, for any other item or mode.
bool vantor_server_sync_item(Net *server, World *world, int mode, const std::string &target, int n);
// Sends the "A" map of synced items to every client.
void vantor_server_sync_alive(Net *server, const World *world);
// Sends every synced item, in index order, to every client.
void vantor_server_sync_all(Net *server, World *world);
// Sends every synced dirty item, in index order, to every client: those World's dirty list names.
void vantor_server_sync_new(Net *server, World *world);

// Handles one message from a client: logs it (at most 256 bytes of its data, escaped; a few lines a
// second per client, see net_log), carries out a valid "send" or "redirect" (a bad one is logged
// with the failing check and dropped) and answers "join" and "rejoin" with a reset and a baseline of
// every synced item; "refresh" gets one too, unless that peer had one less than a second ago. Other
// types are left to the mod.
void vantor_server_handle(Net *server, World *world, const NetMsg &msg);
// The first in-use user item whose uid is exactly `uid`; 0 when none.
int vantor_server_user_find(const World *world, const std::string &uid);
