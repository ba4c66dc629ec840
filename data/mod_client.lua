-- mod_client.lua: joins a networked match. The join page asks for the server's address (this machine
-- and the server mode's port at first, then the last address used, which the mod keeps in its saved
-- data); "-host" and "-port" on the command line fill it in. The client waits in the lobby, plays the
-- seat the server gives it, and mirrors the server's world. Started headless, it connects at once,
-- plays its seat by itself and ends when the server goes away.
require("mod_match")
require("mod_json")

-- Where to connect when nothing else names an address: this machine, the server mode's port.
local CLIENT_HOST = "localhost"
local CLIENT_PORT = 23099
-- A headless client's own play: seconds between two orders, as the computer players.
local CLIENT_BOT_INTERVAL = 1.5

local headless = false
local address = {host = CLIENT_HOST, port = CLIENT_PORT}
local phase = "join"       -- join, connecting, lobby, playing, over, gone
local players = {}         -- the lobby's names, as the server last told them
local reason = nil         -- why the server let us go, when it said so
local bot = nil            -- a headless client's order timer
local now = 0              -- seconds since the mode started
local starts_at = nil      -- when a dedicated server said its match starts; nil when none said
local starts_shown = nil   -- the seconds the lobby page shows

-- ---- pages

local function client_where()
  return util_markup_escape(address.host .. ":" .. address.port)
end

-- Shows a page of a heading, lines of text and buttons ({label, action} pairs).
local function client_page(title, lines, buttons)
  w2_param_set("html", util_page(title, lines, buttons))
end

-- The form of the player's name and the server's address. The join page shows no match, so it is a
-- plain menu screen; the lobby with its chat panel follows once there is a connection to talk over.
local function client_join_page(problem)
  local html = "<table><tr><td><h1>Join an online match</h1>"
  if problem then html = html .. "<tr><td><p>" .. util_markup_escape(problem) .. "</p>" end
  html = html .. "<tr><td><p>Your name</p><tr><td><input type='text' name='name' value='"
    .. util_markup_escape(w2_param_get("name") or "") .. "' />"
  html = html .. "<tr><td><p>Server address</p><tr><td><input type='text' name='host' value='"
    .. util_markup_escape(address.host) .. "' />"
  html = html .. "<tr><td><p>Port</p><tr><td><input type='text' name='port' value='" .. address.port .. "' />"
  html = html .. util_button("Connect", "connect") .. util_button("Back", "leave") .. "</table>"
  phase = "join"
  w2_param_set("state", "menu")
  w2_param_set("html", html)
end

-- When the match starts: a dedicated server says in how many seconds, a hosting player chooses.
local function client_starts_line()
  if not starts_at then return "Waiting for the host to start the match." end
  starts_shown = math.max(0, math.ceil(starts_at - now))
  return "The match starts in " .. starts_shown .. " s."
end

local function client_lobby_page()
  local lines = {"Connected to " .. client_where() .. "."}
  if #players > 0 then
    lines[#lines + 1] = "Players in the lobby:"
    for _, name in ipairs(players) do lines[#lines + 1] = "&nbsp;&nbsp;" .. util_markup_escape(name) end
  end
  lines[#lines + 1] = client_starts_line()
  client_page("Online match", lines, {{"Leave", "leave"}})
end

local function client_gone_page()
  local lines = {"Disconnected from " .. client_where() .. "."}
  if reason then lines[#lines + 1] = util_markup_escape(reason) end
  client_page("Disconnected", lines, {{"Connect again", "connect"}, {"Change address", "address"}, {"Leave", "leave"}})
  w2_param_set("state", "lobby")
end

-- ---- the address

-- The last address and name used, from the saved data; nil when there is none.
local function client_saved()
  local saved = json_decode(w2_param_get("data") or "")
  if type(saved) ~= "table" or type(saved.host) ~= "string" then return nil end
  local name = type(saved.name) == "string" and saved.name or nil
  return {host = saved.host, port = tonumber(saved.port) or CLIENT_PORT, name = name}
end

-- The command line first, then the saved address, then this machine.
local function client_address()
  local saved = client_saved() or {}
  return {
    host = w2_param_get("host") or saved.host or CLIENT_HOST,
    port = tonumber(w2_param_get("port")) or saved.port or CLIENT_PORT,
  }
end

-- The form's name and address; nil and a message when they cannot be used.
local function client_form()
  local name = util_trim(tostring(w2_gui_get("name") or ""))
  local host = util_trim(tostring(w2_gui_get("host") or ""))
  local port = tonumber(util_trim(tostring(w2_gui_get("port") or "")))
  if name == "" then return nil, "Type your name." end
  if host == "" then return nil, "Type the server's address." end
  if not port or port < 1 or port > 65535 or port % 1 ~= 0 then return nil, "The port is a number from 1 to 65535." end
  return {host = host, port = port}, name
end

local function client_connect()
  phase = "connecting"
  reason = nil
  players = {}
  starts_at = nil
  w2_game_reset()
  w2_net_join(address.host, address.port)
  w2_param_set("state", "lobby")
  client_page("Online match", {"Connecting to " .. client_where() .. "..."}, {{"Cancel", "leave"}})
end

local function client_connect_form()
  local form, name = client_form()
  if not form then
    client_join_page(name)
    return
  end
  address = form
  w2_param_set("name", name)  -- the name the others are shown, for this run
  w2_param_set("data", json_encode({host = address.host, port = address.port, name = name}))
  client_connect()
end

-- ---- our seat

-- Our user item in the synced world: the one whose uid the server set to ours; 0 while unknown.
local function client_user()
  local uid = w2_param_get("uid")
  for _, u in ipairs(w2_items_find("user")) do
    if w2_item_get(u, "user_uid") == uid then return u end
  end
  return 0
end

-- A headless client plays its seat as the computer players do; its orders go to the server.
local function client_bot(user, dt)
  if not bot then bot = {user = user, timer = CLIENT_BOT_INTERVAL} end
  bot.user = user
  local m = {bots = {bot}, seats = {}}
  for _, u in ipairs(w2_items_find("user")) do
    local team = w2_item_get(u, "user_team_n")
    m.seats[#m.seats + 1] = {user = u, team = team ~= 0 and team or -u}
  end
  match_bots_order(m, dt)
end

-- The end of the match: the result over the paused match, until the server starts the next one.
local function client_end(text)
  phase = "over"
  w2_param_set("status", text)
  client_page(util_markup_escape(text), {"Wait here for the next match, or leave."}, {{"Leave", "leave"}})
  w2_param_set("state", "pause")
end

-- ---- the server's messages

local function client_chat(value)
  local line = json_decode(value)
  if type(line) ~= "table" or type(line.text) ~= "string" then return end
  w2_chat_append(tonumber(line.color) or 0xdddddd, line.text)
end

local function client_players(value)
  local names = json_decode(value)
  players = {}
  if type(names) == "table" then
    for _, name in ipairs(names) do players[#players + 1] = tostring(name) end
  end
  w2_chat_keywords(json_encode(players))  -- Tab in the chat completes the players' names
  if phase == "lobby" then client_lobby_page() end
end

local function client_disconnect()
  phase = "gone"
  if headless then
    w2_param_set("state", "quit")  -- nothing left to do without a server
    return
  end
  client_gone_page()
end

local CLIENT_NET = {
  ["net:connect"] = function()
    phase = "lobby"
    client_lobby_page()
  end,
  ["net:lobby"] = function(e) client_players(e.value) end,
  ["net:starts"] = function(e)
    local seconds = tonumber(e.value)
    starts_at = seconds and now + seconds or nil
    if phase == "lobby" then client_lobby_page() end
  end,
  ["net:chat"] = function(e) client_chat(e.value) end,
  ["net:start"] = function()
    phase = "playing"
    w2_play_music(MATCH_MUSIC)
    w2_param_set("status", "")
    w2_param_set("html", "")
    w2_param_set("state", "play")
  end,
  ["net:end"] = function(e) client_end(tostring(e.value)) end,
  ["net:refused"] = function(e) reason = tostring(e.value) end,
  ["net:error"] = function(e) reason = tostring(e.value) end,
  ["net:disconnect"] = client_disconnect,
}

-- ---- the player's actions

local function client_pause()
  if phase == "over" then return end
  client_page("Paused", {"The match goes on."}, {{"Resume", "resume"}, {"Leave", "leave"}})
end

local CLIENT_CLICKS = {
  connect = function()
    if phase == "join" then client_connect_form() else client_connect() end
  end,
  address = function() client_join_page() end,
  resume = function()
    if phase ~= "playing" then return end
    w2_param_set("html", "")
    w2_param_set("state", "play")
  end,
}

-- ---- entry points the engine calls

function _init()
  headless = w2_param_get("headless") ~= nil
  address = client_address()
  phase, players, reason, bot, now, starts_at = "join", {}, nil, nil, 0, nil
  w2_param_set("tabs", "")  -- the lobby is this mode's own screen, without a tab bar
  w2_game_reset()
  if headless then
    client_connect()
    return
  end
  local saved = client_saved()
  if saved and saved.name then w2_param_set("name", saved.name) end  -- the name typed last time
  client_join_page()
end

function _loop(dt)
  now = now + dt
  -- The lobby's countdown, once a second.
  if phase == "lobby" and starts_at and math.max(0, math.ceil(starts_at - now)) ~= starts_shown then
    client_lobby_page()
  end
  local user = client_user()
  if user ~= 0 and w2_param_get("player") ~= user then w2_param_set("player", user) end
  if headless and phase == "playing" and user ~= 0 then client_bot(user, dt) end
end

function _event(e)
  local net = CLIENT_NET[e.type]
  if net then
    net(e)
  elseif e.type == "pause" then
    client_pause()
  elseif e.type == "quit" or (e.type == "onclick" and e.value == "leave") then
    match_leave()
  elseif e.type == "onclick" and CLIENT_CLICKS[e.value] then
    CLIENT_CLICKS[e.value]()
  end
end
