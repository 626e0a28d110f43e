// Instance generation, incremental: a model of a million-member param with
// a restriction, a param defined from it member by member and their sum is
// read with its data and printed.  The first print generates everything
// (every member computed or checked); the prints after it find every
// declaration current and generate nothing, so their cost must not grow
// with the members.  Each run is a session of its own (a child process;
// the fastest of three counts).  Printed at two sizes: the first print
// (less a session that only reads the data), per member, and a later
// print.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/session_run.h"

namespace {

constexpr int PRINTS = 100000;
// Each session runs this many times; the fastest counts.
constexpr int REPEATS = 3;

// Writes the model, its data and prints of s; returns whether it could.
bool write_run(const std::string& path, long n, int prints) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  std::fprintf(f,
               "param n; param a {1..n} >= 0;\n"
               "param b {i in 1..n} = 2 * a[i];\n"
               "param s = sum {i in 1..n} b[i];\n"
               "data; param n := %ld; param a :=\n",
               n);
  unsigned v = 12345;
  for (long i = 1; i <= n; ++i) {
    v = v * 1103515245u + 12345u;
    std::fprintf(f, "%ld %u\n", i, (v >> 16) % 1000);
  }
  std::fprintf(f, ";\nmodel;\n");
  for (int k = 0; k < prints; ++k) std::fprintf(f, "print s > /dev/null;\n");
  return std::fclose(f) == 0;
}

// The seconds of sessions with the data and no print, one print, and
// PRINTS + 1 prints.
bool measure(const std::string& dir, long n, double t[3]) {
  const int prints[3] = {0, 1, PRINTS + 1};
  std::string path = dir + "/gen.run";
  for (int k = 0; k < 3; ++k) {
    if (!write_run(path, n, prints[k])) return false;
    t[k] = 1e30;
    for (int r = 0; r < REPEATS; ++r) {
      double s = bench::session_seconds(path);
      if (s < 0) return false;
      t[k] = std::min(t[k], s);
    }
  }
  std::remove(path.c_str());
  return true;
}

}  // namespace

int main() {
  char dir[] = "/tmp/vexo_genmod_bench_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::printf(
      "param a {1..n} >= 0; param b {i in 1..n} = 2*a[i]; param s = sum b;\n"
      "print s once (everything generated), then %d times (nothing "
      "generated)\n",
      PRINTS);
  int code = 0;
  for (long n : {100000L, 1000000L}) {
    double t[3];
    if (!measure(dir, n, t)) {
      std::printf("  n = %7ld: a session failed\n", n);
      code = 1;
      continue;
    }
    std::printf(
        "  n = %7ld: first print %.3f s (%.0f ns per member); "
        "a later print %.2f us\n",
        n, t[1] - t[0], (t[1] - t[0]) * 1e9 / double(n),
        (t[2] - t[1]) * 1e6 / PRINTS);
  }
  rmdir(dir);
  return code;
}
