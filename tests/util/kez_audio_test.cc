// The audio mixer: voices, gain ramps and the limiter mixed on demand (audio thread paused), sources
// that end or lie about their length, streams that open or fail to, and the device format conversion.
#include "kez_audio.h"
#include "kez_audio_internal.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kMusic = VB_BINARY_DIR "/data/mus-menu.ogg";

// A 16-bit PCM WAV file whose data chunk claims `claimed` bytes while holding `data`.
std::string wav_bytes(int channels, int rate, const std::string &data, uint32_t claimed) {
  auto u16 = [](int v) { return std::string{(char)(v & 255), (char)((v >> 8) & 255)}; };
  auto u32 = [&u16](uint32_t v) { return u16((int)(v & 0xffff)) + u16((int)(v >> 16)); };
  std::string fmt = u16(1) + u16(channels) + u32(rate) + u32(rate * channels * 2) + u16(channels * 2) + u16(16);
  return "RIFF" + u32(4 + 8 + 16 + 8 + (uint32_t)data.size()) + "WAVEfmt " + u32(16) + fmt + "data" + u32(claimed) +
         data;
}

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Ogg's page checksum: CRC-32 with polynomial 0x04c11db7, no reflection, initial value 0.
uint32_t ogg_crc(const std::string &page) {
  uint32_t crc = 0;
  for (unsigned char byte : page) {
    crc ^= (uint32_t)byte << 24;
    for (int bit = 0; bit < 8; bit++) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04c11db7u : crc << 1;
  }
  return crc;
}

// The first pages of an Ogg file up to about `bytes` long, the last one claiming an absurd granule
// position (far beyond the 32-bit sample count), its checksum made valid again.
std::string ogg_claiming_too_much(const std::string &ogg, size_t bytes) {
  size_t at = 0, last = 0;
  while (at + 27 <= ogg.size() && at < bytes && ogg.compare(at, 4, "OggS") == 0) {
    size_t segments = (unsigned char)ogg[at + 26], size = 27 + segments;
    for (size_t i = 0; i < segments; i++) size += (unsigned char)ogg[at + 27 + i];
    last = at;
    at += size;
  }
  std::string out = ogg.substr(0, at), page = out.substr(last);
  for (int i = 0; i < 8; i++) page[6 + i] = (char)(i == 4 ? 1 : 0);  // granule = 2^32
  for (int i = 0; i < 4; i++) page[22 + i] = 0;
  uint32_t crc = ogg_crc(page);
  for (int i = 0; i < 4; i++) page[22 + i] = (char)(crc >> (8 * i));
  return out.substr(0, last) + page;
}

// A running mixer whose audio thread is paused, so every buffer is mixed here, under the audio lock.
class AudioMixer : public testing::Test {
 protected:
  void SetUp() override {
    _driver_audio_init();
    ASSERT_NE(driver_mixer, nullptr) << "SDL_AUDIODRIVER=dummy must open";
    SDL_PauseAudio(1);
    char dir[] = "/tmp/vantor-audio-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    folder = dir;
  }
  void TearDown() override {
    _driver_audio_deinit();
    std::string cmd = "rm -rf '" + folder + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
  }

  // Registers count floats of one value; its id.
  int constant(float value, int count) {
    std::vector<float> floats(count, value);
    SDL_LockAudio();
    driver_mixer->sources.push_back(AudioSourceMemory::create(count, floats.data()));
    int id = (int)driver_mixer->sources.size() - 1;
    SDL_UnlockAudio();
    return id;
  }
  std::vector<float> mix(int n) {
    std::vector<float> out(n, 0.0f);
    SDL_LockAudio();
    _driver_audio_mix(out.data(), n);
    SDL_UnlockAudio();
    return out;
  }
  std::string file(const std::string &name, const std::string &bytes) {
    std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  AudioSource *source(int id) { return driver_mixer->sources[id].get(); }

  std::string folder;
};

}  // namespace

TEST(AudioNoMixer, a_device_that_cannot_open_is_logged_and_every_call_is_a_no_op) {
  setenv("SDL_AUDIODRIVER", "no-such-device", 1);
  testing::internal::CaptureStdout();
  _driver_audio_init();
  std::string log = testing::internal::GetCapturedStdout();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_EQ(driver_mixer, nullptr);
  EXPECT_NE(log.find("_mixer: error in audio_init\n"), std::string::npos) << log;
  EXPECT_NE(log.find("_mixer: no sound this run: "), std::string::npos) << log;
  EXPECT_EQ(driver_audio_sample_load(kMusic.c_str()), 0);
  EXPECT_EQ(driver_audio_stream_load(kMusic.c_str()), 0);
  driver_audio_sample_play(1, 1.0f, 0.0f);
  EXPECT_FALSE(driver_audio_stream_play(1, 1.0f));
  driver_audio_stream_stop(1);
  driver_audio_gain(1, 0.5f);
  _driver_audio_deinit();
}

TEST(AudioSources, memory_source_reads_only_what_lies_before_its_end) {
  const float four[] = {1, 2, 3, 4};
  std::unique_ptr<AudioSourceMemory> s = AudioSourceMemory::create(4, four);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->length(), 4);
  float buffer[4] = {9, 9, 9, 9};
  s->read(2, 4, buffer);
  EXPECT_EQ(std::vector<float>(buffer, buffer + 4), (std::vector<float>{3, 4, 9, 9}));
  s->read(6, 4, buffer);
  s->read(-2, 4, buffer);
  EXPECT_EQ(std::vector<float>(buffer, buffer + 4), (std::vector<float>{3, 4, 9, 9}));
  EXPECT_FALSE(AudioSourceMemory::create(-1, four));
}

TEST_F(AudioMixer, gain_change_ramps_across_the_next_buffer_then_holds) {
  int id = constant(0.25f, 1 << 16);
  driver_audio_sample_play(id, 1.0f, 0.0f);
  for (float v : mix(2048)) ASSERT_EQ(v, 0.25f) << "a new voice starts at full gain";
  driver_audio_gain(id, 0.5f);
  std::vector<float> ramp = mix(2048);
  EXPECT_FLOAT_EQ(ramp[0], 0.25f);
  EXPECT_GT(ramp[2047], 0.125f);
  EXPECT_NEAR(ramp[2047], 0.125f, 0.0001f);
  for (int i = 1; i < 2048; i++) ASSERT_LE(ramp[i], ramp[i - 1]) << i;
  for (float v : mix(2048)) ASSERT_FLOAT_EQ(v, 0.125f);
}

TEST_F(AudioMixer, limiter_holds_peaks_under_full_scale_and_releases_over_the_next_buffer) {
  int a = constant(1.0f, 1 << 16), b = constant(1.0f, 1 << 16), quiet = constant(0.5f, 1 << 16);
  driver_audio_sample_play(quiet, 1.0f, 0.0f);
  for (float v : mix(2048)) ASSERT_FLOAT_EQ(v, 0.5f) << "a mix under the ceiling is left alone";
  mixer_voices_remove(quiet);
  driver_audio_sample_play(a, 1.0f, 0.0f);
  driver_audio_sample_play(b, 1.0f, 0.0f);
  for (float v : mix(2048)) ASSERT_FLOAT_EQ(v, AUDIO_CEILING) << "a doubled peak is halved and more";
  mixer_voices_remove(b);
  std::vector<float> release = mix(2048);
  EXPECT_FLOAT_EQ(release[0], AUDIO_CEILING / 2);
  EXPECT_NEAR(release[2047], AUDIO_CEILING, 0.001f);
  for (int i = 1; i < 2048; i++) ASSERT_GE(release[i], release[i - 1]) << i;
  for (float v : mix(2048)) ASSERT_FLOAT_EQ(v, AUDIO_CEILING) << "one full-scale voice is held at the ceiling";
  // What reaches the device stays under its full scale.
  driver_audio_sample_play(b, 1.0f, 0.0f);
  std::vector<int16_t> device(2048);
  SDL_LockAudio();
  _driver_audio_callback(driver_mixer, (Uint8 *)device.data(), (int)(device.size() * sizeof(int16_t)));
  SDL_UnlockAudio();
  for (int16_t v : device) ASSERT_LT(std::abs(v), 32767);
  EXPECT_GT(device[100], 29000) << "held near the ceiling, not muted";
}

TEST_F(AudioMixer, one_shot_ends_with_its_source_and_a_loop_restarts) {
  int once = constant(0.25f, 1000), looped = constant(0.5f, 1000);
  driver_audio_sample_play(once, 1.0f, 0.0f);
  ASSERT_TRUE(driver_audio_stream_play(looped, 1.0f));
  std::vector<float> first = mix(1024);
  EXPECT_FLOAT_EQ(first[999], 0.75f);
  EXPECT_EQ(first[1000], 0.0f) << "nothing is read past a source's end";
  ASSERT_EQ(driver_mixer->voices.size(), 1u);
  EXPECT_EQ(driver_mixer->voices[0].source, looped);
  EXPECT_EQ(driver_mixer->voices[0].position, 0);
  EXPECT_FLOAT_EQ(mix(1024)[0], 0.5f);
}

TEST_F(AudioMixer, ids_outside_the_table_play_nothing) {
  int id = constant(0.5f, 100);
  for (int bad : {0, -1, id + 1, INT_MAX}) {
    driver_audio_sample_play(bad, 1.0f, 0.0f);
    EXPECT_FALSE(driver_audio_stream_play(bad, 1.0f)) << bad;
    driver_audio_stream_stop(bad);
  }
  EXPECT_TRUE(driver_mixer->voices.empty());
}

TEST_F(AudioMixer, stream_play_restarts_the_stream_and_stop_frees_its_decoder) {
  int id = driver_audio_stream_load(kMusic.c_str());
  ASSERT_NE(id, 0);
  uint32_t before = driver_mixer->memused;
  ASSERT_TRUE(driver_audio_stream_play(id, 1.0f));
  EXPECT_EQ(driver_mixer->memused - before, read_file(kMusic).size());
  EXPECT_EQ(source(id)->length(), 64 * 44100 * 2);
  std::vector<float> music = mix(8192);
  EXPECT_NE(music[8000], 0.0f);
  ASSERT_TRUE(driver_audio_stream_play(id, 0.5f));
  ASSERT_EQ(driver_mixer->voices.size(), 1u);
  EXPECT_EQ(driver_mixer->voices[0].position, 0);
  EXPECT_FLOAT_EQ(mix(8192)[8000], music[8000] * 0.5f) << "restarted from its first sample";
  driver_audio_stream_stop(id);
  EXPECT_TRUE(driver_mixer->voices.empty());
  EXPECT_EQ(driver_mixer->memused, before);
}

TEST_F(AudioMixer, stream_that_cannot_open_gets_no_voice) {
  for (const std::string &path : {folder + "/missing.ogg", file("noise.ogg", std::string(5000, 'x'))}) {
    int id = driver_audio_stream_load(path.c_str());
    ASSERT_NE(id, 0) << "a stream opens when played";
    EXPECT_FALSE(driver_audio_stream_play(id, 1.0f)) << path;
    driver_audio_sample_play(id, 1.0f, 0.0f);
    EXPECT_EQ(source(id)->length(), 0);
  }
  EXPECT_TRUE(driver_mixer->voices.empty());
  EXPECT_EQ(driver_audio_sample_load(file("noise2.ogg", std::string(5000, 'x')).c_str()), 0);
}

TEST_F(AudioMixer, stream_claiming_more_than_it_holds_loops_where_decoding_ends) {
  std::string path = file("short.ogg", ogg_claiming_too_much(read_file(kMusic), 20000));
  int id = driver_audio_stream_load(path.c_str());
  ASSERT_TRUE(driver_audio_stream_play(id, 1.0f));
  EXPECT_EQ(source(id)->length(), INT32_MAX / 4 * 2) << "the claimed length is held below int overflow";
  int buffers = 0;
  do {
    mix(1 << 16);
    ASSERT_LT(++buffers, 100) << "the loop never came back to its start";
  } while (driver_mixer->voices[0].position != 0);
  EXPECT_GT(source(id)->length(), 0);
  EXPECT_LE(source(id)->length(), buffers << 16);
  EXPECT_NE(mix(4096)[4000], 0.0f) << "the loop plays again from the start";
}

TEST_F(AudioMixer, wav_sample_holds_only_the_whole_frames_its_file_has) {
  std::string pcm(2001, '\0');                                       // 1000 frames of 16-bit mono and one stray byte
  for (size_t i = 0; i + 1 < pcm.size(); i += 2) pcm[i + 1] = 0x40;  // 0.5 full scale
  int id = driver_audio_sample_load(file("lying.wav", wav_bytes(1, 44100, pcm, 1000000)).c_str());
  ASSERT_NE(id, 0);
  EXPECT_EQ(source(id)->length(), 2000);
  float first[2];
  source(id)->read(0, 2, first);
  EXPECT_FLOAT_EQ(first[0], 0.5f);
  EXPECT_FLOAT_EQ(first[1], 0.5f) << "mono fills both channels";
  EXPECT_EQ(driver_audio_sample_load(file("mute.wav", wav_bytes(0, 44100, pcm, 2000)).c_str()), 0);
  EXPECT_EQ(driver_audio_sample_load(file("still.wav", wav_bytes(1, 0, pcm, 2000)).c_str()), 0);
}

TEST_F(AudioMixer, callback_writes_the_mix_in_the_device_format) {
  ASSERT_EQ(driver_mixer->obtained.format, AUDIO_S16LSB);
  ASSERT_EQ(driver_mixer->obtained.channels, 2);
  ASSERT_EQ(driver_mixer->obtained.freq, 44100);
  driver_audio_sample_play(constant(0.5f, 1 << 16), 1.0f, 0.0f);
  std::vector<int16_t> out(4096, 1);
  SDL_LockAudio();
  _driver_audio_callback(driver_mixer, (Uint8 *)out.data(), (int)out.size() * 2);
  SDL_UnlockAudio();
  for (int16_t v : out) ASSERT_NEAR(v, 16384, 2);
}

namespace {

// The first channel of raw device output, decoded to floats with SDL's own conversion.
std::vector<float> first_channel(std::vector<Uint8> raw, const SDL_AudioSpec &spec) {
  SDL_AudioCVT cvt;
  EXPECT_GE(SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, AUDIO_F32SYS, spec.channels, spec.freq), 0);
  cvt.len = (int)raw.size();
  raw.resize(raw.size() * std::max(cvt.len_mult, 1));
  cvt.buf = raw.data();
  EXPECT_EQ(SDL_ConvertAudio(&cvt), 0);
  const float *f = (const float *)raw.data();
  std::vector<float> out;
  for (size_t i = 0; i + spec.channels <= cvt.len_cvt / sizeof(float); i += spec.channels) out.push_back(f[i]);
  return out;
}

}  // namespace

// Whatever rate, channel count and sample format the device was granted, one second of a 440 Hz tone
// comes out lasting one second, at 440 Hz, without a jump where frames went missing.
TEST_F(AudioMixer, a_tone_keeps_its_length_and_pitch_on_every_granted_device_format) {
  const double kPi = 3.14159265358979;
  std::vector<float> tone(2 * AUDIO_RATE);
  for (int i = 0; i < AUDIO_RATE; i++)
    tone[2 * i] = tone[2 * i + 1] = 0.5f * (float)sin(2 * kPi * 440 * i / AUDIO_RATE);
  struct Granted {
    int freq, channels;
    SDL_AudioFormat format;
    int samples;
  };
  for (Granted g : {Granted{44100, 2, AUDIO_S16LSB, 1024}, Granted{48000, 2, AUDIO_F32LSB, 1024},
                    Granted{22050, 1, AUDIO_U8, 512}, Granted{48000, 6, AUDIO_S32LSB, 2048}}) {
    SCOPED_TRACE(std::to_string(g.freq) + " Hz, " + std::to_string(g.channels) + " channels");
    SDL_AudioSpec spec;
    SDL_zero(spec);
    spec.freq = g.freq;
    spec.channels = (Uint8)g.channels;
    spec.format = g.format;
    spec.samples = (Uint16)g.samples;
    spec.silence = g.format == AUDIO_U8 ? 0x80 : 0;
    ASSERT_TRUE(_driver_audio_device(spec));
    SDL_LockAudio();
    driver_mixer->sources.push_back(AudioSourceMemory::create((int)tone.size(), tone.data()));
    int id = (int)driver_mixer->sources.size() - 1;
    SDL_UnlockAudio();
    driver_audio_sample_play(id, 1.0f, 0.0f);

    const int frame = SDL_AUDIO_BITSIZE(g.format) / 8 * g.channels;
    std::vector<Uint8> raw;
    for (int played = 0; played < g.freq * 5 / 4; played += g.samples) {
      std::vector<Uint8> buffer((size_t)(g.samples * frame));
      SDL_LockAudio();
      _driver_audio_callback(driver_mixer, buffer.data(), (int)buffer.size());
      SDL_UnlockAudio();
      raw.insert(raw.end(), buffer.begin(), buffer.end());
    }
    std::vector<float> out = first_channel(raw, spec);

    int first = -1, last = -1;
    float peak = 0;
    for (int i = 0; i < (int)out.size(); i++) {
      if (std::fabs(out[i]) < 0.05f) continue;
      if (first < 0) first = i;
      last = i;
      peak = std::max(peak, std::fabs(out[i]));
    }
    ASSERT_GE(first, 0) << "the tone is heard";
    EXPECT_NEAR(last - first, g.freq, g.freq / 500) << "lasts one second";
    int rising = 0;
    for (int i = first; i < last; i++)
      if (out[i] < 0 && out[i + 1] >= 0) rising++;
    EXPECT_NEAR(rising, 440, 2) << "at 440 Hz";
    // A sine moves at most peak x 2 pi f / rate from one frame to the next; a lost frame is a bigger jump.
    const float most = peak * (float)(2 * kPi * 440 / g.freq) * 1.1f + 0.01f;
    int jumps = 0;
    for (int i = first; i < last; i++)
      if (std::fabs(out[i + 1] - out[i]) > most) jumps++;
    EXPECT_EQ(jumps, 0) << "no frame goes missing";
    EXPECT_NEAR(peak, 0.5f, 0.05f);
  }
}
