// The mods console: its function keys, closing it, and Lua lines typed into it.
#include <gtest/gtest.h>

#include <memory>

#include "data_override.h"
#include "game.h"
#include "kez_gfx-tex.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "mods_start.h"
#include "states_play.h"
#include "vantor_paint_gl.h"
#include "widget.h"

namespace {

class ModsConsole : public DataOverrideTest {
 protected:
  void SetUp() override {
    override_open("mods-console");
    g.reset(new Game());
    snprintf(g->mod_file, sizeof g->mod_file, "%s/main.lua", folder.c_str());
    file("main.lua", "function _init() end");
    char *args[] = {const_cast<char *>("vantor")};
    g->argv = args;
    g->argc = 1;
    mods_start(g.get());
    g->argv = nullptr;
    g->argc = 0;
  }
  void TearDown() override {
    mods_stop(g.get());
    g.reset();
    override_close();
  }
  int key(int code) {
    Event e(EVT_KEYDOWN);
    e.key = code;
    return ModsAPI::console_event(g.get(), e);
  }
  int release(float y) {
    Event e(EVT_UP);
    e.y = y;
    return ModsAPI::console_event(g.get(), e);
  }
  // Types text into the console's input and submits it with Enter.
  void submit(const char *text) {
    Widget *input = g->mods->console.find("input");
    ASSERT_TRUE(input);
    input->focus();
    input->set_value(var(text));
    EXPECT_EQ(key(KEY_ENTER), 1);
  }
  Widget *input() { return g->mods->console.find("input"); }

  std::unique_ptr<Game> g;
};

}  // namespace

TEST_F(ModsConsole, f1_toggles_and_f2_clears_even_while_hidden) {
  g->mods->log_entry("line");
  EXPECT_EQ(key(KEY_F1), 1);
  EXPECT_EQ(g->mods->console_shown, 1);
  EXPECT_EQ(key(KEY_F1), 1);
  EXPECT_EQ(g->mods->console_shown, 0);
  EXPECT_EQ(key(KEY_F2), 1);
  EXPECT_TRUE(g->mods->console_lines.empty());
  EXPECT_EQ(key(KEY_ESCAPE), 0);  // a hidden console passes other keys on
}

TEST_F(ModsConsole, events_pass_through_without_a_mod) {
  mods_stop(g.get());
  EXPECT_EQ(key(KEY_F1), 0);
}

TEST_F(ModsConsole, release_in_the_top_band_or_escape_hides_and_is_consumed) {
  key(KEY_F1);
  EXPECT_EQ(release(200), 1);  // reaches the page, console stays
  EXPECT_EQ(g->mods->console_shown, 1);
  EXPECT_EQ(release(43), 1);
  EXPECT_EQ(g->mods->console_shown, 0);
  key(KEY_F1);
  EXPECT_EQ(key(KEY_ESCAPE), 1);
  EXPECT_EQ(g->mods->console_shown, 0);
}

TEST_F(ModsConsole, submitted_line_is_logged_run_cleared_and_recalled_by_up) {
  key(KEY_F1);
  submit("x = 1");
  EXPECT_EQ(g->mods->console_lines.at(0), "> x = 1");
  EXPECT_STREQ(input()->get_text(), "");
  g->mods_base->script("print(x + 1)", "check");
  EXPECT_EQ(g->mods->console_lines.at(0), "2");
  EXPECT_EQ(key(KEY_UP), 1);
  EXPECT_STREQ(input()->get_text(), "x = 1");
}

TEST_F(ModsConsole, a_failing_line_is_reported_and_leaves_the_console_open) {
  key(KEY_F1);
  submit("error_here(");
  EXPECT_EQ(g->mods->console_shown, 1);
  ASSERT_GE(g->mods->console_lines.size(), 2u);
  EXPECT_EQ(g->mods->console_lines.back(), "> error_here(");
  EXPECT_NE(g->mods->console_lines.front(), "> error_here(");  // the runtime's report follows it
}

TEST_F(ModsConsole, f5_restarts_the_mod_from_its_file) {
  file("main.lua", "function _init() w2_param_set('fresh', 1) end");
  EXPECT_EQ(key(KEY_F5), 1);
  ASSERT_TRUE(g->mods);
  EXPECT_EQ(g->mods->param_get("fresh").str(), "1");
}

// The console over a white screen in a real 480 x 320 window, whose UI is 720 x 480 units.
class ConsoleBar : public PaintGlTest {};

TEST_F(ConsoleBar, a_hidden_consoles_bar_leaves_the_chat_band_and_the_percent_column_free) {
  solid("white", 0xFFFFFF);
  solid("black", 0x000000);
  Game g;
  ModsAPI api(&g);
  states_screen_ui();  // the UI units every screen paints in
  gfx_img_draw(gfx_img_load("white"), 0, 0, gfx_state->virtual_w, gfx_state->virtual_h);
  api.log_entry("a line of the mod's");
  api.console_paint();
  expect_colour(pixel(100, 280), 0x555555, "the bar, above the bottom band");
  expect_colour(pixel(100, 312), 0xFFFFFF, "the bottom band, where the chat input is");
  expect_colour(pixel(472, 312), 0xFFFFFF, "the right column's foot, where the percent is read");
}
