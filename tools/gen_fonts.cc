// Font generator: renders the game's bitmap fonts from the DejaVu TrueType files.
//
// Each font is a text BMFont description "<name>.fnt" plus one glyph page "<name>.png" (white
// glyphs on transparent). The game scales glyphs by (requested size / lineHeight), so every face is
// rendered large — at about the biggest size it is drawn on a 1080-pixel-high screen — and
// mipmapping makes the smaller sizes. Glyph ids are bytes: ASCII, Windows-1252 for 128-159 and
// Latin-1 above; a byte without a glyph simply has no "char" line.
//
// Usage: gen_fonts OUTPUT_DIR DEJAVU_DIR
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "art_image.h"
#include "art_out.h"
#include "art_ttf.h"

namespace {

struct FontSpec {
  const char *name;       // data name: <name>.fnt and <name>.png
  const char *ttf;        // file in the DejaVu folder
  float line_height;      // pixels per line on the page; glyphs are drawn at size / line_height
  int outline;            // pixels of dark outline baked round each glyph, 0 for none
  uint32_t outline_rgb;   // the outline's colour
};

// "font" is the interface face (drawn at 16-32 UI units: 72 px covers 32 units on a 1080p screen);
// "font-console" the fixed-pitch face of the mod console; "font-outline" the bold face with a baked
// dark rim that keeps ship counts readable over bright planets.
const FontSpec kFonts[] = {
    {"font", "DejaVuSans.ttf", 72.0f, 0, 0x000000},
    {"font-console", "DejaVuSansMono.ttf", 64.0f, 0, 0x000000},
    {"font-outline", "DejaVuSans-Bold.ttf", 64.0f, 5, 0x05070d},
};

constexpr int kPageWidth = 1024;   // page height: the smallest power of two that holds every glyph
constexpr int kGlyphGap = 8;       // transparent pixels between glyphs, so mipmaps do not mix neighbours
constexpr int kPageMargin = kGlyphGap / 2;

// Windows-1252's printable characters in 0x80-0x9f (0 = unassigned there).
const int kCp1252High[32] = {0x20ac, 0,      0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
                             0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017d, 0,
                             0,      0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
                             0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0,      0x017e, 0x0178};

// The Unicode code point drawn for a byte of text, 0 for control bytes.
int byte_codepoint(int byte) {
  if (byte >= 32 && byte <= 126) return byte;
  if (byte >= 0x80 && byte <= 0x9f) return kCp1252High[byte - 0x80];
  if (byte >= 0xa0 && byte <= 0xff) return byte;
  return 0;
}

struct PlacedGlyph {
  int id;                 // byte value
  Image bitmap;           // white glyph (and outline) on transparent
  int xoffset, yoffset;   // from the pen position at the top of the line
  int xadvance;
  int x = 0, y = 0;       // place on the page
};

// Renders one glyph with its outline, if any, and its BMFont offsets.
PlacedGlyph render_glyph(const TtfFace *face, const FontSpec &spec, float scale, int base, int id) {
  int cp = byte_codepoint(id);
  TtfGlyph g = ttf_glyph(face, cp == 0xa0 ? ' ' : cp, scale);  // no-break space draws as a space
  PlacedGlyph out{id, Image(), 0, 0, static_cast<int>(std::lround(g.advance))};
  if (g.w == 0) return out;

  int r = spec.outline;
  out.bitmap = Image(g.w + 2 * r, g.h + 2 * r);
  out.xoffset = g.x0 - r;
  out.yoffset = base + g.y0 - r;
  auto cover = [&g](int x, int y) {
    return (x < 0 || y < 0 || x >= g.w || y >= g.h) ? 0.0f : g.coverage[static_cast<size_t>(y) * g.w + x] / 255.0f;
  };
  Rgba white = rgba_hex(0xffffff), rim = rgba_hex(spec.outline_rgb);
  for (int y = 0; y < out.bitmap.h; y++)
    for (int x = 0; x < out.bitmap.w; x++) {
      if (r > 0) {
        // Outline: the glyph grown by a disc of radius r, anti-aliased at the disc's edge.
        float grown = 0.0f;
        for (int dy = -r - 1; dy <= r + 1; dy++)
          for (int dx = -r - 1; dx <= r + 1; dx++) {
            float c = cover(x - r + dx, y - r + dy);
            if (c == 0.0f) continue;
            float disc = clampf(r + 0.5f - std::sqrt(static_cast<float>(dx * dx + dy * dy)), 0.0f, 1.0f);
            grown = std::max(grown, c * disc);
          }
        img_blend(out.bitmap, x, y, rim, grown);
      }
      img_blend(out.bitmap, x, y, white, cover(x - r, y - r));
    }
  return out;
}

// Shelf packing, tallest glyphs first; returns the page height (a power of two).
int pack_glyphs(std::vector<PlacedGlyph> &glyphs) {
  std::vector<PlacedGlyph *> order;
  for (PlacedGlyph &g : glyphs)
    if (g.bitmap.w > 0) order.push_back(&g);
  std::stable_sort(order.begin(), order.end(),
                   [](const PlacedGlyph *a, const PlacedGlyph *b) { return a->bitmap.h > b->bitmap.h; });
  int x = kPageMargin, y = kPageMargin, row_h = 0;
  for (PlacedGlyph *g : order) {
    if (x + g->bitmap.w + kPageMargin > kPageWidth) {
      x = kPageMargin;
      y += row_h + kGlyphGap;
      row_h = 0;
    }
    g->x = x;
    g->y = y;
    x += g->bitmap.w + kGlyphGap;
    row_h = std::max(row_h, g->bitmap.h);
  }
  int used = y + row_h + kPageMargin, height = 64;
  while (height < used) height *= 2;
  return height;
}

bool make_font(const FontSpec &spec, const std::string &out_dir, const std::string &ttf_dir) {
  TtfFace *face = ttf_open(ttf_dir + "/" + spec.ttf);
  if (!face) return false;
  float scale = ttf_scale_for_line(face, spec.line_height);
  TtfMetrics m = ttf_metrics(face, scale);
  int line_height = static_cast<int>(std::lround(m.ascent - m.descent + m.line_gap));
  int base = static_cast<int>(std::lround(m.ascent));

  std::vector<PlacedGlyph> glyphs;
  for (int id = 1; id <= 255; id++) {
    int cp = byte_codepoint(id);
    if (cp != 0 && (cp == 0xa0 || ttf_has_glyph(face, cp))) glyphs.push_back(render_glyph(face, spec, scale, base, id));
  }
  ttf_close(face);

  int page_height = pack_glyphs(glyphs);
  Image page(kPageWidth, page_height);
  for (const PlacedGlyph &g : glyphs) img_draw(page, g.bitmap, g.x, g.y);
  std::string page_file = std::string(spec.name) + ".png";
  if (!img_write_png(page, out_dir + "/" + page_file, 2)) return false;

  std::string path = out_dir + "/" + spec.name + ".fnt";
  std::FILE *f = std::fopen(path.c_str(), "w");
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  // Values never contain spaces: readers split lines on single spaces.
  std::string face_name = spec.ttf;
  face_name = face_name.substr(0, face_name.find('.'));
  std::fprintf(f,
               "info face=\"%s\" size=%d bold=0 italic=0 charset=\"\" unicode=0 stretchH=100 smooth=1 aa=1 "
               "padding=0,0,0,0 spacing=%d,%d outline=%d\n",
               face_name.c_str(), line_height, kGlyphGap, kGlyphGap, spec.outline);
  std::fprintf(f, "common lineHeight=%d base=%d scaleW=%d scaleH=%d pages=1 packed=0\n", line_height, base,
               kPageWidth, page_height);
  std::fprintf(f, "page id=0 file=\"%s\"\n", page_file.c_str());
  std::fprintf(f, "chars count=%zu\n", glyphs.size());
  for (const PlacedGlyph &g : glyphs)
    std::fprintf(f, "char id=%d x=%d y=%d width=%d height=%d xoffset=%d yoffset=%d xadvance=%d page=0 chnl=15\n",
                 g.id, g.x, g.y, g.bitmap.w, g.bitmap.h, g.xoffset, g.yoffset, g.xadvance);
  bool ok = std::fclose(f) == 0;
  if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char **argv) {
  if (!art_args_ok(argc, argv, "OUTPUT_DIR DEJAVU_DIR")) return 2;
  for (const FontSpec &spec : kFonts)
    if (!make_font(spec, argv[1], argv[2])) return 1;
  return 0;
}
