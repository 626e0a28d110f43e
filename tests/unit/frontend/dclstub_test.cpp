// The least declaration services: functions, suffixes, problems, tables
// and the random attribute, as the declaration builders use them.
#include "frontend/dclstub.h"

#include "decl_fixture.h"
#include "frontend/suffix.h"

namespace vexo {
namespace {

using DclStub = test::DeclTest;

TEST_F(DclStub, DeclaredSuffixServesInitialisers) {
  suffix* s = new_suffix(Symbol("mysuf", 1), nullptr);
  s->addtype(SUF_SYMBOLIC);
  s->add_dir(1);
  s = s->finish_dcl();
  EXPECT_EQ(s->kind, DK_SUFFIX);
  EXPECT_EQ(Symbol("mysuf", 0)->binding, nullptr);  // suffixes stay unbound
  symbol* nm = s->name;
  EXPECT_EQ(set_lookup(dot_names, &nm), N_Sys_Sufs);
  int symbolic = 0;
  ASSERT_NE(getsuf("mysuf", &symbolic), nullptr);

  var* v = new var(Symbol("v", 1), nullptr, nullptr, 0);
  expr* lit = new_lit(Symbol("a", 1));
  v->addsufinit(Symbol("mysuf", 0), lit);
  v = v->finish_dcl(0);
  ASSERT_NE(v->sufinit, nullptr);
  EXPECT_EQ(v->sufinit->R.e, lit);  // symbolic: not made numeric
}

TEST_F(DclStub, RandomAfterExplicitStage) {
  var* v = new var(Symbol("v", 1), nullptr, nullptr, 0);
  make_random(v);
  make_random(v);
  EXPECT_EQ(nrandom, 1);
  v->finish_dcl(0);
  EXPECT_EQ(xclass[XC_RANDVARS].n, 1);

  new_suffix(Symbol("stage", 0), nullptr)->finish_dcl();
  var* w = new var(Symbol("w", 1), nullptr, nullptr, 0);
  std::string err = msgs([&] { make_random(w); });
  EXPECT_EQ(
      err,
      "\n\tIgnoring \"random\" after explicit suffix stage declaration.\n");
  EXPECT_EQ(w->flags & XF_RANDOM, 0u);
  w->finish_dcl(0);
}

TEST_F(DclStub, ProblemsFunctionsTables) {
  problem* p = new_problem(Symbol("P", 1), nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(cur_prob, p);
  EXPECT_NE(p, initial_prob);
  EXPECT_EQ(Symbol("P", 0)->binding, p);
  var* x = new var(Symbol("x", 1), nullptr, nullptr, 0);
  x = x->finish_dcl(0);
  ASSERT_NE(p->ents, nullptr);
  EXPECT_EQ(p->ents->L.e->L.x, x);
  ASSERT_EQ(x->nrefs, 1);
  EXPECT_EQ(x->refs[0], static_cast<uint32_t>(p->num));

  function* f = funcdcl(Symbol("g", 1), nullptr, nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(f->kind, DK_FUNCTION);
  EXPECT_EQ(Symbol("g", 0)->binding, f);
  EXPECT_EQ(xclass[XC_FUNCS].n, 1);

  Table* t = new Table(Symbol("tab", 1), nullptr);
  t->addtdir(1);
  t = t->finish_dcl(0);
  symbol* tn = t->name;
  EXPECT_EQ(set_lookup(table_names, &tn), 0);
  EXPECT_EQ(xclass[XC_TABLES].n, 1);
}

}  // namespace
}  // namespace vexo
