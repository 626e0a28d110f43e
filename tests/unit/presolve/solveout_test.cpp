// Solving out defined variables on small collected problems: a chain of
// linear definitions substituted in dependency order, a variable in its
// own definition and a cycle of definitions kept as constraints.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "eval/eval_fixture.h"
#include "presolve/presolve.h"
#include "presolve/presolve_fixture.h"
#include "support/pool.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::node;
using test::num;
using test::plain_problem;
using test::PresolveTest;

const double inf = HUGE_VAL;

class SolveOut : public PresolveTest {
 protected:
  void SetUp() override {
    PresolveTest::SetUp();
    linelim = 1;  // the option's default
  }
  void TearDown() override {
    linelim = 0;
    show_stats = 0;
    PresolveTest::TearDown();
  }
  // ac with row r defining column j (con_defvar).
  static void defines(AC* ac, int r, int j) {
    if (!ac->con_defvar)
      ac->con_defvar =
          static_cast<int32_t*>(new_mblk(elem_class(ac->con_class, 4), 1));
    ac->con_defvar[r] = j + 1;
  }
  static double coef(AC* ac, int j, int row) {
    for (varref* t = ac->col_terms[j]; t; t = t->next)
      if (t->index == row) return t->coef;
    return 0;
  }
};

// x1 = 2*x2 + 1, x2 = x3 + 1, x3 = y, used in c: x1 + z <= 10: all three
// go, x3 first, c becomes 2*y + z <= 7.  y entering the definitions of
// x2 and then x1 are the two fills; entering c, which only uses x1, is
// not one.
TEST_F(SolveOut, AChainOfLinearDefinitionsLeaves) {
  parse_text("var y; var z; var x1; var x2; var x3; s.t. c: y <= 0;\n"
             "s.t. d1: y <= 0; s.t. d2: y <= 0; s.t. d3: y <= 0;\n"
             "minimize o: z;\n");
  plain_problem p;
  p.vars = {{"y", 0, 1, 0}, {"z", 0, inf, 0}, {"x1", -inf, inf, 0},
            {"x2", -inf, inf, 0}, {"x3", -inf, inf, 0}};
  p.cons = {{"c", -inf, 10, {{2, 1}, {1, 1}}, 0, 0, nullptr},
            {"d1", 1, 1, {{2, 1}, {3, -2}}, 0, 0, nullptr},
            {"d2", 1, 1, {{3, 1}, {4, -1}}, 0, 0, nullptr},
            {"d3", 0, 0, {{4, 1}, {0, -1}}, 0, 0, nullptr}};
  p.objs = {{"o", 0, 0, {{1, 1}}, 0, 0, nullptr}};
  AC* ac = collected(p);
  defines(ac, 1, 2);
  defines(ac, 2, 3);
  defines(ac, 3, 4);
  show_stats = 2;
  auto r = run(ac, 10);
  ASSERT_FALSE(r.aborted) << r.err;
  EXPECT_EQ(ac->n_var_sent, 2);
  EXPECT_EQ(ac->n_subst_var, 3);
  EXPECT_EQ(ac->n_con_sent, 1);
  EXPECT_EQ(coef(ac, 0, 0), 2);
  EXPECT_EQ(coef(ac, 1, 0), 1);
  EXPECT_EQ(coef(ac, 2, 0), 0);
  EXPECT_EQ(ac->con_ub[0], 7);
  EXPECT_NE(messages().find("3 linear definitional constraints eliminated "
                            "(2 fills)\n"),
            std::string::npos)
      << messages();
}

// x = x^2 + y (row d: x - y - x^2 = 0) and the cycle u = v/2 + 1,
// v = u/2 + 2 stay constraints, each with the warning.
TEST_F(SolveOut, SelfReferenceAndCyclesStayConstraints) {
  parse_text("var x; var y; var u; var v; s.t. c: x <= 0; s.t. d: x <= 0;\n"
             "s.t. e1: x <= 0; s.t. e2: x <= 0; minimize o: y;\n");
  plain_problem p;
  p.vars = {{"x", -inf, inf, 0}, {"y", 0, 1, 0}, {"u", -inf, inf, 0},
            {"v", -inf, inf, 0}};
  expr* sq = node(OPUMINUS,
                  node(OPPOW, node(OPVARVAL146, int32_t(0), nullptr, 6),
                       num(2), 6 | EF_NONLIN),
                  nullptr, 6 | EF_NONLIN);
  p.cons = {{"c", -inf, 10, {{0, 1}, {1, 1}, {2, 1}, {3, 1}}, 0, 0, nullptr},
            {"d", 0, 0, {{0, 1}, {1, -1}}, 0, 0, sq},
            {"e1", 1, 1, {{2, 1}, {3, -0.5}}, 0, 0, nullptr},
            {"e2", 2, 2, {{3, 1}, {2, -0.5}}, 0, 0, nullptr}};
  p.objs = {{"o", 0, 0, {{1, 1}}, 0, 0, nullptr}};
  AC* ac = collected(p);
  defines(ac, 1, 0);
  defines(ac, 2, 2);
  defines(ac, 3, 3);
  auto r = run(ac, 1);
  ASSERT_FALSE(r.aborted) << r.err;
  for (const char* n : {"x", "u", "v"}) {
    std::string w = std::string("Treating \"var ") + n +
                    " = ...\" as a constraint,\n\tsince " + n +
                    " appears in the right-hand side.\n";
    EXPECT_NE(r.err.find(w), std::string::npos) << n << ": " << r.err;
  }
  EXPECT_EQ(ac->n_subst_var, 0);
  EXPECT_EQ(ac->n_var_sent, 4);
  EXPECT_EQ(ac->n_con_sent, 4);
}

}  // namespace
}  // namespace vexo
