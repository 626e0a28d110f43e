#include "support/numfmt.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "support/scratch.h"
#include "support/strtod.h"

namespace vexo {
namespace {

const double inf = std::numeric_limits<double>::infinity();
const double negnan = std::bit_cast<double>(uint64_t{0xfff8000000000000});

class NumFmt : public ::testing::Test {
 protected:
  void SetUp() override { scratch_reset(); }
};

std::string g(double x, int prec) {
  char b[420];
  int n = g_fmt(b, x, prec);
  EXPECT_EQ(n, static_cast<int>(std::strlen(b)));
  return b;
}

TEST_F(NumFmt, GFmtShortestAndWithPrecision) {
  struct {
    double x;
    int prec;
    const char* want;
  } cases[] = {
      {100000, 0, "1e+05"},
      {10000, 0, "10000"},
      {1200000, 0, "1200000"},
      {12000000, 0, "1.2e+07"},
      {0.0001, 0, "0.0001"},
      {0.00001, 0, "1e-05"},
      {1.5e-7, 0, "1.5e-07"},
      {1e100, 0, "1e+100"},
      {-0.0, 0, "0"},
      {0.0, 5, "0"},
      {0.1, 0, "0.1"},
      {1.0 / 3, 0, "0.3333333333333333"},
      {-inf, 0, "-Infinity"},
      {inf, 3, "Infinity"},
      {negnan, 0, "NaN"},
      {-negnan, 4, "NaN"},
      {2.0 / 3, 3, "0.667"},
      {123456, 3, "123000"},
      {123456789, 3, "1.23e+08"},
      {1000, 3, "1000"},
      {-2.5, 0, "-2.5"},
      {-1.5e-300, 0, "-1.5e-300"},
      {5e-324, 0, "5e-324"},
      {1.7976931348623157e308, 0, "1.7976931348623157e+308"},
      {123.456, 0, "123.456"},
      {0.00123, 0, "0.00123"},
      {2.0 / 3, -5, "0.7"},
      {1234567, 1, "1e+06"},
  };
  for (auto& c : cases)
    EXPECT_EQ(g(c.x, c.prec), c.want) << c.x << " prec " << c.prec;
}

TEST_F(NumFmt, GFmtShortestReadsBackExactly) {
  std::mt19937_64 rng(12345);
  for (int i = 0; i < 20000; ++i) {
    double x = std::bit_cast<double>(rng());
    if (std::isnan(x)) continue;
    std::string t = g(x, 0);
    ASSERT_EQ(std::bit_cast<uint64_t>(Strtod(t.c_str(), nullptr)),
              std::bit_cast<uint64_t>(x == 0 ? 0.0 : x))
        << t;
  }
}

TEST_F(NumFmt, GFmtHugePrecisionIsCutToTheDigitBuffer) {
  // All 54 significant digits of the exact value, no trailing zeros.
  EXPECT_EQ(g(1.0 / 3, 1000),
            "0.333333333333333314829616256247390992939472198486328125");
  // The least subnormal has some 750 significant digits: 399 are written.
  std::string t = g(5e-324, 1000);
  EXPECT_EQ(t.size(), 1u + 1 + 398 + 5);
  EXPECT_EQ(t.substr(0, 20), "4.940656458412465441");
  EXPECT_EQ(t.substr(t.size() - 5), "e-324");
  EXPECT_EQ(Strtod(t.c_str(), nullptr), 5e-324);
}

TEST_F(NumFmt, GfmtAndPvgWriteBf) {
  int64_t len = -1;
  EXPECT_EQ(gfmt(0.25, 0, &len), Bf);
  EXPECT_STREQ(Bf, "0.25");
  EXPECT_EQ(len, 4);
  gfmt(1.0 / 3, 2, nullptr);
  EXPECT_STREQ(Bf, "0.33");
  int saved = output_prec;
  output_prec = 0;
  EXPECT_STREQ(pvg(0.1), "0.1");
  output_prec = 3;
  EXPECT_EQ(pvg(3.14159), Bf);
  EXPECT_STREQ(Bf, "3.14");
  output_prec = saved;
}

std::string f(double x, int nd) {
  int64_t len = -1;
  char* t = ffmt(x, nd, &len);
  EXPECT_EQ(t, Bf);
  EXPECT_EQ(len, static_cast<int64_t>(std::strlen(t)));
  return t;
}

TEST_F(NumFmt, FFmtFixedPlaces) {
  struct {
    double x;
    int nd;
    const char* want;
  } cases[] = {
      {3.14159, 2, "3.14"},
      {2.5, 0, "2"},
      {3.5, 0, "4"},
      {-0.001, 2, "-0.00"},
      {1234.5, -2, "1200"},
      {0.5, 3, "0.500"},
      {negnan, 2, "-NaN"},
      {-negnan, 2, "NaN"},
      {inf, 2, "Infinity"},
      {-inf, 0, "-Infinity"},
      {-0.0, 2, "0.00"},
      {0.0, 0, "0"},
      {0.009, 2, "0.01"},
      {0.3, 0, "0"},
      {0.7, 0, "1"},
      {-2.5, 1, "-2.5"},
      {1e-5, 3, "0.000"},
      {123.456, 5, "123.45600"},
      {1e21, 1, "1000000000000000000000.0"},
      {60, -2, "100"},
      // Rounded to zero left of the point: one "0", not a run of zeros.
      {12, -2, "0"},
      {-12, -2, "-0"},
      {0.0, -3, "0"},
  };
  for (auto& c : cases)
    EXPECT_EQ(f(c.x, c.nd), c.want) << c.x << " places " << c.nd;
}

TEST_F(NumFmt, RoundingByFFmtRoundsTheStoredBinaryValue) {
  struct {
    double x;
    int nd;
    double want;
  } cases[] = {
      {0.125, 2, 0.12},   {2.675, 2, 2.67}, {0.375, 2, 0.38},
      {2.5, 0, 2},        {3.5, 0, 4},      {-2.5, 0, -2},
      {1234.5, -2, 1200}, {1.005, 2, 1.0},  {1e-320, 2, 0},
  };
  for (auto& c : cases)
    EXPECT_EQ(Strtod(ffmt(c.x, c.nd, nullptr), nullptr), c.want)
        << c.x << " places " << c.nd;
}

TEST_F(NumFmt, FFmtGrowsTheScratchBuffersAndKeepsTheToken) {
  std::strcpy(tok, "token_text");
  int k0 = tok_k;
  std::string t = f(0.5, 3000);
  EXPECT_EQ(t.size(), 3002u);
  EXPECT_EQ(t.substr(0, 5), "0.500");
  EXPECT_EQ(t.find_first_not_of('0', 3), std::string::npos);
  EXPECT_GT(tok_k, k0);
  EXPECT_GE(Bflen, t.size() + 1);
  EXPECT_STREQ(tok, "token_text");
  EXPECT_EQ(tokend, tok + (size_t{8} << tok_k) - 6);
  EXPECT_EQ(pbuf_len, (size_t{8} << tok_k) - 2);
}

TEST_F(NumFmt, FFmtRoundingFarLeftOfThePointKeepsTheBuffers) {
  // Rounded to zero many places left of the point: the text is "0" (or
  // "-0"), and the scratch buffers are not grown for the places skipped.
  size_t bflen = Bflen;
  EXPECT_EQ(f(12, -100000), "0");
  EXPECT_EQ(f(-12, -30000000), "-0");
  EXPECT_EQ(Bflen, bflen);
}

TEST_F(NumFmt, FFmtOfLargeValuesWithManyPlaces) {
  // More digits than the digit buffer holds: the later places are zeros,
  // and the text still reads back as the value.
  std::string t = f(1e300, 150);
  EXPECT_EQ(t.size(), 301u + 1 + 150);
  EXPECT_EQ(t.substr(0, 17), "10000000000000000");
  EXPECT_EQ(t[301], '.');
  EXPECT_EQ(Strtod(t.c_str(), nullptr), 1e300);
  t = f(-1.7976931348623157e308, 400);
  EXPECT_EQ(t.size(), 1u + 309 + 1 + 400);
  EXPECT_EQ(Strtod(t.c_str(), nullptr), -1.7976931348623157e308);
  EXPECT_EQ(Strtod(f(1.0 / 3, 500).c_str(), nullptr), 1.0 / 3);
}

}  // namespace
}  // namespace vexo
