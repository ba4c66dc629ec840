// Network server endpoint: the match server's side of the transport, with the join/rejoin/leave rules.
#include "net_server.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "kez_log.h"
#include "net_packet.h"

void NetServer::open() {
  if (opened) return;
  ENetAddress address;
  address.host = ENET_HOST_ANY;
  address.port = port;
  if (!net_enet_init() || !(enet_host = enet_host_create(&address, NET_PEERS_MAX, 1, 0, 0)) ||
      enet_host_compress_with_range_coder(enet_host) != 0) {
    LOG_PRINTF("An error occurred while trying to create an ENet server host. (1)\n");
    if (enet_host) enet_host_destroy(enet_host);
    enet_host = nullptr;
    return;
  }
  port = enet_host->address.port;
  opened = 1;
}

void NetServer::loop() {
  if (!opened) return;
  ENetEvent event;
  while (enet_host_service(enet_host, &event, 0) > 0) {
    switch (event.type) {
      case ENET_EVENT_TYPE_CONNECT: on_connect(event.peer, event.data); break;
      case ENET_EVENT_TYPE_DISCONNECT: on_disconnect(event.peer); break;
      case ENET_EVENT_TYPE_RECEIVE: on_receive(event.peer, event.packet); break;
      case ENET_EVENT_TYPE_NONE: break;
    }
  }
  send_queue();
  enet_host_flush(enet_host);
}

int NetServer::count_named(const std::string &peer_name) {
  int count = 0;
  for (auto &peer : peers) count += peer->name == peer_name;
  return count;
}

// Entries that registered a name but never joined (a squatter that never sends a matching title)
// must not turn the real player's join into a rejoin, nor swallow their leave.
int NetServer::count_joined(const std::string &peer_name) {
  int count = 0;
  for (auto &peer : peers) count += peer->joined && peer->name == peer_name;
  return count;
}

void NetServer::on_connect(ENetPeer *peer, uint32_t data) {
  if (data != NET_PROTOCOL_VERSION) {
    enet_peer_disconnect(peer, NET_PROTOCOL_VERSION);
    return;
  }
  auto entry = std::make_unique<NetPeer>();
  entry->active = 1;
  entry->enet_peer = peer;
  peer->data = entry.get();
  peers.push_back(std::move(entry));
  enet_peer_throttle_configure(peer, 5000, 0, 0);
}

void NetServer::on_disconnect(ENetPeer *peer) {
  NetPeer *entry = (NetPeer *)peer->data;
  if (!entry) return;  // refused at connect
  if (entry->joined && count_joined(entry->name) < 2) push_event(entry->name, "leave", "");
  peer->data = nullptr;
  for (auto it = peers.begin(); it != peers.end(); ++it) {
    if (it->get() == entry) {
      peers.erase(it);
      break;
    }
  }
}

// A refused peer (no entry) can still deliver packets while its disconnect is under way.
void NetServer::on_receive(ENetPeer *peer, ENetPacket *packet) {
  NetPeer *entry = (NetPeer *)peer->data;
  NetPacket msg;
  if (entry && net_packet_read(packet->data, packet->dataLength, &msg)) on_message(entry, msg);
  enet_packet_destroy(packet);
}

// The dotted IPv4 address of a peer, behind the '*' that marks an anonymous sender.
static std::string anonymous_name(const ENetPeer *peer) {
  const uint8_t *b = (const uint8_t *)&peer->address.host;  // network order: lowest-addressed byte first
  char text[32];
  snprintf(text, sizeof text, "*%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
  return text;
}

// The types this endpoint reports itself; one arriving from the wire is somebody's forgery (a "leave"
// in another player's name would otherwise remove them from the match).
static bool _net_server_own_type(const std::string &type) {
  return type == "join" || type == "rejoin" || type == "leave";
}

// Whether another live entry has already joined under that name.
bool NetServer::name_taken(const NetPeer *entry, const std::string &peer_name) {
  for (auto &peer : peers) {
    if (peer.get() != entry && peer->active && peer->joined && peer->name == peer_name) return true;
  }
  return false;
}

// A second connection claiming a joined player's id is told why and let go; it may take the seat once
// the first has left. It stays listed until its disconnect completes, so it must not count as a name.
void NetServer::refuse(NetPeer *entry, const std::string &claimed) {
  LOG_PRINTF("refused a second connection as \"%s\": that id is in use", log_escape(claimed, 16).c_str());
  std::string bytes;
  if (net_packet_write({"", "", "", "refused", "another game with your id is connected"}, &bytes))
    net_enet_send(entry->enet_peer, bytes, NET_RELIABLE);
  enet_peer_disconnect_later(entry->enet_peer, NET_PROTOCOL_VERSION);
  entry->active = 0;
  entry->name.clear();
  entry->info.clear();
}

void NetServer::on_message(NetPeer *entry, const NetPacket &msg) {
  if (!entry->active) return;  // refused, on its way out
  if (entry->name.empty()) {
    if (msg.name[0] && msg.name[0] != '*' && name_taken(entry, msg.name)) return refuse(entry, msg.name);
    entry->name = msg.name;
    entry->info = msg.title;
  }
  if (entry->name.empty()) return;  // nobody to register yet
  if (_net_server_own_type(msg.type)) {
    LOG_PRINTF("dropped a \"%s\" message from %s: only the server reports those",
               log_escape(msg.type, 16).c_str(), log_escape(entry->name, 64).c_str());
  } else if (msg.type == "disconnect") {
    enet_peer_disconnect(entry->enet_peer, NET_PROTOCOL_VERSION);
  } else if (msg.name[0] == '*' && !entry->joined) {  // an anonymous one-shot sender never joins
    entry->name = anonymous_name(entry->enet_peer);
    push_event(entry->name, msg.type, msg.payload);
  } else if (!entry->info.empty() && msg.name == entry->name && msg.title == entry->info) {
    if (!entry->joined) {
      entry->joined = 1;
      push_event(entry->name, count_joined(entry->name) < 2 ? "join" : "rejoin", "");
    }
    push_event(entry->name, msg.type, msg.payload);
  }
}

// Each message is coded once, whatever the number of its recipients.
void NetServer::send_queue() {
  for (const NetMsg &msg : outgoing) {
    std::string bytes;
    if (!net_packet_write({"", "", "", msg.type, msg.data}, &bytes)) {
      LOG_PRINTF("message \"%s\" of %zu bytes is too long, dropped", msg.type.c_str(), msg.data.size());
      continue;
    }
    if (msg.peer.empty()) {
      ENetPacket *packet = net_enet_packet(bytes, msg.flags);
      if (packet) enet_host_broadcast(enet_host, 0, packet);
      continue;
    }
    for (auto &peer : peers) {
      if (!peer->active || !peer->joined || peer->name != msg.peer) continue;
      if (!net_enet_send(peer->enet_peer, bytes, msg.flags)) {
        LOG_PRINTF("message \"%s\" to %s refused by the transport, dropped", msg.type.c_str(), msg.peer.c_str());
      }
    }
  }
  outgoing.clear();
}
