// The state of presolve that option handlers read and mark.  Stand-ins
// until presolve is built: the cells, and boundstats, which prints nothing.
#ifndef VEXO_PRESOLVE_PRESOLVE_H
#define VEXO_PRESOLVE_PRESOLVE_H

namespace vexo {

struct AC;

// Options abs_boundtol and rel_boundtol: the value, and the lower and
// upper marks of the tolerances presolve used (a new value outside them
// calls for the duals of removed constraints to be computed again).
extern double abs_bt[3];
extern double rel_bt[3];
// Set when presolve linearised with big-M constraints (option pl_bigM then
// changes the problem).
extern int bigM_used;
// Nonzero while the duals of constraints presolve removed are stale.
extern int need_fd;
// What the last presolve leaves for the problem writer's header: the
// presolve level it required, the piecewise-linear request word, the
// exponents of its fixing, consistency and integrality tolerances (NO_TOL
// when the option was not positive) and the var_bounds tolerance.
// Stand-ins: presolve at level 0 requires nothing and uses no tolerance.
constexpr int NO_TOL = -999999;
extern int presolve_req;
extern int pl_lin_req;
extern int ifixeps, ipreeps, iinteps;
extern double vb_tol;
// Start-up and `reset`: no presolve has run.
void presolve_reset();
// Computes the duals of the rows presolve removed (and the reduced costs
// of the columns it fixed) from the solution read back, then clears
// need_fd.  Stand-in until presolve exists: no row is removed, nothing to
// compute.
void fixed_duals(AC* ac);
// Prints the bound-tolerance statistics of the last presolve.  Stand-in:
// nothing to print before presolve exists.
void boundstats(AC* ac);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_PRESOLVE_H
