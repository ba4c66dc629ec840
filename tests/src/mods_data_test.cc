// The game's hand-written mod files: every file the menus start runs headless through the engine
// without a Lua error; the match modes lay out planets that do not overlap and their computer players
// send fleets.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "game.h"
#include "game_match.h"
#include "kez_driver-files.h"
#include "kez_driver-sdl2.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "menus.h"
#include "mods_misc.h"
#include "vantor.h"

namespace {

constexpr float FRAME = 1.0f / 60;
constexpr int FRAMES = 600;  // ten seconds of match: every bot has ordered several times by then
constexpr unsigned SEED = 20240611;

// What one headless run of a mod file showed.
struct ModRun {
  int planets = 0;             // planets right after the start
  bool overlapping = false;    // two planets of the start layout overlap
  int most_fleets = 0;         // the most fleets in flight at once
  std::string lua_error;       // the first error line on the mod log, empty when none
  int status = 0;              // the runtime's failed-chunk code at the end
};

class ModsData : public testing::Test {
 protected:
  // The data folder lookup ("./data", or "../data" without an application name) must reach the
  // build's copy of data/, where the library files and the shared mod files live.
  void SetUp() override {
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    const std::string base = strcmp(driver_data_dir(), "./data") == 0 ? VB_BINARY_DIR : VB_BINARY_DIR "/tests";
    ASSERT_EQ(chdir(base.c_str()), 0) << base;
    g.reset(new Game());
    g->headless = 1;
  }
  void TearDown() override {
    mods_stop(g.get());
    g.reset();
    ASSERT_EQ(chdir(cwd), 0);
  }

  // The first line the runtime wrote for a failed chunk or a failed engine call.
  std::string lua_error() const {
    if (!g->mods) return "no mod context";
    for (auto it = g->mods->console_lines.rbegin(); it != g->mods->console_lines.rend(); ++it) {
      if (it->find("vantor2:") == std::string::npos && it->find("Lua error") == std::string::npos) continue;
      auto message = std::next(it);  // the runtime writes its prefix and the message as two lines
      return message != g->mods->console_lines.rend() ? *it + *message : *it;
    }
    return "";
  }

  int runtime_status() const {
    const ModsLua *lua = dynamic_cast<const ModsLua *>(g->mods_base);
    return lua ? lua->status : -1;
  }

  void count_start(ModRun &run) const {
    const World &w = g->data.vantor;
    for (int a = 1; a < VANTOR_ITEMS; a++) {
      const Item &p = w.items[a];
      if (!p.in_use || !p.has_planet) continue;
      run.planets++;
      for (int b = a + 1; b < VANTOR_ITEMS; b++) {
        const Item &q = w.items[b];
        if (!q.in_use || !q.has_planet) continue;
        const float d = std::hypot(p.position_x - q.position_x, p.position_y - q.position_y);
        if (d < p.planet_r + q.planet_r) run.overlapping = true;
      }
    }
  }

  int fleets() const {
    int n = 0;
    for (const Item &item : g->data.vantor.items) n += item.in_use && item.has_fleet;
    return n;
  }

  // Starts the data file headless and runs the match tick and mod step for FRAMES frames.
  ModRun run(const char *file) {
    ModRun out;
    snprintf(g->mod_file, sizeof g->mod_file, "%s/data/%s", VB_BINARY_DIR, file);
    srand(SEED);
    mods_start(g.get());
    count_start(out);
    for (int frame = 0; frame < FRAMES && out.lua_error.empty(); frame++) {
      game_match_tick(g.get(), FRAME);
      mods_update(g.get());
      if (fleets() > out.most_fleets) out.most_fleets = fleets();
      out.lua_error = lua_error();
    }
    out.lua_error = lua_error();
    out.status = runtime_status();
    return out;
  }

  std::unique_ptr<Game> g;
  char cwd[PATH_MAX] = {0};  // the working folder to return to
};

// The modes that set up a match against computer players at once.
const char *const MATCH_MODES[] = {
    "mod_play.lua",          "mod_classic.lua", "mod_turns.lua",  "mod_dual.lua",
    "mod_botwar.lua",        "mod_bricks.lua",  "mod_drovik_frustration.lua",
    "mod_ultracon.lua",      "VantorBrevane/VantorBrevane.lua",
};

// The files that show a screen first and start no match by themselves.
const char *const SCREEN_MODES[] = {"Quorvex.lua", "mod_server.lua", "mod_client.lua"};

}  // namespace

TEST_F(ModsData, match_modes_lay_out_planets_and_their_bots_send_fleets) {
  for (const char *file : MATCH_MODES) {
    SCOPED_TRACE(file);
    const ModRun r = run(file);
    EXPECT_EQ(r.lua_error, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_GE(r.planets, 3);
    EXPECT_FALSE(r.overlapping);
    EXPECT_GT(r.most_fleets, 0);
    ASSERT_TRUE(g->mods);
    EXPECT_EQ(g->mods->param_get("state").str(), "play");
  }
}

TEST_F(ModsData, screen_scripts_start_without_errors) {
  for (const char *file : SCREEN_MODES) {
    SCOPED_TRACE(file);
    const ModRun r = run(file);
    EXPECT_EQ(r.lua_error, "");
    EXPECT_EQ(r.status, 0);
  }
}

TEST_F(ModsData, main_script_shows_its_home_page_under_the_engine_tabs) {
  run("Quorvex.lua");
  ASSERT_TRUE(g->mods);
  EXPECT_EQ(g->mods->param_get("state").str(), "tabs");
  EXPECT_EQ(g->mods->param_get("tab").str(), "home");
  std::vector<MenusTabEntry> tabs;
  ASSERT_TRUE(menus_tabs_parse(g->mods->param_get("tabs").str(), tabs));
  std::string names;
  for (const MenusTabEntry &tab : tabs) names += tab.name + " ";
  EXPECT_EQ(names, "home play lite mods brevane news settings quit ");
}

// The start page and the rules are the script's own: its tab and page buttons switch between them.
TEST_F(ModsData, main_script_answers_its_own_tab_and_page_buttons) {
  run("Quorvex.lua");
  const std::string home = g->mods->param_get("html").str();
  var click;
  var_dict2(click, "type", "onclick", "value", "help");
  mods_event(g.get(), click);
  const std::string help = g->mods->param_get("html").str();
  EXPECT_NE(help, home);
  EXPECT_NE(help.find("onclick='home'"), std::string::npos) << "the rules lead back";
  var_dict2(click, "type", "onclick", "value", "tab:home");
  mods_event(g.get(), click);
  EXPECT_EQ(g->mods->param_get("html").str(), home);
  var_dict2(click, "type", "onclick", "value", "tab:play");
  mods_event(g.get(), click);
  EXPECT_EQ(g->mods->param_get("html").str(), home) << "an engine tab is not the script's";
  EXPECT_EQ(lua_error(), "");
  EXPECT_EQ(runtime_status(), 0);
}

// Leaving a match started on its own goes back to the menus through the "quit" state.
TEST_F(ModsData, a_mode_started_alone_leaves_through_quit) {
  run("mod_classic.lua");
  var leave;
  var_dict2(leave, "type", "onclick", "value", "leave");
  mods_event(g.get(), leave);
  EXPECT_EQ(g->mods->param_get("state").str(), "quit");
  EXPECT_EQ(lua_error(), "");
}
