// The limits of a running mod.
//
// One budget runs at a time: the one of the outermost chunk the engine runs. The instruction hook
// fires every HOOK_STEP instructions; whatever spends units outside Lua code (the allocator, a
// library loop) and finds the budget gone makes the hook fire at the very next instruction of the
// running thread and of the main thread. From then on every instruction fails, so neither a pcall
// loop nor a coroutine can catch the error and go on. A quit request hurries the hook the same way
// and, until the grace is over, keeps it firing at every instruction to read the clock.
//
// The time limit is a timer on the processor-time clock of the thread that runs the mods, armed by
// the outermost chunk. When it expires its signal marks the chunk late and hurries the hook like a
// quit request, so even one instruction that runs long (a comparison of two huge strings) or a
// library loop is stopped right after, and nothing reads a clock while the mod runs.
#include "mods_budget.h"
#include "mods_budget_internal.h"

#include <lua.hpp>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "kez_driver-files.h"

constexpr int HOOK_STEP = 1000;  // instructions between two calls of the hook
constexpr int64_t NEVER = INT64_MAX;
constexpr size_t BYTES_PER_UNIT = 16;  // allocating and filling a block, against an instruction
constexpr size_t UNITS_PER_BLOCK = 8;  // a full collection's work for each live block
// Bytes past the cap a chunk whose budget is spent may still take, to build its error and traceback.
constexpr size_t ERROR_RESERVE = 64 * 1024;

static int64_t _mods_budget_limit = MODS_BUDGET_UNITS;
static int _mods_budget_time_ms = MODS_BUDGET_TIME_MS;
static int64_t _mods_budget_spent;
static int _mods_budget_depth;  // chunks running, nested ones included
static volatile sig_atomic_t _mods_budget_quit_asked;
static volatile sig_atomic_t _mods_budget_late;    // the outermost chunk ran out of time
static int64_t _mods_budget_quit_seen_ms = NEVER;  // when mod code first saw the quit request
static bool _mods_budget_quitting;                 // the grace is over
// The function that found the budget spent, "" for none; a copy, as a mod may drop the function.
static char _mods_budget_culprit[32];
// Read by the signal handler, so atomic: the outermost chunk's thread and the thread running now.
static std::atomic<lua_State *> _mods_budget_main{nullptr};
static std::atomic<lua_State *> _mods_budget_running{nullptr};

static int64_t _mods_budget_now_ms() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

// Processor time of the calling thread, in microseconds.
static int64_t _mods_budget_cpu_us() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return (int64_t)t.tv_sec * 1000000 + t.tv_nsec / 1000;
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
  return _mods_budget_quit_due() || _mods_budget_late || _mods_budget_spent > _mods_budget_limit;
}

static const char *_mods_budget_message() {
  static char late[64];
  if (_mods_budget_quitting) return "game is quitting";
  if (!_mods_budget_late) return "instruction limit exceeded";
  snprintf(late, sizeof late, "time limit exceeded (%d ms)", _mods_budget_time_ms);
  return late;
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
  if (_mods_budget_culprit[0]) lua_pushfstring(L, "%s: %s", _mods_budget_culprit, _mods_budget_message());
  else lua_pushstring(L, _mods_budget_message());
  lua_concat(L, 2);
  lua_error(L);
}

// ---- the time limit ----

static timer_t _mods_budget_timer;
static bool _mods_budget_timer_made;
static int64_t _mods_budget_started_us;  // processor time when the outermost chunk began

static void _mods_budget_asset(int begin);

static void _mods_budget_on_timer(int) {
  _mods_budget_late = 1;
  _mods_budget_hurry();
}

// The timer of the time limit, made at the first try: it counts the processor time of the thread that
// first runs a chunk (the one that runs the mods) and signals that very thread. False when the system
// has none; the time limit is then not kept.
static bool _mods_budget_timer_ready() {
  static bool tried;
  if (tried) return _mods_budget_timer_made;
  tried = true;
  struct sigaction action = {};
  action.sa_handler = _mods_budget_on_timer;
  action.sa_flags = SA_RESTART;  // a system call of the engine that it interrupts goes on
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGRTMIN, &action, nullptr) != 0) return false;
  sigevent event = {};
  event.sigev_notify = SIGEV_THREAD_ID;
  event.sigev_signo = SIGRTMIN;
  event._sigev_un._tid = (pid_t)syscall(SYS_gettid);
  _mods_budget_timer_made = timer_create(CLOCK_THREAD_CPUTIME_ID, &event, &_mods_budget_timer) == 0;
  if (_mods_budget_timer_made) driver_asset_hook = _mods_budget_asset;
  return _mods_budget_timer_made;
}

// Arms the timer to expire after ms of processor time; 0 disarms it.
static void _mods_budget_timer_arm(int64_t ms) {
  if (!_mods_budget_timer_ready()) return;
  itimerspec when = {};
  when.it_value.tv_sec = ms / 1000;
  when.it_value.tv_nsec = (ms % 1000) * 1000000;
  timer_settime(_mods_budget_timer, 0, &when, nullptr);
}

// ---- asset work ----

// The game's own images, fonts and sounds, loaded the first time a mod's markup or call names them,
// are not the mod's work: the clock of the time limit stops while they load.
static int _mods_budget_assets;          // asset work under way, nested
static int64_t _mods_budget_asset_from;  // processor time when the outermost asset work began
static int64_t _mods_budget_asset_us;    // processor time the outermost chunk spent on asset work
static itimerspec _mods_budget_left;     // the time limit's remainder, kept while assets load

static void _mods_budget_asset(int begin) {
  if (_mods_budget_depth == 0 || !_mods_budget_timer_made) return;
  if (begin) {
    if (_mods_budget_assets++ > 0) return;
    _mods_budget_asset_from = _mods_budget_cpu_us();
    const itimerspec off = {};
    timer_settime(_mods_budget_timer, 0, &off, &_mods_budget_left);
    return;
  }
  if (_mods_budget_assets == 0 || --_mods_budget_assets > 0) return;
  _mods_budget_asset_us += _mods_budget_cpu_us() - _mods_budget_asset_from;
  const timespec &left = _mods_budget_left.it_value;
  if (left.tv_sec || left.tv_nsec) timer_settime(_mods_budget_timer, 0, &_mods_budget_left, nullptr);
}

// ---- long calls ----

// The outermost chunks since the last report: how many ran, how many ran long, and their time.
static struct {
  int64_t calls, long_calls, long_us, longest_us;
  int64_t reported_ms = -1;  // when the last report was made; -1: never
} _mods_budget_calls;

static void _mods_budget_count(int64_t us) {
  _mods_budget_calls.calls++;
  if (us < (int64_t)MODS_BUDGET_LONG_MS * 1000) return;
  _mods_budget_calls.long_calls++;
  _mods_budget_calls.long_us += us;
  _mods_budget_calls.longest_us = std::max(_mods_budget_calls.longest_us, us);
}

std::string mods_budget_report() {
  auto &c = _mods_budget_calls;
  const int64_t now = _mods_budget_now_ms();
  if (_mods_budget_depth > 0 || c.long_calls == 0) return "";
  if (c.reported_ms >= 0 && now - c.reported_ms < (int64_t)MODS_BUDGET_REPORT_S * 1000) return "";
  char line[160];
  snprintf(line, sizeof line,
           "%lld of %lld calls into the mod took %d ms or more of processor time: %lld ms in all, %lld ms the "
           "longest",
           (long long)c.long_calls, (long long)c.calls, MODS_BUDGET_LONG_MS, (long long)(c.long_us / 1000),
           (long long)(c.longest_us / 1000));
  c = {};
  c.reported_ms = now;
  return line;
}

// ---- chunks ----

lua_State *mods_budget_enter(lua_State *L) {
  if (_mods_budget_depth++ == 0) {
    _mods_budget_spent = 0;
    _mods_budget_late = 0;
    _mods_budget_culprit[0] = 0;
    _mods_budget_main.store(L, std::memory_order_relaxed);
    lua_sethook(L, _mods_budget_hook, LUA_MASKCOUNT, _mods_budget_step());
    _mods_budget_started_us = _mods_budget_cpu_us();
    _mods_budget_asset_us = 0;
    _mods_budget_timer_arm(_mods_budget_time_ms);
  }
  return _mods_budget_running.exchange(L, std::memory_order_relaxed);
}

void mods_budget_leave(lua_State *previous) {
  _mods_budget_running.store(previous, std::memory_order_relaxed);
  if (--_mods_budget_depth > 0) return;
  _mods_budget_timer_arm(0);
  _mods_budget_main.store(nullptr, std::memory_order_relaxed);
  _mods_budget_count(_mods_budget_cpu_us() - _mods_budget_started_us - _mods_budget_asset_us);
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
  // A pcall may catch this error, but not the hook's that follows.
  snprintf(_mods_budget_culprit, sizeof _mods_budget_culprit, "%s", function);
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

// Open to the tests: replaces the budget of a chunk and returns the old one.
int64_t _mods_budget_limit_set(int64_t limit) {
  int64_t old = _mods_budget_limit;
  _mods_budget_limit = limit;
  return old;
}

// Open to the tests: replaces the time limit (milliseconds) and returns the old one.
int _mods_budget_time_set(int ms) {
  int old = _mods_budget_time_ms;
  _mods_budget_time_ms = ms;
  return old;
}

// Open to the tests: forgets the long calls counted and when they were last reported.
void _mods_budget_report_clear() { _mods_budget_calls = {}; }

// Open to the tests: forgets a quit request.
void _mods_budget_quit_clear() {
  _mods_budget_quit_asked = 0;
  _mods_budget_quit_seen_ms = NEVER;
  _mods_budget_quitting = false;
}
