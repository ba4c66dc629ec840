// Planet looks: the named style presets that fill a planet's sphere and overlay layers, and the
// painting of planets from them.
#include "vantor_planet_paint.h"

#include <GL/glew.h>

#include <cmath>
#include <cstring>

#include "kez_gfx-tex.h"
#include "vantor_batch.h"
#include "vantor_paint.h"
#include "vantor_world.h"

// Triangles of a planet's flat disc.
static const int DISC_SEGMENTS = 32;

// One named look: the first sphere in the caller's colour, and an optional fixed second sphere.
struct PlanetPreset {
  const char *name;
  const char *texture;
  uint32_t flags;
  float intensity;
  PlanetStyleSphere second;  // flags 0: none
};

static const PlanetPreset planet_presets[] = {
    {"neutral", "planet-tex1", 0x1805, 1.0f, {}},
    {"gas", "planet-tex2", 0xC09, 0.65f, {}},
    {"ice", "planet-tex3", 0xE09, 0.65f, {}},
    {"lava", "planet-tex0", 0x805, 1.0f, {0xFFAA00, "planet-tex4", 0, 0xA09, 1.0f}},
    {"default", "planet-tex0", 0x805, 1.0f, {}},
};

static const PlanetPreset &preset_find(const char *name) {
  const int count = sizeof(planet_presets) / sizeof(planet_presets[0]);
  for (int i = 0; i < count - 1; i++) {
    if (name && strcmp(name, planet_presets[i].name) == 0) return planet_presets[i];
  }
  return planet_presets[count - 1];
}

void planet_style_preset(int n, World *world, uint32_t color, uint32_t aura_color, const char *name, const char *aura) {
  Item *item = vantor_item_live(world, n);
  if (!item) return;
  const PlanetPreset &preset = preset_find(name);
  memset(item->planet_style, 0, sizeof(item->planet_style));
  memset(item->planet_overlay, 0, sizeof(item->planet_overlay));
  PlanetStyleSphere &sphere = item->planet_style[0];
  sphere.color = color;
  vantor_text_copy(sphere.texture, sizeof(sphere.texture), preset.texture);
  sphere.flags = preset.flags;
  sphere.intensity = preset.intensity;
  item->planet_style[1] = preset.second;
  PlanetStyleOverlay &overlay = item->planet_overlay[1];
  overlay.color = aura_color;
  vantor_text_copy(overlay.texture, sizeof(overlay.texture), aura ? aura : "planet-aura");
  overlay.enabled = 1;
}

// The image handle of a style's texture name (a mod's record need not end its text).
static int style_sprite(const char (&texture)[16]) {
  char name[sizeof(texture)];
  vantor_text_copy(name, sizeof(name), texture);
  return gfx_img_load(name);
}

// One disc of radius r round (x, y) through the batch, showing the front half of the surface map.
static void disc_paint(int sprite, uint32_t colour, float x, float y, float r) {
  uint32_t gl;
  float uv[4];
  if (!sprite_batch_uv(sprite, &gl, uv)) return;
  const uint8_t red = colour >> 16 & 0xFF, green = colour >> 8 & 0xFF, blue = colour & 0xFF;
  auto vertex = [&](float dx, float dy) {
    return TriVertex{uv[0] + (uv[2] - uv[0]) * (0.5f + 0.25f * dx),
                     uv[1] + (uv[3] - uv[1]) * (0.5f + 0.5f * dy),
                     x + r * dx,
                     y + r * dy,
                     red,
                     green,
                     blue,
                     255};
  };
  const TriVertex centre = vertex(0, 0);
  for (int i = 0; i < DISC_SEGMENTS; i++) {
    const float a0 = 2 * VANTOR_PI * i / DISC_SEGMENTS, a1 = 2 * VANTOR_PI * (i + 1) / DISC_SEGMENTS;
    tri_batch_add({{centre, vertex(std::cos(a0), std::sin(a0)), vertex(std::cos(a1), std::sin(a1))}}, gl,
                  GL_ONE_MINUS_SRC_ALPHA);
  }
}

void planets_paint_spheres(const World *world, float) {
  for (const Item &planet : world->items) {
    const PlanetStyleSphere &style = planet.planet_style[0];
    if (!planet.in_use || !planet.has_planet || !style.flags) continue;
    disc_paint(style_sprite(style.texture), color_remap(style.color), planet.position_x, planet.position_y,
               planet.planet_r);
  }
  tri_batch_flush();
}

void planet_overlays_paint(const World *world) {
  for (const Item &planet : world->items) {
    if (!planet.in_use || !planet.has_planet) continue;
    const float size = planet.planet_r * 0.98f;
    for (const PlanetStyleOverlay &overlay : planet.planet_overlay) {
      if (!overlay.enabled) continue;
      sprite_batch_quad(style_sprite(overlay.texture), color_remap(overlay.color), 255, GL_ONE_MINUS_SRC_ALPHA,
                        planet.position_x, planet.position_y, 4 * size, 4 * size, 2 * size, 2 * size, 1, 0);
    }
  }
  tri_batch_flush();
}
