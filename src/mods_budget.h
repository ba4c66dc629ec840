// The limits of a running mod: one budget of work per chunk the engine runs, shared by the mod's
// Lua instructions, the steps of the library functions it calls and the memory it allocates; a
// limit of processor time per chunk; a memory cap per mod runtime; and the quit request through
// which a signal ends a long call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct lua_State;

// Units a chunk run from the engine (an entry point, a script, nested chunks included) may spend:
// one per Lua instruction, one per step of a library loop (a pattern match, a table shift), one per
// 16 bytes allocated. Past it the chunk fails with "instruction limit exceeded". Filling the whole
// memory cap takes a tenth of it, so a chunk that grows too big meets the cap first.
constexpr int64_t MODS_BUDGET_UNITS = 200000000;
// Milliseconds of processor time a chunk run from the engine may take, nested chunks and the engine
// work its w2_ calls do included. Past it the chunk fails with "time limit exceeded (100 ms)",
// wherever it is: in Lua code, in a library function or in a markup build. A frame stays short
// whatever one call into the mod does.
constexpr int MODS_BUDGET_TIME_MS = 100;
// A chunk that takes at least this many milliseconds of processor time is a long call: the mod is
// told how many of its calls ran long, at most once every MODS_BUDGET_REPORT_S seconds.
constexpr int MODS_BUDGET_LONG_MS = 20;
constexpr int MODS_BUDGET_REPORT_S = 10;
// Bytes of text a library function scans or copies for one unit (tonumber, print).
constexpr int64_t MODS_BUDGET_SCAN_BYTES = 4;
// Bytes a mod runtime may hold; past it an allocation fails as Lua's "not enough memory".
constexpr size_t MODS_BUDGET_MEMORY = (size_t)256 << 20;
// Milliseconds mod code may still run once the game is told to quit: a short call ends normally, a
// long one fails with "game is quitting". Counted in time, not units: one instruction may compare
// two strings of a hundred megabytes.
constexpr int MODS_BUDGET_QUIT_GRACE_MS = 100;

// What one mod runtime holds and may hold; the user data of its allocator.
struct ModsMemory {
  size_t used = 0;
  size_t cap = MODS_BUDGET_MEMORY;
  size_t blocks = 0;  // live allocations: what a full collection has to visit
};

// The allocator of a mod's Lua state over the process heap (memory is its ModsMemory). Growth past
// the cap fails; every growth is charged to the running chunk.
void *mods_budget_alloc(void *memory, void *block, size_t old_size, size_t size);

// Runs around every chunk the engine calls on L. The outermost one starts a fresh budget and the
// clock of its time limit, and sets the instruction hook on L (threads made later inherit it).
// Returns the thread that ran before, for mods_budget_leave.
lua_State *mods_budget_enter(lua_State *L);
void mods_budget_leave(lua_State *previous);
// After the outermost chunk: a line saying how many of the mod's calls ran long and how long they
// took, when some did and none was reported in the last MODS_BUDGET_REPORT_S seconds; else "".
std::string mods_budget_report();
// Makes thread the one running mod code (coroutine.resume); returns the one before, to be put back
// the same way when the resume returns.
lua_State *mods_budget_switch(lua_State *thread);

// Charges units to the running chunk; false once its budget is spent, after which the caller
// unwinds what it holds and calls mods_budget_raise.
bool mods_budget_spend(int64_t units);
// Raises the error of a spent budget, naming the function that spent it.
int mods_budget_raise(lua_State *L, const char *function);
// mods_budget_spend, raising at once when the budget is spent.
void mods_budget_charge(lua_State *L, int64_t units, const char *function);

// Asks mod code to end within MODS_BUDGET_QUIT_GRACE_MS. Safe in a signal handler; only on the main
// thread does it touch the Lua state.
void mods_budget_quit();
