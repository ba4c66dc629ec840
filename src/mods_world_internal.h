// The mod world set-up's internals that the tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include <string>

std::string mods_file_name(const std::string &name);
