#include "eval/arith.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "eval_fixture.h"
#include "frontend/decl.h"
#include "session/startup.h"

namespace vexo {
namespace {

using test::bomb;
using test::cond;
using test::EvalTest;
using test::lit;
using test::loglit;
using test::node;
using test::num;
using test::numlit;
using test::str;
using Arith = EvalTest;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double Max = std::numeric_limits<double>::max();

// Equal values, NaN equal to NaN, and -0 told from +0.
void expect_same(double got, double want, const char* what) {
  if (std::isnan(want))
    EXPECT_TRUE(std::isnan(got)) << what << ": " << got;
  else
    EXPECT_EQ(test::bits_of(got), test::bits_of(want))
        << what << ": " << got << " != " << want;
}

struct numcase {
  const char* what;
  expr* (*build)();
  double want;
};

expr* bin(int op, double l, double r) { return node(op, num(l), num(r)); }
expr* un(int op, double x) { return node(op, num(x)); }
expr* list(int op, std::initializer_list<double> xs) {
  expr* first = nullptr;
  expr** link = &first;
  for (double x : xs) {
    *link = num(x);
    link = &(*link)->next;
  }
  return node(op, first);
}

TEST_F(Arith, NumericValues) {
  const numcase cases[] = {
      {"3 + 4", [] { return bin(OPPLUS, 3, 4); }, 7},
      {"3 - 4", [] { return bin(OPMINUS, 3, 4); }, -1},
      {"3 * 4", [] { return bin(OPMULT, 3, 4); }, 12},
      {"-(2)", [] { return un(OPUMINUS, 2); }, -2},
      {"3 less 5", [] { return bin(OPLESS, 3, 5); }, 0},
      {"5 less 3", [] { return bin(OPLESS, 5, 3); }, 2},
      {"NaN less 1", [] { return bin(OPLESS, NaN, 1); }, NaN},
      {"1 less NaN", [] { return bin(OPLESS, 1, NaN); }, NaN},
      {"abs(-3)", [] { return un(ABS, -3); }, 3},
      {"abs(-0)", [] { return un(ABS, -0.); }, -0.},
      {"abs(NaN)", [] { return un(ABS, NaN); }, NaN},
      {"floor(-2.5)", [] { return un(FLOOR, -2.5); }, -3},
      {"ceil(-2.5)", [] { return un(CEIL, -2.5); }, -2},
      {"min(3,1,2)",
       [] {
         return list(MINLIST, {3, 1, 2});
       },
       1},
      {"max(3,1,2)",
       [] {
         return list(MAXLIST, {3, 1, 2});
       },
       3},
      {"min(3,NaN,1)",
       [] {
         return list(MINLIST, {3, NaN, 1});
       },
       NaN},
      {"max(NaN,5)",
       [] {
         return list(MAXLIST, {NaN, 5});
       },
       NaN},
      {"max(5,NaN)",
       [] {
         return list(MAXLIST, {5, NaN});
       },
       NaN},
      {"min()", [] { return list(MINLIST, {}); }, Inf},
      {"max()", [] { return list(MAXLIST, {}); }, -Inf},
      {"trunc(2.78,1)", [] { return bin(OPtrunc, 2.78, 1); }, 2.7},
      {"trunc(-2.78,1)", [] { return bin(OPtrunc, -2.78, 1); }, -2.7},
      {"trunc(-2.5,0)", [] { return bin(OPtrunc, -2.5, 0); }, -2},
      {"trunc(2.5,0)", [] { return bin(OPtrunc, 2.5, 0); }, 2},
      {"trunc(2.7,1)", [] { return bin(OPtrunc, 2.7, 1); }, 2.7},
      {"trunc(15,-1)", [] { return bin(OPtrunc, 15, -1); }, 10},
      {"trunc(5,-1)", [] { return bin(OPtrunc, 5, -1); }, 0},
      {"trunc(-5,-400)", [] { return bin(OPtrunc, -5, -400); }, -0.},
      {"trunc(NaN,0)", [] { return bin(OPtrunc, NaN, 0); }, NaN},
      {"trunc(NaN,2)", [] { return bin(OPtrunc, NaN, 2); }, NaN},
      // A value far below the unit: taking off half a unit lands exactly on
      // minus half a unit, which rounds a whole unit across zero.
      {"trunc(1e-20,3)", [] { return bin(OPtrunc, 1e-20, 3); }, 0},
      {"trunc(-1e-20,2)", [] { return bin(OPtrunc, -1e-20, 2); }, -0.},
      {"trunc(5e-324,1)", [] { return bin(OPtrunc, 5e-324, 1); }, 0},
      {"trunc(0.3,1)", [] { return bin(OPtrunc, 0.3, 1); }, 0.3},
      {"trunc(max,-308)", [] { return bin(OPtrunc, Max, -308); }, 1e308},
      {"trunc(max,1e9)", [] { return bin(OPtrunc, Max, 1e9); }, Max},
      {"trunc(-max,-1e9)", [] { return bin(OPtrunc, -Max, -1e9); }, -0.},
      // round follows the fixed-notation formatter: ties to even.
      {"round(2.75,1)", [] { return bin(OPround, 2.75, 1); }, 2.8},
      {"round(2.65,1)", [] { return bin(OPround, 2.65, 1); }, 2.6},
      {"round(0.125,2)", [] { return bin(OPround, 0.125, 2); }, 0.12},
      {"round(0.375,2)", [] { return bin(OPround, 0.375, 2); }, 0.38},
      {"round(1234.5,0)", [] { return bin(OPround, 1234.5, 0); }, 1234},
      {"round(1250,-2)", [] { return bin(OPround, 1250, -2); }, 1200},
      {"round(0.1,1e9)", [] { return bin(OPround, 0.1, 1e9); }, 0.1},
      {"round(7,-1e9)", [] { return bin(OPround, 7, -1e9); }, 0},
      {"round(0.5,0)", [] { return bin(OPround, 0.5, 0); }, 0},
      {"round(-1.5,0)", [] { return bin(OPround, -1.5, 0); }, -2},
      {"round(1e-20,3)", [] { return bin(OPround, 1e-20, 3); }, 0},
      {"round(-1e-20,2)", [] { return bin(OPround, -1e-20, 2); }, -0.},
      // The nearest multiple of 10^308 is beyond the range: the one that
      // fits, toward zero.
      {"round(max,-308)", [] { return bin(OPround, Max, -308); }, 1e308},
      {"round(-max,-308)", [] { return bin(OPround, -Max, -308); }, -1e308},
      {"round(9.6e307,-307)", [] { return bin(OPround, 9.6e307, -307); },
       1e308},
      {"round(max,1e9)", [] { return bin(OPround, Max, 1e9); }, Max},
      {"round(Inf,-308)", [] { return bin(OPround, Inf, -308); }, Inf},
      {"precision(3.14159,3)", [] { return bin(OPprecision, 3.14159, 3); },
       3.14},
      {"precision(123456,2)", [] { return bin(OPprecision, 123456, 2); },
       120000},
  };
  for (const numcase& c : cases) expect_same(number(c.build()), c.want, c.what);
}

TEST_F(Arith, DigitCountSaturates) {
  EXPECT_EQ(digit_count(2.9), 2);
  EXPECT_EQ(digit_count(-2.9), -2);
  EXPECT_EQ(digit_count(1e10), INT32_MAX);
  EXPECT_EQ(digit_count(-1e10), INT32_MIN);
  EXPECT_EQ(digit_count(NaN), INT32_MIN);
}

struct logcase {
  const char* what;
  expr* (*build)();
  int64_t want;
};

expr* ll(int op, int64_t l, int64_t r) {
  return node(op, loglit(int32_t(l)), loglit(int32_t(r)));
}
expr* lb(int op, int64_t l) { return node(op, loglit(int32_t(l)), bomb()); }

TEST_F(Arith, LogicalValues) {
  const logcase cases[] = {
      {"3 < 5", [] { return bin(LT, 3, 5); }, 1},
      {"5 <= 5", [] { return bin(LE, 5, 5); }, 1},
      {"NaN == NaN", [] { return bin(EQ, NaN, NaN); }, 0},
      {"NaN != NaN", [] { return bin(NE, NaN, NaN); }, 1},
      {"4 >= 5", [] { return bin(GE, 4, 5); }, 0},
      {"6 > 5", [] { return bin(GT, 6, 5); }, 1},
      {"binary 1.0000001", [] { return un(OP_ISLOGICAL, 1.0000001); }, 0},
      {"binary 1", [] { return un(OP_ISLOGICAL, 1); }, 1},
      {"binary -0", [] { return un(OP_ISLOGICAL, -0.); }, 1},
      {"integer -0", [] { return un(OP_ISINTEGER, -0.); }, 1},
      {"integer Infinity", [] { return un(OP_ISINTEGER, Inf); }, 1},
      {"integer NaN", [] { return un(OP_ISINTEGER, NaN); }, 0},
      {"integer 2.5", [] { return un(OP_ISINTEGER, 2.5); }, 0},
      {"0 == NaN", [] { return un(OPTESTZ, NaN); }, 0},
      {"0 == -0", [] { return un(OPTESTZ, -0.); }, 1},
      {"NaN != 0", [] { return un(OPTESTNZ, NaN); }, 1},
      // Short cuts: the bomb operand is never evaluated.
      {"0 && ..", [] { return lb(OPAND, 0); }, 0},
      {"1 && 5", [] { return ll(OPAND, 1, 5); }, 5},
      {"1 || ..", [] { return lb(OPOR, 1); }, 1},
      {"0 || 7", [] { return ll(OPOR, 0, 7); }, 7},
      {"0 ==> ..", [] { return lb(OPIMPLIES, 0); }, 1},
      {"1 ==> 0", [] { return ll(OPIMPLIES, 1, 0); }, 0},
      {"1 <== ..", [] { return lb(OPIMPLIEDBY, 1); }, 1},
      {"0 <== 1", [] { return ll(OPIMPLIEDBY, 0, 1); }, 0},
      {"0 <== 0", [] { return ll(OPIMPLIEDBY, 0, 0); }, 1},
      {"1 <==> 3", [] { return ll(OP_IFF, 1, 3); }, 3},
      {"0 <==> 0", [] { return ll(OP_IFF, 0, 0); }, 1},
      {"0 <==> 2", [] { return ll(OP_IFF, 0, 2); }, 0},
      {"!0", [] { return node(OPNOT, loglit(0)); }, 1},
      {"!-1", [] { return node(OPNOT, loglit(-1)); }, 0},
  };
  for (const logcase& c : cases)
    EXPECT_EQ(logical(c.build()), c.want) << c.what;
}

// Negation looks at the low 32 bits of the truth value only.
TEST_F(Arith, NotTestsLow32Bits) {
  expr* high = new_expr(opword(OPLOGLIT));
  high->op = [](expr*, TVA*) -> eval_result { return {.i = int64_t{1} << 32}; };
  EXPECT_EQ(logical(node(OPNOT, high)), 1);
}

// A number never equals a string-valued symbol; a string never equals a
// numeric symbol, even with the same text; symbols compare by identity,
// strings by bytes.
TEST_F(Arith, SymbolAndStringComparisons) {
  struct symcase {
    const char* what;
    int op;
    expr* l;
    expr* r;
    int64_t want;
  };
  const symcase cases[] = {
      {"3 == 'abc'", EQrs, num(3), lit("abc"), 0},
      {"3 != 'abc'", NErs, num(3), lit("abc"), 1},
      {"3 == 3", EQrs, num(3), numlit(3), 1},
      {"'abc' == 3", EQsr, lit("abc"), num(3), 0},
      {"'abc' != 3", NEsr, lit("abc"), num(3), 1},
      {"NaN != NaN member", NErs, num(NaN), numlit(NaN), 1},
      {"a == a", EQss, lit("a"), lit("a"), 1},
      {"a != b", NEss, lit("a"), lit("b"), 1},
      {"\"3\" == 3", EQcss, str("3"), numlit(3), 0},
      {"\"3\" != 3", NEcss, str("3"), numlit(3), 1},
      {"\"abc\" == abc", EQcss, str("abc"), lit("abc"), 1},
      {"abc == \"abd\"", EQscs, lit("abc"), str("abd"), 0},
      {"abc != \"abd\"", NEscs, lit("abc"), str("abd"), 1},
      {"\"ab\" == \"ab\"", EQcscs, str("ab"), str("ab"), 1},
      {"\"ab\" != \"ab\"", NEcscs, str("ab"), str("ab"), 0},
  };
  for (const symcase& c : cases) {
    EXPECT_EQ(logical(node(c.op, c.l, c.r)), c.want) << c.what;
    // The string literals got their references back.
    for (expr* x : {c.l, c.r})
      if (opcode(x) == OPSTR) {
        EXPECT_EQ(x->L.cs->refcnt, 1u) << c.what;
      }
  }
}

// The symbol operand of the mixed forms is evaluated first.
std::string order;
// Operands that note their tag (in R) when evaluated: a number in L, a
// symbol in L, a string copied from L.
expr* noted(expr* e, char tag) {
  e->R.i = tag;
  e->op = opcode(e) == OPNUM   ? [](expr* x, TVA*) -> eval_result {
    order += static_cast<char>(x->R.i);
    return {.d = x->L.d};
  }
          : opcode(e) == OPLIT ? [](expr* x, TVA*) -> eval_result {
              order += static_cast<char>(x->R.i);
              return {.sp = &x->L.sym};
            }
                               : [](expr* x, TVA*) -> eval_result {
                                   order += static_cast<char>(x->R.i);
                                   return {.cs = ref_cstr(x->L.cs)};
                                 };
  return e;
}

TEST_F(Arith, MixedFormsEvaluateTheSymbolFirst) {
  struct ordercase {
    int op;
    expr* l;
    expr* r;
    const char* want;
  };
  const ordercase cases[] = {
      {EQrs, num(1), numlit(1), "RL"},    {NErs, num(1), numlit(1), "RL"},
      {EQsr, numlit(1), num(1), "LR"},    {EQcss, str("x"), lit("x"), "RL"},
      {NEcss, str("x"), lit("x"), "RL"},  {EQscs, lit("x"), str("x"), "LR"},
      {EQcscs, str("x"), str("x"), "LR"}, {OPPLUS, num(1), num(2), "LR"},
  };
  for (const ordercase& c : cases) {
    order.clear();
    logical(node(c.op, noted(c.l, 'L'), noted(c.r, 'R')));
    EXPECT_EQ(order, c.want) << c.op;
  }
}

TEST_F(Arith, ConditionalsEvaluateOnlyTheChosenPart) {
  EXPECT_EQ(number(cond(OPIF111, loglit(1), num(2), bomb())), 2);
  EXPECT_EQ(number(cond(OPIF35, loglit(0), bomb(), num(3))), 3);
  expr* a = lit("a");
  EXPECT_EQ(eval(cond(OPIFSYM112, loglit(1), a, bomb()), tva).sp, &a->L.sym);
  EXPECT_EQ(logical(cond(OPIMPELSE72, loglit(0), bomb(), loglit(4))), 4);
  // The chosen string's reference is handed on.
  expr* s = str("then");
  cstr* got = eval(cond(OPIFSYMstr113, loglit(1), s, bomb()), tva).cs;
  EXPECT_EQ(got, s->L.cs);
  EXPECT_EQ(got->refcnt, 2u);
  release_cstr(got);
  EXPECT_EQ(s->L.cs->refcnt, 1u);
}

TEST_F(Arith, PassThroughShellsHandOnTheValue) {
  for (int op : {OPEVAL, OPEVALc, OPEVALr160, OPEVALr162, OPALGCON, OPVARREF87,
                 OPSVEXOE}) {
    EXPECT_EQ(number(node(op, num(2.5))), 2.5) << op;
  }
  expr* s = str("draw");
  cstr* got = eval(node(OPSVEXOESTR, s), tva).cs;
  EXPECT_EQ(got->refcnt, 2u);
  release_cstr(got);
}

TEST_F(Arith, AliasOrBlank) {
  xnode d{};
  d.alias = new_cstring("other name");
  cstr* got = eval(node(OPALIAS, &d), tva).cs;
  EXPECT_STREQ(got->text(), "other name");
  EXPECT_EQ(got->refcnt, 2u);
  release_cstr(got);
  release_cstr(d.alias);
  d.alias = nullptr;
  cstr* saved = Blank;
  Blank = new_cstring("");
  got = eval(node(OPALIAS, &d), tva).cs;
  EXPECT_EQ(got, Blank);
  EXPECT_EQ(Blank->refcnt, 2u);
  release_cstr(got);
  release_cstr(Blank);
  Blank = saved;
}

}  // namespace
}  // namespace vexo
