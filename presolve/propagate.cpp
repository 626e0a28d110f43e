// Bound propagation.
#include "presolve/propagate.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <utility>

#include "instance/ac.h"
#include "instance/names.h"
#include "presolve/compl.h"
#include "presolve/fixing.h"
#include "presolve/internal.h"
#include "presolve/presolve.h"
#include "presolve/rounding.h"
#include "session/opttable.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

// ---- Piecewise-linear terms -------------------------------------------------

// slope k and breakpoint k (the end of segment k) of a term's array.
static double pl_slope(const double* sb, int32_t k) { return sb[2 * k]; }
static double pl_bp(const double* sb, int32_t k) { return sb[2 * k + 1]; }

// s * w for a segment of width w, 0 for a zero slope (w may be infinite).
static double seg(double s, double w) { return s == 0 ? 0 : s * w; }

// The term's value at x (infinite x included: a zero slope then adds
// nothing).
static double sb_val(const double* sb, int32_t n, double x) {
  double v = 0;
  for (int32_t k = 0; k < n; ++k) {
    double lo = k ? pl_bp(sb, k - 1) : negInfinity;
    double hi = k < n - 1 ? pl_bp(sb, k) : Infinity;
    if (x >= 0) {
      double a = std::max(lo, 0.0), b = std::min(hi, x);
      if (b > a) v += seg(pl_slope(sb, k), b - a);
    } else {
      double a = std::max(lo, x), b = std::min(hi, 0.0);
      if (b > a) v -= seg(pl_slope(sb, k), b - a);
    }
  }
  return v;
}

// Extremes of the function over [lb, ub] from its values at the ends and
// at the breakpoints inside.
static void sb_range(const double* sb, int32_t n, double lb, double ub,
                     double* min, double* max) {
  double lo = sb_val(sb, n, lb), hi = lo;
  auto take = [&](double v) {
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  };
  take(sb_val(sb, n, ub));
  for (int32_t k = 0; k < n - 1; ++k) {
    double b = pl_bp(sb, k);
    if (b > lb && b < ub) take(sb_val(sb, n, b));
  }
  *min = lo;
  *max = hi;
}

void pplminmax(const double* sb, int32_t n, double lb, double ub,
               double* min, double* max) {
  sb_range(sb, n, lb, ub, min, max);
}

void nplminmax(const double* sb, int32_t n, double lb, double ub,
               double* min, double* max) {
  sb_range(sb, n, lb, ub, min, max);
}

void plminmax(const plterm* t, double lb, double ub, double* min,
              double* max) {
  int32_t n = t->n_slopes;
  if (n < 2) error(1, "plminmax has p->n = %d\n", n);
  const double* sb = const_cast<plterm*>(t)->bs();
  if (lb >= 0) {
    pplminmax(sb, n, lb, ub, min, max);
  } else if (ub <= 0) {
    nplminmax(sb, n, lb, ub, min, max);
  } else {
    double l1, h1, l2, h2;
    nplminmax(sb, n, lb, 0, &l1, &h1);
    pplminmax(sb, n, 0, ub, &l2, &h2);
    *min = std::min(l1, l2);
    *max = std::max(h1, h2);
  }
}

// The term's zero point moved by c: the row's body gains c.
static void pl_shift(Presolve* P, int32_t row, double c) {
  if (c == 0) return;
  if (row >= P->ncons) {
    double* k = P->ac->obj_const;
    if (k) k[row - P->ncons] -= c;
    return;
  }
  P->rlb[row] += c;
  P->rub[row] += c;
  // A lone expression's constant moves with it.
  if (P->rub0) P->rub0[row] += c;
  if (P->actlb) {
    macl(1, c, &P->actlb[row]);
    macu(1, c, &P->actub[row]);
  }
}

int pbound(Presolve* P, plterm* t, double lb, double ub) {
  double* sb = t->bs();
  int32_t n = t->n_slopes;
  int32_t d = 0;
  while (n - d > 1 && pl_bp(sb, d) <= lb) ++d;
  if (d) {
    double last = pl_bp(sb, d - 1), s = pl_slope(sb, d);
    double c = seg(s, lb) - sb_val(sb, n, lb);
    std::copy(sb + 2 * d, sb + 2 * n - 1, sb);
    n -= d;
    if (last > 0) pl_shift(P, t->index, c);
  }
  if (n == 1) {
    t->n_slopes = n;
    return 1;
  }
  int32_t m = n;
  while (m > 1 && pl_bp(sb, m - 2) >= ub) --m;
  if (m < n) {
    double first = pl_bp(sb, m - 1), s = pl_slope(sb, m - 1);
    double c = seg(s, ub) - sb_val(sb, n, ub);
    if (first < 0) pl_shift(P, t->index, c);
    n = m;
  }
  t->n_slopes = n;
  return n == 1;
}

// The extremes pcontrib added, per term, for fixvar to take out again.
static std::unordered_map<const plterm*, std::pair<double, double>> pl_range;

bool pl_range_of(const plterm* t, double* min, double* max) {
  auto it = pl_range.find(t);
  if (it == pl_range.end()) return false;
  *min = it->second.first;
  *max = it->second.second;
  return true;
}

void pl_range_clear() { pl_range.clear(); }

void pcontrib(Presolve* P, int32_t row, plterm* t, double lb, double ub) {
  if (pbound(P, t, lb, ub)) {
    --P->nterms[row];
    vcontrib(P, row, pl_slope(t->bs(), 0), lb, ub);
    return;
  }
  double lo, hi;
  plminmax(t, lb, ub, &lo, &hi);
  pl_range[t] = {lo, hi};
  if (std::isfinite(lo))
    P->actlb[row] += lo;
  else
    ++P->ninflb[row];
  if (std::isfinite(hi))
    P->actub[row] += hi;
  else
    ++P->ninfub[row];
}

// ---- Bound updates ----------------------------------------------------------

// Rows the updates leave alone: removed, deferred, infeasible, being fixed.
static bool row_busy(const Presolve* P, int32_t i) {
  return P->rstat[i] & ~uint32_t(RS_QUEUED | RS_SCANLB | RS_SCANUB | RS_COMPL);
}

// Row i gets scan request bit; pushed on the upper stack of the queue
// when it had none and holds no nonlinear or piecewise-linear variable.
static void request_scan(Presolve* P, int32_t i, uint32_t bit) {
  if (P->nterms[i]) return;
  if (!(P->rstat[i] & ~uint32_t(RS_QUEUED | RS_COMPL))) P->rq[--P->nba] = i;
  P->rstat[i] |= bit;
}

// One bound of j moves from old to nb: upper (bound 1) or lower.
static void bound_moved(Presolve* P, int32_t j, double old, double nb,
                        bool upper) {
  ++nbud;
  bool was_inf = !std::isfinite(old);
  // The bound's move, or the new bound where there was none.
  double m = was_inf ? nb : upper ? diffu(nb, old) : diffl(nb, old);
  int32_t ncons = P->ncons;
  for (varref* t = P->cols[j]; t; t = vnext(t)) {
    int32_t i = t->index;
    if (i >= ncons) break;
    if (row_busy(P, i)) continue;
    double a = t->coef;
    // Raising the upper bound side of the activity: a > 0 with an upper
    // bound, a < 0 with a lower bound.
    bool hi_side = (a > 0) == upper;
    if (hi_side) {
      if (was_inf) --P->ninfub[i];
      macu(a, m, &P->actub[i]);
      if (P->ninfub[i] <= 1 && std::isfinite(P->rlb[i]))
        request_scan(P, i, RS_SCANUB);
    } else {
      if (was_inf) --P->ninflb[i];
      macl(a, m, &P->actlb[i]);
      if (P->ninflb[i] <= 1 && std::isfinite(P->rub[i]))
        request_scan(P, i, RS_SCANLB);
    }
    // A paired row's activity may now keep clear of one of its limits.
    if (P->cpair && P->cpair[i]) compl_check_row(P, i, 1);
  }
}

void udub(Presolve* P, int32_t j, double u) {
  double old = P->vub[j];
  P->vub[j] = u;
  bound_moved(P, j, old, u, true);
}

void udlb(Presolve* P, int32_t j, double l) {
  double old = P->vlb[j];
  P->vlb[j] = l;
  bound_moved(P, j, old, l, false);
}

// The domain of j (intervals of three doubles after the header, cap
// holding the first live one, n one past the last) cut above u (upper)
// or below u: returns the bound moved to the nearest interval end.
static double domain_cut(Presolve* P, int32_t j, double u, bool upper,
                         bool* moved) {
  *moved = false;
  Inset* d = P->vdom ? P->vdom[j] : nullptr;
  if (!d) return u;
  double* iv = reinterpret_cast<double*>(d + 1);
  int32_t first = d->cap, end = d->n;
  if (upper) {
    while (end > first && iv[3 * (end - 1)] > u) --end;
  } else {
    while (end > first && iv[3 * first + 1] < u) ++first;
  }
  if (end > first) {
    double edge = upper ? iv[3 * (end - 1) + 1] : iv[3 * first];
    if (upper ? edge < u : edge > u) {
      u = edge;
      *moved = true;
    }
  }
  if (end - first > 1) {
    d->cap = first;
    d->n = end;
  } else {
    del_mblk(d->k, d);
    P->vdom[j] = nullptr;
  }
  return u;
}

// Rounds the deduced bound of an integer variable: outward to the integer
// within linteps, else inward.  Sets *inward when the bound tightened.
static double int_cut(double u, bool upper, bool* inward) {
  *inward = false;
  if (!std::isfinite(u)) return u;
  double out = upper ? std::ceil(u) : std::floor(u);
  double g = std::fabs(out - u);
  if (g == 0) return u;
  if (g <= linteps) {
    inteps1 = std::max(inteps1, g);
    return out;
  }
  inteps2 = std::min(inteps2, g);
  *inward = true;
  return upper ? std::floor(u) : std::ceil(u);
}

static const char* vname(const Presolve* P, int32_t j) {
  return xwho(&P->ac->var_names[j]);
}
static const char* rname(const Presolve* P, int32_t r) {
  return r < P->ncons ? xwho(&P->ac->con_names[r])
                      : xwho(&P->ac->obj_names[r - P->ncons]);
}

// The common steps of ubud1 and lbud1 (upper says which).
static int bound_from_row(Presolve* P, int32_t row, int32_t j, int how,
                          double u, bool upper) {
  P->sidechg[2 * j + upper] = row + 1;
  double other = upper ? P->vlb[j] : P->vub[j];
  // A deduced bound within vbt of the other one: the row is at its
  // extreme with j there; the row fixes all its variables.  The fixing
  // value lies inside the deduced range.
  if (upper ? other + vbt >= u : other - vbt <= u) {
    double gap = upper ? u - other : other - u;
    double v = u;
    if (gap > 0) {
      vbmin = std::max(vbmin, gap);
      v = upper ? u : (other < 0 ? other : u);
    }
    fixall(P, row, j, upper, v, how >> 1);
    return 1;
  }
  vbmax = std::min(vbmax, upper ? u - other : other - u);
  bool moved;
  u = domain_cut(P, j, u, upper, &moved);
  if (moved) P->sidechg[2 * j + upper] = 0;
  if (P->vstat[j] & (VS_INT | VS_BIN)) {
    bool inward;
    u = int_cut(u, upper, &inward);
    if (inward) {
      P->sidechg[2 * j + upper] = 0;
      (upper ? P->vub0 : P->vlb0)[j] = u;
    }
  }
  double lo = upper ? P->vlb[j] : u, hi = upper ? u : P->vub[j];
  if (lo >= hi) {
    uint32_t saved = P->rstat[row];
    bool log = plogfile && P->nfree[row] > 1;
    P->rstat[row] = 0;
    if (fixvar(P, j, lo, hi)) return 1;
    if (log) {
      Fprintf(plogfile, "%s: ", rname(P, row));
      Fprintf(plogfile, "%s = %.g\n", vname(P, j), (lo + hi) * 0.5);
    }
    if (P->rstat[row]) return 1;
    P->rstat[row] = saved;
    return 0;
  }
  if (upper)
    udub(P, j, u);
  else
    udlb(P, j, u);
  return 0;
}

int ubud1(Presolve* P, int32_t row, int32_t j, int how, double u) {
  return bound_from_row(P, row, j, how, u, true);
}

int lbud1(Presolve* P, int32_t row, int32_t j, int how, double l) {
  return bound_from_row(P, row, j, how, l, false);
}

// ---- Constant lists ---------------------------------------------------------

void simp_count(double v, int* n) {
  if (v != 0) ++*n;
}

void simp_minlist2(double v, int* n, double* m) {
  if (!(*n)++ || v < *m) *m = v;
}

void simp_maxlist2(double v, int* n, double* m) {
  if (!(*n)++ || v > *m) *m = v;
}

}  // namespace vexo
