// Complementarity conditions in presolve.  A condition is held as two
// adjacent rows (collection, instance/collect.cpp): cpair marks them, the
// low three bits the kind (1 the first row, 2 the second), bit 8 on the
// row whose partner is the row before, bit 16 on both rows of two single
// inequalities whose finite limits lie on opposite sides (>= against
// <=), bit 32 on a row that is a lone expression: rub0 holds its
// constant, the expression being the row's body less rub0, and its
// partner carries two limits (or one).  The driver sets bits 8, 16 and 32.
//
// The adjustments decide a condition when propagation proves that a limit
// of one row can never be active, or a row loses its last variable: the
// partner is forced to a limit or freed and the pair dissolved.
// compl_constradj brings the undecided conditions into the form the
// problem file states, a row body complemented by one variable (compl_var)
// whose bounds say which sides apply; compl_count checks at the end that
// the system is square.
#ifndef VEXO_PRESOLVE_COMPL_H
#define VEXO_PRESOLVE_COMPL_H

#include <cstdint>

namespace vexo {

struct Presolve;
struct AC;

// Row's lower limit can never be active.  now: the partner may go on the
// top part of the row queue.
void compl_Ladj(Presolve* P, int32_t row, int now);
// Row's upper limit can never be active.
void compl_Uadj(Presolve* P, int32_t row, int now);
// The same for rows whose pairing byte has bit 32 (tested against rub0).
void compl_LCadj(Presolve* P, int32_t row, int now);
void compl_UCadj(Presolve* P, int32_t row, int now);
// The paired row has no variables left.
void compl_empty(Presolve* P, int32_t row, int now);
// Propagation's test of paired row i (linear, activity intervals
// current): a limit its activity keeps clear of by more than option
// constraint_drop_tol decides the condition (compl_Ladj, compl_Uadj, or
// compl_LCadj, compl_UCadj for a lone expression).
void compl_check_row(Presolve* P, int32_t i, int now);
// Row j of a pair whose partner i is an equation: j goes, i is kept as an
// equation to re-pair with the variable j referred to (when j is a lone
// variable) in compl_constradj, unless option compl_warn has bit 4.
void compl_eqn(Presolve* P, int32_t i, int32_t j);

// Tries to turn row `row` of a pair into the bounds of its single
// variable, `other` being the partner; 1 when it did, 0 when the row does
// not qualify (nothing changed).
int compvar(int32_t row, int32_t other, Presolve* P);
// Every undecided condition into the form of the problem file: rows
// converted by compvar leave, the other pairs get a new variable named
// after the declaration with "$cvar"; sets compl_var and the counts
// n_compl_lin, n_compl_nonlin, n_compl_sent, n_cvar, n_compl_nd,
// n_compl_nzlb.  Raises no error.
void compl_constradj(Presolve* P);
// After presolve: the conditions plus the equations sent must equal the
// variables sent; otherwise "Nonsquare complementarity system:" goes to
// the presolve messages (compl_warn bit 1 or 2), and with bit 2 the
// problem counts as infeasible (infeasible |= 2).
void compl_count(AC* ac);
// Forgets the equation pairs of the last run (start-up and `reset`).
void compl_reset();

}  // namespace vexo

#endif  // VEXO_PRESOLVE_COMPL_H
