// Linearisation of piecewise-linear terms and set domains: a model with n
// terms of 5 slopes (each in a >= row, so with binaries) and n variables
// in {0, 1, 3}, for n = 25,000, 50,000 and 100,000, written as a text nl
// file.  Each size runs twice, alternately, by processor time (the least
// of three rounds): with option pl_linearize 0 and relax_integrality 2
// (nothing linearised: generation, collection, presolve and writing), and
// with the defaults.  Printed are both times, the share the linearisation
// adds, and how the times grow when n doubles (all arrays grow once, so
// about twice).
#include <cstdio>
#include <string>

#include "bench/session_run.h"

namespace {

std::string model(int n, bool linearise) {
  std::string path = "/tmp/vexo_pllin_bench.run";
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return path;
  std::fprintf(f,
               "param n := %d;\n"
               "var x{1..n} >= -10 <= 10;\n"
               "var y{1..n} in {0, 1, 3};\n"
               "minimize o: sum{i in 1..n} (x[i] + y[i]);\n"
               "s.t. c{i in 1..n}: <<-2, 0, 1, 3; -1, 2, -1, 1, 2>> x[i]"
               " + y[i] >= 1;\n",
               n);
  if (!linearise)
    std::fprintf(f, "option pl_linearize 0, relax_integrality 2;\n");
  std::fprintf(f, "write g/tmp/vexo_pllin_bench;\n");
  std::fclose(f);
  return path;
}

// The least processor time of three rounds of each form, alternating.
void best_of(int n, double* plain, double* lin) {
  *plain = *lin = 1e30;
  for (int r = 0; r < 3; ++r)
    for (int l = 0; l < 2; ++l) {
      double t = bench::session_cpu_seconds(model(n, l != 0));
      double* best = l ? lin : plain;
      if (t >= 0 && t < *best) *best = t;
    }
}

}  // namespace

int main() {
  double plain[3] = {0, 0, 0}, lin[3] = {0, 0, 0};
  for (int s = 0; s < 3; ++s) {
    int n = 25000 << s;
    best_of(n, &plain[s], &lin[s]);
    std::printf("n = %6d: plain %.3f s, linearised %.3f s, linearisation "
                "%.0f%% of the plain run\n",
                n, plain[s], lin[s], 100 * (lin[s] - plain[s]) / plain[s]);
  }
  for (int s = 1; s < 3; ++s)
    std::printf("doubling n to %d: plain x %.2f, linearised x %.2f\n",
                25000 << s, plain[s] / plain[s - 1], lin[s] / lin[s - 1]);
  std::remove("/tmp/vexo_pllin_bench.run");
  std::remove("/tmp/vexo_pllin_bench.nl");
  return 0;
}
