// The picture module's internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include <cstdint>

void pixart_scale3(const int32_t *src, int n, int32_t *dst);
