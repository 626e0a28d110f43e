// The let command: an indexed assignment of a million members
// (`let {i in 1..1000000} p[i] := i;`) and a loop of 100,000 scalar
// assignments (`for {k in 1..100000} let n := n + 1;`), each run through
// the whole program, against a plain C++ loop doing the same stores.
// Prints the time per assignment; the start-up and the declaration alone
// are timed too and taken off.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "session/startup.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr long MEMBERS = 1000000;
constexpr long LOOPS = 100000;

double seconds_since(clock_type::time_point t0) {
  return std::chrono::duration<double>(clock_type::now() - t0).count();
}

// Runs the commands in text through the program; returns its seconds.
double run(const std::string& dir, const char* name, const char* text,
           int* code) {
  std::string path = dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return -1;
  std::fputs(text, f);
  std::fclose(f);
  std::string arg0 = "vexo";
  char* argv[] = {arg0.data(), path.data(), nullptr};
  // Each run in a child of its own: a session is started once per process.
  auto t0 = clock_type::now();
  pid_t pid = fork();
  if (pid == 0) _exit(vexo::session_main(2, argv));
  int status = 0;
  waitpid(pid, &status, 0);
  double s = seconds_since(t0);
  *code = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
  std::remove(path.c_str());
  return s;
}

// The same stores in plain C++: a value per member, and a counter.
double plain(double* sum) {
  auto t0 = clock_type::now();
  std::vector<double> p;
  for (long i = 1; i <= MEMBERS; ++i) p.push_back(static_cast<double>(i));
  volatile double n = 0;
  for (long k = 1; k <= LOOPS; ++k) n = n + 1;
  *sum = p.back() + n;
  return seconds_since(t0);
}

}  // namespace

int main() {
  char dir[] = "/tmp/vexo_let_bench_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  int c1 = 0, c2 = 0, c0 = 0;
  double base = run(dir, "base.run", "param p {1..1000000};\n", &c0);
  double indexed =
      run(dir, "indexed.run",
          "param p {1..1000000};\nlet {i in 1..1000000} p[i] := i;\n", &c1);
  double loop = run(dir, "loop.run",
                    "param n;\nlet n := 0;\n"
                    "for {k in 1..100000} let n := n + 1;\n",
                    &c2);
  double sum;
  double cpp = plain(&sum);
  rmdir(dir);
  std::printf(
      "let {i in 1..%ld} p[i] := i:   %.3f s, %.0f ns per member "
      "(start-up %.3f s; exit %d)\n"
      "for {k in 1..%ld} let n := n + 1: %.3f s, %.0f ns per let (exit %d)\n"
      "plain C++, the same stores:       %.4f s (%.1f ns per store; %g)\n",
      MEMBERS, indexed - base, (indexed - base) * 1e9 / MEMBERS, base, c1,
      LOOPS, loop - base, (loop - base) * 1e9 / LOOPS, c2, cpp,
      cpp * 1e9 / (MEMBERS + LOOPS), sum);
  return c1 | c2;
}
