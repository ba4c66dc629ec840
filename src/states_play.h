// Play-side states: the screens a running mod drives through its "state" param. This module registers
// all of them and holds the lobby, the mod's own menu screen and the two match screens (one player,
// and two players sharing the device across a split screen).
#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "container.h"
#include "kez_var.h"
#include "state.h"
#include "vantor_view.h"

struct Game;

// A play-side screen with its own page root over the match: the Game, the root and the local user.
class StatesMatch : public State {
 public:
  explicit StatesMatch(Game *g) : game(g) {}
  // Fresh root holding one full-screen widget; subclasses add their icons and panels.
  virtual void build();
  // StatesMatch::build, then the chat panel (in chat_panel_build's mode) and the pause icon, named "pause", at the
  // top right: the root of a full-screen match.
  void build_full(int chat_mode);
  // Keeps the chat input line for the next screen that shows one.
  void deinit() override;
  // The console, the root and the chat panel, then the world: true when one of them took the event;
  // otherwise `action` holds the root's action (Escape shuts an open chat panel, else reads as
  // {"type": "pause"}).
  bool event_to_world(Event e, var &action);
  // Backdrop, stars, the world (and the HUD when asked), then the root over them.
  void world_paint(bool hud);
  // The screen's picture without the console: what a layer over it shows underneath. Nothing here.
  virtual void game_paint() {}

  Game *game;
  Container root;
  int user = 0;  // local user's item, 0 none; looked up again every frame
};

// The mod's lobby page with the chat panel over the drifting background.
class StatesLobby : public StatesMatch {
 public:
  using StatesMatch::StatesMatch;
  void init() override;
  void paint() override;
  void event(Event e) override;
  void loop(float dt) override;
};

// The mod's own screen alone.
class StatesMenu : public State {
 public:
  explicit StatesMenu(Game *g) : game(g) {}
  void init() override;
  void paint() override;
  void event(Event e) override;
  void loop(float dt) override;

  Game *game;
};

// The match full screen for one local player: world, HUD, chat panel and pause icon.
class StatesPlay : public StatesMatch {
 public:
  using StatesMatch::StatesMatch;
  void build() override;
  void init() override;
  void paint() override;
  void event(Event e) override;
  void loop(float dt) override;
  // The match picture: backdrop, stars, world, HUD and root.
  void game_paint() override;
};

// The match split between two local players: the upper half for player 1, the lower half turned
// 180 degrees for player 2, each with its own View. Between calls View 0 is always the one loaded.
class StatesPlay2 : public StatesMatch {
 public:
  explicit StatesPlay2(Game *game);
  void build() override;
  void init() override;
  void deinit() override;
  void paint() override;
  void event(Event e) override;
  void loop(float dt) override;
  // Both halves and their divider, without the root.
  void game_paint() override;

  View views[3];                    // 0 whole screen, 1 upper half, 2 lower half
  int current = 0;                  // the record now loaded into the Game's View
  std::map<int32_t, int> pointers;  // an event's button word -> the half it is bound to (0 none)
};

// Paints the mods console over the screen when it is shown.
void states_console_paint(Game *game);
// Creates every play-side state and registers it by name. Called once at start-up.
void states_init(Game *game);

// Makes View k (0..2) the Game's View and sets the drawing state for it; nothing for another k.
void play2_view_switch(StatesPlay2 *state, int k);
// Calls paint(k) for the upper (k = 1) and the lower half (k = 2), each with its View and drawing
// state loaded and the drawing cut to that half; ends on View 0.
void play2_halves_paint(StatesPlay2 *state, const std::function<void(int)> &paint);
// The half (1 upper, 2 lower) whose window area holds a pointer event's window position; 0 for
// another event or a position outside both.
int play2_half_at(const Event &e);
// The pointer event in the virtual units of half k (1 or 2), from its window position; View 0 is
// loaded again on return.
Event play2_event_in_half(StatesPlay2 *state, const Event &e, int k);
// Passes key events to the chat panel of state's root; true when the chat took the event.
bool play_key_to_chat(StatesMatch *state, const Event &e);

// The shared pieces of the play-side states.
// Virtual screen = UI size at no rotation over the whole window, and the screen transform loaded.
void states_screen_ui();
// True for a key-down of Escape.
bool states_escape(const Event &e);
// What Escape gives on a page of the mod's own: the "resume" click, which the mod hears and answers.
var states_resume();
// The local user's item for player which (0, 1 or 2); 0 unless it is an item in use that is a user.
int states_user(Game *game, int which);
// The match screen's entry: hud mode, the settings' ui words, build, the View laid out afresh with
// cleared selection and pointers, and the local user looked up.
void states_match_enter(StatesMatch *state, int hud_mode);
// The registered play-side screen of that name, or null.
StatesMatch *states_match_find(const char *name);
