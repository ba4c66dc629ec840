// The state stack: registration by name, push, pop, change, unwinding and the stack log.
#include "state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game.h"
#include "menus.h"

namespace {

std::vector<std::string> calls;

class Probe : public State {
 public:
  explicit Probe(std::string n) : name(std::move(n)) {}
  void init() override { calls.push_back("init " + name); }
  void deinit() override { calls.push_back("deinit " + name); }
  var message(var msg) override {
    last = msg;
    return var("answer");
  }
  std::string name;
  var last;
};

// A state whose init changes the state again (a splash that forwards at once).
class Forward : public State {
 public:
  explicit Forward(StateNames *b) : block(b) {}
  void init() override {
    calls.push_back("init forward");
    state_change("b", block, -1);
  }
  StateNames *block;
};

class Stack : public testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    memset(&names, 0, sizeof names);
    for (const char *n : {"a", "b", "c", "menus_error"}) state_register(n, new Probe(n));
  }
  void TearDown() override { states_delete_all(); }
  std::vector<std::string> stack() {
    std::vector<std::string> out;
    for (auto &slot : names.stack) {
      if (slot[0]) out.push_back(slot);
    }
    return out;
  }
  StateNames names;
};

}  // namespace

TEST_F(Stack, change_deinits_the_old_then_inits_the_new) {
  state_change("a", &names, -1);
  state_change("b", &names, -1);
  EXPECT_EQ(calls, (std::vector<std::string>{"init a", "deinit a", "init b"}));
  EXPECT_STREQ(names.current, "b");
  EXPECT_EQ(stack(), std::vector<std::string>{"b"});
}

TEST_F(Stack, change_to_the_current_name_runs_deinit_and_init_again) {
  state_change("a", &names, -1);
  state_change("a", &names, -1);
  EXPECT_EQ(calls, (std::vector<std::string>{"init a", "deinit a", "init a"}));
}

TEST_F(Stack, push_and_pop_keep_the_current_name_on_top) {
  state_change("a", &names, -1);
  state_push(&names, "b");
  state_push(&names, "c");
  EXPECT_EQ(stack(), (std::vector<std::string>{"c", "b", "a"}));
  state_pop(&names);
  EXPECT_STREQ(names.current, "b");
  EXPECT_EQ(stack(), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(calls.back(), "init b");
}

TEST_F(Stack, pop_of_a_single_entry_does_nothing) {
  state_change("a", &names, -1);
  calls.clear();
  state_pop(&names);
  EXPECT_TRUE(calls.empty());
  EXPECT_STREQ(names.current, "a");
}

TEST_F(Stack, push_of_a_deeper_name_unwinds_to_it_and_logs_each_slot) {
  state_change("c", &names, -1);
  state_push(&names, "b");
  state_push(&names, "a");
  calls.clear();
  testing::internal::CaptureStderr();
  state_push(&names, "b");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(stack(), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(calls, (std::vector<std::string>{"deinit a", "init b"}));
  EXPECT_EQ(err, "stack:0:b\nstack:1:c\n");
}

TEST_F(Stack, seventeen_pushes_keep_the_last_sixteen) {
  for (int i = 0; i < 17; i++) state_push(&names, ("s" + std::to_string(i)).c_str());
  std::vector<std::string> s = stack();
  ASSERT_EQ(s.size(), 16u);
  EXPECT_EQ(s.front(), "s16");
  EXPECT_EQ(s.back(), "s1");
}

TEST_F(Stack, unregistered_names_are_still_stacked) {
  state_change("nowhere", &names, -1);
  EXPECT_STREQ(names.current, "nowhere");
  EXPECT_EQ(state_at(&names, 0), nullptr);
  EXPECT_TRUE(state_on_stack(&names, "nowhere"));
  EXPECT_FALSE(state_on_stack(&names, "nowher"));
}

TEST_F(Stack, change_is_reentrant_from_init) {
  state_register("forward", new Forward(&names));
  state_change("forward", &names, -1);
  EXPECT_STREQ(names.current, "b");
  EXPECT_EQ(calls, (std::vector<std::string>{"init forward", "init b"}));
}

TEST_F(Stack, over_long_names_are_cut_to_the_slot) {
  std::string name(100, 'x');
  state_change(name.c_str(), &names, -1);
  EXPECT_EQ(std::string(names.current), name.substr(0, 31));
}

TEST_F(Stack, error_page_receives_the_content_message) {
  std::unique_ptr<Game> g(new Game());
  state_change("a", &g->names, -1);
  menus_error_show(g.get(), "<p>broken</p>");
  EXPECT_STREQ(g->names.current, "menus_error");
  Probe *page = static_cast<Probe *>(state_find("menus_error"));
  EXPECT_EQ(page->last["type"].str(), "content");
  EXPECT_EQ(page->last["value"].str(), "<p>broken</p>");
}

TEST(StateRegistry, error_page_without_a_registered_page_only_logs) {
  std::unique_ptr<Game> g(new Game());
  testing::internal::CaptureStdout();
  menus_error_show(g.get(), "no page");
  EXPECT_NE(testing::internal::GetCapturedStdout().find("no page"), std::string::npos);
  EXPECT_STREQ(g->names.current, "");
}
