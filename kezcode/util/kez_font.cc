// Bitmap fonts: the font registry, the description parser, measuring, wrapping, drawing and hit tests.
//
// Every geometric value a font hands out is finite: file values are held to a sane range, and a file
// without a positive line height and page size is refused rather than divided by.
#include "kez_font.h"
#include "kez_font_internal.h"

#include <GL/glew.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "kez_driver-files.h"
#include "kez_gfx-tex.h"
#include "kez_log.h"

#define LOG(...) DRIVER_LOG_PRINTF(__VA_ARGS__)

FontRegistry *font_registry;

static const char *const EXTENSIONS[] = {"", ".fnt", ".txt"};

static int64_t (*clock_now)();

// One line's glyph quads, two triangles each: the buffer the line is drawn from in one call.
static float glyph_xy[FONT_GLYPHS * 12], glyph_uv[FONT_GLYPHS * 12];

namespace {

// What a description file gives a font.
struct FontFace {
  GfxRect boxes[FONT_GLYPHS];
  FontMetrics metrics[FONT_GLYPHS];
  float line_height, base;
  GfxRect page;
  bool common;  // a "common" line was seen
};

}  // namespace

static int64_t _font_now() { return clock_now ? clock_now() : (int64_t)time(nullptr); }

// Open to the tests: replaces the wall clock (seconds) of hot reload; null restores it.
void _font_clock_set(int64_t (*now)()) { clock_now = now; }

// Whole part of v held to +-1e9 (NaN gives 0), so that sums and shifts of it stay in 64 bits.
static int64_t _font_whole(double v) {
  if (v != v) return 0;
  return (int64_t)std::clamp(v, -1e9, 1e9);
}

void font_init() {
  if (font_registry) return;
  font_registry = new FontRegistry();
  font_registry->fonts.resize(1);
}

void font_deinit() {
  delete font_registry;
  font_registry = nullptr;
}

Font *font_get(int handle) {
  if (!font_registry || handle <= 0 || (size_t)handle >= font_registry->fonts.size()) return nullptr;
  return &font_registry->fonts[handle];
}

std::string font_find(const char *name) {
  if (!name || !name[0]) return std::string();
  for (const char *ext : EXTENSIONS) {
    std::string candidate = std::string(name) + ext;
    if (driver_file_readable(driver_data_path(candidate.c_str()))) return candidate;
  }
  return std::string();
}

// A file value as a number; anything that is no finite number reads as 0, and the rest is held to
// +-1e9 so that no infinity reaches the geometry.
static float _font_number(const std::string &text) {
  double v = strtod(text.c_str(), nullptr);  // stops at a carriage return left at the line's end
  if (!std::isfinite(v)) return 0;
  return (float)std::clamp(v, -1e9, 1e9);
}

// The key=value words of a line after its first; a repeated key keeps its later value.
static std::unordered_map<std::string, float> _font_pairs(const std::string &line, std::string &kind) {
  std::unordered_map<std::string, float> pairs;
  size_t word = 0;
  for (size_t i = 0; i <= line.size(); i++) {
    if (i < line.size() && line[i] != ' ') continue;
    std::string w = line.substr(word, i - word);
    bool first = word == 0;
    word = i + 1;
    if (first) {
      kind = w;
      continue;
    }
    size_t eq = w.find('=');
    if (eq == std::string::npos) continue;
    size_t stop = w.find('=', eq + 1);  // a further '=' ends the value
    pairs[w.substr(0, eq)] = _font_number(w.substr(eq + 1, stop == std::string::npos ? stop : stop - eq - 1));
  }
  return pairs;
}

static void _font_parse_line(FontFace &face, const std::string &line) {
  std::string kind;
  std::unordered_map<std::string, float> v = _font_pairs(line, kind);
  if (kind == "common") {
    face.line_height = v["lineHeight"];
    face.base = v["base"];
    face.page = {0, 0, v["scaleW"], v["scaleH"]};
    face.common = true;
  } else if (kind == "char") {
    float id = v["id"];
    if (!(id >= 1 && id < FONT_GLYPHS)) return;  // id 0 is no glyph; others do not fit a byte
    int c = (int)id;
    face.boxes[c] = {v["x"], v["y"], v["width"], v["height"]};
    face.metrics[c] = {v["xoffset"], v["yoffset"], v["xadvance"]};
  }
}

bool font_parse(int handle) {
  Font *f = font_get(handle);
  if (!f) return false;
  DriverAssetWork work;
  f->file_time = driver_file_mtime(f->path);
  std::string text = driver_file_string(f->path);
  FontFace face{};
  for (size_t start = 0; start <= text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
    _font_parse_line(face, text.substr(start, end - start));
    start = end + 1;
  }
  // Scale and texture coordinates divide by these: a face without them is refused, not drawn as NaN.
  if (!face.common || !(face.line_height > 0) || !(face.page.w > 0) || !(face.page.h > 0)) {
    fprintf(stderr, "unusable font %s\n", f->path);
    return false;
  }
  std::copy(face.boxes, face.boxes + FONT_GLYPHS, f->boxes);
  std::copy(face.metrics, face.metrics + FONT_GLYPHS, f->metrics);
  f->line_height = face.line_height;
  f->base = face.base;
  f->page = face.page;
  f->line_step = f->line_height;
  f->scale = 1;
  font_set_margins(handle, 0, 0, 0, 0);
  return true;
}

// Appends the font record for a found description file; its handle, or 0 when it is unusable.
static int _font_add(const char *name, int size, const std::string &path) {
  int texture = gfx_tex_load(name);
  int handle = (int)font_registry->fonts.size();
  fprintf(stderr, "doing load font %s (%d)\n", name, handle);
  font_registry->fonts.push_back(Font{});
  Font &f = font_registry->fonts.back();
  f.index = handle;
  f.texture = texture;
  f.generation = gfx_generation();
  f.size = (float)size;
  f.scale = 1;
  snprintf(f.path, sizeof f.path, "%s", path.c_str());  // font_load refused what does not fit
  snprintf(f.name, sizeof f.name, "%s", name);
  if (font_parse(handle)) return handle;
  font_registry->fonts.pop_back();
  return 0;
}

int font_load(const char *name, int size) {
  if (!font_registry || !name) return 0;
  char number[16];
  snprintf(number, sizeof number, ":%d", size);
  std::string key = std::string(name) + number;
  auto it = font_registry->keys.find(key);
  if (it != font_registry->keys.end()) return it->second;
  fprintf(stderr, "trying load font %s\n", name);
  std::string found = font_find(name);
  std::string path = found.empty() ? std::string() : driver_data_path(found.c_str());
  // Names come from markup and mods: one that does not fit the record is refused, never cut short.
  int handle = 0;
  if (found.empty() || strlen(name) >= sizeof(Font::name) || path.size() >= sizeof(Font::path)) {
    fprintf(stderr, "unable to find font %s\n", name);
  } else {
    handle = _font_add(name, size, path);
  }
  font_registry->keys[key] = handle;
  return handle;
}

void font_set_margins(int handle, float top, float right, float bottom, float left) {
  Font *f = font_get(handle);
  if (!f) return;
  float lh = f->line_height, height = top * lh + lh + bottom * lh;
  if (!std::isfinite(right) || !std::isfinite(left) || !std::isfinite(height) || !(height > 0)) {
    LOG("font_set_margins: no line height left in %s\n", f->path);  // the scale would divide by it
    return;
  }
  f->margin_top = top * lh;
  f->margin_right = right * lh;
  f->margin_bottom = bottom * lh;
  f->margin_left = left * lh;
  f->scale = f->size != 0 ? f->size / height : 1;
  f->line_step = height * f->scale;
  LOG("scale=%f, size=%f, yinc=%f\n", f->scale, f->size, f->line_step);
}

void font_reload() {
  if (!font_registry) return;
  int64_t now = _font_now();
  if (now == font_registry->reload_second) return;
  font_registry->reload_second = now;
  for (size_t i = 1; i < font_registry->fonts.size(); i++) {
    const Font &f = font_registry->fonts[i];
    if (driver_file_settled_change(f.path, f.file_time, now)) font_parse((int)i);
  }
}

// The GL name of the font's page, touched, and what one page pixel is in texture coordinates; false
// when there is nothing to draw with. The page image may have been padded to a power-of-two texture,
// so a glyph box is taken as a share of the image, not of the texture.
static bool _font_page(Font &f, uint32_t &gl, float &u_per_pixel, float &v_per_pixel) {
  if (!f.texture || f.generation != gfx_generation()) {  // a rebuilt drawing state has other handles
    f.texture = gfx_tex_load(f.name);
    f.generation = gfx_generation();
  } else {
    gfx_tex_touch(f.texture);  // brings an evicted page back
  }
  const GfxTexture *t = gfx_tex_get(f.texture);
  if (!t || !t->gl || !(t->rect.w > 0) || !(t->rect.h > 0)) return false;
  auto it = gfx_state->image_names.find(f.name);
  const GfxImage *img = gfx_img_get(it == gfx_state->image_names.end() ? 0 : it->second);
  float image_w = img ? img->sw : t->rect.w, image_h = img ? img->sh : t->rect.h;
  gl = t->gl;
  u_per_pixel = image_w / t->rect.w / f.page.w;
  v_per_pixel = image_h / t->rect.h / f.page.h;
  return true;
}

// Writes rect r as two triangles at glyph slot n: top left, bottom left, top right; top right, bottom
// left, bottom right.
static void _font_quad(float *out, int n, const GfxRect &r) {
  const float q[12] = {r.x, r.y, r.x, r.y + r.h, r.x + r.w, r.y, r.x + r.w, r.y, r.x, r.y + r.h, r.x + r.w, r.y + r.h};
  std::copy(q, q + 12, out + n * 12);
}

// Draws `length` bytes of text as one line from (x, y) in a single draw call.
static void _font_draw_bytes(Font &f, const char *text, int length, float x, float y) {
  uint32_t gl;
  float su, sv;
  if (length <= 0 || !_font_page(f, gl, su, sv)) return;
  float pen = x;
  int n = 0;
  for (int i = 0; i < length && n < FONT_GLYPHS; i++) {
    unsigned char c = (unsigned char)text[i];
    const GfxRect &b = f.boxes[c];
    const FontMetrics &m = f.metrics[c];
    GfxRect r = {pen + m.x_offset * f.scale, y + m.y_offset * f.scale, b.w * f.scale, b.h * f.scale};
    GfxRect t = {b.x * su, b.y * sv, b.w * su, b.h * sv};
    pen += m.x_advance * f.scale;
    if (!(r.w > 0) || !(r.h > 0) || !gfx_clip_test(r, &t)) continue;  // glyphs without a box take no slot
    _font_quad(glyph_xy, n, r);
    _font_quad(glyph_uv, n, t);
    n++;
  }
  if (!n) return;
  glBindTexture(GL_TEXTURE_2D, gl);
  glVertexPointer(2, GL_FLOAT, 0, glyph_xy);
  glTexCoordPointer(2, GL_FLOAT, 0, glyph_uv);
  gfx_draw_arrays(GL_TRIANGLES, 0, n * 6);
}

void font_draw_line(int handle, const char *text, float x, float y) {
  Font *f = font_get(handle);
  if (f && text) _font_draw_bytes(*f, text, (int)strnlen(text, INT_MAX), x, y);
}

static float _font_advance(const Font &f, unsigned char c) { return f.metrics[c].x_advance * f.scale; }

static int _font_wrap(const Font &f, const char *text, float width, FontLines &out) {
  out.count = 0;
  const int length = (int)strnlen(text, INT_MAX);
  const float pen0 = (f.margin_right + f.margin_left) * f.scale;
  float pen = pen0;
  int start = 0, space = -1;
  int32_t space_width = 0;
  for (int i = 0; i <= length && out.count < FONT_LINES_MAX; i++) {
    unsigned char c = i < length ? (unsigned char)text[i] : '\n';  // the end counts as a line end
    int end = i, next = i + 1;
    int32_t line_width = (int32_t)_font_whole(pen);
    if (c != '\n') {
      float a = _font_advance(f, c);
      if (width == 0 || !(pen + a > width)) {
        if (c == ' ') {
          space = i;
          space_width = line_width;
        }
        pen += a;
        continue;
      }
      if (space >= 0) {  // back to the last space, which belongs to neither line
        end = space;
        next = space + 1;
        line_width = space_width;
      } else {  // a word wider than the line breaks before the byte that overflows
        next = i;
      }
    }
    out.lines[out.count++] = {start, end, line_width};
    start = next;
    i = next - 1;
    pen = pen0;
    space = -1;
  }
  return out.count;
}

int font_wrap(int handle, const char *text, float width, FontLines &out) {
  out.count = 0;
  const Font *f = font_get(handle);
  return f ? _font_wrap(*f, text ? text : "", width, out) : 0;
}

float font_text_height(int handle, const char *text, float width) {
  const Font *f = font_get(handle);
  if (!f) return 0;
  if (!text || width == 0) return f->line_step;
  FontLines lines;
  return f->line_step * (float)_font_wrap(*f, text, width, lines);
}

float font_text_width(int handle, const char *text) {
  const Font *f = font_get(handle);
  if (!f) return 0;
  const float pen0 = f->margin_left * f->scale;
  float pen = pen0, widest = -INFINITY;
  for (const unsigned char *p = (const unsigned char *)(text ? text : "");; p++) {
    if (*p && *p != '\n') {
      pen += _font_advance(*f, *p);
      continue;
    }
    widest = std::max(widest, pen);
    if (!*p) break;
    pen = pen0;
  }
  return std::ceil(widest + f->margin_right * f->scale + 0.01f);
}

void font_draw(int handle, const char *text, float x, float y, float width, int align) {
  Font *f = font_get(handle);
  if (!f || !text) return;
  FontLines lines;
  _font_wrap(*f, text, width, lines);
  const float x0 = x + f->margin_left * f->scale, y0 = y + f->margin_top * f->scale;
  const float share = (float)(std::clamp(align, -1, 1) + 1) / 2;  // of the room left beside the line
  for (int k = 0; k < lines.count; k++) {
    const FontLine &l = lines.lines[k];
    float lx = width != 0 ? x0 + (width - (float)l.width) * share : x0;
    float ly = y0 + (float)k * f->line_step;
    GfxRect box = {lx, ly, (float)l.width, f->line_height * f->scale};
    if (gfx_clip_test(box, nullptr)) _font_draw_bytes(*f, text + l.start, l.end - l.start, lx, ly);
  }
}

// Walks the bytes of the wrapped text with each byte's caret position (x from the left margin, y the
// line's top from the top margin, no alignment) until visit(index, x, y, advance) returns true. Returns
// true when it was stopped; else `end` holds the caret after the last line's last byte.
template <typename Visit>
static bool _font_walk(const Font &f, const char *text, float width, GfxRect &end, Visit visit) {
  FontLines lines;
  _font_wrap(f, text, width, lines);
  end = {f.margin_left * f.scale, f.margin_top * f.scale, 0, f.line_step};
  for (int k = 0; k < lines.count; k++) {
    end.x = f.margin_left * f.scale;
    end.y = f.margin_top * f.scale + (float)k * f.line_step;
    for (int i = lines.lines[k].start; i < lines.lines[k].end; i++) {
      float a = _font_advance(f, (unsigned char)text[i]);
      if (visit(i, end.x, end.y, a)) return true;
      end.x += a;
    }
  }
  return false;
}

GfxRect font_char_rect(int handle, const char *text, int index, float width) {
  const Font *f = font_get(handle);
  if (!f) return GfxRect{0, 0, 0, 0};
  GfxRect end, found = {0, 0, 0, 0};
  bool hit = _font_walk(*f, text ? text : "", width, end, [&](int i, float x, float y, float a) {
    found = {x, y, a, f->line_step};
    return i >= index;
  });
  return hit ? found : end;
}

int font_char_at(int handle, const char *text, float x, float y, float width) {
  const Font *f = font_get(handle);
  if (!f) return 0;
  const int64_t px = _font_whole(x), py = _font_whole(y);
  int best = 0;
  int64_t best_score = INT64_MAX;
  GfxRect end;
  _font_walk(*f, text ? text : "", width, end, [&](int i, float bx, float by, float) {
    int64_t dx = std::llabs(_font_whole(bx) - px), dy = std::llabs(_font_whole(by + f->line_step / 2) - py);
    int64_t score = dx + (dy << 16);  // the row dominates; both terms are held far below 2^47
    if (score < best_score) {
      best = i;
      best_score = score;
    }
    return false;
  });
  return best;
}
