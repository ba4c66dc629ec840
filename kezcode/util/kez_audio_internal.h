// The mixer's internals that the tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include <SDL.h>

void _driver_audio_callback(void *userdata, Uint8 *stream, int len);
bool _driver_audio_device(const SDL_AudioSpec &granted);
void _driver_audio_mix(float *mix, int n);
