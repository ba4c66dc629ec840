// Network adapter query: the machine's IPv4 adapters with their addresses and hardware addresses.
#pragma once

#include <cstdint>

struct ifaddrs;

// One IPv4 adapter; zero-filled when made, so a field the system does not report stays empty.
struct NetIfRecord {
  char name[128];           // the interface name
  char address_text[16];    // dotted IPv4 address
  char netmask_text[16];    // dotted netmask
  char broadcast_text[16];  // "%i.%i.%i.%i"
  char hwaddr_text[24];     // "%02x:%02x:%02x:%02x:%02x:%02x"
  uint32_t address;         // network byte order
  uint32_t netmask;         // network byte order
  uint32_t broadcast;       // network byte order: (address AND netmask) OR (NOT netmask)
  uint8_t hwaddr[6];
  char description[256];  // the system keeps none: the interface name again
  char dns_text[16];      // the resolver's first IPv4 server; empty on loopback and down adapters
  uint32_t flags;         // the system's interface flags (IFF_UP, IFF_LOOPBACK, ...)
};

// The IPv4 adapters in the order the system reports them, as an array ending with a null pointer
// (only the null when the system lists none or cannot be asked); null only when memory runs out.
NetIfRecord **netif_list();
// Frees every record and the array: 0, or -1 for a null list.
int netif_list_free(NetIfRecord **list);
// The first record with a DNS server text, or null for a null list or when none has one.
NetIfRecord *netif_first_with_dns(NetIfRecord **list);
