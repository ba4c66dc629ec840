// The shell's side of the engine's table of calls: connected by every game, each answer read from the
// game current at the call, and the engine's own defaults with no table at all.
#include "game_engine.h"

#include <gtest/gtest.h>

#include <memory>

#include "game.h"
#include "vantor_host.h"
#include "vantor_paint.h"

TEST(GameEngine, a_game_connects_the_table_and_its_answers_follow_the_current_game) {
  vantor_host = nullptr;
  EXPECT_EQ(vantor_ui_size(), 480);
  EXPECT_EQ(color_remap(0x123456), 0x123456u);

  std::unique_ptr<Game> g(new Game());  // never initialised, as the tests make games
  ASSERT_NE(vantor_host, nullptr);
  game = g.get();
  g->settings.vsize = 600;
  g->settings.sound_volume = 40;
  float volume = 0;
  EXPECT_EQ(vantor_ui_size(), 600);
  EXPECT_TRUE(vantor_host->sfx_volume(&volume));
  EXPECT_FLOAT_EQ(volume, 0.4f);
  EXPECT_EQ(vantor_host->world(), &g->data.vantor);
  g->headless = 1;
  EXPECT_FALSE(vantor_host->sfx_volume(&volume));  // a headless server plays no sound

  g.reset();  // the table stays; its answers are now those of no game
  EXPECT_EQ(vantor_ui_size(), 480);
  EXPECT_EQ(vantor_host->world(), nullptr);
  EXPECT_FALSE(vantor_host->sfx_volume(&volume));
}
