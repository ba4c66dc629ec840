// Fuzz target for the world a mod builds: any bytes become a run of the w2_ calls that make and
// change a match (users, planets, fleets, orders, field writes, settling), called through the real
// Lua binding with any numbers (NaN, infinities, numbers no float holds, huge and tiny ones),
// with match frames between them. A refused call is the mod's error and nothing more. Every
// collision pass must stay within its work bound, the world must keep only finite positions of
// bodies that take part in collisions, and after every call or frame each synced item in use must be
// a record a client takes: no number the world derives from finite ones may be NaN or infinite. A
// trap marks a broken invariant.
//
// An input takes milliseconds, so that a run tries thousands: the world is small (its items live in
// the first WORLD_SLOTS slots, the rest of the table holding ballast, items in use with no role that
// no client is sent), an input runs a few frames, one settle and a small crowd at most, and it ends
// once its collision passes have spent INPUT_WORK. Full tables and crowds of thousands are the unit
// tests' part.
//
// Input, repeated: an operation byte, then one argument byte per argument: an argument byte with its
// top bit set takes the next 8 bytes as a double, otherwise its low 7 bits are the number itself
// (item numbers and small amounts). Operations past OPS_MAX are ignored.
#include <lua.hpp>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_mods.h"
#include "fuzz_util.h"
#include "vantor_step.h"
#include "vantor_step_internal.h"
#include "vantor_world.h"

constexpr int OPS_MAX = 32;
// A fleet takes no more ships than there are free slots beyond 512 (ship_count in vantor_fleet.cc):
// here some two dozen.
constexpr int WORLD_SLOTS = 548;
// What one input may run; later frames, settles and crowd planets are skipped.
constexpr int FRAMES_MAX = 6;
constexpr int SETTLES_MAX = 1;
constexpr int CROWD_MAX = 40;
constexpr uint64_t INPUT_WORK = 1 << 18;  // collision work after which an input ends
// One pass's work bound: a small multiple of the items times the leaf, plus one leaf per level.
constexpr uint64_t PASS_WORK = 32ull * 32 * VANTOR_ITEMS + 48 * 32 * 31 / 2;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  if (!freopen("/dev/null", "w", stdout)) abort();  // refused calls are logged; the fuzzer reports on stderr
  return 0;
}

// The next argument as the binding would get it from a mod.
static double _fuzz_number(const uint8_t *&p, const uint8_t *end) {
  if (p >= end) return 0;
  uint8_t b = *p++;
  if (!(b & 0x80)) return b;
  double v = 0;
  size_t take = (size_t)(end - p) < sizeof v ? (size_t)(end - p) : sizeof v;
  memcpy(&v, p, take);
  p += take;
  return v;
}

// The writable number keys and flags a mod may set on an item.
static const char *const KEYS[] = {"position_x",  "position_y",   "ships_value",  "ships_production",
                                   "fleet_v_factor", "image_scale", "draw_r",       "ships_production_factor",
                                   "owner_n",     "has_collide",  "user_team_n",  "ships_value_factor"};

// Calls global function `name` with `count` numbers from the input (and `text` first when given);
// an error is the mod's and is dropped.
static void _fuzz_call(lua_State *L, const char *name, int count, const uint8_t *&p, const uint8_t *end,
                       const char *text = nullptr) {
  lua_getglobal(L, name);
  int args = 0;
  if (text) {
    lua_pushstring(L, text);
    args++;
  }
  for (int i = 0; i < count; i++, args++) lua_pushnumber(L, _fuzz_number(p, end));
  lua_pcall(L, args, LUA_MULTRET, 0);
  lua_settop(L, 0);
}

// w2_item_set with a key chosen by the next byte.
static void _fuzz_item_set(lua_State *L, const uint8_t *&p, const uint8_t *end) {
  lua_getglobal(L, "w2_item_set");
  lua_pushnumber(L, _fuzz_number(p, end));
  lua_pushstring(L, KEYS[(p < end ? *p++ : 0) % (sizeof KEYS / sizeof *KEYS)]);
  lua_pushnumber(L, _fuzz_number(p, end));
  lua_pcall(L, 3, 0, 0);
  lua_settop(L, 0);
}

// Adds up to `count` items with planets of user 1 spread over a small field, as a mod's loop would,
// and no more than the table holds; returns how many it added.
static int _fuzz_crowd(World *world, int count) {
  for (int i = 0; i < count; i++) {
    if (!vantor_planet_init(world, 1, (float)(i * 37 % 700), (float)(i * 53 % 500), 10, 1)->in_use) return i;
  }
  return count;
}

// Fills the slots from WORLD_SLOTS up with ballast.
static void _fuzz_ballast(World *world) {
  for (int n = WORLD_SLOTS; n < VANTOR_ITEMS; n++) {
    world->items[n].in_use = 1;
    world->items[n].n = n;
  }
}

// Runs `passes` collision passes' worth of work through `run` and checks the bound.
template <typename Run>
static void _fuzz_bounded(int passes, Run run) {
  uint64_t before = vantor_collide_work();
  run();
  check(vantor_collide_work() - before <= passes * PASS_WORK);
}

// w2_planets_settle with the next four numbers, when `run`; the numbers are read either way.
static void _fuzz_settle(lua_State *L, const uint8_t *&p, const uint8_t *end, bool run) {
  if (run) {
    _fuzz_bounded(16, [&] { _fuzz_call(L, "w2_planets_settle", 4, p, end); });
    return;
  }
  for (int i = 0; i < 4; i++) _fuzz_number(p, end);
}

// A match frame as long as the next byte says (up to 1.7 s, as a mod's "speed" makes them), when
// `run`: a few frames then take fleets from planet to planet.
static void _fuzz_frame(World *world, const uint8_t *&p, const uint8_t *end, bool run) {
  float dt = (p < end ? *p++ : 0) / 150.0f;
  if (run) _fuzz_bounded(1, [&] { vantor_step(world, dt, true); });
}

// No body that takes part in collisions sits at a position that is not finite.
__attribute__((noinline, no_sanitize("coverage"))) static void _fuzz_check_world(const World &world) {
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &item = world.items[n];
    if (!item.in_use || !item.has_collide || item.is_ship) continue;
    check(std::isfinite(item.position_x) && std::isfinite(item.position_y));
  }
}

// Every synced item in use holds only finite numbers, as a client requires of each record.
__attribute__((noinline, no_sanitize("coverage"))) static void _fuzz_check_synced(const World &world) {
  for (const Item &item : world.items) check(!item.in_use || !item.synced || !vantor_item_not_finite(item));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  ModsLua *lua = fuzz_mods_runtime();
  lua_State *L = lua->state;
  World *world = &lua->context->game->data.vantor;
  vantor_world_reset(world);
  _fuzz_ballast(world);
  lua_settop(L, 0);
  const uint8_t *p = data, *end = data + size;
  const uint64_t work = vantor_collide_work();
  int frames = FRAMES_MAX, settles = SETTLES_MAX, crowd = CROWD_MAX;
  for (int op = 0; op < OPS_MAX && p < end && vantor_collide_work() - work <= INPUT_WORK; op++) {
    switch (*p++ % 10) {
      case 0: _fuzz_call(L, "w2_user_init", 2, p, end, "user"); break;
      case 1: _fuzz_call(L, "w2_planet_init", 5, p, end); break;
      case 2: _fuzz_call(L, "w2_fleet_init", 4, p, end); break;
      case 3: _fuzz_call(L, "w2_fleet_send", 3, p, end); break;
      case 4: _fuzz_call(L, "w2_fleet_redirect", 2, p, end); break;
      case 5: _fuzz_item_set(L, p, end); break;
      case 6: _fuzz_settle(L, p, end, settles-- > 0); break;
      case 7: _fuzz_frame(world, p, end, frames-- > 0); break;
      case 8: crowd -= _fuzz_crowd(world, std::min(p < end ? *p++ : 0, crowd)); break;
      default: _fuzz_call(L, "w2_item_destroy", 1, p, end); break;
    }
    _fuzz_check_synced(*world);
  }
  _fuzz_check_world(*world);
  return 0;
}
