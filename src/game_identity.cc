// The network identity: a stable id of the user folder's own, and the id and name a game goes by.
#include "game_identity.h"
#include "game_identity_internal.h"

#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>

#include "game.h"
#include "game_settings.h"
#include "kez_driver-files.h"
#include "kez_log.h"

static const char *NET_ID_FILE = "network-id.txt";
static const char *NET_ID_PREFIX = "a:";
static const size_t NET_ID_DIGITS = GAME_UID_MAX - 2;
static const size_t NET_ID_READ_MAX = 64;  // far more than an id and its line end: what is longer is no id

// Open to the tests: whether a stored id is one this module could have made.
bool _game_net_id_valid(const std::string &id) {
  if (id.size() != GAME_UID_MAX || id.compare(0, 2, NET_ID_PREFIX) != 0) return false;
  for (size_t i = 2; i < id.size(); i++) {
    const char c = id[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Random hex digits from the kernel; when it has none to give, a digest of what differs between two
// runs (time, process, the folder) still keeps ids apart.
static std::string _game_net_id_digits() {
  unsigned char bytes[16];
  if (getrandom(bytes, sizeof bytes, 0) != (ssize_t)sizeof bytes) {
    std::string seed = std::to_string((long)time(nullptr)) + "|" + std::to_string((long)getpid()) + "|" +
                       std::to_string((long)clock()) + "|" + driver_user_dir();
    return md5_hex(seed).substr(0, NET_ID_DIGITS);
  }
  char hex[33];
  md5_hex(bytes, sizeof bytes, hex);
  return std::string(hex, NET_ID_DIGITS);
}

// Moves a file that holds no id out of the way of a new one, keeping its bytes; false, with the file
// in place, when it cannot. Logs which.
static bool _game_net_id_set_aside() {
  const int cause = driver_user_set_aside(NET_ID_FILE);
  if (cause)
    LOG_PRINTF("%s holds no network id and cannot be set aside (%s): kept as it is; this run goes by an id of its own",
               NET_ID_FILE, strerror(cause));
  else
    LOG_PRINTF("%s holds no network id: set aside as %s%s; a new id replaces it", NET_ID_FILE, NET_ID_FILE,
               DRIVER_ASIDE_SUFFIX);
  return cause == 0;
}

// The id stored in the user folder; "" when there is none to take, and then *keep says whether a
// file is there that the game must leave as it is (it cannot be read, or holds no id and cannot be
// set aside). What the game does about a file it cannot take is logged.
static std::string _game_net_id_stored(bool *keep) {
  *keep = false;
  std::string text;
  const int cause = driver_user_load(NET_ID_FILE, &text, NET_ID_READ_MAX);
  if (cause == ENOENT) return "";
  if (cause) {
    *keep = true;
    LOG_PRINTF("%s cannot be read (%s): kept as it is; this run goes by an id of its own", NET_ID_FILE,
               strerror(cause));
    return "";
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty() || _game_net_id_valid(text)) return text;
  *keep = !_game_net_id_set_aside();
  return "";
}

// Open to the tests: this user folder's own network id: "a:" and 13 hex digits drawn at random the
// first time and kept in the user folder, so it lasts across runs and two user folders never share
// one. Made again, for this run only, when the folder cannot keep it or holds a file of that name
// the game cannot take.
std::string game_net_id() {
  // One id per user folder for the whole run, even when the folder cannot keep it.
  static std::map<std::string, std::string> made;
  const std::string dir = driver_user_dir();
  auto known = made.find(dir);
  if (known != made.end()) return known->second;
  bool keep;
  std::string id = _game_net_id_stored(&keep);
  if (id.empty()) {
    id = NET_ID_PREFIX + _game_net_id_digits();
    std::string line = id + "\n";
    if (!keep && !driver_user_write(NET_ID_FILE, line.data(), line.size()))
      LOG_PRINTF("cannot keep the network id in %s/%s: it lasts this run only", dir.c_str(), NET_ID_FILE);
  }
  made[dir] = id;
  return id;
}

std::string game_user_uid(const Game *) { return game_net_id(); }

std::string game_user_name(const Game *g) {
  if (g->shown_name[0]) return g->shown_name;
  const GameSettings &s = g->settings;
  std::string name = s.logged_in ? game_settings_text(s.server_name, sizeof s.server_name) : "";
  if (name.empty()) name = game_settings_text(s.display_name, sizeof s.display_name);
  return name.empty() ? "Anonymous" : name;
}

void game_user_name_set(Game *g, const std::string &name) {
  if (name.empty() || name == game_user_name(g)) return;
  game_settings_copy_text(g->shown_name, sizeof g->shown_name, name.c_str());
}
