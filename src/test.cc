// The loopback test screen and the registration of the developer screens.
#include "test.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "game.h"
#include "game_video.h"
#include "kez_log.h"
#include "net_client.h"
#include "net_server.h"
#include "test_magnetset.h"

constexpr int TEST_PASSES = 100;
constexpr int TEST_PASS_HELLO = 25;  // the client greets the server
constexpr int TEST_PASS_DELTA = 50;  // the server answers every client
constexpr int TEST_PASS_CLOSE = 75;  // the client leaves
constexpr int TEST_FADE = 2;         // the screen transition to the splash

// Logs and drops every message the endpoint received; each log line is also kept for the screen.
static void _test_drain(Net *net, const char *side, std::vector<std::string> &lines) {
  NetMsg msg;
  while (net->recv(&msg)) {
    lines.push_back(std::string(side) + ": [" + msg.peer + "] " + msg.type + " '" + msg.data + "'");
    LOG_PRINTF("%s\n", lines.back().c_str());
  }
}

// What the run received, and how to go on, in the middle of the screen: a developer who opened the
// page from the menus should not face a blank screen.
static void _test_page(Container &root, const std::vector<std::string> &lines) {
  std::string markup = "<table><tr><td><h3>Network loopback</h3>";
  for (const std::string &line : lines) markup += "<tr><td><p>" + menus_markup_escape(line) + "</p>";
  if (lines.empty()) markup += "<tr><td><p>Nothing was received.</p>";
  markup += "<tr><td><p>&nbsp;</p><tr><td><p>Space: run again. Escape: leave.</p></table>";
  root.add_at(menus_markup_box(markup, game_ui_width(), game_ui_height()), 0, 0);
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
  std::vector<std::string> lines;
  for (int i = 0; i < TEST_PASSES; i++) {
    client->loop();
    server->loop();
    _test_drain(client.get(), "client", lines);
    _test_drain(server.get(), "server", lines);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (i == TEST_PASS_HELLO) client->send_message("", "hello world");
    if (i == TEST_PASS_DELTA) server->send_message("", "delta update");
    if (i == TEST_PASS_CLOSE) client->close();
  }
  client->close();
  server->close();
  _test_page(root, lines);
}

void Test::event(Event e) {
  if (e.type == EVT_KEYDOWN && e.key == KEY_ESCAPE) {
    tests_leave(game);
    return;
  }
  if (e.type == EVT_KEYDOWN && e.key == KEY_SPACE) init();
  root.on_event(e);
}

void tests_leave(Game *g) { state_change("menus_splash", &g->names, TEST_FADE); }

void tests_init(Game *g) {
  state_register("test", new Test(g));
  state_register("test_magnetset", new TestMagnetSet(g));
}
