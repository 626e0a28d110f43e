// Opcode generation seen through evaluation: how often each part of a
// compiled expression is computed, what STORE and REWRITE leave in the
// nodes, and what the clean-up hooks give back.
#include "compiler/opgen.h"

#include <gtest/gtest.h>

#include "compiler/compile_fixture.h"
#include "session/execute.h"
#include "support/text.h"

namespace vexo {
namespace {

using Opgen = test::CompileTest;

TEST_F(Opgen, InvariantFactorIsComputedOncePerOuterMember) {
  model(
      "param a{1..1000}; param b{1..1000};\n"
      "param q = sum {i in 1..1000, j in 1..1000} a[i] * b[j];\n");
  double v = eval_def("q", nullptr);
  EXPECT_EQ(count("a"), 1000);
  EXPECT_EQ(count("b"), 1000000);
  EXPECT_DOUBLE_EQ(v, 500500.0 * 500500.0);
  // a[i] became a value node that a STORE among the first entry's on-bind
  // hooks fills.
  expr* prod = def("q")->R.e;
  EXPECT_EQ(opcode(prod->L.e), OP_VALUE0 + RK_REAL);
  Index* outer = static_cast<set_spec*>(def("q")->L.s)->first;
  ASSERT_NE(outer->onbind, nullptr);
  EXPECT_EQ(outer->onbind->R.e, prod->L.e);
  EXPECT_EQ(outer->next->onbind, nullptr);
}

TEST_F(Opgen, DeclaredSetsAndAnOuterScalar) {
  model(
      "set I = 1..30; set J = 1..40; param a{I}; param b{J}; param c;\n"
      "param q = sum {i in I, j in J} a[i] * b[j] * c;\n");
  weigh("c", 2);
  double v = eval_def("q", nullptr);
  EXPECT_EQ(count("a"), 30);
  EXPECT_EQ(count("b"), 1200);
  // The scalar is computed once for the whole sum.
  EXPECT_EQ(count("c"), 1);
  EXPECT_DOUBLE_EQ(v, 465.0 * 820.0 * 2);
}

TEST_F(Opgen, ConditionIsDecidedOncePerOuterMember) {
  model(
      "param c{1..3}; param d{1..4}; param e{1..4};\n"
      "param q = sum {i in 1..3, j in 1..4}\n"
      "  if c[i] > 1.5 then d[j] else e[j];\n");
  double v = eval_def("q", nullptr);
  EXPECT_EQ(opcode(def("q")->R.e), OP_REWRITE0 + RK_IF);
  EXPECT_EQ(count("c"), 3);
  // i = 1 takes the else branch, i = 2 and 3 the then branch.
  EXPECT_EQ(count("e"), 4);
  EXPECT_EQ(count("d"), 8);
  EXPECT_DOUBLE_EQ(v, 30);
}

TEST_F(Opgen, UntakenBranchIsNeverComputed) {
  model("param q = sum {i in 0..2, j in 1..2} if i > 0 then (1 / i) * j;\n");
  double v = 0;
  auto r = test::run_captured([&] { v = eval_def("q", nullptr); });
  EXPECT_FALSE(r.aborted) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_DOUBLE_EQ(v, 4.5);
}

TEST_F(Opgen, UnconditionalInvariantIsStoredEagerly) {
  // Without the test the quotient is needed for every member of i, 0
  // included: its STORE reports the division when i takes 0.
  model("param q = sum {i in 0..2, j in 1..2} (1 / i) * j;\n");
  stepping = 1;  // (the session goes on)
  auto r = test::run_captured([&] { eval_def("q", nullptr); });
  stepping = 0;
  EXPECT_TRUE(r.aborted);
  EXPECT_NE(r.err.find("can't compute 1/0"), std::string::npos) << r.err;
}

TEST_F(Opgen, ConjunctsAreTestedAtTheirOwnLevels) {
  model(
      "param p; param c{1..4}; param d{1..5};\n"
      "param q = sum {i in 1..4, j in 1..5: p > 0 and c[i] > 2 and d[j] < 4}\n"
      "  1;\n");
  double v = eval_def("q", nullptr);
  set_spec* ss = static_cast<set_spec*>(def("q")->L.s);
  ASSERT_NE(ss->precond, nullptr);
  ASSERT_NE(ss->first->cond, nullptr);
  ASSERT_NE(ss->first->next->cond, nullptr);
  EXPECT_EQ(count("p"), 1);
  EXPECT_EQ(count("c"), 4);
  // Only i = 3 and 4 reach the second entry.
  EXPECT_EQ(count("d"), 10);
  EXPECT_DOUBLE_EQ(v, 6);
}

TEST_F(Opgen, StoresOfAConditionalBodyRunForAcceptedTuples) {
  model(
      "param b{1..4}; param d{1..4};\n"
      "param q = sum {i in 1..3, j in 1..4: d[j] > 1}\n"
      "  (b[j] * b[j] + b[j] * b[j]);\n");
  double v = eval_def("q", nullptr);
  Index* inner = static_cast<set_spec*>(def("q")->L.s)->first->next;
  EXPECT_NE(inner->complete, nullptr);
  EXPECT_EQ(inner->onbind, nullptr);
  EXPECT_EQ(count("d"), 12);
  EXPECT_EQ(count("b"), 9);
  EXPECT_DOUBLE_EQ(v, 3 * 2 * (4 + 9 + 16));
}

TEST_F(Opgen, SingleUseIsOnlyBound) {
  model("param a; param q = a + 1;\n");
  eval_def("q", nullptr);
  EXPECT_EQ(opcode(def("q")), OPPLUS);
  EXPECT_EQ(def("q")->op, functab[OPPLUS]);
  EXPECT_EQ(m_mandrew + m_optrew, 0);
}

// A string REWRITE: the first read computes and keeps the string; every
// read hands out one reference of its own; the restore drops the kept one.
TEST_F(Opgen, StringRewriteCountsItsReferences) {
  cstr* s = new_cstring("abc");
  expr* x = new_str(s);
  eexpr* r = new eexpr;
  r->eexpr_init(x, 1, 0.0);
  r->nuse = 2;
  Index* ix = new Index(nullptr, nullptr, nullptr, 0);
  opgen(r, ix, 0);
  EXPECT_EQ(opcode(x), OP_REWRITE0 + RK_STR);
  EXPECT_EQ(s->refcnt, 1u);
  TVA* t = new_tva();
  cstr* a = eval_str(x, t);
  cstr* b = eval_str(x, t);
  EXPECT_EQ(a, s);
  EXPECT_EQ(b, s);
  EXPECT_EQ(s->refcnt, 4u);  // the copy's, the literal's, a's and b's
  release_cstr(a);
  release_cstr(b);
  ASSERT_NE(ix->cleanup, nullptr);
  run_cleanup(ix);
  EXPECT_EQ(s->refcnt, 1u);
  EXPECT_EQ(x->op, f_OP_REWRITE_c);
  EXPECT_EQ(ix->cleanup, nullptr);
  del_tva(t);
}

// A numeric REWRITE is a literal until its entry moves on.
TEST_F(Opgen, RestoreArmsTheRewriteAgain) {
  model("param a; param q = a * a;\n");
  weigh("a", 3);
  compile_start();
  // The product's two uses of a make a a level-0 REWRITE.
  mri(&def("q"), 1);
  TVA* t = compile_end(nullptr);
  test::rebind(def("q"));
  expr* a = def("q")->L.e;
  ASSERT_EQ(opcode(a), OP_REWRITE0 + RK_REAL);
  EXPECT_DOUBLE_EQ(eval_num(def("q"), t), 9);
  EXPECT_EQ(count("a"), 1);
  EXPECT_EQ(a->op, f_OPNUM);
  run_cleanup(lev0);
  EXPECT_EQ(a->op, f_OP_REWRITE_r);
  EXPECT_DOUBLE_EQ(eval_num(def("q"), t), 9);
  EXPECT_EQ(count("a"), 2);
  del_tva(t);
}

// A set compiled inside a level is forgotten when its level moves on: it
// names the level's entry as its error context and carries the CLEARSET
// node that generation files among the entry's clean-up hooks.
TEST_F(Opgen, InnerSetIsClearedWithItsLevel) {
  model("param q = sum {i in 1..3} card(1..i);\n");
  xrecomp x{};
  compile_start();
  mri(&def("q"), 1);
  TVA* t = compile_end(&x);
  set* inner = def("q")->R.e->L.s;
  Index* ix = static_cast<set_spec*>(def("q")->L.s)->first;
  EXPECT_EQ(inner->errctx, ix);
  ASSERT_NE(inner->privnode, nullptr);
  EXPECT_EQ(opcode(inner->privnode), OP_CLEARSET);
  EXPECT_EQ(inner->privnode->L.s, inner);
  // As generation would: members, the node filed, the level moves on.
  inner->nmem = 0;
  inner->privnode->next = ix->cleanup;
  ix->cleanup = inner->privnode;
  run_cleanup(ix);
  EXPECT_EQ(inner->nmem, -1);
  // Compiled again, the set gets a fresh node.
  undo(&x, t);
  compile_start();
  mri(&def("q"), 1);
  t = compile_end(&x);
  EXPECT_EQ(def("q")->R.e->L.s->errctx, ix);
  undo(&x, t);
}

TEST_F(Opgen, ImpossibleUseCountIsABug) {
  expr* x = new_num(2);
  eexpr* r = new eexpr;
  r->eexpr_init(x, 1, 0.0);
  auto out = test::run_captured([&] { opgen(r, lev0, 0); });
  EXPECT_TRUE(out.exited);
  EXPECT_EQ(out.code, 2);
  EXPECT_NE(out.err.find("Bug: invalid refct 0 in opgen"), std::string::npos);
}

}  // namespace
}  // namespace vexo
