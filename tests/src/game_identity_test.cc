// The network identity: the user folder's own id, and the id and name a game goes by.
#include "game_identity.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "game_fixture.h"
#include "game_identity_internal.h"
#include "kez_driver-files.h"

namespace {

class GameIdentity : public GameTest {
 protected:
  void SetUp() override { game_open("identity"); }
  void TearDown() override { game_close(); }
  std::string stored() {
    std::ifstream in(folder + "network-id.txt");
    std::string line;
    std::getline(in, line);
    return line;
  }
  // Points the user folder at a fresh folder, as a second user on this machine would have.
  void other_user_folder(const char *tag) {
    std::string pattern = std::string("/tmp/vantor-") + tag + "-XXXXXX";
    ASSERT_TRUE(mkdtemp(&pattern[0]));
    setenv("APPDATA", pattern.c_str(), 1);
    folder = pattern + "/App/";
  }
};

}  // namespace

TEST_F(GameIdentity, the_network_id_is_made_once_kept_in_the_user_folder_and_fits_a_packet) {
  const std::string id = game_net_id();
  EXPECT_EQ(id.size(), GAME_UID_MAX);
  EXPECT_EQ(id.substr(0, 2), "a:");
  EXPECT_TRUE(_game_net_id_valid(id));
  EXPECT_EQ(stored(), id);
  EXPECT_EQ(game_net_id(), id);

  other_user_folder("identity-b");
  const std::string other = game_net_id();
  EXPECT_NE(other, id) << "two user folders never share an id";
  EXPECT_EQ(stored(), other);
}

TEST_F(GameIdentity, a_stored_id_is_taken_and_a_damaged_one_replaced) {
  other_user_folder("identity-kept");
  driver_user_write("network-id.txt", "a:0123456789abc\n", 16);
  EXPECT_EQ(game_net_id(), "a:0123456789abc");

  other_user_folder("identity-bad");
  driver_user_write("network-id.txt", "a:NOT-HEX-AT-ALL\n", 17);
  const std::string made = game_net_id();
  EXPECT_TRUE(_game_net_id_valid(made));
  EXPECT_EQ(stored(), made);
  for (const char *bad : {"", "a:0123456789ab", "a:0123456789abcd", "b:0123456789abc", "a:0123456789ABC"})
    EXPECT_FALSE(_game_net_id_valid(bad)) << bad;
}

TEST_F(GameIdentity, without_a_login_the_game_goes_by_its_own_id_and_display_name) {
  game_identity_update(g.get());
  EXPECT_EQ(game_user_uid(g.get()), game_net_id());
  EXPECT_EQ(game_user_name(g.get()), "Anonymous");

  snprintf(g->settings.user_name, sizeof g->settings.user_name, "Zed");
  game_identity_update(g.get());
  EXPECT_EQ(game_user_name(g.get()), "Zed");
  EXPECT_EQ(game_user_uid(g.get()), game_net_id()) << "a name is not an id: two players may share it";

  // A web login's name wins while the game is logged in; its id, which others may know, never
  // stands for the game's own.
  snprintf(g->settings.server_uid, sizeof g->settings.server_uid, "web-user-0123456789");
  snprintf(g->settings.server_name, sizeof g->settings.server_name, "Zed the Great");
  g->settings.logged_in = 1;
  EXPECT_EQ(game_user_uid(g.get()), game_net_id());
  EXPECT_EQ(game_user_name(g.get()), "Zed the Great");
}

TEST_F(GameIdentity, a_headless_game_has_an_identity_without_any_settings_file) {
  std::vector<std::string> args = {"vantor", "-headless", "-name", "Robo"};
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  g->parse_args(argv.data(), (int)argv.size());
  EXPECT_EQ(game_user_name(g.get()), "Robo");
  EXPECT_TRUE(_game_net_id_valid(game_user_uid(g.get())));
  EXPECT_FALSE(std::ifstream(folder + "settings-local.dat").good());
}
