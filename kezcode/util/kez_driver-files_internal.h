// The file driver's internals that its tests and fuzz target reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include <cstddef>
#include <string>

bool driver_file_replace(const char *path, const void *bytes, size_t length);
std::string _driver_save_temp(const char *path);
int driver_gl_version_parse(const char *text);
