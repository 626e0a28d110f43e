#include "presolve/rounding.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace vexo {
namespace {

TEST(Rounding, DirectedDifferences) {
  EXPECT_EQ(diffl(1, 1e-30), std::nextafter(1., 0.));
  EXPECT_EQ(diffu(1, 1e-30), 1);
  EXPECT_EQ(diffl(0.75, 0), 0.75);
  EXPECT_EQ(diffu(-1e-30, 1), -1);
  EXPECT_EQ(diffl(-1e-30, 1), std::nextafter(-1., -2.));
}

TEST(Rounding, QuotientsBracketTheTruth) {
  double lo = quotl(1, 3), hi = quotu(1, 3);
  EXPECT_EQ(std::nextafter(lo, 1.), hi);
  EXPECT_LT(lo * 3, 1.0000000000000002);
  EXPECT_TRUE(lo == 1. / 3 || hi == 1. / 3);
  EXPECT_EQ(qsuml(1, 1, 3), 1 + lo);
  EXPECT_EQ(qsumu(1, 1, 3), std::nextafter(1 + 1. / 3, 2.));
}

TEST(Rounding, FusedMultiplyAddsBracketWithOneRounding) {
  double lo = 0, hi = 0;
  macl(0.1, 0.1, &lo);
  macu(0.1, 0.1, &hi);
  EXPECT_EQ(std::nextafter(lo, 1.), hi);
  EXPECT_TRUE(lo == 0.1 * 0.1 || hi == 0.1 * 0.1);
  double lo2 = 1, hi2 = 1;
  msacl(0.1, 0.1, &lo2);
  msacu(0.1, 0.1, &hi2);
  EXPECT_EQ(std::nextafter(lo2, 2.), hi2);
  EXPECT_LE(lo2, 0.99);
  EXPECT_GE(hi2, 0.99);
}

// Every routine leaves round-to-nearest behind, whatever was in force.
TEST(Rounding, ModeIsNearestAfterwards) {
  double c = 0;
  for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    fesetround(mode);
    diffl(1, 2);
    EXPECT_EQ(fegetround(), FE_TONEAREST);
    fesetround(mode);
    macu(1, 2, &c);
    EXPECT_EQ(fegetround(), FE_TONEAREST);
    fesetround(mode);
    qsuml(1, 2, 3);
    EXPECT_EQ(fegetround(), FE_TONEAREST);
  }
}

// The routines against each operation done in the directed mode itself:
// the same bits (NaNs: both NaN) over random operands of every kind, from
// near-cancellations and exact results to the ends of the range.  This file
// is built with -frounding-math, like the routines.
template <class F>
double in_mode(bool up, double a, double b, double c, F op) {
  volatile double va = a, vb = b, vc = c;
  fesetround(up ? FE_UPWARD : FE_DOWNWARD);
  volatile double r = op(va, vb, vc);
  fesetround(FE_TONEAREST);
  return r;
}

bool same(double x, double y) {
  if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
  uint64_t u, v;
  std::memcpy(&u, &x, sizeof u);
  std::memcpy(&v, &y, sizeof v);
  return u == v;
}

TEST(Rounding, RandomOperandsMatchTheDirectedMode) {
  std::mt19937_64 gen(20261211);
  auto bits = [&] {
    uint64_t u = gen();
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
  };
  const double specials[] = {0.,
                             -0.,
                             1.,
                             -1.,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::max(),
                             -std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::min(),
                             0x1p-800,
                             0x1p800};
  std::vector<double> pool;  // a mixture, drawn from below
  auto draw = [&]() -> double {
    switch (gen() % 7) {
      case 0: return bits();                               // any bits
      case 1: return specials[gen() % std::size(specials)];
      case 2: return std::ldexp(double(int64_t(gen() % 2001) - 1000), -3);
      case 3: {  // moderate magnitudes, any mantissa
        double m = std::ldexp(double(gen() >> 11), -53) + 0.5;
        return std::ldexp(gen() & 1 ? -m : m, int(gen() % 200) - 100);
      }
      case 4:  // near an earlier operand: cancellations
        if (!pool.empty()) {
          double x = pool[gen() % pool.size()];
          return std::nextafter(x, gen() & 1 ? 1e300 : -1e300);
        }
        return 1;
      case 5:  // an earlier operand or its negation: exact cancellations
        if (!pool.empty()) {
          double x = pool[gen() % pool.size()];
          return gen() & 1 ? -x : x;
        }
        return 0;
      default: {  // near the ends of the exponent range
        double m = std::ldexp(double(gen() >> 11), -53) + 0.5;
        return std::ldexp(m, gen() & 1 ? 1020 - int(gen() % 250)
                                       : -1070 + int(gen() % 300));
      }
    }
  };
  int bad = 0;
  for (int n = 0; n < 400000 && bad < 10; ++n) {
    double a = draw(), b = draw(), c = draw();
    pool.push_back(a);
    if (pool.size() > 64) pool.erase(pool.begin());
    for (bool up : {false, true}) {
      auto check = [&](const char* what, double got, double want) {
        if (same(got, want)) return;
        ++bad;
        ADD_FAILURE() << what << (up ? " up" : " down") << " a=" << a
                      << " b=" << b << " c=" << c << ": " << got << " vs "
                      << want;
      };
      check("diff", up ? diffu(a, b) : diffl(a, b),
            in_mode(up, a, b, 0, [](double x, double y, double) {
              return x - y;
            }));
      double m = c;
      up ? macu(a, b, &m) : macl(a, b, &m);
      check("mac", m, in_mode(up, a, b, c, [](double x, double y, double z) {
              return std::fma(x, y, z);
            }));
      m = c;
      up ? msacu(a, b, &m) : msacl(a, b, &m);
      check("msac", m, in_mode(up, a, b, c, [](double x, double y, double z) {
              return std::fma(-x, y, z);
            }));
      check("quot", up ? quotu(a, b) : quotl(a, b),
            in_mode(up, a, b, 0, [](double x, double y, double) {
              return x / y;
            }));
      check("qsum", up ? qsumu(a, b, c) : qsuml(a, b, c),
            in_mode(up, a, b, c, [](double x, double y, double z) {
              return x + y / z;
            }));
      EXPECT_EQ(fegetround(), FE_TONEAREST);
    }
  }
}

TEST(Rounding, PowerSpecialCases) {
  EXPECT_EQ(mypow(0, 0), 1);
  EXPECT_EQ(mypow(std::numeric_limits<double>::quiet_NaN(), 0), 1);
  EXPECT_EQ(mypow(0, 0.5), 0);
  errno = 0;
  EXPECT_TRUE(std::isnan(mypow(-8, 1. / 3)));
  EXPECT_EQ(errno, EDOM);
  EXPECT_EQ(mypow(-2, 3), -8);
  EXPECT_EQ(mypow(2, -2), 0.25);
  EXPECT_EQ(mypow(10, -1), 0.1);
  EXPECT_EQ(mypow(1, 1e300), 1);
  EXPECT_EQ(mypow(0.5, 1100), 0);
  errno = 0;
  EXPECT_EQ(mypow(0, -1), std::numeric_limits<double>::infinity());
  EXPECT_EQ(errno, ERANGE);
  EXPECT_EQ(mypow(4, 0.5), 2);
  EXPECT_NEAR(mypow(2, 0.75), std::pow(2, 0.75), 1e-15);
  EXPECT_EQ(mypow(2, 1e20), std::numeric_limits<double>::infinity());
  EXPECT_EQ(mypow(0.5, 1e20), 0);
}

// Integer powers go by repeated squaring on the normalised mantissa: close
// to the library's value, and exact where the library's is.
TEST(Rounding, IntegerPowersBySquaring) {
  EXPECT_NEAR(mypow(1.1, 200), std::pow(1.1, 200), 1e-12 * std::pow(1.1, 200));
  for (int n = 0; n <= 60; ++n) EXPECT_EQ(mypow(2, n), std::ldexp(1., n)) << n;
  EXPECT_EQ(mypow(3, 20), 3486784401.);
  EXPECT_EQ(mypow(-3, 21), -10460353203.);
  EXPECT_EQ(mypow(2, 1023), std::ldexp(1., 1023));
  EXPECT_EQ(mypow(2, -1074), std::ldexp(1., -1074));
}

}  // namespace
}  // namespace vexo
