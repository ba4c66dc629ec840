// Extension calls: dispatch by name, the platform id buffer and removing the quit icon.
#include "builds.h"

#include <gtest/gtest.h>

#include <memory>

#include "game.h"
#include "game_web.h"
#include "game_web_internal.h"
#include "mods_api.h"
#include "widget.h"

namespace {

class Builds : public testing::Test {
 protected:
  void SetUp() override {
    g.reset(new Game());
    g->headless = 1;
    api.reset(new ModsAPI(g.get()));
    g->mods = api.get();
    game_web_configure("127.0.0.1:9");  // nothing listens: requests only queue
  }
  void TearDown() override {
    g->mods = nullptr;
    game_web_deinit();
    game_web_configure(nullptr);
  }
  std::string call(const char *name, const std::string &args) { return builds_mods_api_ext_call(g.get(), name, args); }

  std::unique_ptr<Game> g;
  std::unique_ptr<ModsAPI> api;
};

}  // namespace

TEST_F(Builds, unknown_names_do_nothing_and_the_overlay_is_unavailable) {
  const int pending = game_web_pending();
  EXPECT_EQ(call("brevane:nothing", "{\"lid\":\"a\"}"), "");
  EXPECT_EQ(game_web_pending(), pending);
  EXPECT_EQ(call("brevane:achievements_show", "{}"), "unavailable");
}

TEST_F(Builds, ids_are_copied_and_over_long_or_missing_ones_are_not) {
  call("brevane:achievement", "{\"aid\":\"WIN_10\"}");
  EXPECT_STREQ(builds_platform_id, "WIN_10");
  call("brevane:achievement", "{\"aid\":7}");
  EXPECT_STREQ(builds_platform_id, "7");
  call("brevane:achievement", "{\"aid\":\"" + std::string(BUILDS_PLATFORM_ID_MAX, 'a') + "\"}");
  EXPECT_STREQ(builds_platform_id, "");
  call("brevane:achievement", "[1, 2]");
  EXPECT_STREQ(builds_platform_id, var().str().c_str());
}

TEST_F(Builds, scores_and_leaderboard_queue_web_requests_even_without_lid) {
  const int pending = game_web_pending();
  EXPECT_EQ(call("brevane:leaderboard", "{}"), "");
  EXPECT_EQ(call("brevane:scores", "{\"lid\":\"x\",\"points\":1e400}"), "");
  EXPECT_EQ(game_web_pending(), pending + 2);
}

TEST_F(Builds, remove_quit_deletes_the_icon_once_and_keeps_the_param) {
  Widget *quit = new Widget();
  quit->id = "quit";
  api->screen.add_at(quit, 0, 0);
  call("brevane:remove_quit", "");
  EXPECT_EQ(api->screen.find("quit"), nullptr);
  EXPECT_TRUE(api->param_get("remove_quit").truth());
  call("brevane:remove_quit", "");
  EXPECT_TRUE(api->param_get("remove_quit").truth());
}
