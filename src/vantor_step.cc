// The match simulation: the step, the collision pass and the creation of users, teams and planets.
#include "vantor_step.h"
#include "vantor_step_internal.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "kez_rand.h"
#include "vantor_fleet.h"
#include "vantor_planet_style.h"
#include "vantor_world.h"

// The collision work list: cells are split in place, each half written after its input.
static const int COLLIDE_CAPACITY = 16384;
static uint32_t collide_list[COLLIDE_CAPACITY];
static uint32_t collide_passes;
static uint64_t collide_work;
// A leaf resolves at most this many items, so a pass costs at most 32 * 31 / 2 tests per leaf.
static const int COLLIDE_LEAF = 32;
// The split stops this deep whatever the cells hold: the 4-unit floor of a field clamped to
// +-COLLIDE_FAR is reached after 38 levels.
static const int COLLIDE_DEPTH = 48;
// Item bounds are clamped to this far beyond the items' centres, and those to +-COLLIDE_FAR, before
// cells are split: an item far larger than the field then adds a few levels, not hundreds, and no
// overlap is lost (clamping keeps the order of bounds). No ordinary item comes near either.
static const float COLLIDE_MARGIN = 4096;
static const float COLLIDE_FAR = 1e6f;
// Work a pass may spend per item (entries classified and pairs tested). Items larger than their
// cells are copied into both halves at every level; once this is spent, the cells still to come
// resolve as leaves, so a pass ends within this plus one leaf per level. The most crowded ordinary
// matches spend under half of it.
static const int COLLIDE_WORK_PER_ITEM = 32 * COLLIDE_LEAF;
// A settling pass spends at most what a pass over this many items may: settling a full table
// crowded into a screen then ends well within a mod call's time. Fewer items, or more with room to
// spread, never reach it and settle exactly as the step's passes would move them.
static const int SETTLE_PASS_ITEMS = 256;

// One collision pass: its world and the work it may still spend.
struct CollidePass {
  World *world;
  int64_t work;
};

static void production_step(World *world, Item *planet, float dt) {
  const Item &owner = vantor_item_get(world, planet->owner_n);
  // In double: factor times production may pass FLT_MAX before the division brings it back.
  planet->ships_value =
      vantor_finite(planet->ships_value + (double)owner.ships_production_factor * dt * planet->ships_production / 50);
}

void vantor_step(World *world, float dt, bool age_parts) {
  if (!(dt > 0) || !std::isfinite(dt)) return;  // a mod's "speed" can make any number
  world->time += dt;
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    Item *ship = &world->items[n];
    if (!ship->in_use || !ship->is_ship) continue;
    vantor_ship_steer(world, ship, dt);
    vantor_ship_arrival(world, ship);
    vantor_ship_resolve(world, ship);
  }
  vantor_collide(world);
  vantor_fleet_bounds(world);
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    Item *item = &world->items[n];
    if (!item->in_use) continue;
    if (item->is_ship) vantor_ship_bank(item, dt);
    if (item->has_planet && item->ships_production_enabled) production_step(world, item, dt);
    item->ticks += 1;
  }
  if (age_parts) parts_age(world, dt);
}

// Moves a pushed item, unless the push leaves the finite plane (an infinite radius or mass pushes
// nothing: the pair still meets).
static void collide_move(Item *item, float x, float y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  item->position_x = x;
  item->position_y = y;
}

// Pushes a and b apart when they overlap and either is pushed by the other.
static void collide_pair(World *world, uint32_t an, uint32_t bn) {
  Item &a = world->items[an];
  Item &b = world->items[bn];
  float dx = b.position_x - a.position_x;
  float dy = b.position_y - a.position_y;
  float r = a.collide_r + b.collide_r;
  float d2 = dx * dx + dy * dy;
  if (!(d2 <= r * r)) return;  // apart (or a NaN position, which must not spread)
  if (!a.partner || b.collide_r > vantor_item_get(world, a.partner).collide_r) a.partner = bn;
  if (!b.partner || a.collide_r > vantor_item_get(world, b.partner).collide_r) b.partner = an;
  bool a_moves = (a.collide_mask & b.collide_group) || b.collide_group == a.collide_same;
  bool b_moves = (b.collide_mask & a.collide_group) || a.collide_group == b.collide_same;
  if (!a_moves && !b_moves) return;
  float m = a.mass + b.mass;
  if (m == 0 || !std::isfinite(m)) return;  // no centre of mass to push from
  float d = std::sqrt(d2);
  if (d < 0.001f) {  // same point: any direction will do
    dx = (rand15() / 32767.0f * 200 - 100) / 100;
    dy = (rand15() / 32767.0f * 200 - 100) / 100;
    d = 1;
  }
  float cx = (b.mass * b.position_x + a.mass * a.position_x) / m;
  float cy = (b.mass * b.position_y + a.mass * a.position_y) / m;
  if (a_moves) collide_move(&a, cx - b.mass * r * dx / (m * d), cy - b.mass * r * dy / (m * d));
  if (b_moves) collide_move(&b, cx + a.mass * r * dx / (m * d), cy + a.mass * r * dy / (m * d));
}

static void collide_resolve(CollidePass *pass, uint32_t *list, int count) {
  if (count < 2) return;
  if (count > COLLIDE_LEAF) {
    list += rand() % (count - COLLIDE_LEAF);
    count = COLLIDE_LEAF;
  }
  pass->work -= (int64_t)count * (count - 1) / 2;
  for (int i = 0; i < count; i++) {
    for (int j = i + 1; j < count; j++) collide_pair(pass->world, list[i], list[j]);
  }
}

// Splits a cell of the list on one axis (0 x, 1 y) and recurses on the other; box is min x, min y,
// max x, max y. An item overlapping the middle goes to both halves.
static void collide_split(CollidePass *pass, uint32_t *list, int count, int capacity, const float box[4], int axis,
                          int depth) {
  if (count < 2) return;
  bool small = box[3] - box[1] < 4 && box[2] - box[0] < 4;
  bool spent = pass->work < 2 * count;  // a split reads count entries and may write as many
  if (count <= COLLIDE_LEAF || capacity < 2 * count || small || depth >= COLLIDE_DEPTH || spent) {
    collide_resolve(pass, list, count);
    return;
  }
  const World *world = pass->world;
  float mid = (box[axis] + box[axis + 2]) / 2;
  int low = 0, high = 0;
  for (int i = 0; i < count; i++) {
    uint32_t n = list[i];
    const Item &item = world->items[n];
    if (item.bounds[axis] < mid) list[low++] = n;
    if (item.bounds[axis + 2] > mid) list[count + high++] = n;
  }
  pass->work -= count + high;
  memmove(list + low, list + count, high * sizeof(uint32_t));
  float high_box[4] = {box[0], box[1], box[2], box[3]};
  float low_box[4] = {box[0], box[1], box[2], box[3]};
  high_box[axis] = mid;
  low_box[axis + 2] = mid;
  collide_split(pass, list + low, high, capacity - low, high_box, 1 - axis, depth + 1);
  collide_split(pass, list, low, capacity - low, low_box, 1 - axis, depth + 1);
}

// Only items with a finite position and a radius take part: nothing else can overlap anything.
static bool collide_member(const Item &item) {
  return item.in_use && item.has_collide && std::isfinite(item.position_x) && std::isfinite(item.position_y) &&
         !std::isnan(item.collide_r);
}

static float collide_clamp(float v, float low, float high) { return v < low ? low : v > high ? high : v; }

// The box of the members' centres, within +-COLLIDE_FAR and grown by COLLIDE_MARGIN.
static void collide_field(const World *world, float field[4]) {
  field[0] = field[1] = COLLIDE_FAR;
  field[2] = field[3] = -COLLIDE_FAR;
  for (const Item &item : world->items) {
    if (!collide_member(item)) continue;
    float x = collide_clamp(item.position_x, -COLLIDE_FAR, COLLIDE_FAR);
    float y = collide_clamp(item.position_y, -COLLIDE_FAR, COLLIDE_FAR);
    field[0] = std::fmin(field[0], x);
    field[1] = std::fmin(field[1], y);
    field[2] = std::fmax(field[2], x);
    field[3] = std::fmax(field[3], y);
  }
  for (int k = 0; k < 2; k++) field[k] -= COLLIDE_MARGIN;
  for (int k = 2; k < 4; k++) field[k] += COLLIDE_MARGIN;
}

// One collision pass whose work allowance counts at most `most` of its items.
static void collide_pass(World *world, int most) {
  collide_passes++;
  float field[4];
  collide_field(world, field);
  float box[4] = {HUGE_VALF, HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
  int count = 0;
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    Item &item = world->items[n];
    if (!collide_member(item)) continue;
    float r = item.collide_r;
    item.bounds[0] = collide_clamp(item.position_x - r, field[0], field[2]);
    item.bounds[1] = collide_clamp(item.position_y - r, field[1], field[3]);
    item.bounds[2] = collide_clamp(item.position_x + r, field[0], field[2]);
    item.bounds[3] = collide_clamp(item.position_y + r, field[1], field[3]);
    for (int k = 0; k < 2; k++) box[k] = std::fmin(box[k], item.bounds[k]);
    for (int k = 2; k < 4; k++) box[k] = std::fmax(box[k], item.bounds[k]);
    collide_list[count++] = n;
  }
  const int64_t budget = (int64_t)COLLIDE_WORK_PER_ITEM * (count < most ? count : most);
  CollidePass pass = {world, budget};
  collide_split(&pass, collide_list, count, COLLIDE_CAPACITY, box, 0, 0);
  collide_work += (uint64_t)(budget - pass.work);
}

void vantor_collide(World *world) { collide_pass(world, VANTOR_ITEMS); }

// Open to the tests: collision passes run since the program started.
uint32_t vantor_collide_passes() { return collide_passes; }

// Open to the tests: work of every collision pass since the program
// started: list entries classified and pairs tested. One pass costs at most a small multiple of its
// items times the leaf size, whatever the world holds.
uint64_t vantor_collide_work() { return collide_work; }

// The sums of each fleet's ship positions: in double, as a float sum of far-flung ships could overflow.
static double fleet_sums[VANTOR_ITEMS][2];

void vantor_fleet_bounds(World *world) {
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    Item &fleet = world->items[n];
    if (!fleet.in_use || !fleet.has_fleet) continue;
    fleet.bounds[0] = fleet.bounds[1] = 99999;
    fleet.bounds[2] = fleet.bounds[3] = -99999;
    fleet_sums[n][0] = fleet_sums[n][1] = 0;
  }
  for (const Item &ship : world->items) {
    if (!ship.in_use || !ship.is_ship) continue;
    Item *fleet = vantor_item_live(world, ship.fleet_n);
    if (!fleet || !fleet->has_fleet) continue;
    fleet->bounds[0] = std::fmin(fleet->bounds[0], ship.position_x);
    fleet->bounds[1] = std::fmin(fleet->bounds[1], ship.position_y);
    fleet->bounds[2] = std::fmax(fleet->bounds[2], ship.position_x);
    fleet->bounds[3] = std::fmax(fleet->bounds[3], ship.position_y);
    fleet_sums[ship.fleet_n][0] += ship.position_x;
    fleet_sums[ship.fleet_n][1] += ship.position_y;
  }
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    Item &fleet = world->items[n];
    if (!fleet.in_use || !fleet.has_fleet) continue;
    const double live = fleet.fleet_live > 0 ? fleet.fleet_live : 1;  // a record can claim none; its sum is 0
    fleet.position_x = vantor_finite(fleet_sums[n][0] / live);
    fleet.position_y = vantor_finite(fleet_sums[n][1] / live);
    const double w = (double)fleet.bounds[2] - fleet.bounds[0], h = (double)fleet.bounds[3] - fleet.bounds[1];
    fleet.body_r = vantor_finite((h + w) / 5);
  }
}

Item *vantor_user_init(World *world, uint32_t color, int team, const char *name) {
  Item *user = vantor_item_alloc(world);
  if (!user->in_use) return user;
  bool neutral = name && strcmp(name, "neutral") == 0;
  user->has_user = 1;
  user->is_object = 1;
  user->render_color = color;
  user->ships_production_enabled = 1;
  user->has_title = 1;
  vantor_text_copy(user->title_value, sizeof(user->title_value), name);
  user->user_neutral = neutral;
  // A team number that names no slot would read as "no item": the user is then its own team.
  user->user_team_n = team >= 1 && team < VANTOR_ITEMS ? team : (int32_t)user->n;
  user->fleet_v_factor = 1.0f;
  user->ui_ships_show_mask = 23;
  user->ui_to_mask = 15;
  user->ui_fleet_redirect = 1;
  user->fleet_color = user->planet_color = color;
  vantor_text_copy(user->fleet_image, sizeof(user->fleet_image), "ship");
  user->ships_production_factor = 1.0f;
  user->ships_value_factor = 1.0f;
  uint32_t team_color = vantor_item_get(world, user->user_team_n).render_color;
  planet_style_preset(user->n, world, color, team_color, neutral ? "neutral" : nullptr, nullptr);
  return user;
}

Item *vantor_team_init(World *world, uint32_t color, const char *name) {
  Item *team = vantor_item_alloc(world);
  if (!team->in_use) return team;
  team->is_object = 1;
  team->render_color = color;
  team->has_title = 1;
  vantor_text_copy(team->title_value, sizeof(team->title_value), name);
  bool neutral = name && strcmp(name, "neutral") == 0;
  planet_style_preset(team->n, world, color, color, neutral ? "neutral" : nullptr, nullptr);
  return team;
}

// One term of the name seed: the float truncated and wrapped to 32 bits. The detour through a
// 64-bit signed integer keeps negative coordinates well defined; what has no integer value
// (NaN, infinities, beyond 64 bits) counts as 0.
static uint32_t seed_term(float f) {
  if (!(f >= -9223372036854775808.0f && f < 9223372036854775808.0f)) return 0;
  return (uint32_t)(int64_t)f;
}

Item *vantor_planet_init(World *world, int owner, float x, float y, float production, float ships) {
  Item *planet = vantor_item_alloc(world);
  if (!planet->in_use) return planet;
  const Item &user = vantor_item_get(world, owner);
  planet->ships_value = vantor_finite(ships * user.ships_value_factor);
  planet->has_planet = planet->is_object = planet->has_ships = 1;
  planet->has_owner = planet->has_position = planet->has_title = 1;
  planet->ships_production = production;
  planet->ships_production_enabled = user.ships_production_enabled;
  planet->planet_crash = user.planet_crash;
  planet->position_x = x;
  planet->position_y = y;
  planet->owner_n = owner;
  uint32_t seed = seed_term(production);
  seed = (seed << 8) + seed_term(planet->ships_value);
  seed = (seed << 8) + seed_term(x);
  seed = (seed << 8) + seed_term(y);
  vantor_text_copy(planet->title_value, sizeof(planet->title_value), vantor_planet_name(seed));
  double grown = production - 15 > 0 ? production - 15 : 0;
  float r = vantor_finite(12 + grown * 12 / 85);
  planet->planet_r = planet->collide_r = planet->body_r = r;
  planet->mass = vantor_finite(VANTOR_PI * r * r);
  planet->planet_seed = rand() % 9999;
  memcpy(planet->planet_style, user.planet_style, sizeof(planet->planet_style));
  memcpy(planet->planet_overlay, user.planet_overlay, sizeof(planet->planet_overlay));
  planet->has_collide = 1;
  planet->collide_group = 1;
  planet->collide_same = 1;
  planet->collide_mask = 0;
  planet->is_body = 1;
  return planet;
}

static const uint8_t name_table[256] = {
    0x1e, 0xc1, 0x2f, 0xec, 0x0d, 0x08, 0x97, 0x09, 0x97, 0xc3, 0xbe, 0xcb, 0x44, 0xe1, 0x7d, 0x2c, 0x92, 0x66, 0x65,
    0xa8, 0x79, 0x4c, 0x0a, 0x9e, 0xb8, 0x7d, 0x7c, 0xd8, 0x13, 0xc8, 0xab, 0xb8, 0x16, 0x64, 0x9a, 0x43, 0xa6, 0x7f,
    0x20, 0x69, 0xa8, 0xec, 0x4e, 0xbb, 0x63, 0x4e, 0x4c, 0xcb, 0x65, 0x1a, 0x89, 0xcc, 0x41, 0x87, 0x5c, 0x85, 0x5a,
    0xb0, 0xd2, 0xcd, 0x1d, 0x5e, 0x81, 0xfb, 0xe2, 0x87, 0x88, 0x6c, 0x5f, 0xc1, 0xda, 0xda, 0xc0, 0x5e, 0x76, 0xf3,
    0x8f, 0xef, 0x54, 0x9b, 0xf7, 0x42, 0xba, 0xe3, 0xd2, 0x6f, 0x4f, 0x03, 0x59, 0x0f, 0x84, 0xcf, 0x2d, 0xa1, 0x44,
    0x61, 0xb9, 0x29, 0xf7, 0x32, 0x2b, 0xc0, 0xe7, 0xcd, 0xbd, 0x47, 0x7d, 0x3d, 0x12, 0x05, 0x40, 0xaa, 0x57, 0xea,
    0xb7, 0xfc, 0x8d, 0x26, 0x6e, 0x90, 0xbd, 0x28, 0x39, 0xc1, 0xb9, 0x67, 0xc1, 0x41, 0xdd, 0xa7, 0x73, 0x9a, 0xe8,
    0x03, 0x13, 0xf9, 0x13, 0x01, 0x2c, 0xbd, 0x04, 0x58, 0x13, 0x92, 0xb9, 0xf4, 0xb6, 0x26, 0xa6, 0x58, 0x11, 0x56,
    0x21, 0x7c, 0x1e, 0x94, 0x7b, 0x2a, 0x7f, 0x89, 0xc3, 0xba, 0xdb, 0x9b, 0xcc, 0x49, 0xe7, 0xdc, 0x9a, 0xdd, 0x96,
    0xfb, 0x38, 0x55, 0xf9, 0x63, 0xb5, 0x5a, 0xe2, 0x96, 0x30, 0x3d, 0x4e, 0xb6, 0xb2, 0xb7, 0x63, 0xd2, 0xb1, 0xa9,
    0x20, 0xe9, 0xa1, 0xa4, 0xc7, 0x76, 0xe7, 0x9d, 0x42, 0x8f, 0x6f, 0x00, 0xb0, 0x9a, 0xe8, 0xbb, 0x97, 0x21, 0xd4,
    0x81, 0x92, 0x41, 0x16, 0x49, 0xdf, 0x5e, 0xfb, 0x8d, 0x67, 0xaf, 0x86, 0x98, 0xea, 0xa8, 0xbf, 0x0c, 0x58, 0x63,
    0x31, 0x18, 0x60, 0x04, 0x6e, 0x07, 0x4e, 0xba, 0x13, 0x84, 0xa1, 0xb0, 0x4f, 0x61, 0xfc, 0x19, 0xf9, 0x0d, 0x3a,
    0x5a, 0xe4, 0xe1, 0x61, 0x64, 0xb8, 0x15, 0x11, 0xc7,
};

// A pick in 0..m - 1 from the bits of k, stirred by the table.
static uint32_t name_pick(uint32_t k, uint32_t m) { return (name_table[k & 255] + k) % m; }

const char *vantor_planet_name(uint32_t seed) {
  static const char first[] = "bdfgjklmnprstvxzaeiou";
  static const char consonants[] = "bdfgjklmnprstvxz";
  static const char vowels[] = "aeiou";
  static char name[32];
  uint32_t length = name_pick(seed, 5) + 4;
  name[0] = first[name_pick(seed >> 4, 21)];
  uint32_t k = seed >> 8;
  for (uint32_t i = 1; i < length; i++, k >>= 4) {
    bool after_vowel = strchr(vowels, name[i - 1]) != nullptr;
    name[i] = after_vowel ? consonants[name_pick(k, 16)] : vowels[name_pick(k, 5)];
  }
  name[length] = 0;
  return name;
}

static void settle_pad(World *world, float pad) {
  for (Item &item : world->items) {
    if (item.in_use && item.has_collide) item.collide_r += pad;
  }
}

// Raises v to low, then lowers it to high; a bound that is not finite (a radius or rectangle beyond
// what a float holds) is not applied, so no position leaves the finite plane.
static float settle_limit(float v, float low, float high) {
  if (std::isfinite(low) && v < low) v = low;
  if (std::isfinite(high) && v > high) v = high;
  return v;
}

static void settle_clamp(World *world, float x, float y, float w, float h) {
  for (Item &item : world->items) {
    if (!item.in_use || !item.has_collide) continue;
    float r = item.collide_r;
    item.position_x = settle_limit(item.position_x, x + r, x + w - r);
    item.position_y = settle_limit(item.position_y, y + r, y + h - r);
  }
}

void vantor_planets_settle(World *world, float x, float y, float w, float h) {
  bool rect = w != 0 && h != 0;
  settle_pad(world, 8);
  // Heavy anchors in the corners hold the planets off the rectangle's edges.
  Item *anchors[4] = {};
  const float corners[4][2] = {{x, y}, {x + w, y}, {x, y + h}, {x + w, y + h}};
  for (int k = 0; rect && k < 4; k++) {
    anchors[k] = vantor_planet_init(world, 1, 0, 0, 10000, 0);
    anchors[k]->collide_r = 72;
  }
  for (int pass = 0; pass < 16; pass++) {
    if (rect) {
      settle_clamp(world, x, y, w, h);
      for (int k = 0; k < 4; k++) {
        anchors[k]->position_x = corners[k][0];
        anchors[k]->position_y = corners[k][1];
      }
    }
    collide_pass(world, SETTLE_PASS_ITEMS);
  }
  for (int k = 0; rect && k < 4; k++) anchors[k]->in_use = 0;
  settle_pad(world, -8);
}

int vantor_item_relation(const World *world, int n, int viewer) {
  const Item *item = &vantor_item_get(world, n);
  if (item->is_ship) item = &vantor_item_get(world, item->fleet_n);
  const Item &owner = vantor_item_get(world, item->owner_n);
  int bits = owner.user_reveal ? VANTOR_REL_REVEALED : 0;
  if (viewer >= 1 && viewer == item->owner_n) return bits | VANTOR_REL_OWN;
  if (viewer >= 1 && vantor_item_get(world, viewer).user_team_n == owner.user_team_n) return bits | VANTOR_REL_TEAM;
  return bits | (owner.user_neutral ? VANTOR_REL_NEUTRAL : VANTOR_REL_ENEMY);
}
