// Fixing variables and removing rows.  A fixed variable leaves the
// problem: its bounds collapse to its value, its terms move into the row
// bounds and the objectives' constants, and rows left with at most one
// free variable are queued for the driver.  Every removed row is recorded
// (rorder from the back, with the count of variables still kept then in
// `deferred`), in the order the dual recovery walks back.
#ifndef VEXO_PRESOLVE_FIXING_H
#define VEXO_PRESOLVE_FIXING_H

#include <cstdint>

namespace vexo {

struct Presolve;
struct plterm;

// Fixes variable j at v; other is the opposite bound, which must not lie
// below v.  A gap of at most preeps fixes at the midpoint (preeps1 keeps
// it); a larger one is reported ("presolve, variable <name>:\n\timpossible
// deduced bounds: ..."), sets infeasible and returns 1 without fixing.
// Returns 0 when fixed.  Before the activity intervals exist only the
// bounds, the order and the values are set.
int fixvar(Presolve* P, int32_t j, double v, double other);
// Fixes j at v (at_upper: v is j's deduced upper bound and j goes to its
// lower bound, else v is the deduced lower bound and j goes there), then
// every other free variable of row at the bound that gives the row its
// smallest (side 0) or largest (side 1) activity, and removes the row
// (status 4), recorded before its variables.  Returns fixvar's nonzero
// result when a fixing was impossible.
int fixall(Presolve* P, int32_t row, int32_t j, int at_upper, double v,
           int side);
// Removes row with status code (1: no variables left, which is reported
// through badcon and keeps the row when its bounds exclude 0; 2 and 16:
// removed by the driver; 4: forcing or deferred).
void rowelim(Presolve* P, int32_t row, int code);
// Puts entry in slot (slot numbers 0 .. 2 * ncons + 1, entries row + 1);
// a row the slot held before loses the side of its range the slot stands
// for (even: lower, odd: upper), or, when not a range and not paired, is
// removed as deferred.  Returns 0.
int defer(Presolve* P, int32_t entry, int32_t slot);
// Whether row's extreme on side (0 smallest, 1 largest activity) uses a
// bound some row deduced while row has more than one free variable.  The
// first such finding gives the second row-bound pair its own arrays.
int keepchk(int32_t row, Presolve* P, int side);
// Gives the second row-bound pair (rlb2, rub2, the AC's shape_alt bounds)
// arrays of their own, copies of the first pair, once.
void split_row_bounds(Presolve* P);
// j's piecewise-linear terms with one slope become linear terms.
void pvmerge(Presolve* P, int32_t j);
// Unlinks t from its variable's list; frees it when release is set.
void del_plt(Presolve* P, plterm* t, int release);
// The value of fixed variable j moves to v: with option project_fixed_vars
// bit 2 the change is reported ("presolve: changing value of fixed
// variable ...") and makes the problem infeasible.  Counts nvalchg;
// returns v.
double pf_adj(Presolve* P, int32_t j, double v);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_FIXING_H
