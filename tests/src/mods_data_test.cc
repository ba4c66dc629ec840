// The game's hand-written mod files: every file the menus start runs headless through the engine
// without a Lua error; the match modes lay out planets that do not overlap and their computer players
// send fleets; a newcomer can win the quick match.
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
#include "kez_driver-sdl2.h"
#include "menus.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "mods_start.h"
#include "mods_update.h"
#include "net_server.h"
#include "vantor.h"
#include "vantor_client.h"
#include "vantor_paint_internal.h"

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
  // An application name gives the modes' saved data a user folder in the test's own APPDATA, and makes
  // the data folder "./data": the build's copy of data/, where the library and shared mod files live.
  void SetUp() override {
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    if (!app_info) driver_app_create();
    app_name_before = app_info->app_name;
    snprintf(app_info->app_name, sizeof app_info->app_name, "App");
    ASSERT_EQ(chdir(VB_BINARY_DIR), 0);
    g.reset(new Game());
    g->headless = 1;
  }
  void TearDown() override {
    mods_stop(g.get());
    g.reset();
    snprintf(app_info->app_name, sizeof app_info->app_name, "%s", app_name_before.c_str());
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
  std::string app_name_before;  // the application name to give back
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

// A UDP port that was free a moment ago: the server mode must not meet a port another program holds.
static int free_port() {
  NetServer probe;
  probe.setup("", 0, "server", "Server", "velum");
  probe.open();
  const int port = probe.port;
  probe.close();
  return port;
}

TEST_F(ModsData, screen_scripts_start_without_errors) {
  g->port = free_port();
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
  EXPECT_EQ(names, "home play lite mods news settings quit ") << "no campaign without a web service";
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

namespace {

// Decides the running match at once: every planet goes to `winner` and every fleet leaves the board.
void match_give_all(World &w, int winner) {
  for (Item &item : w.items) {
    if (!item.in_use) continue;
    if (item.has_planet) item.owner_n = (uint32_t)winner;
    if (item.has_fleet || item.is_ship) item.in_use = 0;
  }
}

// The local player, or in a match without one the first seat (the first user that owns a planet).
int match_winner(Game *g) {
  const int player = (int)g->mods->param_get("player").number();
  if (player > 0) return player;
  for (const Item &item : g->data.vantor.items) {
    if (item.in_use && item.has_planet && item.owner_n) {
      const Item &owner = g->data.vantor.items[item.owner_n];
      if (!owner.user_neutral) return (int)item.owner_n;
    }
  }
  return 0;
}

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

}  // namespace

// Every mode tells the player what is going on while it runs, and when the match is decided it
// stands still on a result page that names the result and offers both ways on.
TEST_F(ModsData, every_match_mode_shows_a_status_and_ends_on_a_result_page_with_play_again_and_leave) {
  for (const char *file : MATCH_MODES) {
    SCOPED_TRACE(file);
    run(file);
    ASSERT_TRUE(g->mods);
    EXPECT_NE(g->data.vantor.status[0], 0) << "no status line while the match runs";
    const int winner = match_winner(g.get());
    ASSERT_GT(winner, 0);
    match_give_all(g->data.vantor, winner);
    for (int frame = 0; frame < FRAMES && g->mods->param_get("state").str() == "play"; frame++) {
      game_match_tick(g.get(), FRAME);
      mods_update(g.get());
    }
    EXPECT_EQ(lua_error(), "");
    ASSERT_EQ(g->mods->param_get("state").str(), "pause") << "the decided match did not end";
    const std::string result = g->mods->param_get("status").str();
    const std::string page = g->mods->param_get("html").str();
    EXPECT_STREQ(g->data.vantor.status, result.c_str());
    EXPECT_TRUE(contains(page, "<h1>" + result + "</h1>")) << page;
    EXPECT_TRUE(contains(page, "Match time: ")) << page;
    EXPECT_TRUE(contains(page, "onclick='again'")) << page;
    EXPECT_TRUE(contains(page, "onclick='leave'")) << page;
    if (g->mods->param_get("player").number() > 0 && g->mods->param_get("player2").number() == 0) {
      EXPECT_EQ(result, "You won!");
    }

    var pause;
    var_dict0(pause);
    pause["type"] = var("pause");
    mods_event(g.get(), pause);
    EXPECT_EQ(g->mods->param_get("html").str(), page) << "a pause over the result keeps the result";

    var again;
    var_dict2(again, "type", "onclick", "value", "again");
    mods_event(g.get(), again);
    EXPECT_EQ(g->mods->param_get("state").str(), "play");
    EXPECT_NE(g->mods->param_get("status").str(), result) << "the new match still shows the last result";
    EXPECT_EQ(lua_error(), "");
  }
}

// The turns mode counts each phase down on its status line, in real seconds.
TEST_F(ModsData, turns_status_counts_the_planning_and_action_phases_down) {
  run("mod_turns.lua");
  ASSERT_TRUE(g->mods);
  std::string seen;
  for (int frame = 0; frame < 8 * 60; frame++) {
    game_match_tick(g.get(), FRAME);
    mods_update(g.get());
    const std::string status = g->data.vantor.status;
    if (!contains(seen, status + "|")) seen += status + "|";
  }
  EXPECT_EQ(lua_error(), "");
  EXPECT_TRUE(contains(seen, ": plan your moves (4 s)|")) << seen;
  EXPECT_TRUE(contains(seen, ": plan your moves (1 s)|")) << seen;
  EXPECT_TRUE(contains(seen, ": action (3 s)|")) << seen;
  EXPECT_TRUE(contains(seen, ": action (1 s)|")) << seen;
}

namespace {

constexpr unsigned NEWCOMER_SEEDS = 20;
constexpr int NEWCOMER_ORDER_FRAMES = 2 * 60;  // two seconds between the newcomer's orders
constexpr int NEWCOMER_FRAMES = 240 * 60;      // four minutes; a match still going then counts as lost

// A newcomer's plan, made only from the counts the screen shows: half of their biggest planet to the
// weakest planet they do not own. A planet without a count could hold anything: it is left alone.
void newcomer_order(Game *g) {
  World &w = g->data.vantor;
  const int player = vantor_player_mark(g, 1);
  int from = 0, most = -1, to = 0, least = INT_MAX;
  for (Item &planet : w.items) {
    if (!planet.in_use || !planet.has_planet) continue;
    _planet_label_set(&w, planet, player);
    if (!planet.has_label) continue;
    const int ships = atoi(planet.label_text);
    if ((int)planet.owner_n == player) {
      if (ships > most) from = (int)planet.n, most = ships;
    } else if (ships < least) {
      to = (int)planet.n, least = ships;
    }
  }
  if (from && to) vantor_order_send(nullptr, &w, 50, from, to);
}

}  // namespace

// The quick match is the first a player meets: a newcomer playing a plain plan from what the screen
// shows wins most of them, and Practice (the classic mode) is never the easier of the two. The tabs
// start these files with no params; each match runs at the game's frame rate.
TEST_F(ModsData, a_newcomer_playing_from_the_counts_shown_wins_most_quick_matches) {
  const char *const modes[2] = {"mod_play.lua", "mod_classic.lua"};  // the Play and Practice tabs
  unsigned wins[2] = {0, 0};
  for (int mode = 0; mode < 2; mode++) {
    for (unsigned seed = 1; seed <= NEWCOMER_SEEDS; seed++) {
      SCOPED_TRACE(std::string(modes[mode]) + " seed " + std::to_string(seed));
      srand(seed);
      ASSERT_TRUE(menus_mod_start_data(g.get(), modes[mode]));
      for (int frame = 1; frame <= NEWCOMER_FRAMES && g->mods->param_get("state").str() == "play"; frame++) {
        if (frame % NEWCOMER_ORDER_FRAMES == 0) newcomer_order(g.get());
        game_match_tick(g.get(), FRAME);
        mods_update(g.get());
      }
      ASSERT_EQ(lua_error(), "");
      wins[mode] += g->mods->param_get("status").str() == "You won!";
      mods_stop(g.get());
    }
  }
  printf("newcomer wins: Play %u/%u, Practice %u/%u\n", wins[0], NEWCOMER_SEEDS, wins[1], NEWCOMER_SEEDS);
  EXPECT_GE(2 * wins[0], NEWCOMER_SEEDS) << "a newcomer loses most quick matches";
  EXPECT_GE(wins[0], wins[1]) << "the quick match is harder than practice";
}
