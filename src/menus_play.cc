// Play, practice and mods pages: each ends by starting a mod that drives the screens itself.
#include "menus_play.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game.h"
#include "game_audio.h"
#include "gui_build.h"
#include "kez_driver-files.h"
#include "kez_log.h"
#include "mods_start.h"

void MenusPlay::init() {
  LOG_PRINTF("menus_play");
  menus_page_reset(root);
  menus_frame(game, root, true);
  menus_mod_launch(game, driver_data_path("mod_play.lua"));
}

void MenusLite::init() {
  menus_page_reset(root);
  menus_frame(game, root, true);
  menus_mod_launch(game, driver_data_path("mod_classic.lua"));
}

void MenusRun::init() {
  menus_page_reset(root);
  menus_frame(game, root, true);
  menus_mod_launch(game, std::string(game->mod_file));  // a copy: the start writes the field again
}

static std::string _mods_button(const char *label, const char *file) {
  return std::string("<input type='button' value='") + label + "' onclick='" + file + "' width=100 />";
}

// A heading row, then the mods two to a row.
static std::string _mods_group(const char *title, std::initializer_list<std::pair<const char *, const char *>> mods) {
  std::string out = std::string("<tr><td colspan=2><p>") + title + "</p>";
  int k = 0;
  for (const auto &mod : mods) {
    if (k++ % 2 == 0) out += "<tr>";
    out += "<td>" + _mods_button(mod.first, mod.second);
  }
  return out;
}

static std::string _mods_markup() {
  return "<table>" +
         _mods_group("Local Mods:", {{"classic", "mod_classic.lua"},
                                     {"turns", "mod_turns.lua"},
                                     {"dual", "mod_dual.lua"},
                                     {"botwar", "mod_botwar.lua"},
                                     {"bricks", "mod_bricks.lua"}}) +
         _mods_group("Online Mods:", {{"client", "mod_client.lua"}, {"server", "mod_server.lua"}}) +
         _mods_group("User Mods:", {{"frustration", "mod_drovik_frustration.lua"}, {"ultracon", "mod_ultracon.lua"}}) +
         _mods_group("Tests:", {{"magnet", "magnet"}}) +
         "<tr><td colspan=2><p>Pick a mod from your computer:</p>"
         "<tr><td><input type='text' name='fname' value='' width=200 /><td>" +
         _mods_button("Play", "open") + "</table>";
}

void MenusMods::init() {
  menus_page_reset(root);
  menus_frame(game, root, true);
  root.add_at(menus_page_box(gui_build(_mods_markup(), var()), -44), 0, 0);
  if (!game->mod_file[0]) {
    static char desktop[512];
    const char *home = getenv("HOMEPATH");
    desktop[0] = 0;
    if (home) snprintf(desktop, sizeof desktop, "%s\\Desktop", home);
    memcpy(game->mod_file, desktop, sizeof game->mod_file);
  }
  if (Widget *fname = root.find("fname")) fname->set_value(var(game->mod_file));
}

// The mode starts on a page pushed over this one, and its first screen replaces that page: leaving the
// mode comes back here.
static void _mods_run(Game *g, const std::string &path) {
  if (menus_mod_file_set(g, path)) state_push(&g->names, "menus_run");
}

void MenusMods::event(Event e) {
  var a = menus_page_action(root, e);
  if (menus_tabs_handle(game, a)) return;
  if (a.type() != VAR_DICT || !a.has("value")) return;
  const std::string value = a["value"].str();
  GameAudio::play_music("mus-none");
  if (value == "open") {
    Widget *fname = root.find("fname");
    _mods_run(game, fname ? fname->get_value().str() : std::string());
  } else if (value == "magnet") {
    state_change("test_magnetset", &game->names, 2);
  } else {
    _mods_run(game, driver_data_path(value.c_str()));
  }
}
