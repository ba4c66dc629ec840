// Tests of base64: the RFC 4648 vectors, round trips of every short length and where decoding stops.
#include "kez_base64.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string encode(const std::string &bytes) { return base64_encode(bytes.data(), bytes.size()); }

TEST(Base64, encodes_rfc4648_vectors_with_padding) {
  EXPECT_EQ(encode(""), "");
  EXPECT_EQ(encode("f"), "Zg==");
  EXPECT_EQ(encode("fo"), "Zm8=");
  EXPECT_EQ(encode("foo"), "Zm9v");
  EXPECT_EQ(encode("foob"), "Zm9vYg==");
  EXPECT_EQ(encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(encode(std::string("\xfb\xff\xbf", 3)), "+/+/");
}

TEST(Base64, round_trips_every_length_up_to_64_with_and_without_padding) {
  for (size_t n = 0; n <= 64; n++) {
    std::string bytes;
    for (size_t i = 0; i < n; i++) bytes += char(i * 97 + n * 13);  // every byte value shows up somewhere
    std::string text = encode(bytes);
    ASSERT_EQ(text.size(), (n + 2) / 3 * 4);
    EXPECT_EQ(base64_decode(text), bytes) << "length " << n;
    std::string unpadded = text.substr(0, text.find('='));
    EXPECT_EQ(base64_decode(unpadded), bytes) << "length " << n << " unpadded";
  }
}

TEST(Base64, decoding_stops_silently_at_the_first_character_outside_the_alphabet) {
  EXPECT_EQ(base64_decode("Zm9v\nYmFy"), "foo");
  EXPECT_EQ(base64_decode("Zm9v YmFy"), "foo");
  EXPECT_EQ(base64_decode("Zm8=Zm9v"), "fo");
  EXPECT_EQ(base64_decode("Zm9v-_"), "foo");
  EXPECT_EQ(base64_decode(std::string("Zm9v\xc3YmFy")), "foo");
  EXPECT_EQ(base64_decode("=Zm9v"), "");
}

TEST(Base64, a_single_leftover_character_gives_nothing) {
  EXPECT_EQ(base64_decode("Z"), "");
  EXPECT_EQ(base64_decode("Zm9vY"), "foo");
}

}  // namespace
