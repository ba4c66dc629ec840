// The chat model: lines, keywords, the saved input line, completion and sending.
#include "chat.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "game.h"
#include "kez_font.h"
#include "kez_log.h"
#include "kez_var.h"
#include "net.h"

static const int CHAT_FONT_SIZE = 20;

Chat::Chat(bool headless) { reset(headless); }

void Chat::reset(bool headless) {
  input.reset(headless ? nullptr : new TextInput(font_load("font", CHAT_FONT_SIZE), ""));
  lines.clear();
}

void Chat::line_add(int32_t color, const std::string &text) {
  if (lines.size() >= CHAT_LINES_MAX) lines.erase(lines.begin(), lines.end() - (CHAT_LINES_MAX - 1));
  // The stamp is kept in 32 bits, as the line record stores it.
  const int32_t now = (int32_t)(uint32_t)(int64_t)time(nullptr);
  lines.push_back({now, color & 0xFFFFFF, text.substr(0, CHAT_TEXT_MAX)});
}

void chat_start(Game *g) {
  if (!g->chat) g->chat = new Chat(g->headless != 0);
  g->chat->reset(g->headless != 0);
}

void chat_destroy(Game *g) {
  delete g->chat;
  g->chat = nullptr;
}

static TextInput *_chat_page_input(Widget *root) {
  return root ? dynamic_cast<TextInput *>(root->find("input")) : nullptr;
}

// Copies the half-typed line: every TextInput field (text, cursor, selection, undo history, font,
// editing flags) and the id. The rest of the widget stays `to`'s: the saved copy belongs to no page,
// and a restored line keeps its place, links and style in its new one.
static void _chat_line_copy(TextInput &to, const TextInput &from) {
  const Widget place = to;
  to = from;
  static_cast<Widget &>(to) = place;
  to.id = from.id;
}

void chat_input_save(Game *g, Widget *root) {
  TextInput *page = _chat_page_input(root);
  if (!g->chat || !g->chat->input || !page) return;
  _chat_line_copy(*g->chat->input, *page);
}

void chat_input_restore(Game *g, TextInput *target) {
  LOG_PRINTF("chat_input_restore\n");
  if (!g->chat || !g->chat->input || !target) return;
  _chat_line_copy(*target, *g->chat->input);
}

bool chat_complete(const Chat *chat, TextInput *input) {
  // The cursor is a public field: it is only trusted inside the text.
  const size_t cursor = std::min((size_t)std::max(input->cursor, 0), input->text.size());
  const size_t space = cursor == 0 ? std::string::npos : input->text.rfind(' ', cursor - 1);
  const size_t start = space == std::string::npos ? 0 : space + 1;
  const std::string word = str_lower(input->text.substr(start, cursor - start));
  for (const std::string &keyword : chat->keywords) {
    if (keyword.empty() || str_lower(keyword).compare(0, word.size(), word) != 0) continue;
    input->replace((int)start, (int)(cursor - start), keyword);
    input->set_cursor(true, true);
    return true;
  }
  return false;
}

void chat_send(Game *g, TextInput *input) {
  if (g->client) g->client->send_message("", input->text);
  input->set_text("");
}

std::string _chat_time_text(int32_t time) {
  const time_t t = time;
  struct tm local;
  if (!localtime_r(&t, &local)) return "";
  const int hour = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
  char text[16];  // "%2d:%02d" of an hour and a minute needs 6
  snprintf(text, sizeof text, "%2d:%02d", hour, local.tm_min);
  return text;
}
