#include "support/strtod.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "test_util.h"

namespace vexo {
namespace {

using test::bits_of;

constexpr double INF = std::numeric_limits<double>::infinity();
const double TINY = std::nextafter(0., 1.);  // smallest subnormal

struct Case {
  const char* text;
  double value;  // compared bit for bit (so -0 differs from +0)
  int used;      // characters used
  bool erange;
};

void check(const Case& c) {
  char* end = nullptr;
  errno = 0;
  double v = Strtod(c.text, &end);
  EXPECT_EQ(bits_of(v), bits_of(c.value))
      << '"' << c.text << "\" gave " << v << ", want " << c.value;
  EXPECT_EQ(end - c.text, c.used) << '"' << c.text << '"';
  EXPECT_EQ(errno == ERANGE, c.erange) << '"' << c.text << '"';
}

TEST(Strtod, SyntaxAndEndPosition) {
  const Case cases[] = {
      {"  -12.5e+2xyz", -1250, 10, false},
      {"\t\n\v\f\r 7", 7, 7, false},
      {"1e", 1, 1, false},
      {"1e+", 1, 1, false},
      {"1E-x", 1, 1, false},
      {"5.", 5, 2, false},
      {".5", 0.5, 2, false},
      {"0012.50", 12.5, 7, false},
      {"0.000", 0, 5, false},
      {"0.e5", 0, 4, false},  // zeros read the exponent as usual
      {"00e99999", 0, 8, false},
      {"-0", -0.0, 2, false},
      {"-0.0e-5", -0.0, 7, false},
      {"0.00123e2", 0.123, 9, false},
      {"1200", 1200, 4, false},
      {"123456789012345678901234567890", 1.2345678901234568e29, 30, false},
      // Nothing used: +0 and the end at the very start.
      {"+", 0, 0, false},
      {"-", 0, 0, false},
      {"", 0, 0, false},
      {" ", 0, 0, false},
      {".", 0, 0, false},
      {"e5", 0, 0, false},
      {"-e5", 0, 0, false},
      {".e5", 0, 0, false},
      {"x", 0, 0, false},
      {"- 5", 0, 0, false},
      {"-i", 0, 0, false},
      {"-.x", 0, 0, false},
      // Infinity and NaN.
      {"INF", INF, 3, false},
      {"inf", INF, 3, false},
      {"Infinity", INF, 8, false},
      {"-infINITYx", -INF, 9, false},
      {"infin", INF, 3, false},
  };
  for (const Case& c : cases) check(c);
}

TEST(Strtod, NaN) {
  const char* texts[] = {"nan", "NaN(123)", "-nan", " +NAN"};
  const int used[] = {3, 3, 4, 5};
  for (int i = 0; i < 4; i++) {
    char* end;
    double v = Strtod(texts[i], &end);
    EXPECT_EQ(bits_of(v) & ~(uint64_t(1) << 63), 0x7ff8000000000000ull)
        << texts[i];
    EXPECT_EQ(std::signbit(v), texts[i][0] == '-') << texts[i];
    EXPECT_EQ(end - texts[i], used[i]) << texts[i];
  }
}

TEST(Strtod, RangeAndERANGE) {
  const Case cases[] = {
      {"1e400", INF, 5, true},
      {"-1e400", -INF, 6, true},
      {"1e-400", 0, 6, true},
      {"-1e-400", -0.0, 7, true},
      {"4.9e-324", TINY, 8, true},
      {"2.4703282292062328e-324", TINY, 23, true},  // just above half
      {"2.4703282292062327e-324", 0, 23, true},     // just below
      {"2.2250738585072011e-308", std::nextafter(DBL_MIN, 0.), 23, true},
      {"2.2250738585072014e-308", DBL_MIN, 23, false},
      {"2.2250738585072013e-308", DBL_MIN, 23, false},  // rounds up to it
      {"1.7976931348623157e308", DBL_MAX, 22, false},
      {"1.7976931348623158e308", DBL_MAX, 22, false},
      {"1.7976931348623159e308", INF, 22, true},
      {"1e99999999", INF, 10, true},  // the exponent counts as 19999
      {"0.1e-99999999", 0, 13, true},
      {"1e-325", 0, 6, true},
  };
  for (const Case& c : cases) check(c);
}

TEST(Strtod, Hexadecimal) {
  const Case cases[] = {
      {"0x1.8p1", 3, 7, false},
      {"-0X1P-2", -0.25, 7, false},
      {"0x", 0, 1, false},
      {"0xg", 0, 1, false},
      {"0x.p1", 0, 1, false},
      {"-0x", -0.0, 2, false},
      {"0x1p", 1, 3, false},
      {"0x1p+", 1, 3, false},
      {"0x0p99999999999", 0, 15, false},  // zero whatever the exponent
      {"0x1p-1075", 0, 9, true},          // exactly half: even 0
      {"0x1.00001p-1075", TINY, 15, true},
      {"0x1p-1074", TINY, 9, false},
      {"0x1.8p-1074", 2 * TINY, 11, false},      // subnormal: no ERANGE
      {"0x1.0000000000000800p0", 1, 22, false},  // halfway: even
      {"0x1.0000000000000801p0", 1 + DBL_EPSILON, 22, false},
      {"0x1.0000000000001800p0", 1 + 2 * DBL_EPSILON, 22, false},
      {"0x1.00000000000008000000000000000001p0", 1 + DBL_EPSILON, 38, false},
      {"0x1.fffffffffffffp1023", DBL_MAX, 22, false},
      {"0x1.fffffffffffff8p1023", INF, 23, true},
      {"0x1p134217728", INF, 13, true},  // beyond 27 bits
      {"0x1p-134217728", 0, 14, true},
      {"0x.0000000000000000000001p0", std::ldexp(1., -88), 27, false},
      {"0x123456789abcdef123p0", 0x123456789abcdef123p0, 22, false},
  };
  for (const Case& c : cases) check(c);
}

TEST(Strtod, HexadecimalDirectedRounding) {
  struct {
    const char* text;
    int rounding, sign;
    double value;
  } cases[] = {
      {"0x1.00000000000008p0", 0, 0, 1},  // toward zero
      {"0x1.00000000000008p0", 2, 0, 1 + DBL_EPSILON},
      {"0x1.00000000000008p0", 2, 1, 1},  // toward +inf, negative number
      {"0x1.00000000000008p0", 3, 1, 1 + DBL_EPSILON},
      {"0x1p-1080", 2, 0, TINY},
      {"0x1p2000", 0, 0, DBL_MAX},
      {"0x1p2000", 3, 0, DBL_MAX},
      {"0x1p2000", 3, 1, INF},
  };
  for (const auto& c : cases) {
    const char* s = c.text;
    double v;
    gethex(&s, &v, c.rounding, c.sign);
    EXPECT_EQ(v, c.value) << c.text << " rounding " << c.rounding;
    EXPECT_EQ(*s, 0);
  }
}

// The exact decimal expansion of a point halfway between two doubles,
// padded with zeros to 800 digits: ties go to the even significand, and a 1
// in the last place tips it to the larger neighbour.
TEST(Strtod, LongHalfwayTexts) {
  struct {
    std::string digits;  // the expansion, point after the first digit
    int exp10;
    double lo, hi, even;  // the neighbours and the one with even significand
  } cases[2];
  cases[0] = {"100000000000000011102230246251565404236316680908203125", 0, 1.0,
              1 + DBL_EPSILON, 1.0};
  // Halfway between the smallest and the next subnormal, 1.5 * 2^-1074.
  char buf[900];
  std::snprintf(buf, sizeof buf, "%.790Le", 3.0L * std::ldexp(1.0L, -1075));
  std::string d(buf, size_t(std::strchr(buf, 'e') - buf));
  d.erase(1, 1);
  while (d.back() == '0') d.pop_back();
  cases[1] = {d, std::atoi(std::strchr(buf, 'e') + 1), TINY, 2 * TINY,
              2 * TINY};
  for (auto& c : cases) {
    ASSERT_LT(c.digits.size(), 800u);
    std::string t = c.digits.substr(0, 1) + "." + c.digits.substr(1);
    t.resize(801, '0');  // 800 digits and the point
    std::string ex = std::to_string(c.exp10);
    ex.insert(0, 1, 'e');
    EXPECT_EQ(Strtod((t + ex).c_str(), nullptr), c.even);
    std::string up = t;
    up[800] = '1';
    EXPECT_EQ(Strtod((up + ex).c_str(), nullptr), c.hi);
    std::string down = t;  // one unit of digit 800 below
    size_t i = down.size() - 1;
    while (down[i] == '0') down[i--] = '9';
    down[i]--;
    EXPECT_EQ(Strtod((down + ex).c_str(), nullptr), c.lo);
  }
}

TEST(Strtod, LongTexts) {
  // 0.000...0001 with 400 zeros, times 10^400.
  std::string t = "0." + std::string(400, '0') + "1e400";
  EXPECT_EQ(Strtod(t.c_str(), nullptr), 0.1);
  // 100000 digits: far beyond the largest double.
  t = "1" + std::string(100000, '0');
  errno = 0;
  char* end;
  EXPECT_EQ(Strtod(t.c_str(), &end), INF);
  EXPECT_EQ(errno, ERANGE);
  EXPECT_EQ(end, t.c_str() + t.size());
  // A long run of digits after the 19th that only matters at the end.
  t = "9007199254740993" + std::string(300, '0') + "1e-301";
  EXPECT_EQ(Strtod(t.c_str(), nullptr), 9007199254740994.);
  t = "9007199254740993" + std::string(300, '0') + "e-300";
  EXPECT_EQ(Strtod(t.c_str(), nullptr), 9007199254740992.);
}

}  // namespace
}  // namespace vexo
