// The application object: start-up, the per-frame loop and paint, frame pacing and shutdown.
#include "game.h"
#include "game_internal.h"

#include <GL/glew.h>
#include <SDL.h>
#include <signal.h>
#include <sys/random.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "chat.h"
#include "game_audio.h"
#include "game_engine.h"
#include "game_match.h"
#include "game_net.h"
#include "game_video.h"
#include "game_web.h"
#include "kez_driver-files.h"
#include "kez_driver-steam.h"
#include "kez_font.h"
#include "kez_gfx-tex.h"
#include "kez_gfx.h"
#include "kez_http.h"
#include "kez_log.h"
#include "kez_social.h"
#include "kez_sound.h"
#include "menus.h"
#include "mods_budget.h"
#include "mods_start.h"
#include "states_play.h"
#include "test.h"
#include "trans.h"

static const float FRAME_TARGET = 0.016666668f;
static const char *VERSION = "brevane2.4-Desktop-Win32-Steamworks";

Game *game;                  // the pointer most code reads, set by Game::init
static Game *game_instance;  // the owner, set by game_create
static volatile sig_atomic_t game_signalled;
static int game_status;  // the exit status main returns

// SIGINT, SIGTERM and SIGHUP (a closed terminal, a logout) end the game as a quit does: finish the
// frame and shut down cleanly, settings saved. A mod inside a long call is told too, or the frame
// would not end.
static void _game_on_signal(int) {
  game_signalled = 1;
  mods_budget_quit();
}

static void _game_signals() {
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = _game_on_signal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  struct sigaction hangup;
  // A server started under nohup was asked to outlive the terminal: its ignored hang-up stays ignored.
  if (sigaction(SIGHUP, nullptr, &hangup) == 0 && hangup.sa_handler != SIG_IGN) sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);  // a peer that went away must not kill the process on send
  signal(SIGXFSZ, SIG_IGN);  // a write past the file-size limit then fails like any other failed write
}

static void _game_banner() {
  char rule[54];
  memset(rule, '=', 53);
  rule[53] = 0;
  _driver_log_write("\n");
  _driver_log_write("%s\n", rule);
  _driver_log_write("DO NOT SHARE LOG FILES WITH ANYONE BUT THE DEVELOPERS\n");
  _driver_log_write("%s\n", rule);
  _driver_log_write("VERSION: %s\n", VERSION);
  _driver_log_write("%s\n", rule);
  _driver_log_write("\n");
}

Game::Game() {
  memset(static_cast<void *>(this), 0, sizeof *this);
  log_set_instance(&port);
  game_engine_connect();  // here, not in init: tests make games they never init
  _game_banner();
}

// The log and the global pointer must not outlive the object they point into.
Game::~Game() {
  chat_destroy(this);
  log_set_instance(nullptr);
  if (game == this) game = nullptr;
}

// A -port value as the port it names: digits alone, read whole and range-checked before any narrowing,
// so that nothing past 16 bits wraps onto somebody's real port; 0 for any other text.
static int32_t _game_port_read(const char *text) {
  if (!isdigit((unsigned char)text[0])) return 0;  // strtol would take a blank, a sign or nothing at all
  char *end;
  errno = 0;
  const long value = strtol(text, &end, 10);
  if (*end || errno == ERANGE || value > UINT16_MAX) return 0;
  return (int32_t)value;
}

void Game::parse_args(char **v, int c) {
  argv = v;
  argc = c;
  for (int i = 0; i < c; i++) {
    const char *opt = v[i];
    const char *value = i + 1 < c ? v[i + 1] : nullptr;
    if (strcmp(opt, "-headless") == 0) {
      headless = 1;
    } else if (strcmp(opt, "-port") == 0 && value) {
      port_arg = value;
      port = _game_port_read(value);
    } else if (strcmp(opt, "-mod") == 0 && value) {
      game_settings_copy_text(mod_arg, sizeof mod_arg, value);
    } else if (strcmp(opt, "-name") == 0 && value) {
      game_settings_copy_text(settings.user_name, sizeof settings.user_name, value);
    } else if (strcmp(opt, "-passwd") == 0 && value) {
      game_settings_copy_text(settings.password, sizeof settings.password, value);
    }
  }
  game_identity_update(this);
}

static void _game_app_record() {
  AppInfo *app = driver_app_create();
  if (!app) {
    fprintf(stderr, "out of memory\n");
    exit(-1);
  }
  snprintf(app->app_name, sizeof app->app_name, "%s", "Vantor Brevane");
  snprintf(app->title, sizeof app->title, "%s", "Vantor Brevane");
  snprintf(app->icon, sizeof app->icon, "%s", driver_data_path("icon.png"));
}

// One seed per run for the C generator, which the match, the particles and the mods' math.random all
// draw from: without it every launch would deal the same random map. The kernel's entropy first;
// when it has none to give, the time and the process id still differ between two runs.
static void _game_seed_random() {
  unsigned seed;
  if (getrandom(&seed, sizeof seed, GRND_NONBLOCK) != (ssize_t)sizeof seed) {
    seed = (unsigned)time(nullptr) ^ (unsigned)getpid() << 16 ^ (unsigned)clock();
  }
  srand(seed);
}

// A dedicated server that cannot serve must not look healthy to whoever started it: the reason goes
// to the log and, as one line, to the error stream, and the process ends with status -1 (255). A mod
// that fails later is reloaded when its file changes instead.
static void _game_tell_refusal(const std::string &reason) {
  LOG_PRINTF("error %s", reason.c_str());
  fprintf(stderr, "vantor: %s\n", reason.c_str());
}

[[noreturn]] static void _game_refuse(Game *g, const std::string &reason) {
  _game_tell_refusal(reason);
  g->deinit();
  exit(-1);
}

void game_exit_refused(const std::string &reason) {
  _game_tell_refusal(reason);
  states_delete_all();  // their registry is a static that exit destroys, which would leave them unowned
  exit(-1);
}

// The data folder as the player can look for it: driver_data_dir is relative to the working folder.
static std::string _game_data_folder() {
  char cwd[4096];
  const std::string dir = driver_data_dir();
  if (dir.rfind("./", 0) != 0 || !getcwd(cwd, sizeof cwd)) return dir;
  return cwd + dir.substr(1);
}

// Without its data folder the game has neither a font to tell the player with nor a mod to run: a
// windowed game says why in the system's own message box, and either ends as a server that cannot
// serve does. Nothing is loaded yet, so nothing is saved over the player's files on the way out.
static void _game_data_check(Game *g) {
  if (driver_data_found()) return;
  const std::string reason =
      "cannot find the data folder " + _game_data_folder() + ": start the game from the folder that holds it";
  if (!g->headless) driver_alert(("Vantor Brevane " + reason + ".").c_str());
  game_exit_refused(reason);
}

// A headless server's own options: a mod to run, and a port it can listen on when one is given.
static void _game_headless_check(Game *g) {
  if (!g->mod_arg[0]) _game_refuse(g, "-mod $FNAME must be provided when running in -headless mode");
  if (g->port_arg && !g->port)
    _game_refuse(g,
                 "-port \"" + log_escape(g->port_arg, 64) + "\" is not a port: a whole number from 1 to 65535");
}

// The command-line name and password are copied before the settings load overwrites the record.
struct GameArgIdentity {
  char user_name[64];
  char password[64];
};

void Game::init() {
  game = this;
  _game_seed_random();
  menus_init(this);
  states_init(this);
  tests_init(this);
  GameArgIdentity args;
  memcpy(args.user_name, settings.user_name, 64);
  memcpy(args.password, settings.password, 64);

  driver_app_create();
  _game_app_record();
  _driver_log_init();
  driver_user_sweep();
  SDL_Init(SDL_INIT_TIMER);
  _game_signals();
  _game_data_check(this);
  if (!headless) {
    _driver_video_init();
    _driver_audio_init();
  }

  game_settings_load(&settings);
  if (args.user_name[0]) memcpy(settings.user_name, args.user_name, 64);
  if (args.password[0]) memcpy(settings.password, args.password, 64);
  if (args.user_name[0] || args.password[0]) game_identity_update(this);
  settings.logged_in = 0;
  quit = 0;
  app_info->fps = 60;

  kez_net_init();
  game_web_configure(getenv("VANTOR_WEB_HOST"));
  social_set_event_handler(game_event);
  if (!headless) {
    social_get();
    video_apply();
    sound_init();
  }
  LOG_PRINTF("sizeof(game) = %ldk", (long)(sizeof(Game) / 1024));
  LOG_PRINTF("sizeof(game.data.vantor) = %ldk", (long)(sizeof(World) / 1024));
  LOG_PRINTF("sizeof(vantor.Item) = %d b", (int)sizeof(Item));
  LOG_PRINTF("sizeof(vantor.Part) = %d b", (int)sizeof(Part));
  LOG_PRINTF("sizeof(PlanetStyleSphere) = %d b", (int)sizeof(PlanetStyleSphere));
  LOG_PRINTF("sizeof(PlanetStyleOverlay) = %d b", (int)sizeof(PlanetStyleOverlay));

  memset(mod_file, 0, sizeof mod_file);
  mods = nullptr;
  mods_base = nullptr;
  memset(&names, 0, sizeof names);
  server = client = nullptr;
  chat = nullptr;

  if (headless) {
    _game_headless_check(this);
    // A bare name is a mod of the data folder; a path names the file itself.
    game_settings_copy_text(mod_file, sizeof mod_file, strchr(mod_arg, '/') ? mod_arg : driver_data_path(mod_arg));
    const std::string failure = mods_start(this);
    if (!failure.empty()) _game_refuse(this, "cannot start the mod " + std::string(mod_file) + ": " + failure);
    return;
  }
  game_splash_paint();
  mods_start_main(this);
}

// Once per process, the friend list goes to the web service as soon as the platform has one.
static void _game_login_event(Game *g) {
  static bool friends_sent;
  if (driver_steam_running()) driver_social_loop();
  if (friends_sent) return;
  if (social_friends().empty()) return;
  friends_sent = true;
  fprintf(stderr, "_game_login_event:friends\n");
  g->web_friends();
}

// Open to the tests: seconds since *last (0 the first time, at most 1), taking now as the new *last
// (milliseconds).
float game_elapsed(uint32_t *last, uint32_t now) {
  float dt = *last ? (float)(now - *last) / 1000.0f : 0.0f;
  *last = now;
  return dt > 1.0f ? 1.0f : dt;
}

// Open to the tests: milliseconds to sleep at now_ms (any wrapping millisecond clock) so this frame
// ends on schedule; 0 for a frame that is late. The first frame sleeps a whole frame.
uint32_t game_frame_pacer_wait(FramePacer *pacer, uint32_t now_ms) {
  if (!pacer->started) {
    pacer->started = true;
    pacer->last_ms = now_ms;
    pacer->ahead_ms = 0;
  }
  const uint32_t elapsed = now_ms - pacer->last_ms;  // unsigned: right across the clock's wrap
  pacer->last_ms = now_ms;
  pacer->ahead_ms += FRAME_TARGET * 1000.0 - elapsed;
  if (pacer->ahead_ms > 0) return (uint32_t)pacer->ahead_ms;
  if (pacer->ahead_ms < -FRAME_TARGET * 1000.0) pacer->ahead_ms = 0;  // too far behind: a new schedule
  return 0;
}

void Game::loop() {
  static uint32_t last_loop;
  if (game_signalled) quit = 1;
  game_net_server_loop(this);
  game_net_client_loop(this);
  game_web_loop(this);
  if (!headless) {
    _game_login_event(this);  // a server has no player of its own to post friends for
    gfx_reload();
    if (!trans_running()) gfx_tex_preload_step();  // a transition's frames are the busiest: no upload there
    font_reload();
    sound_reload();
  }
  float dt = game_elapsed(&last_loop, SDL_GetTicks());
  if (headless) {
    game_match_tick(this, dt);
    return;
  }
  if (trans_running()) {
    trans_step(dt);
    return;
  }
  state_loop(names.current, dt);
  GameAudio::update(dt, 0);
}

void Game::gl_check(int point) {
  static GLenum seen[7];
  GLenum code = glGetError();
  if (code == seen[point]) return;
  LOG_PRINTF("glGetError() -> %d", (int)code);
  seen[point] = code;
}

static void _game_recentre_grabbed_window() {
  SDL_Window *focus = SDL_GetMouseFocus();
  if (focus && SDL_GetWindowGrab(focus)) SDL_SetWindowPosition(focus, 0x2FFF0000, 0x2FFF0000);
}

void Game::paint() {
  if (paint_frame()) frame_wait();
}

bool Game::paint_frame() {
  // Without a window or GL context there is nothing to draw on: only pace the frame.
  if (headless || !driver_gl_context()) return true;
  glBindFramebuffer(GL_FRAMEBUFFER, trans_framebuffer(1));
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  gl_check(0);
  if (trans_running()) {
    if (trans_new_due()) trans_capture(2, -1, this);
    trans_paint();
    driver_video_swap();
    return false;
  }
  gfx_gl_state_reset();
  gl_check(1);
  gfx_clear();
  gl_check(2);
  state_paint(names.current);
  gl_check(3);
  _game_recentre_grabbed_window();
  gl_check(4);
  gl_check(5);
  driver_video_swap();
  gl_check(6);
  return true;
}

void Game::frame_wait() {
  static FramePacer pacer;
  uint32_t ms = game_frame_pacer_wait(&pacer, SDL_GetTicks());
  if (ms) SDL_Delay(ms);
}

void Game::state_reinit() {
  state_init(names.current);  // a match screen lays its view out for the new size, keeping the match
  driver_keyboard_hide();
}

void Game::video_apply() {
  game_video_mode(video_flag);
  state_reinit();
}

void Game::deinit() {
  if (driver_steam_running()) social_logout();
  social_delete();
  game_net_client_close(this);
  game_net_server_close(this);
  if (!headless) state_deinit(names.current);
  states_delete_all();  // registered in both modes, so freed in both
  mods_stop(this);      // the script runtime goes before the context it calls into
  if (!headless) {
    game_settings_save(&settings);
    sound_deinit();
    font_deinit();
    gfx_deinit();
  }
  game_web_deinit();
  kez_net_deinit();
  driver_deinit();
}

void game_create(int argc, char **argv) {
  if (game_instance) return;
  game_instance = new Game();
  game_instance->parse_args(argv, argc);
  game_instance->init();
}

bool game_should_quit() { return !game_instance || game_instance->quit; }

void game_pump_events() {
  Event e;
  while (driver_event_poll(e)) {
    if (game_instance) game_instance->event(e);
  }
}

void game_event(Event e) {
  if (game_instance) game_instance->event(e);
}

void game_quit_failed(Game *g, const std::string &reason) {
  const std::string text = log_escape(reason, 256);
  fprintf(stderr, "%s\n", text.c_str());
  LOG_PRINTF("ending: %s", text.c_str());
  g->quit = 1;
  game_status = 1;
}

int game_exit_status() { return game_status; }

void game_destroy() {
  if (!game_instance) return;
  game_instance->deinit();
  delete game_instance;
  game_instance = nullptr;
}
