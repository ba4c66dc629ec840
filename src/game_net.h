// The game's network endpoints: at most one server and one client, created on request, pumped once
// per frame by the main loop and closed again. The pumps hand every received message to the match
// sync.
#pragma once

#include <string>

#include "kez_var.h"

class Net;
struct Game;

// Whether port can name a UDP port (0..65535; 0 lets a server pick a free one).
bool game_net_port_ok(int port);
// Replaces the game's client with one for host:port, named by the user's uid and name: an empty host
// makes a NetLocal to "localhost", the client of a server in this process. Returns false when the
// port is outside 0..65535 (nothing changes) or the client cannot start connecting (it stays, closed,
// and its pump reports "disconnect").
bool game_net_join(Game *game, const std::string &host, int port);
// Replaces the game's server (its clients are disconnected) with one listening on port, 0 for any
// free port. Returns false when the port is outside 0..65535 (nothing changes) or cannot be bound: a
// headless game then ends with exit status -1 (255), a windowed one shows the error page and has no
// server.
bool game_net_host(Game *game, int port);
// Closes and deletes the game's client; nothing without one.
void game_net_client_close(Game *game);
// Closes and deletes the game's server; nothing without one.
void game_net_server_close(Game *game);
// The client through which a mod's orders must go: the game's client while it only mirrors a remote
// server's world (a fleet made locally there would exist on this screen only); null when the game
// owns its world (no client, or it hosts the server itself).
Net *game_net_order_client(Game *game);
// The event dict of a received message: {"uid", "name", "type", "value"}, all strings.
var game_net_dict(const std::string &uid, const std::string &name, const std::string &type, const std::string &value);

// The client's per-frame pump: services it, then applies every message from a remote server to the
// world. Nothing without a client.
void game_net_client_loop(Game *game);
// The server's per-frame pump: the sync tick (except while the mod's "state" is "lobby"), service,
// then every client message to the match server. Nothing without a server.
void game_net_server_loop(Game *game);
