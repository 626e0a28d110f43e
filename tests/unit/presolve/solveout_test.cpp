// Solving out defined variables on small collected problems: a chain of
// linear definitions substituted, a variable in its own definition and a
// cycle of definitions kept as constraints, and the equalities option
// substout lets define their variables.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "eval/eval_fixture.h"
#include "frontend/condcl.h"
#include "frontend/vardcl.h"
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
    solveout = 0;
    PresolveTest::TearDown();
  }
  // ac with row r defining column j (con_defvar); the row is the
  // declaration's defining row when j is declared var x = ..., else an
  // equality x = ... of its own.
  static void defines(AC* ac, int r, int j) {
    if (!ac->con_defvar)
      ac->con_defvar =
          static_cast<int32_t*>(new_mblk(elem_class(ac->con_class, 4), 1));
    ac->con_defvar[r] = j + 1;
    auto* v = static_cast<var*>(ac->var_names[j].decl);
    if (v->flags & VF_DEFINED) ac->con_names[r].decl = v->defcon;
  }
  static double coef(AC* ac, int j, int row) {
    for (varref* t = ac->col_terms[j]; t; t = vnext(t))
      if (t->index == row) return t->coef;
    return 0;
  }
};

// x1 = 2*x2 + 1, x2 = x3 + 1, x3 = y, used in c: x1 + z <= 10: all three
// go and c becomes 2*y + z <= 7.  All linear, the users go first (x1 into
// c, then x2, then x3), so no definition still to be used gets a fill.
TEST_F(SolveOut, AChainOfLinearDefinitionsLeaves) {
  parse_text("var y; var z; var x3 = y; var x2 = x3 + 1;\n"
             "var x1 = 2*x2 + 1; s.t. c: y <= 0;\n"
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
                            "(0 fills)\n"),
            std::string::npos)
      << messages();
}

// x = x^2 + y (row d: x - y - x^2 = 0) and the cycle u = v/2 + 1,
// v = u/2 + 2 stay constraints, each with the warning (the cycle used to
// end the session).
TEST_F(SolveOut, SelfReferenceAndCyclesStayConstraints) {
  // Declared definitions cannot name each other in a cycle; the rows
  // below make one.
  parse_text("var y; var x = y; var u = y; var v = y;\n"
             "s.t. c: y <= 0; s.t. d: y <= 0;\n"
             "s.t. e1: y <= 0; s.t. e2: y <= 0; minimize o: y;\n");
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

// Under substout the equalities e1: u = v/2 + 1 and e2: v = u/2 + 2 make
// a cycle that e2, the last, breaks by staying a constraint: u goes into
// c and e2.  b: w = y + 1 keeps w, which has bounds; d: x = x^2 + y keeps
// x, silently.  Without substout nothing goes.
TEST_F(SolveOut, SubstoutEqualitiesDefineFreeVariables) {
  parse_text("var y; var x; var u; var v; var w;\n"
             "s.t. c: y <= 0; s.t. d: y <= 0; s.t. b: y <= 0;\n"
             "s.t. e1: y <= 0; s.t. e2: y <= 0; minimize o: y;\n");
  for (int substout : {0, 1}) {
    solveout = substout;
    plain_problem p;
    p.vars = {{"y", 0, 1, 0}, {"x", -inf, inf, 0}, {"u", -inf, inf, 0},
              {"v", -inf, inf, 0}, {"w", 0, 5, 0}};
    expr* sq = node(OPUMINUS,
                    node(OPPOW, node(OPVARVAL146, int32_t(1), nullptr, 6),
                         num(2), 6 | EF_NONLIN),
                    nullptr, 6 | EF_NONLIN);
    p.cons = {{"c", -inf, 10, {{1, 1}, {2, 1}, {3, 1}, {4, 1}}, 0, 0, nullptr},
              {"d", 0, 0, {{1, 1}, {0, -1}}, 0, 0, sq},
              {"b", 1, 1, {{4, 1}, {0, -1}}, 0, 0, nullptr},
              {"e1", 1, 1, {{2, 1}, {3, -0.5}}, 0, 0, nullptr},
              {"e2", 2, 2, {{3, 1}, {2, -0.5}}, 0, 0, nullptr}};
    p.objs = {{"o", 0, 0, {{0, 1}}, 0, 0, nullptr}};
    AC* ac = collected(p);
    defines(ac, 1, 1);
    defines(ac, 2, 4);
    defines(ac, 3, 2);
    defines(ac, 4, 3);
    auto r = run(ac, 1);
    ASSERT_FALSE(r.aborted) << r.err;
    EXPECT_EQ(r.err.find("Treating"), std::string::npos) << r.err;
    EXPECT_EQ(ac->n_subst_var, substout) << substout;
    EXPECT_EQ(ac->n_con_sent, 5 - substout) << substout;
    if (!substout) continue;
    // c: x + (v/2 + 1) + v + w <= 10; e2: v - (v/2 + 1)/2 = 2.
    EXPECT_EQ(coef(ac, 3, 0), 1.5);
    EXPECT_EQ(ac->con_ub[0], 9);
    EXPECT_EQ(coef(ac, 3, 4), 0.75);
    EXPECT_EQ(ac->con_lb[4], 2.5);
    EXPECT_EQ(coef(ac, 2, 0), 0);
  }
}

}  // namespace
}  // namespace vexo
