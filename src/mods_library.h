// The Lua library functions a mod gets in place of the library's own wherever those can run without
// bound or out of the budget's sight: string.find, match, gmatch and gsub on the counted matcher of
// mods_pattern, string.rep and byte, the table functions whose work grows with the table,
// tonumber, and coroutine.resume and wrap, which tell the budget which thread runs.
#pragma once

struct lua_State;

// Puts these functions into L's string, table, coroutine and base libraries in place of the
// library's own, so that the sandbox picks them up.
void mods_library_open(lua_State *L);
