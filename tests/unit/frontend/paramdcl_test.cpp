// Parameter and set declarations through their builders: attributes and
// their conflicts, check lists, recursive definitions, value sets,
// redeclaration.
#include "frontend/paramdcl.h"

#include "decl_fixture.h"
#include "eval/builtin.h"

namespace vexo {
namespace {

using test::DeclTest;
using SetDcl = DeclTest;
using ParamDcl = DeclTest;

setdcl* set_start(const char* n) {
  return new_setdcl(Symbol(n, 1), nullptr, nullptr);
}

TEST_F(SetDcl, OrderedAndOrderedByReversed) {
  setdcl* s = nullptr;
  setdcl* v = nullptr;
  std::string err = msgs([&] {
    s = set_start("S");
    s->add_order(SF_ORDERED);
    s = s->finish_dcl(0);
    v = set_start("V");
    v->add_orderby(SF_ORDERED | SF_REVERSED, set_named(s));
    v = v->finish_dcl(0);
  });
  EXPECT_EQ(err, "");
  EXPECT_EQ(s->sflags & SF_CIRCULAR, SF_ORDERED);
  EXPECT_EQ(s->dimen, 1);
  EXPECT_EQ(Symbol("S", 0)->binding, s);
  ASSERT_NE(v->orderby, nullptr);
  EXPECT_EQ(v->sflags, 40u);
  EXPECT_EQ(v->dimen, 1);
  EXPECT_EQ(v->flags & XF_GENERATE, 0u);  // ordered by: not generated
}

TEST_F(SetDcl, DimensionMessages) {
  struct {
    double dimen;
    bool order;
    const char* want;
  } cases[] = {
      {21, false, "\n\tdimen must specify an integer between 1 and 20\n"},
      {2.5, false, "\n\tdimen must specify an integer between 1 and 20\n"},
      {0, false, "\n\tdimen must specify an integer between 1 and 20\n"},
      {2, true, "\n\tordered sets must have dimen 1 rather than 2\n"},
      {20, false, ""},
  };
  for (auto& c : cases) {
    rc = 0;
    setdcl* s = nullptr;
    std::string err = msgs([&] {
      s = set_start("T");
      s->add_dimen(c.dimen);
      if (c.order) s->add_order(SF_ORDERED);
      s = s->finish_dcl(0);
    });
    EXPECT_EQ(err, c.want) << c.dimen;
    EXPECT_EQ(rc & 8, *c.want ? 8 : 0) << c.dimen;
    EXPECT_EQ(s->sflags & SF_ORDERED, 0u);
  }
}

TEST_F(SetDcl, EmptyValueTakesTheDeclaredDimension) {
  setdcl* w = nullptr;
  std::string err = msgs([&] {
    w = set_start("W");
    w->add_dimen(2);
    w->add_init(opword(EQ), set_literal(static_cast<expr*>(nullptr)));
    w = w->finish_dcl(0);
  });
  EXPECT_EQ(err, "");
  ASSERT_NE(w->value, nullptr);
  EXPECT_EQ(w->value->arity, 2);
  EXPECT_EQ(w->value->nmem, 0);
  EXPECT_EQ(w->value->owner, w);
}

TEST_F(SetDcl, ValueConflicts) {
  std::string err = msgs([&] {
    setdcl* a = set_start("A");
    a->add_dimen(1);
    a->add_init(opword(LE, EF_NUMERIC), set_range(num(1), num(3), nullptr));
    a->add_init(opword(EQ), set_range(num(1), num(3), nullptr));
    a->add_default(set_range(num(1), num(2), nullptr));
    a = a->finish_dcl(0);
    EXPECT_EQ(a->dflt, nullptr);
    EXPECT_NE(a->value, nullptr);
  });
  EXPECT_EQ(err,
            "\n\tmisplaced comparison operator\n"
            "\n\tat most one := or default is allowed\n");
}

TEST_F(SetDcl, UnsetScalarGetsAnUngeneratedValueSet) {
  setdcl* s = set_start("P");
  s = s->finish_dcl(0);
  ASSERT_NE(s->value, nullptr);
  EXPECT_EQ(s->value->nmem, -1);
  EXPECT_EQ(s->value->arity, 1);
  EXPECT_NE(s->flags & XF_GENERATE, 0u);
}

// A redeclared scalar set without := keeps its generated value set; the
// surviving record's empty circular list points at itself, not into the
// record the redeclaration was built in.
TEST_F(SetDcl, RedeclaredSetKeepsItsGeneratedValue) {
  setdcl* s = set_start("G")->finish_dcl(0);
  set* v = s->value;
  v->nmem = 0;  // generated
  redecl_start(Symbol("G", 0));
  setdcl* r = set_start("G")->finish_dcl(0);
  EXPECT_EQ(r, s);
  EXPECT_EQ(r->value, v);
  EXPECT_EQ(r->circ[0], static_cast<void*>(&r->circ));
  EXPECT_EQ(r->circ[1], static_cast<void*>(&r->circ));
}

TEST_F(ParamDcl, AtMostOneValue) {
  param* q = nullptr;
  std::string err = msgs([&] {
    q = new_param(Symbol("q", 1), nullptr, nullptr);
    q->addasgn(num(1));
    q->adddflt(num(2));
    q = q->finish_dcl(0);
  });
  EXPECT_EQ(err, "\n\tat most one := or default is allowed\n");
  ASSERT_NE(q->asgn, nullptr);
  EXPECT_EQ(opcode(q->asgn), OPNUM);
  EXPECT_EQ(q->asgn->L.d, 1.0);
  EXPECT_EQ(q->dflt, nullptr);
}

TEST_F(ParamDcl, IntegralityBecomesACheck) {
  param* n = new_param(Symbol("n", 1), nullptr, nullptr);
  n->addtype(PT_INTEGER);
  n = n->finish_dcl(0);
  ASSERT_NE(n->checks, nullptr);
  EXPECT_EQ(opcode(n->checks->item.e), OP_ISINTEGER);
  EXPECT_EQ(n->checks->next, nullptr);
  EXPECT_EQ(n->kind, DK_PARAM);

  // Relations keep their clause order, each with a placeholder for the
  // value under test and a numeric comparand.
  param* b = new_param(Symbol("b", 1), nullptr, nullptr);
  b->addtype(PT_BINARY);
  b->addcheck(opword(GE, EF_NUMERIC), num(0));
  b->addcheck(opword(LT, EF_NUMERIC), num(9));
  b = b->finish_dcl(0);
  int want[] = {GE, LT, OP_ISLOGICAL};
  int i = 0;
  for (list* c = b->checks; c; c = c->next, i++) {
    ASSERT_LT(i, 3);
    EXPECT_EQ(opcode(c->item.e), want[i]);
    ASSERT_NE(c->item.e->L.e, nullptr);
    EXPECT_EQ(opcode(c->item.e->L.e), OPNUM);
  }
  EXPECT_EQ(i, 3);
}

TEST_F(ParamDcl, SymbolicChecks) {
  param* s = nullptr;
  std::string err = msgs([&] {
    s = new_param(Symbol("s", 1), nullptr, nullptr);
    s->addtype(PT_SYMBOLIC);
    s->addcheck(opword(GE, EF_NUMERIC), num(1));
    s = s->finish_dcl(0);
  });
  EXPECT_EQ(err,
            "\n\tno comparisons involving inequalities allowed for symbolic "
            "parameters\n");
  EXPECT_EQ(s->checks, nullptr);
  EXPECT_EQ(s->kind, DK_SPARAM);

  // == and != against a number take the numeric-comparand forms; a
  // numeric default is converted to a symbol.
  param* t = new_param(Symbol("t", 1), nullptr, nullptr);
  t->addtype(PT_SYMBOLIC);
  t->addcheck(opword(NE), num(1));
  t->adddflt(num(3));
  t = t->finish_dcl(0);
  ASSERT_NE(t->checks, nullptr);
  EXPECT_EQ(opcode(t->checks->item.e), NEsr);
  EXPECT_EQ(opcode(t->checks->item.e->L.e), OPLIT);
  EXPECT_FALSE(has_flag(t->dflt, EF_NUMERIC));
}

TEST_F(ParamDcl, VariablesAreRefused) {
  var* x = scalar_var("x");
  param* p = nullptr;
  std::string err = msgs([&] {
    p = new_param(Symbol("p", 1), nullptr, nullptr);
    p->addasgn(ref(x));
    p = p->finish_dcl(0);
  });
  EXPECT_EQ(err, "\n\tvariable in = expression\n");
  EXPECT_EQ(opcode(p->asgn), OPNUM);
  EXPECT_EQ(rc & 8, 8);
}

TEST_F(ParamDcl, RecursiveDefinition) {
  // param f {i in 1..5} := ... f[i-1] ...: the reference to f in its own
  // clause counts in `recursive`, as the name's reference records it.
  param* f = new_param(Symbol("f", 1), nullptr, range_ix("i", 1, 5));
  EXPECT_EQ(Symbol("f", 0)->binding, f);  // indexed: bound while parsed
  recursive++;
  f->addasgn(num(1));
  f = f->finish_dcl(0);
  EXPECT_EQ(f->kind, DK_PARAMI);
  EXPECT_NE(f->type & PT_RECURSIVE, 0u);
  EXPECT_EQ(f->type & PT_RECDEFAULT, 0u);
  ASSERT_NE(f->asgn, nullptr);
  EXPECT_EQ(opcode(f->asgn), OP_RECPAR);
  EXPECT_EQ(opcode(f->asgn->L.e), OPNUM);
  set* cache = f->asgn->R.e->R.s;
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(cache->arity, 1);
  EXPECT_EQ(recursive, 0);
}

TEST_F(ParamDcl, RedeclarationKeepsRecordAndNumber) {
  param* q = new_param(Symbol("q", 1), nullptr, nullptr);
  q->addasgn(num(1));
  q = q->finish_dcl(0);
  int n = q->num;
  int next = dac.next;
  redecl_start(Symbol("q", 0));
  param* q2 = new_param(Symbol("q", 0), nullptr, nullptr);
  q2->addasgn(num(5));
  param* r = q2->finish_dcl(0);
  EXPECT_EQ(r, q);
  EXPECT_EQ(r->num, n);
  EXPECT_EQ(dac.next, next);
  EXPECT_EQ(r->asgn->L.d, 5.0);
  EXPECT_EQ(Symbol("q", 0)->binding, q);
}

TEST_F(ParamDcl, RandomParamBecomesAVariable) {
  Cautions = 1;
  randparam_warn = 1;  // the option's default
  std::string err = msgs([&] {
    param* p = new_param(Symbol("rp", 1), nullptr, nullptr);
    make_randompar(p);
    p->adddflt(num(2));
    EXPECT_EQ(p->finish_dcl(0), nullptr);
  });
  EXPECT_EQ(err, "\n\tCaution: Converting rp to a random variable.\n");
  xnode* v = static_cast<xnode*>(Symbol("rp", 0)->binding);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->kind, DK_VAR);
  EXPECT_NE(v->flags & XF_RANDOM, 0u);
  EXPECT_EQ(xclass[XC_RANDVARS].n, 1);

  // Indexed: its dummy scope is closed once, by the variable.
  int level = sslevel;
  msgs([&] {
    param* p = new_param(Symbol("rq", 1), nullptr, range_ix("i", 1, 2));
    make_randompar(p);
    EXPECT_EQ(p->finish_dcl(0), nullptr);
  });
  EXPECT_EQ(sslevel, level);
  v = static_cast<xnode*>(Symbol("rq", 0)->binding);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->kind, DK_VARI);
  EXPECT_EQ(Symbol("i", 0)->binding, nullptr);
}

}  // namespace
}  // namespace vexo
