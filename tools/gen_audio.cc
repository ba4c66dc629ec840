// Audio generator: the sound effects "sfx-hit", "sfx-explode", "sfx-ping" (16-bit WAV) and the
// music "mus-menu" (the menus) and "mus-match" (the match modes) (Ogg Vorbis), all synthesised here
// at the mixer's 44100 Hz.
//
// Each track is a loop that must repeat without a seam: the player restarts the stream at its first
// sample when it ends. Everything is therefore rendered on a circular timeline one loop long — a
// note that rings past the end continues at the beginning — and the filter and the reverb run over
// the loop twice, keeping the second pass, so their state at the end flows into the start. The menu
// track is a slow ambient pad with sparse bells; the match track lays a plucked bass pulse and an
// arpeggio over a quieter pad, on a beat grid that divides the loop.
//
// Usage: gen_audio OUTPUT_DIR
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <vorbis/vorbisenc.h>

#include "art_noise.h"
#include "art_out.h"
#include "art_sound.h"

namespace {

constexpr float kTau = 6.2831853f;
constexpr float kRate = kSoundRate;

float midi_hz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

// Scales samples so the loudest has magnitude peak.
void normalise(std::vector<float> &s, float peak) {
  float top = 0.0f;
  for (float v : s) top = std::max(top, std::fabs(v));
  if (top > 0.0f)
    for (float &v : s) v *= peak / top;
}

// Ends a one-shot with a short fade so it never stops on a click.
void fade_tail(std::vector<float> &s, float seconds) {
  size_t n = std::min(s.size(), static_cast<size_t>(seconds * kRate));
  for (size_t i = 0; i < n; i++) s[s.size() - 1 - i] *= static_cast<float>(i) / n;
}

// ---- Sound effects -------------------------------------------------------------------------

// A ship hitting a planet: a short, soft, noisy tick. Played often, so it stays quiet and dry.
std::vector<float> make_hit() {
  constexpr float kLength = 0.09f, kNoiseDecay = 0.016f, kTickHz = 1900.0f, kTickDecay = 0.006f;
  Rng rng(301);
  OnePole low, high;
  std::vector<float> s(static_cast<size_t>(kLength * kRate));
  for (size_t i = 0; i < s.size(); i++) {
    float t = i / kRate, noise = rng.range(-1.0f, 1.0f);
    float band = low.step(noise, 5000.0f) - high.step(noise, 900.0f);  // keep roughly 0.9-5 kHz
    s[i] = band * std::exp(-t / kNoiseDecay) + 0.5f * std::sin(kTau * kTickHz * t) * std::exp(-t / kTickDecay);
  }
  normalise(s, 0.3f);  // several play at once in a fight
  fade_tail(s, 0.01f);
  return s;
}

// A planet changing hands: a low boom whose noise darkens as it dies away, over a falling thump
// and a scatter of crackles.
std::vector<float> make_explode() {
  constexpr float kLength = 1.7f, kDecay = 0.42f, kThumpDecay = 0.28f, kCrackle = 0.45f;
  Rng rng(302);
  OnePole rumble, rumble2, crackle_filter;
  std::vector<float> s(static_cast<size_t>(kLength * kRate));
  float thump_phase = 0.0f;
  for (size_t i = 0; i < s.size(); i++) {
    float t = i / kRate;
    float cutoff = 150.0f + 2600.0f * std::exp(-t / 0.18f);
    float noise = rumble2.step(rumble.step(rng.range(-1.0f, 1.0f), cutoff), cutoff);  // two poles
    float attack = 1.0f - std::exp(-t / 0.004f);
    thump_phase += kTau * (38.0f + 70.0f * std::exp(-t / 0.2f)) / kRate;
    float thump = std::sin(thump_phase) * std::exp(-t / kThumpDecay);
    float spark = (t < kCrackle && rng.uniform() < 0.0015f) ? rng.range(-1.0f, 1.0f) : 0.0f;
    float crackle = crackle_filter.step(spark, 3000.0f) * 6.0f * (1.0f - t / kCrackle);
    s[i] = attack * (2.2f * noise * std::exp(-t / kDecay) + 0.9f * thump + crackle);
  }
  normalise(s, 0.6f);  // over a fight's hits and the music, still under the mixer's ceiling
  fade_tail(s, 0.15f);
  return s;
}

// A soft bell: a few partials of a struck bar, the higher ones dying first.
std::vector<float> make_ping() {
  constexpr float kLength = 1.3f, kBaseHz = 880.0f;
  struct Partial {
    float ratio, amplitude, decay;
  };
  const Partial kPartials[] = {{1.0f, 1.0f, 0.5f}, {2.0f, 0.3f, 0.28f}, {2.76f, 0.16f, 0.16f}, {5.4f, 0.05f, 0.07f}};
  std::vector<float> s(static_cast<size_t>(kLength * kRate));
  for (size_t i = 0; i < s.size(); i++) {
    float t = i / kRate, v = 0.0f;
    for (const Partial &p : kPartials) v += p.amplitude * std::sin(kTau * kBaseHz * p.ratio * t) * std::exp(-t / p.decay);
    s[i] = v * (1.0f - std::exp(-t / 0.002f));
  }
  normalise(s, 0.45f);
  fade_tail(s, 0.05f);
  return s;
}

// ---- Music ---------------------------------------------------------------------------------

constexpr float kPadFade = 6.0f;        // a chord's swell in and out; neighbours cross-fade over it
constexpr float kMusicPeak = 0.6f;     // headroom under the mixer's limiter
constexpr float kVorbisQuality = 0.2f; // about 80 kbit/s: small file, quick to encode
constexpr int kOggSerial = 0x56427221;  // fixed, so the file is the same on every build

struct Chord {
  int bass;
  std::vector<int> notes;  // MIDI numbers
};

// What a track is made of. The loop holds the chords in turn; the filter's sweep period and, with a
// pulse, the beat must divide the loop so the seam falls on the grid.
struct Score {
  const char *title;        // the Vorbis TITLE tag
  float loop_seconds;
  float sweep_seconds;      // period of the low-pass's slow opening and closing
  float pad_bass, pad_note; // the pad's level for the bass note and for each chord note
  std::vector<Chord> chords;
  std::vector<int> bells;   // sparse high bell notes over the pad; none when empty
  float pulse_bpm;          // the bass pulse and arpeggio in eighths at this tempo; 0 for none
  unsigned seed;

  // Each chord's share of the loop.
  float chord_seconds() const { return loop_seconds / chords.size(); }
};

// The menus: D minor, drifting — Dm9, Bbmaj7(#11), Fmaj7, Cadd9 — with bells from the D minor
// pentatonic.
const Score kMenuScore = {
    "Vantor Brevane menu", 64.0f, 32.0f, 0.22f, 0.1f,
    {{38, {50, 57, 60, 64, 65}}, {34, {46, 53, 57, 62, 64}}, {41, {53, 57, 60, 64, 69}}, {36, {48, 55, 62, 64, 67}}},
    {74, 76, 77, 79, 81, 84, 86}, 0.0f, 401,
};

// The match: A minor with more push — Am9, Fmaj7(#11), Dm9, Em9 — at 120 beats a minute, so a
// chord lasts eight bars and the loop 128 beats.
const Score kMatchScore = {
    "Vantor Brevane match", 64.0f, 32.0f, 0.14f, 0.06f,
    {{45, {57, 60, 64, 67, 71}}, {41, {53, 57, 60, 64, 71}}, {38, {50, 53, 57, 60, 64}}, {40, {52, 55, 59, 62, 66}}},
    {}, 120.0f, 402,
};

// A stereo buffer on a circle: writes past the end wrap to the start.
struct Loop {
  size_t frames;
  std::vector<float> left, right;
  explicit Loop(size_t n) : frames(n), left(n, 0.0f), right(n, 0.0f) {}
  void add(size_t frame, float l, float r) {
    left[frame % frames] += l;
    right[frame % frames] += r;
  }
};

// One cycle of the pad's tone: soft harmonics falling away quickly, so it is warm, not buzzy.
std::vector<float> pad_wave() {
  constexpr int kTable = 4096, kHarmonics = 10;
  std::vector<float> w(kTable + 1);
  for (int i = 0; i <= kTable; i++) {
    float v = 0.0f;
    for (int h = 1; h <= kHarmonics; h++) v += std::sin(kTau * h * i / kTable) / std::pow(static_cast<float>(h), 1.7f);
    w[i] = v;
  }
  return w;
}

// A held note: three slightly detuned voices spread across the stereo field by `spread` (0 keeps
// them in the middle, 1 spreads them wide), swelling in over
// kPadFade seconds and, after `hold` seconds, out again over the same time.
void add_pad_note(Loop &loop, const std::vector<float> &wave, Rng &rng, float start, float hold, float note,
                  float amplitude, float spread) {
  constexpr float kDetuneCents[3] = {-7.0f, 0.0f, 7.0f};
  constexpr float kPan[3] = {0.2f, 0.5f, 0.8f};
  const size_t table = wave.size() - 1;
  const float length = hold + kPadFade;
  for (int v = 0; v < 3; v++) {
    float hz = midi_hz(note + kDetuneCents[v] / 100.0f);
    float phase = rng.uniform() * table, step = hz * table / kRate;
    float pan = 0.5f + spread * (kPan[v] - 0.5f + rng.range(-0.1f, 0.1f));
    size_t first = static_cast<size_t>(start * kRate), count = static_cast<size_t>(length * kRate);
    for (size_t i = 0; i < count; i++) {
      float t = i / kRate;
      // Raised-cosine ramps: a fade-out and an overlapping fade-in always sum to full level.
      float env = t < kPadFade ? 0.5f - 0.5f * std::cos(kTau * 0.5f * t / kPadFade) : 1.0f;
      if (t > hold) env *= 0.5f + 0.5f * std::cos(kTau * 0.5f * (t - hold) / kPadFade);
      size_t k = static_cast<size_t>(phase);
      float frac = phase - k, sample = wave[k] + (wave[k + 1] - wave[k]) * frac;
      float out = sample * env * amplitude / 3.0f;
      loop.add(first + i, out * std::sqrt(1.0f - pan), out * std::sqrt(pan));
      phase += step;
      if (phase >= table) phase -= table;
    }
  }
}

// A soft bell tone for the sparkle over the pad.
void add_bell(Loop &loop, float start, float note, float amplitude, float pan) {
  constexpr float kLength = 4.0f;
  float hz = midi_hz(note);
  size_t first = static_cast<size_t>(start * kRate);
  for (size_t i = 0; i < static_cast<size_t>(kLength * kRate); i++) {
    float t = i / kRate;
    float v = std::sin(kTau * hz * t) * std::exp(-t / 1.2f) + 0.25f * std::sin(kTau * hz * 2.0f * t) * std::exp(-t / 0.4f);
    v *= amplitude * (1.0f - std::exp(-t / 0.01f)) * (1.0f - t / kLength);
    loop.add(first + i, v * std::sqrt(1.0f - pan), v * std::sqrt(pan));
  }
}

// A plucked note for the pulse: a tone with two soft overtones, a click-free attack and an
// exponential decay, gone after five decay times.
void add_pluck(Loop &loop, float start, float note, float amplitude, float decay, float pan) {
  const float hz = midi_hz(note), length = 5.0f * decay;
  const size_t first = static_cast<size_t>(start * kRate), count = static_cast<size_t>(length * kRate);
  for (size_t i = 0; i < count; i++) {
    float t = i / kRate;
    float v = std::sin(kTau * hz * t) + 0.35f * std::sin(kTau * 2.0f * hz * t) + 0.12f * std::sin(kTau * 3.0f * hz * t);
    v *= amplitude * std::exp(-t / decay) * (1.0f - std::exp(-t / 0.003f)) * (1.0f - t / length);
    loop.add(first + i, v * std::sqrt(1.0f - pan), v * std::sqrt(pan));
  }
}

// The match's drive, in eighths: the chord's bass note on the beat and its octave off the beat,
// and above them the chord's notes an octave up in a rising and falling figure, panned left and
// right in turn.
void add_pulse(Loop &loop, const Score &score) {
  constexpr int kFigure[] = {0, 2, 1, 3, 4, 3, 2, 1};
  const float eighth = 30.0f / score.pulse_bpm;
  const int per_chord = static_cast<int>(std::lround(score.chord_seconds() / eighth));
  for (size_t c = 0; c < score.chords.size(); c++) {
    const Chord &chord = score.chords[c];
    for (int k = 0; k < per_chord; k++) {
      const float t = (c * per_chord + k) * eighth;
      const bool on_beat = k % 2 == 0;
      add_pluck(loop, t, static_cast<float>(chord.bass + (on_beat ? 0 : 12)), on_beat ? 0.16f : 0.09f, 0.12f, 0.5f);
      const int note = chord.notes[kFigure[k % 8] % chord.notes.size()] + 12;
      add_pluck(loop, t, static_cast<float>(note), 0.035f, 0.22f, k % 2 ? 0.3f : 0.7f);
    }
  }
}

// Slowly opening and closing low-pass over the whole mix; its sweep period divides the loop.
void breathe(Loop &loop, float sweep_seconds) {
  for (std::vector<float> *ch : {&loop.left, &loop.right}) {
    OnePole a, b;
    std::vector<float> out(loop.frames);
    for (int pass = 0; pass < 2; pass++)  // the first pass only settles the filter state
      for (size_t i = 0; i < loop.frames; i++) {
        float t = i / kRate;
        float cutoff = 2000.0f + 900.0f * std::sin(kTau * t / sweep_seconds);
        out[i] = b.step(a.step((*ch)[i], cutoff), cutoff * 1.6f);
      }
    *ch = out;
  }
}

// A small Schroeder reverb: parallel feedback combs over the mid (mono) signal, then a different
// chain of all-passes for each side. The all-passes only shift phase, so the two sides get the
// same loudness while sounding apart. Run round the loop twice so the tail at the end carries
// into the beginning.
void reverberate(Loop &loop, float wet) {
  const int kCombs[] = {1557, 1617, 1491, 1422, 1277, 1356};  // delays in samples
  const int kAllpasses[2][2] = {{556, 441}, {579, 464}};      // left, right
  constexpr float kFeedback = 0.84f, kDamp = 0.3f, kAllpassGain = 0.5f, kInputGain = 0.15f;

  std::vector<float> tail(loop.frames);
  std::vector<std::vector<float>> combs;
  for (int d : kCombs) combs.emplace_back(d, 0.0f);
  std::vector<float> damp_state(combs.size(), 0.0f);
  std::vector<size_t> comb_at(combs.size(), 0);
  for (int pass = 0; pass < 2; pass++)  // the first pass only fills the delay lines
    for (size_t i = 0; i < loop.frames; i++) {
      float x = (loop.left[i] + loop.right[i]) * 0.5f * kInputGain, sum = 0.0f;
      for (size_t k = 0; k < combs.size(); k++) {
        float y = combs[k][comb_at[k]];
        damp_state[k] = y * (1.0f - kDamp) + damp_state[k] * kDamp;
        combs[k][comb_at[k]] = x + damp_state[k] * kFeedback;
        comb_at[k] = (comb_at[k] + 1) % combs[k].size();
        sum += y;
      }
      tail[i] = sum;
    }

  std::vector<float> *channels[2] = {&loop.left, &loop.right};
  for (int c = 0; c < 2; c++) {
    std::vector<std::vector<float>> alls;
    for (int d : kAllpasses[c]) alls.emplace_back(d, 0.0f);
    std::vector<size_t> all_at(alls.size(), 0);
    std::vector<float> &out = *channels[c];
    for (int pass = 0; pass < 2; pass++)
      for (size_t i = 0; i < loop.frames; i++) {
        float y = tail[i];
        for (size_t k = 0; k < alls.size(); k++) {
          float buffered = alls[k][all_at[k]];
          alls[k][all_at[k]] = y + buffered * kAllpassGain;
          all_at[k] = (all_at[k] + 1) % alls[k].size();
          y = buffered - y;
        }
        if (pass == 1) out[i] = out[i] * (1.0f - wet) + y * wet;
      }
  }
}

Loop make_music(const Score &score) {
  const size_t frames = static_cast<size_t>(score.loop_seconds * kRate);
  Loop loop(frames);
  std::vector<float> wave = pad_wave();
  Rng rng(score.seed);
  for (size_t c = 0; c < score.chords.size(); c++) {
    // Each chord swells in while the last one fades, so the harmony drifts rather than steps.
    float start = c * score.chord_seconds() - kPadFade * 0.5f + score.loop_seconds;  // + a loop: start stays positive
    float hold = score.chord_seconds();
    const Chord &chord = score.chords[c];
    add_pad_note(loop, wave, rng, start, hold, static_cast<float>(chord.bass), score.pad_bass, 0.0f);
    for (int note : chord.notes) add_pad_note(loop, wave, rng, start, hold, static_cast<float>(note), score.pad_note, 1.0f);
  }
  // Bells on a half-second grid, about one every three seconds, never two close together.
  float last = -10.0f;
  for (float t = 0.0f; !score.bells.empty() && t < score.loop_seconds; t += 0.5f)
    if (t - last >= 1.5f && rng.uniform() < 0.17f) {
      int note = score.bells[rng.below(static_cast<int>(score.bells.size()))];
      add_bell(loop, t, static_cast<float>(note), rng.range(0.025f, 0.045f), rng.range(0.2f, 0.8f));
      last = t;
    }
  if (score.pulse_bpm > 0) add_pulse(loop, score);
  breathe(loop, score.sweep_seconds);
  reverberate(loop, 0.35f);
  float top = 0.0f;
  for (size_t i = 0; i < frames; i++) top = std::max({top, std::fabs(loop.left[i]), std::fabs(loop.right[i])});
  for (size_t i = 0; i < frames; i++) {
    loop.left[i] *= kMusicPeak / top;
    loop.right[i] *= kMusicPeak / top;
  }
  return loop;
}

// Encodes stereo float samples as an Ogg Vorbis file.
bool write_ogg(const std::string &path, const Loop &loop, const char *title) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, 2, kSoundRate, kVorbisQuality) != 0) {
    std::fprintf(stderr, "vorbis encoder set-up failed\n");
    std::fclose(f);
    return false;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "TITLE", title);
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, kOggSerial);

  ogg_page page;
  ogg_packet header, header_comment, header_code;
  vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &header_comment);
  ogg_stream_packetin(&stream, &header_code);
  bool ok = true;
  auto write_page = [&]() {
    ok = ok && std::fwrite(page.header, 1, page.header_len, f) == static_cast<size_t>(page.header_len);
    ok = ok && std::fwrite(page.body, 1, page.body_len, f) == static_cast<size_t>(page.body_len);
  };
  while (ogg_stream_flush(&stream, &page)) write_page();  // the headers get pages of their own

  // Feed blocks of samples, then an empty write to mark the end; drain packets after each.
  constexpr size_t kChunk = 4096;
  for (size_t at = 0;; at += kChunk) {
    size_t n = at < loop.frames ? std::min(kChunk, loop.frames - at) : 0;
    if (n > 0) {
      float **buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
      for (size_t i = 0; i < n; i++) {
        buffer[0][i] = loop.left[at + i];
        buffer[1][i] = loop.right[at + i];
      }
    }
    vorbis_analysis_wrote(&dsp, static_cast<int>(n));
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page)) write_page();
      }
    }
    if (n == 0) break;
  }
  while (ogg_stream_flush(&stream, &page)) write_page();

  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  ok = std::fclose(f) == 0 && ok;
  if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char **argv) {
  if (!art_args_ok(argc, argv, "OUTPUT_DIR")) return 2;
  std::string out = argv[1];
  bool ok = wav_write(out + "/sfx-hit.wav", make_hit(), 1);
  ok = wav_write(out + "/sfx-explode.wav", make_explode(), 1) && ok;
  ok = wav_write(out + "/sfx-ping.wav", make_ping(), 1) && ok;
  ok = write_ogg(out + "/mus-menu.ogg", make_music(kMenuScore), kMenuScore.title) && ok;
  ok = write_ogg(out + "/mus-match.ogg", make_music(kMatchScore), kMatchScore.title) && ok;
  return ok ? 0 : 1;
}
