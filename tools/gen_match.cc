// Match art generator: the sprites, planet surfaces, backgrounds and plain fills of the match view.
//
// Sprites that the game tints at draw time (ship, spark, star, line, planet surfaces, aura) are white
// or grey, so one image serves every team colour. Backgrounds are dark so that the bright team
// colours stand out against them.
//
// Usage: gen_match OUTPUT_DIR
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "art_image.h"
#include "art_out.h"
#include "art_noise.h"

namespace {

// Position of a pixel centre relative to the image centre, in units of the half size (-1..1).
Vec2 centred(const Image &im, Vec2 p) { return {(p.x - im.w * 0.5f) / (im.w * 0.5f), (p.y - im.h * 0.5f) / (im.h * 0.5f)}; }

const Rgba kWhite = rgba_hex(0xffffff);

// ---- Plain fills ---------------------------------------------------------------------------

// "white" and "black" are stretched over areas and used as flat textures; "blank" is the empty
// image (a tab's missing highlight); "fade" is the chat log's alpha ramp, clear at the top.
void make_plain() {
  constexpr int kSolidSize = 16;
  Image white(kSolidSize, kSolidSize), black(kSolidSize, kSolidSize);
  img_paint(white, [](Vec2) { return kWhite; });
  img_paint(black, [](Vec2) { return rgba_hex(0x000000); });
  art_save(white, "white", 3);
  art_save(black, "black", 3);
  art_save(Image(1, 1), "blank", 4);

  Image fade(64, 64);
  img_paint(fade, [&fade](Vec2 p) { return rgba_fade(kWhite, smoothstepf(0.0f, 1.0f, p.y / fade.h)); });
  art_save(fade, "fade", 2);
}

// ---- Sprites -------------------------------------------------------------------------------

// A fleet ship: a dart with its nose up, lit from the ridge, with a faint halo that keeps tiny ships
// visible on the dark field. Nose up because the game turns a ship's picture by its heading + pi/2.
void make_ship() {
  constexpr int kSize = 64;
  constexpr float kHalo = 0.22f;  // halo opacity
  Image im(kSize, kSize);
  float s = kSize * 0.5f;
  auto at = [s](float x, float y) { return Vec2{s + x * s, s + y * s}; };
  std::vector<Vec2> dart = {at(0.0f, -0.86f), at(0.62f, 0.70f), at(0.0f, 0.36f), at(-0.62f, 0.70f)};
  auto body = [&dart](Vec2 p) { return sdf_polygon(p, dart); };
  img_paint(im, [&](Vec2 p) {
    float d = body(p);  // pixels outside the dart
    return rgba_fade(kWhite, d > 0.0f ? kHalo * std::exp(-d / (kSize * 0.06f)) : 0.0f);
  });
  img_fill(im, body, [&](Vec2 p) {
    float ridge = 1.0f - std::fabs(p.x - s) / (0.62f * s);  // 1 on the centre line
    float v = 0.72f + 0.28f * ridge;
    return Rgba{v, v, v, 1.0f};
  });
  art_save(im, "ship", 2);
}

// A soft round particle: "spark" for hit and capture bursts, "star" for the drifting star field
// (a sharper core with a wide faint halo).
void make_glow_dots() {
  constexpr int kSize = 32;
  Image spark(kSize, kSize), star(kSize, kSize);
  img_paint(spark, [&spark](Vec2 p) {
    float r = vec_len(centred(spark, p));
    float a = std::exp(-r * r / (2 * 0.28f * 0.28f)) * smoothstepf(1.0f, 0.75f, r);
    return rgba_fade(kWhite, a);
  });
  img_paint(star, [&star](Vec2 p) {
    float r = vec_len(centred(star, p));
    float a = (0.95f * std::exp(-r * r / (2 * 0.13f * 0.13f)) + 0.22f * std::exp(-r * r / (2 * 0.4f * 0.4f))) *
              smoothstepf(1.0f, 0.8f, r);
    return rgba_fade(kWhite, std::min(a, 1.0f));
  });
  art_save(spark, "spark", 2);
  art_save(star, "star", 2);
}

// The texture of rings, order arrows and selection lines. Its profile runs across x only (clear at
// both edges, bright in the middle) and is constant along y, so a strip with u = 0 on one side and
// u = 1 on the other draws a soft glowing line whatever its v.
void make_line() {
  Image im(64, 64);
  img_paint(im, [&im](Vec2 p) {
    float u = p.x / im.w - 0.5f;
    float a = 0.85f * std::exp(-u * u / (2 * 0.07f * 0.07f)) + 0.3f * std::exp(-u * u / (2 * 0.2f * 0.2f));
    return rgba_fade(kWhite, std::min(1.0f, a) * smoothstepf(0.5f, 0.38f, std::fabs(u)));
  });
  art_save(im, "line", 2);
}

// The "you are here" marker drawn round the player's planets at the start of a match: a dashed ring
// just outside the planet (the sprite is four planet radii wide) with four pointers aiming inward.
// It turns while it fades, so the dashes show the motion.
void make_you() {
  constexpr int kSize = 256;
  constexpr int kDashes = 4;
  constexpr float kRing = 0.64f, kRingHalfWidth = 0.035f;  // in half-sizes; the planet edge is at 0.5
  Image im(kSize, kSize);
  float s = kSize * 0.5f;
  const float segment = 2 * kPi / kDashes, gap = 0.14f * segment;  // gaps centred on the diagonals
  auto ring = [&](Vec2 p) {
    Vec2 q = p - Vec2{s, s};
    float r = vec_len(q);
    float local = std::fmod(std::atan2(q.y, q.x) - segment * 0.5f + 4 * kPi, segment);
    float into_gap = (gap - std::min(local, segment - local)) * r;  // > 0 inside a gap, in pixels
    return std::max(std::fabs(r - kRing * s) - kRingHalfWidth * s, into_gap);
  };
  img_fill(im, ring, kWhite);
  for (int i = 0; i < kDashes; i++) {
    float a = segment * (i + 0.5f);  // pointers sit in the ring's gaps
    Vec2 dir = {std::cos(a), std::sin(a)};
    Vec2 side = {-dir.y, dir.x};
    Vec2 tip = Vec2{s, s} + dir * (0.74f * s), back = Vec2{s, s} + dir * (0.94f * s);
    std::vector<Vec2> tri = {tip, back + side * (0.09f * s), back - side * (0.09f * s)};
    img_fill(im, [&tri](Vec2 p) { return sdf_polygon(p, tri); }, kWhite);
  }
  // A faint inner glow between planet and ring.
  img_paint(im, [&](Vec2 p) {
    float r = vec_len(p - Vec2{s, s}) / s;
    return rgba_fade(kWhite, 0.18f * smoothstepf(0.5f, 0.6f, r) * smoothstepf(0.78f, 0.62f, r));
  });
  art_save(im, "you", 2);
}

// The percent slider beside the match: a thin vertical track stretched over the screen height, and
// its round knob.
void make_slider_parts() {
  Image line(32, 512);
  img_paint(line, [&line](Vec2 p) {
    float u = (p.x - line.w * 0.5f) / (line.w * 0.5f);
    float ends = smoothstepf(0.0f, 0.04f, p.y / line.h) * smoothstepf(1.0f, 0.96f, p.y / line.h);
    float a = 0.75f * std::exp(-u * u / (2 * 0.09f * 0.09f)) + 0.2f * std::exp(-u * u / (2 * 0.35f * 0.35f));
    return rgba_fade(kWhite, std::min(a, 1.0f) * ends);
  });
  art_save(line, "slider-line", 2);

  constexpr int kKnob = 64;
  Image dot(kKnob, kKnob);
  float c = kKnob * 0.5f;
  img_paint(dot, [&](Vec2 p) {
    float r = vec_len(p - Vec2{c, c}) / c;
    return rgba_fade(kWhite, 0.35f * std::exp(-(r - 0.55f) * (r - 0.55f) / 0.04f) * smoothstepf(1.0f, 0.85f, r));
  });
  img_fill(dot, [&](Vec2 p) { return sdf_circle(p, {c, c}, 0.56f * c); }, rgba_hex(0x0b1830));
  img_fill(dot, [&](Vec2 p) { return sdf_circle(p, {c, c}, 0.47f * c); }, [&](Vec2 p) {
    float t = (p.y - (c - 0.47f * c)) / (0.94f * c);  // 0 at the top of the disc, 1 at the bottom
    return rgba_mix(rgba_hex(0xffffff), rgba_hex(0xb8d8ff), t);
  });
  art_save(dot, "slider-dot", 4);
}

// ---- Planets -------------------------------------------------------------------------------

// Planet surfaces are wrapped round a sphere: x is longitude (the left and right edges meet), y runs
// from pole to pole. Sampling 3D noise on the sphere itself gives a seamless wrap and no pinching at
// the poles. They are grey: the team colour tints them when they are drawn.
constexpr int kPlanetW = 512, kPlanetH = 256;

// A point on the unit sphere; y is also the latitude, 1 at the pole on the top row of the image.
struct SpherePoint {
  float x, y, z;
};

SpherePoint sphere_at(Vec2 p) {
  float phi = 2 * kPi * p.x / kPlanetW, theta = kPi * p.y / kPlanetH;
  float st = std::sin(theta);
  return {st * std::cos(phi), std::cos(theta), st * std::sin(phi)};
}

Image planet_surface(const std::function<float(const SpherePoint &)> &grey) {
  Image im(kPlanetW, kPlanetH);
  img_paint(im, [&grey](Vec2 p) {
    float v = clampf(grey(sphere_at(p)), 0.0f, 1.0f);
    return Rgba{v, v, v, 1.0f};
  });
  return im;
}

// Great-circle craters scattered over the sphere: each darkens its floor and lifts its rim.
struct Crater {
  float x, y, z, radius;
};
std::vector<Crater> scatter_craters(uint32_t seed, int count, float min_r, float max_r) {
  Rng rng(seed);
  std::vector<Crater> out;
  for (int i = 0; i < count; i++) {
    float z = rng.range(-1.0f, 1.0f), a = rng.range(0.0f, 2 * kPi), r = std::sqrt(1 - z * z);
    float size = min_r * std::pow(max_r / min_r, rng.uniform() * rng.uniform());  // many small, few large
    out.push_back({r * std::cos(a), z, r * std::sin(a), size});
  }
  return out;
}
float crater_shade(const std::vector<Crater> &craters, const SpherePoint &p) {
  float shade = 0.0f;
  for (const Crater &c : craters) {
    float d = std::acos(clampf(p.x * c.x + p.y * c.y + p.z * c.z, -1.0f, 1.0f)) / c.radius;  // 1 at the rim
    if (d > 1.4f) continue;
    shade += d < 1.0f ? -0.1f * (1.0f - d * d * d) : 0.0f;
    shade += 0.08f * std::exp(-(d - 1.0f) * (d - 1.0f) / 0.03f);
  }
  return shade;
}

void make_planets() {
  // planet-tex0, the default and "lava" base: continents and seas with bright polar caps.
  Noise3 land(101), detail(102);
  art_save(planet_surface([&](const SpherePoint &p) {
         float n = land.fbm(p.x * 1.8f + 3.1f, p.y * 1.8f, p.z * 1.8f, 6);
         float d = detail.fbm(p.x * 6.0f, p.y * 6.0f, p.z * 6.0f, 4);
         float shore = smoothstepf(-0.02f, 0.05f, n);
         float v = mixf(0.58f + 0.05f * d, 0.86f + 0.12f * d + 0.1f * n, shore);
         float cap = smoothstepf(0.90f, 0.95f, std::fabs(p.y) + 0.06f * d);
         return mixf(v, 0.98f, cap);
       }),
       "planet-tex0", 1);

  // planet-tex1, neutral planets: a cratered grey rock.
  Noise3 rock(111);
  std::vector<Crater> craters = scatter_craters(112, 45, 0.04f, 0.3f);
  art_save(planet_surface([&](const SpherePoint &p) {
         float n = rock.fbm(p.x * 3.0f, p.y * 3.0f, p.z * 3.0f, 6);
         float mare = smoothstepf(0.0f, 0.25f, rock.fbm(p.x * 1.2f + 7.0f, p.y * 1.2f, p.z * 1.2f, 3));
         return 0.74f + 0.16f * n - 0.12f * mare + crater_shade(craters, p);
       }),
       "planet-tex1", 1);

  // planet-tex2, gas giants: latitude bands bent by turbulence, with one oval storm.
  Noise3 swirl(121);
  const SpherePoint storm = {0.62f, -0.34f, 0.71f};
  art_save(planet_surface([&](const SpherePoint &p) {
         float t = swirl.fbm(p.x * 2.2f, p.y * 2.2f, p.z * 2.2f, 5);
         float band = std::sin(p.y * 17.0f + 2.2f * t) * 0.5f + std::sin(p.y * 7.0f + 1.3f * t) * 0.5f;
         float v = 0.7f + 0.2f * band + 0.05f * swirl.fbm(p.x * 9.0f, p.y * 30.0f, p.z * 9.0f, 3);
         Vec2 off = {(p.x - storm.x) * 5.0f + (p.z - storm.z) * 3.0f, (p.y - storm.y) * 11.0f};
         float eye = std::exp(-vec_dot(off, off));
         return mixf(v, 0.96f - 0.25f * eye, eye);
       }),
       "planet-tex2", 1);

  // planet-tex3, ice worlds: bright frost crossed by darker cracks.
  Noise3 frost(131), crack(132);
  art_save(planet_surface([&](const SpherePoint &p) {
         float f = frost.fbm(p.x * 4.0f, p.y * 4.0f, p.z * 4.0f, 5);
         float c = crack.ridged(p.x * 2.5f, p.y * 2.5f, p.z * 2.5f, 4);
         return 0.9f + 0.08f * f - 0.32f * std::pow(c, 9.0f);
       }),
       "planet-tex3", 1);

  // planet-tex4, the glowing second skin of lava planets, drawn additively: black (no light) but
  // for bright molten veins.
  Noise3 vein(141), heat(142);
  art_save(planet_surface([&](const SpherePoint &p) {
         float v = vein.ridged(p.x * 2.0f, p.y * 2.0f, p.z * 2.0f, 5);
         float h = 0.5f + 0.5f * heat.fbm(p.x * 3.0f, p.y * 3.0f, p.z * 3.0f, 3);
         return std::pow(v, 7.0f) * (0.45f + 0.9f * h);
       }),
       "planet-tex4", 1);

  // The aura drawn over every planet: the sprite is four planet radii wide (the planet's edge at
  // half the sprite's half size), a soft rim of light just inside the edge and a glow fading outward.
  constexpr int kAura = 256;
  constexpr float kEdge = 0.51f, kPeak = 0.5f;
  Image aura(kAura, kAura);
  img_paint(aura, [&aura](Vec2 p) {
    float r = vec_len(centred(aura, p));
    float inside = smoothstepf(kEdge - 0.1f, kEdge, r);
    float outside = std::exp(-std::pow(std::max(r - kEdge, 0.0f) / 0.14f, 1.4f));
    return rgba_fade(kWhite, kPeak * inside * outside * smoothstepf(1.0f, 0.85f, r));
  });
  art_save(aura, "planet-aura", 2);
}

// ---- Backgrounds ---------------------------------------------------------------------------

struct NebulaSpec {
  const char *name;
  uint32_t seed;
  uint32_t deep;       // empty space
  uint32_t cloud_a;    // the two nebula colours, mixed by a slow noise
  uint32_t cloud_b;
  float brightness;    // peak nebula brightness (kept low: planets must stand out)
  float scale;         // noise frequency across the image
};

// Picked by the match from its reset time; background05 is also the menus' and mod screens' own.
const NebulaSpec kNebulae[] = {
    {"background01", 201, 0x020308, 0x2440a0, 0x6a2c8c, 0.42f, 2.2f},
    {"background02", 202, 0x010506, 0x126a72, 0x2c8a5a, 0.38f, 2.6f},
    {"background03", 213, 0x050206, 0x8a1a3e, 0x3a2a8c, 0.48f, 2.3f},
    {"background04", 224, 0x040304, 0x8a5a1c, 0x2a3a7a, 0.46f, 2.2f},
    {"background05", 205, 0x020309, 0x2a3c9a, 0x1a7a9a, 0.40f, 1.8f},
};
constexpr int kBackgroundSize = 1024;
constexpr int kBakedStars = 700;  // faint distant stars; the moving star field is drawn over them

void make_background(const NebulaSpec &spec) {
  Noise3 warp(spec.seed * 7 + 1), cloud(spec.seed * 7 + 2), tint(spec.seed * 7 + 3), dust(spec.seed * 7 + 4);
  Rgba deep = rgba_hex(spec.deep), a = rgba_hex(spec.cloud_a), b = rgba_hex(spec.cloud_b);
  Image im(kBackgroundSize, kBackgroundSize);
  img_paint(im, [&](Vec2 p) {
    float x = p.x / kBackgroundSize * spec.scale, y = p.y / kBackgroundSize * spec.scale;
    // Domain warping: sampling the clouds at a noise-displaced point gives wispy, folded shapes.
    float wx = warp.fbm(x, y, 0.5f, 4), wy = warp.fbm(x + 5.2f, y + 1.3f, 0.5f, 4);
    float n = cloud.fbm(x + 1.4f * wx, y + 1.4f * wy, 1.5f, 6);
    float density = std::pow(smoothstepf(-0.3f, 0.55f, n), 1.8f);
    float wash = smoothstepf(-0.4f, 0.5f, cloud.fbm(x * 0.35f, y * 0.35f, 7.5f, 3));  // broad faint glow
    float lanes = std::pow(dust.ridged(x * 1.7f + wx, y * 1.7f + wy, 2.5f, 5), 4.0f);
    density = (0.8f * density + 0.25f * wash) * (1.0f - 0.7f * lanes);
    Rgba c = rgba_mix(a, b, smoothstepf(-0.3f, 0.3f, tint.fbm(x * 0.7f, y * 0.7f, 3.5f, 3)));
    c = rgba_mix(c, rgba_hex(0xe0e8ff), 0.35f * density * density);  // the densest wisps glow paler
    float k = spec.brightness * (density + 0.9f * density * density * density);
    return Rgba{deep.r + c.r * k, deep.g + c.g * k, deep.b + c.b * k, 1.0f};
  });
  Rng rng(spec.seed);
  for (int i = 0; i < kBakedStars; i++) {
    Vec2 at = {rng.range(0, kBackgroundSize), rng.range(0, kBackgroundSize)};
    float bright = 0.15f + 0.6f * std::pow(rng.uniform(), 3.0f);
    float radius = 0.5f + 0.7f * rng.uniform();
    Rgba hue = rgba_mix(rgba_hex(0xbfd4ff), rgba_hex(0xfff0d8), rng.uniform());
    for (int y = static_cast<int>(at.y) - 2; y <= static_cast<int>(at.y) + 2; y++)
      for (int x = static_cast<int>(at.x) - 2; x <= static_cast<int>(at.x) + 2; x++) {
        Vec2 d = Vec2{x + 0.5f, y + 0.5f} - at;
        img_blend(im, x, y, hue, bright * std::exp(-vec_dot(d, d) / (radius * radius)));
      }
  }
  art_save(im, spec.name, 3, 0.6f);
}

// Darkens the edges of the menu screens; clear in the middle. It is stretched to any aspect.
void make_vignette() {
  Image im(256, 256);
  img_paint(im, [&im](Vec2 p) {
    float d = vec_len(centred(im, p));  // 1 at the middle of each edge, 1.41 in the corners
    return rgba_fade(rgba_hex(0x000000), 0.88f * std::pow(smoothstepf(0.5f, 1.45f, d), 1.3f));
  });
  art_save(im, "vignette", 2);
}

}  // namespace

int main(int argc, char **argv) {
  if (!art_args_ok(argc, argv, "OUTPUT_DIR")) return 2;
  art_out_dir(argv[1]);
  make_plain();
  make_ship();
  make_glow_dots();
  make_line();
  make_you();
  make_slider_parts();
  make_planets();
  for (const NebulaSpec &spec : kNebulae) make_background(spec);
  make_vignette();
  return art_out_status();
}
