// World operations for mods: match set-up (reset, teams, users, planets, fleets, particles) and the
// mod's own files through require. The operations are ModsAPI members, declared in mods_api.h.
#pragma once

#include <string>
