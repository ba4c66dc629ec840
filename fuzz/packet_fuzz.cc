// Fuzz target for the packet codec: any bytes are read as a received packet, whose texts must stay within
// their fields and survive being written and read again; the same bytes taken as a plain message must
// come back unchanged from the run-length code. A trap marks a broken invariant.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_util.h"
#include "net_packet.h"

static void read_received(const uint8_t *data, size_t size) {
  NetPacket msg;
  if (!net_packet_read(data, size, &msg)) return;
  check(msg.name.size() <= 15 && msg.title.size() <= 15 && msg.token.size() <= 15 && msg.type.size() <= 15);
  check(msg.payload.size() <= NET_PACKET_MAX - 64);
  std::string coded;
  check(net_packet_write(msg, &coded));
  NetPacket back;
  check(net_packet_read((const uint8_t *)coded.data(), coded.size(), &back));
  check(back.name == msg.name && back.title == msg.title && back.token == msg.token && back.type == msg.type &&
        back.payload == msg.payload);
}

static void round_trip(const uint8_t *data, size_t size) {
  std::string coded = net_packet_rle_encode(data, size);
  check(coded.size() <= size + size / 127 + 1);
  std::string plain;
  check(net_packet_rle_decode((const uint8_t *)coded.data(), coded.size(), size, &plain));
  check(plain == std::string((const char *)data, size));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  read_received(data, size);
  round_trip(data, size);
  return 0;
}
