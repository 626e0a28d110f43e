// The inline shortcuts of the directed arithmetic (a factor of 1 or -1, the
// fast path of a difference), compiled as their callers are, without
// -frounding-math: each must give what the general routines, compiled with
// it, give for the same operands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "presolve/rounding.h"

namespace vexo {
namespace {

bool same_bits(double x, double y) {
  return std::memcmp(&x, &y, sizeof x) == 0 || (std::isnan(x) && std::isnan(y));
}

TEST(RoundingInline, UnitFactorsAndDifferencesMatchTheGeneralRoutines) {
  const double inf = std::numeric_limits<double>::infinity();
  const double big = std::numeric_limits<double>::max();
  const double den = std::numeric_limits<double>::denorm_min();
  // Cancellations, inexact sums both ways, zeros of both signs, operands
  // near the ends of the exponent range, infinities.
  const double vals[] = {0.,           -0.,      1.,      -1.,  0.1,
                         -0.1,         3.,       1e-30,   1e30, 1 + 0x1p-52,
                         -1 - 0x1p-52, 0x1p-900, 0x1p900, big,  -big,
                         den,          -den,     inf,     -inf};
  int bad = 0;
  for (double b : vals)
    for (double c : vals)
      for (bool up : {false, true}) {
        for (double a : {1., -1.}) {
          double want = fma_rounded(a, b, c, up);
          double got = c;
          up ? macu(a, b, &got) : macl(a, b, &got);
          if (!same_bits(got, want) && ++bad < 10)
            ADD_FAILURE() << a << " * " << b << " + " << c
                          << (up ? " up" : " down") << ": " << got << " vs "
                          << want;
          got = c;
          up ? macu(b, a, &got) : macl(b, a, &got);
          if (!same_bits(got, want) && ++bad < 10)
            ADD_FAILURE() << b << " * " << a << " + " << c
                          << (up ? " up" : " down") << ": " << got << " vs "
                          << want;
        }
        double d = up ? diffu(b, c) : diffl(b, c);
        double want = diff_rounded(b, c, up);
        if (!same_bits(d, want) && ++bad < 10)
          ADD_FAILURE() << b << " - " << c << (up ? " up" : " down") << ": "
                        << d << " vs " << want;
      }
  EXPECT_EQ(bad, 0);
  // The steps themselves: 1 + 1e-30 lies strictly between two doubles.
  double lo = 1, hi = 1;
  macl(1, 1e-30, &lo);
  macu(1, 1e-30, &hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, std::nextafter(1., 2.));
}

}  // namespace
}  // namespace vexo
