// Textures, images and sprite atlases: search, upload, memory budget, eviction and hot reload.
#include "kez_gfx-tex.h"
#include "kez_gfx-tex_internal.h"

#include <GL/glew.h>
#include <stb_image.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "kez_driver-files.h"
#include "kez_json.h"
#include "kez_log.h"
#include "kez_var.h"

#define LOG(...) DRIVER_LOG_PRINTF(__VA_ARGS__)

static const uint32_t BUDGET_SMALL = 0x2000000, BUDGET = 0x5000000;  // texture bytes: 32 MiB, 80 MiB
static const int64_t EVICT_IDLE = 300;                               // seconds unused before a texture may be evicted
static const char *const EXTENSIONS[] = {".tga", ".png", ".jpg", ".kez"};

static int64_t (*clock_now)();
static long load_ms_total;

static int64_t _gfx_now() { return clock_now ? clock_now() : (int64_t)time(nullptr); }

// Open to the tests: replaces the wall clock (seconds) of last use, eviction and hot reload; null
// restores it.
void _gfx_tex_clock_set(int64_t (*now)()) { clock_now = now; }

GfxTexture *gfx_tex_get(int handle) {
  if (!gfx_state || handle <= 0 || (size_t)handle >= gfx_state->textures.size()) return nullptr;
  return &gfx_state->textures[handle];
}

GfxImage *gfx_img_get(int handle) {
  if (!gfx_state || handle <= 0 || (size_t)handle >= gfx_state->images.size()) return nullptr;
  return &gfx_state->images[handle];
}

static void _gfx_copy(char *field, size_t size, const char *text) { snprintf(field, size, "%s", text); }

std::string gfx_find_ext(const std::string &name) {
  if (name.find('.') != std::string::npos && driver_file_readable(driver_data_path(name.c_str()))) return name;
  for (const char *ext : EXTENSIONS) {
    std::string candidate = name + ext;
    if (driver_file_readable(driver_data_path(candidate.c_str()))) return candidate;
  }
  return std::string();
}

std::string _gfx_find(const std::string &name) {
  size_t slash = name.rfind('/');
  std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
  size_t dot = file.rfind('.');  // only a dot in the file name starts an extension
  std::string ext = dot == std::string::npos ? std::string() : file.substr(dot), base = file.substr(0, dot);
  LOG("_gfx_find(%s):%s:%s\n", name.c_str(), file.c_str(), ext.c_str());
  char scale[24], device[40];
  snprintf(scale, sizeof scale, "@%dx", app_info ? (int)app_info->scale : 1);
  snprintf(device, sizeof device, "~%s", app_info ? app_info->device : "desktop");
  const std::string tries[] = {base + scale + device + ext, base + scale + ext, base + device + ext, base + ext};
  for (const std::string &candidate : tries) {
    std::string found = gfx_find_ext(candidate);
    if (!found.empty()) return found;
  }
  return std::string();
}

// Atlas frames are wanted from the first load, not only after the atlas file changes: a texture file with
// a ".json" of the same name beside it takes that file as its sprite atlas.
static void _gfx_atlas_attach(int handle, const std::string &found) {
  std::string atlas = found.substr(0, found.rfind('.')) + ".json";
  std::string path = driver_data_path(atlas.c_str());
  GfxTexture *t = gfx_tex_get(handle);
  if (!driver_file_readable(path.c_str()) || path.size() >= sizeof t->atlas_path) return;
  _gfx_copy(t->atlas_path, sizeof t->atlas_path, path.c_str());
  gfx_atlas_load(path.c_str(), handle);
}

static int _gfx_tex_first_load(const char *name) {
  LOG("trying load tex %s\n", name);
  std::string found = name[0] ? _gfx_find(name) : std::string();
  std::string path = found.empty() ? std::string() : driver_data_path(found.c_str());
  // Names come from markup and mods: one that does not fit the record is refused, never cut short.
  if (found.empty() || strlen(name) >= sizeof(GfxTexture::name) || path.size() >= sizeof(GfxTexture::path)) {
    LOG("unable to find tex %s\n", name);
    gfx_state->texture_names[name] = 0;
    return 0;
  }
  auto start = std::chrono::steady_clock::now();
  int handle = (int)gfx_state->textures.size();
  gfx_state->textures.push_back(GfxTexture{});
  LOG("doing load tex %s (%d)\n", name, handle);
  gfx_state->texture_names[name] = handle;
  GfxTexture &t = gfx_state->textures[handle];
  t.index = handle;
  _gfx_copy(t.path, sizeof t.path, path.c_str());
  _gfx_copy(t.name, sizeof t.name, name);
  gfx_tex_reload(handle);
  _gfx_atlas_attach(handle, found);
  long ms =
      (long)std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  load_ms_total += ms;
  LOG("gfx_tex_load: %ld ms, total %ld ms\n\n", ms, load_ms_total);
  return handle;
}

int gfx_tex_load(const char *name) {
  if (!gfx_state || !name) return 0;
  auto it = gfx_state->texture_names.find(name);
  int handle = it != gfx_state->texture_names.end() ? it->second : _gfx_tex_first_load(name);
  gfx_tex_touch(handle);
  return handle;
}

void gfx_tex_touch(int handle) {
  GfxTexture *t = gfx_tex_get(handle);
  if (!t) return;
  if (!t->loaded) gfx_tex_reload(handle);
  t->last_use = _gfx_now();
}

void gfx_tex_reload(int handle) {
  GfxTexture *t = gfx_tex_get(handle);
  if (!t) return;
  DriverAssetWork work;
  LOG("gfx_tex_reload: %d %s %s\n", handle, t->name, t->path);
  gfx_tex_unload(handle);
  t->loaded = 1;
  t->file_time = driver_file_mtime(t->path);
  fprintf(stderr, "driver_tex_load %s\n", t->path);
  GfxUpload u = driver_tex_load(t->path);
  t->gl = u.gl;
  t->rect = {0, 0, (float)u.tex_w, (float)u.tex_h};
  t->bytes =
      (uint32_t)std::min<uint64_t>((uint64_t)u.tex_w * (uint64_t)u.tex_h * 16 / 3, UINT32_MAX);  // 4/3 for mipmaps
  t->last_use = _gfx_now();
  gfx_state->memused += t->bytes;
  float iw = (float)u.image_w, ih = (float)u.image_h;
  gfx_img_add(std::string(t->name).c_str(), handle, 0, 0, iw, ih, 0, 0, iw, ih);
  _gfx_tex_recycle();
}

void gfx_tex_unload(int handle) {
  GfxTexture *t = gfx_tex_get(handle);
  if (!t) return;
  // After a new GL context the old name is no texture of it: nothing to delete, but the name is stale.
  if (t->gl && driver_gl_context() && glIsTexture(t->gl)) glDeleteTextures(1, &t->gl);
  t->gl = 0;
  gfx_state->memused -= std::min(t->bytes, gfx_state->memused);
  t->bytes = 0;
  t->loaded = 0;
}

// The loaded texture unused longest, at least EVICT_IDLE seconds; the later handle on a tie; 0 for none.
static int _gfx_tex_idlest(int64_t now) {
  int pick = 0;
  int64_t longest = EVICT_IDLE;
  for (size_t i = 1; i < gfx_state->textures.size(); i++) {
    const GfxTexture &t = gfx_state->textures[i];
    if (t.loaded && now - t.last_use >= longest) {
      pick = (int)i;
      longest = now - t.last_use;
    }
  }
  return pick;
}

void _gfx_tex_recycle() {
  if (!gfx_state) return;
  GfxState &g = *gfx_state;
  LOG("_gfx->memused: %.2fM\n", g.memused / 1048576.0);
  uint32_t budget = driver_is_mobile() ? BUDGET_SMALL : BUDGET;
  int64_t now = _gfx_now();
  while (g.memused > budget) {
    LOG("KEZ_GFX_MEMMAX: %.2fM exceeded by %.2f\n", budget / 1048576.0, (g.memused - budget) / 1048576.0);
    int pick = _gfx_tex_idlest(now);
    if (!pick) break;  // nothing idle long enough: memory stays over the budget
    LOG("_gfx_tex_recycle: %d (%s)\n", pick, g.textures[pick].name);
    gfx_tex_unload(pick);
  }
}

void gfx_reload() {
  if (!gfx_state) return;
  int64_t now = _gfx_now();
  if (now == gfx_state->reload_second) return;
  gfx_state->reload_second = now;
  for (size_t i = 1; i < gfx_state->textures.size(); i++) {
    const GfxTexture &t = gfx_state->textures[i];
    if (driver_file_settled_change(t.path, t.file_time, now)) gfx_tex_reload((int)i);
  }
  for (size_t i = 1; i < gfx_state->textures.size(); i++) {
    const GfxTexture &t = gfx_state->textures[i];
    if (driver_file_settled_change(t.atlas_path, t.atlas_time, now)) gfx_atlas_load(std::string(t.atlas_path).c_str(), (int)i);
  }
}

int gfx_img_load(const char *name) {
  if (!gfx_state || !name) return 0;
  if (!gfx_state->image_names.count(name) && !gfx_tex_load(name)) {
    LOG("unable to find img %s\n", name);
    gfx_state->image_names[name] = 0;
    return 0;
  }
  int handle = gfx_state->image_names[name];
  const GfxImage *img = gfx_img_get(handle);
  if (img) gfx_tex_touch(img->texture);
  return handle;
}

int gfx_img_add(const char *name, int texture, float sx, float sy, float sw, float sh, float trim_x, float trim_y,
                float full_w, float full_h) {
  if (!gfx_state || !name) return 0;
  int32_t &handle = gfx_state->image_names[name];
  if (!handle) {  // new, or remembered as not found
    handle = (int32_t)gfx_state->images.size();
    gfx_state->images.push_back(GfxImage{});
  }
  gfx_state->images[handle] = {handle, texture, sx, sy, sw, sh, trim_x, trim_y, full_w, full_h};
  return handle;
}

// obj[key] as a float when obj is a dict holding it, else 0.
static float _gfx_json_num(const var &obj, const char *key) {
  return obj.type() == VAR_DICT && obj.has(key) ? (float)obj[key].number() : 0.0f;
}

static void _gfx_atlas_frame(const std::string &key, const var &value, int texture) {
  if (value.type() != VAR_DICT) return;
  var frame = value["frame"], trim = value["spriteSourceSize"], full = value["sourceSize"];
  gfx_img_add(key.substr(0, key.rfind('.')).c_str(), texture, _gfx_json_num(frame, "x"), _gfx_json_num(frame, "y"),
              _gfx_json_num(frame, "w"), _gfx_json_num(frame, "h"), _gfx_json_num(trim, "x"), _gfx_json_num(trim, "y"),
              _gfx_json_num(full, "w"), _gfx_json_num(full, "h"));
}

void gfx_atlas_load(const char *path, int texture) {
  GfxTexture *t = gfx_tex_get(texture);
  if (!t || !path) return;
  std::string atlas = path;
  t->atlas_time = driver_file_mtime(atlas.c_str());
  size_t slash = atlas.rfind('/');
  std::string text = driver_data_string(atlas.substr(slash == std::string::npos ? 0 : slash + 1).c_str());
  var doc;
  if (json_decode(doc, text.data(), text.size()) != 0) return;  // the reader has said where it failed
  if (doc.type() != VAR_DICT || !doc.has("frames")) return;
  var frames = doc["frames"];
  if (frames.type() != VAR_DICT) return;
  var it = frames.iter(), key, value;
  while (it.next_kv(key, value)) _gfx_atlas_frame(key.str(), value, texture);
}

// The padded side: the smallest power of two from 64 to 4096 that holds n; beyond 4096, n itself.
static int _gfx_tex_side(int n) {
  for (int side = 64; side <= 4096; side *= 2) {
    if (side >= n) return side;
  }
  return n;
}

// Copies the image into a tw x th buffer, repeating the last column and row so that filtering at the
// image's edge never blends in the padding.
static unsigned char *_gfx_tex_pad(const unsigned char *rgba, int w, int h, int tw, int th,
                                   std::vector<unsigned char> &out) {
  size_t row_bytes = (size_t)tw * 4;
  out.assign(row_bytes * (size_t)th, 0);
  for (int y = 0; y < h; y++) {
    unsigned char *row = &out[(size_t)y * row_bytes];
    memcpy(row, rgba + (size_t)y * w * 4, (size_t)w * 4);
    for (int x = w; x < tw; x++) memcpy(row + (size_t)x * 4, row + (size_t)(w - 1) * 4, 4);
  }
  for (int y = h; y < th; y++) memcpy(&out[(size_t)y * row_bytes], &out[(size_t)(h - 1) * row_bytes], row_bytes);
  return out.data();
}

// Halves a tw x th image with a 2 x 2 box filter, in place: every output byte lies at or before the first
// input byte it is made from, and no later pixel reads it.
static void _gfx_tex_halve(unsigned char *p, int tw, int th) {
  int hw = tw / 2, hh = th / 2;
  size_t row = (size_t)tw * 4;
  for (int y = 0; y < hh; y++) {
    for (int x = 0; x < hw; x++) {
      for (int c = 0; c < 4; c++) {
        const unsigned char *a = p + (size_t)(2 * y) * row + (size_t)(2 * x) * 4 + c;
        p[((size_t)y * hw + x) * 4 + c] = (unsigned char)((a[0] + a[4] + a[row] + a[row + 4]) >> 2);
      }
    }
  }
}

// Open to the tests: premultiplies `rgba` in place, pads it to the texture size (into `padded` when
// needed) and halves it on a small device; fills the sizes of `out` and returns the pixels to
// upload.
const unsigned char *_gfx_tex_prepare(unsigned char *rgba, int w, int h, bool small, std::vector<unsigned char> &padded,
                                      GfxUpload &out) {
  size_t count = (size_t)w * (size_t)h;
  for (size_t i = 0; i < count; i++) {
    unsigned char *p = rgba + i * 4;
    for (int c = 0; c < 3; c++) p[c] = (unsigned char)(p[c] * p[3] >> 8);  // full alpha turns 255 into 254
  }
  int tw = _gfx_tex_side(w), th = _gfx_tex_side(h);
  unsigned char *pixels = (tw != w || th != h) ? _gfx_tex_pad(rgba, w, h, tw, th, padded) : rgba;
  if (small && tw > 64 && th > 64) {
    _gfx_tex_halve(pixels, tw, th);
    w /= 2;
    h /= 2;
    tw /= 2;
    th /= 2;
  }
  out.image_w = w;
  out.image_h = h;
  out.tex_w = tw;
  out.tex_h = th;
  return pixels;
}

static uint32_t _gfx_tex_create(const unsigned char *pixels, int tw, int th) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  bool mipmaps = driver_gl_version() >= 0x10400;  // automatic mipmap generation came with GL 1.4
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  if (mipmaps) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  return name;
}

GfxUpload driver_tex_upload(unsigned char *rgba, int w, int h) {
  GfxUpload u{};
  if (!rgba || w <= 0 || h <= 0) return u;
  std::vector<unsigned char> padded;
  const unsigned char *pixels = _gfx_tex_prepare(rgba, w, h, driver_is_mobile(), padded, u);
  if (driver_gl_context()) u.gl = _gfx_tex_create(pixels, u.tex_w, u.tex_h);  // a headless server keeps sizes only
  return u;
}

// An image file decoded and made ready for upload: premultiplied, padded and, on a small device, halved.
struct GfxDecoded {
  std::vector<unsigned char> pixels;  // tex_w x tex_h RGBA; empty when the file did not decode
  GfxUpload sizes;                    // without a GL name
};

// Decodes the file into `out`; false (a line on the error stream says why) when it cannot. Runs on the
// main thread or the preload worker: it touches no GL and no shared state.
static bool _gfx_decode(const char *path, bool small, GfxDecoded &out) {
  size_t length = 0;
  unsigned char *file = driver_file_alloc(path, &length);
  bool read = file != nullptr;
  int w = 0, h = 0, channels = 0;
  unsigned char *rgba =
      read && length <= INT_MAX ? stbi_load_from_memory(file, (int)length, &w, &h, &channels, 4) : nullptr;
  free(file);
  if (!rgba) {
    const char *why = read ? stbi_failure_reason() : "unreadable file";
    fprintf(stderr, "stbi_load failed %s - %s\n", path, why ? why : "unknown");
    return false;
  }
  std::vector<unsigned char> padded;
  const unsigned char *pixels = _gfx_tex_prepare(rgba, w, h, small, padded, out.sizes);
  if (pixels == padded.data()) {
    out.pixels = std::move(padded);
  } else {
    out.pixels.assign(pixels, pixels + (size_t)out.sizes.tex_w * out.sizes.tex_h * 4);
  }
  stbi_image_free(rgba);
  return true;
}

// ---- Decoding ahead --------------------------------------------------------------------------
//
// One worker thread decodes queued files while the main thread draws; the main thread takes a file's
// pixels when it loads that texture (waiting only when the worker holds that very file) and uploads the
// finished ones one a frame. Everything below `lock` is shared with the worker.

struct GfxPreloadJob {
  std::string name, path;
};

struct GfxPreload {
  std::mutex lock;
  std::condition_variable finished;  // a job left `busy`
  std::deque<GfxPreloadJob> queue;
  std::string busy;                            // the path the worker decodes now; empty when idle
  std::map<std::string, GfxDecoded> decoded;   // by path; a failed decode is kept too (no pixels)
  std::deque<std::string> ready;               // names whose files are decoded, oldest first
  bool stop = false;
  std::thread worker;

  ~GfxPreload() { gfx_tex_preload_stop(); }  // a worker must not outlive the process's statics
};

static GfxPreload preload;

void gfx_tex_preload_stop() {
  {
    std::lock_guard<std::mutex> hold(preload.lock);
    preload.stop = true;
    preload.queue.clear();
  }
  if (preload.worker.joinable()) preload.worker.join();
  preload.decoded.clear();
  preload.ready.clear();
  preload.stop = false;
}

static void _gfx_preload_work(bool small) {
  std::unique_lock<std::mutex> hold(preload.lock);
  while (!preload.stop && !preload.queue.empty()) {
    GfxPreloadJob job = preload.queue.front();
    preload.queue.pop_front();
    preload.busy = job.path;
    hold.unlock();
    GfxDecoded d;
    _gfx_decode(job.path.c_str(), small, d);
    hold.lock();
    preload.decoded[job.path] = std::move(d);
    preload.ready.push_back(job.name);
    preload.busy.clear();
    preload.finished.notify_all();
  }
}

void gfx_tex_preload(const std::vector<std::string> &names) {
  if (!gfx_state) return;
  gfx_tex_preload_stop();
  for (const std::string &name : names) {
    if (gfx_state->texture_names.count(name)) continue;  // loaded, or known to be missing
    std::string found = _gfx_find(name);
    if (!found.empty()) preload.queue.push_back({name, driver_data_path(found.c_str())});
  }
  if (!preload.queue.empty()) preload.worker = std::thread(_gfx_preload_work, driver_is_mobile());
}

// The decoded pixels of a file the worker was given, waiting while it decodes that file; false when
// the worker never had it (or no longer has it), and it is to be decoded here.
static bool _gfx_preload_take(const std::string &path, GfxDecoded &out) {
  std::unique_lock<std::mutex> hold(preload.lock);
  for (auto it = preload.queue.begin(); it != preload.queue.end(); ++it) {
    if (it->path == path) {
      preload.queue.erase(it);  // wanted now: decoding it here is sooner than waiting its turn
      return false;
    }
  }
  preload.finished.wait(hold, [&path] { return preload.busy != path; });
  auto it = preload.decoded.find(path);
  if (it == preload.decoded.end()) return false;
  out = std::move(it->second);
  preload.decoded.erase(it);
  return true;
}

// Open to the tests: blocks until the preload worker has decoded everything it was given.
void _gfx_tex_preload_wait() {
  std::unique_lock<std::mutex> hold(preload.lock);
  preload.finished.wait(hold, [] { return preload.queue.empty() && preload.busy.empty(); });
}

void gfx_tex_preload_step() {
  std::string name;
  {
    std::lock_guard<std::mutex> hold(preload.lock);
    if (preload.ready.empty()) return;
    name = preload.ready.front();
    preload.ready.pop_front();
  }
  if (gfx_state && !gfx_state->texture_names.count(name)) gfx_tex_load(name.c_str());
}

GfxUpload driver_tex_load(const char *path) {
  GfxDecoded d;
  if (!_gfx_preload_take(path, d)) _gfx_decode(path, driver_is_mobile(), d);
  if (d.pixels.empty()) return GfxUpload{};
  GfxUpload u = d.sizes;
  if (driver_gl_context()) u.gl = _gfx_tex_create(d.pixels.data(), u.tex_w, u.tex_h);
  fprintf(stderr, "loaded %s as %d (%d,%d):(%d,%d)\n", path, (int)u.gl, u.image_w, u.image_h, u.tex_w, u.tex_h);
  return u;
}
