// The match tick: the speed and ticks parameters, and marking the local player.
#include "game_match.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "game.h"
#include "mods_api.h"
#include "mods_fixture.h"
#include "mods_lua.h"
#include "vantor_step.h"

namespace {

class Tick : public testing::Test {
 protected:
  void SetUp() override {
    g.reset(new Game());
    game = g.get();
    g->headless = 1;
    g->mods = new ModsAPI(g.get());
  }
  void TearDown() override {
    delete g->mods;
    g->mods = nullptr;
    g.reset();
  }
  void param(const char *key, double value) { g->mods->params[key] = var(value); }
  std::unique_ptr<Game> g;
};

}  // namespace

TEST_F(Tick, speed_scales_the_frame_time) {
  param("speed", 2);
  game_match_tick(g.get(), 1.0f / 60);
  EXPECT_FLOAT_EQ(g->data.vantor.time, 2.0f / 60);
}

TEST_F(Tick, a_missing_speed_leaves_the_world_still) {
  game_match_tick(g.get(), 1.0f / 60);
  EXPECT_EQ(g->data.vantor.time, 0.0f);
}

// A running mod's _loop is its own code: no speed may make the engine's call to it fail.
TEST_F(ModsRun, a_speed_that_makes_no_finite_step_of_0_or_more_holds_the_match_still) {
  g->headless = 1;
  start("steps = '' function _loop(dt) steps = steps .. string.format(' %g', dt + 0) end");
  for (const char *speed : {"0/0", "-(0/0)", "math.huge", "-math.huge", "-2", "1e300", "'inf'", "0.5"}) {
    g->mods_base->script((std::string("w2_param_set('speed', ") + speed + ")").c_str(), "test");
    game_match_tick(g.get(), 0.5f);
  }
  g->mods_base->script("w2_param_set('steps', steps)", "test");
  EXPECT_EQ(param("steps"), " 0 0 0 0 0 0 0 0.25");
  EXPECT_EQ(static_cast<ModsLua *>(g->mods_base)->status, 0);
  EXPECT_EQ(g->data.vantor.time, 0.25f);
}

TEST_F(Tick, ticks_repeat_the_pass_only_in_the_play_state) {
  param("speed", 1);
  param("ticks", 5);
  strcpy(g->names.current, "states_play");
  game_match_tick(g.get(), 0.5f);
  EXPECT_FLOAT_EQ(g->data.vantor.time, 2.5f);
  strcpy(g->names.current, "states_play2");
  game_match_tick(g.get(), 0.5f);
  EXPECT_FLOAT_EQ(g->data.vantor.time, 3.0f);
}

TEST_F(Tick, a_huge_ticks_value_is_bounded) {
  param("speed", 1);
  param("ticks", 1e12);
  strcpy(g->names.current, "states_play");
  game_match_tick(g.get(), 0.001f);
  EXPECT_LE(g->data.vantor.time, 1.0001f);
}

TEST_F(Tick, the_player_parameter_marks_one_user_item) {
  World *w = &g->data.vantor;
  Item *a = vantor_user_init(w, 0xFF0000, 0, "a");
  Item *b = vantor_user_init(w, 0x00FF00, 0, "b");
  b->has_player = 1;
  param("player", a->n);
  EXPECT_EQ(vantor_player_mark(g.get(), 0), (int)a->n);
  EXPECT_EQ(a->has_player, 1);
  EXPECT_EQ(b->has_player, 0);
  param("player", 99999);
  EXPECT_EQ(vantor_player_mark(g.get(), 0), 0) << "an item number outside the table marks nobody";
}
