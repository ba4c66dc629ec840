// The real game's home screen, driven by pointer clicks through the X server as a player gives them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "e2e_process.h"

static const int WAIT_MS = 30000;
static const int EFFECT_MS = 1000;  // how long one click is given to show its effect
static const int CLICKS = 20;       // clicks tried before giving up

namespace {

// The screen is 1280 x 720 and the game fullscreen on it: 1.5 pixels a UI unit, so the home strip's
// eight tabs are 160 pixels wide and 66 high, and the bottom bar is the last 66 pixels.
const int TAB_W = 160;
const int TAB_Y = 33;
const int MODS_TAB = 3;  // home, play, practice, mods, ...
const int BAR_Y = 700;

// The text of the game's output from byte `from` on.
std::string output_from(const GameProcess &p, size_t from) {
  const std::string out = file_text(p.output);
  return from < out.size() ? out.substr(from) : std::string();
}

// Clicks at (x, y) until the output written after the first click holds `effect`. A click that lands
// while a screen transition runs reaches no page, so it is repeated, as a player would.
bool click_until(const GameProcess &p, int x, int y, const std::string &effect) {
  const size_t from = file_text(p.output).size();
  for (int i = 0; i < CLICKS; i++) {
    shell_output("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1 2>&1");
    for (int waited = 0; waited < EFFECT_MS; waited += 20) {
      if (output_from(p, from).find(effect) != std::string::npos) return true;
      usleep(20000);  // look again: the game writes its output at its own pace
    }
  }
  return false;
}

}  // namespace

TEST(HomeScreen, the_mods_tab_opens_the_mods_page_and_its_bar_leads_back_home) {
  GameProcess p = game_start({});
  unsigned long window = x_wait_window(20);
  ASSERT_NE(window, 0u) << file_text(p.output);
  ASSERT_TRUE(wait_for_text(p.output, "stack:0:states_tabs", WAIT_MS)) << file_text(p.output);
  EXPECT_TRUE(click_until(p, TAB_W * MODS_TAB + TAB_W / 2, TAB_Y, "menus_mods / states_tabs")) << file_text(p.output);
  EXPECT_TRUE(click_until(p, 640, BAR_Y, "stack:0:states_tabs")) << file_text(p.output);
  ASSERT_TRUE(x_close_window(window));
  EXPECT_EQ(game_wait(p, WAIT_MS), 0);
}
