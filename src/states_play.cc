// Play-side states: registration, the lobby, the mod's menu screen and the one- and two-player match.
#include "states_play.h"

#include <GL/glew.h>

#include <cstddef>
#include <cstring>
#include <functional>

#include "chat.h"
#include "chat_panel.h"
#include "game.h"
#include "game_match.h"
#include "game_video.h"
#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "menus.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "mods_update.h"
#include "states_pause.h"
#include "states_scene.h"
#include "vantor_hud.h"
#include "vantor_paint.h"

constexpr int ICON_BAND = 44;        // a pause icon's square
constexpr float LOBBY_WORLD = 320;   // the lobby's backdrop is laid out for a world of this size
constexpr float DIVIDER_HALF_H = 5;  // half the height of the line between the two halves
static const char *const LOBBY_BACKGROUND = "background05";

// The View keeps a copy of the 64 settings words from ui_box on, and names the words it reads by their
// place in that copy.
static_assert(offsetof(GameSettings, ui_box) + sizeof(View::ui) <= sizeof(GameSettings), "ui words fit");
static constexpr size_t _states_ui_word(size_t offset) { return (offset - offsetof(GameSettings, ui_box)) / 4; }
static_assert(_states_ui_word(offsetof(GameSettings, ui_box)) == VIEW_UI_BOX);
static_assert(_states_ui_word(offsetof(GameSettings, ui_double_select)) == VIEW_UI_DOUBLE_SELECT);
static_assert(_states_ui_word(offsetof(GameSettings, ui_double_reinforce)) == VIEW_UI_DOUBLE_REINFORCE);
static_assert(_states_ui_word(offsetof(GameSettings, ui_percent)) == VIEW_UI_PERCENT);
static_assert(_states_ui_word(offsetof(GameSettings, ui_wheel_invert)) == VIEW_UI_WHEEL_INVERT);
static_assert(_states_ui_word(offsetof(GameSettings, ui_right_only)) == VIEW_UI_RIGHT_ONLY);
static_assert(_states_ui_word(offsetof(GameSettings, ui_slider)) == VIEW_UI_SLIDER);
static_assert(_states_ui_word(offsetof(GameSettings, ui_lefty)) == VIEW_UI_LEFTY);
static_assert(_states_ui_word(offsetof(GameSettings, ui_drag_drop)) == VIEW_UI_DRAG_DROP);
static_assert(_states_ui_word(offsetof(GameSettings, ui_colorblind)) == VIEW_UI_COLORBLIND);

void states_screen_ui() {
  gfx_state->rotation = 0;
  gfx_state->virtual_w = (float)game_ui_width();
  gfx_state->virtual_h = (float)game_ui_height();
  gfx_state->screen = {0, 0, (float)app_info->width, (float)app_info->height};
  game_video_fit();
  gfx_ortho();
}

bool states_escape(const Event &e) { return e.type == EVT_KEYDOWN && e.key == KEY_ESCAPE; }

var states_resume() {
  var action;
  var_dict2(action, "type", "onclick", "value", "resume");
  return action;
}

// A dict action's "type"; empty for anything else.
static std::string _states_type(const var &action) {
  if (action.type() != VAR_DICT || !action.has(var("type"))) return "";
  return action["type"].str();
}

int states_user(Game *g, int which) {
  // "player" and "player2" come from the mod: only a live user item may command the view.
  const int n = vantor_player_mark(g, which);
  const Item &item = g->data.vantor.items[n];
  return n > 0 && n < VANTOR_ITEMS && item.in_use && item.has_user ? n : 0;
}

StatesMatch *states_match_find(const char *name) { return dynamic_cast<StatesMatch *>(state_find(name)); }

void StatesMatch::build() {
  menus_page_reset(root);
  Widget *screen = new Widget();
  screen->style.records[STYLE_BASE].width = (float)game_ui_width();
  screen->style.records[STYLE_BASE].height = (float)game_ui_height();
  root.add_at(screen, 0, 0);
}

// Adds a pause icon of that name to the root at x, y.
static void _states_pause_add(Container &root, const char *id, int x, int y) {
  WPause *pause = new WPause();
  pause->id = id;
  root.add_at(pause, x, y);
}

void StatesMatch::build_full(int chat_mode) {
  StatesMatch::build();
  chat_panel_build(game, &root, chat_mode, 0);
  _states_pause_add(root, "pause", game_ui_width() - ICON_BAND, 0);
}

void StatesMatch::world_paint(bool hud) {
  World *world = &game->data.vantor;
  states_screen_ui();
  background_paint(world);
  stars_paint(world);
  gfx_ortho();
  sys_paint(&game->view, world, user, 0);
  if (hud) hud_paint(&game->view, world, user);
  gfx_ortho();
  root.layout_inner();
  root.paint_inner();
}

void StatesMatch::deinit() { chat_input_save(game, &root); }

bool StatesMatch::event_to_world(Event e, var &action) {
  if (ModsAPI::console_event(game, e)) return true;  // a shown console takes the keys first
  action = root.on_event(e);
  if (chat_panel_event(game, &root, e, action)) return true;
  if (states_escape(e)) {
    if (chat_panel_close(&root)) return true;  // Escape leaves the chat before it leaves the match
    action = widget_action("pause");
  }
  if (action.type() == VAR_DICT) return false;
  view_event(&game->data.vantor, &game->view, user, e, 1);
  return true;
}

// The settings' ui words into a View's copy.
static void _states_ui_copy(Game *g, View *view) {
  const char *words = reinterpret_cast<const char *>(&g->settings) + offsetof(GameSettings, ui_box);
  memcpy(view->ui, words, sizeof view->ui);
}

// A gesture cut off by another screen must not carry on when the match comes back; the selection,
// the percent and the camera are the player's and stay.
static void _states_gestures_clear(View *view) {
  memset(view->pointers, 0, sizeof view->pointers);
  view->slider_saved = 0;
}

void states_match_enter(StatesMatch *state, int hud_mode) {
  Game *g = state->game;
  View *view = &g->view;
  World *world = &g->data.vantor;
  view->hud_mode = hud_mode;
  state->user = 0;
  _states_ui_copy(g, view);
  state->build();
  state->user = states_user(g, 0);
  chat_panel_loop(g, &state->root);
  _states_gestures_clear(view);
  // A mod may place planets after it asked for this screen: the camera takes in the whole board
  // (the same one again when the board did not change, as after a pause).
  view_world_bounds(world, view->world_rect);
  view_screen_set(view, world, (float)game_ui_width(), (float)game_ui_height());
}

bool play_key_to_chat(StatesMatch *state, const Event &e) {
  if (e.type != EVT_KEYDOWN && e.type != EVT_KEYUP) return false;
  var action;
  return chat_panel_event(state->game, &state->root, e, action);
}

// The shared answers of the lobby and the menu: quit, the settings popup, or the mod's own action.
static void _states_dispatch(Game *g, const var &action) {
  const std::string type = _states_type(action);
  if (type == "quit") {
    states_quit_event(g, action);
  } else if (type == "settings") {
    state_push(&g->names, "menus_settings_popup");
  } else if (action.type() == VAR_DICT) {
    mods_event(g, action);
  }
}

// The pause action: the mod hears it, then the layer is asked for. The mod may have stopped itself
// while it handled the action, so the context is looked up again.
static void _states_pause(Game *g, const var &action, const char *layer) {
  mods_event(g, action);
  if (g->mods) g->mods->param_set("state", var(layer));
}

static var _states_screen_event(Game *g, const Event &e) {
  return g->mods ? g->mods->screen.on_event(e) : var();
}

static void _states_screen_loop(Game *g) {
  if (g->mods) g->mods->screen.loop();
}

static void _states_screen_paint(Game *g) {
  if (g->mods) g->mods->gui_paint();
}

// ---- lobby

void StatesLobby::init() {
  if (game->mods) game->mods->gui_build(true);
  build();
  chat_panel_build(game, &root, 1, 1);
}

void StatesLobby::event(Event e) {
  if (ModsAPI::console_event(game, e)) return;  // a shown console takes the keys first
  var action = root.on_event(e);
  if (chat_panel_event(game, &root, e, action)) return;
  widget_keep(action, _states_screen_event(game, e));
  if (states_escape(e)) action = widget_action("quit");
  _states_dispatch(game, action);
}

void StatesLobby::loop(float dt) {
  _states_screen_loop(game);
  chat_panel_loop(game, &root);
  root.loop();
  if (game->mods_base) game->mods_base->loop(dt);
  mods_update(game);
}

void StatesLobby::paint() {
  states_screen_ui();
  World *world = &game->data.vantor;
  const float rect[4] = {0, 0, LOBBY_WORLD, LOBBY_WORLD};
  memcpy(game->view.world_rect, rect, sizeof rect);
  memset(world->background, 0, sizeof world->background);
  strncpy(world->background, LOBBY_BACKGROUND, sizeof world->background - 1);
  background_paint(world);
  stars_paint(world);
  memset(world->background, 0, sizeof world->background);
  _states_screen_paint(game);
  root.layout_inner();
  root.paint_inner();
  states_console_paint(game);
}

// ---- menu

void StatesMenu::init() {
  if (game->mods) game->mods->gui_build(true);
}

void StatesMenu::event(Event e) {
  if (ModsAPI::console_event(game, e)) return;  // a shown console takes the keys first
  var action = _states_screen_event(game, e);
  if (states_escape(e)) action = states_resume();
  _states_dispatch(game, action);
}

void StatesMenu::loop(float) {
  _states_screen_loop(game);
  mods_update(game);
}

void StatesMenu::paint() {
  states_screen_ui();
  gfx_clear();
  gfx_ortho();
  _states_screen_paint(game);
  states_console_paint(game);
}

// ---- play

void StatesPlay::build() { build_full(1); }

void StatesPlay::init() { states_match_enter(this, 0); }

void StatesPlay::event(Event e) {
  var action;
  if (event_to_world(e, action)) return;
  if (_states_type(action) == "pause") {
    _states_pause(game, action, "pause");
  } else {
    mods_event(game, action);
  }
}

void StatesPlay::loop(float dt) {
  user = states_user(game, 0);
  chat_panel_loop(game, &root);
  game_match_tick(game, dt);
  view_init(&game->view, &game->data.vantor, 0);
}

void StatesPlay::game_paint() { world_paint(true); }

void StatesPlay::paint() {
  game_paint();
  states_console_paint(game);
}

// ---- play2

StatesPlay2::StatesPlay2(Game *g) : StatesMatch(g) {
  for (View &v : views) v = game->view;
}

// Loads the drawing state of View k: the whole window, or the upper or lower half (turned round).
static void _play2_screen(int k) {
  if (k == 0) {
    states_screen_ui();
    return;
  }
  const float w = (float)app_info->width, h = (float)(app_info->height / 2);
  gfx_state->rotation = k == 2 ? 180.0f : 0.0f;
  gfx_state->virtual_w = (float)game_ui_width();
  gfx_state->virtual_h = (float)(game_ui_height() / 2);
  gfx_state->screen = {0, k == 2 ? (float)(app_info->height - app_info->height / 2) : 0.0f, w, h};
  const float sx = w / gfx_state->virtual_w, sy = h / gfx_state->virtual_h;
  gfx_state->scale = sx < sy ? sx : sy;
  gfx_ortho();
}

void play2_view_switch(StatesPlay2 *state, int k) {
  if (k < 0 || k > 2) return;
  Game *g = state->game;
  state->views[state->current] = g->view;
  state->current = k;
  g->view = state->views[k];
  _play2_screen(k);
  if (k == 0) return;
  state->user = states_user(g, k);
  view_screen_set(&g->view, &g->data.vantor, (float)game_ui_width(), (float)(game_ui_height() / 2));
}

void StatesPlay2::build() {
  play2_view_switch(this, 0);
  StatesMatch::build();
  const int w = game_ui_width(), half = game_ui_height() / 2;
  _states_pause_add(root, "pause", w - ICON_BAND, half);
  _states_pause_add(root, "pause2", 0, half - ICON_BAND);
}

// Lays out every record that needs it when the Game's View does, ending on View 0.
static void _play2_views_ready(StatesPlay2 *s) {
  if (s->game->view.initialised) return;
  for (int k = 0; k < 3; k++) {
    play2_view_switch(s, k);
    s->game->view.initialised = 0;
    view_init(&s->game->view, &s->game->data.vantor, 0);
  }
  play2_view_switch(s, 0);
}

void StatesPlay2::init() {
  game->view.hud_mode = 0;
  current = 0;
  for (View &v : views) _states_ui_copy(game, &v);
  _states_ui_copy(game, &game->view);
  build();
  pointers.clear();
  _play2_views_ready(this);
  for (View &v : views) _states_gestures_clear(&v);
  _states_gestures_clear(&game->view);
}

// Another state may take over while a half runs the mod; it must find View 0 and the whole screen.
void StatesPlay2::deinit() { play2_view_switch(this, 0); }

// The event in the virtual units of the drawing state now loaded, from its window position.
static Event _play2_map(const Event &e) {
  Event m = e;
  if (!gfx_event_positioned(e)) return m;
  m.x = e.raw_x;
  m.y = e.raw_y;
  m.dx = e.raw_dx;
  m.dy = e.raw_dy;
  gfx_rect_to_virtual(m.x, m.y, m.dx, m.dy);
  return m;
}

// The half filter: whether half k takes the event (binding or freeing its pointer on the way).
static bool _play2_half_takes(StatesPlay2 *s, const Event &e, int k) {
  if (e.type == EVT_WHEEL || e.type == EVT_KEYDOWN || e.type == EVT_KEYUP) return false;
  if (e.type == EVT_DOWN) {
    // A press belongs to the half it lands in; without the upper bound both halves would claim it.
    if (e.y <= 0 || e.y >= (float)(game_ui_height() / 2)) return false;
    s->pointers[e.button] = k;
  }
  if (e.button != 0 && s->pointers[e.button] != k) return false;
  if (e.type == EVT_UP) s->pointers[e.button] = 0;
  return true;
}

static bool _play2_showing(Game *g) { return strcmp(g->names.current, "states_play2") == 0; }

void StatesPlay2::event(Event e) {
  if (ModsAPI::console_event(game, e)) return;  // a shown console takes the keys first
  play2_view_switch(this, 0);
  const Event whole = _play2_map(e);
  bool taken = false;
  for (int k = 1; k <= 2; k++) {
    play2_view_switch(this, k);
    const Event half = _play2_map(e);
    // The half's own user: the lower half must not order with player 1's planets.
    if (_play2_half_takes(this, half, k)) taken |= view_event(&game->data.vantor, &game->view, user, half, 1) != 0;
    if (!_play2_showing(game)) break;
  }
  play2_view_switch(this, 0);
  if (!_play2_showing(game)) return;
  var action;
  if (e.type == EVT_DOWN || e.type == EVT_MOVE || e.type == EVT_UP || !taken) action = root.on_event(whole);
  if (states_escape(e)) action = widget_action("pause");
  if (_states_type(action) == "pause") {
    _states_pause(game, action, "pause");
  } else if (action.type() == VAR_DICT) {
    mods_event(game, action);
  }
}

void StatesPlay2::loop(float dt) {
  play2_view_switch(this, 0);
  root.loop();
  game_match_tick(game, dt);
  for (int k : {1, 2, 0}) {
    play2_view_switch(this, k);
    view_init(&game->view, &game->data.vantor, 0);
  }
}

void play2_halves_paint(StatesPlay2 *state, const std::function<void(int)> &paint) {
  GLint scissor[4];
  glGetIntegerv(GL_SCISSOR_BOX, scissor);
  glEnable(GL_SCISSOR_TEST);
  const int w = app_info->width, h = app_info->height;
  for (int k = 1; k <= 2; k++) {
    play2_view_switch(state, k);
    // GL counts rows from the bottom: the upper half is the top h/2 rows.
    glScissor(0, k == 1 ? h - h / 2 : 0, w, k == 1 ? h / 2 : h - h / 2);
    paint(k);
  }
  glScissor(scissor[0], scissor[1], scissor[2], scissor[3]);
  glDisable(GL_SCISSOR_TEST);
  play2_view_switch(state, 0);
}

int play2_half_at(const Event &e) {
  if (!gfx_event_positioned(e)) return 0;
  if (e.raw_y >= 0 && e.raw_y < (float)(app_info->height / 2)) return 1;
  if (e.raw_y >= (float)(app_info->height - app_info->height / 2) && e.raw_y < (float)app_info->height) return 2;
  return 0;
}

Event play2_event_in_half(StatesPlay2 *state, const Event &e, int k) {
  play2_view_switch(state, k);
  const Event mapped = _play2_map(e);
  play2_view_switch(state, 0);
  return mapped;
}

void StatesPlay2::game_paint() {
  World *world = &game->data.vantor;
  _play2_views_ready(this);
  play2_halves_paint(this, [this, world](int) {
    sys_paint(&game->view, world, user, 1);
    hud_paint(&game->view, world, user);
  });
  gfx_ortho();
  glBlendFunc(GL_ONE, GL_ONE);
  gfx_img_draw(gfx_img_load("line"), 0, game_ui_height() / 2 - DIVIDER_HALF_H, (float)game_ui_width(),
               2 * DIVIDER_HALF_H);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}

void StatesPlay2::paint() {
  game_paint();
  root.layout_inner();
  root.paint_inner();
  states_console_paint(game);
}

void states_console_paint(Game *g) {
  if (g->mods) g->mods->console_paint();
}

// ---- registration

void states_init(Game *g) {
  state_register("states_lobby", new StatesLobby(g));
  state_register("states_menu", new StatesMenu(g));
  state_register("states_overlay", new StatesOverlay(g));
  state_register("states_pause", new StatesPause(g));
  state_register("states_pause2", new StatesPause2(g));
  state_register("states_dialog", new StatesDialog(g));
  state_register("states_play", new StatesPlay(g));
  state_register("states_play2", new StatesPlay2(g));
  state_register("states_scene", new StatesScene(g));
  state_register("states_tabs", new StatesTabs(g));
}
