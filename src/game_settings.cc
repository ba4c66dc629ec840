// The user's settings and identity: one fixed record stored whole in two files.
#include "game_settings.h"

#include <net/if.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "game.h"
#include "kez_driver-files.h"
#include "kez_driver-steam.h"
#include "kez_log.h"
#include "kez_md5.h"
#include "kez_netif.h"
#include "kez_social.h"

static const char *SETTINGS_CLOUD = "settings-cloud.dat";
static const char *SETTINGS_LOCAL = "settings-local.dat";
static const int LOCAL_WORDS = 262;  // words 0..261 belong to this machine

const int32_t GAME_SETTINGS_VRES[GAME_SETTINGS_VRES_COUNT] = {
    480 << 16 | 320,   640 << 16 | 480,   640 << 16 | 640,   640 << 16 | 960,   800 << 16 | 600,
    1024 << 16 | 768,  1280 << 16 | 720,  1920 << 16 | 1080, 1280 << 16 | 800,  1366 << 16 | 768,
    1440 << 16 | 900,  1600 << 16 | 900,  1680 << 16 | 1050, 1920 << 16 | 1200, 2560 << 16 | 1440};

void game_settings_copy_text(char *field, size_t size, const char *text) {
  if (size == 0) return;
  snprintf(field, size, "%s", text ? text : "");
}

std::string game_settings_text(const char *field, size_t size) { return std::string(field, strnlen(field, size)); }

static void _settings_read_cloud(GameSettings *out) {
  memset(out, 0, sizeof *out);
  std::string bytes = driver_cloud_read_string(SETTINGS_CLOUD);
  memcpy(out, bytes.data(), bytes.size() < sizeof *out ? bytes.size() : sizeof *out);
}

static void _settings_read_local(GameSettings *out) {
  memset(out, 0, sizeof *out);
  const std::string path = driver_user_path(SETTINGS_LOCAL);
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return;
  size_t got = fread(out, 1, sizeof *out, f);
  (void)got;  // a short file leaves zero words, which the defaults then fill
  fclose(f);
}

static void _settings_default(int32_t *word, int32_t value) {
  if (*word == 0) *word = value;
}

static void _settings_defaults(GameSettings *s) {
  if (s->vres == 0) s->vres = -1;
  _settings_default(&s->vfull, 1);
  _settings_default(&s->vsize, 480);
  static const int32_t ui_defaults[16] = {1, 1, -1, -1, 50, 1, -1, 1, -1, -1, 1, -1, -1, -1, -1, -1};
  for (int i = 0; i < 16; i++) _settings_default(&s->ui_box + i, ui_defaults[i]);
  s->version = 4;
  s->ui_nonplayer_select = -1;
  s->ui_scroll = 1;
  s->ui_wheel_invert = -1;
  s->ui_num_chat = -1;
  s->ui_multitouch = 1;
}

static bool _settings_vres_listed(int32_t vres) {
  return std::find(std::begin(GAME_SETTINGS_VRES), std::end(GAME_SETTINGS_VRES), vres) != std::end(GAME_SETTINGS_VRES);
}

// The listed UI size nearest to the stored one (the smaller on a tie).
static int32_t _settings_vsize_nearest(int32_t vsize) {
  static const int32_t SIZES[] = {320, 480, 640, 960};
  int32_t best = SIZES[0];
  for (int32_t size : SIZES) {
    if (llabs((long long)vsize - size) < llabs((long long)vsize - best)) best = size;
  }
  return best;
}

// A damaged or hand-made file may hold any word: each is pulled into the range its readers expect,
// so a volume never becomes a gain above 1 and no window of an unlisted size is tried. Values that
// are already valid stay exactly as stored.
static void _settings_clamp_words(GameSettings *s) {
  s->music_volume = std::clamp<int32_t>(s->music_volume, 0, 100);
  s->sound_volume = std::clamp<int32_t>(s->sound_volume, 0, 100);
  if (s->vres != -1 && !_settings_vres_listed(s->vres)) s->vres = -1;
  if (s->vfull != -1) s->vfull = 1;  // only -1 means windowed
  s->vsize = _settings_vsize_nearest(s->vsize);
  s->logged_in = s->logged_in != 0;
  for (int32_t *w = &s->ui_box; w <= &s->ui_unnamed[1]; w++) {
    if (w != &s->ui_percent) *w = std::clamp<int32_t>(*w, -1, 1);  // the option words are tri-states
  }
  s->ui_percent = std::clamp<int32_t>(s->ui_percent, 5, 100);  // what an order may send
}

// Text fields read from a file may lack their NUL.
static void _settings_terminate(GameSettings *s) {
  char *fields[] = {s->user_name,    s->password, s->device_id,  s->login_id,
                    s->display_name, s->token,    s->server_uid, s->server_name};
  for (char *f : fields) f[63] = 0;
}

void game_settings_load(GameSettings *s) {
  if (game && game->headless) return;
  GameSettings cloud, local;
  _settings_read_cloud(&cloud);
  _settings_read_local(&local);
  *s = cloud;
  memcpy(s, &local, LOCAL_WORDS * 4);
  s->version = cloud.version;
  if (local.version == 0) s->music_volume = s->sound_volume = 50;
  _settings_defaults(s);
  _settings_clamp_words(s);
  _settings_terminate(s);
  if (game) game_identity_update(game);
}

bool game_settings_save(GameSettings *s) {
  if (game && game->headless) return true;
  bool cloud = driver_cloud_write(SETTINGS_CLOUD, s, sizeof *s);
  bool local = driver_user_write(SETTINGS_LOCAL, s, sizeof *s);
  return cloud && local;
}

void md5_hex(const void *data, size_t length, char out[33]) {
  Md5Ctx ctx = MD5_CTX_INITIAL;
  md5_update(&ctx, data, length);
  uint8_t digest[16];
  md5_final(&ctx, digest);
  for (int i = 0; i < 16; i++) snprintf(out + 2 * i, 3, "%02x", digest[i]);
}

std::string md5_hex(const std::string &text) {
  char out[33];
  md5_hex(text.data(), text.size(), out);
  return out;
}

// The first adapter that is up, is not loopback and has a hardware address: Linux lists the
// loopback first, whose all-zero address would give every machine the same device id.
static bool _settings_mac_usable(const NetIfRecord *r) {
  bool has_mac = false;
  for (uint8_t b : r->hwaddr) has_mac = has_mac || b != 0;
  return (r->flags & IFF_UP) && !(r->flags & IFF_LOOPBACK) && has_mac;
}

std::string get_mac_address() {
  NetIfRecord **list = netif_list();
  std::string mac = "none";
  for (NetIfRecord **r = list; r && *r; r++) {
    if (!_settings_mac_usable(*r)) continue;
    LOG_PRINTF("%s: %s (%s)", (*r)->name, (*r)->address_text, (*r)->hwaddr_text);
    mac = (*r)->hwaddr_text;
    break;
  }
  netif_list_free(list);
  return mac;
}

static void _identity_set(GameSettings *s, const std::string &name, const std::string &login,
                          const std::string &token) {
  game_settings_copy_text(s->display_name, sizeof s->display_name, name.c_str());
  game_settings_copy_text(s->login_id, sizeof s->login_id, login.c_str());
  game_settings_copy_text(s->token, sizeof s->token, token.c_str());
}

void game_identity_update(Game *g) {
  GameSettings *s = &g->settings;
  if (!s->device_id[0]) {
    std::string id = get_mac_address() + "-" + std::to_string((long)time(nullptr));
    game_settings_copy_text(s->device_id, sizeof s->device_id, id.c_str());
  }
  _identity_set(s, "", "", "");
  if (s->user_name[0]) {
    std::string user = s->user_name;
    _identity_set(s, user, "g:" + user, md5_hex(user + "|" + md5_hex(std::string(s->password))));
  } else if (social_logged_in() && !social_uuid().empty()) {
    std::string uuid = social_uuid(), name = social_name();
    _identity_set(s, name, uuid, md5_hex(name + "|" + uuid));
  } else {
    std::string login = std::string("a:") + s->device_id;
    _identity_set(s, "Anonymous", login, md5_hex(login + "|" + md5_hex(std::string("velum"))));
  }
}
