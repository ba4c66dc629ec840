// Splash, thanks, clans and store pages: markup literals in the common content box.
#include "menus_side.h"

#include "game.h"
#include "game_video.h"
#include "gui_build.h"

constexpr float SPLASH_SECONDS = 0.25f;
static const char CLANS_URL[] = "http://www.vantor-brevane.invalid/clans";

// The page reset, the frame with its bottom bar and the markup centred above the bar; on a screen
// too small for it the page scrolls.
static void _menus_content_box(Game *g, Container &root, const char *markup) {
  menus_page_reset(root);
  menus_frame(g, root, true);
  root.add_at(menus_page_box(gui_build(markup, var()), -MENUS_BAR_HEIGHT), 0, 0);
}

void MenusSplash::init() {
  elapsed = 0;
  menus_page_reset(root);
  root.add_at(
      menus_markup_box("<table><tr><td><img src='logo' width=320 /></table>", game_ui_width(), game_ui_height()), 0, 0);
}

void MenusSplash::event(Event e) { root.on_event(e); }

void MenusSplash::loop(float dt) {
  root.loop();
  elapsed += dt;
  if (elapsed >= SPLASH_SECONDS) state_change("menus_play", &game->names, 2);
}

void MenusStats::init() {
  _menus_content_box(game, root,
                     "<table><tr><td><img src='logo' width=320 /><tr><td><p>Thanks for backing Vantor 2!!</p><tr><td>"
                     "<p>You are a GRAND ADMIRAL!!!</p><tr><td><img src='rank10' width=120 /><tr><td><p>(in my "
                     "heart)</p></table>");
}

void MenusClans::init() {
  _menus_content_box(game, root,
                     "<table><tr><td><img src='logo' width=320 /><tr><td><input type='button' value='Join the "
                     "ULTIMATE MOUSTACHE Clan!' onclick='moustache' /></table>");
}

void MenusClans::event(Event e) {
  std::string value;
  if (menus_page_click(game, root, e, value) && value == "moustache") Driver::weblink(CLANS_URL, 0);
}

void MenusStore::init() {
  _menus_content_box(game, root,
                     "<table><tr><td><img src='logo' width=320 /><tr><td><p>&nbsp;</p><tr><td><p>Buy more awesome .. "
                     "eventually!</p></table>");
}
