// Times building a page from markup and laying it out once: tables nested ever deeper (each level's
// inner table narrower than the text beside it, so every level resizes the cell that holds the
// next), and tables of ever more rows, up to what the element cap lets a page hold. The time of a
// page grows with its markup, no faster.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "gui_build.h"

namespace {

std::string nested(int depth) {
  std::string markup;
  for (int i = 0; i < depth; i++) markup += "<table><tr><td><p width=" + std::to_string(1000 - i) + ">x</p><tr><td>";
  return markup;
}

std::string rows(int count) {
  std::string markup = "<table>";
  for (int i = 0; i < count; i++)
    markup += "<tr><td><p>row " + std::to_string(i) + "</p><td><input type='button' value='go' />";
  return markup + "</table>";
}

void build_and_lay_out(benchmark::State &state, const std::string &markup) {
  for (auto _ : state) {
    std::unique_ptr<Widget> page(gui_build(markup, var()));
    page->style.update();
    page->layout();
  }
  state.SetComplexityN(state.range(0));
}

void BM_gui_build_nested(benchmark::State &state) { build_and_lay_out(state, nested((int)state.range(0))); }
BENCHMARK(BM_gui_build_nested)->RangeMultiplier(2)->Range(4, 32)->Complexity();

void BM_gui_build_rows(benchmark::State &state) { build_and_lay_out(state, rows((int)state.range(0))); }
BENCHMARK(BM_gui_build_rows)->RangeMultiplier(4)->Range(16, 512)->Complexity();

}  // namespace

BENCHMARK_MAIN();
