// Fuzz target for the items_find query language over the real ModsAPI: the first bytes lay out a
// world (items with any flags, owners, teams and targets, in range or not), the rest is the query.
// Whatever the query, each taken item appears once, in ascending order, and only listed items
// (in use and objects) are taken; and a one-word query and the same word negated split the listed
// items between them, unless the word makes no term, when both take nothing. A trap marks a broken
// invariant.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "fuzz_util.h"
#include "game.h"
#include "mods_api.h"
#include "vantor_world.h"

constexpr int ITEMS_MAX = 40;   // items laid out from the input
constexpr size_t ITEM_BYTES = 5;

static ModsAPI *_fuzz_context() {
  static Game *game;
  static ModsAPI *api;
  if (!api) {
    game = new Game();
    game->headless = 1;
    vantor_world_reset(&game->data.vantor);
    api = new ModsAPI(game);
  }
  return api;
}

// Lays out items 1 to count from the bytes (5 each) after a count byte; returns the bytes used.
static size_t _fuzz_world(World *world, const uint8_t *data, size_t size) {
  memset(&world->items[1], 0, ITEMS_MAX * sizeof(Item));
  if (size == 0) return 0;
  int count = data[0] % (ITEMS_MAX + 1);
  size_t used = 1;
  for (int n = 1; n <= count && used + ITEM_BYTES <= size; n++, used += ITEM_BYTES) {
    const uint8_t *b = data + used;
    Item &item = world->items[n];
    item.n = (uint32_t)n;
    item.in_use = b[0] & 1;
    item.is_object = (b[0] >> 1) & 1;
    item.has_user = (b[0] >> 2) & 1;
    item.has_planet = (b[0] >> 3) & 1;
    item.has_fleet = (b[0] >> 4) & 1;
    item.has_team = (b[0] >> 5) & 1;
    item.user_neutral = (b[0] >> 6) & 1;
    item.owner_n = (int8_t)b[1];  // negative and past the table as well
    item.user_team_n = b[2] % 8;
    item.fleet_target = (uint32_t)(int8_t)b[3];
    item.user_reveal = b[4] & 1;
  }
  return used;
}

// The taken items, checked to be ascending and listed.
static std::set<int> _fuzz_find(ModsAPI *api, const std::string &query) {
  const World &world = api->game->data.vantor;
  var found = api->items_find(query);
  std::set<int> taken;
  int last = 0;
  for (int i = 0; i < found.len(); i++) {
    int n = (int)found[i].number();
    check(n > last && n < VANTOR_ITEMS);
    check(world.items[n].in_use == 1 && world.items[n].is_object);
    taken.insert(n);
    last = n;
  }
  return taken;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  ModsAPI *api = _fuzz_context();
  World *world = &api->game->data.vantor;
  size_t used = _fuzz_world(world, data, size);
  std::string query((const char *)data + used, size - used);
  std::set<int> taken = _fuzz_find(api, query);
  if (query.find(' ') != std::string::npos || query.empty() || query[0] == '-') return 0;
  std::set<int> rest = _fuzz_find(api, "-" + query);
  if (taken.empty() && rest.empty()) return 0;  // the word makes no term
  std::set<int> listed;
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    if (world->items[n].in_use == 1 && world->items[n].is_object) listed.insert(n);
  }
  for (int n : taken) check(!rest.count(n));
  check(taken.size() + rest.size() == listed.size());
  return 0;
}
