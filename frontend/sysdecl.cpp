// The system declarations of start-up.
#include "frontend/sysdecl.h"

#include "frontend/condcl.h"
#include "frontend/dclstub.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "support/list.h"
#include "support/symbol.h"

namespace vexo {

suffix* derstage_suf;
suffix* relax_suf;
suffix* sstatus_suf;
suffix* stage_suf;
symbol* Sstatus;
symbol* Stage;

setdcl* Sd_display;
setdcl* Sd_LIBS;
setdcl* Sd_AVAILFUNCS;
setdcl* Sd_AVAILFUNC2;
setdcl* Sd_SFUNCS;
setdcl* Sd_HANDLERS;
param* Pd_handler_desc;
param* Pd_handler_lib;
set* handleindx;
xnode* Pd_trans_state;

// Until the function library and the translator fill them: generated
// empty.
static void no_members(set* s, TVA*) { s->nmem = 0; }
set_genall_fn availfuncs_gen = no_members;
set_genall_fn availfunc2_gen = no_members;
set_genall_fn sfuncs_gen = no_members;

static suffix* sys_suffix(const char* name, int dir, uint32_t fl) {
  suffix* s = new_suffix(Symbol(name, 0), nullptr);
  s->stamp = 1.0;
  s->add_dir(dir);
  s->sflags = fl;
  s = s->finish_dcl();
  N_Sys_Sufs++;
  return s;
}

void sysdecl_suffixes() {
  dot_names = set_enum(new_enum(), 1);
  table_names = set_enum(new_enum(), 1);
  dsuffix_reset();
  derstage_suf = sys_suffix("derstage", 1, SUF_INTEGER);
  relax_suf = sys_suffix("relax", 4, 0);
  sstatus_suf = sys_suffix("sstatus", 3, SUF_SYMBOLIC);
  Sstatus = sstatus_suf->name;
  stage_suf = sys_suffix("stage", 4, SUF_INTEGER);
  Stage = stage_suf->name;
  stage_declared = 0;
}

void sysdecl_problems() {
  dclstub_init();
  initial_prob =
      new_problem(Symbol("Initial", 0), nullptr, nullptr, nullptr, nullptr);
  cur_prob = initial_prob;
}

// A system set declaration without a value routine: ordered, dimension 1,
// an empty value set that counts as generated.
static setdcl* plain_sysset(const char* name, set* orderby) {
  setdcl* d = new_setdcl(Symbol(name, 0), nullptr, nullptr);
  d->sflags |= SF_ORDERED | SF_SYSTEM;
  d->dimen = 1;
  if (orderby) {
    // The built-in collation set is ordered by construction; the ordering
    // test of `ordered by` is not needed for it.
    list* c = new list;
    c->next = nullptr;
    c->item.s = orderby;
    orderby->refcnt++;
    d->orderby = c;
  }
  d = d->finish_dcl(0);
  if (d->value) d->value->nmem = 0;
  return d;
}

void sysdecl_sets() {
  Sd_display = plain_sysset("$display", Display);
  Sd_LIBS = plain_sysset("_LIBS", nullptr);
  Sd_AVAILFUNCS =
      sysset_en(Symbol("_AVAILFUNCS", 0), 1, availfuncs_gen, Sd_LIBS);
  Sd_AVAILFUNC2 =
      sysset_en(Symbol("_AVAILFUNC2", 0), 2, availfunc2_gen, Sd_LIBS);
  Sd_SFUNCS = sysset_en(Symbol("_SFUNCS", 0), 1, sfuncs_gen, Pd_trans_state);
  Sd_HANDLERS = plain_sysset("_HANDLERS", nullptr);
  handleindx = Sd_HANDLERS->value;
  Pd_handler_desc = hparamvec(Symbol("_handler_desc", 0));
  Pd_handler_lib = hparamvec(Symbol("_handler_lib", 0));
}

void sysdecl_init() {
  vardcl_init();
  paramdcl_init();
  condcl_init();
  sysdecl_suffixes_hook = sysdecl_suffixes;
  sysdecl_problems_hook = sysdecl_problems;
  sysdecl_sets_hook = sysdecl_sets;
}

}  // namespace vexo
