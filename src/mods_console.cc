// The mods console: function keys, the Lua prompt and the log painted over the running mod's screen.
#include <string>

#include "game.h"
#include "game_video.h"
#include "kez_font.h"
#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "mods_start.h"
#include "widget.h"

constexpr int CONSOLE_FONT_SIZE = 20;
constexpr float CONSOLE_CLOSE_BAND = 44;  // a release above this closes the console (the tab bar's height)
constexpr int CONSOLE_SHADE = 170;        // alpha of the black behind the console

// The function keys: true when the key was one of them. F5 restarts the mod, deleting the context.
static bool _console_function_key(Game *g, const Event &e) {
  if (e.type != EVT_KEYDOWN) return false;
  ModsAPI *api = g->mods;
  switch (e.key) {
    case KEY_F1: api->console_shown = !api->console_shown; return true;
    case KEY_F2: api->console_lines.clear(); return true;
    case KEY_F5: mods_start(g); return true;
    default: return false;
  }
}

// Runs the submitted line of the console's input in the mod and empties the input.
static void _console_submit(Game *g) {
  Widget *input = g->mods->console.find("input");
  if (!input) return;
  const std::string text = input->get_value().str();
  g->mods->log_entry("> " + text);
  if (g->mods_base) g->mods_base->script(text.c_str(), "console");
  ModsAPI *api = g->mods;  // read again: the line ran in the mod and may have replaced it
  if (!api) return;
  api->console_input = text;
  input = api->console.find("input");
  if (input) input->set_value(var(""));
}

// The shown console's own keys and its page.
static void _console_shown_event(Game *g, const Event &e) {
  ModsAPI *api = g->mods;
  if (e.type == EVT_UP && e.y < CONSOLE_CLOSE_BAND) {
    api->console_shown = 0;
  } else if (e.type == EVT_KEYDOWN && e.key == KEY_ESCAPE) {
    api->console_shown = 0;
  } else if (e.type == EVT_KEYDOWN && (e.key == KEY_UP || e.key == KEY_F3)) {  // F3 recalls like UP
    Widget *input = api->console.find("input");
    if (input) input->set_value(var(api->console_input));
  } else {
    var action = api->console.event(e);
    if (action.type() == VAR_DICT && action["type"].str() == "input") _console_submit(g);
  }
}

int ModsAPI::console_event(Game *g, Event e) {
  if (!g->mods) return 0;
  if (_console_function_key(g, e)) return 1;
  if (!g->mods->console_shown) return 0;
  _console_shown_event(g, e);
  return 1;
}

// The log lines from newest to oldest, upwards from the input row, until one reaches the top.
static void _console_paint_lines(ModsAPI *api, int font, float lh, float ui_w) {
  Widget *table = api->console.find("table");
  if (!table) return;
  float y = (float)(int)table->get_rect(true).y;
  for (const std::string &line : api->console_lines) {
    y -= (float)(int)font_text_height(font, line.c_str(), ui_w);
    font_draw(font, line.c_str(), 0, y, ui_w, -1);
    if (y < -lh) break;
  }
}

// The bar of a hidden console stands above the screens' bottom band and left of their right column,
// where the chat input and the percent readout are: a mod's output must not hide the player's controls.
// Shown, the console covers the screen anyway and its bar is the bottom line.
static const float CONSOLE_BAR_CLEAR = 44;

void ModsAPI::console_paint() {
  const int font = font_load("font-console", CONSOLE_FONT_SIZE);
  const float lh = font_text_height(font, nullptr, 0);
  const float ui_w = (float)game_ui_width(), ui_h = (float)game_ui_height();
  const float clear = console_shown ? 0 : CONSOLE_BAR_CLEAR;
  const float hy = (float)(int)(ui_h - clear - lh), bar_w = ui_w - clear;
  const int black = gfx_img_load("black");
  if (console_shown) {
    widget_draw_color(0x000000, CONSOLE_SHADE);
    gfx_img_draw(black, 0, 0, ui_w, ui_h);
    widget_draw_color(0xFFFFFF, 255);
    console.layout();
    console.loop();
    console.paint();
  }
  if (!console_lines.empty() || console_shown) {
    widget_draw_color(0x000000, CONSOLE_SHADE);
    gfx_img_draw(black, 0, hy, bar_w, lh);
    widget_draw_color(0xFFFFFF, 255);
    const std::string header = ">> Console(" + std::to_string(console_lines.size()) +
                               "): F1 = toggle; F2 = clear; F5 = restart; Mods auto-reload.";
    gfx_clip_push(0, hy, bar_w, lh);
    font_draw(font, header.c_str(), 0, hy, 0, -1);
    gfx_clip_pop();
  }
  if (console_shown) _console_paint_lines(this, font, lh, ui_w);
}
