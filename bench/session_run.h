// One session of the program on a command file, in a child process of its
// own (a session is started once per process), timed from the fork.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "session/startup.h"

namespace bench {

// The seconds of a session on path, or -1 when it could not run or did
// not exit with 0.
inline double session_seconds(const std::string& path) {
  std::fflush(stdout);
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    std::string arg0 = "vexo";
    std::string arg1 = path;
    char* argv[] = {arg0.data(), arg1.data(), nullptr};
    _exit(vexo::session_main(2, argv));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0)
      .count();
}

}  // namespace bench
