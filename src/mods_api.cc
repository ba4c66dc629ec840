// The running mod's context: lifecycle, errors, the log, params, the mod screen's values, the
// services a mod reaches (net, sound, web, database) and its saved data.
#include "mods_api.h"

#include "chat.h"

#include <sqlite3.h>

#include <cfloat>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "game.h"
#include "game_audio.h"
#include "game_identity.h"
#include "game_net.h"
#include "game_web.h"
#include "kez_audio.h"
#include "kez_driver-files.h"
#include "kez_driver-steam.h"
#include "kez_log.h"
#include "kez_sound.h"
#include "net.h"
#include "trans.h"
#include "vantor_world.h"

constexpr size_t CONSOLE_LINES_MAX = 255;  // the console keeps this many lines, newest first
constexpr size_t MODS_BIN_NAME_MAX = 16;   // characters of a mod file name the saved-data name keeps
constexpr int TRANS_FADE = 2;              // the screen transition of a state switch

DBWrap::~DBWrap() {
  if (handle) sqlite3_close(handle);
  handle = nullptr;
}

ModsAPI::ModsAPI(Game *owner) : game(owner) {
  var_dict0(params);
  if (!game->headless) console_build();
}

void ModsAPI::error_set(const std::string &text) {
  error_flag = 1;
  error = text;
}

std::string ModsAPI::error_get() const { return error; }

void ModsAPI::log_entry(const std::string &text) {
  std::string lines = str_replace(str_replace(text, "\t", "    "), "\r", "\n");
  size_t start = 0;
  while (start <= lines.size()) {
    size_t end = lines.find('\n', start);
    if (end == std::string::npos) end = lines.size();
    std::string piece = lines.substr(start, end - start);
    start = end + 1;
    if (piece.find_first_not_of(' ') == std::string::npos) continue;  // empty or only spaces
    console_lines.insert(console_lines.begin(), piece);
    LOG_PRINTF("ModsAPI: %s\n", log_escape(piece, piece.size()).c_str());  // a mod may echo what peers sent
    if (console_lines.size() > CONSOLE_LINES_MAX) console_lines.resize(CONSOLE_LINES_MAX);
  }
}

void ModsAPI::logf(const char *format, ...) {
  va_list args;
  va_start(args, format);
  std::string text;
  bool ok = str_vformat(text, format, args);
  va_end(args);
  if (ok) log_entry(text);
}

// Copies text into a fixed World text field, clearing it first so no old bytes travel on.
static void _mods_world_text(char *field, size_t size, const std::string &text) {
  memset(field, 0, size);
  vantor_text_copy(field, size, text.c_str());
}

// True when data fits the saved-data file; else logs it and sets the error. Dropped without a word,
// it would be lost while the mod counts on it.
static bool _mods_data_fits(ModsAPI *api, const std::string &data) {
  if (!data.empty() && data.size() <= MODS_BIN_MAX) return true;
  api->logf("ModsAPI::param_set: saved data of %zu bytes not kept (1 to %zu bytes are)\n", data.size(), MODS_BIN_MAX);
  api->error_set("saved data must be 1 to " + std::to_string(MODS_BIN_MAX) + " bytes");
  return false;
}

// Saves data as the running mod's; a write that fails is the error (the log tells why).
static void _mods_data_save(ModsAPI *api, const std::string &data) {
  if (mods_bin_save(api->files[0].file, data)) return;
  api->logf("ModsAPI::param_set: saved data of %zu bytes could not be written\n", data.size());
  api->error_set("saved data could not be written");
}

void ModsAPI::param_set(const std::string &key, const var &value) {
  if (key == "state" && value.type() == VAR_STRING && value.str() == "settings") {
    state_push(&game->names, "menus_settings_popup");
    return;
  }
  if (key == "data" && !_mods_data_fits(this, value.str())) return;
  bool changed = params.has(var(key)) ? !(var_index_string(params, key) == value) : value.type() != VAR_NONE;
  if (changed) var_index_string(params, key) = value;
  World *world = &game->data.vantor;
  if (key == "bkgr_src") _mods_world_text(world->background, sizeof world->background, value.str());
  if (key == "data" && !files.empty()) _mods_data_save(this, value.str());
  if (key == "status") _mods_world_text(world->status, sizeof world->status, value.str());
  if (key == "name" && changed) game_user_name_set(game, value.str());  // the name shown online
  if (!changed) return;
  if (game->headless) {
    // No screen is built, but the mod learns of markup past a cap as a windowed game's would.
    if (key == "html" || key == "tabs") markup_check(key);
    return;
  }
  if (key == "html") gui_build(false);
  if (key == "tabs") gui_build(true);
  if (key == "state") {
    trans_capture(1, TRANS_FADE, game);
    param_store("remove_quit", var(false));
    gui_build(true);
    view_refresh(&game->view, world);
  }
}

void ModsAPI::param_store(const std::string &key, const var &value) {
  var &entry = var_index_string(params, key);
  if (!(entry == value)) entry = value;
}

var ModsAPI::param_get(const std::string &key) {
  if (key == "data") return var(files.empty() ? std::string() : mods_bin_load(files[0].file));
  if (!params.has(var(key))) return var();
  return var_index_string(params, key);
}

void ModsAPI::gui_set(const std::string &name, const var &value) {
  Widget *widget = screen.find(name.c_str());
  if (widget) widget->set_value(value);
}

var ModsAPI::gui_get(const std::string &name) {
  Widget *widget = screen.find(name.c_str());
  return widget ? widget->get_value() : var();
}

void ModsAPI::net_send(const std::string &to, const std::string &type, const std::string &data) {
  if (game->server && to != "$") {
    game->server->send(to, type, data, NET_RELIABLE);
  } else if (game->client) {
    game->client->send(to, type, data, NET_RELIABLE);
  }
}

bool ModsAPI::port_check(int port, const char *operation) {
  // 0 would have the system pick a port the mod cannot learn; past 65535, cut to 16 bits, it would
  // knock on somebody else's door.
  if (port >= 1 && port <= UINT16_MAX) return true;
  logf("ModsAPI::%s: invalid port %d\n", operation, port);
  error_set("invalid port");
  return false;
}

void ModsAPI::net_join(const std::string &host, int port) {
  if (port_check(port, "net_join")) game_net_join(game, host, port);
}

void ModsAPI::net_poke(const std::string &host, int port, const std::string &title, const std::string &type,
                       const std::string &data) {
  if (!port_check(port, "net_poke")) return;
  poke.close();
  // A poke that never got through must not deliver its message to the next host, nor keep what it heard.
  poke.outgoing.clear();
  poke.incoming.clear();
  poke.setup(host, (uint16_t)port, "*", title, "");
  poke.open();
  poke.send("", type, data, NET_RELIABLE);
  poke.send("", "disconnect", "", NET_RELIABLE);
}

void ModsAPI::chat_append(int32_t n, const std::string &text) {
  if (game->chat) game->chat->line_add(n, text);
}

void ModsAPI::chat_keywords(const var &list) {
  if (!game->chat) return;
  std::vector<std::string> words;
  var it = list.iter(), value;
  while (it.next(value)) words.push_back(value.str());
  game->chat->keywords = words;
}

// Tells the mod once per name that no file of the sound it plays exists, and what happens instead:
// a loop playing it must not flood the console. Only so many names are looked into, and a name no
// path holds is never found, so what is remembered stays small whatever the mod names.
void ModsAPI::sound_check(const char *operation, const std::string &name, const char *instead) {
  const std::string shown = name.substr(0, SOUND_PATH_MAX);
  if (sounds_checked.size() >= MODS_SOUNDS_CHECKED_MAX || !sounds_checked.insert(operation + shown).second) return;
  if (!sound_found(shown.c_str())) logf("ModsAPI::%s(\"%s\") file missing: %s\n", operation, shown.c_str(), instead);
}

void ModsAPI::play_sound(const std::string &name) {
  sound_check("play_sound", name, "nothing plays");
  driver_audio_sample_play(sound_sample_load(name.c_str()), game->settings.sound_volume / 100.0f, 0.0f);
}

void ModsAPI::play_music(const std::string &name) {
  sound_check("play_music", name, "the music fades out");
  GameAudio::play_music(name.c_str());
}

void ModsAPI::api_call(const std::string &action, const std::string &data) {
  game_web_request(game, action.c_str(), data);
}

var ModsAPI::db_query(const std::string &, const std::string &, const std::string &, const var &) {
  log_entry("n/a");
  return var();
}

int32_t mods_number_int(double v) {
  if (v != v) return 0;
  if (v <= (double)INT32_MIN) return INT32_MIN;
  if (v >= (double)INT32_MAX) return INT32_MAX;
  return (int32_t)v;
}

bool mods_number_finite(double v) { return v >= -FLT_MAX && v <= FLT_MAX; }

std::string mods_bin_name(const std::string &name) {
  std::string out;
  for (size_t i = 0; i < name.size() && i < MODS_BIN_NAME_MAX && name[i] != '.'; i++) {
    char c = name[i];
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    out += plain ? c : '_';
  }
  return out.empty() ? "_" : out;
}

bool mods_bin_save(const std::string &name, const std::string &data) {
  if (data.empty() || data.size() > MODS_BIN_MAX) return false;
  return driver_cloud_write((mods_bin_name(name) + ".bin").c_str(), data.data(), data.size());
}

std::string mods_bin_load(const std::string &name) {
  return driver_cloud_read_string((mods_bin_name(name) + ".bin").c_str());
}
