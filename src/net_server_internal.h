// The match server's internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include <string>

std::string net_name_clean(const std::string &title);
std::string net_name_numbered(const std::string &name, int k);
