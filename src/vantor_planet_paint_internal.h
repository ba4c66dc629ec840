// The planet painter's internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

struct PlanetMesh;

int _planet_mesh_level(float p);
const PlanetMesh *_planet_mesh(int level);
