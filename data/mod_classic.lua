-- mod_classic.lua: the classic match: you against a random number of computer players on a random
-- map.
require("mod_match")

-- The map: how many bots and unowned planets a match may have.
local CLASSIC_BOTS_MIN = 1
local CLASSIC_BOTS_MAX = 3
local CLASSIC_PLANETS_MIN = 8
local CLASSIC_PLANETS_MAX = 16
local CLASSIC_BOT_NAMES = {"Bot Ardel", "Bot Movish", "Bot Tessam", "Bot Quillon"}

local match = nil

-- The seats of a random map: you first, then the bots.
local function classic_seats()
  local seats = {{title = "You"}}
  for k = 1, math.random(CLASSIC_BOTS_MIN, CLASSIC_BOTS_MAX) do
    seats[#seats + 1] = {title = CLASSIC_BOT_NAMES[k], bot = true}
  end
  return seats
end

-- A fresh random match.
local function classic_start()
  local seats = classic_seats()
  match = match_start({
    seats = seats,
    planets = math.random(CLASSIC_PLANETS_MIN, CLASSIC_PLANETS_MAX),
    player = 1,
    status = "You against " .. match_bots_text(seats) .. ": take every planet",
  })
end

-- Entry points the engine calls.
function _init()
  classic_start()
end

function _loop(dt)
  if match then match_loop(match, dt) end
end

function _event(e)
  if match then match_event(match, e, classic_start) end
end
