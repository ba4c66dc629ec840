// Planet painting: planets drawn from their style records (vantor_planet_style.h) as lit, textured,
// slowly turning spheres with flat overlays on top.
#pragma once

#include <cstdint>
#include <vector>

#include "vantor.h"
#include "vantor_planet_style.h"  // the flags the painter draws by

// Sphere detail levels; a planet picks one by its size on screen.
constexpr int PLANET_MESH_LEVELS = 16;

// One sphere mesh as separate triangles: 3 vertices each of position (3 floats), texture coordinate
// (2) and normal (3).
struct PlanetMesh {
  std::vector<float> xyz, uv, normal;
  int triangles;
};

// Builds the sphere meshes of every detail level, once per process (later calls do nothing). The
// meshes are client memory, so they outlive a GL context; painting builds them when needed.
void planet_paint_init();
// Builds the mesh of detail level `level` with about `faces` triangles; nothing for a level outside
// 0..15, an empty mesh for fewer than 2 faces.
void planet_mesh_build(int level, int faces);
// Draws the mesh whose level suits a sphere of size p (its area in screen units) through the normal,
// texture-coordinate and vertex arrays; nothing before planet_paint_init.
void planet_mesh_draw(float p);
// Draws every planet's sphere styles under the fixed-function lights; scale is screen units per
// world unit. Leaves lighting, culling and the normal array off and the normal blend on.
void planets_paint_spheres(const World *world, float scale);
// Draws every planet's enabled overlays (the aura) over its body: the sprite in the layer's colour,
// four times 0.98 of the planet's radius wide, centred on it.
void planet_overlays_paint(const World *world);
