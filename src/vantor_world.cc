// The match world's tables: item and particle allocation, reset and destruction.
#include "vantor_world.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <ctime>

const Item &vantor_item_get(const World *world, int64_t n) { return world->items[n >= 0 && n < VANTOR_ITEMS ? n : 0]; }

Item *vantor_item_live(World *world, int64_t n) {
  if (n < 1 || n >= VANTOR_ITEMS) return nullptr;
  Item *item = &world->items[n];
  return item->in_use ? item : nullptr;
}

Item *vantor_item_alloc(World *world) {
  for (int tries = 0; tries < VANTOR_ITEMS; tries++) {
    uint32_t n = world->item_cursor + 1;
    if (n == 0 || n >= VANTOR_ITEMS) n = 1;  // slot 0 is never handed out
    world->item_cursor = n;
    Item *item = &world->items[n];
    if (item->in_use) continue;
    memset(item, 0, sizeof(Item));
    item->in_use = 1;
    item->n = n;
    item->sync_id = ++world->serial;
    item->synced = 1;
    vantor_item_mark_dirty(world, item);
    return item;
  }
  static Item dummy;
  memset(&dummy, 0, sizeof(dummy));
  return &dummy;
}

// The dirty marks of the one world the server syncs (the first asked about, until another is).
static struct {
  const World *world;
  bool lost;  // more were marked than the list holds
  std::vector<uint16_t> slots;
} dirty_marks;

void vantor_item_mark_dirty(World *world, Item *item) {
  if (item->dirty) return;  // listed already
  item->dirty = 1;
  if (world != dirty_marks.world || dirty_marks.lost) return;
  if (dirty_marks.slots.size() >= VANTOR_ITEMS)
    dirty_marks.lost = true;
  else
    dirty_marks.slots.push_back((uint16_t)item->n);
}

bool vantor_dirty_take(const World *world, std::vector<uint16_t> *out) {
  const bool known = world == dirty_marks.world && !dirty_marks.lost;
  dirty_marks.world = world;
  dirty_marks.lost = false;
  out->swap(dirty_marks.slots);
  dirty_marks.slots.clear();
  std::sort(out->begin(), out->end());
  return known;
}

void vantor_world_reset(World *world) {
  uint32_t serial = world->serial;
  memset(world, 0, sizeof(World));
  world->started = (int32_t)time(nullptr);
  world->serial = serial;
}

void vantor_ship_free(World *world, Item *ship) {
  Item *fleet = vantor_item_live(world, ship->fleet_n);
  if (fleet && fleet->has_fleet) {
    if (fleet->fleet_live > 0) fleet->fleet_live -= 1;
    if (fleet->fleet_live < 1) fleet->in_use = 0;
  }
  ship->in_use = 0;
}

// Frees every ship of fleet n.
static void fleet_ships_free(World *world, uint32_t n) {
  for (Item &ship : world->items) {
    if (ship.in_use && ship.is_ship && ship.fleet_n == n) ship.in_use = 0;
  }
}

void vantor_item_destroy(World *world, int n) {
  Item *item = vantor_item_live(world, n);
  if (!item) return;
  if (item->is_ship) {
    Item *fleet = vantor_item_live(world, item->fleet_n);
    if (fleet && fleet->has_fleet) fleet->fleet_ships = vantor_finite(fleet->fleet_ships - item->ships_value);
    vantor_ship_free(world, item);
    return;
  }
  // Freed before its dependents, so records that point at each other cannot recurse forever.
  item->in_use = 0;
  if (item->has_fleet) fleet_ships_free(world, n);
  if (!item->has_planet) return;
  for (int m = 1; m < VANTOR_ITEMS; m++) {
    const Item &fleet = world->items[m];
    if (fleet.in_use && fleet.has_fleet && fleet.fleet_target == (uint32_t)n) vantor_item_destroy(world, m);
  }
}

Part *vantor_part_alloc(World *world) {
  world->part_cursor = (world->part_cursor + 1) % VANTOR_PARTS;
  Part *part = &world->parts[world->part_cursor];
  memset(part, 0, sizeof(Part));
  part->in_use = 1;
  return part;
}

void parts_age(World *world, float dt) {
  for (Part &part : world->parts) {
    if (!part.in_use) continue;
    part.age += dt;
    if (part.age >= part.life) part.in_use = 0;
  }
}

// The number fields of an item that travel. None may be NaN or infinite: no step, collision or drawing
// can make sense of one, and a collision would pass it on to every item it touches.
#define FLOAT_FIELD(field) \
  { #field, offsetof(Item, field) }
// clang-format off
static const struct {
  const char *name;
  size_t offset;
} ITEM_FLOAT_FIELDS[] = {
    FLOAT_FIELD(position_x),  FLOAT_FIELD(position_y),      FLOAT_FIELD(collide_r),
    FLOAT_FIELD(mass),        FLOAT_FIELD(image_w),         FLOAT_FIELD(image_h),
    FLOAT_FIELD(image_cx),    FLOAT_FIELD(image_cy),        FLOAT_FIELD(image_scale),
    FLOAT_FIELD(image_a),     FLOAT_FIELD(speed),           FLOAT_FIELD(heading),
    FLOAT_FIELD(prev_x),      FLOAT_FIELD(prev_y),          FLOAT_FIELD(heading_set),
    FLOAT_FIELD(turn_rate),   FLOAT_FIELD(turn_time),       FLOAT_FIELD(bank),
    FLOAT_FIELD(ships_value), FLOAT_FIELD(ships_production), FLOAT_FIELD(ships_production_factor),
    FLOAT_FIELD(ships_value_factor), FLOAT_FIELD(fleet_ships), FLOAT_FIELD(fleet_v_factor),
    FLOAT_FIELD(body_r),      FLOAT_FIELD(planet_r),        FLOAT_FIELD(planet_style[0].intensity),
    FLOAT_FIELD(planet_style[1].intensity), FLOAT_FIELD(draw_r), FLOAT_FIELD(draw_x2),
    FLOAT_FIELD(draw_y2),
};
// clang-format on
#undef FLOAT_FIELD

const char *vantor_item_not_finite(const Item &item) {
  for (const auto &field : ITEM_FLOAT_FIELDS) {
    float v;
    memcpy(&v, reinterpret_cast<const char *>(&item) + field.offset, sizeof v);
    if (!std::isfinite(v)) return field.name;
  }
  return nullptr;
}

float vantor_finite(double v) {
  if (std::isnan(v)) return 0;
  return v > FLT_MAX ? FLT_MAX : v < -FLT_MAX ? -FLT_MAX : (float)v;  // a cast beyond the range is undefined
}

float float_min(float a, float b) { return a < b ? a : b; }

void vantor_text_copy(char *field, size_t size, const char *text) {
  if (size == 0) return;
  size_t len = text ? strnlen(text, size - 1) : 0;
  if (len) memcpy(field, text, len);
  field[len] = 0;
}
