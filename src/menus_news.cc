// News and error pages: pages whose content arrives as markup in a message.
#include "menus_news.h"

#include "game.h"
#include "game_video.h"
#include "gui_build.h"
#include "kez_driver-files.h"
#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "kez_log.h"

constexpr int NEWS_WRAP = 298;                // paragraph width of news text
constexpr int ERROR_SHADE = 0xAA;             // alpha of the darkening over the screen beneath
constexpr int ERROR_WRAP = 240;               // paragraph width of the error text
constexpr size_t ERROR_TEXT_MAX = 64 * 1024;  // bytes of a message the error page builds

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
  root.add_at(menus_page_box(gui_build(markup, style), -MENUS_BAR_HEIGHT), 0, 0);
}

var MenusNews::message(var msg) {
  if (!menus_content_message(msg, content)) return var();
  init();
  return var();
}

void MenusNews::event(Event e) {
  std::string value;
  if (!menus_page_click(game, root, e, value)) return;
  LOG_PRINTF("value: %s\n", value.c_str());
  var parts;
  str_split(parts, value, ":");
  const std::string scheme = parts[0].str();
  if (scheme == "http") {
    Driver::weblink(value.c_str(), 0);
  } else if (scheme == "state") {
    // The name comes from the web service: a page that does not exist would leave a blank screen.
    // The page opens over the news, so that its way back leads here.
    const std::string name = parts.len() > 1 ? parts[1].str() : std::string();
    if (state_find(name.c_str())) {
      state_push(&game->names, name.c_str());
    } else {
      LOG_PRINTF("no page named '%s'\n", name.c_str());
    }
  }
}

static std::string _error_markup(const std::string &text) {
  return "<table class='error'><tr><td height=80><p width=" + std::to_string(ERROR_WRAP) +
         " align=center name='error:message'>" + text +
         "</p><tr><td><input type='button' value='Continue' onclick='continue'></table>";
}

// The error box with its Continue button. A text message is its centred paragraph, shown as written
// ("<" and "&" included); markup (a web service's page, say) is built element by element in the
// paragraph's place, since a paragraph holds no markup and the page rules would drop the text around
// inline tags. Either way the message cannot take the Continue button away.
static Widget *_error_page(const std::string &message) {
  if (!gui_markup_is(message)) return gui_build(_error_markup(menus_markup_escape(message)), var());
  Widget *page = gui_build(_error_markup(""), var());
  Widget *slot = page->find("error:message");
  var style;
  var_dict0(style);
  style["p:max-width"] = var(ERROR_WRAP);
  if (slot && slot->parent) {
    Container *cell = slot->parent;
    cell->remove(slot);
    cell->add_at(gui_build_flow(message, style), 0, 0);
  }
  return page;
}

void MenusError::init() {
  menus_page_reset(root);
  // A reply can be megabytes: the page shows its start, which is all a player reads of it anyway; a
  // message too long for the screen scrolls, so that the button can always be reached.
  root.add_at(menus_page_box(_error_page(text.substr(0, ERROR_TEXT_MAX)), 0), 0, 0);
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
  const bool escape = e.type == EVT_KEYDOWN && e.key == KEY_ESCAPE;  // the page's Continue
  if (escape || (a.type() == VAR_DICT && a["type"].str() == "onclick")) state_pop(&game->names);
}
