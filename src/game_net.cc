// The game's network endpoints: creating and closing them, and the per-frame pumps.
#include "game_net.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "chat.h"
#include "game.h"
#include "game_identity.h"
#include "kez_log.h"
#include "menus.h"
#include "mods_api.h"
#include "mods_update.h"
#include "net_client.h"
#include "net_server.h"
#include "vantor_client.h"
#include "vantor_server.h"

// The fixed word every endpoint carries in its packets; no receiver checks it.
static const char *const NET_TOKEN = "velum";

bool game_net_port_ok(int port) { return port >= 0 && port <= UINT16_MAX; }

static void _game_net_close(Net **endpoint) {
  if (!*endpoint) return;
  (*endpoint)->close();
  delete *endpoint;
  *endpoint = nullptr;
}

// While the mod waits in its lobby it is still building the world: nothing is synced yet.
static bool _game_net_lobby(const Game *g) {
  if (!g->mods) return false;
  const var &params = g->mods->params;
  return params.has("state") && params["state"].str() == "lobby";
}

bool game_net_join(Game *g, const std::string &host, int port) {
  if (!game_net_port_ok(port)) {
    LOG_PRINTF("game_net_join: invalid port %d", port);
    return false;
  }
  game_net_client_close(g);
  NetClient *client = host.empty() ? new NetLocal() : new NetClient();
  g->client = client;
  client->setup(host.empty() ? "localhost" : host, (uint16_t)port, game_user_uid(g), game_user_name(g),
                NET_TOKEN);
  if (g->mods) {  // a login since the mod started changes who this game is on the network
    g->mods->param_store("uid", var(net_public_id(client->name)));
    g->mods->param_store("name", var(client->title));
  }
  client->open();
  chat_start(g);
  return client->opened == 1;
}

// A dedicated server that cannot listen has nothing to do: it says why and ends with the failure
// status, there and then, inside the mod's call that asked to host. A player who asked to host from
// the game is told, and the game goes on.
static bool _game_net_host_failed(Game *g, int port) {
  game_net_server_close(g);
  if (g->headless)
    game_exit_refused("cannot host on port " + std::to_string(port) + ": another program is using it");
  char text[128];
  snprintf(text, sizeof text, "Cannot host a match on port %d: another program is using it.", port);
  menus_error_show(g, text);
  return false;
}

bool game_net_host(Game *g, int port) {
  if (!game_net_port_ok(port)) {
    LOG_PRINTF("game_net_host: invalid port %d", port);
    return false;
  }
  game_net_server_close(g);
  NetServer *server = new NetServer();
  g->server = server;
  server->setup("", (uint16_t)port, "server", "Server", NET_TOKEN);
  server->open();
  if (!server->opened) return _game_net_host_failed(g, port);
  chat_start(g);
  return true;
}

void game_net_client_close(Game *g) { _game_net_close(&g->client); }

void game_net_server_close(Game *g) { _game_net_close(&g->server); }

Net *game_net_order_client(Game *g) { return g->server ? nullptr : g->client; }

var game_net_dict(const std::string &uid, const std::string &name, const std::string &type, const std::string &value) {
  var dict;
  var_dict0(dict);
  dict["uid"] = var(uid);
  dict["name"] = var(name);
  dict["type"] = var(type);
  dict["value"] = var(value);
  return dict;
}

void game_net_client_loop(Game *g) {
  if (!g->client) return;
  g->client->loop();
  NetMsg msg;
  while (g->client && g->client->recv(&msg)) {
    // The server of a local client keeps this very world: its records must not be applied twice.
    if (!g->client->is_local()) vantor_client_handle(&g->data.vantor, &g->view, msg);
    // One-letter types are the match sync, which mods never see; a hosting game reports through its server.
    if (!g->server && g->mods_base && msg.type.size() > 1)
      mods_event(g, game_net_dict(msg.peer, msg.info, "net:" + msg.type, msg.data));
    // A headless client has nobody to show why the server let it go: it ends, and says so.
    if (g->headless && (msg.type == "refused" || msg.type == "error")) game_quit_failed(g, msg.data);
  }
}

void game_net_server_loop(Game *g) {
  if (!g->server) return;
  if (!_game_net_lobby(g)) vantor_server_sync(g->server, &g->data.vantor);
  g->server->loop();
  NetMsg msg;
  while (g->server && g->server->recv(&msg)) {
    vantor_server_handle(g->server, &g->data.vantor, msg);
    if (g->mods_base) mods_event(g, game_net_dict(msg.peer, msg.info, "net:" + msg.type, msg.data));
  }
}
