// The wire form of a network message: a 64-byte header of four text fields and the payload, the whole
// run-length coded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The header at the front of every plain (decoded) message. Each field holds at most 15 bytes of text
// and is NUL-padded; a receiver never relies on the padding and reads at most 15 bytes of each.
struct NetPacketHeader {
  char name[16];   // the sender's name (a client's user uid; all NUL from a server)
  char title[16];  // the sender's display name (all NUL from a server)
  char token[16];  // a fixed word, never checked (all NUL from a server)
  char type[16];   // the message type
};
static_assert(sizeof(NetPacketHeader) == 64);
static_assert(offsetof(NetPacketHeader, name) == 0);
static_assert(offsetof(NetPacketHeader, title) == 16);
static_assert(offsetof(NetPacketHeader, token) == 32);
static_assert(offsetof(NetPacketHeader, type) == 48);

// One message as it travels: the four header texts and the payload bytes.
struct NetPacket {
  std::string name;
  std::string title;
  std::string token;
  std::string type;
  std::string payload;
};

// The largest plain message (header and payload) either side accepts. A run chunk of two bytes expands
// to 127, so without a bound a small datagram could demand gigabytes from the decoder.
const size_t NET_PACKET_MAX = 1 << 20;

// Run-length codes n bytes; never fails (the result is at most n + n / 127 + 1 bytes).
std::string net_packet_rle_encode(const uint8_t *bytes, size_t n);
// Decodes m run-length coded bytes into *out, tolerating a cut-off last chunk. Returns false (and
// leaves *out undefined) when the result would exceed `limit` bytes.
bool net_packet_rle_decode(const uint8_t *bytes, size_t m, size_t limit, std::string *out);
// Builds the header (texts cut at 15 bytes) and payload of msg and codes them into *out. Returns false
// (*out untouched) when the plain message would exceed NET_PACKET_MAX.
bool net_packet_write(const NetPacket &msg, std::string *out);
// Decodes a received packet into *out. Returns false when it decodes to less than a header or to more
// than `limit` bytes (header included), never holding more than that in memory.
bool net_packet_read(const uint8_t *bytes, size_t size, NetPacket *out, size_t limit = NET_PACKET_MAX);
