// Planet looks: the named style presets that fill a planet's sphere and overlay layers.
#pragma once

#include <cstdint>

#include "vantor.h"

// Fills item n's two sphere and two overlay styles from the preset `name` ("default" when null;
// unknown names act as "default") with the aura in aura_color and texture `aura` ("planet-aura"
// when null). Nothing when n is outside 1..4095 or not in use.
void planet_style_preset(int n, World *world, uint32_t color, uint32_t aura_color, const char *name, const char *aura);
