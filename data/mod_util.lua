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

-- UTF-8: the length of the well-formed character at byte i of text (a continuation byte, an overlong
-- form, a surrogate or a code past U+10FFFF starts none), or nil.
local UTIL_UTF8_LEADS = {  -- by lead byte range: continuation bytes, and the allowed second bytes
  {0xC2, 0xDF, 1, 0x80, 0xBF}, {0xE0, 0xE0, 2, 0xA0, 0xBF}, {0xE1, 0xEC, 2, 0x80, 0xBF},
  {0xED, 0xED, 2, 0x80, 0x9F}, {0xEE, 0xEF, 2, 0x80, 0xBF}, {0xF0, 0xF0, 3, 0x90, 0xBF},
  {0xF1, 0xF3, 3, 0x80, 0xBF}, {0xF4, 0xF4, 3, 0x80, 0x8F},
}

local function util_utf8_length(text, i)
  local c = string.byte(text, i)
  if c < 0x80 then return 1 end
  for _, lead in ipairs(UTIL_UTF8_LEADS) do
    if c >= lead[1] and c <= lead[2] then
      local b = string.byte(text, i + 1)
      if not b or b < lead[4] or b > lead[5] then return nil end
      for k = 2, lead[3] do
        b = string.byte(text, i + k)
        if not b or b < 0x80 or b > 0xBF then return nil end
      end
      return lead[3] + 1
    end
  end
  return nil
end

-- The text as well-formed UTF-8: each byte that starts no well-formed character becomes U+FFFD, so
-- text from outside shows as a mark instead of as stray characters.
function util_utf8_clean(text)
  text = tostring(text)
  local out, i = {}, 1
  while i <= #text do
    local n = util_utf8_length(text, i)
    out[#out + 1] = n and string.sub(text, i, i + n - 1) or "\239\191\189"
    i = i + (n or 1)
  end
  return table.concat(out)
end

-- At most max bytes of a well-formed UTF-8 text, cut at a character's start.
function util_utf8_cut(text, max)
  local cut = math.min(#text, max)
  while cut < #text and cut > 0 and string.byte(text, cut + 1) >= 0x80 and string.byte(text, cut + 1) < 0xC0 do
    cut = cut - 1
  end
  return string.sub(text, 1, cut)
end

-- Markup: the text with the markup's special characters written as entities, so a name from a
-- player or a mod shows as typed instead of opening a tag.
local UTIL_ENTITIES = {["&"] = "&amp;", ["<"] = "&lt;", [">"] = "&gt;", ["'"] = "&apos;", ['"'] = "&quot;"}

function util_markup_escape(text)
  text = tostring(text)
  local out = {}
  for i = 1, #text do
    local c = string.sub(text, i, i)
    out[i] = UTIL_ENTITIES[c] or c
  end
  return table.concat(out)
end

-- Times: seconds as "m:ss", whole seconds, negative counting as 0.
function util_clock(seconds)
  local whole = math.max(0, math.floor(seconds))
  return string.format("%d:%02d", math.floor(whole / 60), whole % 60)
end

-- Markup: one button row of a page's table, with its label and onclick action.
function util_button(label, action)
  return "<tr><td><input type='button' value='" .. label .. "' onclick='" .. action .. "' />"
end

-- Markup: a page of a heading, lines of text and buttons ({label, action} pairs), one to a row.
-- Title and lines are markup already: escape what came from outside.
function util_page(title, lines, buttons)
  local html = "<table><tr><td><h1>" .. title .. "</h1>"
  for _, line in ipairs(lines or {}) do html = html .. "<tr><td><p>" .. line .. "</p>" end
  for _, b in ipairs(buttons or {}) do html = html .. util_button(b[1], b[2]) end
  return html .. "</table>"
end

-- The page a game ends on: the result as a heading, lines of text under it, and the two ways on,
-- "Play again" (onclick "again") and "Leave" (onclick "leave"). Title and lines are plain text.
function util_result_page(title, lines)
  local escaped = {}
  for _, line in ipairs(lines or {}) do escaped[#escaped + 1] = util_markup_escape(line) end
  return util_page(util_markup_escape(title), escaped, {{"Play again", "again"}, {"Leave", "leave"}})
end
