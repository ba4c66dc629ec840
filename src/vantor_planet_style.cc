// Planet looks as data: the named style presets.
#include "vantor_planet_style.h"

#include <cstring>

#include "vantor_world.h"

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
