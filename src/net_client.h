// The client endpoint: one ENet connection to a match server, and NetLocal, the client of a server
// hosted in this same process.
#pragma once

#include <enet/enet.h>

#include "net.h"

// Connects to the server at host:port. While open, the peer list holds exactly one entry: the server.
// Received messages carry the empty peer (the server); the events it raises itself are "connect",
// "error" (the server speaks another protocol version, or stopped answering for 7 s, or never
// answered) and "disconnect".
class NetClient : public NetENet {
 public:
  // Starts connecting; messages queued before the connection is up wait for it. Ends the process when
  // no ENet host can be made. A host that does not resolve raises "disconnect" and stays closed.
  void open() override;
  // Handles the transport's events, sends the queue once connected, and closes after a disconnect.
  void loop() override;

 private:
  void on_connect();
  void on_disconnect(uint32_t data, bool silent);
  void on_receive(ENetPacket *packet);
  void send_queue();
};

// The client of the server in this process: it connects through the loopback like any client, and
// only tells the game that the world it would sync is already the server's.
class NetLocal : public NetClient {
 public:
  bool is_local() override { return true; }
};
