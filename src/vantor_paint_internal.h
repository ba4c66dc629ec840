// The match painter's internals that the tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

struct Item;
struct Star;
struct World;

void _planet_label_set(World *world, Item &planet, int user);
void _background_name(const World *world, char name[32]);
const Star *_stars_table();
int _stars_count(int window_w, int window_h, int ui_size);
void _color_remap_clear();
