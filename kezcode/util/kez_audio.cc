// The audio mixer: sources, voices, the device callback with its gain ramps and peak limiter.
//
// Nothing a file says is trusted for sizes: sample data is cut to whole frames, a stream's length is
// only a claim until decoding reaches it, and no position or id from a caller indexes anything unchecked.
#include "kez_audio.h"
#include "kez_audio_internal.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include "kez_driver-files.h"
#include "kez_log.h"

#define LOG(...) DRIVER_LOG_PRINTF(__VA_ARGS__)

// A stream's frames are held below this so that its length in floats, plus a buffer, fits an int.
static const uint32_t VORBIS_FRAMES_MAX = INT32_MAX / 4;
// The largest source in floats: its byte count must fit the 32-bit memory count.
static const int MEMORY_FLOATS_MAX = INT32_MAX / 4;

Mixer *driver_mixer;

// ---- Sources ---------------------------------------------------------------------------------

int AudioSource::length() { return 0; }

void AudioSource::read(int, int count, float *buffer) {
  if (count > 0) memset(buffer, 0, (size_t)count * sizeof(float));
}

bool AudioSource::load() { return true; }

void AudioSource::unload() {}

AudioSource::~AudioSource() {}

std::unique_ptr<AudioSourceMemory> AudioSourceMemory::create(int count, const float *floats) {
  if (count < 0 || count > MEMORY_FLOATS_MAX || (count > 0 && !floats)) return nullptr;
  float *copy = (float *)malloc(std::max((size_t)count, (size_t)1) * sizeof(float));
  if (!copy) return nullptr;
  if (count > 0) memcpy(copy, floats, (size_t)count * sizeof(float));
  std::unique_ptr<AudioSourceMemory> source(new AudioSourceMemory());
  source->count = count;
  source->floats = copy;
  source->bytes = (uint32_t)count * sizeof(float);
  _driver_audio_memused(source->bytes);
  return source;
}

int AudioSourceMemory::length() { return count; }

void AudioSourceMemory::read(int position, int n, float *buffer) {
  if (position < 0 || position >= count || n <= 0) return;  // a voice past the end reads nothing
  memcpy(buffer, floats + position, (size_t)std::min(n, count - position) * sizeof(float));
}

AudioSourceMemory::~AudioSourceMemory() {
  free(floats);
  _driver_audio_memused(-(int64_t)bytes);
}

AudioSourceVorbis::AudioSourceVorbis(const char *p) { snprintf(path, sizeof path, "%s", p); }

int AudioSourceVorbis::length() { return load() ? samples : 0; }

void AudioSourceVorbis::read(int position, int count, float *buffer) {
  if (!load() || position < 0) return;
  count = std::min(count, samples - position);
  if (count <= 0) return;
  if (position == 0) stb_vorbis_seek_start(decoder);
  int frames = stb_vorbis_get_samples_float_interleaved(decoder, 2, buffer, count);
  if (channels == 1)
    for (int i = 0; i < frames; i++) buffer[2 * i + 1] = buffer[2 * i];
  // The length came from the last page's claim; where decoding really stops is the end.
  if (frames < count / 2) samples = position + frames * 2;
}

bool AudioSourceVorbis::load() {
  if (decoder) return true;
  LOG("_mixer: AudioSourceVorbis.load '%s' ...\n", path);
  size_t size = 0;
  unsigned char *bytes = driver_file_alloc(path, &size);
  if (!bytes) {
    LOG("_mixer: error in _stream_load_ogg '%s' (driver_file_alloc)\n", path);
    return false;
  }
  stb_vorbis *v = size <= (size_t)INT_MAX ? stb_vorbis_open_memory(bytes, (int)size, nullptr, nullptr) : nullptr;
  stb_vorbis_info info = v ? stb_vorbis_get_info(v) : stb_vorbis_info{};
  if (!v || info.channels < 1) {
    if (v) stb_vorbis_close(v);
    free(bytes);
    LOG("_mixer: error in _stream_load_ogg '%s' (stb_vorbis_open_memory)\n", path);
    return false;
  }
  decoder = v;
  file = bytes;
  file_bytes = (uint32_t)size;
  channels = info.channels;
  rate = (int32_t)info.sample_rate;
  samples = (int32_t)std::min(stb_vorbis_stream_length_in_samples(v), VORBIS_FRAMES_MAX) * 2;
  _driver_audio_memused(file_bytes);
  return true;
}

void AudioSourceVorbis::unload() {
  if (!decoder) return;
  LOG("_mixer: AudioSourceVorbis.unload '%s' ...\n", path);
  stb_vorbis_close(decoder);
  decoder = nullptr;
  free(file);
  file = nullptr;
  _driver_audio_memused(-(int64_t)file_bytes);
  file_bytes = 0;
}

AudioSourceVorbis::~AudioSourceVorbis() { unload(); }

// ---- Sample decoding -------------------------------------------------------------------------

// A memory source of len bytes in the given format converted to the internal one; null when the
// format makes no sense (no channels, no rate) or conversion fails.
static std::unique_ptr<AudioSourceMemory> _driver_audio_convert_source(SDL_AudioFormat format, int channels, int rate,
                                                                       const Uint8 *data, int64_t len) {
  int frame = SDL_AUDIO_BITSIZE(format) / 8 * channels;
  if (frame <= 0 || rate <= 0) return nullptr;
  len -= len % frame;  // a partial last frame is dropped, never read past
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, format, (Uint8)channels, rate, AUDIO_F32LSB, AUDIO_CHANNELS, AUDIO_RATE) < 0)
    return nullptr;
  if (len * std::max(cvt.len_mult, 1) > INT_MAX) return nullptr;
  cvt.len = (int)len;
  cvt.buf = (Uint8 *)malloc(std::max((size_t)len * std::max(cvt.len_mult, 1), (size_t)1));
  if (!cvt.buf) return nullptr;
  if (len > 0) memcpy(cvt.buf, data, (size_t)len);
  std::unique_ptr<AudioSourceMemory> source;
  if (SDL_ConvertAudio(&cvt) == 0) {
    float *floats = (float *)cvt.buf;
    int count = cvt.len_cvt / (int)sizeof(float) / AUDIO_CHANNELS * AUDIO_CHANNELS;
    for (int i = 0; i < count; i++)
      if (!std::isfinite(floats[i])) floats[i] = 0.0f;  // one bad float sample would mute the whole mix
    source = AudioSourceMemory::create(count, floats);
  }
  free(cvt.buf);
  return source;
}

static std::unique_ptr<AudioSourceMemory> _driver_audio_sample_load_ogg(const char *path) {
  size_t size = 0;
  unsigned char *bytes = driver_file_alloc(path, &size);
  if (!bytes) {
    LOG("_mixer: error in _sample_load_ogg '%s' (driver_file_alloc)\n", path);
    return nullptr;
  }
  int channels = 0, rate = 0;
  short *pcm = nullptr;
  int frames = size <= (size_t)INT_MAX ? stb_vorbis_decode_memory(bytes, (int)size, &channels, &rate, &pcm) : -1;
  free(bytes);
  if (frames < 0 || channels < 1) {
    free(pcm);
    LOG("_mixer: error in _sample_load_ogg '%s' (stb_vorbis_decode_memory)\n", path);
    return nullptr;
  }
  // The file's own rate is not used: samples are made at the mixer's rate.
  std::unique_ptr<AudioSourceMemory> source = _driver_audio_convert_source(
      AUDIO_S16SYS, channels, AUDIO_RATE, (const Uint8 *)pcm, (int64_t)frames * channels * 2);
  free(pcm);
  if (!source) LOG("_mixer: error in _sample_load_ogg '%s' (SDL_ConvertAudio)\n", path);
  return source;
}

static std::unique_ptr<AudioSourceMemory> _driver_audio_sample_load_wav(const char *path) {
  SDL_AudioSpec spec;
  Uint8 *data = nullptr;
  Uint32 len = 0;
  std::unique_ptr<AudioSourceMemory> source;
  if (SDL_LoadWAV(path, &spec, &data, &len))
    source = _driver_audio_convert_source(spec.format, spec.channels, spec.freq, data, len);
  SDL_FreeWAV(data);
  if (!source) LOG("_mixer: error in _sample_load_wav '%s'\n", path);
  return source;
}

// ---- Sources and voices from the main thread ---------------------------------------------------

// The source of an id, null for 0, an unknown id or without a mixer.
static AudioSource *_driver_audio_source(int id) {
  if (!driver_mixer || id <= 0 || (size_t)id >= driver_mixer->sources.size()) return nullptr;
  return driver_mixer->sources[id].get();
}

// Appends a source; its id.
static int _driver_audio_source_add(std::unique_ptr<AudioSource> source) {
  SDL_LockAudio();
  driver_mixer->sources.push_back(std::move(source));
  int id = (int)driver_mixer->sources.size() - 1;
  SDL_UnlockAudio();
  return id;
}

static void _driver_audio_voice_add(const MixerVoice &voice) {
  SDL_LockAudio();
  driver_mixer->voices.push_back(voice);
  SDL_UnlockAudio();
}

// Loads a sound into a new source: a streamed one decodes an Ogg file as it plays, a sample decodes it
// whole first (a WAV file is always read whole). The source's id; 0 on failure.
static int _driver_audio_load(const char *path, bool stream) {
  if (!driver_mixer || !path) return 0;
  std::unique_ptr<AudioSource> source;
  if (!strstr(path, ".ogg"))
    source = _driver_audio_sample_load_wav(path);
  else if (stream)
    source.reset(new AudioSourceVorbis(path));
  else
    source = _driver_audio_sample_load_ogg(path);
  if (!source) return 0;
  int id = _driver_audio_source_add(std::move(source));
  LOG("_mixer: %s %d (%s)\n", stream ? "stream_load" : "sample_load", id, path);
  return id;
}

int driver_audio_sample_load(const char *path) { return _driver_audio_load(path, false); }

int driver_audio_stream_load(const char *path) { return _driver_audio_load(path, true); }

void driver_audio_sample_play(int id, float gain, float second) {
  AudioSource *source = _driver_audio_source(id);
  // Opened here, not on the audio thread: a voice only ever plays an open source.
  if (!source || !source->load()) return;
  _driver_audio_voice_add(MixerVoice{id, gain, second, 0.0f, 0, 0, 0});
}

bool driver_audio_stream_play(int id, float gain) {
  AudioSource *source = _driver_audio_source(id);
  if (!source) return false;
  LOG("_mixer: stream_play %d\n", id);
  mixer_voices_remove(id);
  if (!source->load()) return false;  // a stream that cannot open gets no voice
  _driver_audio_voice_add(MixerVoice{id, gain, 0.0f, 0.0f, 0, 0, 1});
  return true;
}

void driver_audio_stream_stop(int id) {
  if (!driver_mixer) return;
  LOG("_mixer: stream_stop\n");
  mixer_voices_remove(id);
  if (AudioSource *source = _driver_audio_source(id)) source->unload();
}

void driver_audio_gain(int id, float gain) {
  if (!driver_mixer) return;
  SDL_LockAudio();
  for (MixerVoice &v : driver_mixer->voices)
    if (v.source == id) v.gain = gain;
  SDL_UnlockAudio();
}

void mixer_voices_remove(int id) {
  if (!driver_mixer) return;
  SDL_LockAudio();
  std::vector<MixerVoice> &voices = driver_mixer->voices;
  for (int i = (int)voices.size() - 1; i >= 0; i--)
    if (voices[i].source == id) voices.erase(voices.begin() + i);
  SDL_UnlockAudio();
}

int driver_audio_voices(int id) {
  if (!driver_mixer) return 0;
  SDL_LockAudio();
  const std::vector<MixerVoice> &voices = driver_mixer->voices;
  const int count = (int)std::count_if(voices.begin(), voices.end(), [id](const MixerVoice &v) { return v.source == id; });
  SDL_UnlockAudio();
  return count;
}

void _driver_audio_memused(int64_t delta) {
  if (!driver_mixer) return;
  driver_mixer->memused = (uint32_t)((int64_t)driver_mixer->memused + delta);
  LOG("_mixer->memused: %.2fM\n", driver_mixer->memused / 1048576.0);
}

// ---- Mixing (audio thread, or any thread holding the audio lock) -------------------------------

// Adds src into mix, the gain moving linearly from `from` at sample 0 towards `to`.
static void _mixer_add(float *mix, const float *src, int n, float from, float to) {
  if (from == 1.0f && to == 1.0f) {
    for (int i = 0; i < n; i++) mix[i] += src[i];
  } else if (from == to) {
    for (int i = 0; i < n; i++) mix[i] += src[i] * to;
  } else {
    float step = (to - from) / n;
    for (int i = 0; i < n; i++) mix[i] += src[i] * (from + i * step);
  }
}

// Scales the buffer down to the ceiling: attacks within this buffer, releases across the next one.
static void _mixer_limit(Mixer &m, float *mix, int n) {
  float peak = 1.0f;  // in units of the ceiling: a mix under it is left alone
  for (int i = 0; i < n; i++) peak = std::max(peak, std::fabs(mix[i]) / AUDIO_CEILING);
  float top = std::max(m.peak, peak);
  if (peak == top && peak != 1.0f) {
    for (int i = 0; i < n; i++) mix[i] *= 1.0f / peak;
  } else if (peak != top) {
    float from = 1.0f / top, step = (1.0f / peak - from) / n;
    for (int i = 0; i < n; i++) mix[i] *= from + i * step;
  }
  m.peak = peak;
}

// Mixes voice v into mix using scratch; false when the voice is finished and must go.
static bool _mixer_voice(Mixer &m, MixerVoice &v, float *mix, float *scratch, int n) {
  AudioSource *source = (size_t)v.source < m.sources.size() ? m.sources[v.source].get() : nullptr;
  if (!source) return false;
  if (!v.started) {  // a new voice starts at full gain, without a ramp
    v.started = 1;
    v.current = v.gain;
  }
  memset(scratch, 0, (size_t)n * sizeof(float));
  source->read(v.position, n, scratch);
  _mixer_add(mix, scratch, n, v.current, v.gain);
  v.current = v.gain;
  v.position = (int32_t)std::min((int64_t)v.position + n, (int64_t)INT32_MAX);
  if (source->length() > v.position) return true;
  v.position = 0;  // a loop restarts; the rest of this buffer stays silent for it
  return v.loop != 0;
}

static void _mixer_mix(Mixer &m, float *mix, int n) {
  if (n <= 0) return;
  float *scratch = (float *)malloc((size_t)n * sizeof(float));
  if (!scratch) return;
  for (int i = (int)m.voices.size() - 1; i >= 0; i--)
    if (!_mixer_voice(m, m.voices[i], mix, scratch, n)) m.voices.erase(m.voices.begin() + i);
  free(scratch);
  _mixer_limit(m, mix, n);
}

// Open to the tests: adds n samples of every voice into mix, advances and retires the voices and
// runs the limiter; the caller holds the audio lock.
void _driver_audio_mix(float *mix, int n) {
  if (driver_mixer) _mixer_mix(*driver_mixer, mix, n);
}

// One device buffer's worth of frames at the internal rate: what the callback mixes in one step, so
// that a voice's gain ramp spans about one device buffer whatever the device's rate.
static int _mixer_step_samples(const Mixer &m) {
  int64_t frames = (int64_t)m.obtained.samples * AUDIO_RATE / std::max(m.obtained.freq, 1);
  return (int)std::min<int64_t>(std::max<int64_t>(frames, 1), AUDIO_FRAMES * 64) * AUDIO_CHANNELS;
}

// Open to the tests. The device is fed from a conversion stream that keeps its resampler's state
// from one buffer to the next: whatever rate, channels and format were granted, mixed sound leaves
// at its own pitch and speed, and what does not fit this buffer waits for the next one instead of
// being dropped.
void _driver_audio_callback(void *userdata, Uint8 *stream, int len) {
  Mixer *m = (Mixer *)userdata;
  if (!m || len <= 0) return;
  memset(stream, m->obtained.silence, (size_t)len);
  if (!m->device_stream) return;
  const int n = _mixer_step_samples(*m);
  float *mix = (float *)malloc((size_t)n * sizeof(float));
  if (!mix) return;
  // Each step gives about one device buffer; the spare steps cover the resampler's own delay. The bound
  // keeps a stream that stopped giving sound from holding the audio thread.
  const int buffer_bytes = std::max(SDL_AUDIO_BITSIZE(m->obtained.format) / 8 * m->obtained.channels, 1) *
                           std::max((int)m->obtained.samples, 1);
  for (int steps = len / buffer_bytes + 4; steps > 0 && SDL_AudioStreamAvailable(m->device_stream) < len; steps--) {
    memset(mix, 0, (size_t)n * sizeof(float));
    _mixer_mix(*m, mix, n);
    if (SDL_AudioStreamPut(m->device_stream, mix, n * (int)sizeof(float)) < 0) break;
  }
  free(mix);
  SDL_AudioStreamGet(m->device_stream, stream, len);  // a short read leaves the rest silent
}

// Feeds the device through a new conversion stream to the granted format; false when SDL has none.
static bool _mixer_device(Mixer &m, const SDL_AudioSpec &granted) {
  if (m.device_stream) SDL_FreeAudioStream(m.device_stream);
  m.obtained = granted;
  const SDL_AudioSpec &in = m.internal, &out = m.obtained;
  m.device_stream = SDL_NewAudioStream(in.format, in.channels, in.freq, out.format, out.channels, out.freq);
  return m.device_stream != nullptr;
}

// Open to the tests: takes the device format SDL granted and builds the conversion to it; false
// when SDL cannot convert to it.
bool _driver_audio_device(const SDL_AudioSpec &granted) {
  if (!driver_mixer) return false;
  SDL_LockAudio();
  bool ok = _mixer_device(*driver_mixer, granted);
  SDL_UnlockAudio();
  return ok;
}

// ---- Device ----------------------------------------------------------------------------------

static SDL_AudioSpec _driver_audio_spec(SDL_AudioFormat format, Uint16 frames, Mixer *m) {
  SDL_AudioSpec spec;
  SDL_zero(spec);
  spec.freq = AUDIO_RATE;
  spec.format = format;
  spec.channels = AUDIO_CHANNELS;
  spec.samples = frames;
  spec.callback = m ? _driver_audio_callback : nullptr;
  spec.userdata = m;
  return spec;
}

static void _mixer_free(Mixer *m) {
  if (m->device_stream) SDL_FreeAudioStream(m->device_stream);
  delete m;
}

void _driver_audio_init() {
  if (driver_mixer) return;
  SDL_Init(SDL_INIT_AUDIO);
  Mixer *m = new Mixer();
  m->internal = _driver_audio_spec(AUDIO_F32LSB, 0, nullptr);
  m->desired = _driver_audio_spec(AUDIO_S16LSB, AUDIO_FRAMES, m);
  m->sources.resize(1);  // id 0 is no source
  m->peak = 1.0f;
  // SDL picks its sample converters on first use without guarding against a second thread, so the
  // device conversion is built here, before the audio thread first runs and loads convert alongside it.
  SDL_AudioSpec granted;
  bool open = SDL_OpenAudio(&m->desired, &granted) == 0;
  if (!open || !_mixer_device(*m, granted)) {
    LOG("_mixer: error in audio_init\n");
    LOG("_mixer: no sound this run: %s\n", SDL_GetError());
    if (open) SDL_CloseAudio();
    _mixer_free(m);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  driver_mixer = m;
  LOG("_mixer: freq=%d, channels=%d, samples=%d\n", m->obtained.freq, m->obtained.channels, m->obtained.samples);
  LOG("_mixer: audio_init: OK\n");
  SDL_PauseAudio(0);
}

void _driver_audio_deinit() {
  if (!driver_mixer) return;
  LOG("_mixer: audio_deinit ...\n");
  SDL_CloseAudio();  // the callback has stopped for good: no lock needed from here
  std::vector<std::unique_ptr<AudioSource>> &sources = driver_mixer->sources;
  for (size_t id = sources.size() - 1; id >= 1; id--) sources[id].reset();
  _mixer_free(driver_mixer);
  driver_mixer = nullptr;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  LOG("_mixer: audio_deinit: OK\n");
}
