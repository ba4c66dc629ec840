// Fleets and ships: sending, redirecting, flying, fighting and capturing, with sparks and sounds.
#pragma once

#include "vantor.h"

// Sends perc (1..100) percent of planet `from`'s ships to planet `to`. Returns the new fleet's
// number, or 0 when nothing was sent (bad percentage or ends, too few ships, full table).
int vantor_fleet_send(World *world, int from, int to, int perc);
// Turns fleet `fleet` and all its ships towards planet `to`; nothing unless both are what they
// should be.
void vantor_fleet_redirect(World *world, int fleet, int to);
// Creates a fleet of `owner` carrying `amount` ships from item `from` to item `to`, as ships in a
// disk at from's rim. Returns a fleet that is not in use when from = to, amount < 1, either end
// is not in use, or no ship could be made.
Item *vantor_fleet_init(World *world, int from, int owner, float amount, int to);
// Creates `count` ships of `value` each in a disk around fleet `fleet`'s position, owned by its
// owner and flying to its target; the fleet's live ships and ship value count what was made
// (fewer when the table fills).
void vantor_fleet_fill(World *world, int fleet, int count, float value);
// Gives planet `planet` to user `owner` with the owner's look, sparks and the "explode" sound.
void vantor_planet_chown(World *world, int planet, int owner);

// Capture sparks: about r * r / 35 particles in the disk of radius r around (x, y).
void vantor_sparks_spawn(World *world, float x, float y, float r);
// Sixteen small sparks of a hit at (x, y).
void vantor_hit_sparks(World *world, float x, float y);
// At most this many voices of one sound effect play at once.
constexpr int VANTOR_SFX_VOICES = 3;
// Plays the sample "sfx-" + name at the sound-effect volume, unless VANTOR_SFX_VOICES of it are playing
// already; silent headless or without a program's table (vantor_host).
void vantor_sfx_play(const char *name);

// The per-ship parts of the simulation step.
// Turns the ship towards its target (ever faster while it circles) and moves it.
void vantor_ship_steer(World *world, Item *ship, float dt);
// Marks the ship arrived once it touches its target.
void vantor_ship_arrival(World *world, Item *ship);
// An arrived ship reinforces or attacks its target (capturing it below zero) and is spent; any
// other ship fights the enemy it touched in the last collision pass.
void vantor_ship_resolve(World *world, Item *ship);
// Eases the ship's drawing angle towards its direction of motion.
void vantor_ship_bank(Item *ship, float dt);
