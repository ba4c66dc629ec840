// The social identity: one platform user at a time, announced to the game as login/logout events.
#pragma once

#include <string>
#include <vector>

struct Event;

// Where login and logout events go (the game's event entry); null drops them.
void social_set_event_handler(void (*handler)(Event));

// Creates the record on first use and starts the platform layer; always true afterwards.
bool social_get();
// Logs in (a null argument logs out); the same uuid twice does nothing.
void social_login(const char *platform, const char *name, const char *id);
// Logs out when logged in, announcing it first.
void social_logout();
bool social_logged_in();
std::string social_uuid();
std::string social_name();
std::vector<std::string> social_friends();
// Forgets the record (the next social call starts the platform layer again).
void social_delete();
