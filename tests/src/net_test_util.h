// Helpers for the network endpoint tests: a bounded pump over real ENet hosts on the loopback, and a bare
// ENet host that stands in for a foreign or hand-crafting peer.
#pragma once

#include <enet/enet.h>
#include <poll.h>

#include <string>
#include <vector>

#include "net.h"
#include "net_packet.h"

// Loops every endpoint until done() holds. Between rounds it waits at most 1 ms for a datagram on any
// of their sockets, so a pump returns as soon as the traffic allows. False after `rounds` rounds.
template <class Done>
bool net_pump(const std::vector<Net *> &nets, Done done, int rounds = 3000) {
  for (int i = 0; i < rounds; i++) {
    for (Net *net : nets) net->loop();
    if (done()) return true;
    std::vector<pollfd> fds;
    for (Net *net : nets) {
      if (net->enet_host) fds.push_back({net->enet_host->socket, POLLIN, 0});
    }
    poll(fds.data(), fds.size(), 1);
  }
  return false;
}

// The types of the endpoint's received messages, oldest first, without taking them.
inline std::vector<std::string> net_types(const Net &net) {
  std::vector<std::string> types;
  for (const NetMsg &msg : net.incoming) types.push_back(msg.type);
  return types;
}

inline bool net_has(const Net &net, const std::string &type) {
  for (const NetMsg &msg : net.incoming) {
    if (msg.type == type) return true;
  }
  return false;
}

// A coded packet with the given header texts and payload.
inline std::string net_bytes(const std::string &name, const std::string &title, const std::string &type,
                             const std::string &payload = "") {
  std::string bytes;
  net_packet_write({name, title, "velum", type, payload}, &bytes);
  return bytes;
}

// One packet a RawHost received.
struct RawPacket {
  ENetPeer *from;
  std::string bytes;
  bool reliable;
};

// A bare ENet host with the range coder on (listening on a free port when `listen`; sending from the
// loopback address `from` when given, another source than 127.0.0.1). Its loop records the transport's
// events and answers every connect with a disconnect carrying `refuse` when that is set.
class RawHost : public Net {
 public:
  std::vector<ENetPeer *> connected;
  std::vector<uint32_t> disconnects;  // the data of each disconnect
  std::vector<RawPacket> packets;
  uint32_t refuse = 0;

  explicit RawHost(bool listen, size_t peers = 4, const char *from = nullptr) {
    net_enet_init();
    ENetAddress bind = {ENET_HOST_ANY, 0};
    if (from) enet_address_set_host_ip(&bind, from);
    enet_host = enet_host_create(listen || from ? &bind : nullptr, peers, 1, 0, 0);
    enet_host_compress_with_range_coder(enet_host);
    port = enet_host->address.port;
  }
  ~RawHost() override { enet_host_destroy(enet_host); }

  ENetPeer *connect(uint16_t to, uint32_t data) {
    ENetAddress address;
    enet_address_set_host_ip(&address, "127.0.0.1");
    address.port = to;
    return enet_host_connect(enet_host, &address, 1, data);
  }

  void loop() override {
    ENetEvent event;
    while (enet_host_service(enet_host, &event, 0) > 0) {
      if (event.type == ENET_EVENT_TYPE_CONNECT) {
        connected.push_back(event.peer);
        if (refuse) enet_peer_disconnect(event.peer, refuse);
      } else if (event.type == ENET_EVENT_TYPE_DISCONNECT) {
        disconnects.push_back(event.data);
      } else if (event.type == ENET_EVENT_TYPE_RECEIVE) {
        packets.push_back({event.peer, std::string((const char *)event.packet->data, event.packet->dataLength),
                           (event.packet->flags & ENET_PACKET_FLAG_RELIABLE) != 0});
        enet_packet_destroy(event.packet);
      }
    }
    enet_host_flush(enet_host);
  }

  // The received packets decoded; undecodable ones appear with the type "?".
  std::vector<NetPacket> decoded() const {
    std::vector<NetPacket> out;
    for (const RawPacket &packet : packets) {
      NetPacket msg;
      if (!net_packet_read((const uint8_t *)packet.bytes.data(), packet.bytes.size(), &msg)) msg.type = "?";
      out.push_back(msg);
    }
    return out;
  }
};
