#include "presolve/rounding.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <limits>

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
