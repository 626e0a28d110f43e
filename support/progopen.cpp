// The child behind an input name "<command".
#include "support/progopen.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "session/child.h"
#include "support/machine.h"

namespace vexo {

// Value of SHELL in env, or null.
static const char* shell_in(char** env) {
  for (; env && *env; ++env)
    if (!std::strncmp(*env, "SHELL=", 6)) return *env + 6;
  return nullptr;
}

int progopen(const char* name, void**) {
  if (*name != '<') return -1;
  const char* cmd = name + 1;
  while (*cmd && (unsigned char)*cmd <= 32) ++cmd;
  if (!*cmd) return -1;
  char** env = child_env();
  const char* shell = shell_in(env);
  if (!shell) shell = "/bin/sh";
  const char* argv[4] = {shell, "-c", cmd, nullptr};
  int pfd[2];
  // Both ends close-on-exec: the read end stays out of later children, and
  // dup2 gives the child a standard output without the flag.
  if (pipe2(pfd, O_CLOEXEC)) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    // Child: only async-signal-safe calls from here on.
    stack_limit_child();
    // With standard input and output closed the pipe is (0, 1): the write
    // end is standard output already and only loses its close-on-exec.
    if (pfd[1] != 1)
      dup2(pfd[1], 1);
    else
      fcntl(1, F_SETFD, 0);
    if (pfd[0] != 1) close(pfd[0]);
    if (pfd[1] != 1) close(pfd[1]);
    int nul = open("/dev/null", O_RDONLY);
    if (nul > 0) {
      dup2(nul, 0);
      close(nul);
    }
    execve(shell, const_cast<char**>(argv), env);
    if (errno == ENOEXEC) {
      argv[0] = "sh";
      execve("/bin/sh", const_cast<char**>(argv), env);
    }
    _exit(1);
  }
  close(pfd[1]);
  if (pid < 0 || kill(pid, 0)) {
    close(pfd[0]);
    return -1;
  }
  return pfd[0];
}

int set_CLOEXEC(FILE* f) { return fcntl(fileno(f), F_SETFD, FD_CLOEXEC); }

}  // namespace vexo
