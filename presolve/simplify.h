// Nonlinear simplification: once presolve has fixed variables and
// tightened bounds, the nonlinear parts of the rows are rewritten in place
// (constant subexpressions folded, fixed variables made numbers, logical
// constraints decided or turned into algebraic rows, constants gathered
// under option presolve_assoc), and whatever part has become linear is
// split off and merged into the rows' linear terms (nl2l).  Superfluous
// nodes go back to the expression pool at once.
//
// The driver simplifies every row twice: before the reductions (so that a
// logical constraint turned into a row of one variable becomes a bound,
// and linear parts take part in the bound passes) and after them (fixed
// variables become numbers).  nl2l queues no row for the bound passes: the
// second time they are over, and the rows are sent as they are.
#ifndef VEXO_PRESOLVE_SIMPLIFY_H
#define VEXO_PRESOLVE_SIMPLIFY_H

#include <cstdint>

namespace vexo {

struct Presolve;
struct expr;
struct varref;

// Result kinds of simplify.
enum : int { SK_CONST = 0, SK_LINEAR = 1, SK_NONLIN = 2 };
// Results of lsimplify: decided false, decided true, undecided.
enum : int { LV_FALSE = 0, LV_TRUE = 1, LV_OPEN = 2 };

// The op word of the numeric constant simplification makes and
// recognises (OPNUM, constant and numeric, no other flag).
constexpr uint32_t SIMP_NUM = (150u << 9) | 3u;

// Simplifies the numeric expression e (owned by the collected problem);
// returns the new root, which keeps e's next link, and stores its kind.
// A zero divisor is reported once per row ("division by zero.", through
// badcon); a fold whose evaluation fails leaves the node as it was.  A
// shape without a rule is left untouched as nonlinear.
expr* simplify(Presolve* P, expr* e, int* kind);
// Simplifies the logical expression e: returns it undecided (*value
// LV_OPEN) or null with *value LV_FALSE or LV_TRUE (e then freed).
expr* lsimplify(Presolve* P, expr* e, int* value);
// The multiplicative (flags as the rules table of mult lists them) and
// distributive rewriting steps, used by simplify; exposed for the tests.
void mult(expr* e, int flags);
void applyconst(double c, expr* t);
void distconst(expr* e, int overlist);

// Simplifies the nonlinear part *part of row (a chain; logical
// constraints when logical has bit 1 or 2 for the row): linear terms move
// to the row's pending list for nl2l (unless P->keepnl), constants into
// the bounds or the objective's constant; a logical constraint is decided
// (false: "Logical constraint is always false." through false_lc) or, when
// a comparison, turned into an algebraic row with bounds.  Returns 1 only
// for a logical constraint found always true.
int esimplify(Presolve* P, int32_t row, expr** part, const int32_t* logical);
// Splits the linear tree e (scaled by scale) into variable terms appended
// at *lin and other terms at *nl; walked nodes are freed.  The tails move
// to the new ends.
void linsplit(expr* e, expr*** nl, expr*** lin, double scale);
// The linear tree e as terms (one per occurrence, unsorted) and a
// constant added to *constant; e is freed.  A zero divisor reports row
// ("Division by zero.") and gives no terms.
varref* e2v(Presolve* P, int32_t row, expr* e, double* constant);
// Merges the pending linear terms of every queued row, in increasing row
// order, into the column lists (coefficients of one variable add, zeros
// go), their constants into the bounds or the objectives' constants;
// empties the queue.  Returns the number of rows merged.
int nl2l(Presolve* P);
// Simplification of every kept row and objective, then nl2l: the step of
// the driver after the reductions.  Counts the simplifications in nsimp.
void simplify_rows(Presolve* P);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_SIMPLIFY_H
