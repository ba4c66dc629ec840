// The sound registry: names to mixer ids, one record per name, with changed files reported.
#include "kez_sound.h"
#include "kez_sound_internal.h"

#include <cstdio>
#include <ctime>

#include "kez_driver-files.h"

SoundRegistry *sound_registry;

static const char *const EXTENSIONS[] = {"", ".wav", ".ogg", ".mp3", ".aac", ".caf", ".raw"};

static int64_t (*clock_now)();

// What a name space calls itself on standard error.
struct SoundKind {
  const char *trying, *missing, *doing, *reload;
};
static const SoundKind SAMPLE = {":: trying load sample ", "unable to find sample ", "doing load sample ",
                                 "sample reload: "};
static const SoundKind STREAM = {"trying load stream ", "unable to find stream ", "doing load stream ",
                                 "stream reload: "};

static int64_t _sound_now() { return clock_now ? clock_now() : (int64_t)time(nullptr); }

// Open to the tests: replaces the wall clock (seconds) of hot reload; null restores it.
void _sound_clock_set(int64_t (*now)()) { clock_now = now; }

void sound_init() {
  if (!sound_registry) sound_registry = new SoundRegistry();
}

void sound_deinit() {
  delete sound_registry;
  sound_registry = nullptr;
}

std::string _sound_find(const char *name) {
  for (const char *ext : EXTENSIONS) {
    std::string path = driver_data_path((std::string(name) + ext).c_str());
    if (FILE *f = fopen(path.c_str(), "rb")) {
      fclose(f);
      return path;
    }
  }
  return std::string();
}

// A path the record cannot hold whole would be reloaded from the wrong file: it counts as not found.
static bool _sound_path_ok(const std::string &path) { return !path.empty() && path.size() < SOUND_PATH_MAX; }

bool sound_found(const char *name) { return _sound_path_ok(_sound_find(name)); }

// The id of `name` in `map`, its record made on first use with the loader.
static int _sound_load(std::unordered_map<std::string, SoundRecord> &map, const char *name, const SoundKind &kind,
                       int (*loader)(const char *)) {
  auto found = map.find(name);
  if (found != map.end()) return found->second.id;
  fprintf(stderr, "%s%s\n", kind.trying, name);
  SoundRecord &record = map[name];
  record = SoundRecord{};
  std::string path = _sound_find(name);
  if (!_sound_path_ok(path)) {
    fprintf(stderr, "%s%s\n", kind.missing, name);
    return 0;
  }
  fprintf(stderr, "%s%s\n", kind.doing, name);
  snprintf(record.path, sizeof record.path, "%s", path.c_str());
  DriverAssetWork work;
  record.id = loader(record.path);
  record.file_time = driver_file_mtime(record.path);
  return record.id;
}

int sound_sample_load(const char *name) {
  if (!sound_registry || !name) return 0;
  return _sound_load(sound_registry->samples, name, SAMPLE, driver_audio_sample_load);
}

int sound_stream_load(const char *name) {
  if (!sound_registry || !name) return 0;
  return _sound_load(sound_registry->streams, name, STREAM, driver_audio_stream_load);
}

// Reports every file of the map that changed and has settled; the mixer's source is left as it is.
static void _sound_reload_map(std::unordered_map<std::string, SoundRecord> &map, const SoundKind &kind, int64_t now) {
  for (auto &entry : map) {
    SoundRecord &record = entry.second;
    const int64_t mtime = driver_file_settled_change(record.path, record.file_time, now);
    if (!mtime) continue;
    fprintf(stderr, "%s%s\n", kind.reload, record.path);
    record.file_time = mtime;
  }
}

void sound_reload() {
  if (!sound_registry) return;
  int64_t now = _sound_now();
  if (now == sound_registry->reload_second) return;
  sound_registry->reload_second = now;
  _sound_reload_map(sound_registry->samples, SAMPLE, now);
  _sound_reload_map(sound_registry->streams, STREAM, now);
}
