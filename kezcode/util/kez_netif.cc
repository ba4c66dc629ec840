// Network adapter query over the system's interface walk.
//
// An adapter is an interface with at least one IPv4 address; alias labels ("eth0:1") belong to their
// adapter ("eth0"), and only an adapter's first IPv4 address is reported. The hardware address comes
// from the adapter's link-layer entry. The system keeps one resolver for all adapters, so its first IPv4
// server is the DNS server of every adapter that is up and not loopback.
#include "kez_netif.h"
#include "kez_netif_internal.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static void _netif_dotted(uint32_t address, char out[16]) {
  uint8_t b[4];
  memcpy(b, &address, 4);  // network byte order: the first byte is the first part
  snprintf(out, 16, "%i.%i.%i.%i", b[0], b[1], b[2], b[3]);
}

static void _netif_copy_text(char *out, size_t size, const char *text) { snprintf(out, size, "%s", text); }

// The length of the adapter part of an address label: "eth0:1" belongs to "eth0".
static size_t _netif_adapter_length(const char *label) { return strcspn(label, ":"); }

static NetIfRecord *_netif_find(NetIfRecord **list, const char *label) {
  size_t length = _netif_adapter_length(label);
  for (; *list; list++)
    if (strlen((*list)->name) == length && strncmp((*list)->name, label, length) == 0) return *list;
  return nullptr;
}

static void _netif_set_ipv4(NetIfRecord *rec, const ifaddrs *entry, const char *dns_text) {
  size_t length = _netif_adapter_length(entry->ifa_name);
  if (length >= sizeof rec->name) length = sizeof rec->name - 1;
  memcpy(rec->name, entry->ifa_name, length);
  _netif_copy_text(rec->description, sizeof rec->description, rec->name);

  sockaddr_in sin;
  memcpy(&sin, entry->ifa_addr, sizeof sin);
  rec->address = sin.sin_addr.s_addr;
  _netif_dotted(rec->address, rec->address_text);
  if (entry->ifa_netmask) {  // without a netmask, netmask and broadcast stay zero and their texts empty
    memcpy(&sin, entry->ifa_netmask, sizeof sin);
    rec->netmask = sin.sin_addr.s_addr;
    rec->broadcast = (rec->address & rec->netmask) | ~rec->netmask;
    _netif_dotted(rec->netmask, rec->netmask_text);
    _netif_dotted(rec->broadcast, rec->broadcast_text);
  }
  rec->flags = entry->ifa_flags;
  if ((entry->ifa_flags & IFF_UP) && !(entry->ifa_flags & IFF_LOOPBACK))
    _netif_copy_text(rec->dns_text, sizeof rec->dns_text, dns_text);
}

static bool _netif_has_family(const ifaddrs *entry, int family) {
  return entry->ifa_addr && entry->ifa_addr->sa_family == family;
}

// The adapter's link-layer entry, which holds its hardware address; null when the walk has none.
static const ifaddrs *_netif_link_entry(const ifaddrs *interfaces, const char *name) {
  for (const ifaddrs *it = interfaces; it; it = it->ifa_next)
    if (_netif_has_family(it, AF_PACKET) && strcmp(it->ifa_name, name) == 0) return it;
  return nullptr;
}

static void _netif_set_hwaddr(NetIfRecord *rec, const ifaddrs *link) {
  if (link) {
    sockaddr_ll sll;
    memcpy(&sll, link->ifa_addr, sizeof sll);
    size_t length = sll.sll_halen < 6 ? sll.sll_halen : 6;  // shorter addresses are zero-extended
    memcpy(rec->hwaddr, sll.sll_addr, length);
  }
  const uint8_t *h = rec->hwaddr;
  snprintf(rec->hwaddr_text, sizeof rec->hwaddr_text, "%02x:%02x:%02x:%02x:%02x:%02x", h[0], h[1], h[2], h[3], h[4],
           h[5]);
}

// Open to the tests: the list `netif_list` makes from an interface walk and a DNS text.
NetIfRecord **_netif_build(const ifaddrs *interfaces, const char *dns_text) {
  size_t ipv4_count = 0;
  for (const ifaddrs *it = interfaces; it; it = it->ifa_next) ipv4_count += _netif_has_family(it, AF_INET);
  // One slot per IPv4 address bounds the adapters; the unused slots are the terminating nulls.
  NetIfRecord **list = static_cast<NetIfRecord **>(calloc(ipv4_count + 1, sizeof *list));
  if (!list) return nullptr;
  size_t count = 0;
  for (const ifaddrs *it = interfaces; it; it = it->ifa_next) {
    if (!_netif_has_family(it, AF_INET) || _netif_find(list, it->ifa_name)) continue;
    NetIfRecord *rec = static_cast<NetIfRecord *>(calloc(1, sizeof *rec));
    if (!rec) {
      netif_list_free(list);
      return nullptr;
    }
    list[count++] = rec;
    _netif_set_ipv4(rec, it, dns_text);
    _netif_set_hwaddr(rec, _netif_link_entry(interfaces, rec->name));
  }
  return list;
}

// Open to the tests: the first IPv4 "nameserver" of a resolver file into `out` (empty when the file
// is missing or names none).
void _netif_read_dns(const char *path, char out[16]) {
  out[0] = 0;
  FILE *f = fopen(path, "r");
  if (!f) return;
  char *line = nullptr;
  size_t size = 0;
  while (!out[0] && getline(&line, &size, f) > 0) {
    char key[16], value[16];
    in_addr parsed;
    if (sscanf(line, "%15s %15s", key, value) == 2 && strcmp(key, "nameserver") == 0 &&
        inet_pton(AF_INET, value, &parsed) == 1)
      _netif_dotted(parsed.s_addr, out);
  }
  free(line);
  fclose(f);
}

NetIfRecord **netif_list() {
  char dns_text[16];
  _netif_read_dns("/etc/resolv.conf", dns_text);
  ifaddrs *interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) interfaces = nullptr;  // a failed walk lists nothing
  NetIfRecord **list = _netif_build(interfaces, dns_text);
  if (interfaces) freeifaddrs(interfaces);
  return list;
}

int netif_list_free(NetIfRecord **list) {
  if (!list) return -1;
  for (NetIfRecord **rec = list; *rec; rec++) free(*rec);
  free(list);
  return 0;
}

NetIfRecord *netif_first_with_dns(NetIfRecord **list) {
  if (!list) return nullptr;
  for (; *list; list++)
    if ((*list)->dns_text[0]) return *list;
  return nullptr;
}
