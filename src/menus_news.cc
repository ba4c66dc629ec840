// News and error pages: pages whose content arrives as markup in a message.
#include "menus_news.h"

#include "game.h"
#include "game_video.h"
#include "gui_build.h"
#include "kez_driver-files.h"
#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "kez_log.h"

constexpr int NEWS_WRAP = 298;     // paragraph width of news text
constexpr int ERROR_SHADE = 0xAA;  // alpha of the darkening over the screen beneath

bool menus_content_message(const var &msg, std::string &out) {
  if (msg.type() != VAR_DICT || !msg.has("type") || msg["type"].str() != "content") return false;
  out = msg.has("value") ? msg["value"].str() : std::string();
  return true;
}

void MenusNews::init() {
  menus_page_reset(root);
  menus_frame(game, root, true);
  const std::string markup = content.empty() ? driver_data_string(NEWS_FILE) : content;
  if (markup.empty()) return;
  var style;
  var_dict0(style);
  style["p:max-width"] = var(NEWS_WRAP);
  root.add_at(menus_page_box(gui_build(markup, style), -44), 0, 0);
}

var MenusNews::message(var msg) {
  if (!menus_content_message(msg, content)) return var();
  init();
  return var();
}

void MenusNews::event(Event e) {
  var a = root.on_event(e);
  if (menus_tabs_handle(game, a)) return;
  if (a.type() != VAR_DICT || a["type"].str() != "onclick") return;
  const std::string value = a["value"].str();
  LOG_PRINTF("value: %s\n", value.c_str());
  var parts;
  str_split(parts, value, ":");
  const std::string scheme = parts[0].str();
  if (scheme == "http") {
    Driver::weblink(value.c_str(), 0);
  } else if (scheme == "state") {
    // The name comes from the web service: a page that does not exist would leave a blank screen.
    const std::string name = parts.len() > 1 ? parts[1].str() : std::string();
    if (state_find(name.c_str())) {
      state_change(name.c_str(), &game->names, 2);
    } else {
      LOG_PRINTF("no page named '%s'\n", name.c_str());
    }
  }
}

static std::string _error_markup(const std::string &text) {
  return "<table class='error'><tr><td height=80><p width=240 align=center>" + text +
         "</p><tr><td><input type='button' value='Continue' onclick='continue'></table>";
}

// True when the page still holds the Continue button (a message can close the table before it).
static bool _error_has_continue(Container &root) {
  for (Widget *w : root.children()) {
    const var &click = w->action.click;
    if (click.type() == VAR_DICT && click.has("value") && click["value"].str() == "continue") return true;
  }
  return false;
}

// The message and its button in the middle of the screen; a message too long for the screen scrolls,
// so that the button can always be reached.
static void _error_page(Container &root, const std::string &markup) {
  menus_page_reset(root);
  root.add_at(menus_page_box(gui_build(markup, var()), 0), 0, 0);
}

void MenusError::init() {
  _error_page(root, _error_markup(text));
  if (_error_has_continue(root)) return;
  // Without the button the player could never leave the page: show the text as plain text instead.
  _error_page(root, _error_markup(menus_markup_escape(text)));
}

var MenusError::message(var msg) {
  if (!menus_content_message(msg, text)) return var();
  init();
  return var();
}

void MenusError::paint() {
  State *below = state_at(&game->names, 1);
  if (below && below != this) below->paint();
  const float w = (float)game_ui_width(), h = (float)game_ui_height();
  gfx_ortho();
  widget_draw_color(0x000000, ERROR_SHADE);
  gfx_img_draw(gfx_img_load("black"), 0, 0, w, h);
  widget_draw_color(0xFFFFFF, 255);
  root.layout_inner();
  root.paint_inner();
}

void MenusError::event(Event e) {
  var a = root.on_event(e);
  if (menus_tabs_handle(game, a)) return;
  if (a.type() == VAR_DICT && a["type"].str() == "onclick") state_pop(&game->names);
}
