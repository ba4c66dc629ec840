// Video and screen helpers: UI units, the video-mode request and opening web pages.
#include "game_video.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "game.h"
#include "kez_gfx.h"

namespace {

class UiUnits : public testing::Test {
 protected:
  void SetUp() override {
    driver_app_create();
    g.reset(new Game());
    game = g.get();
    g->settings.vsize = 480;
  }
  void TearDown() override {
    g.reset();
    free(app_info);
    app_info = nullptr;
  }
  void window(int w, int h) {
    app_info->width = w;
    app_info->height = h;
  }
  std::unique_ptr<Game> g;
};

}  // namespace

TEST_F(UiUnits, the_shorter_side_measures_the_ui_size) {
  window(1280, 720);
  EXPECT_EQ(game_ui_width(), 853);
  EXPECT_EQ(game_ui_height(), 480);
  window(720, 1280);
  EXPECT_EQ(game_ui_width(), 480);
  EXPECT_EQ(game_ui_height(), 853);
}

TEST_F(UiUnits, no_window_gives_no_ui_area) {
  window(0, 0);
  EXPECT_EQ(game_ui_width(), 0);
  EXPECT_EQ(game_ui_height(), 0);
}

TEST_F(UiUnits, the_fit_uses_the_turned_window_sides) {
  window(1280, 720);
  gfx_init();
  gfx_state->virtual_w = 853;
  gfx_state->virtual_h = 480;
  game_video_fit();
  EXPECT_FLOAT_EQ(gfx_state->scale, 1.5f);
  gfx_state->rotation = 90;
  game_video_fit();
  EXPECT_FLOAT_EQ(gfx_state->scale, 720.0f / 853.0f);
  gfx_deinit();
}

TEST(WebLink, the_address_reaches_the_browser_untouched_by_any_shell) {
  char dir[] = "/tmp/vantor-web-XXXXXX";
  ASSERT_TRUE(mkdtemp(dir));
  std::string folder = dir, out = folder + "/opened";
  std::ofstream(folder + "/xdg-open") << "#!/bin/sh\nprintf '%s' \"$1\" > " + out + ".part && mv " + out + ".part " +
                                             out + "\n";
  chmod((folder + "/xdg-open").c_str(), 0755);
  std::string path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (folder + ":" + path).c_str(), 1);
  const char *url = "http://example.invalid/a?b=1;c=$(touch pwned)&d='x'";
  testing::internal::CaptureStdout();
  Driver::weblink(url, 0);
  std::string printed = testing::internal::GetCapturedStdout();
  setenv("PATH", path.c_str(), 1);
  EXPECT_NE(printed.find(std::string("Driver::weblink: ") + url), std::string::npos);
  std::string opened;
  for (int waited = 0; waited < 10000 && opened.empty(); waited += 10) {
    std::ifstream in(out);
    std::stringstream ss;
    ss << in.rdbuf();
    opened = ss.str();
    if (opened.empty()) usleep(10000);  // the browser starts on its own time
  }
  EXPECT_EQ(opened, url);
  EXPECT_NE(access("pwned", F_OK), 0);
}
