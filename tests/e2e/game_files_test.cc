// The real executable and the player's files it cannot use: damaged or unreadable settings and ids.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "e2e_process.h"

static const int WAIT_MS = 30000;

namespace {

// A settings record: version 4, music volume 70, user name "bob", device id "dev-1".
std::string record() {
  std::string r(2848, '\0');
  r[0] = 4, r[4] = 70;
  r.replace(263 * 4, 3, "bob");
  r.replace(295 * 4, 5, "dev-1");
  return r;
}

// A windowed game on a user folder the player left so (folder: with its trailing slash).
struct PlayerRun {
  GameProcess p;
  std::string appdata, folder;
  explicit PlayerRun(void (*fill)(const std::string &folder)) {
    char dir[] = "/tmp/vantor-e2e-files-XXXXXX";
    EXPECT_TRUE(mkdtemp(dir));
    appdata = dir, folder = appdata + "/Vantor Brevane/";
    std::filesystem::create_directory(folder);
    fill(folder);
    p = game_start({}, {{"APPDATA", appdata}});
  }
  ~PlayerRun() { std::filesystem::remove_all(appdata); }
  // Quits the game once its home is up; its log.
  std::string end() {
    EXPECT_TRUE(wait_for_text(p.output, "stack:0:states_tabs", WAIT_MS)) << file_text(p.output);
    kill(p.pid, SIGTERM);
    EXPECT_EQ(game_wait(p, WAIT_MS), 0);
    return file_text(folder + "kezcode.log");
  }
};

}  // namespace

TEST(GameFiles, a_file_the_game_cannot_use_is_told_kept_and_never_copied_over_a_good_one) {
  const std::string junk(2848, '\xa5'), identity = record().substr(263 * 4, 64 * 3);  // name, password, device
  PlayerRun damaged([](const std::string &folder) {
    std::ofstream(folder + "settings-local.dat") << std::string(2848, '\xa5');
    std::ofstream(folder + "settings-cloud.dat") << record();
    std::filesystem::create_directory(folder + "network-id.txt");
  });
  PlayerRun unreadable([](const std::string &folder) {
    std::ofstream(folder + "settings-local.dat") << record();
    std::filesystem::create_directory(folder + "settings-cloud.dat");
  });
  std::string log = damaged.end();
  EXPECT_NE(log.find("settings-local.dat is damaged (its version word is -1515870811): set aside as "
                     "settings-local.dat.damaged; the game uses the defaults"),
            std::string::npos);
  EXPECT_NE(log.find("network-id.txt cannot be read (Is a directory): kept as it is"), std::string::npos) << log;
  EXPECT_EQ(file_text(damaged.folder + "settings-local.dat.damaged"), junk);
  const std::string cloud = file_text(damaged.folder + "settings-cloud.dat");
  EXPECT_EQ(cloud[4], 50) << "the defaults stood in for the damaged machine words";
  EXPECT_EQ(cloud.substr(6 * 4, 256 * 4), std::string(256 * 4, '\0')) << "the damaged words reached the cloud file";
  EXPECT_EQ(cloud.substr(263 * 4, 64 * 3), identity);

  log = unreadable.end();
  EXPECT_NE(log.find("settings-cloud.dat cannot be read (Is a directory): kept as it is and not written this run; "
                     "the game uses the copy in settings-local.dat"),
            std::string::npos);
  const std::string local = file_text(unreadable.folder + "settings-local.dat");
  EXPECT_EQ(local[4], 70);
  EXPECT_EQ(local.substr(263 * 4, 64 * 3), identity) << "the local copy of the player's identity stood in";
}
