// Global event dispatch: what the shell keeps, what reaches the state, and in which form.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "game.h"
#include "game_fixture.h"
#include "game_video.h"
#include "kez_driver-files.h"
#include "trans.h"

namespace {

struct Seen {
  int type;
  int key;
  float x, y;
};

class Recorder : public State {
 public:
  void event(Event e) override { seen.push_back({e.type, e.key, e.x, e.y}); }
  std::vector<Seen> seen;
};

class Dispatch : public GameTest {
 protected:
  void SetUp() override {
    game_open("event");
    recorder = new Recorder();
    state_register("probe", recorder);
    state_change("probe", &g->names, -1);
  }
  void TearDown() override {
    SDL_SetModState(KMOD_NONE);
    states_delete_all();
    game_close();
  }
  static Event key(int k) {
    Event e(EVT_KEYDOWN);
    e.key = k;
    return e;
  }
  std::vector<int> types() {
    std::vector<int> out;
    for (const Seen &s : recorder->seen) out.push_back(s.type);
    return out;
  }
  Recorder *recorder;
};

}  // namespace

TEST_F(Dispatch, quit_sets_the_flag_and_reaches_no_state) {
  g->event(Event(EVT_QUIT));
  EXPECT_EQ(g->quit, 1u);
  EXPECT_TRUE(recorder->seen.empty());
}

TEST_F(Dispatch, mouse_press_reaches_the_state_raw_then_generic) {
  Event e(EVT_MOUSEDOWN);
  e.x = e.raw_x = 12;
  e.y = e.raw_y = 34;
  g->event(e);
  EXPECT_EQ(types(), (std::vector<int>{EVT_MOUSEDOWN, EVT_DOWN}));
  g->event(Event(EVT_MOUSEMOVE));
  g->event(Event(EVT_MOUSEUP));
  g->event(Event(EVT_TOUCHUP));
  EXPECT_EQ(types(), (std::vector<int>{EVT_MOUSEDOWN, EVT_DOWN, EVT_MOUSEMOVE, EVT_MOVE, EVT_MOUSEUP, EVT_UP,
                                       EVT_TOUCHUP, EVT_UP}));
}

TEST_F(Dispatch, during_a_transition_only_keys_reach_the_state) {
  trans_capture(1, 2, g.get());
  ASSERT_TRUE(trans_running());
  g->event(Event(EVT_MOUSEDOWN));
  g->event(Event(EVT_MOUSEUP));
  g->event(key(KEY_A));
  g->event(Event(EVT_KEYUP));
  trans_step(1.0f);
  EXPECT_FALSE(trans_running());
  EXPECT_EQ(types(), (std::vector<int>{EVT_KEYDOWN, EVT_KEYUP}));
}

TEST_F(Dispatch, headless_drops_all_but_quit_login_and_logout) {
  g->headless = 1;
  g->event(Event(EVT_MOUSEDOWN));
  g->event(key(KEY_Q));
  g->event(Event(EVT_LOGIN));
  EXPECT_TRUE(recorder->seen.empty());
  EXPECT_STREQ(g->settings.display_name, "Anonymous");
  g->event(Event(EVT_QUIT));
  EXPECT_EQ(g->quit, 1u);
}

TEST_F(Dispatch, plain_keys_only_reach_the_state) {
  g->event(key(KEY_Q));
  g->event(key(KEY_F));
  EXPECT_EQ(g->quit, 0u);
  EXPECT_EQ(g->settings.vfull, 0);
  EXPECT_EQ(recorder->seen.size(), 2u);
}

TEST_F(Dispatch, ctrl_q_suspends_saves_and_quits_without_the_q) {
  SDL_SetModState(KMOD_LCTRL);
  g->event(key(KEY_Q));
  EXPECT_EQ(g->quit, 1u);
  EXPECT_EQ(types(), std::vector<int>{EVT_SUSPEND});
  EXPECT_EQ(driver_file_string((std::string(driver_user_dir()) + "/settings-local.dat").c_str()).size(), 2848u);
}

TEST_F(Dispatch, alt_f_toggles_fullscreen_and_the_key_still_reaches_the_state) {
  g->settings.vfull = -1;
  g->settings.vres = (640 << 16) | 480;
  SDL_SetModState(KMOD_RALT);
  g->event(key(KEY_F));
  EXPECT_EQ(g->settings.vfull, 1);
  SDL_SetModState(KMOD_LGUI);
  g->event(key(KEY_F));
  EXPECT_EQ(g->settings.vfull, -1);
  EXPECT_EQ(types(), (std::vector<int>{EVT_KEYDOWN, EVT_KEYDOWN}));
}

TEST_F(Dispatch, rotation_is_ignored_by_the_split_screen_but_reaches_it) {
  state_register("states_play2", new Recorder());
  state_change("states_play2", &g->names, -1);
  Event e(EVT_ROTATE);
  e.key = 90;
  g->event(e);
  EXPECT_EQ(game_video_rotation(), 0.0f);
  EXPECT_EQ(static_cast<Recorder *>(state_find("states_play2"))->seen.size(), 1u);
}

TEST_F(Dispatch, resize_applies_a_new_size_once) {
  game_video_resize(640, 480);  // the applied size is the process's: start from a known one
  Event e(EVT_RESIZE);
  e.w = 800;
  e.h = 600;
  g->event(e);
  EXPECT_EQ(app_info->width, 800);
  EXPECT_FLOAT_EQ(app_info->aspect, 800.0f / 600.0f);
  EXPECT_TRUE(game_video_resize(801, 600)) << "a change of width alone applies";
  EXPECT_FALSE(game_video_resize(801, 600)) << "the applied size is not applied again";
  EXPECT_EQ(recorder->seen.size(), 1u);
}
