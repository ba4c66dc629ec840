// The engine's table of calls into the program around it, and the UI units derived from its setting.
#include "vantor_host.h"

#include "kez_driver-sdl2.h"

const VantorHost *vantor_host;

int vantor_ui_size() {
  const int size = vantor_host ? vantor_host->ui_size() : 0;
  return size > 0 ? size : 480;
}

// The shorter side is 0 before a window exists: then there is no UI area at all.
static int vantor_ui_side(int side) {
  if (!app_info) return 0;
  int shorter = app_info->width < app_info->height ? app_info->width : app_info->height;
  if (shorter <= 0) return 0;
  return (int)((long long)side * vantor_ui_size() / shorter);
}

int vantor_ui_width() { return app_info ? vantor_ui_side(app_info->width) : 0; }
int vantor_ui_height() { return app_info ? vantor_ui_side(app_info->height) : 0; }
