// Sound for the asset generators: small signal helpers and WAV output.
#pragma once

#include <string>
#include <vector>

constexpr int kSoundRate = 44100;  // the mixer's rate: files at any other rate would play off-pitch

// A one-pole low-pass filter; set the cutoff in Hz before each step to sweep it.
struct OnePole {
  float state = 0.0f;
  float step(float in, float cutoff_hz);
};

// Writes interleaved float samples (-1..1, clipped beyond) as a 16-bit PCM WAV file at 44100 Hz.
// Returns false (after a message on stderr) when the file cannot be written.
bool wav_write(const std::string &path, const std::vector<float> &samples, int channels);
