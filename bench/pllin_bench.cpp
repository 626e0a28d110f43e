// Linearisation of piecewise-linear terms and set domains: a model with n
// terms of 5 slopes (each in a >= row, so with binaries) and n variables
// in {0, 1, 3}, for n = 50,000 and 100,000, written as a text nl file.
// Each size runs twice: with option pl_linearize 0 and relax_integrality 2
// (nothing linearised: generation, collection, presolve and writing), and
// with the defaults.  Printed are both times, the share the linearisation
// adds, and how the linearised time grows when n doubles (all arrays grow
// once, so about twice).
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

double best_of(int n, bool linearise) {
  double best = 1e30;
  for (int r = 0; r < 3; ++r) {
    double t = bench::session_seconds(model(n, linearise));
    if (t >= 0 && t < best) best = t;
  }
  return best;
}

}  // namespace

int main() {
  double lin[2] = {0, 0};
  for (int s = 0; s < 2; ++s) {
    int n = 50000 << s;
    double plain = best_of(n, false);
    lin[s] = best_of(n, true);
    std::printf("n = %6d: plain %.3f s, linearised %.3f s, linearisation "
                "%.0f%% of the plain run\n",
                n, plain, lin[s], 100 * (lin[s] - plain) / plain);
  }
  std::printf("doubling n: linearised time x %.2f\n", lin[1] / lin[0]);
  std::remove("/tmp/vexo_pllin_bench.run");
  std::remove("/tmp/vexo_pllin_bench.nl");
  return 0;
}
