// Scene and tabs states: the match world as a picture or board, driven by the mod.
#include "states_scene.h"

#include <GL/glew.h>

#include "chat.h"
#include "chat_panel.h"
#include "game.h"
#include "game_match.h"
#include "kez_gfx.h"
#include "kez_log.h"
#include "menus.h"
#include "mods_api.h"
#include "mods_update.h"
#include "vantor_paint.h"

enum { HUD_SCENE = 1, HUD_TABS = 2 };

// ---- scene

void StatesScene::build() { build_full(0); }

void StatesScene::init() { states_match_enter(this, HUD_SCENE); }

void StatesScene::event(Event e) {
  var action;
  if (event_to_world(e, action)) return;
  const bool pause = action.has(var("type")) && action["type"].str() == "pause";
  mods_event(game, action);
  // The scene's pause is the mod's dialog; the mod may have stopped while it handled the action.
  if (pause && game->mods) game->mods->param_set("state", var("dialog"));
}

void StatesScene::loop(float dt) {
  user = states_user(game, 0);
  chat_panel_loop(game, &root);
  game_match_tick(game, dt);
}

// Logs a GL error of a painting step when it differs from the one that step saw last.
void StatesScene::gl_check(int step) {
  const int error = (int)glGetError();
  if (error == gl_errors[step]) return;
  gl_errors[step] = error;
  log_printf(__FILE__, __LINE__, "StatesScene::game_paint", "glGetError() -> %d\n", error);
}

void StatesScene::game_paint() {
  World *world = &game->data.vantor;
  states_screen_ui();
  background_paint(world);
  stars_paint(world);
  gl_check(0);
  gfx_ortho();
  sys_paint(&game->view, world, user, 0);
  gl_check(1);
  gfx_ortho();
  root.layout_inner();
  root.paint_inner();
  gl_check(2);
}

void StatesScene::paint() {
  game_paint();
  states_console_paint(game);
}

// ---- tabs

void StatesTabs::frame_params(std::string &tabs, std::string &tab) {
  tabs = game->mods ? game->mods->param_get("tabs").str() : std::string();
  tab = game->mods ? game->mods->param_get("tab").str() : std::string();
}

void StatesTabs::build() {
  StatesMatch::build();
  frame_params(shown_tabs, shown_tab);
  menus_tabs_strip(root, shown_tabs, shown_tab);
  if (game->names.stack[1][0]) menus_bottom_bar(game, root);
}

void StatesTabs::init() {
  // The mod's page was laid out for the UI size of its last build; a resize re-enters this state.
  if (game->mods) game->mods->gui_build(true);
  states_match_enter(this, HUD_TABS);
}

void StatesTabs::event(Event e) {
  if (ModsAPI::console_event(game, e)) return;  // a shown console takes the keys first
  var action = menus_page_action(root, e);
  if (menus_tabs_handle(game, action)) return;
  if (chat_panel_event(game, &root, e, action)) return;
  // Without a bar to press, Escape is the mod's way back, as on its other pages.
  if (states_escape(e)) action = states_resume();
  if (action.type() == VAR_DICT) {
    if (action["type"].str() != "ignore") mods_event(game, action);
    return;
  }
  action = game->mods ? game->mods->screen.on_event(e) : var();
  if (action.type() == VAR_DICT) {
    mods_event(game, action);
  } else {
    view_event_hud(game, &game->view, e);
  }
}

void StatesTabs::loop(float dt) {
  std::string tabs, tab;
  frame_params(tabs, tab);
  if (tabs != shown_tabs || tab != shown_tab) build();
  if (game->mods) game->mods->screen.loop();
  user = states_user(game, 0);
  chat_panel_loop(game, &root);
  game_match_tick(game, dt);
}

void StatesTabs::paint() {
  world_paint(false);
  gfx_ortho();
  if (game->mods) game->mods->gui_paint();
  states_console_paint(game);
}
