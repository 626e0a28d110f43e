// The classes and order in which presolve sends variables and rows: the
// problem file lists nonlinear variables first (in constraints and
// objectives, in constraints only, in objectives only; continuous before
// integer in each), then linear network, linear continuous, binary and
// integer ones; rows nonlinear first, then network, linear and logical
// ones.  Option nl_permute may keep the order of collection instead.
#ifndef VEXO_PRESOLVE_ORDER_H
#define VEXO_PRESOLVE_ORDER_H

#include <cstdint>

namespace vexo {

struct Presolve;
struct TVA;
struct expr;

// Rebuilds the AC's col_nl_rows (and P->nlcols) for rows r0 .. r1 - 1
// (constraints, then objectives): each variable lists, in increasing
// order, the rows whose nonlinear part uses it, once each.
void nl_incidence(Presolve* P, int32_t r0, int32_t r1);
// Classifies the kept variables (the first P->nfv of P->vorder), orders
// them into the AC's var_order (kept ones in class order, then the others)
// and var_pos, sets the AC's class counts, and moves the value of a kept
// variable that occurs nowhere into its bounds.  Returns the number sent.
// Bounds deduced on random variables end the command after a report.
int nlvshift(Presolve* P);
// Orders the kept rows of the working (alt 0) or the second (alt 1) shape
// into classes: nonlinear, nonlinear network, linear network, linear,
// logical; sets that shape's counts, and the objectives' order.
void nlcshift(Presolve* P, int alt);
// Turns references to variable declarations inside e into variable-value
// nodes of their column numbers.  A bad subscript ends the command.
void varvalify(TVA* tva, expr* e);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_ORDER_H
