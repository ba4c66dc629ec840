// The web API client: requests to the game's web service, advanced once per frame.
#include "game_web.h"
#include "game_web_internal.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "game.h"
#include "kez_http.h"
#include "kez_log.h"
#include "kez_social.h"
#include "menus.h"
#include "mods_update.h"

static const char *VERSION_INFO = "brevane2.4-Desktop-Win32-Steamworks";

const char GAME_WEB_NO_SERVICE[] =
    "No web service is configured, so signing in is not available. Set VANTOR_WEB_HOST to its host or "
    "host:port and start the game again.";
constexpr int WEB_PORT = 80;

static std::string web_host;  // empty: no web service
static int web_port = WEB_PORT;
static std::vector<std::unique_ptr<WebRequest>> web_queue;  // in the order the requests were made

#define WEB_LOG(function, ...) log_printf(__FILE__, __LINE__, function, __VA_ARGS__)

// "host" or "host:port" into host and port; false for anything else. The host goes into the request's
// Host header as it is, so it may hold only what host names hold.
static bool _web_parse(const std::string &spec, std::string &host, int &port) {
  const size_t colon = spec.find(':');
  host = spec.substr(0, colon);
  port = WEB_PORT;
  const auto host_byte = [](char c) { return kez_http_host_byte((unsigned char)c); };
  if (host.empty() || host.size() > size_t(KEZ_HTTP_HOST_MAX) || !std::all_of(host.begin(), host.end(), host_byte))
    return false;
  if (colon == std::string::npos) return true;
  const std::string digits = spec.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return false;
  port = atoi(digits.c_str());
  return port >= 1 && port <= 65535;
}

bool game_web_configure(const char *spec) {
  web_host.clear();
  web_port = WEB_PORT;
  if (!spec || !*spec) {
    WEB_LOG("game_web_configure", "no web service: VANTOR_WEB_HOST is not set\n");
    return false;
  }
  std::string host;
  int port;
  if (!_web_parse(spec, host, port)) {
    WEB_LOG("game_web_configure", "no web service: VANTOR_WEB_HOST is neither host nor host:port\n");
    return false;
  }
  web_host = host;
  web_port = port;
  WEB_LOG("game_web_configure", "web service: %s:%d\n", web_host.c_str(), web_port);
  return true;
}

bool game_web_configured() { return !web_host.empty(); }

// Open to the tests: number of queued requests.
int game_web_pending() { return (int)web_queue.size(); }

void game_web_deinit() { web_queue.clear(); }

bool game_web_login_pending() {
  return std::any_of(web_queue.begin(), web_queue.end(),
                     [](const std::unique_ptr<WebRequest> &r) { return r->action == "login"; });
}

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

// Control bytes never reach the settings, the log or the screen from a header: a NUL would cut the
// value and an escape could rewrite the terminal the log is read on.
std::string WebRequest::header(const char *name) const {
  if (!connection) return std::string();
  char out[KEZ_HTTP_HEADER_SIZE];
  std::string value(out, (size_t)kez_http_header(out, connection, name));
  for (char &c : value) {
    if ((unsigned char)c < ' ' || c == 127) c = '?';
  }
  return value;
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

std::string game_web_url(Game *g, const char *action) {
  game_identity_update(g);
  const GameSettings &s = g->settings;
  return "/brevane/api.php?&_udata=" + _web_encode(_web_settings_text(s)) + "&_vinfo=" + _web_encode(VERSION_INFO) +
         "&_version=" + _web_encode("1") + "&_lid=" + _web_encode(s.login_id) +
         "&_name=" + _web_encode(s.display_name) + "&_token=" + _web_encode(s.token) +
         "&_udid=" + _web_encode(s.device_id) + "&_action=" + _web_encode(action);
}

static void _web_queue(Game *g, const char *action, const std::string &post) {
  if (!game_web_configured()) {
    WEB_LOG("game_web_request", "no web service: '%s' not sent\n", action);
    return;
  }
  WebRequest *request = new WebRequest();
  request->host = web_host;
  request->port = web_port;
  request->action = action;
  request->path = game_web_url(g, action);
  request->post = post;
  request->start();
  web_queue.emplace_back(request);
}

void game_web_login(Game *g) {
  if (!game_web_configured()) {
    game_web_error(g, GAME_WEB_NO_SERVICE);
    return;
  }
  game_identity_update(g);
  _web_queue(g, "login", std::string());
}

void game_web_request(Game *g, const char *action, const std::string &data) {
  _web_queue(g, action, "&data=" + _web_encode(data));
}

void Game::web_friends() {
  std::vector<std::string> friends = social_friends();
  LOG_PRINTF("player has %d friends\n", (int)friends.size());
  if (friends.empty()) return;
  std::string list;
  for (const std::string &id : friends) list += (list.empty() ? "" : "\t") + id;
  game_web_request(this, "friends", list);
}

void game_web_error(Game *g, const char *message) {
  if (g->headless) return;
  menus_error_show(g, message);
}

static void _web_copy(char *field, size_t size, const std::string &text) {
  memset(field, 0, size);
  memcpy(field, text.data(), text.size() < size - 1 ? text.size() : size - 1);
}

void game_web_handle_login(WebRequest *request, Game *g) {
  GameSettings &s = g->settings;
  _web_copy(s.server_uid, sizeof s.server_uid, request->header("X-UID"));
  _web_copy(s.server_name, sizeof s.server_name, request->header("X-Name"));
  _web_copy(g->server_name, sizeof g->server_name, request->header("X-Server"));
  s.logged_in = 1;
  std::string body = request->body();
  WEB_LOG("game_web_handle_login", "login: %s %s\n", s.server_uid, s.server_name);
  WEB_LOG("game_web_handle_login", "login-server: %s\n", g->server_name);
  WEB_LOG("game_web_handle_login", "html: %s\n", body.c_str());
  std::string page = str_strip(body);
  if (page.size() > 1) game_web_error(g, page.c_str());
}

void game_web_handle(WebRequest *request, Game *g) {
  std::string type = request->header("X-Type");
  if (type == "login") game_web_handle_login(request, g);
  if (!g->mods_base) return;
  var e;
  var_dict2(e, var("type"), var(("api:" + type).c_str()), var("value"), var(request->body()));
  mods_event(g, e);
}

// A request that came to nothing. A sign-in is told to the player, who is waiting for it; the running
// mod hears of any, as {"type": "api:failed", "action": the request's action, "value": why}, so that it
// can tell a failed request from one still waiting for its answer.
static void _web_failed(WebRequest *request, Game *g, const std::string &why) {
  char text[256];
  snprintf(text, sizeof text, "the web service at %s:%d %s", request->host.c_str(), request->port, why.c_str());
  if (request->action == "login") game_web_error(g, (std::string("Signing in failed: ") + text + ".").c_str());
  if (!g->mods_base) return;
  var e;
  var_dict0(e);
  e["type"] = var("api:failed");
  e["action"] = var(request->action);
  e["value"] = var(text);
  mods_event(g, e);
}

// A finished request: judged by its headers, then handled once.
static void _web_finish(WebRequest *request, Game *g) {
  if (request->connection->error) {
    WEB_LOG("game_web_loop", "web_loop %p: failure\n", (void *)request);
    _web_failed(request, g, std::string("could not be reached (") + request->connection->failure + ")");
  } else if (request->header("X-Response") != "OK") {
    WEB_LOG("game_web_loop", "web_loop %p: invalid response\n", (void *)request);
    _web_failed(request, g, "gave an answer the game does not understand");
  } else if (!request->header("X-Error").empty()) {
    std::string error = request->header("X-Error");
    WEB_LOG("game_web_loop", "web_loop %p: error '%s'\n", (void *)request, error.c_str());
    game_web_error(g, error.c_str());
  } else {
    game_web_handle(request, g);
  }
}

void game_web_loop(Game *g) {
  for (size_t i = 0; i < web_queue.size();) {
    WebRequest *request = web_queue[i].get();
    if (!request->connection || !kez_http_step(request->connection)) {
      i++;
      continue;
    }
    _web_finish(request, g);
    web_queue.erase(web_queue.begin() + (long)i);
  }
}
