// Music: the current track and the fade levels of every track still playing.
#include "game_audio.h"
#include "game_audio_internal.h"

#include <cmath>
#include <map>

#include "game.h"
#include "kez_audio.h"
#include "kez_log.h"
#include "kez_sound.h"

// The stream id that should be audible; 0 when none.
static int music_current;
// Stream id -> fade level 0..1. Every stream listed here has a playing voice.
static std::map<int, float> music_levels;

// The music volume setting as a factor; a settings file may hold any word.
static float music_volume() {
  const int volume = game ? game->settings.music_volume : 100;
  return (float)(volume < 0 ? 0 : volume > 100 ? 100 : volume) / 100;
}

void GameAudio::play_music(const char *name) {
  if (!name) name = "";
  LOG_PRINTF("play_music: %s\n", name);
  const int id = sound_stream_load(name);
  if (id == music_current) return;
  music_current = id;
  // A stream that could not start has no voice to fade: it is current, but silent.
  if (driver_mixer && driver_audio_stream_play(id, 0.0f)) {
    music_levels[id] = 0.0f;
  } else {
    music_levels.erase(id);
  }
}

void GameAudio::update(float dt, int force) {
  const float step = dt > 0 && std::isfinite(dt) ? 2 * dt : 0;  // a whole fade takes half a second
  const float volume = music_volume();
  for (auto it = music_levels.begin(); it != music_levels.end();) {
    const int id = it->first;
    const float level = it->second;
    float next = level;
    if (id == music_current) {
      if (level < 1) next = std::fmin(1.0f, level + step);
    } else {
      next = level - step;
      if (next <= 0) {
        driver_audio_stream_stop(id);
        it = music_levels.erase(it);
        continue;
      }
    }
    if (next != level || force) {
      driver_audio_gain(id, next * volume);
      it->second = next;
    }
    ++it;
  }
}

// Open to the tests: the current track's stream id (0 none), and a track's fade level (-1 when it
// is not playing).
int _game_audio_current() { return music_current; }

float _game_audio_level(int id) {
  auto it = music_levels.find(id);
  return it == music_levels.end() ? -1.0f : it->second;
}
