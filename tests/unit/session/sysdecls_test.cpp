// The system declarations of start-up: the built-in params and system sets
// of ppinit and those of the keyword set-up.
#include "session/sysdecls.h"

#include <gtest/gtest.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/frontend_fixture.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/reader.h"
#include "frontend/suffix.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "session/infiles.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/filename.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {
namespace {

class SysDecls : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset_input();
    // The process id, and -x as a `reset` keeps it: start-up again.
    apid = 4242;
    xoption = 7.5;
    init_modules(0);
  }
  void TearDown() override { xoption = 0; }

  static param* par(const char* name) {
    symbol* s = Symbol0(name);
    EXPECT_TRUE(s) << name;
    if (!s || !s->binding) return nullptr;
    xnode* x = static_cast<xnode*>(s->binding);
    EXPECT_TRUE(x->kind == DK_PARAM || x->kind == DK_SPARAM) << name;
    return static_cast<param*>(x);
  }
  static std::vector<std::string> members(set* s) {
    if (s->nmem < 0) set_genall(s, nullptr);
    std::vector<std::string> v;
    for (setmem* m = s->first; m; m = m->next) v.push_back(m->tup()[0]->name);
    return v;
  }
};

TEST_F(SysDecls, NumericParamsWithDefaultValues) {
  struct {
    const char* name;
    double v;
  } rows[] = {{"Infinity", Infinity}, {"_pid", 4242}, {"_version", 20240404}};
  for (auto& r : rows) {
    param* p = par(r.name);
    ASSERT_TRUE(p);
    ASSERT_TRUE(p->dflt) << r.name;
    EXPECT_EQ(p->dflt->L.d, r.v) << r.name;
    EXPECT_TRUE(p->type & 0x80000000u) << r.name << ": system mark";
  }
  param* nan = par("NaN");
  ASSERT_TRUE(nan && nan->dflt);
  EXPECT_TRUE(std::isnan(nan->dflt->L.d));
}

TEST_F(SysDecls, InterpreterParamsHoldTheirCells) {
  ASSERT_TRUE(solve_result_num && Cmdno && Solution_Count && Pd_trans_state);
  EXPECT_EQ(par("solve_result_num"), solve_result_num);
  EXPECT_EQ(*sysparam_cell(solve_result_num), -1);
  EXPECT_EQ(*sysparam_cell(shell_exitcode), -1);
  EXPECT_EQ(*sysparam_cell(Cmdno), 0);
  EXPECT_EQ(static_cast<xnode*>(par("_Solution_Count")), Solution_Count);
  EXPECT_EQ(static_cast<xnode*>(par("_trans_state")), Pd_trans_state);
  // The system mark only where the table gives it.
  EXPECT_TRUE(Pd_presolve_req->type & 0x80000000u);
  EXPECT_FALSE(Cmdno->type & 0x80000000u);
  // The time params in their order; the clock ones read afresh.
  EXPECT_EQ(par("_solve_time"), Time_params[T_SOLVE]);
  EXPECT_EQ(par("_session_time"), Time_params[T_SESSION]);
  EXPECT_TRUE(Time_params[T_VEXO]->flags & XF_RANDOM);
  EXPECT_TRUE(Time_params[T_SESSION]->flags & XF_RANDOM);
  EXPECT_FALSE(Time_params[T_SESSION_MAX]->flags & XF_RANDOM);
  EXPECT_FALSE(Time_params[T_TOTAL_SHELL_ELAPSED]->flags & XF_RANDOM);
  EXPECT_EQ(*sysparam_cell(Time_params[T_SESSION_MAX]), 7.5);  // -x
}

// -x is applied by the walk over the command line, after the params were
// made: the param still shows the limit.
TEST_F(SysDecls, DashXOnTheCommandLineSetsSessionMaxtime) {
  char* argv[] = {const_cast<char*>("vexo"), const_cast<char*>("-x12"),
                  nullptr};
  xargv = argv;
  read_options = 1;
  ASSERT_EQ(nextfile(0, 0), 1);  // then standard input, not read yet
  EXPECT_EQ(xoption, 12);
  EXPECT_EQ(*sysparam_cell(Time_params[T_SESSION_MAX]), 12);
  infile = -1;
  read_options = 1;
  // The limit armed the process's timer: disarmed, so that it cannot end
  // a later test of this binary.
  itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
}

TEST_F(SysDecls, SymbolicParams) {
  EXPECT_EQ(par("solve_result"), solve_result);
  EXPECT_EQ(solve_result->kind, DK_SPARAM);
  EXPECT_STREQ(sparam_value(solve_result)->text(), "?");
  EXPECT_STREQ(sparam_value(solve_message)->text(), "");
  char cwd[4096];
  ASSERT_TRUE(getcwd(cwd, sizeof cwd));
  EXPECT_STREQ(sparam_value(Curdir)->text(), cwd);
  EXPECT_EQ(sysparam_cell(solve_result), nullptr);
}

TEST_F(SysDecls, ClassSetsFollowTheDeclarations) {
  ASSERT_EQ(xclass[XC_PARS].sysdcl, Sd_sysset[XC_PARS]);
  set* pars = Sd_sysset[XC_PARS]->value;
  std::vector<std::string> v = members(pars);
  ASSERT_GE(v.size(), 4u);
  EXPECT_EQ(v[0], "Infinity");
  EXPECT_EQ(v[3], "NaN");
  size_t before = v.size();
  // A new declaration makes the set generate again, with it at the end.
  param* p = new_param(Symbol("fresh", 0), nullptr, nullptr);
  p->finish_dcl(0);
  v = members(pars);
  ASSERT_EQ(v.size(), before + 1);
  EXPECT_EQ(v.back(), "fresh");
  // _SETS lists the sets, among them the system sets themselves.
  v = members(Sd_sysset[XC_SETS]->value);
  EXPECT_NE(std::find(v.begin(), v.end(), "_VARS"), v.end());
  // The sets the interpreter fills start empty.
  ASSERT_TRUE(sysenum_sets[XC_TABLES - XC_ENVS]);
  EXPECT_EQ(sysenum_sets[XC_TABLES - XC_ENVS]->nmem, 0);
  EXPECT_EQ(Sd_sysset[XC_TABLES]->name->name, std::string("_TABLES"));
}

TEST_F(SysDecls, FileNameMappingReadsTheParams) {
  ASSERT_TRUE(Sd_file_prefixmap && Sd_file_prefixmap->value);
  set* s = Sd_file_prefixmap->value;
  EXPECT_EQ(s->arity, 2);
  auto mapped = [](const char* name) {
    int k;
    char* m = filename_map(name, &k);
    std::string r = m;
    if (k >= 0) del_mblk(k, m);
    return r;
  };
  EXPECT_EQ(mapped("/from/A\\b"), "/from/A\\b");
  symbol* t[2] = {Symbol("/from/", 0), Symbol("/to/", 0)};
  set_addmem(s, t);
  EXPECT_EQ(mapped("/from/A\\b"), "/to/A\\b");
  *sysparam_cell(backslash_map) = 1;
  EXPECT_EQ(mapped("/from/A\\b"), "/to/A/b");
  *sysparam_cell(filename_case) = 1;
  EXPECT_EQ(mapped("/FROM/A\\b"), "/to/a/b");
}

TEST_F(SysDecls, KeywordSetUpDeclarations) {
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
    EXPECT_EQ(p->nvals, 2);  // the built-in handlers "tab" and "bit"
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
  EXPECT_EQ(sstatus_suf->type_bits, SUF_SYMBOLIC);
  EXPECT_EQ(N_Sys_Sufs, 4);
  EXPECT_EQ(Sstatus, sstatus_suf->name);

  ASSERT_NE(cur_prob, nullptr);
  EXPECT_EQ(cur_prob, initial_prob);
  // Every declaration of start-up counts as the system's own.
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
