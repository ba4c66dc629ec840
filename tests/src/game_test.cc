// The Game object: the command line, the frame clock and pacing.
#include "game.h"
#include "game_internal.h"
#include "net_client.h"
#include "net_server.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<Game> parse(std::vector<std::string> args) {
  std::unique_ptr<Game> g(new Game());
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  testing::internal::CaptureStdout();
  g->parse_args(argv.data(), (int)argv.size());
  testing::internal::GetCapturedStdout();
  g->argv = nullptr;  // the strings die with this function
  return g;
}

}  // namespace

TEST(GameArgs, options_take_the_next_element_when_it_exists) {
  auto g = parse({"vantor", "-headless", "-port", "27015", "-mod", "server.lua"});
  EXPECT_EQ(g->headless, 1u);
  EXPECT_EQ(g->port, 27015);
  EXPECT_STREQ(g->mod_arg, "server.lua");
  EXPECT_EQ(g->argc, 6);
}

TEST(GameArgs, port_without_a_number_is_zero) {
  EXPECT_EQ(parse({"vantor", "-port"})->port, 0);
  EXPECT_EQ(parse({"vantor", "-port", "abc"})->port, 0);
  for (const char *wrapped : {"65536", "4294967297", "-5", "1.5", "33464x"})
    EXPECT_EQ(parse({"vantor", "-port", wrapped})->port, 0) << wrapped << " must not wrap or be cut to a port";
  EXPECT_EQ(parse({"vantor", "-port", "1", "-port", "2"})->port, 2) << "the last one wins";
}

TEST(GameArgs, options_match_whole_and_case_sensitive) {
  auto g = parse({"vantor", "-Headless", "-headlessx", "-mod"});
  EXPECT_EQ(g->headless, 0u);
  EXPECT_STREQ(g->mod_arg, "");
}

TEST(GameArgs, over_long_values_are_cut_to_their_fields) {
  std::string huge(2000, 'm');
  auto g = parse({"vantor", "-mod", huge, "-name", huge, "-passwd", huge});
  EXPECT_EQ(std::string(g->mod_arg), huge.substr(0, 511));
  EXPECT_EQ(std::string(g->settings.user_name), huge.substr(0, 63));
  EXPECT_EQ(std::string(g->settings.password), huge.substr(0, 63));
}

TEST(GameArgs, name_and_password_make_the_identity) {
  auto g = parse({"vantor", "-name", "bob", "-passwd", "pw"});
  EXPECT_STREQ(g->settings.login_id, "g:bob");
  EXPECT_STREQ(g->settings.display_name, "bob");
  EXPECT_EQ(std::string(g->settings.token), md5_hex("bob|" + md5_hex(std::string("pw"))));
}

TEST(FrameClock, first_frame_is_zero_and_long_frames_are_capped) {
  uint32_t last = 0;
  EXPECT_EQ(game_elapsed(&last, 1000), 0.0f);
  EXPECT_FLOAT_EQ(game_elapsed(&last, 1016), 0.016f);
  EXPECT_EQ(game_elapsed(&last, 4016), 1.0f);
  EXPECT_EQ(last, 4016u);
}

// Runs `frames` frames of `work_ms` each on a clock the test owns, sleeping what the pacer asks;
// returns the waits and leaves the clock at the end of the last frame.
static std::vector<uint32_t> run_frames(FramePacer *pacer, uint32_t *clock, int frames, uint32_t work_ms) {
  std::vector<uint32_t> waits;
  for (int i = 0; i < frames; i++) {
    *clock += work_ms;
    waits.push_back(game_frame_pacer_wait(pacer, *clock));
    *clock += waits.back();
  }
  return waits;
}

TEST(FramePacing, cheap_frames_sleep_the_rest_of_every_frame_at_sixty_per_second) {
  FramePacer pacer = {};
  uint32_t clock = 5000;
  std::vector<uint32_t> waits = run_frames(&pacer, &clock, 600, 1);
  EXPECT_EQ(waits[0], 16u);  // the first frame sleeps a whole frame
  for (uint32_t w : waits) {
    EXPECT_GE(w, 15u);  // every frame sleeps: no frame borrows the previous one's sleep
    EXPECT_LE(w, 16u);
  }
  EXPECT_NEAR(clock - 5000, 10000, 17);  // 600 frames in ten seconds: no drift
}

TEST(FramePacing, slow_frames_never_sleep_and_a_stall_starts_a_new_schedule) {
  FramePacer pacer = {};
  uint32_t clock = 0;
  run_frames(&pacer, &clock, 1, 1);
  for (uint32_t w : run_frames(&pacer, &clock, 50, 20)) EXPECT_EQ(w, 0u);
  // After the stall, cheap frames are paced again rather than racing to make up for lost time.
  uint32_t start = clock;
  std::vector<uint32_t> waits = run_frames(&pacer, &clock, 60, 2);
  for (size_t i = 2; i < waits.size(); i++) EXPECT_GE(waits[i], 14u);
  EXPECT_NEAR(clock - start, 1000, 20);
}

TEST(FramePacing, a_wrapping_clock_keeps_the_pace) {
  FramePacer pacer = {};
  uint32_t clock = UINT32_MAX - 100;
  std::vector<uint32_t> waits = run_frames(&pacer, &clock, 60, 1);
  for (uint32_t w : waits) EXPECT_LE(w, 16u);
  EXPECT_NEAR((uint32_t)(clock - (UINT32_MAX - 100)), 1000, 17);
}

TEST(GameDeinit, closes_and_deletes_the_network_endpoints) {
  std::unique_ptr<Game> g(new Game());
  g->headless = 1;
  g->server = new NetServer();
  g->client = new NetClient();
  g->deinit();
  EXPECT_EQ(g->server, nullptr);
  EXPECT_EQ(g->client, nullptr);
}
