// The SDL2 driver: window, GL context, input events, on-screen keyboard and clipboard.
#include "kez_driver-sdl2.h"
#include "kez_driver-sdl2_internal.h"

#include <GL/glew.h>
#include <SDL.h>
#include <stb_image.h>

#include <cstdlib>
#include <cstring>

#include "kez_audio.h"
#include "kez_driver-files.h"
#include "kez_gfx.h"
#include "kez_log.h"

AppInfo *app_info;

static SDL_Window *sdl_window;
static SDL_GLContext sdl_context;
static std::string typed;  // UTF-8 bytes of the last text input, handed out one per poll
static bool joy_axes_ready;
static int32_t joy_axes[256][8];
static bool desktop_known;
static SDL_DisplayMode desktop_mode;
static std::string last_title;

#define LOG(...) DRIVER_LOG_PRINTF(__VA_ARGS__)

Event::Event() { memset(this, 0, sizeof *this); }

// Every word is zeroed (the record travels by value and is copied whole, so none may stay unset).
Event::Event(int32_t t) {
  memset(this, 0, sizeof *this);
  type = t;
}

AppInfo *driver_app_create() {
  if (app_info) return app_info;
  app_info = (AppInfo *)calloc(1, sizeof(AppInfo));
  if (!app_info) return nullptr;
  app_info->aspect = 1.0f;
  app_info->scale = 1.0f;
  return app_info;
}

SDL_Window *driver_window() { return sdl_window; }
bool driver_gl_context() { return sdl_context != nullptr; }

// Opens the joystick at a device index unless it is open already.
static void _driver_joystick_open(int index) {
  SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
  if (id >= 0 && SDL_JoystickFromInstanceID(id)) return;
  SDL_Joystick *joystick = SDL_JoystickOpen(index);
  if (!joystick) {
    LOG("joystick %d: cannot open: %s\n", index, SDL_GetError());
    return;
  }
  const char *name = SDL_JoystickName(joystick);
  LOG("joystick %d: opened %s\n", (int)SDL_JoystickInstanceID(joystick), name ? name : "");
}

// Closes a joystick that was unplugged; its axis values stay behind, unread, under an id SDL never reuses.
static void _driver_joystick_close(SDL_JoystickID id) {
  SDL_Joystick *joystick = SDL_JoystickFromInstanceID(id);
  if (!joystick) return;
  SDL_JoystickClose(joystick);
  LOG("joystick %d: unplugged\n", (int)id);
}

// Joystick events only come from open devices: every one present now is opened, later ones as plugged in.
static void _driver_joystick_init() {
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
    LOG("joysticks: %s\n", SDL_GetError());
    return;
  }
  for (int i = 0; i < SDL_NumJoysticks(); i++) _driver_joystick_open(i);
}

void _driver_video_init() {
  if (app_info) snprintf(app_info->device, sizeof app_info->device, "%s", "desktop");
  SDL_Init(SDL_INIT_VIDEO);
  SDL_version linked;
  SDL_GetVersion(&linked);
  LOG("SDL Runtime Version: %u.%u.%u\n", linked.major, linked.minor, linked.patch);
  LOG("SDL Compile Version: %u.%u.%u\n", 2, 0, 3);
  _driver_joystick_init();
}

// GLEW's entry points belong to one context: load them again after every new context.
static void _driver_glew_init() {
  glewExperimental = GL_TRUE;
  GLenum err = glewInit();
  if (err != GLEW_OK) LOG("glewInit: %s\n", (const char *)glewGetErrorString(err));
}

void _sdl2_create_context(SDL_Window *window) {
  if (sdl_context) {
    LOG("SDL_GL_DeleteContext\n");
    SDL_GL_DeleteContext(sdl_context);
    sdl_context = nullptr;
  }
  LOG("SDL_GL_CreateContext\n");
  sdl_context = SDL_GL_CreateContext(window);
  if (!sdl_context) {
    LOG("SDL_GL_CreateContext: %s\n", SDL_GetError());
    return;
  }
  static const struct {
    SDL_GLattr attr;
    const char *format;
  } sizes[] = {
      {SDL_GL_RED_SIZE, "GL_RED_SIZE:%d\n"},         {SDL_GL_GREEN_SIZE, "GL_GREEN_SIZE:%d\n"},
      {SDL_GL_BLUE_SIZE, "GL_BLUE_SIZE:%d\n"},       {SDL_GL_ALPHA_SIZE, "GL_ALPHA_SIZE:%d\n"},
      {SDL_GL_DEPTH_SIZE, "GL_DEPTH_SIZE:%d\n"},     {SDL_GL_BUFFER_SIZE, "GL_BUFFER_SIZE:%d\n"},
      {SDL_GL_DOUBLEBUFFER, "GL_DOUBLEBUFFER:%d\n"}, {SDL_GL_STENCIL_SIZE, "GL_STENCIL_SIZE:%d\n"},
  };
  for (const auto &s : sizes) {
    int value = 0;
    SDL_GL_GetAttribute(s.attr, &value);
    LOG(s.format, value);
  }
  LOG("SDL_GL_MakeCurrent\n");
  SDL_GL_MakeCurrent(window, sdl_context);
  _driver_glew_init();
}

static unsigned char *_driver_icon_load(const char *path, int *w, int *h) {
  size_t n = 0;
  unsigned char *bytes = driver_file_alloc(path, &n);
  if (!bytes) return nullptr;
  int channels = 0;
  unsigned char *pixels = n <= 0x7FFFFFFF ? stbi_load_from_memory(bytes, (int)n, w, h, &channels, 4) : nullptr;
  free(bytes);
  return pixels;
}

SDL_Surface *driver_window_icon(const char *path) {
  if (!path || !path[0]) return nullptr;
  int w = 0, h = 0;
  unsigned char *pixels = _driver_icon_load(path, &w, &h);
  if (!pixels) return nullptr;
  SDL_Surface *rgba = SDL_CreateRGBSurfaceFrom(pixels, w, h, 32, w * 4, 0xFF, 0xFF00, 0xFF0000, 0xFF000000);
  SDL_Surface *icon = rgba ? SDL_ConvertSurface(rgba, rgba->format, 0) : nullptr;
  SDL_FreeSurface(rgba);
  stbi_image_free(pixels);
  return icon;
}

// Open to the tests: _driver_video_resize for sizes given in window and drawable pixels.
void _driver_video_sizes(int w, int h, int dw, int dh) {
  LOG("window: %d x %d. drawable: %d x %d\n", w, h, dw, dh);
  if (sdl_context) glViewport(0, 0, dw, dh);
  if (!app_info) return;
  app_info->width = w;
  app_info->height = h;
  app_info->aspect = h ? (float)w / (float)h : 1.0f;
  app_info->scale = w ? (float)dw / (float)w : 1.0f;  // fractional on a 1.5x screen; no division by a 0 width
  app_info->resized = 0.0f;
}

void _driver_video_resize() {
  if (!sdl_window) return;
  int w = 0, h = 0, dw = 0, dh = 0;
  SDL_GetWindowSize(sdl_window, &w, &h);
  SDL_GL_GetDrawableSize(sdl_window, &dw, &dh);
  _driver_video_sizes(w, h, dw, dh);
}

static void _driver_gl_attributes() {
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetSwapInterval(1);
  SDL_SetHint("SDL_RENDER_VSYNC", "1");
}

static SDL_Window *_driver_window_create(int w, int h, bool fullscreen) {
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | (fullscreen ? SDL_WINDOW_FULLSCREEN : 0);
  const char *title = app_info ? app_info->title : "";
  return SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h, flags);
}

static void _driver_window_icon_set(SDL_Window *window) {
  SDL_Surface *icon = driver_window_icon(app_info ? app_info->icon : nullptr);
  if (!icon) return;
  SDL_SetWindowIcon(window, icon);
  SDL_FreeSurface(icon);
}

SDL_Window *_try_init_video(int width, int height, int fullscreen) {
  LOG("_try_init_video(%d,%d,%d)\n", width, height, fullscreen);
  if (!desktop_known) {
    desktop_known = SDL_GetDesktopDisplayMode(0, &desktop_mode) == 0;
    if (!desktop_known) memset(&desktop_mode, 0, sizeof desktop_mode);
  }
  int tw = width, th = height;
  if (tw == 0 || th == 0) {
    tw = desktop_mode.w;
    th = desktop_mode.h;
    if (!fullscreen) {
      tw = tw * 80 / 100;
      th = th * 80 / 100;
    }
  }
  int bw = desktop_mode.w * 80 / 100, bh = desktop_mode.h * 80 / 100;
  int sw = 0, sh = 0;
  bool is_full = false;
  if (sdl_window) {
    SDL_GetWindowSize(sdl_window, &sw, &sh);
    is_full = (SDL_GetWindowFlags(sdl_window) & SDL_WINDOW_FULLSCREEN) != 0;
  }
  LOG("_try_init_video: desktop: %d x %d, backup: %d x %d, target: %d x %d, screen: %d x %d\n", desktop_mode.w,
      desktop_mode.h, bw, bh, tw, th, sw, sh);
  if (sdl_window) {
    if (sw == tw && sh == th && is_full == (fullscreen != 0)) {
      LOG("_try_init_video: no changes needed.\n");
      return sdl_window;
    }
    SDL_DestroyWindow(sdl_window);
    sdl_window = nullptr;
  }
  LOG("_try_init_video: initial init\n");
  SDL_InitSubSystem(SDL_INIT_VIDEO);
  _driver_gl_attributes();
  SDL_Window *window = _driver_window_create(tw, th, fullscreen != 0);
  if (!window) {
    LOG("failed to init at %d x %d .. trying %d x %d\n", tw, th, bw, bh);
    window = _driver_window_create(bw, bh, false);
    if (!window) return nullptr;
  }
  sdl_window = window;
  _driver_window_icon_set(window);
  if (!sdl_context) {
    _sdl2_create_context(window);
  } else {
    SDL_GL_MakeCurrent(window, sdl_context);
  }
  int nw = 0, nh = 0;
  SDL_GetWindowSize(window, &nw, &nh);
  LOG("now: %d x %d - %d\n", nw, nh, (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) ? 1 : 0);
  return window;
}

void driver_video_init(int width, int height, int fullscreen) {
  LOG("init_video: %d %d %d %d %d %d %d\n", width, height, 640, 480, 320, 320, fullscreen);
  SDL_Window *window = _try_init_video(width, height, fullscreen);
  if (!window) return;
  SDL_SetWindowMinimumSize(window, 320, 320);
  _driver_video_resize();
}

// Open to the tests: the modifier bits (MOD_*) of SDL's left and right modifier state.
int driver_mod_bits(int mod) {
  int bits = 0;
  if (mod & KMOD_SHIFT) bits |= MOD_SHIFT;
  if (mod & KMOD_CTRL) bits |= MOD_CTRL;
  if (mod & KMOD_ALT) bits |= MOD_ALT;
  if (mod & KMOD_GUI) bits |= MOD_GUI;
  return bits;
}

int driver_key_map(int32_t k) {
  switch (k) {
    case SDLK_UP: return KEY_UP;
    case SDLK_RIGHT: return KEY_RIGHT;
    case SDLK_DOWN: return KEY_DOWN;
    case SDLK_LEFT: return KEY_LEFT;
    case SDLK_ESCAPE: return KEY_ESCAPE;
    case SDLK_BACKSPACE: return KEY_BACKSPACE;
    case SDLK_DELETE: return KEY_DELETE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return KEY_ENTER;
    case SDLK_HOME: return KEY_HOME;
    case SDLK_END: return KEY_END;
    case SDLK_TAB: return KEY_TAB;
    case SDLK_SPACE: return KEY_SPACE;
    case SDLK_KP_0: return KEY_KP_0;
    case SDLK_PLUS: return KEY_PLUS;
    case SDLK_MINUS: return KEY_MINUS;
    case SDLK_BACKQUOTE: return KEY_BACKQUOTE;
  }
  if (k >= SDLK_F1 && k <= SDLK_F12) return KEY_F1 + (k - SDLK_F1);
  if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return KEY_KP_1 + (k - SDLK_KP_1);
  if (k >= SDLK_a && k <= SDLK_z) return KEY_A + (k - SDLK_a);
  if (k >= SDLK_0 && k <= SDLK_9) return KEY_0 + (k - SDLK_0);
  return 0;
}

static void _driver_key(Event &e, int type, const SDL_KeyboardEvent &key) {
  e.type = type;
  e.sym = key.keysym.sym;
  e.key = driver_key_map(key.keysym.sym);
  e.button = driver_mod_bits(key.keysym.mod);
}

static void _driver_joy_axis(Event &e, const SDL_JoyAxisEvent &j) {
  if (!joy_axes_ready) {
    memset(joy_axes, 0, sizeof joy_axes);
    joy_axes_ready = true;
  }
  // The table holds ids 0..255 and axes 0..7; anything else is ignored.
  if (j.axis >= 8 || j.which < 0 || j.which >= 256) return;
  e.type = EVT_JOYAXIS;
  e.which = j.which;
  e.button = j.axis / 2;
  joy_axes[j.which][j.axis] = j.value;
  e.raw_x = joy_axes[j.which][j.axis & ~1] / 32768.0f;
  e.raw_y = joy_axes[j.which][j.axis | 1] / 32768.0f;
}

static void _driver_translate(Event &e, const SDL_Event &s) {
  switch (s.type) {
    case SDL_QUIT: e.type = EVT_QUIT; break;
    case SDL_WINDOWEVENT:
      LOG("_event_poll: SDL_WINDOWEVENT: e.window.event: %d\n", s.window.event);
      if (s.window.event == SDL_WINDOWEVENT_RESIZED) {
        e.type = EVT_RESIZE;
        e.w = (float)s.window.data1;
        e.h = (float)s.window.data2;
        _driver_video_resize();
      }
      break;
    case SDL_KEYDOWN: _driver_key(e, EVT_KEYDOWN, s.key); break;
    case SDL_KEYUP: _driver_key(e, EVT_KEYUP, s.key); break;
    case SDL_TEXTEDITING: break;  // composition in progress carries no key: type 0
    case SDL_TEXTINPUT: typed.assign(s.text.text, strnlen(s.text.text, sizeof s.text.text)); break;
    case SDL_MOUSEMOTION:
      e.type = EVT_MOUSEMOVE;
      e.raw_x = (float)s.motion.x;
      e.raw_y = (float)s.motion.y;
      e.raw_dx = (float)s.motion.xrel;
      e.raw_dy = (float)s.motion.yrel;
      e.button = (int32_t)s.motion.state;
      e.which = (int32_t)s.motion.which;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      e.type = s.type == SDL_MOUSEBUTTONDOWN ? EVT_MOUSEDOWN : EVT_MOUSEUP;
      e.raw_x = (float)s.button.x;
      e.raw_y = (float)s.button.y;
      e.button = s.button.button;
      e.which = (int32_t)s.button.which;
      break;
    case SDL_MOUSEWHEEL: {
      int mx = 0, my = 0;
      SDL_GetMouseState(&mx, &my);
      e.type = EVT_WHEEL;
      e.raw_x = (float)mx;
      e.raw_y = (float)my;
      e.raw_dx = (float)-s.wheel.x;
      e.raw_dy = (float)-s.wheel.y;
      break;
    }
    case SDL_JOYDEVICEADDED: _driver_joystick_open(s.jdevice.which); break;
    case SDL_JOYDEVICEREMOVED: _driver_joystick_close(s.jdevice.which); break;
    case SDL_JOYAXISMOTION: _driver_joy_axis(e, s.jaxis); break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
      e.type = s.type == SDL_JOYBUTTONDOWN ? EVT_JOYDOWN : EVT_JOYUP;
      e.which = s.jbutton.which;
      e.button = s.jbutton.button;
      break;
  }
}

int driver_event_poll(Event &e) {
  e = Event();
  if (!typed.empty()) {
    e.type = EVT_KEYDOWN;
    e.ch = (int32_t)(signed char)typed[0];
    typed.erase(0, 1);
    return 1;
  }
  SDL_Event s;
  if (!SDL_PollEvent(&s)) return 0;
  _driver_translate(e, s);
  e.x = e.raw_x;
  e.y = e.raw_y;
  e.dx = e.raw_dx;
  e.dy = e.raw_dy;
  return 1;
}

void driver_video_swap() {
  if (!sdl_window) return;
  SDL_GL_SwapWindow(sdl_window);
  if (app_info && last_title != app_info->title) {
    last_title = app_info->title;
    SDL_SetWindowTitle(sdl_window, last_title.c_str());
  }
}

static bool _driver_keyboard_usable() { return sdl_window && SDL_HasScreenKeyboardSupport(); }

void driver_keyboard_show() {
  if (!_driver_keyboard_usable()) return;
  LOG("- keyboard_show ...\n");
  if (gfx_state) {
    GfxRect f = gfx_state->focus;
    gfx_rect_to_screen(f.x, f.y, f.w, f.h);
    if (f.w != 0) {
      LOG("- keyboard_show:focus (%d,%d,%d,%d)...\n", (int)f.x, (int)f.y, (int)f.w, (int)f.h);
      SDL_Rect r = {(int)f.x, (int)f.y, (int)f.w, (int)f.h};
      SDL_SetTextInputRect(&r);
    }
  }
  SDL_StartTextInput();
  LOG("- keyboard_show: OK\n");
}

void driver_keyboard_hide() {
  if (!_driver_keyboard_usable()) return;
  LOG("- keyboard_hide ...\n");
  SDL_StopTextInput();
  LOG("- keyboard_hide: OK\n");
}

bool driver_keyboard_active() { return _driver_keyboard_usable() && SDL_IsTextInputActive(); }

std::string driver_clipboard_get() {
  char *text = SDL_GetClipboardText();
  std::string out = text ? text : "";
  SDL_free(text);
  return out;
}

void driver_clipboard_set(const std::string &text) { SDL_SetClipboardText(text.c_str()); }

void driver_alert(const char *text) {
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, app_info ? app_info->title : "", text, nullptr);
}

void driver_deinit() {
  _driver_audio_deinit();
  if (sdl_context) SDL_GL_DeleteContext(sdl_context);
  sdl_context = nullptr;
  if (sdl_window) SDL_DestroyWindow(sdl_window);
  sdl_window = nullptr;
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER);
  SDL_Quit();
  _driver_log_deinit();
  free(app_info);
  app_info = nullptr;
}
