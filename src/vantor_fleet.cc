// Fleets and ships: sending, redirecting, flying, fighting and capturing, with sparks and sounds.
#include "vantor_fleet.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kez_rand.h"
#include "kez_sound.h"
#include "vantor_host.h"
#include "vantor_world.h"

// A ship lives while it carries at least this many ships.
static const float SHIP_VALUE_MIN = 0.001f;

// The collision group shared by one owner's ships flying to one target: they push each other.
static uint32_t ship_group(int32_t owner, uint32_t target) { return (((uint32_t)owner << 12) | target) << 8; }

static int32_t team_of(const World *world, const Item &item) {
  return vantor_item_get(world, item.owner_n).user_team_n;
}

int vantor_fleet_send(World *world, int from, int to, int perc) {
  Item *source = vantor_item_live(world, from);
  const Item *target = vantor_item_live(world, to);
  if (!source || !target || !source->has_planet || !target->has_planet) return 0;
  if (perc < 1 || perc > 100) return 0;
  float amount = vantor_finite(perc * (double)source->ships_value / 100);  // perc times FLT_MAX ships is no float
  Item *fleet = vantor_fleet_init(world, from, source->owner_n, amount, to);
  if (!fleet->in_use) return 0;
  source->ships_value -= fleet->fleet_ships;
  vantor_item_mark_dirty(world, source);
  return fleet->n;
}

void vantor_fleet_redirect(World *world, int fleet, int to) {
  Item *item = vantor_item_live(world, fleet);
  const Item *target = vantor_item_live(world, to);
  if (!item || !target || !item->has_fleet || !target->has_planet) return;
  item->fleet_target = to;
  vantor_item_mark_dirty(world, item);
  for (Item &ship : world->items) {
    if (!ship.in_use || !ship.is_ship || ship.fleet_n != (uint32_t)fleet) continue;
    ship.target_n = to;
    ship.collide_group = ship.collide_same = ship_group(item->owner_n, to);
    ship.collide_mask = 1;
  }
}

// How many ships carry `amount`: about sqrt(17 amount), never more than the amount or than the
// free slots allow, fewer as the table fills, at least one; 0 when the table is full.
static int ship_count(const World *world, float amount) {
  int used = 0;
  float total = 0;
  for (int n = 1; n < VANTOR_ITEMS; n++) {
    const Item &item = world->items[n];
    if (!item.in_use) continue;
    used++;
    if (item.has_ships && item.ships_value > 0) total += item.ships_value;
  }
  int free = 4088 - used;
  if (free < 1) return 0;
  float count = std::trunc(float_min(std::sqrt(17 * amount), std::trunc(amount)));
  count = std::trunc(float_min((float)(free - 512), count));
  count = std::trunc(float_min(free * amount / total, count));
  return count > 1 ? (int)count : 1;
}

Item *vantor_fleet_init(World *world, int from, int owner, float amount, int to) {
  Item *fleet = vantor_item_alloc(world);
  if (!fleet->in_use) return fleet;
  const Item *source = vantor_item_live(world, from);
  const Item *target = vantor_item_live(world, to);
  if (from == to || !(amount >= 1) || !std::isfinite(amount) || !source || !target) {
    fleet->in_use = 0;
    return fleet;
  }
  int count = ship_count(world, amount);
  float a = std::atan2(target->position_y - source->position_y, target->position_x - source->position_x);
  fleet->has_fleet = 1;
  vantor_item_mark_dirty(world, fleet);
  fleet->render_color = vantor_item_get(world, owner).render_color;
  fleet->body_r = 1.0f;
  fleet->is_object = 1;
  fleet->has_owner = 1;
  // Ships leave from the point of the rim that faces the target.
  fleet->position_x = vantor_finite(source->position_x + std::cos(a) * source->collide_r);
  fleet->position_y = vantor_finite(source->position_y + std::sin(a) * source->collide_r);
  fleet->owner_n = owner;
  fleet->fleet_target = to;
  vantor_fleet_fill(world, fleet->n, count, count > 0 ? amount / count : 0);
  if (fleet->fleet_live == 0) fleet->in_use = 0;
  return fleet;
}

// Six steering steps and a bank update, so a new ship already faces its way.
static void ship_prestep(World *world, Item *ship) {
  for (int i = 0; i < 6; i++) vantor_ship_steer(world, ship, 0.025f);
  vantor_ship_bank(ship, 0.025f);
}

static Item *ship_create(World *world, int fleet_n, const Item &fleet, float x, float y, float value) {
  Item *ship = vantor_item_alloc(world);
  if (!ship->in_use) return ship;
  const Item &owner = vantor_item_get(world, fleet.owner_n);
  ship->is_ship = ship->has_owner = ship->has_image = ship->has_position = 1;
  ship->has_ships = ship->has_collide = ship->is_body = 1;
  ship->synced = 0;  // each side builds its own ships
  ship->owner_n = fleet.owner_n;
  vantor_text_copy(ship->image_src, sizeof(ship->image_src), owner.fleet_image);
  ship->render_color = owner.fleet_color;
  ship->render_alpha = 255;
  ship->render_blend = 1;
  ship->fleet_n = fleet_n;
  ship->target_n = fleet.fleet_target;
  ship->speed = vantor_finite(owner.fleet_v_factor * 40);
  ship->fleet_crash = owner.fleet_crash;
  ship->image_w = ship->image_h = 1.0f;
  ship->image_cx = ship->image_cy = 0.5f;
  ship->image_scale = 14.4f;
  ship->collide_group = ship->collide_same = ship_group(fleet.owner_n, fleet.fleet_target);
  ship->collide_mask = 1;
  ship->ships_value = value;
  ship->position_x = ship->prev_x = x;
  ship->position_y = ship->prev_y = y;
  ship->collide_r = 6.0f;
  ship->mass = 1.0f;
  ship->body_r = 6.0f;
  ship->turn_rate = VANTOR_PI / 32;
  ship_prestep(world, ship);
  return ship;
}

void vantor_fleet_fill(World *world, int fleet_n, int count, float value) {
  Item *fleet = vantor_item_live(world, fleet_n);
  if (!fleet) return;
  fleet->fleet_live = 0;
  fleet->fleet_ships = 0;
  float r = std::sqrt(count * 113.09733552923255f / VANTOR_PI);  // 36 square units per ship
  for (int i = 0; i < count; i++) {
    float dx, dy;
    do {
      dx = (rand() % 2000 - 1000) * r / 1000;
      dy = (rand() % 2000 - 1000) * r / 1000;
    } while (std::sqrt(dx * dx + dy * dy) > r);
    Item *ship = ship_create(world, fleet_n, *fleet, fleet->position_x + dx, fleet->position_y + dy, value);
    if (!ship->in_use) break;
    fleet->fleet_live += 1;
    fleet->fleet_ships = vantor_finite(fleet->fleet_ships + ship->ships_value);  // rounding can pass FLT_MAX
  }
}

void vantor_planet_chown(World *world, int planet, int owner) {
  Item *item = vantor_item_live(world, planet);
  if (!item) return;
  const Item &user = vantor_item_get(world, owner);
  item->owner_n = owner;
  vantor_item_mark_dirty(world, item);
  item->render_color = user.render_color;
  memcpy(item->planet_style, user.planet_style, sizeof(item->planet_style));
  memcpy(item->planet_overlay, user.planet_overlay, sizeof(item->planet_overlay));
  item->ships_production_enabled = user.ships_production_enabled;
  item->planet_crash = user.planet_crash;
  vantor_sparks_spawn(world, item->position_x, item->position_y, item->collide_r);
  vantor_sfx_play("explode");
}

// One spark of the given size somewhere in the disk of radius r around (x, y), flying off in a
// random direction; `drift` moves it a random part of its first 1/40 s on.
static void spark_spawn(World *world, float x, float y, float r, float size, bool drift) {
  Part *part = vantor_part_alloc(world);
  vantor_text_copy(part->image, sizeof(part->image), "spark");
  part->size = size;
  float dx, dy;
  do {
    dx = -r + rand15() / 32767.0f * 2 * r;
    dy = -r + rand15() / 32767.0f * 2 * r;
  } while (dx * dx + dy * dy > r * r);
  part->x = x + dx;
  part->y = y + dy;
  float direction = (rand() % 360) * 2 * VANTOR_PI / 360;
  float speed = (rand() % 100) * 40 / 100.0f;
  part->vx = speed * std::cos(direction);
  part->vy = speed * std::sin(direction);
  if (drift) {
    float share = (rand() % 100) / 100.0f;
    part->x += part->vx * share / 40;
    part->y += part->vy * share / 40;
  }
  part->life = 0.5f + rand15() / 32767.0f * 0.2f;
  part->alpha = 1.0f;
  part->angle = (rand() % 360) * 2 * VANTOR_PI / 360;
  part->alpha_rate = -part->alpha / part->life;
}

void vantor_sparks_spawn(World *world, float x, float y, float r) {
  if (!std::isfinite(r)) return;  // the "until inside" draw needs a finite disk
  float count = r * r / 35;
  if (!(count >= 1)) return;
  // More than the table holds would only overwrite each other.
  int n = count < VANTOR_PARTS ? (int)count : VANTOR_PARTS;
  for (int i = 0; i < n; i++) spark_spawn(world, x, y, r, (rand() % 5 + 4) * 3, false);
}

void vantor_hit_sparks(World *world, float x, float y) {
  for (int i = 0; i < 16; i++) spark_spawn(world, x, y, 1, rand() % 5 + 4, true);
}

void vantor_sfx_play(const char *name) {
  float volume;
  if (!vantor_host || !vantor_host->sfx_volume(&volume)) return;
  std::string sample = std::string("sfx-") + name;
  const int id = sound_sample_load(sample.c_str());
  // A fight lands dozens of hits a second: more of one sound at once would only add up to noise and
  // push the mix into the limiter.
  if (driver_audio_voices(id) >= VANTOR_SFX_VOICES) return;
  driver_audio_sample_play(id, volume, 0.0f);
}

void vantor_ship_steer(World *world, Item *ship, float dt) {
  float moved = std::fabs(ship->position_y - ship->prev_y);
  if (ship->ticks > 0) {
    moved += std::fabs(ship->position_x - ship->prev_x);
    if (moved < dt * ship->speed / 15 && (ship->n + ship->ticks) % 48 == 0) {  // stuck: shake it loose
      ship->position_x = vantor_finite(ship->position_x + (rand() % 200 - 100) * (double)dt * ship->speed / 100);
      ship->position_y = vantor_finite(ship->position_y + (rand() % 200 - 100) * (double)dt * ship->speed / 100);
    }
  }
  ship->prev_x = ship->position_x;
  ship->prev_y = ship->position_y;
  const Item &target = vantor_item_get(world, ship->target_n);
  float a = std::atan2(target.position_y - ship->position_y, target.position_x - ship->position_x);
  float step = dt * 40;
  float turn = ship->turn_rate * step;
  float h = a;
  if (ship->ticks != 0) {
    h = ship->heading;
    if (a - h > VANTOR_PI) h += 2 * VANTOR_PI;
    if (h - a > VANTOR_PI) a += 2 * VANTOR_PI;
    if (a > h) {
      h += turn;
      ship->turn_time += step;
    }
    if (h > a) {
      h -= turn;
      ship->turn_time += step;
    }
    if (std::fabs(a - h) < turn) {
      h = a;
      ship->turn_time = 0;
    }
  }
  // A ship that keeps circling its target turns ever faster until it gets there.
  if (ship->turn_time > 40) ship->turn_rate += step * (VANTOR_PI / 1280);
  if (h > VANTOR_PI) h -= 2 * VANTOR_PI;
  if (h < -VANTOR_PI) h += 2 * VANTOR_PI;
  ship->heading = ship->heading_set = h;
  ship->position_x = vantor_finite(ship->position_x + std::cos(h) * ship->speed * dt);
  ship->position_y = vantor_finite(ship->position_y + std::sin(h) * ship->speed * dt);
}

void vantor_ship_arrival(World *world, Item *ship) {
  const Item &target = vantor_item_get(world, ship->target_n);
  // In double: the squares of a giant planet's radius or of a far ship's distance pass FLT_MAX.
  double dx = (double)ship->position_x - target.position_x;
  double dy = (double)ship->position_y - target.position_y;
  double r = (double)target.collide_r + ship->collide_r;
  if (dx * dx + dy * dy < r * r) ship->arrived = 1;
}

// Takes up to `amount` ships off the ship and its fleet; a ship left with (almost) none is freed.
static void ship_damage(World *world, Item *ship, float amount) {
  float d = float_min(amount, ship->ships_value);  // below 0 for a ship a mod set below 0
  ship->ships_value -= d;
  Item *fleet = vantor_item_live(world, ship->fleet_n);
  if (fleet && fleet->has_fleet) fleet->fleet_ships = vantor_finite(fleet->fleet_ships - d);
  if (!(ship->ships_value >= SHIP_VALUE_MIN)) vantor_ship_free(world, ship);
}

static void ship_land(World *world, Item *ship) {
  Item *planet = vantor_item_live(world, ship->target_n);
  if (planet) {
    if (team_of(world, *planet) != team_of(world, *ship)) {
      planet->ships_value = vantor_finite(planet->ships_value - ship->ships_value);
      vantor_hit_sparks(world, ship->position_x, ship->position_y);
      vantor_sfx_play("hit");
    } else {
      planet->ships_value = vantor_finite(planet->ships_value + ship->ships_value);
    }
    // Only the server decides captures; a client's copy waits for the new owner to arrive.
    if (planet->server_n == 0 && planet->ships_value < 0) {
      planet->ships_value = -planet->ships_value;
      vantor_planet_chown(world, ship->target_n, ship->owner_n);
    }
  }
  ship_damage(world, ship, ship->ships_value);
}

// Two enemy ships trade losses in proportion to each other's attack strength.
static void ships_fight(World *world, Item *ship, Item *other) {
  int64_t a = ship->fleet_crash ? ship->fleet_crash : 100;
  int64_t b = other->fleet_crash ? other->fleet_crash : 100;
  int64_t m = a > b ? a : b;  // never 0: neither a nor b is
  // In double: a hundred times a ship near FLT_MAX is no float, though its share of it is.
  float ship_loss = vantor_finite((double)(b * 100 / m) * other->ships_value / 100);
  float other_loss = vantor_finite((double)(a * 100 / m) * ship->ships_value / 100);
  if (ship_loss >= ship->ships_value) vantor_hit_sparks(world, ship->position_x, ship->position_y);
  if (other_loss >= other->ships_value) vantor_hit_sparks(world, other->position_x, other->position_y);
  vantor_sfx_play("hit");
  ship_damage(world, ship, ship_loss);
  ship_damage(world, other, other_loss);
}

static void ship_meet(World *world, Item *ship) {
  Item *other = vantor_item_live(world, ship->partner);
  ship->partner = 0;  // the collision pass sets it again each step
  if (!other) return;
  if (other->partner == ship->n) other->partner = 0;
  if (team_of(world, *other) == team_of(world, *ship)) return;
  if (other->has_planet && other->planet_crash) {
    vantor_hit_sparks(world, ship->position_x, ship->position_y);
    vantor_sfx_play("hit");
    ship_damage(world, ship, ship->ships_value);
  } else if (other->is_ship && (ship->fleet_crash || other->fleet_crash)) {
    ships_fight(world, ship, other);
  }
}

void vantor_ship_resolve(World *world, Item *ship) {
  if (ship->arrived) {
    ship_land(world, ship);
  } else {
    ship_meet(world, ship);
  }
}

void vantor_ship_bank(Item *ship, float dt) {
  float m = std::atan2(ship->position_y - ship->prev_y, ship->position_x - ship->prev_x);
  float step = dt * 40;
  float turn = ship->turn_rate * 4 * step;
  float b = ship->bank_steps ? ship->bank : m;
  if (m - b > VANTOR_PI) b += 2 * VANTOR_PI;
  if (b - m > VANTOR_PI) m += 2 * VANTOR_PI;
  if (b < m) {
    b += turn;
    ship->turn_time += step;
  }
  if (b > m) b -= turn;
  if (std::fabs(m - b) < turn) b = m;
  ship->bank = b;
  ship->bank_steps += 1;
  ship->image_a = b + VANTOR_PI / 2;
}
