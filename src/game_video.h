// Video and screen helpers: the UI unit, the video mode from the settings and GL resource rebuilds.
#pragma once

// The window's width (height) in UI units: the shorter window side measures the UI size setting.
int game_ui_width();
int game_ui_height();
// Opens or adapts the window from the settings; flag inverts the fullscreen setting.
void game_video_mode(unsigned flag);
// Resets the screen after a mode change; rebuild also remakes every GL resource (new context).
void game_video_reset(int rebuild);
