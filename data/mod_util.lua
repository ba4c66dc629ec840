-- mod_util.lua: general helpers for mods (numbers, tables, texts), loaded after mod_api.lua.

-- Numbers: x kept within low..high, and rounded to the nearest integer (halves away from zero).
function util_clamp(x, low, high)
  if x < low then return low end
  if x > high then return high end
  return x
end

function util_round(x)
  if x < 0 then return -math.floor(-x + 0.5) end
  return math.floor(x + 0.5)
end

-- Tables: a shallow copy, the keys in sorted order, and a list shuffled in place. The shuffle
-- draws from math.random, so it follows the game's seed.
function util_copy(t)
  local copy = {}
  for k, v in pairs(t) do copy[k] = v end
  return copy
end

function util_keys(t)
  local keys = {}
  for k in pairs(t) do keys[#keys + 1] = k end
  table.sort(keys, function(a, b) return tostring(a) < tostring(b) end)
  return keys
end

function util_shuffle(list)
  for i = #list, 2, -1 do
    local j = math.random(i)
    list[i], list[j] = list[j], list[i]
  end
  return list
end

-- Texts: the pieces between occurrences of a plain separator (not a pattern); "" gives {""}.
function util_split(text, separator)
  local pieces, start = {}, 1
  while true do
    local at = string.find(text, separator, start, true)
    if not at then break end
    pieces[#pieces + 1] = string.sub(text, start, at - 1)
    start = at + #separator
  end
  pieces[#pieces + 1] = string.sub(text, start)
  return pieces
end

-- A text without the blanks at its ends.
function util_trim(text)
  return (string.gsub(text, "^%s+", ""):gsub("%s+$", ""))
end

-- A text to show inside markup, whatever it holds: a player's name or a chat line from the network
-- must not become tags or buttons on somebody's screen.
local UTIL_HTML_ENTITIES = {["&"] = "&amp;", ["<"] = "&lt;", [">"] = "&gt;", ['"'] = "&quot;", ["'"] = "&apos;"}

function util_html(text)
  return (string.gsub(tostring(text), "[&<>\"']", UTIL_HTML_ENTITIES))
end
