// Application-wide shortcuts, driven through real X input to the running game.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdint>
#include <cstring>

#include "e2e_process.h"

static const int WAIT_MS = 30000;

namespace {

// Sends keys to the game's window through the X server, as a keyboard would.
void x_keys(unsigned long window, const std::string &action) {
  shell_output("xdotool windowfocus --sync " + std::to_string(window) + " " + action + " 2>&1");
}

// The game reads the modifier state when it handles the key, not the state the key was pressed
// with, so ctrl is held until the shortcut's effect has been seen, as a person's finger would.
bool x_shortcut(GameProcess &p, unsigned long window, const char *key, const char *effect) {
  x_keys(window, std::string("keydown ctrl key ") + key);
  bool seen = wait_for_text(p.output, effect, WAIT_MS);
  x_keys(window, "keyup ctrl");
  return seen;
}

std::string settings_file(const GameProcess &p, const char *name) {
  return file_text(p.appdata + "/Vantor Brevane/" + name);
}

int32_t word(const std::string &file, int index) {
  int32_t w = 0;
  memcpy(&w, file.data() + index * 4, 4);
  return w;
}

}  // namespace

TEST(Shortcuts, ctrl_q_saves_both_settings_files_and_quits) {
  GameProcess p = game_start({});
  unsigned long window = x_wait_window(p, 20);
  ASSERT_NE(window, 0u) << file_text(p.output);
  EXPECT_TRUE(x_shortcut(p, window, "q", "EVT_SUSPEND"));
  ASSERT_EQ(game_wait(p, WAIT_MS), 0) << file_text(p.output);
  for (const char *name : {"settings-local.dat", "settings-cloud.dat"}) {
    std::string f = settings_file(p, name);
    ASSERT_EQ(f.size(), 2848u) << name;
    EXPECT_EQ(word(f, 0), 4);
    EXPECT_EQ(word(f, 1), 50);
    EXPECT_EQ(word(f, 3), -1);
    EXPECT_EQ(word(f, 4), 1);
    EXPECT_EQ(word(f, 5), 480);
    EXPECT_EQ(word(f, 396), 50);
    EXPECT_EQ(word(f, 404), 1);
    EXPECT_STREQ(f.data() + 327 * 4, "Anonymous");
  }
}

TEST(Shortcuts, ctrl_r_makes_a_new_gl_context_and_keeps_running) {
  GameProcess p = game_start({});
  unsigned long window = x_wait_window(p, 20);
  ASSERT_NE(window, 0u);
  ASSERT_TRUE(x_shortcut(p, window, "r", "EVT_RESET")) << file_text(p.output);
  ASSERT_TRUE(wait_for_text(p.output, "SDL_GL_DeleteContext", WAIT_MS));
  EXPECT_EQ(kill(p.pid, 0), 0) << "still running";
  x_shortcut(p, window, "q", "EVT_SUSPEND");
  EXPECT_EQ(game_wait(p, WAIT_MS), 0);
}

TEST(Shortcuts, ctrl_f_flips_the_fullscreen_setting) {
  GameProcess p = game_start({});
  unsigned long window = x_wait_window(p, 20);
  ASSERT_NE(window, 0u);
  ASSERT_TRUE(wait_for_text(p.output, "now: 1280 x 720 - 1", WAIT_MS)) << "the first start is fullscreen";
  // Leaving fullscreen makes a new window at 80 % of the desktop.
  ASSERT_TRUE(x_shortcut(p, window, "f", "now: 1024 x 576 - 0")) << file_text(p.output);
  // The old window is gone once the new one is logged; X may even give the new one the same id. Closing
  // it ends the game, which saves the settings on the way out.
  window = x_wait_window(p, 20);
  ASSERT_TRUE(x_close_window(window));
  ASSERT_EQ(game_wait(p, WAIT_MS), 0) << file_text(p.output);
  EXPECT_EQ(word(settings_file(p, "settings-local.dat"), 4), -1);
}

TEST(Shortcuts, a_window_manager_resize_refits_the_screen) {
  GameProcess p = game_start({});
  unsigned long window = x_wait_window(p, 20);
  ASSERT_NE(window, 0u);
  x_keys(window, "windowsize " + std::to_string(window) + " 900 700");
  EXPECT_TRUE(wait_for_text(p.output, "window: 900 x 700. drawable: 900 x 700", WAIT_MS)) << file_text(p.output);
  x_shortcut(p, window, "q", "EVT_SUSPEND");
  EXPECT_EQ(game_wait(p, WAIT_MS), 0);
}
