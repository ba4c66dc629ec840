// Match painting helpers: the colour-blind remap of team colours.
#pragma once

// Forgets every colour the remap has handed out, so the next match starts the palette over.
void color_remap_clear();
