// The operator builders: folding, coercions, flags, comparisons and the
// messages of misuse.
#include "frontend/exprbuild.h"

#include <gtest/gtest.h>

#include "builders_fixture.h"

namespace vexo {
namespace {

TEST_F(Builders, NegationFoldsLiteralsAndDoubleMinus) {
  expr* n = negate(new_num(3));
  EXPECT_EQ(opcode(n), OPNUM);
  EXPECT_EQ(n->L.d, -3);
  // -2 ^ 2: the grammar negates the power; the literal 2 is not folded.
  expr* p = negate(
      binop(opword(OPPOW, EF_NUMERIC), new_num(2), new_num(2), bop_nonlin));
  ASSERT_EQ(opcode(p), OPUMINUS);
  EXPECT_EQ(opcode(p->L.e), OPPOW);
  EXPECT_EQ(p->L.e->L.e->L.d, 2);
  expr* x = entity_ref(decl("x", DK_PARAM), OPPAR);
  EXPECT_EQ(negate(negate(x)), x);
  EXPECT_EQ(negate(nullptr), nullptr);
}

TEST_F(Builders, ProductsMoveOneMinusOutAndCancelTwo) {
  xnode* i = decl("i", DK_PARAM);
  // 2 * (-i): a minus over the product.
  expr* a = mulop(opword(OPMULT, EF_NUMERIC), new_num(2),
                  negate(entity_ref(i, OPPAR)), bop_mult);
  ASSERT_EQ(opcode(a), OPUMINUS);
  ASSERT_EQ(opcode(a->L.e), OPMULT);
  EXPECT_EQ(opcode(a->L.e->R.e), OPPAR);
  // (-(1+1)) * (-i): the two signs cancel.
  expr* sum =
      binop(opword(OPPLUS, EF_NUMERIC), new_num(1), new_num(1), bop_plumin);
  expr* b = mulop(opword(OPMULT, EF_NUMERIC), negate(sum),
                  negate(entity_ref(i, OPPAR)), bop_mult);
  ASSERT_EQ(opcode(b), OPMULT);
  EXPECT_EQ(b->L.e, sum);
  EXPECT_EQ(opcode(b->R.e), OPPAR);
}

TEST_F(Builders, BinaryFlagsFollowOperandsAndTable) {
  xnode* v = decl("v", DK_VAR);
  expr* c =
      binop(opword(OPPLUS, EF_NUMERIC), new_num(1), new_num(2), bop_plumin);
  EXPECT_EQ(eflags(c), uint32_t(EF_CONST | EF_NUMERIC));
  expr* lin = binop(opword(OPMULT, EF_NUMERIC), new_num(2),
                    entity_ref(v, OPVAR164), bop_mult);
  EXPECT_EQ(eflags(lin), uint32_t(EF_NUMERIC | EF_VARS));
  expr* nl = binop(opword(OPMULT, EF_NUMERIC), entity_ref(v, OPVAR164),
                   entity_ref(v, OPVAR164), bop_mult);
  EXPECT_EQ(eflags(nl), uint32_t(EF_NUMERIC | EF_VARS | EF_NONLIN));
  // A symbolic operand is made numeric.
  expr* s = binop(opword(OPPLUS, EF_NUMERIC), new_lit(Symbol("a", 0)),
                  new_num(1), bop_plumin);
  EXPECT_EQ(opcode(s->L.e), OPSYM2NUM);
}

TEST_F(Builders, IfWithoutElseAndBranchKinds) {
  expr* e =
      makeif(relop(new_num(1), opword(LT, EF_NUMERIC), new_num(2), nullptr),
             new_num(3), nullptr);
  ASSERT_EQ(opcode(e), OPIF111);
  EXPECT_TRUE(has_flag(e, EF_NUMERIC));
  ASSERT_EQ(opcode(e->R.e), OP261);
  EXPECT_EQ(e->R.e->L.e->L.d, 3);
  EXPECT_EQ(opcode(e->R.e->R.e), OPNUM);
  EXPECT_EQ(e->R.e->R.e->L.d, 0);
  // A number and a string: symbolic; usable as a number again.
  expr* m = makeif(new_num(1), new_num(1), str("x"));
  ASSERT_EQ(opcode(m), OPIFSYM112);
  EXPECT_EQ(opcode(m->R.e->L.e), OPNUM2SYM);
  EXPECT_EQ(opcode(m->R.e->R.e), OPLIT);
  expr* n = make_numeric(m);
  EXPECT_EQ(n, m);
  EXPECT_EQ(opcode(n), OPIF111);
  EXPECT_EQ(opcode(n->R.e), OP261);
  EXPECT_EQ(opcode(n->R.e->L.e), OPNUM);
  // Two strings: the string form, which arithmetic refuses.
  expr* s = makeif(new_num(1), str("a"), str("b"));
  EXPECT_EQ(opcode(s), OPIFSYMstr113);
  auto o = test::run_captured([&] { make_numeric(s); });
  EXPECT_EQ(o.err, "\n\tCannot convert character string to a number.\n");
}

TEST_F(Builders, ComparisonsByOperandKinds) {
  struct {
    uint32_t op;
    expr* L;
    expr* R;
    int opc;
  } cases[] = {
      {opword(EQ), new_num(1), new_num(2), EQ},
      {opword(EQ), new_lit(Symbol("a", 0)), str("b"), EQscs},
      {opword(NE), str("a"), new_lit(Symbol("b", 0)), NEcss},
      {opword(NE), new_num(1), new_lit(Symbol("b", 0)), NErs},
      {opword(EQ), str("a"), str("b"), EQcscs},
  };
  for (auto& c : cases) {
    expr* e = relop(c.L, c.op, c.R, nullptr);
    EXPECT_EQ(opcode(e), c.opc);
  }
  // A string against a number is decided at once.
  expr* keep = nullptr;
  expr* eq = relop(str("a"), opword(EQ), new_num(1), &keep);
  ASSERT_EQ(opcode(eq), OPLOGLIT);
  EXPECT_EQ(eq->L.i, 0);
  ASSERT_NE(keep, nullptr);
  EXPECT_EQ(keep->L.d, 1);
  expr* ne = relop(str("a"), opword(NE), new_num(1), nullptr);
  ASSERT_EQ(opcode(ne), OPLOGLIT);
  EXPECT_EQ(ne->L.i, 1);
}

TEST_F(Builders, ComparisonChainSharesTheMiddleOperand) {
  expr* i = entity_ref(decl("i", DK_PARAM), OPPAR);
  list* ch = relopchain(new_num(1), nullptr, opword(LT, EF_NUMERIC), i);
  ch = relopchain(nullptr, ch, opword(LE, EF_NUMERIC), new_num(3));
  expr* e = relop_adj(ch);
  ASSERT_EQ(opcode(e), OPAND);
  expr* lt = e->L.e;
  expr* le = e->R.e;
  ASSERT_EQ(opcode(lt), LT);
  ASSERT_EQ(opcode(le), LE);
  EXPECT_EQ(lt->L.e->L.d, 1);
  EXPECT_EQ(le->R.e->L.d, 3);
  expr* w1 = lt->R.e;
  expr* w2 = le->L.e;
  ASSERT_EQ(opcode(w1), OPRELOPCH);
  ASSERT_EQ(opcode(w2), OPRELOPCH);
  EXPECT_EQ(w1->L.e, i);
  EXPECT_EQ(w2->L.e, i);
  EXPECT_EQ(w1->R.e, w2);  // the owner points at the marker
  EXPECT_EQ(w2->R.e, nullptr);
  // Deleting the conjunction frees the shared operand once.
  edelete(e);
}

TEST_F(Builders, ChainStepDecidedInTheMiddle) {
  // 1 < p == "a" == "b": the middle step compares a number with a string,
  // so it is false at once and "a" goes on alone into the last step.
  expr* spare = nullptr;
  for (int k = 0; k < 32; ++k) {
    expr* n = new_expr(0);
    n->next = spare;
    spare = n;
  }
  free_expr(spare);
  int before = listlen(expr_free_list);
  expr* p = entity_ref(decl("p", DK_PARAM), OPPAR);
  list* ch = relopchain(new_num(1), nullptr, opword(LT, EF_NUMERIC), p);
  ch = relopchain(nullptr, ch, opword(EQ), str("a"));
  ch = relopchain(nullptr, ch, opword(EQ), str("b"));
  expr* e = relop_adj(ch);
  ASSERT_EQ(opcode(e), OPAND);
  ASSERT_EQ(opcode(e->L.e), OPAND);
  EXPECT_EQ(e->L.e->L.e->R.e, p);  // not shared: no wrapper left
  EXPECT_EQ(opcode(e->L.e->R.e), OPLOGLIT);
  ASSERT_EQ(opcode(e->R.e), EQcscs);
  EXPECT_EQ(text(e->R.e->L.e), "a");
  edelete(e);
  EXPECT_EQ(listlen(expr_free_list), before);
}

TEST_F(Builders, ComparisonChainMessagesForStrings) {
  auto o = test::run_captured([&] {
    list* ch =
        relopchain(str("a"), nullptr, opword(LT, EF_NUMERIC), new_num(1));
    ch = relopchain(nullptr, ch, opword(GE, EF_NUMERIC), str("b"));
    free_list(ch);
  });
  EXPECT_EQ(o.err,
            "\n\tInvalid comparison string < ... .\n"
            "\n\tInvalid comparison ... >= string.\n");
}

TEST_F(Builders, FalseChainStepDropsTheRest) {
  list* ch = relopchain(str("a"), nullptr, opword(EQ), new_num(1));
  ch = relopchain(nullptr, ch, opword(EQ), new_num(1));
  expr* e = relop_adj(ch);
  ASSERT_EQ(opcode(e), OPLOGLIT);
  EXPECT_EQ(e->L.i, 0);
}

TEST_F(Builders, StringFunctionsRefuseNumbers) {
  xnode* v = decl("v", DK_VAR);
  expr* e = nullptr;
  auto o = test::run_captured([&] {
    e = unop(opword(OPLENGTH, EF_NUMERIC), entity_ref(v, OPVAR164), 0);
  });
  EXPECT_EQ(o.err, "\n\tlength does not work with variables\n");
  ASSERT_EQ(opcode(e), OPLENGTH);
  ASSERT_EQ(opcode(e->L.e), OPSTR);
  EXPECT_EQ(text(e->L.e), "");
  o = test::run_captured([&] {
    e = binop(opword(OPMATCH, EF_NUMERIC), new_num(12), str("1"), nullptr);
  });
  EXPECT_EQ(o.err, "\n\tNumeric argument passed to match\n");
  EXPECT_EQ(text(e->L.e), "12");
}

TEST_F(Builders, MembershipFixesUnknownArityAndReportsMismatch) {
  set* s = set_enum(new_enum(), 2);
  expr* e = nullptr;
  auto o = test::run_captured(
      [&] { e = in_test(one_sub(1), s, opword(OPISIN, 2)); });
  EXPECT_EQ(o.err, "\n\tmembers of this set expression have arity 2, not 1\n");
  ASSERT_EQ(opcode(e), OPISIN);
  EXPECT_EQ(opcode(e->L.e), OPSYMLIST);
}

}  // namespace
}  // namespace vexo
