// Tests of the MD5 digest: the RFC 1321 vectors, input split across calls, unaligned blocks and the
// 64-bit bit count.
#include "kez_md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string hex(const uint8_t digest[16]) {
  std::string out;
  char two[3];
  for (int i = 0; i < 16; i++) {
    snprintf(two, sizeof two, "%02x", digest[i]);
    out += two;
  }
  return out;
}

std::string md5_of_pieces(const std::string &text, size_t piece) {
  Md5Ctx ctx = MD5_CTX_INITIAL;
  for (size_t i = 0; i < text.size(); i += piece) md5_update(&ctx, text.data() + i, std::min(piece, text.size() - i));
  uint8_t digest[16];
  md5_final(&ctx, digest);
  return hex(digest);
}

std::string md5_of(const std::string &text) { return md5_of_pieces(text, text.size() + 1); }

// Bytes that differ at every position, so a piece placed at the wrong offset changes the digest.
std::string sample(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; i++) s += char(i * 37 + 11);
  return s;
}

TEST(Md5, digests_match_rfc1321_test_suite) {
  EXPECT_EQ(md5_of(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(md5_of("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(md5_of("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(md5_of("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(md5_of("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(md5_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  std::string eighty;
  for (int i = 0; i < 8; i++) eighty += "1234567890";
  EXPECT_EQ(md5_of(eighty), "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, padding_boundaries_give_the_reference_digests) {
  // 55 bytes leave room for the length in the last block, 56 need a block of their own.
  EXPECT_EQ(md5_of(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(md5_of(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(md5_of(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
}

TEST(Md5, input_split_at_every_offset_gives_the_same_digest) {
  std::string text = sample(200);
  std::string whole = md5_of(text);
  for (size_t split = 0; split <= text.size(); split++) {
    Md5Ctx ctx = MD5_CTX_INITIAL;
    md5_update(&ctx, text.data(), split);
    md5_update(&ctx, text.data() + split, text.size() - split);
    uint8_t digest[16];
    md5_final(&ctx, digest);
    ASSERT_EQ(hex(digest), whole) << "split at " << split;
  }
  for (size_t piece : {1, 63, 64, 65}) EXPECT_EQ(md5_of_pieces(text, piece), whole) << "pieces of " << piece;
}

TEST(Md5, transform_reads_an_unaligned_block_like_an_aligned_one) {
  alignas(8) uint8_t storage[72];
  std::string block = sample(64);
  memcpy(storage, block.data(), 64);
  uint32_t aligned[4] = {1, 2, 3, 4}, unaligned[4] = {1, 2, 3, 4};
  md5_transform(aligned, storage);
  memcpy(storage + 3, block.data(), 64);
  md5_transform(unaligned, storage + 3);
  EXPECT_EQ(memcmp(aligned, unaligned, sizeof aligned), 0);
}

TEST(Md5, bit_count_carries_into_the_high_word) {
  Md5Ctx ctx = MD5_CTX_INITIAL;
  ctx.bits[0] = 0xFFFFFE00u;  // a whole number of blocks short of the wrap
  std::string block = sample(128);
  md5_update(&ctx, block.data(), block.size());
  EXPECT_EQ(ctx.bits[0], 0x200u);
  EXPECT_EQ(ctx.bits[1], 1u);
}

}  // namespace
