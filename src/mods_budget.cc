// The limits of a running mod.
//
// One budget runs at a time: the one of the outermost chunk the engine runs. The instruction hook
// fires every HOOK_STEP instructions; whatever spends units outside Lua code (the allocator, a
// library loop) and finds the budget gone makes the hook fire at the very next instruction of the
// running thread and of the main thread. From then on every instruction fails, so neither a pcall
// loop nor a coroutine can catch the error and go on. A quit request hurries the hook the same way
// and, until the grace is over, keeps it firing at every instruction to read the clock.
#include "mods_budget.h"

#include <lua.hpp>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>

constexpr int HOOK_STEP = 1000;  // instructions between two calls of the hook
constexpr int64_t NEVER = INT64_MAX;
constexpr size_t BYTES_PER_UNIT = 16;  // allocating and filling a block, against an instruction
constexpr size_t UNITS_PER_BLOCK = 8;  // a full collection's work for each live block
// Bytes past the cap a chunk whose budget is spent may still take, to build its error and traceback.
constexpr size_t ERROR_RESERVE = 64 * 1024;

static int64_t _mods_budget_limit = MODS_BUDGET_UNITS;
static int64_t _mods_budget_spent;
static int _mods_budget_depth;  // chunks running, nested ones included
static volatile sig_atomic_t _mods_budget_quit_asked;
static int64_t _mods_budget_quit_seen_ms = NEVER;  // when mod code first saw the quit request
static bool _mods_budget_quitting;                 // the grace is over
static const char *_mods_budget_culprit;           // the library function that found the budget spent
// Read by the signal handler, so atomic: the outermost chunk's thread and the thread running now.
static std::atomic<lua_State *> _mods_budget_main{nullptr};
static std::atomic<lua_State *> _mods_budget_running{nullptr};

static int64_t _mods_budget_now_ms() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

// True once a quit request is older than the grace; the grace starts when mod code first sees it.
static bool _mods_budget_quit_due() {
  if (!_mods_budget_quit_asked) return false;
  int64_t now = _mods_budget_now_ms();
  if (_mods_budget_quit_seen_ms == NEVER) _mods_budget_quit_seen_ms = now;
  if (now - _mods_budget_quit_seen_ms > MODS_BUDGET_QUIT_GRACE_MS) _mods_budget_quitting = true;
  return _mods_budget_quitting;
}

static bool _mods_budget_spent_out() {
  if (_mods_budget_depth == 0) return false;
  return _mods_budget_quit_due() || _mods_budget_spent > _mods_budget_limit;
}

static const char *_mods_budget_message() {
  return _mods_budget_quitting ? "game is quitting" : "instruction limit exceeded";
}

// Instructions between two calls of the hook: every one while a quit request is pending.
static int _mods_budget_step() { return _mods_budget_quit_asked ? 1 : HOOK_STEP; }

static void _mods_budget_hook(lua_State *L, lua_Debug *);

// The hook fires at the next instruction of the running thread and of the main thread.
static void _mods_budget_hurry() {
  lua_State *running = _mods_budget_running.load(std::memory_order_relaxed);
  lua_State *main = _mods_budget_main.load(std::memory_order_relaxed);
  if (running) lua_sethook(running, _mods_budget_hook, LUA_MASKCOUNT, 1);
  if (main && main != running) lua_sethook(main, _mods_budget_hook, LUA_MASKCOUNT, 1);
}

static void _mods_budget_hook(lua_State *L, lua_Debug *) {
  int step = lua_gethookcount(L);
  _mods_budget_spent += step;
  if (!_mods_budget_spent_out()) {
    if (step != _mods_budget_step()) lua_sethook(L, _mods_budget_hook, LUA_MASKCOUNT, _mods_budget_step());
    return;
  }
  _mods_budget_hurry();
  lua_sethook(L, _mods_budget_hook, LUA_MASKCOUNT, 1);
  luaL_where(L, 0);  // the line running now, not its caller's
  if (_mods_budget_culprit) lua_pushfstring(L, "%s: %s", _mods_budget_culprit, _mods_budget_message());
  else lua_pushstring(L, _mods_budget_message());
  lua_concat(L, 2);
  lua_error(L);
}

lua_State *mods_budget_enter(lua_State *L) {
  if (_mods_budget_depth++ == 0) {
    _mods_budget_spent = 0;
    _mods_budget_culprit = nullptr;
    _mods_budget_main.store(L, std::memory_order_relaxed);
    lua_sethook(L, _mods_budget_hook, LUA_MASKCOUNT, _mods_budget_step());
  }
  return _mods_budget_running.exchange(L, std::memory_order_relaxed);
}

void mods_budget_leave(lua_State *previous) {
  _mods_budget_running.store(previous, std::memory_order_relaxed);
  if (--_mods_budget_depth == 0) _mods_budget_main.store(nullptr, std::memory_order_relaxed);
}

lua_State *mods_budget_switch(lua_State *thread) {
  return _mods_budget_running.exchange(thread, std::memory_order_relaxed);
}

bool mods_budget_spend(int64_t units) {
  _mods_budget_spent += units;
  if (!_mods_budget_spent_out()) return true;
  _mods_budget_hurry();
  return false;
}

int mods_budget_raise(lua_State *L, const char *function) {
  _mods_budget_culprit = function;  // a pcall may catch this error, but not the hook's that follows
  return luaL_error(L, "%s: %s", function, _mods_budget_message());
}

void mods_budget_charge(lua_State *L, int64_t units, const char *function) {
  if (!mods_budget_spend(units)) mods_budget_raise(L, function);
}

void *mods_budget_alloc(void *user, void *block, size_t old_size, size_t size) {
  ModsMemory *memory = static_cast<ModsMemory *>(user);
  size_t old = block ? old_size : 0;  // without a block, old_size names the kind of object
  if (size == 0) {
    free(block);
    memory->used -= old;
    if (block) memory->blocks--;
    return nullptr;
  }
  if (size <= old) {
    void *shrunk = realloc(block, size);
    if (!shrunk) return block;  // the old block is still big enough
    memory->used -= old - size;
    return shrunk;
  }
  size_t growth = size - old;
  size_t cap = memory->cap + (_mods_budget_spent_out() ? ERROR_RESERVE : 0);
  if (memory->used > cap || growth > cap - memory->used) {
    // Lua answers with a full collection and one more try: the charge pays for that collection.
    mods_budget_spend((int64_t)(memory->blocks * UNITS_PER_BLOCK));
    return nullptr;
  }
  void *grown = realloc(block, size);
  if (!grown) return nullptr;
  memory->used += growth;
  if (!block) memory->blocks++;
  mods_budget_spend((int64_t)(growth / BYTES_PER_UNIT));
  return grown;
}

void mods_budget_quit() {
  _mods_budget_quit_asked = 1;
  // The main thread is the process's first thread; any other may not touch a Lua state.
  if (_mods_budget_depth > 0 && syscall(SYS_gettid) == getpid()) _mods_budget_hurry();
}

int64_t _mods_budget_limit_set(int64_t limit) {
  int64_t old = _mods_budget_limit;
  _mods_budget_limit = limit;
  return old;
}

void _mods_budget_quit_clear() {
  _mods_budget_quit_asked = 0;
  _mods_budget_quit_seen_ms = NEVER;
  _mods_budget_quitting = false;
}
