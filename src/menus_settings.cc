// Account and settings pages: widgets filled from the settings record and copied back every frame.
#include "menus_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "game.h"
#include "game_audio.h"
#include "game_video.h"
#include "game_web.h"
#include "gui_build.h"
#include "scroll.h"
#include "vantor_fleet.h"

constexpr int TABS_HEIGHT = 44;
// The game has no public web site yet: its pages live under a name reserved never to resolve.
static const char NEW_ACCOUNT_URL[] = "http://www.vantor-brevane.invalid/register";
static const char BETA_URL[] = "http://www.vantor-brevane.invalid/beta";

static bool _settings_phone() { return app_info && strcmp(app_info->device, "phone") == 0; }

void settings_tabs(Container &root, const char *tab) {
  std::string markup =
      "<table width=320><tr><td><input type='button' icon='icon-account' value='Account' "
      "onclick='tab:settings:account' name='tab:settings:account' class='tab' pseudo='first' width=$WIDTH "
      "height=$HEIGHT  /><td><input type='button' icon='icon-audio' value='Audio' onclick='tab:settings:audio'  "
      "name='tab:settings:audio' class='tab'  width=$WIDTH  height=$HEIGHT  />";
  int n = 4;
  if (!_settings_phone()) {
    markup +=
        "<td><input type='button' icon='icon-video' value='Video' onclick='tab:settings:video' "
        "name='tab:settings:video' class='tab' width=$WIDTH  height=$HEIGHT  />";
    n = 5;
  }
  markup +=
      "<td><input type='button' icon='icon-controls' value='Control' onclick='tab:settings:controls' "
      "name='tab:settings:controls' class='tab' width=$WIDTH  height=$HEIGHT /><td><input type='button' "
      "value='More' icon='icon-more' onclick='tab:settings:options'  name='tab:settings:options' class='tab'  "
      "width=$WIDTH  height=$HEIGHT  pseudo='last' /></tr></table>";
  markup = str_replace(markup, "$WIDTH", std::to_string(game_ui_width() / n));
  const std::string name = std::string("tab:settings:") + tab;
  markup = str_replace(markup, "name='" + name + "' class='tab'", "name='" + name + "' class='tab0'");
  Box *strip = new Box(gui_build(markup, var()));
  root.add_at(strip, 0, 0);
  strip->style.records[STYLE_BASE].width = (float)game_ui_width();
  if (Widget *current = root.find(name.c_str())) current->focus();
}

// The page reset, frame, tab strip and the page's markup below the strip (scrolling when tall).
static void _settings_layout(MenusState *page, const char *tab, const std::string &markup) {
  menus_page_reset(page->root);
  menus_frame(page->game, page->root, true);
  settings_tabs(page->root, tab);
  page->root.add_at(menus_page_box(gui_build(markup, var()), -88), 0, TABS_HEIGHT);
}

static void _settings_set(Container &root, const char *name, const var &value) {
  if (Widget *w = root.find(name)) w->set_value(value);
}

// The login page's three parts: the status sentence, the two fields in a box and the two buttons.
static const char LOGIN_STATUS[] = "<tr><td colspan=2><p width=320 align=center name='login:status'>$STATUS</p>";
static const char LOGIN_FIELDS[] =
    "<tr><td><table class='box'><tr><td>"
    "<table><tr><td align=right><p align=right>Vantor Brevane<br/>Username</p><td><p>&nbsp;&nbsp;&nbsp;</p><td>"
    "<input type='text' name='name' width=160 tabindex=10 maxlen=31 /><tr><td align=right><p "
    "align=right>Vantor Brevane<br/>Password</p><td><p>&nbsp;&nbsp;&nbsp;</p><td><input type='password' "
    "name='passwd' width=160 tabindex=20 maxlen=63 /></table></table>";
static const char LOGIN_BUTTONS[] =
    "<tr><td><table><tr><td>"
    "<input type='button' value='New Account' onclick='new' width=120 tabindex=-1 /><td><input type='button' "
    "value='Sign In' onclick='login' width=120 tabindex=30 class='button2' /></table>";
static const char LOGIN_SPACER[] = "<tr><td><p>&nbsp;</p>";

// The sentence above the fields: what an account is for, whether signing in is possible, and whom it
// signed in. The Campaign tab lands here too while nobody is signed in, so it says what the campaign
// needs.
static std::string _login_status(Game *g) {
  const GameSettings &s = g->settings;
  if (s.logged_in) return std::string("Signed in as ") + (s.server_name[0] ? s.server_name : s.user_name) + ".";
  if (!game_web_configured()) {
    return "The campaign needs an account on a web service, and this game has none: whoever runs it sets "
           "VANTOR_WEB_HOST to the service's host or host:port before starting it. Every other mode plays "
           "without an account.";
  }
  if (game_web_login_pending()) return "Signing in...";  // an answer can take up to the request's timeout
  return "The campaign needs your Vantor Brevane web account: sign in to play it. Every other mode plays "
         "without one.";
}

// The login page for a room `room` units high. On a short screen (the largest font on a small window)
// the fields and buttons come first, without spacer rows or the name above each label, and the status
// follows as wide as the page: the way to sign in stays on screen, the sentence scrolls if it must.
static std::string _login_markup(const std::string &status, int room) {
  const std::string line = str_replace(LOGIN_STATUS, "$STATUS", status);
  std::string markup = std::string("<table>") + line + LOGIN_SPACER + LOGIN_FIELDS + LOGIN_SPACER + LOGIN_BUTTONS +
                       "</table>";
  Widget *page = gui_build(markup, var());
  page->style.update();
  page->layout();
  const bool fits = page->outer_h + 2 * MENUS_PAGE_PADDING <= room;
  delete page;
  if (fits) return markup;
  const std::string wide = "<p width=" + std::to_string(game_ui_width() - 2 * SCROLL_GUTTER) + " ";
  return "<table>" + str_replace(LOGIN_FIELDS, "Vantor Brevane<br/>", "") + LOGIN_BUTTONS +
         str_replace(line, "<p width=320 ", wide) + "</table>";
}

void MenusLogin::init() {
  const std::string status = menus_markup_escape(_login_status(game));
  _settings_layout(this, "account", _login_markup(status, game_ui_height() - 2 * TABS_HEIGHT));
  _settings_set(root, "name", var(game->settings.user_name));
  _settings_set(root, "passwd", var(game->settings.password));
}

// Copies the trimmed text of a field, cut to 63 bytes, into a 64-byte settings field; true when it
// changed. The cut text is what is compared: a longer field must not read as changed every frame.
static bool _login_field(Container &root, const char *name, char field[64]) {
  Widget *w = root.find(name);
  if (!w) return false;
  const std::string s = str_strip(w->get_value().str()).substr(0, 63);
  if (s == field) return false;
  memset(field, 0, 64);
  memcpy(field, s.data(), s.size());
  return true;
}

void MenusLogin::loop(float) {
  root.loop();
  GameSettings &s = game->settings;
  for (auto field : {std::make_pair("name", s.user_name), std::make_pair("passwd", s.password)}) {
    if (!_login_field(root, field.first, field.second)) continue;
    s.logged_in = 0;
    game_identity_update(game);
  }
  // A sign-in answers frames after the click, and typing signs out: the sentence follows both.
  Label *status = dynamic_cast<Label *>(root.find("login:status"));
  const std::string now = _login_status(game);
  if (status && status->text != now) status->set_text(now.c_str());
}

void MenusLogin::event(Event e) {
  std::string value;
  if (!menus_page_click(game, root, e, value)) return;
  if (value == "login") {
    game_web_login(game);
  } else if (value == "new") {
    Driver::weblink(NEW_ACCOUNT_URL, 0);
  } else if (value == "beta") {
    Driver::weblink(BETA_URL, 0);
  }
}

// Volumes scale the mixer's gain: a stored value from a damaged file must not go past full.
static int _settings_volume(double v) { return v < 0 ? 0 : v > 100 ? 100 : (int)v; }

void MenusSettingsAudio::init() {
  menus_page_reset(root);
  menus_frame(game, root, true);
  settings_tabs(root, "audio");
  root.add_at(menus_markup_box("<table class='box'><tr><td><p>Music Volume</p><td><input type='slider' low='0' "
                               "high='100' step=1 name='music' onchange='music' /><tr><td><p>SFX Volume</p><td><input "
                               "type='slider' low='0' high='100' step=1 name='sfx' onchange='sfx' /></table>",
                               game_ui_width(), game_ui_height() - 88),
              0, TABS_HEIGHT);
  GameSettings &s = game->settings;
  s.sound_volume = _settings_volume(s.sound_volume);
  s.music_volume = _settings_volume(s.music_volume);
  _settings_set(root, "sfx", var(s.sound_volume));
  _settings_set(root, "music", var(s.music_volume));
}

// The effects slider's value into the settings.
static void _settings_sfx_copy(Game *g, Container &root) {
  if (Widget *sfx = root.find("sfx")) g->settings.sound_volume = _settings_volume(sfx->get_value().number());
}

void MenusSettingsAudio::loop(float) {
  root.loop();
  GameSettings &s = game->settings;
  _settings_sfx_copy(game, root);
  Widget *music = root.find("music");
  if (!music) return;
  const int v = _settings_volume(music->get_value().number());
  if (v == s.music_volume) return;
  s.music_volume = v;
  GameAudio::update(0, 1);
}

void MenusSettingsAudio::event(Event e) {
  var a = menus_page_action(root, e);
  if (a.type() == VAR_DICT && a["type"].str() == "onchange" && a["value"].str() == "sfx") {
    _settings_sfx_copy(game, root);  // a tap or an arrow key changes it before the next frame's copy
    vantor_sfx_play("ping");
  }
  menus_tabs_handle(game, a);
}

// A window size the display can show whole: within the desktop when its size is known. A larger
// window would open partly off screen, its bottom bar out of reach.
static bool _video_size_shown(int32_t vres, int desktop_w, int desktop_h) {
  const int w = vres >> 16, h = vres & 0xFFFF;
  return desktop_w <= 0 || (w <= desktop_w && h <= desktop_h);
}

// The sizes offered (width << 16 | height), largest area first (equal areas keep list order).
static std::vector<int32_t> _video_sizes() {
  int desktop_w, desktop_h;
  game_video_desktop(&desktop_w, &desktop_h);
  std::vector<int32_t> out;
  for (int32_t vres : GAME_SETTINGS_VRES)
    if (_video_size_shown(vres, desktop_w, desktop_h)) out.push_back(vres);
  std::stable_sort(out.begin(), out.end(),
                   [](int32_t a, int32_t b) { return (a >> 16) * (a & 0xFFFF) > (b >> 16) * (b & 0xFFFF); });
  return out;
}

static std::string _video_resolutions(int cols) {
  std::string out = "<tr><td><input type='option' name='vres' value='-1' title='Auto' />";
  int k = 1;
  for (int32_t vres : _video_sizes()) {
    if (k % cols == 0) out += "<tr>";
    char title[32];
    snprintf(title, sizeof title, "%dx%d", vres >> 16, vres & 0xFFFF);
    out += "<td><input type='option' name='vres' value='" + std::to_string(vres) + "' title='" + title + "' />";
    k++;
  }
  return out;
}

static std::string _video_markup() {
  const int cols = std::max(1, (game_ui_width() - 44) / 100);
  std::string markup =
      "<table><tr><td align=left><h2 class='header'>Mode</h2><tr><td class='box'><table><tr><td><input "
      "type='option' name='vfull' value='1' title='Fullscreen' /><td><input type='option' name='vfull' value='-1' "
      "title='Windowed' /></table><tr><td><p>&nbsp;</p>";
  if (!_settings_phone()) {
    markup +=
        "<tr><td align=left><h2 class='header'>Font Size</h2><tr><td class='box'><table><tr><td><input "
        "type='option' name='vsize' value='320' title='Large' /><td><input type='option' name='vsize' value='480' "
        "title='Medium' />";
    if (cols < 4) markup += "<tr>";
    markup +=
        "<td><input type='option' name='vsize' value='640' title='Small' /><td><input type='option' name='vsize' "
        "value='960' title='Tiny' /></table>";
  }
  markup +=
      "<tr><td><p>&nbsp;</p><tr><td align=left><h2 class='header'>Resolution</h2><tr><td "
      "class='box'><table>$VRES</table></table>";
  return str_replace(markup, "$VRES", _video_resolutions(cols));
}

void MenusSettingsVideo::init() {
  _settings_layout(this, "video", _video_markup());
  _settings_set(root, "vfull", var(game->settings.vfull));
  _settings_set(root, "vres", var(game->settings.vres));
  _settings_set(root, "vsize", var(game->settings.vsize));
}

// Copies a choice into its settings word; true when the word changed.
static bool _video_pick(Container &root, const char *name, int32_t &word) {
  Widget *w = root.find(name);
  if (!w) return false;
  const int v = (int)w->get_value().number();
  if (v == word) return false;
  word = v;
  return true;
}

void MenusSettingsVideo::loop(float) {
  root.loop();
  GameSettings &s = game->settings;
  bool changed = _video_pick(root, "vfull", s.vfull);
  changed |= _video_pick(root, "vres", s.vres);
  changed |= _video_pick(root, "vsize", s.vsize);
  // Applying rebuilds this page: no widget of the old page may be touched after it.
  if (changed) game->video_apply();
}

struct SettingsUiWord {
  const char *name;
  int32_t GameSettings::*word;
};

static const SettingsUiWord UI_WORDS[] = {
    {"ui_box", &GameSettings::ui_box},
    {"ui_double_select", &GameSettings::ui_double_select},
    {"ui_double_reinforce", &GameSettings::ui_double_reinforce},
    {"ui_nonplayer_select", &GameSettings::ui_nonplayer_select},
    {"ui_percent", &GameSettings::ui_percent},
    {"ui_scroll", &GameSettings::ui_scroll},
    {"ui_wheel_invert", &GameSettings::ui_wheel_invert},
    {"ui_slider", &GameSettings::ui_slider},
    {"ui_num_chat", &GameSettings::ui_num_chat},
    {"ui_right_only", &GameSettings::ui_right_only},
    {"ui_drag_drop", &GameSettings::ui_drag_drop},
    {"ui_lefty", &GameSettings::ui_lefty},
    {"ui_colorblind", &GameSettings::ui_colorblind},
    {"ui_multitouch", &GameSettings::ui_multitouch},
};

static void _settings_ui_fill(MenusState *page) {
  for (const SettingsUiWord &u : UI_WORDS) _settings_set(page->root, u.name, var(page->game->settings.*u.word));
}

static void _settings_ui_loop(MenusState *page) {
  page->root.loop();
  for (const SettingsUiWord &u : UI_WORDS) {
    if (Widget *w = page->root.find(u.name)) page->game->settings.*u.word = (int)w->get_value().number();
  }
}

void MenusSettingsControls::init() {
  _settings_layout(
      this, "controls",
      "<table class='box'><tr><td><table><td colspan=1><p align=center>Default<br/>Percent</p><td colspan=1 "
      "align=center><input type='slider' low='5' high='100' step=5 name='ui_percent' /></table><tr><td><table><tr>"
      "<td><p align=center>Left-Handed<br/>Mode</p><td align=left><input type='toggle' width=64 name='ui_lefty' />"
      "<tr><td><p align=center>Color-Blind<br/>Mode</p><td align=left><input type='toggle' width=64 "
      "name='ui_colorblind' /><tr><td><p align=center>Percent<br/>Slider</p><td align=left><input type='toggle' "
      "width=64 name='ui_slider' /></table></table>");
  _settings_ui_fill(this);
}

void MenusSettingsControls::loop(float) { _settings_ui_loop(this); }

void MenusSettingsOptions::init() {
  _settings_layout(
      this, "options",
      "<table class='box'><tr><td><table><tr><td><p align=center>Drag<br/>and Drop</p><td align=left><input "
      "type='toggle' width=64 name='ui_drag_drop' /><tr><td><p align=center>Box Select</p><td align=left><input "
      "type='toggle' width=64 name='ui_box' /><tr><td><p align=center>Double Tap<br/>Select All</p><td "
      "align=left><input type='toggle' width=64 name='ui_double_select'/><tr><td><p align=center>Right-Click<br/>"
      "Required</p><td align=left><input type='toggle' width=64 name='ui_right_only' /></table></table>");
  _settings_ui_fill(this);
}

void MenusSettingsOptions::loop(float) { _settings_ui_loop(this); }
