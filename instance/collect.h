// Collection of the problem: the generated members of the current
// problem's variables, constraints and objectives (instance/members.h
// cvgen) turned into the one collected record AC (instance/ac.h) that
// presolve and the problem writer read.  Also the merge step generation
// runs once per call (gencollect), so that a row holds each variable at
// most once, and the copiers of the nonlinear parts.
//
// Numbering: columns are generation's (a variable declaration's first_col
// and its members in member order); rows are given here, in declaration
// order and member order, constraints first, then objectives (objective j
// is row n_con + j in arrays by row).  A constraint or objective records
// its first row in its first_col.  A member left out of the problem (status
// GS_DROPPED, or the declaration CV_ALLDROPPED) takes no row; a variable
// left out keeps its column, marked fixed (0x84) in var_status.  A
// complementarity member takes two rows (its slots 2i and 2i + 1), named
// with ".L" and ".R"; a logical constraint member whose expression is the
// constant true takes none.
#ifndef VEXO_INSTANCE_COLLECT_H
#define VEXO_INSTANCE_COLLECT_H

#include <cstdint>

namespace vexo {

struct convar;

struct AC;
struct expr;
struct list;
struct plterm;

// Collects the problem into ac (emptied first, col_teardown): brings the
// instance up to date (xcg with flag 1; null from it gives null here),
// rebuilding the current problem's membership first when it changed, then
// fills the record and raises the translation state to 2.  Clears the
// changes noted since the last collection (fixchanges, var_changes,
// con_changes, the defined-variable values computed) and req_collect.
// Option show_stats above 5 reports the linear and piecewise-linear term
// counts.  After the end of all input (at_eof) the members' term lists
// and expressions are taken over instead of copied.  Errors: those of
// generation (the command is abandoned).
AC* collect(AC* ac);

// The merge step, run by generation once per call over the constraint and
// objective declarations it generated (cells of decls: item.p the
// declaration): in every slot of every member, the linear terms of one
// variable are added into its first term; piecewise-linear terms of one
// variable are merged (plmerge) and absorb its linear coefficient; a
// piecewise-linear term left with one slope becomes a linear term.  Terms
// whose coefficient merging made 0 go.  Needs ac->n_var_gen to cover every
// column.
void gencollect(AC* ac, list* decls);

// The sum of two piecewise-linear terms of one variable, a new record: its
// breakpoints the union of theirs (a breakpoint whose two sides have one
// slope is left out), each slope the sum of theirs on that interval; index
// and kept word from a, merged 0.  a and b are freed.
plterm* plmerge(plterm* a, plterm* b);

// The names of the columns: ac->var_names (and Vname), one entry per
// column generation numbered (declaration and member), in a zeroed block
// of class var_names_class.
void vnamegen(AC* ac);

// Deep copies of instantiated expressions and chains of them, for the
// collected record; copye(null) is null.  if_lev above 0 (inside a
// conditional) keeps comparisons as they are; outside, a comparison of
// two operands with variables becomes (L - R) compared with 0.  A shape
// without copy rule ends the session ("unexpected type 0x%x in copye()").
expr* copye(expr* e, int if_lev = 0);
expr* copyel(expr* chain, int if_lev = 0);

// Declarations whose integer members have relax suffix values of 2 or
// more (relaxed only when sent), made by the last collection.
extern list* relax2list;
// Defined variables among the columns of the last collection.
extern int vardefs;

// How many rows member i of constraint or objective d takes in a
// collection: 0 when dropped or a logical constraint that always holds,
// 2 for a complementarity constraint, else 1.
int32_t rows_of_member(const convar* d, int32_t i);
// Start-up and `reset`: no list (its cells lay in freed memory).
void collect_reset();

}  // namespace vexo

#endif  // VEXO_INSTANCE_COLLECT_H
