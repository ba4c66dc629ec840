// The match HUD: the percent button and slider taking the view's input first, and the marks, label,
// insignia and readouts read back from a real GL window.
#include "vantor_hud.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "game.h"
#include "vantor_hud_internal.h"
#include "vantor_paint_gl.h"
#include "vantor_step.h"
#include "vantor_view.h"
#include "vantor_world.h"

namespace {

constexpr uint32_t BLACK = 0x000000, RED = 0xFF0000, GREEN = 0x00FF00, BLUE = 0x0000FF, WHITE = 0xFFFFFF;
constexpr uint32_t CYAN = 0x00FFFF;

// A 480 x 320 screen showing world units as screen units, with a planet of the user's.
class Hud : public PaintGlTest {
 protected:
  void SetUp() override {
    PaintGlTest::SetUp();
    g.reset(new Game());  // the HUD hands a gesture leaving the slider back to the game's world
    game = g.get();
    world = &g->data.vantor;
    vantor_world_reset(world);
    const float fixed[4] = {0, 0, 480, 320};
    memcpy(world->view_rect, fixed, sizeof fixed);
    me = vantor_user_init(world, RED, 0, "red");
    home = vantor_planet_init(world, me->n, 100, 160, 15, 10);
    view = View();
    view.hud_mode = 1;
    view.ui[VIEW_UI_SLIDER] = 1;
    view_init(&view, world, 1);
    view.percent = 50;
  }
  void TearDown() override {
    g.reset();  // clears the global pointer too
    PaintGlTest::TearDown();
  }
  int event(int type, float x, float y, int button = 1) {
    Event e(type);
    e.x = x;
    e.y = y;
    e.button = button;
    return view_event(world, &view, me->n, e, 1);
  }
  // A gesture in the one pointer slot hovering over item n.
  void hover(int n) {
    view.pointers[VIEW_SLOT] = PointerRecord();
    view.pointers[VIEW_SLOT].in_use = 1;
    view.pointers[VIEW_SLOT].hover = n;
  }
  // Every printable byte a solid 8 x 8 glyph advancing 10 at a native line height of 10.
  void block_font(const char *name) {
    solid(name, WHITE);
    std::string fnt = "common lineHeight=10 base=8 scaleW=8 scaleH=8 pages=1\n";
    for (int c = 33; c < 127; c++) {
      fnt += "char id=" + std::to_string(c) + " x=0 y=0 width=8 height=8 xoffset=1 yoffset=1 xadvance=10\n";
    }
    file(std::string(name) + ".fnt", fnt);
  }

  std::unique_ptr<Game> g;
  World *world = nullptr;
  View view;
  Item *me, *home;
};

}  // namespace

TEST_F(Hud, the_percent_button_steps_by_25_wrapping_100_to_25_and_sits_left_on_a_lefty_screen) {
  const int steps[][2] = {{50, 75}, {75, 100}, {100, 25}, {30, 50}};
  for (const auto &s : steps) {
    view.percent = s[0];
    EXPECT_EQ(event(EVT_DOWN, 458, 300), 1);
    EXPECT_EQ(view.percent, s[1]) << "from " << s[0];
    event(EVT_UP, 458, 300);
  }
  view.ui[VIEW_UI_LEFTY] = 1;
  EXPECT_FLOAT_EQ(hud_slider_rect(&view).x, -1);
  event(EVT_DOWN, 458, 300);  // the right edge is the world's now
  EXPECT_EQ(view.percent, 50);
  EXPECT_EQ(event(EVT_DOWN, 20, 300), 1);
  EXPECT_EQ(view.percent, 75);
}

TEST_F(Hud, the_slider_reads_100_at_its_top_and_5_at_its_bottom_and_only_when_shown) {
  EXPECT_EQ(event(EVT_DOWN, 458, 55), 1);
  EXPECT_EQ(view.percent, 100);
  EXPECT_EQ(event(EVT_MOVE, 450, 232 + 33), 1);
  EXPECT_EQ(view.percent, 5);
  EXPECT_EQ(event(EVT_MOVE, 450, 160), 1);
  EXPECT_EQ(view.percent, 55);  // v = 52.5: to the nearest 5
  event(EVT_UP, 450, 160);
  event(EVT_MOVE, 450, 55);  // a move after the release is the world's
  view.ui[VIEW_UI_SLIDER] = -1;
  event(EVT_DOWN, 458, 55);
  EXPECT_EQ(view.percent, 55);
  for (float h : {0.0f, 22.0f}) EXPECT_EQ(_hud_percent_at({0, 44, 44, h}, 500), 100) << "a slider without travel";
}

TEST_F(Hud, a_drag_off_the_slider_restores_the_percent_and_becomes_a_world_gesture_from_its_press) {
  Item *edge = vantor_planet_init(world, me->n, 460, 100, 15, 10);  // under the slider column
  view.percent = 30;
  event(EVT_DOWN, 460, 100);
  EXPECT_EQ(view.percent, 80);
  EXPECT_EQ(view.selection[edge->n], 0u);
  event(EVT_MOVE, 300, 100);
  EXPECT_EQ(view.percent, 30);
  EXPECT_EQ(view.slider_saved, 0);
  EXPECT_NE(view.selection[edge->n], 0u) << "the press selected the planet under it";
}

TEST_F(Hud, selection_orders_gestures_and_the_box_are_marked_in_cyan) {
  solid("line", WHITE);
  Item *foe = vantor_planet_init(world, vantor_user_init(world, GREEN, 0, "green")->n, 300, 160, 15, 5);
  Item *spare = vantor_planet_init(world, me->n, 100, 270, 15, 5);
  home->body_r = foe->body_r = spare->body_r = 20;
  view.selection[home->n] = VIEW_SLOT;
  view.selection_serial[home->n] = home->sync_id;
  PointerRecord &rec = view.pointers[VIEW_SLOT];
  rec = {1, (int32_t)foe->n, (int32_t)spare->n, 0, 1, 1, 350, 250, 450, 300};
  hud_paint(&view, world, me->n);
  expect_colour(pixel(100, 160 - 28), CYAN, "ring round the selected planet");
  expect_colour(pixel(200, 160), CYAN, "arrow to the target");
  expect_colour(pixel(300, 160 - 28), CYAN, "ring round the target");
  expect_colour(pixel(100, 270 + 28), CYAN, "ring round the hovered planet");
  expect_colour(pixel(400, 250), CYAN, "box edge");
  expect_colour(pixel(400, 275), BLACK, "inside the box");
}

TEST_F(Hud, the_hovered_planet_is_labelled_on_the_side_towards_the_screen_centre) {
  block_font("font");
  Item *far = vantor_planet_init(world, me->n, 400, 160, 15, 5);
  home->body_r = far->body_r = 20;
  hover(home->n);
  hud_paint(&view, world, me->n);
  expect_colour(pixel(140, 150), WHITE, "owner's name right of a left-hand planet");
  expect_colour(pixel(140, 170), WHITE, "its production below");

  view.pointers[VIEW_SLOT].hover = far->n;
  frame();
  hud_paint(&view, world, me->n);
  expect_colour(pixel(360, 150), WHITE, "left of a right-hand planet");
  expect_colour(pixel(440, 150), BLACK, "nothing on its right");
}

TEST_F(Hud, readouts_show_the_labelled_owners_rank_else_the_users_and_the_percent_but_not_in_pause_or_to_a_spectator) {
  block_font("font");
  solid("flag5", BLUE);
  solid("flag3", GREEN);
  solid("slider-dot", RED);
  memcpy(me->user_rank, "3", 2);
  Item *other = vantor_user_init(world, GREEN, 0, "green");
  memcpy(other->user_rank, "#5AB", 4);  // a full field without its NUL
  view.percent = 100;
  hud_paint(&view, world, me->n);
  expect_colour(pixel(22, 20), GREEN, "the local user's flag");
  expect_colour(pixel(458, 55), RED, "the slider's dot at the top");
  // "100%": four 16-unit glyphs 20 apart from x = 458 - 40 - 5 (+2), in the band from y = 276.
  expect_colour(pixel(417, 298), WHITE, "first glyph, moved left");
  expect_colour(pixel(433, 298), BLACK, "between the first two glyphs");

  hover(vantor_planet_init(world, other->n, 300, 160, 15, 5)->n);
  view.ui[VIEW_UI_LEFTY] = 1;
  frame();
  hud_paint(&view, world, me->n);
  expect_colour(pixel(22, 20), BLUE, "the hovered planet's owner's flag");
  expect_colour(pixel(40, 298), WHITE, "third glyph, moved right on a lefty screen");
  expect_colour(pixel(6, 298), BLACK, "between the first two glyphs");

  frame();
  hud_paint(&view, world, 0);
  expect_colour(pixel(40, 298), BLACK, "a spectator sends no fleets: no percent");

  snprintf(game->names.current, sizeof game->names.current, "states_pause");
  frame();
  hud_paint(&view, world, me->n);
  expect_colour(pixel(22, 20), BLACK, "no insignia in pause");
  expect_colour(pixel(40, 298), BLACK, "no percent in pause");
}

TEST_F(Hud, the_status_line_is_centred_in_the_top_margin_and_hidden_in_pause) {
  block_font("font-outline");
  view.hud_mode = 0;  // the play screens' margins: 22 units above the world
  view_init(&view, world, 1);
  hud_paint(&view, world, me->n);
  expect_colour(pixel(240, 11), BLACK, "no status, no line");

  // Three glyphs of 12.8 units, 16 apart, centred between the 44-unit bands: from x = 216, y = 3.
  memcpy(world->status, "aaa", 4);
  frame();
  hud_paint(&view, world, me->n);
  expect_colour(pixel(240, 11), WHITE, "the middle glyph at the top centre");
  expect_colour(pixel(210, 11), BLACK, "left of the line");
  expect_colour(pixel(240, 24), BLACK, "below the line: the world's own band");

  memset(world->status, 'a', sizeof world->status);  // a field filled to its end reads as 255 bytes
  frame();
  hud_paint(&view, world, me->n);
  expect_colour(pixel(247, 11), WHITE, "a long status wraps from the top");
  expect_colour(pixel(460, 11), BLACK, "and keeps off the pause icon's band");

  snprintf(game->names.current, sizeof game->names.current, "states_pause");
  frame();
  hud_paint(&view, world, me->n);
  expect_colour(pixel(240, 11), BLACK, "no status in pause");
}
