// Iterated operators and counting: values over tuples and over empty
// iterations, early ends, numberof by kind, the counting relations,
// alldiff, alldistinct and alldisjoint, and the list minimum and maximum.
#include "eval/iterops.h"

#include <gtest/gtest.h>

#include <cmath>

#include "eval/iterate.h"
#include "sets_fixture.h"
#include "support/machine.h"

namespace vexo {
namespace {

class IterOps : public test::SetsTest {
 protected:
  // The value of expression text, in a fresh session (a truth value as 0
  // or 1).
  double of(const std::string& text) {
    fresh();
    model("param v := " + text + ";\n");
    expr* e = compiled("v");
    // A truth value assigned to a param arrives converted as a member.
    // The param holds the condition as a number: 1 where it holds, else 0.
    if (opcode(e) == OPIF111) e = e->L.e;
    eval_result r = eval(e, context());
    return logical(opcode(e)) ? double(r.i != 0) : r.d;
  }
  static bool logical(int op) {
    switch (op) {
      case EXISTS:
      case FORALL:
      case OPATLEAST:
      case OPATMOST:
      case OPEXACTLY:
      case OPALLDIFF:
      case OPALLDIFFs:
      case OPALLDISJOINT:
      case OPALLDISTINCT:
        return true;
    }
    return false;
  }
};

TEST_F(IterOps, ValuesAndEmptyIterations) {
  struct row {
    const char* in;
    double v;
  };
  const row rows[] = {
      {"sum {i in 1 .. 4} i", 10},
      {"prod {i in 1 .. 4} i", 24},
      {"min {i in {3, 1, 2}} i", 1},
      {"max {i in {3, 1, 2}} i", 3},
      {"sum {i in 1 .. 0} i", 0},
      {"prod {i in 1 .. 0} i", 1},
      {"min {i in 1 .. 0} i", Infinity},
      {"max {i in 1 .. 0} i", negInfinity},
      {"exists {i in 1 .. 3} i > 2", 1},
      {"exists {i in 1 .. 3} i > 5", 0},
      {"exists {i in 1 .. 0} i > 5", 0},
      {"forall {i in 1 .. 3} i > 0", 1},
      {"forall {i in 1 .. 0} i > 5", 1},
      {"forall {i in 1 .. 3} i < 2", 0},
      {"count {i in 1 .. 5} (i > 2)", 3},
      {"count({i in 1 .. 0} (1 > 0), 1 > 0)", 1},
      {"atleast 2 {i in 1 .. 3} (i > 1)", 1},
      {"atmost 1 {i in 1 .. 3} (i > 1)", 0},
      {"exactly 2 {i in 1 .. 3} (i > 1)", 1},
      {"min({i in 1 .. 3} (i), 0.5)", 0.5},
      {"max({i in 1 .. 3} (i), 0.5)", 3},
      {"max({i in 1 .. 0} (i))", negInfinity},
  };
  for (const row& r : rows) EXPECT_EQ(of(r.in), r.v) << r.in;
}

// forall ends the walk at its first false tuple: a later tuple, whose body
// would divide by zero, is never evaluated, and no frame stays open.
TEST_F(IterOps, ForallStopsAtTheFirstFalse) {
  double v = 1;
  auto r = test::run_captured(
      [&] { v = of("forall {i in 1 .. 3} 2 / (i - 3) > 0"); });
  EXPECT_FALSE(r.aborted) << r.err;
  EXPECT_EQ(v, 0);
  EXPECT_EQ(cur_tva, context());
  EXPECT_EQ(context()->frame, context()->base);
}

TEST_F(IterOps, NumberofCountsByKind) {
  // The number, not the string; the member 3 counts as the number 3.
  EXPECT_EQ(of("numberof 3 in (3, '3', 3)"), 2);
  EXPECT_EQ(of("sum {i in {3}} numberof 3 in (3, '3', i)"), 2);
  EXPECT_EQ(of("numberof '3' in (3, '3', '3')"), 2);
  EXPECT_EQ(of("sum {i in {'a', 3}} numberof 'a' in ('a', i)"), 3);
  EXPECT_EQ(of("numberof 1 in ({i in 1 .. 3} (i), 1)"), 2);
}

TEST_F(IterOps, AlldiffOverNumbersAndMembers) {
  struct row {
    const char* in;
    double v;
  };
  const row rows[] = {
      {"alldiff(1, 1)", 0},
      {"alldiff(1)", 1},
      {"alldiff(1, 2, 3)", 1},
      {"alldiff({i in 1 .. 3} (i), 2)", 0},
      {"alldiff(1, '1')", 1},
      {"alldiff('a', 'b', 'a')", 0},
      {"exists {i in {'a'}} alldiff(i, 'a')", 0},
      {"exists {i in {'a'}} alldiff(i, 'b', 1)", 1},
      {"exists {i in {1}} alldiff(i, 2, 1)", 0},
  };
  for (const row& r : rows) EXPECT_EQ(of(r.in), r.v) << r.in;
}

TEST_F(IterOps, AlldiffWithNaN) {
  for (const char* in : {"alldiff(0, 2)", "alldiff(0, 'a', 2)"}) {
    fresh();
    model("param v := " + std::string(in) + ";\n");
    expr* e = compiled("v");
    // The param holds the condition as a number: 1 where it holds, else 0.
    if (opcode(e) == OPIF111) e = e->L.e;
    // The first item becomes a NaN literal.
    expr* first = e->R.e->R.e;
    first->opword = opword(OPNUM, EF_CONST | EF_NUMERIC);
    first->L.d = NAN;
    first->op = functab[OPNUM];
    EXPECT_EQ(eval(e, context()).i, 0) << in;
  }
}

TEST_F(IterOps, AlldistinctAndAlldisjoint) {
  struct row {
    const char* in;
    double v;
  };
  const row rows[] = {
      {"alldistinct({1, 2}, {2, 1})", 0},
      {"alldistinct({1, 2}, {1, 3})", 1},
      {"alldistinct({1, 2}, {1, 2} cross {3})", 1},
      {"alldistinct({1})", 1},
      {"alldisjoint({1}, {2}, {3})", 1},
      {"alldisjoint({}, {1})", 1},
      {"alldisjoint({1}, {1} cross {1})", 1},
      // Every pair is tested: a walk that tested only the first set of a
      // run of equal dimension would pass these.
      {"alldisjoint({1}, {2}, {2})", 0},
      {"alldisjoint({3}, {1, 2}, {2, 4})", 0},
  };
  for (const row& r : rows) EXPECT_EQ(of(r.in), r.v) << r.in;
}

}  // namespace
}  // namespace vexo
