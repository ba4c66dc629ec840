// The match view's input: gestures on a world of a few planets become selection, percent and orders.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "game.h"
#include "kez_gfx.h"
#include "kez_var.h"
#include "net.h"
#include "vantor_fleet.h"
#include "vantor_step.h"
#include "vantor_view.h"
#include "vantor_view_internal.h"
#include "vantor_world.h"

namespace {

// A 1280 x 720 world shown 1:1 (no HUD margins), so screen points are world points.
class ViewInput : public testing::Test {
 protected:
  void SetUp() override {
    srand(7);
    gfx_init();
    gfx_state->virtual_w = 1280;
    gfx_state->virtual_h = 720;
    vantor_world_reset(world);
    const float fixed[4] = {0, 0, 1280, 720};
    memcpy(world->view_rect, fixed, sizeof fixed);
    neutral = vantor_user_init(world, 0x555555, 0, "neutral")->n;
    player = vantor_user_init(world, 0x00FF00, 0, "player")->n;
    enemy = vantor_user_init(world, 0xFF0000, 0, "enemy")->n;
    home = planet(player, 100, 360, 100);
    second = planet(player, 300, 360, 60);
    foe = planet(enemy, 700, 360, 20);
    free_planet = planet(neutral, 500, 600, 10);
    view->hud_mode = 1;
    view_init(view, world, 1);
  }
  void TearDown() override {
    SDL_SetModState(KMOD_NONE);
    gfx_deinit();
  }

  int planet(int owner, float x, float y, float ships) { return vantor_planet_init(world, owner, x, y, 15, ships)->n; }
  Item &item(int n) { return world->items[n]; }
  void option(int word, int on) { view->ui[word] = on ? 1 : -1; }

  int event(int type, float x, float y, int button, float dx = 0, float dy = 0) {
    Event e(type);
    e.x = x;
    e.y = y;
    e.dx = dx;
    e.dy = dy;
    e.button = button;
    return view_event(world, view, player, e, 0);
  }
  void press(int n, int button = 1) { event(EVT_DOWN, item(n).position_x, item(n).position_y, button); }
  void release(int n, int button = 1) { event(EVT_UP, item(n).position_x, item(n).position_y, button); }
  void tap(int n) {
    press(n);
    release(n);
  }
  // Moves from the last point to (x, y) holding `mask`.
  void move_to(float x, float y, int mask = 1) {
    event(EVT_MOVE, x, y, mask, x - last_x, y - last_y);
    last_x = x;
    last_y = y;
  }
  void drag(int from, int to) {
    press(from);
    last_x = item(from).position_x;
    last_y = item(from).position_y;
    move_to(item(to).position_x, item(to).position_y);
    release(to);
  }
  // Live fleets flying to planet `to`.
  int fleets_to(int to) {
    int count = 0;
    for (const Item &i : world->items) count += i.in_use && i.has_fleet && i.fleet_target == (uint32_t)to;
    return count;
  }
  // Some live ship of fleet n.
  const Item *ship_of(int n) {
    for (const Item &i : world->items) {
      if (i.in_use && i.is_ship && i.fleet_n == (uint32_t)n) return &i;
    }
    return nullptr;
  }
  bool selected(int n) { return view->selection[n] != 0; }
  // A fleet of the second planet on its way to the neutral one, its ships well clear of every planet.
  int launch() {
    const int fleet = vantor_fleet_send(world, second, free_planet, 50);
    for (int i = 0; i < 120; i++) vantor_step(world, 1.0f / 60, true);
    const Item *ship = ship_of(fleet);
    EXPECT_NE(ship, nullptr);
    EXPECT_GT(std::hypot(ship->position_x - 300, ship->position_y - 360), 60) << "the ships left their planet";
    return fleet;
  }

  std::unique_ptr<World> world_holder = std::make_unique<World>();
  std::unique_ptr<View> view_holder = std::make_unique<View>();
  World *world = world_holder.get();
  View *view = view_holder.get();
  int neutral = 0, player = 0, enemy = 0;
  int home = 0, second = 0, foe = 0, free_planet = 0;
  float last_x = 0, last_y = 0;
};

}  // namespace

TEST_F(ViewInput, dragging_from_an_own_planet_to_an_enemy_sends_every_selected_planet) {
  option(VIEW_UI_DRAG_DROP, 1);
  tap(second);
  ASSERT_TRUE(selected(second));
  drag(home, foe);
  EXPECT_EQ(fleets_to(foe), 2);
  EXPECT_NEAR(item(home).ships_value, 50, 1e-3);
  EXPECT_NEAR(item(second).ships_value, 30, 1e-3);
  EXPECT_EQ(view_selection_count(view, world), 0);  // an order ends the selection
  for (int i = 0; i < 600 && item(foe).owner_n != player; i++) vantor_step(world, 1.0f / 60, true);
  EXPECT_EQ(item(foe).owner_n, player) << "the fleets fly and capture";
}

TEST_F(ViewInput, a_drag_released_over_empty_space_sends_to_the_planet_it_last_crossed) {
  option(VIEW_UI_DRAG_DROP, 1);
  press(home);
  last_x = 100, last_y = 360;
  move_to(700, 360);  // over the enemy planet: the target
  move_to(900, 100);  // off every planet: the target stays
  event(EVT_UP, 900, 100, 1);
  EXPECT_EQ(fleets_to(foe), 1);

  tap(home);
  event(EVT_DOWN, 900, 100, 1);  // a tap on empty space without a target: deselects
  event(EVT_UP, 900, 100, 1);
  EXPECT_FALSE(selected(home));
}

TEST_F(ViewInput, without_drag_and_drop_the_order_needs_a_press_on_the_target) {
  drag(home, foe);
  EXPECT_EQ(fleets_to(foe), 0);
  EXPECT_TRUE(selected(home));
  press(foe);
  EXPECT_EQ(fleets_to(foe), 1);
  EXPECT_FALSE(selected(home));
}

TEST_F(ViewInput, taps_select_and_deselect_and_a_double_select_takes_every_own_planet) {
  tap(home);
  EXPECT_EQ(view->selection[home], (uint32_t)VIEW_SLOT) << "stays selected after the release";
  tap(home);
  EXPECT_FALSE(selected(home));

  option(VIEW_UI_DOUBLE_SELECT, 1);
  tap(home);
  tap(home);
  EXPECT_TRUE(selected(home));
  EXPECT_TRUE(selected(second));
  EXPECT_FALSE(selected(foe));

  view_slot_clear(view, VIEW_SLOT);
  SDL_SetModState(KMOD_LSHIFT);  // shift-press: all own planets at once
  tap(second);
  EXPECT_TRUE(selected(home));
  EXPECT_TRUE(selected(second));
}

TEST_F(ViewInput, a_press_on_a_planet_of_someone_else_selects_nothing) {
  option(VIEW_UI_DRAG_DROP, 1);
  option(VIEW_UI_BOX, 1);
  tap(foe);
  tap(free_planet);
  EXPECT_EQ(view_selection_count(view, world), 0);
  EXPECT_EQ(view->pointers[VIEW_SLOT].target, 0);

  // With no local user nothing is owned, not even the planets whose owner_n is 0 like the user's.
  const int unowned = planet(0, 1000, 100, 50);
  Event e(EVT_DOWN);
  e.x = 1000, e.y = 100, e.button = 1;
  view_event(world, view, 0, e, 0);
  e.type = EVT_UP;
  view_event(world, view, 0, e, 0);
  EXPECT_FALSE(selected(unowned));
}

TEST_F(ViewInput, the_right_button_always_orders_and_right_only_ignores_left_releases_elsewhere) {
  option(VIEW_UI_DRAG_DROP, 1);
  option(VIEW_UI_RIGHT_ONLY, 1);
  tap(home);
  press(foe);  // left press on a target: no order in right-only mode
  release(foe);
  EXPECT_EQ(fleets_to(foe), 0);
  EXPECT_TRUE(selected(home));
  press(foe, 2);  // the middle button plays no part
  EXPECT_EQ(fleets_to(foe), 0);
  press(foe, 3);
  release(foe, 3);
  EXPECT_EQ(fleets_to(foe), 1);

  drag(second, foe);  // a gesture that began on an own planet still orders with the left button
  EXPECT_EQ(fleets_to(foe), 2);
}

TEST_F(ViewInput, a_box_selects_own_planets_and_a_small_one_acts_as_a_tap) {
  option(VIEW_UI_BOX, 1);
  event(EVT_DOWN, 50, 300, 1);
  last_x = 50, last_y = 300;
  move_to(350, 420);
  EXPECT_EQ(view->pointers[VIEW_SLOT].box, 1);
  event(EVT_UP, 350, 420, 1);
  EXPECT_TRUE(selected(home));
  EXPECT_TRUE(selected(second));
  EXPECT_EQ(view->pointers[VIEW_SLOT].box, 0);

  event(EVT_DOWN, 600, 200, 1);  // a box over nothing of the user's clears the selection
  last_x = 600, last_y = 200;
  move_to(800, 400);
  event(EVT_UP, 800, 400, 1);
  EXPECT_EQ(view_selection_count(view, world), 0);
}

TEST_F(ViewInput, fleets_in_flight_are_selected_by_box_or_tap_and_redirected) {
  option(VIEW_UI_BOX, 1);
  const int fleet = launch();
  const float sx = ship_of(fleet)->position_x, sy = ship_of(fleet)->position_y;
  event(EVT_DOWN, sx - 40, sy - 40, 1);  // a box that catches no planet takes the fleets inside
  last_x = sx - 40, last_y = sy - 40;
  move_to(sx + 40, sy + 40);
  event(EVT_UP, sx + 40, sy + 40, 1);
  EXPECT_TRUE(selected(fleet));
  press(foe);
  EXPECT_EQ(item(fleet).fleet_target, (uint32_t)foe);
  EXPECT_EQ(ship_of(fleet)->target_n, (uint32_t)foe);

  event(EVT_DOWN, sx, sy, 1);  // a tap on one of its ships
  event(EVT_UP, sx, sy, 1);
  EXPECT_TRUE(selected(fleet));

  item(player).ui_fleet_redirect = 0;  // without redirects ships cannot be picked
  view_slot_clear(view, VIEW_SLOT);
  event(EVT_DOWN, sx, sy, 1);
  event(EVT_UP, sx, sy, 1);
  EXPECT_FALSE(selected(fleet));
}

TEST_F(ViewInput, the_percent_follows_digits_and_the_wheel_within_5_to_100) {
  Event key(EVT_KEYDOWN);
  key.ch = '0';
  EXPECT_EQ(view_event(world, view, player, key, 0), 1);
  EXPECT_EQ(view->percent, 100);
  key.ch = '5';
  view_event(world, view, player, key, 0);
  EXPECT_EQ(view->percent, 50);

  Event wheel(EVT_WHEEL);
  wheel.dy = 1;
  for (int i = 0; i < 30; i++) view_event(world, view, player, wheel, 0);
  EXPECT_EQ(view->percent, 5);
  option(VIEW_UI_WHEEL_INVERT, 1);
  view_event(world, view, player, wheel, 0);
  EXPECT_EQ(view->percent, 10);
  for (int i = 0; i < 30; i++) view_event(world, view, player, wheel, 0);
  EXPECT_EQ(view->percent, 100);

  // A settings word out of range never reaches an order.
  view->ui[VIEW_UI_PERCENT] = 250;
  view_init(view, world, 1);
  EXPECT_EQ(view->percent, 100);
  view->ui[VIEW_UI_PERCENT] = -1;
  view_init(view, world, 1);
  EXPECT_EQ(view->percent, 50);
  view->percent = 0;  // a View nobody laid out
  tap(home);
  press(foe);
  EXPECT_EQ(fleets_to(foe), 1);
  EXPECT_NEAR(item(home).ships_value, 95, 1e-3);
}

TEST_F(ViewInput, home_recentres_and_clears_the_selection) {
  tap(home);
  Event key(EVT_KEYDOWN);
  key.key = KEY_HOME;
  EXPECT_EQ(view_event(world, view, player, key, 0), 1);
  EXPECT_FALSE(selected(home));
  key.key = KEY_A;
  EXPECT_EQ(view_event(world, view, player, key, 0), 0);
}

TEST_F(ViewInput, a_selected_item_that_was_freed_or_replaced_is_never_ordered) {
  tap(home);
  vantor_item_destroy(world, home);
  press(foe);
  EXPECT_EQ(fleets_to(foe), 0);
  EXPECT_FALSE(selected(home));
  // A planet of the player's made in the slot of a selected one the mod destroyed.
  tap(second);
  vantor_item_destroy(world, second);
  world->item_cursor = (uint32_t)second - 1;
  ASSERT_EQ(planet(player, 300, 360, 60), second);
  press(foe);
  release(foe);
  EXPECT_EQ(fleets_to(foe), 0);
  EXPECT_FALSE(selected(second));
}

TEST_F(ViewInput, wild_pointer_values_stay_bounded) {
  option(VIEW_UI_BOX, 1);
  const int fleet = launch();
  tap(home);
  event(EVT_MOVE, 500, 500, 1, 1e30f, -1e30f);
  event(EVT_MOVE, 500, 500, 0, NAN, 0);
  event(EVT_DOWN, NAN, INFINITY, 1);
  event(EVT_UP, NAN, INFINITY, 1);
  EXPECT_EQ(fleets_to(foe), 0);
  EXPECT_EQ(view->pointers[VIEW_SLOT].target, 0);
  EXPECT_FALSE(selected(fleet)) << "a box without bounds holds nothing";
  view_order(world, view, player, 99);  // a slot that does not exist
  view_slot_clear(view, -1);

  const float fit = view->fit_scale;
  view_set(view, world, 0, 0, NAN, 100);
  EXPECT_EQ(view->fit_scale, fit);
  view_set(view, world, 0, 0, 2560, 1440);
  EXPECT_FLOAT_EQ(view->fit_scale, 2);
}

TEST_F(ViewInput, a_button_item_takes_the_pointer_and_names_itself_to_mods) {
  Item *button = vantor_item_alloc(world);
  button->has_button = 1;
  button->position_x = 100;
  button->position_y = 360;
  button->image_w = button->image_h = 40;
  button->image_cx = button->image_cy = 20;
  button->image_scale = 1;
  memcpy(button->button_name, "launch-launch-la", 16);  // a full field without its NUL
  tap(home);
  EXPECT_FALSE(selected(home));

  Event e(EVT_DOWN);
  e.button = 1;
  var dict = view_mods_dict(world, e, 110, 350, 0, 0);
  EXPECT_EQ(dict["type"].str(), "ui:down");
  EXPECT_EQ(dict["n"].number(), button->n);
  EXPECT_EQ(dict["value"].str(), "launch-launch-la");
  EXPECT_EQ(dict["x"].number(), 110);
  dict = view_mods_dict(world, e, 900, 100, 0, 0);
  EXPECT_EQ(dict["n"].number(), 0);
  EXPECT_EQ(dict["value"].str(), "");
}

TEST_F(ViewInput, a_match_client_sends_orders_to_the_server_instead_of_moving_ships) {
  const int fleet = launch();
  const float sx = ship_of(fleet)->position_x, sy = ship_of(fleet)->position_y;
  const float home_ships = item(home).ships_value;
  std::unique_ptr<Game> g(new Game());
  game = g.get();
  std::unique_ptr<Net> client(new Net());
  g->client = client.get();
  item(foe).server_n = 42;  // a copy of the server's item 42
  tap(home);
  press(foe);
  EXPECT_EQ(fleets_to(foe), 0);
  EXPECT_EQ(item(home).ships_value, home_ships);
  ASSERT_EQ(client->outgoing.size(), 1u);
  EXPECT_EQ(client->outgoing[0].type, "send");
  EXPECT_EQ(client->outgoing[0].data, "50 " + std::to_string(home) + " 42 " + std::to_string(item(home).sync_id));
  EXPECT_EQ(client->outgoing[0].flags, NET_RELIABLE);

  event(EVT_DOWN, sx, sy, 1);
  event(EVT_UP, sx, sy, 1);
  press(foe);
  ASSERT_EQ(client->outgoing.size(), 2u);
  EXPECT_EQ(client->outgoing[1].type, "redirect");
  EXPECT_EQ(client->outgoing[1].data, std::to_string(fleet) + " 42 " + std::to_string(item(fleet).sync_id));
  EXPECT_EQ(item(fleet).fleet_target, (uint32_t)free_planet);
  g.reset();
}
