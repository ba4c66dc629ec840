// Reloading the mod's files once a changed file has settled on disk.
#include "mods_reload.h"

#include <gtest/gtest.h>
#include <utime.h>

#include <string>

#include "game.h"
#include "mods_api.h"
#include "mods_fixture.h"
#include "mods_reload_internal.h"
#include "mods_update.h"

namespace {

int64_t fake_now;
int64_t fake_clock() { return fake_now; }

// The reload check runs on the test's clock; the wall clock comes back afterwards.
class ModsReload : public ModsRun {
 protected:
  void TearDown() override {
    ModsRun::TearDown();
    _mods_clock_set(nullptr);
  }
};

}  // namespace

TEST_F(ModsReload, a_changed_file_is_reloaded_once_after_it_settles) {
  _mods_clock_set(fake_clock);
  fake_now = 1000000;
  start("runs = (runs or 0) + 1 w2_param_set('runs', runs)");
  std::string path = folder + "/main.lua";
  struct utimbuf old_times = {999000, 999000};
  utime(path.c_str(), &old_times);
  g->mods->files[0].mtime = 999000;
  struct utimbuf touched = {1000010, 1000010};
  utime(path.c_str(), &touched);
  for (fake_now = 1000001; fake_now <= 1000011; fake_now++) mods_update(g.get());
  EXPECT_EQ(param("runs"), "1");  // changed within the last two seconds: not yet
  for (fake_now = 1000012; fake_now <= 1000020; fake_now++) mods_update(g.get());
  EXPECT_EQ(param("runs"), "2");
}
