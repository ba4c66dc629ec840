// Video and screen helpers: the UI unit, the video mode from the settings and GL resource rebuilds.
#include "game_video.h"

#include <GL/glew.h>
#include <SDL.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "game.h"
#include "kez_driver-files.h"
#include "kez_driver-sdl2.h"
#include "kez_font.h"
#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "trans.h"
#include "vantor_host.h"
#include "vantor_planet_paint.h"

static const int SHORTCUT_MODS = 0x0FC0;  // any Ctrl, Alt or GUI key

// The size the shell last applied to the drawing state (the driver stores the window's own size
// before the resize event arrives, so it cannot tell whether a refit is due).
static int applied_width, applied_height;

// The UI unit is the engine's too (it lays the match out in it): the shell reads it from there.
int game_ui_width() { return vantor_ui_width(); }
int game_ui_height() { return vantor_ui_height(); }

void game_video_mode(unsigned flag) {
  if (!game) return;
  int width = 0, height = 0;
  if (game->settings.vres > 0) {
    width = (game->settings.vres >> 16) & 0xFFFF;
    height = game->settings.vres & 0xFFFF;
  }
  int fullscreen = (game->settings.vfull != -1) ^ (flag != 0);
  driver_video_init(width, height, fullscreen);
  if (app_info) {
    applied_width = app_info->width;
    applied_height = app_info->height;
  }
  game_video_reset(0);
}

void game_video_fit() {
  if (!gfx_state || !app_info) return;
  float vw = (float)(int)gfx_state->virtual_w, vh = (float)(int)gfx_state->virtual_h;
  bool upright = ((int)gfx_state->rotation % 180) == 0;
  float a = (float)(upright ? app_info->width : app_info->height);
  float b = (float)(upright ? app_info->height : app_info->width);
  if (vw <= 0 || vh <= 0) return;
  gfx_state->scale = a / vw < b / vh ? a / vw : b / vh;
}

void game_video_refit(float rotation) {
  gfx_init();
  gfx_state->rotation = rotation;
  gfx_state->virtual_w = (float)game_ui_width();
  gfx_state->virtual_h = (float)game_ui_height();
  game_video_fit();
}

float game_video_rotation() { return gfx_state ? gfx_state->rotation : 0.0f; }

void game_video_pointer(Event &e) { gfx_event_to_virtual(e); }

// The texture names of the data folder's own images, the largest files first: they cost the most
// to decode when a screen wants them. Variants ("@2x", "~desktop") are found through their base name.
static std::vector<std::string> _game_data_images() {
  std::vector<std::pair<uintmax_t, std::string>> files;
  std::error_code error;
  for (const auto &entry : std::filesystem::directory_iterator(driver_data_dir(), error)) {
    const std::filesystem::path path = entry.path();
    const std::string ext = path.extension().string(), name = path.stem().string();
    const bool image = ext == ".png" || ext == ".jpg" || ext == ".tga" || ext == ".kez";
    if (!image || name.find_first_of("@~") != std::string::npos || !entry.is_regular_file(error)) continue;
    files.push_back({entry.file_size(error), name});
  }
  std::sort(files.begin(), files.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
  std::vector<std::string> names;
  for (const auto &file : files) names.push_back(file.second);
  return names;
}

void game_video_reset(int rebuild) {
  if (rebuild) {
    font_deinit();
    gfx_deinit();
    trans_forget();
  }
  gfx_init();
  gfx_state->virtual_w = (float)game_ui_width();
  gfx_state->virtual_h = (float)game_ui_height();
  gfx_state->rotation = 0;
  gfx_state->z_near = -1000;
  gfx_state->z_far = 1000;
  gfx_clear();
  driver_video_swap();
  font_init();
  game_video_fit();
  planet_paint_init();
  game_splash_paint();
  driver_video_swap();
  trans_init(game);
  gfx_tex_preload(_game_data_images());
}

void game_splash_paint() {
  gfx_clear();
  gfx_ortho();
  int logo = gfx_img_load("logo");
  int w = game_ui_width();
  int h = (int)(w / gfx_img_aspect(logo));
  gfx_img_draw(logo, 0, (float)((game_ui_height() - h) / 2), (float)w, (float)h);
}

bool game_video_desktop(int *width, int *height) {
  SDL_DisplayMode mode;
  const bool known = SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &mode) == 0;
  *width = known ? mode.w : 0;
  *height = known ? mode.h : 0;
  return known;
}

bool game_video_resize(int width, int height) {
  if (!app_info || (width == applied_width && height == applied_height)) return false;
  applied_width = app_info->width = width;
  applied_height = app_info->height = height;
  app_info->aspect = height ? (float)width / (float)height : 1.0f;
  if (driver_gl_context()) glViewport(0, 0, width, height);
  game_video_refit(game_video_rotation());
  return true;
}

void game_mouse_grab_key(int key) {
  if (key != KEY_G || !(SDL_GetModState() & SHORTCUT_MODS)) return;
  SDL_Window *focus = SDL_GetMouseFocus();
  if (focus) SDL_SetWindowGrab(focus, SDL_GetWindowGrab(focus) ? SDL_FALSE : SDL_TRUE);
}

// The browser is started without a shell, so nothing in the address is ever interpreted; the
// intermediate child exits at once so that no zombie is left behind.
void Driver::weblink(const char *url, int) {
  printf("Driver::weblink: %s\n", url);
  printf("Win32:WebPage\n");
  fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    if (fork() == 0) {
      execlp("xdg-open", "xdg-open", url, (char *)nullptr);
      _exit(127);
    }
    _exit(0);
  }
  if (pid > 0) waitpid(pid, nullptr, 0);
  if (driver_window()) SDL_MinimizeWindow(driver_window());
}
