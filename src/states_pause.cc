// Layer states: pause, pause2, dialog and overlay over the match and scene screens.
#include "states_pause.h"

#include "chat_panel.h"
#include "game.h"
#include "game_match.h"
#include "game_video.h"
#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "mods_api.h"
#include "mods_update.h"
#include "states_play.h"

constexpr int DIM_ALPHA = 170;

void states_dim() {
  widget_draw_color(0x000000, DIM_ALPHA);
  gfx_img_draw(gfx_img_load("black"), 0, 0, (float)game_ui_width(), (float)game_ui_height());
  widget_draw_color(0xFFFFFF, 255);
}

// Removes the underlying root's child of that id (a pause icon); nothing when it is not a child.
static void _layer_icon_remove(StatesMatch *under, const char *id) {
  Widget *icon = under->root.find(id);
  if (icon) under->root.remove(icon);
}

void StatesLayer::under_enter() {
  if (game->mods) game->mods->gui_build(true);
  under->init();
  _layer_icon_remove(under, "pause");
}

void StatesLayer::init() {
  under = states_match_find(under_name);
  if (under) under_enter();
}

void StatesLayer::deinit() {
  if (under) under->deinit();
}

void StatesPause2::under_enter() {
  under->init();
  _layer_icon_remove(under, "pause");
  _layer_icon_remove(under, "pause2");
}

void StatesDialog::under_enter() {
  game->view.hud_mode = 1;
  StatesLayer::under_enter();
}

static var _layer_screen_event(Game *g, const Event &e) {
  return g->mods ? g->mods->screen.on_event(e) : var();
}

// The mod screen's answer to the event (Escape: "resume"), carried out the same way by every layer:
// the quit and settings icons and the console are the engine's, the rest goes to the mod.
static void _layer_screen_act(Game *g, const Event &e) {
  var action = _layer_screen_event(g, e);
  if (states_escape(e)) action = states_resume();
  if (action.type() != VAR_DICT) return;
  const std::string type = action.has(var("type")) ? action["type"].str() : "";
  if (type == "quit") {
    states_quit_event(g, action);
  } else if (type == "console") {
    if (g->mods) g->mods->console_shown = !g->mods->console_shown;
  } else if (type == "settings") {
    state_push(&g->names, "menus_settings_popup");
  } else {
    mods_event(g, action);
  }
}

void StatesLayer::event(Event e) {
  if (ModsAPI::console_event(game, e)) return;  // a shown console takes the keys first
  under = states_match_find(under_name);
  if (under && play_key_to_chat(under, e)) return;
  _layer_screen_act(game, e);
}

bool StatesPause2::screen_event(const Event &e, Event &out) {
  out = e;
  if (!under || !gfx_event_positioned(e)) return true;
  // A pressed pointer stays with the copy it went down on until it is released.
  const auto bound = pointers.find(e.button);
  const int k = e.type != EVT_DOWN && bound != pointers.end() ? bound->second : play2_half_at(e);
  if (e.type == EVT_DOWN && k) pointers[e.button] = k;
  if (e.type == EVT_UP) pointers.erase(e.button);
  if (!k) return false;
  out = play2_event_in_half(static_cast<StatesPlay2 *>(under), e, k);
  return true;
}

void StatesPause2::event(Event e) {
  if (ModsAPI::console_event(game, e)) return;  // a shown console takes the keys first
  Event in;
  if (screen_event(e, in)) _layer_screen_act(game, in);
}

// The part of a layer's frame every layer shares: the mod screen, the mod step, and the match only
// when it is networked (a local match stands still under a layer).
static void _layer_loop(Game *g, float dt) {
  if (g->mods) g->mods->screen.loop();
  mods_update(g);
  if (g->client || g->server) game_match_tick(g, dt);
}

void StatesLayer::loop(float dt) {
  _layer_loop(game, dt);
  if (!under) return;
  under->user = states_user(game, 0);
  chat_panel_loop(game, &under->root);
}

void StatesPause2::loop(float dt) { _layer_loop(game, dt); }

void StatesPause2::paint() {
  StatesPlay2 *play2 = static_cast<StatesPlay2 *>(under);
  if (!play2) {
    StatesLayer::paint();
    return;
  }
  play2->game_paint();
  states_screen_ui();
  states_dim();
  if (game->mods) play2_halves_paint(play2, [this](int) { game->mods->gui_paint(); });
  states_console_paint(game);
}

void StatesLayer::paint() {
  if (under) under->game_paint();
  states_screen_ui();
  if (dimmed) states_dim();
  if (game->mods) game->mods->gui_paint();  // the mod screen, in the UI's screen transform
  states_console_paint(game);
}
