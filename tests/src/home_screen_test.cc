// The home screen as a player reaches it: the main script of the data folder in the tabs state, clicks
// on its tab strip and on the pages' buttons, and every page laid out on every window size at every
// UI size.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "chat.h"
#include "chat_panel.h"
#include "game.h"
#include "game_net.h"
#include "game_video.h"
#include "game_web.h"
#include "kez_driver-files.h"
#include "kez_font.h"
#include "kez_gfx-tex.h"
#include "menus.h"
#include "menus_news.h"
#include "mods_api.h"
#include "mods_start.h"
#include "mods_update.h"
#include "scroll.h"
#include "states_play.h"
#include "states_scene.h"
#include "test.h"
#include "test_magnetset.h"
#include "text_input.h"
#include "vantor_paint_gl.h"
#include "vantor_view.h"

namespace {

constexpr float FRAME = 1.0f / 60;

// A UDP port nothing listens on now, so a hosting mod never meets another test's server.
int free_port() {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size);
  close(fd);
  return ntohs(a.sin_port);
}

class Home : public PaintGlTest {
 protected:
  // The data folder lookup must reach the build's copy of data/, where the main script lives.
  void SetUp() override {
    PaintGlTest::SetUp();
    snprintf(app_info->app_name, sizeof app_info->app_name, "vantor-home-test");
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(chdir(VB_BINARY_DIR), 0);
    window_w = app_info->width;
    window_h = app_info->height;
    g = std::make_unique<Game>();
    game = g.get();
    game->port = free_port();
    game_web_configure("example.org");  // the campaign's service, which no test here reaches
    menus_init(game);
    states_init(game);
    tests_init(game);
  }
  void TearDown() override {
    game_web_configure(nullptr);
    mods_stop(game);
    states_delete_all();
    g.reset();
    game = nullptr;
    app_info->width = window_w;
    app_info->height = window_h;
    app_info->app_name[0] = 0;
    ASSERT_EQ(chdir(cwd), 0);
    PaintGlTest::TearDown();
  }

  // The first screen of a windowed run.
  void home() {
    mods_start_main(game);
    frame();
    ASSERT_STREQ(game->names.current, "states_tabs");
  }
  void frame() {
    state_loop(game->names.current, FRAME);
    state_paint(game->names.current);
  }
  // The current screen's own root; the layers over a match have none (they show the mod's screen).
  Container &root() {
    static Container none;
    State *state = state_find(game->names.current);
    if (StatesMatch *s = dynamic_cast<StatesMatch *>(state)) return s->root;
    if (MenusState *m = dynamic_cast<MenusState *>(state)) return m->root;
    if (TestMagnetSet *t = dynamic_cast<TestMagnetSet *>(state)) return t->root;
    return none;
  }
  // The first widget of the current screen (its own root, then the mod's screen) whose click is value.
  Widget *button(const std::string &value) {
    std::vector<Widget *> all = root().children();
    if (game->mods) {
      for (Widget *w : game->mods->screen.children()) all.push_back(w);
    }
    for (Widget *w : all) {
      const var &c = w->action.click;
      if (c.type() == VAR_DICT && c.has("value") && c["value"].str() == value) return w;
    }
    return nullptr;
  }
  // A pointer event at virtual point (x, y) of the whole screen.
  void pointer(int type, float x, float y, float dy = 0) {
    states_screen_ui();
    gfx_point_to_screen(x, y);
    window_pointer(type, x, y, dy);
  }
  // A pointer event at window pixel (x, y), turned into virtual units as the Game does.
  void window_pointer(int type, float x, float y, float dy = 0) {
    Event e(type);
    e.x = x;
    e.y = y;
    e.button = type == EVT_MOVE || type == EVT_WHEEL ? 0 : 1;
    states_screen_ui();
    gfx_event_to_virtual(e);
    e.dy = dy;
    state_event(game->names.current, e);
  }
  // Turns the wheel over the page a widget scrolls in until the widget is in view, as a player would.
  void scroll_to(Widget *w) {
    for (Widget *p = w->parent; p; p = p->parent) {
      ScrollBox *box = dynamic_cast<ScrollBox *>(p);
      if (!box) continue;
      for (int notch = 0; notch < 200; notch++) {
        const GfxRect b = box->get_rect(true), r = w->get_rect(true);
        if (r.y >= b.y && r.y + r.h <= b.y + b.h) return;
        pointer(EVT_MOVE, b.x + b.w / 2, b.y + b.h / 2);
        pointer(EVT_WHEEL, b.x + b.w / 2, b.y + b.h / 2, r.y < b.y ? -1 : 1);
        frame();
      }
      return;
    }
  }
  // A press and a release in the middle of the button, as the pointer gives them, then a frame.
  void click(const std::string &value) {
    frame();
    Widget *w = button(value);
    ASSERT_TRUE(w) << value << " on " << game->names.current;
    click_on(w);
    frame();
  }
  void click_on(Widget *w) {
    scroll_to(w);
    const GfxRect r = w->get_rect(true);
    for (int type : {EVT_DOWN, EVT_UP}) pointer(type, r.x + r.w / 2, r.y + r.h / 2);
  }
  void key(int k) {
    Event e(EVT_KEYDOWN);
    e.key = k;
    state_event(game->names.current, e);
    frame();
  }
  bool main_running() { return game->mods && std::string(game->mod_file) == driver_data_path(MODS_MAIN_SCRIPT); }
  std::string stack() {
    std::string out;
    for (auto &slot : game->names.stack) {
      if (slot[0]) out += std::string(out.empty() ? "" : ",") + slot;
    }
    return out;
  }
  // Back to the home screen by the page's bottom bar, with the same home script still running.
  void bar_leads_home(const char *page) {
    SCOPED_TRACE(page);
    ModsAPI *script = game->mods;
    click("popup:done");
    EXPECT_STREQ(game->names.current, "states_tabs");
    EXPECT_EQ(game->mods, script) << "the home script kept running under the page";
  }

  std::unique_ptr<Game> g;
  char cwd[PATH_MAX] = {0};
  int window_w = 0, window_h = 0;
};

}  // namespace

TEST_F(Home, the_strip_holds_the_scripts_tabs_with_its_own_selected_above_its_page) {
  home();
  std::vector<MenusTabEntry> tabs;
  ASSERT_TRUE(menus_tabs_parse(game->mods->param_get("tabs").str(), tabs));
  const float width = (float)(game_ui_width() / (int)tabs.size());
  for (const MenusTabEntry &tab : tabs) {
    SCOPED_TRACE(tab.name);
    Widget *w = root().find(("tab:" + tab.name).c_str());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->outer_w, width);
    EXPECT_EQ(w->get_rect(true).y, 0);
    const char *skin = tab.name == "home" ? "gui-tab0" : "gui-tab1";
    EXPECT_EQ(w->style.records[STYLE_BASE].bg_image, gfx_img_load(skin));
  }
  Widget *page = game->mods->screen.find("html");
  ASSERT_TRUE(page);
  const GfxRect r = page->get_rect(true);
  EXPECT_GE(r.y, 44);
  EXPECT_LE(r.y + r.h, game_ui_height() - 44);
  EXPECT_FALSE(root().find("popup:done")) << "the home has nothing below it to go back to";
}

TEST_F(Home, engine_tabs_open_their_pages_whose_bar_leads_back_home) {
  home();
  const struct {
    const char *tab, *page;
  } TABS[] = {{"tab:mods", "menus_mods"},
              {"tab:news", "menus_news"},
              {"tab:settings", "menus_login"},
              {"tab:brevane", "menus_login"}};  // not signed in: the sign-in page first
  for (const auto &t : TABS) {
    SCOPED_TRACE(t.tab);
    click(t.tab);
    EXPECT_STREQ(game->names.current, t.page);
    EXPECT_EQ(stack(), t.page);
    bar_leads_home(t.page);
  }
  click("tab:quit");
  EXPECT_EQ(game->quit, 1u);
}

TEST_F(Home, every_settings_page_is_one_click_from_the_next_and_leads_back_home) {
  home();
  click("tab:settings");
  for (const char *page : {"audio", "video", "controls", "options", "account"}) {
    click(std::string("tab:settings:") + page);
    const std::string expected = std::string(page) == "account" ? "menus_login" : std::string("menus_settings_") + page;
    EXPECT_EQ(game->names.current, expected);
  }
  bar_leads_home("menus_login");
}

TEST_F(Home, play_practice_and_the_campaign_start_their_mode_and_leaving_it_restarts_the_home) {
  game->settings.logged_in = 1;  // the campaign needs an account
  for (const auto &tab : {std::make_pair("tab:play", "mod_play.lua"), std::make_pair("tab:lite", "mod_classic.lua"),
                          std::make_pair("tab:brevane", "VantorBrevane/VantorBrevane.lua")}) {
    SCOPED_TRACE(tab.first);
    home();
    click(tab.first);
    EXPECT_STREQ(game->names.current, "states_play");
    EXPECT_EQ(std::string(game->mod_file), driver_data_path(tab.second));
    key(KEY_ESCAPE);
    ASSERT_STREQ(game->names.current, "states_pause");
    Widget *settings = game->mods->screen.find("settings");
    ASSERT_TRUE(settings);
    click_on(settings);
    EXPECT_EQ(stack(), "menus_settings_audio,states_pause") << "the pause's settings icon opens the settings over it";
    click("popup:done");
    EXPECT_STREQ(game->names.current, "states_pause");
    click("leave");
    EXPECT_STREQ(game->names.current, "states_tabs") << "the mode had nothing below it: home again";
    EXPECT_TRUE(main_running());
  }
}

TEST_F(Home, the_two_player_pauses_gear_opens_the_settings_over_it_as_the_one_player_pauses_does) {
  home();
  click("tab:mods");
  click("mod_dual.lua");
  ASSERT_STREQ(game->names.current, "states_play2");
  key(KEY_ESCAPE);
  ASSERT_STREQ(game->names.current, "states_pause2");
  Widget *settings = game->mods->screen.find("settings");
  ASSERT_TRUE(settings);
  // The upper half's copy of the page, in window pixels.
  StatesPlay2 *play2 = static_cast<StatesPlay2 *>(state_find("states_play2"));
  play2_view_switch(play2, 1);
  const GfxRect r = settings->get_rect(true);
  float x = r.x + r.w / 2, y = r.y + r.h / 2;
  gfx_point_to_screen(x, y);
  play2_view_switch(play2, 0);
  for (int type : {EVT_DOWN, EVT_UP}) window_pointer(type, x, y);
  EXPECT_EQ(stack(), "menus_settings_audio,states_pause2,menus_mods");
  Widget *bar = root().find("popup:done");
  EXPECT_EQ(static_cast<Label *>(static_cast<Box *>(bar)->items[0])->text, "Back") << "as the one-player pause's";
  click("popup:done");
  EXPECT_STREQ(game->names.current, "states_pause2");
}

// Tab in the chat input completes what the keywords hold from its first letters.
static void expect_tab_completes(Container &root, const std::string &word) {
  TextInput *input = dynamic_cast<TextInput *>(root.find("input"));
  ASSERT_TRUE(input);
  input->set_text(str_lower(word.substr(0, 2)).c_str());
  input->set_cursor(true, true);
  Event tab(EVT_KEYDOWN);
  tab.key = KEY_TAB;
  tab.ch = '\t';
  var action;
  chat_panel_event(game, &root, tab, action);
  EXPECT_EQ(input->text, word);
}

TEST_F(Home, the_online_modes_give_the_chat_the_players_names_and_tab_completes_them) {
  home();
  click("tab:mods");
  click("mod_server.lua");
  for (int i = 0; i < 300 && !(game->chat && !game->chat->keywords.empty()); i++) {
    game_net_server_loop(game);  // the pumps of the game's frame: the host joins its own server
    game_net_client_loop(game);
    frame();
  }
  ASSERT_TRUE(game->chat);
  ASSERT_EQ(game->chat->keywords.size(), 1u) << "the hosting player, once joined";
  const std::string host = game->chat->keywords[0];
  EXPECT_NE(game->mods->param_get("html").str().find(host), std::string::npos) << "the name the lobby shows";
  ASSERT_STREQ(game->names.current, "states_lobby");
  expect_tab_completes(root(), host);

  home();
  click("tab:mods");
  click("mod_client.lua");
  chat_start(game);  // as joining a server makes it
  var lobby;
  var_dict2(lobby, "type", "net:lobby", "value", "[\"Quinn\", \"Rosalind\"]");
  mods_event(game, lobby);
  EXPECT_EQ(game->chat->keywords, (std::vector<std::string>{"Quinn", "Rosalind"}));
}

TEST_F(Home, connecting_to_a_server_that_does_not_answer_is_left_by_cancel_and_by_escape) {
  for (const bool by_escape : {false, true}) {
    SCOPED_TRACE(by_escape ? "escape" : "cancel");
    home();
    click("tab:mods");
    click("mod_client.lua");
    game->mods->screen.find("port")->set_value(var(std::to_string(free_port()).c_str()));
    click("connect");
    ASSERT_TRUE(game->client) << "connecting";
    for (int i = 0; i < 10; i++) {
      game_net_client_loop(game);
      frame();
    }
    ASSERT_STREQ(game->names.current, "states_lobby");
    if (by_escape) {
      key(KEY_ESCAPE);
    } else {
      click("leave");
    }
    EXPECT_STREQ(game->names.current, "menus_mods") << "back on the page the mode was started from";
    EXPECT_FALSE(game->client) << "the pending connection is dropped";
  }
}

// Without the campaign's web service no tab or text offers it, and the classic menu's Play starts a
// quick match rather than the sign-in.
TEST_F(Home, only_a_game_with_a_web_service_offers_the_campaign) {
  for (const bool web : {false, true}) {
    game_web_configure(web ? "example.org" : nullptr);
    home();
    EXPECT_EQ(root().find("tab:brevane") != nullptr, web);
    EXPECT_EQ(str_lower(game->mods->param_get("html").str()).find("campaign") != std::string::npos, web);
    click("tab:news");
    click("state:menus_main");
    click(web ? "menus_login" : "menus_play");
    EXPECT_STREQ(game->names.current, web ? "menus_login" : "states_play");
  }
}

TEST_F(Home, the_mods_page_fits_the_default_window_without_a_slider) {
  app_info->width = 1280;
  app_info->height = 720;
  home();
  click("tab:mods");
  for (Widget *w : root().children()) EXPECT_FALSE(dynamic_cast<ScrollBox2 *>(w)) << "a page that fits does not scroll";
}

TEST_F(Home, the_mods_page_starts_every_listed_mode_and_a_file_of_the_players_own) {
  home();
  click("tab:mods");
  std::vector<std::string> modes;
  for (Widget *w : root().children()) {
    const var &c = w->action.click;
    if (c.type() != VAR_DICT) continue;
    const std::string value = c["value"].str();
    if (value.size() > 4 && value.compare(value.size() - 4, 4, ".lua") == 0) modes.push_back(value);
  }
  EXPECT_EQ(modes.size(), 9u);
  for (const std::string &mode : modes) {
    SCOPED_TRACE(mode);
    home();
    click("tab:mods");
    click(mode);
    EXPECT_EQ(std::string(game->mod_file), driver_data_path(mode.c_str()));
    ASSERT_TRUE(game->mods);
    EXPECT_EQ(std::string(game->names.current).rfind("states_", 0), 0u) << game->names.current;
  }

  home();
  click("tab:mods");
  click("magnet");
  EXPECT_STREQ(game->names.current, "test_magnetset");
  EXPECT_FALSE(game->mods) << "the layouts are the screen's own world";

  file("mine.lua",
       "function _init() local me = w2_user_init('me', 0x00ff00, 0)\n"
       "w2_planet_init(me, 100, 100, 50, 10) w2_param_set('player', me) w2_param_set('mine', 1)\n"
       "w2_param_set('state', 'play') end\nfunction _loop(dt) end\n");
  const std::string path = folder + "/mine.lua";
  home();
  click("tab:mods");
  Widget *field = root().find("fname");
  ASSERT_TRUE(field);
  field->set_value(var(path));
  click("open");
  EXPECT_EQ(std::string(game->mod_file), path);
  ASSERT_TRUE(game->mods);
  EXPECT_EQ(game->mods->param_get("mine").number(), 1);
  EXPECT_STREQ(game->names.current, "states_play");
}

TEST_F(Home, news_links_open_their_pages_over_the_news_and_the_bar_and_escape_lead_back_to_it) {
  for (const char *page : {"menus_stats", "menus_clans", "menus_store", "menus_main"}) {
    SCOPED_TRACE(page);
    for (bool by_escape : {false, true}) {
      home();
      click("tab:news");
      click(std::string("state:") + page);
      EXPECT_EQ(stack(), std::string(page) + ",menus_news");
      if (by_escape) {
        key(KEY_ESCAPE);
      } else {
        click("popup:done");
      }
      EXPECT_STREQ(game->names.current, "menus_news");
      key(KEY_ESCAPE);
      EXPECT_STREQ(game->names.current, "states_tabs") << "the news page leads home";
      EXPECT_TRUE(main_running()) << "with the home's tabs";
    }
  }
}

TEST_F(Home, the_classic_menu_from_the_news_runs_no_mod_and_its_match_and_pages_lead_back_to_it) {
  home();
  click("tab:news");
  click("state:menus_main");
  EXPECT_FALSE(game->mods) << "the classic menu runs no mod";
  click("menus_lite");
  ASSERT_STREQ(game->names.current, "states_play");
  key(KEY_ESCAPE);
  click("leave");
  EXPECT_EQ(stack(), "menus_main,menus_news") << "a match started from the classic menu returns to it";
  click("menus_mods");
  key(KEY_ESCAPE);
  EXPECT_STREQ(game->names.current, "menus_main");
  click("menus_settings");
  EXPECT_EQ(stack(), "menus_login,menus_main,menus_news");
  for (const char *back : {"menus_main", "menus_news", "states_tabs"}) {
    click("popup:done");
    EXPECT_STREQ(game->names.current, back);
  }
  EXPECT_TRUE(main_running()) << "the home's tabs are back";
}

TEST_F(Home, escape_leaves_every_settings_and_menu_page_as_its_bar_does) {
  for (const char *tab : {"tab:mods", "tab:news", "tab:settings", "tab:brevane"}) {
    SCOPED_TRACE(tab);
    home();
    click(tab);
    key(KEY_ESCAPE);
    EXPECT_STREQ(game->names.current, "states_tabs");
  }
  home();
  click("tab:settings");
  for (const char *page : {"audio", "video", "controls", "options"}) {
    SCOPED_TRACE(page);
    click(std::string("tab:settings:") + page);
    key(KEY_ESCAPE);
    EXPECT_STREQ(game->names.current, "states_tabs");
    home();
    click("tab:settings");
  }

  home();
  click("tab:lite");
  key(KEY_ESCAPE);
  ASSERT_STREQ(game->names.current, "states_pause");
  click_on(game->mods->screen.find("settings"));
  ASSERT_STREQ(game->names.current, "menus_settings_audio");
  key(KEY_ESCAPE);
  EXPECT_STREQ(game->names.current, "states_pause") << "the settings over a pause go back to it";

  menus_error_show(game, "trouble");
  ASSERT_STREQ(game->names.current, "menus_error");
  key(KEY_ESCAPE);
  EXPECT_STREQ(game->names.current, "states_pause") << "Escape is the error page's Continue";
}

namespace {

// Every widget outside a scroll window lies on the screen; a scroll window lies on it as a whole.
void expect_on_screen(Widget *w, const std::string &where) {
  const GfxRect r = w->get_rect(true);
  const float width = (float)game_ui_width(), height = (float)game_ui_height();
  if (r.w > 0 && r.h > 0) {
    EXPECT_TRUE(r.x >= -1 && r.y >= -1 && r.x + r.w <= width + 1 && r.y + r.h <= height + 1)
        << where << ": '" << w->id << "' at " << r.x << "," << r.y << " " << r.w << "x" << r.h << " on " << width << "x"
        << height;
  }
  if (dynamic_cast<ScrollBox *>(w)) return;
  if (Container *c = dynamic_cast<Container *>(w)) {
    for (Widget *child : c->items) expect_on_screen(child, where);
  }
}

// Every tab's label fits inside its tab.
void expect_labels_fit(Container &root, const std::string &where) {
  Widget *strip = root.find("tabs");
  if (!strip) return;
  for (Widget *w : strip->children()) {
    Label *label = dynamic_cast<Label *>(w);
    if (!label || !label->parent) continue;
    EXPECT_LE(label->outer_w, label->parent->content_w) << where << ": " << label->text;
  }
}

}  // namespace

TEST_F(Home, the_first_tab_lights_the_control_that_enter_presses_and_escape_leads_back) {
  mods_start_main(game);  // the Tab comes as the home fades in, before its first frame
  Widget *help = button("help");
  ASSERT_TRUE(help);
  key(KEY_TAB);
  for (int i = 0; i < 8; i++) frame();  // the look's transition steps
  EXPECT_TRUE(help->style.focus);
  EXPECT_EQ(help->style.records[STYLE_CURRENT].fg_alpha, 255) << "the focused control is lit as brightly as can be";
  Event enter(EVT_KEYUP);
  enter.key = KEY_ENTER;
  state_event(game->names.current, enter);
  frame();
  EXPECT_TRUE(button("home")) << "Enter pressed it: the rules page, with its way back";
  key(KEY_ESCAPE);
  EXPECT_TRUE(button("help")) << "Escape leads back to the start page";
}

TEST_F(Home, the_bricks_wall_stands_in_the_middle_of_the_field_the_view_fits) {
  home();
  ASSERT_TRUE(menus_mod_start_data(game, "mod_bricks.lua"));
  frame();
  float left = 1e9f, right = -1e9f;  // the bricks: every planet but the two homes
  for (const Item &item : game->data.vantor.items) {
    if (!item.in_use || !item.has_planet || item.ships_production >= 100) continue;
    left = std::min(left, item.position_x);
    right = std::max(right, item.position_x);
  }
  ASSERT_LT(left, right);
  float bounds[4];
  view_world_bounds(&game->data.vantor, bounds);
  EXPECT_NEAR(bounds[0] + bounds[2] / 2, (left + right) / 2, 1) << "the view centres what it fits, at any size";
}

TEST_F(Home, every_page_fits_every_window_at_every_ui_size) {
  const char *const PAGES[] = {"menus_main",
                               "menus_login",
                               "menus_settings_audio",
                               "menus_settings_video",
                               "menus_settings_controls",
                               "menus_settings_options",
                               "menus_news",
                               "menus_mods",
                               "menus_stats",
                               "menus_clans",
                               "menus_store",
                               "menus_splash"};
  const int SIZES[][2] = {{800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}};
  for (const auto &size : SIZES) {
    for (int ui : {320, 480, 640, 960}) {
      const std::string where = std::to_string(size[0]) + "x" + std::to_string(size[1]) + " at " + std::to_string(ui);
      app_info->width = size[0];
      app_info->height = size[1];
      game->settings.vsize = ui;
      home();
      for (const char *own : {"help", "home"}) {
        click(own);
        expect_on_screen(&root(), where + " home " + own);
        expect_on_screen(&game->mods->screen, where + " home page " + own);
        expect_labels_fit(root(), where);
      }
      for (const char *page : PAGES) {
        state_change(page, &game->names, -1);
        frame();
        expect_on_screen(&root(), where + " " + page);
        expect_labels_fit(root(), where + " " + page);
        if (std::string(page) != "menus_login") continue;
        for (const char *value : {"login", "new"}) {
          const GfxRect r = button(value)->get_rect(true);
          EXPECT_LE(r.y + r.h, game_ui_height() - MENUS_BAR_HEIGHT) << where << ": " << value << " shows unscrolled";
        }
      }
      state_change("menus_main", &game->names, -1);
      std::string words;
      for (int i = 0; i < 300; i++) words += "reply ";
      menus_error_show(game, words.c_str());
      frame();
      expect_on_screen(&root(), where + " error");
      state_pop(&game->names);
    }
  }
}

// A mod of the player's own with tabs of its own: their clicks reach it, the strip follows its "tab",
// and a markup "tabs" is the mod's own bar rather than the engine's strip.
TEST_F(Home, a_mods_own_tabs_reach_it_and_the_strip_follows_its_params) {
  file("tabbed.lua",
       "function _init() w2_param_set('tabs', 'one=First, two, quit') w2_param_set('tab', 'one')\n"
       "w2_param_set('html', '<table><tr><td><p>the page of a tab</p></table>') w2_param_set('state', 'tabs') end\n"
       "function _event(e) if e.type == 'onclick' and e.value == 'tab:two' then w2_param_set('tab', 'two') end\n"
       "if e.value == 'tab:markup' then w2_param_set('tabs', \"<table><tr><td><input type='button' value='M'"
       " onclick='tab:m' /></table>\") end end\nfunction _loop(dt) end\n");
  snprintf(game->mod_file, sizeof game->mod_file, "%s/tabbed.lua", folder.c_str());
  mods_start(game);
  frame();
  ASSERT_STREQ(game->names.current, "states_tabs");
  const int selected = gfx_img_load("gui-tab0");
  EXPECT_EQ(root().find("tab:one")->style.records[STYLE_BASE].bg_image, selected);
  click("tab:two");
  EXPECT_EQ(game->mods->param_get("tab").str(), "two");
  EXPECT_EQ(root().find("tab:two")->style.records[STYLE_BASE].bg_image, selected);
  EXPECT_NE(root().find("tab:one")->style.records[STYLE_BASE].bg_image, selected);

  var markup;
  var_dict2(markup, "type", "onclick", "value", "tab:markup");
  mods_event(game, markup);
  frame();
  EXPECT_FALSE(root().find("tabs")) << "no engine strip for markup";
  EXPECT_TRUE(game->mods->screen.find("tabs")) << "the mod's own bar";
  EXPECT_STREQ(game->names.current, "states_tabs");
}

TEST_F(Home, the_tab_strip_shares_the_width_and_shrinks_every_label_until_the_widest_fits) {
  const int w = game_ui_width();
  Container root;
  ASSERT_TRUE(menus_tabs_strip(root, "a=Home, b=Campaign, c=Settings", "b"));
  Label *wide = nullptr;
  for (Widget *c : root.find("tab:b")->children()) wide = wide ? wide : dynamic_cast<Label *>(c);
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->font, font_load("font", 20)) << "room enough: the controls' own size";
  EXPECT_EQ(root.find("tab:b")->style.records[STYLE_BASE].bg_image, gfx_img_load("gui-tab0"));
  EXPECT_EQ(root.find("tab:a")->style.records[STYLE_BASE].bg_image, gfx_img_load("gui-tab1"));
  EXPECT_EQ(root.find("tabs")->action.down["type"].str(), "ignore") << "presses stay off the world";

  Container crowded;
  std::string many;
  for (int i = 0; i < 12; i++) many += "t" + std::to_string(i) + "=Campaign,";
  ASSERT_TRUE(menus_tabs_strip(crowded, many, "t0"));
  crowded.layout_inner();
  int labels = 0;
  for (Widget *c : crowded.children()) {
    Label *label = dynamic_cast<Label *>(c);
    if (!label) continue;
    labels++;
    EXPECT_NE(label->font, font_load("font", 20)) << "shrunk";
    EXPECT_LE(label->outer_w, (float)(w / 12)) << label->text;
  }
  EXPECT_EQ(labels, 12);
  Container none;
  EXPECT_FALSE(menus_tabs_strip(none, "<table></table>", ""));
  EXPECT_TRUE(none.items.empty());
}

// A main script that quits as it starts cannot be the home: the engine's own main menu takes over
// instead of starting it again and again.
TEST_F(Home, a_main_script_that_quits_at_once_leaves_the_engines_main_menu) {
  file(MODS_MAIN_SCRIPT, "function _init() w2_param_set('state', 'quit') end\nfunction _loop(dt) end\n");
  mods_start_main(game);
  EXPECT_STREQ(game->names.current, "menus_main");
  EXPECT_FALSE(game->mods);
}
