// Packet codec: the 64-byte message header and the byte-oriented run-length code around it.
#include "net_packet.h"

#include <cstring>

// A chunk carries at most 127 bytes: its control byte keeps bit 7 for "run".
static const size_t CHUNK_MAX = 127;
static const uint8_t RUN_BIT = 0x80;

// Length of the run of bytes equal to bytes[i] starting at i, at most CHUNK_MAX.
static size_t run_length(const uint8_t *bytes, size_t n, size_t i) {
  size_t count = 1;
  while (i + count < n && count < CHUNK_MAX && bytes[i + count] == bytes[i]) count++;
  return count;
}

// Length of a literal starting at i: it stops before three equal bytes that begin after its first.
static size_t literal_length(const uint8_t *bytes, size_t n, size_t i) {
  size_t count = 1;
  while (i + count < n && count < CHUNK_MAX) {
    size_t j = i + count;
    if (j + 2 < n && bytes[j] == bytes[j + 1] && bytes[j] == bytes[j + 2]) break;
    count++;
  }
  return count;
}

std::string net_packet_rle_encode(const uint8_t *bytes, size_t n) {
  std::string out;
  size_t i = 0;
  while (i < n) {
    if (i + 1 < n && bytes[i + 1] == bytes[i]) {
      size_t count = run_length(bytes, n, i);
      out.push_back((char)(count | RUN_BIT));
      out.push_back((char)bytes[i]);
      i += count;
    } else {
      size_t count = literal_length(bytes, n, i);
      out.push_back((char)count);
      out.append((const char *)bytes + i, count);
      i += count;
    }
  }
  return out;
}

bool net_packet_rle_decode(const uint8_t *bytes, size_t m, size_t limit, std::string *out) {
  out->clear();
  size_t i = 0;
  while (i < m) {
    uint8_t c = bytes[i];
    if (c & RUN_BIT) {
      if (i + 1 == m) break;  // a run cut off before its byte yields nothing
      size_t count = c & 0x7f;
      if (count > limit - out->size()) return false;  // the decoder must not trust the run count
      out->append(count, (char)bytes[i + 1]);
      i += 2;
    } else {
      i++;
      size_t count = c < m - i ? c : m - i;  // a literal cut off by the end yields what is there
      if (count > limit - out->size()) return false;
      out->append((const char *)bytes + i, count);
      i += count;
    }
  }
  return true;
}

// Copies at most 15 bytes of text into a 16-byte field that was zeroed before.
static void field_write(char *field, const std::string &text) {
  memcpy(field, text.data(), text.size() < 15 ? text.size() : 15);
}

// The text of a 16-byte field: up to its first NUL, never more than 15 bytes.
static std::string field_read(const char *field) { return std::string(field, strnlen(field, 15)); }

bool net_packet_write(const NetPacket &msg, std::string *out) {
  if (msg.payload.size() > NET_PACKET_MAX - sizeof(NetPacketHeader)) return false;
  NetPacketHeader header;
  memset(&header, 0, sizeof header);
  field_write(header.name, msg.name);
  field_write(header.title, msg.title);
  field_write(header.token, msg.token);
  field_write(header.type, msg.type);
  std::string plain((const char *)&header, sizeof header);
  plain += msg.payload;
  *out = net_packet_rle_encode((const uint8_t *)plain.data(), plain.size());
  return true;
}

bool net_packet_read(const uint8_t *bytes, size_t size, NetPacket *out, size_t limit) {
  std::string plain;
  if (!net_packet_rle_decode(bytes, size, limit, &plain)) return false;
  if (plain.size() < sizeof(NetPacketHeader)) return false;
  NetPacketHeader header;
  memcpy(&header, plain.data(), sizeof header);
  out->name = field_read(header.name);
  out->title = field_read(header.title);
  out->token = field_read(header.token);
  out->type = field_read(header.type);
  out->payload = plain.substr(sizeof header);
  return true;
}
