// Network endpoints: the Net base (an identity and two message queues) and NetENet, the endpoints
// that carry the queues over ENet. Everything runs on the main thread and no call blocks.
#pragma once

#include <enet/enet.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// Sent as the ENet connect data; a server refuses other versions by disconnecting with its own.
const uint32_t NET_PROTOCOL_VERSION = 5;
// The most clients a server serves at once (the size of its ENet peer table).
const size_t NET_PEERS_MAX = 32;
// NetMsg flags bit 0: the message travels reliably.
const int NET_RELIABLE = 1;

// One message, owned by value in the queues.
struct NetMsg {
  std::string peer;  // outgoing: the recipient ("" = every client / the server); received: the sender
  std::string info;  // the peer's info (display name) as the endpoint knew it when the message was queued
  std::string type;
  std::string data;          // any bytes
  int flags = NET_RELIABLE;  // received messages carry 0
  std::string source{};      // received on a server: the sender's IPv4 address, which its log budget is kept by
};

// One remote peer of an ENet endpoint.
struct NetPeer {
  int active = 0;  // 1 once connected at the transport level
  int joined = 0;  // client: connected; server: sent its first message matching its registration
  ENetPeer *enet_peer = nullptr;
  std::string name;            // server: the public id of the sender id registered from the peer's first message
  std::string info;            // server: the name shown for the peer, made from its title once it joins (an
                               // anonymous sender, which never joins: once it sends)
  std::string id;              // server: the registered sender id; it proves who the peer is and is never shown
  std::string title;           // server: the registered title, which every later message must carry
  uint32_t waiting_since = 0;  // server: when it began to wait for a joined peer of its id to prove dead
  size_t queued = 0;           // server: what its messages waiting in the incoming queue cost
  uint32_t since = 0;          // server: when it connected, or was told to go; an unjoined entry's clock
  std::string source;          // server: its IPv4 address, by which waiting connections and log lines are counted
};

// An endpoint: setup, open, loop once per frame, close, delete. The game only queues outgoing messages
// with send and takes received ones with recv; loop moves them between the queues and the wire.
class Net {
 public:
  int opened = 0;               // 1 between a successful open and close
  std::string name;             // this endpoint's sender name: the user uid, or "server"
  std::string title;            // the display name
  std::string token;            // a fixed word; no receiver checks it
  std::deque<NetMsg> incoming;  // oldest first
  std::deque<NetMsg> outgoing;  // oldest first
  std::string host;             // the server's host name or dotted address (unused by a server)
  uint16_t port = 0;
  ENetHost *enet_host = nullptr;  // null while closed

  virtual ~Net() {}
  // Connects or starts listening; the base does nothing.
  virtual void open() {}
  // Moves messages between the queues and the wire; the base does nothing.
  virtual void loop() {}
  // Disconnects and releases the transport; the base does nothing.
  virtual void close() {}
  // The info (display name) of the peer registered under peer_name; the empty text when none.
  virtual std::string peer_info(const std::string &peer_name);
  // True for the client of a server in this same process.
  virtual bool is_local() { return false; }

  // Stores the identity and the server's address and clears the open flag; call before open.
  void setup(const std::string &host, uint16_t port, const std::string &name, const std::string &title,
             const std::string &token);
  // Queues a message for the next loop, with the recipient's info as known now.
  void send(const std::string &to, const std::string &type, const std::string &data, int flags);
  // Queues a reliable message of type "message".
  void send_message(const std::string &to, const std::string &data);
  // Appends a received message (flags 0) to the incoming queue.
  void push_event(const std::string &from, const std::string &type, const std::string &data);
  // Moves the oldest received message into *out and returns 1; returns 0 (out untouched) when none.
  int recv(NetMsg *out);
};

// An endpoint over ENet: the peer list and the shared close.
class NetENet : public Net {
 public:
  std::vector<std::unique_ptr<NetPeer>> peers;  // stable addresses: ENet peers point at their entry

  ~NetENet() override;
  // Disconnects every peer (data 0), flushes and destroys the host; nothing when closed.
  void close() override;
  std::string peer_info(const std::string &peer_name) override;
};

// The id the server shows for a sender id: "p:" and 13 hex digits of a digest of it, so that a shown
// id (in the user records, the lobby, the chat and the mods' events) never lets anyone send as that
// player. The digest is repeated many times, since a sender id holds only 52 random bits. Anonymous
// names ('*' first) and the empty text are shown as they are.
std::string net_public_id(const std::string &id);

// Starts ENet the first time it is called in the process. Returns false when ENet cannot start.
bool net_enet_init();
// A new ENet packet holding bytes, reliable when flags bit 0 is set; null when out of memory.
ENetPacket *net_enet_packet(const std::string &bytes, int flags);
// Sends bytes to peer on channel 0 as a new packet. Returns false (the packet freed) when ENet refuses.
bool net_enet_send(ENetPeer *peer, const std::string &bytes, int flags);
