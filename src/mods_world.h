// World operations for mods: match set-up (reset, teams, users, planets, fleets, particles) and the
// mod's own files through require. The operations are ModsAPI members, declared in mods_api.h.
#pragma once

#include <string>

// The file name require uses for a mod's name: ".." becomes "_", the folder part is dropped and
// ".lua" is added when the name holds no '.'. It never leaves the folder it is looked up in.
std::string mods_file_name(const std::string &name);
