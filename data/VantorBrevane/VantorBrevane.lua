-- VantorBrevane.lua: the campaign: a ladder of levels, each with one more or stronger computer
-- player than the last. The reached level is kept in the mod's saved data.
require("mod_match")

-- The ladder: how many bots and planets a level has, and the last level.
local CAMPAIGN_LEVELS = 8
local CAMPAIGN_BOTS_MAX = 4
local CAMPAIGN_PLANETS_BASE = 8
local CAMPAIGN_PLANETS_STEP = 2
local CAMPAIGN_BOT_NAMES = {"Ardel", "Movish", "Tessam", "Quillon"}

local level = 1
local match = nil

-- The saved level, 1 when nothing usable is saved.
local function campaign_load()
  local saved = tonumber(w2_param_get("data") or "")
  if saved and saved >= 1 and saved <= CAMPAIGN_LEVELS then return math.floor(saved) end
  return 1
end

-- The seats of a level: you, then one bot per two levels (at least one).
local function campaign_seats(n)
  local seats = {{title = "You"}}
  local bots = math.min(CAMPAIGN_BOTS_MAX, math.floor((n + 1) / 2))
  for k = 1, bots do seats[#seats + 1] = {title = CAMPAIGN_BOT_NAMES[k], bot = true} end
  return seats
end

-- Starts the current level; from level 2 on the bots produce a little faster each level.
local function campaign_start()
  local seats = campaign_seats(level)
  match = match_start({
    seats = seats,
    planets = CAMPAIGN_PLANETS_BASE + level * CAMPAIGN_PLANETS_STEP,
    player = 1,
    status = "Level " .. level .. " of " .. CAMPAIGN_LEVELS .. ": " .. match_bots_text(seats) .. " to beat",
  })
  for _, bot in ipairs(match.bots) do
    w2_item_set(bot.user, "ships_production_factor", 1 + (level - 1) * 0.1)
  end
end

-- A won level moves the ladder up and is saved; the dialog then offers the next level.
local function campaign_result()
  if match.result ~= "You won!" then return end
  local lines = {"Level " .. level .. " cleared."}
  if level < CAMPAIGN_LEVELS then
    level = level + 1
    lines[2] = "Next: level " .. level .. "."
  else
    lines[2] = "The campaign is won. Play the last level again, or leave."
  end
  w2_param_set("data", tostring(level))
  match_show_result(match, lines)
end

-- Entry points the engine calls.
function _init()
  level = campaign_load()
  campaign_start()
end

function _loop(dt)
  if not match then return end
  local was_over = match.over
  match_loop(match, dt)
  if match.over and not was_over then campaign_result() end
end

function _event(e)
  if match then match_event(match, e, campaign_start) end
end
