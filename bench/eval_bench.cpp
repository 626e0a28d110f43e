// Evaluation of a million-node arithmetic tree through the node routines,
// against a plain C++ loop doing the same arithmetic.  The tree is the sum
// of N terms a[i] * x[i] + b[i] (five nodes each), added pairwise in a
// balanced tree (N - 1 nodes), so its depth stays near log2 N; the loop
// computes the same sum of the same terms, left to right.  Prints
// nanoseconds per node and per term, and the ratio tree / loop.
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "bench/in_process.h"
#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "frontend/expr.h"
#include "session/startup.h"
#include "support/format.h"
#include "support/machine.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr int N = 166667;  // terms: 6N - 1 = 1000001 nodes
constexpr int ROUNDS = 9;

std::vector<double> a, x, b;

vexo::expr* bound(vexo::expr* e) {
  e->op = vexo::functab[vexo::opcode(e)];
  return e;
}
vexo::expr* op2(int op, vexo::expr* l, vexo::expr* r) {
  return bound(vexo::new_expr(vexo::opword(op, vexo::EF_NUMERIC), l, r));
}
vexo::expr* leaf(double v) { return bound(vexo::new_num(v)); }

// The terms lo..hi-1 added pairwise.
vexo::expr* build(int lo, int hi) {
  if (hi - lo == 1)
    return op2(vexo::OPPLUS, op2(vexo::OPMULT, leaf(a[lo]), leaf(x[lo])),
               leaf(b[lo]));
  int mid = lo + (hi - lo) / 2;
  return op2(vexo::OPPLUS, build(lo, mid), build(mid, hi));
}

// Best of ROUNDS runs of fn, in nanoseconds; the last result in *out.
template <typename F>
double best_ns(F fn, double* out) {
  double best = 1e300;
  for (int r = 0; r < ROUNDS; r++) {
    auto t0 = clock_type::now();
    *out = fn();
    auto t1 = clock_type::now();
    double ns = std::chrono::duration<double, std::nano>(t1 - t0).count();
    if (ns < best) best = ns;
  }
  return best;
}

volatile double sink;

}  // namespace

int main() {
  bench::start_modules();
  std::mt19937_64 g(2024);
  std::uniform_real_distribution<double> u(-1, 1);
  for (int i = 0; i < N; i++) {
    a.push_back(u(g));
    x.push_back(u(g));
    b.push_back(u(g));
  }
  vexo::expr* root = build(0, N);
  vexo::TVA* tva = vexo::new_tva();

  double tree_sum = 0, loop_sum = 0;
  double tree_ns =
      best_ns([&] { return vexo::eval_num(root, tva); }, &tree_sum);
  double loop_ns = best_ns(
      [&] {
        double s = 0;
        for (int i = 0; i < N; i++) s += a[i] * x[i] + b[i];
        return s;
      },
      &loop_sum);
  sink = tree_sum + loop_sum;
  constexpr int nodes = 6 * N - 1;
  vexo::Printf("arithmetic tree of %d nodes (%d terms)\n", nodes, N);
  vexo::Printf("  tree  %8.3f ms  %6.2f ns/node  %6.2f ns/term\n",
               tree_ns * 1e-6, tree_ns / nodes, tree_ns / N);
  vexo::Printf("  loop  %8.3f ms  %6.2f ns/term\n", loop_ns * 1e-6,
               loop_ns / N);
  vexo::Printf("  ratio tree / loop %.1f  (sums %.17g, %.17g)\n",
               tree_ns / loop_ns, tree_sum, loop_sum);
  vexo::del_tva(tva);
  std::fflush(stdout);
  return std::fabs(tree_sum - loop_sum) <= 1e-9 * N ? 0 : 1;
}
