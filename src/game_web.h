// The web API client: requests to the game's web service, advanced once per frame.
//
// The service is the user's to name: VANTOR_WEB_HOST holds "host" or "host:port" (port 80 when none is
// given). Without it the game has no web service: nothing is sent, and signing in says so.
#pragma once

#include <string>

struct Game;
struct HttpConn;

// One queued request; deleting it closes and frees its connection.
class WebRequest {
 public:
  virtual ~WebRequest();
  // Opens the connection when there is none.
  void start();
  // The reply body; empty without a connection.
  std::string body() const;
  // A reply header's value (at most 255 bytes); empty when missing or not started.
  std::string header(const char *name) const;

  std::string host;
  int port = 80;
  std::string action;  // the "_action" of the query: a failed "login" is told to the player
  std::string path = "/";
  std::string post;  // empty: GET
  float timeout = 30.0f;
  HttpConn *connection = nullptr;
};

// What the player is told when signing in finds no web service.
extern const char GAME_WEB_NO_SERVICE[];

// Points the client at the service named by `spec`, "host" or "host:port"; null or empty means no
// web service. True when a service is configured; a spec of neither form is logged and leaves none.
bool game_web_configure(const char *spec);
// True when a web service is configured.
bool game_web_configured();
// The path and query of a request for the action, carrying the player's identity and settings.
std::string game_web_url(Game *game, const char *action);
// Queues the account login; without a web service, the error page says there is none.
void game_web_login(Game *game);
// Queues a POST of "&data=" + the URL-encoded data with the action; nothing without a web service.
void game_web_request(Game *game, const char *action, const std::string &data);
// Advances every queued request and handles the finished ones, in queue order.
void game_web_loop(Game *game);
// Handles a finished, accepted reply: the login, then the running mod.
void game_web_handle(WebRequest *request, Game *game);
// Stores the account of a login reply and shows its page, if any.
void game_web_handle_login(WebRequest *request, Game *game);
// Shows an error text on the error page (not headless).
void game_web_error(Game *game, const char *message);
// Drops every queued request unanswered, closing its connection: a shut-down waits for none.
void game_web_deinit();
// True while a login request waits for its answer.
bool game_web_login_pending();
