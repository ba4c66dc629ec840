// Network client endpoint: connects to a match server and carries the game's messages to and from it.
#include "net_client.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "kez_log.h"
#include "net_log.h"
#include "net_packet.h"

// How long the server may leave a reliable message unanswered before the connection counts as lost.
// ENet pings a quiet connection every 500 ms, so a live server answers well within it.
static const uint32_t SERVER_TIMEOUT_MS = 7000;

void NetClient::open() {
  if (opened) return;
  if (!net_enet_init() || !(enet_host = enet_host_create(nullptr, 1, 1, 0, 0)) ||
      enet_host_compress_with_range_coder(enet_host) != 0) {
    LOG_PRINTF("An error occurred while trying to create an ENet client host. (2)\n");
    exit(-1);
  }
  ENetAddress address;
  address.port = port;
  ENetPeer *server = nullptr;
  if (enet_address_set_host(&address, host.c_str()) == 0) {
    server = enet_host_connect(enet_host, &address, 1, NET_PROTOCOL_VERSION);
  }
  if (!server) {  // reported like a connection that failed, without waiting for a timeout
    LOG_PRINTF("cannot connect to \"%s\"", host.c_str());
    enet_host_destroy(enet_host);
    enet_host = nullptr;
    push_event("", "disconnect", "");
    return;
  }
  enet_peer_timeout(server, 0, 0, SERVER_TIMEOUT_MS);
  auto entry = std::make_unique<NetPeer>();
  entry->active = 1;
  entry->enet_peer = server;
  peers.push_back(std::move(entry));
  opened = 1;
}

void NetClient::loop() {
  if (!opened) return;
  bool disconnected = false;
  ENetEvent event;
  for (;;) {
    const uint32_t received = enet_host->totalReceivedPackets;
    if (enet_host_service(enet_host, &event, 0) <= 0) break;
    switch (event.type) {
      case ENET_EVENT_TYPE_CONNECT: on_connect(); break;
      case ENET_EVENT_TYPE_DISCONNECT:
        // A disconnect that came with no datagram is ENet giving up on a server that went silent.
        on_disconnect(event.data, enet_host->totalReceivedPackets == received);
        disconnected = true;
        break;
      case ENET_EVENT_TYPE_RECEIVE: on_receive(event.packet); break;
      case ENET_EVENT_TYPE_NONE: break;
    }
  }
  send_queue();
  enet_host_flush(enet_host);
  net_log_flush(enet_time_get());  // what this side left out of the log (bad records), once its interval ends
  if (disconnected) close();
}

// The ping goes ahead of anything queued while connecting, so a server always hears it first.
void NetClient::on_connect() {
  peers.front()->joined = 1;
  push_event("", "connect", "");
  outgoing.push_front({"", peer_info(""), "ping", "", NET_RELIABLE});
}

// Disconnect data 0 is an ordinary close and data NET_PROTOCOL_VERSION a refusal by a server of this
// version; anything else is the version of a server that speaks another protocol. A server that
// stopped answering sent nothing at all.
void NetClient::on_disconnect(uint32_t data, bool silent) {
  const bool was_connected = peers.front()->joined;
  peers.front()->joined = 0;
  if (silent) {
    push_event("", "error", was_connected ? "The server stopped answering." : "The server does not answer.");
  } else if (data != 0 && data != NET_PROTOCOL_VERSION) {
    char text[64];
    snprintf(text, sizeof text, "incompatible server v%d (you have v%d)", (int)data, (int)NET_PROTOCOL_VERSION);
    push_event("", "error", text);
  }
  push_event("", "disconnect", "");
}

// The events this endpoint raises itself: one arriving as a message would fake a connection change.
static bool _net_client_own_type(const std::string &type) {
  return type == "connect" || type == "disconnect" || type == "error";
}

void NetClient::on_receive(ENetPacket *packet) {
  NetPacket msg;
  if (net_packet_read(packet->data, packet->dataLength, &msg)) {
    if (_net_client_own_type(msg.type)) {
      LOG_PRINTF("dropped a \"%s\" message from the server: only the connection reports those", msg.type.c_str());
    } else {
      push_event("", msg.type, msg.payload);
    }
  }
  enet_packet_destroy(packet);
}

void NetClient::send_queue() {
  if (peers.empty() || !peers.front()->joined) return;
  ENetPeer *server = peers.front()->enet_peer;
  for (const NetMsg &msg : outgoing) {
    std::string bytes;
    if (!net_packet_write({name, title, token, msg.type, msg.data}, &bytes)) {
      LOG_PRINTF("message \"%s\" of %zu bytes is too long, dropped", msg.type.c_str(), msg.data.size());
    } else if (!net_enet_send(server, bytes, msg.flags)) {
      LOG_PRINTF("message \"%s\" refused by the transport, dropped", msg.type.c_str());
    }
  }
  outgoing.clear();
}
