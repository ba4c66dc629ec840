// The web API client: requests to the game's web service, advanced once per frame.
#include "game_web.h"

#include <cstring>
#include <memory>
#include <vector>

#include "game.h"
#include "kez_http.h"
#include "kez_log.h"
#include "kez_social.h"
#include "mods_misc.h"

static const char *VERSION_INFO = "brevane2.4-Desktop-Win32-Steamworks";

// No public service answers for this game here: the host is a name that never resolves to anyone
// else's machine, and tests point the client at a server of their own.
static std::string web_host = "api.vantor-brevane.invalid";
static int web_port = 80;
static std::vector<std::unique_ptr<WebRequest>> web_queue;  // in the order the requests were made

#define WEB_LOG(function, ...) log_printf(__FILE__, __LINE__, function, __VA_ARGS__)

void _game_web_host_set(const char *host, int port) {
  web_host = host;
  web_port = port;
}

int game_web_pending() { return (int)web_queue.size(); }

WebRequest::~WebRequest() { kez_http_close(connection); }

void WebRequest::start() {
  if (connection) return;
  connection = kez_http_open(host.c_str(), port, path.c_str(), post.empty() ? nullptr : post.data(), (int)post.size(),
                             (int)timeout);
}

std::string WebRequest::body() const {
  if (!connection || !connection->body) return std::string();
  return std::string(connection->body, (size_t)connection->body_length);
}

std::string WebRequest::header(const char *name) const {
  if (!connection) return std::string();
  char out[KEZ_HTTP_HEADER_SIZE];
  kez_http_header(out, connection, name);
  return out;
}

static std::string _web_encode(const std::string &text) {
  std::vector<char> out((size_t)kez_urlencode_len(text.data(), (int)text.size()));
  kez_urlencode(out.data(), (int)out.size(), (int)text.size(), text.data());
  return out.data();
}

static std::string _web_settings_text(const GameSettings &s) {
  char text[512];
  int n = snprintf(text, sizeof text, "%d,%d,%d,%d,%d,", s.music_volume, s.sound_volume, s.vres, s.vfull, s.vsize);
  for (int i = 0; i < 16; i++) n += snprintf(text + n, sizeof text - n, "%d,", (&s.ui_box)[i]);
  return text;
}

std::string game_web_url(Game *game, const char *action) {
  game_identity_update(game);
  const GameSettings &s = game->settings;
  return "/brevane/api.php?&_udata=" + _web_encode(_web_settings_text(s)) + "&_vinfo=" + _web_encode(VERSION_INFO) +
         "&_version=" + _web_encode("1") + "&_lid=" + _web_encode(s.login_id) +
         "&_name=" + _web_encode(s.display_name) + "&_token=" + _web_encode(s.token) +
         "&_udid=" + _web_encode(s.device_id) + "&_action=" + _web_encode(action);
}

static void _web_queue(Game *game, const char *action, const std::string &post) {
  WebRequest *request = new WebRequest();
  request->host = web_host;
  request->port = web_port;
  request->path = game_web_url(game, action);
  request->post = post;
  request->start();
  web_queue.emplace_back(request);
}

void game_web_login(Game *game) {
  game_identity_update(game);
  _web_queue(game, "login", std::string());
}

void game_web_request(Game *game, const char *action, const std::string &data) {
  _web_queue(game, action, "&data=" + _web_encode(data));
}

void Game::web_friends() {
  std::vector<std::string> friends = social_friends();
  LOG_PRINTF("player has %d friends\n", (int)friends.size());
  if (friends.empty()) return;
  std::string list;
  for (const std::string &id : friends) list += (list.empty() ? "" : "\t") + id;
  game_web_request(this, "friends", list);
}

void game_web_error(Game *game, const char *message) {
  if (game->headless) return;
  menus_error_show(game, message);
}

static void _web_copy(char *field, size_t size, const std::string &text) {
  memset(field, 0, size);
  memcpy(field, text.data(), text.size() < size - 1 ? text.size() : size - 1);
}

void game_web_handle_login(WebRequest *request, Game *game) {
  GameSettings &s = game->settings;
  _web_copy(s.server_uid, sizeof s.server_uid, request->header("X-UID"));
  _web_copy(s.server_name, sizeof s.server_name, request->header("X-Name"));
  _web_copy(game->server_name, sizeof game->server_name, request->header("X-Server"));
  s.logged_in = 1;
  std::string body = request->body();
  WEB_LOG("game_web_handle_login", "login: %s %s\n", s.server_uid, s.server_name);
  WEB_LOG("game_web_handle_login", "login-server: %s\n", game->server_name);
  WEB_LOG("game_web_handle_login", "html: %s\n", body.c_str());
  std::string page = str_strip(body);
  if (page.size() > 1) game_web_error(game, page.c_str());
}

void game_web_handle(WebRequest *request, Game *game) {
  std::string type = request->header("X-Type");
  if (type == "login") game_web_handle_login(request, game);
  if (!game->mods_base) return;
  var e;
  var_dict2(e, var("type"), var(("api:" + type).c_str()), var("value"), var(request->body()));
  mods_event(game, e);
}

// A finished request: judged by its headers, then handled once.
static void _web_finish(WebRequest *request, Game *game) {
  if (request->connection->error) {
    WEB_LOG("game_web_loop", "web_loop %p: failure\n", (void *)request);
  } else if (request->header("X-Response") != "OK") {
    WEB_LOG("game_web_loop", "web_loop %p: invalid response\n", (void *)request);
  } else if (!request->header("X-Error").empty()) {
    std::string error = request->header("X-Error");
    WEB_LOG("game_web_loop", "web_loop %p: error '%s'\n", (void *)request, error.c_str());
    game_web_error(game, error.c_str());
  } else {
    game_web_handle(request, game);
  }
}

void game_web_loop(Game *game) {
  for (size_t i = 0; i < web_queue.size();) {
    WebRequest *request = web_queue[i].get();
    if (!request->connection || !kez_http_step(request->connection)) {
      i++;
      continue;
    }
    _web_finish(request, game);
    web_queue.erase(web_queue.begin() + (long)i);
  }
}
