// Random draws as a command makes them: `let {i in 1..10^7} p[i] :=
// Normal01();` against the same let with a constant, each a whole session
// (start-up and declaration timed alone and taken off); the draw should
// cost little beside the assignment.  Then the generators alone, in
// nanoseconds per draw.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/session_run.h"
#include "eval/random.h"

namespace {

using clock_type = std::chrono::steady_clock;

double session(const std::string& dir, const char* name, const char* text) {
  std::string path = dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return -1;
  std::fputs(text, f);
  std::fclose(f);
  double s = bench::session_seconds(path);
  std::remove(path.c_str());
  return s;
}

double best_session(const std::string& dir, const char* name,
                    const char* text) {
  double best = 1e300;
  for (int r = 0; r < 3; ++r) {
    double s = session(dir, name, text);
    if (s < 0) return -1;
    if (s < best) best = s;
  }
  return best;
}

template <class F>
double ns_per_draw(F f, int n) {
  volatile double sink = 0;
  auto t0 = clock_type::now();
  for (int k = 0; k < n; ++k) sink = sink + f();
  return std::chrono::duration<double>(clock_type::now() - t0).count() / n *
         1e9;
}

}  // namespace

int main() {
  char dir[] = "/tmp/vexo_random_bench_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  const char* decl = "param p {1..10000000};\n";
  double base = best_session(dir, "base.run", decl);
  std::string c = std::string(decl) + "let {i in 1..10000000} p[i] := 0.5;\n";
  std::string n =
      std::string(decl) + "let {i in 1..10000000} p[i] := Normal01();\n";
  double tc = best_session(dir, "const.run", c.c_str());
  double tn = best_session(dir, "normal.run", n.c_str());
  rmdir(dir);
  if (base < 0 || tc < 0 || tn < 0) {
    std::printf("a session failed\n");
    return 1;
  }
  double lc = tc - base, ln = tn - base;
  std::printf("let {i in 1..10^7} p[i] := 0.5:         %.3f s\n", lc);
  std::printf("let {i in 1..10^7} p[i] := Normal01():  %.3f s  (x%.2f)\n", ln,
              ln / lc);
  std::printf("  (start-up and declaration %.3f s, taken off)\n", base);

  vexo::randseed_ZEF = 1;
  vexo::restart_random();
  constexpr int N = 10000000;
  std::printf(
      "per draw: Uniform01 %.1f ns, Normal01 %.1f ns, "
      "Exponential %.1f ns, Gamma(0.5) %.1f ns, Gamma(4) %.1f ns, "
      "Poisson(3) %.1f ns, Poisson(40) %.1f ns\n",
      ns_per_draw(vexo::unif01_ZEF, N), ns_per_draw(vexo::normal01_ZEF, N),
      ns_per_draw(vexo::exponential_ZEF, N),
      ns_per_draw([] { return vexo::randgamma_ZEF(0.5); }, N),
      ns_per_draw([] { return vexo::randgamma_ZEF(4); }, N),
      ns_per_draw([] { return vexo::Poisson_ZEF(3); }, N),
      ns_per_draw([] { return vexo::Poisson_ZEF(40); }, N));
  return 0;
}
