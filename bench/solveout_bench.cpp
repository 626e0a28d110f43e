// Presolve's nonlinear passes and the solving out of defined variables,
// each as whole sessions (a child process each; the fastest of three):
//   - a chain of n linear definitions x[i] = x[i-1] + y[i] (equalities
//     substituted under option substout), x[n] used by one row: the
//     session's time at n, 2n and 4n, and the ratio of each doubling (the
//     eliminations must stay linear in n);
//   - a problem of n variables with a quadratic objective, and one of n
//     conic rows r1^2 + r2^2 <= s^2 over integer s: the whole session at
//     presolve 10 and at presolve 0 (the simplification and incidence
//     passes run at both; the difference is the bound passes).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/session_run.h"

namespace {

constexpr int REPEATS = 3;

double fastest(const std::string& path) {
  double best = -1;
  for (int k = 0; k < REPEATS; ++k) {
    double s = bench::session_seconds(path);
    if (s < 0) return -1;
    best = best < 0 ? s : std::min(best, s);
  }
  return best;
}

bool write_defs(const std::string& path, long n) {
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

// The model and a write; body is the tail of the model.
bool write_model(const std::string& path, long n, const char* model,
                 bool presolve) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  std::fprintf(f, "param n := %ld;\n%s", n, model);
  std::fprintf(f, "option presolve %d;\nwrite g/tmp/solveout_bench;\n",
               presolve ? 10 : 0);
  return std::fclose(f) == 0;
}

const char* qp =
    "var x {1..n} >= -1 <= 1;\n"
    "minimize o: sum {i in 1..n} (x[i] - i mod 7)^2;\n"
    "s.t. c: sum {i in 1..n} x[i] >= 1;\n";
const char* conic =
    "var r1 {1..n}; var r2 {1..n}; var s {1..n} integer >= 0 <= 10;\n"
    "minimize o: sum {i in 1..n} s[i];\n"
    "s.t. cone {i in 1..n}: r1[i]^2 + r2[i]^2 <= s[i]^2;\n"
    "s.t. a {i in 1..n}: r1[i] + r2[i] >= 1;\n";

}  // namespace

int main() {
  const std::string path = "/tmp/solveout_bench.run";
  std::printf("chain of linear definitions (seconds, doubling ratio):\n");
  double prev = -1;
  for (long n : {25000L, 50000L, 100000L}) {
    if (!write_defs(path, n)) return 1;
    double s = fastest(path);
    if (s < 0) return 1;
    std::printf("  n = %6ld  %.3f", n, s);
    if (prev > 0) std::printf("  x%.2f", s / prev);
    std::printf("\n");
    prev = s;
  }
  struct model {
    const char* what;
    long n;
    const char* text;
  } models[] = {{"quadratic objective", 1000000, qp},
                {"conic rows", 100000, conic}};
  for (const model& m : models) {
    if (!write_model(path, m.n, m.text, true)) return 1;
    double with = fastest(path);
    if (!write_model(path, m.n, m.text, false)) return 1;
    double without = fastest(path);
    if (with < 0 || without < 0) return 1;
    std::printf("%s, n = %ld: presolve 10 %.3f s, presolve 0 %.3f s\n", m.what,
                m.n, with, without);
  }
  std::remove(path.c_str());
  std::remove("/tmp/solveout_bench.nl");
  return 0;
}
