// Column numbering.  Every generated variable member is a column of the
// problem; columns are numbered from 0 by variable declaration in
// declaration order, the members of one declaration consecutively from its
// first column.  A variable regenerated during a genmod call takes its
// columns back when they were the last ones; otherwise its members are
// numbered after every column (provisional numbers), and at the end of the
// call one permutation (old or provisional number -> final number, -1 for
// a column that went) puts the numbering back in declaration order and is
// applied to the terms of the generated constraints and objectives, so that
// none of them is generated again only because its columns moved.  A
// variable that keeps its member count gets its old columns back, and only
// the rows its own members wrote into (its defining constraint, the targets
// of its column clauses) are rewritten.
#ifndef VEXO_INSTANCE_RENUM_H
#define VEXO_INSTANCE_RENUM_H

#include <cstdint>

namespace vexo {

struct AC;
struct convar;
struct expr;
struct var;

// Start of a genmod call: no column has moved.
void renum_begin();
// Before v's members are generated again: returns the first column they
// get (the problem's next column, after its old columns were taken back
// when they were the last ones).  old_first, old_n: v's columns before.
int32_t columns_begin(var* v, AC* ac, int32_t old_first, int32_t old_n);
// After v's members were generated (member_count new): a variable that
// kept its count moves back to its old columns (the rows its members wrote
// into are rewritten now); any other move is left to Renumber.
void columns_end(var* v, AC* ac, int32_t old_first, int32_t old_n);
// A variable lost its members (old_first, old_n: its columns before): its
// columns go back when they were the last ones, else Renumber closes the
// gap.
void columns_gone(AC* ac, int32_t old_first, int32_t old_n);
// End of a genmod call, also after an interrupt or an error: when columns
// moved, numbers every column again from 0 in declaration order and
// rewrites the terms of every generated constraint and objective.
void Renumber(AC* ac);
// Rewrites the column numbers of every member of c through perm: linear
// terms, piecewise-linear terms and nonlinear parts (Vpewalk).  A linear
// or piecewise-linear term of a column that went is dropped.
void ApplyVperm(convar* c, const int32_t* perm, int32_t n);
// Rewrites the variable references of instantiated expression e through
// perm; a reference to a column that went becomes the number 0.
void Vpewalk(expr* e, const int32_t* perm, int32_t n);
// The number of d's first member in the problem's column (variables) or
// row (constraints, objectives) numbering, -1 when it has none.
int32_t first_num(const convar* d);
// Start-up and `reset`: no permutation.
void renum_reset();

}  // namespace vexo

#endif  // VEXO_INSTANCE_RENUM_H
