#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the normal build, each of its test binaries
# again in one process in shuffled order, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, the benchmarks once, and each fuzz target for a bounded time.
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

# Runs one test binary whole in one process, in the shuffled order of seed $2, from the folder and with
# the environment ctest gives it; prints its output only when it fails.
in_process() {
  local binary=$1 seed=$2 log
  log=$(mktemp)
  if (cd "$(dirname "$binary")" && SDL_AUDIODRIVER=dummy bash "$root/tests/with-display.sh" "$binary" \
    --gtest_shuffle --gtest_random_seed="$seed") >"$log" 2>&1; then
    echo "$(basename "$binary"): $(grep -E '^\[  PASSED  \]' "$log")"
    rm -f "$log"
    return 0
  fi
  tail -n 200 "$log"
  grep -E '^\[  FAILED  \]' "$log" || true
  rm -f "$log"
  return 1
}

# Each test passes after the others of its binary too, not only alone as ctest runs it: state one test
# leaves (a clock, a log budget, rand(), the application record) must not decide another. The order
# changes from run to run; SHUFFLE_SEED=N repeats one. The binaries run side by side, each on its own
# display, but for the end-to-end tests: they race real games against the clock, so they run alone, as
# ctest runs them.
seed=${SHUFFLE_SEED:-$RANDOM}
section "each test binary in one process, shuffled (SHUFFLE_SEED=$seed)"
pids=()
for binary in "$root"/build/ci/tests/*_tests; do
  [ "$(basename "$binary")" = e2e_tests ] && continue
  in_process "$binary" "$seed" &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
in_process "$root/build/ci/tests/e2e_tests" "$seed" || status=1
[ "$status" -eq 0 ] || { echo "a test failed in one process: SHUFFLE_SEED=$seed bash scripts/test.sh repeats the order"; exit 1; }

section "sanitizers"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
cmake -S "$root" -B "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug -DVB_SANITIZE=ON >/dev/null
cmake --build "$root/build/asan" -j"$jobs"
(cd "$root/build/asan" && ctest -j"$jobs" --output-on-failure)

# What the game keeps in a user folder never lands where the tests run.
left=$(find "$root"/build/ci/tests "$root"/build/asan/tests -maxdepth 1 -type f \( -name '*.dat' -o -name '*.bin' \
  -o -name 'network-id.txt' -o -name 'kezcode.log' \))
[ -z "$left" ] || { echo "tests left user files in their working folder:"; echo "$left"; exit 1; }

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
