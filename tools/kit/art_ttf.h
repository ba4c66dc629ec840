// TrueType glyphs for the asset generators: opens a font file and rasterises glyphs to coverage
// bitmaps at a chosen scale (pixels per font unit).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TtfFace;  // the font file's bytes and the rasteriser's view of them

// Vertical metrics in pixels at one scale; descent is negative (below the baseline).
struct TtfMetrics {
  float ascent, descent, line_gap;
};

// One rasterised glyph: a w x h coverage bitmap (0..255, rows from the top) whose top left corner
// lies (x0, y0) pixels from the pen position on the baseline, and the pen advance in pixels.
struct TtfGlyph {
  int w = 0, h = 0, x0 = 0, y0 = 0;
  float advance = 0.0f;
  std::vector<uint8_t> coverage;
};

// Opens a .ttf file; null (after a message on stderr) when it cannot be read or parsed.
TtfFace *ttf_open(const std::string &path);
void ttf_close(TtfFace *face);
// The scale at which ascent - descent + line gap measures line_height pixels.
float ttf_scale_for_line(const TtfFace *face, float line_height);
TtfMetrics ttf_metrics(const TtfFace *face, float scale);
// Whether the font has its own glyph for the Unicode code point.
bool ttf_has_glyph(const TtfFace *face, int codepoint);
// Rasterises a code point; an empty bitmap for blank glyphs such as the space.
TtfGlyph ttf_glyph(const TtfFace *face, int codepoint, float scale);
// Kerning adjustment in pixels between two code points (usually 0 or negative).
float ttf_kern(const TtfFace *face, int left, int right, float scale);
