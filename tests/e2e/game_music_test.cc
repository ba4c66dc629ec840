// Music in the real game, heard where a player hears it: the mixed output that SDL's disk audio
// driver writes to a file, 16-bit stereo samples at 44100 Hz.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "e2e_process.h"

static const int WAIT_MS = 30000;

namespace {

constexpr long FRAME_BYTES = 4;  // one stereo frame of two 16-bit samples
constexpr long RATE = 44100;

long file_size(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (long)st.st_size : 0;
}

// Waits (bounded) until the file holds at least `bytes`; false when it did not in time.
bool wait_for_size(const std::string &path, long bytes, int timeout_ms) {
  for (int waited = 0; waited < timeout_ms; waited += 20) {
    if (file_size(path) >= bytes) return true;
    usleep(20000);  // the audio thread writes the file at the pace of the sound
  }
  return false;
}

// The loudest sample in the byte range [from, to) of the raw output.
int peak(const std::string &raw, long from, long to) {
  int top = 0;
  for (long at = from & ~1L; at + 2 <= to && at + 2 <= (long)raw.size(); at += 2) {
    int16_t v;
    memcpy(&v, raw.data() + at, 2);
    top = std::max(top, std::abs((int)v));
  }
  return top;
}

}  // namespace

TEST(Music, the_home_screen_plays_the_menu_music_into_the_mixed_output) {
  char dir[] = "/tmp/vantor-e2e-audio-XXXXXX";
  ASSERT_TRUE(mkdtemp(dir));
  const std::string raw = std::string(dir) + "/out.raw";
  GameProcess p = game_start({}, {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", raw}});
  const unsigned long window = x_wait_window(p, 20);
  ASSERT_NE(window, 0u) << file_text(p.output);
  ASSERT_TRUE(wait_for_text(p.output, "play_music: mus-menu", WAIT_MS)) << file_text(p.output);
  // From the request on, the track fades in over half a second; the second after that must sound.
  const long start = file_size(raw);
  const long from = start + RATE * FRAME_BYTES * 6 / 10, to = from + RATE * FRAME_BYTES;
  ASSERT_TRUE(wait_for_size(raw, to, WAIT_MS)) << "the audio device stopped writing";
  EXPECT_GT(peak(file_text(raw), from, to), 32768 / 16) << "the home screen is silent";
  x_close_window(window);
  EXPECT_EQ(game_wait(p, WAIT_MS), 0);
  unlink(raw.c_str());
  rmdir(dir);
}
