// Starting the mod: params from the command line and the engine, the main file, then _init.
#include "mods_start.h"

#include <gtest/gtest.h>

#include "game.h"
#include "mods_api.h"
#include "mods_fixture.h"
#include "mods_lua.h"

using ModsStart = ModsRun;

TEST_F(ModsStart, free_command_line_pairs_become_text_params) {
  g->headless = 1;
  start("", {"vantor", "-name", "a", "-port", "9", "-x", "5", "-a", "-b", "c", "-z"});
  EXPECT_EQ(param("x"), "5");
  EXPECT_EQ(param("a"), "-b");
  EXPECT_EQ(param("b"), "c");
  EXPECT_FALSE(g->mods->params.has(var("z")));
  EXPECT_EQ(param("name"), "Anonymous");  // the user's identity, not the command line's pair
  EXPECT_EQ(g->mods->param_get("port").type(), VAR_NONE);  // the game's port is 0: none stored
  EXPECT_EQ(param("state"), "menu");
  EXPECT_EQ(param("headless"), "1");
}

TEST_F(ModsStart, the_main_file_runs_then_init_and_a_headless_quit_ends_the_game) {
  g->headless = 1;
  start("function _init() w2_param_set('state', 'quit') end");
  EXPECT_EQ(g->quit, 1u);
  ASSERT_EQ(g->mods->files.size(), 1u);
  EXPECT_EQ(g->mods->files[0].file, "main.lua");
}

TEST_F(ModsStart, a_missing_main_file_leaves_no_error_for_the_next_call) {
  g->headless = 1;
  snprintf(g->mod_file, sizeof g->mod_file, "%s/absent.lua", folder.c_str());
  start("");
  g->mods_base->script("w2_param_set('after', 'clean')", "test");
  EXPECT_EQ(param("after"), "clean");
}
