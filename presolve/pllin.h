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
