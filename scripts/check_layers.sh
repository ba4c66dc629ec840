#!/usr/bin/env bash
# Layer check: fails when a source file includes a header its layer may not use (the rules of
# ARCHITECTURE.md), naming the file, the line and the include. Usage: check_layers.sh [ROOT]
#
# Every file of kezcode/, gui/ and src/ belongs to one layer by its folder and file prefix; a file of
# src/ that no prefix below names fails the check too, so that a new module is placed on purpose.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

files=$(find kezcode gui src -type f \( -name '*.h' -o -name '*.cc' -o -name '*.c' \) | sort)
# Every file first (FILE lines), then every include as "path:line:text".
{
  sed 's/^/FILE /' <<<"$files"
  # shellcheck disable=SC2086
  grep -nHE '^#[[:space:]]*include' $files || true
} | awk '
# The layer of a path (a source file, or the header an include resolves to); "" when unknown.
function layer_of(p) {
  sub(/_internal\.h$/, ".h", p)  # an internal header belongs to the layer of its module
  if (p ~ /^kezcode\//) return "platform"
  if (p ~ /^gui\//) return "gui"
  if (p ~ /^src\/net[._]/) return "net"
  if (p ~ /^src\/(vantor\.h|vantor_world\.|vantor_step\.|vantor_planet_style\.)/) return "sim"
  if (p ~ /^src\/vantor_fleet\./) return "fleet"
  if (p ~ /^src\/vantor_(client|server)\./) return "sync"
  if (p ~ /^src\/vantor_(paint|planet_paint|batch|hud)\./) return "paint"
  if (p ~ /^src\/vantor_view\./) return "view"
  if (p ~ /^src\/(mods_|builds\.)/) return "mods"
  if (p ~ /^src\/(main\.cc|game|state\.|states_|menus|chat|trans\.|test)/) return "shell"
  if (p ~ /^<(GL\/|SDL)/) return "gl"  # the window, input and GL system headers
  return ""
}
# The rules: the layers each layer may not include.
BEGIN {
  forbidden["platform"] = " gui net sim fleet sync paint view mods shell "
  forbidden["gui"] = " net sim fleet sync paint view mods shell "
  forbidden["net"] = " gui sim fleet sync paint view mods shell "
  forbidden["sim"] = " gui net sync paint view mods shell gl "
  status = 0
}
# Where a quoted include is found: beside the file, then in the include folders of the build.
function resolve(file, name,    dir, n, i, dirs) {
  dir = file
  sub(/\/[^\/]*$/, "", dir)
  n = split(dir " src gui kezcode/util kezcode/ext/json", dirs, " ")
  for (i = 1; i <= n; i++) if ((dirs[i] "/" name) in exists) return dirs[i] "/" name
  return ""
}
$1 == "FILE" {
  exists[$2] = 1
  if (layer_of($2) == "") {
    print $2 ": no layer: give its prefix one in ARCHITECTURE.md and scripts/check_layers.sh"
    status = 1
  }
  next
}
{
  split($0, part, ":")
  file = part[1]
  line = part[2]
  from = layer_of(file)
  if (!(from in forbidden)) next
  if (!match($0, /[<"][^>"]*[>"]/)) next
  name = substr($0, RSTART, RLENGTH)
  target = substr(name, 1, 1) == "\"" ? resolve(file, substr(name, 2, RLENGTH - 2)) : name
  to = layer_of(target)
  if (to != "" && index(forbidden[from], " " to " ")) {
    print file ":" line ": includes " name ": the " from " layer may not use the " to " layer"
    status = 1
  }
}
END {
  if (status == 0) print "layers: every include keeps to its layer"
  exit status
}'
