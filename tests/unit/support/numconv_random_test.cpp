// Randomized differential tests of Strtod and dtoa_r against the C
// library: same bits and end positions for decimal and hexadecimal texts,
// shortest digits that read back, and rounded digits equal to "%.*e" and
// "%.*f".
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "support/dtoa.h"
#include "support/strtod.h"
#include "test_util.h"

namespace vexo {
namespace {

// Fewer cases under the sanitizers, which slow everything down.
#if defined(__SANITIZE_ADDRESS__)
constexpr int SCALE = 4;
#else
constexpr int SCALE = 1;
#endif

using test::bits_of;

double from_bits(uint64_t u) {
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

// Strtod and the C library agree on the value (bit for bit) and the end.
::testing::AssertionResult same_as_libc(const std::string& text) {
  char *e1, *e2;
  double a = Strtod(text.c_str(), &e1);
  double b = std::strtod(text.c_str(), &e2);
  if (bits_of(a) != bits_of(b) || e1 != e2)
    return ::testing::AssertionFailure()
           << "\"" << text << "\": Strtod " << a << " (0x" << std::hex
           << bits_of(a) << ") end " << std::dec << (e1 - text.c_str())
           << ", strtod " << b << " (0x" << std::hex << bits_of(b) << ") end "
           << std::dec << (e2 - text.c_str());
  return ::testing::AssertionSuccess();
}

struct Rng {
  std::mt19937_64 g{20240611};
  uint64_t next() { return g(); }
  int in(int lo, int hi) {  // lo .. hi inclusive
    return lo + int(next() % uint64_t(hi - lo + 1));
  }
  // A finite positive double with uniformly random bits.
  double any_double() {
    for (;;) {
      double d = from_bits(next() >> 1);
      if (d == d && d - d == 0 && d != 0) return d;
    }
  }
};

std::string random_digits(Rng& r, int n) {
  std::string s;
  s += char('1' + r.in(0, 8));
  for (int i = 1; i < n; i++) s += char('0' + r.in(0, 9));
  return s;
}

TEST(NumconvRandom, StrtodDecimalTexts) {
  Rng r;
  const char* tails[] = {"", "", "", "x", "e", "e+", "E-", ".", " 1", "e5x"};
  for (int n = 0; n < 200000 / SCALE; n++) {
    int nd = r.in(1, 40);
    std::string dg = random_digits(r, nd);
    std::string t;
    if (r.in(0, 3) == 0) t += r.in(0, 1) ? "-" : "+";
    if (r.in(0, 5) == 0) t += "000";
    int point = r.in(0, nd + 2);  // where the "." goes, if at all
    if (point == 0 && r.in(0, 1)) t += "0.00";
    if (point <= nd) {
      t += dg.substr(0, size_t(point)) + "." + dg.substr(size_t(point));
    } else {
      t += dg;
    }
    int ex = r.in(-350, 310) - (point <= nd ? point : nd);
    t += r.in(0, 1) ? 'e' : 'E';
    t += std::to_string(ex);
    t += tails[r.in(0, 9)];
    ASSERT_TRUE(same_as_libc(t));
  }
}

// The exact decimal expansion of the point halfway between x and the next
// double up, as digits and the exponent of the first digit.
void halfway_digits(double x, std::string* digits, int* exp10) {
  long double mid =
      (static_cast<long double>(x) + std::nextafter(x, DBL_MAX)) / 2;
  char buf[900];
  std::snprintf(buf, sizeof buf, "%.820Le", mid);
  char* e = std::strchr(buf, 'e');
  *exp10 = std::atoi(e + 1);
  std::string d(buf, size_t(e - buf));
  d.erase(1, 1);  // the point
  while (d.size() > 1 && d.back() == '0') d.pop_back();
  *digits = d;
}

// Adds delta (+1 or -1) to the last digit of a digit string.
std::string bump(std::string d, int delta) {
  size_t i = d.size();
  while (i-- > 0) {
    int v = d[i] - '0' + delta;
    if (v >= 0 && v <= 9) {
      d[i] = char('0' + v);
      return d;
    }
    d[i] = delta > 0 ? '0' : '9';
  }
  return delta > 0 ? "1" + d : d;
}

TEST(NumconvRandom, StrtodHalfwayTexts) {
  static_assert(LDBL_MANT_DIG >= 64, "halfway points need a wider type");
  Rng r;
  for (int n = 0; n < 20000 / SCALE; n++) {
    double x = r.any_double();
    if (x == DBL_MAX) continue;
    std::string d;
    int ex;
    halfway_digits(x, &d, &ex);
    // The exact point, one unit either side, and near points cut short.
    std::string cut = d.substr(0, size_t(r.in(16, 40)));
    for (const std::string& v :
         {d, bump(d, 1), bump(d, -1), cut, bump(cut, 1)}) {
      std::string t =
          v.substr(0, 1) + "." + v.substr(1) + "e" + std::to_string(ex);
      ASSERT_TRUE(same_as_libc(t));
    }
  }
}

TEST(NumconvRandom, StrtodHexTexts) {
  Rng r;
  const char* hx = "0123456789abcdefABCDEF";
  const char* tails[] = {"", "", "p", "p+", "x", "g", "."};
  for (int n = 0; n < 50000 / SCALE; n++) {
    std::string t = r.in(0, 3) ? "0x" : "-0X";
    int nd = r.in(0, 22);
    std::string dg;
    for (int i = 0; i < nd; i++) dg += hx[r.in(0, 21)];
    int point = r.in(0, nd + 1);
    if (point <= nd)
      t += dg.substr(0, size_t(point)) + "." + dg.substr(size_t(point));
    else
      t += dg;
    if (r.in(0, 5)) {
      t += 'p';
      t += std::to_string(r.in(-1160, 1040));
    }
    t += tails[r.in(0, 6)];
    double b = std::strtod(t.c_str(), nullptr);
    if (std::fabs(b) >= DBL_MIN || std::isinf(b)) {
      ASSERT_TRUE(same_as_libc(t));
      continue;
    }
    // The C library misrounds some subnormals from hexadecimal text (it
    // loses the bit after the rounding bit).  Up to 15 significant digits
    // read exactly into a long double, whose conversion rounds once.
    size_t lead = dg.find_first_not_of('0');
    if (lead != std::string::npos && dg.size() - lead > 15) continue;
    char *e1, *e2;
    double a = Strtod(t.c_str(), &e1);
    b = static_cast<double>(std::strtold(t.c_str(), &e2));
    ASSERT_EQ(bits_of(a), bits_of(b)) << t;
    ASSERT_EQ(e1, e2) << t;
  }
}

// A double of one of the kinds that printing meets: any bits, short
// decimals, or small binary fractions (which give exact ties).
double sample_double(Rng& r) {
  switch (r.in(0, 5)) {
    case 4:  // powers of two: the gap below is half as wide
      return std::ldexp(1., r.in(-1074, 1023));
    case 5:  // subnormals
      return from_bits(r.next() & 0x000fffffffffffffull) + 0.;
    case 0: {
      std::string t =
          random_digits(r, r.in(1, 17)) + "e" + std::to_string(r.in(-30, 30));
      return std::strtod(t.c_str(), nullptr);
    }
    case 1:
      return std::ldexp(double(r.in(1, 1 << 20)), r.in(-12, 4));
    default:
      return r.any_double();
  }
}

struct Digits {
  std::string s;
  int decpt;
};

Digits run_dtoa(double x, int mode, int nd) {
  char buf[1200];
  int decpt, sign;
  char* rve;
  char* s = dtoa_r(x, mode, nd, &decpt, &sign, &rve, buf, sizeof buf);
  EXPECT_NE(s, nullptr);
  EXPECT_EQ(size_t(rve - s), std::strlen(s));
  return {s ? s : "", decpt};
}

// Digit string and decpt from "%.*e" output.
Digits from_e(const char* t) {
  Digits d;
  const char* e = std::strchr(t, 'e');
  for (const char* p = t; p < e; p++)
    if (*p >= '0' && *p <= '9') d.s += *p;
  d.decpt = std::atoi(e + 1) + 1;
  while (d.s.size() > 1 && d.s.back() == '0') d.s.pop_back();
  return d;
}

// The L-digit string nearest to x that reads back as x, if any.
bool nearest_readback(double x, int L, Digits* out) {
  char t[64];
  std::snprintf(t, sizeof t, "%.*e", L - 1, x);
  double y = std::strtod(t, nullptr);
  if (y == x) {
    *out = from_e(t);
    return true;
  }
  // The neighbour on the other side of x at the same place.
  const char* e = std::strchr(t, 'e');
  uint64_t D = 0;
  for (const char* p = t; p < e; p++)
    if (*p >= '0' && *p <= '9') D = D * 10 + uint64_t(*p - '0');
  int E = std::atoi(e + 1) - (L - 1);
  D = y > x ? D - 1 : D + 1;
  char t2[64];
  std::snprintf(t2, sizeof t2, "%llue%d", static_cast<unsigned long long>(D),
                E);
  if (std::strtod(t2, nullptr) != x) return false;
  std::snprintf(t, sizeof t, "%.*e", 20, std::strtod(t2, nullptr));
  Digits d;
  d.s = std::to_string(D);
  d.decpt = int(d.s.size()) + E;
  while (d.s.size() > 1 && d.s.back() == '0') d.s.pop_back();
  *out = d;
  return true;
}

TEST(NumconvRandom, ShortestDigits) {
  Rng r;
  for (int n = 0; n < 100000 / SCALE; n++) {
    double x = sample_double(r);
    Digits m = run_dtoa(x, 0, 0);
    std::string back = "0." + m.s + "e" + std::to_string(m.decpt);
    ASSERT_EQ(bits_of(std::strtod(back.c_str(), nullptr)), bits_of(x)) << back;
    int L = int(m.s.size());
    Digits ref;
    if (L > 1) {
      ASSERT_FALSE(nearest_readback(x, L - 1, &ref))
          << "%.17g " << x << " gave " << m.s << " but " << ref.s
          << " is shorter";
    }
    ASSERT_TRUE(nearest_readback(x, L, &ref));
    ASSERT_EQ(m.s, ref.s) << x;
    ASSERT_EQ(m.decpt, ref.decpt) << x;
  }
}

TEST(NumconvRandom, FastPathsAgreeWithExactPath) {
  Rng r;
  char b1[1200], b2[1200];
  for (int n = 0; n < 60000 / SCALE; n++) {
    double x = sample_double(r);
    if (x == 0) continue;
    int mode = r.in(0, 5);
    int nd = r.in(-5, 25);
    int dp1, dp2, sg1, sg2;
    char* s1 = dtoa_r(x, mode, nd, &dp1, &sg1, nullptr, b1, sizeof b1);
    char* s2 = dtoa_exact_r(x, mode, nd, &dp2, &sg2, nullptr, b2, sizeof b2);
    ASSERT_TRUE(s1 && s2);
    ASSERT_STREQ(s1, s2) << "%.17g of " << x << " mode " << mode << " nd "
                         << nd;
    ASSERT_EQ(dp1, dp2) << x << " mode " << mode << " nd " << nd;
  }
}

// Integers and short binary fractions, whose exact decimal text is often
// the shortest one: every binary scale from far below the point to beyond
// 2^53, odd and even significands of up to 53 bits, both signs, against
// the exact path in the shortest modes.
TEST(NumconvRandom, ExactTextsAgreeWithExactPath) {
  Rng r;
  char b1[64], b2[64];
  for (int n = 0; n < 40000 / SCALE; n++) {
    int bits = r.in(1, 53);
    uint64_t m = (r.next() >> (64 - bits)) | 1;
    double x = std::ldexp(double(m), r.in(-70, 12) - r.in(0, bits));
    if (r.in(0, 1)) x = -x;
    for (int mode : {0, 4}) {
      int dp1, dp2, sg1, sg2;
      char* s1 = dtoa_r(x, mode, 17, &dp1, &sg1, nullptr, b1, sizeof b1);
      char* s2 = dtoa_exact_r(x, mode, 17, &dp2, &sg2, nullptr, b2, sizeof b2);
      ASSERT_TRUE(s1 && s2);
      ASSERT_STREQ(s1, s2) << "%.17g of " << x << " mode " << mode;
      ASSERT_EQ(dp1, dp2) << x << " mode " << mode;
    }
  }
  for (double x : {9007199254740991., 9007199254740992., 9007199254740994.,
                   1125899906842624.5, 0.25, 12.5, 1e16, 99999999999999984.,
                   0x1p-17, 0x1p-18, 3 * 0x1p-20}) {
    int dp1, dp2, sg1, sg2;
    char* s1 = dtoa_r(x, 0, 0, &dp1, &sg1, nullptr, b1, sizeof b1);
    char* s2 = dtoa_exact_r(x, 0, 0, &dp2, &sg2, nullptr, b2, sizeof b2);
    ASSERT_TRUE(s1 && s2);
    EXPECT_STREQ(s1, s2) << x;
    EXPECT_EQ(dp1, dp2) << x;
  }
}

TEST(NumconvRandom, RoundedDigitsMatchPrintf) {
  Rng r;
  char t[1200];
  for (int n = 0; n < 100000 / SCALE; n++) {
    double x = sample_double(r);
    int nd = r.in(0, 3) ? r.in(1, 19) : r.in(20, 40);
    std::snprintf(t, sizeof t, "%.*e", nd - 1, x);
    Digits ref = from_e(t);
    Digits m = run_dtoa(x, 2, nd);
    ASSERT_EQ(m.s, ref.s) << t;
    ASSERT_EQ(m.decpt, ref.decpt) << t;

    if (x > 1e30 || x < 1e-30) continue;
    int places = r.in(0, 3) ? r.in(0, 12) : r.in(13, 40);
    std::snprintf(t, sizeof t, "%.*f", places, x);
    std::string all;
    int intlen = -1;
    for (const char* p = t; *p; p++) {
      if (*p == '.')
        intlen = int(all.size());
      else
        all += *p;
    }
    if (intlen < 0) intlen = int(all.size());
    size_t lead = 0;
    while (lead < all.size() && all[lead] == '0') lead++;
    ref.s = all.substr(lead);
    while (!ref.s.empty() && ref.s.back() == '0') ref.s.pop_back();
    ref.decpt = ref.s.empty() ? -places : intlen - int(lead);
    m = run_dtoa(x, 3, places);
    ASSERT_EQ(m.s, ref.s) << t << " places " << places;
    ASSERT_EQ(m.decpt, ref.decpt) << t << " places " << places;
  }
}

}  // namespace
}  // namespace vexo
