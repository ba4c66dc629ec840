// The drawing state's internals that the tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include <cstdint>

bool _gfx_9slice_corner(float fw, float fh, int w, int h, int corner, int *cw, int *ch);
uint64_t gfx_draw_count();
