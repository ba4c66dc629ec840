// A Game of the test's own, with an application record whose user folder is a fresh temporary one.
#pragma once

#include <gtest/gtest.h>
#include <link.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "../util/gl_test_support.h"
#include "game.h"
#include "kez_font.h"
#include "kez_gfx.h"
#include "trans.h"

class GameTest : public testing::Test {
 protected:
  // Makes the user folder "<tmp>/App/" and the Game. Its log lines stay on the console: capturing them
  // would also capture, and lose, the failure messages printed between them.
  void game_open(const char *tag) {
    const char *before = getenv("APPDATA");
    appdata_before = before ? before : "";
    std::string pattern = std::string("/tmp/vantor-") + tag + "-XXXXXX";
    ASSERT_TRUE(mkdtemp(&pattern[0]));
    setenv("APPDATA", pattern.c_str(), 1);
    driver_app_create();
    snprintf(app_info->app_name, sizeof app_info->app_name, "App");
    folder = pattern + "/App/";
    g.reset(new Game());
    game = g.get();
    trans_capture(1, 0, nullptr);  // a transition another test started would hold back pointer events
  }
  // Undoes what the Game set up for the whole process: a video mode leaves a window, a GL context and
  // the transition it starts, which would swallow the pointer events of every later test, and a resize
  // leaves the drawing state's scale for the next test's pictures.
  void game_close() {
    g.reset();
    setenv("APPDATA", appdata_before.c_str(), 1);
    trans_capture(1, 0, nullptr);
    font_deinit();
    gfx_deinit();
    trans_forget();
    if (!driver_window()) {
      free(app_info);
      app_info = nullptr;
      return;
    }
    dl_iterate_phdr(pin_gl_driver, nullptr);
    driver_deinit();  // frees the application record too
  }

  std::unique_ptr<Game> g;
  std::string folder;  // the user folder, with its trailing slash
  std::string appdata_before;
};
