// The match simulation: the step, the collision pass and the creation of users, teams and planets.
#pragma once

#include <cstdint>

#include "vantor.h"

// Relation bits of an item to a viewing user.
enum {
  VANTOR_REL_OWN = 1,
  VANTOR_REL_TEAM = 2,
  VANTOR_REL_NEUTRAL = 4,
  VANTOR_REL_ENEMY = 8,
  VANTOR_REL_REVEALED = 16,
};

// Advances the world by dt seconds: ships fly, arrive and fight, bodies are pushed apart, fleet
// boxes follow their ships, planets produce and (with age_parts) particles age. A dt that is not
// a positive finite number changes nothing.
void vantor_step(World *world, float dt, bool age_parts);
// One collision pass: overlapping collidable items are pushed apart and remember a partner.
void vantor_collide(World *world);
// Recomputes every fleet's centre, box and body radius from its ships.
void vantor_fleet_bounds(World *world);

// Creates a user (team 0: its own team) with its planet look; the dummy when the table is full.
Item *vantor_user_init(World *world, uint32_t color, int team, const char *name);
// Creates a team with its planet look; the dummy when the table is full.
Item *vantor_team_init(World *world, uint32_t color, const char *name);
// Creates a named planet owned by `owner`; the dummy when the table is full.
Item *vantor_planet_init(World *world, int owner, float x, float y, float production, float ships);
// The planet name (4 to 8 letters) of a seed, in a static buffer.
const char *vantor_planet_name(uint32_t seed);
// Spreads overlapping planets apart with 16 collision passes, inside the rectangle x, y, w, h
// unless w or h is 0. A pass's work is capped at what a step's pass over 256 items may spend.
void vantor_planets_settle(World *world, float x, float y, float w, float h);
// The VANTOR_REL_* bits of item n (a ship counts as its fleet) seen by user `viewer` (< 1: none).
int vantor_item_relation(const World *world, int n, int viewer);
