// The social identity: one platform user at a time, announced to the game as login/logout events.
#include "kez_social.h"

#include "kez_driver-sdl2.h"
#include "kez_driver-steam.h"
#include "kez_log.h"

struct SocialState {
  int logged_in;
  std::string platform;
  std::string id;
  std::string uuid;
  std::string name;
};

static SocialState *social;
static void (*social_handler)(Event);

void social_set_event_handler(void (*handler)(Event)) { social_handler = handler; }

static void _social_send(int type) {
  if (social_handler) social_handler(Event(type));
}

bool social_get() {
  if (social) return true;
  social = new SocialState();
  driver_social_init();
  return true;
}

void social_logout() {
  social_get();
  if (!social->logged_in) return;
  DRIVER_LOG_PRINTF("social_logout: %s\n", social->uuid.c_str());
  _social_send(EVT_LOGOUT);
  *social = SocialState();
}

void social_login(const char *platform, const char *name, const char *id) {
  social_get();
  if (!platform || !name || !id) {
    social_logout();
    return;
  }
  std::string uuid = std::string(platform) + ":" + id;
  if (uuid == social->uuid) return;
  social_logout();
  social->logged_in = 1;
  social->platform = platform;
  social->id = id;
  social->uuid = uuid;
  social->name = name;
  DRIVER_LOG_PRINTF("social_login name: %s, uuid: %s\n", name, uuid.c_str());
  _social_send(EVT_LOGIN);
}

bool social_logged_in() { return social && social->logged_in; }
std::string social_uuid() { return social ? social->uuid : std::string(); }
std::string social_name() { return social ? social->name : std::string(); }
std::vector<std::string> social_friends() {
  social_get();
  return driver_social_friends();
}

void social_delete() {
  delete social;
  social = nullptr;
}
