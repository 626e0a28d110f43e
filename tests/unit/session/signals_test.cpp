// Signals end the session at the next safe point with their codes; a
// blocked read is woken; temporary files are removed first.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "session/located.h"
#include "session/loop.h"
#include "session/startup.h"
#include "signal_wait.h"
#include "support/machine.h"
#include "support/message.h"

namespace vexo {
namespace {

// Runs a child that waits in session_read on a pipe held open by the
// parent, sends the signals once its handlers stand (each taken before the
// next is sent, so that none merges with another), then closes the pipe.
// Returns the child's exit code: the session's code, 100 when the read
// ended normally (the session went on), 102 when an interrupt ended a wait
// (the child reads on without serving it, so a second one finds it
// pending).  before() runs in the child before the handlers are
// installed.  With on_stdin the pipe is the child's standard input.
int run_child(std::initializer_list<int> sigs, void (*before)() = nullptr,
              bool on_stdin = false) {
  int p[2];
  EXPECT_EQ(pipe(p), 0);
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    close(p[1]);
    Init_Stderr();
    if (before) before();
    signal_catch();
    int fd = p[0];
    if (on_stdin) fd = dup2(p[0], 0);
    char c;
    try {
      ssize_t n;
      bool broke = false;
      while ((n = session_read(fd, &c, 1)) != 0) {
        if (n > 0) continue;
        if (errno != EINTR) break;
        broke = true;
      }
      if (broke) _exit(102);
    } catch (const session_exit& e) {
      _exit(e.code);
    } catch (const command_abort&) {
      _exit(101);
    }
    _exit(100);
  }
  close(p[0]);
  EXPECT_TRUE(test::wait_caught(pid, SIGTERM)) << "handlers never installed";
  // A signal taken before the read begins is already pending when the read
  // starts, and no longer ends its wait: the read must be waiting first.
  EXPECT_TRUE(test::wait_sleeping(pid)) << "never waited";
  for (int s : sigs) test::send_signal(pid, s);
  close(p[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Signals, TerminationCodes) {
  EXPECT_EQ(run_child({SIGTERM}), 15);
  EXPECT_EQ(run_child({SIGQUIT}), 3);
  EXPECT_EQ(run_child({SIGHUP}), 1);
  EXPECT_EQ(run_child({SIGABRT}), 6);
  EXPECT_EQ(run_child({SIGPIPE}), 13);
}

TEST(Signals, Interrupts) {
  // One interrupt ends the wait, for the reader to serve it: at standard
  // input, and at a file (a pipe slow to write), which it ends.
  EXPECT_EQ(run_child({SIGINT}), 102);
  EXPECT_EQ(run_child({SIGINT}, nullptr, true), 102);
  // A second one before the first is served ends the session with 32.
  EXPECT_EQ(run_child({SIGINT, SIGINT}), 32);
}

TEST(Signals, HangupIgnoredAtStartStaysIgnored) {
  EXPECT_EQ(run_child({SIGHUP}, [] { signal(SIGHUP, SIG_IGN); }), 100);
}

TEST(Signals, FloatingPointExceptionAbortsTheCommand) {
  EXPECT_EQ(run_child({SIGFPE}), 101);
}

TEST(Signals, ForcedZeroExit) {
  EXPECT_EQ(run_child({SIGTERM}, [] { force_exit_0 = 1; }), 0);
}

}  // namespace
}  // namespace vexo
