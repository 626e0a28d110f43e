// Piecewise-linear terms before writing: linearised into new columns and
// rows (pllin), or handed to the solver as nonlinear parts (pl2nl).
//
// A term f of n slopes and breakpoints b0 < ... < b(n-2) on variable x
// becomes point columns lambda[0..n]: the inner ones stand for the
// breakpoints, the outer ones for open ends (how far x lies left of b0 or
// right of b(n-2)), or, with option pl_linearize's mode 2 or 3, for x's
// bounds.  The "def" row ties x to them (x = sum of points times lambda),
// the "cvx" row makes the inner lambdas sum to 1 (a term of two slopes
// with open ends has one inner lambda, fixed at 1 instead), and the term's
// row takes the function's values at the points.  A convex term where
// only its growth is bounded (a <= row, a minimised objective), or a
// concave one the other way round, needs nothing more; any other term
// gets one binary column per segment ("b"), the "sos2" row that picks one
// segment, and a "bound" row per point that lets only the two points of
// the chosen segment be positive.  Open ends then need finite bounds:
// x's infinite bounds are replaced by b0 - M and b(n-2) + M, with M from
// option pl_bigM (1e6 when not positive; twice the largest bound or
// breakpoint when that is at least M / 2, unless pl_linearize has bit 8),
// counted in bigM_used.
//
// Settled here: the "bound" row of point p holds lambda[p] and, with
// coefficient minus the point's reach (1, or an open end's upper bound),
// the binaries of the segments on either side of p; the convexity row
// gives every inner point coefficient 1; a term in an objective takes the
// same rows as one in a constraint, the term's values going into the
// objective; the "sos2" row (the binaries sum to 1) is also sent with the
// point columns as a special ordered set of type 2 (presolve/linadd.h).
// Each term is counted exactly (n_pl_var_added, n_pl_con_added), so
// pl_lin_req stays 0, and no term is left nonlinear by the counting
// pass: a term either is linearised or, with pl_linearize 0, goes whole
// to the solver.
//
// Before the terms are counted, unless pl_linearize has bit 16, terms of
// a variable y defined by a row that holds y's own term a y and one
// piecewise-linear term g of another variable z (a `var y = ...`
// definition, or an equality that option substout lets define y) are
// composed with g (plcompose): y = (c - g(z)) / a, so y's linear uses
// become terms of z and its terms f(y) the composed terms of z, their
// constants moving into the rows' bounds or the objectives' constants.
// y then leaves as a defined variable whose value comes back from g, and
// its row goes.  A y in a complementarity row or in a nonlinear part stays.
#ifndef VEXO_PRESOLVE_PLLIN_H
#define VEXO_PRESOLVE_PLLIN_H

#include <cstdint>

namespace vexo {

struct Presolve;
struct AC;
struct plterm;

// Linearises every piecewise-linear term left in P's columns (kept
// variables only; a fixed variable's terms are already constants).
// Counts the additions in n_pl_var_added and n_pl_con_added.  May set
// option pl_bigM.  Raises no error.
void pllin(Presolve* P);
// Moves every piecewise-linear term of a kept variable into its row's
// nonlinear part (a term node of opcode OPPLTERM on its variable); a row
// without a linear term of the variable gets one of coefficient 0, so
// that the variable is listed in the row.  Raises no error.
void pl2nl(Presolve* P);
// The composition h(x) = f(alpha + beta g(x)) - f(alpha) of two terms,
// as a term of g's variable in f's row (its index f's); *at0 = f(alpha),
// the constant that the composition drops (g is 0 at 0).  The caller
// frees the result.  Raises no error.
plterm* plcompose(const plterm* f, const plterm* g, double alpha, double beta,
                  double* at0);
// Whether term t is convex (slopes increasing) or concave (decreasing).
bool pl_convex(const plterm* t);
bool pl_concave(const plterm* t);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_PLLIN_H
