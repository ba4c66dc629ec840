// The window driver's internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

void _driver_video_sizes(int w, int h, int dw, int dh);
int driver_mod_bits(int mod);
