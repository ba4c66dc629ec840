// The platform layer for identity, friends, achievements and cloud files. No platform client
// runs on this system: it reports "not running", so there is no platform identity and cloud
// files live in the user folder.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Starts the platform layer and logs in (or out) with its identity.
void driver_social_init();
// Per-frame work: stores pending stats and runs the platform's callbacks.
void driver_social_loop();
// True when the platform client is running.
bool driver_steam_running();
// The platform user id as 16 lower-case hex digits; empty without the platform.
std::string driver_steam_user_id();
// Sets an achievement by its API name (nothing without the platform).
void driver_social_achievement(const char *name);
// Leaderboard submission: not implemented on any platform.
void driver_social_leaderboard_submit();
// The friends' uuids; empty without the platform.
std::vector<std::string> driver_social_friends();

// Cloud files: the platform's remote storage, or the user folder without it.
bool driver_cloud_write(const char *name, const void *bytes, size_t length);
bool driver_cloud_exists(const char *name);
int driver_cloud_size(const char *name);
// Reads up to length bytes; 0 on failure.
int driver_cloud_read(const char *name, void *buffer, int length);
// driver_file_load of the cloud file of that name: 0, ENOENT when there is none, else why it cannot
// be read.
int driver_cloud_load(const char *name, std::string *bytes, size_t max);
// driver_user_set_aside of the cloud file of that name.
int driver_cloud_set_aside(const char *name);
