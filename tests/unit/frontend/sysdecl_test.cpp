// The system declarations that start-up makes.
#include "frontend/sysdecl.h"

#include "decl_fixture.h"

namespace vexo {
namespace {

using SysDecl = test::DeclTest;

TEST_F(SysDecl, ExistAfterStartUp) {
  for (const char* n : {"$display", "_LIBS", "_AVAILFUNCS", "_AVAILFUNC2",
                        "_SFUNCS", "_HANDLERS"}) {
    xnode* d = static_cast<xnode*>(Symbol(n, 0)->binding);
    ASSERT_NE(d, nullptr) << n;
    EXPECT_EQ(d->kind, DK_SET) << n;
    EXPECT_NE(static_cast<setdcl*>(d)->sflags & SF_SYSTEM, 0u) << n;
  }
  EXPECT_EQ(Symbol("$display", 0)->binding, Sd_display);
  EXPECT_NE(Sd_display->sflags & SF_ORDERED, 0u);
  EXPECT_EQ(Sd_AVAILFUNC2->dimen, 2);
  EXPECT_EQ(Sd_AVAILFUNCS->ndeps, 1);
  EXPECT_EQ(Sd_AVAILFUNCS->deps[0], static_cast<uint32_t>(Sd_LIBS->num));

  for (param* p : {Pd_handler_desc, Pd_handler_lib}) {
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->kind, DK_SPARAMI);
    EXPECT_EQ(p->ndeps, 1);
    EXPECT_EQ(p->deps[0], static_cast<uint32_t>(Sd_HANDLERS->num));
    EXPECT_EQ(p->nvals, 1);
  }
  EXPECT_EQ(handleindx, Sd_HANDLERS->value);

  const char* sufs[] = {"derstage", "relax", "sstatus", "stage"};
  suffix* recs[] = {derstage_suf, relax_suf, sstatus_suf, stage_suf};
  for (int i = 0; i < 4; i++) {
    ASSERT_NE(recs[i], nullptr);
    EXPECT_STREQ(recs[i]->name->name, sufs[i]);
    symbol* s = recs[i]->name;
    EXPECT_EQ(set_lookup(dot_names, &s), i);
  }
  EXPECT_EQ(sstatus_suf->sflags, SUF_SYMBOLIC);
  EXPECT_EQ(N_Sys_Sufs, 4);
  EXPECT_EQ(Sstatus, sstatus_suf->name);

  ASSERT_NE(cur_prob, nullptr);
  EXPECT_EQ(cur_prob, initial_prob);
  // System declarations are numbered but stay out of the model's list.
  EXPECT_EQ(decls, nullptr);
  EXPECT_EQ(N_System_Pars, dac.next);
  EXPECT_GT(N_System_Pars, 0);

  // A sysset_en set generates on its first membership test.
  set* af = Sd_AVAILFUNCS->value;
  ASSERT_NE(af, nullptr);
  EXPECT_EQ(af->nmem, -1);
  symbol* t = Symbol("f", 1);
  EXPECT_EQ(af->in, &sysset_en_IN);
  EXPECT_EQ(set_in(af, &t, nullptr), -1);
  EXPECT_EQ(af->nmem, 0);
  EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace vexo
