// The presolve frame on small collected problems: the level-0 and level-10
// paths (numbers kept, declared bounds sent, the same file written), the
// rounding of integer bounds with its tolerances, the message buffer and
// its limit, the log file, the summary, the order of the variables and
// rows, and the clean-up on an abandoned command.
#include "presolve/presolve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "presolve/presolve_fixture.h"
#include "presolve/rounding.h"
#include "session/located.h"
#include "session/loop.h"
#include "solver/output.h"
#include "support/block.h"
#include "support/message.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::plain_problem;
using test::PresolveTest;

// The small MIP: maximize 3x + 2y + n s.t. x + y + n <= 4, n integer in
// [0, 3].
const char* mip_model =
    "var x >= 0; var y >= 0 <= 4; var n integer >= 0 <= 3;\n"
    "maximize p: 3*x + 2*y + n; s.t. c1: x + y + n <= 4;\n";
plain_problem mip_problem() {
  plain_problem p;
  p.vars = {{"x", 0, Infinity, 0}, {"y", 0, 4, 0}, {"n", 0, 3, 1}};
  p.cons = {{"c1", negInfinity, 4, {{0, 1}, {1, 1}, {2, 1}}, 0, 0, nullptr}};
  p.objs = {{"p", 0, 0, {{0, 3}, {1, 2}, {2, 1}}, 1, 0, nullptr}};
  return p;
}

class Frame : public PresolveTest {};

TEST_F(Frame, LevelsZeroAndTenKeepNumbersAndSendDeclaredBounds) {
  struct model {
    const char* text;
    plain_problem (*problem)();
  } models[] = {{test::lp_model, test::lp_problem}, {mip_model, mip_problem}};
  for (const model& m : models) {
    fresh_parser();
    parse_text(m.text);
    std::string files[2];
    for (int pass = 0; pass < 2; ++pass) {
      int level = pass ? 10 : 0;
      plain_problem p = m.problem();
      AC* ac = collected(p);
      auto r = run(ac, level);
      ASSERT_FALSE(r.aborted) << r.err;
      EXPECT_EQ(r.err, "");
      ASSERT_EQ(ac->n_var_sent, int(p.vars.size()));
      for (int i = 0; i < ac->n_var_sent; ++i) {
        EXPECT_EQ(ac->var_order[i], i);
        EXPECT_EQ(ac->var_pos[i], i);
        EXPECT_EQ(ac->var_lb_sent[i], p.vars[size_t(i)].lb);
        EXPECT_EQ(ac->var_ub_sent[i], p.vars[size_t(i)].ub);
      }
      EXPECT_EQ(ac->n_con_sent, int(p.cons.size()));
      EXPECT_EQ(ac->con_order_sent[0], 0);
      // Level 10 tightens only the second bound pair, in one pass: level 2
      // is what it needs.
      EXPECT_EQ(param_value(Pd_presolve_req), pass ? 2 : 0);
      EXPECT_EQ(param_value(Pd_presolve_sug), pass ? 2 : 10);
      EXPECT_EQ(messages(), "");
      files[pass] = written(ac, "frame");
    }
    EXPECT_FALSE(files[0].empty());
    // The header's first option word is the level required.
    EXPECT_EQ(files[0].substr(0, 3), "g3 ");
    EXPECT_EQ(files[1].substr(0, 5), "g3 2 ");
    EXPECT_EQ(files[0].substr(4), files[1].substr(4)) << m.text;
  }
}

TEST_F(Frame, TheMipIsSentWithItsIntegerLastAndTheTolerancesInTheHeader) {
  parse_text(mip_model);
  // n's upper bound 2.9999996 is rounded up to 3 within the tolerance.
  plain_problem p = mip_problem();
  p.vars[2].ub = 2.9999996;
  AC* ac = collected(p);
  run(ac, 10);
  EXPECT_EQ(ac->n_lin_int, 1);
  EXPECT_EQ(ac->var_order[2], 2);
  // presolve_inteps 1e-6 is used as 1.1^-144 and rounded a bound: the
  // header's word 7 says so.
  EXPECT_EQ(iinteps, -144);
  std::string f = written(ac, "mip");
  EXPECT_EQ(f.substr(0, f.find('\t')), "g7 2 1 0 1 20190616 0 4628");
}

// Rounding of integer bounds: [3.0000004, 6.9999997] is [3, 7] under the
// default tolerance and under 3.95e-7, which is used as 1.1^-154 (about
// 4.22e-7); taken exactly (presolve_debug 4) the lower bound goes up.
TEST_F(Frame, IntegerBoundsRoundWithinTheQuantisedTolerance) {
  parse_text("var z integer >= 3.0000004 <= 6.9999997;\n");
  struct row {
    double inteps;
    int debug;
    double lb, ub;
  } rows[] = {{1e-6, 0, 3, 7}, {3.95e-7, 0, 3, 7}, {3.95e-7, 4, 4, 7}};
  for (const row& c : rows) {
    presolve_inteps = c.inteps;
    presolve_debug = c.debug;
    plain_problem p;
    p.vars = {{"z", 3.0000004, 6.9999997, 1}};
    AC* ac = collected(p);
    run(ac, 0);
    EXPECT_EQ(ac->var_lb_sent[0], c.lb) << c.inteps << " " << c.debug;
    EXPECT_EQ(ac->var_ub_sent[0], c.ub);
    if (!c.debug) {
      EXPECT_NEAR(param_value(Pd_ps_intepsmin), 4e-7, 1e-12);
      EXPECT_EQ(linteps, mypow(1.1, c.inteps == 1e-6 ? -144 : -154));
    }
  }
  EXPECT_NEAR(mypow(1.1, -154), 4.22e-7, 1e-9);
}

TEST_F(Frame, IntegerBoundsThatCrossAreReportedUnlessRelaxed) {
  parse_text("var w integer >= 0.3 <= 0.7;\n");
  for (int relax : {0, 1}) {
    relax_integrality = relax;
    plain_problem p;
    p.vars = {{"w", 0.3, 0.7, 1}};
    AC* ac = collected(p);
    auto r = run(ac, 10);
    ASSERT_FALSE(r.aborted);
    if (!relax) {
      const char* msg =
          "presolve, variable w:\n"
          "\timpossible deduced bounds: lower = 1, upper = 0\n";
      EXPECT_EQ(r.err, msg);
      EXPECT_EQ(messages(), msg);
      EXPECT_EQ(infeasible, 1);
      EXPECT_EQ(param_value(Pd_ps_intepsmax), 0.3);
    } else {
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(infeasible, 0);
      EXPECT_EQ(ac->var_lb_sent[0], 0.3);
      EXPECT_EQ(ac->var_ub_sent[0], 0.7);
      EXPECT_EQ(ac->var_status[0] & 3, 0u);
    }
  }
}

// x[1..8] with lower bound 1 above upper bound 0.
plain_problem crossed(int n) {
  plain_problem p;
  for (int i = 0; i < n; ++i) p.vars.push_back({nullptr, 1, 0, 0});
  return p;
}

TEST_F(Frame, MessagesBeyondTheLimitAreCountedAndKept) {
  parse_text("var x {1..8} >= 1 <= 0;\n");
  AC* ac = collected(crossed(8));
  give_members(var_named("x"), {1, 2, 3, 4, 5, 6, 7, 8}, 0);
  setmem* m = var_named("x")->gen.members->first;
  for (int i = 0; i < 8; ++i, m = m->next)
    ac->var_names[i] = {decl("x"), m, nullptr};
  auto r = run(ac, 0);
  std::string want;
  for (int i = 1; i <= 5; ++i)
    want += "inconsistent bounds for var x[" + std::to_string(i) +
            "]:\n\tlower bound = 1 > upper bound = 0\n";
  want += "3 presolve messages suppressed.\n";
  EXPECT_EQ(r.err, want);
  EXPECT_EQ(messages(), want);
  EXPECT_EQ(ac->var_lb_sent[0], 0.5);
  EXPECT_EQ(ac->var_ub_sent[0], 0.5);
  EXPECT_EQ(bad_bounds, 8);

  // Not shown, still kept; then a run without messages empties them.
  show_presolve_messages = 0;
  r = run(collected(crossed(8)), 0);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(messages().find("3 presolve messages suppressed.\n"),
            std::string::npos);
  show_presolve_messages = 1;
  parse_text("var v >= 0;\n");
  plain_problem ok;
  ok.vars = {{"v", 0, 1, 0}};
  r = run(collected(ok), 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(messages(), "");
}

TEST_F(Frame, AFullBufferMovesWhole) {
  presolve_warnings = 1000;
  AC* ac = collected(crossed(300));
  auto r = run(ac, 0);
  std::string m = messages();
  EXPECT_GT(m.size(), 8184u);
  EXPECT_EQ(r.err, m);
  size_t n = 0;
  for (size_t i = 0; (i = m.find("inconsistent", i)) != std::string::npos; ++i)
    ++n;
  EXPECT_EQ(n, 300u);
}

TEST_F(Frame, TheWarningLimitPrintsPendingMessagesFirstAndFreesTheScratch) {
  int saved[2] = {eexit, warn_exit};
  eexit = 3;
  warn_exit = 0;
  AC* ac = collected(crossed(8));
  auto r = run(ac, 0);
  eexit = saved[0];
  warn_exit = saved[1];
  // Abandoned, or ended since the session's input is not interactive.
  EXPECT_TRUE(r.aborted || r.exited);
  std::string one = "inconsistent bounds for var ?:\n"
                    "\tlower bound = 1 > upper bound = 0\n";
  EXPECT_EQ(r.err, one + one + one + "\nBailing out after 3 warnings.\n");
  EXPECT_EQ(messages(), one + one + one);
  EXPECT_EQ(ps_warnings, nullptr);
  EXPECT_EQ(plogfile, nullptr);
}

// In block mode the messages form a block of their own, "error_presolve";
// the block open before presolve is open again after it.
TEST_F(Frame, InBlockModeTheMessagesFormTheirOwnBlock) {
  blockmode = 1;
  blockstart("display");
  auto r = run(collected(crossed(1)), 0);
  std::string now = blockname;
  blockstart("");
  blockmode = 0;
  EXPECT_EQ(r.out,
            "81 error_presolve\ninconsistent bounds for var ?:\n"
            "\tlower bound = 1 > upper bound = 0\n");
  EXPECT_EQ(now, "display");
}

TEST_F(Frame, ConstraintBoundsAreCheckedWithTheirDifference) {
  parse_text(test::lp_model);
  plain_problem p = test::lp_problem();
  p.cons[0].lb = 6;
  p.cons[0].ub = 4;
  AC* ac = collected(p);
  auto r = run(ac, 0);
  EXPECT_EQ(r.err,
            "inconsistent bounds for constraint c1:\n"
            "\tlower bound = 6 > upper bound = 4;\n\tdifference = 2\n");
  EXPECT_EQ(ac->con_lb_sent[0], 5);
}

TEST_F(Frame, ALogicalConstraintKnownFalseIsReportedAndSentLast) {
  parse_text(test::lp_model);
  plain_problem p = test::lp_problem();
  p.cons[0].terms.clear();
  p.cons[0].lb = negInfinity;
  p.cons[0].ub = Infinity;
  p.cons[0].nonlin = new_expr(opword(OPLOGLIT), nullptr);
  p.cons[0].nonlin->L.i = 0;
  AC* ac = collected(p);
  ac->n_logical = 1;
  ac->con_kind = block<int32_t>(elem_class(ac->con_class, 4));
  ac->con_kind[0] = 1;
  auto r = run(ac, 0);
  EXPECT_EQ(r.err,
            "presolve, constraint c1:\n\tLogical constraint is always "
            "false.\n");
  EXPECT_EQ(infeasible, 1);
  EXPECT_EQ(ac->n_con_sent, 1);
  EXPECT_EQ(ac->n_logical_sent, 1);
  EXPECT_EQ(ac->con_order_sent[0], 1);
  EXPECT_EQ(ac->con_order_sent[2], 0);  // after the objective
}

TEST_F(Frame, TheLogFileAppendsOverwritesOrGoesToStdout) {
  parse_text(test::lp_model);
  std::string f = "ps.log";
  const char* start = "\nStart of presolve.\n";
  const char* end = "End of presolve.\n\n";
  std::string once = std::string(start) + end;
  std::string opt;
  auto with = [&](const std::string& v) {
    opt = v;
    presolve_logfile = opt.c_str();
    return run(collected(test::lp_problem()), 0);
  };
  with(f);
  with(">>" + f);
  EXPECT_EQ(slurp(f.c_str()), once + once);
  with(">" + f);
  EXPECT_EQ(slurp(f.c_str()), once);
  auto r = with("-");
  EXPECT_EQ(r.out, once);
  Cautions = 1;
  r = with("nodir/f");
  Cautions = 0;
  EXPECT_FALSE(r.aborted);
  EXPECT_NE(r.err.find("Cannot open presolve_logfile = \"nodir/f\""),
            std::string::npos)
      << r.err;
}

TEST_F(Frame, TheSummaryComesWithShowStatsAboveTwoAtLevelsAboveZero) {
  parse_text(test::lp_model);
  show_stats = 3;
  auto r = run(collected(test::lp_problem()), 10);
  EXPECT_EQ(messages(),
            "presolve results:\n\tvariables omitted:\t0\n"
            "\tconstraints omitted:\t0\n\tranges relaxed:\t\t0\n"
            "\tbounds improved:\t3\n\tnba cycles:\t\t1\n"
            "\tbound row scans:\t2\n\trow-scan updates:\t3\n");
  r = run(collected(test::lp_problem()), 0);
  EXPECT_EQ(messages(), "");
}

// ---- Order ------------------------------------------------------------------

class Order : public PresolveTest {
 protected:
  void SetUp() override {
    PresolveTest::SetUp();
    parse_text(
        "var x; var n integer <= 5; var b binary; var y;\n"
        "minimize o: x + n + b + y; s.t. c: x + y >= 1;\n");
  }
  static plain_problem problem() {
    plain_problem p;
    p.vars = {{"x", negInfinity, Infinity, 0},
              {"n", negInfinity, 5, 1},
              {"b", 0, 1, 3},
              {"y", negInfinity, Infinity, 0}};
    p.cons = {{"c", 1, Infinity, {{0, 1}, {3, 1}}, 0, 0, nullptr}};
    p.objs = {{"o", 0, 0, {{0, 1}, {1, 1}, {2, 1}, {3, 1}}, 0, 0, nullptr}};
    return p;
  }
  static std::vector<int> order(const AC* ac) {
    return std::vector<int>(ac->var_order, ac->var_order + ac->n_var_sent);
  }
};

TEST_F(Order, ContinuousThenBinaryThenInteger) {
  AC* ac = collected(problem());
  run(ac, 0);
  EXPECT_EQ(order(ac), (std::vector<int>{0, 3, 2, 1}));
  EXPECT_EQ(ac->n_lin_bin, 1);
  EXPECT_EQ(ac->n_lin_int, 1);
  EXPECT_EQ(ac->var_pos[1], 3);
}

TEST_F(Order, RelaxIntegrality2SendsAllContinuous) {
  relax_integrality = 2;
  AC* ac = collected(problem());
  run(ac, 10);
  EXPECT_EQ(order(ac), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(ac->n_lin_bin + ac->n_lin_int, 0);
}

TEST_F(Order, NlPermute1KeepsTheIncomingOrderAndFlagsTheWriter) {
  // y occurs nonlinearly (y^2 in c), after the linear x, n and b.
  plain_problem p = problem();
  expr* y = new_expr(opword(OPVARVAL146, EF_VARS | EF_NUMERIC), nullptr);
  y->L.i = 3;
  p.cons[0].nonlin =
      new_expr(opword(OPPOW, EF_VARS | EF_NONLIN | EF_NUMERIC), y,
               new_num(2));
  nl_permute = 1;
  AC* ac = collected(p);
  run(ac, 0);
  EXPECT_EQ(order(ac), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(ac->n_nlv_con, 4);  // runs up to y's position
  EXPECT_EQ(ac->nl_flags, 2);
  auto r = test::run_captured([&] {
    outopt = "g/dev/null/none";
    Cautions = 1;
    output(ac);
  });
  Cautions = 0;
  EXPECT_NE(r.err.find("Using option nl_permute to suppress permutations\n"
                       "of variables may cause trouble"),
            std::string::npos)
      << r.err;
  // With the default the nonlinear variable goes first.
  nl_permute = 3;
  ac = collected(p);
  run(ac, 0);
  EXPECT_EQ(order(ac), (std::vector<int>{3, 0, 2, 1}));
  EXPECT_EQ(ac->n_nlv_con, 1);
  EXPECT_EQ(ac->nl_flags, 0);
  EXPECT_EQ(ac->shape_work.n_nonlin, 1);
}

TEST_F(Order, AnUnusedVariableOutsideItsBoundsTakesTheViolatedBound) {
  parse_text("var u >= 2 <= 3;\n");
  plain_problem p;
  p.vars = {{"u", 2, 3, 0}};
  AC* ac = collected(p);
  give_member(var_named("u"), 0);
  ac->var_init_val[0] = 7;
  run(ac, 0);
  EXPECT_EQ(ac->var_init_val[0], 3);
  EXPECT_EQ(var_named("u")->gen.cur_vals[0], 3);
}

}  // namespace
}  // namespace vexo
