-- mod_json.lua: JSON texts for the engine's calls that take them (w2_api_call, w2_ext_call,
-- w2_chat_keywords) and for the mod's saved data. json_encode(value) -> text;
-- json_decode(text) -> value, or nil and a message.

local ESCAPES = {['"'] = '\\"', ["\\"] = "\\\\", ["\b"] = "\\b", ["\f"] = "\\f",
                 ["\n"] = "\\n", ["\r"] = "\\r", ["\t"] = "\\t"}
local UNESCAPES = {['"'] = '"', ["\\"] = "\\", ["/"] = "/", b = "\b", f = "\f", n = "\n",
                   r = "\r", t = "\t"}

-- Encoding: a table whose keys are exactly 1..n (n > 0) is an array, any other an object with its
-- keys sorted (so the same table always gives the same text); NaN and infinities become null.
local encode

local function encode_string(s)
  return '"' .. string.gsub(s, '[%c"\\]', function(c)
    return ESCAPES[c] or string.format("\\u%04x", string.byte(c))
  end) .. '"'
end

local function is_array(t)
  local n = 0
  for _ in pairs(t) do n = n + 1 end
  for i = 1, n do
    if t[i] == nil then return false end
  end
  return n > 0
end

local function encode_table(t)
  local parts = {}
  if is_array(t) then
    for i = 1, #t do parts[i] = encode(t[i]) end
    return "[" .. table.concat(parts, ",") .. "]"
  end
  local keys = {}
  for k in pairs(t) do keys[#keys + 1] = k end
  table.sort(keys, function(a, b) return tostring(a) < tostring(b) end)
  for i, k in ipairs(keys) do parts[i] = encode_string(tostring(k)) .. ":" .. encode(t[k]) end
  return "{" .. table.concat(parts, ",") .. "}"
end

encode = function(v)
  local kind = type(v)
  if kind == "string" then return encode_string(v) end
  if kind == "table" then return encode_table(v) end
  if kind == "boolean" then return tostring(v) end
  if kind == "number" then
    if v ~= v or v == math.huge or v == -math.huge then return "null" end
    if v == math.floor(v) and math.abs(v) < 1e15 then return string.format("%d", v) end
    return string.format("%.14g", v)
  end
  return "null"
end

function json_encode(value)
  return encode(value)
end

-- Decoding: each reader takes the text and a position and returns the value and the position
-- after it; a malformed text raises a message, which json_decode returns. JSON null becomes nil.
local error = error  -- kept: mod code loses the global once the library files have run

local LITERALS = {["true"] = true, ["false"] = false}

local function fail(message, pos)
  error(message .. " at " .. pos, 0)
end

local function skip_space(text, pos)
  return string.find(text, "[^ \t\r\n]", pos) or #text + 1
end

-- The UTF-8 bytes of a code point below 0x110000.
local function utf8(code)
  if code < 0x80 then return string.char(code) end
  if code < 0x800 then
    return string.char(0xC0 + math.floor(code / 0x40), 0x80 + code % 0x40)
  end
  if code < 0x10000 then
    return string.char(0xE0 + math.floor(code / 0x1000), 0x80 + math.floor(code / 0x40) % 0x40,
                       0x80 + code % 0x40)
  end
  return string.char(0xF0 + math.floor(code / 0x40000), 0x80 + math.floor(code / 0x1000) % 0x40,
                     0x80 + math.floor(code / 0x40) % 0x40, 0x80 + code % 0x40)
end

-- A \u escape at i (a surrogate pair takes two): its UTF-8 bytes and the position after it.
local function read_code(text, i)
  local code = tonumber(string.match(text, "^%x%x%x%x", i + 2) or "", 16)
  if not code then fail("bad \\u escape", i) end
  local low = string.match(text, "^\\u([dD][c-fC-F]%x%x)", i + 6)
  if code >= 0xD800 and code < 0xDC00 and low then
    return utf8(0x10000 + (code - 0xD800) * 0x400 + (tonumber(low, 16) - 0xDC00)), i + 12
  end
  return utf8(code), i + 6
end

local function read_string(text, pos)
  local out, i = {}, pos + 1
  while i <= #text do
    local c = string.sub(text, i, i)
    if c == '"' then return table.concat(out), i + 1 end
    if c ~= "\\" then
      out[#out + 1] = c
      i = i + 1
    elseif string.sub(text, i + 1, i + 1) == "u" then
      out[#out + 1], i = read_code(text, i)
    else
      out[#out + 1] = UNESCAPES[string.sub(text, i + 1, i + 1)] or fail("bad escape", i)
      i = i + 2
    end
  end
  fail("unterminated string", pos)
end

-- The items of an array or object from its opening bracket at pos; read_item(pos) reads one and
-- returns the position after it. Returns the position after the closing bracket.
local function read_items(text, pos, close, read_item)
  pos = skip_space(text, pos + 1)
  if string.sub(text, pos, pos) == close then return pos + 1 end
  while true do
    pos = skip_space(text, read_item(pos))
    local c = string.sub(text, pos, pos)
    if c == close then return pos + 1 end
    if c ~= "," then fail("expected ',' or '" .. close .. "'", pos) end
    pos = skip_space(text, pos + 1)
  end
end

local read_value

local function read_array(text, pos)
  local array = {}
  local after = read_items(text, pos, "]", function(at)
    local value, next_pos = read_value(text, at)
    array[#array + 1] = value
    return next_pos
  end)
  return array, after
end

local function read_object(text, pos)
  local object = {}
  local after = read_items(text, pos, "}", function(at)
    if string.sub(text, at, at) ~= '"' then fail("expected a key", at) end
    local key, colon = read_string(text, at)
    colon = skip_space(text, colon)
    if string.sub(text, colon, colon) ~= ":" then fail("expected ':'", colon) end
    local value, next_pos = read_value(text, skip_space(text, colon + 1))
    object[key] = value
    return next_pos
  end)
  return object, after
end

read_value = function(text, pos)
  local c = string.sub(text, pos, pos)
  if c == "{" then return read_object(text, pos) end
  if c == "[" then return read_array(text, pos) end
  if c == '"' then return read_string(text, pos) end
  local word = string.match(text, "^%a+", pos)
  if word == "null" then return nil, pos + 4 end
  if word and LITERALS[word] ~= nil then return LITERALS[word], pos + #word end
  local number = string.match(text, "^-?%d+%.?%d*[eE]?[-+]?%d*", pos)
  if number and tonumber(number) then return tonumber(number), pos + #number end
  fail("unexpected text", pos)
end

function json_decode(text)
  local ok, value = pcall(function()
    local value, after = read_value(text, skip_space(text, 1))
    if skip_space(text, after) <= #text then fail("trailing text", after) end
    return value
  end)
  if not ok then return nil, value end
  return value
end
