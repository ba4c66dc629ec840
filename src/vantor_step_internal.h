// The match step's internals that the tests and fuzz targets reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include <cstdint>

uint32_t vantor_collide_passes();
uint64_t vantor_collide_work();
