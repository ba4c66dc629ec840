-- mod_bricks.lua: a wall of bricks: rows of strong unowned planets at the top of the field, your
-- planets along the bottom and a bot in the corner. Take every brick before the bot does.
require("mod_match")

-- The wall and the field.
local BRICKS_COLUMNS = 6
local BRICKS_ROWS = 3
local BRICKS_GAP_X = 90
local BRICKS_GAP_Y = 70
local BRICKS_TOP = 40
local BRICKS_LEFT = 95
local BRICKS_SHIPS = 15
local BRICKS_PRODUCTION = 20
local BRICKS_FIELD_W = 640
local BRICKS_FIELD_H = 420

local match = nil

-- The wall: every brick an unowned planet, a bit stronger row by row from the bottom up.
local function bricks_wall(neutral)
  for row = 1, BRICKS_ROWS do
    for col = 1, BRICKS_COLUMNS do
      local x = BRICKS_LEFT + (col - 1) * BRICKS_GAP_X
      local y = BRICKS_TOP + (row - 1) * BRICKS_GAP_Y
      w2_planet_init(neutral, x, y, BRICKS_PRODUCTION, BRICKS_SHIPS * (BRICKS_ROWS - row + 1))
    end
  end
end

-- A fresh wall: you at the bottom centre, the bot in the lower right corner.
local function bricks_start()
  match = match_start({
    seats = {{title = "You"}, {title = "Bot Ardel", bot = true}},
    homes = {{x = BRICKS_FIELD_W / 2, y = BRICKS_FIELD_H - 30}, {x = BRICKS_FIELD_W - 30, y = BRICKS_FIELD_H - 60}},
    planets = 0,
    player = 1,
  })
  bricks_wall(match.neutral)
  -- The camera takes in the whole field, not just the planets: the bot's corner would pull the wall
  -- off the middle of the screen.
  w2_view_set(0, 0, BRICKS_FIELD_W, BRICKS_FIELD_H)
end

-- The status line counts the bricks still standing.
local function bricks_status(left)
  w2_param_set("status", "Take every brick before the bot does: " .. left .. " left")
end

-- The wall is down when no unowned planet is left; whoever holds more bricks then wins, unless
-- the match was already decided.
local function bricks_check()
  if match.over then return end
  local left = #w2_items_find("planet owner:" .. match.neutral)
  if left > 0 then
    bricks_status(left)
    return
  end
  local mine = #w2_items_find("planet owner:" .. match.seats[1].user)
  local theirs = #w2_items_find("planet owner:" .. match.seats[2].user)
  match_end(match, mine >= theirs and "You won!" or "You lost!",
            {"The wall is down.", "Your planets: " .. mine .. ", the bot's: " .. theirs})
end

-- Entry points the engine calls.
function _init()
  bricks_start()
end

function _loop(dt)
  if not match then return end
  match_loop(match, dt)
  bricks_check()
end

function _event(e)
  if match then match_event(match, e, bricks_start) end
end
