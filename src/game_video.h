// Video and screen helpers: the UI unit, the video mode from the settings and GL resource rebuilds.
#pragma once

#include "kez_driver-sdl2.h"

// The window's width (height) in UI units: the shorter window side measures the UI size setting.
int game_ui_width();
int game_ui_height();
// Scales the drawing state so that the virtual screen fits the window at its rotation.
void game_video_fit();
// Opens or adapts the window from the settings; flag inverts the fullscreen setting.
void game_video_mode(unsigned flag);
// Resets the screen after a mode change; rebuild also remakes every GL resource (new context).
void game_video_reset(int rebuild);
// Resets the drawing state to the window: the rotation given, the UI-unit size, the fit.
void game_video_refit(float rotation);
// The drawing state's rotation in degrees.
float game_video_rotation();
// Applies a window size the window manager gave; false when it is the size already applied.
bool game_video_resize(int width, int height);
// Turns an event's pointer coordinates into virtual units.
void game_video_pointer(Event &e);
// Ctrl/Alt/GUI + G toggles the mouse grab of the window that has mouse focus.
void game_mouse_grab_key(int key);
// Draws the splash logo across the screen's width, centred vertically.
void game_splash_paint();
// The desktop's size in pixels; false (both 0) without a video driver.
bool game_video_desktop(int *width, int *height);

struct Driver {
  // Opens a web page in the system browser and minimizes the window.
  static void weblink(const char *url, int flag);
};
