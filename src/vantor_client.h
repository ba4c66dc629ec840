// The match client's side of sync: keeping the world a copy of the server's, and sending orders.
//
// The client keeps, per server index r, the local index of its copy (client_map), the serial of the
// server item it copied (remote_serials) and the baseline record for "D" (shadows). A copy carries
// r as its server_n; items the client makes itself (a fleet's ships) carry 0. The message formats
// are the server's (vantor_server.h).
#pragma once

#include <string>

#include "net.h"
#include "vantor.h"

struct View;

// Applies one message from the server: "A", "S", "I", "D" or "R". `view` (may be null) is the match
// view, laid out again when the world changes shape. Returns false when the message is not one of
// these or was ignored (a record or map shorter than its size, an index outside 1..4095). Bytes past a
// record or map are ignored.
bool vantor_client_handle(World *world, View *view, const NetMsg &msg);
// "A": forgets (destroying the copy) every mapped server index whose byte is 0. False for a map shorter
// than 4096 bytes.
bool vantor_client_handle_alive(World *world, const std::string &data);
// "S": stores the 544-byte record as the shadow of its index. False when shorter or for a bad index.
bool vantor_client_handle_shadow(World *world, const std::string &data);
// "I": stores the record as the shadow of its index, then applies it. False when it was ignored.
bool vantor_client_handle_item(World *world, View *view, const std::string &data);
// "D": applies the shadow of the index in bytes 4..7 XOR the delta; the shadow stays. False for a
// delta shorter than one record, a bad index or a record that was ignored.
bool vantor_client_handle_delta(World *world, View *view, const std::string &data);
// Applies one server record (its n is the server index): creates the copy, with a fleet's ships,
// or updates it. Returns false when the record was ignored: a bad index, a full item table, or a
// local slot that no longer holds the copy.
bool vantor_client_apply(World *world, View *view, const Item &record);

// An order of this side's player or mod: through client to the match server when there is one (the
// server's world is the one that counts, and the fleet arrives with its next sync: 0), else carried
// out on world at once (the new fleet's number, or 0 when refused).
int vantor_order_send(Net *client, World *world, int perc, int from, int to);
// Likewise for turning fleet `fleet` towards planet to.
void vantor_order_redirect(Net *client, World *world, int fleet, int to);
// Asks the server to send perc percent of planet from's ships to planet to. Returns false, sending
// nothing, when either item is not in use.
bool vantor_client_send(Net *client, const World *world, int perc, int from, int to);
// Asks the server to turn fleet `fleet` towards planet to. Returns false, sending nothing, when
// either item is not in use.
bool vantor_client_redirect(Net *client, const World *world, int fleet, int to);
