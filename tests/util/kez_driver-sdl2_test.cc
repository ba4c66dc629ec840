// The SDL driver: SDL input becomes 88-byte event records.
#include "kez_driver-sdl2.h"
#include "kez_driver-sdl2_internal.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class Poll : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK), 0) << SDL_GetError(); }
  static void TearDownTestSuite() { SDL_Quit(); }
  void SetUp() override {
    Event e;
    while (driver_event_poll(e)) {
    }
  }
  static void push(SDL_Event s) { ASSERT_EQ(SDL_PushEvent(&s), 1) << SDL_GetError(); }
  static void push_key(Uint32 type, SDL_Keycode sym, Uint16 mod) {
    SDL_Event s;
    memset(&s, 0, sizeof s);
    s.type = type;
    s.key.keysym.sym = sym;
    s.key.keysym.mod = mod;
    push(s);
  }
  static Event poll() {
    Event e;
    e.type = -1;
    EXPECT_EQ(driver_event_poll(e), 1);
    return e;
  }
};

}  // namespace

TEST(EventRecord, constructor_zeroes_every_word) {
  Event e;
  memset(static_cast<void *>(&e), 0x5A, sizeof e);
  new (&e) Event(EVT_RESET);
  EXPECT_EQ(e.type, EVT_RESET);
  const unsigned char *bytes = reinterpret_cast<const unsigned char *>(&e);
  for (size_t i = 4; i < sizeof e; i++) ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(KeyMap, maps_the_library_keys_and_nothing_else) {
  EXPECT_EQ(driver_key_map(SDLK_RETURN), KEY_ENTER);
  EXPECT_EQ(driver_key_map(SDLK_KP_ENTER), KEY_ENTER);
  EXPECT_EQ(driver_key_map(SDLK_KP_0), 28);
  EXPECT_EQ(driver_key_map(SDLK_KP_1), 29);
  EXPECT_EQ(driver_key_map(SDLK_KP_9), 37);
  EXPECT_EQ(driver_key_map(SDLK_F1), 14);
  EXPECT_EQ(driver_key_map(SDLK_F12), 25);
  EXPECT_EQ(driver_key_map(SDLK_a), 38);
  EXPECT_EQ(driver_key_map(SDLK_f), KEY_F);
  EXPECT_EQ(driver_key_map(SDLK_q), KEY_Q);
  EXPECT_EQ(driver_key_map(SDLK_z), 63);
  // The names between the ends of each run.
  EXPECT_EQ(driver_key_map(SDLK_F5), KEY_F5);
  EXPECT_EQ(driver_key_map(SDLK_KP_5), KEY_KP_5);
  EXPECT_EQ(driver_key_map(SDLK_m), KEY_M);
  EXPECT_EQ(driver_key_map(SDLK_5), KEY_5);
  EXPECT_EQ(driver_key_map(SDLK_0), 64);
  EXPECT_EQ(driver_key_map(SDLK_9), 73);
  EXPECT_EQ(driver_key_map(SDLK_PLUS), 74);
  EXPECT_EQ(driver_key_map(SDLK_MINUS), 75);
  EXPECT_EQ(driver_key_map(SDLK_BACKQUOTE), 76);
  EXPECT_EQ(driver_key_map(SDLK_ESCAPE), KEY_ESCAPE);
  EXPECT_EQ(driver_key_map(SDLK_LSHIFT), 0);
  EXPECT_EQ(driver_key_map(SDLK_F13), 0);
}

TEST(KeyMap, folds_left_and_right_modifiers) {
  EXPECT_EQ(driver_mod_bits(KMOD_RCTRL | KMOD_LALT), MOD_CTRL | MOD_ALT);
  EXPECT_EQ(driver_mod_bits(KMOD_LSHIFT | KMOD_RGUI), MOD_SHIFT | MOD_GUI);
  EXPECT_EQ(driver_mod_bits(KMOD_NUM | KMOD_CAPS), 0);
}

TEST_F(Poll, nothing_pending_gives_zero) {
  Event e;
  EXPECT_EQ(driver_event_poll(e), 0);
}

TEST_F(Poll, typed_text_comes_out_one_byte_per_poll_before_the_next_sdl_event) {
  SDL_Event s;
  memset(&s, 0, sizeof s);
  s.type = SDL_TEXTINPUT;
  strcpy(s.text.text, "a\xc3\xa9");
  push(s);
  push_key(SDL_KEYDOWN, SDLK_b, 0);
  Event e = poll();
  EXPECT_EQ(e.type, 0);
  e = poll();
  EXPECT_EQ(e.type, EVT_KEYDOWN);
  EXPECT_EQ(e.key, 0);
  EXPECT_EQ(e.ch, 'a');
  EXPECT_EQ(poll().ch, (int)(signed char)0xc3);
  EXPECT_EQ(poll().ch, (int)(signed char)0xa9);
  e = poll();
  EXPECT_EQ(e.key, driver_key_map(SDLK_b));
  EXPECT_EQ(e.ch, 0);
}

TEST_F(Poll, key_events_carry_key_sym_and_modifier_bits) {
  push_key(SDL_KEYDOWN, SDLK_KP_ENTER, KMOD_RCTRL | KMOD_LALT);
  push_key(SDL_KEYUP, SDLK_g, KMOD_LSHIFT);
  Event e = poll();
  EXPECT_EQ(e.type, EVT_KEYDOWN);
  EXPECT_EQ(e.key, KEY_ENTER);
  EXPECT_EQ(e.sym, SDLK_KP_ENTER);
  EXPECT_EQ(e.button, 6);
  e = poll();
  EXPECT_EQ(e.type, EVT_KEYUP);
  EXPECT_EQ(e.key, KEY_G);
  EXPECT_EQ(e.button, MOD_SHIFT);
}

TEST_F(Poll, text_editing_carries_no_key) {
  SDL_Event s;
  memset(&s, 0, sizeof s);
  s.type = SDL_TEXTEDITING;
  strcpy(s.edit.text, "x");
  push(s);
  Event e = poll();
  EXPECT_EQ(e.type, 0);
  EXPECT_EQ(e.key, 0);
  EXPECT_EQ(e.sym, 0);
}

TEST_F(Poll, mouse_events_fill_raw_and_copied_coordinates) {
  SDL_Event s;
  memset(&s, 0, sizeof s);
  s.type = SDL_MOUSEMOTION;
  s.motion.x = 10;
  s.motion.y = 20;
  s.motion.xrel = -3;
  s.motion.yrel = 4;
  s.motion.state = SDL_BUTTON_LMASK;
  s.motion.which = 2;
  push(s);
  memset(&s, 0, sizeof s);
  s.type = SDL_MOUSEBUTTONUP;
  s.button.x = 5;
  s.button.y = 6;
  s.button.button = 3;
  push(s);
  Event e = poll();
  EXPECT_EQ(e.type, EVT_MOUSEMOVE);
  EXPECT_EQ(e.raw_x, 10);
  EXPECT_EQ(e.y, 20);
  EXPECT_EQ(e.raw_dx, -3);
  EXPECT_EQ(e.dy, 4);
  EXPECT_EQ(e.button, (int)SDL_BUTTON_LMASK);
  EXPECT_EQ(e.which, 2);
  e = poll();
  EXPECT_EQ(e.type, EVT_MOUSEUP);
  EXPECT_EQ(e.x, 5);
  EXPECT_EQ(e.button, 3);
}

TEST_F(Poll, wheel_amounts_are_negated) {
  SDL_Event s;
  memset(&s, 0, sizeof s);
  s.type = SDL_MOUSEWHEEL;
  s.wheel.x = 2;
  s.wheel.y = -1;
  push(s);
  Event e = poll();
  EXPECT_EQ(e.type, EVT_WHEEL);
  EXPECT_EQ(e.raw_dx, -2);
  EXPECT_EQ(e.raw_dy, 1);
  EXPECT_EQ(e.dy, 1);
}

TEST_F(Poll, joystick_axes_report_their_pair) {
  SDL_Event s;
  memset(&s, 0, sizeof s);
  s.type = SDL_JOYAXISMOTION;
  s.jaxis.which = 0;
  s.jaxis.axis = 2;
  s.jaxis.value = 16384;
  push(s);
  s.jaxis.axis = 3;
  s.jaxis.value = -32768;
  push(s);
  poll();
  Event e = poll();
  EXPECT_EQ(e.type, EVT_JOYAXIS);
  EXPECT_EQ(e.button, 1);
  EXPECT_FLOAT_EQ(e.raw_x, 0.5f);
  EXPECT_FLOAT_EQ(e.raw_y, -1.0f);
}

TEST_F(Poll, joystick_ids_beyond_the_table_and_high_axes_are_ignored) {
  SDL_Event s;
  memset(&s, 0, sizeof s);
  s.type = SDL_JOYAXISMOTION;
  s.jaxis.which = 256;
  s.jaxis.axis = 0;
  s.jaxis.value = 100;
  push(s);
  s.jaxis.which = 1;
  s.jaxis.axis = 8;
  push(s);
  EXPECT_EQ(poll().type, 0);
  EXPECT_EQ(poll().type, 0);
}

TEST_F(Poll, quit_and_joystick_buttons) {
  SDL_Event s;
  memset(&s, 0, sizeof s);
  s.type = SDL_JOYBUTTONDOWN;
  s.jbutton.which = 4;
  s.jbutton.button = 7;
  push(s);
  memset(&s, 0, sizeof s);
  s.type = SDL_QUIT;
  push(s);
  Event e = poll();
  EXPECT_EQ(e.type, EVT_JOYDOWN);
  EXPECT_EQ(e.which, 4);
  EXPECT_EQ(e.button, 7);
  EXPECT_EQ(poll().type, EVT_QUIT);
}

TEST_F(Poll, clipboard_round_trips) {
  driver_clipboard_set("copied text");
  EXPECT_EQ(driver_clipboard_get(), "copied text");
}

TEST(Headless, window_calls_do_nothing_without_a_window) {
  EXPECT_EQ(driver_window(), nullptr);
  driver_video_swap();
  driver_keyboard_show();
  driver_keyboard_hide();
  EXPECT_FALSE(driver_keyboard_active());
  _driver_video_resize();
  EXPECT_EQ(driver_window_icon(nullptr), nullptr);
  EXPECT_EQ(driver_window_icon(""), nullptr);
  EXPECT_EQ(driver_window_icon("/no/such/icon.png"), nullptr);
}

TEST(PixelScale, follows_the_drawable_size_in_fractions) {
  ASSERT_TRUE(driver_app_create());
  _driver_video_sizes(1280, 720, 1920, 1080);
  EXPECT_FLOAT_EQ(app_info->scale, 1.5f) << "a 1.5x screen";
  EXPECT_FLOAT_EQ(app_info->aspect, 1280.0f / 720.0f);
  _driver_video_sizes(1000, 800, 1250, 1000);
  EXPECT_FLOAT_EQ(app_info->scale, 1.25f);
  EXPECT_EQ(app_info->width, 1000);
  _driver_video_sizes(0, 0, 0, 0);
  EXPECT_FLOAT_EQ(app_info->scale, 1.0f) << "a window of no width keeps scale 1";
  free(app_info);
  app_info = nullptr;
}

namespace {

// SDL's virtual joysticks seen through the windowed game's driver.
class Joysticks : public testing::Test {
 protected:
  // The test's own hold on the subsystem, so that a device can be plugged in before the driver starts.
  void SetUp() override { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError(); }
  void TearDown() override { driver_deinit(); }
  // Plugs in a pad of 4 axes and 2 buttons; its instance id.
  static SDL_JoystickID plug() {
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 4, 2, 0);
    EXPECT_GE(index, 0) << SDL_GetError();
    return SDL_JoystickGetDeviceInstanceID(index);
  }
  static void unplug(SDL_JoystickID id) {
    for (int i = 0; i < SDL_NumJoysticks(); i++) {
      if (SDL_JoystickGetDeviceInstanceID(i) == id) {
        EXPECT_EQ(SDL_JoystickDetachVirtual(i), 0) << SDL_GetError();
      }
    }
  }
  // Every record the driver makes until nothing is pending.
  static std::vector<Event> drain() {
    std::vector<Event> out;
    Event e;
    while (driver_event_poll(e)) out.push_back(e);
    return out;
  }
  // The records of one type and device.
  static std::vector<Event> only(const std::vector<Event> &records, int type, SDL_JoystickID which) {
    std::vector<Event> out;
    for (const Event &e : records)
      if (e.type == type && e.which == which) out.push_back(e);
    return out;
  }
};

}  // namespace

TEST_F(Joysticks, every_pad_is_opened_as_it_comes_and_reports_axis_pairs_and_buttons) {
  SDL_JoystickID a = plug();
  _driver_video_init();
  SDL_Joystick *pad_a = SDL_JoystickFromInstanceID(a);
  ASSERT_NE(pad_a, nullptr) << "a pad present at start is opened";
  drain();
  SDL_JoystickID b = plug();
  drain();
  SDL_Joystick *pad_b = SDL_JoystickFromInstanceID(b);
  ASSERT_NE(pad_b, nullptr) << "a pad plugged in later is opened";

  // SDL also reports a new pad's resting axes; only the records of what the test moves are checked.
  SDL_JoystickSetVirtualAxis(pad_a, 2, 16384);
  std::vector<Event> first = only(drain(), EVT_JOYAXIS, a);
  SDL_JoystickSetVirtualAxis(pad_a, 3, -32768);
  std::vector<Event> second = only(drain(), EVT_JOYAXIS, a);
  SDL_JoystickSetVirtualButton(pad_b, 1, SDL_PRESSED);
  std::vector<Event> down = only(drain(), EVT_JOYDOWN, b);
  SDL_JoystickSetVirtualButton(pad_b, 1, SDL_RELEASED);
  std::vector<Event> up = only(drain(), EVT_JOYUP, b);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].button, 1) << "axes 2 and 3 are pair 1";
  EXPECT_FLOAT_EQ(first[0].raw_x, 0.5f);
  EXPECT_FLOAT_EQ(first[0].raw_y, 0.0f);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_FLOAT_EQ(second[0].raw_x, 0.5f) << "the pair's other axis keeps its last value";
  EXPECT_FLOAT_EQ(second[0].raw_y, -1.0f);
  EXPECT_FLOAT_EQ(second[0].y, -1.0f);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0].button, 1);
  ASSERT_EQ(up.size(), 1u);
  EXPECT_EQ(up[0].button, 1);

  unplug(b);
  drain();
  EXPECT_EQ(SDL_JoystickFromInstanceID(b), nullptr) << "an unplugged pad is closed";
  SDL_JoystickSetVirtualButton(pad_a, 0, SDL_PRESSED);
  EXPECT_EQ(only(drain(), EVT_JOYDOWN, a).size(), 1u) << "the other pad plays on";
}
