// The real executable against a local web service: a headless server's mod makes web calls and gets
// their replies as "api:" events, and a server makes no web calls of its own.
#include <gtest/gtest.h>
#include <signal.h>

#include "e2e_process.h"
#include "http_test_server.h"

namespace {

const int GAME_WAIT_MS = 30000;

// A mod that makes the calls its "calls" parameter asks for, prints every "api:" event it gets, and
// prints "frames done" once it has run 30 frames.
const char MOD[] =
    "local frames = 0\n"
    "function _init()\n"
    "  if w2_param_get('calls') == 'yes' then\n"
    "    w2_api_call('echo', 'x y')\n"
    "    w2_ext_call('brevane:scores', '{\"lid\":\"ladder\",\"points\":3}')\n"
    "  end\n"
    "end\n"
    "function _loop(dt)\n"
    "  frames = frames + 1\n"
    "  if frames == 30 then print('frames done') end\n"
    "end\n"
    "function _event(e)\n"
    "  if string.sub(e.type, 1, 4) == 'api:' then print('api event ' .. e.type .. ' ' .. e.value) end\n"
    "end\n";

class GameWeb : public ModFolderTest {
 protected:
  // A headless server running the mod, pointed at the service.
  GameProcess start(const WebService &service, const char *calls) {
    return game_start({"-headless", "-mod", mod("web_mod.lua", MOD), "-calls", calls},
                      {{"VANTOR_WEB_HOST", service.host()}});
  }
};

WebService::Answer echo_service() {
  return [](const WebServiceRequest &r) {
    const std::string action = r.query.count("_action") ? r.query.at("_action") : "?";
    return web_reply("X-Response: OK\r\nX-Type: " + action + "\r\n",
                     "got " + (r.form.count("data") ? r.form.at("data") : "<none>"));
  };
}

}  // namespace

TEST_F(GameWeb, a_servers_mod_calls_the_web_service_and_gets_the_replies_as_api_events) {
  WebService service(echo_service());
  GameProcess p = start(service, "yes");
  EXPECT_TRUE(wait_for_text(p.output, "api event api:echo got x y", GAME_WAIT_MS)) << file_text(p.output);
  EXPECT_TRUE(wait_for_text(p.output, "api event api:scores got {\"lid\":\"ladder\",\"points\":3}", GAME_WAIT_MS))
      << file_text(p.output);
  kill(p.pid, SIGTERM);
  EXPECT_EQ(game_wait(p, GAME_WAIT_MS), 0);
  EXPECT_NE(game_log(p).find("web service: " + service.host()), std::string::npos);
  std::vector<WebServiceRequest> seen = service.seen();
  ASSERT_EQ(seen.size(), 2u);
  for (const WebServiceRequest &r : seen) {
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, "/brevane/api.php");
    EXPECT_EQ(r.query.count("_lid") + r.query.count("_token") + r.query.count("_udid"), 3u);
  }
}

TEST_F(GameWeb, a_server_makes_no_web_calls_of_its_own) {
  WebService service(echo_service());
  GameProcess p = start(service, "no");
  EXPECT_TRUE(wait_for_text(p.output, "frames done", GAME_WAIT_MS)) << file_text(p.output);
  kill(p.pid, SIGTERM);
  EXPECT_EQ(game_wait(p, GAME_WAIT_MS), 0);
  EXPECT_TRUE(service.seen().empty());
}
