// Presolve's reductions on small collected problems: singleton rows made
// bounds, the pass limit and the levels it reports, forcing rows, fixed
// variables, ranges that can never bind, the reports and the log; and the
// routines of propagation and fixing on a Presolve record set up by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "presolve/fixing.h"
#include "presolve/internal.h"
#include "presolve/presolve.h"
#include "presolve/presolve_fixture.h"
#include "presolve/propagate.h"
#include "report/prex.h"
#include "solver/output.h"
#include "support/pool.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::plain_problem;
using test::plain_row;
using test::PresolveTest;

const double inf = HUGE_VAL;

class Reduce : public PresolveTest {
 protected:
  void TearDown() override {
    project_fixed_vars = 0;
    constraint_drop_tol = 0;
    pass_lub1 = 1;
    PresolveTest::TearDown();
  }
  static std::string line(const std::string& f, int n) {
    size_t a = 0;
    for (int i = 0; i < n; ++i) a = f.find('\n', a) + 1;
    return f.substr(a, f.find('\t', a) - a);
  }
};

// var x >= 0; minimize o: 3*x; s.t. c: x >= 2: the row becomes x's lower
// bound in the pair sent, at every level that reduces.
TEST_F(Reduce, ASingletonRowBecomesABoundAndLeaves) {
  parse_text("var x >= 0; minimize o: 3*x; s.t. c: x >= 2;\n");
  for (int level : {1, 10}) {
    plain_problem p;
    p.vars = {{"x", 0, inf, 0}};
    p.cons = {{"c", 2, inf, {{0, 1}}, 0, 0, nullptr}};
    p.objs = {{"o", 0, 0, {{0, 3}}, 0, 0, nullptr}};
    AC* ac = collected(p);
    auto r = run(ac, level);
    ASSERT_FALSE(r.aborted) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ac->n_con_sent, 0);
    EXPECT_EQ(ac->var_lb_sent[0], 2);
    EXPECT_EQ(need_fd, 1);
    EXPECT_EQ(param_value(Pd_presolve_req), 1) << level;
    std::string f = written(ac, "foo");
    EXPECT_EQ(line(f, 1), " 1 0 1 0 0") << level;
  }
}

// x1 <= x2 <= x3 <= x4 with x1 >= 1: each pass carries the bound one row
// further, so three passes are needed; level L allows L - 1.
TEST_F(Reduce, ThePassLimitSetsTheLevelsReported) {
  parse_text("var x1; var x2; var x3; var x4; s.t. r1: x1 <= x2;\n"
             "s.t. r2: x2 <= x3; s.t. r3: x3 <= x4;\n");
  struct row {
    int level;
    double req, sug, x4lb;
  } rows[] = {{1, 0, 0, 0}, {2, 2, 3, 0}, {3, 3, 4, 0}, {10, 4, 4, 1}};
  for (const row& c : rows) {
    plain_problem p;
    p.vars = {{"x1", 1, 10, 0}, {"x2", 0, 10, 0}, {"x3", 0, 10, 0},
              {"x4", 0, 10, 0}};
    p.cons = {{"r1", -inf, 0, {{0, 1}, {1, -1}}, 0, 0, nullptr},
              {"r2", -inf, 0, {{1, 1}, {2, -1}}, 0, 0, nullptr},
              {"r3", -inf, 0, {{2, 1}, {3, -1}}, 0, 0, nullptr}};
    AC* ac = collected(p);
    auto r = run(ac, c.level);
    ASSERT_FALSE(r.aborted) << r.err;
    EXPECT_EQ(param_value(Pd_presolve_req), c.req) << c.level;
    EXPECT_EQ(param_value(Pd_presolve_sug), c.sug) << c.level;
    EXPECT_EQ(ac->var_lb_alt[3], c.x4lb) << c.level;
    // Deduced bounds stay out of the first pair, which is sent.
    EXPECT_EQ(ac->var_lb[3], 0);
    EXPECT_EQ(ac->n_con_sent, 3);
  }
}

TEST_F(Reduce, AModelPresolveCannotChangeRequiresLevelZero) {
  parse_text("var x; var y; s.t. c: x + y <= 1;\n");
  plain_problem p;
  p.vars = {{"x", 0, 1, 0}, {"y", 0, 1, 0}};
  p.cons = {{"c", -inf, 1, {{0, 1}, {1, 1}}, 0, 0, nullptr}};
  AC* ac = collected(p);
  run(ac, 10);
  EXPECT_EQ(param_value(Pd_presolve_req), 0);
  EXPECT_EQ(param_value(Pd_presolve_sug), 0);
  EXPECT_EQ(ac->n_con_sent, 1);
}

// One row of 300 terms a_k x_k <= 1000, x_k in [0, 1e6]: the scan gives
// each x_k the upper bound 1000 / a_k, whether the rows hold few distinct
// coefficients (kept as a table and a byte per term) or more than 256.
TEST_F(Reduce, EachTermKeepsItsOwnCoefficientInTheRowLists) {
  parse_text("var x; s.t. c: x <= 1;\n");
  for (int distinct : {3, 256, 300}) {
    plain_problem p;
    plain_row c{"c", -inf, 1000, {}, 0, 0, nullptr};
    auto coef = [&](int k) {
      double a = 1 + (k % distinct) / 1024.0;
      return k % 2 ? a : -a;  // negative terms bound x from below
    };
    for (int k = 0; k < 300; ++k) {
      p.vars.push_back({nullptr, k % 2 ? 0 : -1e6, k % 2 ? 1e6 : 0, 0});
      c.terms.push_back({k, coef(k)});
    }
    p.cons = {c};
    AC* ac = collected(p);
    auto r = run(ac, 10);
    ASSERT_FALSE(r.aborted) << r.err;
    for (int k = 0; k < 300; ++k) {
      double b = 1000 / coef(k);
      double got = k % 2 ? ac->var_ub_alt[k] : ac->var_lb_alt[k];
      EXPECT_NEAR(got, b, 1e-12 * std::fabs(b)) << distinct << " " << k;
    }
  }
}

// x + y >= 2 with both in [0, 1] forces both to 1; the objective keeps
// their contribution as its constant.  x + y <= 5 can never bind and goes.
TEST_F(Reduce, ForcingAndNeverBindingRowsLeave) {
  parse_text("var x; var y; minimize o: x + y; s.t. c: x + y >= 2;\n"
             "s.t. d: x + y <= 5;\n");
  struct row {
    double clb, dub;
    int vars_sent, cons_sent;
    double obj_const;
  } rows[] = {{2, 5, 0, 0, 2}, {-inf, 5, 2, 0, 0}, {-inf, 1.5, 2, 1, 0}};
  for (const row& c : rows) {
    plain_problem p;
    p.vars = {{"x", 0, 1, 0}, {"y", 0, 1, 0}};
    p.cons = {{"c", c.clb, inf, {{0, 1}, {1, 1}}, 0, 0, nullptr},
              {"d", -inf, c.dub, {{0, 1}, {1, 1}}, 0, 0, nullptr}};
    p.objs = {{"o", 0, 0, {{0, 1}, {1, 1}}, 0, 0, nullptr}};
    AC* ac = collected(p);
    auto r = run(ac, 10);
    ASSERT_FALSE(r.aborted) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ac->n_var_sent, c.vars_sent) << c.clb << " " << c.dub;
    EXPECT_EQ(ac->n_con_sent, c.cons_sent) << c.clb << " " << c.dub;
    EXPECT_EQ(ac->obj_const[0], c.obj_const);
  }
}

// A side made redundant only by bounds the passes deduced stays in the
// first row-bound pair, which goes with the first variable-bound pair.
TEST_F(Reduce, ARangeRedundantOnlyUnderDeducedBoundsStaysInTheFirstPair) {
  parse_text("var x; var y; s.t. r1: x + y <= 1; s.t. r2: x - y <= 5;\n");
  for (int vb : {1, 2}) {
    pass_lub1 = vb;
    plain_problem p;
    p.vars = {{"x", 0, 10, 0}, {"y", 0, 10, 0}};
    p.cons = {{"r1", -inf, 1, {{0, 1}, {1, 1}}, 0, 0, nullptr},
              {"r2", -inf, 5, {{0, 1}, {1, -1}}, 0, 0, nullptr}};
    AC* ac = collected(p);
    run(ac, 10);
    EXPECT_EQ(ac->con_ub[1], 5);
    EXPECT_EQ(ac->shape_alt.upper[1], inf);
    EXPECT_EQ(ac->con_ub_sent[1], vb == 1 ? 5 : inf);
    EXPECT_EQ(ac->var_ub_sent[0], vb == 1 ? 10 : 1);
  }
}

TEST_F(Reduce, ImpossibleDeducedBoundsAreReported) {
  parse_text("var x; s.t. c: x >= 3;\n");
  struct row {
    double lb, ub;
    const char* msg;
  } rows[] = {
      {0, 1,
       "presolve, variable x:\n\timpossible deduced bounds: lower = 3, "
       "upper = 1;\n\tdifference = 2\n"},
      {-2, 0,
       "presolve, variable x:\n\timpossible deduced bounds: lower = 3, "
       "upper = 0\n"},
  };
  for (const row& c : rows) {
    plain_problem p;
    p.vars = {{"x", c.lb, c.ub, 0}};
    p.cons = {{"c", 3, inf, {{0, 1}}, 0, 0, nullptr}};
    AC* ac = collected(p);
    auto r = run(ac, 10);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.err, c.msg);
    EXPECT_EQ(infeasible, 1);
  }
}

// Variables the fix command fixed arrive marked removed, with their values.
TEST_F(Reduce, FixedVariablesLeaveAndTheLogShowsTheReductions) {
  parse_text("var x; var y; var z; var w; s.t. c: x + y >= 7;\n"
             "s.t. e: z <= 0; s.t. c1: y + w <= 40;\n");
  presolve_logfile = "-";
  plain_problem p;
  p.vars = {{"x", 0, 10, 0x84}, {"y", 0, inf, 0}, {"z", 0, 1, 0},
            {"w", 0, 1, 0}};
  p.cons = {{"c", 7, inf, {{0, 1}, {1, 1}}, 0, 0, nullptr},
            {"e", -inf, 0, {{2, 1}}, 0, 0, nullptr},
            {"c1", -inf, 40, {{1, 1}, {3, 1}}, 0, 0, nullptr}};
  AC* ac = collected(p);
  ac->var_init_val[0] = 5;
  auto r = run(ac, 10);
  ASSERT_FALSE(r.aborted) << r.err;
  EXPECT_EQ(r.out,
            "\nStart of presolve.\n"
            "Fixing x = 5\n"
            "e (1 nz left) ==> z = 0\n"
            "c1: y <= 40\n"
            "End of presolve.\n\n");
  EXPECT_EQ(ac->n_var_sent, 2);
  EXPECT_EQ(ac->var_order[0], 1);
  EXPECT_EQ(ac->var_order[1], 3);
  // c's bound on y is sent with y; c1's deduced one is not.
  EXPECT_EQ(ac->var_lb_sent[1], 2);
  EXPECT_EQ(ac->var_ub_sent[1], inf);
  EXPECT_EQ(ac->n_con_sent, 1);
  EXPECT_EQ(ac->con_order_sent[0], 2);
}

TEST_F(Reduce, AFixedValueOutsideItsBoundsIsProjected) {
  parse_text("var x; s.t. c: x <= 100;\n");
  struct row {
    int project;
    double sent;
    const char* msg;
  } rows[] = {{0, 7, ""},
              {1, 5, ""},
              {2, 5,
               "presolve: changing value of fixed variable x\n"
               "\tfrom 7 to 5; change = -2\n\n"}};
  for (const row& c : rows) {
    project_fixed_vars = c.project;
    plain_problem p;
    p.vars = {{"x", 0, 5, 0x84}};
    p.cons = {{"c", -inf, 100, {{0, 1}}, 0, 0, nullptr}};
    AC* ac = collected(p);
    ac->var_init_val[0] = 7;
    auto r = run(ac, 10);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.err, c.msg) << c.project;
    EXPECT_EQ(ac->var_init_val[0], c.sent);
    EXPECT_EQ(ac->n_var_sent, 0);
  }
}

// ---- Routines on a record set up by hand ------------------------------------

class Hand : public PresolveTest {
 protected:
  Presolve P{};
  ps_scratch scratch{};
  std::vector<uint32_t> rstat;
  std::vector<int32_t> order, vorder, sidechg;

  // The row lists and the blocks of the record go.
  void release() {
    rows_free(&P);
    for (int i = 0; i < scratch.n; ++i) del_mblk(scratch.k[i], scratch.blk[i]);
    P = Presolve{};
    scratch = ps_scratch{};
  }
  void TearDown() override {
    release();
    vbt = preeps = linteps = 0;
    inteps1 = vbmin = 0;
    inteps2 = vbmax = Infinity;
    PresolveTest::TearDown();
  }
  // P over the collected problem of p, its intervals at the declared
  // bounds, nothing queued.
  void setup(const plain_problem& p) {
    AC* ac = collected(p);
    P.ac = ac;
    P.scratch = &scratch;
    P.ncons = P.ncons0 = ac->n_con;
    P.nrows = P.nfc = P.nfc2 = ac->n_con + ac->n_obj;
    P.nvars = P.nvars0 = P.nfv = ac->n_var;
    P.vlb = P.vlb0 = ac->var_lb;
    P.vub = P.vub0 = ac->var_ub;
    P.rlb = P.rlb2 = ac->con_lb;
    P.rub = P.rub2 = ac->con_ub;
    P.vstat = ac->var_status;
    P.cols = ac->col_terms;
    rstat.assign(size_t(P.nrows), 0);
    order.assign(size_t(P.nrows), 0);
    vorder.assign(size_t(P.nvars), 0);
    sidechg.assign(2 * size_t(P.nvars), 0);
    P.rstat = rstat.data();
    P.rorder = order.data();
    P.vorder = vorder.data();
    P.sidechg = sidechg.data();
    reduce_start(&P);
  }
};

TEST_F(Hand, ANewUpperBoundMovesTheRowsAndQueuesThem) {
  parse_text("var x; var y; s.t. c: 0 <= 2*x + y <= 20;\n");
  plain_problem p;
  p.vars = {{"x", 0, inf, 0}, {"y", 0, 1, 0}};
  p.cons = {{"c", 0, 20, {{0, 2}, {1, 1}}, 0, 0, nullptr}};
  setup(p);
  EXPECT_EQ(P.ninfub[0], 1);
  EXPECT_EQ(P.actub[0], 1);
  udub(&P, 0, 5);
  EXPECT_EQ(P.ninfub[0], 0);
  EXPECT_EQ(P.actub[0], 11);
  EXPECT_EQ(P.rstat[0], RS_SCANUB);
  ASSERT_EQ(P.nba, P.rqcap - 1);
  EXPECT_EQ(P.rq[P.nba], 0);
}

// Deduced upper bounds on an integer variable, linteps 1e-6.
TEST_F(Hand, DeducedIntegerBoundsRound) {
  parse_text("var n integer; s.t. c: n <= 10;\n");
  struct row {
    double u, ub, inteps1, inteps2;
    int sidechg;
  } rows[] = {{3.0000004, 3, 0, 0.9999996, 0}, {2.9999997, 3, 3e-7, inf, 1}};
  for (const row& c : rows) {
    plain_problem p;
    p.vars = {{"n", 0, 10, 1}};
    p.cons = {{"c", -inf, 10, {{0, 1}}, 0, 0, nullptr}};
    release();
    setup(p);
    linteps = 1e-6;
    inteps1 = 0;
    inteps2 = inf;
    EXPECT_EQ(ubud1(&P, 0, 0, 0, c.u), 0);
    EXPECT_EQ(P.vub[0], c.ub);
    EXPECT_NEAR(inteps1, c.inteps1, 1e-12);
    if (c.inteps2 < inf)
      EXPECT_NEAR(inteps2, c.inteps2, 1e-12);
    else
      EXPECT_EQ(inteps2, inf);
    EXPECT_EQ(P.sidechg[1], c.sidechg);
  }
}

TEST_F(Hand, ABoundWithinHalfOfTheFixingToleranceFixesThroughTheRow) {
  parse_text("var x; var y; s.t. c: x + y <= 10;\n");
  plain_problem p;
  p.vars = {{"x", 1, 10, 0}, {"y", 0, 3, 0}};
  p.cons = {{"c", -inf, 10, {{0, 1}, {1, 1}}, 0, 0, nullptr}};
  setup(p);
  vbt = 1e-6;
  nbud = 0;
  EXPECT_EQ(ubud1(&P, 0, 0, 0, 1 + 0.5e-6), 1);
  EXPECT_TRUE(P.vstat[0] & VS_FIXED);
  EXPECT_EQ(P.vlb[0], 1);
  EXPECT_EQ(P.vub[0], 1);
  // The row was at its smallest activity: y goes to its lower bound.
  EXPECT_EQ(P.vub[1], 0);
  EXPECT_EQ(P.rstat[0], 4u);
  EXPECT_EQ(nbud, 0);
  EXPECT_NEAR(vbmin, 0.5e-6, 1e-15);
}

TEST_F(Hand, ADomainCutLeavesTheIntervalBelow) {
  parse_text("var x; s.t. c: x <= 10;\n");
  plain_problem p;
  p.vars = {{"x", 0, 7, 0}};
  p.cons = {{"c", -inf, 10, {{0, 1}}, 0, 0, nullptr}};
  setup(p);
  int k = htcl(sizeof(Inset) + 6 * sizeof(double));
  auto* d = static_cast<Inset*>(new_mblk(k, 1));
  d->cap = 0;
  d->n = 2;
  d->k = k;
  double* iv = reinterpret_cast<double*>(d + 1);
  iv[0] = 0, iv[1] = 1, iv[3] = 5, iv[4] = 7;
  Inset* doms[1] = {d};
  P.vdom = doms;
  EXPECT_EQ(ubud1(&P, 0, 0, 0, 4), 0);
  EXPECT_EQ(P.vub[0], 1);
  EXPECT_EQ(doms[0], nullptr);
  EXPECT_EQ(P.sidechg[1], 0);
}

TEST_F(Hand, PiecewiseLinearRanges) {
  int k = htcl(sizeof(plterm) + 48);
  auto* t = static_cast<plterm*>(new_mblk(k, 1));
  t->block_class = k;
  t->n_slopes = 2;
  double* sb = t->bs();
  sb[0] = -1, sb[1] = 1, sb[2] = 2;
  struct row {
    double lb, ub, min, max;
  } rows[] = {{-inf, 3, -1, inf}, {0, 3, -1, 3}, {-2, 0, 0, 2},
              {2, inf, 1, inf}};
  for (const row& c : rows) {
    double lo, hi;
    plminmax(t, c.lb, c.ub, &lo, &hi);
    EXPECT_EQ(lo, c.min) << c.lb << " " << c.ub;
    EXPECT_EQ(hi, c.max) << c.lb << " " << c.ub;
  }
  del_mblk(k, t);
}

// fixall on (x, 2), (y, -1) at the row's smallest activity.
TEST_F(Hand, AForcingRowFixesEachVariableAtTheBoundItsExtremeUses) {
  parse_text("var x; var y; s.t. c: 2*x - y >= -3;\n");
  plain_problem p;
  p.vars = {{"x", 0, 4, 0}, {"y", 1, 3, 0}};
  p.cons = {{"c", -3, inf, {{0, 2}, {1, -1}}, 0, 0, nullptr}};
  setup(p);
  EXPECT_EQ(fixall(&P, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(P.vlb[0], 0);
  EXPECT_EQ(P.vlb[1], 3);
  EXPECT_EQ(P.vorder[1], 0);
  EXPECT_EQ(P.vorder[0], 1);
  EXPECT_EQ(P.nfv, 0);
  EXPECT_EQ(P.rstat[0], 4u);
  ASSERT_EQ(P.deferred_next - P.deferred, 1);
  EXPECT_EQ(P.deferred[0], 2);  // counted before its variables
}

TEST_F(Hand, ARowLeftWithoutVariables) {
  parse_text("var x; s.t. c: x <= 0;\n");
  struct row {
    double lb, ub;
    uint32_t status;
    const char* msg;
  } rows[] = {{0, 0, 1, ""},
              // Kept, and marked so that it is not reported again.
              {1, 0, RS_INFEASIBLE,
               "presolve, constraint c:\n"
               "\tno variables, but lower bound = 1, upper = 0\n"}};
  for (const row& c : rows) {
    plain_problem p;
    p.vars = {{"x", 0, 1, 0}};
    p.cons = {{"c", c.lb, c.ub, {}, 0, 0, nullptr}};
    release();
    setup(p);
    warnmax = warnings + 5;
    auto r = test::run_captured([&] {
      rowelim(&P, 0, 1);
      dump_ps_warnings();
    });
    EXPECT_EQ(r.err, c.msg);
    EXPECT_EQ(P.rstat[0], c.status);
    EXPECT_EQ(P.nfc, c.status == 1 ? 0 : 1);
  }
}

TEST_F(Hand, FixingWithinTheToleranceTakesTheMidpoint) {
  parse_text("var x; s.t. c: x <= 10;\n");
  plain_problem p;
  p.vars = {{"x", 0, 10, 0}};
  p.cons = {{"c", -inf, 10, {{0, 1}}, 0, 0, nullptr}};
  setup(p);
  preeps = 1e-9;
  preeps1 = 0;
  EXPECT_EQ(fixvar(&P, 0, 2, 2 - 1e-12), 0);
  EXPECT_NEAR(P.vlb[0], 2 - 0.5e-12, 1e-15);
  EXPECT_NEAR(preeps1, 1e-12, 1e-15);
  // The row's bound carries the fixed term.
  EXPECT_NEAR(P.rub[0], 8, 1e-9);
  EXPECT_EQ(P.nfree[0], 0);
}

TEST_F(Hand, DeferRelaxesOneSideOfARange) {
  parse_text("var x; var y; s.t. c: 0 <= x + y <= 4;\n");
  plain_problem p;
  p.vars = {{"x", 0, 1, 0}, {"y", 0, 1, 0}};
  p.cons = {{"c", 0, 4, {{0, 1}, {1, 1}}, 0, 0, nullptr}};
  setup(p);
  defer(&P, 1, 1);
  defer(&P, 2, 1);
  EXPECT_EQ(P.rlb[0], 0);
  EXPECT_EQ(P.rub[0], inf);
  EXPECT_EQ(P.rstat[0], 0u);
}

TEST_F(Hand, ConstantListFolding) {
  int n = 0;
  double m = 0;
  for (double v : {0.0, 3.0, -1.0}) simp_count(v, &n);
  EXPECT_EQ(n, 2);
  n = 0;
  for (double v : {5.0, 7.0, 2.0}) simp_minlist2(v, &n, &m);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(m, 2);
  n = 0;
  for (double v : {5.0, 7.0, 2.0}) simp_maxlist2(v, &n, &m);
  EXPECT_EQ(m, 7);
}

}  // namespace
}  // namespace vexo

namespace vexo {
namespace {

// ---- Duals of removed rows --------------------------------------------------

class Duals : public test::PresolveTest {
 protected:
  void SetUp() override {
    PresolveTest::SetUp();
    boundtol_max = 1e-5;
  }
  void TearDown() override {
    abs_bt[0] = rel_bt[0] = 0;
    show_boundtol = 0;
    boundtol_max = 0;
    PresolveTest::TearDown();
  }
  // minimize o: 3*x s.t. c: x >= 2, presolved, then solved with x at v.
  AC* solved(double v) {
    plain_problem p;
    p.vars = {{"x", 0, HUGE_VAL, 0}};
    p.cons = {{"c", 2, HUGE_VAL, {{0, 1}}, 0, 0, nullptr}};
    p.objs = {{"o", 0, 0, {{0, 3}}, 0, 0, nullptr}};
    AC* ac = collected(p);
    run(ac, 10);
    ac->con_duals = static_cast<double*>(new_mblk(ac->row_class, 1));
    ac->var_init_val[0] = v;
    ac->obj_no = 0;
    need_fd = 1;
    return ac;
  }
};

TEST_F(Duals, ASingletonRowGetsTheDualOfTheBoundItSet) {
  parse_text("var x >= 0; minimize o: 3*x; s.t. c: x >= 2;\n");
  // The distance of 2 + 1e-9 from 2 is 1.000000082740371e-09, printed
  // with all the digits it needs.
  struct row {
    double x, abs_tol;
    double dual;
    const char* report;
  } rows[] = {
      {2, 0, 3, ""},
      {2 + 1e-9, 0, 0,
       "\n\"option abs_boundtol 1.000000082740371e-09;\"\nor "
       "\"option rel_boundtol 5.000000413701855e-10;\""
       "\nwill change deduced dual values.\n\n"},
      {2 + 1e-9, 1e-8, 3,
       "\n\"option abs_boundtol nnn;\" with nnn < 1.000000082740371e-09"
       "\nwill change deduced dual values.\n\n"},
  };
  for (const row& c : rows) {
    AC* ac = solved(c.x);
    abs_bt[0] = c.abs_tol;
    show_boundtol = 1;
    auto r = test::run_captured([&] { fixed_duals(ac); });
    EXPECT_EQ(ac->con_duals[0], c.dual) << c.x << " " << c.abs_tol;
    EXPECT_EQ(r.out, c.report) << c.x << " " << c.abs_tol;
    EXPECT_EQ(need_fd, 0);
    // A second run gives the same.
    ac->con_duals[0] = -1;
    show_boundtol = 0;
    fixed_duals(ac);
    EXPECT_EQ(ac->con_duals[0], c.dual);
  }
}

// x + y >= 2 with both in [0, 1] forces both to their upper bounds: the
// row deduces both lower bounds, so with minimize -x + y both want a
// dual of one sign, and the row takes the one that leaves y's reduced
// cost at 0 and x's negative (x is at its upper bound): 1, no warning.
TEST_F(Duals, AForcingRowTakesTheDualOfTheBoundsItDeduces) {
  parse_text("var x; var y; minimize o: -x + y; s.t. c: x + y >= 2;\n");
  plain_problem p;
  p.vars = {{"x", 0, 1, 0}, {"y", 0, 1, 0}};
  p.cons = {{"c", 2, HUGE_VAL, {{0, 1}, {1, 1}}, 0, 0, nullptr}};
  p.objs = {{"o", 0, 0, {{0, -1}, {1, 1}}, 0, 0, nullptr}};
  AC* ac = collected(p);
  run(ac, 2);
  ASSERT_EQ(ac->n_con_sent, 0);
  ac->con_duals = static_cast<double*>(new_mblk(ac->row_class, 1));
  ac->obj_no = 0;
  need_fd = 1;
  auto r = test::run_captured([&] { fixed_duals(ac); });
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ac->con_duals[0], 1);
}

// The recovery reads the removed rows' terms from the list presolve
// keeps, or, when a variable was substituted out, from the columns: both
// give the same duals, bit for bit.  Rows: singletons of either sign, a
// forcing row, a row that can never bind (it sets no bound), beside a
// kept row with a nonzero dual that shares their columns.
TEST_F(Duals, TheListedTermsGiveTheDualsOfTheColumns) {
  parse_text(
      "var x; var y; var z; var u; var v;\n"
      "minimize o: -3*x + y + 2*z - u + v;\n"
      "s.t. c1: x <= 4; s.t. c2: -2*u >= -6; s.t. c3: y + z >= 2;\n"
      "s.t. c4: x + y + z + u + v <= 100; s.t. c5: v >= 1;\n"
      "s.t. c6: x + u <= 50;\n");
  plain_problem p;
  p.vars = {{"x", 0, 10, 0}, {"y", 0, 1, 0}, {"z", 0, 1, 0},
            {"u", -5, 5, 0}, {"v", 0, HUGE_VAL, 0}};
  p.cons = {{"c1", -HUGE_VAL, 4, {{0, 1}}, 0, 0, nullptr},
            {"c2", -6, HUGE_VAL, {{3, -2}}, 0, 0, nullptr},
            {"c3", 2, HUGE_VAL, {{1, 1}, {2, 1}}, 0, 0, nullptr},
            {"c4", -HUGE_VAL, 100, {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}},
             0, 0, nullptr},
            {"c5", 1, HUGE_VAL, {{4, 1}}, 0, 0, nullptr},
            {"c6", -HUGE_VAL, 50, {{0, 1}, {3, 1}}, 0, 0, nullptr}};
  p.objs = {{"o", 0, 0, {{0, -3}, {1, 1}, {2, 2}, {3, -1}, {4, 1}}, 0, 0,
             nullptr}};
  AC* ac = collected(p);
  run(ac, 10);
  ASSERT_EQ(ac->n_con_sent, 1);
  ac->con_duals = static_cast<double*>(new_mblk(ac->row_class, 1));
  ac->con_duals[3] = -0.5;  // c4, the row kept
  const double at[] = {4, 1, 1, 3, 1};
  std::copy(at, at + 5, ac->var_init_val);
  ac->obj_no = 0;
  need_fd = 1;
  fixed_duals(ac);
  std::vector<double> listed(ac->con_duals, ac->con_duals + 6);
  EXPECT_EQ(listed, (std::vector<double>{-2.5, 0.25, 2.5, -0.5, 1.5, 0}));
  ac->n_subst_var = 1;
  need_fd = 1;
  fixed_duals(ac);
  ac->n_subst_var = 0;
  for (int r = 0; r < 6; ++r)
    EXPECT_EQ(std::memcmp(&ac->con_duals[r], &listed[size_t(r)], 8), 0) << r;
}

// A removed row that set x's lower bound and y's upper bound (recorded by
// hand: presolve's own deductions give one row's candidates one sign).
// With minimize x - y and both at 1, x asks for a positive dual and y for
// a negative one: a warning says so and the positive candidate is kept.
TEST_F(Duals, OppositeCandidatesWarnAndKeepThePositiveOne) {
  parse_text("var x; var y; minimize o: x - y; s.t. c: x + y = 2;\n");
  plain_problem p;
  p.vars = {{"x", 0, 1, 0}, {"y", 0, 1, 0}};
  p.cons = {{"c", 2, 2, {{0, 1}, {1, 1}}, 0, 0, nullptr}};
  p.objs = {{"o", 0, 0, {{0, 1}, {1, -1}}, 0, 0, nullptr}};
  AC* ac = collected(p);
  run(ac, 2);
  ASSERT_EQ(ac->n_con_sent, 0);
  Presolve P{};
  uint32_t rstat[1] = {RS_GONE};
  int32_t rorder[1] = {0};
  int32_t sidechg[4] = {1, 0, 0, 1};  // x lower, y upper: row 0 + 1
  P.rstat = rstat;
  P.rorder = rorder;
  P.sidechg = sidechg;
  P.nrows = P.ncons = 1;
  P.nvars = 2;
  duals_record(&P);
  ac->con_duals = static_cast<double*>(new_mblk(ac->row_class, 1));
  ac->var_init_val[0] = ac->var_init_val[1] = 1;
  ac->obj_no = 0;
  need_fd = 1;
  auto r = test::run_captured([&] { fixed_duals(ac); });
  EXPECT_EQ(r.err, "Bug? Case 3 in fixed_duals()\n");
  EXPECT_FALSE(r.aborted);
  EXPECT_EQ(ac->con_duals[0], 1);
}

}  // namespace
}  // namespace vexo
