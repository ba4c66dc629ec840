// The match HUD's internals that its tests reach.
// Declared here, not in the module's header, and included by the module itself so that the compiler
// checks each declaration against its definition; each is documented at its definition.
#pragma once

struct GfxRect;

int _hud_percent_at(const GfxRect &slider, float y);
