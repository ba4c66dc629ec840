// The platform layer for identity, friends, achievements and cloud files (no platform client here).
#include "kez_driver-steam.h"

#include <sys/stat.h>

#include <cstdio>

#include "kez_driver-files.h"
#include "kez_log.h"
#include "kez_social.h"

// No platform client exists on this system, so the start-up answer is always "not running".
static bool steam_running;

bool driver_steam_running() { return steam_running; }

void driver_social_init() {
  steam_running = false;
  DRIVER_LOG_PRINTF("_driver_steam_api: %d\n", steam_running ? 1 : 0);
  social_login(nullptr, nullptr, nullptr);
}

void driver_social_loop() {}

std::string driver_steam_user_id() { return std::string(); }

void driver_social_achievement(const char *) {}

void driver_social_leaderboard_submit() {
  fprintf(stderr, "steam:driver_social_leaderboard_submit - not implemented\n");
}

std::vector<std::string> driver_social_friends() { return {}; }

bool driver_cloud_write(const char *name, const void *bytes, size_t length) {
  return driver_user_write(name, bytes, length);
}

bool driver_cloud_exists(const char *name) {
  FILE *f = fopen(driver_user_path(name).c_str(), "rb");
  if (!f) return false;
  fclose(f);
  return true;
}

int driver_cloud_size(const char *name) {
  struct stat st;
  if (stat(driver_user_path(name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return st.st_size > 0x7FFFFFFF ? 0x7FFFFFFF : (int)st.st_size;
}

int driver_cloud_read(const char *name, void *buffer, int length) {
  if (length <= 0) return 0;
  return (int)driver_file_read(driver_user_path(name).c_str(), buffer, (size_t)length);
}

int driver_cloud_load(const char *name, std::string *bytes, size_t max) { return driver_user_load(name, bytes, max); }

int driver_cloud_set_aside(const char *name) { return driver_user_set_aside(name); }
