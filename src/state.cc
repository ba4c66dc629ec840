// Screens: the State base class, the registry of states by name and the 16-slot state stack.
#include "state.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "game.h"
#include "kez_gfx.h"
#include "kez_log.h"
#include "trans.h"

static std::map<std::string, State *> registry;

var State::message(var msg) {
  msg.release();
  return var();
}

void state_register(const char *name, State *state) {
  State *&slot = registry[name];
  if (slot && slot != state) delete slot;
  slot = state;
}

void states_delete_all() {
  for (auto &entry : registry) delete entry.second;
  registry.clear();
}

State *state_find(const char *name) {
  auto it = registry.find(name);
  return it == registry.end() ? nullptr : it->second;
}

void state_init(const char *name) {
  if (State *s = state_find(name)) s->init();
}
void state_deinit(const char *name) {
  if (State *s = state_find(name)) s->deinit();
}
void state_paint(const char *name) {
  if (State *s = state_find(name)) s->paint();
}
void state_loop(const char *name, float dt) {
  if (State *s = state_find(name)) s->loop(dt);
}
void state_event(const char *name, Event e) {
  if (State *s = state_find(name)) s->event(e);
}

static void _state_copy(char *slot, const char *name) { snprintf(slot, 32, "%s", name); }

static void _state_shift_up(StateNames *b) {
  memmove(b->stack[0], b->stack[1], sizeof(b->stack[0]) * 15);
  memset(b->stack[15], 0, sizeof b->stack[15]);
}

void state_change(const char *name, StateNames *b, int mode) {
  char target[32];
  _state_copy(target, name);  // name may point into the stack itself
  if (mode != -1) trans_capture(1, mode, game);
  state_deinit(b->current);
  _state_copy(b->stack[0], target);
  _state_copy(b->current, target);
  int deepest = 0;
  for (int k = 0; k < 16; k++) {
    if (strcmp(b->stack[k], target) == 0) deepest = k;
  }
  for (int k = 0; k < deepest; k++) _state_shift_up(b);
  for (int i = 0; i < 16; i++) {
    if (b->stack[i][0]) fprintf(stderr, "stack:%d:%s\n", i, b->stack[i]);
  }
  state_init(b->current);
}

void state_push(StateNames *b, const char *name) {
  char target[32];
  _state_copy(target, name);
  trans_capture(1, 2, game);
  memmove(b->stack[1], b->stack[0], sizeof(b->stack[0]) * 15);
  _state_copy(b->stack[0], target);
  state_change(b->stack[0], b, -1);
}

void state_pop(StateNames *b) {
  if (!b->stack[1][0]) return;
  trans_capture(1, 2, game);
  _state_shift_up(b);
  state_change(b->stack[0], b, -1);
}

State *state_at(StateNames *b, int n) {
  if (n < 0 || n >= 16) return nullptr;
  return state_find(b->stack[n]);
}

bool state_on_stack(StateNames *b, const char *name) {
  for (int i = 0; i < 16; i++) {
    if (strcmp(b->stack[i], name) == 0) return true;
  }
  return false;
}

void state_paint_current() {
  gfx_clear();
  if (game) state_paint(game->names.current);
}
