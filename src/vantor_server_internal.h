// The match server sync's internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include <cstdint>

class Net;
struct NetMsg;
struct World;

void _vantor_server_dispatch(Net *server, World *world, const NetMsg &msg, uint32_t now_ms);
