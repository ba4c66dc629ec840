// The sound registry: sounds are asked for by name and played by the mixer's id.
//
// Samples and streams are two separate name spaces. A name is looked up once: the record (with id 0
// for a miss) is kept, so a missing sound is searched for and reported only the first time.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "kez_audio.h"  // the ids are played with driver_audio_sample_play and driver_audio_stream_play

constexpr int SOUND_PATH_MAX = 512;  // bytes of a sound file's data path, with its NUL

// One named sound.
struct SoundRecord {
  int32_t id;                 // mixer source id; 0 when not found or not loadable
  char path[SOUND_PATH_MAX];  // full data path of the file found; empty when none
  int64_t file_time;          // the file's modification time when it was loaded
};

// The process-wide registry.
struct SoundRegistry {
  std::unordered_map<std::string, SoundRecord> samples, streams;
  int64_t reload_second;  // the wall-clock second sound_reload last ran
};

// The one registry, null before sound_init and after sound_deinit.
extern SoundRegistry *sound_registry;

// Creates the registry with two empty maps (once).
void sound_init();
// Frees the registry; the mixer keeps (and later frees) the sources themselves.
void sound_deinit();
// The mixer id of sample `name`, loading it on first use; 0 (plays nothing) when it cannot be found or
// loaded, without a mixer or without a registry.
int sound_sample_load(const char *name);
// The same for stream `name`, to be played with driver_audio_stream_play.
int sound_stream_load(const char *name);
// Whether sound_sample_load and sound_stream_load would find a file for `name` (loading nothing).
bool sound_found(const char *name);
// Full data path of the first of name, name + ".wav", ".ogg", ".mp3", ".aac", ".caf", ".raw" that opens
// for reading; empty when none does.
std::string _sound_find(const char *name);
// Reports (and records the time of) sound files changed on disk; at most once a second, called every frame.
void sound_reload();
