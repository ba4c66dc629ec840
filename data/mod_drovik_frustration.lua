-- mod_drovik_frustration.lua: a hard match: three quick bots whose planets produce half again as
-- fast as yours, on a crowded field.
require("mod_match")

-- The odds: the bots' production factor and how often they order.
local FRUSTRATION_BOT_PRODUCTION = 1.5
local FRUSTRATION_BOT_INTERVAL = 0.8
local FRUSTRATION_PLANETS = 14
local FRUSTRATION_SEATS = {
  {title = "You"},
  {title = "Drovik", bot = true},
  {title = "Drovik II", bot = true},
  {title = "Drovik III", bot = true},
}

local match = nil

-- A fresh match; the bots get their advantage after the planets exist.
local function frustration_start()
  match = match_start({
    seats = FRUSTRATION_SEATS,
    planets = FRUSTRATION_PLANETS,
    player = 1,
    status = "Three quick bots that grow half again as fast. Good luck.",
  })
  for _, bot in ipairs(match.bots) do
    w2_item_set(bot.user, "ships_production_factor", FRUSTRATION_BOT_PRODUCTION)
    bot.timer = math.min(bot.timer, FRUSTRATION_BOT_INTERVAL)
  end
end

-- The bots' faster orders: their timers are cut back each frame.
local function frustration_hurry()
  for _, bot in ipairs(match.bots) do
    if bot.timer > FRUSTRATION_BOT_INTERVAL then bot.timer = FRUSTRATION_BOT_INTERVAL end
  end
end

-- Entry points the engine calls.
function _init()
  frustration_start()
end

function _loop(dt)
  if not match then return end
  match_loop(match, dt)
  frustration_hurry()
end

function _event(e)
  if match then match_event(match, e, frustration_start) end
end
