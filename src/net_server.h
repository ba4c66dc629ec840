// The server endpoint: accepts up to 32 clients and turns first contact, reconnection and departure
// into "join", "rejoin" and "leave" messages.
#pragma once

#include <enet/enet.h>

#include "net.h"

struct NetPacket;

// The most a client's message may carry: orders, chat lines and pings are far smaller. A longer one
// is dropped before it takes more memory than this.
const size_t NET_CLIENT_PAYLOAD_MAX = 1024;
// What one peer's messages may hold in the incoming queue at once (each counts its payload and type
// and NET_QUEUED_OVERHEAD more); the rest are dropped until the game has taken them.
const size_t NET_PEER_QUEUED_MAX = 32 * 1024;
const size_t NET_QUEUED_OVERHEAD = 64;
// A joined peer not heard from for this long is taken for dead when its id joins again. ENet pings a
// quiet peer every 500 ms, so a live one is heard far more often.
const uint32_t NET_SILENT_MS = 1500;
// The names the server shows are at most this many bytes: what a packet's title field holds.
const size_t NET_NAME_MAX = 15;
// A connection that has not joined this long after it connected is let go, and one that was let go
// but has not gone this long after is cut: neither holds a seat a player could take. A game joins
// with its first message, sent as soon as it is connected.
const uint32_t NET_JOIN_WAIT_MS = 5000;
// The most connections of one address that may wait to join at once; one more is told why it cannot
// stay, and the rest are cut at once. Joined players are not counted, so a LAN behind one router is
// not limited.
const size_t NET_WAITING_PER_ADDRESS = 4;

// A client registers its sender id and title with its first message and joins with the first message
// that matches them; received messages carry the public id of that sender id (net_public_id) as their
// peer and a cleaned name, unique among the joined, as their info. A message sent to the empty peer
// goes to every connected client, one sent to a public id to every joined client of that id.
//
// A second connection with a joined peer's id joins in its place ("rejoin") once the first is known
// dead, that is silent for NET_SILENT_MS; while the first is heard from, the second is refused.
//
// Strangers are bounded by their address: the connections of one address that wait to join, and
// the log lines all its connections cause together (net_log). Every connection has an entry from its
// connect on, also one being let go, so that the slot it holds is timed.
class NetServer : public NetENet {
 public:
  // Listens on the port (port 0 picks a free one and stores it in port). Logs and stays closed when no
  // ENet host can be made (the port is taken); the game decides what that means.
  void open() override;
  // Handles the transport's events, settles the connections waiting for their id, and sends the queue.
  void loop() override;
  // Handles one transport event at now_ms (ENet's clock); loop calls it for every event.
  void handle_event(const ENetEvent &event, uint32_t now_ms);
  // The number of peer entries registered under the public id.
  int count_named(const std::string &peer_name);

 private:
  void on_connect(ENetPeer *peer, uint32_t data);
  NetPeer *add(ENetPeer *peer, uint32_t now);
  size_t waiting_from(const std::string &source);
  void let_go(NetPeer *entry, const char *why, uint32_t now);
  void cut(NetPeer *entry);
  void expire(uint32_t now);
  void report(const NetPeer *entry, const std::string &type, const std::string &payload);
  void on_disconnect(ENetPeer *peer);
  void on_receive(ENetPeer *peer, ENetPacket *packet, uint32_t now);
  void on_message(NetPeer *entry, const NetPacket &msg, uint32_t now);
  void settle(NetPeer *entry, uint32_t now);
  void settle_waiting(uint32_t now);
  void join(NetPeer *entry, bool again);
  void replace(NetPeer *old, const NetPeer *entry);
  void refuse(NetPeer *entry, const NetPeer *holder);
  void queue(NetPeer *entry, const std::string &type, const std::string &payload, uint32_t now);
  void queued_recount();
  NetPeer *holder_of(const NetPeer *entry);
  bool name_shown(const NetPeer *entry, const std::string &shown);
  std::string unique_name(const NetPeer *entry);
  void remove(NetPeer *entry);
  void send_queue();
};
