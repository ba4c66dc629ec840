// Fuzz target for the match client's sync handler: any bytes become a run of server messages ("A",
// "I", "S", "D", "R" and others, in any order and of any size) applied to the game's world as the
// client pump does, with simulation frames between them. Nothing may read or write outside the world,
// and the world must stay consistent: every item in use sits in its own slot, and every index the
// client maps to or copies into an item stays inside the item table. A trap marks a broken invariant.
//
// Input, repeated: a header byte h (type "AISDR" or another one by h % 6; bit 3 a record or map of
// exactly the expected size, else a 2-byte size follows; bit 4 pads with 1 bytes instead of 0; bit 5
// runs a frame afterwards), then the payload bytes, padded to the size when the input runs out.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_util.h"
#include "game.h"
#include "net.h"
#include "vantor_client.h"
#include "vantor_step.h"
#include "vantor_world.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  if (!freopen("/dev/null", "w", stdout)) abort();  // the reset is logged; the fuzzer reports on stderr
  game = new Game();
  game->headless = 1;  // no audio device: captures are shown without their sound
  return 0;
}

static bool in_table(int64_t n) { return n >= 0 && n < VANTOR_ITEMS; }

// Once per input, since a broken item stays broken until the next reset; kept out of the coverage
// feedback, which would otherwise spend its time on these loops.
__attribute__((noinline, no_sanitize("coverage"))) static void check_world(const World &w) {
  for (int r = 0; r < VANTOR_ITEMS; r++) check(in_table(w.client_map[r]));
  for (int i = 1; i < VANTOR_ITEMS; i++) {
    const Item &item = w.items[i];
    if (!item.in_use) continue;
    check(item.n == (uint32_t)i);
    check(in_table(item.owner_n) && in_table(item.fleet_target) && in_table(item.user_team_n) &&
          in_table(item.fleet_n) && in_table(item.server_n));
  }
}

static NetMsg next_message(const uint8_t *&p, const uint8_t *end, uint8_t h) {
  static const char *TYPES[] = {"A", "I", "S", "D", "R", "send"};
  NetMsg msg;
  msg.type = TYPES[h % 6];
  msg.flags = 0;
  size_t size = msg.type == "A" ? VANTOR_ITEMS : sizeof(Item);
  if (!(h & 8)) {
    size = 0;
    for (int i = 0; i < 2 && p < end; i++) size |= (size_t)*p++ << (8 * i);
  }
  const size_t take = (size_t)(end - p) < size ? (size_t)(end - p) : size;
  msg.data.assign((const char *)p, take);
  msg.data.resize(size, (h & 16) ? 1 : 0);
  p += take;
  return msg;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  World *world = &game->data.vantor;
  vantor_world_reset(world);
  const uint8_t *p = data, *end = data + size;
  while (p < end) {
    const uint8_t h = *p++;
    NetMsg msg = next_message(p, end, h);
    vantor_client_handle(world, &game->view, msg);
    if (h & 32) vantor_step(world, 1.0f / 60, true);
  }
  check_world(*world);
  return 0;
}
