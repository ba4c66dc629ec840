-- mod_ultracon.lua: the big one: you, an ally and six bots in two alliances on a wide field, played
-- fast.
require("mod_match")

-- The field, the speed and the two alliances (team 1 is yours).
local ULTRACON_W = 1000
local ULTRACON_H = 640
local ULTRACON_PLANETS = 30
local ULTRACON_SPEED = 1.5
local ULTRACON_SEATS = {
  {title = "You", team = 1},
  {title = "Ally Ardel", bot = true, team = 1},
  {title = "Ally Movish", bot = true, team = 1},
  {title = "Ally Tessam", bot = true, team = 1},
  {title = "Rival Quillon", bot = true, team = 2},
  {title = "Rival Savek", bot = true, team = 2},
  {title = "Rival Orrin", bot = true, team = 2},
  {title = "Rival Peluth", bot = true, team = 2},
}

local match = nil

-- A fresh war between the alliances.
local function ultracon_start()
  match = match_start({
    seats = ULTRACON_SEATS,
    planets = ULTRACON_PLANETS,
    width = ULTRACON_W,
    height = ULTRACON_H,
    player = 1,
    status = "Your alliance of four against the rivals' four",
  })
  w2_param_set("speed", ULTRACON_SPEED)
end

-- Entry points the engine calls.
function _init()
  ultracon_start()
end

function _loop(dt)
  if match then match_loop(match, dt) end
end

function _event(e)
  if match then match_event(match, e, ultracon_start) end
end
