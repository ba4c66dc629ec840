// Sound for the asset generators: filters and the WAV writer.
#include "art_sound.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

float OnePole::step(float in, float cutoff_hz) {
  float k = 1.0f - std::exp(-2.0f * 3.14159265f * cutoff_hz / kSoundRate);
  state += k * (in - state);
  return state;
}

static void put16(std::FILE *f, uint16_t v) {
  unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
  std::fwrite(b, 1, 2, f);
}
static void put32(std::FILE *f, uint32_t v) {
  put16(f, static_cast<uint16_t>(v));
  put16(f, static_cast<uint16_t>(v >> 16));
}

bool wav_write(const std::string &path, const std::vector<float> &samples, int channels) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
  std::fwrite("RIFF", 1, 4, f);
  put32(f, 36 + data_bytes);
  std::fwrite("WAVEfmt ", 1, 8, f);
  put32(f, 16);  // size of the format chunk
  put16(f, 1);   // PCM
  put16(f, static_cast<uint16_t>(channels));
  put32(f, kSoundRate);
  put32(f, kSoundRate * channels * 2);  // bytes per second
  put16(f, static_cast<uint16_t>(channels * 2));
  put16(f, 16);
  std::fwrite("data", 1, 4, f);
  put32(f, data_bytes);
  for (float s : samples) {
    float c = s < -1.0f ? -1.0f : (s > 1.0f ? 1.0f : s);
    put16(f, static_cast<uint16_t>(static_cast<int16_t>(std::lround(c * 32767.0f))));
  }
  bool ok = std::fclose(f) == 0;
  if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return ok;
}
