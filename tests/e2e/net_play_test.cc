// Online play between real games: a dedicated server and headless clients started as separate
// processes on 127.0.0.1, each with its own user folder and no settings file or web login.
#include <gtest/gtest.h>
#include <signal.h>

#include <regex>
#include <string>

#include "e2e_process.h"

static const int WAIT_MS = 60000;

static std::string probe_mod() { return std::string(VB_SOURCE_DIR) + "/tests/e2e/mods/net_probe.lua"; }

static GameProcess client_start(int port) {
  return game_start({"-headless", "-mod", probe_mod(), "-host", "127.0.0.1", "-port", std::to_string(port)});
}

TEST(NetPlay, headless_clients_join_a_dedicated_server_play_their_seats_chat_and_leave) {
  const int port = free_udp_port();
  ASSERT_NE(port, 0);
  GameProcess server = game_start({"-headless", "-port", std::to_string(port), "-mod", "mod_server.lua", "-wait", "3"});
  ASSERT_TRUE(wait_for_text(server.output, "hosting on port " + std::to_string(port), WAIT_MS))
      << file_text(server.output);

  GameProcess alice = client_start(port);
  ASSERT_TRUE(wait_for_text(server.output, "Anonymous joined.", WAIT_MS)) << file_text(server.output);
  GameProcess bob = client_start(port);
  ASSERT_TRUE(wait_for_text(server.output, "match started: 2 players", WAIT_MS)) << file_text(server.output);

  // Each client has a seat with a home planet in its copy of the server's world, and the fleets its
  // orders asked for come back from the server.
  for (GameProcess *c : {&alice, &bob}) {
    ASSERT_TRUE(wait_for_text(c->output, "probe seat: ", WAIT_MS)) << file_text(c->output);
    ASSERT_TRUE(wait_for_text(c->output, "probe fleet: one of ours came from the server", WAIT_MS))
        << file_text(c->output) << file_text(server.output);
  }
  std::smatch m;
  const std::string alice_out = file_text(alice.output), bob_out = file_text(bob.output);
  const std::regex seat(R"(probe seat: (\d+) planets, uid (p:[0-9a-f]{13}))");
  ASSERT_TRUE(std::regex_search(alice_out, m, seat)) << alice_out;
  const std::string alice_uid = m[2];
  EXPECT_GE(std::stoi(m[1]), 3) << "the homes and the field's planets are mirrored";
  ASSERT_TRUE(std::regex_search(bob_out, m, seat)) << bob_out;
  EXPECT_NE(alice_uid, m[2]) << "two user folders, two ids";
  const std::string alice_id = file_text(alice.appdata + "/Vantor Brevane/network-id.txt");
  EXPECT_EQ(alice_id.size(), 16u);
  EXPECT_EQ(file_text(server.output).find(alice_id.substr(2, 13)), std::string::npos)
      << "the id she proves herself with stays hers";

  // Chat both ways: each client's line reaches every client, its sender's included, and the
  // server's own lines reach the clients.
  ASSERT_TRUE(wait_for_text(server.output, "[message] hello from Anonymous", WAIT_MS));
  for (GameProcess *c : {&alice, &bob}) {
    ASSERT_TRUE(wait_for_text(c->output, "Anonymous: hello from Anonymous", WAIT_MS)) << file_text(c->output);
    EXPECT_NE(file_text(c->output).find("joined."), std::string::npos);
  }
  const std::string server_log = file_text(server.output);
  EXPECT_NE(server_log.find("[send] "), std::string::npos);
  EXPECT_EQ(server_log.find("_vantor_server_handle_send: invalid"), std::string::npos) << server_log;

  // A client that quits leaves, and the server notices.
  kill(bob.pid, SIGTERM);
  EXPECT_EQ(game_wait(bob, WAIT_MS), 0);
  ASSERT_TRUE(wait_for_text(server.output, "[leave]", WAIT_MS)) << file_text(server.output);
  EXPECT_TRUE(wait_for_text(server.output, "Anonymous 2 left.", WAIT_MS)) << "two players of one name are told apart";

  // When the server goes, the client has nothing left to do and ends by itself.
  kill(server.pid, SIGTERM);
  EXPECT_EQ(game_wait(server, WAIT_MS), 0);
  EXPECT_EQ(game_wait(alice, WAIT_MS), 0) << file_text(alice.output);
  EXPECT_NE(game_log(alice).find("[_driver_log_deinit]"), std::string::npos);
}
