// Extension calls: the one build-specific hook of the mod API, dispatching a mod's call by name.
#include "builds.h"

#include <cstdio>

#include "game.h"
#include "game_web.h"
#include "kez_driver-steam.h"
#include "kez_json.h"
#include "kez_log.h"
#include "mods_api.h"

char builds_platform_id[BUILDS_PLATFORM_ID_MAX];

// The text of key in the mod's JSON object; the text of none when args is not an object or lacks it.
static std::string _builds_arg_text(const std::string &args, const char *key) {
  var decoded = json_decode_string(args);
  if (decoded.type() != VAR_DICT || !decoded.has(var(key))) return var().str();
  return decoded[key].str();
}

// Copies the id of key into the platform id buffer; false (the buffer emptied) when it does not fit,
// since a cut id would name some other leaderboard or achievement.
static bool _builds_platform_id_set(const std::string &args, const char *key) {
  const std::string id = _builds_arg_text(args, key);
  if (id.size() >= BUILDS_PLATFORM_ID_MAX) {
    builds_platform_id[0] = 0;
    LOG_PRINTF("builds: %s of %zu bytes refused\n", key, id.size());
    return false;
  }
  snprintf(builds_platform_id, sizeof builds_platform_id, "%s", id.c_str());
  return true;
}

static void _builds_scores(Game *g, const std::string &args) {
  if (_builds_platform_id_set(args, "lid")) driver_social_leaderboard_submit();
  game_web_request(g, "scores", args);  // the mod's text goes to the web service as it came
}

static void _builds_achievement(const std::string &args) {
  if (_builds_platform_id_set(args, "aid")) driver_social_achievement(builds_platform_id);
}

static void _builds_leaderboard(Game *g, const std::string &args) {
  _builds_platform_id_set(args, "lid");
  game_web_request(g, "leaderboard", args);
}

// Takes the quit icon off the mod screen for good: the param keeps gui_build from adding it again.
static void _builds_remove_quit(Game *g) {
  ModsAPI *api = g->mods;
  if (!api) return;
  Widget *quit = api->screen.find("quit");
  if (quit == &api->screen) quit = nullptr;  // only a widget inside the screen can go
  log_printf(__FILE__, __LINE__, "builds_mods_api_ext_call", "brevane:remove_quit: %d\n", quit ? 1 : 0);
  if (quit && quit->parent) quit->parent->remove(quit);
  api->param_store("remove_quit", var(true));
}

std::string builds_mods_api_ext_call(Game *g, const std::string &name, const std::string &args) {
  if (name == "brevane:scores") {
    _builds_scores(g, args);
  } else if (name == "brevane:achievement") {
    _builds_achievement(args);
  } else if (name == "brevane:achievements_show") {
    // The platform layer of this build offers no overlay, running client or not.
    return "unavailable";
  } else if (name == "brevane:leaderboard") {
    _builds_leaderboard(g, args);
  } else if (name == "brevane:remove_quit") {
    _builds_remove_quit(g);
  }
  return "";
}
