// The developer screens: the loopback run and the planet layout generator.
#include "test.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "game.h"
#include "test_magnetset.h"
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

}  // namespace

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
  EXPECT_NE(out.find("server: [client] message 'hello world'"), std::string::npos) << out;
  EXPECT_NE(out.find("client: [] message 'delta update'"), std::string::npos) << out;
}
