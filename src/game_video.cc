// Video and screen helpers: the UI unit, the video mode from the settings and GL resource rebuilds.
#include "game_video.h"

#include <GL/glew.h>

#include "game.h"
#include "kez_driver-sdl2.h"

static int _game_ui_size() {
  int size = game ? game->settings.vsize : 0;
  return size > 0 ? size : 480;
}

// The shorter side is 0 before a window exists: then there is no UI area at all.
static int _game_ui_side(int side) {
  if (!app_info) return 0;
  int shorter = app_info->width < app_info->height ? app_info->width : app_info->height;
  if (shorter <= 0) return 0;
  return (int)((long long)side * _game_ui_size() / shorter);
}

int game_ui_width() { return app_info ? _game_ui_side(app_info->width) : 0; }
int game_ui_height() { return app_info ? _game_ui_side(app_info->height) : 0; }

void game_video_mode(unsigned flag) {
  if (!game) return;
  int width = 0, height = 0;
  if (game->settings.vres > 0) {
    width = (game->settings.vres >> 16) & 0xFFFF;
    height = game->settings.vres & 0xFFFF;
  }
  int fullscreen = (game->settings.vfull != -1) ^ (flag != 0);
  driver_video_init(width, height, fullscreen);
  game_video_reset(0);
}

void game_video_reset(int) {
  if (!driver_gl_context()) return;
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  driver_video_swap();
}
