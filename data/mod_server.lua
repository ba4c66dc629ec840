-- mod_server.lua: hosts a networked match. Players join the lobby over the network (the hosting
-- player through its own local client); the host starts the match, bots fill the empty seats, and
-- the server's world is synced to every client. The server relays the players' chat lines to
-- everyone. Run headless, it starts by itself once players have joined: "-wait SECONDS" on the
-- command line sets how long it waits for more after the first.
require("mod_match")
require("mod_json")

-- Network and match settings; "port" and "wait" on the command line win over the defaults.
local SERVER_PORT = 23099
local SERVER_BOTS = 1
local SERVER_PLANETS = 12
local SERVER_HEADLESS_WAIT = 15   -- seconds a headless server waits after the first join
local SERVER_HEADLESS_AGAIN = 10  -- seconds a headless server shows the result before a new match
local SERVER_BOT_NAMES = {"Bot Ardel", "Bot Movish", "Bot Tessam"}
-- Chat: the longest line relayed (bytes), and the colours of the server's own lines and of players
-- without a seat.
local SERVER_CHAT_MAX = 200
local SERVER_CHAT_COLOR = 0xaaaaaa
local SERVER_CHAT_PLAYER_COLOR = 0xdddddd
-- Chat lines a player may send within a window of seconds; the rest are dropped.
local SERVER_CHAT_BURST = 5
local SERVER_CHAT_WINDOW = 5
-- Join and leave lines in everybody's chat: at most this many within a window of seconds, and one of
-- each per player; the rest are counted and told in one line when the window ends, so connections
-- that come and go by the thousand cannot fill the chat.
local SERVER_NOTICE_BURST = 4
local SERVER_NOTICE_WINDOW = 10

local SERVER_WAIT = SERVER_HEADLESS_WAIT
local headless = false
local players = {}     -- joined players in order: {uid, name, host}
local host_seen = false
local match = nil
local clock = nil      -- headless countdown, nil when none runs
local now = 0          -- seconds since the mode started
local chat_sent = {}   -- per uid: the times of their recent chat lines
local notices = nil    -- this window's join and leave lines: {since, told, joined, left, said}

-- A line for a dedicated server's operator; a windowed host sees the game itself.
local function server_log(text)
  if headless then print(text) end
end

-- ---- lobby

-- The joined players' names, in joining order.
local function server_names()
  local names = {}
  for _, p in ipairs(players) do names[#names + 1] = p.name end
  return names
end

-- The lobby page, and the list every client shows; only a windowed host has a Start button. A
-- dedicated server has no host to start the match: it tells the clients when its clock will.
local function server_lobby_page()
  local names = server_names()
  local buttons = headless and {} or {{"Start", "start"}}
  buttons[#buttons + 1] = {"Leave", "leave"}
  local players_line = "Players: " .. (#names > 0 and util_markup_escape(table.concat(names, ", ")) or "none yet")
  w2_param_set("html", util_page("Hosting on port " .. SERVER_PORT, {players_line}, buttons))
  w2_net_send("", "lobby", json_encode(names))
  if headless and clock then w2_net_send("", "starts", tostring(math.ceil(clock))) end
end

-- ---- chat

-- One line to every player's chat panel: the clients through the network, a windowed host's own
-- directly (what its local client receives is reported by the server, not handed to the mod).
local function server_chat(color, text)
  w2_net_send("", "chat", json_encode({color = color, text = text}))
  if headless then
    server_log("chat: " .. text)
  else
    w2_chat_append(color, text)
  end
end

-- A chat line is outside input: well-formed UTF-8 without control bytes, and no longer than a line.
local function server_chat_clean(text)
  text = util_utf8_clean((string.gsub(tostring(text), "%c", " ")))
  return util_trim(util_utf8_cut(text, SERVER_CHAT_MAX))
end

local function server_notices_new()
  return {since = now, told = 0, joined = 0, left = 0, said = {}}
end

-- Ends the window once it is over, telling in one line what it held back.
local function server_notices_roll()
  if now - notices.since < SERVER_NOTICE_WINDOW then return end
  local held = {}
  if notices.joined > 0 then held[#held + 1] = notices.joined .. " joined" end
  if notices.left > 0 then held[#held + 1] = notices.left .. " left" end
  notices = server_notices_new()
  if #held > 0 then server_chat(SERVER_CHAT_COLOR, "Also " .. table.concat(held, " and ") .. ".") end
end

-- Tells that a player "joined" or "left", within the window's bounds.
local function server_notice(uid, name, what)
  server_notices_roll()
  local key = what .. " " .. uid
  if notices.told < SERVER_NOTICE_BURST and not notices.said[key] then
    notices.told = notices.told + 1
    notices.said[key] = true
    server_chat(SERVER_CHAT_COLOR, name .. " " .. what .. ".")
  else
    notices[what] = notices[what] + 1
  end
end

-- A player's lines take the colour of their seat, when they have one in the running match.
local function server_seat_color(uid)
  for k, seat in ipairs(match and match.seats or {}) do
    if w2_item_get(seat.user, "user_uid") == uid then return match_color(k) end
  end
  return SERVER_CHAT_PLAYER_COLOR
end

-- Tab in the chat completes the joined players' names; the server knows no chat commands to add.
local function server_chat_keywords()
  w2_chat_keywords(json_encode(server_names()))
end

-- Whether a player may say one more line now: a flood would fill everybody's chat.
local function server_chat_allowed(uid)
  local recent = {}
  for _, t in ipairs(chat_sent[uid] or {}) do
    if now - t < SERVER_CHAT_WINDOW then recent[#recent + 1] = t end
  end
  chat_sent[uid] = recent
  if #recent >= SERVER_CHAT_BURST then return false end
  recent[#recent + 1] = now
  return true
end

local function server_player_index(uid)
  for k, p in ipairs(players) do
    if p.uid == uid then return k end
  end
  return nil
end

-- Only joined players chat: an anonymous sender's message reaches this mode, but nobody's chat.
local function server_player_chat(e)
  local text = server_chat_clean(e.value)
  if text == "" or not server_player_index(e.uid) or not server_chat_allowed(e.uid) then return end
  local name = e.name ~= "" and e.name or "Anonymous"
  server_chat(server_seat_color(e.uid), name .. ": " .. text)
end

-- Back to the lobby, waiting for players.
local function server_lobby()
  match = nil
  clock = nil
  w2_param_set("state", "lobby")
  server_lobby_page()
end

-- A player joined: the first join that carries this game's own identity is the hosting player. A
-- player who comes back on a new connection (a crashed game started again) keeps their place.
local function server_join(e)
  if not server_player_index(e.uid) then
    local name = e.name ~= "" and e.name or ("Player " .. (#players + 1))
    local is_host = not headless and e.uid == (w2_param_get("uid") or "") and not host_seen
    if is_host then host_seen = true end
    players[#players + 1] = {uid = e.uid, name = name, host = is_host}
    server_chat_keywords()
    server_notice(e.uid, name, "joined")
    if headless and not clock and not match then clock = SERVER_WAIT end
  end
  if not match then
    server_lobby_page()
    return
  end
  w2_net_send(e.uid, "start", "")  -- a late arrival watches, or takes back the seat it left
  if match.over then w2_net_send(e.uid, "end", match.result) end
end

local function server_leave(e)
  local k = server_player_index(e.uid)
  if not k then return end
  server_notice(e.uid, players[k].name, "left")
  table.remove(players, k)
  server_chat_keywords()
  -- A dedicated server whose players have all gone stops playing to an empty room.
  if headless and match and #players == 0 then server_lobby() end
  if not match then server_lobby_page() end
end

-- ---- match

-- The seats: every joined player, then the bots.
local function server_seats()
  local seats, host_seat = {}, nil
  for k, p in ipairs(players) do
    seats[k] = {title = p.name}
    if p.host then host_seat = k end
  end
  for k = 1, SERVER_BOTS do seats[#seats + 1] = {title = SERVER_BOT_NAMES[k], bot = true} end
  return seats, host_seat
end

-- A new match on the server; every client finds its seat by the uid the seat's user carries.
local function server_start()
  local seats, host_seat = server_seats()
  match = match_start({seats = seats, planets = SERVER_PLANETS, player = host_seat})
  clock = nil
  for k, p in ipairs(players) do w2_item_set(match.seats[k].user, "user_uid", p.uid) end
  w2_net_send("", "start", "")
  server_log("match started: " .. #players .. " players, " .. SERVER_BOTS .. " computer players")
end

-- The winning side's title, or nil while more than one side is left.
local function server_winner()
  local alive = {}
  for _, seat in ipairs(match.seats) do
    if match_alive(seat.user) then alive[#alive + 1] = seat end
  end
  if #alive == 0 then return "Nobody" end
  for _, seat in ipairs(alive) do
    if seat.team ~= alive[1].team then return nil end
  end
  return alive[1].title
end

-- The server's frame: bots, the end of the match (told to every client) and the headless clocks.
local function server_match_loop(dt)
  match_bots_order(match, dt)
  if match.over then return end
  -- Counting the survivors asks the engine about every seat: twice a second is soon enough.
  match.check = match.check - dt
  if match.check > 0 then return end
  match.check = MATCH_CHECK_INTERVAL
  local winner = server_winner()
  if not winner then return end
  match.over = true
  match.result = winner .. " wins!"
  w2_param_set("status", match.result)
  w2_net_send("", "end", match.result)
  server_log("match over: " .. match.result)
  if headless then
    clock = SERVER_HEADLESS_AGAIN
  else
    w2_param_set("html", util_result_page(match.result))
    w2_param_set("state", "pause")
  end
end

local function server_clock(dt)
  if not clock then return end
  clock = clock - dt
  if clock > 0 then return end
  clock = nil
  if #players > 0 then server_start() else server_lobby() end
end

-- The page of a windowed host whose port is taken (the engine has said why on its error page).
local function server_cannot_host()
  w2_param_set("state", "menu")
  w2_param_set("html", util_page("Cannot host", {"Port " .. SERVER_PORT .. " is in use by another program."},
    {{"Leave", "leave"}}))
end

-- Entry points the engine calls.
function _init()
  headless = w2_param_get("headless") ~= nil
  SERVER_PORT = tonumber(w2_param_get("port")) or SERVER_PORT
  SERVER_WAIT = tonumber(w2_param_get("wait")) or SERVER_HEADLESS_WAIT
  players, host_seen, match, clock, now, chat_sent = {}, false, nil, nil, 0, {}
  notices = server_notices_new()
  w2_param_set("tabs", "")  -- the lobby is this mode's own screen, without a tab bar
  w2_game_reset()
  if not w2_net_host(SERVER_PORT) then
    server_cannot_host()
    return
  end
  server_log("hosting on port " .. SERVER_PORT)
  if not headless then w2_net_join("", SERVER_PORT) end
  server_lobby()
end

function _loop(dt)
  now = now + dt
  server_notices_roll()
  if match then server_match_loop(dt) end
  server_clock(dt)
end

function _event(e)
  if e.type == "net:join" or e.type == "net:rejoin" then
    server_join(e)
  elseif e.type == "net:leave" then
    server_leave(e)
  elseif e.type == "net:message" then
    server_player_chat(e)
  elseif e.type == "onclick" and e.value == "start" then
    server_start()
  elseif match then
    match_event(match, e, server_start)
  elseif e.type == "quit" or (e.type == "onclick" and e.value == "leave") then
    match_leave()
  end
end
