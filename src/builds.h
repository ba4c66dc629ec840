// Extension calls: the build- and platform-specific services a mod reaches through w2_ext_call
// (scores and leaderboards, achievements, the platform overlay, removing the mod screen's quit icon).
#pragma once

#include <cstddef>
#include <string>

struct Game;

// Bytes of the platform id buffer, with its NUL: longer leaderboard or achievement ids are refused.
constexpr size_t BUILDS_PLATFORM_ID_MAX = 256;

// The leaderboard or achievement id of the last platform call ("%s" of the mod's text); the platform
// layer reads the achievement name from here.
extern char builds_platform_id[BUILDS_PLATFORM_ID_MAX];

// Runs the extension call name with its JSON object text args for the game's running mod; the call's
// result text: empty for an unknown name, "unavailable" when the platform overlay cannot open.
std::string builds_mods_api_ext_call(Game *game, const std::string &name, const std::string &args);
