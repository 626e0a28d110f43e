// Compilation of declarations: every constraint kind by its own path, the
// objective check, what a second compilation redoes and what it leaves.
#include "compiler/compdecl.h"

#include <gtest/gtest.h>

#include "compiler/compile_fixture.h"
#include "frontend/conbody.h"

namespace vexo {
namespace {

using Declarations = test::CompileTest;

// Term nodes of each kind in a distributed body.
int terms(expr* e, int opc) {
  if (!e) return 0;
  int n = opcode(e) == opc;
  switch (opcode(e)) {
    case OPPLUS:
    case OPMINUS:
      return n + terms(e->L.e, opc) + terms(e->R.e, opc);
    case OPUMINUS:
      return n + terms(e->L.e, opc);
  }
  return n;
}

TEST_F(Declarations, EveryConstraintKindCompilesByItsOwnPath) {
  model(
      "var x; var y;\n"
      "subject to c0: x + y = 1;\n"
      "subject to c1: x + y <= 2;\n"
      "subject to c2: x - y >= 0;\n"
      "subject to c3: 0 <= x + y <= 5;\n"
      "subject to c4: 5 >= x + y >= 0;\n"
      "subject to l: x + y <= 1 or x >= 3;\n"
      "subject to k8: x >= 0 complements y >= 0;\n"
      "subject to k9: 0 <= x complements y >= 0;\n"
      "subject to k10: 1 <= x <= 2 complements y;\n"
      "subject to k11: x complements y = 0;\n"
      "minimize o: x + 2 * y;\n");
  auto r = test::run_captured([] { compile(); });
  ASSERT_FALSE(r.exited) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* name : {"c0", "c1", "c2"}) {
    constr* c = decl<constr>(name);
    EXPECT_EQ(int(c->flags & 15), name[1] - '0');
    EXPECT_EQ(terms(c->body->L.e, OPVARAC), 2) << name;
  }
  for (const char* name : {"c3", "c4"}) {
    constr* c = decl<constr>(name);
    EXPECT_EQ(terms(c->body->L.e, OPVARAC), 2) << name;
    // The bounds are compiled and bound.
    EXPECT_EQ(c->body->R.e->L.e->op, f_OPNUM) << name;
    EXPECT_EQ(c->body->R.e->R.e->op, f_OPNUM) << name;
  }
  constr* l = decl<constr>("l");
  ASSERT_NE(l->logbody, nullptr);
  EXPECT_EQ(opcode(l->logbody), OPNLAC);
  for (const char* name : {"k8", "k9", "k10", "k11"}) {
    constr* c = decl<constr>(name);
    EXPECT_EQ(int(c->flags & 15), std::atoi(name + 1)) << name;
    // Each side is distributed by its own kind code.
    for (expr* part : {c->body->L.e, c->body->R.e})
      EXPECT_EQ(terms(part->L.e, OPVARAC), 1) << name;
  }
  EXPECT_EQ(terms(body("o"), OPVARAC), 2);
  for (const char* name : {"c0", "k10", "o"})
    EXPECT_EQ(decl(name)->xr.stamp, -2.0) << name;
}

TEST_F(Declarations, ConstraintKindOutsideTheBodyCodesIsABug) {
  model("var x; subject to c: x <= 1;\n");
  decl<constr>("c")->flags = (decl<constr>("c")->flags & ~15u) | 5;
  auto r = test::run_captured([] { compile(); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Bug: unexpected ctype 5 in compile_constrdcls"),
            std::string::npos)
      << r.err;
}

TEST_F(Declarations, ObjectiveKindIsChecked) {
  model("var x; maximize o: x;\n");
  decl<constr>("o")->flags |= 1;  // 7: neither minimize nor maximize
  auto r = test::run_captured([] { compile(); });
  EXPECT_TRUE(r.exited);
  EXPECT_NE(r.err.find("Bug: unexpected ctype 7 in compile_objectives"),
            std::string::npos)
      << r.err;
}

TEST_F(Declarations, GeneratedDeclarationIsLeftAlone) {
  model(
      "set I = 1..3; param a{I}; param c;\n"
      "param p = sum {i in I, j in I} a[i] * j;\n"
      "param q = sum {i in I, j in I} a[i] * j * c + c * c;\n");
  compile();
  xnode* p = decl("p");
  xnode* q = decl("q");
  EXPECT_EQ(p->xr.stamp, -2.0);
  q->xr.stamp = 4.0;  // its values were generated
  auto q_code = test::described(def("q"), true, true);
  xrecomp q_rec = q->xr;
  int32_t stores = m_mandrew;
  int64_t compiles = dcl_compiles;
  compile();
  // p was compiled and nothing it reads changed since: left as it is.
  EXPECT_EQ(p->xr.stamp, -2.0);
  EXPECT_EQ(m_mandrew, stores);
  EXPECT_EQ(dcl_compiles, compiles);
  // Reset (an input changed): compiled again, and so are the compiled
  // declarations after it, which may share its nodes.
  p->xr.stamp = -1.0;
  compile();
  EXPECT_EQ(p->xr.stamp, -2.0);
  EXPECT_EQ(m_mandrew, stores + 1);
  EXPECT_EQ(dcl_compiles, compiles + 1);
  EXPECT_EQ(q->xr.stamp, 4.0);
  EXPECT_EQ(test::described(def("q"), true, true), q_code);
  EXPECT_EQ(q->xr.chain, q_rec.chain);
  EXPECT_EQ(q->xr.retained, q_rec.retained);
  EXPECT_EQ(q->xr.saved, q_rec.saved);
  // Its level-0 rewrites were undone for the compilation and put back.
  ASSERT_EQ(q->xr.nlev0rew, q_rec.nlev0rew);
  EXPECT_GT(q->xr.nlev0rew, 0);
  for (int k = 0; k < q->xr.nlev0rew; ++k)
    EXPECT_EQ(opcode(q->xr.lev0rew[k]), OP_REWRITE0 + RK_REAL);
}

TEST_F(Declarations, RecursiveDefinitionMovesToTheDefault) {
  model("param f{i in 1..5} = if i = 1 then 1 else i * f[i - 1];\n");
  param* f = decl<param>("f");
  ASSERT_TRUE(f->type & PT_RECURSIVE);
  expr* def = f->asgn;
  compile();
  EXPECT_EQ(f->asgn, nullptr);
  EXPECT_EQ(f->dflt, def);
  EXPECT_EQ(opcode(f->dflt), OP_RECPAR);
  compile();
  EXPECT_EQ(f->asgn, nullptr);
  EXPECT_EQ(f->dflt, def);
}

TEST_F(Declarations, ChecksShareTheTestedValue) {
  model("param lo; param p{i in 1..3} >= lo, <= 10 * i;\n");
  compile();
  list* checks = decl<param>("p")->checks;
  ASSERT_NE(checks, nullptr);
  ASSERT_NE(checks->next, nullptr);
  expr* tested = checks->item.e->L.e;
  ASSERT_NE(tested, nullptr);
  EXPECT_EQ(checks->next->item.e->L.e, tested);
  EXPECT_EQ(tested->op, f_OPNUM);
}

TEST_F(Declarations, VariablesCompileTheirBoundsAndDefinitions) {
  model(
      "param u; var x >= 0, <= u; var f = 2 * x + 1;\n"
      "subject to c: to_come >= 1;\n"
      "var z >= 1, coeff c u * 2;\n");
  auto r = test::run_captured([] { compile(); });
  ASSERT_FALSE(r.exited) << r.err;
  EXPECT_EQ(r.err, "");
  var* f = decl<var>("f");
  ASSERT_TRUE(f->flags & VF_DEFINED);
  EXPECT_EQ(terms(f->init, OPVARAC), 1);
  var* z = decl<var>("z");
  ASSERT_NE(z->arcs, nullptr);
  EXPECT_EQ(opcode(z->arcs->coef), OPMULT);
  EXPECT_EQ(z->arcs->coef->op, functab[OPMULT]);
  // The parameter read by x's bound and z's coefficient is one node,
  // rewritten at level 0.
  EXPECT_EQ(z->arcs->coef->L.e, decl<var>("x")->ub);
  EXPECT_EQ(decl<var>("x")->ub->op, f_OP_REWRITE_r);
}

}  // namespace
}  // namespace vexo
