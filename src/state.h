// Screens: the State base class, the registry of states by name and the 16-slot state stack.
#pragma once

#include "kez_driver-sdl2.h"
#include "kez_var.h"

struct Game;

class State {
 public:
  virtual void init() {}
  virtual void deinit() {}
  virtual void paint() {}
  virtual void event(Event) {}
  virtual void loop(float) {}
  // Answers a message; the base takes it and answers none.
  virtual var message(var msg);
  virtual ~State() {}
};

// The state names block of the Game: the current name, then 16 stack slots, slot 0 on top.
struct StateNames {
  char current[32];
  char stack[16][32];
};

// Enters a state under a name, replacing any earlier one (the registry owns it).
void state_register(const char *name, State *state);
// Deletes every registered state and empties the registry.
void states_delete_all();
// The state registered under name, or null.
State *state_find(const char *name);

// Makes name current in place of the top; mode is a transition kind, -1 for none.
void state_change(const char *name, StateNames *block, int mode);
// Pushes name (with a cross-fade) and makes it current.
void state_push(StateNames *block, const char *name);
// Pops the top (with a cross-fade) when a second entry exists.
void state_pop(StateNames *block);
// The state of stack slot n (0 = top), or null.
State *state_at(StateNames *block, int n);
// True when any slot holds exactly name.
bool state_on_stack(StateNames *block, const char *name);

void state_init(const char *name);
void state_deinit(const char *name);
void state_paint(const char *name);
void state_loop(const char *name, float dt);
void state_event(const char *name, Event e);

// Clears the screen and paints the current state (for transition captures).
void state_paint_current();
