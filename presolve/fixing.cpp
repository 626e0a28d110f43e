// Fixing variables and removing rows.
#include "presolve/fixing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "compiler/plterm.h"
#include "instance/ac.h"
#include "instance/names.h"
#include "presolve/bounds.h"
#include "presolve/compl.h"
#include "presolve/internal.h"
#include "presolve/presolve.h"
#include "presolve/propagate.h"
#include "presolve/psmsg.h"
#include "presolve/rounding.h"
#include "report/prex.h"
#include "session/opttable.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/pool.h"

namespace vexo {

static const char* vname(const Presolve* P, int32_t j) {
  return xwho(&P->ac->var_names[j]);
}

// Row i joins the lower stack of the queue as a row with at most one free
// variable, unless it is busy, queued, paired or holds nonlinear
// variables.
static void queue_singleton(Presolve* P, int32_t i) {
  if (P->nfree[i] > 1 || P->nterms[i] || (P->rstat[i] & (0x831f | RS_COMPL)))
    return;
  P->rq[P->nrq++] = i;
  P->rstat[i] = RS_QUEUED;
}

// The finite row bounds of i lose w.
static void row_bounds_less(Presolve* P, int32_t i, double w) {
  if (std::isfinite(P->rlb[i])) P->rlb[i] -= w;
  if (std::isfinite(P->rub[i])) P->rub[i] -= w;
  if (P->rub0 && std::isfinite(P->rub0[i])) P->rub0[i] -= w;
}

static void obj_const_add(Presolve* P, int32_t row, double w) {
  AC* ac = P->ac;
  if (!ac->obj_const)
    ac->obj_const = static_cast<double*>(new_mblk(ac->obj_class, 1));
  ac->obj_const[row - P->ncons] += w;
}

// Step 7 of fixing: a row whose activity side moved gets a scan request
// while bound-adjustment passes run.
static void rescan(Presolve* P, int32_t i, bool lo_moved, bool hi_moved) {
  if ((P->rstat[i] & uint32_t(ba_test)) || P->nterms[i]) return;
  uint32_t bit = 0;
  if (lo_moved && P->ninflb[i] <= 1 && std::isfinite(P->rub[i]))
    bit |= RS_SCANLB;
  if (hi_moved && P->ninfub[i] <= 1 && std::isfinite(P->rlb[i]))
    bit |= RS_SCANUB;
  if (!bit) return;
  if (!(P->rstat[i] & (RS_QUEUED | RS_SCANLB | RS_SCANUB)))
    P->rq[--P->nba] = i;
  P->rstat[i] |= bit;
}

// A paired row that lost a term: emptied, its condition is settled
// (rowelim, compl_empty); else its activity may decide it.
static void compl_after_fix(Presolve* P, int32_t i) {
  if (!P->cpair || !P->cpair[i] || (P->rstat[i] & (RS_GONE | RS_INFEASIBLE)))
    return;
  if (!P->nfree[i] && !P->nterms[i] && !P->ac->con_nonlin[i])
    rowelim(P, i, 1);
  else
    compl_check_row(P, i, 1);
}

// The linear terms of fixed j (old bounds lo, hi) leave the rows.
static void fix_linear(Presolve* P, int32_t j, double v, double lo,
                       double hi) {
  for (varref* t = P->cols[j]; t; t = vnext(t)) {
    int32_t i = t->index;
    double a = t->coef;
    if (i >= P->ncons) {
      obj_const_add(P, i, v * a);
      continue;
    }
    --P->nfree[i];
    queue_singleton(P, i);
    double in_lb = a > 0 ? lo : hi, in_ub = a > 0 ? hi : lo;
    if (std::isfinite(in_lb))
      msacl(a, in_lb, &P->actlb[i]);
    else
      --P->ninflb[i];
    if (std::isfinite(in_ub))
      msacu(a, in_ub, &P->actub[i]);
    else
      --P->ninfub[i];
    if (!(P->rstat[i] & RS_GONE)) row_bounds_less(P, i, a * v);
    if (bound_adjust) rescan(P, i, v != in_lb, v != in_ub);
    compl_after_fix(P, i);
  }
}

// The piecewise-linear terms of fixed j leave their rows and are freed.
static void fix_pl(Presolve* P, int32_t j, double v) {
  plterm* t = P->vpl ? P->vpl[j] : nullptr;
  if (!t) return;
  P->vpl[j] = nullptr;
  while (t) {
    plterm* next = t->next;
    int32_t i = t->index;
    double w = plval(t, v);
    duals_pl_fixed(j, i, *pl_slope);
    if (i >= P->ncons) {
      obj_const_add(P, i, w);
    } else {
      row_bounds_less(P, i, w);
      double lo, hi;
      if (pl_range_of(t, &lo, &hi)) {
        if (std::isfinite(lo))
          P->actlb[i] -= lo;
        else
          --P->ninflb[i];
        if (std::isfinite(hi))
          P->actub[i] -= hi;
        else
          --P->ninfub[i];
      }
      if (--P->nterms[i] == 0) queue_singleton(P, i);
      compl_after_fix(P, i);
    }
    del_mblk(t->block_class, t);
    t = next;
  }
}

// The value of j as the collected problem and the variable's member keep
// it.
static void fixed_value(Presolve* P, int32_t j, double v) {
  double* x = P->ac->var_init_val;
  if (x && x[j] != v) {
    ++P->nvalchg;
    x[j] = v;
  }
  member_value_set(j, v);
}

int fixvar(Presolve* P, int32_t j, double v, double other) {
  if (v > other) {
    double d = v - other;
    if (d > preeps) {
      preeps2 = std::min(preeps2, d);
      infeasible = 1;
      bound_gap_report("presolve, %s %s:\n\timpossible deduced bounds: "
                       "lower = %g, upper = %g",
                       "variable", vname(P, j), v, other, d);
      return 1;
    }
    preeps1 = std::max(preeps1, d);
    v = other + d * 0.5;
  }
  double lo = P->vlb[j], hi = P->vub[j];
  P->vstat[j] = (P->vstat[j] | VS_FIXED) & ~uint32_t(VS_UNUSED);
  P->vorder[--P->nfv] = j;
  P->vlb0[j] = P->vub0[j] = P->vlb[j] = P->vub[j] = v;
  fixed_value(P, j, v);
  P->nsubst_fixed = 1;
  // Before the intervals exist the driver folds the terms in itself.
  if (!P->actlb) return 0;
  fix_linear(P, j, v, lo, hi);
  fix_pl(P, j, v);
  return 0;
}

// Dissolves the pair of row (fixall and rowelim): returns the partner, or
// -1 when row is not paired.
static int32_t unpair_row(Presolve* P, int32_t row) {
  if (!P->cpair || !P->cpair[row]) return -1;
  int32_t other = (P->cpair[row] & 8) ? row - 1 : row + 1;
  P->cpair[row] = P->cpair[other] = 0;
  P->rstat[row] &= ~uint32_t(RS_COMPL);
  P->rstat[other] &= ~uint32_t(RS_COMPL);
  return other;
}

int fixall(Presolve* P, int32_t row, int32_t j, int at_upper, double v,
           int side) {
  int32_t nfv0 = P->nfv;
  // A row with one free variable logs its fixing itself.
  bool log = plogfile && P->nfree[row] > 1;
  P->rstat[row] = 5;
  if (P->cpair && P->cpair[row]) {
    int kind = P->cpair[row] & 7;
    int32_t o = unpair_row(P, row);
    if (kind > 2 && P->rub0) {
      (side ? P->rlb : P->rub)[o] = P->rub0[o];
      int32_t ninf = side ? P->ninflb[o] : P->ninfub[o];
      if (ninf <= 1 && !P->nterms[o] && !(P->rstat[o] & ~uint32_t(RS_COMPL))) {
        P->rq[--P->nba] = o;
        P->rstat[o] = side ? RS_SCANLB : RS_SCANUB;
      }
    }
  }
  int r = at_upper ? fixvar(P, j, P->vlb[j], v) : fixvar(P, j, v, P->vub[j]);
  if (r) {
    // The row stays, marked as one that cannot hold.
    P->rstat[row] = RS_INFEASIBLE;
    return r;
  }
  if (log) {
    Fprintf(plogfile, "%s ==>\n", xwho(&P->ac->con_names[row]));
    Fprintf(plogfile, "\t%s = %.g\n", vname(P, j), P->vlb[j]);
  }
  int bad = 0;
  for (int64_t e = P->rbeg[row]; e < P->rbeg[row + 1]; ++e) {
    int32_t k = P->rcol[e];
    if (P->vstat[k] & VS_FIXED) continue;
    bool up = (row_coef(P, e) > 0) == (side == 1);
    double x = up ? P->vub[k] : P->vlb[k];
    if (!std::isfinite(x)) continue;
    // The row deduces the opposite bound of k (x_k >= its upper bound, or
    // <= its lower): that side is recorded, so that a removed row that set
    // the bound k is fixed at keeps its record and recovers its dual.
    P->sidechg[2 * k + !up] = row + 1;
    if (int b = fixvar(P, k, x, x)) {
      bad = b;
      continue;
    }
    if (log) Fprintf(plogfile, "\t%s = %.g\n", vname(P, k), x);
  }
  if (bad) {
    P->rstat[row] = RS_INFEASIBLE;
    return bad;
  }
  rowelim(P, row, 4);
  P->deferred_next[-1] = nfv0;
  return 0;
}

// Appends n to `deferred`, doubling its block when full.
static void deferred_add(Presolve* P, int32_t n) {
  if (P->deferred_next == P->deferred_end) {
    ptrdiff_t have = P->deferred_next - P->deferred;
    size_t want = std::max<size_t>(2, 2 * size_t(have));
    int k = htcl(4 * want);
    auto* b = static_cast<int32_t*>(new_mblk(k));
    if (have) std::memcpy(b, P->deferred, 4 * size_t(have));
    scratch_swap(P, P->deferred, b, k);
    P->deferred = b;
    P->deferred_next = b + have;
    P->deferred_end = b + (size_t{8} << k) / 4;
  }
  *P->deferred_next++ = n;
}

// The row leaves: its status, its place in rorder, its count of kept
// variables.
static void remove_row(Presolve* P, int32_t row, int code) {
  P->rstat[row] = uint32_t(code);
  P->rorder[--P->nfc] = row;
  --P->nfc2;
  if (P->dflag && (P->dflag[row] & 2)) ++P->ndropcompl;
  deferred_add(P, P->nfv);
}

void rowelim(Presolve* P, int32_t row, int code) {
  bool paired = P->cpair && P->cpair[row];
  if (code == 1) {
    if (P->rlb[row] > 0 || P->rub[row] < 0) {
      char why[160];
      Snprintf(why, sizeof why, "no variables, but lower bound = %g, upper = %g",
               P->rlb[row], P->rub[row]);
      badcon(P, row, 0, why);
      // Reported once: the row is not taken up again as a singleton.
      P->rstat[row] |= RS_INFEASIBLE;
      return;
    }
    // An empty paired row settles its condition.
    if (paired) compl_empty(P, row, 0);
  } else if (paired) {
    if (code == 4) return;
    if (code == 2 || code == 16) {
      bool eq = code == 2 && !(P->rlb[row] < P->rub[row]);
      int32_t o = unpair_row(P, row);
      if (!eq) {
        P->rlb[o] = negInfinity;
        P->rub[o] = Infinity;
      }
    }
  }
  remove_row(P, row, code);
}

int defer(Presolve* P, int32_t entry, int32_t slot) {
  if (!P->defslot) {
    P->ndefslot = 2 * std::max(P->ncons, 0) + 2;
    int k = htcl(4 * size_t(P->ndefslot));
    P->defslot = static_cast<int32_t*>(new_mblk(k, 1));
    scratch_add(P, P->defslot, k);
  }
  if (slot < 0 || slot >= P->ndefslot) return 0;
  int32_t e = P->defslot[slot];
  if (e > 0) {
    int32_t r = (e - 1) % (P->ncons > 0 ? P->ncons : 1);
    if (!(P->rstat[r] & 0x17)) {
      double l = P->rlb[r], u = P->rub[r];
      if (std::isfinite(l) && std::isfinite(u) && l < u) {
        if (slot & 1)
          P->rub[r] = Infinity;
        else
          P->rlb[r] = negInfinity;
      } else if (!(P->cpair && P->cpair[r])) {
        remove_row(P, r, 4);
      }
    }
  }
  P->defslot[slot] = entry;
  return 0;
}

void split_row_bounds(Presolve* P) {
  if (P->rlb2 != P->rlb || P->ncons <= 0) return;
  AC* ac = P->ac;
  int k = ac->con_class;
  auto* l = static_cast<double*>(new_mblk(k));
  auto* u = static_cast<double*>(new_mblk(k));
  std::memcpy(l, P->rlb, 8 * size_t(P->ncons));
  std::memcpy(u, P->rub, 8 * size_t(P->ncons));
  ac->shape_alt.lower = P->rlb2 = l;
  ac->shape_alt.upper = P->rub2 = u;
}

int keepchk(int32_t row, Presolve* P, int side) {
  for (int64_t e = P->rbeg[row]; e < P->rbeg[row + 1]; ++e) {
    int32_t k = P->rcol[e];
    if (P->vstat[k] & VS_FIXED) continue;
    int s = row_coef(P, e) > 0 ? side : 1 - side;
    int32_t from = P->sidechg[2 * k + s];
    if (!from) continue;
    if (P->nfree[row] > 1) {
      split_row_bounds(P);
      return 1;
    }
  }
  return 0;
}

// A linear term (i, a) goes into j's column list at row i's place.
static void col_insert(Presolve* P, int32_t j, int32_t i, double a) {
  list_slot<varref> p = head_slot(&P->cols[j]);
  while (p.get() && p.get()->index < i) p = link_of(p.get());
  p.set(new_varref(p.get(), i, a));
}

void pvmerge(Presolve* P, int32_t j) {
  if (!P->vpl) return;
  for (plterm* t = P->vpl[j]; t;) {
    plterm* next = t->next;
    if (t->n_slopes == 1) {
      double s = t->bs()[0];
      int32_t i = t->index;
      if (s != 0) {
        col_insert(P, j, i, s);
        if (i < P->ncons) ++P->nfree[i];
      }
      plterm** p = &P->vpl[j];
      while (*p != t) p = &(*p)->next;
      *p = next;
      del_mblk(t->block_class, t);
    }
    t = next;
  }
}

void del_plt(Presolve* P, plterm* t, int release) {
  // Terms carry their row, not their variable: the columns are searched.
  bool found = false;
  for (int32_t c = 0; P->vpl && c < P->nvars && !found; ++c)
    for (plterm** p = &P->vpl[c]; *p; p = &(*p)->next)
      if (*p == t) {
        *p = t->next;
        found = true;
        break;
      }
  if (release) del_mblk(t->block_class, t);
}

double pf_adj(Presolve* P, int32_t j, double v) {
  if (project_fixed_vars & 2) {
    infeasible = 1;
    double old = P->ac->var_init_val ? P->ac->var_init_val[j] : 0;
    const char* head = "presolve: changing value of fixed variable";
    const char* name = vname(P, j);
    bool wrap = display_width > 0 &&
                int(std::strlen(head) + 1 + std::strlen(name)) >= display_width;
    char fmt[200];
    Snprintf(fmt, sizeof fmt, "%s%%s%%s\n\tfrom %%g to %%g; change = %%g\n\n",
             head);
    ps_report(fmt, wrap ? "\n\t" : " ", name, old, v, v - old);
  }
  return v;
}

}  // namespace vexo
