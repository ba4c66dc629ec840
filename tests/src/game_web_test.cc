// The web API client against a local web service: the configured host, request URLs and fields, reply
// judging by headers, the login reply, mods' calls and their "api:" events, and replies that are too
// big, cut short or hold control bytes.
#include "game_web.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "builds.h"
#include "data_override.h"
#include "game.h"
#include "game_web_internal.h"
#include "http_test_server.h"
#include "kez_http.h"
#include "mods_api.h"
#include "mods_lua.h"
#include "mods_start.h"

namespace {

const char *const QUERY_FIELDS[] = {"_udata", "_vinfo", "_version", "_lid", "_name", "_token", "_udid", "_action"};

// A headless game (no error page) with a private data folder for mod files.
class Web : public DataOverrideTest {
 protected:
  void SetUp() override {
    override_open("web");
    g.reset(new Game());
    game = g.get();
    g->headless = 1;
  }
  void TearDown() override {
    mods_stop(g.get());
    game_web_deinit();
    game_web_configure(nullptr);
    g.reset();
    override_close();
  }
  void use(const WebService &service) { ASSERT_TRUE(game_web_configure(service.host().c_str())); }
  // Runs the loop until the queue is empty (bounded), waiting on the first request's socket in between.
  void run() {
    auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(WAIT_MS);
    while (game_web_pending() && std::chrono::steady_clock::now() < limit) {
      game_web_loop(g.get());
      poll(nullptr, 0, 1);  // lets the server thread run between steps; the loop never waits itself
    }
    ASSERT_EQ(game_web_pending(), 0);
  }
  // Starts a mod that records every "api:" event it gets in the param "api" as "type|value;..." (a
  // failed request's as "type|action|value;").
  void start_recording_mod(const std::string &init) {
    file("recorder.lua", "function _init() " + init +
                             " end\n"
                             "function _event(e)\n"
                             "  if string.sub(e.type, 1, 4) == 'api:' then\n"
                             "    local seen = e.type .. '|' .. (e.action and e.action .. '|' or '') .. e.value\n"
                             "    w2_param_set('api', (w2_param_get('api') or '') .. seen .. ';')\n"
                             "  end\n"
                             "end\n");
    snprintf(g->mod_file, sizeof g->mod_file, "%s/recorder.lua", folder.c_str());
    mods_start(g.get());
    ASSERT_TRUE(g->mods_base);
  }
  std::string recorded() { return g->mods ? g->mods->param_get("api").str() : "<no mod>"; }
  std::unique_ptr<Game> g;
};

// A service that answers every request with the same reply.
WebService::Answer always(const std::string &reply) {
  return [reply](const WebServiceRequest &) { return reply; };
}

}  // namespace

TEST_F(Web, the_service_is_host_or_host_port_and_anything_else_leaves_none) {
  testing::internal::CaptureStdout();
  EXPECT_TRUE(game_web_configure("example.org"));
  EXPECT_TRUE(game_web_configure("api-1.example_org:8080"));
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("web service: example.org:80\n"), std::string::npos) << log;
  EXPECT_NE(log.find("web service: api-1.example_org:8080\n"), std::string::npos) << log;
  for (const char *bad : {"", "host:", ":80", "host:0", "host:65536", "host:8a", "host:123456", "ho st", "host\n",
                          "a:1:2", "host/path", "http://host"}) {
    game_web_configure("example.org");
    EXPECT_FALSE(game_web_configure(bad)) << bad;
    EXPECT_FALSE(game_web_configured()) << bad;
  }
  EXPECT_FALSE(game_web_configure(nullptr));
}

TEST_F(Web, without_a_service_nothing_is_sent) {
  game_web_configure(nullptr);
  game_web_login(g.get());
  game_web_request(g.get(), "scores", "{}");
  g->web_friends();
  EXPECT_EQ(game_web_pending(), 0);
  EXPECT_EQ(g->settings.logged_in, 0);
}

TEST_F(Web, url_carries_identity_and_settings_encoded) {
  g->settings.music_volume = 50;
  g->settings.vsize = 480;
  std::string url = game_web_url(g.get(), "login");
  EXPECT_EQ(url.rfind("/brevane/api.php?&_udata=", 0), 0u) << url;
  EXPECT_NE(url.find("&_udata=50%2c0%2c0%2c0%2c480%2c"), std::string::npos) << url;
  EXPECT_NE(url.find("&_vinfo=brevane2%2e4%2dDesktop%2dWin32%2dSteamworks&_version=1&_lid=a%3a"), std::string::npos);
  EXPECT_NE(url.find("&_name=Anonymous&_token="), std::string::npos);
  EXPECT_EQ(url.substr(url.size() - 14), "&_action=login");
}

TEST_F(Web, the_url_never_carries_an_unencoded_byte_and_decodes_to_what_was_sent) {
  std::string name, action;
  for (int c = 1; c < 64; c++) name += char(c * 4 - 1);  // spread over the byte range, 63 bytes
  for (int c = 1; c < 256; c++) action += char(c);
  snprintf(g->settings.user_name, sizeof g->settings.user_name, "%s", name.c_str());
  const std::string url = game_web_url(g.get(), action.c_str());
  for (char c : url) EXPECT_TRUE(isalnum((unsigned char)c) || strchr("/._?&=%", c)) << int((unsigned char)c);
  std::map<std::string, std::string> fields = web_form_decode(url.substr(url.find('?') + 1));
  EXPECT_EQ(fields["_name"], name);
  EXPECT_EQ(fields["_lid"], g->settings.login_id);
  EXPECT_EQ(fields["_action"], action);
}

TEST_F(Web, sign_in_sends_every_field_and_an_ok_login_reply_logs_the_player_in) {
  WebService service(always(web_login_reply()));
  use(service);
  snprintf(g->settings.user_name, sizeof g->settings.user_name, "bob smith");
  game_web_login(g.get());
  run();
  std::vector<WebServiceRequest> seen = service.seen();
  ASSERT_EQ(seen.size(), 1u);
  const WebServiceRequest &r = seen[0];
  EXPECT_EQ(r.method, "GET");
  EXPECT_EQ(r.path, "/brevane/api.php");
  EXPECT_NE(r.raw.find("\nHost: 127.0.0.1:" + std::to_string(service.port) + "\n"), std::string::npos) << r.raw;
  for (const char *field : QUERY_FIELDS) EXPECT_EQ(r.query.count(field), 1u) << field;
  const GameSettings &s = g->settings;
  EXPECT_EQ(r.query.at("_action"), "login");
  EXPECT_EQ(r.query.at("_vinfo"), "brevane2.4-Desktop-Win32-Steamworks");
  EXPECT_EQ(r.query.at("_name"), "bob smith");
  EXPECT_EQ(r.query.at("_lid"), s.login_id);
  EXPECT_EQ(r.query.at("_token"), s.token);
  EXPECT_EQ(r.query.at("_udid"), s.device_id);
  EXPECT_EQ(s.logged_in, 1);
  EXPECT_STREQ(s.server_uid, "42");
  EXPECT_STREQ(s.server_name, "Bob");
  EXPECT_STREQ(g->server_name, "play1");
}

TEST_F(Web, a_login_reply_cuts_long_names_and_replaces_control_bytes) {
  const std::string long_name(100, 'n');
  WebService service(
      always(web_reply("X-Response: OK\r\nX-Type: login\r\nX-UID: 4\x01"
                       "2\r\nX-Name: " +
                       long_name + "\r\nX-Server: \x1b[2Jplay\r\n")));
  use(service);
  game_web_login(g.get());
  run();
  EXPECT_EQ(g->settings.logged_in, 1);
  EXPECT_STREQ(g->settings.server_uid, "4?2");
  EXPECT_EQ(std::string(g->settings.server_name), long_name.substr(0, 63));
  EXPECT_STREQ(g->server_name, "?[2Jplay");
}

TEST_F(Web, an_error_reply_or_one_without_ok_never_reaches_the_login) {
  for (const char *headers : {"X-Response: OK\r\nX-Error: banned\r\nX-Type: login\r\nX-UID: 42\r\n",
                              "X-Type: login\r\nX-UID: 42\r\n", "X-Response: OKAY\r\nX-Type: login\r\n"}) {
    WebService service(always(web_reply(headers)));
    use(service);
    game_web_login(g.get());
    run();
    EXPECT_EQ(g->settings.logged_in, 0) << headers;
    EXPECT_STREQ(g->settings.server_uid, "") << headers;
  }
}

TEST_F(Web, a_reply_split_across_many_small_reads_still_logs_in) {
  const std::string reply = web_login_reply();
  std::vector<std::string> pieces;
  for (size_t at = 0; at < reply.size(); at += 3) pieces.push_back(reply.substr(at, 3));
  LocalServer server(pieces);
  ASSERT_TRUE(game_web_configure(("127.0.0.1:" + std::to_string(server.port)).c_str()));
  game_web_login(g.get());
  auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(WAIT_MS);
  while (game_web_pending() && std::chrono::steady_clock::now() < limit) {
    game_web_loop(g.get());
    server.release();  // one more piece per frame
    poll(nullptr, 0, 1);
  }
  EXPECT_EQ(g->settings.logged_in, 1);
  EXPECT_STREQ(g->settings.server_name, "Bob");
}

TEST_F(Web, a_post_sends_the_encoded_data_and_a_failed_request_leaves_the_queue) {
  WebService service(always(web_reply("X-Response: OK\r\nX-Type: scores\r\n")));
  use(service);
  game_web_request(g.get(), "scores", "a b&c=d");
  run();
  std::vector<WebServiceRequest> seen = service.seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "POST");
  EXPECT_EQ(seen[0].query.at("_action"), "scores");
  const std::string sent = "\n\n&data=a%20b%26c%3dd";
  EXPECT_EQ(seen[0].raw.substr(seen[0].raw.size() - sent.size()), sent);
  EXPECT_EQ(seen[0].form.at("data"), "a b&c=d");

  RefusedPort refused;
  ASSERT_TRUE(game_web_configure(refused.host().c_str()));
  game_web_login(g.get());
  run();
  EXPECT_EQ(g->settings.logged_in, 0);
}

TEST_F(Web, no_friends_sends_nothing) {
  WebService service(always(web_reply("X-Response: OK\r\n")));
  use(service);
  g->web_friends();
  EXPECT_EQ(game_web_pending(), 0);
}

TEST_F(Web, a_mods_api_call_and_its_scores_and_leaderboard_calls_come_back_as_api_events) {
  WebService service([](const WebServiceRequest &r) {
    const std::string action = r.query.count("_action") ? r.query.at("_action") : "";
    const std::string data = r.form.count("data") ? r.form.at("data") : "<none>";
    return web_reply("X-Response: OK\r\nX-Type: " + action + "\r\n", "got " + data);
  });
  use(service);
  start_recording_mod(
      "w2_api_call('echo', 'x y') "
      "w2_ext_call('brevane:scores', '{\"lid\":\"ladder\",\"points\":7}') "
      "w2_ext_call('brevane:leaderboard', '{\"lid\":\"ladder\"}')");
  run();
  EXPECT_EQ(
      recorded(),
      "api:echo|got x y;api:scores|got {\"lid\":\"ladder\",\"points\":7};api:leaderboard|got {\"lid\":\"ladder\"};");
  std::vector<WebServiceRequest> seen = service.seen();
  ASSERT_EQ(seen.size(), 3u);
  for (const WebServiceRequest &r : seen) {
    EXPECT_EQ(r.method, "POST");
    for (const char *field : QUERY_FIELDS) EXPECT_EQ(r.query.count(field), 1u) << field;
  }
}

TEST_F(Web, a_login_reply_reaches_a_running_mod_too_but_an_error_reply_does_not) {
  WebService service([](const WebServiceRequest &r) {
    if (r.query.at("_action") == "login") return web_login_reply("", "welcome");
    return web_reply("X-Response: OK\r\nX-Error: no such call\r\nX-Type: nope\r\n");
  });
  use(service);
  start_recording_mod("w2_api_call('nope', '')");
  game_web_login(g.get());
  run();
  EXPECT_EQ(recorded(), "api:login|welcome;");
}

TEST_F(Web, a_request_that_comes_to_nothing_reaches_the_mod_as_an_api_failed_event) {
  RefusedPort refused;
  ASSERT_TRUE(game_web_configure(refused.host().c_str()));
  start_recording_mod("w2_api_call('echo', 'x')");
  run();
  EXPECT_EQ(recorded().rfind("api:failed|echo|the web service at " + refused.host() + " could not be reached (", 0), 0u)
      << recorded();

  WebService service(always("HTTP/1.0 200 OK\r\n\r\nno headers the game reads"));
  use(service);
  g->mods->param_store("api", var(""));
  g->mods_base->script("w2_api_call('scores', '{}')", "test");
  run();
  EXPECT_EQ(recorded(),
            "api:failed|scores|the web service at " + service.host() + " gave an answer the game does not understand;");
}

TEST_F(Web, hostile_replies_end_their_request_and_never_stall_the_loop) {
  struct Case {
    std::string reply;
    int logged_in;
  } cases[] = {
      // Headers far past any real reply's, then a good login: the lookups still find their lines.
      {web_reply("X-Response: OK\r\nX-Type: login\r\n" + std::string(2 << 20, 'h') + "\r\nX-Name: Bob\r\n"), 1},
      // No blank line before the server closes: the header may stop mid-value, so nothing is trusted.
      {"HTTP/1.0 200 OK\r\nX-Response: OK\r\nX-Type: login\r\nX-Name: Bo", 0},
      // Several MB of body.
      {web_login_reply("", std::string(5 << 20, 'b')), 1},
      // Past the reply cap: refused rather than held.
      {web_login_reply("", std::string(size_t(KEZ_HTTP_REPLY_MAX), 'b')), 0},
      // Control bytes in the values that decide.
      {web_reply(std::string("X-Response: OK\x00\r\nX-Type: login\r\n", 32)), 0},
  };
  for (const Case &c : cases) {
    g->settings.logged_in = 0;
    WebService service(always(c.reply));
    use(service);
    game_web_login(g.get());
    testing::internal::CaptureStderr();
    auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(4 * WAIT_MS);
    while (game_web_pending() && std::chrono::steady_clock::now() < limit) game_web_loop(g.get());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(game_web_pending(), 0);
    EXPECT_EQ(g->settings.logged_in, c.logged_in) << c.reply.substr(0, 60);
  }
}
