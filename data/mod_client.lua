-- mod_client.lua: joins a networked match. It connects to the host named by the "host" and "port"
-- params (this machine by default), waits in the lobby, and plays the seat the server gives it; the
-- world comes from the server.
require("mod_match")

-- Where to connect when the params name nothing.
local CLIENT_HOST = "localhost"
local CLIENT_PORT = 23099

local me = nil         -- title of our seat, told by the server
local over = false

-- A lobby page with one line of text and a Leave button.
local function client_page(text)
  w2_param_set("html", "<table><tr><td><h1>Online match</h1><tr><td><p>" .. text .. "</p>"
    .. "<tr><td><input type='button' value='Leave' onclick='leave' /></table>")
end

-- Our user item in the synced world, by the seat's title; 0 while unknown.
local function client_user()
  if not me then return 0 end
  for _, u in ipairs(w2_items_find("user")) do
    if w2_item_get(u, "title_value") == me then return u end
  end
  return 0
end

-- The end of the match: the result over the paused match, with only Leave.
local function client_end(text)
  over = true
  w2_param_set("status", text)
  w2_param_set("html", "<table><tr><td><h1>" .. text .. "</h1>"
    .. "<tr><td><p>Wait here for the next match, or leave.</p>"
    .. "<tr><td><input type='button' value='Leave' onclick='leave' /></table>")
  w2_param_set("state", "pause")
end

-- The server's messages.
local function client_net(e)
  if e.type == "net:connect" then
    client_page("Connected. Waiting for the host to start.")
  elseif e.type == "net:lobby" then
    client_page("Players: " .. tostring(e.value))
  elseif e.type == "net:you" then
    me = e.value
  elseif e.type == "net:start" then
    over = false
    w2_param_set("html", "")
    w2_param_set("state", "play")
  elseif e.type == "net:end" then
    client_end(tostring(e.value))
  elseif e.type == "net:disconnect" then
    client_page("Disconnected from the server.")
    w2_param_set("state", "lobby")
  end
end

-- Entry points the engine calls.
function _init()
  local host = w2_param_get("host") or CLIENT_HOST
  local port = tonumber(w2_param_get("port")) or CLIENT_PORT
  w2_game_reset()
  w2_net_join(host, port)
  w2_param_set("state", "lobby")
  client_page("Connecting to " .. host .. ":" .. port .. " ...")
end

function _loop(dt)
  local user = client_user()
  if user ~= 0 and w2_param_get("player") ~= user then w2_param_set("player", user) end
end

function _event(e)
  if string.sub(tostring(e.type), 1, 4) == "net:" then
    client_net(e)
  elseif e.type == "pause" then
    w2_param_set("html", "<table><tr><td><h1>Paused</h1><tr><td><p>The match goes on.</p>"
      .. "<tr><td><input type='button' value='Resume' onclick='resume' />"
      .. "<tr><td><input type='button' value='Leave' onclick='leave' /></table>")
  elseif e.type == "onclick" and e.value == "resume" and not over then
    w2_param_set("html", "")
    w2_param_set("state", "play")
  elseif e.type == "quit" or (e.type == "onclick" and e.value == "leave") then
    match_leave()
  end
end
