// The texture cache's internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include <cstdint>
#include <vector>

#include "kez_gfx-tex.h"

void _gfx_tex_clock_set(int64_t (*now)());
void _gfx_tex_preload_wait();
const unsigned char *_gfx_tex_prepare(unsigned char *rgba, int w, int h, bool small, std::vector<unsigned char> &padded,
                                      GfxUpload &out);
