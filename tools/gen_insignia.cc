// Insignia generator: the rank badge layers "flag0"-"flag15", "stars0"-"stars15",
// "wings0"-"wings15", and "rank10", the finished badge of the highest rank.
//
// A rank is three hex digits; the game stacks the three layers it names (flag at the back, then the
// stars, then the wings) in one 3:2 frame. Designs are laid out in frame units, 3 wide by 2 high,
// so any layer can be drawn at any size:
// - flag N: a shield; its metal rises with N / 4 (iron, bronze, silver, gold) and N % 4 chevrons
//   cross its enamel field.
// - stars N: 1 + (N - 1) % 5 stars arched over the shield, in silver, gold, then glowing platinum
//   as N passes 5 and 10; stars0 is empty.
// - wings N: a wing on each side with 1 + (N - 1) % 5 feathers, in the same three metals; wings0
//   is empty.
//
// Usage: gen_insignia OUTPUT_DIR
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "art_image.h"
#include "art_out.h"

namespace {

constexpr int kLayerWidth = 192, kLayerHeight = 128;  // drawn at 33 x 22 to 44 x 29 UI units
constexpr int kRankWidth = 384, kRankHeight = 256;    // "rank10" is shown larger, 120 units wide

// A metal: its lit and its shaded colour, and the dark line round shapes made of it.
struct Metal {
  uint32_t light, shade, edge;
};
const Metal kIron = {0xa4aebe, 0x5a6474, 0x1a1f28};
const Metal kBronze = {0xf0a868, 0x8a4e20, 0x2a1608};
const Metal kSilver = {0xf4f8ff, 0x8e9aac, 0x1c222c};
const Metal kGold = {0xffe27a, 0xc08a1e, 0x3a2606};
const Metal kPlatinum = {0xffffff, 0x9ee8ff, 0x0c2a3a};  // the top tier of stars and wings glows
const Metal kShieldMetals[4] = {kIron, kBronze, kSilver, kGold};
const uint32_t kShieldEnamels[4] = {0x262e3e, 0x641c26, 0x173880, 0x42186a};
const Metal kOrnamentMetals[3] = {kSilver, kGold, kPlatinum};

// Frame units to pixels for one image.
struct Frame {
  float k;  // pixels per frame unit
  Vec2 at(float x, float y) const { return {x * k, y * k}; }
};

Rgba metal_at(const Metal &m, float t) { return rgba_mix(rgba_hex(m.light), rgba_hex(m.shade), clampf(t, 0, 1)); }

// The shield outline: flat top, straight sides, curving to a point at the bottom.
std::vector<Vec2> shield_outline(const Frame &f, float inset) {
  const float left = 1.0f + inset, right = 2.0f - inset, top = 0.16f + inset, shoulder = 1.0f;
  const float tip = 1.88f - inset * 1.6f;
  std::vector<Vec2> pts = {f.at(left, top), f.at(right, top), f.at(right, shoulder)};
  constexpr int kCurveSteps = 14;
  for (int side = 0; side < 2; side++)  // right curve down to the tip, then the left one back up
    for (int i = 1; i <= kCurveSteps; i++) {
      float t = side == 0 ? static_cast<float>(i) / kCurveSteps : 1.0f - static_cast<float>(i - 1) / kCurveSteps;
      if (side == 1 && i == 1) continue;  // the tip is already in
      float x0 = side == 0 ? right : left;
      // Quadratic curve from (x0, shoulder) through control (x0, 1.55) to (1.5, tip).
      float u = 1.0f - t;
      pts.push_back(f.at(u * u * x0 + 2 * u * t * x0 + t * t * 1.5f, u * u * shoulder + 2 * u * t * 1.55f + t * t * tip));
    }
  pts.push_back(f.at(left, shoulder));
  return pts;
}

void draw_flag(Image &im, const Frame &f, int n) {
  const Metal &metal = kShieldMetals[n / 4];
  const int chevrons = n % 4;
  std::vector<Vec2> outer = shield_outline(f, 0.0f), inner = shield_outline(f, 0.075f);
  auto outer_sdf = [&](Vec2 p) { return sdf_polygon(p, outer); };
  auto inner_sdf = [&](Vec2 p) { return sdf_polygon(p, inner); };
  float top = 0.16f * f.k, height = 1.72f * f.k;

  // Soft shadow, metal rim, enamel field.
  img_fill(im, [&](Vec2 p) { return outer_sdf(p) - 0.05f * f.k; }, rgba_hex(0x000000, 0.35f));
  img_fill(im, outer_sdf, [&](Vec2 p) { return metal_at(metal, (p.y - top) / height); });
  img_fill(im, [&](Vec2 p) { return std::fabs(outer_sdf(p)) - 0.012f * f.k; }, rgba_hex(metal.edge, 0.9f));
  img_fill(im, inner_sdf, [&](Vec2 p) {
    return rgba_mix(rgba_hex(kShieldEnamels[n / 4]), rgba_hex(0x000000), 0.45f * (p.y - top) / height);
  });
  // Chevrons, stacked upward from the lower field, clipped to it.
  for (int i = 0; i < chevrons; i++) {
    float apex = 1.08f - 0.22f * i;
    auto chevron = [&](Vec2 p) {
      float d = std::min(sdf_capsule(p, f.at(1.5f, apex), f.at(1.05f, apex + 0.34f), 0.06f * f.k),
                         sdf_capsule(p, f.at(1.5f, apex), f.at(1.95f, apex + 0.34f), 0.06f * f.k));
      return std::max(d, inner_sdf(p));
    };
    img_fill(im, [&](Vec2 p) { return chevron(p) - 0.015f * f.k; }, rgba_hex(metal.edge, 0.8f));
    img_fill(im, chevron, [&](Vec2 p) { return metal_at(metal, (p.y - top) / height - 0.2f); });
  }
  // A glint across the top of the shield.
  img_fill(im, outer_sdf, [&](Vec2 p) {
    return rgba_hex(0xffffff, 0.22f * smoothstepf(0.45f * f.k, 0.16f * f.k, p.y));
  });
}

void draw_stars(Image &im, const Frame &f, int n) {
  if (n == 0) return;
  const int count = 1 + (n - 1) % 5;
  const Metal &metal = kOrnamentMetals[(n - 1) / 5];
  const float radius = (0.175f - 0.015f * count) * f.k, spacing = 0.19f;
  for (int i = 0; i < count; i++) {
    float off = i - (count - 1) * 0.5f;
    Vec2 c = f.at(1.5f + off * spacing, 0.52f + 0.03f * off * off);  // a gentle arch
    auto star = [&](Vec2 p) { return sdf_star(p, c, radius, radius * 0.45f, 5); };
    if (&metal == &kPlatinum)
      img_paint(im, [&](Vec2 p) {
        float d = vec_len(p - c) / radius;
        return rgba_hex(0x8fe8ff, 0.55f * std::exp(-d * d / 2.0f));
      });
    img_fill(im, [&](Vec2 p) { return star(p) - 0.022f * f.k; }, rgba_hex(metal.edge, 0.85f));
    img_fill(im, star, [&](Vec2 p) { return metal_at(metal, (p.y - c.y + radius) / (2 * radius)); });
  }
}

void draw_wings(Image &im, const Frame &f, int n) {
  if (n == 0) return;
  const int feathers = 1 + (n - 1) % 5;
  const Metal &metal = kOrnamentMetals[(n - 1) / 5];
  for (int side = 0; side < 2; side++) {
    float dir_x = side == 0 ? 1.0f : -1.0f;  // right wing, then its mirror image
    // Lowest feather first, so the upper ones overlap it.
    for (int i = feathers - 1; i >= 0; i--) {
      float t = feathers == 1 ? 0.0f : static_cast<float>(i) / (feathers - 1);
      float angle = -0.42f + 0.95f * t;  // radians below horizontal: the fan spreads downward
      float length = 0.86f - 0.3f * t;
      Vec2 root = f.at(1.5f + dir_x * 0.47f, 0.62f + 0.2f * t);
      Vec2 dir = {dir_x * std::cos(angle), std::sin(angle)};
      Vec2 centre = root + dir * (length * 0.5f * f.k);
      auto feather = [&](Vec2 p) {
        // An ellipse in the feather's own axes, narrowing toward its outer end.
        Vec2 q = p - centre;
        Vec2 local = {vec_dot(q, dir), vec_dot(q, {-dir.y, dir.x})};
        float taper = 1.0f - 0.45f * clampf(local.x / (length * 0.5f * f.k), -1.0f, 1.0f);
        return sdf_ellipse({local.x, local.y / taper}, {0, 0}, {length * 0.5f * f.k, 0.085f * f.k});
      };
      if (&metal == &kPlatinum)
        img_fill(im, [&](Vec2 p) { return feather(p) - 0.06f * f.k; }, rgba_hex(0x8fe8ff, 0.25f));
      img_fill(im, [&](Vec2 p) { return feather(p) - 0.02f * f.k; }, rgba_hex(metal.edge, 0.85f));
      img_fill(im, feather, [&](Vec2 p) { return metal_at(metal, 0.15f + 0.6f * (p.y - root.y) / (0.6f * f.k)); });
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (!art_args_ok(argc, argv, "OUTPUT_DIR")) return 2;
  art_out_dir(argv[1]);
  const Frame small = {kLayerWidth / 3.0f};
  for (int n = 0; n < 16; n++) {
    Image flag(kLayerWidth, kLayerHeight), stars(kLayerWidth, kLayerHeight), wings(kLayerWidth, kLayerHeight);
    draw_flag(flag, small, n);
    draw_stars(stars, small, n);
    draw_wings(wings, small, n);
    art_save(flag, "flag" + std::to_string(n));
    art_save(stars, "stars" + std::to_string(n));
    art_save(wings, "wings" + std::to_string(n));
  }
  // The grand admiral's badge: rank "aaa", all three layers at once.
  constexpr int kTopRank = 10;
  const Frame large = {kRankWidth / 3.0f};
  Image rank(kRankWidth, kRankHeight);
  draw_flag(rank, large, kTopRank);
  draw_stars(rank, large, kTopRank);
  draw_wings(rank, large, kTopRank);
  art_save(rank, "rank10");
  return art_out_status();
}
