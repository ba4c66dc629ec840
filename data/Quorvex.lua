-- Quorvex.lua: the main script every windowed run starts: the home screen. Its tab strip leads to
-- the game's pages and modes, which the engine answers; the "home" tab is this script's own start
-- page, shown over the star field between the strip and the bottom band. A mode started from a tab
-- replaces this script, and when the mode is left the engine starts the home screen again.

-- The campaign is played through a web service: a game without one (no "web" param) offers none.
local function home_campaign()
  return w2_param_get("web") ~= nil
end

-- The strip, as a "tabs" list (see mod_api.lua): every name but "home" is one of the engine's tabs.
local function home_tabs()
  return "home=Home, play=Play, lite=Practice, mods=Mods, "
    .. (home_campaign() and "brevane=Campaign, " or "") .. "news=News, settings=Settings, quit=Quit"
end
local HOME_TAB = "home"

-- The start page: the logo, a welcome and the way to the rules; small enough for the largest UI size.
local function home_page()
  local modes = home_campaign() and "a quick match, practice on a random map, the campaign and more modes"
    or "a quick match, practice on a random map and more modes"
  return "<table><tr><td><img src='logo' width=240 />"
    .. "<tr><td><p width=360 align=center>Take the field planet by planet: " .. modes
    .. " wait in the tabs above.</p>"
    .. "<tr><td><p>&nbsp;</p>"
    .. "<tr><td><input type='button' value='How to play' onclick='help' width=160 />"
    .. "</table>"
end

-- The rules in short, with the way back.
local HELP_PAGE = "<table><tr><td><h2>How to play</h2>"
  .. "<tr><td><p width=360>Every planet holds ships, and the planets you own build more; big planets"
  .. " build faster.</p>"
  .. "<tr><td><p width=360>Click one of your planets, or drag a box round several, then click a target:"
  .. " a fleet sets off with the share of ships shown at the bottom of the screen. The mouse wheel or"
  .. " the keys 1 to 9 and 0 change that share.</p>"
  .. "<tr><td><p width=360>A fleet that lands on a planet fights its ships; land more than it holds and"
  .. " the planet is yours. Take every planet to win. Escape pauses a match.</p>"
  .. "<tr><td><p>&nbsp;</p>"
  .. "<tr><td><input type='button' value='Back' onclick='home' width=160 />"
  .. "</table>"

-- Shows one of the home screen's own pages under the strip.
local function home_show(page)
  w2_param_set("tab", HOME_TAB)
  w2_param_set("tabs", home_tabs())
  w2_param_set("html", page)
  w2_param_set("state", STATE_TABS)
end

-- The home screen's own answers: its tab, the page buttons and Escape ("resume"), which leads back
-- to the start page.
local HOME_ACTIONS = {
  ["tab:home"] = function() home_show(home_page()) end,
  ["home"] = function() home_show(home_page()) end,
  ["resume"] = function() home_show(home_page()) end,
  ["help"] = function() home_show(HELP_PAGE) end,
}

-- ---- entry points the engine calls

-- The menus' music, which every mode hands back when it is left.
local HOME_MUSIC = "mus-menu"

function _init()
  w2_game_reset()
  w2_play_music(HOME_MUSIC)
  home_show(home_page())
end

function _loop(dt)
end

function _event(e)
  if e.type == "onclick" and HOME_ACTIONS[e.value] then HOME_ACTIONS[e.value]() end
end
