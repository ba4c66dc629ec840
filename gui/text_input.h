// TextInput: the editable text field (single line, password or multi-line) with a cursor and a
// selection, an undo history, clipboard cut, copy and paste, and its text scrolled inside its box.
//
// Every change of the text goes through `replace`, which records it for undo. The selection is the
// byte range between `anchor` and `cursor`. The fields are public because the chat saves and restores
// a half-typed line by copying them; every entry point clamps `cursor`, `anchor` and `hist_pos` into
// range before using them as indexes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "widget.h"

constexpr int TEXT_INPUT_UNDO_STEPS = 255;          // edits that can be undone
constexpr size_t TEXT_INPUT_UNDO_BYTES = 1u << 20;  // removed + inserted bytes the history keeps at most
constexpr int TEXT_INPUT_MIN_MAX_LEN = 255;         // max_len of a field made with a shorter text

// One undoable change: at byte `pos`, `removed` was replaced by `inserted`.
struct TextEdit {
  int32_t cursor_before;  // the cursor when the edit was made; undo puts it back
  int32_t pos;
  std::string removed;
  std::string inserted;
};

class TextInput : public Widget {
 public:
  int32_t font;                   // font handle (kez_font.h)
  std::string text;               // the edited bytes; "\n" only in multi-line mode
  std::string display;            // what is drawn: `text`, or one "*" per byte in password mode
  std::vector<TextEdit> history;  // oldest first
  int32_t hist_pos = 0;           // records applied; those from here on can be redone
  int32_t anchor = 0;             // selection anchor, byte index
  int32_t cursor = 0;             // byte index
  int32_t caret_w = 2;            // units
  int32_t goal_x = -1;            // x that Up and Down keep in multi-line mode; -1 when none
  int32_t max_len;                // bytes
  int32_t password = 0;           // non-zero: drawn as asterisks, copy and cut skip the clipboard
  int32_t multi_line = 0;         // non-zero: Enter inserts "\n", the text wraps, Up and Down move lines

  // A focusable field showing `text` (null is empty; not an undoable edit); max_len is the larger of
  // its length and 255.
  TextInput(int font, const char *text);

  const char *get_text() override;
  // Replaces the whole text as one undoable edit (cut to max_len and filtered like typing).
  void set_text(const char *text) override;
  // The text as a string value.
  var get_value() override;
  // set_text of the value's text form.
  void set_value(var v) override;
  // Editing keys, typed bytes, pointer selection and the wheel; the `change` action for Enter in a
  // single-line field, else the base reaction's action or none.
  var on_event(Event e) override;
  void paint_inner() override;
  // A set width or height is kept; otherwise the text's size, and never narrower than tall.
  void layout_inner() override;

  // Replaces `count` bytes at `pos` by `s` (cut to max_len and filtered), recorded for undo; the cursor
  // lands after it. Nothing happens for negative arguments, for an edit that changes nothing, or when a
  // non-empty `s` finds no room (a text over a lowered max_len can still lose bytes). A `pos` past the
  // end appends.
  void replace(int pos, int count, const std::string &s);
  // Reverts the last applied edit; nothing without one.
  void undo();
  // Applies the next undone edit again; nothing at the end of the history.
  void redo();
  // Forgets the Up/Down column when asked; when `reveal`, scrolls the caret into view. The scroll is
  // always kept inside the text.
  void set_cursor(bool forget_goal, bool reveal);
  // Puts the cursor at the caret place nearest to (x, y) in text coordinates; the anchor follows when
  // `collapse`.
  void cursor_at(int x, int y, bool collapse);
};
