// Randomness for the asset generators: a seeded xorshift generator and 3D gradient noise.
// Nothing here reads the clock or a global generator, so the same seed gives the same asset on
// every build.
#pragma once

#include <cstdint>
#include <vector>

// Marsaglia's xorshift32: small, fast and fully determined by its seed.
struct Rng {
  uint32_t state;
  explicit Rng(uint32_t seed) : state(seed ? seed : 0x9e3779b9u) {}
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  // Uniform in [0, 1).
  float uniform() { return (next() >> 8) * (1.0f / 16777216.0f); }
  // Uniform in [lo, hi).
  float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
  // Uniform integer in [0, n).
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
};

// Ken Perlin's improved gradient noise in 3D, with its own permutation made from a seed.
// Values lie roughly in -1..1 and are 0 on integer lattice points.
struct Noise3 {
  std::vector<int> perm;  // 512 entries: a shuffled 0..255 twice
  explicit Noise3(uint32_t seed);
  float at(float x, float y, float z) const;
  // Fractal sum of `octaves` layers, each at twice the frequency and `gain` times the amplitude
  // of the last; normalised to roughly -1..1.
  float fbm(float x, float y, float z, int octaves, float gain = 0.5f) const;
  // Sum of folded octaves (1 - |noise|): sharp crests, for veins, cracks and dust lanes; 0..1.
  float ridged(float x, float y, float z, int octaves, float gain = 0.5f) const;
};
