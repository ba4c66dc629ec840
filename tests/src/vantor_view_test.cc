// The match view's layout: fitting the world into the screen and the matrices between them.
#include "vantor_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "kez_gfx.h"
#include "vantor_step.h"
#include "vantor_world.h"

namespace {

class ViewLayout : public testing::Test {
 protected:
  void SetUp() override {
    gfx_init();
    screen(1280, 720);
    world.reset(new World());
    vantor_world_reset(world.get());
    view.reset(new View());
    view->hud_mode = 1;
  }
  void TearDown() override { gfx_deinit(); }

  static void screen(float w, float h) {
    gfx_state->virtual_w = w;
    gfx_state->virtual_h = h;
  }
  void planet(float x, float y, float r) {
    Item *p = vantor_planet_init(world.get(), 0, x, y, 15, 0);
    p->body_r = r;
  }
  // The row-major matrix m applied to (x, y, 0, 1).
  static void map(const float m[16], float x, float y, float *ox, float *oy) {
    *ox = m[0] * x + m[1] * y + m[3];
    *oy = m[4] * x + m[5] * y + m[7];
  }

  std::unique_ptr<World> world;
  std::unique_ptr<View> view;
};

}  // namespace

TEST_F(ViewLayout, init_fits_the_planets_into_the_content_and_centres_them) {
  planet(0, 0, 10);
  planet(400, 200, 10);
  view->ui[VIEW_UI_PERCENT] = 30;
  view->selection[5] = 1;
  view_init(view.get(), world.get(), 0);
  EXPECT_EQ(view->initialised, 1);
  EXPECT_EQ(view->percent, 30);
  EXPECT_EQ(view->selection[5], 0u);
  EXPECT_FLOAT_EQ(view->world_rect[0], -10);
  EXPECT_FLOAT_EQ(view->world_rect[2], 420);
  EXPECT_FLOAT_EQ(view->fit_scale, 420.0f / 1280);  // the width limits
  EXPECT_FLOAT_EQ(world->view_scale, view->fit_scale);
  float x, y;
  map(view->world_to_screen, 200, 100, &x, &y);
  EXPECT_NEAR(x, 640, 1e-3);
  EXPECT_NEAR(y, 360, 1e-3);
  map(view->world_to_screen, -10, 100, &x, &y);
  EXPECT_NEAR(x, 0, 1e-3);  // the world's left edge on the screen's
  EXPECT_NEAR(view->visible_rect[0], -10, 1e-3);
  EXPECT_NEAR(view->visible_rect[3], 720 * view->fit_scale, 1e-2);
  EXPECT_FLOAT_EQ(view->world_to_screen_gl[12], view->world_to_screen[3]);  // column-major copies
  EXPECT_FLOAT_EQ(view->screen_to_world_gl[13], view->screen_to_world[7]);

  view->selection[5] = 1;
  view_init(view.get(), world.get(), 0);  // laid out already: nothing happens
  EXPECT_EQ(view->selection[5], 1u);
  view_init(view.get(), world.get(), 1);
  EXPECT_EQ(view->selection[5], 0u);
}

TEST_F(ViewLayout, a_wide_world_on_a_tall_screen_turns_only_with_the_full_hud) {
  screen(720, 1280);
  planet(0, 0, 10);
  planet(400, 200, 10);
  view_init(view.get(), world.get(), 1);
  EXPECT_EQ(view->rotation, 0);
  view->hud_mode = 0;
  view_init(view.get(), world.get(), 1);
  EXPECT_EQ(view->rotation, 90);
  // Content 700 x 1236 after the 10 and 22 unit margins: turned, 420 wide fills the 1236 height.
  EXPECT_FLOAT_EQ(view->fit_scale, 420.0f / 1236);
  float x0, y0, x1, y1;
  map(view->world_to_screen, 200, 100, &x0, &y0);
  map(view->world_to_screen, 300, 100, &x1, &y1);  // world right turns into screen up
  EXPECT_NEAR(x1 - x0, 0, 1e-3);
  EXPECT_NEAR(y1 - y0, -100 / view->fit_scale, 1e-2);
}

TEST_F(ViewLayout, margins_follow_the_hud_mode_slider_and_hand) {
  view->screen_rect[2] = 1000;
  view->screen_rect[3] = 500;
  view->hud_mode = 0;
  view->ui[VIEW_UI_SLIDER] = 1;
  view->ui[VIEW_UI_LEFTY] = 1;
  view_margins(view.get());
  const float lefty[4] = {54, 22, 936, 456};
  for (int i = 0; i < 4; i++) EXPECT_FLOAT_EQ(view->content_rect[i], lefty[i]) << i;
  view->ui[VIEW_UI_LEFTY] = -1;
  view_margins(view.get());
  EXPECT_FLOAT_EQ(view->content_rect[0], 10);
  EXPECT_FLOAT_EQ(view->content_rect[2], 936);
  view->hud_mode = 2;
  view_margins(view.get());
  const float tabs[4] = {0, 44, 1000, 412};
  for (int i = 0; i < 4; i++) EXPECT_FLOAT_EQ(view->content_rect[i], tabs[i]) << i;
}

TEST_F(ViewLayout, a_fixed_view_rectangle_wins_over_the_planets) {
  planet(5000, 5000, 10);
  const float fixed[4] = {0, 0, 640, 360};
  memcpy(world->view_rect, fixed, sizeof fixed);
  view_init(view.get(), world.get(), 1);
  EXPECT_FLOAT_EQ(view->fit_scale, 0.5f);
  EXPECT_FLOAT_EQ(view->world_rect[2], 640);
}

TEST_F(ViewLayout, tiny_and_empty_worlds_still_give_matrices_that_undo_each_other) {
  planet(50, 50, 12);  // 24 units on a 720 screen: a fit far below one
  view_init(view.get(), world.get(), 1);
  float x, y, wx, wy;
  map(view->world_to_screen, 55, 47, &x, &y);
  map(view->screen_to_world, x, y, &wx, &wy);
  EXPECT_NEAR(wx, 55, 1e-3);
  EXPECT_NEAR(wy, 47, 1e-3);
  EXPECT_NEAR(x, 640 + 5 / view->fit_scale, 1e-2);

  vantor_world_reset(world.get());  // no planets: the bounding box is inside out
  view_init(view.get(), world.get(), 1);
  EXPECT_FLOAT_EQ(view->fit_scale, 1);
  for (float m : view->world_to_screen) EXPECT_TRUE(std::isfinite(m));

  screen(0, 0);  // nothing to fit into
  view_init(view.get(), world.get(), 1);
  EXPECT_FLOAT_EQ(view->fit_scale, 1);
}
