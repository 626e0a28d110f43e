// Solving out defined variables: a variable declared with a defining
// expression leaves the problem with its defining row.  A linear
// definition used only linearly is substituted into the rows that use it
// (row operations on the linear terms, Gaussian elimination with fill-in);
// with commands running its definition is kept (the AC's var_lindef and
// dv_const) so that its value can be computed from the others.  Any other
// definition becomes a defined variable sent with the problem: its body
// (the AC's dv_bodies, dv_col, dv_const, one body per defining row: an
// OPLINPART node with the linear part, then the nonlinear parts) is the
// row solved for the variable, and its linear uses in other rows become
// references to it in their nonlinear parts (marked EF_NONLIN, so that
// simplification leaves them there).
//
// Candidates: the defining rows of `var x = ...` declarations and, with
// option substout 1, equalities x = ... whose lone left variable x is
// continuous and has no declared bound (collection records the column in
// con_defvar).  A variable used in a complementarity row, or whose row
// holds piecewise-linear terms, stays a column.  A definition that names
// its own variable stays a constraint (a declared one with the "Treating
// ..." message among presolve's messages; the problem is still sent).  In
// a cycle of definitions the last substout row still waiting stays a
// constraint, which frees the others; a cycle of declared definitions
// alone keeps all its rows, each with the message, where the session used
// to end.  A linear definition's constant is found through dv_col like a
// nonlinear body's, so values of substituted columns come back too.
// A use of a nonlinear definition is a reference to the defined variable,
// never a copy of its body, so no expression grows by substitution and
// nothing needs consolidating; whom a definition serves (constraints,
// objectives, both, none) is found by following those references from the
// kept rows, in place of per-variable use codes.
#ifndef VEXO_PRESOLVE_SOLVEOUT_H
#define VEXO_PRESOLVE_SOLVEOUT_H

#include <cstdint>
#include <vector>

namespace vexo {

struct Presolve;
struct expr;

// The whole pass over the kept rows: eliminations in dependency order (a
// definition waits for the other definitions whose variables occur in its
// row, linearly or not), the counts ldef, nfills and nnldef, the
// eliminated variables placed in the sending order right after the kept
// ones (the AC's n_subst_var), and, with option show_stats above 1, "%d
// linear definitional constraints eliminated (%d fills)\n" and "%d
// nonlinear definitional constraints eliminated\n" with the lines saying
// whom they serve, in the presolve messages.  A variable found in
// its own definition gets the warning "Treating \"var %s = ...\" as a
// constraint,\n\tsince %s appears in the right-hand side.\n".
// With `linearised`, the pass takes only the rows that linearising set
// domains marked as defining (RS_DEFINES), adds to the counts and gives
// no messages.
void solve_out(Presolve* P, bool linearised = false);

// Whether row r may define column j by the rules above, its
// piecewise-linear terms aside, and holds no nonlinear part: the rows
// through which pllin composes piecewise-linear terms.  Raises no error.
bool pl_defining_row(Presolve* P, int32_t r, int32_t j);
// Per column: whether it occurs in the nonlinear part of a kept row or
// of an objective.
std::vector<char> columns_used_nonlinearly(const Presolve* P);
// Column j leaves as a defined variable whose value is its body (parts
// chained by next) plus c; its defining row r goes.  Raises no error.
void define_by_body(Presolve* P, int32_t r, int32_t j, expr* body, double c);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_SOLVEOUT_H
