// The endpoint base: the two queues and the peer info taken at queue time.
#include "net.h"

#include <gtest/gtest.h>

#include <memory>

TEST(Net, recv_hands_out_messages_oldest_first_and_0_once_empty) {
  Net net;
  net.push_event("a", "first", "1");
  net.push_event("b", "second", std::string("\0x", 2));
  NetMsg out;
  ASSERT_EQ(1, net.recv(&out));
  EXPECT_EQ("a", out.peer);
  EXPECT_EQ("first", out.type);
  EXPECT_EQ(0, out.flags);
  ASSERT_EQ(1, net.recv(&out));
  EXPECT_EQ(std::string("\0x", 2), out.data);
  EXPECT_EQ(0, net.recv(&out));
  EXPECT_EQ("second", out.type);  // untouched by the empty queue
}

TEST(Net, peer_info_is_the_registered_title_taken_when_the_message_is_queued) {
  NetENet net;
  auto bob = std::make_unique<NetPeer>();
  bob->name = "bob";
  bob->info = "Bob";
  net.peers.push_back(std::move(bob));
  EXPECT_EQ("", net.peer_info("carl"));

  net.send_message("bob", "hi");
  net.push_event("bob", "t", "");
  net.send("carl", "t", "", 0);
  net.peers[0]->info = "Robert";
  EXPECT_EQ("Bob", net.outgoing[0].info);
  EXPECT_EQ("message", net.outgoing[0].type);
  EXPECT_EQ(1, net.outgoing[0].flags);
  EXPECT_EQ("Bob", net.incoming[0].info);
  EXPECT_EQ("", net.outgoing[1].info);

  net.close();  // closed: nothing happens
  EXPECT_EQ(1u, net.peers.size());
}
