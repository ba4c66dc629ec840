// A dedicated server on the open internet, as real processes on 127.0.0.1: the id that proves who a
// player is never reaches the others, a crashed game takes its seat back at once, a flood of large
// messages costs the server little memory and few log lines, refusals are logged with the address
// and told, and a client notices a dead server. The tests' own bare ENet host plays the hostile peer.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "e2e_process.h"
#include "src/net_test_util.h"
#include "vantor.h"

namespace {

const int WAIT_MS = 60000;

std::string probe_mod() { return std::string(VB_SOURCE_DIR) + "/tests/e2e/mods/net_probe.lua"; }

// Whether the text holds a line that is exactly `line`.
bool has_line(const std::string &text, const std::string &line) {
  std::istringstream lines(text);
  std::string l;
  while (std::getline(lines, l)) {
    if (l == line) return true;
  }
  return false;
}

// The most memory the process has held, in kB (0 when it cannot be read).
long peak_kb(pid_t pid) {
  std::istringstream status(file_text("/proc/" + std::to_string(pid) + "/status"));
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "VmHWM:") == 0) return std::stol(line.substr(6));
  }
  return 0;
}

// Runs the bare host until done() holds, servicing it as a peer must be serviced; false after ms.
bool pump(RawHost &raw, const std::function<bool()> &done, int ms = WAIT_MS) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    raw.loop();
    if (done()) return true;
    pollfd fd = {raw.enet_host->socket, POLLIN, 0};
    poll(&fd, 1, 10);
  }
  return false;
}

// Whether ENet has handed everything queued for the peer to the other side and heard it arrive.
bool delivered(ENetPeer *peer) {
  return enet_list_empty(&peer->outgoingCommands) && enet_list_empty(&peer->sentReliableCommands);
}

// The items as the server's sync records to this host describe them, by the server's index: "I" is
// a record, "S" a baseline, "D" the baseline XOR the record with its index in plain.
std::map<uint32_t, Item> synced_items(const RawHost &raw) {
  std::map<uint32_t, Item> baselines, items;
  for (const NetPacket &p : raw.decoded()) {
    if (p.payload.size() != sizeof(Item) || (p.type != "I" && p.type != "S" && p.type != "D")) continue;
    Item record;
    memcpy(&record, p.payload.data(), sizeof record);
    const uint32_t r = record.n;
    if (p.type == "S") {
      baselines[r] = record;
      continue;
    }
    if (p.type == "D") {
      const uint8_t *base = (const uint8_t *)&baselines[r];
      uint8_t *bytes = (uint8_t *)&record;
      for (size_t i = 0; i < sizeof record; i++) bytes[i] ^= base[i];
      record.n = r;
    } else {
      baselines[r] = record;
    }
    items[r] = record;
  }
  return items;
}

// The planet of the seat whose user carries uid, and another planet; 0s while there are none.
std::pair<uint32_t, uint32_t> seat_planets(const std::map<uint32_t, Item> &items, const std::string &uid) {
  uint32_t user = 0, own = 0, other = 0;
  for (const auto &entry : items) {
    const Item &u = entry.second;
    if (u.in_use && u.has_user && uid == std::string(u.user_uid, strnlen(u.user_uid, sizeof u.user_uid)))
      user = entry.first;
  }
  for (const auto &entry : items) {
    const Item &p = entry.second;
    if (!p.in_use || !p.has_planet || !user) continue;
    if ((uint32_t)p.owner_n == user)
      own = entry.first;
    else
      other = entry.first;
  }
  return {own, other};
}

class OpenServer : public testing::Test {
 protected:
  void SetUp() override {
    port = free_udp_port();
    ASSERT_NE(port, 0);
    server = game_start({"-headless", "-port", std::to_string(port), "-mod", "mod_server.lua", "-wait", "1"});
    ASSERT_TRUE(wait_for_text(server.output, "hosting on port", WAIT_MS)) << file_text(server.output);
  }
  void TearDown() override { end(server); }

  // A headless client playing its seat; with a user folder given, the game of that folder again.
  GameProcess client(const std::string &appdata = "") {
    std::vector<std::pair<std::string, std::string>> env;
    if (!appdata.empty()) env.push_back({"APPDATA", appdata});
    return game_start({"-headless", "-mod", probe_mod(), "-host", "127.0.0.1", "-port", std::to_string(port)}, env);
  }
  // The uid of the seat the client plays, once it has one; empty when it has none within ms.
  static std::string seat_uid(const GameProcess &p, int ms = WAIT_MS) {
    if (!wait_for_text(p.output, "probe seat: ", ms)) return "";
    std::smatch m;
    const std::string out = file_text(p.output);
    return std::regex_search(out, m, std::regex(R"(probe seat: \d+ planets, uid (\S+))")) ? m[1].str() : "";
  }
  // Ends a process of the test that may still run.
  static void end(GameProcess &p) {
    if (p.pid <= 0) return;
    kill(p.pid, SIGTERM);
    game_wait(p, WAIT_MS);
    p.pid = -1;
  }
  ENetPeer *connect(RawHost &raw) {
    ENetPeer *peer = raw.connect((uint16_t)port, NET_PROTOCOL_VERSION);
    EXPECT_TRUE(pump(raw, [&] { return !raw.connected.empty(); }));
    return peer;
  }
  // Connects n peers of the host one after the other, each joining under an id of its own (it hears
  // from the server) before the next connects: connections that wait to join are few per address.
  void join_all(RawHost &raw, size_t n) {
    for (size_t k = 0; k < n; k++) {
      ENetPeer *peer = raw.connect((uint16_t)port, NET_PROTOCOL_VERSION);
      ASSERT_TRUE(pump(raw, [&] { return raw.connected.size() == k + 1; }));
      net_enet_send(peer, net_bytes("a:crowd" + std::to_string(k), "Crowd", "ping"), 1);
      ASSERT_TRUE(pump(raw, [&] {
        return std::any_of(raw.packets.begin(), raw.packets.end(), [&](const RawPacket &p) { return p.from == peer; });
      }));
    }
  }
  bool server_says(const std::string &text, int ms = WAIT_MS) { return wait_for_text(server.output, text, ms); }
  // Whether the server's output holds the text, while the bare host is serviced.
  bool server_says(RawHost &raw, const std::string &text) {
    return pump(raw, [&] { return file_text(server.output).find(text) != std::string::npos; });
  }

  int port = 0;
  GameProcess server;
};

}  // namespace

TEST_F(OpenServer, a_players_shown_id_does_not_let_anyone_else_take_their_seat) {
  GameProcess alice = client();
  const std::string uid = seat_uid(alice);
  ASSERT_FALSE(uid.empty()) << file_text(alice.output);
  const std::string id = file_text(alice.appdata + "/Vantor Brevane/network-id.txt").substr(0, 15);

  // Eve joins and reads the synced records: Alice's seat is there under the id the server shows.
  RawHost eve(false, 4, "127.0.0.2");  // strangers, each of an address of its own
  net_enet_send(connect(eve), net_bytes("a:eeeeeeeeeeeee", "Eve", "ping"), 1);
  std::map<uint32_t, Item> items;
  ASSERT_TRUE(pump(eve, [&] {
    items = synced_items(eve);
    return seat_planets(items, uid).first != 0;
  }));
  for (const NetPacket &packet : eve.decoded()) EXPECT_EQ(packet.payload.find(id), std::string::npos);
  const auto planets = seat_planets(items, uid);

  // Alice leaves; Mallory sends as the id the records show and orders Alice's ships away.
  end(alice);
  ASSERT_TRUE(server_says("Anonymous left."));
  RawHost mallory(false, 4, "127.0.0.3");
  const std::string order = "60 " + std::to_string(planets.first) + " " + std::to_string(planets.second) + " " +
                            std::to_string(items[planets.first].sync_id);
  net_enet_send(connect(mallory), net_bytes(uid, "Alice", "send", order), 1);
  EXPECT_TRUE(server_says(mallory, "handle_send: invalid user")) << file_text(server.output);

  // Alice's own game, back, plays her seat again.
  GameProcess back = client(alice.appdata);
  EXPECT_EQ(seat_uid(back), uid) << file_text(back.output);
  end(back);
}

TEST_F(OpenServer, a_game_killed_and_started_again_takes_its_seat_back_at_once) {
  GameProcess alice = client();
  const std::string uid = seat_uid(alice);
  ASSERT_FALSE(uid.empty()) << file_text(alice.output);
  kill(alice.pid, SIGKILL);
  game_wait(alice, WAIT_MS);
  // Well before ENet itself would give up on the dead connection (11 s at the soonest).
  GameProcess again = client(alice.appdata);
  EXPECT_EQ(seat_uid(again, 10000), uid) << file_text(again.output) << file_text(server.output);
  EXPECT_TRUE(server_says("> [rejoin]", 1000));
  end(again);
}

TEST_F(OpenServer, a_flood_of_large_messages_costs_the_server_little_memory_and_few_log_lines) {
  RawHost flood(false);
  ENetPeer *peer = connect(flood);
  const std::string id = "a:fffffffffffff";
  net_enet_send(peer, net_bytes(id, "Flood", "ping"), 1);
  ASSERT_TRUE(server_says(flood, "<Flood> [ping]"));
  const long before = peak_kb(server.pid);
  // A message of nearly a megabyte of one byte codes to 16 kB, which ENet's range coder shrinks again.
  const std::string large =
      net_bytes(id, "Flood", "message", std::string(NET_PACKET_MAX - sizeof(NetPacketHeader), 'z'));
  ASSERT_FALSE(large.empty());
  for (int i = 0; i < 300; i++) net_enet_send(peer, large, 1);
  ASSERT_TRUE(pump(flood, [&] { return delivered(peer); }));
  ASSERT_TRUE(server_says(flood, "more log lines in 1000 ms left out")) << "the drops are counted, not each logged";
  EXPECT_LT(peak_kb(server.pid) - before, 48 * 1024) << "kB the server grew by";
  const std::string log = file_text(server.output);
  size_t lines = 0;
  for (size_t at = log.find("dropped a packet"); at != std::string::npos; at = log.find("dropped a packet", at + 1))
    lines++;
  EXPECT_LE(lines, 10u);
}

TEST_F(OpenServer, refusals_are_logged_with_the_address_and_a_refused_headless_client_says_why) {
  // A game of another protocol version.
  RawHost foreign(false);
  foreign.connect((uint16_t)port, 4);
  ASSERT_TRUE(pump(foreign, [&] { return !foreign.disconnects.empty(); }));
  EXPECT_TRUE(server_says("refused a connection from 127.0.0.1:"));
  EXPECT_TRUE(server_says(": it speaks protocol v4, this server v5"));

  // A 33rd connection, beside 32 players of another address.
  RawHost crowd(false, NET_PEERS_MAX, "127.0.0.2");
  join_all(crowd, NET_PEERS_MAX);
  GameProcess late = client();
  int status = -1;
  ASSERT_TRUE(pump(crowd, [&] { return game_ended(late, &status); }));
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(has_line(file_text(late.output), "The server is full.")) << file_text(late.output);
  EXPECT_TRUE(server_says("the server is full (32 connections)"));
  for (ENetPeer *peer : crowd.connected) enet_peer_disconnect(peer, 0);
  ASSERT_TRUE(pump(crowd, [&] { return crowd.disconnects.size() == NET_PEERS_MAX; }));

  // A second game with the id of a player who is still there.
  GameProcess alice = client();
  ASSERT_FALSE(seat_uid(alice).empty()) << file_text(alice.output);
  GameProcess twin = client(alice.appdata);
  EXPECT_EQ(game_wait(twin, WAIT_MS), 1);
  EXPECT_TRUE(has_line(file_text(twin.output), "Another game with your id is connected.")) << file_text(twin.output);
  std::smatch m;
  const std::string log = file_text(server.output);
  EXPECT_TRUE(std::regex_search(
      log, m,
      std::regex(
          R"(refused a second connection as \S+ from 127\.0\.0\.1:\d+: that id is in use from 127\.0\.0\.1:\d+)")))
      << log;
  end(alice);
}

TEST_F(OpenServer, a_headless_client_notices_a_dead_server_within_ten_seconds) {
  GameProcess alice = client();
  ASSERT_FALSE(seat_uid(alice).empty()) << file_text(alice.output);
  kill(server.pid, SIGKILL);
  game_wait(server, WAIT_MS);
  server.pid = -1;
  const auto killed = std::chrono::steady_clock::now();
  // Timed to the line the player reads, not to the end of the process, which a sanitizer's exit slows.
  EXPECT_TRUE(wait_for_text(alice.output, "The server stopped answering.", 20000)) << file_text(alice.output);
  EXPECT_LT(std::chrono::steady_clock::now() - killed, std::chrono::seconds(10));
  EXPECT_EQ(game_wait(alice, WAIT_MS), 1);
}

TEST_F(OpenServer, connections_that_never_join_cannot_hold_the_seats_of_players) {
  GameProcess alice = client();
  ASSERT_FALSE(seat_uid(alice).empty()) << file_text(alice.output);
  // A stranger of another address opens more connections than the server has seats, and says nothing.
  RawHost stranger(false, 40, "127.0.0.2");
  for (int i = 0; i < 40; i++) stranger.connect((uint16_t)port, NET_PROTOCOL_VERSION);
  GameProcess bob = client();
  // Bob joins the match that runs, and gets its world to watch.
  EXPECT_TRUE(pump(stranger, [&] {
    return file_text(bob.output).find("_vantor_client_handle_reset") != std::string::npos;
  })) << file_text(bob.output);
  // Every one of them is let go, the few let wait once they have waited long enough.
  EXPECT_TRUE(pump(stranger, [&] { return stranger.disconnects.size() == 40; })) << stranger.disconnects.size();
  const std::string log = file_text(server.output);
  EXPECT_NE(log.find("connections of that address have not joined"), std::string::npos) << log;
  EXPECT_NE(log.find("let go a connection from 127.0.0.2:"), std::string::npos) << log;
  int status = 0;
  EXPECT_FALSE(game_ended(alice, &status)) << "Alice plays on";
  end(bob);
  end(alice);
}

// Lines of the text from byte `from` on that hold `what`.
static size_t lines_with(const std::string &text, size_t from, const std::string &what) {
  size_t count = 0;
  std::istringstream lines(text.substr(std::min(from, text.size())));
  std::string line;
  while (std::getline(lines, line)) count += line.find(what) != std::string::npos;
  return count;
}

TEST_F(OpenServer, connections_that_come_and_go_cost_the_log_and_the_chat_a_few_lines_a_second) {
  GameProcess alice = client();
  ASSERT_FALSE(seat_uid(alice).empty()) << file_text(alice.output);
  const size_t log_from = file_text(server.output).size(), chat_from = file_text(alice.output).size();
  // A stranger joins under a new id, asks for the world and leaves, again and again.
  RawHost stranger(false, 4, "127.0.0.2");
  const auto start = std::chrono::steady_clock::now();
  for (size_t k = 0; k < 150; k++) {
    ENetPeer *peer = stranger.connect((uint16_t)port, NET_PROTOCOL_VERSION);
    ASSERT_TRUE(pump(stranger, [&] { return stranger.connected.size() == k + 1; }));
    const std::string id = "a:cycle" + std::to_string(k);
    for (const char *type : {"ping", "refresh", "disconnect"}) net_enet_send(peer, net_bytes(id, "Eve", type), 1);
    ASSERT_TRUE(pump(stranger, [&] { return stranger.disconnects.size() == k + 1; }));
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_TRUE(server_says("Eve left."));
  // Six lines a second for each address, the stranger's and Alice's, and five chat lines in ten seconds.
  const size_t chat_max = 5 * (size_t)(seconds / 10 + 2);
  const std::string log = file_text(server.output);
  EXPECT_LE(lines_with(log, log_from, "]"), 12 * (size_t)(seconds + 2) + chat_max) << log.substr(log_from, 4000);
  const std::string out = file_text(alice.output);
  const size_t notices = lines_with(out, chat_from, "joined.") + lines_with(out, chat_from, "left.");
  EXPECT_LE(notices, chat_max) << out.substr(chat_from, 4000);
  int status = 0;
  EXPECT_FALSE(game_ended(alice, &status)) << "Alice plays on";
  end(alice);
}

TEST_F(OpenServer, only_joined_players_chat_and_their_lines_reach_the_others_as_well_formed_utf8) {
  GameProcess alice = client();
  ASSERT_FALSE(seat_uid(alice).empty()) << file_text(alice.output);
  RawHost poke(false, 4, "127.0.0.3");  // an anonymous sender never joins
  net_enet_send(connect(poke), net_bytes("*", "Nobody", "message", "nobody joined me"), 1);
  ASSERT_TRUE(pump(poke, [&] { return !poke.disconnects.empty() || delivered(poke.connected[0]); }));
  RawHost eve(false, 4, "127.0.0.2");
  net_enet_send(connect(eve), net_bytes("a:eeeeeeeeeeeee", "Eve", "message", "caf\xc3\xa9 \xff\xfe\xc3"), 1);
  const std::string relayed = "Eve: caf\xc3\xa9 \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd";
  EXPECT_TRUE(pump(eve, [&] { return file_text(alice.output).find(relayed) != std::string::npos; }))
      << file_text(alice.output);
  EXPECT_EQ(file_text(alice.output).find("nobody joined me"), std::string::npos);
  end(alice);
}
