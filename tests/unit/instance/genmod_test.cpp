// Incremental generation: commands bring what they cite up to date, a
// declaration whose inputs did not change is not generated again, a change
// regenerates what depends on it, and data changed member by member have
// only those members checked.  The model, its data and the commands are
// read through the real parser; changes that `let` will make are made here
// the way it makes them (the value stored, ts_update, note_change).
#include "instance/genmod.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "compiler/compdecl.h"
#include "data/values.h"
#include "eval/set.h"
#include "frontend/frontend_fixture.h"
#include "frontend/condcl.h"
#include "frontend/expr.h"
#include "frontend/paramdcl.h"
#include "frontend/parse.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/members.h"
#include "instance/stamps.h"
#include "instance/sufdecl.h"
#include "instance/sufstore.h"
#include "instance/xcg.h"
#include "session/loop.h"
#include "session/options_fixture.h"
#include "session/opttable.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/symbol.h"
#include "test_util.h"
#include "instance/instance_fixture.h"

namespace vexo {
namespace {

class Gen : public test::ParserTest {
 protected:
  void SetUp() override { begin("/tmp/vexo_genmod_XXXXXX"); }
  void TearDown() override {
    gentimes = 0;
    ParserTest::TearDown();
  }

  // Reads statements (model, data, commands) as typed at a terminal: an
  // error ends the command, the session goes on.  Returns what they wrote.
  test::outcome run(const std::string& text) { return typed(text); }

  static param* par(const char* name) {
    return static_cast<param*>(Symbol0(name)->binding);
  }
  // The ordinal of p's member with the one-number subscript i.
  static int32_t ord(param* p, double i) {
    symbol* t[1] = {Number(i)};
    return int32_t(set_lookup(p->dindex, t));
  }
  // Member i of p gets value v, as `let` stores it.
  static void change(param* p, double i, double v) {
    int32_t k = ord(p, i);
    static_cast<double*>(p->vals)[k] = v;
    ts_update(p, 0);
    note_change(p, k);
  }
  // Scalar p gets value v, as `let` stores it.
  static void change(param* p, double v) {
    static_cast<double*>(p->vals)[0] = v;
    ts_update(p, 0);
  }
  // The declarations the generation report (option gentimes) lists.
  static std::string generated(const std::string& err) {
    return test::generated_decls(err);
  }
};

TEST_F(Gen, CurrentDeclarationsAreNotGeneratedAgain) {
  gentimes = 1;  // a line per generated declaration
  test::outcome o = run(
      "param n; param a {1..n} >= 0;\n"
      "param s = sum {i in 1..n} a[i];\n"
      "param t {i in 1..n} := 2 * a[i];\n"
      "param u = s + t[n];\n"
      "param m = 2 * n;\n"
      "data; param n := 3; param a := 1 1 2 2 3 3;\n"
      "model; print u, m;\n");
  EXPECT_EQ(o.out, "12 6\n");
  EXPECT_EQ(generated(o.err), "n a s t u m ");
  double gen_u = par("u")->xr.stamp;
  // Nothing changed: the same values, nothing generated, no report.
  o = run("print u, m; print u;\n");
  EXPECT_EQ(o.out, "12 6\n12\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(par("u")->xr.stamp, gen_u);

  // A member of a changes: what depends on it is generated again, m
  // (which depends only on n) is not.
  change(par("a"), 2, 5);
  o = run("print u, m;\n");
  EXPECT_EQ(o.out, "15 6\n");
  EXPECT_EQ(generated(o.err), "s t u ");
  o = run("print m; print t[2];\n");
  EXPECT_EQ(o.out, "6\n10\n");
  EXPECT_EQ(generated(o.err), "");
}

TEST_F(Gen, ALetCompilesNothingAndRegeneratesOnlyItsDependants) {
  // Many declarations that no command uses, compiled with the rest.
  gentimes = 1;  // a line per generated declaration
  std::string text = "param s default 0;\n";
  for (int k = 0; k < 40; ++k)
    text += "param p" + std::to_string(k) + " = " + std::to_string(k) + ";\n";
  text += "param t = 2 * s; param u = s + 1;\n";
  test::outcome o = run(text + "print s, t;\n");
  EXPECT_EQ(o.out, "0 0\n");
  EXPECT_EQ(generated(o.err), "s t ");
  // Changed data alone compile nothing, also in a loop.
  int64_t before = dcl_compiles;
  o = run("let s := 5; print s;\n");
  EXPECT_EQ(o.out, "5\n");
  o = run("for {i in 1..50} let s := s + i; print s, p39;\n");
  EXPECT_EQ(o.out, "1280 39\n");
  EXPECT_EQ(dcl_compiles - before, 0);
  // The dependants follow at their next use, and no other declaration is
  // compiled again.
  o = run("print t, u;\n");
  EXPECT_EQ(o.out, "2560 1281\n");
  EXPECT_EQ(generated(o.err), "t u ");
  EXPECT_EQ(dcl_compiles - before, 2);
}

TEST_F(Gen, LoopIntegersAreInternedOnlyWhenTheBodyKeepsThem) {
  run("param s default 0;\n");
  uint32_t before = numhash.count;
  // Read as numbers or printed, also when a command names the dummy more
  // than once: a thousand passes add no number.
  test::outcome o = run(
      "for {i in 5001..6000} {\n"
      "  let s := s + i * i - i;\n"
      "  if i = 6000 then printf \"%g %d %s\\n\", i / 2, i, i;\n"
      "  if i >= 5999 then print i, i + 1;\n"
      "}\n");
  EXPECT_EQ(o.out, "5999 6000\n3000 6000 6000\n6000 6001\n");
  EXPECT_EQ(numhash.count, before);
  // As members or text they are the interned numbers.
  o = run("for {i in 5001..5003} print i, i in {5002};\n");
  EXPECT_EQ(o.out, "5001 0\n5002 1\n5003 0\n");
  EXPECT_EQ(numhash.count, before + 3);
  Number(5001);  // the loop's own, already in the table
  EXPECT_EQ(numhash.count, before + 3);
}

TEST_F(Gen, OnlyTheChangedMembersAreCheckedAgain) {
  test::outcome o = run(
      "param a {1..4} >= 0; param s = sum {i in 1..4} a[i];\n"
      "data; param a := 1 1 2 2 3 3 4 4;\n"
      "model; print s;\n");
  EXPECT_EQ(o.out, "10\n");
  param* a = par("a");
  // A value put in without the change being noted is not checked again
  // (only a change through note_change is): the noted member passes.
  static_cast<double*>(a->vals)[ord(a, 1)] = -1;
  change(a, 3, 0);
  EXPECT_NE(a->pending, nullptr);
  o = run("print s;\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "5\n");
  EXPECT_EQ(a->pending, nullptr);
  // A noted member that fails ends the command.  The param is then
  // generated again as a whole by the next command: every member is
  // checked, the first failing one reported.
  change(a, 4, -2);
  o = run("print s;\n");
  EXPECT_EQ(o.out, "");
  EXPECT_NE(o.err.find("failed check: param a[4] = -2"), std::string::npos)
      << o.err;
  o = run("print s;\n");
  EXPECT_EQ(o.out, "");
  EXPECT_NE(o.err.find("failed check: param a[1] = -1"), std::string::npos) << o.out
      << o.err;
}

TEST_F(Gen, DefinedSetsFollowTheirInputs) {
  test::outcome o = run(
      "param n; set S ordered = 1..n;\n"
      "set R ordered by reversed S = S diff {1};\n"
      "set E {i in 1..2} within S = i..n; param m = card(E[2]);\n"
      "data; param n := 3;\n"
      "model; print card(S), first(R), m;\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "3 3 2\n");
  change(par("n"), 5);
  o = run("print card(S), first(R), m;\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "5 5 4\n");
}

TEST_F(Gen, AChangedDefinedValueStandsUntilItsInputsChange) {
  test::outcome o = run(
      "param n := 3; param k >= 0 := n; param k2 = 2 * k;\n"
      "print k, k2;\n");
  EXPECT_EQ(o.out, "3 6\n");
  param* k = par("k");
  // As `let` changes it: its value is checked and what depends on it is
  // generated again; it is not computed again itself.
  change(k, 5);
  o = run("print k, k2;\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "5 10\n");
  change(k, -1);
  o = run("print k2;\n");
  EXPECT_EQ(o.out, "");
  EXPECT_NE(o.err.find("failed check: param k = -1"), std::string::npos)
      << o.err;
  // A change of its input computes it again.
  change(par("n"), 4);
  o = run("print k, k2;\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "4 8\n");
}

TEST_F(Gen, SubscriptsLeftOutsideTheIndexingAreDiscarded) {
  test::outcome o = run(
      "param n; param a {1..n}; param s = sum {i in 1..n} a[i];\n"
      "data; param n := 3; param a := 1 1 2 2 3 3;\n"
      "model; print s;\n");
  EXPECT_EQ(o.out, "6\n");
  change(par("n"), 2);
  o = run("print s;\n");
  EXPECT_EQ(o.out, "3\n");
  EXPECT_NE(o.err.find("invalid subscript a[3] discarded."), std::string::npos)
      << o.err;
  EXPECT_EQ(par("a")->nvals, 2);
  // Discarded for good: the indexing growing again does not bring it back.
  change(par("n"), 3);
  o = run("print card({i in 1..n: a[i] > 0});\n");
  EXPECT_NE(o.err.find("no value for a[3]"), std::string::npos) << o.err;
}

// let records a change only where a value changed: a set given the
// members it has, in their order, and a param given its value leave their
// dependants alone; a real change regenerates just those dependants.
TEST_F(Gen, LetRegeneratesOnlyWhatItChanged) {
  gentimes = 1;
  test::outcome o = run(
      "set T; set U = T union {9}; param c = card(U);\n"
      "param n; param m = 2 * n;\n"
      "data; set T := 1 2; param n := 1;\n"
      "model; print c, m;\n");
  EXPECT_EQ(o.out, "3 2\n");
  double gen_c = par("c")->xr.stamp, gen_m = par("m")->xr.stamp;
  o = run("let T := {1, 2}; let n := 1; print c, m;\n");
  EXPECT_EQ(o.out, "3 2\n");
  EXPECT_EQ(generated(o.err), "");
  EXPECT_EQ(par("c")->xr.stamp, gen_c);
  EXPECT_EQ(par("m")->xr.stamp, gen_m);
  o = run("let T := {1, 2, 3}; print c, m;\n");
  EXPECT_EQ(o.out, "4 2\n");
  EXPECT_EQ(generated(o.err), "U c ");
  EXPECT_EQ(par("m")->xr.stamp, gen_m);
  o = run("let n := 4; print c, m;\n");
  EXPECT_EQ(o.out, "4 8\n");
  EXPECT_EQ(generated(o.err), "m ");
}

// A command that cites a variable has it generated first (the reference
// itself may not be evaluable yet: only the generated members are read).
TEST_F(Gen, VariableMembersGetTheirBounds) {
  run("param p {1..3} default 2;\n"
      "var z;\n"
      "var b binary >= -3 <= 7;\n"
      "var x {i in 1..3} >= -p[i] <= p[i];\n"
      "var f = 3;\n"
      "var e {i in 1..3: i > 5};\n"
      "print z.lb, b.lb, x[1].lb, f.lb, card({i in 1..3: e[i].lb > 0});\n");
  struct {
    const char* name;
    int32_t first, count, member;
    double lb, ub;
  } cases[] = {
      {"z", 0, 1, 0, negInfinity, Infinity},
      {"b", 1, 1, 0, 0, 1},
      {"x", 2, 3, 1, -2, 2},
      {"f", 5, 1, 0, 3, 3},
      {"e", -1, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    var* v = static_cast<var*>(Symbol0(c.name)->binding);
    EXPECT_EQ(v->gen.first_col, c.first);
    ASSERT_EQ(v->gen.member_count, c.count);
    if (!c.count) continue;
    EXPECT_EQ(v->gen.lb[c.member], c.lb);
    EXPECT_EQ(v->gen.ub[c.member], c.ub);
  }
  EXPECT_EQ(cur_ac->n_var_gen, 6);
}

// An infinite bound on the wrong side abandons the command; once the data
// are repaired the variable is generated whole, on the same columns.
TEST_F(Gen, InfiniteBoundsOnTheWrongSideAreRefused) {
  run("param lo {1..3} default 0; param hi {1..3} default 1;\n"
      "var x {i in 1..3} >= lo[i] <= hi[i];\n"
      "print x[1].lb;\n");
  var* x = static_cast<var*>(Symbol0("x")->binding);
  ASSERT_EQ(x->gen.member_count, 3);
  struct {
    const char* let;
    const char* err;
  } cases[] = {
      {"let lo[2] := Infinity;", "Inappropriate use of Infinity.\n"},
      {"let hi[3] := -Infinity;", "Inappropriate use of -Infinity.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.let);
    test::outcome o = run(std::string(c.let) + " print x[1].lb;\n");
    EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
    EXPECT_EQ(x->gen.member_count, 0);
    run("let lo[2] := 0; let hi[3] := 1; print x[1].lb;\n");
    EXPECT_EQ(x->gen.member_count, 3);
    EXPECT_EQ(x->gen.first_col, 0);
    EXPECT_EQ(cur_ac->n_var_gen, 3);
  }
  // -Infinity below is no bound at all.
  run("let lo[2] := -Infinity; print x[1].lb;\n");
  ASSERT_EQ(x->gen.member_count, 3);
  EXPECT_EQ(x->gen.lb[1], negInfinity);
  EXPECT_EQ(cur_ac->n_var_gen, 3);
}

// What members carry (values given by data, suffix values, the dropped
// state) follows them by subscript when the indexing changes; a member
// removed loses it, a member added starts from the declared values.
TEST_F(Gen, MemberValuesFollowTheirSubscripts) {
  test::outcome o =
      run("set S; param c default 1; var x {S} default c; suffix s;\n"
          "data; set S := a b c; var x := b 5; param x.s := b 3;\n"
          "model; print x['a'], x['b'], x['b'].s, x['c'].s;\n");
  EXPECT_EQ(o.out, "1 5 3 0\n") << o.err;
  var* x = static_cast<var*>(Symbol0("x")->binding);
  auto member = [x](const char* sub) {
    symbol* t[1] = {Symbol0(sub)};
    return int32_t(set_lookup(x->gen.members, t));
  };
  // Same members in the same order: the suffix values stay where they are.
  int sn = suff_named(Symbol0("s"))->classnum;
  ASSERT_NE(sufval_of(x, sn), nullptr);
  const double* block = sufval_of(x, sn)->values;
  o = run("let c := 2; print x['a'], x['b'], x['b'].s;\n");
  EXPECT_EQ(o.out, "2 5 3\n") << o.err;
  EXPECT_EQ(sufval_of(x, sn)->values, block);

  // 'c' is dropped (as drop would mark it); then b moves, a and c go,
  // z comes.
  x->gen.member_status[member("c")] |= GS_DROPPED;
  x->gen.state_count = 1;
  o =
      run("let S := {'b', 'z', 'c'};\n"
          "print x['b'], x['z'], x['b'].s, x['z'].s, x['c'];\n");
  EXPECT_EQ(o.out, "5 2 3 0 2\n") << o.err;
  ASSERT_EQ(x->gen.member_count, 3);
  EXPECT_EQ(member("b"), 0);
  EXPECT_TRUE(x->gen.member_status[member("b")] & GS_HASVAL);
  EXPECT_FALSE(x->gen.member_status[member("z")] & (GS_HASVAL | GS_DROPPED));
  EXPECT_TRUE(x->gen.member_status[member("c")] & GS_DROPPED);
  EXPECT_EQ(x->gen.state_count, 1);
  // Passing one member's state is no state of the whole declaration.
  EXPECT_FALSE(x->flags & CV_ALLDROPPED);

  // Back again: 'a' starts afresh; the dropped member stays the only one.
  // b's suffix value is found again after a second move.
  o = run(
      "let S := {'a', 'b', 'c'}; print x['a'], x['b'], x['a'].s, x['b'].s;\n");
  EXPECT_EQ(o.out, "2 5 0 3\n") << o.err;
  EXPECT_EQ(x->gen.state_count, 1);
  EXPECT_FALSE(x->gen.member_status[member("a")] & GS_DROPPED);
  EXPECT_TRUE(x->gen.member_status[member("c")] & GS_DROPPED);

  // No member at all: the suffix values go.
  o = run("let S := {}; print sum {i in S} x[i];\n");
  EXPECT_EQ(x->gen.member_count, 0);
  EXPECT_EQ(x->sufs.suf_vals, nullptr);
}

// Columns stay numbered in declaration order from 0 whatever variable
// grows, empties or shrinks, as a fresh session with the final data would
// number them; a variable keeping its count keeps its columns.
TEST_F(Gen, ColumnsStayInDeclarationOrder) {
  const char* cite = "print sum {i in A} x[i] + sum {j in B} y[j] + z;\n";
  run(std::string("set A; set B; param u default 1; var x {A} <= u;\n"
                  "var y {B}; var z;\n"
                  "data; set A := 1 2; set B := a b c;\n"
                  "model; ") + cite);
  struct {
    const char* change;
    int32_t x_first, x_n, y_first, y_n, z_first;
  } cases[] = {
      {"let A := {1, 2, 3};", 0, 3, 3, 3, 6},         // an earlier one grows
      {"let u := 2;", 0, 3, 3, 3, 6},                 // same count, in place
      {"let A := {};", -1, 0, 0, 3, 3},               // one empties
      {"let B := {'a', 'b', 'c', 'd'};", -1, 0, 0, 4, 4},  // the last grows
      {"let A := {5}; let B := {'d'};", 0, 1, 1, 1, 2},
  };
  var* x = static_cast<var*>(Symbol0("x")->binding);
  var* y = static_cast<var*>(Symbol0("y")->binding);
  var* z = static_cast<var*>(Symbol0("z")->binding);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.change);
    test::outcome o = run(std::string(c.change) + cite);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(x->gen.first_col, c.x_first);
    EXPECT_EQ(x->gen.member_count, c.x_n);
    EXPECT_EQ(y->gen.first_col, c.y_first);
    EXPECT_EQ(y->gen.member_count, c.y_n);
    EXPECT_EQ(z->gen.first_col, c.z_first);
    EXPECT_EQ(cur_ac->n_var_gen, c.z_first + 1);
  }
}

// Declarations indexed alike share one member set: the variable and the
// rows over the pairs of the param before them hold its data index; a
// condition that leaves pairs out makes a set of its own.  A member that
// the param gains afterwards goes into a copy of its own.
TEST_F(Gen, DeclarationsIndexedAlikeShareTheirMembers) {
  test::outcome o = run(
      "set A := 1..3; set B := {'a', 'b'};\n"
      "param p {1..4, B} default 0;\n"
      "var x {A, B} <= p[1, 'b'];\n"
      "var y {i in A, j in B: i > 1};\n"
      "s.t. r {i in A, j in B}: x[i,j] <= p[i,j];\n"
      "s.t. q {(i,j) in {A, B}: i > 1}: y[i,j] >= i;\n"
      "data; param p: a b := 1 5 6 2 7 8 3 9 10;\n"
      "model; print x[2,'a'].ub, r[3,'b'].ub, q[3,'a'].lb, card(B);\n");
  EXPECT_EQ(o.out, "6 10 3 2\n");
  param* p = par("p");
  auto* x = static_cast<var*>(Symbol0("x")->binding);
  auto* y = static_cast<var*>(Symbol0("y")->binding);
  auto* r = static_cast<constr*>(Symbol0("r")->binding);
  auto* q = static_cast<constr*>(Symbol0("q")->binding);
  EXPECT_EQ(x->gen.members, p->dindex);
  EXPECT_EQ(r->gen.members, p->dindex);
  ASSERT_EQ(y->gen.member_count, 4);
  EXPECT_NE(y->gen.members, p->dindex);
  EXPECT_EQ(q->gen.members, y->gen.members);
  o = run("print p[4, 'a'], x[3,'b'].ub, r[1,'a'].ub;\n");
  EXPECT_EQ(o.out, "0 6 5\n");
  EXPECT_EQ(p->nvals, 7);
  EXPECT_NE(x->gen.members, p->dindex);
  EXPECT_EQ(x->gen.members->nmem, 6);
  EXPECT_EQ(r->gen.members, x->gen.members);
}

// A param computed over a data set alone takes that set's members as its
// own (no tuple stored twice), its values by position; a condition or a
// second item gives it members of its own.  New data for the set, and a
// member whose computation fails, leave it correct.
TEST_F(Gen, AParamComputedOverADataSetTakesItsMembers) {
  test::outcome o = run(
      "set E dimen 2; param w {1..3};\n"
      "param c {(i,j) in E} := 10 * i + j;\n"
      "param s {E} symbolic := 'v';\n"
      "param f {(i,j) in E: i > 1} := i;\n"
      "param g {E, 1..2} := 1;\n"
      "param h {(i,j) in E} >= 0 := w[i];\n"
      "var x {E};\n"
      "data; set E := (1,2) (3,3) (2,1); param w := 1 5 3 7;\n"
      "model; print c[2,1], c[3,3], s[3,3], f[3,3], g[1,2,2], x[1,2].ub;\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "21 33 v 3 1 Infinity\n");
  set* e = static_cast<setdcl*>(Symbol0("E")->binding)->value;
  auto* x = static_cast<var*>(Symbol0("x")->binding);
  EXPECT_EQ(par("c")->dindex, e);
  EXPECT_EQ(par("s")->dindex, e);
  EXPECT_EQ(x->gen.members, e);
  EXPECT_NE(par("f")->dindex, e);
  EXPECT_NE(par("g")->dindex, e);
  // h fails for the member whose w is missing; the command is abandoned and
  // h keeps none of its members.
  o = run("print h[1,2];\n");
  EXPECT_NE(o.err.find("no value for w[2]"), std::string::npos) << o.err;
  EXPECT_EQ(par("h")->nvals, 0);
  o = run("let w[2] := -1; print h[1,2];\n");
  EXPECT_NE(o.err.find("failed check"), std::string::npos) << o.err;
  EXPECT_EQ(par("h")->nvals, 0);
  o = run("let w[2] := 4; print h[1,2], h[2,1], h[3,3];\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "5 4 7\n");
  EXPECT_EQ(par("h")->dindex, e);
  // New members for E: the set c held stays whole until c follows.
  o = run("let E := {(5,5), (1,2)}; print c[5,5], c[1,2], card(E);\n"
          "print {(i,j) in E} (i, j, c[i,j]);\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "55 12 2\n5 5 55 1 2 12\n");
  e = static_cast<setdcl*>(Symbol0("E")->binding)->value;
  EXPECT_EQ(par("c")->dindex, e);
  EXPECT_EQ(par("c")->nvals, 2);
}

// Every row's terms after a change that moves columns are those of a
// fresh session with the final data; a row that uses only moved columns
// is renumbered, not generated again.
TEST_F(Gen, MovedColumnsAreRenumberedInPlace) {
  const char* model =
      "set A; set B; var x {A}; var y {B}; var z;\n"
      "s.t. c {j in B}: 2 * y[j] + z >= 1;\n"
      "s.t. d: sum {i in A} x[i] + sum {j in B} j * y[j] <= 10;\n"
      "s.t. e: z^2 + y[3] * y[2] <= 4;\n";
  // The linear terms of every row of c, d and e, "column:coefficient".
  auto rows = [] {
    std::string t;
    for (const char* name : {"c", "d", "e"}) {
      auto* r = static_cast<convar*>(Symbol0(name)->binding);
      for (int32_t i = 0; i < r->gen.member_count; ++i) {
        for (varref* v = r->gen.lin ? r->gen.lin[i] : nullptr; v;
             v = vnext(v)) {
          char b[64];
          Snprintf(b, sizeof b, "%d:%g ", v->index, v->coef);
          t += b;
        }
        for (expr* e = r->gen.nonlin ? r->gen.nonlin[i] : nullptr; e;
             e = e->next)
          t += test::varvals(e);
        t += "| ";
      }
    }
    return t;
  };
  gentimes = 1;
  run(std::string(model) + "data; set A := 1 2; set B := 1 2 3;\nmodel; " +
      "print 1;\n");
  test::outcome o = run("print c[1], d, e;\n");
  EXPECT_EQ(generated(o.err), "A B x y z c d e ");
  // Nothing changed: nothing generated.
  o = run("print c[1], d, e;\n");
  EXPECT_EQ(generated(o.err), "");
  for (const char* change : {"let A := {1, 2, 3, 4};", "let A := {};"}) {
    SCOPED_TRACE(change);
    o = run(std::string(change) + " print c[1], d, e;\n");
    // c and e use only columns that moved: renumbered.
    EXPECT_EQ(generated(o.err), "x d ");
  }
  std::string incremental = rows();
  // A fresh session with the final data.
  gentimes = 0;
  leave();
  begin("/tmp/vexo_genmod_XXXXXX");
  run(std::string(model) +
      "data; set A := ; set B := 1 2 3;\nmodel; print c[1], d, e;\n");
  EXPECT_EQ(rows(), incremental);
  EXPECT_EQ(incremental,
            "3:1 0:2 | 3:1 1:2 | 3:1 2:2 | 2:3 1:2 0:1 | v3 v2 v1 | ")
      << "the rows as generated";
}

// Suffix initialisations are evaluated per member: 0 stores nothing (no
// record made), a symbolic value stores the number its table gives the
// name; after a regeneration the clause's value stands.
TEST_F(Gen, SuffixInitialValuesArePerMember) {
  // The option command needs the options.
  struct options {
    options() {
      static char* no_env[] = {nullptr};
      environ = no_env;
      envinit();
    }
    ~options() { test::stop_options(); }
  } with_options;
  test::outcome o = run(
      "suffix s; suffix z; suffix t symbolic;\n"
      "option t_table '\\\n1 low\\\n2 high\\\n';\n"
      "param p {i in 1..3} default i;\n"
      "var x {i in 1..3} suffix s p[i] - 1, suffix z 0,\n"
      "  suffix t if i = 2 then 'high' else 'low';\n"
      "print x[1].s, x[3].s, x[2].t, x[3].t;\n");
  EXPECT_EQ(o.out, "0 2 high low\n") << o.err;
  var* x = static_cast<var*>(Symbol0("x")->binding);
  auto num = [](const char* name) {
    return suff_named(Symbol0(name))->classnum;
  };
  EXPECT_EQ(sufval_of(x, num("z")), nullptr);
  SufVal* t = sufval_of(x, num("t"));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->values[1], 2);
  EXPECT_EQ(t->values[2], 1);
  SufVal* s = sufval_of(x, num("s"));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->n_int, 2);
  o = run("let p[1] := 5; print x[1].s, x[2].s;\n");
  EXPECT_EQ(o.out, "4 1\n") << o.err;
}

}  // namespace
}  // namespace vexo
