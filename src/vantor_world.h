// The match world's tables: item and particle allocation, reset and destruction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vantor.h"

// Item n for reading. Numbers outside 0..4095 read slot 0, which is never used: every field
// reads 0, which is what "no item" means (no owner, no production factor).
const Item &vantor_item_get(const World *world, int64_t n);
// Item n when 1 <= n <= 4095 and in use; null otherwise.
Item *vantor_item_live(World *world, int64_t n);

// Takes the next free slot round robin, zero-filled, in use, numbered and synced. With all 4095
// slots in use it returns a zero-filled dummy that is not in use (writes to it are lost).
Item *vantor_item_alloc(World *world);
// Marks the item dirty, so that the server's next sync tick sends its whole record again.
void vantor_item_mark_dirty(World *world, Item *item);
// The slots of world marked dirty since the last call, in index order, into *out, so that the sync
// tick need not look at every slot. False when they are not known (the call before was about another
// world, or too many were marked); every slot must be looked at then. Slots may since have been
// freed or cleaned.
bool vantor_dirty_take(const World *world, std::vector<uint16_t> *out);
// Clears the world for a new match; the serial counter and so the serials keep growing.
void vantor_world_reset(World *world);
// Frees item n with what depends on it: a fleet's ships, a planet's incoming fleets; a ship
// leaves its fleet's counts right. Nothing for a number outside 1..4095 or a free slot.
void vantor_item_destroy(World *world, int n);
// Frees a ship and counts it out of its fleet, which is freed with its last live ship.
void vantor_ship_free(World *world, Item *ship);

// Takes the next particle slot round robin (the oldest is overwritten), zero-filled and in use.
Part *vantor_part_alloc(World *world);
// Ages every live particle by dt and frees those that reached their life.
void parts_age(World *world, float dt);

// The name of the item's first number field that is NaN or infinite; null when all are finite. A
// client refuses a record with such a field, so the simulation never makes one from finite numbers.
const char *vantor_item_not_finite(const Item &item);

// v as a finite float: NaN gives 0 and what lies beyond the float range gives -FLT_MAX or FLT_MAX.
// Every number the simulation derives goes through it where finite inputs could overflow.
float vantor_finite(double v);
// The smaller of a and b; b when they are equal (or either is NaN).
float float_min(float a, float b);
// Copies text into a fixed text field, cut to fit with the NUL kept; null copies as empty.
void vantor_text_copy(char *field, size_t size, const char *text);
