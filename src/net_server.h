// The server endpoint: accepts up to 32 clients and turns first contact, reconnection and departure
// into "join", "rejoin" and "leave" messages.
#pragma once

#include <enet/enet.h>

#include "net.h"

struct NetPacket;

// A client registers its sender name and title with its first message and joins with the first message
// that matches them; received messages carry that name as their peer. A message sent to the empty peer
// goes to every connected client, one sent to a name to every joined client of that name.
class NetServer : public NetENet {
 public:
  // Listens on the port (port 0 picks a free one and stores it in port). Logs and stays closed when no
  // ENet host can be made (the port is taken); the game decides what that means.
  void open() override;
  // Handles the transport's events and sends the queue.
  void loop() override;
  // The number of peer entries registered under name.
  int count_named(const std::string &peer_name);
  // The number of joined peer entries registered under name.
  int count_joined(const std::string &peer_name);

 private:
  void on_connect(ENetPeer *peer, uint32_t data);
  void on_disconnect(ENetPeer *peer);
  void on_receive(ENetPeer *peer, ENetPacket *packet);
  void on_message(NetPeer *entry, const NetPacket &msg);
  bool name_taken(const NetPeer *entry, const std::string &peer_name);
  void refuse(NetPeer *entry, const std::string &claimed);
  void send_queue();
};
