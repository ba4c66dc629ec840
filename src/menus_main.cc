// Main menu page: the first screen after the splash and the one every mod returns to.
#include "menus_main.h"

#include <cstring>

#include "game.h"
#include "game_audio.h"
#include "game_video.h"
#include "game_web.h"
#include "gui_build.h"
#include "kez_log.h"
#include "mods_start.h"

static const char MAIN_MARKUP[] =
    "<table><tr><td><img src='logo' width=240 /><tr><td>&nbsp;<tr><td><input type='button' class='ibutton1' "
    "icon='icon-play' onclick='$PLAY' value='Play' height=66 ><h1>PLAY</h1></input><tr><td><input "
    "type='button' class='ibutton1' icon='icon-practice' onclick='menus_lite' value='Practice' /><tr><td><input "
    "type='button' class='ibutton1' icon='icon-mods' onclick='menus_mods' value='Mods' /><tr><td><input "
    "type='button' class='ibutton1' icon='icon-settings' onclick='menus_settings' value='Settings' "
    "/><tr><td><input type='button' class='ibutton1' icon='icon-quit' onclick='quit' value='Quit' /></table>";

void MenusMain::init() {
  mods_stop(game);
  GameAudio::play_music("mus-menu");
  menus_page_reset(root);
  menus_frame(game, root, false);
  // Opened over another page (the news links here), the menu has the way back to it.
  const bool below = game->names.stack[1][0] != 0;
  if (below) menus_bottom_bar(game, root, "Back");
  // Play signs in for the campaign; a game without the campaign's web service plays a quick match.
  const std::string markup = str_replace(MAIN_MARKUP, "$PLAY", game_web_configured() ? "menus_login" : "menus_play");
  // At the largest UI size the menu is a little taller than a wide screen: it scrolls there.
  root.add_at(menus_page_box(gui_build(markup, var()), below ? -MENUS_BAR_HEIGHT : 0), 0, 0);
}

void MenusMain::event(Event e) {
  std::string v;
  if (!menus_page_click(game, root, e, v)) return;
  if (v == "quit") {
    game->event(Event(EVT_QUIT));
    return;
  }
  LOG_PRINTF("%s / %s\n", v.c_str(), game->names.current);
  if (v != game->names.current) state_push(&game->names, v.c_str());
}
