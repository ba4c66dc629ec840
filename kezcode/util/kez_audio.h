// The audio mixer: one SDL device fed by a callback that sums the playing voices of registered sources.
//
// Everything is mixed as interleaved 32-bit float stereo at 44100 Hz and converted to the device's
// format on the way out. Sources are registered once and played by id; id 0 is never a source, so a
// failed load (id 0) plays nothing. Without a mixer (headless, or no audio device) every call is a
// no-op that returns 0.
//
// Threads: the callback runs on SDL's audio thread and owns the voice list while it runs. The main
// thread changes voices, and appends sources, only while holding SDL's audio lock. A source's `load`
// and `unload` run on the main thread while no voice of it exists, so the audio thread only ever
// meets open sources.
#pragma once

#include <SDL_audio.h>

#include <cstdint>
#include <memory>
#include <vector>

struct stb_vorbis;

constexpr int AUDIO_RATE = 44100;            // Hz, internal and requested from the device
constexpr int AUDIO_CHANNELS = 2;            // internal and device: interleaved stereo
constexpr int AUDIO_FRAMES = 1024;           // sample frames per device buffer asked for
constexpr int AUDIO_VORBIS_PATH_MAX = 1024;  // bytes of a stream's path, with its NUL
// The limiter holds the mix's peaks at this level, about 1 dB under full scale: a loud moment is turned
// down, never cut off at the converter's limit.
constexpr float AUDIO_CEILING = 0.891f;

// A sound the mixer can read: a length and samples, both counted in floats of interleaved stereo.
class AudioSource {
 public:
  // Total length in float samples (both channels interleaved); 0 for none.
  virtual int length();
  // Writes up to count samples starting at position into buffer; the base writes count zeros.
  virtual void read(int position, int count, float *buffer);
  // Makes the source ready to read; false when it cannot be.
  virtual bool load();
  // Frees what load made.
  virtual void unload();
  virtual ~AudioSource();
};

// A sound decoded whole into memory.
class AudioSourceMemory : public AudioSource {
 public:
  // A copy of count floats (interleaved stereo at 44100 Hz); null when count is negative or memory runs
  // out. Its bytes count towards the mixer's memory use while it lives.
  static std::unique_ptr<AudioSourceMemory> create(int count, const float *floats);
  int length() override;
  // Copies what lies between position and the end; the rest of the buffer is left as it was.
  void read(int position, int count, float *buffer) override;
  ~AudioSourceMemory() override;

 private:
  AudioSourceMemory() = default;
  int32_t count = 0;
  float *floats = nullptr;
  uint32_t bytes = 0;
};

// An Ogg Vorbis file decoded while it plays; opened by load, closed by unload.
class AudioSourceVorbis : public AudioSource {
 public:
  // An unopened stream of that file; its path is cut to AUDIO_VORBIS_PATH_MAX - 1 bytes.
  explicit AudioSourceVorbis(const char *path);
  // Loads, then the length; 0 when the file cannot be opened. The length is the file's own claim until
  // decoding ends sooner; read (on the mixing thread while a voice plays it) then cuts it to that end.
  int length() override;
  // Loads, then decodes sequentially (position 0 seeks to the start); a mono file fills both channels.
  void read(int position, int count, float *buffer) override;
  // Reads the file whole and opens a decoder on it; true when open.
  bool load() override;
  void unload() override;
  ~AudioSourceVorbis() override;

 private:
  char path[AUDIO_VORBIS_PATH_MAX];
  stb_vorbis *decoder = nullptr;
  unsigned char *file = nullptr;
  uint32_t file_bytes = 0;
  int32_t channels = 0, rate = 0;
  int32_t samples = 0;  // length in floats: sample frames x 2
};

// One playing sound.
struct MixerVoice {
  int32_t source;    // source id
  float gain;        // target gain
  float second;      // stored with the voice, not used by mixing
  float current;     // gain the last buffer ended at
  int32_t started;   // 0 until first mixed
  int32_t position;  // next sample to read
  int32_t loop;      // 1 = restart at 0 at the end
};

// The process's one mixer.
struct Mixer {
  SDL_AudioSpec internal;          // 44100 Hz, AUDIO_F32LSB, 2 channels
  SDL_AudioSpec desired;           // 44100 Hz, AUDIO_S16LSB, 2 channels, 1024 frames, the mix callback
  SDL_AudioSpec obtained;          // what SDL granted
  SDL_AudioStream *device_stream;  // internal to obtained, made when the device opens; audio thread only
  std::vector<std::unique_ptr<AudioSource>> sources;  // index = source id; slot 0 empty
  std::vector<MixerVoice> voices;
  float peak;        // the limiter's peak of the last buffer, in units of AUDIO_CEILING
  uint32_t memused;  // bytes held by sources
};

// The mixer, or null when audio is not running.
extern Mixer *driver_mixer;

// Opens the audio device and starts the mixer; logs and stays silent when the device cannot open.
void _driver_audio_init();
// Closes the device and frees every source and the mixer.
void _driver_audio_deinit();
// Registers a sample decoded whole (".ogg" in the path: Ogg Vorbis, else WAV); its id, 0 on failure.
int driver_audio_sample_load(const char *path);
// Registers a stream (".ogg" in the path: decoded while playing, else a whole WAV); its id, 0 on failure.
int driver_audio_stream_load(const char *path);
// Plays source id once at gain; nothing for id 0, an unknown id or a source that cannot load.
void driver_audio_sample_play(int id, float gain, float second);
// Restarts source id from its start as a loop at gain; false (nothing plays) for id 0, an unknown id or
// a stream that cannot be opened.
bool driver_audio_stream_play(int id, float gain);
// Stops every voice of source id and frees its decoded state.
void driver_audio_stream_stop(int id);
// Sets the gain every voice of source id moves to over the next buffer.
void driver_audio_gain(int id, float gain);
// Removes every voice of source id.
void mixer_voices_remove(int id);
// How many voices of source id are playing; 0 without a mixer.
int driver_audio_voices(int id);
// Adds a signed number of bytes to the mixer's memory count and logs the total.
void _driver_audio_memused(int64_t delta);
