// Match painting helpers: the colour-blind remap of team colours.
#include "vantor_paint.h"

#include <cstdint>
#include <map>

// Source colour -> palette colour, in the order colours were first seen since the last clear.
static std::map<uint32_t, uint32_t> remap_cache;
// Palette entries handed out (0..12).
static int remap_count;

void color_remap_clear() {
  remap_cache.clear();
  remap_count = 0;
}
