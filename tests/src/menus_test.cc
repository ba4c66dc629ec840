// Menu pages under a real window: every registered page builds and paints, the tab handler, the
// bottom bar, the page box, the error and news pages, the main menu and the settings pages.
#include "menus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "controls.h"
#include "game.h"
#include "game_video.h"
#include "game_web.h"
#include "game_web_internal.h"
#include "gui_build.h"
#include "http_test_server.h"
#include "kez_driver-files.h"
#include "menus_news.h"
#include "mods_start.h"
#include "scroll.h"
#include "vantor_paint_gl.h"

namespace {

const char *const PAGES[] = {"menus_main",
                             "menus_splash",
                             "menus_login",
                             "menus_play",
                             "menus_stats",
                             "menus_clans",
                             "menus_store",
                             "menus_settings",
                             "menus_settings_account",
                             "menus_settings_audio",
                             "menus_settings_video",
                             "menus_settings_controls",
                             "menus_settings_options",
                             "menus_settings_popup",
                             "menus_news",
                             "menus_error",
                             "menus_mods",
                             "menus_lite",
                             "menus_run"};

class Menus : public PaintGlTest {
 protected:
  void SetUp() override {
    PaintGlTest::SetUp();
    snprintf(app_info->app_name, sizeof app_info->app_name, "vantor-menus-test");
    g = std::make_unique<Game>();
    game = g.get();
    menus_init(game);
  }
  void TearDown() override {
    game_web_deinit();
    game_web_configure(nullptr);
    mods_stop(game);
    states_delete_all();
    g.reset();
    app_info->app_name[0] = 0;
    PaintGlTest::TearDown();
  }
  void go(const char *name) { state_change(name, &game->names, -1); }
  MenusState *page() { return static_cast<MenusState *>(state_find(game->names.current)); }
  // The first widget of the current page whose click answers value.
  Widget *button(const char *value) {
    for (Widget *w : page()->root.children()) {
      const var &c = w->action.click;
      if (c.type() == VAR_DICT && c.has("value") && c["value"].str() == value) return w;
    }
    return nullptr;
  }
  // The texts of the current page's labels in tree order, joined with "|".
  std::string labels() {
    std::string out;
    for (Widget *w : page()->root.children()) {
      if (Label *l = dynamic_cast<Label *>(w)) out += (out.empty() ? "" : "|") + l->text;
    }
    return out;
  }
  // Opens the login page over the main menu and clicks Sign In, then runs frames until the web
  // request has been answered (bounded).
  void sign_in() {
    go("menus_main");
    state_push(&game->names, "menus_login");
    click(button("login"));
    auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(WAIT_MS);
    while (game_web_pending() && std::chrono::steady_clock::now() < limit) {
      game_web_loop(game);
      poll(nullptr, 0, 1);
    }
    ASSERT_EQ(game_web_pending(), 0);
    state_loop(game->names.current, 0);
  }
  std::string status() { return label(page()->root.find("login:status")->parent); }
  // Lays the page out and clicks the middle of the widget through the current state.
  void click(Widget *w) {
    ASSERT_TRUE(w);
    state_paint(game->names.current);
    const GfxRect r = w->get_rect(true);
    Event down(EVT_DOWN);
    down.x = r.x + r.w / 2;
    down.y = r.y + r.h / 2;
    down.button = 1;
    state_event(game->names.current, down);
    Event up(EVT_UP);
    up.x = down.x;
    up.y = down.y;
    state_event(game->names.current, up);
  }
  // The first text inside w.
  static std::string label(Widget *w) {
    for (Widget *c : w->children()) {
      if (Label *l = dynamic_cast<Label *>(c)) return l->text;
    }
    return "";
  }
  var onclick(const char *value) {
    var a;
    var_dict2(a, "type", "onclick", "value", value);
    return a;
  }
  std::string stack() {
    std::string out;
    for (auto &slot : game->names.stack) {
      if (slot[0]) out += std::string(out.empty() ? "" : ",") + slot;
    }
    return out;
  }
  std::unique_ptr<Game> g;
};

}  // namespace

TEST_F(Menus, every_registered_page_builds_paints_and_runs_a_frame) {
  for (const char *name : PAGES) {
    go(name);
    state_paint(name);  // the play and practice pages have handed the screen to their mod by now
    state_loop(name, 0);
  }
  go("menus_settings");
  EXPECT_STREQ(game->names.current, "menus_login");
  go("menus_settings_account");
  EXPECT_STREQ(game->names.current, "menus_login");
  go("menus_settings_popup");
  EXPECT_STREQ(game->names.current, "menus_settings_audio");
}

TEST_F(Menus, tabs_change_pages_quit_posts_and_the_campaign_needs_a_login) {
  go("menus_stats");
  EXPECT_TRUE(menus_tabs_handle(game, onclick("tab:store")));
  EXPECT_STREQ(game->names.current, "menus_store");
  EXPECT_TRUE(menus_tabs_handle(game, onclick("tab:store"))) << "the current page: handled, nothing changes";
  EXPECT_EQ(stack(), "menus_store");

  EXPECT_FALSE(menus_tabs_handle(game, onclick("tab:quit"))) << "left to the page's own handler";
  EXPECT_EQ(game->quit, 1u);

  game->settings.logged_in = 0;
  EXPECT_TRUE(menus_tabs_handle(game, onclick("tab:brevane")));
  EXPECT_STREQ(game->names.current, "menus_login");
  EXPECT_EQ(game->mods, nullptr);

  var change;
  var_dict2(change, "type", "onchange", "value", "tab:play");
  EXPECT_FALSE(menus_tabs_handle(game, change));
  EXPECT_FALSE(menus_tabs_handle(game, var()));
  EXPECT_FALSE(menus_tabs_handle(game, onclick("moustache")));
}

TEST_F(Menus, the_bottom_bar_reads_back_over_a_match_and_pops_either_way) {
  go("menus_main");
  state_push(&game->names, "menus_store");
  Widget *bar = page()->root.find("popup:done");
  ASSERT_TRUE(bar);
  EXPECT_EQ(bar->action.click["value"].str(), "popup:done");
  click(bar);
  EXPECT_EQ(stack(), "menus_main");

  state_register("states_pause", new State());
  go("states_pause");
  state_push(&game->names, "menus_store");
  EXPECT_TRUE(menus_is_overlay(game));
  Box *back = static_cast<Box *>(page()->root.find("popup:done"));
  ASSERT_TRUE(back && !back->items.empty());
  EXPECT_EQ(label(back), "Back");
  click(back);
  EXPECT_EQ(stack(), "states_pause");
}

TEST_F(Menus, a_page_taller_than_its_area_scrolls_and_a_short_one_does_not) {
  std::unique_ptr<Box> short_box(menus_page_box(gui_image_widget("x", 10, 10), -88));
  EXPECT_EQ(dynamic_cast<ScrollBox2 *>(short_box->items[0]), nullptr);
  std::unique_ptr<Box> tall(menus_page_box(gui_image_widget("x", 10, 5000), -88));
  EXPECT_TRUE(dynamic_cast<ScrollBox2 *>(tall->items[0]));
  EXPECT_FLOAT_EQ(tall->style.records[STYLE_BASE].height, (float)(game_ui_height() - 88));
}

TEST_F(Menus, the_error_page_shows_its_message_over_the_screen_beneath_until_continue) {
  go("menus_main");
  menus_error_show(game, "first<br/>line");
  EXPECT_EQ(stack(), "menus_error,menus_main");
  MenusError *error = static_cast<MenusError *>(page());
  EXPECT_EQ(error->text, "first<br/>line");
  menus_error_show(game, "second");
  EXPECT_EQ(stack(), "menus_error,menus_main") << "a second error replaces the first";
  EXPECT_EQ(error->text, "second");
  click(button("continue"));
  EXPECT_EQ(stack(), "menus_main");
}

TEST_F(Menus, an_error_text_that_closes_the_page_still_leaves_a_continue_button) {
  go("menus_main");
  menus_error_show(game, "bad</p></table><table><tr><td><p>reply</p></table>");
  ASSERT_TRUE(button("continue"));
  EXPECT_EQ(labels(), "bad|reply|Continue");
  click(button("continue"));
  EXPECT_EQ(stack(), "menus_main");
}

TEST_F(Menus, a_markup_error_shows_its_paragraphs_headings_bold_text_tables_and_images) {
  go("menus_main");
  menus_error_show(game,
                   "<h1>Welcome</h1><p>Text <b>bold</b> end</p><table><tr><td>cell A<td><b>cell</b> B"
                   "</table><img src='logo' width=40 />");
  EXPECT_EQ(labels(), "Welcome|Text bold end|cell A|cell B|Continue");
  bool image = false;
  for (Widget *w : page()->root.children()) image |= w->style.records[STYLE_BASE].width == 40;
  EXPECT_TRUE(image);
  state_paint(game->names.current);
  menus_error_show(game, "<p>Hello</p>");
  EXPECT_EQ(labels(), "Hello|Continue") << "a paragraph inside the message's paragraph showed blank";
  menus_error_show(game, "Text <b>bold</b> end");
  EXPECT_EQ(labels(), "Text bold end|Continue") << "the text after the bold word was dropped";
}

TEST_F(Menus, a_plain_error_text_shows_as_written_and_a_huge_or_hostile_one_stays_bounded) {
  go("menus_main");
  menus_error_show(game, "Tom & Jerry <3 1<2 a < b\nline two");
  EXPECT_EQ(labels(), "Tom & Jerry <3 1<2 a < b\nline two|Continue");
  std::string huge;
  while (huge.size() < (5u << 20)) huge += "<p>page</p>";
  menus_error_show(game, huge.c_str());
  EXPECT_LE(page()->root.children().size(), size_t(8 * GUI_FLOW_BLOCKS_MAX));
  ASSERT_TRUE(button("continue"));
  menus_error_show(game, "<p>\x01\x1b[2J\x7f\xff\t</p>");
  state_paint(game->names.current);
  click(button("continue"));
  EXPECT_EQ(stack(), "menus_main");
}

TEST_F(Menus, news_buttons_change_only_to_pages_that_exist) {
  go("menus_main");
  state_push(&game->names, "menus_news");
  var msg;
  var_dict2(msg, "type", "content", "value",
            "<table><tr><td><input type='button' value='Nowhere' onclick='state:menus_nowhere' /><tr><td>"
            "<input type='button' value='Home' onclick='state:menus_main' /></table>");
  EXPECT_EQ(state_find("menus_news")->message(msg).type(), VAR_NONE);
  click(button("state:menus_nowhere"));
  EXPECT_STREQ(game->names.current, "menus_news");
  click(button("state:menus_main"));
  EXPECT_STREQ(game->names.current, "menus_main");
}

TEST_F(Menus, main_menu_play_pushes_the_login_and_quit_ends_the_program) {
  game_web_configure("example.org");  // signing in needs a web service
  go("menus_main");
  click(button("menus_login"));
  EXPECT_EQ(stack(), "menus_login,menus_main");
  state_pop(&game->names);
  click(button("quit"));
  EXPECT_EQ(game->quit, 1u);
}

TEST_F(Menus, splash_moves_on_to_play_once_its_time_is_up) {
  go("menus_splash");
  state_loop("menus_splash", 0.1f);
  EXPECT_STREQ(game->names.current, "menus_splash");
  state_loop("menus_splash", 1.0f);
  EXPECT_STRNE(game->names.current, "menus_splash");
  EXPECT_NE(game->mods, nullptr) << "the play page started the play mod";
}

TEST_F(Menus, mods_field_is_empty_without_a_mod_file_or_home_path) {
  unsetenv("HOMEPATH");
  game->mod_file[0] = 0;
  go("menus_mods");
  ASSERT_TRUE(page()->root.find("fname"));
  EXPECT_EQ(page()->root.find("fname")->get_value().str(), "");
  std::string long_path(600, 'a');
  EXPECT_FALSE(menus_mod_start_path(game, long_path)) << "a path that does not fit starts nothing";
  EXPECT_EQ(game->mods, nullptr);
}

TEST_F(Menus, a_mod_that_cannot_start_is_told_over_the_page_the_player_asked_from) {
  char dir[] = "/tmp/vantor-menus-mods-XXXXXX";
  ASSERT_TRUE(mkdtemp(dir));
  const std::string broken = std::string(dir) + "/mod_classic.lua";
  std::ofstream(broken) << "function _init( end";
  go("menus_mods");
  for (const std::string &path : {std::string(dir) + "/none.lua", broken}) {
    page()->root.find("fname")->set_value(var(path));
    click(button("open"));
    EXPECT_EQ(stack(), "menus_error,menus_mods");
    EXPECT_EQ(game->mods, nullptr) << "nothing of the mod runs beneath the page";
    EXPECT_EQ(labels(), "Cannot start the mod " + path + ": " +
                            (path == broken ? "[string \"mod_classic.lua\"]:1: <name> or '...' expected near 'end'"
                                            : "file missing") +
                            "|Continue");
    click(button("continue"));
    EXPECT_EQ(stack(), "menus_mods");
  }
  go("menus_main");
  // The broken file is the lite page's mod.
  snprintf(app_info->data_override, sizeof app_info->data_override, "%s", dir);
  state_push(&game->names, "menus_lite");
  EXPECT_EQ(stack(), "menus_error,menus_main") << "Continue must not lead to the page that starts the mod again";
  std::filesystem::remove_all(dir);
}

TEST_F(Menus, login_fields_are_trimmed_cut_and_log_the_player_out) {
  go("menus_login");
  game->settings.logged_in = 1;
  page()->root.find("name")->set_value(var("pilot "));
  page()->root.find("passwd")->set_value(var(std::string(70, 'p')));
  state_loop("menus_login", 0);
  EXPECT_STREQ(game->settings.user_name, "pilot");
  EXPECT_EQ(std::string(game->settings.password), std::string(63, 'p'));
  EXPECT_EQ(game->settings.logged_in, 0);
  game->settings.logged_in = 1;
  page()->root.find("name")->set_value(var(" pilot"));
  state_loop("menus_login", 0);
  EXPECT_EQ(game->settings.logged_in, 1) << "the same name after trimming, the same password after the cut";
}

TEST_F(Menus, settings_pages_copy_their_words_back_and_save_when_left) {
  const std::string file = std::string(driver_user_dir()) + "/settings-local.dat";
  std::filesystem::remove(file);
  game->settings.music_volume = 250;  // a damaged settings file
  game->settings.sound_volume = -4;
  go("menus_settings_audio");
  EXPECT_EQ(game->settings.music_volume * 1000 + game->settings.sound_volume, 100000);
  page()->root.find("music")->set_int(40);
  state_loop("menus_settings_audio", 0);
  EXPECT_EQ(game->settings.music_volume, 40);

  game->settings.ui_lefty = 0;
  game->settings.ui_scroll = 1;
  go("menus_settings_controls");
  EXPECT_TRUE(std::filesystem::exists(file)) << "leaving the audio page saved";
  page()->root.find("ui_lefty")->set_value(var(-1));
  page()->root.find("ui_percent")->set_value(var(35));
  state_loop("menus_settings_controls", 0);
  EXPECT_EQ(game->settings.ui_lefty, -1);
  EXPECT_EQ(game->settings.ui_percent, 35);
  EXPECT_EQ(game->settings.ui_scroll, 1) << "no widget: kept";
}

TEST_F(Menus, video_page_lists_the_sizes_the_display_shows_largest_first_and_keeps_an_unlisted_resolution) {
  game->settings.vres = 123 * 65536 + 45;
  go("menus_settings_video");
  std::string values;
  for (Widget *w : page()->root.children()) {
    if (OptionBox *o = dynamic_cast<OptionBox *>(w); o && o->id == "vres") values += o->value.str() + " ";
  }
  // The sizes the 1280 x 720 test display shows whole.
  EXPECT_EQ(values, "-1 83886800 52429400 41943680 41943520 31457600 ");
  state_loop("menus_settings_video", 0);
  EXPECT_EQ(game->settings.vres, 123 * 65536 + 45);
  EXPECT_TRUE(page()->root.find("vsize")) << "not a phone: the font size section is there";
}

TEST_F(Menus, sign_in_without_a_web_service_says_there_is_none) {
  game_web_configure(nullptr);
  EXPECT_TRUE(menus_tabs_handle(game, onclick("tab:brevane")));
  ASSERT_STREQ(game->names.current, "menus_login") << "the campaign tab lands on the sign-in page";
  EXPECT_EQ(status().rfind("The campaign needs an account on a web service, and this game has none", 0), 0u)
      << status();
  EXPECT_NE(status().find("VANTOR_WEB_HOST"), std::string::npos) << "how an operator sets one: " << status();
  sign_in();
  EXPECT_EQ(stack(), "menus_error,menus_login,menus_main");
  EXPECT_EQ(labels().rfind("No web service is configured", 0), 0u) << labels();
  EXPECT_EQ(game->settings.logged_in, 0);
}

TEST_F(Menus, signing_in_to_the_service_logs_in_then_the_campaign_tab_starts_its_mod) {
  WebService service([](const WebServiceRequest &) { return web_login_reply(); });
  ASSERT_TRUE(game_web_configure(service.host().c_str()));
  go("menus_login");
  EXPECT_EQ(status().rfind("The campaign needs your Vantor Brevane web account", 0), 0u) << status();
  page()->root.find("name")->set_value(var("bob"));
  state_loop("menus_login", 0);
  game_web_login(game);
  state_loop("menus_login", 0);
  EXPECT_EQ(status(), "Signing in...") << "the player sees the click was taken";
  game_web_deinit();
  sign_in();
  EXPECT_EQ(stack(), "menus_login,menus_main") << "an empty reply body opens no page";
  EXPECT_EQ(game->settings.logged_in, 1);
  EXPECT_EQ(status(), "Signed in as Bob.");
  ASSERT_EQ(service.seen().size(), 1u);
  EXPECT_EQ(service.seen()[0].query.at("_name"), "bob");
  EXPECT_TRUE(menus_tabs_handle(game, onclick("tab:brevane")));
  ASSERT_TRUE(game->mods_base);
  const std::string mod = game->mod_file;
  EXPECT_EQ(mod.substr(mod.size() - 31), "VantorBrevane/VantorBrevane.lua");
}

TEST_F(Menus, a_refused_or_refusing_sign_in_tells_the_player_and_the_game_goes_on) {
  {
    RefusedPort refused;
    ASSERT_TRUE(game_web_configure(refused.host().c_str()));
    sign_in();
  }
  EXPECT_EQ(stack(), "menus_error,menus_login,menus_main");
  EXPECT_NE(labels().find("Signing in failed: the web service at 127.0.0.1:"), std::string::npos) << labels();
  EXPECT_NE(labels().find("could not be reached (Connection refused)."), std::string::npos) << labels();
  click(button("continue"));
  EXPECT_EQ(stack(), "menus_login,menus_main");

  WebService service([](const WebServiceRequest &) {
    return web_reply("X-Response: OK\r\nX-Error: Wrong <password> & name\r\nX-Type: login\r\n");
  });
  ASSERT_TRUE(game_web_configure(service.host().c_str()));
  sign_in();
  EXPECT_EQ(labels(), "Wrong <password> & name|Continue") << "no tag of markup in it: shown as written";
  EXPECT_EQ(game->settings.logged_in, 0);
}

TEST_F(Menus, a_login_reply_with_a_page_shows_it_as_markup_over_the_login) {
  WebService service([](const WebServiceRequest &) {
    return web_login_reply("",
                           "\n  <h2>Welcome</h2><p>Hello <b>Bob</b>, good to see you.</p>"
                           "<table><tr><td>Wins<td>3<tr><td>Rank<td><b>12</b></table>\n");
  });
  ASSERT_TRUE(game_web_configure(service.host().c_str()));
  sign_in();
  EXPECT_EQ(stack(), "menus_error,menus_login,menus_main");
  EXPECT_EQ(labels(), "Welcome|Hello Bob, good to see you.|Wins|3|Rank|12|Continue");
  EXPECT_EQ(game->settings.logged_in, 1);
}

TEST_F(Menus, a_tabs_list_reads_names_and_labels_and_markup_lists_none) {
  std::vector<MenusTabEntry> tabs;
  ASSERT_TRUE(menus_tabs_parse(" a, b=Bee ,, =nameless, settings:audio = Sound ,", tabs));
  ASSERT_EQ(tabs.size(), 3u);
  EXPECT_EQ(tabs[0].name + "/" + tabs[0].label, "a/a");
  EXPECT_EQ(tabs[1].name + "/" + tabs[1].label, "b/Bee");
  EXPECT_EQ(tabs[2].name + "/" + tabs[2].label, "settings:audio/Sound");
  EXPECT_FALSE(menus_tabs_parse("  <table><tr><td><input type='button' onclick='tab:a' /></table>", tabs));
  EXPECT_TRUE(tabs.empty());
  EXPECT_FALSE(menus_tabs_parse(" , ", tabs));
  EXPECT_FALSE(menus_tabs_parse("", tabs));
}
