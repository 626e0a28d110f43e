// Solving out defined variables: a chain of n linear definitions
// x[i] = x[i-1] + y[i] (equalities substituted under option substout),
// x[n] used by one row, written as a text nl file.  Each size runs as a
// whole session in a child process (the fastest of three, by the child's
// processor time, user and system, which other load on the machine
// disturbs less than wall time); printed are the seconds at n, 2n and 4n
// and the ratio of each doubling (the eliminations must stay linear in n:
// at most 2.2).  The simplification and incidence passes are timed beside
// generation by bench/nlsimp_bench.sh.
#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/session_run.h"

namespace {

constexpr int REPEATS = 3;

double fastest(const std::string& path) {
  double best = -1;
  for (int k = 0; k < REPEATS; ++k) {
    double s = bench::session_cpu_seconds(path);
    if (s < 0) return -1;
    best = best < 0 ? s : std::min(best, s);
  }
  return best;
}

bool write_chain(const std::string& path, long n) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  std::fprintf(f,
               "option substout 1;\n"
               "param n := %ld; var y {1..n} >= 0 <= 1; var z >= 0;\n"
               "var x {0..n};\n"
               "minimize o: z;\n"
               "s.t. d {i in 1..n}: x[i] = x[i-1] + y[i];\n"
               "s.t. c: x[n] + z >= 10;\n"
               "s.t. e: x[0] - z <= 1;\n"
               "write g/tmp/solveout_bench;\n",
               n);
  return std::fclose(f) == 0;
}

}  // namespace

int main() {
  const std::string path = "/tmp/solveout_bench.run";
  std::printf("chain of linear definitions (processor seconds, doubling "
              "ratio):\n");
  double prev = -1;
  for (long n : {25000L, 50000L, 100000L}) {
    if (!write_chain(path, n)) return 1;
    double s = fastest(path);
    if (s < 0) return 1;
    std::printf("  n = %6ld  %.3f", n, s);
    if (prev > 0) std::printf("  x%.2f", s / prev);
    std::printf("\n");
    prev = s;
  }
  std::remove(path.c_str());
  std::remove("/tmp/solveout_bench.nl");
  return 0;
}
