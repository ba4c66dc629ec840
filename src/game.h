// The application object: one Game, driven by a loop of input, update and paint.
#pragma once

#include <cstdint>
#include <string>

#include "game_settings.h"
#include "kez_driver-sdl2.h"
#include "state.h"
#include "vantor.h"
#include "vantor_view.h"

class ModsAPI;
class ModsBase;
class Net;
struct Chat;

struct GameData {
  World vantor;  // the match world
};

struct Game {
  GameData data;
  View view;  // the match view of the main screen
  char mod_file[512];
  ModsAPI *mods;
  ModsBase *mods_base;
  Net *server;
  Net *client;
  Chat *chat;
  StateNames names;  // the current state and the state stack
  GameSettings settings;
  uint32_t video_flag;  // inverts the fullscreen setting for one video-mode apply
  uint32_t quit;        // nonzero ends the main loop
  uint32_t headless;
  int32_t port;          // 1..65535, else 0; also the log's instance id
  const char *port_arg;  // the -port value as given (a string of argv), null without one
  char mod_arg[512];
  char server_name[256];
  char shown_name[64];  // the name a mod gave the player to go by online this run; empty: the identity's
  int32_t argc;
  char **argv;

  Game();
  ~Game();
  void parse_args(char **argv, int argc);
  void init();
  void event(Event e);
  void loop();
  void paint();
  // One frame of paint without the pacing; false when the frame is a transition's, which is not paced.
  bool paint_frame();
  void deinit();
  void state_reinit();
  void video_apply();
  // Posts the player's friend list to the web service (nothing without friends).
  void web_friends();

 private:
  void frame_wait();
  void gl_check(int point);
};

// The Game most code reads; set by Game::init.
extern Game *game;

// Creates the one Game (when none exists), parses the command line and initialises it.
void game_create(int argc, char **argv);
// True when there is no Game or its quit flag is set.
bool game_should_quit();
// Hands every pending input event to Game::event.
void game_pump_events();
// Forwards an event to Game::event when the Game exists.
void game_event(Event e);
// Frame pacing to 60 per second against a schedule of frame ends 1/60 s apart, so sleeps cut to
// whole milliseconds never add up to drift and a frame's own sleep never counts as the next frame's
// work. A frame that ends more than a frame behind the schedule starts a new one instead of racing.
struct FramePacer {
  bool started;
  uint32_t last_ms;  // the clock at the previous call
  double ahead_ms;   // how far the current frame's scheduled end lies after last_ms
};
// Deinitialises and deletes the Game, if there is one.
void game_destroy();
// Ends the game after this frame as a failure: the reason goes to the standard error and the log, and
// game_exit_status becomes 1.
void game_quit_failed(Game *game, const std::string &reason);
// Ends a headless server that cannot serve where it stands, inside a call into the mod too: the reason
// to the log and, as one line, to standard error, then status 255. Nothing the mod's call on the stack
// may use is torn down: only the screens are freed, which a headless server never runs.
[[noreturn]] void game_exit_refused(const std::string &reason);
// The process's exit status: 0, or 1 after game_quit_failed.
int game_exit_status();
