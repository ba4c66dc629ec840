// The news page (the game's own news, or markup a content message brings) and the error page (a message and
// a Continue button over the screen beneath).
#pragma once

#include <string>

#include "menus.h"

// "menus_news": the markup of the last content message, or until one comes the game's own news (the
// data file NEWS_FILE), on a framed page that scrolls when it is tall.
class MenusNews : public MenusState {
 public:
  using MenusState::MenusState;
  // The background, the bottom bar and the news.
  void init() override;
  // Rebuilds the page around the markup of a {"type": "content", "value": markup} message; always none.
  var message(var msg) override;
  // Tabs first; "state:NAME" buttons change to that page, "http:..." buttons open the browser.
  void event(Event e) override;

  std::string content;  // markup of the last content message; empty before the first
};

// The game's own news page, in the data folder.
constexpr const char *NEWS_FILE = "news.html";

// "menus_error": the last content message's markup in a centred box with a Continue button.
class MenusError : public MenusState {
 public:
  using MenusState::MenusState;
  // Builds the page around the current message.
  void init() override;
  // Keeps the markup of a content message and rebuilds the page; always none.
  var message(var msg) override;
  // The screen beneath, darkened, then the page.
  void paint() override;
  // Any click (Continue) pops the page.
  void event(Event e) override;

  std::string text;  // markup of the error text
};

// The markup value of a {"type": "content", "value": ...} message; false for any other message.
bool menus_content_message(const var &msg, std::string &out);
