// The game's network endpoints: creating and closing them, and the per-frame pumps.
#include "game_net.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "chat.h"
#include "game.h"
#include "game_identity.h"
#include "kez_log.h"
#include "mods_api.h"
#include "mods_update.h"
#include "net_client.h"
#include "net_server.h"
#include "state.h"
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
static bool _game_net_lobby(const Game *game) {
  if (!game->mods) return false;
  const var &params = game->mods->params;
  return params.has("state") && params["state"].str() == "lobby";
}

bool game_net_join(Game *game, const std::string &host, int port) {
  if (!game_net_port_ok(port)) {
    LOG_PRINTF("game_net_join: invalid port %d", port);
    return false;
  }
  game_net_client_close(game);
  NetClient *client = host.empty() ? new NetLocal() : new NetClient();
  game->client = client;
  client->setup(host.empty() ? "localhost" : host, (uint16_t)port, game_user_uid(game), game_user_name(game),
                NET_TOKEN);
  if (game->mods) {  // a login since the mod started changes who this game is on the network
    game->mods->param_store("uid", var(net_public_id(client->name)));
    game->mods->param_store("name", var(client->title));
  }
  client->open();
  chat_start(game);
  return client->opened == 1;
}

// A dedicated server that cannot listen has nothing to do: it says why and ends with the failure
// status, there and then, inside the mod's call that asked to host. A player who asked to host from
// the game is told, and the game goes on.
static bool _game_net_host_failed(Game *game, int port) {
  game_net_server_close(game);
  if (game->headless)
    game_exit_refused("cannot host on port " + std::to_string(port) + ": another program is using it");
  char text[128];
  snprintf(text, sizeof text, "Cannot host a match on port %d: another program is using it.", port);
  menus_error_show(game, text);
  return false;
}

bool game_net_host(Game *game, int port) {
  if (!game_net_port_ok(port)) {
    LOG_PRINTF("game_net_host: invalid port %d", port);
    return false;
  }
  game_net_server_close(game);
  NetServer *server = new NetServer();
  game->server = server;
  server->setup("", (uint16_t)port, "server", "Server", NET_TOKEN);
  server->open();
  if (!server->opened) return _game_net_host_failed(game, port);
  chat_start(game);
  return true;
}

void game_net_client_close(Game *game) { _game_net_close(&game->client); }

void game_net_server_close(Game *game) { _game_net_close(&game->server); }

Net *game_net_order_client(Game *game) { return game->server ? nullptr : game->client; }

var game_net_dict(const std::string &uid, const std::string &name, const std::string &type, const std::string &value) {
  var dict;
  var_dict0(dict);
  dict["uid"] = var(uid);
  dict["name"] = var(name);
  dict["type"] = var(type);
  dict["value"] = var(value);
  return dict;
}

void game_net_client_loop(Game *game) {
  if (!game->client) return;
  game->client->loop();
  NetMsg msg;
  while (game->client && game->client->recv(&msg)) {
    // The server of a local client keeps this very world: its records must not be applied twice.
    if (!game->client->is_local()) vantor_client_handle(&game->data.vantor, &game->view, msg);
    // One-letter types are the match sync, which mods never see; a hosting game reports through its server.
    if (!game->server && game->mods_base && msg.type.size() > 1)
      mods_event(game, game_net_dict(msg.peer, msg.info, "net:" + msg.type, msg.data));
    // A headless client has nobody to show why the server let it go: it ends, and says so.
    if (game->headless && (msg.type == "refused" || msg.type == "error")) game_quit_failed(game, msg.data);
  }
}

void game_net_server_loop(Game *game) {
  if (!game->server) return;
  if (!_game_net_lobby(game)) vantor_server_sync(game->server, &game->data.vantor);
  game->server->loop();
  NetMsg msg;
  while (game->server && game->server->recv(&msg)) {
    vantor_server_handle(game->server, &game->data.vantor, msg);
    if (game->mods_base) mods_event(game, game_net_dict(msg.peer, msg.info, "net:" + msg.type, msg.data));
  }
}
