// The chat: the line log and its limits, time stamps, keyword completion, sending, the saved input line,
// and the panel's key routing, log height and scrolling.
#include "chat.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

#include "chat_panel.h"
#include "container.h"
#include "game.h"
#include "kez_font.h"
#include "net.h"
#include "vantor_paint.h"
#include "vantor_paint_gl.h"

namespace {

Event key(int type, int k, int ch) {
  Event e(type);
  e.key = k;
  e.ch = ch;
  return e;
}

// A game whose UI is 480 x 320 units, with a chat and, when asked, a client endpoint that only queues.
struct ChatGame {
  std::unique_ptr<Game> g{new Game()};
  std::unique_ptr<Net> client{new Net()};
  Container root;

  explicit ChatGame(bool with_client = true) {
    if (!app_info) driver_app_create();
    app_info->width = 480;
    app_info->height = 320;
    g->settings.vsize = 320;
    game = g.get();
    if (with_client) g->client = client.get();
    chat_start(g.get());
  }
  ~ChatGame() {
    root.clear();
    chat_destroy(g.get());
    g->client = nullptr;
  }
  void build(int mode = 1, int tab = 1) {
    chat_panel_build(g.get(), &root, mode, tab);
    chat_panel_loop(g.get(), &root);
  }
  ChatLog *log() { return dynamic_cast<ChatLog *>(root.find("chat")); }
  TextInput *input() { return dynamic_cast<TextInput *>(root.find("input")); }
  // The event as the state hands it on after the root has seen it; true when the chat took it.
  bool send(const Event &e) {
    var action = root.event(e);
    return chat_panel_event(g.get(), &root, e, action);
  }
  void type(const char *text) {
    for (const char *c = text; *c; c++) send(key(EVT_KEYDOWN, 0, *c));
  }
};

TEST(ChatModel, LogKeepsTheNewestLinesCutsLongTextsAndDropsHighColourBits) {
  Chat chat(true);
  for (size_t i = 0; i < CHAT_LINES_MAX + 5; i++) chat.line_add(0x12345678, std::to_string(i));
  ASSERT_EQ(chat.lines.size(), CHAT_LINES_MAX);
  EXPECT_EQ(chat.lines.front().text, "5");
  EXPECT_EQ(chat.lines.back().text, std::to_string(CHAT_LINES_MAX + 4));
  EXPECT_EQ(chat.lines.back().color, 0x345678);
  chat.line_add(0, std::string(CHAT_TEXT_MAX * 3, 'x'));
  EXPECT_EQ(chat.lines.back().text.size(), CHAT_TEXT_MAX);
  EXPECT_EQ(chat.input, nullptr);  // a headless server has no input line
}

TEST(ChatModel, TimeStampsShowTwelveHourClockAndAnyInt32Converts) {
  setenv("TZ", "UTC0", 1);
  tzset();
  EXPECT_EQ(_chat_time_text(5 * 60), "12:05");
  EXPECT_EQ(_chat_time_text(13 * 3600 + 7 * 60), " 1:07");
  EXPECT_EQ(_chat_time_text(12 * 3600), "12:00");
  for (int32_t t : {INT32_MIN, -1, INT32_MAX}) EXPECT_LE(_chat_time_text(t).size(), 5u) << t;
}

TEST(ChatModel, StartMakesOneChatAndResetClearsLinesAndInputButKeepsKeywords) {
  ChatGame cg(false);
  Chat *chat = cg.g->chat;
  chat->input->set_text("half");
  chat->line_add(0xFF0000, "hi");
  chat->keywords = {"alpha"};
  chat_start(cg.g.get());
  EXPECT_EQ(cg.g->chat, chat);
  EXPECT_TRUE(chat->lines.empty());
  EXPECT_EQ(chat->input->text, "");
  EXPECT_EQ(chat->keywords.size(), 1u);
}

TEST(ChatModel, CompletionReplacesTheWordBeforeTheCursorUndoablyIgnoringCase) {
  Chat chat(false);
  chat.keywords = {"", "Zed", "WORLD", "worldwide"};
  TextInput &in = *chat.input;
  in.set_text("hello wo and");
  in.cursor = in.anchor = 8;
  ASSERT_TRUE(chat_complete(&chat, &in));
  EXPECT_EQ(in.text, "hello WORLD and");
  EXPECT_EQ(in.cursor, 11);
  in.undo();
  EXPECT_EQ(in.text, "hello wo and");

  in.cursor = 1000;  // a cursor past the text completes the last word
  EXPECT_FALSE(chat_complete(&chat, &in));
  EXPECT_EQ(in.text, "hello wo and");
}

TEST(ChatPanel, EnterSendsTheLineReliablyOnlyWithAClientAndAlwaysEmptiesTheInput) {
  ChatGame cg;
  cg.build();
  cg.type("hi");
  EXPECT_TRUE(cg.send(key(EVT_KEYDOWN, KEY_ENTER, '\r')));
  ASSERT_EQ(cg.client->outgoing.size(), 1u);
  const NetMsg &m = cg.client->outgoing.front();
  EXPECT_EQ(m.type + ":" + m.data + ":" + m.peer, "message:hi:");
  EXPECT_EQ(m.flags, NET_RELIABLE);
  EXPECT_EQ(cg.input()->text, "");

  cg.g->client = nullptr;
  cg.type("lost");
  cg.send(key(EVT_KEYDOWN, KEY_ENTER, '\r'));
  EXPECT_EQ(cg.client->outgoing.size(), 1u);
  EXPECT_EQ(cg.input()->text, "");
  EXPECT_FALSE(cg.send(key(EVT_KEYDOWN, KEY_ESCAPE, 27)));  // Escape stays the page's
}

TEST(ChatPanel, DigitsGoToThePageAfterAPressUntilALetterIsTyped) {
  ChatGame cg;
  strcpy(cg.g->names.stack[0], "states_play");
  cg.build();
  cg.log()->height_set(100);
  cg.send(Event(EVT_DOWN));
  EXPECT_FALSE(cg.send(key(EVT_KEYDOWN, 0, '5')));
  cg.type("a5");
  EXPECT_EQ(cg.input()->text, "a5");
  cg.send(Event(EVT_WHEEL));
  EXPECT_FALSE(cg.send(key(EVT_KEYDOWN, 0, '6')));
  EXPECT_EQ(cg.input()->text, "a5");

  strcpy(cg.g->names.stack[0], "states_lobby");  // off the match, digits are always chat text
  cg.send(Event(EVT_DOWN));
  cg.type("7");
  EXPECT_EQ(cg.input()->text, "a57");
}

TEST(ChatPanel, TabKeyAndTabButtonCompleteAKeyword) {
  ChatGame cg;
  cg.g->chat->keywords = {"Quasar"};
  cg.build();
  cg.type("q");
  EXPECT_TRUE(cg.send(key(EVT_KEYDOWN, KEY_TAB, '\t')));
  EXPECT_EQ(cg.input()->text, "Quasar");
  cg.type(" q");
  var tab;
  var_dict0(tab);
  tab["type"] = var("tab");
  EXPECT_TRUE(chat_panel_event(cg.g.get(), &cg.root, Event(EVT_CLICK), tab));
  EXPECT_EQ(cg.input()->text, "Quasar Quasar");
}

TEST(ChatPanel, HalfTypedLineSurvivesLeavingAndReturning) {
  ChatGame cg;
  cg.build();
  cg.type("abc");
  cg.send(key(EVT_KEYDOWN, KEY_LEFT, 0));
  chat_input_save(cg.g.get(), &cg.root);
  cg.root.clear();
  cg.build();
  TextInput *in = cg.input();
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->text, "abc");
  EXPECT_EQ(in->cursor, 2);
  EXPECT_EQ(in->history.size(), 3u);
  EXPECT_NE(in->parent, nullptr);  // its own page, not the one that is gone
  EXPECT_EQ(cg.g->chat->input->parent, nullptr);
  in->undo();
  EXPECT_EQ(in->text, "ab");
}

TEST(ChatPanel, ExpandOpensTheLogAndSmallOrTallHeightsSettle) {
  ChatGame cg;
  cg.build();
  ChatLog &log = *cg.log();
  EXPECT_EQ(log.height(), 0);
  var action = cg.root.find("chat_icon")->action.click;
  EXPECT_FALSE(chat_panel_event(cg.g.get(), &cg.root, Event(EVT_CLICK), action));
  EXPECT_EQ(action["type"].str(), "chat");
  EXPECT_GE(log.height(), 88);
  chat_panel_loop(cg.g.get(), &cg.root);
  EXPECT_EQ(log.pos_y + log.outer_h, 320 - 44);  // the bottom edge stays on the chat bar
  EXPECT_EQ(cg.root.find("chat_icon")->action.click["type"].str(), "keyboard");

  log.height_set(40);
  for (int i = 0; i < 200; i++) chat_panel_loop(cg.g.get(), &cg.root);
  EXPECT_EQ(log.height(), 0);
  log.height_set(300);
  for (int i = 0; i < 300; i++) chat_panel_loop(cg.g.get(), &cg.root);
  EXPECT_NEAR(log.height(), 320 - 176, 1);

  app_info->height = 0;  // no UI area: nothing to divide by
  log.height_set(50);
  EXPECT_EQ(log.height(), 0);
}

TEST(ChatPanel, TappingTheShutChatIconOpensTheLogAndLeavesItNeitherHeldNorResizing) {
  ChatGame cg;
  cg.build();
  Event tap(EVT_DOWN);
  tap.x = 20, tap.y = 320 - 22;
  EXPECT_FALSE(cg.send(tap));
  tap.type = EVT_UP;
  var action = cg.root.event(tap);  // the release over the pressed icon is its click
  EXPECT_FALSE(chat_panel_event(cg.g.get(), &cg.root, tap, action));
  EXPECT_EQ(action["type"].str(), "chat");
  ChatLog &log = *cg.log();
  EXPECT_GE(log.height(), 88);
  EXPECT_EQ(log.pressed, 0);
  EXPECT_EQ(log.resizing, 0);
}

TEST(ChatPanel, ChatTabDragResizesUntilReleaseOrABareMove) {
  ChatGame cg;
  cg.build(0, 1);
  ChatLog &log = *cg.log();
  log.height_set(100);
  const int h = log.height();
  Event press(EVT_DOWN);
  press.x = 10, press.y = 20;
  log.on_event(press);
  Event drag(EVT_MOVE);
  drag.button = 1, drag.dy = -30;
  log.on_event(drag);
  EXPECT_NEAR(log.height(), h + 30, 1);
  drag.button = 0;  // the release went elsewhere
  log.on_event(drag);
  EXPECT_EQ(log.resizing, 0);
  const int kept = log.height();
  log.on_event(drag);
  EXPECT_EQ(log.height(), kept);
}

TEST(ChatPanel, FlingDecaysAndScrollIsPulledBackInsideTheLines) {
  ChatGame cg;
  cg.build(1, 0);
  ChatLog &log = *cg.log();
  log.height_set(100);
  for (int i = 0; i < 20; i++) cg.g->chat->lines.push_back({0, 0xFFFFFF, "line"});
  log.measure();
  log.speed = -30;  // flung toward the older lines, past the oldest
  for (int i = 0; i < 400; i++) log.scroll_step();
  EXPECT_EQ(log.speed, 0);
  EXPECT_NEAR(log.scroll, log.lines_height() + 22 - log.content_h, 0.5);
  log.set_int(-3);  // below the newest line
  for (int i = 0; i < 400; i++) log.scroll_step();
  EXPECT_NEAR(log.scroll, 0, 0.5);
}

// The log drawn on a real frame with a one-glyph font: a 20-unit white block per "a".
class ChatGl : public PaintGlTest {
 protected:
  void SetUp() override {
    PaintGlTest::SetUp();
    file("font.fnt",
         "common lineHeight=10 base=8 scaleW=10 scaleH=10 pages=1\npage id=0 file=\"font.png\"\n"
         "char id=97 x=0 y=0 width=10 height=10 xoffset=0 yoffset=0 xadvance=10 page=0\n");
    solid("font", 0xFFFFFF);
    solid("white", 0xFFFFFF);
    std::vector<unsigned char> clear(8 * 8 * 4, 0);  // an all-transparent fade: the band hides everything
    ASSERT_TRUE(stbi_write_png((folder + "/fade.png").c_str(), 8, 8, 4, clear.data(), 8 * 4));
    cg.reset(new ChatGame());
    for (int i = 0; i < 5; i++) cg->g->chat->line_add(0x000040, "a");
  }
  void TearDown() override {
    cg.reset();
    PaintGlTest::TearDown();
  }
  // A 436 x 99 log at the frame's corner, painted once; a log without its tab is one over a match.
  void paint(int fade, int tab = 1) {
    ChatLog log(cg->g.get(), 0, tab);
    log.fade = fade;
    log.style.records[STYLE_BASE].width = 436;
    log.style.update();
    log.height_set(100);
    log.measure();
    frame();
    log.paint();
  }
  std::unique_ptr<ChatGame> cg;
};

TEST_F(ChatGl, LinesStackUpFromTheBottomInReadableColourAndFadeAtTheTop) {
  const uint32_t readable = color_readable(0x000040);
  paint(1);
  // Lines of 20 units end at the log's bottom (99): the newest fills 79..99, the fourth 19..39.
  expect_colour(pixel(50, 89), readable, "newest line");
  expect_colour(pixel(30, 89), 0, "time column");
  expect_colour(pixel(50, 29), 0, "line under the fade band");
  unsigned char rgba[4];
  glReadPixels(50, app_info->height - 1 - 29, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  EXPECT_EQ(rgba[3], 255);  // the band's alpha is restored for whatever is drawn next

  paint(0);
  expect_colour(pixel(50, 29), readable, "line without fading");
}

TEST_F(ChatGl, TheChatTabLeavesTheNewestLinesTimeStampsClear) {
  solid("chat-tab", 0xFF0000);  // drawn at opacity 85: red 0x55
  paint(0);
  for (int y : {89, 69}) EXPECT_LT(pixel(22, y) >> 16, 0x20u) << "time column of a newest line, row " << y;
  EXPECT_NEAR(pixel(22, 5) >> 16, 0x55, 3) << "the tab at the top of its column";
}

TEST_F(ChatGl, OverAMatchTheLinesLetThePlanetsUnderThemShow) {
  cg->g->chat->lines.clear();
  cg->g->chat->line_add(0x00FF00, "aaaa");
  solid("white", 0xFFFFFF);
  gfx_rect_fill(0xFF0000, 0, 0, 436, 99);  // a planet under the log
  ChatLog log(cg->g.get(), 1, 0);  // the match's log: no chat tab
  log.fade = 0;
  log.style.records[STYLE_BASE].width = 436;
  log.style.update();
  log.height_set(100);
  log.measure();
  log.paint();
  const uint32_t under_glyph = pixel(50, 89);
  EXPECT_GT(under_glyph >> 16, 0x40u) << std::hex << under_glyph << ": the planet shows through the line";
  EXPECT_GT(under_glyph >> 8 & 0xFF, 0x80u) << std::hex << under_glyph << ": the line still reads";
}

// The chat bar with the game's own fonts: "> " and the input's text stand on one baseline.
class ChatBarGl : public PaintGlTest {
 protected:
  void SetUp() override {
    PaintGlTest::SetUp();
    for (const char *f : {"font.fnt", "font.png", "font-console.fnt", "font-console.png"})
      std::filesystem::copy_file(std::string(VB_BINARY_DIR "/data/") + f, folder + "/" + f);
  }
};

TEST_F(ChatBarGl, ThePromptSitsOnTheInputTextsBaseline) {
  ChatGame bar;
  bar.build();
  bar.log()->height_set(88);  // the log open: the bar shows
  chat_panel_loop(bar.g.get(), &bar.root);
  bar.input()->set_text(">");  // the same glyph as the prompt: both rest on the baseline
  bar.input()->style.focus = 0;  // no caret beside the glyph
  for (StyleRecord &ink : bar.input()->style.records) {  // white at once, without the style's easing
    ink.text_color = 0xFFFFFF;
    ink.text_alpha = 255;
  }
  frame();
  bar.root.layout();
  bar.root.paint();
  // The lowest lit row of each glyph in the bar's row: the prompt first, then the input's text.
  auto lowest = [](int x0, int x1) {
    int low = -1;
    for (int y = 320 - 44; y < 320; y++)
      for (int x = x0; x < x1; x++)
        if ((pixel(x, y) & 0xFF) > 0x80) low = y;
    return low;
  };
  const int prompt = lowest(44, 64), text = lowest(64, 200);
  ASSERT_GT(prompt, 0);
  ASSERT_GT(text, 0);
  EXPECT_NEAR(prompt, text, 1) << "prompt bottom " << prompt << ", text bottom " << text;
}

}  // namespace
