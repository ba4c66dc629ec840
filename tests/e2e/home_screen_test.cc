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
// seven tabs (no campaign without a web service) are 182 pixels wide and 66 high, and the bottom bar
// is the last 66 pixels.
const int TAB_W = 182;
const int TAB_Y = 33;
const int MODS_TAB = 3;  // home, play, practice, mods, ...
const int NEWS_TAB = 4;  // ..., news
const int BAR_Y = 700;
const int CLASSIC_MENU_Y = 481;  // on the news page scrolled to its end
const int MODS_X = TAB_W * MODS_TAB + TAB_W / 2;
const int MODE_X = 563, CLASSIC_Y = 84, MAGNET_Y = 504;  // the Mods page's first mode and its layouts
const int LEAVE_Y = 454;                                 // the pause page's third button

// The text of the game's output from byte `from` on.
std::string output_from(const GameProcess &p, size_t from) {
  const std::string out = file_text(p.output);
  return from < out.size() ? out.substr(from) : std::string();
}

// Gives the xdotool input until the output written after the first try holds `effect`. Input that
// lands while a screen transition runs reaches no page, so it is repeated, as a player would.
bool input_until(const GameProcess &p, const std::string &input, const std::string &effect) {
  const size_t from = file_text(p.output).size();
  for (int i = 0; i < CLICKS; i++) {
    shell_output("xdotool " + input + " 2>&1");
    for (int waited = 0; waited < EFFECT_MS; waited += 20) {
      if (output_from(p, from).find(effect) != std::string::npos) return true;
      usleep(20000);  // look again: the game writes its output at its own pace
    }
  }
  return false;
}

bool click_until(const GameProcess &p, int x, int y, const std::string &effect) {
  return input_until(p, "mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1", effect);
}

// From the home, the News tab, then the news page's "Classic menu" link: the page scrolled to its end
// (the wheel is lost while the page fades in, so it turns again with every try), where the link is the
// third button from the bottom.
bool open_classic_menu(const GameProcess &p) {
  if (!click_until(p, TAB_W * NEWS_TAB + TAB_W / 2, TAB_Y, "menus_news / states_tabs")) return false;
  const std::string wheel = "mousemove 640 400 click --repeat 60 --delay 5 5";
  return input_until(p, wheel + " mousemove 622 " + std::to_string(CLASSIC_MENU_Y) + " click 1", "stack:0:menus_main");
}

}  // namespace

TEST(HomeScreen, the_mods_page_takes_its_modes_back_its_bar_leads_home_and_its_layouts_lead_on_to_a_match) {
  GameProcess p = game_start({});
  unsigned long window = x_wait_window(p, 20);
  ASSERT_NE(window, 0u) << file_text(p.output);
  ASSERT_TRUE(wait_for_text(p.output, "stack:0:states_tabs", WAIT_MS)) << file_text(p.output);
  ASSERT_TRUE(click_until(p, MODS_X, TAB_Y, "menus_mods / states_tabs")) << file_text(p.output);
  ASSERT_TRUE(click_until(p, MODE_X, CLASSIC_Y, "stack:0:states_play")) << file_text(p.output);
  ASSERT_TRUE(input_until(p, "key Escape", "stack:0:states_pause")) << file_text(p.output);
  EXPECT_TRUE(click_until(p, 640, LEAVE_Y, "stack:0:menus_mods")) << "leaving the mode: " << file_text(p.output);
  EXPECT_TRUE(click_until(p, 640, BAR_Y, "stack:0:states_tabs")) << file_text(p.output);

  ASSERT_TRUE(click_until(p, MODS_X, TAB_Y, "menus_mods / states_tabs")) << file_text(p.output);
  ASSERT_TRUE(click_until(p, MODE_X, MAGNET_Y, "stack:0:test_magnetset")) << file_text(p.output);
  const size_t dealt = file_text(p.output).size();
  ASSERT_TRUE(input_until(p, "key space", "seed: 2")) << file_text(p.output);
  // The next deal is logged after the first Space's release was handled, which must press no button.
  ASSERT_TRUE(input_until(p, "key space", "seed: 3")) << file_text(p.output);
  EXPECT_EQ(output_from(p, dealt).find("stack:0:"), std::string::npos) << output_from(p, dealt);
  EXPECT_TRUE(input_until(p, "key Escape", "stack:0:menus_splash")) << file_text(p.output);
  EXPECT_TRUE(wait_for_text(p.output, "stack:0:menus_play", WAIT_MS)) << "the splash leads on to a quick match";
  ASSERT_TRUE(x_close_window(window));
  EXPECT_EQ(game_wait(p, WAIT_MS), 0);
}

TEST(HomeScreen, the_classic_menu_from_the_news_leads_back_home_by_the_bar_and_by_escape) {
  GameProcess p = game_start({});
  unsigned long window = x_wait_window(p, 20);
  ASSERT_NE(window, 0u) << file_text(p.output);
  ASSERT_TRUE(wait_for_text(p.output, "stack:0:states_tabs", WAIT_MS)) << file_text(p.output);

  ASSERT_TRUE(open_classic_menu(p)) << file_text(p.output);
  EXPECT_TRUE(click_until(p, 640, BAR_Y, "stack:0:menus_news")) << file_text(p.output);
  EXPECT_TRUE(click_until(p, 640, BAR_Y, "stack:0:states_tabs")) << file_text(p.output);

  ASSERT_TRUE(open_classic_menu(p)) << file_text(p.output);
  EXPECT_TRUE(input_until(p, "key Escape", "stack:0:menus_news")) << file_text(p.output);
  EXPECT_TRUE(input_until(p, "key Escape", "stack:0:states_tabs")) << file_text(p.output);

  ASSERT_TRUE(x_close_window(window));
  EXPECT_EQ(game_wait(p, WAIT_MS), 0);
}
