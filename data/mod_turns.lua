-- mod_turns.lua: the match in rounds. Each round starts with a planning phase in slow motion, in
-- which you give your orders and the bots give theirs at its end, followed by an action phase at
-- full speed.
require("mod_match")

-- Rounds: length of each phase in real seconds, and the match speed during planning.
local TURNS_PLAN_SECONDS = 4
local TURNS_ACTION_SECONDS = 3
local TURNS_PLAN_SPEED = 0.05
local TURNS_PLANETS = 10
local TURNS_SEATS = {
  {title = "You"},
  {title = "Bot Ardel", bot = true},
  {title = "Bot Movish", bot = true},
}

local match = nil
local round = {number = 0, planning = false, left = 0}

-- The status line: the round, its phase and the whole seconds the phase has left (counted up, so
-- 0.2 s left still reads 1).
local function turns_status()
  local what = round.planning and "plan your moves" or "action"
  w2_param_set("status", "Round " .. round.number .. ": " .. what .. " (" .. math.ceil(round.left) .. " s)")
end

-- Switches to a phase: its speed, its length and the status line.
local function turns_phase(planning)
  round.planning = planning
  if planning then
    round.number = round.number + 1
    round.left = TURNS_PLAN_SECONDS
    w2_param_set("speed", TURNS_PLAN_SPEED)
  else
    round.left = TURNS_ACTION_SECONDS
    w2_param_set("speed", 1)
  end
  turns_status()
end

-- A fresh match starting with the first planning phase.
local function turns_start()
  match = match_start({seats = TURNS_SEATS, planets = TURNS_PLANETS, player = 1})
  round.number = 0
  turns_phase(true)
end

-- One frame: the phase clock runs on real time (the frame time divided by the speed); the bots
-- order once per round, when planning ends.
local function turns_loop(dt)
  local speed = w2_param_get("speed") or 1
  local real = speed > 0 and dt / speed or 0
  round.left = round.left - real
  if round.left <= 0 then
    if round.planning then
      for _, bot in ipairs(match.bots) do bot.timer = 0 end
      match_bots_order(match, 0)
    end
    turns_phase(not round.planning)
  end
  turns_status()
  match_check(match, real)
  if match.over then w2_param_set("speed", 1) end
end

-- Entry points the engine calls.
function _init()
  turns_start()
end

function _loop(dt)
  if match and not match.over then turns_loop(dt) end
end

function _event(e)
  if match then match_event(match, e, turns_start) end
end
