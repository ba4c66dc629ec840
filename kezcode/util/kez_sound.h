// The sound registry: sounds are asked for by name and played by the mixer's id.
#pragma once

// The mixer id of the sample `name`; 0 (plays nothing) when it cannot be found or loaded, or
// while no registry exists.
int sound_sample_load(const char *name);

// Plays sample `id` once at `gain` (1.0 = as recorded); id 0 or no mixer plays nothing.
// `second` is stored with the voice and not used by mixing: callers pass 0.
void driver_audio_sample_play(int id, float gain, float second);
