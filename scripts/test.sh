#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the normal build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, the benchmarks once, and each fuzz target for a
# bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
jobs=$(nproc)
FUZZ_SECONDS=${FUZZ_SECONDS:-30}
FUZZ_INPUT_SECONDS=${FUZZ_INPUT_SECONDS:-5}

section() { printf '\n==== %s ====\n' "$*"; }

section "build and test"
cmake -S "$root" -B "$root/build/ci" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVB_BENCH=ON >/dev/null
cmake --build "$root/build/ci" -j"$jobs"
(cd "$root/build/ci" && ctest -j"$jobs" --output-on-failure)

section "sanitizers"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
cmake -S "$root" -B "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug -DVB_SANITIZE=ON >/dev/null
cmake --build "$root/build/asan" -j"$jobs"
(cd "$root/build/asan" && ctest -j"$jobs" --output-on-failure)

if [ -d "$root/build/ci/bench" ]; then
  section "benchmarks"
  # On a display of their own (the game's frames need one), the renderer on every core as a player has it.
  for b in "$root"/build/ci/bench/*_bench; do
    LP_NUM_THREADS=$jobs bash "$root/tests/with-display.sh" "$b" --benchmark_min_time=0.05
  done
fi

# Runs one fuzz target from a copy of its corpus for FUZZ_SECONDS. An input that takes longer than
# FUZZ_INPUT_SECONDS counts as a hang, and the whole run is cut off a minute after its time; a failure
# prints the reproducer, which belongs in fuzz/corpus/NAME/ as a regression input once mended.
fuzz_target() {
  local f=$1 name
  name=$(basename "$f" _fuzz)
  local work
  work=$(mktemp -d)
  mkdir "$work/corpus" "$work/artifacts"
  cp -r "$root/fuzz/corpus/$name/." "$work/corpus/" 2>/dev/null || true
  local status=0
  timeout -k 10 $((FUZZ_SECONDS + 60)) "$f" -max_total_time="$FUZZ_SECONDS" -timeout="$FUZZ_INPUT_SECONDS" \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus" 2>&1 | tail -n 200 >"$work/log" ||
    status=${PIPESTATUS[0]}
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/log"
    echo "fuzz target $name failed (status $status); reproducers, base64:"
    for a in "$work"/artifacts/*; do [ -f "$a" ] && { echo "$(basename "$a"):"; base64 "$a"; }; done
    rm -rf "$work"
    return 1
  fi
  tail -n 3 "$work/log"
  rm -rf "$work"
}

if [ -f "$root/fuzz/CMakeLists.txt" ]; then
  section "fuzzing (${FUZZ_SECONDS}s per target, ${FUZZ_INPUT_SECONDS}s per input)"
  cmake -S "$root" -B "$root/build/fuzz" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVB_FUZZ=ON -DVB_TESTS=OFF >/dev/null
  cmake --build "$root/build/fuzz" -j"$jobs" --target fuzz_all
  for f in "$root"/build/fuzz/fuzz/*_fuzz; do fuzz_target "$f"; done
fi
section "all tests passed"
