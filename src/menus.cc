// Menu framework: the shared menu state, the page frame and box, the tab handler and menus_init.
#include "menus.h"

#include <algorithm>
#include <cstring>

#include "controls.h"
#include "game.h"
#include "game_audio.h"
#include "game_video.h"
#include "gui_build.h"
#include "kez_driver-files.h"
#include "kez_font.h"
#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "kez_log.h"
#include "menus_main.h"
#include "menus_news.h"
#include "menus_play.h"
#include "menus_settings.h"
#include "menus_side.h"
#include "mods_start.h"
#include "mods_update.h"
#include "scroll.h"
#include "vantor_paint.h"

constexpr int MENUS_TAB_FONT = GUI_CONTROL_FONT_SIZE;  // the tabs' labels match every other button
constexpr int MENUS_TAB_FONT_MIN = 8;     // below this a label is no longer readable at the largest UI size
constexpr int MENUS_TAB_TEXT_MARGIN = 4;  // kept free at each side of a tab's label

void MenusState::paint() {
  gfx_state->virtual_w = (float)game_ui_width();
  gfx_state->virtual_h = (float)game_ui_height();
  gfx_clear();
  gfx_ortho();
  root.layout_inner();
  root.paint_inner();
}

void MenusState::event(Event e) { menus_tabs_handle(game, menus_page_action(root, e)); }

var menus_page_action(Container &root, const Event &e) {
  var a = root.on_event(e);
  if (e.type != EVT_KEYDOWN || e.key != KEY_ESCAPE) return a;
  const Widget *bar = root.find("popup:done");
  return bar ? bar->action.click : a;
}

bool menus_page_click(Game *g, Container &root, const Event &e, std::string &value) {
  var a = menus_page_action(root, e);
  if (menus_tabs_handle(g, a)) return false;
  if (a.type() != VAR_DICT || a["type"].str() != "onclick") return false;
  value = a["value"].str();
  return true;
}

void MenusState::loop(float) { root.loop(); }

void MenusSaving::deinit() { game_settings_save(&game->settings); }

void MenusForward::init() { state_change(target, &game->names, 2); }

void MenusBG::paint_inner() {
  // The menus show the default backdrop whatever match the world last held.
  World *world = &game->data.vantor;
  const uint32_t started = world->started;
  char background[sizeof world->background];
  memcpy(background, world->background, sizeof background);
  world->started = 0;
  memset(world->background, 0, sizeof world->background);
  background_paint(world);
  stars_paint(world);
  world->started = started;
  memcpy(world->background, background, sizeof background);
  widget_draw_color(0xFFFFFF, 255);
  gfx_img_draw_enlarged(gfx_img_load("vignette"), 0, 0, content_w, content_h, gfx_state->scale);
}

void menus_page_reset(Container &root) {
  static_cast<Widget &>(root) = Container();
  root.clear();
  root.hover_child = nullptr;
  root.focus_child = nullptr;
  root.hover_first_busy = 0;
}

static void _menus_base_size(Widget *w, float width, float height) {
  w->style.records[STYLE_BASE].width = width;
  w->style.records[STYLE_BASE].height = height;
}

void menus_frame(Game *g, Container &root, bool popup_bar) {
  MenusBG *bg = new MenusBG(g);
  _menus_base_size(bg, (float)game_ui_width(), (float)game_ui_height());
  root.add_at(bg, 0, 0);
  if (popup_bar) menus_bottom_bar(g, root);
}

void menus_bottom_bar(Game *g, Container &root, const char *label) {
  const int w = game_ui_width(), h = game_ui_height();
  if (!label) label = menus_is_overlay(g) ? "Back" : "Main Menu";
  std::string markup = std::string("<table width='100%'><tr><td><input type='button' value='") + label +
                       "' onclick='popup:done' name='popup:done'  width=$WIDTH  height=$HEIGHT class='tiny1' />" +
                       "</tr></table>";
  markup = str_replace(markup, "$WIDTH", std::to_string(w));
  Box *bar = new Box(gui_build(markup, var()));
  root.add_at(bar, 0, h - MENUS_BAR_HEIGHT);
  bar->layout();
  bar->style.records[STYLE_BASE].width = (float)w;
}

bool menus_tabs_parse(const std::string &text, std::vector<MenusTabEntry> &tabs) {
  tabs.clear();
  const std::string list = str_strip(text);
  if (list.empty() || list[0] == '<') return false;
  var entries;
  str_split(entries, list, ",");
  for (int i = 0; i < entries.len(); i++) {
    const std::string entry = entries[i].str();
    const size_t eq = entry.find('=');
    const std::string name = str_strip(entry.substr(0, eq));
    const std::string label = eq == std::string::npos ? name : str_strip(entry.substr(eq + 1));
    if (!name.empty()) tabs.push_back({name, label.empty() ? name : label});
  }
  return !tabs.empty();
}

// The largest font size up to the controls' own at which every label fits the room of one tab; the
// smallest size is kept even when a label is still wider, so the strip stays readable.
static int _menus_tab_font_size(const std::vector<MenusTabEntry> &tabs, float room) {
  float widest = 0;
  const int font = font_load("font", MENUS_TAB_FONT);
  for (const MenusTabEntry &tab : tabs) widest = std::max(widest, font_text_width(font, tab.label.c_str()));
  if (widest <= room) return MENUS_TAB_FONT;
  return std::max(MENUS_TAB_FONT_MIN, (int)(MENUS_TAB_FONT * room / widest));
}

bool menus_tabs_strip(Container &root, const std::string &text, const std::string &current) {
  std::vector<MenusTabEntry> tabs;
  if (!menus_tabs_parse(text, tabs)) return false;
  const int tab_w = game_ui_width() / (int)tabs.size();
  const int font = font_load("font", _menus_tab_font_size(tabs, (float)(tab_w - 2 * MENUS_TAB_TEXT_MARGIN)));
  Table *row = new Table();
  row->cur_row = 0;
  for (const MenusTabEntry &tab : tabs) {
    var click, skin;
    var_dict2(click, "type", "onclick", "value", "tab:" + tab.name);
    var_dict0(skin);
    skin["class"] = var(tab.name == current ? "tab0" : "tab");
    Box *button = gui_button_by_class(click, new Label(font, tab.label.c_str()), skin);
    button->id = "tab:" + tab.name;
    _menus_base_size(button, (float)tab_w, (float)MENUS_BAR_HEIGHT);
    row->add_cell(button, 1, 1);
  }
  Box *strip = new Box(row);
  strip->id = "tabs";
  // Presses on the strip stay off the page and the world beneath it.
  strip->action.down = strip->action.up = widget_action("ignore");
  root.add_at(strip, 0, 0);
  _menus_base_size(strip, (float)game_ui_width(), (float)MENUS_BAR_HEIGHT);
  strip->style.update();
  strip->layout();
  return true;
}

Box *menus_page_box(Widget *content, int height_offset) {
  const int w = game_ui_width(), h = game_ui_height() + height_offset;
  Box *inner = new Box(content);
  StyleRecord &base = inner->style.records[STYLE_BASE];
  base.padding_top = base.padding_bottom = MENUS_PAGE_PADDING;
  base.padding_right = 0;
  Box *view = new Box(scroll_page(inner, w, h));
  _menus_base_size(view, (float)w, (float)h);
  return view;
}

Box *menus_markup_box(const std::string &markup, int width, int height) {
  Box *box = new Box(gui_build(markup, var()));
  _menus_base_size(box, (float)width, (float)height);
  return box;
}

bool menus_is_overlay(Game *g) {
  static const char *const OVER[] = {"states_dialog", "states_scene", "states_lobby",  "states_pause",
                                     "states_pause2", "states_menu",  "states_overlay"};
  for (const char *name : OVER) {
    if (state_on_stack(&g->names, name)) return true;
  }
  return false;
}

struct MenusTab {
  const char *value;
  const char *target;  // null: handled in place
};

static const MenusTab MENUS_TABS[] = {
    {"tab:lite", "menus_lite"},
    {"tab:play", "menus_play"},
    {"tab:mods", "menus_mods"},
    {"tab:stats", "menus_stats"},
    {"tab:clans", "menus_clans"},
    {"tab:store", "menus_store"},
    {"tab:news", "menus_news"},
    {"tab:settings", "menus_settings"},
    {"tab:brevane", nullptr},
    {"tab:quit", nullptr},
    {"tab:settings:account", "menus_settings_account"},
    {"tab:settings:audio", "menus_settings_audio"},
    {"tab:settings:video", "menus_settings_video"},
    {"tab:settings:controls", "menus_settings_controls"},
    {"tab:settings:options", "menus_settings_options"},
    {"popup:done", nullptr},
};

// The campaign needs an account: without one the player is sent to sign in first.
static void _menus_brevane(Game *g) {
  if (!g->settings.logged_in) {
    state_change("menus_login", &g->names, 2);
    return;
  }
  GameAudio::play_music("mus-none");
  menus_mod_start_data(g, "VantorBrevane/VantorBrevane.lua");
}

bool menus_tabs_handle(Game *g, var a) {
  if (a.type() != VAR_DICT || a["type"].str() != "onclick") return false;
  const std::string value = a["value"].str();
  const char *target = nullptr;
  for (const MenusTab &tab : MENUS_TABS) {
    if (value != tab.value) continue;
    if (tab.target) target = tab.target;
    if (value == "tab:brevane") {
      _menus_brevane(g);
      return true;
    }
    if (value == "tab:quit") g->event(Event(EVT_QUIT));
    if (value == "popup:done") {
      mods_back(g);
      return true;
    }
  }
  if (!target) return false;
  LOG_PRINTF("%s / %s\n", target, g->names.current);
  if (strcmp(target, g->names.current) != 0) state_change(target, &g->names, 2);
  return true;
}

// Points the Game's mod file at path; "" when done, else why not (the field unchanged).
static std::string _menus_mod_file_take(Game *g, const std::string &path) {
  if (path.size() >= sizeof g->mod_file)
    return "its name is " + std::to_string(path.size()) + " bytes long, more than the " +
           std::to_string(sizeof g->mod_file - 1) + " that fit";
  memcpy(g->mod_file, path.c_str(), path.size() + 1);
  return "";
}

static void _menus_mod_failed(Game *g, const std::string &path, const std::string &failure) {
  menus_error_text(g, "Cannot start the mod " + path + ": " + failure);
}

// Starts the mod at path; "" when it runs, else why not, with nothing of it left running.
static std::string _menus_mod_start(Game *g, const std::string &path) {
  std::string failure = _menus_mod_file_take(g, path);
  if (!failure.empty()) return failure;
  failure = mods_start(g);
  if (!failure.empty()) mods_stop(g);
  return failure;
}

bool menus_mod_file_set(Game *g, const std::string &path) {
  const std::string fault = _menus_mod_file_take(g, path);
  if (!fault.empty()) _menus_mod_failed(g, path, fault);
  return fault.empty();
}

bool menus_mod_start_path(Game *g, const std::string &path) {
  const std::string failure = _menus_mod_start(g, path);
  if (failure.empty()) return true;
  _menus_mod_failed(g, path, failure);
  return false;
}

bool menus_mod_start_data(Game *g, const char *name) { return menus_mod_start_path(g, driver_data_path(name)); }

void menus_mod_launch(Game *g, const std::string &path) {
  const std::string failure = _menus_mod_start(g, path);
  if (failure.empty()) return;
  mods_back(g);  // as a mod that runs would, leave the page that only starts it: it would start it again
  _menus_mod_failed(g, path, failure);
}

void menus_error_show(Game *g, const char *text) {
  if (!state_find("menus_error")) {
    LOG_PRINTF("%s", text);
    return;
  }
  StateNames *b = &g->names;
  state_push(b, "menus_error");
  var msg;
  var_dict2(msg, var("type"), var("content"), var("value"), var(text));
  State *top = state_at(b, 0);
  if (top) top->message(msg).release();
}

void menus_error_text(Game *g, const std::string &text) {
  LOG_PRINTF("%s", text.c_str());
  // Escaped inside a paragraph of its own, it reads as written even where it looks like markup (a Lua
  // error may quote a tag), which the error page would otherwise build.
  menus_error_show(g, ("<p>" + menus_markup_escape(text) + "</p>").c_str());
}

std::string menus_markup_escape(const std::string &text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

void menus_init(Game *g) {
  state_register("menus_main", new MenusMain(g));
  state_register("menus_splash", new MenusSplash(g));
  state_register("menus_login", new MenusLogin(g));
  state_register("menus_play", new MenusPlay(g));
  state_register("menus_stats", new MenusStats(g));
  state_register("menus_clans", new MenusClans(g));
  state_register("menus_store", new MenusStore(g));
  state_register("menus_settings", new MenusSettings(g));
  state_register("menus_settings_account", new MenusSettingsAccount(g));
  state_register("menus_settings_audio", new MenusSettingsAudio(g));
  state_register("menus_settings_video", new MenusSettingsVideo(g));
  state_register("menus_settings_controls", new MenusSettingsControls(g));
  state_register("menus_settings_options", new MenusSettingsOptions(g));
  state_register("menus_settings_popup", new MenusSettingsPopup(g));
  state_register("menus_news", new MenusNews(g));
  state_register("menus_error", new MenusError(g));
  state_register("menus_mods", new MenusMods(g));
  state_register("menus_lite", new MenusLite(g));
  state_register("menus_run", new MenusRun(g));
}
