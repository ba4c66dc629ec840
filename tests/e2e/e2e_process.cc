// Starting the real executable in a test: its own APPDATA, captured output, bounded waits.
#include "e2e_process.h"

#include <X11/Xlib.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

static bool _game_headless(const std::vector<std::string> &args) {
  for (const std::string &a : args) {
    if (a == "-headless") return true;
  }
  return false;
}

// The system GL driver is unloaded at exit, after which the leak checker can name none of its
// allocations and cannot suppress them; windowed runs leave leak checking to the library tests,
// which keep the driver loaded.
static void _game_no_driver_leak_check() {
  const char *asan = getenv("ASAN_OPTIONS");
  std::string options = std::string(asan ? asan : "") + ":detect_leaks=0";
  setenv("ASAN_OPTIONS", options.c_str(), 1);
}

GameProcess game_start(const std::vector<std::string> &args,
                       const std::vector<std::pair<std::string, std::string>> &env, rlim_t file_limit,
                       bool errors_apart, const std::string &workdir) {
  GameProcess p;
  char dir[] = "/tmp/vantor-e2e-XXXXXX";
  p.appdata = mkdtemp(dir) ? dir : "/tmp";
  p.output = p.appdata + "/output.txt";
  if (errors_apart) p.errors = p.appdata + "/errors.txt";
  std::string exe = std::string(VB_BINARY_DIR) + "/vantor";
  p.pid = fork();
  if (p.pid == 0) {
    // A test that ends before it waits on its game (a failed assertion) must not leave it running: it
    // would play on, writing its output and sound, under the tests that follow.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    setenv("APPDATA", p.appdata.c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("VANTOR_WEB_HOST");
    for (const auto &entry : env) setenv(entry.first.c_str(), entry.second.c_str(), 1);
    if (!_game_headless(args)) _game_no_driver_leak_check();
    if (chdir(workdir.empty() ? VB_BINARY_DIR : workdir.c_str()) != 0) _exit(127);
    int fd = open(p.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 1);
    dup2(errors_apart ? open(p.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644) : fd, 2);
    if (file_limit != RLIM_INFINITY) {
      signal(SIGXFSZ, SIG_DFL);  // whatever this test process does with it, the game starts from the default
      struct rlimit cap = {file_limit, file_limit};
      setrlimit(RLIMIT_FSIZE, &cap);
    }
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(exe.c_str()));
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  p.pidfd = (int)syscall(SYS_pidfd_open, p.pid, 0);
  return p;
}

// Collects the ended process; its exit status, or minus the signal that ended it.
static int _game_reap(GameProcess &p) {
  int status = 0;
  waitpid(p.pid, &status, 0);
  close(p.pidfd);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

int game_wait(GameProcess &p, int timeout_ms) {
  struct pollfd pfd = {p.pidfd, POLLIN, 0};
  if (poll(&pfd, 1, timeout_ms) <= 0) {
    kill(p.pid, SIGKILL);
    _game_reap(p);
    return -1000;
  }
  return _game_reap(p);
}

bool game_ended(GameProcess &p, int *status) {
  struct pollfd pfd = {p.pidfd, POLLIN, 0};
  if (poll(&pfd, 1, 0) <= 0) return false;
  *status = _game_reap(p);
  return true;
}

std::string file_text(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool wait_for_text(const std::string &path, const std::string &text, int timeout_ms) {
  for (int waited = 0; waited < timeout_ms; waited += 20) {
    if (file_text(path).find(text) != std::string::npos) return true;
    usleep(20000);  // re-check the file: the process writes it at its own pace
  }
  return false;
}

bool wait_for_size(const std::string &path, size_t bytes, int timeout_ms) {
  for (int waited = 0; waited < timeout_ms; waited += 20) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && (size_t)st.st_size >= bytes) return true;
    usleep(20000);  // re-check the file: the process writes it at its own pace
  }
  return false;
}

std::string game_log(const GameProcess &p) { return file_text(p.appdata + "/Vantor Brevane/kezcode.log"); }

int free_udp_port() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return 0;
  sockaddr_in sin = {};
  sin.sin_family = AF_INET;
  sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sin;
  int port = 0;
  if (bind(fd, (sockaddr *)&sin, sizeof sin) == 0 && getsockname(fd, (sockaddr *)&sin, &len) == 0)
    port = ntohs(sin.sin_port);
  close(fd);
  return port;
}

std::string shell_output(const std::string &command) {
  std::string out;
  FILE *f = popen(command.c_str(), "r");
  if (!f) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  pclose(f);
  return out;
}

// What a test needs to tell why no window came: whether the game still runs, what it printed, what
// windows the display holds.
static void _x_report_no_window(const GameProcess &p, int timeout_s) {
  const bool alive = kill(p.pid, 0) == 0;
  fprintf(stderr, "no visible game window after %d s; the game is %s\n--- its output:\n%s\n--- its log:\n%s\n"
          "--- the display's named windows:\n%s\n", timeout_s, alive ? "running" : "gone",
          file_text(p.output).c_str(), game_log(p).c_str(),
          shell_output("echo DISPLAY=$DISPLAY; xdotool search --name '.' getwindowname %@ 2>&1").c_str());
}

unsigned long x_wait_window(const GameProcess &p, int timeout_s) {
  std::string cmd = "xdotool search --onlyvisible --name 'Vantor Brevane' 2>/dev/null";
  struct timespec start, now;
  clock_gettime(CLOCK_MONOTONIC, &start);
  do {
    std::istringstream ids(shell_output(cmd));
    unsigned long id;
    if (ids >> id) return id;
    usleep(20000);  // look again: the window appears when the game gets to it
    clock_gettime(CLOCK_MONOTONIC, &now);
  } while (now.tv_sec - start.tv_sec < timeout_s);
  _x_report_no_window(p, timeout_s);
  return 0;
}

bool x_close_window(unsigned long window) {
  Display *d = XOpenDisplay(nullptr);
  if (!d) return false;
  XEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.xclient.type = ClientMessage;
  ev.xclient.window = window;
  ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, window, False, NoEventMask, &ev);
  XFlush(d);
  XCloseDisplay(d);
  return true;
}
