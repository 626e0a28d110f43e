// Solution values: what commands read back about the members of variables,
// constraints and objectives within the current problem.
#ifndef VEXO_EVAL_SOLVAL_H
#define VEXO_EVAL_SOLVAL_H

#include <cstdint>

namespace vexo {

struct AC;
struct expr;
struct constr;
struct convar;
struct TVA;
struct var;

// Status codes of a member in the current problem (option astatus_table).
enum : int {
  AS_IN = 0,
  AS_DROP = 1,
  AS_PRE = 2,
  AS_FIX = 3,
  AS_SUB = 4,
  AS_UNUSED = 5,
  AS_LOG = 6,
  AS_RAND = 7
};

// Body values computed (not taken from a cache) since start-up or reset.
extern int32_t n_cvals;
// Start-up and `reset`: the count 0.
void solval_reset();

// The body value of member k of c (a constraint, logical constraint or
// objective; kind 0: a pseudo-declaration, not cached): a logical
// constraint's truth (1 or 0); otherwise the constant (a constraint's
// negated, an objective's as it is), plus the nonlinear parts (an
// infinite or NaN sum so far ends the sum there), plus coefficient times
// column value of the linear terms and the piecewise-linear terms at
// their columns' values.  A part involving random values makes the value
// NaN.  A real declaration keeps the value (GS_BODY) until its members
// change; the problem is collected first when it changed since.
double co_val(constr* c, int32_t k, TVA* tva);

// The value of column i of ac: a stale defined column computed first
// (def_comp); without collected values, the stored value of the member the
// column's name record names (0 without one).
double column_value(AC* ac, int32_t i, TVA* tva);

// The value of instantiated nonlinear part e of ac, bound to ac's column
// evaluators first; NaN for a part involving random values.
double part_value(expr* e, AC* ac, TVA* tva);

// The body of row r of ac (a row with no declaration, which presolve
// added) from the collected problem's own terms; its constant lies in its
// bounds.
double row_body(AC* ac, int32_t r, TVA* tva);

// The dual of member k of constraint c: its stored dual when c or the
// member is outside the problem (dropped or fixed), else the collected
// row's dual (0 before a solve), computed first when presolve removed the
// row and its duals are stale (need_fd).
double con_dual(constr* c, int32_t k, TVA* tva);

// The lower (sign +1) or upper (sign -1) dual of member k of constraint c:
// the row's dual when that bound is the active side, else 0.  An
// equality row takes the dual whose sign matches (flipped when the current
// objective is maximised); a ranged row the side nearer the body.  The
// duals of rows presolve removed are computed first (need_fd).
double ludval(constr* c, int32_t k, TVA* tva, double sign);

// The reduced cost of column i of ac attributed to its lower (sign +1) or
// upper (sign -1) bound, by the rules of ludval with the column's bounds
// and value; 0 without reduced costs.  The duals of what presolve removed
// are computed first (need_fd, or no reduced costs yet).
double lurcval(int32_t i, AC* ac, TVA* tva, double sign);

// The complementarity slack of member k of complementarity constraint c
// (rows 2k and 2k + 1): compl_slack of its bounds and bodies.
double ccslack(constr* c, int32_t k, TVA* tva);

// The value of member k of variable v (column first_col + k): before
// collection its current value, else its initial value, else 0; once
// collected, the column's value when the collected problem holds the
// column (a stale defined column computed first, def_comp), else the same
// as before collection.  sub: the subscripted reference, which brings a
// defined variable's problem up to presolve first (translation state 2 or
// below).
double var_value(var* v, int32_t k, TVA* tva, bool sub);

// The constraint map of c: per slot, the position of its member among the
// members of c that are in the current problem, -1 for a member dropped or
// fixed (status GS_DROPPED).  A complementarity declaration has two slots
// per member; both carry the member's position k', whose rows are
// first + 2k' and first + 2k' + 1, and the status byte of the first slot
// decides.  Made once per collection: kept in c->gen.cmap and noted in
// ac->cmap_decls, which col_teardown frees.  c has member_status.
int32_t* make_cmap(constr* c, AC* ac);

// The collected row of slot s of c (a constraint, logical constraint or
// objective; two slots per member for complementarity, rows first + 2k'
// and first + 2k' + 1): mapped through the constraint map when c keeps
// one; -1 for a member outside the problem.
int32_t con_row(constr* c, int32_t s, AC* ac);

// The status code of slot k of d (a variable or constraint; anything
// else gives AS_IN unless dropped) in the collected problem ac.
int astatval(convar* d, int32_t k, AC* ac);

// The ordinary slack of body b within (lb, ub): the distance to the nearer
// finite bound; ub itself when both are infinite.
double side_slack(double lb, double ub, double b);

// The lower slack v - lb (+Infinity when lb is -Infinity) and the upper
// slack ub - v (ub when ub is +Infinity).
double lower_slack(double lb, double v);
double upper_slack(double ub, double v);

// The complementarity slack of one member: left side bounds (llb, lub) and
// body l, right side (rlb, rub) and body r.  shape is the declaration's
// flags & 0xb: 10 when the left side is a range, 11 when the right side
// is, anything else for two one-sided conditions.  old: option
// old_complementarity_slack is 1 (a body strictly inside its range then
// zeroes both bounds of the other side, not only the nearer one).
double compl_slack(int shape, double llb, double lub, double l, double rlb,
                   double rub, double r, bool old);

}  // namespace vexo

#endif  // VEXO_EVAL_SOLVAL_H
