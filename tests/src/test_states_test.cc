// The developer screens: the loopback run and the planet layout generator.
#include "test.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "data_override.h"
#include "game.h"
#include "menus.h"
#include "mods_start.h"
#include "net.h"
#include "state.h"
#include "states_play.h"
#include "test_magnetset.h"
#include "trans.h"
#include "vantor_view.h"
#include "vantor_world.h"

namespace {

class TestStates : public testing::Test {
 protected:
  void SetUp() override {
    g.reset(new Game());
    vantor_world_reset(&g->data.vantor);
  }
  std::vector<float> layout() {
    std::vector<float> xy;
    for (const Item &item : g->data.vantor.items)
      if (item.in_use && item.has_planet) xy.insert(xy.end(), {item.position_x, item.position_y});
    return xy;
  }
  std::unique_ptr<Game> g;
};

// Every screen registered, and a mod on its own tabs screen that would take the pointer back: any
// event it hears makes it ask for its screen again.
class MagnetOverMod : public DataOverrideTest {
 protected:
  void SetUp() override {
    override_open("magnet-mod");
    g.reset(new Game());
    game = g.get();
    menus_init(game);
    states_init(game);
    tests_init(game);
    file("main.lua",
         "function _init() w2_param_set('state', 'tabs') end\n"
         "function _event(e) w2_param_set('state', 'menu') w2_param_set('state', 'tabs') end\n");
    snprintf(g->mod_file, sizeof g->mod_file, "%s/main.lua", folder.c_str());
    char *args[] = {const_cast<char *>("vantor")};
    g->argv = args;
    g->argc = 1;
    mods_start(game);
    g->argv = nullptr;
    g->argc = 0;
  }
  void TearDown() override {
    mods_stop(game);
    states_delete_all();
    g.reset();
    trans_capture(1, 0, nullptr);  // no transition left to hold back another test's pointer events
    override_close();
  }
  void pointer(int type, float x, float y) {
    Event e(type);
    e.x = x;
    e.y = y;
    state_event(g->names.current, e);
  }
  // A planet of the screen's player and where it shows.
  int player_planet(float &x, float &y) {
    World *world = &g->data.vantor;
    view_init(&g->view, world, 0);
    for (const Item &item : world->items) {
      if (!item.in_use || !item.has_planet || !world->items[item.owner_n].has_player) continue;
      const float *m = g->view.world_to_screen;
      x = m[0] * item.position_x + m[1] * item.position_y + m[3];
      y = m[4] * item.position_x + m[5] * item.position_y + m[7];
      return (int)item.n;
    }
    return 0;
  }
  std::unique_ptr<Game> g;
};

}  // namespace

TEST_F(MagnetOverMod, the_layout_screen_keeps_the_pointer_selects_planets_and_its_quit_button_leaves) {
  ASSERT_STREQ(g->names.current, "states_tabs");
  state_change("test_magnetset", &g->names, -1);
  float x = 0, y = 0;
  const int planet = player_planet(x, y);
  ASSERT_NE(planet, 0);
  pointer(EVT_MOVE, x, y);
  EXPECT_STREQ(g->names.current, "test_magnetset") << "the mod's screen came back on the first move";
  pointer(EVT_DOWN, x, y);
  pointer(EVT_UP, x, y);
  EXPECT_STREQ(g->names.current, "test_magnetset");
  EXPECT_NE(g->view.selection[planet], 0u) << "a tap on the player's planet selects it";

  TestMagnetSet *magnet = static_cast<TestMagnetSet *>(state_find("test_magnetset"));
  magnet->root.layout_inner();  // as its paint does
  Widget *quit = magnet->root.find("quit");
  ASSERT_TRUE(quit);
  const GfxRect r = quit->get_rect(true);
  pointer(EVT_DOWN, r.x + r.w / 2, r.y + r.h / 2);
  pointer(EVT_UP, r.x + r.w / 2, r.y + r.h / 2);
  EXPECT_STREQ(g->names.current, "menus_splash") << "the splash, which leads on to a match";
  state_change("test", &g->names, -1);
  Event escape(EVT_KEYDOWN);
  escape.key = KEY_ESCAPE;
  state_event("test", escape);
  EXPECT_STREQ(g->names.current, "menus_splash") << "from the loopback page too";
}

TEST_F(TestStates, layouts_follow_the_seed_and_repeat_from_a_fresh_start) {
  TestMagnetSet first(g.get());
  first.init();
  EXPECT_EQ(first.seed, 1);
  EXPECT_EQ(first.running, 1);
  const std::vector<float> one = layout();
  EXPECT_EQ(one.size(), 2u * 21);  // 24 slots; the top production is neutral only
  first.init();
  EXPECT_EQ(first.seed, 2);
  EXPECT_NE(layout(), one);
  TestMagnetSet again(g.get());
  again.init();
  EXPECT_EQ(layout(), one);
}

TEST_F(TestStates, loopback_run_carries_both_messages_before_the_client_leaves) {
  ::Test test(g.get());  // the screen, not the test framework's base
  testing::internal::CaptureStdout();
  test.init();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("server: [" + net_public_id("client") + "] message 'hello world'"), std::string::npos) << out;
  EXPECT_NE(out.find("client: [] message 'delta update'"), std::string::npos) << out;
}
