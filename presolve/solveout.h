// Solving out defined variables: a variable declared with a linear
// defining expression is substituted into the rows that use it (row
// operations on the linear terms, Gaussian elimination with fill-in) and
// leaves the problem with its defining row; with commands running its
// definition is kept (the AC's var_lindef and dv_const) so that its value
// can be computed from the others.
//
// Decisions: only defining rows of defined variables are candidates (the
// rows that option substout would add are not built); a definition that
// is nonlinear, or whose variable occurs in a nonlinear part, a logical or
// a complementarity row, stays a constraint; so do the rows of a cycle of
// definitions, with the "Treating ..." warning.
#ifndef VEXO_PRESOLVE_SOLVEOUT_H
#define VEXO_PRESOLVE_SOLVEOUT_H

#include <cstdint>

namespace vexo {

struct Presolve;

// The whole pass over the kept rows: eliminations in dependency order,
// the counts ldef and nfills, the eliminated variables placed in the
// sending order right after the kept ones (the AC's n_subst_var), and,
// with option show_stats above 1, "%d linear definitional constraints
// eliminated (%d fills)\n" in the presolve messages.  A variable found in
// its own definition gets the warning "Treating \"var %s = ...\" as a
// constraint,\n\tsince %s appears in the right-hand side.\n".
void solve_out(Presolve* P);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_SOLVEOUT_H
