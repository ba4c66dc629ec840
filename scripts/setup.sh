#!/usr/bin/env bash
# Installs the Debian packages the game, its asset tools and its tests need, when any is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  libsdl2-dev liblua5.2-dev libenet-dev libstb-dev libsqlite3-dev libglew-dev libgl-dev
  libvorbis-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  xvfb xauth xdotool
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "installing: ${missing[*]}"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
