// The packet codec: run-length chunks, the header fields and the bounds on what a packet may claim.
#include "net_packet.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace {

std::string bytes(std::initializer_list<uint8_t> list) { return std::string(list.begin(), list.end()); }

std::string encode(const std::string &plain) {
  return net_packet_rle_encode((const uint8_t *)plain.data(), plain.size());
}

bool decode(const std::string &coded, std::string *out, size_t limit = NET_PACKET_MAX) {
  return net_packet_rle_decode((const uint8_t *)coded.data(), coded.size(), limit, out);
}

bool read(const std::string &coded, NetPacket *out) {
  return net_packet_read((const uint8_t *)coded.data(), coded.size(), out);
}

}  // namespace

TEST(NetPacket, encode_makes_runs_of_equal_bytes_and_literals_of_the_rest) {
  EXPECT_EQ(bytes({0x84, 'a', 0x01, 'b'}), encode("aaaab"));
  EXPECT_EQ(bytes({0x03, 'a', 'b', 'c'}), encode("abc"));
  EXPECT_EQ(bytes({0xff, 'b', 0xc9, 'b'}), encode(std::string(200, 'b')));
  // A literal stops before three equal bytes, but keeps two.
  EXPECT_EQ(bytes({0x02, 'a', 'b', 0x83, 'c', 0x01, 'd'}), encode("abcccd"));
  EXPECT_EQ(bytes({0x05, 'a', 'b', 'c', 'c', 'd'}), encode("abccd"));
  EXPECT_EQ("", encode(""));

  std::string distinct;
  for (int i = 0; i < 128; i++) distinct.push_back((char)i);
  std::string coded = encode(distinct);
  ASSERT_EQ(130u, coded.size());
  EXPECT_EQ(127, coded[0]);
  EXPECT_EQ(1, coded[128]);
  EXPECT_EQ(127, coded[129]);
}

TEST(NetPacket, decode_restores_what_encode_made) {
  std::string plain;
  for (int i = 0; i < 400; i++) plain.append(1 + i * 7 % 9, (char)(i * 31));  // literals and runs mixed
  plain += std::string(300, 'r') + "stuu";
  std::string out;
  ASSERT_TRUE(decode(encode(plain), &out));
  EXPECT_EQ(plain, out);
}

TEST(NetPacket, decode_of_a_cut_or_empty_chunk_never_reads_past_the_input) {
  std::string out;
  EXPECT_TRUE(decode(bytes({0x02, 'a', 'b', 0x85}), &out));  // a run without its byte
  EXPECT_EQ("ab", out);
  EXPECT_TRUE(decode(bytes({0x05, 'a', 'b'}), &out));  // a literal cut short
  EXPECT_EQ("ab", out);
  EXPECT_TRUE(decode(bytes({0x80, 'x', 0x00, 0x01, 'y'}), &out));  // an empty run, an empty literal
  EXPECT_EQ("y", out);
}

TEST(NetPacket, decode_refuses_output_beyond_its_limit) {
  std::string bomb;
  for (int i = 0; i < 100; i++) bomb += bytes({0xff, 'a'});
  std::string out;
  EXPECT_TRUE(decode(bomb, &out, 12700));
  EXPECT_EQ(12700u, out.size());
  EXPECT_FALSE(decode(bomb, &out, 12699));
  EXPECT_FALSE(decode(bytes({0x7f}) + std::string(127, 'x'), &out, 126));

  // A packet that decodes past the bound is dropped, and a message that big is never written.
  while (bomb.size() <= 2 * NET_PACKET_MAX / 127) bomb += bytes({0xff, 'a'});
  NetPacket msg;
  EXPECT_FALSE(read(bomb, &msg));
  std::string coded;
  EXPECT_FALSE(net_packet_write({"", "", "", "t", std::string(NET_PACKET_MAX - 63, 'x')}, &coded));
  EXPECT_TRUE(net_packet_write({"", "", "", "t", std::string(NET_PACKET_MAX - 64, 'x')}, &coded));
  EXPECT_TRUE(read(coded, &msg));
  EXPECT_EQ(NET_PACKET_MAX - 64, msg.payload.size());
}

TEST(NetPacket, read_drops_packets_shorter_than_the_header) {
  NetPacket msg;
  EXPECT_FALSE(read(encode(std::string(63, 'x')), &msg));
  EXPECT_TRUE(read(encode(std::string(64, 'x')), &msg));
  EXPECT_EQ("", msg.payload);
}

TEST(NetPacket, header_fields_carry_at_most_15_bytes_each_way) {
  std::string coded;
  ASSERT_TRUE(net_packet_write({"uid", "Title", "velum", "abcdefghijklmnopqrst", std::string("p\0q", 3)}, &coded));
  NetPacket msg;
  ASSERT_TRUE(read(coded, &msg));
  EXPECT_EQ("uid", msg.name);
  EXPECT_EQ("Title", msg.title);
  EXPECT_EQ("velum", msg.token);
  EXPECT_EQ("abcdefghijklmno", msg.type);
  EXPECT_EQ(std::string("p\0q", 3), msg.payload);

  // A foreign sender may fill all 16 bytes of a field: the reader stops at 15.
  std::string plain(64, 'z');
  plain[16] = '\0';
  ASSERT_TRUE(read(encode(plain + "data"), &msg));
  EXPECT_EQ(std::string(15, 'z'), msg.name);
  EXPECT_EQ("", msg.title);
  EXPECT_EQ(std::string(15, 'z'), msg.type);
  EXPECT_EQ("data", msg.payload);
}
