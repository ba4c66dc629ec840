// The main loop's internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include <cstdint>

struct FramePacer;

float game_elapsed(uint32_t *last, uint32_t now);
uint32_t game_frame_pacer_wait(FramePacer *pacer, uint32_t now_ms);
