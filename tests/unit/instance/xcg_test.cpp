// Keeping the instance current between commands: a command after no
// change generates and collects nothing, a change regenerates only what
// depends on it, and the next collection keeps the rows of everything
// else as they were collected (the same term records), while a change of
// the problem's shape collects it whole again.
#include "instance/xcg.h"

#include <gtest/gtest.h>

#include <string>

#include "frontend/decl.h"
#include "frontend/frontend_fixture.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/members.h"
#include "instance/names.h"
#include "instance/problem.h"
#include "instance/stamps.h"
#include "instance/varref.h"
#include "report/prex.h"
#include "session/opttable.h"
#include "support/format.h"
#include "support/symbol.h"
#include "test_util.h"
#include "instance/instance_fixture.h"

namespace vexo {
namespace {

class KeepCurrent : public test::ParserTest {
 protected:
  void SetUp() override {
    begin("/tmp/vexo_xcg_XXXXXX");
    gentimes = 1;  // a report line per generated declaration
    display_width = 79;
    test::outcome o = typed(
        "param c {1..3} default 1; param b {1..3} default 5;\n"
        "var x {1..3} >= 0;\n"
        "minimize o: sum {i in 1..3} c[i] * x[i];\n"
        "s.t. r {i in 1..3}: x[i] + (if i > 1 then x[i-1]) <= b[i];\n"
        "expand r[2];\n");
    EXPECT_EQ(generated(o.err), "b x r c o ");
  }
  void TearDown() override {
    gentimes = 0;
    ParserTest::TearDown();
  }

  // The declarations the generation report lists.
  static std::string generated(const std::string& err) {
    return test::generated_decls(err);
  }
  // The term record of row r in column c of the collected problem.
  static varref* term(int32_t c, int32_t r) {
    for (varref* v = cur_ac->col_terms[c]; v; v = vnext(v))
      if (v->index == r) return v;
    return nullptr;
  }
  // Marks the collected term of x[1] in r[1] (a coefficient the model
  // never gives): a collection that keeps the row keeps the mark, one
  // that collects it again from the members does not.
  static void mark() { term(0, 0)->coef = 0.5; }
  static bool marked() { return term(0, 0)->coef == 0.5; }
};

TEST_F(KeepCurrent, ASecondCommandWithNoChangeDoesNothing) {
  AC* ac = cur_ac;
  mark();
  test::outcome o = typed("expand r[2];\n");
  EXPECT_EQ(o.out, "subject to r[2]:\n\tx[1] + x[2] <= 5;\n\n");
  EXPECT_EQ(generated(o.err), "");
  EXPECT_EQ(xcg(0), ac);
  EXPECT_EQ(cur_ac, ac);
  EXPECT_TRUE(marked());  // not collected again
  EXPECT_EQ(trans_state, 2);
}

// Rows are r[1..3] (0..2), then the objective (3); columns x[1..3].
TEST_F(KeepCurrent, ALetRegeneratesAndCollectsOnlyWhatItChanged) {
  mark();
  // A param only the objective uses: the objective alone is generated
  // again, the constraints' rows stay the records they were.
  test::outcome o = typed("let c[2] := 4; expand r[2], o;\n");
  EXPECT_EQ(generated(o.err), "o ");
  EXPECT_EQ(o.out,
            "subject to r[2]:\n\tx[1] + x[2] <= 5;\n\n"
            "minimize o:\n\tx[1] + 4*x[2] + x[3];\n\n");
  EXPECT_TRUE(marked());
  EXPECT_EQ(term(1, 3)->coef, 4);
  EXPECT_EQ(cur_ac->jac_nonzeros, 5);
  EXPECT_EQ(cur_ac->grad_nonzeros, 3);
  // A right-hand side: the constraint alone, the objective's terms stay.
  term(0, 3)->coef = 0.5;
  o = typed("let b[2] := 7; expand r[2], o;\n");
  EXPECT_EQ(generated(o.err), "r ");
  EXPECT_EQ(o.out,
            "subject to r[2]:\n\tx[1] + x[2] <= 7;\n\n"
            "minimize o:\n\t0.5*x[1] + 4*x[2] + x[3];\n\n");
  EXPECT_FALSE(marked());
  EXPECT_EQ(cur_ac->jac_nonzeros, 5);
}

// A row filled anew whose terms lie in other columns than before: its
// old terms leave every column they were in, its new ones join in row
// order, and the rows after it stay as they were collected.
TEST_F(KeepCurrent, ARowFilledAnewMovesBetweenColumns) {
  // Rows r[1..3] (0..2), t (3), the objective (4).
  test::outcome o = typed(
      "param k default 3; s.t. t: sum {j in 1..k} x[j] >= 1;\n"
      "expand t;\n");
  mark();
  term(2, 4)->coef = 0.25;  // the objective's term in x[3]
  o = typed("let k := 1; expand t;\n");
  EXPECT_EQ(generated(o.err), "t ");
  EXPECT_EQ(o.out, "subject to t:\n\tx[1] >= 1;\n\n");
  EXPECT_TRUE(marked());
  EXPECT_EQ(term(1, 3), nullptr);
  EXPECT_EQ(term(2, 3), nullptr);
  EXPECT_EQ(term(2, 4)->coef, 0.25);
  EXPECT_EQ(cur_ac->jac_nonzeros, 6);
  EXPECT_EQ(cur_ac->grad_nonzeros, 3);
  o = typed("let k := 3; expand t;\n");
  EXPECT_EQ(o.out, "subject to t:\n\tx[1] + x[2] + x[3] >= 1;\n\n");
  std::string rows;
  for (varref* v = cur_ac->col_terms[2]; v; v = vnext(v))
    rows += std::to_string(v->index) + " ";
  EXPECT_EQ(rows, "2 3 4 ");
  EXPECT_EQ(term(2, 4)->coef, 0.25);
  EXPECT_EQ(cur_ac->jac_nonzeros, 8);
}

// The full check before a collection leaves out the constraints the
// problem leaves out as a whole (not in it, or a dropped scalar): they are
// not generated however their data change, and take no row, until the
// problem holds them again.
TEST_F(KeepCurrent, WhatTheProblemLeavesOutIsNotGenerated) {
  test::outcome o = typed(
      "param k default 1; s.t. t: x[1] >= k;\n"
      "problem p: x, o, r; let k := 2; expand o;\n");
  EXPECT_EQ(generated(o.err), "p ");
  auto* t = static_cast<convar*>(Symbol0("t")->binding);
  EXPECT_EQ(t->gen.gen_seq, 0);  // never generated
  EXPECT_EQ(t->gen.first_col, -1);
  EXPECT_EQ(cur_ac->n_con, 3);
  o = typed("problem Initial; expand o;\n");
  EXPECT_EQ(generated(o.err), "Initial k t ");
  EXPECT_EQ(cur_ac->n_con, 4);
  EXPECT_EQ(t->gen.first_col, 3);
  // A dropped scalar: its change waits until it is restored.
  o = typed("drop t; let k := 3; expand o;\n");
  EXPECT_EQ(generated(o.err), "");
  EXPECT_EQ(cur_ac->n_con, 3);
  EXPECT_EQ(t->gen.first_col, -1);
  o = typed("restore t; expand t;\n");
  EXPECT_EQ(generated(o.err), "t ");
  EXPECT_EQ(o.out, "subject to t:\n\tx[1] >= 3;\n\n");
  EXPECT_EQ(cur_ac->n_con, 4);
}

// A variable generated again in its own columns keeps the other rows as
// they were collected; rows that moved have the problem collected whole.
// What the columns hold is right either way.
TEST_F(KeepCurrent, AChangedShapeIsCollectedWhole) {
  test::outcome o = typed(
      "param u default 9; var y <= u; s.t. s: y + x[3] >= 1;\n"
      "expand s;\n");
  EXPECT_EQ(o.out, "subject to s:\n\tx[3] + y >= 1;\n\n");
  mark();
  o = typed("let u := 8; let c[3] := 2; expand o, s; expand y;\n");
  EXPECT_EQ(generated(o.err), "o y s ");  // s uses y
  EXPECT_EQ(o.out,
            "minimize o:\n\tx[1] + x[2] + 2*x[3];\n\n"
            "subject to s:\n\tx[3] + y >= 1;\n\n"
            "Coefficients of y:\n\ts  1\n\n");
  EXPECT_TRUE(marked());  // r was neither generated nor collected again
  EXPECT_EQ(cur_ac->var_ub[3], 8);
  EXPECT_EQ(cur_ac->jac_nonzeros, 7);
  EXPECT_EQ(cur_ac->grad_nonzeros, 3);
  // A row more: collected whole.
  o = typed("s.t. s2: y >= 0; expand s2;\n");
  EXPECT_EQ(o.out, "subject to s2:\n\ty >= 0;\n\n");
  EXPECT_FALSE(marked());
  EXPECT_EQ(cur_ac->jac_nonzeros, 8);
}

// The collected record as text: per column its name, bounds, status and
// terms (row:coef), per row its name, bounds and nonlinear parts, and the
// nonzero counts.
std::string collected_text(AC* ac) {
  std::string s;
  char b[96];
  for (int32_t c = 0; c < ac->n_var; ++c) {
    Snprintf(b, sizeof b, "%s [%g,%g] %u:", xwho(&ac->var_names[c]),
             ac->var_lb[c], ac->var_ub[c], ac->var_status[c]);
    s += b;
    for (varref* v = ac->col_terms[c]; v; v = vnext(v)) {
      Snprintf(b, sizeof b, " %d:%g", v->index, v->coef);
      s += b;
    }
    s += "\n";
  }
  for (int32_t r = 0; r < ac->n_con + ac->n_obj; ++r) {
    bool obj = r >= ac->n_con;
    const xname& n = obj ? ac->obj_names[r - ac->n_con] : ac->con_names[r];
    Snprintf(b, sizeof b, "%s", xwho(&n));
    s += b;
    if (!obj) {
      Snprintf(b, sizeof b, " [%g,%g]", ac->con_lb[r], ac->con_ub[r]);
      s += b;
    }
    for (expr* e = obj ? ac->obj_nonlin[r - ac->n_con] : ac->con_nonlin[r]; e;
         e = e->next)
      s += " " + test::varvals(e);
    s += "\n";
  }
  Snprintf(b, sizeof b, "%lld %lld nonzeros\n", (long long)ac->jac_nonzeros,
           (long long)ac->grad_nonzeros);
  return s + b;
}

// A variable that gains or loses a member moves the columns after it: the
// collection moves their lists and keeps the rows not generated again
// (those that use only moved columns, nonlinear parts included), and the
// record is the one a fresh session with the final data collects.
TEST_F(KeepCurrent, MovedColumnsKeepTheirRows) {
  const std::string model =
      "set A default {1, 2}; param u {A} default 3;\n"
      "var v {i in A} >= 0, <= u[i]; var y {1..2} <= 4;\n"
      "s.t. g {j in 1..2}: y[j]^2 + j * y[j] + x[3] >= j;\n"
      "s.t. h: sum {i in A} i * v[i] + y[2] <= 9;\n";
  test::outcome o = typed(model + "expand g[1];\n");
  // Columns x[1..3], v[1..2], y[1..2] (5, 6); rows r[1..3], g[1..2] (3,
  // 4), h, o.
  ASSERT_NE(term(5, 3), nullptr);
  term(5, 3)->coef = 0.5;  // g[1]'s term in y[1]
  struct step {
    const char* change;
    const char* data;  // of a fresh session
    int32_t y1;        // y[1]'s column after it
  };
  for (step s : {step{"let A := {1, 2, 3};", "{1, 2, 3}", 6},
                 step{"let A := {2};", "{2}", 4}}) {
    SCOPED_TRACE(s.change);
    o = typed(std::string(s.change) + " expand g[1], h;\n");
    EXPECT_EQ(generated(o.err), "u v h ");  // g and r are kept
    ASSERT_NE(term(s.y1, 3), nullptr);
    EXPECT_EQ(term(s.y1, 3)->coef, 0.5);
    term(s.y1, 3)->coef = 1;
    std::string incremental = collected_text(cur_ac);
    term(s.y1, 3)->coef = 0.5;
    // A fresh session with the final data.
    leave();
    begin("/tmp/vexo_xcg_XXXXXX");
    typed(
        "param c {1..3} default 1; param b {1..3} default 5;\n"
        "var x {1..3} >= 0;\n"
        "minimize o: sum {i in 1..3} c[i] * x[i];\n"
        "s.t. r {i in 1..3}: x[i] + (if i > 1 then x[i-1]) <= b[i];\n" +
        model + "let A := " + s.data + "; expand g[1];\n");
    EXPECT_EQ(collected_text(cur_ac), incremental);
    // The fresh session goes on with the next step's change.
    term(s.y1, 3)->coef = 0.5;
  }
}

// Changing only which members belong to the problem lowers the state to
// 1 and keeps the declarations' generation: the membership alone is built
// again, and the rows collected for it.
TEST_F(KeepCurrent, AMembershipChangeKeepsTheGeneration) {
  test::outcome o = typed(
      "set S default {1, 3}; problem p: x, o, {i in S} r[i];\n"
      "expand r;\n");
  EXPECT_EQ(o.out,
            "subject to r[1]:\n\tx[1] <= 5;\n\n"
            "subject to r[3]:\n\tx[2] + x[3] <= 5;\n\n");
  auto* r = static_cast<convar*>(Symbol0("r")->binding);
  int32_t seq = r->gen.gen_seq;
  o = typed("let S := {2};\n");
  EXPECT_EQ(trans_state, 1);
  EXPECT_NE(need_prob, 0);
  o = typed("expand r;\n");
  EXPECT_EQ(generated(o.err), "p ");  // r is not generated again
  EXPECT_EQ(o.out, "subject to r[2]:\n\tx[1] + x[2] <= 5;\n\n");
  EXPECT_EQ(r->gen.gen_seq, seq);
  EXPECT_EQ(cur_ac->n_con, 1);
}

}  // namespace
}  // namespace vexo
