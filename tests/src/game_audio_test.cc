// Music: cross-fades between tracks driven frame by frame on a paused mixer, read back from its
// voices; and the audio settings page's sliders reaching those voices.
#include "game_audio.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "data_override.h"
#include "game.h"
#include "game_audio_internal.h"
#include "kez_audio.h"
#include "kez_audio_internal.h"
#include "kez_sound.h"
#include "menus.h"
#include "vantor_fleet.h"
#include "vantor_paint_gl.h"

namespace {

// A short 16-bit mono WAV file at 44100 Hz.
std::string tone_wav() {
  auto u16 = [](int v) { return std::string{(char)(v & 255), (char)((v >> 8) & 255)}; };
  auto u32 = [&u16](uint32_t v) { return u16((int)(v & 0xffff)) + u16((int)(v >> 16)); };
  std::string data(400, '\x10');
  return "RIFF" + u32(36 + (uint32_t)data.size()) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(44100) + u32(88200) +
         u16(2) + u16(16) + "data" + u32((uint32_t)data.size()) + data;
}

// A mixer that never mixes (so voices stay as set), the sound registry over it, and a Game for the
// volumes, which becomes the game most code reads.
std::unique_ptr<Game> paused_mixer_open() {
  _driver_audio_init();
  EXPECT_NE(driver_mixer, nullptr);
  SDL_PauseAudio(1);
  sound_init();
  auto g = std::make_unique<Game>();
  game = g.get();
  return g;
}

void paused_mixer_close() {
  game = nullptr;
  sound_deinit();
  _driver_audio_deinit();
}

// The mixer's voice of stream or sample id; null when it has none.
MixerVoice *voice(int id) {
  for (MixerVoice &v : driver_mixer->voices) {
    if (v.source == id) return &v;
  }
  return nullptr;
}

// Two tracks in the data folder, a mixer that never mixes (so voices stay as set) and a Game for the
// volume. Frames of 1/64 s make each fade step an exact 1/32.
class Music : public DataOverrideTest {
 protected:
  void SetUp() override {
    override_open("music");
    file("mus-a.wav", tone_wav());
    file("mus-b.wav", tone_wav());
    g = paused_mixer_open();
    ASSERT_NE(driver_mixer, nullptr);
    game->settings.music_volume = 100;
    GameAudio::play_music("mus-none");  // fades out whatever an earlier test left playing
    GameAudio::update(1, 0);
    a = sound_stream_load("mus-a");
    b = sound_stream_load("mus-b");
    ASSERT_NE(a, 0);
  }
  void TearDown() override {
    paused_mixer_close();
    override_close();
  }
  static void frames(int n) {
    for (int i = 0; i < n; i++) GameAudio::update(1.0f / 64, 0);
  }

  std::unique_ptr<Game> g;
  int a = 0, b = 0;
};

// A sound effect in the data folder, the mixer paused and a Game for the volume.
class Effects : public DataOverrideTest {
 protected:
  void SetUp() override {
    override_open("effects");
    file("sfx-hit.wav", tone_wav());
    g = paused_mixer_open();
    ASSERT_NE(driver_mixer, nullptr);
    game->settings.sound_volume = 100;
  }
  void TearDown() override {
    paused_mixer_close();
    override_close();
  }

  std::unique_ptr<Game> g;
};

}  // namespace

TEST_F(Effects, a_burst_of_hits_plays_a_few_at_once_and_more_once_those_end) {
  const int hit = sound_sample_load("sfx-hit");
  ASSERT_NE(hit, 0);
  for (int i = 0; i < 50; i++) vantor_sfx_play("hit");
  EXPECT_EQ(driver_audio_voices(hit), VANTOR_SFX_VOICES);
  std::vector<float> buffer(2048);
  SDL_LockAudio();
  _driver_audio_mix(buffer.data(), (int)buffer.size());  // longer than the sound: its voices end
  SDL_UnlockAudio();
  EXPECT_EQ(driver_audio_voices(hit), 0);
  vantor_sfx_play("hit");
  EXPECT_EQ(driver_audio_voices(hit), 1);
}

TEST_F(Music, a_new_track_fades_in_over_half_a_second_while_the_old_one_fades_out_and_stops) {
  GameAudio::play_music("mus-a");
  frames(32);
  EXPECT_EQ(_game_audio_level(a), 1.0f);
  GameAudio::play_music("mus-b");
  EXPECT_EQ(voice(b)->gain, 0.0f);
  frames(31);
  EXPECT_EQ(_game_audio_level(b), 31.0f / 32);
  EXPECT_EQ(voice(a)->gain, 1.0f / 32);
  frames(1);
  EXPECT_EQ(_game_audio_level(b), 1.0f);
  EXPECT_EQ(_game_audio_level(a), -1.0f);
  EXPECT_EQ(voice(a), nullptr);

  GameAudio::play_music(std::string(5000, 'x').c_str());  // no such file: silence
  EXPECT_EQ(_game_audio_current(), 0);
  frames(32);
  EXPECT_EQ(voice(b), nullptr);
}

TEST_F(Music, asking_for_the_current_track_keeps_it_and_a_fading_track_restarts_from_its_beginning) {
  GameAudio::play_music("mus-a");
  frames(32);
  voice(a)->position = 1000;
  GameAudio::play_music("mus-a");
  EXPECT_EQ(voice(a)->position, 1000);
  GameAudio::play_music("mus-b");
  frames(8);
  EXPECT_EQ(_game_audio_level(a), 0.75f);
  GameAudio::play_music("mus-a");
  EXPECT_EQ(voice(a)->position, 0);
  EXPECT_EQ(voice(a)->gain, 0.0f);
  EXPECT_EQ(_game_audio_level(a), 0.0f);
}

TEST_F(Music, volume_changes_apply_at_once_when_forced_and_bad_frame_times_or_volumes_are_contained) {
  GameAudio::play_music("mus-a");
  frames(16);
  GameAudio::update(NAN, 0);
  game->settings.music_volume = 50;
  GameAudio::update(-1, 0);
  EXPECT_EQ(voice(a)->gain, 0.5f) << "an unforced update leaves a level that did not move";
  GameAudio::update(0, 1);
  EXPECT_EQ(voice(a)->gain, 0.25f);
  game->settings.music_volume = 1000;  // a damaged settings file
  GameAudio::update(0, 1);
  EXPECT_EQ(voice(a)->gain, 0.5f);
  game->settings.music_volume = 0;
  frames(16);
  EXPECT_EQ(_game_audio_level(a), 1.0f);
  EXPECT_EQ(voice(a)->gain, 0.0f) << "playing on, silent";
}

namespace {

// The audio settings page under a real window, over a paused mixer playing the track "mus-a".
class AudioPage : public PaintGlTest {
 protected:
  void SetUp() override {
    PaintGlTest::SetUp();
    file("mus-a.wav", tone_wav());
    file("sfx-ping.wav", tone_wav());
    g = paused_mixer_open();
    ASSERT_NE(driver_mixer, nullptr);
    game->settings.music_volume = game->settings.sound_volume = 80;
    menus_init(game);
    GameAudio::play_music("mus-none");  // an earlier test's "mus-a" would count as playing already
    GameAudio::play_music("mus-a");
    GameAudio::update(1, 0);
    track = sound_stream_load("mus-a");
    state_change("menus_settings_audio", &game->names, -1);
    state_paint(game->names.current);
  }
  void TearDown() override {
    GameAudio::play_music("mus-none");
    GameAudio::update(1, 0);
    states_delete_all();
    g.reset();
    paused_mixer_close();
    PaintGlTest::TearDown();
  }
  Widget *slider(const char *name) {
    return static_cast<MenusState *>(state_find("menus_settings_audio"))->root.find(name);
  }
  // A press and release at a share of the slider's width, as a tap on its track.
  void tap(Widget *w, float share) {
    const GfxRect r = w->get_rect(true);
    Event e(EVT_DOWN);
    e.x = r.x + r.w * share;
    e.y = r.y + r.h / 2;
    e.button = 1;
    state_event(game->names.current, e);
    e.type = EVT_UP;
    state_event(game->names.current, e);
  }
  std::unique_ptr<Game> g;
  int track = 0;
};

}  // namespace

// Nobody has to restart for a volume to count: the playing music follows the slider in the frame it
// moves, and the ping that answers the effects slider already sounds at the new level.
TEST_F(AudioPage, the_music_and_effects_sliders_apply_at_once) {
  ASSERT_TRUE(voice(track));
  ASSERT_FLOAT_EQ(voice(track)->gain, 0.8f);
  slider("music")->set_int(20);
  state_loop(game->names.current, 0);
  EXPECT_EQ(game->settings.music_volume, 20);
  EXPECT_FLOAT_EQ(voice(track)->gain, 0.2f) << "the music follows the slider in the same frame";

  ASSERT_TRUE(slider("sfx"));
  tap(slider("sfx"), 0.35f);
  const int volume = slider("sfx")->get_int();
  ASSERT_LT(volume, 80);
  ASSERT_GT(volume, 0);
  EXPECT_EQ(game->settings.sound_volume, volume) << "the new volume is stored before the ping plays";
  MixerVoice *ping = voice(sound_sample_load("sfx-ping"));
  ASSERT_TRUE(ping) << "the effects slider answers with a ping";
  EXPECT_FLOAT_EQ(ping->gain, volume / 100.0f);
}
