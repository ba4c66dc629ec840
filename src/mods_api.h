// The running mod's context: everything the mod owns on the engine side, and the operations the
// w2_ functions call.
//
// Every operation reports a failure the same way: it sets the pending error (error_set) and returns a
// neutral value (0, none or nothing). The Lua binding raises the pending error once and clears it.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "container.h"
#include "kez_var.h"
#include "net_client.h"

struct Game;
struct sqlite3;

// The database wrapper: a connection handle that nothing in the game opens.
class DBWrap {
 public:
  sqlite3 *handle = nullptr;  // null while closed
  std::string path;

  DBWrap() = default;
  DBWrap(const DBWrap &) = delete;
  DBWrap &operator=(const DBWrap &) = delete;
  // Closes the connection when one is open.
  virtual ~DBWrap();
};

// One source file of the mod, as loaded by require.
struct ModsFile {
  std::string name;   // as the mod passed it to require
  std::string path;   // the path that was opened
  int64_t mtime = 0;  // the file's modification time when it was loaded, seconds
  std::string file;   // the cleaned name: key of a second require, chunk name, saved-data file name
};

// Particle numbers of ModsAPI::part_init, in record order from life on.
constexpr int MODS_PART_NUMBERS = 11;

// The root of the mod screen (mods_gui.cc). Its first child is the full-screen backdrop "none": it
// holds the focus until the player moves it to a control, and the arrow keys never move it back.
class ModsScreenRoot : public Container {
 public:
  var on_event(Event e) override;
};

// The context of the one running mod. Created by mods start, deleted by mods stop and shutdown.
class ModsAPI {
 public:
  ModsScreenRoot screen;                   // root of the mod screen
  Game *game;                              // the owning game; not owned
  var params;                              // the params dict through which the mod and the engine talk
  std::vector<std::string> console_lines;  // newest first, at most 255
  Container console;                       // the console page
  std::string console_input;               // the last line submitted on the console
  int console_shown = 0;
  std::string error;   // the pending API error, empty when none
  int error_flag = 0;  // 1 while an API error is pending
  DBWrap db;
  NetClient poke;                                     // the own endpoint of net_poke, serviced every frame
  std::vector<ModsFile> files;                        // in load order; element 0 is the main file
  std::map<std::string, std::string> markup_dropped;  // per markup param, what its last build left out
  std::set<std::string> sounds_checked;               // sound and music names looked for since the last reload

  // An empty context of game: no params, no console lines, no error, no files; the console page is
  // built unless the game is headless.
  explicit ModsAPI(Game *game);
  ModsAPI(const ModsAPI &) = delete;
  ModsAPI &operator=(const ModsAPI &) = delete;

  // Errors and the log.
  // Makes text the pending error (replacing an earlier one).
  void error_set(const std::string &text);
  // A copy of the pending error text; the flag is not changed.
  std::string error_get() const;
  // The one log and console entry: tabs become four spaces, carriage returns line feeds, and every
  // line holding more than spaces goes to the front of the console and to the log (there with control
  // bytes and bytes that are no UTF-8 escaped).
  void log_entry(const std::string &text);
  // log_entry of the formatted text.
  void logf(const char *format, ...) __attribute__((format(printf, 2, 3)));

  // Items by number and key (mods_items.cc).
  // True when 1 <= n <= 4095 and item n is in use; else logs "<tag>:<n> invalid item", sets the
  // error "invalid item" and returns false.
  bool item_lookup(int n, const char *tag);
  // item_lookup, then true when item n is of that kind ("user", "planet" or "fleet"); else logs
  // "<tag>:<n> not a <kind>", sets the error "not a <kind>" and returns false.
  bool item_is(int n, const char *tag, const char *kind);
  // The field of item n named key; none after an "invalid item" or "invalid key" error.
  var item_get(int n, const std::string &key);
  // Writes the field of item n named key; "invalid item", "invalid key" or "out of range" leave
  // the item untouched.
  void item_set(int n, const std::string &key, const var &value);
  // The numbers (ints) of the listed items the query selects; an empty list for no valid term.
  var items_find(const std::string &query);

  // The match and the mod's files (mods_world.cc).
  // Starts a new match: the world and the view's layout are reset, and a hosted server's clients
  // are told to reset too.
  void game_reset();
  // A new team's number; 0 when the item table is full.
  int team_init(const std::string &title, int color);
  // A new user's number; 0 when the item table is full.
  int user_init(const std::string &title, int color, int team);
  // A new planet's number; 0 for an invalid owner or a full table.
  int planet_init(int owner, float x, float y, float production, float ships);
  // A new fleet's number; 0 for an invalid owner, from or to (the first one is reported), or when
  // the fleet could not be made.
  int fleet_init(int owner, int from, int to, float ships);
  // The number of the fleet sent with percent of from's ships to to; 0 when nothing was sent.
  int fleet_send(int percent, int from, int to);
  // Destroys item n with what depends on it (a fleet's ships, a planet's incoming fleets). A user
  // that still owns a planet or a fleet is kept, with the error "user owns planets or fleets": its
  // items would name an owner that no longer exists.
  void item_destroy(int n);
  // Spawns one particle of that image over the oldest slot: life, x, y, size, angle, alpha,
  // velocity x and y, size rate, angle rate and alpha rate.
  void part_init(const std::string &type, const float numbers[MODS_PART_NUMBERS]);
  // Runs the mod file name once per run, from the main file's folder or the data folder; the
  // error "file missing" when neither has it.
  void require(const std::string &name);

  // Params, the mod screen and the services (mods_api.cc).
  // Stores a param and acts on the keys the engine knows ("state", "html", "data", ...). "data" that
  // cannot be kept (empty, over MODS_BIN_MAX bytes, a failed write) and markup past a cap, also on a
  // headless game, are the error.
  void param_set(const std::string &key, const var &value);
  // Stores a param without acting on it (the engine's own values); an equal value changes nothing.
  void param_store(const std::string &key, const var &value);
  // A param; "data" is read from the saved-data file. None when absent.
  var param_get(const std::string &key);
  // Rebuilds the console page and the mod screen from the "tabs" and "html" markup for the "state"
  // param; with keep_values the named widgets get their values back.
  void gui_build(bool keep_values);
  // The widgets of the markup in the param ("html" or "tabs"), built within the running chunk's
  // budget. A cap the markup hits is the error (the page keeps what was built); the elements it
  // leaves out are logged once for as long as they stay the same.
  Widget *markup_build(const std::string &param);
  // What markup_build tells of the markup in the param (the cap it meets, as the error), found without
  // building anything: a headless game's screen is never built.
  void markup_check(const std::string &param);
  // Places the "html" page by its alignment, then lays out and paints the mod screen.
  void gui_paint();
  // The size the mod screen is laid out in, UI units: the whole UI, or one half of its height while
  // two local players share the device ("player2" set, "state" "play" or "pause"), where the page is
  // shown once in each player's half.
  void screen_size(float &w, float &h);
  // Builds the console page: the "> " prompt and the "input" field at the bottom of the screen.
  void console_build();

  // The mods console (mods_console.cc): the mod's log over the screen, a Lua prompt that runs lines in
  // the mod's state, and the function keys F1 (toggle), F2 (clear) and F5 (restart the mod).
  // Offers one input event to the console of the game's running mod: 1 when the console consumed it,
  // 0 when the caller should handle it (always 0 without a mod). It takes the game rather than a
  // context because F5 replaces the context.
  static int console_event(Game *game, Event e);
  // Draws the console: the shaded page with the log while shown, the header bar once there is a line.
  void console_paint();
  // Sets the value of the mod screen's widget of that name; nothing when there is none.
  void gui_set(const std::string &name, const var &value);
  // The value of the mod screen's widget of that name; none when there is none.
  var gui_get(const std::string &name);
  // True for a port a mod may name, 1 to 65535; else logs it with the operation's name and sets the
  // error "invalid port".
  bool port_check(int port, const char *operation);
  // Queues a reliable message: on the hosted server unless to is "$", else on the game's client;
  // nothing without either.
  void net_send(const std::string &to, const std::string &type, const std::string &data);
  // Replaces the game's client with one joined to host:port ("" for the server in this process);
  // "invalid port" for a port outside 1..65535.
  void net_join(const std::string &host, int port);
  // Connects the own endpoint to host:port as "*" and queues one message and a disconnect; "invalid
  // port" for a port outside 1..65535.
  void net_poke(const std::string &host, int port, const std::string &title, const std::string &type,
                const std::string &data);
  // Appends a chat line in colour n; nothing without a chat.
  void chat_append(int32_t n, const std::string &text);
  // Replaces the chat's completion keywords with the texts of the list; nothing without a chat.
  void chat_keywords(const var &list);
  // Logs "ModsAPI::<operation>("<name>") file missing: <instead>" when no sound file of that name is
  // found. Each name is looked for once (the first MODS_SOUNDS_CHECKED_MAX names) until a reload.
  void sound_check(const char *operation, const std::string &name, const char *instead);
  // Plays a sample by name at the sound-effect volume; nothing when it cannot be found (logged once).
  void play_sound(const std::string &name);
  // Makes the music stream of that name the one heard; a missing one (logged once) fades all music out.
  void play_music(const std::string &name);
  // Queues a web service request; the reply reaches the mod as an "api:" event.
  void api_call(const std::string &action, const std::string &data);
  // There is no database: logs "n/a" and returns none.
  var db_query(const std::string &a, const std::string &b, const std::string &c, const var &values);
};

// A mod's number as a 32-bit integer, truncated toward zero. NaN gives 0 and numbers beyond the
// ends give the ends: no number from a mod becomes an undefined conversion.
int32_t mods_number_int(double v);
// True when a mod's number fits a finite float: the world holds no NaN or infinite position,
// amount or size, which no step, sync or drawing could make sense of.
bool mods_number_finite(double v);

// The sound names a mod's missing-sound check looks into, each once, until the mod is reloaded.
constexpr size_t MODS_SOUNDS_CHECKED_MAX = 256;

// Saved mod data: one cloud file per mod of at most MODS_BIN_MAX bytes.
constexpr size_t MODS_BIN_MAX = 65536;

// The saved-data base name of a mod file name: up to 16 letters and digits before the first '.',
// others as '_'; "_" when that leaves nothing.
std::string mods_bin_name(const std::string &name);
// Writes data as the saved data of that mod file; false (nothing written) for empty or over-long data
// and when the write fails.
bool mods_bin_save(const std::string &name, const std::string &data);
// The saved data of that mod file; empty when there is none.
std::string mods_bin_load(const std::string &name);
