// The mod runtime: ModsBase, the engine's view of a running mod, and ModsLua, a sandboxed Lua 5.2
// state with the w2_ functions and require, the library files and the entry points _init, _loop and
// _event.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "kez_var.h"
#include "mods_budget.h"

class ModsAPI;
struct lua_State;

// A mod runtime. The base runs nothing.
class ModsBase {
 public:
  // Runs the mod's start function.
  virtual void init() {}
  // Runs one frame of the mod; dt in seconds.
  virtual void loop(float) {}
  // Hands the mod one event.
  virtual void event(var) {}
  // Runs a text (a mod file, a console line) as a chunk of that name.
  virtual void script(const char *, const char *) {}
  virtual ~ModsBase() {}
};

// A Lua state per running mod. A chunk that fails is reported on the mod log and leaves the runtime
// failed: init, loop and event then do nothing until a script runs. An entry point the mod does not
// define is skipped.
class ModsLua : public ModsBase {
 public:
  ModsAPI *context;            // given at creation; not owned
  lua_State *state = nullptr;  // null until open; owned
  int status = 0;              // result code of the last chunk that failed, 0 = none
  ModsMemory memory;           // what the state holds, against the cap
  unsigned missing = 0;        // the entry points found missing and logged so: _init 1, _loop 2, _event 4
  std::string failure;         // the first line of the error of the last entry point or script that failed

  explicit ModsLua(ModsAPI *context);
  ModsLua(const ModsLua &) = delete;
  ModsLua &operator=(const ModsLua &) = delete;
  // Publishes the context as current and closes the state.
  ~ModsLua() override;

  // Publishes the context as current, then (once) builds the sandboxed state with the w2_ functions
  // and runs the library files "mod_api.lua", "mod_util.lua" and "mod_json.lua". A state that cannot
  // be made leaves the runtime without one: every entry point then does nothing. Returns why the
  // state or a library file failed (the first such), "" when all is well.
  std::string open();
  // Runs "_init()" unless failed.
  void init() override;
  // Runs "_loop(dt)" unless failed.
  void loop(float dt) override;
  // Runs "_event(e)" for a dict unless failed; other values are dropped. A dict with a key that is
  // not a Lua name fails like a chunk with a syntax error, without running anything.
  void event(var e) override;
  // Whether the mod defines the entry point name (a global function). An entry point a mod leaves
  // out is skipped: the first time, the mod log says so (bit marks it in `missing`).
  bool defines(const char *name, unsigned bit);
  // Runs text as the chunk name, whatever the earlier status, and leaves the runtime running.
  void script(const char *text, const char *name) override;
};

// The context of the running mod, for the output hooks and the w2_ functions; set by ModsLua::open
// and the ModsLua destructor.
extern ModsAPI *mods_lua_current;

// Output hook: text written to the standard output or error stream goes to the current mod's log
// (nothing without a current mod or for other streams). Returns the text's length.
int mods_lua_print(const char *text, FILE *stream);
// mods_lua_print of the formatted text.
int mods_lua_printf(FILE *stream, const char *format, ...) __attribute__((format(printf, 2, 3)));

// The argument's text (a number is converted in place by Lua's rules), its length in *length when
// given; else fallback when it is not null; else raises the Lua error "null string".
const char *mods_lua_check_string(lua_State *L, int index, const char *fallback, size_t *length = nullptr);
// The argument as a var: nil none, boolean bool, number number, string string; anything else raises
// "null string".
var mods_lua_to_var(lua_State *L, int index);
// Pushes v: none nil, number number, bool boolean, anything else the string of its text.
void mods_lua_push_var(lua_State *L, const var &v);
