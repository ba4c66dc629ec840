// Planet looks as data: the style flags and the named presets that fill a planet's sphere and overlay
// style records. The simulation sets them when it makes users, teams and planets; the planet painter
// (vantor_planet_paint.h) draws from them.
#pragma once

#include <cstdint>

#include "vantor.h"

// Sphere style flags (PlanetStyleSphere::flags); a style with flags 0 is not drawn.
enum {
  PLANET_BLEND_NORMAL = 0x4,
  PLANET_BLEND_ADD = 0x8,
  PLANET_AMBIENT = 0x200,     // ambient light 3 takes the colour times intensity
  PLANET_NO_CULL = 0x400,     // back faces are drawn too
  PLANET_KEY_LIGHTS = 0x800,  // the three key lights take the colour times intensity
  PLANET_FLEET_LIGHTS = 0x1000,
  PLANET_FAST_SPIN = 0x2000,
  PLANET_INNER = 0x4000,  // an inner sphere in the second colour is drawn first
};

// Fills item n's two sphere and two overlay styles from the preset `name` ("default" when null;
// unknown names act as "default") with the aura in aura_color and texture `aura` ("planet-aura"
// when null). Nothing when n is outside 1..4095 or not in use.
void planet_style_preset(int n, World *world, uint32_t color, uint32_t aura_color, const char *name, const char *aura);
