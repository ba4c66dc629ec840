// The loopback test screen and the registration of the developer screens.
#include "test.h"

#include <chrono>
#include <memory>
#include <thread>

#include "game.h"
#include "kez_log.h"
#include "net_client.h"
#include "net_server.h"
#include "test_magnetset.h"

constexpr int TEST_PASSES = 100;
constexpr int TEST_PASS_HELLO = 25;  // the client greets the server
constexpr int TEST_PASS_DELTA = 50;  // the server answers every client
constexpr int TEST_PASS_CLOSE = 75;  // the client leaves
constexpr int TRANS_FADE = 2;

// Logs and drops every message the endpoint received.
static void _test_drain(Net *net, const char *side) {
  NetMsg msg;
  while (net->recv(&msg)) LOG_PRINTF("%s: [%s] %s '%s'\n", side, msg.peer.c_str(), msg.type.c_str(), msg.data.c_str());
}

void Test::init() {
  LOG_PRINTF("test ...\n");
  menus_page_reset(root);
  auto server = std::make_unique<NetServer>();
  auto client = std::make_unique<NetClient>();
  // The server takes any free port: a fixed one may be in use, and a server that cannot listen ends
  // the process. The client reaches it through the loopback only.
  server->setup("", 0, "server", "Server", "velum");
  server->open();
  client->setup("127.0.0.1", server->port, "client", "Client", "velum");
  client->open();
  for (int i = 0; i < TEST_PASSES; i++) {
    client->loop();
    server->loop();
    _test_drain(client.get(), "client");
    _test_drain(server.get(), "server");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (i == TEST_PASS_HELLO) client->send_message("", "hello world");
    if (i == TEST_PASS_DELTA) server->send_message("", "delta update");
    if (i == TEST_PASS_CLOSE) client->close();
  }
  client->close();
  server->close();
}

void Test::event(Event e) {
  if (e.type == EVT_KEYDOWN && e.key == KEY_ESCAPE) state_change("menus_splash", &game->names, TRANS_FADE);
  if (e.type == EVT_KEYDOWN && e.key == KEY_SPACE) init();
  root.on_event(e);
}

void tests_init(Game *game) {
  state_register("test", new Test(game));
  state_register("test_magnetset", new TestMagnetSet(game));
}
