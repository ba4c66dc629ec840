// World operations for mods: match set-up, particles and the mod's files.
#include "mods_world.h"
#include "mods_world_internal.h"

#include <cstdio>
#include <cstring>

#include "game.h"
#include "game_net.h"
#include "kez_driver-files.h"
#include "kez_log.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "trans.h"
#include "vantor_client.h"
#include "vantor_fleet.h"
#include "vantor_step.h"
#include "vantor_world.h"

constexpr int TRANS_FADE = 2;  // the screen transition of a new match

// The number of an item a creator returned; 0 for the dummy of a full table.
static int _mods_item_number(const Item *item) { return item->in_use ? (int)item->n : 0; }

void ModsAPI::game_reset() {
  trans_capture(1, TRANS_FADE, game);
  vantor_world_reset(&game->data.vantor);
  game->view.initialised = 0;
  if (game->server) net_send("", "R", "");
}

int ModsAPI::team_init(const std::string &title, int color) {
  return _mods_item_number(vantor_team_init(&game->data.vantor, (uint32_t)color, title.c_str()));
}

int ModsAPI::user_init(const std::string &title, int color, int team) {
  return _mods_item_number(vantor_user_init(&game->data.vantor, (uint32_t)color, team, title.c_str()));
}

int ModsAPI::planet_init(int owner, float x, float y, float production, float ships) {
  if (!item_lookup(owner, "planet_init:uid")) return 0;
  return _mods_item_number(vantor_planet_init(&game->data.vantor, owner, x, y, production, ships));
}

int ModsAPI::fleet_init(int owner, int from, int to, float ships) {
  if (!item_lookup(owner, "fleet_init:uid") || !item_lookup(from, "fleet_init:from") ||
      !item_lookup(to, "fleet_init:to")) {
    return 0;
  }
  return _mods_item_number(vantor_fleet_init(&game->data.vantor, from, owner, ships, to));
}

int ModsAPI::fleet_send(int percent, int from, int to) {
  if (!item_lookup(from, "fleet_send:from") || !item_lookup(to, "fleet_send:to")) return 0;
  return vantor_order_send(game_net_order_client(game), &game->data.vantor, percent, from, to);
}

void ModsAPI::item_destroy(int n) {
  if (!item_lookup(n, "item_destroy:n")) return;
  World *world = &game->data.vantor;
  for (int m = 1; world->items[n].has_user && m < VANTOR_ITEMS; m++) {
    const Item &item = world->items[m];
    if (!item.in_use || !(item.has_planet || item.has_fleet) || item.owner_n != n) continue;
    logf("ModsAPI::item_destroy:%d user owns item %d\n", n, m);
    error_set("user owns planets or fleets");
    return;
  }
  vantor_item_destroy(world, n);
}

void ModsAPI::part_init(const std::string &type, const float numbers[MODS_PART_NUMBERS]) {
  Part *part = vantor_part_alloc(&game->data.vantor);
  vantor_text_copy(part->image, sizeof part->image, type.c_str());
  float *fields[MODS_PART_NUMBERS] = {&part->life,      &part->x,          &part->y,         &part->size,
                                      &part->angle,     &part->alpha,      &part->vx,        &part->vy,
                                      &part->size_rate, &part->angle_rate, &part->alpha_rate};
  for (int i = 0; i < MODS_PART_NUMBERS; i++) *fields[i] = numbers[i];
}

// Open to the tests: the file name require uses for a mod's name: ".." becomes "_", the folder part
// is dropped and ".lua" is added when the name holds no '.'. It never leaves the folder it is
// looked up in.
std::string mods_file_name(const std::string &name) {
  std::string file = str_replace(str_replace(name, "..", "_"), "\\", "/");
  size_t slash = file.rfind('/');
  if (slash != std::string::npos) file = file.substr(slash + 1);
  if (file.find('.') == std::string::npos) file += ".lua";
  return file;
}

// The folder of the game's main mod file; "." for a bare file name.
static std::string _mods_folder(const Game *g) {
  std::string main =
      str_replace(std::string(g->mod_file, strnlen(g->mod_file, sizeof g->mod_file)), "\\", "/");
  size_t slash = main.rfind('/');
  return slash == std::string::npos ? "." : main.substr(0, slash);
}

// True when path opens for reading.
static bool _mods_readable(const std::string &path) {
  FILE *probe = fopen(path.c_str(), "rb");
  if (probe) fclose(probe);
  return probe != nullptr;
}

// name with every NUL byte shown as "\0", for messages.
static std::string _mods_shown(const std::string &name) { return str_replace(name, std::string(1, '\0'), "\\0"); }

void ModsAPI::require(const std::string &name) {
  // The file would be opened by the name before its first NUL byte: some other file.
  if (name.find('\0') != std::string::npos) {
    logf("ModsAPI::require(\"%s\") NUL byte in the name\n", _mods_shown(name).c_str());
    error_set("NUL byte in the file name " + _mods_shown(name));
    return;
  }
  std::string file = mods_file_name(name);
  for (const ModsFile &loaded : files) {
    if (loaded.file == file) return;  // each file runs once per run
  }
  std::string folder = _mods_folder(game);
  if (app_info) {
    memset(app_info->data_override, 0, sizeof app_info->data_override);
    vantor_text_copy(app_info->data_override, sizeof app_info->data_override, folder.c_str());
  }
  std::string path = folder + "/" + file;
  if (!_mods_readable(path)) path = driver_data_path(file.c_str());
  if (!_mods_readable(path)) {
    logf("ModsAPI::require(\"%s\") file missing\n", name.c_str());
    error_set("file missing");
    return;
  }
  files.push_back({name, path, driver_file_mtime(path.c_str()), file});
  LOG_PRINTF("ModsAPI::require: %s\n", path.c_str());
  std::string text = driver_file_string(path.c_str());
  // The runtime takes the text up to its first NUL byte: the rest would be dropped without a word.
  if (text.find('\0') != std::string::npos) {
    logf("ModsAPI::require(\"%s\") NUL byte in %s\n", name.c_str(), path.c_str());
    error_set("NUL byte in the file " + file);
    return;
  }
  if (game->mods_base) game->mods_base->script(text.c_str(), file.c_str());
}
