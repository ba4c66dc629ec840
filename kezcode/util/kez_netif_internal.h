// The interface list's internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include "kez_netif.h"

struct ifaddrs;

NetIfRecord **_netif_build(const ifaddrs *interfaces, const char *dns_text);
void _netif_read_dns(const char *path, char out[16]);
