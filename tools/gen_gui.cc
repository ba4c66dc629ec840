// Interface generator: the nine-slice skins of buttons, toggles, tabs, inputs, sliders and panels,
// and the small icons drawn over the match and the menus.
//
// Nine-slice images are cut into exact thirds: the corner thirds are drawn at a fixed size (10 UI
// units for every skin), the middle third is stretched. Skins are therefore square, a multiple of 3
// pixels wide, with rounded corners that fit inside the corner third and edges that look the same
// all along. Each skin "X" has a focused twin "Xo" that the game fades in over it: brighter, with a
// lit rim, drawn on exactly the same outline so the two line up.
//
// Usage: gen_gui OUTPUT_DIR
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "art_image.h"
#include "art_out.h"

namespace {

// ---- Nine-slice skins ----------------------------------------------------------------------

constexpr int kSkinSize = 96;   // thirds of 32 pixels, drawn at 10 units: crisp up to 3x UI scale
constexpr float kSkinMargin = 2.0f;  // clear pixels round the outline, for its anti-aliased edge

struct SkinStyle {
  uint32_t fill_top, fill_bottom;  // body gradient
  float fill_alpha;                // panels are see-through, buttons nearly opaque
  uint32_t border;                 // rim colour
  float border_width;              // pixels
  float radius;                    // corner radius in pixels, at most a third minus the margin
  float sheen = 0.0f;              // glassy highlight across the top third, 0..1
  float glow = 0.0f;               // light along the inside of the rim, 0..1 (focused twins)
  uint32_t glow_rgb = 0xffffff;
  float recess = 0.0f;             // inner shadow under the top edge, 0..1 (fields and tracks)
  float bar = 0.0f;                // height in pixels of a bright bar along the bottom (tabs)
  uint32_t bar_rgb = 0xffffff;
};

Image draw_skin(const SkinStyle &s) {
  constexpr float kSize = kSkinSize;
  Image im(kSkinSize, kSkinSize);
  const Vec2 centre = {kSize * 0.5f, kSize * 0.5f};
  const Vec2 half = {kSize * 0.5f - kSkinMargin, kSize * 0.5f - kSkinMargin};
  auto body = [&](Vec2 p) { return sdf_round_rect(p, centre, half, s.radius); };
  const float top = kSkinMargin, bottom = kSize - kSkinMargin;

  img_fill(im, body, [&](Vec2 p) {
    Rgba c = rgba_mix(rgba_hex(s.fill_top), rgba_hex(s.fill_bottom), (p.y - top) / (bottom - top));
    return rgba_fade(c, s.fill_alpha);
  });
  if (s.recess > 0.0f)
    img_fill(im, body, [&](Vec2 p) {
      return rgba_hex(0x000000, s.recess * std::exp(-(p.y - top - s.border_width) / 7.0f));
    });
  if (s.sheen > 0.0f)  // kept inside the top third, so it stays a band of the same height when stretched
    img_fill(im, [&](Vec2 p) { return body(p) + s.border_width; }, [&](Vec2 p) {
      float t = (p.y - top) / (kSize / 3.0f - top);
      return rgba_hex(0xffffff, s.sheen * clampf(1.0f - t, 0.0f, 1.0f) * clampf(1.0f - t, 0.0f, 1.0f));
    });
  if (s.glow > 0.0f)
    img_fill(im, body, [&](Vec2 p) { return rgba_hex(s.glow_rgb, s.glow * std::exp(body(p) / 6.0f)); });
  if (s.bar > 0.0f)
    img_fill(im, [&](Vec2 p) { return std::max(body(p), bottom - s.bar - p.y); }, rgba_hex(s.bar_rgb));
  // The rim: a stroke just inside the outline, and a faint lighter line inside it at the top.
  img_fill(im, [&](Vec2 p) { return std::fabs(body(p) + s.border_width * 0.5f) - s.border_width * 0.5f; },
           rgba_hex(s.border));
  img_fill(im, [&](Vec2 p) { return std::fabs(body(p) + s.border_width + 0.75f) - 0.75f; }, [&](Vec2 p) {
    return rgba_hex(0xffffff, 0.18f * clampf(1.0f - (p.y - top) / (kSize / 3.0f), 0.0f, 1.0f));
  });
  return im;
}

// A hue for a family of skins: its resting and its focused look.
struct Hue {
  uint32_t top, bottom, border;              // resting
  uint32_t top_o, bottom_o, border_o, glow;  // focused
};
const Hue kBlue = {0x22406e, 0x142846, 0x4f8fe0, 0x33639f, 0x1f4272, 0xa8dcff, 0x62b8ff};
const Hue kTeal = {0x1c5a50, 0x103a33, 0x3fc4a4, 0x28806e, 0x185848, 0xaaffe8, 0x58f0c8};
const Hue kAmber = {0x6a4a16, 0x432e0b, 0xe0a040, 0x926a22, 0x60440f, 0xffe2a8, 0xffc060};
const Hue kRed = {0x6c1e2c, 0x441119, 0xe2506a, 0x922c40, 0x601a28, 0xffb4c4, 0xff6a8c};
const Hue kHues[4] = {kBlue, kTeal, kAmber, kRed};  // skin numbers 1-4

// The shape of a family of skins; the hue fills it in.
struct Shape {
  float radius, border_width, sheen, recess;
};
const Shape kButtonShape = {9.0f, 2.5f, 0.16f, 0.0f};   // bevelled rectangle
const Shape kToggleShape = {16.0f, 2.5f, 0.06f, 0.35f}; // softer, slightly sunken switch
const Shape kIconShape = {29.0f, 2.5f, 0.14f, 0.0f};    // round when square, a pill when wide
const Shape kTinyShape = {6.0f, 2.0f, 0.0f, 0.0f};      // flat small button

SkinStyle resting(const Hue &h, const Shape &sh) {
  SkinStyle s{h.top, h.bottom, 0.97f, h.border, sh.border_width, sh.radius};
  s.sheen = sh.sheen;
  s.recess = sh.recess;
  return s;
}
SkinStyle focused(const Hue &h, const Shape &sh) {
  SkinStyle s{h.top_o, h.bottom_o, 1.0f, h.border_o, sh.border_width + 0.5f, sh.radius};
  s.sheen = sh.sheen + 0.08f;
  s.recess = sh.recess * 0.5f;
  s.glow = 0.6f;
  s.glow_rgb = h.glow;
  return s;
}

// "<prefix>N" and "<prefix>No" for each hue N in first..4.
void make_skin_family(const char *prefix, const Shape &shape, int first) {
  for (int n = first; n <= 4; n++) {
    std::string name = prefix + std::to_string(n);
    art_save(draw_skin(resting(kHues[n - 1], shape)), name);
    art_save(draw_skin(focused(kHues[n - 1], shape)), name + "o");
  }
}

void make_skins() {
  make_skin_family("gui-button", kButtonShape, 1);
  make_skin_family("gui-toggle", kToggleShape, 1);
  make_skin_family("gui-icon", kIconShape, 1);
  make_skin_family("gui-tiny", kTinyShape, 2);  // tiny1 borrows the icon1 skin

  // Tabs: square-ish, marked by a bar along the bottom. tab0 is a quiet unlit tab, tab1 the normal
  // one with tab1o its highlight, tab2o the tab of the page on show.
  SkinStyle tab0{0x0d1728, 0x0a1220, 0.7f, 0x1c2e48, 1.5f, 5.0f};
  tab0.bar = 2.0f;
  tab0.bar_rgb = 0x2a4a70;
  SkinStyle tab1{0x16263f, 0x0f1b2f, 0.92f, 0x2c4a74, 2.0f, 5.0f};
  tab1.sheen = 0.08f;
  tab1.bar = 3.0f;
  tab1.bar_rgb = 0x3c6ca4;
  SkinStyle tab1o{0x27466f, 0x1a3152, 1.0f, 0x6cb0f0, 2.0f, 5.0f};
  tab1o.sheen = 0.14f;
  tab1o.glow = 0.45f;
  tab1o.glow_rgb = 0x62b8ff;
  tab1o.bar = 5.0f;
  tab1o.bar_rgb = 0x9cdcff;
  SkinStyle tab2o{0x2d5a94, 0x1d3d6a, 1.0f, 0x8fd0ff, 2.5f, 5.0f};
  tab2o.sheen = 0.18f;
  tab2o.glow = 0.5f;
  tab2o.glow_rgb = 0x7cc8ff;
  tab2o.bar = 6.0f;
  tab2o.bar_rgb = 0xd4f2ff;
  art_save(draw_skin(tab0), "gui-tab0");
  art_save(draw_skin(tab1), "gui-tab1");
  art_save(draw_skin(tab1o), "gui-tab1o");
  art_save(draw_skin(tab2o), "gui-tab2o");

  // Text field: a sunken dark well; focused, its rim lights up.
  SkinStyle input{0x050b16, 0x0a1426, 0.96f, 0x34527c, 2.0f, 8.0f};
  input.recess = 0.55f;
  SkinStyle input_o = input;
  input_o.border = 0x86d4ff;
  input_o.border_width = 2.5f;
  input_o.glow = 0.4f;
  input_o.glow_rgb = 0x4aa8ff;
  art_save(draw_skin(input), "gui-input1");
  art_save(draw_skin(input_o), "gui-input1o");

  // Slider: a sunken track and a raised bright knob.
  SkinStyle track{0x060d1a, 0x0c1830, 0.95f, 0x2a4468, 2.0f, 14.0f};
  track.recess = 0.5f;
  SkinStyle knob{0x6ab8ff, 0x2e6cc0, 1.0f, 0xd8f0ff, 2.5f, 12.0f};
  knob.sheen = 0.35f;
  art_save(draw_skin(track), "gui-slider1");
  art_save(draw_skin(knob), "gui-slider2");

  // Panels behind page content: see-through, so the backdrop shows, with a thin rim.
  SkinStyle error{0x3c0f18, 0x280a10, 0.94f, 0xff5a6a, 2.5f, 12.0f};
  error.glow = 0.3f;
  error.glow_rgb = 0xff3050;
  SkinStyle box1{0x0f1c34, 0x0a1324, 0.86f, 0x2e4c7c, 2.0f, 12.0f};
  box1.sheen = 0.05f;
  SkinStyle box2{0x0d252a, 0x081a1e, 0.86f, 0x2c7c78, 2.0f, 12.0f};
  box2.sheen = 0.05f;
  SkinStyle box3{0x1e1434, 0x140c24, 0.86f, 0x6c4ca4, 2.0f, 12.0f};
  box3.sheen = 0.05f;
  art_save(draw_skin(error), "gui-error");
  art_save(draw_skin(box1), "gui-box1");
  art_save(draw_skin(box2), "gui-box2");
  art_save(draw_skin(box3), "gui-box3");
}

// ---- Icons ---------------------------------------------------------------------------------

constexpr int kIconSize = 128;
constexpr float kC = kIconSize * 0.5f;  // icon centre
const Rgba kInk = rgba_hex(0xf2f8ff);   // symbol colour
const Rgba kBackdrop = rgba_hex(0x0a1426, 0.7f);

using Sdf = std::function<float(Vec2)>;

float sdf_ring(Vec2 p, Vec2 c, float r, float half_width) { return std::fabs(sdf_circle(p, c, r)) - half_width; }

// An icon that sits over the match: a dark disc with a light rim behind a white symbol.
Image badge_icon(const Sdf &symbol) {
  Image im(kIconSize, kIconSize);
  img_fill(im, [](Vec2 p) { return sdf_circle(p, {kC, kC}, 60.0f); }, kBackdrop);
  img_fill(im, [](Vec2 p) { return sdf_ring(p, {kC, kC}, 57.0f, 3.0f); }, rgba_fade(kInk, 0.85f));
  img_fill(im, symbol, kInk);
  return im;
}
// A bare symbol, for icons drawn inside buttons.
Image plain_icon(const Sdf &symbol) {
  Image im(kIconSize, kIconSize);
  img_fill(im, symbol, kInk);
  return im;
}

float sdf_cross(Vec2 p, float reach, float half_width) {
  return std::min(sdf_capsule(p, {kC - reach, kC - reach}, {kC + reach, kC + reach}, half_width),
                  sdf_capsule(p, {kC + reach, kC - reach}, {kC - reach, kC + reach}, half_width));
}

float sdf_pause(Vec2 p) {
  return std::min(sdf_round_rect(p, {kC - 13, kC}, {7, 24}, 3), sdf_round_rect(p, {kC + 13, kC}, {7, 24}, 3));
}

float sdf_chat(Vec2 p) {
  std::vector<Vec2> tail = {{kC - 20, kC + 12}, {kC - 4, kC + 12}, {kC - 24, kC + 32}};
  float bubble = std::min(sdf_round_rect(p, {kC, kC - 4}, {32, 22}, 11), sdf_polygon(p, tail));
  float dots = std::min({sdf_circle(p, {kC - 14, kC - 4}, 5), sdf_circle(p, {kC, kC - 4}, 5),
                         sdf_circle(p, {kC + 14, kC - 4}, 5)});
  return std::max(bubble, -dots);  // the dots are cut out of the bubble
}

float sdf_gear(Vec2 p) {
  constexpr int kTeeth = 8;
  constexpr float kRoot = 26.0f, kTip = 35.0f;
  std::vector<Vec2> outline;
  for (int i = 0; i < kTeeth; i++) {
    float a = 2 * kPi * i / kTeeth, step = 2 * kPi / kTeeth;
    // Each tooth: rise from the root circle, a flat top, and back down; slightly tapered.
    const float at[4] = {a - 0.30f * step, a - 0.17f * step, a + 0.17f * step, a + 0.30f * step};
    const float r[4] = {kRoot, kTip, kTip, kRoot};
    for (int k = 0; k < 4; k++) outline.push_back({kC + r[k] * std::cos(at[k]), kC + r[k] * std::sin(at[k])});
  }
  return std::max(sdf_polygon(p, outline), -sdf_circle(p, {kC, kC}, 11.0f));
}

float sdf_play(Vec2 p) {
  std::vector<Vec2> tri = {{kC - 18, kC - 28}, {kC + 30, kC}, {kC - 18, kC + 28}};
  return sdf_polygon(p, tri) - 4.0f;  // grown by 4 for rounded corners
}

float sdf_target(Vec2 p) {
  return std::min({sdf_ring(p, {kC, kC}, 40, 5), sdf_ring(p, {kC, kC}, 22, 5), sdf_circle(p, {kC, kC}, 8)});
}

float sdf_person(Vec2 p) {
  float head = sdf_circle(p, {kC, kC - 18}, 17);
  float shoulders = std::max(sdf_ellipse(p, {kC, kC + 38}, {36, 36}), p.y - (kC + 34));
  return std::min(head, shoulders);
}

float sdf_speaker(Vec2 p) {
  std::vector<Vec2> cone = {{kC - 38, kC - 12}, {kC - 22, kC - 12}, {kC - 2, kC - 30},
                            {kC - 2, kC + 30},  {kC - 22, kC + 12}, {kC - 38, kC + 12}};
  float body = sdf_polygon(p, cone) - 2.0f;
  float right_half = (kC + 4) - p.x;  // > 0 left of the arcs' start
  float waves = std::min(sdf_ring(p, {kC - 2, kC}, 18, 4), sdf_ring(p, {kC - 2, kC}, 34, 4));
  waves = std::max(waves, right_half);
  waves = std::max(waves, std::fabs(p.y - kC) - 0.8f * (p.x - kC + 6));  // keep a 40-degree fan
  return std::min(body, waves);
}

float sdf_gamepad(Vec2 p) {
  float body = std::min(sdf_round_rect(p, {kC, kC}, {46, 24}, 20),
                        std::min(sdf_circle(p, {kC - 30, kC + 16}, 18), sdf_circle(p, {kC + 30, kC + 16}, 18)));
  float dpad = std::min(sdf_round_rect(p, {kC - 26, kC}, {12, 4}, 2), sdf_round_rect(p, {kC - 26, kC}, {4, 12}, 2));
  float buttons = std::min(sdf_circle(p, {kC + 22, kC + 5}, 5), sdf_circle(p, {kC + 32, kC - 5}, 5));
  return std::max(body, -std::min(dpad, buttons));
}

float sdf_modules(Vec2 p) {
  float d = 1e9f;
  for (int i = 0; i < 4; i++) {
    Vec2 c = {kC + ((i % 2) ? 18.0f : -18.0f), kC + ((i / 2) ? 18.0f : -18.0f)};
    d = std::min(d, sdf_round_rect(p, c, {15, 15}, 5));
  }
  return d;
}

float sdf_more(Vec2 p) {
  return std::min({sdf_circle(p, {kC - 28, kC}, 9), sdf_circle(p, {kC, kC}, 9), sdf_circle(p, {kC + 28, kC}, 9)});
}

float sdf_monitor(Vec2 p) {
  float frame = std::fabs(sdf_round_rect(p, {kC, kC - 8}, {42, 28}, 6)) - 4.5f;
  float stand = std::min(sdf_round_rect(p, {kC, kC + 26}, {5, 6}, 1), sdf_round_rect(p, {kC, kC + 33}, {20, 3.5f}, 3));
  return std::min(frame, stand);
}

void make_icons() {
  // Over the match (faint until touched) and in the mod screens' corners.
  art_save(badge_icon(sdf_pause), "icon-pause");
  art_save(badge_icon(sdf_chat), "icon-chat");
  art_save(badge_icon([](Vec2 p) { return sdf_cross(p, 20, 6.5f); }), "icon-quit");
  art_save(badge_icon(sdf_gear), "icon-settings");
  // The test screen's close button picture: a plain cross.
  art_save(plain_icon([](Vec2 p) { return sdf_cross(p, 34, 10.0f); }), "quit");
  // Menu button icons.
  art_save(plain_icon(sdf_play), "icon-play");
  art_save(plain_icon(sdf_target), "icon-practice");
  art_save(plain_icon(sdf_person), "icon-account");
  art_save(plain_icon(sdf_speaker), "icon-audio");
  art_save(plain_icon(sdf_gamepad), "icon-controls");
  art_save(plain_icon(sdf_modules), "icon-mods");
  art_save(plain_icon(sdf_more), "icon-more");
  art_save(plain_icon(sdf_monitor), "icon-video");
}

// ---- Chat and lobby --------------------------------------------------------------------------

// The handle beside the chat log (44 units wide, two lines high, drawn faint): a small panel with
// three text lines.
void make_chat_tab() {
  Image im(kIconSize, kIconSize);
  img_fill(im, [](Vec2 p) { return sdf_round_rect(p, {kC, kC}, {58, 50}, 14); }, rgba_hex(0x1a2c4a, 0.92f));
  img_fill(im, [](Vec2 p) { return std::fabs(sdf_round_rect(p, {kC, kC}, {58, 50}, 14) + 2) - 2; },
           rgba_hex(0x7ab4ee));
  const float widths[3] = {34, 24, 30};
  for (int i = 0; i < 3; i++)
    img_fill(im, [&, i](Vec2 p) {
      return sdf_capsule(p, {kC - 30, kC - 22 + 22.0f * i}, {kC - 30 + 2 * widths[i], kC - 22 + 22.0f * i}, 5);
    }, kInk);
  art_save(im, "chat-tab");
}

// Behind the lobby's scrolling list, stretched: a dark veil that fades out at its top and bottom so
// rows slide in and out softly.
void make_lobby_fade() {
  Image im(64, 256);
  img_paint(im, [&im](Vec2 p) {
    float t = p.y / im.h;
    return rgba_hex(0x050a14, 0.72f * smoothstepf(0.0f, 0.12f, t) * smoothstepf(1.0f, 0.88f, t));
  });
  art_save(im, "lobby-fade");
}

}  // namespace

int main(int argc, char **argv) {
  if (!art_args_ok(argc, argv, "OUTPUT_DIR")) return 2;
  art_out_dir(argv[1]);
  make_skins();
  make_icons();
  make_chat_tab();
  make_lobby_fade();
  return art_out_status();
}
