// The planet layout generator screen: seeded random planets shaken apart on screen.
#include "test_magnetset.h"

#include "kez_rand.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "game.h"
#include "game_video.h"
#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "kez_log.h"
#include "mods_start.h"
#include "test.h"
#include "vantor_fleet.h"
#include "vantor_hud.h"
#include "vantor_paint.h"
#include "vantor_planet_style.h"
#include "vantor_step.h"
#include "vantor_world.h"

constexpr int MAGNET_PLANETS = 24;
constexpr int MAGNET_PASSES = 250;
constexpr int MAGNET_SHAKEN_PASSES = 200;  // the last passes only settle
constexpr float MAGNET_SHAKE = 10;         // the most a pass moves a planet along each axis
constexpr float MAGNET_BORDER = 40;        // planets keep this far from the screen's edges
constexpr int MAGNET_SPAWN_MARGIN = 100;   // planets start this far from the screen's edges
constexpr int MAGNET_MARK_CUT = 20;        // a marked neutral planet produces this much less
constexpr float MAGNET_ICON = 34;

static const char *const MAGNET_AURA = "planet-aura";

struct MagnetUser {
  const char *name;
  uint32_t color;
  const char *preset;
};

// In owner order: planet i belongs to user i mod 4.
static const MagnetUser MAGNET_USERS[] = {{"neutral", 0x555555, "neutral"},
                                          {"player", 0x00FF00, "gas"},
                                          {"enemy", 0xFF0000, "lava"},
                                          {"enemy", 0x5555FF, "ice"}};

// A marked neutral planet: its production was cut from 125, 175 or 225.
static bool _magnet_marked(const Item &planet) {
  const int p = (int)(planet.ships_production + MAGNET_MARK_CUT);
  return planet.has_planet && (p == 125 || p == 175 || p == 225);
}

// A random coordinate margin..size - margin; a screen too small for that gives the margin.
static float _magnet_spawn(float size) {
  const int span = (int)(size - MAGNET_SPAWN_MARGIN) - MAGNET_SPAWN_MARGIN;
  return (float)(span > 0 ? rand() % span + MAGNET_SPAWN_MARGIN : MAGNET_SPAWN_MARGIN);
}

// One random step in -MAGNET_SHAKE..MAGNET_SHAKE.
static float _magnet_shake() { return (float)rand15() / 32767.0f * 2 * MAGNET_SHAKE - MAGNET_SHAKE; }

// v kept so that v - r >= border and v + r <= size - border (the low edge wins on a small screen).
static float _magnet_keep(float v, float r, float size) {
  return std::max(std::min(v, size - MAGNET_BORDER - r), MAGNET_BORDER + r);
}

// The four users; their item numbers into users.
static void _magnet_users(World *world, int users[4]) {
  for (int i = 0; i < 4; i++) {
    const MagnetUser &u = MAGNET_USERS[i];
    Item *user = vantor_user_init(world, u.color, 0, u.name);
    users[i] = (int)user->n;
    if (i == 0) user->ships_production_enabled = 0;
    if (i == 1) user->has_player = 1;
    planet_style_preset(users[i], world, u.color, u.color, u.preset, MAGNET_AURA);
  }
}

static void _magnet_planets(World *world, const int users[4], float ui_w, float ui_h) {
  for (int i = 0; i < MAGNET_PLANETS; i++) {
    const bool neutral = i % 4 == 0;
    float p = 100.0f + 25.0f * (float)(i / 4);
    if (p == 225 && !neutral) continue;
    if (neutral && (p == 125 || p == 175 || p == 225)) p -= MAGNET_MARK_CUT;
    const float ships = (float)(rand() % 200);
    const float y = _magnet_spawn(ui_h);  // y is drawn before x
    const float x = _magnet_spawn(ui_w);
    Item *planet = vantor_planet_init(world, users[i % 4], x, y, p, ships);
    if (!planet->in_use) continue;
    planet->mass = 1;
    planet->collide_r += _magnet_marked(*planet) ? 25 : 15;
  }
}

// Shakes every planet for the first passes, keeps it on screen and lets the collisions settle it.
static void _magnet_shake_all(World *world, float ui_w, float ui_h) {
  for (int pass = 0; pass < MAGNET_PASSES; pass++) {
    for (Item &planet : world->items) {
      if (!planet.in_use || !planet.has_planet) continue;
      if (pass < MAGNET_SHAKEN_PASSES) {
        planet.position_x += _magnet_shake();
        planet.position_y += _magnet_shake();
      }
      planet.position_x = _magnet_keep(planet.position_x, planet.planet_r, ui_w);
      planet.position_y = _magnet_keep(planet.position_y, planet.planet_r, ui_h);
    }
    vantor_planets_settle(world, 0, 0, 0, 0);
  }
}

static void _magnet_sparks(World *world) {
  for (Item &planet : world->items) {
    if (!planet.in_use || !_magnet_marked(planet)) continue;
    vantor_sparks_spawn(world, planet.position_x, planet.position_y, planet.planet_r);
    planet_style_preset((int)planet.n, world, 0x555555, 0x555555, "neutral", MAGNET_AURA);
  }
}

// The quit button: the "quit" image answering a click with {"type": "quit"}.
static Widget *_magnet_quit() {
  Widget *quit = new Widget();
  quit->id = "quit";
  quit->focusable = 1;
  StyleRecord &base = quit->style.records[STYLE_BASE];
  base.width = base.height = MAGNET_ICON;
  base.bg_image = gfx_img_load("quit");
  var_dict0(quit->action.click);
  quit->action.click["type"] = var("quit");
  return quit;
}

static void _magnet_page(Container &root, float ui_w, float ui_h) {
  menus_page_reset(root);
  Widget *screen = new Widget();
  screen->style.records[STYLE_BASE].width = ui_w;
  screen->style.records[STYLE_BASE].height = ui_h;
  root.add_at(screen, 0, 0);
  root.add_at(_magnet_quit(), 0, 0);
}

// The local player's user item; 0 when there is none.
static int _magnet_player(const World *world) {
  for (const Item &item : world->items)
    if (item.in_use && item.has_user && item.has_player) return (int)item.n;
  return 0;
}

void TestMagnetSet::init() {
  // The layouts are this screen's own world: a mod still running (the home screen that opened this
  // page) would take the pointer events and the screen back, and every exit leads to a new mod anyway.
  mods_stop(game);
  seed += 1;
  running = 1;
  srand((unsigned)seed);
  LOG_PRINTF("seed: %d\n", seed);
  const float ui_w = (float)game_ui_width(), ui_h = (float)game_ui_height();
  _magnet_page(root, ui_w, ui_h);
  World *world = &game->data.vantor;
  vantor_world_reset(world);
  memcpy(game->view.ui, &game->settings.ui_box, sizeof game->view.ui);
  int users[4];
  _magnet_users(world, users);
  _magnet_planets(world, users, ui_w, ui_h);
  _magnet_shake_all(world, ui_w, ui_h);
  _magnet_sparks(world);
  world->time = 100;
  game->view.initialised = 0;
}

void TestMagnetSet::paint() {
  gfx_state->virtual_w = (float)game_ui_width();
  gfx_state->virtual_h = (float)game_ui_height();
  gfx_clear();
  gfx_ortho();
  World *world = &game->data.vantor;
  const int player = _magnet_player(world);
  sys_paint(&game->view, world, player, 1);
  hud_paint(&game->view, world, player);
  gfx_ortho();
  root.layout_inner();
  root.paint_inner();
}

void TestMagnetSet::event(Event e) {
  if (e.type == EVT_KEYDOWN && e.key == KEY_ESCAPE) {
    tests_leave(game);
    return;
  }
  // Space is the deal's own key: its release must not press the focused quit button.
  if ((e.type == EVT_KEYDOWN || e.type == EVT_KEYUP) && e.key == KEY_SPACE) {
    if (e.type == EVT_KEYDOWN) init();
    return;
  }
  var action = root.on_event(e);
  if (action.type() == VAR_DICT && action["type"].str() == "quit") {
    tests_leave(game);
    return;
  }
  World *world = &game->data.vantor;
  view_event(world, &game->view, _magnet_player(world), e, 1);
}

void TestMagnetSet::loop(float dt) {
  root.loop();
  if (running == 1) vantor_step(&game->data.vantor, dt, false);
}
