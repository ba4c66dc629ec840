// Fuzz target for the settings loader: any bytes become the local file, the cloud file or both (each
// may also be missing), and the game loads them as it does at start-up. Every word must come out in
// the range its readers expect, every text must end inside its field, and saving and loading again
// must give the same record. A trap marks a broken invariant.
//
// Input: byte 0 says which files exist (bit 0 local, bit 1 cloud), bytes 1-2 where the rest is split
// between them (local first).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "fuzz_util.h"
#include "game.h"
#include "game_settings.h"
#include "kez_driver-files.h"
#include "kez_driver-files_internal.h"
#include "kez_driver-sdl2.h"
#include "kez_log.h"

static std::string user_folder;

static void remove_user_folder() { std::filesystem::remove_all(std::filesystem::path(user_folder).parent_path()); }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  char base[] = "/tmp/vantor-settings-fuzz-XXXXXX";
  if (!mkdtemp(base)) abort();
  setenv("APPDATA", base, 1);
  driver_app_create();
  snprintf(app_info->app_name, sizeof app_info->app_name, "App");
  user_folder = driver_user_dir();
  atexit(remove_user_folder);
  if (!freopen("/dev/null", "w", stdout)) abort();  // the game logs every load; the fuzzer reports on stderr
  game = new Game();
  return 0;
}

static void place(const char *name, bool present, const uint8_t *bytes, size_t size) {
  std::string path = user_folder + "/" + name;
  unlink(path.c_str());
  unlink((path + DRIVER_ASIDE_SUFFIX).c_str());  // a damaged file of the last input, which the load set aside
  if (present) check(driver_file_replace(path.c_str(), bytes, size));
}

static bool in(int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; }

static bool listed(int32_t v, const int32_t *table, size_t count) {
  for (size_t i = 0; i < count; i++) {
    if (table[i] == v) return true;
  }
  return false;
}

static void check_ranges(const GameSettings &s) {
  static const int32_t SIZES[] = {320, 480, 640, 960};
  check(s.version == 4);
  check(in(s.music_volume, 0, 100) && in(s.sound_volume, 0, 100));
  check(s.vres == -1 || listed(s.vres, GAME_SETTINGS_VRES, 8));
  check(s.vfull == 1 || s.vfull == -1);
  check(listed(s.vsize, SIZES, 4));
  check(in(s.logged_in, 0, 1));
  for (const int32_t *w = &s.ui_box; w <= &s.ui_unnamed[1]; w++) {
    check(w == &s.ui_percent ? in(*w, 5, 100) : (*w == 1 || *w == -1));
  }
  check(s.ui_nonplayer_select == -1 && s.ui_scroll == 1 && s.ui_wheel_invert == -1 && s.ui_num_chat == -1 &&
        s.ui_multitouch == 1);
  for (const char *text :
       {s.user_name, s.password, s.device_id, s.login_id, s.display_name, s.token, s.server_uid, s.server_name}) {
    check(memchr(text, 0, 64) != nullptr);
  }
  check(s.device_id[0] && s.display_name[0]);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 3) return 0;
  const uint8_t files = data[0];
  const uint8_t *rest = data + 3;
  const size_t left = size - 3;
  const size_t split = (size_t)(data[1] | data[2] << 8) % (left + 1);
  _driver_log_init();  // a new log per input, so the file stays small over a long run
  place("settings-local.dat", files & 1, rest, split);
  place("settings-cloud.dat", files & 2, rest + split, left - split);

  GameSettings &s = game->settings;
  memset(&s, 0x5A, sizeof s);  // nothing of the last input may leak into this one
  game_settings_load(&s);
  check_ranges(s);

  const GameSettings loaded = s;
  check(game_settings_save(&s));
  memset(&s, 0, sizeof s);
  game_settings_load(&s);
  check(memcmp(&s, &loaded, sizeof s) == 0);
  return 0;
}
