// The log budget per source: the lines one source can cause (on the server an address, over all its
// connections; on a client its server) are a few per second; the rest are counted and told in one line,
// so a flood of messages or connections costs the operator a line a second, not a line a message.
#pragma once

#include <cstdint>
#include <string>

// Lines a source may cause per interval, and the interval.
const int NET_LOG_LINES = 5;
const uint32_t NET_LOG_INTERVAL_MS = 1000;

// Whether a line caused by `who` (on the server a peer's IPv4 address, or a name where no address is
// known; on a client the name of what it refuses from its server) may be written at now_ms; false
// counts it as left out.
bool net_log_allow(const std::string &who, uint32_t now_ms);
// For every source whose interval has ended with lines left out, writes one line with their count.
void net_log_flush(uint32_t now_ms);
