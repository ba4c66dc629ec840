-- mod_api.lua: names and small helpers over the engine's w2_ functions, loaded before every mod.

-- Relation bits of an item to a viewing user; ui_ships_show_mask and ui_to_mask are masks of them.
REL_OWN = 1
REL_TEAM = 2
REL_NEUTRAL = 4
REL_ENEMY = 8
REL_REVEALED = 16

-- Values of the "state" param: the screen the engine shows for the mod.
STATE_MENU = "menu"
STATE_PLAY = "play"
STATE_PAUSE = "pause"
STATE_LOBBY = "lobby"
STATE_SCENE = "scene"
STATE_DIALOG = "dialog"
STATE_OVERLAY = "overlay"
STATE_TABS = "tabs"
STATE_QUIT = "quit"

-- The tabs state (STATE_TABS) shows the world between two bands: a tab strip above it, made by the
-- engine from two params, and below it a bar back to the screen underneath, when there is one.
--   "tabs": the tabs from left to right, a text of entries separated by commas, each NAME or
--           NAME=Label (the label is the name when none is given), for example
--           "home=Home, play=Play, mods=Mods, settings=Settings, quit=Quit". Every tab is the same
--           width and the labels shrink together until the widest fits, so keep them short.
--   "tab":  the NAME of the selected tab.
-- A click on a tab is the action {type = "onclick", value = "tab:" .. NAME}. The engine answers its
-- own tabs: lite (practice), play, mods, stats, clans, store, news, settings (and settings:account,
-- settings:audio, settings:video, settings:controls, settings:options), brevane (the campaign; the
-- sign-in page first when the player is not signed in; it needs a web service, which the param "web"
-- tells) and quit. Any other NAME is the mod's own tab and its click reaches _event. The "html" page
-- lies between the bands. Escape presses the bottom bar; without one it reaches _event as the click
-- {type = "onclick", value = "resume"}.
-- A "tabs" text that begins with "<" is markup instead: it is built as the mod's own bar in the tabs,
-- xtabs and lobby states, and every click on it reaches _event.

-- Item fields by the table: read the named keys of item n into a table, or write a table of them.
function item_fields(n, keys)
  local fields = {}
  for _, key in ipairs(keys) do fields[key] = w2_item_get(n, key) end
  return fields
end

function item_update(n, fields)
  for key, value in pairs(fields) do w2_item_set(n, key, value) end
end

-- Counting and picking with the items_find query language.
function items_count(query)
  return #w2_items_find(query)
end

function items_first(query)
  return w2_items_find(query)[1]
end

-- Params: set one only while it has no value, so a command-line value wins.
function param_default(key, value)
  if w2_param_get(key) == nil then w2_param_set(key, value) end
end

-- Networked matches, as the engine runs them:
-- * w2_net_host(port) returns true when this game now hosts the match server; false when the port
--   is taken (a windowed game shows the player why, a dedicated server ends with status 255).
-- * On a game that only mirrors a server's world (a client that does not host), w2_fleet_send and
--   w2_fleet_redirect ask the server instead of changing the world here: w2_fleet_send returns 0,
--   and the fleet arrives with the server's next sync.
-- * The "uid" and "name" params are the id and name this game goes by on the network; they follow
--   a login made while the mod runs when the mod next joins a server. "uid" is the id servers show
--   (the one the game proves itself with never leaves it), the same on every server. A mod that sets
--   "name" gives the player that name: it is kept in the settings and joined with.
-- * A server shows each player's name cleaned (no markup, no control characters, at most 15 bytes)
--   and numbered when another joined player has it ("Alice 2"); events carry that name.
