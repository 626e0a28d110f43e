// Piecewise-linear terms: linearisation and hand-over to the solver.
#include "presolve/pllin.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "compiler/plterm.h"
#include "eval/optab.h"
#include "frontend/expr.h"
#include "instance/ac.h"
#include "presolve/linadd.h"
#include "presolve/presolve.h"
#include "session/optcmd.h"
#include "session/opttable.h"
#include "support/machine.h"
#include "support/pool.h"

namespace vexo {

namespace {

double slope(const plterm* t, int k) {
  return const_cast<plterm*>(t)->bs()[2 * k];
}
double breakpoint(const plterm* t, int k) {
  return const_cast<plterm*>(t)->bs()[2 * k + 1];
}

// The name of the row holding a term (constraint or objective).
const xname* row_name(const Presolve* P, int32_t i) {
  const AC* ac = P->ac;
  return i < P->ncons ? &ac->con_names[i] : &ac->obj_names[i - P->ncons];
}

// Whether term t needs binary columns: only a convex term whose growth
// alone is bounded (or a concave one whose decrease alone is) does not.
bool needs_binaries(const Presolve* P, const plterm* t) {
  int32_t i = t->index;
  bool cvx = pl_convex(t), ccv = pl_concave(t);
  if (i >= P->ncons) {
    bool max = P->ac->obj_sense && P->ac->obj_sense[i - P->ncons];
    return !(max ? ccv : cvx);
  }
  bool lo = P->rlb[i] > negInfinity, hi = P->rub[i] < Infinity;
  if (!lo && !hi) return false;
  if (cvx && !lo) return false;
  if (ccv && !hi) return false;
  return true;
}

// Adds a to row i's term of column j (made when missing, kept in row
// order); a single-slope term is linear.
void add_linear(Presolve* P, int32_t j, int32_t i, double a) {
  varref** p = &P->cols[j];
  while (*p && (*p)->index < i) p = &(*p)->next;
  if (*p && (*p)->index == i) {
    (*p)->coef += a;
    return;
  }
  *p = new_varref_kept(*p, i, a);
}

// Per-term lists, kept across the terms of one call.
struct term_scratch {
  std::vector<int32_t> lam, seg;  // the point and segment columns
  std::vector<double> cap;        // each point column's upper bound
};

// One term of variable j replaced by rows and columns in a's room; k
// numbers the names.
struct term_lin {
  Presolve* P;
  lin_add& a;
  term_scratch& s;
  int32_t j;
  const plterm* t;
  int k;
  bool open, bin;
  double lo, hi;  // x's bounds for the linearisation

  const char* name(const char* tag) const {
    const AC* ac = P->ac;
    return dname(row_name(P, t->index), &ac->var_names[j], tag, k);
  }

  // Big-M bounds for x, where infinite ones would leave a point or an
  // open end unbounded.
  void big_m() {
    int n = t->n_slopes;
    double M = pl_bigM, b0 = breakpoint(t, 0), bl = breakpoint(t, n - 2);
    if (!(pl_linearize & 8)) {
      double m = std::max(std::fabs(b0), std::fabs(bl));
      if (std::isfinite(lo)) m = std::max(m, std::fabs(lo));
      if (std::isfinite(hi)) m = std::max(m, std::fabs(hi));
      if (M / 2 <= m) M = 2 * m;
    }
    if (lo < b0 - M) {
      lo = b0 - M;
      ++bigM_used;
      P->vlb0[j] = std::max(P->vlb0[j], lo);
      P->vlb[j] = std::max(P->vlb[j], lo);
    }
    if (hi > bl + M) {
      hi = bl + M;
      ++bigM_used;
      P->vub0[j] = std::min(P->vub0[j], hi);
      P->vub[j] = std::min(P->vub[j], hi);
    }
  }

  void make() {
    int n = t->n_slopes;
    int32_t row = t->index;
    if (bin || !open) big_m();
    // A term of two slopes with open ends has one inner point: fixed at
    // 1 in place of a convexity row.
    bool cvx_row = !(open && n <= 2);
    int32_t cvx = cvx_row ? a.row(1, 1, name("cvx")) : -1;
    int32_t def = a.row(0, 0, name("def"));
    a.term(def, j, 1);
    std::vector<int32_t>& lam = s.lam;
    lam.assign(size_t(n) + 1, 0);
    const char* lam_name = name("lambda");
    std::vector<double>& cap = s.cap;
    cap.assign(size_t(n) + 1, 1);
    for (int p = 0; p <= n; ++p) {
      bool first = p == 0, last = p == n;
      double pt = first ? lo : last ? hi : breakpoint(t, p - 1);
      double l = 0, u = Infinity;
      // An open end reaches x's bound (none when x lies within the
      // breakpoints on that side).
      if (open && first) {
        if (std::isfinite(lo)) u = std::max(0.0, breakpoint(t, 0) - lo);
      } else if (open && last) {
        if (std::isfinite(hi)) u = std::max(0.0, hi - breakpoint(t, n - 2));
      } else if (!cvx_row) {
        l = u = 1;
      }
      cap[size_t(p)] = (open && (first || last)) ? u : 1;
      int32_t c = lam[size_t(p)] = a.col(l, u, 0, lam_name, sm_gen(p));
      if (open && first) {
        a.term(row, c, -slope(t, 0));
        a.term(def, c, 1);
      } else if (open && last) {
        a.term(row, c, slope(t, n - 1));
        a.term(def, c, -1);
      } else {
        a.term(row, c, plval(t, pt));
        a.term(def, c, -pt);
        if (cvx_row) a.term(cvx, c, 1);
      }
    }
    if (!bin) return;
    // Segment s lies between points s and s + 1; one is chosen.
    std::vector<int32_t>& seg = s.seg;
    seg.assign(size_t(n), 0);
    const char* b_name = name("b");
    const char* bound_name = name("bound");
    for (int s = 0; s < n; ++s)
      seg[size_t(s)] = a.col(0, 1, VS_BIN, b_name, sm_gen(s));
    for (int p = 0; p <= n; ++p) {
      int32_t r = a.row(negInfinity, 0, bound_name, sm_gen(p));
      a.term(r, lam[size_t(p)], 1);
      for (int s : {p - 1, p})
        if (s >= 0 && s < n) a.term(r, seg[size_t(s)], -cap[size_t(p)]);
    }
    int32_t sos = a.row(1, 1, name("sos2"));
    for (int s = 0; s < n; ++s) a.term(sos, seg[size_t(s)], 1);
    // The point columns form a set of type 2 for a solver that takes
    // such sets; reference values rise with the points, the open ends'
    // lying beyond the breakpoints.
    int32_t set = sos_set(P, SOS_PLTERM);
    sos_pick_row(P, sos, set);
    double b0 = breakpoint(t, 0), bl = breakpoint(t, n - 2);
    for (int p = 0; p <= n; ++p) {
      double ref = p == 0   ? (open ? (b0 > 0 ? -b0 : 1.5 * b0) - 1 : lo)
                   : p == n ? (open ? (bl < 0 ? -bl : 1.5 * bl) + 1 : hi)
                            : breakpoint(t, p - 1);
      sos_member(P, lam[size_t(p)], set, ref);
    }
  }
};

}  // namespace

bool pl_convex(const plterm* t) {
  int n = t->n_slopes;
  if (n < 2 || !(slope(t, 0) < slope(t, 1))) return false;
  for (int k = 2; k < n; ++k)
    if (slope(t, k) < slope(t, k - 1)) return false;
  return true;
}

bool pl_concave(const plterm* t) {
  int n = t->n_slopes;
  if (n < 2 || slope(t, 0) < slope(t, 1)) return false;
  for (int k = 2; k < n; ++k)
    if (slope(t, k) > slope(t, k - 1)) return false;
  return true;
}

void pllin(Presolve* P) {
  AC* ac = P->ac;
  if (!P->vpl) return;
  bool open = (pl_linearize & 3) < 2;
  bool need_m = false;
  int32_t nrows = 0, ncols = 0, members = 0, sets = 0;
  int32_t nv = P->nvars;
  for (int32_t j = 0; j < nv; ++j) {
    if (P->vstat[j] & VS_FIXED) continue;
    for (const plterm* t = P->vpl[j]; t; t = t->next) {
      int32_t n = t->n_slopes;
      if (n < 2) continue;
      bool bin = needs_binaries(P, t);
      if (!open || bin) need_m = true;
      // What term_lin::make adds.
      nrows += (open && n <= 2 ? 1 : 2) + (bin ? n + 2 : 0);
      ncols += n + 1 + (bin ? n : 0);
      if (bin) {
        members += n + 1;
        ++sets;
      }
    }
  }
  if (need_m && !(pl_bigM > 0)) cmd_Loption("pl_bigM", 1000000);
  // One growth for these and the domains counted (Is_linearize).
  if (nrows) {
    lin_reserve(P, nrows + P->is_ncon, ncols + P->is_nvar);
    sos_reserve(P, members + P->is_nbin, sets + P->is_nsos);
  }
  lin_add a(P);
  term_scratch sc;
  for (int32_t j = 0; j < nv; ++j) {
    plterm* t = P->vpl[j];
    if (!t || (P->vstat[j] & VS_FIXED)) continue;
    P->vpl[j] = nullptr;
    while (t) {
      plterm* next = t->next;
      if (t->n_slopes < 2) {
        add_linear(P, j, t->index, slope(t, 0));
      } else {
        term_lin w{P, a, sc, j, t, ++ac->n_pl_lin, open, needs_binaries(P, t),
                   P->vlb0[j], P->vub0[j]};
        w.make();
      }
      del_mblk(t->block_class, t);
      t = next;
    }
  }
  ac->n_pl_var_added += ncols;
  ac->n_pl_con_added += nrows;
}

void pl2nl(Presolve* P) {
  AC* ac = P->ac;
  if (!P->vpl) return;
  for (int32_t p = 0; p < P->nfv; ++p) {
    int32_t j = P->vorder[p];
    plterm* t = P->vpl[j];
    P->vpl[j] = nullptr;
    while (t) {
      plterm* next = t->next;
      int32_t row = t->index;
      t->index = j;
      t->next = nullptr;
      expr* e = new_expr(opword(OPPLTERM, EF_NUMERIC | EF_VARS),
                         static_cast<void*>(t), j);
      e->op = functab[OPPLTERM];
      expr** head = row < P->ncons ? &ac->con_nonlin[row]
                                   : &ac->obj_nonlin[row - P->ncons];
      e->next = *head;
      *head = e;
      add_linear(P, j, row, 0);
      t = next;
    }
  }
}

}  // namespace vexo
