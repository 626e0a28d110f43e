// Distribution of factors over linear sums, on objective bodies parsed from
// model text: the terms it leaves and the factors they carry.
#include "frontend/distrib.h"

#include <gtest/gtest.h>

#include "compiler/compile.h"
#include "compiler/context.h"
#include "compiler/eexpr.h"
#include "model_fixture.h"

namespace vexo {
namespace {

using Distrib = test::ModelTest;

// A term node of the opcode, its factor in L and what remains in R.
void expect_term(const expr* t, int opc, const expr* factor,
                 const xnode* var) {
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(opcode(t), opc);
  EXPECT_EQ(t->L.e, factor);
  if (var) {
    ASSERT_EQ(opcode(t->R.e), OPVAR164);
    EXPECT_EQ(t->R.e->L.x, var);
  }
}

TEST_F(Distrib, FactorsMultiplyIntoTheTerms) {
  model(
      "var x; var y;\n"
      "minimize o: 2 * (x + 3 * y);\n"
      "minimize o2: 2 * (3 * y);\n");
  distrib(&body("o"));
  expr* b = body("o");
  ASSERT_EQ(opcode(b), OPPLUS);
  expr* two = b->L.e->L.e;
  ASSERT_EQ(opcode(two), OPNUM);
  EXPECT_EQ(two->L.d, 2.0);
  expect_term(b->L.e, OPVARAC, two, decl("x"));
  expr* prod = b->R.e->L.e;
  ASSERT_EQ(opcode(prod), OPMULT);
  EXPECT_EQ(prod->L.e, two);
  EXPECT_EQ(prod->R.e->L.d, 3.0);
  expect_term(b->R.e, OPVARAC, prod, decl("y"));
  // The same factor met again is the same shared node.
  distrib(&body("o2"));
  expect_term(body("o2"), OPVARAC, prod, decl("y"));
  EXPECT_EQ(ee_of(prod)->nuse, 2u);
}

TEST_F(Distrib, NegationsTurnTheSharedFactors) {
  model("var x; var y; minimize o: -(x - y);\n");
  distrib(&body("o"));
  expr* b = body("o");
  ASSERT_EQ(opcode(b), OPUMINUS);
  expr* d = b->L.e;
  ASSERT_EQ(opcode(d), OPMINUS);
  expect_term(d->L.e, OPVARAC, enegone->e, decl("x"));
  expect_term(d->R.e, OPVARAC, eone->e, decl("y"));
  EXPECT_EQ(enegone->e, negone);
}

TEST_F(Distrib, QuotientByAConstantDistributes) {
  model("var x; var y; minimize o: x / 2; minimize p: x / y;\n");
  distrib(&body("o"));
  expr* t = body("o");
  ASSERT_EQ(opcode(t), OPVARAC);
  expr* q = t->L.e;
  ASSERT_EQ(opcode(q), OPDIV);
  EXPECT_EQ(q->L.e, one);
  EXPECT_EQ(q->R.e->L.d, 2.0);
  expect_term(t, OPVARAC, q, decl("x"));

  distrib(&body("p"));
  t = body("p");
  expect_term(t, OPNLAC, one, nullptr);
  EXPECT_EQ(opcode(t->R.e), OPDIV);
}

TEST_F(Distrib, ProductOfVariablesIsOneNonlinearTerm) {
  model("var x; var y; minimize o: x * y + 4 * x;\n");
  distrib(&body("o"));
  expr* b = body("o");
  ASSERT_EQ(opcode(b), OPPLUS);
  expect_term(b->L.e, OPNLAC, one, nullptr);
  EXPECT_EQ(opcode(b->L.e->R.e), OPMULT);
  EXPECT_EQ(b->R.e->L.e->L.d, 4.0);
  expect_term(b->R.e, OPVARAC, b->R.e->L.e, decl("x"));
}

TEST_F(Distrib, SumGivesOneLinearTermInsideTheIteration) {
  model(
      "set I; param c{I}; var x{I};\n"
      "minimize o: sum {i in I} c[i] * x[i];\n"
      "minimize p: sum {i in I} c[i] * x[i];\n");
  distrib(&body("o"));
  expr* s = body("o");
  ASSERT_EQ(opcode(s), SUM);
  expr* t = s->R.e;
  ASSERT_EQ(opcode(t), OPVARAC);
  EXPECT_EQ(opcode(t->L.e), OPPARSUB);
  EXPECT_EQ(t->L.e->L.x, decl("c"));
  EXPECT_EQ(opcode(t->R.e), OPVARSUB165);
  EXPECT_EQ(t->R.e->L.x, decl("x"));
  EXPECT_EQ(curcon, 0);

  // The term and its factor lie at the level of i.
  expr* ps = body("p");
  set_spec* ix = static_cast<set_spec*>(ps->L.s);
  ss_setup(ix, nullptr);
  eexpr* r = dist(eone, &ps->R.e);
  ++r->nuse;  // the sum's use of its body
  EXPECT_EQ(r->con, &con[1]);
  EXPECT_EQ(ee_of(ps->R.e->L.e)->con, &con[1]);
  ss_teardown(ix);
}

TEST_F(Distrib, WholeBodyAsOneNonlinearTerm) {
  model("var x; minimize o: x * x;\n");
  ldistrib(&body("o"));
  expr* t = body("o");
  expect_term(t, OPNLAC, one, nullptr);
  EXPECT_EQ(opcode(t->R.e), OPMULT);
}

}  // namespace
}  // namespace vexo
