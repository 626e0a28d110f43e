#include "support/dtoa.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "support/bigint.h"
#include "support/machine.h"
#include "support/strtod.h"

namespace vexo {
namespace {

struct Case {
  double x;
  int mode, ndigits;
  const char* digits;
  int decpt;
};

std::string show(const Case& c) {
  char t[80];
  std::snprintf(t, sizeof t, "%.17g mode %d ndigits %d", c.x, c.mode,
                c.ndigits);
  return t;
}

TEST(Dtoa, DigitsAndDecimalPoint) {
  const Case cases[] = {
      {0.1, 0, 0, "1", 0},
      {123.45, 0, 0, "12345", 3},
      {1000, 0, 0, "1", 4},   // exactly a power of ten
      {1e23, 0, 0, "1", 24},  // the boundary string counts (even)
      {1e23, 1, 0, "9999999999999999", 23},  // never in mode 1
      {0.5, 0, 0, "5", 0},
      {9007199254740992., 0, 0, "9007199254740992", 16},
      // Places after the point, ties to even.
      {0.125, 3, 2, "12", 0},
      {0.375, 3, 2, "38", 0},
      {1234.5678, 3, 2, "123457", 4},
      {1234.5678, 3, -2, "12", 4},
      {1, 3, -2, "", 2},    // rounds to zero at the hundreds
      {0.5, 3, 0, "", 0},   // a tie rounds to the even 0
      {0.6, 3, 0, "1", 1},  // rounds up to one unit of the place
      {1.5, 3, 0, "2", 1},
      {0.05, 3, 0, "", 0},
      {999.5, 3, -3, "1", 4},
      // Significant digits.
      {9.5, 2, 1, "1", 2},  // tie to the even 10
      {2.5, 2, 1, "2", 1},
      {25, 2, 1, "2", 2},
      {35, 2, 1, "4", 2},
      {9.9999, 2, 3, "1", 2},  // carry through the nines
      {0.1, 2, 0, "1", 0},     // ndigits <= 0 counts as 1
      {1. / 3, 2, 20, "33333333333333331483", 0},
      {5e-324, 2, 3, "494", -323},
      // Stopping early once a shorter string reads back.
      {0.1, 4, 5, "1", 0},
      {2. / 3, 4, 5, "66667", 0},
      {0.1, 5, 5, "1", 0},
      {1. / 3, 5, 3, "333", 0},
      {123.456, 5, 1, "1235", 3},
      // Modes 6 to 9 act as 2 to 5, others as 0.
      {9.5, 6, 1, "1", 2},
      {0.125, 7, 2, "12", 0},
      {0.1, 10, 3, "1", 0},
      {0.1, -1, 3, "1", 0},
  };
  for (const Case& c : cases) {
    char buf[64];
    int decpt = -7, sign = -7;
    char* rve = nullptr;
    char* s =
        dtoa_r(c.x, c.mode, c.ndigits, &decpt, &sign, &rve, buf, sizeof buf);
    ASSERT_EQ(s, buf) << show(c);
    EXPECT_STREQ(s, c.digits) << show(c);
    EXPECT_EQ(decpt, c.decpt) << show(c);
    EXPECT_EQ(sign, 0) << show(c);
    EXPECT_EQ(rve, s + std::strlen(s)) << show(c);
    // The exact path alone gives the same digits.
    char buf2[64];
    int decpt2, sign2;
    EXPECT_STREQ(dtoa_exact_r(c.x, c.mode, c.ndigits, &decpt2, &sign2, nullptr,
                              buf2, sizeof buf2),
                 c.digits)
        << show(c);
    EXPECT_EQ(decpt2, c.decpt) << show(c);
  }
}

TEST(Dtoa, SpecialValuesAndSign) {
  double inf = std::numeric_limits<double>::infinity();
  double nan = std::numeric_limits<double>::quiet_NaN();
  struct {
    double x;
    const char* digits;
    int decpt, sign;
  } cases[] = {
      {-0.0, "0", 1, 1},           {0.0, "0", 1, 0},
      {-inf, "Infinity", 9999, 1}, {inf, "Infinity", 9999, 0},
      {nan, "NaN", 9999, 0},       {-nan, "NaN", 9999, 1},
      {-2.5, "25", 1, 1},
  };
  for (const auto& c : cases) {
    for (int mode : {0, 2, 3}) {
      char buf[32];
      int decpt, sign;
      char* rve;
      char* s = dtoa_r(c.x, mode, 4, &decpt, &sign, &rve, buf, sizeof buf);
      ASSERT_NE(s, nullptr);
      EXPECT_STREQ(s, c.digits);
      EXPECT_EQ(decpt, c.decpt) << c.digits;
      EXPECT_EQ(sign, c.sign) << c.digits;
      EXPECT_EQ(*rve, 0);
    }
  }
}

TEST(Dtoa, ExtremesReadBackExactly) {
  struct {
    double x;
    size_t ndigits;
  } cases[] = {
      {std::nextafter(DBL_MIN, 0.), 16},  // largest subnormal
      {std::nextafter(0., 1.), 1},        // smallest subnormal
      {DBL_MAX, 17},
      {DBL_MIN, 17},
  };
  for (const auto& c : cases) {
    char buf[32];
    int decpt, sign;
    char* s = dtoa_r(c.x, 0, 0, &decpt, &sign, nullptr, buf, sizeof buf);
    EXPECT_EQ(std::strlen(s), c.ndigits) << s;
    std::string text = "0." + std::string(s) + "e" + std::to_string(decpt);
    EXPECT_EQ(Strtod(text.c_str(), nullptr), c.x) << text;
  }
}

TEST(Dtoa, BufferTooSmallWritesNothing) {
  struct {
    double x;
    int mode, ndigits;
    size_t least;  // the smallest buffer that is accepted
  } cases[] = {
      {0.1 + 0.2, 0, 0, 19},  // 17 digits
      {0.5, 0, 0, 19},        // the rule, not the length, decides
      {0.5, 1, 0, 19},
      {2. / 3, 2, 5, 6},
      {2. / 3, 4, 5, 6},
      {1234.5678, 3, 2, 7},  // 2 places + 4 integer digits
      {1234.5678, 5, 2, 7},
      {0.001, 3, 1, 2},  // at least one
      {std::numeric_limits<double>::infinity(), 0, 0, 9},
      {std::nan(""), 0, 0, 4},
      {0.0, 0, 0, 2},
  };
  for (const auto& c : cases) {
    char buf[32];
    std::memset(buf, 'x', sizeof buf);
    int decpt = 12345, sign;
    EXPECT_EQ(dtoa_r(c.x, c.mode, c.ndigits, &decpt, &sign, nullptr, buf,
                     c.least - 1),
              nullptr)
        << c.x << " mode " << c.mode;
    EXPECT_EQ(decpt, 12345);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(
        dtoa_r(c.x, c.mode, c.ndigits, &decpt, &sign, nullptr, buf, c.least),
        buf)
        << c.x << " mode " << c.mode;
  }
}

TEST(Dtoa, AllocatedResults) {
  int decpt, sign;
  char* s1 = dtoa(0.1, 0, 0, &decpt, &sign, nullptr);
  EXPECT_STREQ(s1, "1");
  EXPECT_EQ(dtoa_result, s1);
  // The next call frees the previous result; a long one needs the system
  // allocator (beyond the classes with free lists).
  char* rve;
  char* s2 = dtoa(1. / 3, 2, 700, &decpt, &sign, &rve);
  EXPECT_EQ(std::strncmp(s2, "33333333333333331482961625", 26), 0);
  EXPECT_EQ(rve, s2 + std::strlen(s2));
  EXPECT_EQ(dtoa_result, s2);
  freedtoa(s2);
  EXPECT_EQ(dtoa_result, nullptr);
  // Without a buffer dtoa_r allocates too; freedtoa of a string that is no
  // longer the recorded one leaves the record alone.
  char* s3 = dtoa_r(-std::numeric_limits<double>::infinity(), 0, 0, &decpt,
                    &sign, nullptr, nullptr, 0);
  char* s4 = dtoa_r(2.5, 3, 1000000000, &decpt, &sign, nullptr, nullptr, 0);
  EXPECT_STREQ(s3, "Infinity");
  EXPECT_STREQ(s4, "25");
  freedtoa(s3);
  EXPECT_EQ(dtoa_result, s4);
  freedtoa(s4);
  EXPECT_EQ(dtoa_result, nullptr);
}

// The fast-path tuning never changes the digits.
TEST(Dtoa, DivmaxTunesSpeedOnly) {
  const double xs[] = {25,     35,  125, 1e18 + 512, 12345678901234567890.,
                       2.5e15, 7.0, 1e22};
  int saved = dtoa_divmax;
  for (int dm : {-5, 2, 19}) {
    dtoa_divmax = dm;
    for (double x : xs) {
      for (int nd = 1; nd <= 4; nd++) {
        char ref[64], buf[64];
        std::snprintf(ref, sizeof ref, "%.*e", nd - 1, x);
        int decpt, sign;
        dtoa_r(x, 2, nd, &decpt, &sign, nullptr, buf, sizeof buf);
        std::string got = buf;
        got.resize(size_t(nd), '0');
        std::string want(ref, 1);
        if (nd > 1) want += std::string(ref + 2, size_t(nd - 1));
        EXPECT_EQ(got, want) << x << " nd " << nd << " divmax " << dm;
        EXPECT_EQ(decpt, std::atoi(std::strchr(ref, 'e') + 1) + 1);
      }
    }
  }
  dtoa_divmax = saved;
}

// Both directions use integer arithmetic only: a directed rounding mode of
// the floating-point unit changes nothing.
TEST(Dtoa, ConversionsIgnoreRoundingMode) {
  const char* texts[] = {"0.1",
                         "1e23",
                         "2.2250738585072011e-308",
                         "123456789012345678901234567890",
                         "4.9e-324",
                         "1.7976931348623157e308",
                         "3.14159"};
  double want[7];
  for (int i = 0; i < 7; i++) want[i] = Strtod(texts[i], nullptr);
  for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    for (int i = 0; i < 7; i++) {
      double got = Strtod(texts[i], nullptr);
      EXPECT_EQ(std::memcmp(&got, &want[i], sizeof got), 0) << texts[i];
    }
    char buf[32];
    int decpt, sign;
    EXPECT_STREQ(dtoa_r(0.1, 0, 0, &decpt, &sign, nullptr, buf, 32), "1");
    EXPECT_STREQ(dtoa_r(2. / 3, 2, 5, &decpt, &sign, nullptr, buf, 32),
                 "66667");
    EXPECT_STREQ(dtoa_r(1e23, 0, 0, &decpt, &sign, nullptr, buf, 32), "1");
    std::fesetround(FE_TONEAREST);
  }
}

// The big integers: products, powers of five, quotient digits.
TEST(Bigint, ArithmeticAndRecycling) {
  // 7 * 10^40 + 3 divided by 10^40 = 5^40 * 2^40.
  bignum* S = lshift(pow5mult(i2b(1), 40), 40);
  bignum* b = lshift(pow5mult(i2b(7), 40), 40);
  b = multadd(b, 1, 3);
  int sh = quorem_shift(S);
  S = lshift(S, sh);
  b = lshift(b, sh);
  EXPECT_EQ(quorem(b, S), 7);
  bignum* three = lshift(i2b(3), sh);
  EXPECT_EQ(cmp(b, three), 0);
  Bfree(three);
  // 5^27 fits 64 bits.
  bignum* p = pow5mult(i2b(1), 27);
  ASSERT_EQ(p->wds, 2);
  EXPECT_EQ((uint64_t(p->x[1]) << 32) | p->x[0], 7450580596923828125ull);
  // (2^64 - 1) - 5^27 and its reverse.
  bignum* m = u64tob(~0ull);
  bignum* d1 = diff(m, p);
  bignum* d2 = diff(p, m);
  EXPECT_EQ(d1->sign, 0);
  EXPECT_EQ(d2->sign, 1);
  EXPECT_EQ(cmp(d1, d2), 0);
  EXPECT_EQ((uint64_t(d1->x[1]) << 32) | d1->x[0],
            ~0ull - 7450580596923828125ull);
  // Outgrowing a record moves the value to the next class.
  bignum* g = i2b(0xffffffffu);
  g->x[1] = 0xffffffffu;
  g->wds = 2;  // capacity of class 1
  g = multadd(g, 2, 1);
  EXPECT_EQ(g->k, 2);
  EXPECT_EQ(g->wds, 3);
  EXPECT_EQ(g->x[0], 0xffffffffu);
  EXPECT_EQ(g->x[2], 1u);
  // Freed records are reused from their class's free list.
  Bfree(g);
  EXPECT_EQ(Balloc(2), g);
  for (bignum* r : {b, S, p, m, d1, d2, g}) Bfree(r);
}

// Every 96-bit power of ten is 10^k rounded to nearest, normalised, and
// exact for k = 0 .. 41: |P * 2^e - 10^k| <= 2^(e-1), checked on integers
// scaled by 2^(1-e) * 10^m, m = max(0, -k).
TEST(Bigint, PowersOfTenTable) {
  for (int k = PTEN_MIN; k <= PTEN_MAX; k++) {
    const pten_entry& p = pten_of(k);
    ASSERT_TRUE(p.hi >> 31) << k;
    bignum* lhs = lshift(u64tob((uint64_t(p.hi) << 32) | p.mid), 32);
    lhs = lshift(multadd(lhs, 1, p.lo), 1);  // 2P
    int m = k < 0 ? -k : 0, s = 1 - p.e;
    bignum* tol = lshift(pow5mult(i2b(1), m), m);  // 10^m
    lhs = lshift(pow5mult(lhs, m), m);
    bignum* rhs = lshift(pow5mult(i2b(1), k + m), k + m);  // 10^(k+m)
    if (s >= 0) {
      rhs = lshift(rhs, s);
    } else {
      lhs = lshift(lhs, -s);
      tol = lshift(tol, -s);
    }
    bignum* d = diff(lhs, rhs);
    if (pten_exact(k))
      EXPECT_TRUE(is_zero(d)) << k;
    else
      EXPECT_LE(cmp(d, tol), 0) << k;
    for (bignum* r : {lhs, rhs, tol, d}) Bfree(r);
  }
}

#if !defined(__SANITIZE_ADDRESS__)
// Runs in the death test's child: a 4 GB record under a 2 GB address space.
void allocate_too_much() {
  Init_Stderr();
  struct rlimit rl;
  rl.rlim_cur = rl.rlim_max = rlim_t(1) << 31;
  setrlimit(RLIMIT_AS, &rl);
  Balloc(30);
}

TEST(BigintDeathTest, OutOfMemoryEndsTheProcess) {
  EXPECT_EXIT(allocate_too_much(), ::testing::ExitedWithCode(63),
              "\nmalloc failure in dtoa!\n");
}
#endif

}  // namespace
}  // namespace vexo
