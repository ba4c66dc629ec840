// Match painting: a painted world read back from a real GL window (planets, labels, items, the
// "you" marker, particles), its draw-call counts, and the colour helpers.
#include "vantor_paint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "game.h"
#include "kez_gfx-tex.h"
#include "kez_gfx_internal.h"
#include "vantor_batch.h"
#include "vantor_fleet.h"
#include "vantor_paint_gl.h"
#include "vantor_paint_internal.h"
#include "vantor_planet_paint.h"
#include "vantor_step.h"
#include "vantor_world.h"

namespace {

constexpr uint32_t BLACK = 0x000000, RED = 0xFF0000, GREEN = 0x00FF00, WHITE = 0xFFFFFF;

// Digits 0-9 as solid 8 x 8 glyphs 10 apart at a native line height of 10: at size 20 each digit
// is a 16 x 16 block, 4 units from the next.
std::string digits_font() {
  std::string fnt = "info face=\"digits\" size=10\ncommon lineHeight=10 base=8 scaleW=8 scaleH=8 pages=1\n";
  for (int c = '0'; c <= '9'; c++) {
    fnt += "char id=" + std::to_string(c) + " x=0 y=0 width=8 height=8 xoffset=1 yoffset=1 xadvance=10 page=0\n";
  }
  return fnt;
}

// A pixel of a lit planet in that colour: some of the colour, nothing else (no white label over it).
void expect_lit(uint32_t got, uint32_t colour, const char *where) {
  EXPECT_NE(got & colour, 0u) << where;
  EXPECT_EQ(got & ~colour, 0u) << where << std::hex << ": got 0x" << got;
}

class Paint : public PaintGlTest {
 protected:
  void SetUp() override {
    PaintGlTest::SetUp();
    gfx_state->z_near = -1000;  // the game's depth range, deep enough for planet spheres and stars
    gfx_state->z_far = 1000;
    frame();
    world.reset(new World());
    vantor_world_reset(world.get());
    view = View();
    view.hud_mode = 1;
  }

  // A view that shows world units as window pixels, already laid out.
  void identity_view() {
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    memcpy(view.world_to_screen, identity, sizeof identity);
    view.fit_scale = 1;
    view.initialised = 1;
  }
  Item *image_item(const char *image, float x, float y) {
    Item *item = vantor_item_alloc(world.get());
    item->has_image = 1;
    snprintf(item->image_src, sizeof item->image_src, "%s", image);
    item->position_x = x;
    item->position_y = y;
    item->render_color = WHITE;
    item->render_alpha = 255;
    item->image_w = item->image_h = 1;
    item->image_cx = item->image_cy = 0.5f;
    item->image_scale = 10;
    return item;
  }
  Part *spark(const char *image, float x, float y) {
    Part *part = vantor_part_alloc(world.get());
    snprintf(part->image, sizeof part->image, "%s", image);
    part->x = x;
    part->y = y;
    part->size = 6;
    part->alpha = 1;
    part->life = 10;
    return part;
  }

  std::unique_ptr<World> world;
  View view;
};

}  // namespace

TEST_F(Paint, a_painted_world_shows_planets_in_their_colour_with_their_ship_counts_where_the_user_sees_them) {
  png("planet-tex0", 64, 32, [](int, int) { return WHITE; });
  solid("font-outline", WHITE);
  file("font-outline.fnt", digits_font());
  clear_image("planet-aura");
  clear_image("you");
  world->view_rect[0] = 800;  // a fixed view as large as the window: one world unit per pixel
  world->view_rect[1] = 900;
  world->view_rect[2] = 480;
  world->view_rect[3] = 320;
  Item *red = vantor_user_init(world.get(), RED, 0, "red");
  Item *green = vantor_user_init(world.get(), GREEN, 0, "green");
  Item *own = vantor_planet_init(world.get(), red->n, 1000, 1000, 15, 42);
  Item *enemy = vantor_planet_init(world.get(), green->n, 1150, 1000, 15, 7);
  own->planet_r = enemy->planet_r = 40;

  sys_paint(&view, world.get(), red->n, 0);  // lays the view out first
  for (int y : {100, 110, 125, 135})
    for (int x : {170, 185, 200, 215, 230, 350}) printf("(%d,%d)=%06x ", x, y, pixel(x, y));
  printf("\n");
  EXPECT_EQ(view.initialised, 1);
  EXPECT_FLOAT_EQ(view.fit_scale, 1);
  EXPECT_EQ(gfx_state->clip_depth, 0);
  // The own planet sits at (200, 100) on screen; "42" is centred on it: 41 wide, 20 high.
  expect_lit(pixel(170, 125), RED, "own planet below its label");
  expect_colour(pixel(190, 100), WHITE, "the 4");
  expect_colour(pixel(210, 100), WHITE, "the 2");
  expect_lit(pixel(200, 100), RED, "between the digits");
  expect_colour(pixel(200, 145), BLACK, "outside the planet");
  EXPECT_STREQ(own->label_text, "42");
  EXPECT_STREQ(own->label_font, "font-outline");
  // Enemies are outside the default ship-count mask: no label on the enemy planet at (350, 100).
  EXPECT_EQ(enemy->has_label, 0);
  expect_lit(pixel(350, 100), GREEN, "enemy planet without a count");

  red->ui_ships_show_mask = 8;  // enemies only
  frame();
  sys_paint(&view, world.get(), red->n, 0);
  EXPECT_EQ(own->has_label, 0);
  expect_lit(pixel(190, 100), RED, "own count hidden");
  expect_colour(pixel(350, 100), WHITE, "enemy count shown");
  EXPECT_STREQ(enemy->label_text, "7");
}

TEST_F(Paint, sys_paint_leaves_the_screen_transform_loaded) {
  identity_view();
  view.world_to_screen[3] = 1000;  // a world matrix that moves everything out of sight
  sys_paint(&view, world.get(), 0, 0);
  float modelview[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  EXPECT_EQ(modelview[12], 0);
  gfx_rect_fill(RED, 10, 10, 5, 5);  // screen drawing after the world lands in virtual units
  expect_colour(pixel(12, 12), RED, "screen drawing");
}

TEST_F(Paint, labels_take_their_font_size_colour_and_alignment) {
  identity_view();
  solid("font-outline", WHITE);
  file("font-outline.fnt", digits_font());
  Item *item = vantor_item_alloc(world.get());
  item->has_label = 1;
  item->position_x = 100;
  item->position_y = 100;
  snprintf(item->label_text, sizeof item->label_text, "7");
  snprintf(item->label_font, sizeof item->label_font, "font-outline");
  item->label_align = item->label_valign = 1;  // top left at the position
  item->label_size = 40;                       // glyph 32 x 32 from (104, 104)
  item->render_color = GREEN;
  item->render_alpha = 128;
  items_paint(world.get(), &view, 0);
  expect_colour(pixel(106, 106), 0x008000, "half-alpha green glyph");
  expect_colour(pixel(134, 134), 0x008000, "glyph's far corner");
  expect_colour(pixel(100, 110), BLACK, "left of the glyph");
  expect_colour(pixel(138, 120), BLACK, "right of the glyph");
}

TEST_F(Paint, ship_counts_are_whole_ships_held_to_the_int_range) {
  identity_view();
  Item *user = vantor_user_init(world.get(), RED, 0, "red");
  Item *planet = vantor_planet_init(world.get(), user->n, 100, 100, 15, 0);
  const struct {
    float ships;
    const char *label;
  } cases[] = {{41.9f, "41"}, {-3, "0"}, {NAN, "0"}, {1e20f, "2147483647"}};
  for (const auto &c : cases) {
    planet->ships_value = c.ships;
    items_paint(world.get(), &view, user->n);
    EXPECT_STREQ(planet->label_text, c.label) << c.ships;
  }
}

TEST_F(Paint, images_of_one_texture_share_a_draw_call_whatever_their_number) {
  identity_view();
  solid("ship", RED);
  solid("dot", GREEN);
  for (int i = 0; i < 100; i++) image_item("ship", 20 + 4 * i, 50)->render_blend = 1;
  Item *dot = image_item("dot", 240, 200);
  Item *after = image_item("ship", 300, 200);
  after->render_blend = 1;
  uint64_t before = gfx_draw_count();
  items_paint(world.get(), &view, 0);
  EXPECT_EQ(gfx_draw_count() - before, 3u);  // the ships, the dot, the ship after it
  expect_colour(pixel(100, 50), RED, "a ship");
  expect_colour(pixel(240, 200), GREEN, "the dot");
  expect_colour(pixel(300, 200), RED, "the last ship");

  dot->render_blend = 1;
  snprintf(dot->image_src, sizeof dot->image_src, "ship");
  before = gfx_draw_count();
  items_paint(world.get(), &view, 0);
  EXPECT_EQ(gfx_draw_count() - before, 1u);
}

namespace {

// Lit pixels (red above half) on the segment across the flight, at `ahead` pixels along the unit
// direction (fx, fy) from the screen point (cx, cy); `ahead` < 0 looks behind.
int lit_across(float cx, float cy, float fx, float fy, float ahead) {
  int lit = 0;
  for (int k = -40; k <= 40; k++) {
    const int x = (int)std::lround(cx + fx * ahead - fy * k), y = (int)std::lround(cy + fy * ahead + fx * k);
    if (x >= 0 && y >= 0 && x < 480 && y < 320 && (gl_test_pixel(x, y) >> 16) > 128) lit++;
  }
  return lit;
}

}  // namespace

// The game's own ship picture, flown by the fleet code: a dart is narrow at its nose and wide at its
// tail, so a ship that points along its flight is thinner ahead of its centre than behind it (about
// half as wide, by a pixel or two with where the ship lands between pixels). A ship flying sideways
// would be as wide ahead as behind, one flying backwards wider ahead.
TEST_F(Paint, every_ship_of_the_shipped_art_points_where_it_flies) {
  std::filesystem::copy_file(VB_BINARY_DIR "/data/ship.png", folder + "/ship.png");
  srand(1);              // where the ships start, whatever earlier tests drew
  const float ZOOM = 4;  // the 14.4-unit ship becomes about 58 pixels
  const struct {
    const char *way;
    float dx, dy;  // toward the target, screen y down
  } FLIGHTS[] = {{"right", 1, 0}, {"left", -1, 0}, {"up", 0, -1}, {"down", 0, 1}};
  for (const auto &f : FLIGHTS) {
    SCOPED_TRACE(f.way);
    vantor_world_reset(world.get());
    Item *user = vantor_user_init(world.get(), WHITE, 0, "me");
    user->ui_ships_show_mask = 0;  // no ship counts over the picture
    Item *from = vantor_planet_init(world.get(), user->n, 0, 0, 15, 2);
    Item *to = vantor_planet_init(world.get(), user->n, f.dx * 300, f.dy * 300, 15, 0);
    ASSERT_NE(vantor_fleet_send(world.get(), from->n, to->n, 50), 0);
    for (int i = 0; i < 10; i++) vantor_step(world.get(), 1.0f / 60, false);
    const Item *ship = nullptr;
    for (const Item &it : world->items)
      if (it.in_use && it.is_ship) ship = &it;
    ASSERT_TRUE(ship);
    frame();
    glTranslatef(240 - ZOOM * ship->position_x, 160 - ZOOM * ship->position_y, 0);
    glScalef(ZOOM, ZOOM, 1);
    items_paint(world.get(), &view, user->n);
    const float reach = 0.2f * ship->image_scale * ZOOM;  // 40 % of the way from the centre to an end
    const int ahead = lit_across(240, 160, f.dx, f.dy, reach), behind = lit_across(240, 160, f.dx, f.dy, -reach);
    EXPECT_GT(ahead, 3) << "the nose is on screen";
    EXPECT_GT(2 * behind, 3 * ahead) << "narrow ahead, wide behind: " << ahead << " vs " << behind;
  }
}

TEST_F(Paint, a_name_that_fills_its_field_is_read_only_up_to_the_field) {
  identity_view();
  solid("abcdefghijklmno", RED);  // 15 letters: the longest name the 16-byte field holds
  Item *item = image_item("", 100, 100);
  memcpy(item->image_src, "abcdefghijklmnop", 16);  // no terminating NUL, as a peer may send it
  items_paint(world.get(), &view, 0);
  expect_colour(pixel(100, 100), RED, "image of the first 15 bytes");
}

TEST_F(Paint, the_you_marker_turns_round_the_players_planets_for_three_seconds) {
  identity_view();
  solid("you", WHITE);
  Item *player = vantor_user_init(world.get(), RED, 0, "me");
  Item *other = vantor_user_init(world.get(), GREEN, 0, "other");
  player->has_player = 1;
  vantor_planet_init(world.get(), player->n, 100, 100, 15, 0)->body_r = 10;
  vantor_planet_init(world.get(), other->n, 300, 100, 15, 0)->body_r = 10;
  uint64_t before = gfx_draw_count();
  you_paint(world.get());
  EXPECT_EQ(gfx_draw_count() - before, 1u);
  expect_colour(pixel(100, 100), 0x00DF4A, "fresh marker, added");
  expect_colour(pixel(300, 100), BLACK, "not on another user's planet");
  expect_colour(pixel(100, 130), BLACK, "four radii wide, at any turn");

  world->time = 3.0f;
  before = gfx_draw_count();
  you_paint(world.get());
  EXPECT_EQ(gfx_draw_count(), before);
}

TEST_F(Paint, particles_are_drawn_at_their_age_in_runs_of_one_texture) {
  solid("spark", RED);
  solid("flash", GREEN);
  Part *moving = spark("spark", 100, 100);
  moving->vx = 10;
  moving->age = 5;  // now at (150, 100)
  Part *fading = spark("spark", 100, 200);
  fading->alpha_rate = -0.5f;
  fading->age = 1;  // half alpha
  spark("flash", 200, 200);
  spark("spark", 300, 200);
  spark("nothing", 400, 200);  // no such image: skipped, the run goes on
  spark("spark", 350, 200)->in_use = 0;
  const uint64_t before = gfx_draw_count();
  parts_paint(world.get());
  EXPECT_EQ(gfx_draw_count() - before, 3u);
  expect_colour(pixel(150, 100), RED, "moved by its velocity");
  expect_colour(pixel(100, 100), BLACK, "left its start");
  expect_colour(pixel(100, 200), 0x7F0000, "half faded");
  expect_colour(pixel(200, 200), GREEN, "second texture");
  expect_colour(pixel(300, 200), RED, "back to the first");
  expect_colour(pixel(350, 200), BLACK, "a free slot");
}

TEST_F(Paint, particle_images_cached_before_a_gl_reset_are_looked_up_again) {
  solid("spark", RED);
  solid("decoy", GREEN);
  Part *part = spark("spark", 100, 100);
  parts_paint(world.get());
  ASSERT_NE(part->texture, 0u);
  const uint32_t cached = part->texture;

  font_deinit();
  gfx_deinit();  // the GL reset: every texture and image handle goes
  gfx_init();
  font_init();
  frame();
  ASSERT_EQ(gfx_img_load("decoy"), (int)cached);  // the old number now names another image
  parts_paint(world.get());
  expect_colour(pixel(100, 100), RED, "the spark, not the decoy");
}

TEST_F(Paint, planet_overlays_cover_four_times_their_radius) {
  identity_view();
  solid("aura", 0x0000FF);
  Item *user = vantor_user_init(world.get(), RED, 0, "red");
  Item *planet = vantor_planet_init(world.get(), user->n, 200, 150, 15, 0);
  planet->planet_r = 25;  // drawn 98 units wide
  planet->planet_overlay[1].enabled = 0;
  planet->planet_overlay[0] = {0x0000FF, "aura", 1};
  planet_overlays_paint(world.get());
  expect_colour(pixel(200 + 48, 150), 0x0000FF, "near the edge");
  expect_colour(pixel(200 + 50, 150), BLACK, "beyond it");
}

namespace {

class PaintRemap : public testing::Test {
 protected:
  void SetUp() override {
    g.reset(new Game());
    game = g.get();
    game->view.ui[VIEW_UI_COLORBLIND] = 1;
    _color_remap_clear();
  }
  void TearDown() override { _color_remap_clear(); }
  std::unique_ptr<Game> g;
};

}  // namespace

TEST_F(PaintRemap, colours_get_the_palette_in_order_of_first_use_and_the_thirteenth_starts_over) {
  EXPECT_EQ(color_remap(0x123456), 0x0000FFu);
  EXPECT_EQ(color_remap(0x654321), 0xFF0000u);
  EXPECT_EQ(color_remap(0x123456), 0x0000FFu);  // remembered
  for (uint32_t c = 1; c <= 10; c++) color_remap(0x010000 * c + 7);
  EXPECT_EQ(color_remap(0x0A0000 + 7), 0x9999FFu);  // the twelfth
  EXPECT_EQ(color_remap(0xABCDEF), 0x0000FFu);      // the thirteenth: cache emptied, palette anew
  EXPECT_EQ(color_remap(0x654321), 0xFF0000u);      // forgotten, so handed the next entry
}

// A team must not change colour between matches: the next match resets the world, not the palette.
TEST_F(PaintRemap, colours_keep_their_palette_entry_across_a_world_reset) {
  EXPECT_EQ(color_remap(0x3399FF), 0x0000FFu);
  EXPECT_EQ(color_remap(0xFF4433), 0xFF0000u);
  vantor_world_reset(&game->data.vantor);
  EXPECT_EQ(color_remap(0xFF4433), 0xFF0000u);
  EXPECT_EQ(color_remap(0x3399FF), 0x0000FFu);
  EXPECT_EQ(color_remap(0x44DD55), 0xFFFF00u);  // a new colour gets the next entry, not the first
}

TEST_F(PaintRemap, dark_greys_and_a_disabled_option_pass_unchanged) {
  EXPECT_EQ(color_remap(0xA9A9A9), 0xA9A9A9u);
  EXPECT_EQ(color_remap(0xAAAAAA), 0x0000FFu);  // 170 is light enough to stand for a team
  game->view.ui[VIEW_UI_COLORBLIND] = -1;
  EXPECT_EQ(color_remap(0x123456), 0x123456u);
  game->view.ui[VIEW_UI_COLORBLIND] = 1;
  EXPECT_EQ(color_remap(0x123456), 0xFF0000u);  // the disabled call took no palette entry
  game = nullptr;
  EXPECT_EQ(color_remap(0x777777 + 1), 0x777778u);  // no game, no option
}

TEST(PaintReadable, dark_colours_are_lifted_until_they_read_and_light_ones_stay) {
  EXPECT_EQ(color_readable(0x000000), 0x565656u);  // 85 gives luminance 84.15: one more pass
  EXPECT_EQ(color_readable(0x0000FF), 0x4949FFu);
  EXPECT_EQ(color_readable(0xFF0000), 0xFF2929u);
  EXPECT_EQ(color_readable(0x00FF00), 0x00FF00u);
}

TEST(PaintBackground, the_picture_is_the_worlds_own_or_one_of_four_by_reset_time) {
  auto world = std::make_unique<World>();
  char name[32];
  _background_name(world.get(), name);
  EXPECT_STREQ(name, "background05");  // never reset
  world->started = 7;
  _background_name(world.get(), name);
  EXPECT_STREQ(name, "background04");
  world->started = 8;
  _background_name(world.get(), name);
  EXPECT_STREQ(name, "background01");
  memcpy(world->background, "nebula-of-sixteen", 16);  // a full field without its NUL
  _background_name(world.get(), name);
  EXPECT_STREQ(name, "nebula-of-sixte");
}

TEST_F(Paint, the_star_field_drifts_left_in_one_draw_call_and_is_made_anew_for_a_new_screen_size) {
  solid("star", WHITE);
  uint64_t before = gfx_draw_count();
  stars_paint(world.get());
  EXPECT_EQ(gfx_draw_count() - before, 1u);
  std::vector<unsigned char> red(480 * 320);
  glReadPixels(0, 0, 480, 320, GL_RED, GL_UNSIGNED_BYTE, red.data());
  EXPECT_GT(std::count_if(red.begin(), red.end(), [](unsigned char r) { return r > 0; }), 20) << "stars on screen";

  const Star first = _stars_table()[0];
  stars_paint(world.get());
  const Star moved = _stars_table()[0];
  EXPECT_EQ(moved.y, first.y);
  const float half = 1080 / 2;  // a 720 x 480 UI: the field's square is 1.5 x 720 wide
  float x = first.x - first.speed * first.size * 0.05f;
  if (x < -half) x += 1080;
  EXPECT_FLOAT_EQ(moved.x, x);

  srand(99);
  app_info->width = 400;  // a new UI size
  stars_paint(world.get());
  app_info->width = 480;
  EXPECT_NE(_stars_table()[0].y, first.y);
}

TEST(PaintStars, a_window_shows_one_star_per_900_square_ui_units_and_at_most_1024) {
  EXPECT_EQ(_stars_count(480, 320, 480), 170);
  EXPECT_EQ(_stars_count(1280, 720, 480), 144);
  EXPECT_EQ(_stars_count(1280, 720, 2000000000), 1024);  // a damaged settings word does not overflow
  EXPECT_EQ(_stars_count(0, 720, 480), 0);
  EXPECT_EQ(_stars_count(1280, 720, -480), 0);
}
