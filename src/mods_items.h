// Item access for mods: fields by key name, the items_find query language and the planet style
// writer. The ModsAPI operations themselves (item_lookup, item_get, item_set, items_find) are
// declared with the context in mods_api.h.
#pragma once

#include <string>

#include "vantor.h"

// Sets the planet's look from a JSON object text: sphere layer 0 in the planet's colour with the
// object's "alpha", "texture" and effect keys, sphere layer 1 off, and overlay 1 the aura in the
// colour of the item numbered by the planet's user_team_n. A text that is no object gives the
// plain look.
void planet_style_set(World *world, Item *item, const std::string &style);
