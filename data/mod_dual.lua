-- mod_dual.lua: two players on one device, the screen split in two halves, with a computer player
-- as a third side.
require("mod_match")

-- The match: player one, player two and one bot.
local DUAL_PLANETS = 10
local DUAL_SEATS = {
  {title = "Player 1"},
  {title = "Player 2"},
  {title = "Bot Ardel", bot = true},
}

local match = nil

-- A fresh match; "player2" makes the engine show the two-player screens.
local function dual_start()
  match = match_start({
    seats = DUAL_SEATS,
    planets = DUAL_PLANETS,
    player = 1,
    player2 = 2,
    status = "Player 1 against Player 2, with Bot Ardel in the way",
  })
end

-- Entry points the engine calls.
function _init()
  dual_start()
end

function _loop(dt)
  if match then match_loop(match, dt) end
end

function _event(e)
  if match then match_event(match, e, dual_start) end
end
