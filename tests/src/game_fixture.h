// A Game of the test's own, with an application record whose user folder is a fresh temporary one.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "game.h"

class GameTest : public testing::Test {
 protected:
  // Makes the user folder "<tmp>/App/" and the Game; the log lines it writes are kept off the console.
  void game_open(const char *tag) {
    std::string pattern = std::string("/tmp/vantor-") + tag + "-XXXXXX";
    ASSERT_TRUE(mkdtemp(&pattern[0]));
    setenv("APPDATA", pattern.c_str(), 1);
    driver_app_create();
    snprintf(app_info->app_name, sizeof app_info->app_name, "App");
    folder = pattern + "/App/";
    g.reset(new Game());
    game = g.get();
    testing::internal::CaptureStdout();
  }
  void game_close() {
    testing::internal::GetCapturedStdout();
    g.reset();
    free(app_info);
    app_info = nullptr;
  }

  std::unique_ptr<Game> g;
  std::string folder;  // the user folder, with its trailing slash
};
