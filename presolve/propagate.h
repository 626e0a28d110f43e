// Bound propagation: the activity interval of every constraint row kept
// current under bound changes, the bounds a row implies for one variable
// applied (cut to the variable's domain, rounded for integer variables,
// fixing the variable when they meet), and the ranges of piecewise-linear
// terms.  All sums are rounded outward (presolve/rounding.h), so that an
// interval never leaves out a value the row's body can take.
#ifndef VEXO_PRESOLVE_PROPAGATE_H
#define VEXO_PRESOLVE_PROPAGATE_H

#include <cmath>
#include <cstdint>

#include "presolve/presolve.h"
#include "presolve/rounding.h"

namespace vexo {

struct plterm;

// Adds the linear term a * x, x in [lb, ub], to row's activity interval
// (an infinite end is counted in ninflb / ninfub instead).
inline void vcontrib(Presolve* P, int32_t row, double a, double lb,
                     double ub) {
  double lo = a > 0 ? lb : ub, hi = a > 0 ? ub : lb;
  if (std::isfinite(lo))
    macl(a, lo, &P->actlb[row]);
  else
    ++P->ninflb[row];
  if (std::isfinite(hi))
    macu(a, hi, &P->actub[row]);
  else
    ++P->ninfub[row];
}

// Minimum and maximum of t over [lb, ub].  A term with fewer than two
// slopes is a bug ("plminmax has p->n = %d").  pplminmax and nplminmax
// take the slopes-and-breakpoints array sb of n slopes and a range on one
// side of 0 (lb >= 0, resp. ub <= 0).
void plminmax(const plterm* t, double lb, double ub, double* min,
              double* max);
void pplminmax(const double* sb, int32_t n, double lb, double ub,
               double* min, double* max);
void nplminmax(const double* sb, int32_t n, double lb, double ub,
               double* min, double* max);
// Trims t to [lb, ub]: breakpoints outside go with their outer slopes (at
// least one slope stays); when the term's zero point moves the row's
// bounds and activity (a constraint) or the constant (an objective) take
// the shift.  Returns 1 when one slope is left.
int pbound(Presolve* P, plterm* t, double lb, double ub);
// Adds t's contribution (row t->index) over [lb, ub]: as a linear term
// when one slope is left (nterms drops by one), else its minimum and
// maximum, which are kept for fixvar.
void pcontrib(Presolve* P, int32_t row, plterm* t, double lb, double ub);
// The minimum and maximum pcontrib added for t; false when none was.
bool pl_range_of(const plterm* t, double* min, double* max);
// Forgets what pcontrib kept (start of a run, reset).
void pl_range_clear();

// New upper (lower) bound u (l) of variable j: every constraint row
// holding j has its activity interval moved, gets a scan request when the
// changed side has at most one infinite term and the opposite row bound is
// finite, and is pushed on the upper stack of the row queue when it had no
// request and holds no nonlinear or piecewise-linear variable.
void udub(Presolve* P, int32_t j, double u);
void udlb(Presolve* P, int32_t j, double l);
// Applies the upper (lower) bound deduced from row for j: a bound within
// vbt of the opposite one fixes j through fixall (how: bit 1 unused by the
// caller, how >> 1 the side of the row); otherwise the bound is cut to j's
// domain, rounded when j is integer, and applied with udub (udlb), fixing
// j when it meets the opposite bound.  Returns 1 when j was fixed through
// fixall or the row left the queue while fixing, else 0.  May report
// infeasibility (message buffer), never raises an error.
int ubud1(Presolve* P, int32_t row, int32_t j, int how, double u);
int lbud1(Presolve* P, int32_t row, int32_t j, int how, double l);

// Folding of constant lists in the nonlinear simplification: count adds 1
// for a nonzero value; min and max count and keep the running extreme
// (the first value taken as it comes).
void simp_count(double v, int* n);
void simp_minlist2(double v, int* n, double* m);
void simp_maxlist2(double v, int* n, double* m);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_PROPAGATE_H
