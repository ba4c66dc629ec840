// Starting the real executable in a test: its own APPDATA, captured output, bounded waits.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

struct GameProcess {
  pid_t pid = -1;
  int pidfd = -1;
  std::string appdata;  // the private user base folder of this run
  std::string output;   // file receiving standard output and standard error
  std::string errors;   // file receiving standard error alone, when the test asked for it apart
};

// Starts the game binary with the arguments in a fresh APPDATA and with the environment entries given
// (no VANTOR_WEB_HOST otherwise, whatever the test's own environment holds); the working folder is the
// build folder so that ./data is found. A file_limit caps every file the game writes at that many bytes
// (as `ulimit -f` does), with SIGXFSZ at its default action. With errors_apart, standard error goes
// to p.errors alone. A workdir is the working folder instead.
GameProcess game_start(const std::vector<std::string> &args,
                       const std::vector<std::pair<std::string, std::string>> &env = {},
                       rlim_t file_limit = RLIM_INFINITY, bool errors_apart = false, const std::string &workdir = "");
// Waits for the process to end; its exit status, or -1000 when it did not end in time (it is killed).
int game_wait(GameProcess &p, int timeout_ms);
// Whether the process has ended, without waiting; then *status holds its exit status. Once it has,
// the process is gone: wait for it no more.
bool game_ended(GameProcess &p, int *status);
// The text of a file, empty when it is missing.
std::string file_text(const std::string &path);
// The game's log file of that run.
std::string game_log(const GameProcess &p);
// Waits (bounded) until the file holds the text; false when it did not in time.
bool wait_for_text(const std::string &path, const std::string &text, int timeout_ms);
// Waits (bounded) until the file is at least that many bytes long; false when it was not in time.
bool wait_for_size(const std::string &path, size_t bytes, int timeout_ms);
// A UDP port of 127.0.0.1 that was free a moment ago, for a server the test starts; 0 when none.
int free_udp_port();
// Runs a command line through the shell and returns its standard output (test tooling only).
std::string shell_output(const std::string &command);
// Asks the window titled "Vantor Brevane" to close, as a window manager's close button does.
bool x_close_window(unsigned long window);
// Waits (bounded) until a visible window titled "Vantor Brevane" exists; its X id, or 0 after telling
// on standard error why there may be none (the game's state, output and log, the display's windows).
unsigned long x_wait_window(const GameProcess &p, int timeout_s);

// A test with a folder of its own for the mod files it hands the game, removed with the test.
class ModFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantor-e2e-mods-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    folder = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  // Writes the mod file and returns its path.
  std::string mod(const std::string &name, const std::string &text) {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  std::string folder;
};
