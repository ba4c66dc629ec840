// The chat panel of the play-side screens: the log of chat lines over the match, the chat bar (the
// chat icon and, behind a "> " label, the chat input line) and the pause icon. The states build it into
// their page root, pass it every event after the root has seen it, run its loop every frame and save the
// input line when they leave (chat_input_save, chat.h).
//
// The log's height lives in the Chat (per log mode, as per-mille of the UI height plus 1), so it is
// the same on every screen; the log keeps its bottom edge on the chat bar, 44 units above the screen's
// bottom. With the settings word ui_lefty on, the chat icon and the chat tab sit on the right.
#pragma once

#include <cstdint>
#include <vector>

#include "table.h"
#include "widget.h"

struct Game;
class TextInput;

// The log of chat lines, newest at the bottom, scrolled by the wheel and (in drag-scroll mode) by
// dragging, resized by dragging its chat tab. Named "chat".
class ChatLog : public Widget {
 public:
  Game *game;                  // reaches the Chat through it; not owned
  int32_t font;                // font "font" at size 20
  int32_t fade = 1;            // the oldest visible lines fade out toward the top
  int32_t tab;                 // draws the chat tab and lets it resize the log; a log without it lies
                               // over a match and draws its lines faint
  float scroll = 0;            // units the lines are moved down (0 shows the newest line at the bottom)
  float speed = 0;             // fling speed, units per frame
  std::vector<float> heights;  // laid-out height of each line, oldest first, from the last measure
  int32_t mode;                // 1: drag-scroll mode; also picks which of the Chat's two heights is used
  int32_t time_font;           // the same face sized so that " 88:88 " fills the 44-unit time column
  int32_t pressed = 0;         // drag-scroll press held
  int32_t resizing = 0;        // chat tab drag in progress

  // A focusable log of game's chat in log mode `mode` (0 or 1), with or without the chat tab.
  ChatLog(Game *game, int mode, int tab);

  // The log's height in UI units; 0 without a chat or a UI area.
  int height() const;
  // Stores a new height (kept within 0..UI height) and moves pos_y by the change, so the bottom edge
  // stays; nothing without a chat or a UI area.
  void height_set(float h);
  // The sum of the laid-out line heights.
  float lines_height() const;
  // Lays out every line's height at the width of the text column.
  void measure();
  // Moves the scroll by the fling speed, pulled back inside 0 .. the oldest line; nothing while pressed.
  virtual void scroll_step();
  // Lets the height slide toward its rest: shut at 44 units or less, at most UI height - 176 above.
  void settle();

  // Scrolls to n line heights above the newest line.
  void set_int(int n) override;
  // Wheel and drag scrolling and chat tab resizing; the `change` action when the log moved.
  var on_event(Event e) override;
  void paint_inner() override;
  // Width from the base style, height from the Chat.
  void layout_inner() override;
};

// An icon button over the match: a 34 x 34 image at opacity 85 with a margin of 5. A drag that starts on
// it and leaves it carries on as a press in the match view.
class GameIcon : public Widget {
 public:
  int32_t pressed = 0;
  Event press;                   // the pressing event
  float drag_x = 0, drag_y = 0;  // where it was pressed, in the icon's content box

  // An icon showing the named image.
  explicit GameIcon(const char *image);
  var on_event(Event e) override;
};

// The pause icon: {"type": "pause"} on a click.
class WPause : public GameIcon {
 public:
  WPause();
};

// The chat icon, named "chat_icon": opens the log ({"type": "expand"}) while it is shut and toggles the
// on-screen keyboard ({"type": "keyboard"}) while it is shown. Events it gets while not pressed, and
// every release, also reach the log, so dragging from the icon resizes the log.
class ChatIcon : public GameIcon {
 public:
  ChatIcon();
  // Takes the click action from the log's state.
  void loop() override;
  var on_event(Event e) override;
};

// The chat bar: the "> " label and the chat input line, shown and enabled only while the log is shown.
class ChatTable : public Table {
 public:
  // Takes its visibility from the log named "chat" of its page.
  void loop() override;
  void paint_inner() override;
  // True while the log is shown.
  bool visible() const { return !disabled; }
};

// Adds the log, the chat icon and the chat bar to root when the game has a client endpoint; `mode` and
// `tab` are the log's (see ChatLog). The input line gets the saved line back (chat_input_restore).
void chat_panel_build(Game *game, Container *root, int mode, int tab);
// The panel's share of an event the root has answered with `action`: key events go to the chat input
// (digits only while the number catch is off), and the chat's own actions are carried out. Returns
// true when the chat took the event; `action` then holds what the input answered. The shut chat icon's
// {"type": "expand"} opens the log, becomes {"type": "chat"} and returns false, so the state can show the
// panel. Nothing without a log named "chat" in root.
bool chat_panel_event(Game *game, Container *root, const Event &e, var &action);
// Shuts an open panel: the log and the chat input close (a half-typed line stays in the input) and
// the on-screen keyboard hides. False, changing nothing, when the panel is not open.
bool chat_panel_close(Container *root);
// The per-frame step: the log's measure, scroll and height, and the places of the log, the chat icon
// and the chat bar; sizes the running mod's "htmlbox" to the room above the log. Nothing without a log.
void chat_panel_loop(Game *game, Container *root);
