// Fuzz target for the markup builder, the path of mods' screens and the game's pages: the input up to
// its first 0xFE byte is the markup, the rest (when there is one) the units the build may spend, 64
// for each byte. Whatever the markup, the build ends with a tree (never null, no deeper than its
// cap allows), its error is one of the caps' or none (and the one a check without a build finds),
// its Tab chain stays inside the tree without a loop, and the tree lays out to finite sizes. A trap
// marks a broken promise.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "gui_build.h"

static int64_t units_left;

static bool _fuzz_spend(int64_t units) {
  units_left -= units;
  return units_left >= 0;
}

static bool _fuzz_known_error(const std::string &error) {
  static const std::set<std::string> CAPS = {"", "markup nested deeper than 64 elements",
                                             "markup longer than 1048576 bytes", "markup of more than 16384 tags",
                                             "markup of more than 4096 elements"};
  return CAPS.count(error) != 0;
}

// The longest chain of containers from w down.
static int _fuzz_depth(Widget *w) {
  int deepest = 0;
  if (Container *c = dynamic_cast<Container *>(w)) {
    for (Widget *child : c->items) deepest = std::max(deepest, _fuzz_depth(child));
  }
  return deepest + 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<std::string> parts = fuzz_split(data, size, 2);
  const bool limited = size > parts[0].size();
  units_left = (int64_t)parts[1].size() * 64;
  GuiBuildReport report;
  if (limited) report.spend = _fuzz_spend;
  std::unique_ptr<Widget> root(gui_build(parts[0], var(), &report));
  check(root != nullptr);
  check(_fuzz_known_error(report.error));
  if (!limited) {  // a headless game checks the markup it never builds: the same cap must be found
    GuiBuildReport checked;
    gui_markup_check(parts[0], &checked);
    check(checked.error == report.error);
  }
  check(_fuzz_depth(root.get()) <= 4 * GUI_BUILD_DEPTH_MAX + 8);  // a level is a table and its cell's box, or a button

  std::vector<Widget *> all = root->children();
  all.push_back(root.get());
  const std::set<Widget *> tree(all.begin(), all.end());
  for (Widget *w : all) {
    size_t steps = 0;
    for (Widget *t = w->tab_next; t; t = t->tab_next) {
      check(tree.count(t) == 1);
      check(++steps <= all.size());
    }
  }
  root->style.update();
  root->layout();
  for (Widget *w : all) check(std::isfinite(w->outer_w) && std::isfinite(w->outer_h));
  return 0;
}
