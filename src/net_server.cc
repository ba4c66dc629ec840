// Network server endpoint: the match server's side of the transport, with the join/rejoin/leave rules.
//
// What a client proves itself with, its sender id, is kept in its entry and never leaves the server:
// everything else (messages, events, logs) names the peer by the public id made from it.
#include "net_server.h"
#include "net_server_internal.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "kez_log.h"
#include "kez_utf8.h"
#include "net_log.h"
#include "net_packet.h"

// ENet's own bounds on what a peer may make it hold: one packet being put together, and every packet
// received but not yet handed on. A client's largest message codes to a small part of either.
static const size_t ENET_PACKET_MAX = 64 * 1024;
static const size_t ENET_WAITING_MAX = 256 * 1024;

void NetServer::open() {
  if (opened) return;
  ENetAddress address;
  address.host = ENET_HOST_ANY;
  address.port = port;
  // One slot more than the clients it serves, so that the one too many is told why it cannot stay.
  if (!net_enet_init() || !(enet_host = enet_host_create(&address, NET_PEERS_MAX + 1, 1, 0, 0)) ||
      enet_host_compress_with_range_coder(enet_host) != 0) {
    LOG_PRINTF("An error occurred while trying to create an ENet server host. (1)\n");
    if (enet_host) enet_host_destroy(enet_host);
    enet_host = nullptr;
    return;
  }
  enet_host->maximumPacketSize = ENET_PACKET_MAX;
  enet_host->maximumWaitingData = ENET_WAITING_MAX;
  port = enet_host->address.port;
  opened = 1;
}

void NetServer::loop() {
  if (!opened) return;
  queued_recount();
  ENetEvent event;
  while (enet_host_service(enet_host, &event, 0) > 0) handle_event(event, enet_time_get());
  const uint32_t now = enet_time_get();
  settle_waiting(now);
  expire(now);
  send_queue();
  enet_host_flush(enet_host);
  net_log_flush(now);
}

void NetServer::handle_event(const ENetEvent &event, uint32_t now) {
  switch (event.type) {
    case ENET_EVENT_TYPE_CONNECT: on_connect(event.peer, event.data); break;
    case ENET_EVENT_TYPE_DISCONNECT: on_disconnect(event.peer); break;
    case ENET_EVENT_TYPE_RECEIVE: on_receive(event.peer, event.packet, now); break;
    case ENET_EVENT_TYPE_NONE: break;
  }
}

int NetServer::count_named(const std::string &peer_name) {
  int count = 0;
  for (auto &peer : peers) count += peer->name == peer_name;
  return count;
}

// Milliseconds from then to now on ENet's wrapping clock; 0 when then is not before now.
static uint32_t _net_server_since(uint32_t now, uint32_t then) {
  const int32_t d = (int32_t)(now - then);
  return d > 0 ? (uint32_t)d : 0;
}

// The IPv4 address of a peer: what the connections of one source are counted by.
static std::string _net_server_host(const ENetPeer *peer) {
  char host[64] = "?";
  enet_address_get_host_ip(&peer->address, host, sizeof host);
  return host;
}

// The address and port of a peer, for the operator's log.
static std::string _net_server_address(const ENetPeer *peer) {
  return _net_server_host(peer) + ":" + std::to_string(peer->address.port);
}

void NetServer::on_connect(ENetPeer *peer, uint32_t data) {
  const uint32_t now = enet_time_get();
  NetPeer *entry = add(peer, now);
  std::string why;             // for the operator; empty when the connection is let in
  const char *told = nullptr;  // for the peer; a game of another version cannot read a reason
  const size_t waiting = waiting_from(entry->source);
  if (data != NET_PROTOCOL_VERSION) {
    why = "it speaks protocol v" + std::to_string(data) + ", this server v" + std::to_string(NET_PROTOCOL_VERSION);
  } else if (peers.size() > NET_PEERS_MAX) {
    why = "the server is full (" + std::to_string(peers.size() - 1) + " connections)";
    told = "The server is full.";
  } else if (waiting > NET_WAITING_PER_ADDRESS) {
    why = std::to_string(waiting - 1) + " connections of that address have not joined";
    told = "Too many games of your address are joining at once. Try again in a moment.";
  }
  if (why.empty()) {
    entry->active = 1;
    enet_peer_throttle_configure(peer, 5000, 0, 0);
    return;
  }
  if (net_log_allow(entry->source, now))
    LOG_PRINTF("refused a connection from %s: %s", _net_server_address(peer).c_str(), why.c_str());
  let_go(entry, told, now);
}

// Every connection gets an entry, inactive until it is let in, so that the slot it holds is timed.
NetPeer *NetServer::add(ENetPeer *peer, uint32_t now) {
  auto entry = std::make_unique<NetPeer>();
  entry->enet_peer = peer;
  entry->since = now;
  entry->source = _net_server_host(peer);
  peer->data = entry.get();
  peers.push_back(std::move(entry));
  return peers.back().get();
}

// The connections of the address that have not joined, also those being let go.
size_t NetServer::waiting_from(const std::string &source) {
  size_t count = 0;
  for (auto &peer : peers) count += !peer->joined && peer->source == source;
  return count;
}

// Lets a connection go: told why (unless it cannot read a reason), then disconnected once what it
// was told has arrived, and cut by expire when that takes too long. While one connection of an
// address is being let go, the next is cut at once, so that refusals cannot fill the slots.
void NetServer::let_go(NetPeer *entry, const char *why, uint32_t now) {
  for (auto &peer : peers) {
    if (peer.get() != entry && !peer->active && !peer->joined && peer->source == entry->source) return cut(entry);
  }
  entry->active = 0;
  entry->since = now;
  std::string bytes;
  if (why && net_packet_write({"", "", "", "refused", why}, &bytes))
    net_enet_send(entry->enet_peer, bytes, NET_RELIABLE);
  if (why) {
    enet_peer_disconnect_later(entry->enet_peer, NET_PROTOCOL_VERSION);
  } else {
    enet_peer_disconnect(entry->enet_peer, NET_PROTOCOL_VERSION);
  }
}

// Drops a connection at once, without waiting for the other side and without a "leave": it never
// joined, or its seat goes to a new connection.
void NetServer::cut(NetPeer *entry) {
  ENetPeer *peer = entry->enet_peer;
  remove(entry);
  enet_peer_disconnect_now(peer, NET_PROTOCOL_VERSION);
}

// A connection that has not joined in time is let go; one let go that has not gone in time is cut.
void NetServer::expire(uint32_t now) {
  std::vector<NetPeer *> due;  // cutting removes entries from the list
  for (auto &peer : peers) {
    if (!peer->joined && _net_server_since(now, peer->since) >= NET_JOIN_WAIT_MS) due.push_back(peer.get());
  }
  for (NetPeer *entry : due) {
    if (!entry->active) {
      cut(entry);
      continue;
    }
    if (net_log_allow(entry->source, now))
      LOG_PRINTF("let go a connection from %s: it did not join within %u s",
                 _net_server_address(entry->enet_peer).c_str(), (unsigned)(NET_JOIN_WAIT_MS / 1000));
    entry->name.clear();  // what it registered is no name of anybody's
    let_go(entry, "You did not join in time.", now);
  }
}

// Queues a message or event of the entry's, marked with its address for the log's budget. It carries
// this entry's shown name: anonymous senders of one address share their peer name.
void NetServer::report(const NetPeer *entry, const std::string &type, const std::string &payload) {
  push_event(entry->name, type, payload);
  incoming.back().info = entry->info;
  incoming.back().source = entry->source;
}

void NetServer::remove(NetPeer *entry) {
  if (entry->enet_peer) entry->enet_peer->data = nullptr;
  for (auto it = peers.begin(); it != peers.end(); ++it) {
    if (it->get() == entry) {
      peers.erase(it);
      return;
    }
  }
}

void NetServer::on_disconnect(ENetPeer *peer) {
  NetPeer *entry = (NetPeer *)peer->data;
  if (!entry) return;  // cut, or replaced by a new connection of its id
  if (entry->joined) report(entry, "leave", "");
  remove(entry);
}

// A peer being let go can still deliver packets while its disconnect is under way; a packet that
// would decode past what a client may send is dropped while it is decoded.
void NetServer::on_receive(ENetPeer *peer, ENetPacket *packet, uint32_t now) {
  NetPeer *entry = (NetPeer *)peer->data;
  NetPacket msg;
  if (entry && entry->active) {
    if (net_packet_read(packet->data, packet->dataLength, &msg, sizeof(NetPacketHeader) + NET_CLIENT_PAYLOAD_MAX)) {
      on_message(entry, msg, now);
    } else {
      const std::string who = entry->name.empty() ? _net_server_address(peer) : entry->name;
      if (net_log_allow(entry->source, now))
        LOG_PRINTF("dropped a packet of %zu bytes from %s: no message, or one over %zu bytes", packet->dataLength,
                   log_escape(who, 32).c_str(), NET_CLIENT_PAYLOAD_MAX);
    }
  }
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

void NetServer::on_message(NetPeer *entry, const NetPacket &msg, uint32_t now) {
  if (entry->id.empty() && !msg.name.empty()) {
    entry->id = msg.name;
    entry->title = msg.title;
    entry->name = msg.name[0] == '*' ? anonymous_name(entry->enet_peer) : net_public_id(msg.name);
  }
  if (entry->id.empty()) return;  // nobody to register yet
  if (_net_server_own_type(msg.type)) {
    if (net_log_allow(entry->source, now))
      LOG_PRINTF("dropped a \"%s\" message from %s: only the server reports those", log_escape(msg.type, 16).c_str(),
                 log_escape(entry->name, 64).c_str());
  } else if (msg.type == "disconnect") {
    enet_peer_disconnect(entry->enet_peer, NET_PROTOCOL_VERSION);
  } else if (msg.name[0] == '*' && !entry->joined) {  // an anonymous one-shot sender never joins
    entry->name = anonymous_name(entry->enet_peer);
    entry->info = net_name_clean(entry->title);  // what it calls itself, shown as a player's name is
    queue(entry, msg.type, msg.payload, now);
  } else if (!entry->title.empty() && msg.name == entry->id && msg.title == entry->title) {
    if (!entry->joined && !entry->waiting_since) {
      entry->waiting_since = now ? now : 1;  // 0 means not waiting
      settle(entry, now);
    }
    if (entry->joined) queue(entry, msg.type, msg.payload, now);  // a waiting peer's messages are dropped
  }
}

// Another live, joined entry registered with the same sender id.
NetPeer *NetServer::holder_of(const NetPeer *entry) {
  for (auto &peer : peers) {
    if (peer.get() != entry && peer->active && peer->joined && peer->id == entry->id) return peer.get();
  }
  return nullptr;
}

// A registered entry joins unless a joined one holds its id: then it takes that one's place once the
// old connection has been silent long enough to be dead, and is refused when it still answers.
void NetServer::settle(NetPeer *entry, uint32_t now) {
  NetPeer *holder = holder_of(entry);
  if (!holder) return join(entry, false);
  if (_net_server_since(now, holder->enet_peer->lastReceiveTime) >= NET_SILENT_MS) {
    replace(holder, entry);
    return join(entry, true);
  }
  if (_net_server_since(now, entry->waiting_since) >= NET_SILENT_MS) refuse(entry, holder);
}

void NetServer::settle_waiting(uint32_t now) {
  std::vector<NetPeer *> waiting;  // settling may remove entries from the list
  for (auto &peer : peers) {
    if (peer->active && !peer->joined && peer->waiting_since) waiting.push_back(peer.get());
  }
  for (NetPeer *entry : waiting) settle(entry, now);
}

void NetServer::join(NetPeer *entry, bool again) {
  entry->joined = 1;
  entry->waiting_since = 0;
  entry->info = unique_name(entry);
  report(entry, again ? "rejoin" : "join", "");
}

// The old connection of a rejoining id is dropped at once and silently: it is dead, and its seat
// goes to the new one.
void NetServer::replace(NetPeer *old, const NetPeer *entry) {
  if (net_log_allow(entry->source, enet_time_get()))
    LOG_PRINTF("%s joined again from %s: its silent connection from %s is closed", log_escape(old->name, 32).c_str(),
               _net_server_address(entry->enet_peer).c_str(), _net_server_address(old->enet_peer).c_str());
  cut(old);
}

// A second connection with the id of a joined player who still answers is told why and let go. It
// stays listed until its disconnect completes, so it must not count as a name.
void NetServer::refuse(NetPeer *entry, const NetPeer *holder) {
  const uint32_t now = enet_time_get();
  if (net_log_allow(entry->source, now))
    LOG_PRINTF("refused a second connection as %s from %s: that id is in use from %s",
               log_escape(entry->name, 32).c_str(), _net_server_address(entry->enet_peer).c_str(),
               _net_server_address(holder->enet_peer).c_str());
  entry->waiting_since = 0;
  entry->name.clear();
  entry->info.clear();
  let_go(entry, "Another game with your id is connected.", now);
}

// Queues a message of the peer unless what it already has waiting would pass its share.
void NetServer::queue(NetPeer *entry, const std::string &type, const std::string &payload, uint32_t now) {
  const size_t cost = NET_QUEUED_OVERHEAD + type.size() + payload.size();
  if (entry->queued + cost > NET_PEER_QUEUED_MAX) {
    if (net_log_allow(entry->source, now))
      LOG_PRINTF("dropped a \"%s\" message from %s: it has %zu bytes of messages waiting", log_escape(type, 16).c_str(),
                 log_escape(entry->name, 32).c_str(), entry->queued);
    return;
  }
  entry->queued += cost;
  report(entry, type, payload);
}

// What each peer still has waiting, from the messages the game has not taken yet.
void NetServer::queued_recount() {
  for (auto &peer : peers) peer->queued = 0;
  for (const NetMsg &msg : incoming) {
    for (auto &peer : peers) {
      if (peer->name == msg.peer) peer->queued += NET_QUEUED_OVERHEAD + msg.type.size() + msg.data.size();
    }
  }
}

bool NetServer::name_shown(const NetPeer *entry, const std::string &shown) {
  for (auto &peer : peers) {
    if (peer.get() != entry && peer->joined && peer->info == shown) return true;
  }
  return false;
}

// Whether the well-formed character of `length` bytes at text[i] may stand in a shown name: no
// control character (C0, DEL or C1), no '&' that markup would read as an entity and no stray '>'.
static bool _net_name_char_ok(const std::string &text, size_t i, size_t length) {
  const unsigned char c = (unsigned char)text[i];
  if (length == 1) return c >= 0x20 && c != 0x7f && c != '&' && c != '>';
  return !(length == 2 && c == 0xC2 && (unsigned char)text[i + 1] < 0xA0);
}

// Open to the tests: the name a server shows for a title: well-formed
// UTF-8 without control characters and without markup (tags, '>' and '&' are left out), spaces
// squeezed and trimmed, at most NET_NAME_MAX bytes; "Player" when nothing is left.
std::string net_name_clean(const std::string &title) {
  std::string out;
  bool space = false;  // a space is owed before the next character
  for (size_t i = 0; i < title.size();) {
    if (title[i] == '<') {  // a tag goes whole, up to its '>' or the end
      const size_t close = title.find('>', i);
      i = close == std::string::npos ? title.size() : close + 1;
      continue;
    }
    const size_t length = utf8_char_length(&title[i], title.size() - i);
    if (!length || !_net_name_char_ok(title, i, length)) {
      i += length ? length : 1;
      continue;
    }
    if (title[i] == ' ') {
      space = !out.empty();
    } else {
      if (out.size() + space + length > NET_NAME_MAX) break;
      if (space) out += ' ';
      out.append(title, i, length);
      space = false;
    }
    i += length;
  }
  return out.empty() ? "Player" : out;
}

// Open to the tests: the name with " <k>" after it, its front cut (at
// a character's start) to keep within NET_NAME_MAX.
std::string net_name_numbered(const std::string &name, int k) {
  const std::string suffix = " " + std::to_string(k);
  std::string front = name;
  while (!front.empty() && front.size() + suffix.size() > NET_NAME_MAX) {
    size_t last = front.size() - 1;  // the start of the last character
    while (last > 0 && ((unsigned char)front[last] & 0xC0) == 0x80) last--;
    front.resize(last);
  }
  while (!front.empty() && front.back() == ' ') front.pop_back();
  return front + suffix;
}

std::string NetServer::unique_name(const NetPeer *entry) {
  const std::string cleaned = net_name_clean(entry->title);
  std::string shown = cleaned;
  for (int k = 2; name_shown(entry, shown); k++) shown = net_name_numbered(cleaned, k);
  return shown;
}

// What the transport refused of one peer's messages in one pass: a state copy to a peer on its way
// out is thousands of them, and the log gets one line for all.
struct NetRefusal {
  const NetPeer *peer;
  size_t count;
  std::string first;  // the type of the first one refused
};

static void _net_server_refused(std::vector<NetRefusal> *refused, const NetPeer *peer, const std::string &type) {
  for (NetRefusal &r : *refused) {
    if (r.peer == peer) {
      r.count++;
      return;
    }
  }
  refused->push_back({peer, 1, type});
}

// Each message is coded once, whatever the number of its recipients.
void NetServer::send_queue() {
  std::vector<NetRefusal> refused;
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
      if (!net_enet_send(peer->enet_peer, bytes, msg.flags)) _net_server_refused(&refused, peer.get(), msg.type);
    }
  }
  outgoing.clear();
  for (const NetRefusal &r : refused) {
    if (net_log_allow(r.peer->source, enet_time_get()))
      LOG_PRINTF("%zu messages to %s refused by the transport (the first \"%s\"), dropped", r.count,
                 r.peer->name.c_str(), log_escape(r.first, 16).c_str());
  }
}
