// Calls of user functions: `sum {i in 1..10^7} hyp2(i, 1)` with hyp2 from the
// second test library (tests/funclib/libt.c built as libt2.so) against the same sum of the built-in
// sqrt(i) and of i alone (the loop), and a pipe function served by a shell
// loop, called 20,000 times.  Prints the seconds of each session, the time
// per call with the loop taken off, hyp2's session against sqrt's, and the
// pipe calls per second.  The sessions of the sums are timed by the
// processor time of the session's process (a loaded machine stretches
// their wall time), the pipe's by the wall clock (it waits for its child).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "session/startup.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr double CALLS = 1e7;
constexpr double PIPE_CALLS = 20000;
constexpr int ROUNDS = 2;

// Runs the commands in text through the program (with the second test
// library loaded); returns its seconds (wall clock, or with cpu its
// process's user and system time), or -1 when it did not end with 0.
double run(const std::string& dir, const char* text, bool cpu = true) {
  std::string path = dir + "/funclib_bench.run";
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return -1;
  std::fputs(text, f);
  std::fclose(f);
  std::string a0 = "vexo", a1 = "-i", a2 = VEXO_TESTLIB2;
  char* argv[] = {a0.data(), a1.data(), a2.data(), path.data(), nullptr};
  std::fflush(stdout);
  auto t0 = clock_type::now();
  pid_t pid = fork();
  if (pid == 0) {
    // The session's results and its libraries' messages are not shown.
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    _exit(vexo::session_main(4, argv));
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  double s = std::chrono::duration<double>(clock_type::now() - t0).count();
  if (cpu)
    s = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
        double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
  std::remove(path.c_str());
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

}  // namespace

int main() {
  char tmpl[] = "/tmp/vexo_funclib_bench_XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  std::string dir = tmpl;
  // The three sums alternate, ROUNDS times; each keeps its least time (a
  // busy machine only adds to it).
  double loop = 1e300, sq = 1e300, hyp = 1e300;
  for (int r = 0; r < ROUNDS; ++r) {
    double t[3] = {
        run(dir, "print sum {i in 1..10^7} i;\n"),
        run(dir, "print sum {i in 1..10^7} sqrt(i);\n"),
        run(dir, "function hyp2;\nprint sum {i in 1..10^7} hyp2(i, 1);\n")};
    if (t[0] < 0 || t[1] < 0 || t[2] < 0) {
      loop = -1;
      break;
    }
    loop = std::min(loop, t[0]);
    sq = std::min(sq, t[1]);
    hyp = std::min(hyp, t[2]);
  }
  double pipe = run(dir,
                    "function sq pipe 'while read a; do echo $((a*a)); done';\n"
                    "print sum {i in 1..20000} sq(i);\n",
                    false);
  rmdir(tmpl);
  if (loop < 0 || sq < 0 || hyp < 0 || pipe < 0) {
    std::printf("funclib_bench: a session failed\n");
    return 1;
  }
  // On a busy machine the differences from the loop's time are noise;
  // the whole sessions are compared too.
  std::printf("(processor time of each session, the least of %d alternating "
              "runs; the pipe's wall clock)\n",
              ROUNDS);
  std::printf("sum of i:      %.3f s (the loop)\n", loop);
  std::printf("sum of sqrt:   %.3f s, %.1f ns a call beyond the loop\n", sq,
              (sq - loop) / CALLS * 1e9);
  std::printf("sum of hyp2:   %.3f s, %.1f ns a call beyond the loop; the "
              "sum %.2f x sqrt's, the call %.2f x sqrt's\n",
              hyp, (hyp - loop) / CALLS * 1e9, hyp / sq,
              (hyp - loop) / (sq - loop));
  std::printf("pipe function: %.3f s, %.0f calls/s\n", pipe,
              PIPE_CALLS / pipe);
  return 0;
}
