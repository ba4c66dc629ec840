-- mod_play.lua: the Play menu's quick match: you against two computer players on a small field.
-- It is most players' first match, so its bots grow slower than you: a newcomer can win it, and
-- the classic match behind Practice stays the harder one.
require("mod_match")

-- The match: seats, planets and which seat is yours.
local PLAY_PLANETS = 10
local PLAY_BOT_PRODUCTION = 0.6  -- the bots' production factor; yours is 1
local PLAY_SEATS = {
  {title = "You"},
  {title = "Bot Ardel", bot = true},
  {title = "Bot Movish", bot = true},
}

local match = nil

-- A fresh match with the same seats.
local function play_start()
  match = match_start({
    seats = PLAY_SEATS,
    planets = PLAY_PLANETS,
    player = 1,
    status = "You against two bots: take every planet",
  })
  for _, bot in ipairs(match.bots) do w2_item_set(bot.user, "ships_production_factor", PLAY_BOT_PRODUCTION) end
end

-- Entry points the engine calls.
function _init()
  play_start()
end

function _loop(dt)
  if match then match_loop(match, dt) end
end

function _event(e)
  if match then match_event(match, e, play_start) end
end
