// The maths module's internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include "kez_math.h"

void _unproject_corners_order(float rotation, Vec3 p, Vec3 q, Vec3 *a, Vec3 *b);
