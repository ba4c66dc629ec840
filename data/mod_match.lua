-- mod_match.lua: the shared match kit of the game modes: the field of planets, the computer
-- players, the music, the status line, the end of a match and its result page. A mode requires it
-- and fills in a setup table.

-- Field: world units of the playing area; the view fits itself to the planets.
MATCH_FIELD_W = 640
MATCH_FIELD_H = 400
MATCH_PLANET_GAP = 70          -- least distance between two planet centres
MATCH_PLACE_TRIES = 60         -- random spots tried per planet before it is left out

-- Planets: production (radius grows with it) and starting ships.
MATCH_HOME_PRODUCTION = 100
MATCH_HOME_SHIPS = 100
MATCH_PRODUCTION_MIN = 15
MATCH_PRODUCTION_MAX = 80
MATCH_NEUTRAL_SHIPS_MIN = 5
MATCH_NEUTRAL_SHIPS_MAX = 40

-- Computer players: seconds between orders, the share they send, and what they keep at home.
MATCH_BOT_INTERVAL = 1.5
MATCH_BOT_PERCENT = 60
MATCH_BOT_MIN_SHIPS = 12
MATCH_BOT_DISTANCE_COST = 0.08  -- ships a unit of distance is worth when choosing a target

-- End of match: how often the survivors are counted.
MATCH_CHECK_INTERVAL = 0.5

-- Music: the track of a match unless the mode names its own, and the menus' track for the way back.
MATCH_MUSIC = "mus-match"
MATCH_MENU_MUSIC = "mus-menu"

-- Colours of the sides, in seat order, and of the unowned planets.
MATCH_COLORS = {0x3399ff, 0xff4433, 0x44dd55, 0xffcc22, 0xcc55ff, 0x33dddd, 0xff8822, 0xeeeeee}
MATCH_NEUTRAL_COLOR = 0x777777

-- ---- seats and planets

-- The colour of seat k (1-based), wrapping round the list.
function match_color(k)
  return MATCH_COLORS[(k - 1) % #MATCH_COLORS + 1]
end

-- A number between low and high drawn from the game's random numbers.
local function match_between(low, high)
  return low + math.random() * (high - low)
end

local function match_far_enough(spots, x, y)
  for _, s in ipairs(spots) do
    local dx, dy = s.x - x, s.y - y
    if dx * dx + dy * dy < MATCH_PLANET_GAP * MATCH_PLANET_GAP then return false end
  end
  return true
end

-- Home spots: evenly round an ellipse inside the field, the first seat on the left.
local function match_home_spots(count, w, h)
  local spots = {}
  for k = 1, count do
    local a = math.pi + (k - 1) * 2 * math.pi / count
    spots[k] = {x = w / 2 + math.cos(a) * w * 0.42, y = h / 2 + math.sin(a) * h * 0.40}
  end
  return spots
end

-- Free spots for the other planets, kept apart from each other and from the homes.
local function match_free_spots(count, taken, w, h)
  local spots = {}
  for _ = 1, count do
    for _ = 1, MATCH_PLACE_TRIES do
      local x, y = match_between(30, w - 30), match_between(30, h - 30)
      if match_far_enough(taken, x, y) and match_far_enough(spots, x, y) then
        spots[#spots + 1] = {x = x, y = y}
        break
      end
    end
  end
  return spots
end

-- ---- setup

-- Starts a match from a setup table:
--   seats: list of {title, bot (true for a computer player), team (optional seat group number)}
--   planets: number of unowned planets; width, height: field size (optional)
--   player, player2: seat numbers of the local players (optional)
--   homes: optional list of home spots {x, y} in seat order
--   music: the stream to play (optional, MATCH_MUSIC by default)
--   status: the line the match screen shows at the top (optional)
-- Returns the match table the other match_ functions take.
function match_start(setup)
  w2_game_reset()
  local m = {setup = setup, seats = {}, bots = {}, over = false, check = 0, time = 0}
  local w, h = setup.width or MATCH_FIELD_W, setup.height or MATCH_FIELD_H
  m.neutral = w2_user_init("neutral", MATCH_NEUTRAL_COLOR, 0)
  w2_item_set(m.neutral, "ships_production_enabled", 0)
  local teams = {}
  for k, seat in ipairs(setup.seats) do
    local team = 0
    if seat.team then
      teams[seat.team] = teams[seat.team] or w2_team_init("team " .. seat.team, match_color(seat.team))
      team = teams[seat.team]
    end
    local user = w2_user_init(seat.title, seat.color or match_color(k), team)
    -- The bots choose by every planet's ships, so every side's counts are shown to every player.
    w2_item_set(user, "user_reveal", true)
    m.seats[k] = {user = user, title = seat.title, bot = seat.bot, team = seat.team or -k}
    if seat.bot then m.bots[#m.bots + 1] = {user = user, timer = match_between(0.2, MATCH_BOT_INTERVAL)} end
  end
  local homes = setup.homes or match_home_spots(#setup.seats, w, h)
  for k, seat in ipairs(m.seats) do
    w2_planet_init(seat.user, homes[k].x, homes[k].y, MATCH_HOME_PRODUCTION, MATCH_HOME_SHIPS)
  end
  for _, spot in ipairs(match_free_spots(setup.planets or 0, homes, w, h)) do
    w2_planet_init(m.neutral, spot.x, spot.y, match_between(MATCH_PRODUCTION_MIN, MATCH_PRODUCTION_MAX),
                   math.floor(match_between(MATCH_NEUTRAL_SHIPS_MIN, MATCH_NEUTRAL_SHIPS_MAX)))
  end
  w2_param_set("player", setup.player and m.seats[setup.player].user or 0)
  w2_param_set("player2", setup.player2 and m.seats[setup.player2].user or 0)
  w2_play_music(setup.music or MATCH_MUSIC)
  w2_param_set("status", setup.status or "")
  w2_param_set("html", "")
  w2_param_set("state", "play")
  return m
end

-- ---- computer players

local function match_position(n)
  return w2_item_get(n, "position_x"), w2_item_get(n, "position_y")
end

-- The bot's strongest planet, and its ships.
local function match_bot_source(user)
  local from, best = nil, -1
  for _, p in ipairs(w2_items_find("planet owner:" .. user)) do
    local ships = w2_item_get(p, "ships_value")
    if ships > best then from, best = p, ships end
  end
  return from, best
end

-- The cheapest planet to take from (x, y) that is not the bot's side: few ships, close by.
local function match_bot_target(m, user, team, x, y)
  local to, cost = nil, nil
  for _, p in ipairs(w2_items_find("planet")) do
    local owner = w2_item_get(p, "owner_n")
    if owner ~= user and match_team_of(m, owner) ~= team then
      local px, py = match_position(p)
      local d = math.sqrt((px - x) ^ 2 + (py - y) ^ 2)
      local c = w2_item_get(p, "ships_value") + d * MATCH_BOT_DISTANCE_COST
      if not cost or c < cost then to, cost = p, c end
    end
  end
  return to
end

-- The team number of a user in the match (the neutral user and strangers have none).
function match_team_of(m, user)
  for _, seat in ipairs(m.seats) do
    if seat.user == user then return seat.team end
  end
  return nil
end

-- One order of a bot when its timer runs out: a fleet from its strongest planet to the cheapest
-- target.
local function match_bot_step(m, bot, dt)
  bot.timer = bot.timer - dt
  if bot.timer > 0 then return end
  bot.timer = bot.timer + MATCH_BOT_INTERVAL
  local from, ships = match_bot_source(bot.user)
  if not from or ships < MATCH_BOT_MIN_SHIPS then return end
  local x, y = match_position(from)
  local to = match_bot_target(m, bot.user, match_team_of(m, bot.user), x, y)
  if to then w2_fleet_send(MATCH_BOT_PERCENT, from, to) end
end

-- Every bot whose turn it is gives its order.
function match_bots_order(m, dt)
  for _, bot in ipairs(m.bots) do match_bot_step(m, bot, dt) end
end

-- ---- end of match

-- Whether a user still has planets or fleets.
function match_alive(user)
  return #w2_items_find("owner:" .. user) > 0
end

-- The teams still in the match, as a set, and how many there are.
local function match_teams_alive(m)
  local teams, count = {}, 0
  for _, seat in ipairs(m.seats) do
    if match_alive(seat.user) and not teams[seat.team] then
      teams[seat.team] = seat
      count = count + 1
    end
  end
  return teams, count
end

-- The result text for the local player, or nil while the match goes on.
local function match_result(m)
  local teams, count = match_teams_alive(m)
  local locals = {}
  for _, k in ipairs({m.setup.player, m.setup.player2}) do
    if k then locals[#locals + 1] = m.seats[k] end
  end
  if #locals == 1 then
    if not teams[locals[1].team] then return "You lost!" end
    if count == 1 then return "You won!" end
    return nil
  end
  if count > 1 then return nil end
  for _, seat in pairs(teams) do return seat.title .. " wins!" end
  return "Nobody wins."
end

-- The result page over the paused match: the result, the mode's own lines, how long it took, and
-- play again or leave.
function match_result_page(m, lines)
  local all = {}
  for _, line in ipairs(lines or {}) do all[#all + 1] = line end
  all[#all + 1] = "Match time: " .. util_clock(m.time)
  return util_result_page(m.result, all)
end

-- Shows the result page with these lines, and keeps them for the page to show again after a pause.
function match_show_result(m, lines)
  m.lines = lines
  w2_param_set("html", match_result_page(m, lines))
end

-- Ends the match with that result: the status line says it and the result page comes up.
function match_end(m, result, lines)
  m.over = true
  m.result = result
  w2_param_set("status", result)
  match_show_result(m, lines)
  w2_param_set("state", "pause")
end

-- "1 bot" or "N bots": the computer players among the seats, all but the player's own.
function match_bots_text(seats)
  local bots = #seats - 1
  return bots .. (bots == 1 and " bot" or " bots")
end

-- Runs the match clock, counts the survivors now and then, and ends the match once it is decided.
function match_check(m, dt)
  if m.over then return end
  m.time = m.time + dt
  m.check = m.check - dt
  if m.check > 0 then return end
  m.check = MATCH_CHECK_INTERVAL
  local result = match_result(m)
  if result then match_end(m, result) end
end

-- The frame of an ordinary match: the bots and the end check.
function match_loop(m, dt)
  if m.over then return end
  match_bots_order(m, dt)
  match_check(m, dt)
end

-- ---- screens and leaving

-- The pause page: resume or leave.
MATCH_PAUSE_HTML = util_page("Paused", {}, {{"Resume", "resume"}, {"Restart", "again"}, {"Leave", "leave"}})

-- Leaves the mode: the engine returns to the screen below it, or to the home screen, with the
-- menus' music.
function match_leave()
  w2_play_music(MATCH_MENU_MUSIC)
  w2_param_set("state", "quit")
end

-- The answers every match mode shares: pause, resume, play again, leave and the quit icon.
-- restart is the mode's function that starts a new match. Returns true when the event was taken.
function match_event(m, e, restart)
  local value = e.value
  if e.type == "pause" then
    w2_param_set("html", m.over and match_result_page(m, m.lines) or MATCH_PAUSE_HTML)
    return true
  end
  if e.type == "quit" then
    match_leave()
    return true
  end
  if e.type ~= "onclick" then return false end
  if value == "resume" then
    if m.over then return true end
    w2_param_set("html", "")
    w2_param_set("state", "play")
  elseif value == "again" then
    restart()
  elseif value == "leave" then
    match_leave()
  else
    return false
  end
  return true
end
