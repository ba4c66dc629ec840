-- mod_botwar.lua: computer players only; you watch them fight until one side is left.
require("mod_match")

-- The war: four bots on a wide field, run at double speed.
local BOTWAR_PLANETS = 14
local BOTWAR_SPEED = 2
local BOTWAR_SEATS = {
  {title = "Ardel", bot = true},
  {title = "Movish", bot = true},
  {title = "Tessam", bot = true},
  {title = "Quillon", bot = true},
}

local match = nil

-- A fresh war; nobody is the local player, so the calm menu track plays while you watch.
local function botwar_start()
  match = match_start({
    seats = BOTWAR_SEATS,
    planets = BOTWAR_PLANETS,
    music = MATCH_MENU_MUSIC,
    status = "Bot war: watch until one side is left",
  })
  w2_param_set("speed", BOTWAR_SPEED)
end

-- Entry points the engine calls.
function _init()
  botwar_start()
end

function _loop(dt)
  if match then match_loop(match, dt) end
end

function _event(e)
  if match then match_event(match, e, botwar_start) end
end
