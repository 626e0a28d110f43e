#include "support/machine.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vexo {
namespace {

TEST(Machine, TrapsOffGiveInfinityAndNaN) {
  Init_Stderr();
  Mach();
  fpinit_ZEF();
  volatile double zero = 0.;
  EXPECT_EQ(1. / zero, Infinity);
  EXPECT_EQ(-1. / zero, negInfinity);
  EXPECT_TRUE(std::isnan(zero / zero));
}

TEST(Machine, ClocksAndSleeper) {
  EXPECT_EQ(e_time(), 0.);  // first call in this process
  EXPECT_GE(e_time(), 0.);
  cputimes(0, nullptr);     // does nothing, must not fail
  double t[2] = {-1, -1};
  cputimes(0, t);
  EXPECT_GE(t[0], 0.);
  EXPECT_GE(t[1], 0.);
  EXPECT_GE(xectim(), 0.);
  sleeper(0);
  sleeper(-1);
  sleeper(NAN);
}

}  // namespace
}  // namespace vexo
