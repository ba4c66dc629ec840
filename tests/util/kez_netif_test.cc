// Tests of the network adapter query: the real list on this machine, and lists built from made-up
// interface walks (aliases, IPv6-only adapters, missing netmasks, hardware addresses, DNS servers).
#include "kez_netif.h"
#include "kez_netif_internal.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

namespace {

// A made-up interface walk; the entries and their addresses live as long as the walk.
struct FakeWalk {
  std::deque<ifaddrs> entries;
  std::deque<sockaddr_in> ipv4;
  std::deque<sockaddr_in6> ipv6;
  std::deque<sockaddr_ll> links;
  std::deque<std::string> names;

  void add(const char *name, unsigned flags, sockaddr *addr, sockaddr *netmask = nullptr) {
    names.push_back(name);
    ifaddrs entry = {};
    entry.ifa_name = &names.back()[0];
    entry.ifa_flags = flags;
    entry.ifa_addr = addr;
    entry.ifa_netmask = netmask;
    entries.push_back(entry);
    if (entries.size() > 1) entries[entries.size() - 2].ifa_next = &entries.back();
  }
  sockaddr *in4(const char *dotted) {
    sockaddr_in sin = {};
    sin.sin_family = AF_INET;
    inet_pton(AF_INET, dotted, &sin.sin_addr);
    ipv4.push_back(sin);
    return reinterpret_cast<sockaddr *>(&ipv4.back());
  }
  void add_ipv4(const char *name, unsigned flags, const char *address, const char *netmask) {
    add(name, flags, in4(address), netmask ? in4(netmask) : nullptr);
  }
  void add_ipv6(const char *name) {
    sockaddr_in6 sin6 = {};
    sin6.sin6_family = AF_INET6;
    ipv6.push_back(sin6);
    add(name, IFF_UP, reinterpret_cast<sockaddr *>(&ipv6.back()));
  }
  void add_link(const char *name, std::initializer_list<uint8_t> hw) {
    sockaddr_ll sll = {};
    sll.sll_family = AF_PACKET;
    sll.sll_halen = uint8_t(hw.size());
    std::copy(hw.begin(), hw.end(), sll.sll_addr);
    links.push_back(sll);
    add(name, IFF_UP, reinterpret_cast<sockaddr *>(&links.back()));
  }
  const ifaddrs *first() const { return entries.empty() ? nullptr : &entries.front(); }
};

size_t count(NetIfRecord **list) {
  size_t n = 0;
  while (list[n]) n++;
  return n;
}

TEST(Netif, this_machine_lists_loopback_with_its_mask_and_broadcast) {
  NetIfRecord **list = netif_list();
  ASSERT_NE(list, nullptr);
  NetIfRecord *lo = nullptr;
  for (NetIfRecord **rec = list; *rec; rec++)
    if (strcmp((*rec)->name, "lo") == 0) lo = *rec;
  ASSERT_NE(lo, nullptr);
  EXPECT_STREQ(lo->address_text, "127.0.0.1");
  EXPECT_EQ(lo->address, htonl(INADDR_LOOPBACK));
  EXPECT_STREQ(lo->netmask_text, "255.0.0.0");
  EXPECT_STREQ(lo->broadcast_text, "127.255.255.255");
  EXPECT_STREQ(lo->hwaddr_text, "00:00:00:00:00:00");
  EXPECT_STREQ(lo->dns_text, "");
  EXPECT_NE(netif_first_with_dns(list), lo);
  EXPECT_EQ(netif_list_free(list), 0);
}

TEST(Netif, null_lists_are_refused) {
  EXPECT_EQ(netif_list_free(nullptr), -1);
  EXPECT_EQ(netif_first_with_dns(nullptr), nullptr);
}

TEST(Netif, an_empty_walk_gives_only_the_terminating_null) {
  NetIfRecord **list = _netif_build(nullptr, "10.0.0.53");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list[0], nullptr);
  EXPECT_EQ(netif_first_with_dns(list), nullptr);
  EXPECT_EQ(netif_list_free(list), 0);
}

TEST(Netif, only_adapters_with_ipv4_are_listed_once_each_in_walk_order) {
  FakeWalk walk;
  walk.add_link("eth0", {0x02, 0xAB, 0xCD, 0x00, 0x11, 0xFF});
  walk.add_link("wg0", {});
  walk.add_ipv4("eth0", IFF_UP, "192.168.1.20", "255.255.255.0");
  walk.add_ipv4("eth0:1", IFF_UP, "10.1.2.3", "255.0.0.0");  // an alias: a second address of eth0
  walk.add_ipv4("wg0", IFF_UP, "10.9.0.1", nullptr);
  walk.add_ipv6("eth0");
  walk.add_ipv6("v6only");
  NetIfRecord **list = _netif_build(walk.first(), "10.0.0.53");
  ASSERT_EQ(count(list), 2u);

  const NetIfRecord &eth = *list[0];
  EXPECT_STREQ(eth.name, "eth0");
  EXPECT_STREQ(eth.description, "eth0");
  EXPECT_STREQ(eth.address_text, "192.168.1.20");
  EXPECT_STREQ(eth.netmask_text, "255.255.255.0");
  EXPECT_STREQ(eth.broadcast_text, "192.168.1.255");
  EXPECT_EQ(eth.broadcast, inet_addr("192.168.1.255"));
  EXPECT_STREQ(eth.hwaddr_text, "02:ab:cd:00:11:ff");
  EXPECT_EQ(eth.hwaddr[5], 0xFF);

  const NetIfRecord &wg = *list[1];  // no netmask reported, no hardware address
  EXPECT_STREQ(wg.name, "wg0");
  EXPECT_EQ(wg.netmask, 0u);
  EXPECT_EQ(wg.broadcast, 0u);
  EXPECT_STREQ(wg.netmask_text, "");
  EXPECT_STREQ(wg.broadcast_text, "");
  EXPECT_STREQ(wg.hwaddr_text, "00:00:00:00:00:00");
  netif_list_free(list);
}

TEST(Netif, dns_goes_to_adapters_that_are_up_and_not_loopback) {
  FakeWalk walk;
  walk.add_ipv4("lo", IFF_UP | IFF_LOOPBACK, "127.0.0.1", "255.0.0.0");
  walk.add_ipv4("eth1", 0, "192.168.2.2", "255.255.255.0");
  walk.add_ipv4("eth0", IFF_UP, "192.168.1.2", "255.255.255.0");
  NetIfRecord **list = _netif_build(walk.first(), "10.0.0.53");
  ASSERT_EQ(count(list), 3u);
  EXPECT_STREQ(list[0]->dns_text, "");
  EXPECT_STREQ(list[1]->dns_text, "");
  EXPECT_STREQ(list[2]->dns_text, "10.0.0.53");
  EXPECT_EQ(netif_first_with_dns(list), list[2]);
  netif_list_free(list);

  list = _netif_build(walk.first(), "");
  EXPECT_EQ(netif_first_with_dns(list), nullptr);
  netif_list_free(list);
}

TEST(Netif, resolver_file_gives_its_first_ipv4_nameserver) {
  char path[] = "/tmp/netif-resolv-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const char text[] =
      "# generated\nsearch example.org\nnameserver fe80::1%eth0\nnameserver 10.255.255.53\nnameserver 1.1.1.1\n";
  ASSERT_EQ(write(fd, text, sizeof text - 1), ssize_t(sizeof text - 1));
  close(fd);
  char dns[16];
  _netif_read_dns(path, dns);
  EXPECT_STREQ(dns, "10.255.255.53");
  unlink(path);
  _netif_read_dns(path, dns);
  EXPECT_STREQ(dns, "");
}

}  // namespace
