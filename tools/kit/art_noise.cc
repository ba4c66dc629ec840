// Randomness for the asset generators: gradient noise over a seeded permutation.
#include "art_noise.h"

#include <cmath>

Noise3::Noise3(uint32_t seed) : perm(512) {
  Rng rng(seed);
  for (int i = 0; i < 256; i++) perm[i] = i;
  for (int i = 255; i > 0; i--) {  // Fisher-Yates with the seeded generator
    int j = rng.below(i + 1);
    int t = perm[i];
    perm[i] = perm[j];
    perm[j] = t;
  }
  for (int i = 0; i < 256; i++) perm[256 + i] = perm[i];
}

static float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }
static float lerp(float a, float b, float t) { return a + (b - a) * t; }

// Dot product of the offset with one of twelve edge directions of a cube, chosen by hash.
static float grad(int hash, float x, float y, float z) {
  int h = hash & 15;
  float u = h < 8 ? x : y;
  float v = h < 4 ? y : (h == 12 || h == 14 ? x : z);
  return ((h & 1) ? -u : u) + ((h & 2) ? -v : v);
}

float Noise3::at(float x, float y, float z) const {
  float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
  int X = static_cast<int>(fx) & 255, Y = static_cast<int>(fy) & 255, Z = static_cast<int>(fz) & 255;
  x -= fx;
  y -= fy;
  z -= fz;
  float u = fade(x), v = fade(y), w = fade(z);
  const int *p = perm.data();
  int A = p[X] + Y, AA = p[A] + Z, AB = p[A + 1] + Z;
  int B = p[X + 1] + Y, BA = p[B] + Z, BB = p[B + 1] + Z;
  return lerp(lerp(lerp(grad(p[AA], x, y, z), grad(p[BA], x - 1, y, z), u),
                   lerp(grad(p[AB], x, y - 1, z), grad(p[BB], x - 1, y - 1, z), u), v),
              lerp(lerp(grad(p[AA + 1], x, y, z - 1), grad(p[BA + 1], x - 1, y, z - 1), u),
                   lerp(grad(p[AB + 1], x, y - 1, z - 1), grad(p[BB + 1], x - 1, y - 1, z - 1), u), v),
              w);
}

// The normalised sum of `octaves` layers layer(amplitude, noise), each at twice the frequency and
// `gain` times the amplitude of the last.
template <typename Layer>
static float octaves_sum(const Noise3 &noise, float x, float y, float z, int octaves, float gain, Layer layer) {
  float sum = 0.0f, amp = 1.0f, norm = 0.0f;
  for (int i = 0; i < octaves; i++) {
    sum += layer(amp, noise.at(x, y, z));
    norm += amp;
    amp *= gain;
    x *= 2.0f;
    y *= 2.0f;
    z *= 2.0f;
  }
  return sum / norm;
}

float Noise3::fbm(float x, float y, float z, int octaves, float gain) const {
  return octaves_sum(*this, x, y, z, octaves, gain, [](float amp, float n) { return amp * n; });
}

float Noise3::ridged(float x, float y, float z, int octaves, float gain) const {
  return octaves_sum(*this, x, y, z, octaves, gain, [](float amp, float n) {
    const float r = 1.0f - std::fabs(n);
    return amp * r * r;
  });
}
