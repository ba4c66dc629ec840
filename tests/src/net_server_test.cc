// The server endpoint with real clients and bare ENet peers on the loopback: the version gate,
// registration, join/rejoin/leave, anonymous senders, addressing, shown names and the log budget.
#include "net_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "net_client.h"
#include "net_log.h"
#include "net_log_internal.h"
#include "net_server_internal.h"
#include "net_test_util.h"
#include "vantor_server.h"
#include "vantor_world.h"

namespace {

struct NetServerTest : testing::Test {
  NetServer server;
  void SetUp() override {
    _net_log_reset();  // every peer is on the loopback: earlier tests of the process spent its log budget
    server.setup("", 0, "server", "Server", "velum");
    server.open();
    ASSERT_EQ(1, server.opened);
    ASSERT_NE(0, server.port);
  }
  void TearDown() override { server.close(); }

  // A client of this server that has connected and joined.
  void join(NetClient *client, const char *uid, const char *name) {
    client->setup("127.0.0.1", server.port, uid, name, "velum");
    client->open();
    size_t joins = server.incoming.size() + 2;  // "join" or "rejoin", then "ping"
    ASSERT_TRUE(net_pump({&server, client}, [&] { return server.incoming.size() == joins; }));
  }
  // A bare peer connected with the protocol version.
  ENetPeer *connect(RawHost *raw) {
    ENetPeer *peer = raw->connect(server.port, NET_PROTOCOL_VERSION);
    EXPECT_TRUE(net_pump({&server, raw}, [&] { return !raw->connected.empty(); }));
    return peer;
  }
  // What the server shows of a sender id.
  static std::string pub(const char *id) { return net_public_id(id); }
  std::vector<std::string> taken_types() {
    std::vector<std::string> types = net_types(server);
    server.incoming.clear();
    return types;
  }
};

}  // namespace

TEST_F(NetServerTest, the_first_ping_registers_and_joins_the_client) {
  NetClient client;
  join(&client, "u1", "Alice");
  ASSERT_EQ(2u, server.incoming.size());
  for (const NetMsg &msg : server.incoming) {
    EXPECT_EQ(pub("u1"), msg.peer);
    EXPECT_EQ("Alice", msg.info);
    EXPECT_EQ(0, msg.flags);
  }
  EXPECT_EQ((std::vector<std::string>{"join", "ping"}), taken_types());

  client.send("", "send", "50 1 2 3", 1);
  ASSERT_TRUE(net_pump({&server, &client}, [&] { return net_has(server, "send"); }));
  EXPECT_EQ("50 1 2 3", server.incoming.back().data);
}

TEST_F(NetServerTest, a_foreign_version_is_refused_with_the_server_version_and_leaves_no_entry) {
  RawHost raw(false);
  raw.connect(server.port, 4);
  ASSERT_TRUE(net_pump({&server, &raw}, [&] { return !raw.disconnects.empty() && server.peers.empty(); }));
  EXPECT_EQ(NET_PROTOCOL_VERSION, raw.disconnects[0]);
  EXPECT_TRUE(server.incoming.empty());
}

TEST_F(NetServerTest, only_messages_matching_the_registration_pass) {
  RawHost raw(false);
  ENetPeer *peer = connect(&raw);
  net_enet_send(peer, net_bytes("", "Bob", "unnamed"), 1);  // registers nothing
  net_enet_send(peer, net_bytes("bob", "Bob", "first"), 1);
  net_enet_send(peer, net_bytes("eve", "Bob", "wrong-name"), 1);
  net_enet_send(peer, net_bytes("bob", "Eve", "wrong-title"), 1);
  net_enet_send(peer, net_bytes("bob", "Bob", "last", "data"), 1);
  ASSERT_TRUE(net_pump({&server, &raw}, [&] { return net_has(server, "last"); }));
  EXPECT_EQ((std::vector<std::string>{"join", "first", "last"}), taken_types());

  // A registration without a title never joins.
  RawHost untitled(false);
  peer = connect(&untitled);
  net_enet_send(peer, net_bytes("carl", "", "a"), 1);
  net_enet_send(peer, net_bytes("carl", "", "b"), 1);
  net_enet_send(peer, net_bytes("carl", "Carl", "c"), 1);
  ASSERT_TRUE(net_pump({&server, &untitled}, [&] { return server.count_named(pub("carl")) == 1; }));
  ASSERT_FALSE(net_pump(
      {&server, &untitled}, [&] { return !server.incoming.empty(); }, 50));
}

TEST_F(NetServerTest, a_second_connection_claiming_a_joined_id_is_refused_until_the_first_leaves) {
  NetClient first;
  join(&first, "u1", "Alice");
  EXPECT_EQ((std::vector<std::string>{"join", "ping"}), taken_types());

  testing::internal::CaptureStdout();
  NetClient impostor;
  impostor.setup("127.0.0.1", server.port, "u1", "Mallory", "velum");
  impostor.open();
  ASSERT_TRUE(net_pump({&server, &first, &impostor}, [&] { return net_has(impostor, "disconnect"); }));
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(std::string::npos, log.find("refused a second connection as " + pub("u1") + " from 127.0.0.1:")) << log;
  EXPECT_TRUE(net_has(impostor, "refused")) << "the refused game is told why";
  EXPECT_TRUE(server.incoming.empty()) << "no join, rejoin or leave for the refused one";
  EXPECT_EQ(1, server.count_named(pub("u1")));

  server.send(pub("u1"), "only-first", "", 1);
  ASSERT_TRUE(net_pump({&server, &first}, [&] { return net_has(first, "only-first"); }));
  EXPECT_EQ("Alice", server.peer_info(pub("u1")));

  // Once the first has gone its seat is free: a new connection under the id joins.
  first.close();
  ASSERT_TRUE(net_pump({&server}, [&] { return net_has(server, "leave"); }));
  EXPECT_EQ((std::vector<std::string>{"leave"}), taken_types());
  NetClient again;
  join(&again, "u1", "Alice");
  EXPECT_EQ((std::vector<std::string>{"join", "ping"}), taken_types());
}

TEST_F(NetServerTest, events_only_the_server_makes_are_never_taken_from_the_wire) {
  NetClient alice;
  join(&alice, "u1", "Alice");
  taken_types();
  RawHost raw(false);
  ENetPeer *peer = connect(&raw);
  testing::internal::CaptureStdout();
  for (const char *forged : {"join", "rejoin", "leave"}) net_enet_send(peer, net_bytes("u1x", "Eve", forged), 1);
  net_enet_send(peer, net_bytes("u1x", "Eve", "after"), 1);
  // An anonymous sender cannot forge them either.
  RawHost poke(false);
  ENetPeer *anon = connect(&poke);
  net_enet_send(anon, net_bytes("*", "", "leave", "u1"), 1);
  net_enet_send(anon, net_bytes("*", "", "hello"), 1);
  ASSERT_TRUE(net_pump({&server, &raw, &poke}, [&] { return net_has(server, "after") && net_has(server, "hello"); }));
  std::string log = testing::internal::GetCapturedStdout();
  std::vector<std::string> types = taken_types();
  std::sort(types.begin(), types.end());  // the two peers' messages may interleave
  EXPECT_EQ((std::vector<std::string>{"after", "hello", "join"}), types) << "only the endpoint's own join";
  EXPECT_NE(std::string::npos, log.find("dropped a \"leave\" message from " + pub("u1x")));
  EXPECT_NE(std::string::npos, log.find("dropped a \"rejoin\" message from " + pub("u1x")));
  EXPECT_EQ(1, server.count_named(pub("u1"))) << "Alice keeps her seat";
}

TEST_F(NetServerTest, broadcasts_reach_every_peer_and_named_messages_only_joined_ones) {
  RawHost raw(false);
  ENetPeer *peer = connect(&raw);
  net_enet_send(peer, net_bytes("u1", "", "register"), 1);  // named "u1" but never joined
  ASSERT_TRUE(net_pump({&server, &raw}, [&] { return server.count_named(pub("u1")) == 1; }));
  NetClient client;
  join(&client, "u1", "Alice");

  server.send(pub("u1"), "named", "", 1);
  server.send("", "all", "payload", 0);
  ASSERT_TRUE(net_pump({&server, &raw, &client}, [&] { return !raw.packets.empty() && net_has(client, "all"); }));
  EXPECT_TRUE(net_has(client, "named"));
  std::vector<NetPacket> got = raw.decoded();
  ASSERT_EQ(1u, got.size());
  EXPECT_EQ("all", got[0].type);
  EXPECT_EQ("payload", got[0].payload);
  EXPECT_EQ("", got[0].name);  // a server fills only the type
  EXPECT_EQ("", got[0].title);
  EXPECT_EQ("", got[0].token);
  EXPECT_FALSE(raw.packets[0].reliable);
}

TEST_F(NetServerTest, an_anonymous_sender_is_named_by_its_address_and_never_joins) {
  RawHost raw(false);
  ENetPeer *peer = connect(&raw);
  net_enet_send(peer, net_bytes("*poke", "", "poke", "hi"), 1);
  ASSERT_TRUE(net_pump({&server, &raw}, [&] { return !server.incoming.empty(); }));
  ASSERT_EQ(std::vector<std::string>{"poke"}, net_types(server));
  EXPECT_EQ("*127.0.0.1", server.incoming[0].peer);
  EXPECT_EQ("hi", server.incoming[0].data);
  EXPECT_EQ(0, server.peers[0]->joined);
}

TEST_F(NetServerTest, a_disconnect_message_drops_the_sender_as_a_refusal) {
  NetClient client;
  join(&client, "u1", "Alice");
  taken_types();
  client.send("", "disconnect", "", 1);
  ASSERT_TRUE(net_pump({&server, &client}, [&] { return !client.opened && server.peers.empty(); }));
  EXPECT_EQ(std::vector<std::string>{"leave"}, net_types(server));
  EXPECT_EQ((std::vector<std::string>{"connect", "disconnect"}), net_types(client));  // no "error"
}

TEST_F(NetServerTest, a_squatter_that_never_joined_changes_neither_a_players_join_nor_their_leave) {
  RawHost raw(false);
  ENetPeer *peer = connect(&raw);
  net_enet_send(peer, net_bytes("u1", "", "register"), 1);  // takes the name, never a title
  ASSERT_TRUE(net_pump({&server, &raw}, [&] { return server.count_named(pub("u1")) == 1; }));
  NetClient alice;
  join(&alice, "u1", "Alice");
  EXPECT_EQ((std::vector<std::string>{"join", "ping"}), taken_types());
  alice.close();
  ASSERT_TRUE(net_pump({&server, &raw}, [&] { return net_has(server, "leave"); }));
  EXPECT_EQ(pub("u1"), server.incoming[0].peer);
}

TEST_F(NetServerTest, a_joined_player_cannot_rename_itself_to_an_address_and_vanish) {
  NetClient alice;
  join(&alice, "u1", "Alice");
  taken_types();
  alice.name = "*";  // its next packet claims to be an anonymous visitor
  alice.send("", "leave-quietly", "", 1);
  alice.loop();
  alice.name = "u1";
  alice.send("", "still-here", "", 1);
  ASSERT_TRUE(net_pump({&server, &alice}, [&] { return net_has(server, "still-here"); }));
  EXPECT_EQ((std::vector<std::string>{"still-here"}), taken_types());
  alice.close();
  ASSERT_TRUE(net_pump({&server}, [&] { return net_has(server, "leave"); }));
  EXPECT_EQ(pub("u1"), server.incoming[0].peer) << "its leave still names the player";
}

TEST_F(NetServerTest, shown_names_are_plain_text_short_and_unique_among_the_joined) {
  NetClient a, b, c, d;
  join(&a, "u1", "Alice");
  join(&b, "u2", "Alice");  // another player of the same name
  join(&c, "u3", "<b>Bo</b>b\x01\xff");
  join(&d, "u4", "  <i></i> ");
  EXPECT_EQ("Alice", server.peer_info(pub("u1")));
  EXPECT_EQ("Alice 2", server.peer_info(pub("u2")));
  EXPECT_EQ("Bob", server.peer_info(pub("u3")));
  EXPECT_EQ("Player", server.peer_info(pub("u4")));
  // Longer texts are cut at a character's start, numbered ones too.
  EXPECT_EQ("\xc3\xa9t\xc3\xa9 \xc3\xa0 la mer", net_name_clean("\xc3\xa9t\xc3\xa9   \xc3\xa0 la mer & la plage"));
  EXPECT_EQ("Fifteen byte 12", net_name_numbered("Fifteen bytes!!", 12));
  EXPECT_EQ("\xc3\xa9t\xc3\xa9 \xc3\xa0 la m 7", net_name_numbered("\xc3\xa9t\xc3\xa9 \xc3\xa0 la m\xc3\xa8r", 7));
}

TEST_F(NetServerTest,
       an_address_causes_a_few_log_lines_a_second_over_all_its_connections_and_its_bytes_reach_the_log_escaped) {
  std::unique_ptr<World> world(new World());
  vantor_world_reset(world.get());
  RawHost raw(false, 8);
  NetMsg msg;
  testing::internal::CaptureStdout();
  for (size_t k = 0; k < 8; k++) {  // each joins before the next connects: joined ones are not limited
    raw.connect(server.port, NET_PROTOCOL_VERSION);
    ASSERT_TRUE(net_pump({&server, &raw}, [&] { return raw.connected.size() == k + 1; }));
    net_enet_send(raw.connected[k], net_bytes("u9" + std::to_string(k), "Eve", "message", "caf\xc3\xa9 \xff\xfe"), 1);
    ASSERT_TRUE(net_pump({&server, &raw}, [&] { return server.count_named(pub(("u9" + std::to_string(k)).c_str())); }));
  }
  for (size_t k = 0; k < 8; k++) {
    for (int i = 0; i < 250; i++)
      net_enet_send(raw.connected[k], net_bytes("u9" + std::to_string(k), "Eve", "ping"), 1);
    for (int i = 0; i < 60; i++) net_enet_send(raw.connected[k], net_bytes("u9" + std::to_string(k), "Eve", "join"), 1);
  }
  // The game's pump, until everything has arrived and an interval has passed since.
  uint32_t arrived = 0;
  const bool done = net_pump(
      {&server, &raw},
      [&] {
        while (server.recv(&msg)) vantor_server_handle(&server, world.get(), msg);
        for (ENetPeer *peer : raw.connected) {
          if (!enet_list_empty(&peer->sentReliableCommands) || !enet_list_empty(&peer->outgoingCommands)) return false;
        }
        if (!arrived) arrived = enet_time_get();
        return enet_time_get() - arrived > NET_LOG_INTERVAL_MS;
      },
      10000);
  const std::string log = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(done);
  EXPECT_LT(std::count(log.begin(), log.end(), '\n'), 30) << log.substr(0, 2000);
  EXPECT_NE(log.find("<Eve> [message] caf\xc3\xa9 \\xff\\xfe"), std::string::npos) << log.substr(0, 2000);
  EXPECT_NE(log.find("127.0.0.1: "), std::string::npos) << "the count names the address";
  EXPECT_NE(log.find("more log lines in 1000 ms left out"), std::string::npos);
}

TEST_F(NetServerTest, connections_that_do_not_join_are_let_go_and_few_of_one_address_wait_at_once) {
  NetClient alice;
  join(&alice, "u1", "Alice");
  RawHost silent(false, 8);
  testing::internal::CaptureStdout();
  for (int k = 0; k < 6; k++) silent.connect(server.port, NET_PROTOCOL_VERSION);
  // Four wait; the fifth is told why it cannot, the sixth cut at once.
  ASSERT_TRUE(net_pump({&server, &alice, &silent}, [&] { return silent.disconnects.size() == 2; }));
  ASSERT_TRUE(net_pump({&server, &alice, &silent}, [&] { return server.peers.size() == 5; }));
  for (auto &entry : server.peers) {
    if (!entry->joined) entry->since -= NET_JOIN_WAIT_MS;  // as if they had been silent since
  }
  ASSERT_TRUE(net_pump({&server, &alice, &silent}, [&] { return silent.disconnects.size() == 6; }));
  ASSERT_TRUE(net_pump({&server, &alice, &silent}, [&] { return server.peers.size() == 1; }));
  const std::string log = testing::internal::GetCapturedStdout();
  server.send(pub("u1"), "still-here", "", 1);
  ASSERT_TRUE(net_pump({&server, &alice}, [&] { return net_has(alice, "still-here"); })) << "Alice keeps her seat";
  std::vector<std::string> told;
  for (const NetPacket &p : silent.decoded()) told.push_back(p.payload);
  EXPECT_NE(
      std::find(told.begin(), told.end(), "Too many games of your address are joining at once. Try again in a moment."),
      told.end());
  EXPECT_NE(std::find(told.begin(), told.end(), "You did not join in time."), told.end());
  EXPECT_NE(log.find(": 4 connections of that address have not joined"), std::string::npos) << log;
  EXPECT_NE(log.find(": it did not join within 5 s"), std::string::npos) << log;
}

TEST_F(NetServerTest, what_the_transport_refuses_of_a_state_copy_costs_one_log_line) {
  NetClient alice;
  join(&alice, "u1", "Alice");
  enet_peer_disconnect(server.peers[0]->enet_peer, NET_PROTOCOL_VERSION);  // on its way out
  for (int i = 0; i < 100; i++) server.send(pub("u1"), i ? "D" : "S", std::string(544, 'x'), 1);
  testing::internal::CaptureStdout();
  server.loop();
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_EQ(1, std::count(log.begin(), log.end(), '\n')) << log;
  EXPECT_NE(log.find("100 messages to " + pub("u1") + " refused by the transport (the first \"S\"), dropped"),
            std::string::npos)
      << log;
}
