// Files and folders: the data folder (with its override), the user folder and whole-file I/O.
#include "kez_driver-files.h"
#include "kez_driver-files_internal.h"

#include <GL/gl.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kez_driver-sdl2.h"

void (*driver_asset_hook)(int begin);
#include "kez_driver-steam.h"
#include "kez_log.h"

static std::string data_dir_buf, data_path_buf, user_dir_buf;

const char *driver_data_dir() {
  data_dir_buf = (app_info && app_info->app_name[0]) ? "./data" : "../data";
  return data_dir_buf.c_str();
}

bool driver_file_readable(const char *path) {
  FILE *f = fopen(path, "rb");
  if (!f) return false;
  fclose(f);
  return true;
}

const char *driver_data_path(const char *name) {
  if (app_info && app_info->data_override[0]) {
    std::string over = std::string(app_info->data_override) + "/" + name;
    if (driver_file_readable(over.c_str())) {
      data_path_buf = over;
      return data_path_buf.c_str();
    }
  }
  data_path_buf = std::string(driver_data_dir()) + "/" + name;
  return data_path_buf.c_str();
}

// The base of the user folder: APPDATA, else the XDG data home, else ~/.local/share; empty without
// any of them, as a base made up from nothing would scatter the player's files wherever the game
// happened to be started.
static std::string _driver_user_base() {
  const char *appdata = getenv("APPDATA");
  if (appdata && appdata[0]) return appdata;
  const char *xdg = getenv("XDG_DATA_HOME");
  if (xdg && xdg[0]) return xdg;
  const char *home = getenv("HOME");
  return home && home[0] ? std::string(home) + "/.local/share" : std::string();
}

// mkdir -p: the fallback bases may not exist yet on a fresh account.
static void _driver_mkdirs(const std::string &path) {
  for (size_t i = 1; i <= path.size(); i++) {
    if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
  }
}

const char *driver_user_dir() {
  if (!app_info || !app_info->app_name[0]) {
    user_dir_buf = ".";
    return user_dir_buf.c_str();
  }
  const std::string base = _driver_user_base();
  if (base.empty()) {
    user_dir_buf.clear();
    return user_dir_buf.c_str();
  }
  user_dir_buf = base + "/" + app_info->app_name;
  _driver_mkdirs(user_dir_buf);
  return user_dir_buf.c_str();
}

std::string driver_user_path(const char *name) {
  const std::string dir = driver_user_dir();
  return dir.empty() ? dir : dir + "/" + name;
}

int64_t driver_file_mtime(const char *path) {
  struct stat st;
  if (stat(path, &st) != 0) return 0;
  return (int64_t)st.st_mtime;
}

int64_t driver_file_settled_change(const char *path, int64_t seen, int64_t now) {
  const int64_t mtime = path[0] ? driver_file_mtime(path) : 0;
  return mtime > seen && now - mtime >= DRIVER_FILE_SETTLE ? mtime : 0;
}

static long _driver_file_size(const char *path) {
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return (long)st.st_size;
}

unsigned char *driver_file_alloc(const char *path, size_t *length) {
  *length = 0;
  long size = _driver_file_size(path);
  if (size <= 0) return nullptr;
  FILE *f = fopen(path, "rb");
  if (!f) {
    fprintf(stderr, "file not found: %s\n", path);
    return nullptr;
  }
  unsigned char *buf = (unsigned char *)malloc((size_t)size);
  size_t got = buf ? fread(buf, 1, (size_t)size, f) : 0;
  fclose(f);
  if (got == 0) {
    free(buf);
    return nullptr;
  }
  *length = got;
  return buf;
}

size_t driver_file_read(const char *path, void *buffer, size_t max) {
  FILE *f = fopen(path, "rb");
  if (!f) {
    fprintf(stderr, "file not found: %s\n", path);
    return 0;
  }
  size_t got = fread(buffer, 1, max, f);
  fclose(f);
  return got;
}

std::string driver_file_string(const char *path) {
  size_t n = 0;
  unsigned char *buf = driver_file_alloc(path, &n);
  if (!buf) return std::string();
  std::string out((const char *)buf, n);
  free(buf);
  return out;
}

std::string driver_data_string(const char *name) { return driver_file_string(driver_data_path(name)); }

// Appends what is left of the open file to *bytes, up to max in all; 0, or the errno of a failed read.
static int _driver_read_rest(int fd, std::string *bytes, size_t max) {
  char chunk[65536];
  while (bytes->size() < max) {
    const ssize_t n = read(fd, chunk, std::min(sizeof chunk, max - bytes->size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    bytes->append(chunk, (size_t)n);
  }
  return 0;
}

int driver_file_load(const char *path, std::string *bytes, size_t max) {
  bytes->clear();
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a pipe of that name must not hang the game
  if (fd < 0) return errno;
  const int cause = _driver_read_rest(fd, bytes, max);
  close(fd);
  if (cause) bytes->clear();
  return cause;
}

bool driver_data_found() {
  struct stat st;
  return stat(driver_data_dir(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Writes all of the bytes, going on after short writes and interrupted calls.
static bool _driver_write_all(int fd, const void *bytes, size_t length) {
  const char *p = (const char *)bytes;
  while (length > 0) {
    ssize_t n = write(fd, p, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    length -= (size_t)n;
  }
  return true;
}

// The rename is only durable once the folder's own entry list reaches the disk.
static void _driver_sync_folder(const std::string &path) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// A save's temporary file carries this mark, which no file of the player's has: the start-up sweep
// removes what has it and nothing else.
static const char SAVE_MARK[] = ".vantor-save-";
static const size_t SAVE_MARK_LEN = sizeof SAVE_MARK - 1;
static const size_t SAVE_UNIQUE_LEN = 6;  // the XXXXXX mkstemp fills

// Open to the tests: the mkstemp pattern of the temporary file a save
// of path writes first, beside it and hidden: ".<name>.vantor-save-XXXXXX".
std::string _driver_save_temp(const char *path) {
  const char *slash = strrchr(path, '/');
  const std::string folder = slash ? std::string(path, (size_t)(slash - path) + 1) : "";
  return folder + "." + (slash ? slash + 1 : path) + SAVE_MARK + std::string(SAVE_UNIQUE_LEN, 'X');
}

// Open to the tests. Replaces the file with the bytes: they go to a new owner-only (0600) file
// beside it, which is then renamed over the old one, so a crash or a full disk mid-write leaves the
// old file whole. False, with the old file untouched and no temporary file left, when any step
// fails.
bool driver_file_replace(const char *path, const void *bytes, size_t length) {
  std::string temp = _driver_save_temp(path);
  int fd = mkstemp(&temp[0]);  // owner-only (0600), whatever the umask
  if (fd < 0) return false;
  bool ok = _driver_write_all(fd, bytes, length) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.c_str(), path) == 0;
  if (!ok) {
    int cause = errno;  // kept for the caller's message
    unlink(temp.c_str());
    errno = cause;
    return false;
  }
  _driver_sync_folder(path);
  return true;
}

bool driver_user_write(const char *name, const void *bytes, size_t length) {
  const std::string path = driver_user_path(name);
  if (path.empty()) {
    DRIVER_LOG_PRINTF("cannot write %s: no user folder", name);
    return false;
  }
  if (driver_file_replace(path.c_str(), bytes, length)) return true;
  DRIVER_LOG_PRINTF("cannot write %s: %s", path.c_str(), strerror(errno));
  return false;
}

int driver_user_load(const char *name, std::string *bytes, size_t max) {
  return driver_file_load(driver_user_path(name).c_str(), bytes, max);
}

int driver_user_set_aside(const char *name) {
  const std::string path = driver_user_path(name);
  const std::string aside = path + DRIVER_ASIDE_SUFFIX;
  // Never over an earlier copy: that one is the player's too.
  return renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
}

// A temporary file of a save that never reached its rename: the mark at its place in the name (a
// user file's name before it, the unique letters after), and a regular file of this user's.
static bool _driver_save_leftover(const std::string &folder, const char *name) {
  const size_t len = strlen(name);
  if (name[0] != '.' || len < 2 + SAVE_MARK_LEN + SAVE_UNIQUE_LEN) return false;
  const char *unique = name + len - SAVE_UNIQUE_LEN;
  if (strncmp(unique - SAVE_MARK_LEN, SAVE_MARK, SAVE_MARK_LEN) != 0) return false;
  for (const char *c = unique; *c; c++)
    if (!isalnum((unsigned char)*c)) return false;
  struct stat st;
  return lstat((folder + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == getuid();
}

void driver_user_sweep() {
  if (!app_info || !app_info->app_name[0]) return;  // without a folder of our own, "." is the player's
  const std::string folder = driver_user_dir();
  DIR *dir = opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> leftovers;
  while (struct dirent *entry = readdir(dir))
    if (_driver_save_leftover(folder, entry->d_name)) leftovers.push_back(entry->d_name);
  closedir(dir);
  for (const std::string &name : leftovers) {
    const std::string path = folder + "/" + name;
    if (unlink(path.c_str()) == 0) DRIVER_LOG_PRINTF("removed %s, left by an interrupted save", path.c_str());
  }
}

std::string driver_cloud_read_string(const char *name) {
  if (!driver_cloud_exists(name)) return std::string();
  int size = driver_cloud_size(name);
  if (size <= 0) return std::string();
  std::string out((size_t)size, '\0');
  int got = driver_cloud_read(name, &out[0], size);
  out.resize(got > 0 ? (size_t)got : 0);
  return out;
}

bool driver_is_mobile() {
  if (!app_info) return false;
  if (strcmp(app_info->device, "phone") == 0) return true;
  if (strcmp(app_info->device, "tablet") != 0) return false;
  return app_info->width * app_info->scale <= 1024 && app_info->height * app_info->scale <= 1024;
}

// Open to the tests: the GL version number of driver_gl_version for a version text.
int driver_gl_version_parse(const char *text) {
  if (!text) return 0;
  int parts[3] = {0, 0, 0};
  int index = 0;
  for (const char *p = text; *p && index < 3; p++) {
    if (*p == '.') {
      index++;
    } else if (*p >= '0' && *p <= '9') {
      if (parts[index] < 100000) parts[index] = parts[index] * 10 + (*p - '0');
    } else {
      break;
    }
  }
  return parts[0] * 65536 + parts[1] * 256 + parts[2];
}

int driver_gl_version() {
  if (!driver_gl_context()) return 0;
  return driver_gl_version_parse((const char *)glGetString(GL_VERSION));
}
