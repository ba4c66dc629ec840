// The user's settings and identity: one fixed record stored whole in two files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Game;

// 712 little-endian 32-bit words. Tri-state words: 0 unset, 1 on, -1 off.
// Words 0..261 come from the local file, the rest from the cloud file.
struct GameSettings {
  int32_t version;       // forced to 4 after every load
  int32_t music_volume;  // 0..100
  int32_t sound_volume;  // 0..100
  int32_t vres;          // <= 0 automatic, else width << 16 | height
  int32_t vfull;         // -1 windowed, anything else fullscreen
  int32_t vsize;         // UI units on the screen's shorter side
  int32_t reserved1[257];
  char user_name[64];
  char password[64];
  char device_id[64];
  char login_id[64];
  char display_name[64];
  char token[64];
  char server_uid[64];
  char server_name[64];
  int32_t logged_in;
  int32_t ui_box;
  int32_t ui_double_select;
  int32_t ui_double_reinforce;
  int32_t ui_nonplayer_select;
  int32_t ui_percent;
  int32_t ui_scroll;
  int32_t ui_wheel_invert;
  int32_t ui_slider;
  int32_t ui_num_chat;
  int32_t ui_right_only;
  int32_t ui_drag_drop;
  int32_t ui_lefty;
  int32_t ui_multitouch;
  int32_t ui_colorblind;
  int32_t ui_unnamed[2];
  int32_t reserved2[304];
};

static_assert(sizeof(GameSettings) == 2848, "GameSettings is stored as 2848 raw bytes");
static_assert(offsetof(GameSettings, vsize) == 5 * 4, "word 5");
static_assert(offsetof(GameSettings, user_name) == 263 * 4, "word 263");
static_assert(offsetof(GameSettings, token) == 343 * 4, "word 343");
static_assert(offsetof(GameSettings, logged_in) == 391 * 4, "word 391");
static_assert(offsetof(GameSettings, ui_colorblind) == 405 * 4, "word 405");
static_assert(offsetof(GameSettings, reserved2) == 408 * 4, "word 408");

// The window sizes a player can choose, as the resolution word stores them (width << 16 | height).
constexpr int GAME_SETTINGS_VRES_COUNT = 8;
extern const int32_t GAME_SETTINGS_VRES[GAME_SETTINGS_VRES_COUNT];

// Copies text into a fixed text field, cut to fit with the NUL kept.
void game_settings_copy_text(char *field, size_t size, const char *text);
// The text of a fixed text field, which a record read from a file may leave without its NUL.
std::string game_settings_text(const char *field, size_t size);

// Loads both settings files, merges them, applies defaults, pulls every word into its range and sets
// the forced values (nothing headless). A file that is no whole record of a known version with ended
// texts is damaged: it is set aside (DRIVER_ASIDE_SUFFIX) and not taken. One that cannot be read
// is kept as found and not written this run. Either is logged; for the cloud file the local file's
// copy of the record stands in, else the defaults do.
void game_settings_load(GameSettings *settings);
// Writes both settings files, each replaced whole or not at all (nothing headless), except one the
// last load kept as found; false when either was not written, in which case that file keeps its
// earlier content.
bool game_settings_save(GameSettings *settings);
// Fills device id, login id, display name and token from the name, password or social identity.
void game_identity_update(Game *game);
// The 32 lower-case hex digits of the MD5 digest of the bytes.
void md5_hex(const void *data, size_t length, char out[33]);
std::string md5_hex(const std::string &text);
// The first up, non-loopback adapter's hardware address, or "none".
std::string get_mac_address();
