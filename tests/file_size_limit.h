// A disk that fills up mid-write, for the tests of the user files: the body runs in a child process
// whose files may not grow past a limit, so its writes fail part-way while the test process is untouched.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs body () (which answers true on success) in a child whose files stop at limit bytes; returns
// 1 when body answered true, 0 when it answered false, -1 when the child did not end normally.
template <typename F>
int with_file_size_limit(rlim_t limit, F body) {
  fflush(nullptr);  // nothing buffered may be written twice
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG instead of killing the child
    struct rlimit cap = {limit, limit};
    setrlimit(RLIMIT_FSIZE, &cap);
    _exit(body() ? 1 : 0);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
