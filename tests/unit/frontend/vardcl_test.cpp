// Variable declarations through their builders: bounds and their
// conflicts, fixed and defined variables, attributes, domains, arc terms
// and suffix initialisers.
#include "frontend/vardcl.h"

#include "decl_fixture.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"

namespace vexo {
namespace {

using VarDcl = test::DeclTest;

var* var_start(const char* n, uint64_t flags = 0) {
  return new var(Symbol(n, 1), nullptr, nullptr, flags);
}

bool in_problem(xnode* d) {
  for (expr* e = cur_prob->ents; e; e = e->next)
    if (e->L.e->L.x == d) return true;
  return false;
}

TEST_F(VarDcl, BoundConflicts) {
  struct {
    uint32_t op1, op2;
    const char* want;
  } cases[] = {
      {opword(GE, EF_NUMERIC), opword(GE, EF_NUMERIC), "extra >= bound\n"},
      {opword(LE, EF_NUMERIC), opword(LE, EF_NUMERIC), "extra <= bound\n"},
      {opword(EQ), opword(LE, EF_NUMERIC), "extra <= bound\n"},
      {opword(GE, EF_NUMERIC), opword(EQ), "extra == bound (fixed variable)\n"},
      {opword(GE, EF_NUMERIC), opword(GT, EF_NUMERIC),
       "cannot enforce strict bound\n"},
  };
  for (auto& c : cases) {
    var* x = nullptr;
    std::string err = msgs([&] {
      x = var_start("x");
      x->addbound(c.op1, num(0));
      x->addbound(c.op2, num(1));
      x = x->finish_dcl(0);
    });
    // The fixing caution of `= 0` comes first where there is one.
    EXPECT_NE(err.find(c.want), std::string::npos) << err;
    expr* first = (c.op1 >> OPSHIFT) == LE ? x->ub : x->lb;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->L.d, 0.0);  // the first bound stays
  }
}

TEST_F(VarDcl, FixedAndDefinedVariables) {
  var* x = scalar_var("x");
  var* z = nullptr;
  var* y = nullptr;
  std::string err = msgs([&] {
    z = var_start("z");
    z->addbound(opword(EQ), num(3));
    z = z->finish_dcl(0);
    y = var_start("y");
    y->addbound(opword(EQ),
                mulop(opword(OPMULT, EF_NUMERIC), num(2), ref(x), bop_mult));
    y = y->finish_dcl(0);
  });
  EXPECT_EQ(err,
            "\n\tCaution: z should be \"param =\" rather than \"var =\".\n");
  EXPECT_EQ(z->flags & (VF_FIXED | VF_DEFINED), VF_FIXED);
  EXPECT_EQ(z->lb->L.d, 3.0);
  EXPECT_TRUE(in_problem(z));

  EXPECT_EQ(y->flags & (VF_FIXED | VF_DEFINED), VF_DEFINED);
  EXPECT_EQ(y->lb, nullptr);
  ASSERT_NE(y->init, nullptr);  // the negated definition
  ASSERT_NE(y->defcon, nullptr);
  EXPECT_STREQ(y->defcon->name->name, "=y");
  EXPECT_EQ(y->defcon->name->binding, y);
  EXPECT_EQ(y->defcon->kind, DK_CON);
  EXPECT_EQ(y->defcon->num, y->num);
  EXPECT_EQ(y->defcon->flags, 7u);
  EXPECT_TRUE(in_problem(x));
  EXPECT_FALSE(in_problem(y));
}

// A defined variable redeclared as an ordinary one joins the problem.
TEST_F(VarDcl, RedeclaredAsOrdinaryJoinsTheProblem) {
  var* x = scalar_var("x");
  var* w = var_start("w");
  w->addbound(opword(EQ),
              mulop(opword(OPMULT, EF_NUMERIC), num(2), ref(x), bop_mult));
  w = w->finish_dcl(0);
  ASSERT_FALSE(in_problem(w));
  redecl_start(Symbol("w", 0));
  var* w2 = var_start("w");
  w2->addbound(opword(GE, EF_NUMERIC), num(0));
  EXPECT_EQ(w2->finish_dcl(0), w);
  EXPECT_EQ(w->flags & VF_DEFINED, 0u);
  EXPECT_TRUE(in_problem(w));
}

TEST_F(VarDcl, DefinedVariableConflicts) {
  var* x = scalar_var("x");
  var* d = nullptr;
  std::string err = msgs([&] {
    d = var_start("d");
    d->addtype(VF_INTEGER);
    d->addbound(opword(EQ), entity_ref(x, OPVAR164));
    d = d->finish_dcl(0);
  });
  EXPECT_EQ(err, "\n\tdefined variables cannot be integer.\n");
  EXPECT_EQ(d->flags & VF_DEFINED, 0u);
  EXPECT_EQ(d->defcon, nullptr);
}

TEST_F(VarDcl, AttributesAndTheirConflicts) {
  var* b = nullptr;
  std::string err = msgs([&] {
    b = var_start("b");
    b->addtype(VF_INTEGER);
    b->addtype(VF_BINARY);
    b = b->finish_dcl(0);
  });
  EXPECT_EQ(err, "");
  EXPECT_EQ(b->flags & 3, 3u);
  EXPECT_EQ(b->integ, 1u);

  setdcl* s = new_setdcl(Symbol("S", 1), nullptr, nullptr);
  s->add_init(opword(EQ), set_range(num(1), num(3), nullptr));
  s = s->finish_dcl(0);
  var* s2 = nullptr;
  err = msgs([&] {
    s2 = var_start("s2");
    s2->addtype(VF_SYMBOLIC);
    s2->addtype(VF_INTEGER);
    s2->addiset(set_named(s));
    s2 = s2->finish_dcl(0);
  });
  EXPECT_EQ(err,
            "\n\tSorry, symbolic variables are not yet allowed.\n"
            "\n\tVariables cannot be both symbolic and integer; ignoring "
            "\"integer\".\n");
  EXPECT_EQ(s2->kind, DK_SVAR);
  EXPECT_EQ(xclass[XC_SYMVARS].n, 1);
}

TEST_F(VarDcl, OpenIntervalDomainIsRefused) {
  var* v = nullptr;
  std::string err = msgs([&] {
    v = var_start("v");
    v->addiset(set_interval(0, num(0), num(1), 0));
    v = v->finish_dcl(0);
  });
  EXPECT_EQ(err, "\n\tignoring \"in set_expr\" involving an open interval\n");
  EXPECT_EQ(v->domain, nullptr);

  var* w = var_start("w");
  w->addiset(set_interval(1, num(0), num(5), 3));
  w = w->finish_dcl(0);
  EXPECT_NE(w->domain, nullptr);
  EXPECT_NE(w->flags & VF_INTEGER, 0u);  // an integer interval
}

TEST_F(VarDcl, InitialValues) {
  var* x = scalar_var("x");
  var* v = nullptr;
  std::string err = msgs([&] {
    v = var_start("v");
    v->addiguess(num(1), 0);
    v->addiguess(num(2), 1);
    v->addiguess(num(3), 0);
    v = v->finish_dcl(0);
    var* u = var_start("u");
    u->addiguess(ref(x), 0);
    u->finish_dcl(0);
  });
  EXPECT_EQ(err,
            "\n\tInitial guess already specified.\n"
            "\n\tInitial guess already specified.\n"
            "\n\tvariable in := expression\n");
  EXPECT_EQ(v->init->L.d, 1.0);
  EXPECT_EQ(v->dflt, nullptr);
}

TEST_F(VarDcl, ArcTerms) {
  constr* n = new constr(CF_NODE | CF_TOCOME, Symbol("n", 1), nullptr, nullptr,
                         nullptr, nullptr);
  n = n->finish_dcl();
  var* a = nullptr;
  std::string err = msgs([&] {
    a = var_start("a", VF_ARC);
    dep_note(n->num);  // the reference to n in the clause
    a->addarc(1, nullptr, n, nullptr, nullptr);
    a->addarc(1, nullptr, n, nullptr, num(2));
    a->addarc(1, nullptr, n, nullptr, nullptr);
    a = a->finish_dcl(0);
  });
  EXPECT_EQ(err, "\n\tCaution: multiple from clauses for arc a\n");
  int count = 0;
  for (var_term* t = a->arcs; t; t = t->next) count++;
  EXPECT_EQ(count, 3);
  var_rev(a);
  EXPECT_EQ(a->arcs->kind, VT_FROM);
  EXPECT_EQ(a->arcs->coef->L.d, -1.0);
  EXPECT_EQ(a->arcs->next->coef->L.d, -2.0);
  EXPECT_NE(n->flags & CF_COLTERMS, 0u);
  // The node now depends on the arc, and the arc refers to the node.
  ASSERT_EQ(n->ndeps, 1);
  EXPECT_EQ(n->deps[0], static_cast<uint32_t>(a->num));

  err = msgs([&] {
    var* v = var_start("v");
    v->addarc(0, nullptr, n, nullptr, nullptr);
    v->addcolgen(nullptr, n, nullptr, num(1));
    v->finish_dcl(0);
  });
  EXPECT_EQ(err,
            "\n\tv is not an arc\n"
            "\n\tn is an arc; only \"to\" or \"from\" allowed\n");
}

TEST_F(VarDcl, SuffixInitialValues) {
  var* v = nullptr;
  std::string err = msgs([&] {
    v = var_start("v");
    v->addsufinit(Symbol("relax", 0), num(1));
    v->addsufinit(Symbol("nosuch", 1), num(1));
    v = v->finish_dcl(0);
  });
  // The message ends in a newline of its own.
  EXPECT_EQ(err, "\n\tnosuch is not a declared suffix.\n\n");
  ASSERT_NE(v->sufinit, nullptr);
  EXPECT_EQ(v->sufinit->next, nullptr);
  EXPECT_EQ(v->sufinit->L.x, relax_suf);
  ASSERT_EQ(v->ndeps, 1);
  EXPECT_EQ(v->deps[0], static_cast<uint32_t>(relax_suf->num));
}

}  // namespace
}  // namespace vexo
