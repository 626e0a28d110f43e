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
// Prints the bound-tolerance statistics of the last presolve.  Stand-in:
// nothing to print before presolve exists.
void boundstats(AC* ac);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_PRESOLVE_H
