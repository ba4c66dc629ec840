// The chat panel: the log widget, the icon buttons, the chat bar and the per-event and per-frame steps.
#include "chat_panel.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "chat.h"
#include "game.h"
#include "game_video.h"
#include "kez_font.h"
#include "kez_gfx-tex.h"
#include "mods_api.h"
#include "state.h"
#include "text_input.h"
#include "vantor_paint.h"
#include "vantor_view.h"

static const int CHAT_BAND = 44;          // the chat bar's row, the time column, the chat tab's width
static const int CHAT_FONT_SIZE = 20;     // the log's and the input's font size
static const int CHAT_OPEN_MIN = 88;      // an opened log is at least this tall
static const int CHAT_SETTLE_ROOM = 176;  // a settled log leaves this much of the screen above it
static const int CHAT_RESIZE_ROOM = 132;  // a dragged log leaves this much
static const int CHAT_ICON_SIZE = 34;
static const int CHAT_ICON_MARGIN = 5;
static const int CHAT_ICON_ALPHA = 85;
static const float CHAT_TIME_COLUMN_TEXT = 880;  // the time font's size x the width of " 88:88 "
static const int CHAT_OVER_MATCH_ALPHA = 150;     // a line's opacity over the match

// The "type" of an action dict; empty for anything else.
static std::string _chat_type(const var &action) {
  if (action.type() != VAR_DICT || !action.has(var("type"))) return "";
  return action["type"].str();
}

// The chat tab and the chat icon sit on the left unless the player is left-handed.
static bool _chat_tab_left(const Game *g) { return !g || g->settings.ui_lefty <= 0; }

// One line of the log's font; a font that failed to load still scrolls by its nominal size.
static float _chat_line_h(int font) {
  const float h = font_text_height(font, nullptr, 0);
  return h > 0 ? h : (float)CHAT_FONT_SIZE;
}

// The height of a text wrapped as font_draw wraps it (width 0: only at line feeds).
static float _chat_text_height(int font, const std::string &text, float width) {
  FontLines lines;
  const int count = font_wrap(font, text.c_str(), width, lines);
  return (float)std::max(count, 1) * _chat_line_h(font);
}

static Widget *_chat_root(Widget *w) {
  while (w->parent) w = w->parent;
  return w;
}

static ChatLog *_chat_log(Widget *root) { return root ? dynamic_cast<ChatLog *>(root->find("chat")) : nullptr; }

static TextInput *_chat_input(Widget *root) { return dynamic_cast<TextInput *>(root->find("input")); }

// The item of the local player's user; 0 when there is none.
static int _chat_local_user(const World *world) {
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &it = world->items[n];
    if (it.in_use && it.has_user && it.has_player) return n;
  }
  return 0;
}

ChatLog::ChatLog(Game *g, int m, int t) : game(g), font(font_load("font", CHAT_FONT_SIZE)), tab(t != 0), mode(m == 1) {
  id = "chat";
  focusable = 1;
  action.change = widget_action("chat_scroll");
  const float stamp_w = font_text_width(font, " 88:88 ");
  time_font = stamp_w > 0 ? font_load("font", std::clamp((int)(CHAT_TIME_COLUMN_TEXT / stamp_w), 1, 880)) : 0;
}

int ChatLog::height() const {
  const int ui_h = game_ui_height();
  if (!game || !game->chat || ui_h <= 0) return 0;
  const int64_t stored = game->chat->log_heights[mode == 1];  // mode is public: only 0 and 1 index
  return (int)std::clamp<int64_t>((int64_t)ui_h * (stored - 1) / 1000, 0, ui_h);
}

void ChatLog::height_set(float h) {
  const int ui_h = game_ui_height();
  if (!game || !game->chat || ui_h <= 0) return;
  const int old = height();
  const double units = std::isnan(h) ? 0 : std::clamp((double)h, 0.0, (double)ui_h);
  game->chat->log_heights[mode == 1] = (int32_t)(units * 1000 / ui_h + 1);
  pos_y -= (float)(height() - old);
  layout();
}

float ChatLog::lines_height() const {
  float sum = 0;
  for (float h : heights) sum += h;
  return sum;
}

void ChatLog::measure() {
  heights.clear();
  if (!game || !game->chat) return;
  const float width = std::max(0.0f, content_w - CHAT_BAND);
  for (const ChatLine &line : game->chat->lines) heights.push_back(_chat_text_height(font, line.text, width));
}

void ChatLog::scroll_step() {
  if (pressed) return;
  const float most = (float)std::max(0, widget_trunc(lines_height() + 22 - content_h));
  const float d = scroll - speed;
  if (d < 0 || d > most) {
    scroll = 0.85f * d + 0.15f * (d < 0 ? 0 : most);
    speed *= 0.5f;
  } else {
    scroll = d;
    speed *= 0.95f;
  }
  speed = std::trunc(speed * 10) / 10;  // a fling dies out instead of creeping for ever
}

void ChatLog::settle() {
  if (resizing) return;
  const float h = (float)height();
  const float top = (float)std::max(0, game_ui_height() - CHAT_SETTLE_ROOM);
  const float goal = h <= CHAT_BAND ? 0 : std::min(h, top);
  if (h != goal) height_set(0.05f * goal + 0.95f * h);
}

void ChatLog::set_int(int n) {
  scroll = (float)n * _chat_line_h(font);
  speed = 0;
}

// Drag-scroll mode: a held press moves the lines with the pointer and leaves a fling behind.
static var _chat_log_drag(ChatLog &log, const Event &e) {
  if (e.type == EVT_DOWN) log.pressed = 1;
  if (e.type == EVT_UP || e.type == EVT_BLUR) log.pressed = 0;
  if (e.type != EVT_MOVE || e.button == 0 || log.resizing || !(e.y > 0)) return var();
  log.scroll += e.dy;
  log.speed = -e.dy;
  return log.action.change;
}

static bool _chat_in_tab(const ChatLog &log, const Event &e) {
  if (!(e.y > 0)) return false;
  return _chat_tab_left(log.game) ? e.x < CHAT_BAND : e.x > log.content_w - CHAT_BAND;
}

// The chat tab: a press on its column starts a resize that follows the pointer up and down.
static var _chat_log_resize(ChatLog &log, const Event &e) {
  if (e.type == EVT_DOWN && _chat_in_tab(log, e)) log.resizing = 1;
  if (!log.resizing) return var();
  // A move without a button means the release went elsewhere: the resize must not follow a bare pointer.
  if (e.type == EVT_UP || e.type == EVT_LEAVE || (e.type == EVT_MOVE && e.button == 0)) {
    log.resizing = 0;
    return log.action.change;
  }
  if (e.type != EVT_MOVE) return var();
  const float most = (float)std::max(0, game_ui_height() - CHAT_RESIZE_ROOM);
  log.height_set(std::clamp((float)log.height() - e.dy, 0.0f, most));
  return log.action.change;
}

var ChatLog::on_event(Event e) {
  if (e.type == EVT_WHEEL) {
    scroll -= _chat_line_h(font) * (e.dy >= 0 ? 1 : -1);
    return action.change;
  }
  var result = Widget::on_event(e);
  if (tab) widget_keep(result, _chat_log_resize(*this, e));
  if (mode == 1) widget_keep(result, _chat_log_drag(*this, e));
  return result;
}

// Draws the image into the alpha channel only, replacing what is there.
static void _chat_alpha_write(const char *image, float w, float h) {
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
  glColor4f(1, 1, 1, 1);
  gfx_img_draw(gfx_img_load(image), 0, 0, w, h);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

// The oldest visible lines fade toward the top: the band's alpha masks what is drawn next.
static void _chat_fade_begin(float w, float h) {
  glDisable(GL_BLEND);
  _chat_alpha_write("fade", w, h);
  glEnable(GL_BLEND);
  glBlendFunc(GL_DST_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

static void _chat_fade_end(float w, float h) {
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  _chat_alpha_write("white", w, h);
}

// One line with its top at y: the text in the text column, the time centred in the time column. A
// log over a match (one without the chat tab) draws it faint, so the planets under it still show.
static void _chat_paint_line(const ChatLog &log, const ChatLine &line, float y, float h) {
  const bool left = _chat_tab_left(log.game);
  const float text_w = std::max(0.0f, log.content_w - CHAT_BAND);
  const uint32_t colour = color_readable(color_remap((uint32_t)line.color & 0xFFFFFF));
  widget_draw_color((int32_t)colour, log.tab ? 255 : CHAT_OVER_MATCH_ALPHA);
  font_draw(log.font, line.text.c_str(), left ? CHAT_BAND : 0, y, text_w, -1);
  const std::string stamp = _chat_time_text(line.time);
  const float stamp_w = font_text_width(log.time_font, stamp.c_str());
  const float stamp_h = font_text_height(log.time_font, nullptr, 0);
  const float column = left ? 0 : text_w;
  font_draw_line(log.time_font, stamp.c_str(), column + (CHAT_BAND - stamp_w) / 2, y + (h - stamp_h) / 2);
}

// Newest first, from the bottom up, until the lines leave the top.
static void _chat_paint_lines(const ChatLog &log) {
  const std::vector<ChatLine> &lines = log.game->chat->lines;
  const float text_w = std::max(0.0f, log.content_w - CHAT_BAND);
  float y = log.content_h + log.scroll;
  for (size_t i = lines.size(); i-- > 0 && y > 0;) {
    // The heights come from the last measure: lines added since have none yet.
    const float h = i < log.heights.size() ? log.heights[i] : _chat_text_height(log.font, lines[i].text, text_w);
    y -= h;
    if (y < log.content_h) _chat_paint_line(log, lines[i], y, h);
  }
  widget_draw_color(0xFFFFFF, 255);
}

// The tab tops its column, where it covers only the oldest lines' stamps (under the fade); a log
// shorter than the tab shows it standing on the chat bar.
static void _chat_paint_tab(const ChatLog &log) {
  const float a = std::min(1.0f, log.lines_height() / CHAT_OPEN_MIN) * CHAT_ICON_ALPHA / 255;
  const float h = 2 * _chat_line_h(log.font);
  glColor4f(a, a, a, a);
  gfx_img_draw(gfx_img_load("chat-tab"), _chat_tab_left(log.game) ? 0 : log.content_w - CHAT_BAND,
               std::min(0.0f, log.content_h - h), CHAT_BAND, h);
  glColor4f(1, 1, 1, 1);
}

void ChatLog::paint_inner() {
  if (!game || !game->chat) return;
  const float band = 3 * _chat_line_h(font);
  const bool fading = fade && content_w > 0;
  gfx_clip_push(0, 0, content_w, content_h);
  if (fading) _chat_fade_begin(content_w, band);
  _chat_paint_lines(*this);
  if (fading) _chat_fade_end(content_w, band);
  gfx_clip_pop();
  if (tab) _chat_paint_tab(*this);
}

void ChatLog::layout_inner() {
  content_w = std::max(0.0f, widget_style_or_f(style.records[STYLE_CURRENT].width, 0));
  content_h = (float)height();
}

GameIcon::GameIcon(const char *image) {
  StyleRecord &b = style.records[STYLE_BASE];
  b.width = b.height = CHAT_ICON_SIZE;
  b.bg_image = gfx_img_load(image);
  b.bg_alpha = CHAT_ICON_ALPHA;
  b.margin_top = b.margin_right = b.margin_bottom = b.margin_left = CHAT_ICON_MARGIN;
  focusable = 1;  // a release becomes a click only on the focused widget
  style.update();
  layout();
}

// A drag that left the icon: its press goes to the match view where the icon was pressed.
static void _game_icon_drag_out(GameIcon &icon) {
  const GfxRect r = icon.get_rect(false);
  icon.drag_x += r.x;
  icon.drag_y += r.y;
  if (!game) return;
  Event e = icon.press;
  e.x = icon.drag_x;
  e.y = icon.drag_y;
  view_event(&game->data.vantor, &game->view, _chat_local_user(&game->data.vantor), e, 0);
}

static bool _game_icon_flag_event(int type) {
  return type == EVT_ENTER || type == EVT_LEAVE || type == EVT_FOCUS || type == EVT_BLUR;
}

var GameIcon::on_event(Event e) {
  if (e.type == EVT_DOWN) {
    pressed = 1;
    press = e;
    drag_x = e.x;
    drag_y = e.y;
    return Widget::on_event(e);
  }
  if (!pressed) {
    if (_game_icon_flag_event(e.type)) Widget::on_event(e);  // hover and focus stay true
    return var();
  }
  if (e.type == EVT_MOVE) {
    const StyleRecord &b = style.records[STYLE_BASE];
    if (e.x >= 0 && e.y >= 0 && e.x < b.width && e.y < b.height) return Widget::on_event(e);
    pressed = 0;
    _game_icon_drag_out(*this);
    return var();
  }
  if (e.type == EVT_CLICK) pressed = 0;
  return Widget::on_event(e);
}

WPause::WPause() : GameIcon("icon-pause") {
  action.click = widget_action("pause");
  action.down = widget_action("ignore");
}

ChatIcon::ChatIcon() : GameIcon("icon-chat") {
  id = "chat_icon";
  action.click = widget_action("chat");
  action.down = widget_action("ignore");
}

void ChatIcon::loop() {
  const ChatLog *log = _chat_log(_chat_root(this));
  if (!log) return;
  const char *want = log->height() > 1 ? "keyboard" : "expand";
  if (_chat_type(action.click) != want) action.click = widget_action(want);
}

// Hands an event to the log as if it happened there. Focus and hover belong to the log's own place
// in the page, so those are not passed on.
static void _chat_icon_forward(ChatIcon &icon, Event e) {
  ChatLog *log = _chat_log(_chat_root(&icon));
  if (!log || e.type == EVT_ENTER || e.type == EVT_FOCUS || e.type == EVT_BLUR) return;
  if (e.type == EVT_DOWN || e.type == EVT_MOVE || e.type == EVT_UP) {
    const GfxRect from = icon.get_rect(false), to = log->get_rect(false);
    e.x += from.x - to.x;
    e.y += from.y - to.y;
  }
  log->on_event(e);
}

var ChatIcon::on_event(Event e) {
  // The log saw the press: it must see the release too, or a tap on the icon would leave the log held
  // (its scrolling stopped) and resizing.
  if (!pressed || e.type == EVT_UP) _chat_icon_forward(*this, e);
  return GameIcon::on_event(e);
}

void ChatTable::loop() {
  const ChatLog *log = _chat_log(_chat_root(this));
  const bool shown = log && log->height() > 1;
  disabled = !shown;
  if (TextInput *input = _chat_input(this)) {
    input->disabled = !shown;
    // Drawn as focused without joining the page's focus path: keys reach it through the chat only.
    input->style.focus = shown;
    input->style.state();
  }
  Table::loop();
}

void ChatTable::paint_inner() {
  if (visible()) Table::paint_inner();
}

static void _chat_pad(StyleRecord &r, int pad) { r.padding_top = r.padding_bottom = pad; }

// The chat bar: "> " and the input line, both filling the 44-unit row.
static ChatTable *_chat_bar(Game *g, int ui_w) {
  ChatTable *bar = new ChatTable();
  bar->disabled = 1;
  Label *prompt = new Label(font_load("font-console", CHAT_FONT_SIZE), "> ");
  prompt->layout_inner();
  // Both cells fill the 44-unit row with the same padding above their line of text, so the prompt
  // stands on the input text's baseline.
  const int pad = (CHAT_BAND - widget_trunc(prompt->content_h)) / 2;
  _chat_pad(prompt->style.records[STYLE_BASE], pad);
  TextInput *input = new TextInput(font_load("font", CHAT_FONT_SIZE), "");
  chat_input_restore(g, input);
  input->id = "input";
  input->disabled = 1;
  input->action.change = widget_action("input");
  StyleRecord &in = input->style.records[STYLE_BASE];
  in.width = (float)(ui_w - widget_trunc(prompt->content_w + 2 * CHAT_BAND));
  _chat_pad(in, pad);
  bar->add_cell(prompt, 1, 1);
  bar->add_cell(new Box(input), 1, 1);
  return bar;
}

void chat_panel_build(Game *g, Container *root, int mode, int tab) {
  if (!g->client) return;
  const int ui_w = game_ui_width(), ui_h = game_ui_height();
  const bool left = _chat_tab_left(g);
  ChatLog *log = new ChatLog(g, mode, tab);
  log->style.records[STYLE_BASE].width = (float)(ui_w - CHAT_BAND);
  root->add_at(log, left ? 0 : CHAT_BAND, ui_h - CHAT_BAND - log->height());
  root->add_at(new ChatIcon(), left ? 0 : ui_w - CHAT_BAND, ui_h - CHAT_BAND);
  root->add_at(_chat_bar(g, ui_w), CHAT_BAND, ui_h - CHAT_BAND);
}

// The number catch: while it is enabled, digit keys go to the page (the match's percent keys) rather
// than into the chat. Pointer input and Enter enable it, typing anything but a digit disables it.
static Widget *_chat_num_catch(Game *g, Container *root, const Event &e) {
  Widget *c = root->find("num_catch");
  if (!c) {
    c = new Widget();
    c->id = "num_catch";
    c->style.records[STYLE_BASE].width = c->style.records[STYLE_BASE].height = 0;
    root->add_at(c, 0, 0);
  }
  const bool key_down = e.type == EVT_KEYDOWN;
  if (!state_on_stack(&g->names, "states_play")) {
    c->disabled = 1;
  } else if (e.type == EVT_DOWN || e.type == EVT_UP || e.type == EVT_WHEEL || (key_down && e.key == KEY_ENTER)) {
    c->disabled = 0;
  } else if (key_down && e.ch != 0 && !(e.ch >= '0' && e.ch <= '9')) {
    c->disabled = 1;
  }
  return c;
}

// Keys the page keeps: Home, Escape, the console key, and digits while the number catch is on.
static bool _chat_key_for_page(const Event &e, const ChatLog &log, const Widget &num_catch) {
  if (e.key == KEY_HOME || e.key == KEY_ESCAPE || e.ch == '`') return true;
  const bool catching = !num_catch.disabled || log.height() <= 1;
  return catching && e.ch >= '0' && e.ch <= '9';
}

// A key for the chat input: Tab completes a keyword, everything else is the input's own.
static var _chat_input_key(Game *g, TextInput *input, const Event &e) {
  if (e.type != EVT_KEYDOWN || e.key != KEY_TAB) return input->event(e);
  if (g->chat) chat_complete(g->chat, input);
  return var();
}

static void _chat_remove_named(Container *root, const char *name) {
  for (Widget *w = root->find(name); w && w->parent;) {
    w->parent->remove(w);
    Widget *next = root->find(name);
    if (next == w) break;  // not in its parent's list: it cannot be removed
    w = next;
  }
}

// After the keyboard toggles or a line is sent: the newest line in view, the on-screen row gone.
static void _chat_to_newest(Container *root, ChatLog *log) {
  log->set_int(0);
  _chat_remove_named(root, "tab");
  _chat_remove_named(root, "/");
}

static void _chat_keyboard_toggle() {
  if (driver_keyboard_active()) {
    driver_keyboard_hide();
    return;
  }
  gfx_focus_rect_set(0, (float)(game_ui_height() - CHAT_BAND), (float)game_ui_width(), CHAT_BAND);
  driver_keyboard_show();
}

static Event _chat_key_event(int key, int ch) {
  Event e(EVT_KEYDOWN);
  e.key = key;
  e.ch = ch;
  return e;
}

// Carries out the chat's own actions; true when the action was one of them.
static bool _chat_act(Game *g, Container *root, ChatLog *log, var &action) {
  const std::string type = _chat_type(action);
  TextInput *input = _chat_input(root);
  if (type == "tab" || type == "/") {
    if (input) _chat_input_key(g, input, type == "tab" ? _chat_key_event(KEY_TAB, '\t') : _chat_key_event(0, '/'));
  } else if (type == "keyboard") {
    _chat_keyboard_toggle();
    _chat_to_newest(root, log);
  } else if (type == "expand") {
    if (driver_keyboard_active()) driver_keyboard_hide();
    log->height_set(std::max(log->height(), CHAT_OPEN_MIN));
    action = widget_action("chat");
    return false;  // the state opens the panel
  } else if (type == "input") {
    if (input) chat_send(g, input);
    _chat_to_newest(root, log);
  } else if (type != "chat_scroll") {
    return false;
  }
  return true;
}

bool chat_panel_event(Game *g, Container *root, const Event &e, var &action) {
  ChatLog *log = _chat_log(root);
  if (!log) return false;
  const Widget *num_catch = _chat_num_catch(g, root, e);
  if (e.type != EVT_KEYDOWN && e.type != EVT_KEYUP) return _chat_act(g, root, log, action);
  TextInput *input = _chat_input(root);
  if (_chat_key_for_page(e, *log, *num_catch) || !input) return false;
  action = _chat_input_key(g, input, e);
  _chat_act(g, root, log, action);
  return true;
}

bool chat_panel_close(Container *root) {
  ChatLog *log = _chat_log(root);
  if (!log || log->height() <= 1) return false;
  if (driver_keyboard_active()) driver_keyboard_hide();
  log->height_set(0);
  return true;
}

// The room above the log for the running mod's lobby page, less its 44-unit bands.
static void _chat_htmlbox(Game *g, int room) {
  if (!g->mods) return;
  Widget *box = g->mods->screen.find("htmlbox");
  if (box) box->style.records[STYLE_BASE].height = (float)std::max(0, room - 2 * CHAT_BAND);
}

void chat_panel_loop(Game *g, Container *root) {
  ChatLog *log = _chat_log(root);
  if (!log) return;
  const int ui_w = game_ui_width(), ui_h = game_ui_height();
  const bool left = _chat_tab_left(g);
  log->style.records[STYLE_BASE].width = (float)(ui_w - CHAT_BAND);
  log->style.update();
  log->layout();
  log->measure();
  log->scroll_step();
  log->settle();
  log->pos_x = left ? 0 : CHAT_BAND;
  log->pos_y = (float)(ui_h - CHAT_BAND) - log->outer_h;
  for (Widget *w : root->items) {
    if (ChatIcon *icon = dynamic_cast<ChatIcon *>(w)) {
      icon->loop();
      icon->pos_x = left ? 0 : ui_w - CHAT_BAND;
      icon->pos_y = ui_h - CHAT_BAND;
    } else if (ChatTable *bar = dynamic_cast<ChatTable *>(w)) {
      bar->loop();
      bar->layout();
      bar->pos_x = CHAT_BAND;
      bar->pos_y = (float)(ui_h - CHAT_BAND + widget_trunc((CHAT_BAND - bar->outer_h) / 2));
    }
  }
  _chat_htmlbox(g, ui_h - log->height());
}
