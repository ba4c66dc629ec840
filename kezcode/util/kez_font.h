// Bitmap fonts: a glyph page texture described by a BMFont text file, requested by name and pixel size.
//
// The same face at two sizes is two handles sharing one page texture. Glyph values in the file are pixels
// at the face's native line height; a font scales them so that one line (with its margins) is `size`
// drawing units tall. Text is a byte string: every byte is one glyph and byte 10 ends a line.
//
// Handles are indexes into the registry's table; 0 means none, and every function takes 0 (or a handle
// outside the table) as a font that draws nothing and measures 0.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "kez_gfx.h"

constexpr int FONT_GLYPHS = 256;    // byte values, and the visible glyphs one line draws at most
constexpr int FONT_LINES_MAX = 32;  // wrapped lines a text is cut to
constexpr int FONT_NAME_MAX = 64;   // bytes of a font name, with its NUL (the page texture's name field)
constexpr int FONT_PATH_MAX = 512;  // bytes of a description file's path, with its NUL

// Where a glyph sits relative to the pen, in pixels at the face's native size.
struct FontMetrics {
  float x_offset, y_offset;
  float x_advance;
};

// One font at one size; table index = font handle. Slot 0 is an all-zero record.
struct Font {
  int32_t index;               // its own handle
  int32_t texture;             // page texture handle, taken under `generation`
  GfxRect boxes[FONT_GLYPHS];  // each glyph's rect on the page, in page pixels
  FontMetrics metrics[FONT_GLYPHS];
  float line_height, base;                                     // native pixels, from the "common" line
  float size;                                                  // the requested size
  float scale;                                                 // drawing units per native pixel
  GfxRect page;                                                // 0, 0, page width, page height in pixels
  char path[FONT_PATH_MAX];                                    // the description file's data path
  int64_t file_time;                                           // modification time of that file when last parsed
  float margin_top, margin_right, margin_bottom, margin_left;  // native pixels (fraction x line height)
  float line_step;                                             // drawing units from one wrapped line to the next
  char name[FONT_NAME_MAX];  // the name it was requested by; also the page texture's name
  uint32_t generation;       // gfx_generation() when `texture` was taken
};

// One wrapped line: bytes [start, end) of the text and its width in whole drawing units.
struct FontLine {
  int32_t start, end, width;
};

// Output of font_wrap.
struct FontLines {
  int32_t count;
  FontLine lines[FONT_LINES_MAX];
};

// The process-wide font table.
struct FontRegistry {
  std::unordered_map<std::string, int32_t> keys;  // "name:size" -> handle; 0 = not found (remembered)
  std::vector<Font> fonts;                        // slot 0 unused
  int64_t reload_second;                          // the wall-clock second font_reload last ran
};

// The one registry, null before font_init and after font_deinit.
extern FontRegistry *font_registry;

// Creates the registry when there is none.
void font_init();
// Frees the registry; every handle from before is gone (page textures belong to the drawing state).
void font_deinit();
// The font of that name at that size, loading it on first request; 0 when not found or unusable (remembered).
int font_load(const char *name, int size);
// The record of a handle; null for 0, out-of-range handles and without a registry.
Font *font_get(int handle);
// The data file name a font name is found by (the name, then with ".fnt", then ".txt"); empty when none.
std::string font_find(const char *name);
// Reads the font's description file again; false (the font unchanged) when it has no usable "common" line.
bool font_parse(int handle);
// Sets the margins as fractions of the line height and rescales the font so one line stays `size` tall;
// refused (nothing changes) when the margins leave no positive line height.
void font_set_margins(int handle, float top, float right, float bottom, float left);
// Re-parses fonts whose files changed (at most once a second; called every frame).
void font_reload();

// Draws one line of text with its top left at (x, y), no wrapping; at most FONT_GLYPHS visible glyphs.
void font_draw_line(int handle, const char *text, float x, float y);
// Wraps the text at `width` units (0 = only at byte 10) into at most FONT_LINES_MAX lines; their count.
int font_wrap(int handle, const char *text, float width, FontLines &out);
// Height of the wrapped text: the line step for null text or width 0, else line step x lines; 0 for no font.
float font_text_height(int handle, const char *text, float width);
// Width of the widest line (split only at byte 10), margins included, rounded up; 0 for no font.
float font_text_width(int handle, const char *text);
// Draws the text wrapped at `width`, each line aligned in it: -1 left, 0 centre, 1 right.
void font_draw(int handle, const char *text, float x, float y, float width, int align);
// The caret rect before byte `index` of the wrapped text (zero width at the end); all 0 for no font.
GfxRect font_char_rect(int handle, const char *text, int index, float width);
// The index of the byte nearest to (x, y) in the wrapped text, rows first; 0 when there is none.
int font_char_at(int handle, const char *text, float x, float y, float width);
