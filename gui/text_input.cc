// TextInput: editing, undo history, selection, clipboard, scrolling and painting of a text field.
#include "text_input.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "container.h"
#include "kez_font.h"

constexpr uint32_t TEXT_SELECTION_COLOUR = 0x55AAFF;
constexpr uint32_t TEXT_CARET_COLOUR = 0xFFFFFF;

static int _text_len(const TextInput &t) { return (int)std::min(t.text.size(), (size_t)INT_MAX); }

// The fields are public (the chat copies them in): bring every index back inside the text and history.
static void _text_fix(TextInput &t) {
  const int len = _text_len(t);
  t.cursor = std::clamp(t.cursor, 0, len);
  t.anchor = std::clamp(t.anchor, 0, len);
  t.hist_pos = std::clamp(t.hist_pos, 0, (int)t.history.size());
}

static void _text_display(TextInput &t) { t.display = t.password ? std::string(t.text.size(), '*') : t.text; }

// Replaces `count` bytes at `pos` by `s`, both held inside the text: history records may be older
// than a text the chat copied in.
static void _text_splice(std::string &text, size_t pos, size_t count, const std::string &s) {
  pos = std::min(pos, text.size());
  text.replace(pos, std::min(count, text.size() - pos), s);
}

// The width the text wraps at; 0 (no wrapping) for single-line fields and for a box that leaves no room
// beside the caret, where every byte would overflow and the text would turn into empty lines.
static float _text_wrap(const TextInput &t) {
  const float w = t.content_w - (float)t.caret_w;
  return t.multi_line && w > 0 ? w : 0;
}

// The right edge of a line: the wrap width, or the text's width when it does not wrap.
static float _text_right(const TextInput &t) {
  const float wrap = _text_wrap(t);
  return wrap != 0 ? wrap : font_text_width(t.font, t.display.c_str());
}

static float _text_line_step(const TextInput &t) { return font_text_height(t.font, nullptr, 0); }

// The caret rect before byte `index`. The font puts a caret before a "\n" or a wrapping space (bytes no
// line holds) at the start of the next line; it belongs at the end of the line those bytes close.
static GfxRect _text_caret(const TextInput &t, int index) {
  const float wrap = _text_wrap(t);
  FontLines lines;
  font_wrap(t.font, t.display.c_str(), wrap, lines);
  for (int k = 0; k + 1 < lines.count; k++) {
    const FontLine &l = lines.lines[k];
    if (index != l.end || lines.lines[k + 1].start <= index) continue;
    const Font *f = font_get(t.font);  // there are lines, so there is a font
    GfxRect r = {f->margin_left * f->scale, f->margin_top * f->scale + (float)k * f->line_step, 0, f->line_step};
    if (l.end > l.start) {
      const GfxRect last = font_char_rect(t.font, t.display.c_str(), l.end - 1, wrap);
      r.x = last.x + last.w;
    }
    return r;
  }
  return font_char_rect(t.font, t.display.c_str(), index, wrap);
}

static int _text_sel_start(const TextInput &t) { return std::min(t.anchor, t.cursor); }
static int _text_sel_end(const TextInput &t) { return std::max(t.anchor, t.cursor); }

static std::string _text_selection(const TextInput &t) {
  const int a = _text_sel_start(t);
  return t.text.substr((size_t)a, (size_t)(_text_sel_end(t) - a));
}

// Replaces the selection by s (an empty s deletes it).
static void _text_put(TextInput &t, const std::string &s) {
  const int a = _text_sel_start(t);
  t.replace(a, _text_sel_end(t) - a, s);
}

static void _text_clamp_scroll(TextInput &t) {
  const float wrap = _text_wrap(t);
  const float tw = font_text_width(t.font, t.display.c_str()), th = font_text_height(t.font, t.display.c_str(), wrap);
  t.scroll_x = std::max(0.0f, std::min(t.scroll_x, tw - t.content_w));
  t.scroll_y = std::max(0.0f, std::min(t.scroll_y, th - t.content_h));
}

// Single-line text has no line breaks; control bytes, DEL and every byte above 127 become "?".
static void _text_filter(std::string &s, bool multi_line) {
  for (char &c : s) {
    const signed char b = (signed char)c;
    if (c == '\n') {
      if (!multi_line) c = ' ';
    } else if (b < 32 || b == 127) {
      c = '?';
    }
  }
}

static size_t _text_history_bytes(const TextInput &t) {
  size_t n = 0;
  for (const TextEdit &e : t.history) n += e.removed.size() + e.inserted.size();
  return n;
}

// Drops the oldest records beyond the step limit, and beyond the byte budget while older ones remain:
// a field with a long text would otherwise keep 255 copies of it.
static void _text_history_trim(TextInput &t) {
  while (t.history.size() > (size_t)TEXT_INPUT_UNDO_STEPS ||
         (t.history.size() > 1 && _text_history_bytes(t) > TEXT_INPUT_UNDO_BYTES)) {
    t.history.erase(t.history.begin());
    t.hist_pos = std::max(0, t.hist_pos - 1);
  }
}

TextInput::TextInput(int f, const char *t) : font(f), text(t ? t : "") {
  focusable = 1;
  max_len = (int32_t)std::clamp(text.size(), (size_t)TEXT_INPUT_MIN_MAX_LEN, (size_t)INT32_MAX);
  _text_display(*this);
  style.update();
  layout_inner();
  _text_clamp_scroll(*this);
}

const char *TextInput::get_text() { return text.c_str(); }

void TextInput::set_text(const char *t) { replace(0, _text_len(*this), t ? t : ""); }

var TextInput::get_value() { return var(text); }

void TextInput::set_value(var v) { set_text(v.str().c_str()); }

void TextInput::replace(int pos, int count, const std::string &s) {
  if (pos < 0 || count < 0) return;
  _text_fix(*this);
  const int len = _text_len(*this);
  pos = std::min(pos, len);
  count = std::min(count, len - pos);
  std::string add = s;
  const int64_t rest = (int64_t)len - count;
  if (rest + (int64_t)add.size() > max_len) {
    const int64_t room = (int64_t)max_len - rest;
    if (room < 0 && !add.empty()) return;
    add.resize((size_t)std::max<int64_t>(room, 0));  // a text over a lowered limit can still lose bytes
  }
  if (count == 0 && add.empty()) return;  // a full field ignores the key: no empty record either
  _text_filter(add, multi_line != 0);
  history.resize((size_t)hist_pos);
  history.push_back({cursor, pos, text.substr((size_t)pos, (size_t)count), add});
  _text_splice(text, (size_t)pos, (size_t)count, add);
  _text_display(*this);
  hist_pos++;
  _text_history_trim(*this);
  cursor = anchor = pos + (int)add.size();
}

void TextInput::undo() {
  _text_fix(*this);
  if (hist_pos == 0) return;
  hist_pos--;
  const TextEdit &e = history[(size_t)hist_pos];
  _text_splice(text, (size_t)e.pos, e.inserted.size(), e.removed);
  _text_display(*this);
  cursor = anchor = e.cursor_before;
  _text_fix(*this);
}

void TextInput::redo() {
  _text_fix(*this);
  if ((size_t)hist_pos >= history.size()) return;
  const TextEdit &e = history[(size_t)hist_pos];
  _text_splice(text, (size_t)e.pos, e.removed.size(), e.inserted);
  _text_display(*this);
  hist_pos++;
  cursor = anchor = e.pos + (int)e.inserted.size();
  _text_fix(*this);
}

void TextInput::set_cursor(bool forget_goal, bool reveal) {
  _text_fix(*this);
  if (forget_goal) goal_x = -1;
  if (reveal) {
    const GfxRect c = _text_caret(*this, cursor);
    if (c.x < scroll_x) {
      scroll_x = c.x;
    } else if (c.x + (float)caret_w > scroll_x + content_w) {
      scroll_x = c.x + (float)caret_w - content_w;
    }
    if (c.y < scroll_y) {
      scroll_y = c.y;
    } else if (c.y + c.h > scroll_y + content_h) {
      scroll_y = c.y + c.h - content_h;
    }
  }
  _text_clamp_scroll(*this);
}

// The font's hit test only answers byte starts, so the place after a line's last byte could never be
// reached: End and clicks past the end of a line would land before its last byte. Takes that place when
// x is nearer to it.
static int _text_line_end(const TextInput &t, int i, int x) {
  FontLines lines;
  font_wrap(t.font, t.display.c_str(), _text_wrap(t), lines);
  for (int k = 0; k < lines.count; k++) {
    if (lines.lines[k].start > i || lines.lines[k].end - 1 != i) continue;
    const GfxRect r = _text_caret(t, i);
    return (float)x > r.x + r.w / 2 ? i + 1 : i;
  }
  return i;
}

void TextInput::cursor_at(int x, int y, bool collapse) {
  const int i = font_char_at(font, display.c_str(), (float)x, (float)y, _text_wrap(*this));
  cursor = std::clamp(_text_line_end(*this, i, x), 0, _text_len(*this));
  if (collapse) anchor = cursor;
}

// A pointer click (not Space or Enter) asks for the on-screen keyboard over the field.
static void _text_click(TextInput &t) {
  fprintf(stderr, "input:evt_click\n");
  const GfxRect r = t.get_rect(false);
  gfx_focus_rect_set(r.x, r.y, r.w, r.h);
  driver_keyboard_show();
}

// Up and Down in multi-line mode keep the column of the first press of a run.
static void _text_vertical(TextInput &t, bool up, bool shift) {
  const GfxRect r = _text_caret(t, t.cursor);
  if (t.goal_x == -1) t.goal_x = widget_trunc(r.x + r.w / 2);
  t.cursor_at(t.goal_x, widget_trunc(up ? r.y - r.h / 2 : r.y + 1.5 * r.h), !shift);
  t.set_cursor(false, true);
}

// Home and End: the start or the end of the cursor's line.
static void _text_home_end(TextInput &t, bool end, bool shift) {
  const GfxRect r = _text_caret(t, t.cursor);
  t.cursor_at(end ? widget_trunc(_text_right(t)) : 0, widget_trunc(r.y + r.h / 2), !shift);
}

static void _text_left_right(TextInput &t, bool right, bool shift) {
  if (t.anchor == t.cursor || shift) {
    t.cursor = right ? std::min(t.cursor + 1, _text_len(t)) : std::max(t.cursor - 1, 0);
    if (!shift) t.anchor = t.cursor;
  } else {
    t.cursor = t.anchor = right ? _text_sel_end(t) : _text_sel_start(t);
  }
}

// Backspace and Delete: the selection, else the byte before (after) the cursor.
static void _text_erase(TextInput &t, bool before) {
  if (t.anchor != t.cursor) {
    _text_put(t, "");
  } else if (!before) {
    t.replace(t.cursor, 1, "");
  } else if (t.cursor != 0) {
    t.replace(t.cursor - 1, 1, "");
  }
}

// The command shortcuts: undo, redo, cut, copy, paste. false for any other key.
static bool _text_command(TextInput &t, int key, bool shift) {
  if (key == KEY_Z) {
    shift ? t.redo() : t.undo();
  } else if (key == KEY_X || key == KEY_C) {
    if (!t.password && t.anchor != t.cursor) driver_clipboard_set(_text_selection(t));
    if (key == KEY_X) _text_put(t, "");
  } else if (key == KEY_V) {
    _text_put(t, driver_clipboard_get());
  } else {
    return false;
  }
  return true;
}

// Keys that edit the text or move the cursor; true when one acted (the caret is then revealed).
static bool _text_edit_key(TextInput &t, const Event &e) {
  const bool shift = (e.button & MOD_SHIFT) != 0, command = (e.button & (MOD_CTRL | MOD_ALT | MOD_GUI)) != 0;
  switch (e.key) {
    case KEY_BACKSPACE: _text_erase(t, true); return true;
    case KEY_DELETE: _text_erase(t, false); return true;
    case KEY_LEFT: _text_left_right(t, false, shift); return true;
    case KEY_RIGHT: _text_left_right(t, true, shift); return true;
    case KEY_HOME: _text_home_end(t, false, shift); return true;
    case KEY_END: _text_home_end(t, true, shift); return true;
    case KEY_ENTER: _text_put(t, "\n"); return true;  // reached in multi-line mode only
  }
  if (command && _text_command(t, e.key, shift)) return true;
  if (e.ch != '\n' && (e.ch < 32 || e.ch > 126)) return false;
  _text_put(t, std::string(1, (char)e.ch));
  return true;
}

static var _text_key(TextInput &t, const Event &e) {
  const bool shift = (e.button & MOD_SHIFT) != 0;
  if (e.key == KEY_ENTER && !t.multi_line) {
    driver_keyboard_hide();
    return t.action.change;
  }
  if (e.key == KEY_TAB || ((e.key == KEY_UP || e.key == KEY_DOWN) && !t.multi_line)) return t.Widget::on_event(e);
  if (e.key == KEY_UP || e.key == KEY_DOWN) {
    _text_vertical(t, e.key == KEY_UP, shift);
  } else if (_text_edit_key(t, e)) {
    t.set_cursor(true, true);
  }
  return var();
}

static void _text_pointer(TextInput &t, const Event &e, bool collapse) {
  t.cursor_at(widget_trunc(e.x + t.scroll_x), widget_trunc(e.y + t.scroll_y), collapse);
  t.set_cursor(true, true);
}

// Everything but the keys, after the base reaction had nothing to say.
static void _text_other(TextInput &t, const Event &e) {
  switch (e.type) {
    case EVT_CLICK:
      if (e.key != CLICK_FROM_KEYS) _text_click(t);
      break;
    case EVT_FOCUS:
      fprintf(stderr, "evt_focus\n");
      if (!t.multi_line) {
        t.anchor = 0;
        t.cursor = _text_len(t);
      }
      t.set_cursor(true, true);
      break;
    case EVT_BLUR:
      driver_keyboard_hide();
      gfx_focus_rect_clear();
      if (!t.multi_line) t.scroll_x = t.scroll_y = 0;
      break;
    case EVT_DOWN:
      fprintf(stderr, "evt_down\n");
      _text_pointer(t, e, true);
      break;
    case EVT_MOVE:
      if (t.style.focus && e.button != 0) _text_pointer(t, e, false);
      break;
    case EVT_UP: _text_pointer(t, e, false); break;
    case EVT_WHEEL:
      t.scroll_y += _text_line_step(t) * e.dy;
      _text_clamp_scroll(t);
      break;
  }
}

var TextInput::on_event(Event e) {
  _text_fix(*this);
  if (e.type == EVT_KEYDOWN) return _text_key(*this, e);
  if (e.type == EVT_KEYUP) return var();
  var base = Widget::on_event(e);
  if (base.type() != VAR_NONE) return base;
  _text_other(*this, e);
  return var();
}

// The selection: one rect on one line, else the rest of the first line, the lines between and the start
// of the last line.
static void _text_paint_selection(const TextInput &t) {
  const GfxRect a = _text_caret(t, _text_sel_start(t)), b = _text_caret(t, _text_sel_end(t));
  const float right = _text_right(t), h = a.h;
  if (a.y == b.y) {
    gfx_rect_fill(TEXT_SELECTION_COLOUR, a.x, a.y, b.x - a.x, h);
    return;
  }
  gfx_rect_fill(TEXT_SELECTION_COLOUR, a.x, a.y, right - a.x, h);
  gfx_rect_fill(TEXT_SELECTION_COLOUR, 0, a.y + h, right, b.y - a.y - h);
  gfx_rect_fill(TEXT_SELECTION_COLOUR, 0, b.y, b.x, h);
}

void TextInput::paint_inner() {
  _text_fix(*this);
  _text_display(*this);
  const StyleRecord &c = style.records[STYLE_CURRENT];
  gfx_clip_push(0, 0, content_w, content_h);
  widget_translate(-scroll_x, -scroll_y);
  if (style.focus && anchor != cursor) _text_paint_selection(*this);
  widget_draw_color(c.text_color, c.text_alpha);
  font_draw(font, display.c_str(), 0, 0, _text_wrap(*this), -1);
  widget_draw_color(0xFFFFFF, 255);
  if (style.focus) {
    const GfxRect r = _text_caret(*this, cursor);
    gfx_rect_fill(TEXT_CARET_COLOUR, r.x, r.y, (float)caret_w, r.h);  // the caret does not blink
  }
  widget_translate(scroll_x, scroll_y);
  gfx_clip_pop();
}

void TextInput::layout_inner() {
  _text_display(*this);
  const StyleRecord &c = style.records[STYLE_CURRENT];
  const float wrap = _text_wrap(*this);  // from the previous content width
  content_h = c.height != STYLE_UNSET_F ? c.height : (float)widget_trunc(font_text_height(font, display.c_str(), wrap));
  content_w = c.width != STYLE_UNSET_F
                  ? c.width
                  : std::max((float)widget_trunc(font_text_width(font, display.c_str())), content_h);
}
