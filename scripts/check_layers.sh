#!/usr/bin/env bash
# Layer check: the include rules of ARCHITECTURE.md that the build cannot keep, naming the file, the
# line and the include that breaks one. Usage: check_layers.sh [ROOT]
#
# The build keeps the rules between libraries: the platform, the gui, the network and the engine each
# compile where they see only the libraries they link, so an include of the shell from the engine
# fails to compile and a reference to it fails to link. What stays here: the layers inside the engine
# library (sim, host, fleet, sync, view, paint), the GL and SDL system headers (which every library
# can find), an include that climbs out of its folder with "..", one named by a macro (which this
# check cannot follow), and a file of src/ that no prefix below names, so that a new module is placed
# on purpose. A header counts with everything it includes in turn.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

files=$(find kezcode gui src -type f \( -name '*.h' -o -name '*.cc' -o -name '*.c' \) | sort)
# Every file first (FILE lines), then every include, indented or not, as "path:line:text".
{
  sed 's/^/FILE /' <<<"$files"
  # shellcheck disable=SC2086
  grep -nHE '^[[:space:]]*#[[:space:]]*include' $files || true
} | awk '
# The layer of a path (a source file, or the header an include resolves to); "" when unknown. The
# platform draws through GL in kez_gfx and kez_font, which therefore count as GL.
function layer_of(p) {
  sub(/_internal\.h$/, ".h", p)  # an internal header belongs to the layer of its module
  if (p ~ /^kezcode\/util\/kez_(gfx|gfx-tex|font)\./ || p ~ /^<GL\//) return "gl"
  if (p ~ /^<SDL/) return "sdl"
  if (p ~ /^kezcode\//) return "platform"
  if (p ~ /^gui\//) return "gui"
  if (p ~ /^src\/net[._]/) return "net"
  if (p ~ /^src\/(vantor\.h|vantor_world\.|vantor_step\.|vantor_planet_style\.)/) return "sim"
  if (p ~ /^src\/vantor_host\./) return "host"
  if (p ~ /^src\/vantor_fleet\./) return "fleet"
  if (p ~ /^src\/vantor_(client|server)\./) return "sync"
  if (p ~ /^src\/vantor_(paint|planet_paint|batch|hud)\./) return "paint"
  if (p ~ /^src\/vantor_view\./) return "view"
  if (p ~ /^src\/(mods_|builds\.)/) return "mods"
  if (p ~ /^src\/(main\.cc|game|state\.|states_|menus|chat|trans\.|test)/) return "shell"
  return ""
}
# The rules left to this check: the layers each layer may not reach. The rest of each layer rule
# (the platform, gui and network use nothing of the game above them; nothing below the shell uses the
# shell or the mods) is kept by the build; the shell and the mods may use every layer.
BEGIN {
  forbidden["net"] = " gl sdl "
  forbidden["sim"] = " gui net gl sdl host sync view paint "
  forbidden["host"] = " gui net gl sdl sim fleet sync view paint "
  forbidden["fleet"] = " gui net gl sync view paint "  # its sounds go through SDL audio
  forbidden["sync"] = " gui gl paint "
  forbidden["view"] = " gui "
  forbidden["paint"] = " net sync "
  status = 0
}
function fail(message) {
  print message
  status = 1
}
# Where an include is found: beside the file, then in the include folders of the build.
function resolve(file, name,    dir, n, i, dirs) {
  dir = file
  sub(/\/[^\/]*$/, "", dir)
  n = split(dir " src gui kezcode/util kezcode/ext/json", dirs, " ")
  for (i = 1; i <= n; i++) if ((dirs[i] "/" name) in exists) return dirs[i] "/" name
  return "<" name ">"
}
# The first file reached from path (itself first, then what it includes in turn) whose layer is
# listed in rule; "" when none.
function reach(path, rule,    i, found) {
  if (path in seen) return ""
  seen[path] = 1
  if (index(rule, " " layer_of(path) " ")) return path
  for (i = 1; i <= count[path]; i++) if ((found = reach(target[path, i], rule)) != "") return found
  return ""
}
$1 == "FILE" {
  exists[$2] = 1
  if (layer_of($2) == "") fail($2 ": no layer: give its prefix one in ARCHITECTURE.md and scripts/check_layers.sh")
  next
}
{
  split($0, part, ":")
  file = part[1]
  text = substr($0, length(part[1]) + length(part[2]) + 3)
  sub(/^[[:space:]]*#[[:space:]]*include[[:space:]]*/, "", text)
  if (!match(text, /^("[^"]*"|<[^>]*>)/)) {
    fail(file ":" part[2] ": includes " text ": a macro include, which this check cannot follow")
    next
  }
  name = substr(text, 2, RLENGTH - 2)
  if (name ~ /(^|\/)\.\.\//) fail(file ":" part[2] ": includes " substr(text, 1, RLENGTH) ": \"..\" leaves the include folders")
  n = ++count[file]
  line[file, n] = part[2]
  shown[file, n] = substr(text, 1, RLENGTH)
  pending[file, n] = name
}
END {
  for (key in pending) {
    split(key, k, SUBSEP)
    target[key] = resolve(k[1], pending[key])
  }
  for (file in count) {
    from = layer_of(file)
    if (!(from in forbidden)) continue
    for (i = 1; i <= count[file]; i++) {
      delete seen
      found = reach(target[file, i], forbidden[from])
      if (found == "") continue
      via = found == target[file, i] ? "" : ", which reaches " found
      fail(file ":" line[file, i] ": includes " shown[file, i] via ": the " from " layer may not use the " layer_of(found) " layer")
    }
  }
  if (status == 0) print "layers: every include keeps to its layer"
  exit status
}'
