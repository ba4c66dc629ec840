// Planet looks: the named presets.
#include "vantor_planet_paint.h"

#include <gtest/gtest.h>

#include <memory>

#include "vantor_world.h"

TEST(VantorPlanetPaint, presets_fill_both_layers_and_unknown_names_look_like_the_default) {
  auto world = std::make_unique<World>();
  vantor_world_reset(world.get());
  Item *item = vantor_item_alloc(world.get());
  planet_style_preset(item->n, world.get(), 0x112233, 0x445566, "lava", "ring");
  EXPECT_EQ(0x112233u, item->planet_style[0].color);
  EXPECT_STREQ("planet-tex0", item->planet_style[0].texture);
  EXPECT_EQ(0xFFAA00u, item->planet_style[1].color);  // lava glows from a second sphere
  EXPECT_EQ(0xA09u, item->planet_style[1].flags);
  EXPECT_EQ(0u, item->planet_overlay[0].enabled);
  EXPECT_EQ(1u, item->planet_overlay[1].enabled);
  EXPECT_EQ(0x445566u, item->planet_overlay[1].color);
  EXPECT_STREQ("ring", item->planet_overlay[1].texture);
  planet_style_preset(item->n, world.get(), 0x112233, 0x445566, "no such look", nullptr);
  EXPECT_EQ(0x805u, item->planet_style[0].flags);
  EXPECT_EQ(0u, item->planet_style[1].flags);  // the lava core is gone
  EXPECT_STREQ("planet-aura", item->planet_overlay[1].texture);
  planet_style_preset(item->n, world.get(), 0, 0, "gas", nullptr);
  EXPECT_FLOAT_EQ(0.65f, item->planet_style[0].intensity);
  planet_style_preset(4096, world.get(), 0, 0, "gas", nullptr);         // outside the table: nothing
  planet_style_preset(item->n + 1, world.get(), 0, 0, "gas", nullptr);  // a free slot: nothing
  EXPECT_EQ(0u, world->items[item->n + 1].planet_style[0].flags);
}
