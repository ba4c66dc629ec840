// The match view's internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include "kez_var.h"

struct Event;
struct World;

var view_mods_dict(const World *world, const Event &e, float x, float y, float dx, float dy);
