// The sprite and triangle batch's internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

int tri_batch_count();
int _ring_segments(int segments);
