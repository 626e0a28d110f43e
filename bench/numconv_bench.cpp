// Times Strtod and shortest-digit dtoa_r against the C library's strtod and
// "%.17g" over a million random doubles, for two samples: uniformly random
// bits, and short decimals like the numbers of a model.  Prints nanoseconds
// per call and the ratio C library / vexo (above 1: vexo is faster).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/dtoa.h"
#include "support/format.h"
#include "support/strtod.h"

namespace {

constexpr int COUNT = 1000000;
constexpr int ROUNDS = 5;

using clock_type = std::chrono::steady_clock;

// Best of ROUNDS runs of fn, in nanoseconds per item.
template <typename F>
double best_ns(F fn) {
  double best = 1e300;
  for (int r = 0; r < ROUNDS; r++) {
    auto t0 = clock_type::now();
    fn();
    auto t1 = clock_type::now();
    double ns = std::chrono::duration<double, std::nano>(t1 - t0).count();
    if (ns < best) best = ns;
  }
  return best / COUNT;
}

volatile double sink_d;
volatile int sink_i;

void run(const char* title, const std::vector<double>& xs) {
  std::vector<std::string> texts(xs.size());
  char buf[64];
  for (size_t i = 0; i < xs.size(); i++) {
    std::snprintf(buf, sizeof buf, "%.17g", xs[i]);
    texts[i] = buf;
  }
  double ours_in = best_ns([&] {
    double s = 0;
    for (const std::string& t : texts) s += vexo::Strtod(t.c_str(), nullptr);
    sink_d = s;
  });
  double libc_in = best_ns([&] {
    double s = 0;
    for (const std::string& t : texts) s += std::strtod(t.c_str(), nullptr);
    sink_d = s;
  });
  double ours_out = best_ns([&] {
    int s = 0, decpt, sign;
    for (double x : xs) {
      vexo::dtoa_r(x, 0, 0, &decpt, &sign, nullptr, buf, sizeof buf);
      s += decpt + buf[0];
    }
    sink_i = s;
  });
  double libc_out = best_ns([&] {
    int s = 0;
    for (double x : xs) s += std::snprintf(buf, sizeof buf, "%.17g", x);
    sink_i = s;
  });
  vexo::Printf("%s\n", title);
  vexo::Printf("  Strtod      %7.1f ns   strtod      %7.1f ns   ratio %.2f\n",
               ours_in, libc_in, libc_in / ours_in);
  vexo::Printf(
      "  dtoa_r(0)   %7.1f ns   \"%%.17g\"     %7.1f ns   ratio %.2f\n",
      ours_out, libc_out, libc_out / ours_out);
}

}  // namespace

int main() {
  std::mt19937_64 g(12345);
  std::vector<double> xs;
  xs.reserve(COUNT);
  while (xs.size() < size_t(COUNT)) {
    uint64_t u = g() >> 1;
    double d;
    std::memcpy(&d, &u, sizeof d);
    if (d == d && d - d == 0) xs.push_back(d);
  }
  run("random bits", xs);
  xs.clear();
  char t[32];
  while (xs.size() < size_t(COUNT)) {
    std::snprintf(t, sizeof t, "%llue%d",
                  static_cast<unsigned long long>(g() % 1000000),
                  int(g() % 11) - 8);
    xs.push_back(std::strtod(t, nullptr));
  }
  run("short decimals", xs);
  std::fflush(stdout);
  return 0;
}
