// The mod limits' internals that the tests and fuzz targets reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

#include <cstdint>

int64_t _mods_budget_limit_set(int64_t limit);
int _mods_budget_time_set(int ms);
void _mods_budget_report_clear();
void _mods_budget_quit_clear();
