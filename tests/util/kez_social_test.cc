// The social identity: login and logout events, and the absent platform.
#include "kez_social.h"

#include <gtest/gtest.h>

#include <vector>

#include "kez_driver-sdl2.h"
#include "kez_driver-steam.h"

namespace {

std::vector<std::pair<int, std::string>> seen;

void record(Event e) { seen.push_back({e.type, social_uuid()}); }

class Social : public testing::Test {
 protected:
  void SetUp() override {
    seen.clear();
    social_set_event_handler(record);
    social_get();
  }
  void TearDown() override {
    social_logout();
    social_delete();
    social_set_event_handler(nullptr);
  }
};

}  // namespace

TEST_F(Social, no_platform_means_no_identity) {
  EXPECT_FALSE(driver_steam_running());
  EXPECT_FALSE(social_logged_in());
  EXPECT_EQ(social_uuid(), "");
  EXPECT_TRUE(social_friends().empty());
  EXPECT_TRUE(seen.empty());
}

TEST_F(Social, same_login_twice_sends_one_event) {
  social_login("s", "Ann", "0100000000000001");
  social_login("s", "Ann", "0100000000000001");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first, EVT_LOGIN);
  EXPECT_EQ(seen[0].second, "s:0100000000000001");
}

TEST_F(Social, new_identity_logs_the_old_one_out_first) {
  social_login("s", "Ann", "1");
  social_login("s", "Bob", "2");
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1], std::make_pair((int)EVT_LOGOUT, std::string("s:1"))) << "logout sees the old identity";
  EXPECT_EQ(seen[2], std::make_pair((int)EVT_LOGIN, std::string("s:2")));
  EXPECT_EQ(social_name(), "Bob");
}

TEST_F(Social, null_arguments_while_logged_out_send_nothing) {
  social_login(nullptr, "x", "y");
  social_login("s", nullptr, "y");
  EXPECT_TRUE(seen.empty());
}
