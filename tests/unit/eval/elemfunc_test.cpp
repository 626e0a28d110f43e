#include "eval/elemfunc.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "eval_fixture.h"

namespace vexo {
namespace {

using test::EvalTest;
using test::node;
using test::num;
using Elem = EvalTest;

constexpr double Inf = std::numeric_limits<double>::infinity();

// A failing call: opcode, operands, the message after the location tab and
// the errno whose text follows it (-1: no system text).
struct failcase {
  int op;
  double x, y;
  const char* text;
  int err;
};

expr* call(const failcase& c) {
  if (op_type(c.op) == SH_FUNC1) return node(c.op, num(c.x));
  return node(c.op, num(c.x), num(c.y));
}

std::string expected(const failcase& c) {
  std::string s = std::string("\t") + c.text;
  if (c.err >= 0) s += std::string(": ") + std::strerror(c.err) + "\n";
  return s;
}

const failcase failures[] = {
    {OP_log, 0, 0, "can't evaluate log(0)", ERANGE},
    {OP_log, -1, 0, "can't evaluate log(-1)", EDOM},
    {OP_log10, 0, 0, "can't evaluate log10(0)", ERANGE},
    {OP_sqrt, -1, 0, "can't evaluate sqrt(-1)", EDOM},
    {OP_acos, 2, 0, "can't evaluate acos(2)", EDOM},
    {OP_asin, -2, 0, "can't evaluate asin(-2)", EDOM},
    {OP_acosh, 0.5, 0, "can't evaluate acosh(0.5)", EDOM},
    {OP_atanh, 1, 0, "can't evaluate atanh(1)", EDOM},
    {OP_atanh, -1.5, 0, "can't evaluate atanh(-1.5)", EDOM},
    {OP_exp, 1000, 0, "can't evaluate exp(1000)", ERANGE},
    // Only an infinite result of a negative argument becomes 0.
    {OP_exp, std::numeric_limits<double>::quiet_NaN(), 0,
     "can't evaluate exp(NaN)", 0},
    {OP_cosh, 1000, 0, "can't evaluate cosh(1000)", ERANGE},
    // asinh writes |x|; log of an infinity sets no errno.
    {OP_asinh, -Inf, 0, "can't evaluate asinh(Infinity)", 0},
    {OPPOW, 0, -1, "can't evaluate pow(0,-1)", ERANGE},
    {OPPOW, 10, 400, "can't evaluate pow(10,400)", ERANGE},
    {OPPOW, -8, 1. / 3, "can't evaluate pow(-8,0.3333333333333333)", EDOM},
    {OPREM, 5, 0, "can't evaluate fmod(5,0)", EDOM},
    {OPDIV, 1, 0, "can't compute 1/0\n", -1},
    {OPintDIV, 5, 0, "can't compute 5 div 0\n", -1},
};

TEST_F(Elem, NonFiniteResultsAbandonTheCommand) {
  for (const failcase& c : failures) {
    SCOPED_TRACE(c.text);
    expr* e = call(c);
    errno = 0;
    auto r = test::run_captured([&] { number(e); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.err, expected(c));
  }
}

TEST_F(Elem, AllowNaNMakesThemNaNSilently) {
  allow_NaN = 1;
  for (const failcase& c : failures) {
    SCOPED_TRACE(c.text);
    expr* e = call(c);
    errno = 0;
    double v = 0;
    auto r = test::run_captured([&] { v = number(e); });
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(std::isnan(v));
    EXPECT_EQ(errno, 0);
  }
}

// While nonlinear expressions are simplified quietly the value is kept and
// the error only noted; a zero divisor then gives 0.
TEST_F(Elem, QuietSimplificationKeepsTheValue) {
  tva->ac->simp_tva = tva;
  tva->ac->simp_quiet = 1;
  double logz = 0, div = 1;
  auto r = test::run_captured([&] {
    logz = number(node(OP_log, num(0)));
    div = number(node(OPDIV, num(3), num(0)));
  });
  EXPECT_FALSE(r.aborted);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(logz, -Inf);
  EXPECT_EQ(div, 0);
  EXPECT_EQ(tva->ac->simp_err, 1);
}

TEST_F(Elem, Values) {
  struct valcase {
    const char* what;
    expr* e;
    double want;
  };
  const valcase cases[] = {
      {"exp(-1000)", node(OP_exp, num(-1000)), 0},
      {"exp(0)", node(OP_exp, num(0)), 1},
      {"tanh(200)", node(OP_tanh, num(200)), 1},
      {"tanh(-175)", node(OP_tanh, num(-175)), -1},
      {"tanh(0.5)", node(OP_tanh, num(0.5)), std::tanh(0.5)},
      {"7 div 2", node(OPintDIV, num(7), num(2)), 3},
      {"-7 div 2", node(OPintDIV, num(-7), num(2)), -3},
      {"7 / 2", node(OPDIV, num(7), num(2)), 3.5},
      {"7 mod 3", node(OPREM, num(7), num(3)), 1},
      {"-7 mod 3", node(OPREM, num(-7), num(3)), -1},
      {"2 ^ 10", node(OPPOW, num(2), num(10)), 1024},
      {"0 ^ 0", node(OPPOW, num(0), num(0)), 1},
      {"atan2(1, 1)", node(OP_atan2, num(1), num(1)), std::atan(1.)},
      {"asinh(-0.5)", node(OP_asinh, num(-0.5)), std::asinh(-0.5)},
      {"asinh(1e10)", node(OP_asinh, num(1e10)), std::asinh(1e10)},
      {"acosh(1)", node(OP_acosh, num(1)), 0},
      {"acosh(1e20)", node(OP_acosh, num(1e20)), std::acosh(1e20)},
      {"atanh(0.5)", node(OP_atanh, num(0.5)), std::atanh(0.5)},
      {"sqrt(2)", node(OP_sqrt, num(2)), std::sqrt(2.)},
      {"sqrt(-0)", node(OP_sqrt, num(-0.)), -0.},
  };
  for (const valcase& c : cases) {
    double got = number(c.e);
    EXPECT_NEAR(got, c.want, 4e-16 * std::fabs(c.want)) << c.what;
  }
}

}  // namespace
}  // namespace vexo
