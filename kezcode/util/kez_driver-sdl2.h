// The SDL2 driver: window, GL context, input events, on-screen keyboard and clipboard.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct SDL_Window;
struct SDL_Surface;

enum {
  EVT_QUIT = 1,
  EVT_SUSPEND = 2,
  EVT_RESUME = 3,
  EVT_RESIZE = 4,
  EVT_RESET = 5,
  EVT_KEYDOWN = 6,
  EVT_KEYUP = 7,
  EVT_DOWN = 8,
  EVT_MOVE = 9,
  EVT_UP = 10,
  EVT_MOUSEDOWN = 11,
  EVT_MOUSEMOVE = 12,
  EVT_MOUSEUP = 13,
  EVT_WHEEL = 14,
  EVT_TOUCHDOWN = 15,
  EVT_TOUCHMOVE = 16,
  EVT_TOUCHUP = 17,
  EVT_ROTATE = 19,
  EVT_JOYAXIS = 20,
  EVT_JOYDOWN = 21,
  EVT_JOYUP = 22,
  EVT_FOCUS = 23,
  EVT_BLUR = 24,
  EVT_ENTER = 25,
  EVT_LEAVE = 26,
  EVT_CLICK = 27,
  EVT_LOGIN = 29,
  EVT_LOGOUT = 30,
};

// Library key codes; every key not listed maps to 0.
enum {
  KEY_UP = 1,
  KEY_RIGHT = 2,
  KEY_DOWN = 3,
  KEY_LEFT = 4,
  KEY_ESCAPE = 5,
  KEY_BACKSPACE = 6,
  KEY_DELETE = 7,
  KEY_ENTER = 8,
  KEY_HOME = 9,
  KEY_END = 10,
  KEY_F1 = 14,
  KEY_F2 = 15,
  KEY_F3 = 16,
  KEY_F4 = 17,
  KEY_F5 = 18,
  KEY_F6 = 19,
  KEY_F7 = 20,
  KEY_F8 = 21,
  KEY_F9 = 22,
  KEY_F10 = 23,
  KEY_F11 = 24,
  KEY_F12 = 25,
  KEY_TAB = 26,
  KEY_SPACE = 27,
  KEY_KP_0 = 28,
  KEY_KP_1 = 29,
  KEY_KP_2 = 30,
  KEY_KP_3 = 31,
  KEY_KP_4 = 32,
  KEY_KP_5 = 33,
  KEY_KP_6 = 34,
  KEY_KP_7 = 35,
  KEY_KP_8 = 36,
  KEY_KP_9 = 37,
  KEY_A = 38,
  KEY_B = 39,
  KEY_C = 40,
  KEY_D = 41,
  KEY_E = 42,
  KEY_F = 43,
  KEY_G = 44,
  KEY_H = 45,
  KEY_I = 46,
  KEY_J = 47,
  KEY_K = 48,
  KEY_L = 49,
  KEY_M = 50,
  KEY_N = 51,
  KEY_O = 52,
  KEY_P = 53,
  KEY_Q = 54,
  KEY_R = 55,
  KEY_S = 56,
  KEY_T = 57,
  KEY_U = 58,
  KEY_V = 59,
  KEY_W = 60,
  KEY_X = 61,
  KEY_Y = 62,
  KEY_Z = 63,
  KEY_0 = 64,
  KEY_1 = 65,
  KEY_2 = 66,
  KEY_3 = 67,
  KEY_4 = 68,
  KEY_5 = 69,
  KEY_6 = 70,
  KEY_7 = 71,
  KEY_8 = 72,
  KEY_9 = 73,
  KEY_PLUS = 74,
  KEY_MINUS = 75,
  KEY_BACKQUOTE = 76,
};

// Modifier bits of key events.
enum { MOD_SHIFT = 1, MOD_CTRL = 2, MOD_ALT = 4, MOD_GUI = 8 };

// One input or application event, always passed by value: 22 words.
struct Event {
  int32_t type;
  float x, y, z;
  float dx, dy, dz;
  float w, h;  // new window size (resize only)
  float raw_x, raw_y, raw_z;
  float raw_dx, raw_dy, raw_dz;
  int32_t button;  // button, button mask, modifier bits, axis pair or joystick button
  int32_t key;     // library key code
  int32_t ch;      // typed byte, sign-extended
  int32_t reserved1;
  int32_t sym;  // SDL keycode of a key event
  int32_t reserved2;
  int32_t which;  // mouse device or joystick instance

  Event();
  explicit Event(int32_t type);
};

static_assert(sizeof(Event) == 88, "Event is 22 words");
static_assert(offsetof(Event, raw_x) == 36 && offsetof(Event, button) == 60, "Event layout");
static_assert(offsetof(Event, sym) == 76 && offsetof(Event, which) == 84, "Event layout");

// The application and device record.
struct AppInfo {
  int32_t width, height;    // window size in window pixels
  float aspect;             // width / height
  float scale;              // pixel scale: drawable width / window width
  float resized;            // set to 0 on resize
  char device[32];          // "desktop", "phone" or "tablet"
  char app_name[256];       // application folder name; empty = data beside "../data", no user folder
  char title[256];          // window title
  char icon[512];           // window icon path
  int32_t fps;              // frame rate target
  char data_override[512];  // override data folder, empty = none
};

// The one application record, or null before the game creates it.
extern AppInfo *app_info;

// Creates the zero-filled application record with aspect and scale 1 (once).
AppInfo *driver_app_create();

// Starts SDL's video subsystem, logs the SDL versions and starts the joysticks, opening every one present
// (later ones open as they are plugged in and close as they are pulled out).
void _driver_video_init();
// Opens or adapts the window (0 x 0 = automatic size) and its GL context.
void driver_video_init(int width, int height, int fullscreen);
// Creates, keeps or re-creates the window; none when even the backup size fails.
SDL_Window *_try_init_video(int width, int height, int fullscreen);
// Replaces the GL context of the window with a new one and makes it current.
void _sdl2_create_context(SDL_Window *window);
// Decodes an image file into a window icon surface; none for a missing or unreadable file.
SDL_Surface *driver_window_icon(const char *path);
// Reads the window and drawable sizes into the application record and sets the viewport.
void _driver_video_resize();
// Takes one event into e; 1 when an event was taken (even of type 0), 0 when none is pending.
int driver_event_poll(Event &e);
// Library key code of an SDL keycode, 0 for keys without one.
int driver_key_map(int32_t sdl_keycode);
// Shows the frame and applies a changed window title.
void driver_video_swap();
// Shows, hides and asks about the on-screen keyboard (nothing without a window).
void driver_keyboard_show();
void driver_keyboard_hide();
bool driver_keyboard_active();
// The clipboard's text.
std::string driver_clipboard_get();
void driver_clipboard_set(const std::string &text);
// The window, or null without one (headless or failed).
SDL_Window *driver_window();
// True while a GL context exists.
bool driver_gl_context();
// Shows text in the system's own message box titled with the window title, until the player
// closes it; it needs no data file (nothing where no box can be shown).
void driver_alert(const char *text);
// Shuts down audio, GL, the window, SDL and the log file, and frees the application record.
void driver_deinit();
