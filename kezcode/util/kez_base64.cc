// Base64 codec, standard alphabet.
#include "kez_base64.h"

#include <cstdint>

static const char BASE64_ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64_encode(const void *data, size_t count) {
  const uint8_t *in = static_cast<const uint8_t *>(data);
  std::string out;
  out.reserve((count + 2) / 3 * 4);
  for (size_t i = 0; i < count; i += 3) {
    size_t n = count - i < 3 ? count - i : 3;
    uint32_t group = uint32_t(in[i]) << 16;
    if (n > 1) group |= uint32_t(in[i + 1]) << 8;
    if (n > 2) group |= in[i + 2];
    for (size_t k = 0; k < 4; k++) out += k <= n ? BASE64_ALPHABET[(group >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

// The character's index in the alphabet, or -1 where decoding stops.
static int _base64_index(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::string base64_decode(const std::string &text) {
  std::string out;
  uint32_t group = 0;
  int taken = 0;
  for (unsigned char c : text) {
    int index = _base64_index(c);
    if (index < 0) break;
    group = group << 6 | uint32_t(index);
    if (++taken == 4) {
      out += char(group >> 16);
      out += char(group >> 8);
      out += char(group);
      group = 0;
      taken = 0;
    }
  }
  if (taken == 2) out += char(group >> 4);  // 12 bits: one byte and 4 zero bits
  if (taken == 3) {                         // 18 bits: two bytes and 2 zero bits
    out += char(group >> 10);
    out += char(group >> 2);
  }
  return out;
}
