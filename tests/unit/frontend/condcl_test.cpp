// Constraint, objective and check declarations through their builders,
// and the compound-command and redeclaration paths of chaining them.
#include "frontend/condcl.h"

#include "decl_fixture.h"
#include "frontend/conbody.h"
#include "instance/problem.h"
#include "session/cmdmem.h"
#include "solver/solve.h"

namespace vexo {
namespace {

using ConDcl = test::DeclTest;

TEST_F(ConDcl, ObjectiveWithoutBody) {
  constr* o = new constr(Symbol("cost", 1), nullptr, nullptr,
                         CF_MINIMIZE | CF_TOCOME, num(0));
  o = o->finish_dcl();
  EXPECT_EQ(o->kind, DK_OBJ);
  ASSERT_NE(o->body, nullptr);
  EXPECT_EQ(opcode(o->body), OPNUM);
  EXPECT_EQ(o->body->L.d, 0.0);
  EXPECT_EQ(o->flags & 0xff, 21u);
  EXPECT_EQ(xclass[XC_OBJS].n, 1);
}

TEST_F(ConDcl, ConstraintBodyKind) {
  var* x = scalar_var("x");
  var* y = scalar_var("y");
  constr* c = nullptr;
  std::string err = msgs([&] {
    expr* sum = binop(opword(OPPLUS, EF_NUMERIC), ref(x), ref(y), bop_plumin);
    expr* body = stbody(sum, opword(LE, EF_NUMERIC), num(3), 0, nullptr, 0);
    c = (new constr(0, Symbol("c", 1), nullptr, nullptr, body, nullptr))
            ->finish_dcl();
  });
  EXPECT_EQ(err, "");
  EXPECT_EQ(c->kind, DK_CON);
  EXPECT_EQ(c->flags & 0xf, 1u);
  EXPECT_EQ(c->body->opword, 1u);
  EXPECT_EQ(c->compl_, 0);
  EXPECT_EQ(xclass[XC_CONS].n, 1);
  EXPECT_EQ(c->inst[0], c);
  bool found = false;
  for (expr* e = cur_prob->ents; e; e = e->next)
    if (e->L.e->L.x == c) found = true;
  EXPECT_TRUE(found);
}

TEST_F(ConDcl, DualValueClauses) {
  var* x = scalar_var("x");
  var* y = scalar_var("y");
  constr* cc = nullptr;
  std::string err = msgs([&] {
    list* left = relopchain(num(0), nullptr, opword(LE, EF_NUMERIC), ref(x));
    list* right = relopchain(ref(y), nullptr, opword(GE, EF_NUMERIC), num(0));
    di_type = 0;
    cc = (new constr(0, Symbol("cc", 1), nullptr, nullptr,
                     compldcl(left, right), num(1)))
             ->finish_dcl();
    expr* b = stbody(ref(x), opword(GE, EF_NUMERIC), num(0), 0, nullptr, 0);
    (new constr(0, Symbol("d", 1), nullptr, nullptr, b, ref(y)))->finish_dcl();
  });
  EXPECT_EQ(err,
            "\n\tRejecting := clause in complementarity constraint.\n"
            "\n\tvariable in dual variable initializing expression\n");
  EXPECT_EQ(cc->compl_, 1);
  EXPECT_NE(cc->flags & CF_COMPL, 0u);
  EXPECT_EQ(cc->idual, nullptr);

  di_type = 1;
  expr* b = stbody(ref(x), opword(GE, EF_NUMERIC), num(0), 0, nullptr, 0);
  constr* e = (new constr(0, Symbol("e", 1), nullptr, nullptr, b, num(2)))
                  ->finish_dcl();
  ASSERT_NE(e->ddual, nullptr);
  EXPECT_EQ(e->idual, nullptr);
}

TEST_F(ConDcl, LogicalConstraints) {
  var* x = scalar_var("x");
  // Without the option the logical body is filed in _LOGCONS.
  constr* l = nullptr;
  std::string err = msgs([&] {
    expr* rel = relop(ref(x), opword(GT, EF_NUMERIC), num(1), nullptr);
    l = (new constr(0, Symbol("l", 1), nullptr, nullptr, stbody2(rel), nullptr))
            ->finish_dcl();
  });
  ASSERT_NE(l->logbody, nullptr);
  EXPECT_EQ(l->body, nullptr);
  EXPECT_EQ(xclass[XC_LOGCONS].n, 1);

  // With it, a single >= relation becomes an ordinary constraint.
  convert_logical = 1;
  expr* rel = relop(ref(x), opword(GE, EF_NUMERIC), num(1), nullptr);
  constr* g =
      (new constr(0, Symbol("g", 1), nullptr, nullptr, stbody2(rel), nullptr))
          ->finish_dcl();
  EXPECT_EQ(g->logbody, nullptr);
  ASSERT_NE(g->body, nullptr);
  EXPECT_EQ(g->flags & 0xf, 2u);
  EXPECT_EQ(xclass[XC_LOGCONS].n, 1);
  EXPECT_EQ(xclass[XC_CONS].n, 1);
}

TEST_F(ConDcl, ChecksAreNumbered) {
  var* x = scalar_var("x");
  check* c[3];
  std::string err = msgs([&] {
    for (auto& k : c) k = (new check(nullptr, num(1)))->finish_dcl();
    check* bad = new check(
        nullptr, relop(ref(x), opword(GE, EF_NUMERIC), num(0), nullptr));
    EXPECT_EQ(opcode(bad->cond), OPLOGLIT);
    bad->finish_dcl();
  });
  EXPECT_EQ(err, "\n\tvariable in check expression\n");
  for (int i = 0; i < 3; i++) EXPECT_EQ(c[i]->chknum, i + 1);

  expr* l = nullptr;
  err = msgs([&] { l = check_del(nullptr, 4 + 1); });
  EXPECT_EQ(err, "\n\tBad check number: ignoring \"delete check 5\"\n");
  EXPECT_EQ(l, nullptr);
  l = check_del(nullptr, 2);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(opcode(l), OPXNODE);
  EXPECT_EQ(l->R.x, c[1]);

  // redeclare check 2 copies into the old record.
  redecl_check(2);
  check* r = (new check(nullptr, num(0)))->finish_dcl();
  EXPECT_EQ(r, c[1]);
  EXPECT_EQ(r->chknum, 2);
  EXPECT_EQ(xclass[XC_CHECKS].n, 4);
}

// `reset check;`: every check, evaluated or not, counts as not evaluated.
TEST_F(ConDcl, ResetCheckMarksEveryCheckUnevaluated) {
  for (int i = 0; i < 3; i++) (new check(nullptr, num(1)))->finish_dcl();
  auto& checks = xclass[XC_CHECKS];
  ASSERT_EQ(checks.n, 3);
  checks.a[0]->xr.stamp = 4;
  checks.a[2]->xr.stamp = 7;
  reset_check();
  for (int i = 0; i < checks.n; i++) EXPECT_EQ(checks.a[i]->xr.stamp, -1);
}

TEST_F(ConDcl, DeleteCheckBeyondTheCount) {
  for (int i = 0; i < 3; i++) (new check(nullptr, num(1)))->finish_dcl();
  std::string err = msgs([&] { check_del(nullptr, 4); });
  EXPECT_EQ(err, "\n\tBad check number: ignoring \"delete check 4\"\n");
}

TEST_F(ConDcl, DeclarationsInsideACompoundCommand) {
  cmdstate = 1;
  std::string err = msgs([&] {
    param* r = new_param(Symbol("r", 1), nullptr, nullptr);
    r->addasgn(num(1));
    r->finish_dcl(0);
  });
  // The message ends in a newline of its own.
  EXPECT_EQ(err,
            "\n\tAbandoning compound command to accept declaration of r.\n\n");
  EXPECT_NE(Symbol("r", 0)->binding, nullptr);
  EXPECT_EQ(cmdstate, 0);  // the compound command was abandoned
  cmdstate = 1;

  // Using the loop dummy: refused, and the name keeps its meaning.  The
  // loop's dummy lives in the command arena, as the session keeps it, not
  // in a scope that the declaration's end closes.
  set_spec* ix = range_ix("i", 1, 2);
  dummy* loop_i = static_cast<dummy*>(cmdmem(sizeof(dummy)));
  loop_i->kind = LOOPDUMMY_KIND;
  loop_i->name = Symbol("i", 1);
  lastloopdummy = loop_i;
  void* before = Symbol("w", 1)->binding;
  err = msgs([&] {
    param* w = new_param(Symbol("w", 0), nullptr, range_ix("j", 1, 2));
    w->addasgn(num(1));
    w->finish_dcl(0);
  });
  EXPECT_EQ(err,
            "\n\tAbandoning compound command to accept declaration of w.\n\n"
            "\n\tRejecting declaration because it uses loop dummy i.\n");
  EXPECT_EQ(Symbol("w", 0)->binding, before);
  // The declaration closed every open scope, the loop's too.
  EXPECT_EQ(sslevel, 0);
  (void)ix;
  lastloopdummy = nullptr;
  cmdstate = 0;
}

TEST_F(ConDcl, RedeclaredConstraintKeepsItsAddress) {
  var* x = scalar_var("x");
  auto make = [&](double rhs) {
    expr* b = stbody(ref(x), opword(LE, EF_NUMERIC), num(rhs), 0, nullptr, 0);
    return (new constr(0, Symbol("k", 1), nullptr, nullptr, b, nullptr))
        ->finish_dcl();
  };
  constr* k = make(1);
  int n = k->num;
  redecl_start(Symbol("k", 0));
  constr* k2 = make(2);
  EXPECT_EQ(k2, k);
  EXPECT_EQ(k2->num, n);
  EXPECT_EQ(xclass[XC_CONS].n, 1);

  // Redeclared while another problem is current: it joins that problem.
  problem* p = new_problem(Symbol("P", 1), nullptr, nullptr, nullptr, nullptr);
  ASSERT_EQ(cur_prob, p);
  redecl_start(Symbol("k", 0));
  EXPECT_EQ(make(3), k);
  ASSERT_NE(p->ents, nullptr);
  EXPECT_EQ(p->ents->L.e->L.x, static_cast<xnode*>(k));
}

}  // namespace
}  // namespace vexo
