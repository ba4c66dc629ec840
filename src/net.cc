// Network endpoints: message queues, the endpoint identity and the ENet close shared by client and server.
#include "net.h"

#include <cstdlib>
#include <utility>

#include "kez_md5.h"

std::string Net::peer_info(const std::string &) { return ""; }

void Net::setup(const std::string &host_, uint16_t port_, const std::string &name_, const std::string &title_,
                const std::string &token_) {
  host = host_;
  port = port_;
  name = name_;
  title = title_;
  token = token_;
  opened = 0;
}

void Net::send(const std::string &to, const std::string &type, const std::string &data, int flags) {
  outgoing.push_back({to, peer_info(to), type, data, flags});
}

void Net::send_message(const std::string &to, const std::string &data) { send(to, "message", data, NET_RELIABLE); }

void Net::push_event(const std::string &from, const std::string &type, const std::string &data) {
  incoming.push_back({from, peer_info(from), type, data, 0});
}

int Net::recv(NetMsg *out) {
  if (incoming.empty()) return 0;
  *out = std::move(incoming.front());
  incoming.pop_front();
  return 1;
}

NetENet::~NetENet() { NetENet::close(); }

void NetENet::close() {
  if (!opened) return;
  for (auto &peer : peers) {
    if (peer->enet_peer) enet_peer_disconnect(peer->enet_peer, 0);
  }
  peers.clear();
  enet_host_flush(enet_host);  // also stamps the host's service time, from ENet's own clock
  enet_host_destroy(enet_host);
  enet_host = nullptr;
  opened = 0;
}

std::string NetENet::peer_info(const std::string &peer_name) {
  for (auto &peer : peers) {
    if (peer->name == peer_name) return peer->info;
  }
  return "";
}

// Rounds of the public id's digest: a guess at a sender id costs that many digests, while the server
// spends them once per connection.
static const int PUBLIC_ID_ROUNDS = 1024;
static const char PUBLIC_ID_PREFIX[] = "p:";
static const size_t PUBLIC_ID_DIGITS = 13;

std::string net_public_id(const std::string &id) {
  if (id.empty() || id[0] == '*') return id;
  uint8_t digest[16] = {0};
  for (int round = 0; round < PUBLIC_ID_ROUNDS; round++) {
    Md5Ctx ctx = MD5_CTX_INITIAL;
    md5_update(&ctx, "vantor public id|", 17);
    md5_update(&ctx, digest, sizeof digest);
    md5_update(&ctx, id.data(), id.size());
    md5_final(&ctx, digest);
  }
  static const char HEX[] = "0123456789abcdef";
  std::string out = PUBLIC_ID_PREFIX;
  for (size_t i = 0; i < PUBLIC_ID_DIGITS; i++) out += HEX[(digest[i / 2] >> (i % 2 ? 0 : 4)) & 0xF];
  return out;
}

bool net_enet_init() {
  static int started = 0;
  if (started) return true;
  if (enet_initialize() != 0) return false;
  atexit(enet_deinitialize);
  started = 1;
  return true;
}

ENetPacket *net_enet_packet(const std::string &bytes, int flags) {
  return enet_packet_create(bytes.data(), bytes.size(), (flags & NET_RELIABLE) ? ENET_PACKET_FLAG_RELIABLE : 0);
}

bool net_enet_send(ENetPeer *peer, const std::string &bytes, int flags) {
  ENetPacket *packet = net_enet_packet(bytes, flags);
  if (!packet) return false;
  if (enet_peer_send(peer, 0, packet) == 0) return true;
  enet_packet_destroy(packet);  // a refused packet stays ours
  return false;
}
