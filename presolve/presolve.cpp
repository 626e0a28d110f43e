// The presolve driver.
#include "presolve/presolve.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/parse.h"
#include "instance/ac.h"
#include "instance/stats.h"
#include "instance/names.h"
#include "presolve/bounds.h"
#include "presolve/fixing.h"
#include "presolve/propagate.h"
#include "presolve/compl.h"
#include "presolve/internal.h"
#include "presolve/isdom.h"
#include "presolve/linadd.h"
#include "presolve/pllin.h"
#include "presolve/order.h"
#include "presolve/psmsg.h"
#include "presolve/rounding.h"
#include "presolve/simplify.h"
#include "presolve/solveout.h"
#include "presolve/stages.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/opttable.h"
#include "session/sysdecls.h"
#include "solver/nlwrite.h"
#include "support/block.h"
#include "support/filename.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

int presolve_count;
int addassoc, multassoc, distassoc;
int bound_adjust;
int enq_ba_now, ba_test;
int bad_bounds;
int ifixeps = NO_TOL, ipreeps = NO_TOL, iinteps = NO_TOL;
double vbt, preeps, linteps;
double neg_cdt;
double preeps1, preeps2, inteps1, inteps2, vbmin, vbmax;
double vb_tol, vb_Ltol, vb_Utol;
int nbud;
int infeasible;
int warnmax, complained;
FILE* plogfile;
int presolve_sug, presolve_req;
int use_lnl;
int pl_lin_req;
double abs_bt[3];
double rel_bt[3];
int bigM_used;
int need_fd;

// ln 1.1, computed on first use.
static double log1_1;

void presolve_reset() {
  presolve_count = 0;
  presolve_req = presolve_sug = pl_lin_req = 0;
  ifixeps = ipreeps = iinteps = NO_TOL;
  vb_tol = vb_Ltol = vb_Utol = 0;
  infeasible = bad_bounds = 0;
  complained = 0;
  bigM_used = need_fd = 0;
  ps_warnings = nullptr;  // lay in memory `reset` freed
  gen_names_reset();
  plogfile = nullptr;
  duals_reset();
}

// ---- Scratch ----------------------------------------------------------------

void scratch_swap(Presolve* P, void* old, void* p, int k) {
  ps_scratch* s = P->scratch;
  for (int32_t i = 0; old && i < s->n; ++i)
    if (s->blk[i] == old) {
      del_mblk(s->k[i], old);
      s->blk[i] = p;
      s->k[i] = k;
      return;
    }
  scratch_add(P, p, k);
}

void scratch_add(Presolve* P, void* p, int k) {
  ps_scratch* s = P->scratch;
  if (s->n == PS_SCRATCH_BLOCKS) bug("presolve scratch: no slot for a block");
  s->blk[s->n] = p;
  s->k[s->n++] = k;
}

// A zeroed block of class k held by the scratch.
template <class T>
static T* scratch_block(Presolve* P, int k) {
  void* p = new_mblk(k, 1);
  scratch_add(P, p, k);
  return static_cast<T*>(p);
}

// ---- Steps of the start -----------------------------------------------------

// The log named by option presolve_logfile: ">>name" appends, ">name" and
// "name" overwrite, "-" is standard output.
static void open_log() {
  plogfile = nullptr;
  const char* s = presolve_logfile ? presolve_logfile : "";
  int gt = 0;
  while (s[gt] == '>') ++gt;
  const char* name = s + gt;
  if (!*name) return;
  if (!std::strcmp(name, "-")) {
    plogfile = stdout;
  } else if (!(plogfile = Fopen_map(name, gt >= 2 ? "a" : "w"))) {
    error(2, "Cannot open presolve_logfile = \"%s\"", name);
    return;
  }
  Fprintf(plogfile, "\nStart of presolve.\n");
}

double quantised_tol(double v, bool exact, int* expo) {
  if (!(v > 0)) {
    *expo = NO_TOL;
    return 0;
  }
  if (!log1_1) log1_1 = std::log(1.1);
  int k = int(std::ceil(std::log(v) / log1_1));
  *expo = k;
  return exact ? v : mypow(1.1, k);
}

static void tolerances() {
  bool exact = presolve_debug & 4;
  double fix = quantised_tol(presolve_fixeps, exact, &ifixeps);
  double eps = quantised_tol(presolve_eps, exact, &ipreeps);
  linteps = quantised_tol(presolve_inteps, exact, &iinteps);
  vbt = (presolve_debug & 8) ? 0 : fix;
  preeps = std::max(eps, fix);
}

static void reset_state(int level) {
  bound_adjust = 0;
  enq_ba_now = 0;
  ba_test = ~((presolve_debug & 2) ? 0x408 : 0x708);
  bad_bounds = 0;
  preeps1 = 0;
  preeps2 = Infinity;
  inteps1 = 0;
  inteps2 = Infinity;
  vbmin = 0;
  vbmax = Infinity;
  nbud = 0;
  infeasible = 0;
  complained = 0;
  warnmax = warnings + presolve_warnings;
  use_lnl = 0;
  pl_lin_req = 0;
  bigM_used = 0;
  presolve_sug = presolve_req = 0;
  neg_cdt = -constraint_drop_tol;
  (void)level;
}

// The sending orders: var_order and var_pos (class of the per-variable
// 4-byte arrays), the shapes' row order (class of the per-row ones); made
// once per collection, kept in the AC.
static void order_arrays(Presolve* P) {
  AC* ac = P->ac;
  int kv = elem_class(ac->var_class, 4), kr = elem_class(ac->row_class, 4);
  if (!ac->var_order) ac->var_order = static_cast<int32_t*>(new_mblk(kv, 1));
  if (!ac->var_pos) ac->var_pos = static_cast<int32_t*>(new_mblk(kv, 1));
  if (!ac->shape_work.order) {
    ac->shape_work.order = static_cast<int32_t*>(new_mblk(kr, 1));
    ac->shape_work.k = kr;
  }
  // Rows are the same under both bound choices until ranges are relaxed.
  if (ac->shape_alt.order && ac->shape_alt.order != ac->shape_work.order)
    del_mblk(ac->shape_alt.k, ac->shape_alt.order);
  ac->shape_alt.order = ac->shape_work.order;
  ac->shape_alt.k = ac->shape_work.k;
  P->vorder = ac->var_order;
  P->vinv = ac->var_pos;
  P->rorder = ac->shape_work.order;
  for (int32_t j = 0; j < P->nvars; ++j) P->vorder[j] = j;
  for (int32_t r = 0; r < P->nrows; ++r) P->rorder[r] = r;
}

// Rows of complementarity pairs marked (the second row's partner is the
// row before, presolve/compl.h for the other bits); an equation whose partner is free goes to compl_eqn; a
// pair with no finite bound at all is reported, and the command stops
// once all are.
static void compl_check(Presolve* P) {
  AC* ac = P->ac;
  if (!ac->cpair || !ac->compl_first) return;
  int bad = 0;
  int32_t n = 0;
  for (int32_t c = 0; c < ac->n_compl; ++c) {
    int32_t i = ac->compl_first[c], j = i + 1;
    ac->cpair[j] |= 8;
    if (P->rstat) {
      P->rstat[i] |= RS_COMPL;
      P->rstat[j] |= RS_COMPL;
    }
    auto finite = [&](int32_t r) {
      return P->rlb[r] > negInfinity || P->rub[r] < Infinity;
    };
    auto equation = [&](int32_t r) {
      return P->rlb[r] > negInfinity && P->rlb[r] == P->rub[r];
    };
    if (!finite(i) && !finite(j)) {
      badcon(P, i, 0, "Bounds infinite before presolve preclude complementarity.");
      ++bad;
      continue;
    }
    ++n;
    // A lone expression keeps its constant in rub0 (bit 32); two single
    // inequalities of opposite sides hold each other at the other side
    // (bit 16).
    if (!finite(i)) ac->cpair[i] |= 32;
    if (!finite(j)) ac->cpair[j] |= 32;
    auto lower_only = [&](int32_t r) { return P->rub[r] >= Infinity; };
    auto single = [&](int32_t r) {
      return finite(r) && (P->rlb[r] <= negInfinity || P->rub[r] >= Infinity);
    };
    if (single(i) && single(j) && lower_only(i) != lower_only(j)) {
      ac->cpair[i] |= 16;
      ac->cpair[j] |= 16;
    }
    if (equation(i) && !finite(j))
      compl_eqn(P, i, j);
    else if (equation(j) && !finite(i))
      compl_eqn(P, j, i);
  }
  if (bad) bailout();
  P->ncompl = P->nundecided = n;
}

// Logical constraints: their count checked, the false ones reported.
static void logical_rows(Presolve* P) {
  AC* ac = P->ac;
  if (!ac->con_kind) return;
  int32_t k = 0;
  for (int32_t r = 0; r < P->ncons; ++r) {
    if (!(ac->con_kind[r] & 3)) continue;
    ++k;
    if (P->rstat) P->rstat[r] |= RS_LOGICAL;
    expr* e = ac->con_nonlin[r];
    if (e && opcode(e) == OPLOGLIT && !e->L.i) false_lc(P, r);
  }
  if (k != P->nlogc) error(1, "presolve has k = %d, nlogc = %d", k, P->nlogc);
}

// One bound of an integer variable rounded: outward to the integer
// beside it when within linteps (the gap kept in inteps1), else inward
// (the gap kept in inteps2).
// The variables some row, objective or defined variable's body uses, and
// how many of them the fix command fixed (the columns in fixed).
static void used_counts(AC* ac, const std::vector<int32_t>& fixed) {
  std::vector<char> used(size_t(ac->n_var), 0);
  int32_t nrows = ac->n_con + ac->n_obj;
  for (int32_t j = 0; j < ac->n_var; ++j)
    if ((ac->col_terms && ac->col_terms[j]) ||
        (ac->col_plterms && ac->col_plterms[j]))
      used[size_t(j)] = 1;
  auto note = [&](int32_t j, expr*) {
    if (j >= 0 && j < ac->n_var) used[size_t(j)] = 1;
  };
  for (int32_t r = 0; r < nrows; ++r) {
    expr* e = r < ac->n_con ? ac->con_nonlin[r]
              : ac->obj_nonlin ? ac->obj_nonlin[r - ac->n_con]
                               : nullptr;
    for (; e; e = e->next) each_var(e, 0, note);
  }
  for (int32_t b = 0; ac->dv_bodies && b < ac->n_dv_bodies; ++b)
    for (expr* e = ac->dv_bodies[b]; e; e = e->next) each_var(e, 0, note);
  ac->n_var_used = int32_t(std::count(used.begin(), used.end(), 1));
  ac->n_var_fixused = 0;
  for (int32_t j : fixed) ac->n_var_fixused += used[size_t(j)];
}

static double round_int(double x, bool upper) {
  if (!std::isfinite(x)) return x;
  double out = upper ? std::ceil(x) : std::floor(x);
  double d = std::fabs(x - out);
  if (d == 0) return x;
  if (d <= linteps) {
    inteps1 = std::max(inteps1, d);
    return out;
  }
  inteps2 = std::min(inteps2, d);
  return upper ? std::floor(x) : std::ceil(x);
}

int int_bounds(Presolve* P) {
  double *lb = P->vlb0, *ub = P->vub0;
  uint32_t* vs = P->vstat;
  int crossed = 0;
  for (int32_t j = 0; j < P->nvars; ++j) {
    uint32_t m = vs[j] & (VS_INT | VS_BIN);
    if (!m) continue;
    if (m & VS_BIN) {
      if (lb[j] < 0) lb[j] = 0;
      if (ub[j] > 1) ub[j] = 1;
    }
    if (relax_integrality & 1) {
      vs[j] &= ~uint32_t(VS_INT | VS_BIN);
      continue;
    }
    lb[j] = round_int(lb[j], false);
    ub[j] = round_int(ub[j], true);
    if (ub[j] < lb[j]) {
      crossed = 1;
      double l = lb[j];
      fixvar(P, j, lb[j], ub[j]);
      if (plogfile)
        Fprintf(plogfile, "Init. bounds ==> %s = %.g\n",
                xwho(&P->ac->var_names[j]), l);
    }
  }
  return crossed;
}

// ---- The end ----------------------------------------------------------------

static void set_param(param* p, double v) {
  if (double* c = p ? sysparam_cell(p) : nullptr) *c = v;
}

// Hints for tolerances that might have avoided the infeasibility.
static void hints(double fix_hi) {
  if (!infeasible || show_stats || presolve_warnings < 0) return;
  const char* fmt = "Setting $presolve_%s >= %.3g might help.\n";
  if (inteps2 <= presolve_intepsmax) ps_warning(fmt, "inteps", 1.2 * inteps2);
  if (presolve_eps >= presolve_fixeps) {
    if (preeps2 <= presolve_epsmax) ps_warning(fmt, "eps", 1.2 * preeps2);
  } else if (fix_hi <= presolve_fixepsmax) {
    ps_warning(fmt, "fixeps", 1.2 * fix_hi);
  }
}

// 26: the kept variables numbered in order; the removed ones stay behind
// them in the order they were removed.
static void number_kept(Presolve* P) {
  int32_t k = 0;
  for (int32_t j = 0; j < P->nvars; ++j)
    if (!(P->vstat[j] & (uint32_t(VS_FIXED) | DV_DEFINED))) P->vorder[k++] = j;
  if (k != P->nfv) error(1, "presolve has k = %d, P.nfv = %d", k, P->nfv);
}

// Steps 22-28: counts, messages, the kept variables numbered, the params.
static void final_counts(Presolve* P, int level) {
  AC* ac = P->ac;
  P->nfc -= ac->n_obj;
  P->nfc2 -= ac->n_obj;
  bool changed = P->nfv < P->nvars0 || P->nfc < P->ncons0 || P->nrelax ||
                 P->nbimp;
  if (level > 0) {
    presolve_req = changed ? P->npass + 1 : 0;
    if (!presolve_sug) presolve_sug = presolve_req;
  }
  int32_t k = 0;
  for (int32_t r = 0; r < P->ncons; ++r)
    if (!P->rstat || !(P->rstat[r] & RS_GONE)) ++k;
  if (k != P->nfc) error(1, "presolve has k = %d, P.nfc = %d", k, P->nfc);
  if (complained && presolve_warnings >= 0)
    ps_warning("%d presolve messages suppressed.\n", complained);
  // Fixing bracket (the fixing tolerance's gaps).
  double fix_lo = vbmin, fix_hi = vbmax;
  if (presolve_eps < presolve_fixeps) {
    preeps2 = std::min(preeps2, fix_hi);
    preeps1 = std::max(preeps1, fix_lo);
  }
  hints(fix_hi);
  number_kept(P);
  if (show_stats > 2 && level > 0) ps_summary(P);
  ac->n_var_sent = P->nfv;
  set_param(Pd_presolve_req, presolve_req);
  set_param(Pd_presolve_sug, presolve_sug);
  set_param(Pd_ps_epsmin, preeps1);
  set_param(Pd_ps_epsmax, preeps2);
  set_param(Pd_ps_fixepsmin, fix_lo);
  set_param(Pd_ps_fixepsmax, fix_hi);
  set_param(Pd_ps_intepsmin, inteps1);
  set_param(Pd_ps_intepsmax, inteps2);
  ac->fixeps_chg = fix_lo;
  ac->fixeps_tol = fix_hi;
  ac->inteps_chg = inteps1;
  ac->inteps_tol = inteps2;
  ac->eps_chg = preeps1;
  ac->eps_tol = preeps2;
}

// Step 29: the phases after the reductions that the frame runs.
static void later_phases(Presolve* P) {
  AC* ac = P->ac;
  // 29.1-29.3: set domains and piecewise-linear terms become linear.
  if (!(relax_integrality & 3)) Is_count(P);
  if (P->vpl) {
    if (pl_linearize)
      pllin(P);
    else
      pl2nl(P);
  }
  Is_linearize(P);
  // 29.7 for the rows that define a domain's variable: what the
  // substitution allows solves that variable out.
  if (P->is_ndef) solve_out(P, true);
  // Variables composed away or solved out leave the kept ones.
  number_kept(P);
  // Fixed variables in nonlinear parts become numbers, and what became
  // linear joins the linear terms.
  simplify_rows(P);
  // 29.8: the conditions left into the form of the problem file.
  if (ac->n_compl) compl_constradj(P);
  nl_incidence(P, 0, P->nrows);
  ac->n_var_sent = nlvshift(P);
  P->nfv = ac->n_var_sent;
  nlcshift(P, 0);
  SendShape saved = ac->shape_alt;
  ac->shape_alt = ac->shape_work;
  ac->shape_alt.lower = saved.lower ? saved.lower : ac->con_lb;
  ac->shape_alt.upper = saved.upper ? saved.upper : ac->con_ub;
  nzcount_both(ac, &ac->shape_alt, &ac->shape_work);
  ac->nl_flags = P->nlflags;
  if (plogfile) Fprintf(plogfile, "End of presolve.\n\n");
  set_lubs(ac);
  if (show_stats) statshow(ac);
  // A system whose conditions presolve all decided is an ordinary one.
  if (ac->n_compl_sent && compl_warn > 0) compl_count(ac);
}

void presolve(AC* ac, int level) {
  // 1-2: a buffer an earlier run left is dropped; in block mode the
  // messages go to their own block.
  ps_warnings_drop();
  gen_names_free();
  duals_pl_clear();
  static int scratch_k = -1;
  if (scratch_k < 0) scratch_k = htcl(sizeof(ps_scratch));
  const char* prev_pending = blockmode ? blockpending("error_presolve") : nullptr;
  open_log();
  ++presolve_count;
  addassoc = presolve_assoc[0] & 1;
  multassoc = (presolve_assoc[0] & 2) != 0;
  distassoc = (presolve_assoc[0] & 4) != 0;
  presolve_assoc[1] = presolve_assoc[0] & 7;
  presolve_assoc[2] = 0;
  Presolve P{};
  P.ac = ac;
  P.scratch = static_cast<ps_scratch*>(new_mblk(scratch_k, 1));
  P.scratch->self_k = scratch_k;
  cleanup_rec* cr = register_cleanup(pstempzap, P.scratch);
  // The column lists and orders change: the writer's Jacobian goes.
  jac_forget(ac);
  // 5: counts and module state.
  P.ncons = P.ncons0 = ac->n_con;
  P.nrows = P.nfc = P.nfc2 = ac->n_con + ac->n_obj;
  P.nvars = P.nvars0 = P.nfv = ac->n_var;
  P.nlogc = ac->n_logical;
  P.vstat = ac->var_status;
  P.vlb0 = P.vlb = ac->var_lb;
  P.vub0 = P.vub = ac->var_ub;
  P.rlb = P.rlb2 = ac->con_lb;
  P.rub = P.rub2 = ac->con_ub;
  P.rub0 = ac->compl_ub0;
  P.cpair = ac->cpair;
  P.cols = ac->col_terms;
  P.vpl = ac->col_plterms;
  P.plrow = ac->row_plterms;
  P.dflag = ac->con_kind;
  reset_state(level);
  // 6-7 (the incidence of variables in nonlinear parts is made once, at
  // the end: nothing reads it before, and it changes until then)
  tolerances();
  // 9-10: orders, row status, the side of each bound's last change.
  order_arrays(&P);
  if (level > 0 || ac->n_compl || ac->n_logical)
    P.rstat = scratch_block<uint32_t>(&P, elem_class(ac->row_class, 4));
  P.sidechg = duals_sidechg(elem_class(ac->var_class + 1, 4), P.nvars);
  // 11-14
  compl_check(&P);
  bound_check(ac->var_lb, ac->var_ub, P.nvars, ac->var_names, "var");
  bound_check(ac->con_lb, ac->con_ub, P.ncons, ac->con_names, "constraint");
  logical_rows(&P);
  // Variables the `fix` command fixed come marked removed from
  // collection: they are fixed here, at their values.
  std::vector<int32_t> fixed;
  for (int32_t j = 0; j < P.nvars; ++j)
    if (P.vstat[j] & VS_FIXED) {
      fixed.push_back(j);
      P.vstat[j] &= ~uint32_t(VS_FIXED);
    }
  ac->n_var_fixcmd = int32_t(fixed.size());
  ac->n_var_used = ac->n_var_fixused = 0;
  if (!fixed.empty()) used_counts(ac, fixed);
  int_bounds(&P);
  // Nonlinear parts and logical constraints simplified before the
  // reductions, so that logical constraints turned into rows of one
  // variable become bounds.
  if (!P.rstat)
    P.rstat = scratch_block<uint32_t>(&P, elem_class(ac->row_class, 4));
  simplify_rows(&P);
  presolve_sug = 0;
  nbud = 0;
  if (level <= 0) {
    // 30: no reductions; every row keeps its number and the declared
    // bounds are sent, less the variables fixed.
    presolve_req = 0;
    presolve_sug = 10;
  }
  if (level > 0 || !fixed.empty() || P.nfv < P.nvars) {
    // 16-18: the column lists exist (collection transposed them); the
    // second bound pair becomes a copy the propagation may tighten.
    if (level > 1 && P.nvars > 0) {
      int kv = ac->var_class;
      if (ac->var_lb_alt == ac->var_lb) {
        ac->var_lb_alt = static_cast<double*>(new_mblk(kv));
        ac->var_ub_alt = static_cast<double*>(new_mblk(kv));
      }
      std::memcpy(ac->var_lb_alt, ac->var_lb, sizeof(double) * size_t(P.nvars));
      std::memcpy(ac->var_ub_alt, ac->var_ub, sizeof(double) * size_t(P.nvars));
      P.vlb = ac->var_lb_alt;
      P.vub = ac->var_ub_alt;
    }
    if (!P.rstat)
      P.rstat = scratch_block<uint32_t>(&P, elem_class(ac->row_class, 4));
    pl_range_clear();
    reduce(&P, level, fixed.data(), int32_t(fixed.size()));
    pl_range_clear();
  }
  solve_out(&P);
  duals_record(&P);
  P.sidechg = nullptr;
  final_counts(&P, level);
  later_phases(&P);
  if (blockmode) blockpending(prev_pending);
  unregister_cleanup(cr);
  need_fd = ac->n_con_sent < ac->n_con - ac->n_logical;
}

}  // namespace vexo
