// The system declarations of start-up.
#include "session/sysdecls.h"

#include <unistd.h>

#include <cstdint>

#include "data/table.h"
#include "data/values.h"
#include "eval/builtin.h"
#include "eval/funclib.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/suffix.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "session/located.h"
#include "session/startup.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

param* Cmdno;
param* solve_result_num;
param* solve_exitcode;
param* shell_exitcode;
param* Pd_presolve_req;
param* Pd_presolve_sug;
param* Pd_ps_epsmax;
param* Pd_ps_epsmin;
param* Pd_ps_fixepsmax;
param* Pd_ps_fixepsmin;
param* Pd_ps_intepsmax;
param* Pd_ps_intepsmin;
param* dual_solno;
param* last_solno;
param* primal_solno;
param* status_solno;
param* backslash_map;
param* filename_case;
param* check_failures;
xnode* Pd_trans_state;
xnode* Solution_Count;
xnode* Ig_Count;
param* Time_params[N_TIME_PARAMS];
param* presolve_msgs;
param* solve_message;
param* solve_result;
param* Curdir;
param* table_errmsg;
setdcl* Sd_sysset[N_SYSSET_CODES];
set* sysenum_sets[4];
setdcl* Sd_file_prefixmap;

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

// The system mark: the top bit of a param's type word.  Table reads and
// output arguments do not assign to a param that carries it.
constexpr uint32_t PARAM_SYSTEM_MARK = 0x80000000u;

double* sysparam_cell(param* p) {
  return p && p->valk == 0 && p->nvals == 1 && !(p->type & PT_SYMBOLIC)
             ? static_cast<double*>(p->vals)
             : nullptr;
}

cstr* sparam_value(param* p) {
  return p && (p->type & PT_SYMBOLIC) && p->vals
             ? static_cast<symval*>(p->vals)->str
             : nullptr;
}

void set_sysparam(param* p, double v) {
  double* c = sysparam_cell(p);
  if (!c || *c == v) return;
  *c = v;
  p->stamp = nextgenlev;
}

void set_sparam(param* p, const char* value) {
  if (!p || !(p->type & PT_SYMBOLIC) || !p->vals) return;
  if (svupdate(static_cast<symval*>(p->vals), new_cstring(value), nullptr))
    p->stamp = nextgenlev;
}

param* sysparam(const char* name, double v) {
  param* p = new_param(Symbol(name, 0), nullptr, nullptr);
  p->adddflt(new_num(v));
  p->type |= PARAM_SYSTEM_MARK;
  return p->finish_dcl(0);
}

// Gives p (finished) one member in the value arrays that data use
// (data/values.h: a double, or a symval for a symbolic param) and returns
// its cell, zeroed.
static void* one_value(param* p) {
  val_extend(p, 0);
  p->nvals = 1;
  return val_cell(p, 0, 0);
}

// A numeric param with a scalar value cell (one double in a class-0
// block) holding v.
static param* cell_param(const char* name, double v, bool sysmark) {
  param* p = new_param(Symbol(name, 0), nullptr, nullptr);
  if (sysmark) p->type |= PARAM_SYSTEM_MARK;
  p = p->finish_dcl(0);
  *static_cast<double*>(one_value(p)) = v;
  return p;
}

param* sparam(const char* name, const char* value, param** global) {
  param* p = new_param(Symbol(name, 0), nullptr, nullptr);
  p->addtype(PT_SYMBOLIC);
  *global = p = p->finish_dcl(0);
  svupdate(static_cast<symval*>(one_value(p)), new_cstring(value), nullptr);
  return p;
}

// The interpreter's params with their value cells (hash_init's SPI).
struct spi_row {
  double dflt;
  const char* name;
  param** global;  // null: kept elsewhere as an xnode*
  xnode** xglobal;
  bool sysmark;
};

static const spi_row spi_tab[] = {
    {0, "_Solution_Count", nullptr, &Solution_Count, true},
    {0, "_Initial_Guess_Count", nullptr, &Ig_Count, true},
    {0, "_cmdno", &Cmdno, nullptr, false},
    {-1, "solve_result_num", &solve_result_num, nullptr, false},
    {-1, "solve_exitcode", &solve_exitcode, nullptr, false},
    {-1, "shell_exitcode", &shell_exitcode, nullptr, false},
    {0, "_trans_state", nullptr, &Pd_trans_state, true},
    {0, "_presolve_req", &Pd_presolve_req, nullptr, true},
    {0, "_presolve_sug", &Pd_presolve_sug, nullptr, true},
    {0, "_presolve_eps_U", &Pd_ps_epsmax, nullptr, true},
    {0, "_presolve_eps_L", &Pd_ps_epsmin, nullptr, true},
    {0, "_presolve_fixeps_U", &Pd_ps_fixepsmax, nullptr, true},
    {0, "_presolve_fixeps_L", &Pd_ps_fixepsmin, nullptr, true},
    {0, "_presolve_inteps_U", &Pd_ps_intepsmax, nullptr, true},
    {0, "_presolve_inteps_L", &Pd_ps_intepsmin, nullptr, true},
    {0, "_dual_solno", &dual_solno, nullptr, true},
    {0, "_last_solno", &last_solno, nullptr, true},
    {0, "_primal_solno", &primal_solno, nullptr, true},
    {0, "_status_solno", &status_solno, nullptr, true},
    {0, "_backslash_map", &backslash_map, nullptr, false},
    {0, "_filename_case", &filename_case, nullptr, false},
    {0, "_check_failures", &check_failures, nullptr, false},
};
static_assert(sizeof spi_tab / sizeof spi_tab[0] == 22);

static const char* const time_names[N_TIME_PARAMS] = {
    "_solve_time",
    "_solve_system_time",
    "_solve_user_time",
    "_solve_elapsed_time",
    "_total_solve_time",
    "_total_solve_system_time",
    "_total_solve_user_time",
    "_total_solve_elapsed_time",
    "_shell_time",
    "_shell_system_time",
    "_shell_user_time",
    "_shell_elapsed_time",
    "_total_shell_time",
    "_total_shell_system_time",
    "_total_shell_user_time",
    "_total_shell_elapsed_time",
    "_vexo_time",
    "_vexo_system_time",
    "_vexo_user_time",
    "_vexo_elapsed_time",
    "_session_time",
    "_session_maxtime",
};

static void hash_init() {
  for (const spi_row& r : spi_tab) {
    param* p = cell_param(r.name, r.dflt, r.sysmark);
    if (r.global) *r.global = p;
    if (r.xglobal) *r.xglobal = p;
  }
  for (int i = 0; i < N_TIME_PARAMS; ++i) {
    param* p = cell_param(time_names[i], 0, true);
    // The clock params are read afresh at every reference, like params
    // with a random distribution.
    if (i >= T_VEXO && i <= T_SESSION) p->flags |= XF_RANDOM;
    Time_params[i] = p;
  }
  *sysparam_cell(Time_params[T_SESSION_MAX]) = xoption;
}

void time_params_bind() {
  param* t = Time_params[T_VEXO];
  t->asgn = vargop(Symbol("_vexotime", 0), nullptr);
  for (int i = T_VEXO + 1; i <= T_SESSION; ++i) {
    add_dep(Time_params[i], t->num);
    xrefer(t, Time_params[i]->num);
  }
}

// The system sets in table order: name and class code.  Codes up to 12
// list the declarations of that class; 13 to 16 are filled by the
// interpreter.
static const struct {
  const char* name;
  int code;
} sysset_tab_rows[] = {
    {"_CONS", XC_CONS},       {"_ENVS", XC_ENVS},
    {"_FUNCS", XC_FUNCS},     {"_LOGCONS", XC_LOGCONS},
    {"_OBJS", XC_OBJS},       {"_PARS", XC_PARS},
    {"_PROBS", XC_PROBS},     {"_RANDVARS", XC_RANDVARS},
    {"_SETS", XC_SETS},       {"_SUFFIXES", XC_SUFFIXES},
    {"_SYMVARS", XC_SYMVARS}, {"_SYSTEM_SUFFIXES", XC_SYSTEM_SUFFIXES},
    {"_TABLES", XC_TABLES},   {"_VARS", XC_VARS},
    {"_VARSETS", XC_VARSETS},
};

// Members of a class-listing set: the names of the declarations filed in
// the class the set's class word holds, in filing order.  Filing marks
// the set ungenerated again (frontend/decl.cpp), so it follows the model.
static void class_members(set* s, TVA*) {
  const xclass_rec& c = xclass[s->cword];
  del_setmem(s->arity, s->first);  // the members of the last generation
  s->first = nullptr;
  s->lastnext = &s->first;
  s->nmem = 0;
  s->new_htab(c.n);
  for (int i = 0; i < c.n; ++i) {
    if (!c.a[i]) continue;
    symbol* t[1] = {c.a[i]->name};
    set_addmem(s, t);
  }
}

setdcl* plain_set(const char* name, int dimen) {
  setdcl* d = new_setdcl(Symbol(name, 0), nullptr, nullptr);
  d->dimen = dimen;
  d->sflags |= SF_SYSTEM;
  d = d->finish_dcl(0);
  if (d->value) d->value->nmem = 0;
  return d;
}

static void sysset(const char* name, int code) {
  setdcl* d;
  if (code <= XC_ALLVARS) {
    d = sysset_en(Symbol(name, 0), 1, class_members, nullptr);
    if (d->value) d->value->cword = code;
  } else {
    d = plain_set(name, 1);
    sysenum_sets[code - XC_ENVS] = d->value;
  }
  Sd_sysset[code] = d;
  set_sysdcl(code, d);
}

void sysdecls_reset() {
  sysparam("Infinity", Infinity);
  sysparam("_pid", static_cast<double>(apid));
  sysparam("_version", a_version);
  sysparam("NaN", Infinity + negInfinity);
  hash_init();
  sparam("_presolve_messages", "", &presolve_msgs);
  sparam("solve_message", "", &solve_message);
  sparam("solve_result", "?", &solve_result);
  char cwd[4096];
  sparam("_cd", getcwd(cwd, sizeof cwd) ? cwd : "", &Curdir);
  sparam("_table_errmsg", "", &table_errmsg);
  for (int i = 0; i < N_SYSSET_CODES; ++i) Sd_sysset[i] = nullptr;
  for (auto& r : sysset_tab_rows) sysset(r.name, r.code);
  Sd_file_prefixmap = plain_set("_file_prefixmap", 2);
}

// ---------------------------------------------------------------------------
// The steps of the keyword set-up

static suffix* sys_suffix(const char* name, int dir, uint32_t fl) {
  suffix* s = new_suffix(Symbol(name, 0), nullptr);
  s->stamp = 1.0;
  s->add_dir(dir);
  s->type_bits = fl;
  symbol* nm = s->name;
  // Declared already (the keyword set-up run twice): the record stands.
  if (suffix* r = s->finish_dcl()) return r;
  return suff_named(nm);
}

int sysdecl_suffixes() {
  derstage_suf = sys_suffix("derstage", 1, SUF_INTEGER);
  relax_suf = sys_suffix("relax", 4, 0);
  sstatus_suf = sys_suffix("sstatus", 3, SUF_SYMBOLIC);
  Sstatus = sstatus_suf->name;
  stage_suf = sys_suffix("stage", 4, SUF_INTEGER);
  Stage = stage_suf->name;
  return 4;
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
      sysset_en(Symbol("_AVAILFUNCS", 0), 1, gen_AVAILFUNCS, Sd_LIBS);
  Sd_AVAILFUNC2 =
      sysset_en(Symbol("_AVAILFUNC2", 0), 2, gen_AVAILFUNC2, Sd_LIBS);
  Sd_SFUNCS = sysset_en(Symbol("_SFUNCS", 0), 1, gen_SFUNCS, Pd_trans_state);
  Sd_HANDLERS = plain_sysset("_HANDLERS", nullptr);
  handleindx = Sd_HANDLERS->value;
  Pd_handler_desc = hparamvec(Symbol("_handler_desc", 0));
  Pd_handler_lib = hparamvec(Symbol("_handler_lib", 0));
}

}  // namespace vexo
