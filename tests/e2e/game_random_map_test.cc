// The real executable: a random map differs from one launch to the next.
#include <gtest/gtest.h>

#include <string>

#include "e2e_process.h"

static const int WAIT_MS = 30000;

namespace {

// The classic mode as shipped, started headless: it prints the planets of the map it made and quits.
const char CLASSIC_MAP_MOD[] =
    "require('mod_classic')\n"
    "local classic_init = _init\n"
    "function _init()\n"
    "  classic_init()\n"
    "  local map = {}\n"
    "  for _, p in ipairs(w2_items_find('planet')) do\n"
    "    map[#map + 1] = string.format('%.1f,%.1f', w2_item_get(p, 'position_x'), w2_item_get(p, 'position_y'))\n"
    "  end\n"
    "  print('map: ' .. table.concat(map, ' ') .. ' :end')\n"
    "  w2_param_set('state', 'quit')\n"
    "end\n";

// The "map: ... :end" line of a finished run's output; empty when there is none.
std::string printed_map(const GameProcess &p) {
  const std::string out = file_text(p.output);
  const size_t from = out.find("map: "), to = out.find(" :end");
  return from == std::string::npos || to == std::string::npos ? std::string() : out.substr(from, to - from);
}

class RandomMap : public ModFolderTest {};

}  // namespace

TEST_F(RandomMap, two_launches_of_the_classic_mode_make_two_different_maps) {
  const std::string path = mod("classic_map.lua", CLASSIC_MAP_MOD);
  std::string maps[2];
  for (std::string &map : maps) {
    GameProcess p = game_start({"-headless", "-mod", path});
    ASSERT_EQ(game_wait(p, WAIT_MS), 0) << file_text(p.output);
    map = printed_map(p);
    ASSERT_GT(map.size(), 20u) << file_text(p.output);
  }
  EXPECT_NE(maps[0], maps[1]);
}
