// The news page (filled by a content message from the web service) and the error page (a message and
// a Continue button over the screen beneath).
#pragma once

#include <string>

#include "menus.h"

// "menus_news": an empty framed page until a content message brings its markup.
class MenusNews : public MenusState {
 public:
  using MenusState::MenusState;
  // The background and the bottom bar only.
  void init() override;
  // Rebuilds the page around the markup of a {"type": "content", "value": markup} message; always none.
  var message(var msg) override;
  // Tabs first; "state:NAME" buttons change to that page, "http:..." buttons open the browser.
  void event(Event e) override;
};

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
