// MD5 digest (RFC 1321).
#include "kez_md5.h"

#include <cstring>

static uint32_t _md5_rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// Little-endian words from bytes: the block needs no alignment and the host's byte order does not matter.
static uint32_t _md5_load_le(const uint8_t *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

static void _md5_store_le(uint8_t *p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// Per-step shift amounts and sine-derived constants of RFC 1321, round by round.
static const int MD5_SHIFT[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
static const uint32_t MD5_K[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

void md5_transform(uint32_t state[4], const uint8_t block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; i++) x[i] = _md5_load_le(block + 4 * i);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int i = 0; i < 64; i++) {
    int round = i / 16;
    uint32_t f;
    int g;
    if (round == 0) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (round == 1) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (round == 2) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    uint32_t next = b + _md5_rotl(a + f + MD5_K[i] + x[g], MD5_SHIFT[round][i % 4]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

void md5_update(Md5Ctx *ctx, const void *data, size_t count) {
  const uint8_t *in = static_cast<const uint8_t *>(data);
  size_t index = (ctx->bits[0] >> 3) & 63;
  uint32_t low_add = uint32_t(count << 3);
  ctx->bits[0] += low_add;
  if (ctx->bits[0] < low_add) ctx->bits[1]++;  // carry into the high word
  ctx->bits[1] += uint32_t(uint64_t(count) >> 29);

  size_t room = 64 - index;
  if (count < room) {
    if (count) memcpy(ctx->buffer + index, in, count);
    return;
  }
  memcpy(ctx->buffer + index, in, room);
  md5_transform(ctx->state, ctx->buffer);
  size_t done = room;
  for (; done + 64 <= count; done += 64) md5_transform(ctx->state, in + done);
  memcpy(ctx->buffer, in + done, count - done);
}

void md5_final(Md5Ctx *ctx, uint8_t digest[16]) {
  uint8_t length[8];
  _md5_store_le(length, ctx->bits[0]);
  _md5_store_le(length + 4, ctx->bits[1]);
  static const uint8_t PADDING[64] = {0x80};
  size_t index = (ctx->bits[0] >> 3) & 63;
  size_t pad = index < 56 ? 56 - index : 120 - index;
  md5_update(ctx, PADDING, pad);
  md5_update(ctx, length, 8);
  for (int i = 0; i < 4; i++) _md5_store_le(digest + 4 * i, ctx->state[i]);
}
