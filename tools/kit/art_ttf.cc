// TrueType glyphs for the asset generators, on stb_truetype.
#include "art_ttf.h"

#include <cstdio>
#include <fstream>
#include <iterator>

// The Debian stb library ships without the TrueType implementation, so it is compiled here; static
// keeps its symbols private to this file.
#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_truetype.h>
#pragma GCC diagnostic pop

struct TtfFace {
  std::vector<unsigned char> bytes;  // must outlive info, which points into it
  stbtt_fontinfo info;
};

TtfFace *ttf_open(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot open font %s\n", path.c_str());
    return nullptr;
  }
  TtfFace *face = new TtfFace;
  face->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!stbtt_InitFont(&face->info, face->bytes.data(), stbtt_GetFontOffsetForIndex(face->bytes.data(), 0))) {
    std::fprintf(stderr, "cannot read font %s\n", path.c_str());
    delete face;
    return nullptr;
  }
  return face;
}

void ttf_close(TtfFace *face) { delete face; }

float ttf_scale_for_line(const TtfFace *face, float line_height) {
  int ascent, descent, gap;
  stbtt_GetFontVMetrics(&face->info, &ascent, &descent, &gap);
  return line_height / static_cast<float>(ascent - descent + gap);
}

TtfMetrics ttf_metrics(const TtfFace *face, float scale) {
  int ascent, descent, gap;
  stbtt_GetFontVMetrics(&face->info, &ascent, &descent, &gap);
  return {ascent * scale, descent * scale, gap * scale};
}

bool ttf_has_glyph(const TtfFace *face, int codepoint) { return stbtt_FindGlyphIndex(&face->info, codepoint) != 0; }

TtfGlyph ttf_glyph(const TtfFace *face, int codepoint, float scale) {
  TtfGlyph g;
  int advance, bearing;
  stbtt_GetCodepointHMetrics(&face->info, codepoint, &advance, &bearing);
  g.advance = advance * scale;
  int x1, y1;
  stbtt_GetCodepointBitmapBox(&face->info, codepoint, scale, scale, &g.x0, &g.y0, &x1, &y1);
  g.w = x1 - g.x0;
  g.h = y1 - g.y0;
  if (g.w <= 0 || g.h <= 0) {
    g.w = g.h = 0;
    return g;
  }
  g.coverage.assign(static_cast<size_t>(g.w) * g.h, 0);
  stbtt_MakeCodepointBitmap(&face->info, g.coverage.data(), g.w, g.h, g.w, scale, scale, codepoint);
  return g;
}

float ttf_kern(const TtfFace *face, int left, int right, float scale) {
  return stbtt_GetCodepointKernAdvance(&face->info, left, right) * scale;
}
