#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it; every argument goes to the game
# (e.g. "-headless -port 27015 -mod server.lua" for a dedicated server).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVB_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target vantor
cd "$build"  # the game reads ./data beside its executable
exec ./vantor "$@"
