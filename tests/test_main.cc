// Test entry: every test process gets its own empty APPDATA, so no test sees another's log or settings,
// and its own working folder inside it, so what the game keeps in the working folder (its user folder
// without an application name) stays out of the build too. Both go at the end: a run leaves no user
// file behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

// Works in <dir>/work, with links to the build's data folder beside it and inside it: the game looks
// in "../data" without an application name and in "./data" with one, as beside its executable.
static void _test_work_folder(const std::string &dir) {
  std::error_code ignored;
  std::filesystem::create_directory_symlink(VB_BINARY_DIR "/data", dir + "/data", ignored);
  std::filesystem::create_directory(dir + "/work", ignored);
  std::filesystem::create_directory_symlink(VB_BINARY_DIR "/data", dir + "/work/data", ignored);
  if (chdir((dir + "/work").c_str()) != 0) perror("test working folder");
}

int main(int argc, char **argv) {
  char dir[] = "/tmp/vantor-test-XXXXXX";
  const bool made = mkdtemp(dir) != nullptr;
  if (made) {
    setenv("APPDATA", dir, 1);
    _test_work_folder(dir);
  }
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  std::error_code ignored;  // a file a test made unremovable must not turn a pass into a failure
  if (made) std::filesystem::remove_all(dir, ignored);
  return status;
}
