#include "support/machine.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>

namespace vexo {
namespace {

TEST(Machine, TrapsOffGiveInfinityAndNaN) {
  Init_Stderr();
  Mach();
  fpinit_ZEF();
  volatile double zero = 0.;
  EXPECT_EQ(1. / zero, Infinity);
  EXPECT_EQ(-1. / zero, negInfinity);
  EXPECT_TRUE(std::isnan(zero / zero));
}

TEST(Machine, ClocksAndSleeper) {
  EXPECT_EQ(e_time(), 0.);  // first call in this process
  EXPECT_GE(e_time(), 0.);
  cputimes(0, nullptr);  // does nothing, must not fail
  double t[2] = {-1, -1};
  cputimes(0, t);
  EXPECT_GE(t[0], 0.);
  EXPECT_GE(t[1], 0.);
  EXPECT_GE(xectim(), 0.);
  sleeper(0);
  sleeper(-1);
  sleeper(NAN);
}

// The stack limit rises to STACK_WANTED within the hard limit, and a child
// gets back the limit the process had.  Runs in a child process of its
// own with a small soft limit, so the test neither depends on nor changes
// the limit of the test program.
TEST(Machine, StackLimit) {
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    struct rlimit r;
    getrlimit(RLIMIT_STACK, &r);
    rlim_t hard = r.rlim_max;
    r.rlim_cur = 8 << 20;
    if (setrlimit(RLIMIT_STACK, &r) != 0) _exit(10);
    stack_setup();
    getrlimit(RLIMIT_STACK, &r);
    rlim_t want =
        hard == RLIM_INFINITY || hard >= STACK_WANTED ? STACK_WANTED : hard;
    if (r.rlim_cur != want || r.rlim_max != hard) _exit(11);
    stack_limit_child();
    getrlimit(RLIMIT_STACK, &r);
    _exit(r.rlim_cur == rlim_t{8 << 20} ? 0 : 12);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace vexo
