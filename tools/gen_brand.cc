// Brand generator: the title logo "logo" and the window icon "icon.png".
//
// The logo is the game's name set in the bold face of our own fonts, lit from above, with a blue
// glow and an underline flare, on a transparent 4:1 canvas: the splash screen stretches it across
// the whole screen width, the menus show it 240-320 UI units wide.
//
// Usage: gen_brand OUTPUT_DIR DEJAVU_DIR
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "art_image.h"
#include "art_out.h"
#include "art_ttf.h"

namespace {

// ---- Logo ----------------------------------------------------------------------------------

constexpr const char *kTitle = "VANTOR BREVANE";
constexpr const char *kTitleFace = "DejaVuSans-Bold.ttf";
constexpr int kLogoW = 2048, kLogoH = 512;
constexpr float kTitleWidth = 0.84f;   // share of the logo's width the title spans
constexpr float kTracking = 0.12f;     // extra space between letters, in line heights
constexpr float kTitleRise = 0.46f;    // baseline-centred title sits a little above the middle
const uint32_t kTitleTop = 0xffffff, kTitleBottom = 0x9ccfff, kGlow = 0x3a86ff, kFlare = 0x7cc4ff;

// A single-channel coverage mask (0..1), row-major.
struct Mask {
  int w, h;
  std::vector<float> v;
  float at(int x, int y) const { return (x < 0 || y < 0 || x >= w || y >= h) ? 0.0f : v[static_cast<size_t>(y) * w + x]; }
};

// The title's coverage, scaled to span kTitleWidth of the logo; returns false when the font is missing.
bool title_mask(const std::string &ttf_dir, Mask &mask, float &cap_top, float &baseline) {
  TtfFace *face = ttf_open(ttf_dir + "/" + kTitleFace);
  if (!face) return false;
  // Measure at 1 pixel per em, then scale so the line fits the wanted width.
  const float unit = ttf_scale_for_line(face, 1.0f);  // the scale of a one-pixel line
  auto measure = [&](float scale) {
    float pen = 0.0f, tracking = kTracking * scale / unit;
    for (const char *c = kTitle; *c; c++) {
      pen += ttf_glyph(face, *c, scale).advance + tracking;
      if (c[1]) pen += ttf_kern(face, c[0], c[1], scale);
    }
    return pen - tracking;  // no tracking after the last letter
  };
  float scale = unit * 200.0f;
  scale *= kTitleWidth * kLogoW / measure(scale);

  mask = {kLogoW, kLogoH, std::vector<float>(static_cast<size_t>(kLogoW) * kLogoH, 0.0f)};
  TtfGlyph cap = ttf_glyph(face, 'V', scale);
  baseline = std::round(kLogoH * kTitleRise - (cap.y0 * 0.5f));  // centre the capitals on kTitleRise
  cap_top = baseline + cap.y0;
  float pen = std::round((kLogoW - measure(scale)) * 0.5f);
  for (const char *c = kTitle; *c; c++) {
    TtfGlyph g = ttf_glyph(face, *c, scale);
    int ox = static_cast<int>(std::lround(pen)) + g.x0, oy = static_cast<int>(baseline) + g.y0;
    for (int y = 0; y < g.h; y++)
      for (int x = 0; x < g.w; x++) {
        int mx = ox + x, my = oy + y;
        if (mx >= 0 && my >= 0 && mx < kLogoW && my < kLogoH)
          mask.v[static_cast<size_t>(my) * kLogoW + mx] = g.coverage[static_cast<size_t>(y) * g.w + x] / 255.0f;
      }
    pen += g.advance + kTracking * scale / unit;
    if (c[1]) pen += ttf_kern(face, c[0], c[1], scale);
  }
  ttf_close(face);
  return true;
}

// Separable Gaussian blur of a mask.
Mask blur(const Mask &in, float sigma) {
  int radius = static_cast<int>(std::ceil(sigma * 3));
  std::vector<float> kernel(2 * radius + 1);
  float sum = 0.0f;
  for (int i = -radius; i <= radius; i++) sum += kernel[i + radius] = std::exp(-i * i / (2 * sigma * sigma));
  for (float &k : kernel) k /= sum;
  Mask tmp = in, out = in;
  for (int y = 0; y < in.h; y++)
    for (int x = 0; x < in.w; x++) {
      float s = 0.0f;
      for (int i = -radius; i <= radius; i++) s += kernel[i + radius] * in.at(x + i, y);
      tmp.v[static_cast<size_t>(y) * in.w + x] = s;
    }
  for (int y = 0; y < in.h; y++)
    for (int x = 0; x < in.w; x++) {
      float s = 0.0f;
      for (int i = -radius; i <= radius; i++) s += kernel[i + radius] * tmp.at(x, y + i);
      out.v[static_cast<size_t>(y) * in.w + x] = s;
    }
  return out;
}

bool make_logo(const std::string &ttf_dir) {
  Mask text;
  float cap_top, baseline;
  if (!title_mask(ttf_dir, text, cap_top, baseline)) return false;
  Mask halo = blur(text, 22.0f), edge = blur(text, 3.0f);
  Image im(kLogoW, kLogoH);

  // Wide glow behind the letters, then a tight dark edge that keeps them crisp on bright skies.
  img_paint(im, [&](Vec2 p) { return rgba_hex(kGlow, std::min(1.0f, 1.1f * halo.at(static_cast<int>(p.x), static_cast<int>(p.y)))); });
  img_paint(im, [&](Vec2 p) { return rgba_hex(0x040914, 0.8f * std::min(1.0f, 2.0f * edge.at(static_cast<int>(p.x), static_cast<int>(p.y)))); });

  // Underline: a thin line fading toward both ends with a bright flare in the middle.
  const float line_y = baseline + (baseline - cap_top) * 0.32f, half_len = kLogoW * 0.4f;
  img_paint(im, [&](Vec2 p) {
    float dx = (p.x - kLogoW * 0.5f) / half_len, dy = p.y - line_y;
    float along = std::max(0.0f, 1.0f - dx * dx);
    float line = std::exp(-dy * dy / (2 * 2.2f * 2.2f)) * along * along;
    float flare = std::exp(-(dx * dx) / 0.004f) * std::exp(-dy * dy / (2 * 7.0f * 7.0f)) +
                  0.6f * std::exp(-(dx * dx) / 0.0004f - dy * dy / (2 * 30.0f * 30.0f));
    return Rgba{mixf(rgba_hex(kFlare).r, 1.0f, flare), mixf(rgba_hex(kFlare).g, 1.0f, flare), 1.0f,
                std::min(1.0f, 0.9f * line + flare)};
  });

  // The letters: white at the top of the capitals to pale blue at the baseline.
  img_paint(im, [&](Vec2 p) {
    float t = clampf((p.y - cap_top) / (baseline - cap_top), 0.0f, 1.0f);
    Rgba c = rgba_mix(rgba_hex(kTitleTop), rgba_hex(kTitleBottom), t * t);
    return rgba_fade(c, text.at(static_cast<int>(p.x), static_cast<int>(p.y)));
  });
  art_save(im, "logo");
  return true;
}

// ---- Window icon ---------------------------------------------------------------------------

// A blue planet in a dark disc, circled by an orbit on which a bright orange ship flies.
void make_icon() {
  constexpr int kSize = 128;
  constexpr float c = kSize * 0.5f;
  constexpr float kTilt = -0.35f;  // orbit tilt, radians
  const Vec2 centre = {c, c};
  Image im(kSize, kSize);
  img_fill(im, [&](Vec2 p) { return sdf_circle(p, centre, 62); }, [&](Vec2 p) {
    return rgba_mix(rgba_hex(0x14254a), rgba_hex(0x060b18), vec_len(p - centre) / 62.0f);
  });
  img_fill(im, [&](Vec2 p) { return std::fabs(sdf_circle(p, centre, 60.5f)) - 1.5f; }, rgba_hex(0x4f8fe0));

  // The orbit, in the planet's frame: an ellipse; its far half is drawn before the planet.
  auto orbit = [&](Vec2 p) {
    Vec2 q = vec_rotate(p - centre, -kTilt);
    return std::fabs(sdf_ellipse(q, {0, 0}, {50, 15})) - 2.0f;
  };
  auto far_side = [&](Vec2 p) { return vec_rotate(p - centre, -kTilt).y < 0; };
  img_fill(im, [&](Vec2 p) { return far_side(p) ? orbit(p) : 1e9f; }, rgba_hex(0x9fd6ff, 0.8f));
  img_fill(im, [&](Vec2 p) { return sdf_circle(p, centre, 29); }, [&](Vec2 p) {
    float lit = clampf(vec_len(p - Vec2{c - 12, c - 12}) / 48.0f, 0.0f, 1.0f);  // light from the top left
    return rgba_mix(rgba_hex(0x8fd0ff), rgba_hex(0x0e2a6a), lit);
  });
  img_fill(im, [&](Vec2 p) { return far_side(p) ? 1e9f : orbit(p); }, rgba_hex(0x9fd6ff, 0.95f));

  // The ship, on the near side of the orbit, heading along it.
  Vec2 at = centre + vec_rotate({30, 11.6f}, kTilt);
  Vec2 dir = vec_rotate(Vec2{-0.87f, 0.5f} * 1.0f, kTilt);
  dir = dir * (1.0f / vec_len(dir));
  Vec2 side = {-dir.y, dir.x};
  std::vector<Vec2> dart = {at + dir * 13, at - dir * 8 + side * 8, at - dir * 4, at - dir * 8 - side * 8};
  img_fill(im, [&](Vec2 p) { return sdf_polygon(p, dart) - 2.0f; }, rgba_hex(0x1a0c00, 0.8f));
  img_fill(im, [&](Vec2 p) { return sdf_polygon(p, dart); }, rgba_hex(0xffb040));
  art_save(im, "icon");
}

}  // namespace

int main(int argc, char **argv) {
  if (!art_args_ok(argc, argv, "OUTPUT_DIR DEJAVU_DIR")) return 2;
  art_out_dir(argv[1]);
  if (!make_logo(argv[2])) return 1;
  make_icon();
  return art_out_status();
}
