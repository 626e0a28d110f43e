// References, subscripts, iterated operators and the set-order operators.
#include "frontend/refs.h"

#include <gtest/gtest.h>

#include "builders_fixture.h"
#include "frontend/keywords.h"
#include "frontend/suffix.h"
#include "instance/problem.h"
#include "session/loop.h"

namespace vexo {
namespace {

TEST_F(Builders, SubscriptCountIsChecked) {
  xnode* p = decl("p", DK_PARAMI, 2);
  expr* e = nullptr;
  auto o = test::run_captured(
      [&] { e = subscript(opword(OPPARSUB, 3), p, one_sub(1)); });
  EXPECT_EQ(o.err, "\n\tp needs 2 subscripts, not 1\n");
  EXPECT_TRUE(rc & 8);
  ASSERT_EQ(opcode(e), OPERRSUB);
  EXPECT_EQ(eflags(e), 3u);
  ASSERT_EQ(opcode(e->R.e), OPLOOKUP);
  EXPECT_EQ(opcode(e->R.e->R.e), OPSYMLIST);
  rc = 0;
  expr* subs = symlist(SYML_INDEX, new_num(2));
  subs->next = nullptr;
  expr* two = symlist(SYML_INDEX, new_num(1));
  two->next = subs;  // source order 1, 2
  e = subscript(opword(OPPARSUB, 3), p, two);
  EXPECT_EQ(opcode(e), OPPARSUB);
  EXPECT_EQ(rc & 8, 0);
  edelete(e);
}

TEST_F(Builders, RandomVariablesCarryRandomFlags) {
  xnode* v = decl("v", DK_VAR);
  v->flags |= XF_RANDOM;
  expr* e = entity_ref(v, OPVAR164);
  EXPECT_EQ(eflags(e), uint32_t(EF_NUMERIC | EF_RANDOM | EF_RANDVAR));
  randvar_rhs = 0;
  randvarchk(e);
  EXPECT_EQ(randvar_rhs, 1);
  // Sample retypes the reference; without random values it is a no-op.
  expr* s = Sample(e);
  ASSERT_EQ(opcode(s), OPSVEXOE);
  EXPECT_EQ(opcode(s->L.e), OPSVEXOVAR);
  expr* n = new_num(1);
  EXPECT_EQ(Sample(n), n);
}

TEST_F(Builders, OrderOperators) {
  set* unord = set_enum(new_enum(), 1);
  expr* r = nullptr;
  auto o = test::run_captured(
      [&] { r = nextprev(0, new_lit(Symbol("a", 0)), unord, nullptr); });
  EXPECT_EQ(o.err, "\n\tnext may only be used with ordered or circular sets\n");
  ASSERT_EQ(opcode(r), OPNUM);
  EXPECT_EQ(r->L.d, 0);

  expr* p = nextprev(1, new_lit(Symbol("a", 0)),
                     set_range(new_num(1), new_num(5), nullptr), new_num(2));
  ASSERT_EQ(opcode(p), OPNEXT121);
  ASSERT_EQ(opcode(p->L.e), OP247);
  EXPECT_EQ(p->L.e->R.e->L.d, -2);
  ASSERT_EQ(opcode(p->R.e), OP280);
  EXPECT_EQ(p->R.e->R.s->sclass, uint32_t(SC_RANGE));
  edelete(p);
  expr* q = nextprev(1, new_lit(Symbol("a", 0)),
                     set_range(new_num(1), new_num(5), nullptr), nullptr);
  ASSERT_EQ(opcode(q), OPNEXT123);
  EXPECT_EQ(q->L.e->R.e->L.d, -1);
  // A non-literal step backwards is negated.
  expr* k = nextprev(1, new_lit(Symbol("a", 0)),
                     set_range(new_num(1), new_num(5), nullptr),
                     entity_ref(decl("k", DK_PARAM), OPPAR));
  ASSERT_EQ(opcode(k), OPNEXT121);
  EXPECT_EQ(opcode(k->L.e->R.e), OPUMINUS);
  // nextw wraps: opcode + 4.
  expr* w = nextprev(2, new_lit(Symbol("a", 0)),
                     set_range(new_num(1), new_num(5), nullptr), nullptr);
  EXPECT_EQ(opcode(w), OPNEXT126);

  o = test::run_captured(
      [&] { r = firstlast(opword(OPFIRST, 1), set_enum(new_enum(), 1)); });
  EXPECT_EQ(o.err,
            "\n\tfirst may only be used with ordered or circular sets\n");
  expr* m = ord_elem(opword(OPELEMENT, 1), new_lit(Symbol("3", 0)),
                     set_range(new_num(1), new_num(5), nullptr));
  ASSERT_EQ(opcode(m), OPELEMENT);
  EXPECT_EQ(opcode(m->L.e), OPSYM2NUM);
}

TEST_F(Builders, VariablesRefusedInOrderOperators) {
  xnode* v = decl("v", DK_VAR);
  auto o = test::run_captured([&] {
    ord_elem(opword(OPORD, 2), entity_ref(v, OPVAR164),
             set_range(new_num(1), new_num(5), nullptr));
  });
  EXPECT_EQ(o.err, "\n\tVariable values may not appear in ord(...)\n");
  EXPECT_STREQ(dseen, "ord");
  EXPECT_EQ(dxseen, &variable_arg);
}

TEST_F(Builders, IteratedOperatorsNonlinearExceptSum) {
  xnode* v = decl("v", DK_VAR);
  for (int opc : {int(SUM), int(PROD), int(MAX)}) {
    set_spec* ix = new set_spec(
        new Index(nullptr, set_enum(new_enum(), 1), nullptr, 0), nullptr, 1);
    expr* s = sreduc(opword(opc), ix, entity_ref(v, OPVAR164), 0);
    EXPECT_TRUE(has_flag(s, EF_VARS));
    EXPECT_EQ(has_flag(s, EF_NONLIN), opc != SUM) << opc;
    edelete(s);
  }
}

TEST_F(Builders, LtinsertPrefixesText) {
  expr* e = ltinsert(str("cmd"));
  ASSERT_EQ(opcode(e), OPSTR);
  EXPECT_EQ(text(e), "<cmd");
  expr* p = entity_ref(decl("f", DK_SPARAM), OPSPAR);
  expr* c = ltinsert(p);
  ASSERT_EQ(opcode(c), OPCONCAT);
  EXPECT_EQ(text(c->L.e), "<");
  EXPECT_EQ(c->R.e, p);
  EXPECT_EQ(opcode(p), OPSPARSTR);
  edelete(c);
}

// A whole synonym array needs the problem: generated when the translator
// is past collecting, else collected first (the same req_collect that the
// suffixes set).
TEST_F(Builders, SynonymArrayNeedsTheProblem) {
  symbol* sym = Symbol("_var", 0);
  int saved = trans_state;
  for (int ts : {2, 3}) {
    req_collect = 0;
    need_prob = 1;
    would_need_prob = 0;
    trans_state = ts;
    expr* e = synonym(sym);
    EXPECT_EQ(e->opword, opword(OPSYN, EF_NUMERIC));
    EXPECT_EQ(would_need_prob, 4);
    EXPECT_EQ(req_collect, ts == 2 ? 2 : 0) << ts;
    EXPECT_EQ(need_prob, ts == 2 ? 1 : 5) << ts;
  }
  req_collect = 0;
  need_prob = would_need_prob = 0;
  trans_state = saved;
}

}  // namespace
}  // namespace vexo
