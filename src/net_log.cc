// The log budget per source: a few lines per second, then one line with the count left out.
#include "net_log.h"
#include "net_log_internal.h"

#include <iterator>
#include <map>

#include "kez_log.h"
#include "net.h"

struct NetLogBudget {
  uint32_t start;    // when the current interval began
  int written;       // lines written in it
  uint32_t dropped;  // lines left out since the last count was told
};
static std::map<std::string, NetLogBudget> budgets;

// Forgets the sources with nothing left to tell whose interval is over, so that addresses which come
// and go cannot grow the table.
static void _net_log_prune(uint32_t now) {
  if (budgets.size() <= 4 * NET_PEERS_MAX) return;
  for (auto it = budgets.begin(); it != budgets.end();) {
    const bool idle = !it->second.dropped && now - it->second.start >= NET_LOG_INTERVAL_MS;
    it = idle ? budgets.erase(it) : std::next(it);
  }
}

static void _net_log_tell(const std::string &who, NetLogBudget *b) {
  LOG_PRINTF("%s: %u more log lines in %u ms left out", log_escape(who, 32).c_str(), b->dropped,
             (unsigned)NET_LOG_INTERVAL_MS);
  b->dropped = 0;
}

bool net_log_allow(const std::string &who, uint32_t now) {
  auto it = budgets.find(who);
  if (it == budgets.end()) {
    _net_log_prune(now);
    it = budgets.emplace(who, NetLogBudget{now, 0, 0}).first;
  }
  NetLogBudget &b = it->second;
  if (now - b.start >= NET_LOG_INTERVAL_MS) {
    if (b.dropped) _net_log_tell(who, &b);
    b.start = now;
    b.written = 0;
  }
  if (b.written >= NET_LOG_LINES) {
    b.dropped++;
    return false;
  }
  b.written++;
  return true;
}

void net_log_flush(uint32_t now) {
  for (auto &entry : budgets) {
    NetLogBudget &b = entry.second;
    if (!b.dropped || now - b.start < NET_LOG_INTERVAL_MS) continue;
    _net_log_tell(entry.first, &b);
    b.start = now;
    b.written = 0;
  }
}

// Open to the tests: forgets every source's budget.
void _net_log_reset() { budgets.clear(); }
