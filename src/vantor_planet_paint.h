// Planet looks: the named style presets that fill a planet's sphere and overlay layers, and the
// painting of planets from them.
#pragma once

#include <cstdint>

#include "vantor.h"

// Fills item n's two sphere and two overlay styles from the preset `name` ("default" when null;
// unknown names act as "default") with the aura in aura_color and texture `aura` ("planet-aura"
// when null). Nothing when n is outside 1..4095 or not in use.
void planet_style_preset(int n, World *world, uint32_t color, uint32_t aura_color, const char *name, const char *aura);

// Draws every planet's body; scale is screen units per world unit. For now a planet is a flat disc
// of its first sphere layer's texture in that layer's colour, at its radius.
void planets_paint_spheres(const World *world, float scale);
// Draws every planet's enabled overlays (the aura) over its body: the sprite in the layer's colour,
// four times 0.98 of the planet's radius wide, centred on it.
void planet_overlays_paint(const World *world);
