// Shared expressions: equal subexpressions of parsed declarations meet in
// one node with one record; numbers share by value, iterated operators and
// random-valued calls never do.
#include "compiler/eexpr.h"

#include <gtest/gtest.h>

#include <cmath>

#include "compiler/compile.h"
#include "compiler/massage.h"
#include "frontend/model_fixture.h"
#include "support/machine.h"

namespace vexo {
namespace {

using Shared = test::ModelTest;

TEST_F(Shared, EqualSumsShareOneRecordUsedTwice) {
  model("param x; param y; param q = (x + y) * (x + y);\n");
  eexpr* r = massage(&def("q"));
  expr* q = def("q");
  ASSERT_EQ(opcode(q), OPMULT);
  ASSERT_EQ(opcode(q->L.e), OPPLUS);
  EXPECT_EQ(q->L.e, q->R.e);
  eexpr* sum = ee_of(q->L.e);
  ASSERT_NE(sum, nullptr);
  EXPECT_EQ(sum->nuse, 2u);
  EXPECT_EQ(r->e, q);
  // Both refer to the same references to x and y, at level 0.
  EXPECT_EQ(sum->levbits, 1u);
  EXPECT_EQ(sum->con, &con[0]);
}

TEST_F(Shared, WithoutCommonSubexpressionsNothingIsShared) {
  model("param x; param y; param q = (x + y) * (x + y);\n");
  no_common = 1;
  massage(&def("q"));
  expr* q = def("q");
  EXPECT_NE(q->L.e, q->R.e);
  EXPECT_EQ(ee_of(q->L.e)->nuse, 1u);
}

TEST_F(Shared, SharingSurvivesTheTableGrowing) {
  // Enough different sums to double the table twice, each written twice:
  // every pair meets in one node, found again after the moves.
  const int n = 12000;
  std::string text = "param x;\n";
  for (int k = 0; k < n; ++k)
    text += "param q" + std::to_string(k) + " = (x + " + std::to_string(k) +
            ") * (x + " + std::to_string(k) + ");\n";
  model(text);
  uint32_t buckets = eeh_mask + 1;
  int shared = 0;
  for (int k = 0; k < n; ++k) {
    std::string name = "q" + std::to_string(k);
    massage(&def(name.c_str()));
    expr* q = def(name.c_str());
    shared += opcode(q) == OPMULT && q->L.e == q->R.e;
  }
  EXPECT_EQ(shared, n);
  EXPECT_GE(eeh_mask + 1, 4 * buckets);
  EXPECT_LE(eeh_count, 2 * (eeh_mask + 1));
  // A sum made before the table grew is still found.
  model("param r = (x + 0) * (x + 1);\n");
  massage(&def("r"));
  EXPECT_EQ(def("r")->L.e, def("q0")->L.e);
  EXPECT_EQ(def("r")->R.e, def("q1")->L.e);
}

TEST_F(Shared, NumbersShareByValue) {
  struct {
    const char *name, *a, *b;
    bool shared;
  } cases[] = {
      {"q1", "1e0", "1.0", true},
      {"q2", "2.5", "25e-1", true},
      {"q3", "0.0", "-0.0", false},
      {"q4", "1", "2", false},
  };
  std::string text = "param x;\n";
  for (auto& c : cases)
    text += std::string("param ") + c.name + " = x * " + c.a + " + x * (" +
            c.b + ");\n";
  model(text);
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    massage(&def(c.name));
    expr* q = def(c.name);
    ASSERT_EQ(opcode(q), OPPLUS);
    expr* m1 = q->L.e->R.e;
    expr* m2 = q->R.e->R.e;
    ASSERT_EQ(opcode(m1), OPNUM);
    ASSERT_EQ(opcode(m2), OPNUM);
    EXPECT_EQ(m1 == m2, c.shared);
    // The products share exactly when their factors do.
    EXPECT_EQ(q->L.e == q->R.e, c.shared);
  }
}

TEST_F(Shared, NaNNeverEqualsItself) {
  expr* a = new_num(qNaN);
  expr* b = new_num(qNaN);
  eexpr* ra = massage(&a);
  eexpr* rb = massage(&b);
  EXPECT_NE(a, b);
  EXPECT_NE(ra, rb);
  EXPECT_EQ(ra->hash, rb->hash);
  EXPECT_FALSE(same_expr(a, a));
}

TEST_F(Shared, IteratedSumsAreNeverShared) {
  model(
      "set I; param a{I};\n"
      "param q = (sum {i in I} a[i]) + (sum {i in I} a[i]);\n");
  massage(&def("q"));
  expr* q = def("q");
  ASSERT_EQ(opcode(q->L.e), SUM);
  ASSERT_EQ(opcode(q->R.e), SUM);
  EXPECT_NE(q->L.e, q->R.e);
  EXPECT_FALSE(ee_of(q->L.e)->hashed());
  // The body's subscripted reference depends on the level of i, which is
  // closed again: the sum itself lies at level 0.
  EXPECT_EQ(ee_of(q->L.e)->con, &con[0]);
  EXPECT_EQ(curcon, 0);
}

TEST_F(Shared, RandomValuedCallsAreNeverShared) {
  model(
      "function r random; function g;\n"
      "param q = r(1) + r(1); param p = g(1) + g(1);\n");
  // The calls name their function records.
  for (const char* n : {"q", "p"}) {
    expr* e = def(n);
    for (expr* c : {e->L.e, e->R.e}) {
      ASSERT_EQ(opcode(c), OPFUNC);
      EXPECT_EQ(c->L.x, Symbol(*n == 'q' ? "r" : "g", 0)->binding);
    }
  }
  massage(&def("q"));
  massage(&def("p"));
  EXPECT_NE(def("q")->L.e, def("q")->R.e);
  EXPECT_EQ(randcalls, 2);
  EXPECT_EQ(def("p")->L.e, def("p")->R.e);
}

TEST_F(Shared, SubscriptedReferencesShareThroughTheirSubscripts) {
  model(
      "set I; param a{I}; param b{I};\n"
      "param q{i in I} = a[i] * b[i] + a[i] * b[i];\n");
  set_spec* ix = decl("q")->indexing;
  ss_setup(ix, decl("q"));
  ++massage(&def("q"))->nuse;  // the definition's own use
  expr* q = def("q");
  EXPECT_EQ(q->L.e, q->R.e);
  eexpr* prod = ee_of(q->L.e);
  EXPECT_EQ(prod->nuse, 2u);
  EXPECT_EQ(prod->con, &con[1]);
  // a[i] and b[i] appear twice in the text but once in the tree.
  EXPECT_EQ(ee_of(q->L.e->L.e)->nuse, 1u);
  ss_teardown(ix);
  EXPECT_EQ(curcon, 0);
}

TEST_F(Shared, EqualRangesShareOneSet) {
  model(
      "param n; param m;\n"
      "param q = card(1..n) + card(1..n) + card(1..m);\n");
  massage(&def("q"));
  expr* q = def("q");
  expr* c1 = q->L.e->L.e;
  expr* c2 = q->L.e->R.e;
  expr* c3 = q->R.e;
  ASSERT_EQ(opcode(c1), OPCARD);
  EXPECT_EQ(c1, c2);
  EXPECT_NE(c1->L.s, c3->L.s);
  EXPECT_NE(c1->L.s->ee, nullptr);
}

TEST_F(Shared, DestroyedSetLeavesTheTable) {
  // Bound and stride differ: equal constants would be one shared node,
  // which the set's release would free twice.
  model("param n; param q = card(2..n);\n");
  massage(&def("q"));
  set* s = def("q")->L.s;
  eexpr* r = s->ee;
  ASSERT_NE(r, nullptr);
  ASSERT_TRUE(r->hashed());
  s->refcnt = 1;
  sdelete(s);
  EXPECT_FALSE(r->hashed());
  EXPECT_EQ(r->s, nullptr);
}

}  // namespace
}  // namespace vexo
