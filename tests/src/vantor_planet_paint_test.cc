// Planet looks: the named presets, the sphere meshes and lit spheres read back from a GL window.
#include "vantor_planet_paint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "vantor_paint_gl.h"
#include "vantor_planet_paint_internal.h"
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

TEST(VantorPlanetPaint, meshes_face_outwards_without_pole_slivers_and_detail_follows_screen_size) {
  planet_paint_init();
  EXPECT_EQ(_planet_mesh(0)->triangles, 80);    // 50 faces: 5 bands of 10 segments
  EXPECT_EQ(_planet_mesh(15)->triangles, 224);  // 128 faces: 8 bands of 16 segments
  for (int level = 0; level < PLANET_MESH_LEVELS; level++) {
    const PlanetMesh &mesh = *_planet_mesh(level);
    ASSERT_EQ(mesh.xyz.size(), 9u * mesh.triangles);
    for (int t = 0; t < mesh.triangles; t++) {
      const float *p = &mesh.xyz[9 * t];
      const float ux = p[3] - p[0], uy = p[4] - p[1], uz = p[5] - p[2];
      const float vx = p[6] - p[0], vy = p[7] - p[1], vz = p[8] - p[2];
      const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
      const float outward = nx * (p[0] + p[3] + p[6]) + ny * (p[1] + p[4] + p[7]) + nz * (p[2] + p[5] + p[8]);
      ASSERT_GT(outward, 1e-6f) << "level " << level << " triangle " << t;
    }
  }
  const float sizes[][2] = {{1024, 2}, {8191, 15}, {1e30f, 15}, {-5, 0}, {NAN, 0}};
  for (const auto &s : sizes) EXPECT_EQ(_planet_mesh_level(s[0]), (int)s[1]) << s[0];
}

namespace {

// Planets painted through an identity matrix (world units are window pixels) with the game's depth range.
class PlanetSpheres : public PaintGlTest {
 protected:
  void SetUp() override {
    PaintGlTest::SetUp();
    gfx_state->z_near = -1000;
    gfx_state->z_far = 1000;
    frame();
    solid("tex", 0xFFFFFF);
    world.reset(new World());
    vantor_world_reset(world.get());
  }
  Item *planet(float x, float y, uint32_t flags, uint32_t colour) {
    Item *item = vantor_item_alloc(world.get());
    item->has_planet = 1;
    item->position_x = x;
    item->position_y = y;
    item->planet_r = 40;
    item->planet_style[0] = {colour, "tex", 0, flags, 1.0f};
    return item;
  }
  void fleet(float x, float y, uint32_t colour, uint32_t ships) {
    Item *item = vantor_item_alloc(world.get());
    item->has_fleet = 1;
    item->position_x = x;
    item->position_y = y;
    item->render_color = colour;
    item->fleet_live = ships;
  }
  std::unique_ptr<World> world;
};

}  // namespace

TEST_F(PlanetSpheres, an_ambient_lit_sphere_fills_its_radius_and_a_style_without_flags_is_not_drawn) {
  planet(120, 160, PLANET_AMBIENT | PLANET_BLEND_NORMAL, 0x00FF00);
  planet(360, 160, 0, 0xFF0000);
  planets_paint_spheres(world.get(), 1);
  expect_colour(pixel(120, 160), 0x00FF00, "centre");
  expect_colour(pixel(120 + 38, 160), 0x00FF00, "near the rim");
  expect_colour(pixel(120 + 44, 160), 0x000000, "beyond the rim");
  expect_colour(pixel(360, 160), 0x000000, "flags 0");
  GLboolean lighting = GL_TRUE;
  glGetBooleanv(GL_LIGHTING, &lighting);
  EXPECT_FALSE(lighting);
}

TEST_F(PlanetSpheres, only_the_four_fleets_that_pull_hardest_light_a_planet) {
  planet(240, 160, PLANET_FLEET_LIGHTS | PLANET_BLEND_NORMAL, 0xFFFFFF);
  fleet(440, 160, 0xFF0000, 80);
  planets_paint_spheres(world.get(), 1);
  EXPECT_GT(pixel(278, 160) >> 16, 60u) << "a lone fleet lights the planet's rim facing it";

  for (int i = 0; i < 4; i++) fleet(440, 150 + 5 * i, 0x00FF00, 800);
  fleet(240, 160, 0x0000FF, 0);  // an empty fleet right on the planet: 0 / 0, no light
  frame();
  planets_paint_spheres(world.get(), 1);
  EXPECT_EQ(pixel(278, 160) >> 16, 0u) << "the weakest fleet is left out";
  EXPECT_GT(pixel(278, 160) >> 8 & 0xFF, 60u);
  EXPECT_EQ(pixel(278, 160) & 0xFF, 0u);
}
