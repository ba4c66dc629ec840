// The web API client: request URLs, reply judging by headers, the login reply and the queue.
#include "game_web.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "game.h"
#include "http_test_server.h"
#include "kez_http.h"

namespace {

std::string reply(const std::string &headers, const std::string &body = "") {
  return "HTTP/1.0 200 OK\r\n" + headers + "\r\n" + body;
}

class Web : public testing::Test {
 protected:
  void SetUp() override {
    g.reset(new Game());
    game = g.get();
    g->headless = 1;  // no error page in these tests
  }
  void TearDown() override { g.reset(); }
  // Runs the loop until the queue is empty (bounded).
  void run() {
    auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(WAIT_MS);
    while (game_web_pending() && std::chrono::steady_clock::now() < limit) {
      game_web_loop(g.get());
      poll(nullptr, 0, 5);  // give the server thread its turn between steps
    }
    ASSERT_EQ(game_web_pending(), 0);
  }
  std::unique_ptr<Game> g;
};

}  // namespace

TEST_F(Web, url_carries_identity_and_settings_encoded) {
  g->settings.music_volume = 50;
  g->settings.vsize = 480;
  std::string url = game_web_url(g.get(), "login");
  EXPECT_EQ(url.rfind("/brevane/api.php?&_udata=", 0), 0u) << url;
  EXPECT_NE(url.find("&_udata=50%2c0%2c0%2c0%2c480%2c"), std::string::npos) << url;
  EXPECT_NE(url.find("&_vinfo=brevane2%2e4%2dDesktop%2dWin32%2dSteamworks&_version=1&_lid=a%3a"), std::string::npos);
  EXPECT_NE(url.find("&_name=Anonymous&_token="), std::string::npos);
  EXPECT_EQ(url.substr(url.size() - 14), "&_action=login");
}

TEST_F(Web, a_login_reply_stores_the_account_and_cuts_long_names) {
  std::string long_name(100, 'n');
  LocalServer server(
      {reply("X-Response: OK\r\nX-Type: login\r\nX-UID: 42\r\nX-Name: " + long_name + "\r\nX-Server: play1\r\n")});
  _game_web_host_set("127.0.0.1", server.port);
  game_web_login(g.get());
  run();
  EXPECT_STREQ(g->settings.server_uid, "42");
  EXPECT_EQ(std::string(g->settings.server_name), long_name.substr(0, 63));
  EXPECT_STREQ(g->server_name, "play1");
  EXPECT_EQ(g->settings.logged_in, 1);
  server.join();
  EXPECT_NE(server.request.find("GET /brevane/api.php?&_udata="), std::string::npos);
}

TEST_F(Web, an_error_reply_never_reaches_the_login) {
  LocalServer server({reply("X-Response: OK\r\nX-Error: banned\r\nX-Type: login\r\nX-UID: 42\r\n")});
  _game_web_host_set("127.0.0.1", server.port);
  game_web_login(g.get());
  run();
  EXPECT_EQ(g->settings.logged_in, 0);
  EXPECT_STREQ(g->settings.server_uid, "");
}

TEST_F(Web, a_reply_without_ok_is_dropped) {
  LocalServer server({reply("X-Type: login\r\nX-UID: 42\r\n")});
  _game_web_host_set("127.0.0.1", server.port);
  game_web_login(g.get());
  run();
  EXPECT_EQ(g->settings.logged_in, 0);
}

TEST_F(Web, a_post_sends_the_encoded_data) {
  LocalServer server({reply("X-Response: OK\r\nX-Type: scores\r\n")});
  _game_web_host_set("127.0.0.1", server.port);
  game_web_request(g.get(), "scores", "a b");
  run();
  server.join();
  EXPECT_NE(server.request.find("POST /brevane/api.php?"), std::string::npos);
  EXPECT_NE(server.request.find("&_action=scores"), std::string::npos);
  EXPECT_EQ(server.request.substr(server.request.size() - 11), "&data=a%20b");
}

TEST_F(Web, a_failed_request_leaves_the_queue) {
  _game_web_host_set("", 80);  // never resolves
  game_web_login(g.get());
  run();
  EXPECT_EQ(g->settings.logged_in, 0);
}

TEST_F(Web, no_friends_sends_nothing) {
  g->web_friends();
  EXPECT_EQ(game_web_pending(), 0);
}
