-- Quorvex.lua: the main script every windowed run starts. It shows the home screen (a tab bar and
-- a start page over the star field) and runs the chosen game mode in this same script runtime;
-- when the mode is left, the home screen comes back.
require("mod_match")

-- The tab bar: the menus' tab actions. Each is answered here (see home_tab).
local HOME_TABS = "<table><tr>"
  .. "<td><input type='button' value='Play' onclick='tab:play' class='tiny1' />"
  .. "<td><input type='button' value='Practice' onclick='tab:lite' class='tiny1' />"
  .. "<td><input type='button' value='Mods' onclick='tab:mods' class='tiny1' />"
  .. "<td><input type='button' value='Settings' onclick='tab:settings' class='tiny1' />"
  .. "<td><input type='button' value='Quit' onclick='tab:quit' class='tiny1' />"
  .. "</table>"

-- The start page: the logo and the big buttons.
local HOME_PAGE = "<table><tr><td><img src='logo' width=240 /><tr><td>&nbsp;"
  .. "<tr><td><input type='button' class='ibutton1' icon='icon-play' onclick='tab:play' value='Play' />"
  .. "<tr><td><input type='button' class='ibutton1' icon='icon-practice' onclick='tab:lite' value='Practice' />"
  .. "<tr><td><input type='button' class='ibutton1' icon='icon-mods' onclick='tab:mods' value='Mods' />"
  .. "<tr><td><input type='button' class='ibutton1' icon='icon-settings' onclick='tab:settings' value='Settings' />"
  .. "<tr><td><input type='button' class='ibutton1' icon='icon-quit' onclick='tab:quit' value='Quit' />"
  .. "</table>"

-- The game modes the mods page lists: label and file, two to a row.
local HOME_MODS = {
  {"Local Mods:", {{"classic", "mod_classic.lua"}, {"turns", "mod_turns.lua"}, {"dual", "mod_dual.lua"},
                   {"botwar", "mod_botwar.lua"}, {"bricks", "mod_bricks.lua"}}},
  {"Online Mods:", {{"client", "mod_client.lua"}, {"server", "mod_server.lua"}}},
  {"User Mods:", {{"frustration", "mod_drovik_frustration.lua"}, {"ultracon", "mod_ultracon.lua"}}},
}

-- The tab actions that start a mode, by action value.
local HOME_TAB_MODES = {["tab:play"] = "mod_play.lua", ["tab:lite"] = "mod_classic.lua"}

local home = {}     -- the home screen's own entry points, kept while a mode runs
local modes = {}    -- entry points of every mode file loaded so far, by file name

-- ---- pages

-- The mods page: one button per mode, whose action names its file.
local function home_mods_page()
  local html = "<table>"
  for _, group in ipairs(HOME_MODS) do
    html = html .. "<tr><td colspan=2><p>" .. group[1] .. "</p>"
    for k, mod in ipairs(group[2]) do
      if k % 2 == 1 then html = html .. "<tr>" end
      html = html .. "<td><input type='button' value='" .. mod[1] .. "' onclick='mod:" .. mod[2] .. "' width=100 />"
    end
  end
  return html .. "<tr><td colspan=2><input type='button' value='Back' onclick='home' width=100 /></table>"
end

-- Shows a page of the home screen under the tab bar, with the menus' music.
local function home_show(page, tab)
  w2_play_music(MATCH_MENU_MUSIC)
  w2_param_set("tab", tab)
  w2_param_set("tabs", HOME_TABS)
  w2_param_set("html", page)
  w2_param_set("state", "tabs")
end

-- ---- running a mode

-- The home screen again: its entry points back in place, the world and the match params cleared.
local function home_return()
  _init, _loop, _event = home.init, home.loop, home.event
  w2_game_reset()
  w2_param_set("speed", 1)
  w2_param_set("player", 0)
  w2_param_set("player2", 0)
  w2_param_set("status", "")
  home_show(HOME_PAGE, "home")
end

-- Runs a mode file here: it is loaded once, its entry points are kept, and its _init starts it.
-- The mode comes back through HOME_RETURN when it is left.
local function home_run(file)
  if not modes[file] then
    _init, _loop, _event = nil, nil, nil
    require(file)
    modes[file] = {init = _init, loop = _loop, event = _event}
  end
  local mode = modes[file]
  if not mode.init then
    home_return()
    return
  end
  _init, _loop, _event = mode.init, mode.loop, mode.event
  HOME_RETURN = home_return
  _init()
end

-- The tab bar's and the pages' actions.
local function home_tab(value)
  if HOME_TAB_MODES[value] then
    home_run(HOME_TAB_MODES[value])
  elseif value == "tab:mods" then
    home_show(home_mods_page(), "mods")
  elseif value == "tab:settings" then
    w2_param_set("state", "settings")
  elseif value == "tab:quit" then
    w2_param_set("state", "exit")
  elseif value == "home" then
    home_show(HOME_PAGE, "home")
  elseif string.sub(value, 1, 4) == "mod:" then
    home_run(string.sub(value, 5))
  end
end

-- ---- entry points the engine calls

function home.init()
  w2_game_reset()
  home_show(HOME_PAGE, "home")
end

function home.loop(dt)
end

function home.event(e)
  if e.type == "onclick" and e.value then
    home_tab(tostring(e.value))
  elseif e.type == "quit" then
    w2_param_set("state", "exit")
  end
end

_init, _loop, _event = home.init, home.loop, home.event
