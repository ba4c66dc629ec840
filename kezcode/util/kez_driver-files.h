// Files and folders: the data folder (with its override), the user folder and whole-file I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// "./data" when the application folder name is set, else "../data".
const char *driver_data_dir();
// True when the data folder is there (a folder of that name).
bool driver_data_found();
// The override folder's file when it opens, else the data folder's path of name.
const char *driver_data_path(const char *name);
// The per-user folder (created on each call); "." without an application folder name, and empty when
// none of APPDATA, XDG_DATA_HOME and HOME is set: a player's files never go where the game was started.
const char *driver_user_dir();
// The path of the user file of that name; empty when there is no user folder.
std::string driver_user_path(const char *name);

// True when the file opens for reading.
bool driver_file_readable(const char *path);
// Modification time in seconds since the epoch; 0 when the file cannot be examined.
int64_t driver_file_mtime(const char *path);
// For reloading a file as it is edited: its modification time when that is later than `seen` and at
// least DRIVER_FILE_SETTLE seconds before `now` (a file written just now may be half-written); else 0.
int64_t driver_file_settled_change(const char *path, int64_t seen, int64_t now);
constexpr int64_t DRIVER_FILE_SETTLE = 2;
// The whole file in a malloc'ed buffer the caller frees; null (length 0) when missing, empty or unreadable.
unsigned char *driver_file_alloc(const char *path, size_t *length);
// Reads up to max bytes of the file into buffer; 0 when it cannot be opened.
size_t driver_file_read(const char *path, void *buffer, size_t max);
// The whole file, empty when it cannot be read.
std::string driver_file_string(const char *path);
// Reads the file into *bytes, at most max bytes of it. 0 when read (an empty file gives no bytes),
// ENOENT when there is no file of that name, else the errno of why it could not be read (EISDIR for
// a folder); *bytes is then empty.
int driver_file_load(const char *path, std::string *bytes, size_t max = SIZE_MAX);
// The whole data file of that name.
std::string driver_data_string(const char *name);
// driver_file_replace of the file of that name in the user folder; a failure is also logged.
bool driver_user_write(const char *name, const void *bytes, size_t length);
// driver_file_load of the file of that name in the user folder.
int driver_user_load(const char *name, std::string *bytes, size_t max);
// Renames the user file of that name to the name with DRIVER_ASIDE_SUFFIX, to keep a file the game
// cannot use out of the way of its saves. 0 when done, else the errno (EEXIST when a file of that
// name is there already, which is never replaced).
int driver_user_set_aside(const char *name);
constexpr const char *DRIVER_ASIDE_SUFFIX = ".damaged";
// Removes the temporary files that saves cut short left in the user folder (only those: their names
// carry a mark of the game's own), logging each; nothing without a user folder of the game's own.
void driver_user_sweep();
// The whole cloud file of that name, empty when it is missing or empty.
std::string driver_cloud_read_string(const char *name);

// Work on the game's own asset files (reading and decoding an image, a font or a sound) is told to
// this hook when one is set: 1 as it begins, 0 as it ends. A caller that times its own work can
// leave it out (a mod's time limit does: the game's art is not the mod's work).
extern void (*driver_asset_hook)(int begin);
// Marks the asset work of its lifetime for driver_asset_hook.
struct DriverAssetWork {
  DriverAssetWork() {
    if (driver_asset_hook) driver_asset_hook(1);
  }
  ~DriverAssetWork() {
    if (driver_asset_hook) driver_asset_hook(0);
  }
  DriverAssetWork(const DriverAssetWork &) = delete;
  DriverAssetWork &operator=(const DriverAssetWork &) = delete;
};

// True on phones, and on tablets of at most 1024 x 1024 pixels.
bool driver_is_mobile();
// The GL version as major * 65536 + minor * 256 + patch; 0 without a GL context.
int driver_gl_version();
