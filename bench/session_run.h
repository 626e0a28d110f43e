// One session of the program on a command file, in a child process of its
// own (a session is started once per process), timed from the fork or by
// the child's processor time.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "session/startup.h"

namespace bench {

// Runs a session on path in a child; true when it exited with 0.  The
// child's resource use goes to *ru.
inline bool session_child(const std::string& path, rusage* ru) {
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    std::string arg0 = "vexo";
    std::string arg1 = path;
    char* argv[] = {arg0.data(), arg1.data(), nullptr};
    _exit(vexo::session_main(2, argv));
  }
  int status = 0;
  if (wait4(pid, &status, 0, ru) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The seconds of a session on path, or -1 when it could not run or did
// not exit with 0.
inline double session_seconds(const std::string& path) {
  auto t0 = std::chrono::steady_clock::now();
  rusage ru{};
  if (!session_child(path, &ru)) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0)
      .count();
}

// The processor seconds (user and system) of a session on path, which
// other load on the machine disturbs less than wall time; -1 as above.
inline double session_cpu_seconds(const std::string& path) {
  rusage ru{};
  if (!session_child(path, &ru)) return -1;
  auto secs = [](const timeval& t) { return t.tv_sec + t.tv_usec * 1e-6; };
  return secs(ru.ru_utime) + secs(ru.ru_stime);
}

}  // namespace bench
