// The player's network identity: the sender id and display name a game puts in every packet and
// hands its mods as "uid" and "name".
#pragma once

#include <string>

struct Game;

// The longest sender id a packet header carries whole.
constexpr size_t GAME_UID_MAX = 15;

// The sender id, which proves who this game is to a server: game_net_id, also while signed in to the
// web service, whose ids others may know. Servers and mods show net_public_id of it instead.
std::string game_user_uid(const Game *game);
// The display name: the name a mod gave the player for this run, else the web service's name while
// logged in, else the identity's display name ("-name", the settings' name, or "Anonymous").
std::string game_user_name(const Game *game);
// Makes name the one the game goes by online for the rest of the run, when it differs from it: only
// the name others are shown, so the account, its sign-in and the settings stay as they are. An empty
// name changes nothing.
void game_user_name_set(Game *game, const std::string &name);
