// The mod screen and the console page: pages built from the mod's markup params, the tab bar, the
// quit and settings icons, and the console's input row. Sizes are in UI units.
#include <set>
#include <string>
#include <vector>

#include "game.h"
#include "game_video.h"
#include "gui_build.h"
#include "kez_font.h"
#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "menus.h"
#include "mods_api.h"
#include "mods_budget.h"
#include "scroll.h"
#include "text_input.h"

constexpr float TAB_BAR_H = MENUS_BAR_HEIGHT;  // the tab bar's height, and the step the page moves down by
constexpr int PAGE_PADDING = 10;               // above and below a page's content
constexpr int LOBBY_PADDING = 5;               // above and below the lobby's content
constexpr float LOBBY_H = 276;                 // the lobby's height before it follows the match view
constexpr float ICON_SIZE = 34;                // the quit and settings icons
constexpr int ICON_MARGIN = 5;                 // around each icon
constexpr size_t TABS_PAGE_MIN = 16;           // a "tabs" page of no more characters shows only the bar
constexpr int CONSOLE_FONT_SIZE = 20;

static StyleRecord &_base(Widget *w) { return w->style.records[STYLE_BASE]; }

static bool _mods_arrow(const Event &e) {
  return e.type == EVT_KEYDOWN && (e.key == KEY_UP || e.key == KEY_RIGHT || e.key == KEY_DOWN || e.key == KEY_LEFT);
}

var ModsScreenRoot::on_event(Event e) {
  Widget *backdrop = items.empty() ? nullptr : items[0];
  // A key before the screen's first frame (none runs while a screen fades in) starts where that frame
  // puts the focus: on the backdrop, whose Tab leads to the first control.
  if (backdrop && !focus_child && e.type == EVT_KEYDOWN) backdrop->select();
  if (!_mods_arrow(e) || !backdrop || backdrop->style.focus) return Container::on_event(e);
  // The backdrop covers the whole screen, so its centre lies beyond most controls in some direction:
  // it sits out the focus move an arrow makes from a control. Routing a key rebuilds nothing.
  backdrop->focusable = 0;
  var result = Container::on_event(e);
  backdrop->focusable = 1;
  return result;
}

// The control the first Tab on the backdrop leads to: the first enabled focusable widget after it that
// begins a Tab chain (no widget's Tab leads to it); null when there is none.
static Widget *_mods_first_control(ModsScreenRoot &screen, const Widget *backdrop) {
  const std::vector<Widget *> all = screen.children();
  std::set<const Widget *> linked;
  for (const Widget *w : all) linked.insert(w->tab_next);
  for (Widget *w : all) {
    if (w != backdrop && w->focusable && !w->disabled && !linked.count(w)) return w;
  }
  return nullptr;
}

// Empties a root container: a fresh one through the Widget part, then its children deleted.
static void _mods_reset(Container *root) {
  static_cast<Widget &>(*root) = Container();
  root->clear();
}

void ModsAPI::console_build() {
  _mods_reset(&console);
  int font = font_load("font-console", CONSOLE_FONT_SIZE);
  Table *table = new Table();
  table->id = "table";
  Label *prompt = new Label(font, "> ");
  prompt->style.update();
  prompt->layout();
  TextInput *input = new TextInput(font, "");
  input->id = "input";
  _base(input).width = game_ui_width() - prompt->outer_w;
  input->action.change = widget_action("input");
  table->cur_row = 0;
  table->add_cell(prompt, 1, 1);
  table->add_cell(new Box(input), 1, 1);
  table->cur_row = 1;
  table->cur_col = 0;
  table->add_cell(new Label(font, " "), 1, 1);
  table->style.update();
  table->layout();
  console.add_at(table, 0, (int)(game_ui_height() - table->outer_h));
  console.style.update();
  console.layout();
}

// Content in a frame h high (h <= 0: the screen's height plus h), as wide as the screen (screen_w x
// screen_h); the content scrolls when it is taller than the frame.
static Widget *_mods_page_frame(Widget *content, float screen_w, float screen_h, float h) {
  if (h <= 0) h += screen_h;
  Box *page = new Box(content);
  _base(page).padding_top = _base(page).padding_bottom = PAGE_PADDING;
  Box *frame = new Box(scroll_page(page, (int)screen_w, (int)h));
  _base(frame).width = screen_w;
  _base(frame).height = h;
  return frame;
}

// Names a page frame "html" and gives it the alignment of the built content.
static Widget *_mods_page(Widget *frame, const Widget *content) {
  frame->id = "html";
  _base(frame).align = content->style.records[STYLE_BASE].align;
  _base(frame).valign = content->style.records[STYLE_BASE].valign;
  return frame;
}

// Tells the mod that the markup in the param went past a cap (error; "" when it did not).
static void _mods_markup_capped(ModsAPI *api, const std::string &param, const std::string &error) {
  if (error.empty()) return;
  api->logf("ModsAPI::gui_build: %s: %s: the rest is left out\n", param.c_str(), error.c_str());
  api->error_set(error);
}

void ModsAPI::markup_check(const std::string &param) {
  GuiBuildReport report;
  report.spend = mods_budget_spend;
  gui_markup_check(param_get(param).str(), &report);
  _mods_markup_capped(this, param, report.error);
}

Widget *ModsAPI::markup_build(const std::string &param) {
  GuiBuildReport report;
  report.spend = mods_budget_spend;
  var style;
  var_dict0(style);
  Widget *built = ::gui_build(param_get(param).str(), style, &report);
  _mods_markup_capped(this, param, report.error);
  std::string &logged = markup_dropped[param];
  if (report.dropped != logged && !report.dropped.empty()) {
    logf("ModsAPI::gui_build: %s: left out %s\n", param.c_str(), report.dropped.c_str());
  }
  logged = report.dropped;
  return built;
}

// The tab bar built from the "tabs" markup when it shows in this state; null (nothing added)
// otherwise.
static Box *_mods_tab_bar(ModsAPI *api, const std::string &state) {
  Box *bar = new Box(api->markup_build("tabs"));
  bar->style.update();
  bar->layout();
  if (bar->outer_w <= SCROLL_GUTTER || (state != "tabs" && state != "xtabs" && state != "lobby")) {
    delete bar;
    return nullptr;
  }
  bar->id = "tabs";
  _base(bar).width = game_ui_width();
  _base(bar).height = TAB_BAR_H;
  bar->action.down = bar->action.up = widget_action("ignore");  // presses on the bar stay off the page
  return bar;
}

// An icon of the mod screen: image, name and click action.
static Widget *_mods_icon(const char *name, const char *image, const char *click) {
  Widget *icon = new Widget();
  icon->id = name;
  icon->focusable = 1;
  StyleRecord &b = _base(icon);
  b.width = b.height = ICON_SIZE;
  b.bg_image = gfx_img_load(image);
  b.margin_top = b.margin_right = b.margin_bottom = b.margin_left = ICON_MARGIN;
  icon->action.click = widget_action(click);
  return icon;
}

// Adds the page built from the "html" markup for the state, below a tab bar when one shows (bar).
static void _mods_page_add(ModsAPI *api, const std::string &html, const std::string &state, bool bar) {
  Widget *content = api->markup_build("html");
  float ui_w, ui_h;
  api->screen_size(ui_w, ui_h);
  int k = bar ? 1 : 0;
  if (state == "lobby") {
    Box *box = new Box(content);
    _base(box).padding_top = _base(box).padding_bottom = LOBBY_PADDING;
    ScrollBox2 *lobby = scroll_window(box, (int)ui_w, (int)LOBBY_H);
    lobby->id = "htmlbox";
    _base(lobby).bg_image = gfx_img_load("lobby-fade");
    _base(lobby).height = api->game->view.screen_rect[3] - 2 * TAB_BAR_H;
    api->screen.add_at(lobby, 0, (int)TAB_BAR_H);
  } else if (state == "tabs" || state == "xtabs") {
    if (html.size() <= TABS_PAGE_MIN) {
      delete content;
      return;
    }
    Widget *page = _mods_page(_mods_page_frame(content, ui_w, ui_h, ui_h - TAB_BAR_H * (k + 1)), content);
    if (!bar) {
      Box *outer = new Box(page);
      _base(outer).margin_top = _base(outer).margin_right = _base(outer).margin_left = 0;
      _base(outer).margin_bottom = (int)TAB_BAR_H;
      _base(outer).valign = -1;
      page = outer;
    }
    api->screen.add_at(page, 0, (int)(TAB_BAR_H * k));
  } else {
    api->screen.add_at(_mods_page(_mods_page_frame(content, ui_w, ui_h, ui_h), content), 0, 0);
  }
}

void ModsAPI::gui_build(bool keep_values) {
  console_build();
  var kept;
  var_dict0(kept);
  if (keep_values) {
    for (Widget *w : screen.children()) {
      if (!w->id.empty()) var_index_string(kept, w->id) = w->get_value();
    }
  }
  _mods_reset(&screen);
  float ui_w, ui_h;
  screen_size(ui_w, ui_h);
  // Sizes the markup gives in percent are shares of the screen the page is laid out in.
  const float virtual_w = gfx_state ? gfx_state->virtual_w : 0, virtual_h = gfx_state ? gfx_state->virtual_h : 0;
  if (gfx_state) gfx_state->virtual_w = ui_w, gfx_state->virtual_h = ui_h;
  Widget *backdrop = new Widget();
  backdrop->id = "none";
  backdrop->focusable = 1;
  _base(backdrop).width = ui_w;
  _base(backdrop).height = ui_h;
  screen.add_at(backdrop, 0, 0);
  std::string state = param_get("state").str();
  const std::string tabs = param_get("tabs").str();
  Box *bar = _mods_tab_bar(this, state);
  if (bar) screen.add_at(bar, 0, 0);
  // A "tabs" list is drawn by the tabs state itself, in the same band a markup bar would take.
  std::vector<MenusTabEntry> listed;
  const bool strip = (state == "tabs" || state == "xtabs") && menus_tabs_parse(tabs, listed);
  _mods_page_add(this, param_get("html").str(), state, bar != nullptr || strip);
  if (state != "tabs") {
    if (!param_get("remove_quit").truth()) screen.add_at(_mods_icon("quit", "icon-quit", "quit"), 0, 0);
    constexpr int corner = (int)ICON_SIZE + 2 * ICON_MARGIN;  // the settings icon sits in the bottom right corner
    screen.add_at(_mods_icon("settings", "icon-settings", "settings"), (int)ui_w - corner, (int)ui_h - corner);
  }
  if (gfx_state) gfx_state->virtual_w = virtual_w, gfx_state->virtual_h = virtual_h;
  backdrop->tab_next = _mods_first_control(screen, backdrop);
  var name, value;
  for (var it = kept.iter(); it.next_kv(name, value);) gui_set(name.str(), value);
}

void ModsAPI::screen_size(float &w, float &h) {
  const std::string state = param_get("state").str();
  const bool halves = param_get("player2").number() != 0 && (state == "play" || state == "pause");
  w = (float)game_ui_width();
  h = (float)(halves ? game_ui_height() / 2 : game_ui_height());
}

// The "html" page's place from its alignment (unset: centred); then the screen is laid out and painted.
void ModsAPI::gui_paint() {
  Widget *html = screen.find("html");
  if (html) {
    const StyleRecord &b = html->style.records[STYLE_BASE];
    float w = b.width == STYLE_UNSET_F ? 0 : b.width, h = b.height == STYLE_UNSET_F ? 0 : b.height;
    float ui_w, ui_h;
    screen_size(ui_w, ui_h);
    html->pos_x = (ui_w - w) * (widget_style_or(b.align, 0) + 1) * 0.5f;
    html->pos_y = (ui_h - h) * (widget_style_or(b.valign, 0) + 1) * 0.5f;
  }
  screen.layout();
  screen.paint();
}
