// The chat model: the time-stamped coloured lines of a networked game, the keywords the running mod
// offers for completion, and the saved chat input line that survives a change of screen. The panel
// that shows and edits it is chat_panel.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text_input.h"

struct Game;

// The log keeps the newest lines only: received messages and mods would otherwise grow it for ever.
constexpr size_t CHAT_LINES_MAX = 256;
// Bytes of one line's text; longer texts from the network or a mod are cut.
constexpr size_t CHAT_TEXT_MAX = 1024;

struct ChatLine {
  int32_t time;   // seconds since 1970, shown in local time
  int32_t color;  // 0xRRGGBB
  std::string text;
};

struct Chat {
  std::vector<ChatLine> lines;        // oldest first, at most CHAT_LINES_MAX
  std::vector<std::string> keywords;  // set by the running mod
  std::unique_ptr<TextInput> input;   // the saved chat input line; null on a headless server
  int32_t log_heights[2] = {0, 0};    // per log mode: the log's height as per-mille of the UI height
                                      // plus 1 (0 = closed); kept here so it outlives every screen

  // No lines, no keywords, then reset.
  explicit Chat(bool headless);
  // A new empty chat input (none when headless) and no lines; the keywords and log heights stay.
  void reset(bool headless);
  // Appends a line stamped with the current time; colour bits above 0xFFFFFF are dropped, the text is
  // cut to CHAT_TEXT_MAX bytes and the oldest line goes once there are CHAT_LINES_MAX.
  void line_add(int32_t color, const std::string &text);
};

// Creates the game's chat when it has none (headless when the game is), then resets it.
void chat_start(Game *game);
// Deletes the game's chat; nothing without one.
void chat_destroy(Game *game);

// Keeps a copy of the TextInput named "input" under root as the chat's saved input line; nothing
// without a chat, a saved line (headless) or such a widget.
void chat_input_save(Game *game, Widget *root);
// Logs "chat_input_restore" and copies the saved line (its text, cursor, selection, undo history,
// font, id and editing flags) into target, which keeps its own place in its page; nothing more without
// a saved line.
void chat_input_restore(Game *game, TextInput *target);

// Completes the word before the cursor (from the last space) with the first keyword it starts, case
// ignored, as one undoable edit; false (the text unchanged) when no keyword matches.
bool chat_complete(const Chat *chat, TextInput *input);
// Sends the input's text as a chat message through the game's client endpoint when there is one,
// then empties the input.
void chat_send(Game *game, TextInput *input);

// Module-internal, open to the tests: a time stamp as the log shows it, "%2d:%02d" on a 12-hour clock
// in local time (0 shown as 12); the empty text when the time cannot be converted.
std::string _chat_time_text(int32_t time);
