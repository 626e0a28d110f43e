// Context levels: where records of parsed declarations are placed, what the
// marking flags say, negation pushed inwards, and the depth of the stack.
#include "compiler/context.h"

#include <gtest/gtest.h>

#include <string>

#include "compiler/eexpr.h"
#include "compiler/massage.h"
#include "frontend/model_fixture.h"
#include "report/indextab.h"

namespace vexo {
namespace {

using Levels = test::ModelTest;

// Opens the levels of the sum that defines a param by hand, so that its
// body can be massaged and looked at before they close again.
set_spec* open_sum(expr* s) {
  EXPECT_EQ(opcode(s), SUM);
  set_spec* ix = static_cast<set_spec*>(s->L.s);
  ss_setup(ix, nullptr);
  return ix;
}

bool on_chain(const eexpr* chain, const eexpr* r) {
  for (; chain; chain = chain->lnext)
    if (chain == r) return true;
  return false;
}

TEST_F(Levels, InvariantFactorOfASumLiesOutsideIt) {
  model("set I; param a{I}; param b; param q = sum {i in I} (a[i] * b);\n");
  expr* s = def("q");
  set_spec* ix = open_sum(s);
  eexpr* prod = massage(&s->R.e);
  ++prod->nuse;  // the sum's use of its body
  expr* p = s->R.e;
  eexpr* b = ee_of(p->R.e);
  EXPECT_EQ(prod->con, &con[1]);
  EXPECT_TRUE(on_chain(con[1].chain, prod));
  EXPECT_EQ(b->con, &con[0]);
  EXPECT_TRUE(b->flags & EE_FORCED);
  EXPECT_FALSE(ee_of(p->L.e)->flags & EE_FORCED);
  // The product is needed after each new member of I; b only once.
  EXPECT_TRUE(prod->flags & EE_MANDATED);
  EXPECT_FALSE(b->flags & EE_MANDATED);
  ss_teardown(ix);
  EXPECT_EQ(curcon, 0);
  EXPECT_EQ(con[1].chain, nullptr);
  EXPECT_TRUE(b->flags & EE_FORCED);
  EXPECT_EQ(max_context, 1);
}

TEST_F(Levels, WholeSumMassagedFlagsTheInvariantFactor) {
  model("set I; param a{I}; param b; param q = sum {i in I} (a[i] * b);\n");
  eexpr* r = massage(&def("q"));
  EXPECT_EQ(r->con, &con[0]);
  EXPECT_TRUE(ee_of(def("q")->R.e->R.e)->flags & EE_FORCED);
}

TEST_F(Levels, OuterOnlyExpressionOfTwoLevelsLiesAtLevelOne) {
  model(
      "set I; set J; param a{I}; param c{I, J};\n"
      "param q = sum {i in I, j in J} (a[i] + 1) * c[i, j];\n");
  expr* s = def("q");
  set_spec* ix = open_sum(s);
  eexpr* prod = massage(&s->R.e);
  ++prod->nuse;
  eexpr* outer = ee_of(s->R.e->L.e);
  ASSERT_EQ(opcode(outer->e), OPPLUS);
  EXPECT_EQ(outer->levbits, 3u);
  EXPECT_EQ(outer->con, &con[1]);
  EXPECT_TRUE(on_chain(con[1].chain, outer));
  EXPECT_FALSE(on_chain(con[2].chain, outer));
  EXPECT_TRUE(outer->flags & EE_FORCED);
  EXPECT_EQ(prod->levbits, 7u);
  EXPECT_EQ(prod->con, &con[2]);
  ss_teardown(ix);
  EXPECT_EQ(max_context, 2);
  // Level 1 has room for the cells of both dummies.
  EXPECT_EQ(ix->arity, 2);
}

TEST_F(Levels, MandatedUseMarksTheSetItReads) {
  model(
      "set I; set J{I};\n"
      "param q = sum {i in I} card(J[i]);\n");
  expr* s = def("q");
  set_spec* ix = open_sum(s);
  eexpr* c = massage(&s->R.e);
  ++c->nuse;
  ASSERT_EQ(opcode(s->R.e), OPCARD);
  set* j = s->R.e->L.s;
  ASSERT_EQ(j->sclass, SC_SUBSCR);
  EXPECT_TRUE(c->flags & EE_MANDATED);
  EXPECT_TRUE(j->ee->flags & EE_MANDATED);
  EXPECT_EQ(j->ee->con, &con[1]);
  // ... and through it the subscript.
  expr* sub = static_cast<expr*>(static_cast<set3p*>(j)->f2);
  EXPECT_TRUE(ee_of(sub)->flags & EE_MANDATED);
  ss_teardown(ix);
  // Its record went with its level.
  EXPECT_EQ(j->ee, nullptr);
}

TEST_F(Levels, ConditionalWithOuterTestIsRewritable) {
  model(
      "set I; set J; param c{I}; param d{J};\n"
      "param q = sum {i in I, j in J} if c[i] > 0 then d[j] else 0;\n");
  expr* s = def("q");
  set_spec* ix = open_sum(s);
  eexpr* r = massage(&s->R.e);
  ++r->nuse;
  EXPECT_EQ(opcode(s->R.e), OPIFrew);
  EXPECT_EQ(r->con, &con[1]);
  EXPECT_EQ(r->levbits, 7u);
  ss_teardown(ix);
}

TEST_F(Levels, SecondOperandOfOrIsConditional) {
  model("param a; param b; param q = if a > 0 or b > 0 then 1 else 2;\n");
  massage(&def("q"));
  expr* test = def("q")->L.e;
  ASSERT_EQ(opcode(test), OPOR);
  EXPECT_TRUE(ee_of(test->R.e)->flags & EE_COND);
  EXPECT_FALSE(ee_of(test->L.e)->flags & EE_COND);
}

TEST_F(Levels, NegationIsPushedInwards) {
  model(
      "param x; param a; param b;\n"
      "check: not (x < 3);\n"
      "check: not (x = 3);\n"
      "check: not (a > 0 ==> b > 0);\n"
      "check: not (not (x = 3));\n");
  xnode* checks[4];
  for (int k = 0; k < 4; ++k) checks[k] = xclass[XC_CHECKS].a[k];
  auto cond = [&](int k) -> expr*& {
    return static_cast<check*>(checks[k])->cond;
  };
  for (int k = 0; k < 4; ++k) not_elim(&cond(k), 0);
  // A comparison that may meet a non-number keeps its negation.
  EXPECT_EQ(opcode(cond(0)), OPNOT);
  EXPECT_EQ(opcode(cond(0)->L.e), LT);
  EXPECT_EQ(opcode(cond(1)), NE);
  // not (a ==> b) is a and not b.
  ASSERT_EQ(opcode(cond(2)), OPAND);
  EXPECT_EQ(opcode(cond(2)->L.e), GT);
  ASSERT_EQ(opcode(cond(2)->R.e), OPNOT);
  EXPECT_EQ(opcode(cond(2)->R.e->L.e), GT);
  EXPECT_EQ(opcode(cond(3)), EQ);
}

// q = sum {i1 in I} sum {i2 in I} ... sum {in in I} i1: n nested levels.
std::string nested(int n) {
  std::string text = "set I; param q = ";
  for (int k = 1; k <= n; ++k) text += "sum {i" + std::to_string(k) + " in I} ";
  return text + "i1;\n";
}

TEST_F(Levels, ThirtyOneNestedIndexingsCompile) {
  model(nested(31));
  eexpr* r = massage(&def("q"));
  EXPECT_EQ(r->con, &con[0]);
  EXPECT_EQ(curcon, 0);
  EXPECT_EQ(max_context, 31);
}

TEST_F(Levels, ThirtySecondNestedIndexingOverflows) {
  model(nested(31) + "param r {k in I};\n");
  // One level open already: the innermost sum would be the 32nd.
  ss_setup(decl("r")->indexing, decl("r"));
  auto out = test::run_captured([&] { massage(&def("q")); });
  EXPECT_TRUE(out.exited);
  EXPECT_EQ(out.code, 2);
  EXPECT_NE(out.err.find("Bug: context stack overflow"), std::string::npos)
      << out.err;
}

TEST_F(Levels, IndexingOfADeclarationGetsItsResultSet) {
  model(
      "set I; set J; param a{I}; param q{i in I} = a[i];\n"
      "param p{i in I, j in J: i = j} = 1;\n");
  xnode* q = decl("q");
  ss_setup(q->indexing, q);
  ss_teardown(q->indexing);
  // One index without condition: iteration fills the index set itself.
  EXPECT_EQ(q->indexing->rset, q->indexing->first->s);
  xnode* p = decl("p");
  ss_setup(p->indexing, p);
  ss_teardown(p->indexing);
  set* rs = p->indexing->rset;
  ASSERT_NE(rs, nullptr);
  EXPECT_EQ(rs->sclass, SC_ENUM);
  EXPECT_EQ(rs->arity, 2);
  EXPECT_EQ(rs->nmem, -1);
  EXPECT_TRUE(rs->ee->flags & EE_RUNTIME);
}

// A new outermost indexing registers its entries in the other bank of the
// index table and gives the bank back when it closes; closing sizes the
// evaluation context of its own: TVAneed of the frame cells inside it.
TEST_F(Levels, OutermostIndexingTakesTheOtherBankAndIsSized) {
  model("set I; set J dimen 2; param p {i in I, (j, k) in J};\n");
  set_spec* ix = decl("p")->indexing;
  Index* outer = ix->first;
  Index* inner = outer->next;
  ss_setup(ix, decl("p"));
  EXPECT_EQ(k_Ind, 1);
  EXPECT_EQ(Ind[1], outer);
  EXPECT_EQ(Ind[2], inner);
  EXPECT_EQ(firstdummy[2], 1);
  EXPECT_EQ(firstdummy[3], 3);
  ss_teardown(ix);
  EXPECT_EQ(k_Ind, 0);
  EXPECT_EQ(Ind[1], nullptr);
  // Frame cells: 1 + 2; (2 + 1) * 4 + 3 + 9 cells, 192 bytes: class 5.
  EXPECT_EQ(ix->size.need, 24u);
  EXPECT_EQ(ix->size.hcl, 7u);
  EXPECT_EQ(ix->size.max_context, 2);
  EXPECT_EQ(con[0].framesize, 3);
}

}  // namespace
}  // namespace vexo
