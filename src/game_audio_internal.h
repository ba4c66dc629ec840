// The game's music internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

int _game_audio_current();
float _game_audio_level(int id);
