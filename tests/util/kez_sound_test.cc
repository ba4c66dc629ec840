// The sound registry: names found in the data folder by extension, remembered misses, separate sample
// and stream records, and the once-a-second report of changed files.
#include "kez_sound.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <utime.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "data_override.h"
#include "kez_driver-sdl2.h"
#include "kez_sound_internal.h"

namespace {

int64_t fake_now;
int64_t fake_clock() { return fake_now; }

// A short 16-bit mono WAV file at 44100 Hz.
std::string beep_wav() {
  auto u16 = [](int v) { return std::string{(char)(v & 255), (char)((v >> 8) & 255)}; };
  auto u32 = [&u16](uint32_t v) { return u16((int)(v & 0xffff)) + u16((int)(v >> 16)); };
  std::string data(400, '\x10');
  return "RIFF" + u32(36 + (uint32_t)data.size()) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(44100) + u32(88200) +
         u16(2) + u16(16) + "data" + u32((uint32_t)data.size()) + data;
}

// A data override folder of its own, a running (paused) mixer and a fresh registry for every test.
class SoundFiles : public DataOverrideTest {
 protected:
  void SetUp() override {
    override_open("sound");
    _driver_audio_init();
    ASSERT_NE(driver_mixer, nullptr);
    SDL_PauseAudio(1);
    sound_init();
  }
  void TearDown() override {
    sound_deinit();
    _driver_audio_deinit();
    _sound_clock_set(nullptr);
    override_close();
  }
  static void TearDownTestSuite() {
    free(app_info);
    app_info = nullptr;
  }

  std::string file(const std::string &name, const std::string &bytes) {
    std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  void file_time(const std::string &name, int64_t seconds) {
    struct utimbuf times = {(time_t)seconds, (time_t)seconds};
    ASSERT_EQ(utime((folder + "/" + name).c_str(), &times), 0);
  }
  static int count(const std::string &text, const std::string &line) {
    int n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) n++;
    return n;
  }
};

}  // namespace

TEST_F(SoundFiles, missing_sample_is_searched_for_and_reported_once) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(sound_sample_load("nothing"), 0);
  EXPECT_EQ(sound_sample_load("nothing"), 0);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count(err, ":: trying load sample nothing\n"), 1);
  EXPECT_EQ(count(err, "unable to find sample nothing\n"), 1);
  EXPECT_EQ(sound_registry->samples.at("nothing").path[0], 0);
}

TEST_F(SoundFiles, sample_and_stream_of_one_name_have_their_own_records) {
  file("beep.wav", beep_wav());
  testing::internal::CaptureStderr();
  int sample = sound_sample_load("beep"), stream = sound_stream_load("beep");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(sample, 0);
  EXPECT_NE(stream, 0);
  EXPECT_NE(sample, stream);
  EXPECT_EQ(sound_sample_load("beep"), sample);
  EXPECT_EQ(sound_stream_load("beep"), stream);
  EXPECT_EQ(count(err, "doing load sample beep\n"), 1);
  EXPECT_EQ(count(err, "trying load stream beep\n"), 1);
  EXPECT_EQ(count(err, "doing load stream beep\n"), 1);
  EXPECT_EQ(sound_registry->streams.at("beep").path, folder + "/beep.wav");
}

TEST_F(SoundFiles, find_tries_the_name_as_given_then_each_extension_in_order) {
  file("tone.wav", beep_wav());
  file("tone.wav.wav", beep_wav());
  file("pad.mp3", "not audio");
  file("pad.ogg", "not audio");
  file("hum.caf", "not audio");
  EXPECT_EQ(_sound_find("tone.wav"), folder + "/tone.wav");
  EXPECT_EQ(_sound_find("pad"), folder + "/pad.ogg");
  EXPECT_EQ(_sound_find("hum"), folder + "/hum.caf");
  EXPECT_EQ(_sound_find("none"), "");
  EXPECT_EQ(sound_sample_load("hum"), 0) << "found, but no loader takes it";
  EXPECT_EQ(sound_registry->samples.at("hum").path, folder + "/hum.caf");
}

TEST_F(SoundFiles, reload_reports_a_settled_change_once_and_at_most_once_a_second) {
  file("beep.wav", beep_wav());
  file_time("beep.wav", 1000);
  ASSERT_NE(sound_sample_load("beep"), 0);
  _sound_clock_set(fake_clock);
  testing::internal::CaptureStderr();
  file_time("beep.wav", 2000);
  for (fake_now = 2000; fake_now <= 2002; fake_now++) sound_reload();  // reported once 2 s old
  file_time("beep.wav", 2001);
  fake_now = 2002;
  sound_reload();  // the same second: not looked at
  for (fake_now = 2003; fake_now <= 2005; fake_now++) sound_reload();
  std::string err = testing::internal::GetCapturedStderr();
  std::string line = "sample reload: " + folder + "/beep.wav\n";
  EXPECT_EQ(err, line + line);
  EXPECT_EQ(sound_registry->samples.at("beep").file_time, 2001);
}

TEST(SoundRegistry, without_a_registry_every_name_is_silent) {
  ASSERT_EQ(sound_registry, nullptr);
  EXPECT_EQ(sound_sample_load("sfx-hit"), 0);
  EXPECT_EQ(sound_stream_load("mus-menu"), 0);
  sound_reload();
}
