// Suffix declarations as the declaration builders use them, and the
// `random` attribute refused after an explicit declaration of suffix stage.
#include "instance/sufdecl.h"

#include "eval/builtin.h"
#include "frontend/decl_fixture.h"
#include "frontend/suffix.h"

namespace vexo {
namespace {

using SufDecl = test::DeclTest;

TEST_F(SufDecl, DeclaredSuffixServesInitialisers) {
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

// A user declaration of stage takes over the system record, once, and only
// before any random variable; after it `random` is refused.
TEST_F(SufDecl, StageDeclarations) {
  suffix* sys = suff_named(Symbol("stage", 0));
  EXPECT_EQ(new_suffix(Symbol("stage", 0), nullptr)->finish_dcl(), sys);
  std::string err =
      msgs([&] { new_suffix(Symbol("stage", 0), nullptr)->finish_dcl(); });
  EXPECT_NE(err.find("stage is aleady a suffix"), std::string::npos) << err;
  var* w = new var(Symbol("w", 1), nullptr, nullptr, 0);
  err = msgs([&] { make_random(w); });
  EXPECT_EQ(
      err,
      "\n\tIgnoring \"random\" after explicit suffix stage declaration.\n");
  w->finish_dcl(0);
}

TEST_F(SufDecl, StageAfterRandomVariables) {
  var* v = new var(Symbol("v", 1), nullptr, nullptr, 0);
  make_random(v);
  v->finish_dcl(0);
  std::string err =
      msgs([&] { new_suffix(Symbol("stage", 0), nullptr)->finish_dcl(); });
  EXPECT_NE(err.find("Ignoring suffix stage declaration after random "
                     "variable declaration."),
            std::string::npos)
      << err;
  EXPECT_EQ(stage_dcl, 0);
}

}  // namespace
}  // namespace vexo
