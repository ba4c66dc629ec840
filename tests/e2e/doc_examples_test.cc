// Every code example of the modders' reference, run by the real headless game: the whole mods as
// they are (the first also across a hot reload), the one-line examples and the markup inside a
// small harness that gives them the names they use. Any Lua error fails the test, so the reference
// cannot drift from the engine.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_process.h"

namespace {

const int WAIT_MS = 60000;

struct Example {
  int line;  // where it starts in the reference
  std::string code;
};

struct Examples {
  std::vector<Example> mods;     // indented blocks that define _init
  std::vector<Example> markup;   // indented blocks that are a page
  std::vector<Example> lines;    // a line that is one code span
  std::vector<Example> unknown;  // indented blocks that are neither
};

// The reference's examples: indented blocks, and lines that are one `code span`.
Examples read_examples(const std::string &text) {
  Examples out;
  std::istringstream in(text);
  std::string line, block;
  int number = 0, start = 0;
  auto flush = [&] {
    if (block.empty()) return;
    auto &kind = block.find("function _init") != std::string::npos ? out.mods
                 : block[0] == '<'                                 ? out.markup
                                                                   : out.unknown;
    kind.push_back({start, block});
    block.clear();
  };
  while (std::getline(in, line)) {
    number++;
    if (line.compare(0, 4, "    ") == 0) {
      if (block.empty()) start = number;
      block += line.substr(4) + "\n";
      continue;
    }
    if (!line.empty()) flush();  // a blank line may lie inside a block
    if (line.size() > 2 && line.front() == '`' && line.back() == '`' && line.find('`', 1) == line.size() - 1)
      out.lines.push_back({number, line.substr(1, line.size() - 2)});
  }
  flush();
  return out;
}

// The names the one-line examples use, made afresh for each, the way a mod makes them.
const char *const PRELUDE = R"lua(
local function world()
  w2_game_reset()
  me = w2_user_init("me", 0x3080FF, 0)
  bot = w2_user_init("bot", 0xFF5030, 0)
  neutral = w2_user_init("neutral", 0x808080, 0)
  home = w2_planet_init(me, 0, 0, 50, 40)
  far = w2_planet_init(bot, 400, 0, 50, 40)
  target = w2_planet_init(bot, 0, 300, 30, 10)
  p = w2_planet_init(me, -300, 0, 20, 10)
  f = w2_fleet_init(bot, 10, far, home)
  x, y = 10, 20
end
local examples = {}
)lua";

// Each example becomes a function of the harness, run in the reference's order in _init; the
// harness then quits.
std::string harness(const Examples &ex) {
  std::string lua = PRELUDE;
  for (const Example &e : ex.lines)
    lua += "examples[#examples + 1] = {" + std::to_string(e.line) + ", function()\n" + e.code + "\nend}\n";
  for (const Example &e : ex.markup)
    lua += "examples[#examples + 1] = {" + std::to_string(e.line) + ", function() w2_param_set(\"html\", [==[" +
           e.code + "]==]) end}\n";
  lua += R"lua(
function _init()
  local failed = 0
  for _, e in ipairs(examples) do
    world()
    local ok, err = pcall(e[2])
    if not ok then
      failed = failed + 1
      print("example of line " .. e[1] .. " failed: " .. tostring(err))
    end
  end
  print("examples: " .. #examples .. " run, " .. failed .. " failed")
  w2_param_set("state", "quit")
end
)lua";
  return lua;
}

// Runs a whole example as the mod of another main file that reports, 60 frames after each run of
// the files, the state the example is in; after a reload it quits.
const char *const WATCHER = R"lua(
require("example")
watcher_runs = (watcher_runs or 0) + 1
local example_loop, frames = _loop, 0
function _loop(dt)
  example_loop(dt)
  frames = frames + 1
  if frames ~= 60 then return end
  print("watcher: run " .. watcher_runs .. ", state " .. tostring(w2_param_get("state")))
  if watcher_runs > 1 then w2_param_set("state", "quit") end
end
)lua";

class DocExamples : public ModFolderTest {
 protected:
  void SetUp() override {
    ModFolderTest::SetUp();
    examples = read_examples(file_text(std::string(VB_SOURCE_DIR) + "/docs/modding.md"));
  }
  GameProcess run(const std::string &path) {
    return game_start({"-headless", "-port", std::to_string(free_udp_port()), "-mod", path});
  }
  // What a mod's run must never show: a Lua error, or a name of the data folder that is not there.
  static void expect_clean(const GameProcess &p) {
    const std::string out = file_text(p.output);
    EXPECT_EQ(out.find("Lua error"), std::string::npos) << out;
    EXPECT_EQ(out.find("vantor2: "), std::string::npos) << out;
    EXPECT_EQ(out.find(") file missing"), std::string::npos) << out;
  }
  Examples examples;
};

}  // namespace

TEST_F(DocExamples, every_one_line_example_and_page_runs_without_an_error) {
  EXPECT_TRUE(examples.unknown.empty()) << "an example this test cannot run, line " << examples.unknown[0].line;
  ASSERT_GE(examples.lines.size(), 30u);
  ASSERT_EQ(examples.markup.size(), 1u);
  GameProcess p = run(mod("harness.lua", harness(examples)));
  EXPECT_EQ(game_wait(p, WAIT_MS), 0) << file_text(p.output);
  const size_t total = examples.lines.size() + examples.markup.size();
  EXPECT_NE(file_text(p.output).find("examples: " + std::to_string(total) + " run, 0 failed"), std::string::npos)
      << file_text(p.output);
  expect_clean(p);
}

TEST_F(DocExamples, the_whole_mods_play_and_keep_their_state_across_a_hot_reload) {
  ASSERT_FALSE(examples.mods.empty());
  for (const Example &e : examples.mods) {
    SCOPED_TRACE("the example of line " + std::to_string(e.line));
    // Dated back, so that the change below is both newer than the loaded file and old enough to count.
    const std::string path = mod("example.lua", e.code);
    const time_t now = time(nullptr);
    utimbuf loaded = {now - 100, now - 100}, changed = {now - 50, now - 50};
    ASSERT_EQ(utime(path.c_str(), &loaded), 0);
    GameProcess p = run(mod("watcher.lua", WATCHER));
    ASSERT_TRUE(wait_for_text(p.output, "watcher: run 1, state play", WAIT_MS)) << file_text(p.output);
    ASSERT_EQ(utime(path.c_str(), &changed), 0);
    EXPECT_TRUE(wait_for_text(p.output, "watcher: run 2, state play", WAIT_MS)) << file_text(p.output);
    EXPECT_EQ(game_wait(p, WAIT_MS), 0) << file_text(p.output);
    expect_clean(p);
  }
}
