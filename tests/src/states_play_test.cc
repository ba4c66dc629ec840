// Play-side states under a real window: entering each through the stack with a running mod, a frame of
// loop and paint, events to the view or the mod screen, the "state" param switching between them, and
// the two-player split screen.
#include "states_play.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "chat.h"
#include "chat_panel.h"
#include "game.h"
#include "game_match.h"
#include "game_video.h"
#include "menus.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "mods_start.h"
#include "mods_update.h"
#include "net.h"
#include "states_pause.h"
#include "states_scene.h"
#include "vantor_paint_gl.h"

namespace {

// One user with two planets; every event the mod hears is logged in the "seen" param as type:value;
// "loops" counts the mod's frames.
const char *const MOD = R"(
function _init()
  local t = w2_team_init("t", 0xff0000)
  me = w2_user_init("me", 0xff0000, t)
  home = w2_planet_init(me, 100, 100, 10, 50)
  w2_planet_init(me, 300, 200, 10, 50)
  w2_param_set("player", me)
  w2_param_set("home", home)
  w2_param_set("state", START)
end
seen = ""
function _event(e)
  seen = seen .. tostring(e.type) .. ":" .. tostring(e.value) .. ";"
  w2_param_set("seen", seen)
  if e.value == "resume" then w2_param_set("state", AFTER or "play") end
end
function _loop(dt) loops = (loops or 0) + 1 w2_param_set("loops", loops) end
)";

class States : public PaintGlTest {
 protected:
  void SetUp() override {
    PaintGlTest::SetUp();
    snprintf(app_info->app_name, sizeof app_info->app_name, "vantor-states-test");
    g = std::make_unique<Game>();
    game = g.get();
    menus_init(game);
    states_init(game);
    state_change("menus_main", &game->names, -1);
  }
  void TearDown() override {
    mods_stop(game);
    states_delete_all();
    g.reset();
    game = nullptr;
    app_info->app_name[0] = 0;
    PaintGlTest::TearDown();
  }
  // Starts the mod with its first "state" and follows it onto the stack.
  void start(const char *state, const char *extra = "") {
    file("main.lua", std::string("START = '") + state + "'\n" + extra + MOD);
    snprintf(game->mod_file, sizeof game->mod_file, "%s/main.lua", folder.c_str());
    mods_start(game);
    mods_update(game);
  }
  void frame_run(float dt = 1.0f / 60) {
    state_loop(game->names.current, dt);
    state_paint(game->names.current);
  }
  void send(Event e) { state_event(game->names.current, e); }
  static Event key(int k) {
    Event e(EVT_KEYDOWN);
    e.key = k;
    return e;
  }
  // A pointer event at window pixel (x, y), turned into virtual units as the Game does.
  static Event pointer(int type, float x, float y, int button = 1) {
    Event e(type);
    e.x = x;
    e.y = y;
    e.button = button;
    states_screen_ui();
    gfx_event_to_virtual(e);
    return e;
  }
  std::string param(const char *key) { return game->mods->param_get(key).str(); }
  // A press and release on world point (x, y) of the Game's View: a tap on the planet there.
  void tap_world(float x, float y) {
    const float *m = game->view.world_to_screen;
    Event e(EVT_DOWN);
    e.x = m[0] * x + m[1] * y + m[3];
    e.y = m[4] * x + m[5] * y + m[7];
    e.button = 1;
    send(e);
    e.type = EVT_UP;
    send(e);
  }
  void pause_and_resume() {
    send(key(KEY_ESCAPE));
    mods_update(game);
    ASSERT_STREQ(game->names.current, "states_pause");
    frame_run();
    send(key(KEY_ESCAPE));
    ASSERT_STREQ(game->names.current, "states_play");
    frame_run();
  }
  int selected() { return view_selection_count(&game->view, &game->data.vantor); }
  // The mean of every channel of the frame just painted, 0..255.
  static double brightness() {
    const int w = app_info->width, h = app_info->height;
    std::vector<unsigned char> rgba((size_t)w * h * 4);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    double sum = 0;
    for (size_t i = 0; i < rgba.size(); i++) sum += i % 4 == 3 ? 0 : rgba[i];
    return sum / (3.0 * w * h);
  }
  // The player selects the planet at (100, 100) with a tap and picks a share with a digit key.
  void select_with_share(char digit) {
    tap_world(100, 100);
    Event e = key(0);
    e.ch = digit;
    send(e);
  }
  std::unique_ptr<Game> g;
};

// The camera of a View: what part of the world it shows and how.
struct Camera {
  float world_rect[4], rotation, fit_scale;
  explicit Camera(const View &v) : rotation(v.rotation), fit_scale(v.fit_scale) {
    memcpy(world_rect, v.world_rect, sizeof world_rect);
  }
  bool operator==(const Camera &o) const {
    return memcmp(world_rect, o.world_rect, sizeof world_rect) == 0 && rotation == o.rotation &&
           fit_scale == o.fit_scale;
  }
};

TEST_F(States, every_play_side_state_enters_through_the_stack_and_runs_a_frame) {
  start("play");
  for (const char *name : {"states_lobby", "states_menu", "states_play", "states_pause", "states_play2",
                           "states_pause2", "states_scene", "states_dialog", "states_overlay", "states_tabs"}) {
    state_change(name, &game->names, -1);
    ASSERT_STREQ(game->names.current, name);
    frame_run();
    frame_run();
  }
  state_change("states_play", &game->names, -1);
  EXPECT_EQ(static_cast<StatesMatch *>(state_find("states_play"))->user, game->mods->param_get("player").number());
}

TEST_F(States, each_layer_shows_the_screen_beneath_it_dimmed_but_the_overlay_leaves_it_bright) {
  // A grey backdrop whichever of the five the world picks, and the black the dimming draws with.
  for (int k = 1; k <= 5; k++) solid("background0" + std::to_string(k), 0x808080);
  solid("black", 0x000000);
  start("play");
  // The mod's "state" values of a screen and the layer over it; the last pair with a second player.
  const char *const pairs[][3] = {{"play", "pause", "states_pause"},
                                  {"scene", "dialog", "states_dialog"},
                                  {"scene", "overlay", "states_overlay"},
                                  {"play", "pause", "states_pause2"}};
  for (const auto &pair : pairs) {
    if (strcmp(pair[2], "states_pause2") == 0) game->mods->param_set("player2", game->mods->param_get("player"));
    game->mods->param_set("state", var(pair[0]));
    mods_update(game);
    frame_run();
    const double beneath = brightness();
    ASSERT_GT(beneath, 100) << pair[2];
    game->mods->param_set("state", var(pair[1]));
    mods_update(game);
    ASSERT_STREQ(game->names.current, pair[2]);
    frame();  // a black frame: the layer must paint the picture beneath again
    frame_run();
    const double ratio = brightness() / beneath;
    if (strcmp(pair[2], "states_overlay") == 0) {
      EXPECT_NEAR(ratio, 1, 0.05) << pair[2];
    } else {
      EXPECT_NEAR(ratio, 85.0 / 255, 0.05) << pair[2];  // black at alpha 170 over the picture
    }
  }
}

TEST_F(States, escape_in_play_pauses_through_the_mod_and_resume_returns) {
  start("play");
  ASSERT_STREQ(game->names.current, "states_play");
  StatesMatch *play = states_match_find("states_play");
  ASSERT_TRUE(play->root.find("pause"));
  send(key(KEY_ESCAPE));
  EXPECT_EQ(param("seen"), "pause:nil;");
  EXPECT_EQ(param("state"), "pause");
  mods_update(game);
  ASSERT_STREQ(game->names.current, "states_pause");
  EXPECT_FALSE(play->root.find("pause"));  // the layer hides the play screen's pause icon
  frame_run();
  send(key(KEY_ESCAPE));  // reaches the mod as a click, which decides to resume
  EXPECT_EQ(param("seen"), "pause:nil;onclick:resume;");
  EXPECT_STREQ(game->names.current, "states_play");
  EXPECT_TRUE(play->root.find("pause"));
}

TEST_F(States, escape_shuts_an_open_chat_before_it_pauses) {
  start("play");
  game->client = new Net();  // online: the match screen has the chat
  chat_start(game);
  state_change("states_play", &game->names, -1);
  ChatLog *log = dynamic_cast<ChatLog *>(states_match_find("states_play")->root.find("chat"));
  ASSERT_TRUE(log);
  log->height_set(100);  // opened by its icon
  send(key(KEY_ESCAPE));
  EXPECT_EQ(log->height(), 0);
  EXPECT_EQ(param("seen"), "") << "no pause yet";
  send(key(KEY_ESCAPE));
  EXPECT_EQ(param("state"), "pause");
}

TEST_F(States, a_local_match_stands_still_under_the_pause_layer) {
  start("play");
  frame_run();
  const std::string before = param("loops");
  game->mods->param_set("state", var("pause"));
  mods_update(game);
  ASSERT_STREQ(game->names.current, "states_pause");
  frame_run();
  EXPECT_EQ(param("loops"), before);
}

TEST_F(States, escape_in_the_lobby_asks_to_quit_and_in_the_menu_reaches_the_mod_as_resume) {
  start("menu", "AFTER = 'lobby'\n");
  ASSERT_STREQ(game->names.current, "states_menu");
  frame_run();
  send(key(KEY_ESCAPE));
  EXPECT_EQ(param("seen"), "onclick:resume;");
  ASSERT_STREQ(game->names.current, "states_lobby");
  frame_run();
  send(key(KEY_ESCAPE));
  EXPECT_EQ(param("seen"), "onclick:resume;quit:nil;");
  EXPECT_EQ(param("state"), "quit");  // the mod left "quit" set: the match ends
}

TEST_F(States, the_local_user_must_be_a_live_user_item) {
  start("play");
  const int home = (int)game->mods->param_get("home").number();
  game->mods->param_set("player", var(home));  // a planet, not a user
  EXPECT_EQ(states_user(game, 0), 0);
  game->mods->param_set("player", var(4095));  // a free slot
  EXPECT_EQ(states_user(game, 0), 0);
  game->mods->param_set("player", var(1e300));
  EXPECT_EQ(states_user(game, 0), 0);
  frame_run();
  send(pointer(EVT_DOWN, 100, 100));
  send(pointer(EVT_UP, 100, 100));
  EXPECT_EQ(view_selection_count(&game->view, &game->data.vantor), 0);
}

TEST_F(States, a_wheel_turn_in_play_steps_the_percent) {
  start("play");
  frame_run();
  const int before = game->view.percent;
  Event wheel = pointer(EVT_WHEEL, 240, 160);
  wheel.dy = 1;
  send(wheel);
  EXPECT_NE(game->view.percent, before);
}

// Whatever comes over the match and goes again, the player finds it as they left it.
TEST_F(States, a_pause_a_settings_popup_and_a_resize_keep_the_selection_the_percent_and_the_camera) {
  start("play");
  frame_run();
  select_with_share('3');
  ASSERT_EQ(selected(), 1);
  ASSERT_EQ(game->view.percent, 30);
  const Camera camera(game->view);

  pause_and_resume();
  EXPECT_EQ(selected(), 1);
  EXPECT_EQ(game->view.percent, 30);
  EXPECT_TRUE(Camera(game->view) == camera);

  state_push(&game->names, "menus_settings_popup");
  frame_run();
  state_pop(&game->names);
  ASSERT_STREQ(game->names.current, "states_play");
  EXPECT_EQ(selected(), 1);
  EXPECT_EQ(game->view.percent, 30);

  ASSERT_TRUE(game_video_resize(640, 320));
  game->state_reinit();
  frame_run();
  EXPECT_EQ(selected(), 1);
  EXPECT_EQ(game->view.percent, 30);
  EXPECT_EQ(game->view.screen_rect[2], (float)game_ui_width());  // laid out for the new screen
  EXPECT_EQ(game->view.screen_rect[3], (float)game_ui_height());
  game_video_resize(480, 320);
  game->state_reinit();
  EXPECT_TRUE(Camera(game->view) == camera);
  tap_world(100, 100);  // the planet is still where the player sees it: the tap deselects it
  EXPECT_EQ(selected(), 0);
}

// The camera takes in planets a mod places after it asked for the match screen.
TEST_F(States, the_match_screen_shows_planets_placed_after_the_state_was_set) {
  file("main.lua", R"(
function _init()
  local me = w2_user_init("me", 0xff0000, 0)
  w2_planet_init(me, 100, 100, 10, 50)
  w2_param_set("player", me)
  w2_param_set("state", "play")
  w2_planet_init(me, 900, 700, 10, 50)
end
)");
  snprintf(game->mod_file, sizeof game->mod_file, "%s/main.lua", folder.c_str());
  mods_start(game);
  mods_update(game);
  ASSERT_STREQ(game->names.current, "states_play");
  frame_run();
  const float *r = game->view.visible_rect;
  EXPECT_LE(r[0], 100);
  EXPECT_GE(r[0] + r[2], 900);
  EXPECT_GE(r[1] + r[3], 700);
}

// A new match is a new board: nothing of the last one's selection or percent is carried over.
TEST_F(States, a_new_match_starts_with_no_selection_and_the_settings_percent) {
  start("play");
  frame_run();
  select_with_share('9');
  ASSERT_EQ(selected(), 1);
  game->mods->game_reset();
  game->mods->param_set("state", var("menu"));
  mods_update(game);
  ASSERT_TRUE(game->mods_base);
  game->mods_base->init();  // the mod's _init builds the next match and returns to play
  mods_update(game);
  ASSERT_STREQ(game->names.current, "states_play");
  frame_run();
  EXPECT_EQ(selected(), 0);
  EXPECT_EQ(game->view.percent, 50);
}

class States2 : public States {
 protected:
  void SetUp() override {
    States::SetUp();
    start("play", "");
    game->mods->param_set("player2", var(game->mods->param_get("player")));
    mods_update(game);
  }
  StatesPlay2 *play2() { return static_cast<StatesPlay2 *>(state_find("states_play2")); }
  // Every entry point ends with View 0 and the whole screen loaded.
  void expect_view0() {
    EXPECT_EQ(play2()->current, 0);
    EXPECT_EQ(gfx_state->rotation, 0);
    EXPECT_EQ(gfx_state->screen.h, (float)app_info->height);
  }
};

TEST_F(States2, a_press_in_the_lower_half_stays_bound_to_it_until_release) {
  ASSERT_STREQ(game->names.current, "states_play2");
  frame_run();
  expect_view0();
  send(pointer(EVT_DOWN, 200, 300, 3));
  EXPECT_EQ(play2()->pointers[3], 2);
  expect_view0();
  send(pointer(EVT_MOVE, 200, 40, 3));  // across the divider: still the lower half's
  EXPECT_EQ(play2()->pointers[3], 2);
  send(pointer(EVT_UP, 200, 40, 3));
  EXPECT_EQ(play2()->pointers[3], 0);
  send(pointer(EVT_DOWN, 200, 40, 4));
  EXPECT_EQ(play2()->pointers[4], 1);
  expect_view0();
}

TEST_F(States2, keys_and_wheel_never_reach_the_halves_and_escape_pauses) {
  frame_run();
  const int p1 = play2()->views[1].percent;
  Event wheel = pointer(EVT_WHEEL, 200, 40);
  wheel.dy = 1;
  send(wheel);
  send(key(KEY_ESCAPE));
  play2_view_switch(play2(), 1);
  EXPECT_EQ(game->view.percent, p1);
  play2_view_switch(play2(), 0);
  EXPECT_EQ(param("state"), "pause");
  mods_update(game);
  EXPECT_STREQ(game->names.current, "states_pause2");
  EXPECT_FALSE(play2()->root.find("pause"));
  EXPECT_FALSE(play2()->root.find("pause2"));
  frame_run();
  expect_view0();
}

TEST_F(States2, the_pause_layer_keeps_each_halfs_selection_and_percent) {
  frame_run();
  const int home = (int)game->mods->param_get("home").number();
  for (int k = 1; k <= 2; k++) {
    play2()->views[k].percent = 20 + 10 * k;
    play2()->views[k].selection[home] = 1;
    play2()->views[k].selection_serial[home] = game->data.vantor.items[home].sync_id;
  }
  send(key(KEY_ESCAPE));
  mods_update(game);
  ASSERT_STREQ(game->names.current, "states_pause2");
  frame_run();
  send(key(KEY_ESCAPE));
  ASSERT_STREQ(game->names.current, "states_play2");
  frame_run();
  for (int k = 1; k <= 2; k++) {
    EXPECT_EQ(play2()->views[k].percent, 20 + 10 * k) << k;
    EXPECT_EQ(play2()->views[k].selection[home], 1u) << k;
  }
  expect_view0();
}

// The window rows [top, bottom) of the last frame: the bounding box of the pixels of the marker
// colour (magenta), x0 < 0 when there are none.
struct MarkBox {
  int x0 = -1, y0 = -1, x1 = -1, y1 = -1;
};
static MarkBox mark_box(int top, int bottom) {
  const int w = app_info->width, h = app_info->height;
  std::vector<unsigned char> rgba((size_t)w * h * 4);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  MarkBox b;
  for (int y = top; y < bottom; y++) {
    for (int x = 0; x < w; x++) {
      const unsigned char *p = &rgba[((size_t)(h - 1 - y) * w + x) * 4];
      if (p[0] < 200 || p[1] > 80 || p[2] < 200) continue;
      if (b.x0 < 0) b = {x, y, x, y};
      b.x0 = std::min(b.x0, x), b.x1 = std::max(b.x1, x), b.y0 = std::min(b.y0, y), b.y1 = std::max(b.y1, y);
    }
  }
  return b;
}

TEST_F(States2, the_pause_page_shows_in_each_half_turned_to_its_player_and_answers_a_tap_in_either) {
  // A marker left of a blank as wide again: the page is centred, the marker is not.
  solid("mark", 0xff00ff);
  solid("blank", 0x000000);
  game->mods->param_set("remove_quit", var(1));
  game->mods->param_set("html", var("<table valign=top><tr><td><input type=image src=mark width=60 height=40 "
                                    "onclick=mark><td><img src=blank width=120 height=40></table>"));
  frame_run();
  send(key(KEY_ESCAPE));
  mods_update(game);
  ASSERT_STREQ(game->names.current, "states_pause2");
  frame_run();
  const int w = app_info->width, h = app_info->height;
  const MarkBox upper = mark_box(0, h / 2), lower = mark_box(h - h / 2, h);
  ASSERT_GE(upper.x0, 0);
  ASSERT_GE(lower.x0, 0) << "the lower half shows no page";
  // The upper copy sits at the top, left of the middle, as laid out; the lower one is the same page
  // turned half round, so it sits at the bottom, right of the middle, each edge mirrored.
  EXPECT_LT(upper.x1, w / 2);
  EXPECT_LT(upper.y1, h / 2);
  EXPECT_NEAR(lower.x0, w - 1 - upper.x1, 1);
  EXPECT_NEAR(lower.x1, w - 1 - upper.x0, 1);
  EXPECT_NEAR(lower.y0, h - 1 - upper.y1, 1);
  EXPECT_NEAR(lower.y1, h - 1 - upper.y0, 1);
  for (const MarkBox &b : {upper, lower}) {
    const float x = (b.x0 + b.x1) / 2.0f, y = (b.y0 + b.y1) / 2.0f;
    send(pointer(EVT_DOWN, x, y));
    send(pointer(EVT_UP, x, y));
  }
  const std::string seen = param("seen");
  const size_t first = seen.find("onclick:mark;");
  ASSERT_NE(first, std::string::npos) << seen;
  EXPECT_NE(seen.find("onclick:mark;", first + 1), std::string::npos) << seen;
  expect_view0();
}

TEST_F(States, a_tap_in_the_scene_reaches_the_mod_and_escape_asks_for_the_dialog) {
  start("scene");
  ASSERT_STREQ(game->names.current, "states_scene");
  frame_run();
  send(pointer(EVT_DOWN, 100, 100));
  send(pointer(EVT_UP, 100, 100));
  EXPECT_EQ(param("seen").substr(0, 8), "ui:down:");
  EXPECT_NE(param("seen").find("ui:up:"), std::string::npos);
  EXPECT_EQ(view_selection_count(&game->view, &game->data.vantor), 0);
  send(key(KEY_ESCAPE));
  EXPECT_EQ(param("state"), "dialog");
  mods_update(game);
  EXPECT_STREQ(game->names.current, "states_dialog");
  EXPECT_EQ(game->view.hud_mode, 1);
}

}  // namespace
