// Recompilation records: a compilation undone gives back the parsed trees
// node for node; compiled again it gives the same code; the pieces of the
// record undo what they logged, once.
#include "compiler/recomp.h"

#include <gtest/gtest.h>

#include "compiler/compile_fixture.h"
#include "frontend/keywords.h"

namespace vexo {
namespace {

using Undo = test::CompileTest;

TEST_F(Undo, UndoneCompilationGivesTheParsedTreeBack) {
  model(
      "param n; param a{1..3}; param b; param c{1..3};\n"
      "param q = sum {i in 1..n, j in 1..n: b > 0 and a[i] > 1 and c[j] < 2}\n"
      "    (a[i] * b + a[i] * b) * j * max(a[i], b, 1 + b)\n"
      "  + (if b > 0 then b * b else -b) + card(1..n) + card(1..n);\n");
  auto parsed = test::described(def("q"), true, false);
  xrecomp x{};
  compile_start();
  mri(&def("q"), 1);
  TVA* t = compile_end(&x);
  EXPECT_NE(x.retained, nullptr);
  EXPECT_NE(x.saved, nullptr);
  EXPECT_NE(x.lev0rew, nullptr);
  EXPECT_NE(test::described(def("q"), true, false), parsed);
  undo(&x, t);
  EXPECT_EQ(test::described(def("q"), true, false), parsed);
}

TEST_F(Undo, RecompiledAfterUndoIsTheSameCode) {
  model(
      "param a{1..4}; param b; param d{1..3};\n"
      "param q = sum {i in 1..4, j in 1..3: d[j] > 1}\n"
      "  (a[i] * b * j + a[i] * b * j) + b * b;\n");
  weigh("b", 0.5);
  xrecomp x{};
  compile_start();
  mri(&def("q"), 1);
  TVA* t = compile_end(&x);
  auto first = test::described(def("q"), false, true);
  test::rebind(def("q"));
  double v1 = eval_num(def("q"), t);
  long counted = count("a");
  undo(&x, t);

  compile_start();
  mri(&def("q"), 1);
  t = compile_end(&x);
  EXPECT_EQ(test::described(def("q"), false, true), first);
  test::rebind(def("q"));
  EXPECT_DOUBLE_EQ(eval_num(def("q"), t), v1);
  EXPECT_EQ(count("a"), 2 * counted);
  EXPECT_DOUBLE_EQ(v1, 2 * (10 * 0.5 * 5) + 0.25);
  undo(&x, t);
}

TEST_F(Undo, SecondResetFindsNothing) {
  model("param a{1..3}; param q = sum {i in 1..3, j in 1..3} a[i] * j;\n");
  xrecomp x{};
  compile_start();
  mri(&def("q"), 1);
  undo(&x, compile_end(&x));
  auto after = test::described(def("q"), true, false);
  xrecomp cleared{};
  cleared.instamp = x.instamp;
  EXPECT_EQ(std::memcmp(&x, &cleared, sizeof x), 0);
  es_reset(&x);
  EXPECT_EQ(std::memcmp(&x, &cleared, sizeof x), 0);
  EXPECT_EQ(test::described(def("q"), true, false), after);
}

// A set that gave way to an equal one comes back without a record, and
// the one that replaced it loses the reference it gained.
TEST_F(Undo, ReplacedSetComesBack) {
  model("param n; param q = card(1..n) + card(1..n);\n");
  set* first = def("q")->L.e->L.s;
  set* second = def("q")->R.e->L.s;
  ASSERT_NE(first, second);
  xrecomp x{};
  compile_start();
  mri(&def("q"), 1);
  TVA* t = compile_end(&x);
  EXPECT_EQ(def("q")->L.e, def("q")->R.e);  // one card node serves both
  int32_t refs = first->refcnt;
  undo(&x, t);
  EXPECT_EQ(def("q")->L.e->L.s, first);
  EXPECT_EQ(def("q")->R.e->L.s, second);
  EXPECT_EQ(second->ee, nullptr);
  EXPECT_EQ(first->refcnt, refs - 1);
}

// A temporary undo of level-0 rewrites turns them into their computations;
// putting them back returns every node to the state it had, literal or
// not.
TEST_F(Undo, TemporaryUndoOfLevelZeroRewritesIsPutBackExactly) {
  model("param b; param c; param q = (b + c) * (b + c) + b * c * (b * c);\n");
  xrecomp x{};
  compile_start();
  mri(&def("q"), 1);
  TVA* t = compile_end(&x);
  ASSERT_GE(x.nlev0rew, 2);
  struct snap {
    uint32_t opword;
    efunc op;
    operand l, r;
  };
  auto take = [&] {
    std::vector<snap> v;
    for (int k = 0; k < x.nlev0rew; ++k) {
      expr* n = x.lev0rew[k];
      v.push_back({n->opword, n->op, n->L, n->R});
    }
    return v;
  };
  auto same = [](const std::vector<snap>& a, const std::vector<snap>& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
      if (a[k].opword != b[k].opword || a[k].op != b[k].op ||
          a[k].l.u != b[k].l.u || a[k].r.u != b[k].r.u)
        return false;
    return true;
  };
  std::vector<expr*> nodes(x.lev0rew, x.lev0rew + x.nlev0rew);
  auto armed = take();
  rew_reset(x.nlev0rew, x.lev0rew, nullptr);
  for (expr* n : nodes) {
    EXPECT_LT(opcode(n), OP_VALUE0);
    EXPECT_EQ(n->op, nullptr);
  }
  rew_redo(x.nlev0rew, x.lev0rew);
  EXPECT_TRUE(same(take(), armed));
  undo(&x, t);
}

TEST_F(Undo, RetainGrowsOneClassAtATime) {
  compile_start();
  expr* slots[7];
  for (int k = 0; k < 7; ++k) {
    slots[k] = nullptr;
    Retain(&slots[k], nullptr, Display);
  }
  ASSERT_NE(retained, nullptr);
  EXPECT_EQ(retained->n, 7u);
  EXPECT_EQ(retained->hcl, 5u);  // 2 entries in class 3, 5 in 4, 10 in 5
  EXPECT_EQ(retained->ent[6].where, &slots[6]);
  drop_retained(retained);
  retained = nullptr;
}

TEST_F(Undo, DataChangeMarksOnlyDependants) {
  model(
      "set I = 1..3; set J = 1..2; param a{I};\n"
      "param q = sum {i in I} a[i]; param r = sum {j in J} 2 * j;\n"
      "param s = 4;\n");
  compile();
  xnode* q = decl("q");
  xnode* r = decl("r");
  xnode* s = decl("s");
  for (xnode* d : {q, r, s}) {
    EXPECT_EQ(d->xr.stamp, -2.0);
    d->xr.stamp = 3.0;  // generated
  }
  EXPECT_NE(q->xr.sud, nullptr);
  EXPECT_EQ(s->xr.sud, nullptr);
  sud_notify(decl<setdcl>("I"));
  EXPECT_EQ(q->xr.instamp, 2.0);
  EXPECT_EQ(q->xr.stamp, 1.0);
  EXPECT_EQ(q->xr.sud, nullptr);
  EXPECT_EQ(r->xr.stamp, 3.0);
  EXPECT_NE(r->xr.sud, nullptr);
  EXPECT_EQ(s->xr.stamp, 3.0);
  // A set nobody depends on any more changes nothing.
  sud_notify(decl<setdcl>("I"));
  EXPECT_EQ(q->xr.stamp, 1.0);
  sud_del(r);
  EXPECT_EQ(r->xr.sud, nullptr);
  sud_notify(decl<setdcl>("J"));
  EXPECT_EQ(r->xr.stamp, 3.0);
}

}  // namespace
}  // namespace vexo
