// MD5 digest (RFC 1321): the identity code hashes passwords and web tokens with it.
#pragma once

#include <cstddef>
#include <cstdint>

// One digest in progress. Start every digest from a copy of MD5_CTX_INITIAL.
struct Md5Ctx {
  uint32_t bits[2];    // message length in bits modulo 2^64, low word first
  uint32_t state[4];   // A, B, C, D
  uint8_t buffer[64];  // input not yet transformed
};

// The context of an empty message: bit count 0 and the four starting words of RFC 1321.
constexpr Md5Ctx MD5_CTX_INITIAL = {{0, 0}, {0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u}, {}};

// Compresses one 64-byte block, which may lie at any address, into `state`.
void md5_transform(uint32_t state[4], const uint8_t block[64]);
// Appends `count` bytes to the message.
void md5_update(Md5Ctx *ctx, const void *data, size_t count);
// Pads the message and writes its 16-byte digest; the context is spent afterwards.
void md5_final(Md5Ctx *ctx, uint8_t digest[16]);
