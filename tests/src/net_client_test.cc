// The client endpoint against a bare ENet server on the loopback: connect, the header it fills, the
// version gate on disconnect and the packets it ignores.
#include "net_client.h"

#include <gtest/gtest.h>

#include "net_test_util.h"

namespace {

// A client set up for a bare server listening on the loopback.
struct ClientAndServer {
  RawHost server{true};
  NetClient client;
  ClientAndServer() { client.setup("127.0.0.1", server.port, "0123456789abcdefXYZ", "Player", "velum"); }
  bool connect() {
    client.open();
    return net_pump({&server, &client}, [&] { return net_has(client, "connect") && !server.connected.empty(); });
  }
};

}  // namespace

TEST(NetClient, pings_first_then_sends_the_queue_with_its_full_header) {
  ClientAndServer t;
  t.client.open();
  t.client.send("", "queued-before-connecting", "1", 1);
  t.client.send("", "u", "2", 0);
  ASSERT_TRUE(net_pump({&t.server, &t.client}, [&] { return t.server.packets.size() == 3; }));
  EXPECT_EQ(std::vector<std::string>{"connect"}, net_types(t.client));
  EXPECT_TRUE(t.client.outgoing.empty());

  std::vector<NetPacket> got = t.server.decoded();
  EXPECT_EQ("ping", got[0].type);
  EXPECT_EQ("", got[0].payload);
  EXPECT_EQ("queued-before-c", got[1].type);
  EXPECT_EQ("1", got[1].payload);
  EXPECT_EQ("0123456789abcde", got[1].name);
  EXPECT_EQ("Player", got[1].title);
  EXPECT_EQ("velum", got[1].token);
  EXPECT_TRUE(t.server.packets[1].reliable);
  EXPECT_EQ("u", got[2].type);
  EXPECT_FALSE(t.server.packets[2].reliable);
}

TEST(NetClient, a_disconnect_from_another_version_raises_error_then_disconnect_and_closes) {
  for (uint32_t version : {7u, 5u}) {
    ClientAndServer t;
    t.server.refuse = version;
    t.client.open();
    ASSERT_TRUE(net_pump({&t.server, &t.client}, [&] { return !t.client.opened; }));
    std::vector<std::string> types = net_types(t.client);
    ASSERT_FALSE(types.empty());
    EXPECT_EQ("disconnect", types.back());
    EXPECT_EQ(version == 7 ? 1 : 0, (int)net_has(t.client, "error"));
    for (const NetMsg &msg : t.client.incoming) {
      if (msg.type != "error") continue;
      EXPECT_EQ("incompatible server v7 (you have v5)", msg.data);
    }
    EXPECT_TRUE(t.client.peers.empty());
    EXPECT_EQ(nullptr, t.client.enet_host);
  }
}

TEST(NetClient, a_packet_shorter_than_the_header_raises_nothing_and_a_bare_header_is_a_message) {
  ClientAndServer t;
  ASSERT_TRUE(t.connect());
  ENetPeer *peer = t.server.connected.at(0);
  net_enet_send(peer, net_packet_rle_encode((const uint8_t *)std::string(63, 'x').data(), 63), 1);
  net_enet_send(peer, net_bytes("", "", "bare"), 1);
  ASSERT_TRUE(net_pump({&t.server, &t.client}, [&] { return net_has(t.client, "bare"); }));
  EXPECT_EQ((std::vector<std::string>{"connect", "bare"}), net_types(t.client));
  EXPECT_EQ("", t.client.incoming.back().data);
  EXPECT_EQ("", t.client.incoming.back().peer);
}

TEST(NetClient, a_host_that_does_not_resolve_raises_disconnect_and_stays_closed) {
  NetLocal client;
  client.setup("", 1, "uid", "Player", "velum");
  client.open();
  EXPECT_EQ(0, client.opened);
  EXPECT_EQ(std::vector<std::string>{"disconnect"}, net_types(client));
  EXPECT_TRUE(client.is_local());
}
