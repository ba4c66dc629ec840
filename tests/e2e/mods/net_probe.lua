-- A headless client for the tests: the shipped client mode, plus log lines that say what it sees.
-- It says one chat line once the match starts.
require("mod_client")

local client_event, client_loop = _event, _loop
local greeted, fleet_seen, seat_seen = false, false, false

function _event(e)
  client_event(e)
  if e.type == "net:start" and not greeted then
    greeted = true
    w2_net_send("", "message", "hello from " .. w2_param_get("name"))
  elseif e.type == "net:chat" then
    print("probe chat: " .. tostring(e.value))
  end
end

function _loop(dt)
  client_loop(dt)
  local me = w2_param_get("player")
  if me == 0 then return end
  if not seat_seen and #w2_items_find("planet owner:" .. me) > 0 then
    seat_seen = true
    print("probe seat: " .. #w2_items_find("planet") .. " planets, uid " .. w2_param_get("uid"))
  end
  if not fleet_seen and #w2_items_find("fleet owner:" .. me) > 0 then
    fleet_seen = true
    print("probe fleet: one of ours came from the server")
  end
end
