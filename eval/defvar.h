// Defined variables: variables whose values are given by expressions of
// other variables.  Once presolve has solved them out, each one's
// definition is held in the collected problem (instance/ac.h, the dv_*
// fields) and its value is computed from the current column values when
// something reads it (def_comp), then kept until the columns change
// (whoever changes them marks the defined columns DV_STALE).  The bodies
// are copies (compiler/ecopy.h) bound to the evaluators below by dvopgen,
// which read the columns of the context's collected problem (TVA::ac).
#ifndef VEXO_EVAL_DEFVAR_H
#define VEXO_EVAL_DEFVAR_H

#include <cstdint>

#include "eval/dispatch.h"

namespace vexo {

struct AC;
struct symbol;
struct var;
struct xname;

// The collected problem whose bodies dvopgen binds (its dv_val2 decides
// between the two column evaluators); set through defvars_from by whoever
// calls dvopgen.
extern AC* defc_ac;
// Makes ac the collected problem whose defined variables dvopgen binds.
void defvars_from(AC* ac);
// Defined-variable values computed since the last collection (collection
// clears it).
extern int32_t n_dvals;
// A collection starts: n_dvals 0.
void dvals_collected();
// Start-up and `reset`: no problem, no computation running, the count 0.
void defvar_reset();

// Binds every node of the instantiated tree e to its evaluation routine:
// its opcode's, except the column values (OPVARVAL146: f_OPVARVAL2 when
// defc_ac keeps the body sums at the column's position, else
// f_OPVARVAL1; 147: f_OPSVARVAL1), the piecewise-linear terms
// (f_OPPLTERM1) and the lists (f_OPSUMLIST1, f_OPANDLIST1, f_OPORLIST1).
// A shape no copy holds is a bug: "unexpected type 0x%x in dvopgen()"
// ends the session.
void dvopgen(expr* e);

// The value of defined column i of ac, computed when stale: the problem is
// collected and presolved first (below translation state 3); a value
// presolve settled (DV_SETTLED) is returned as it is; otherwise the
// body's parts are evaluated in tva (a new context when tva is null;
// the column evaluators read ac's columns while it runs; bound first) and
// added, the linear part of the definition added, and the result stored
// as the column's value.  Errors of the body's evaluation abandon the command, their
// location naming the variable ("error computing defined variable x[1]:").
double def_comp(AC* ac, int32_t i, TVA* tva);

// The name of the defined variable whose computation an error
// interrupted, taken (the next error will not repeat it); null when none
// is being computed.  For the error location (mgwhere).
const xname* take_defxn();

// Builds ac's dv_cmap from dv_col: the column of body k maps to k + 1.
void dv_cdef(AC* ac);

// The member of the domain of symbolic variable v that member k's value
// (its ordinal: the current value, else the initial one; the first member
// without either) selects.  A value outside the domain is a bug: "Out of
// range val_num = %d for %s" ends the session.
symbol* symvarval(var* v, int32_t k);

// Column values inside defined-variable bodies (bound by dvopgen; L the
// column).  A stale column is computed first (def_comp).
// f_OPVARVAL1 -> number: the column's value.
eval_result f_OPVARVAL1(expr* e, TVA* tva);
// f_OPVARVAL2 -> number: the body sum kept at the node's position (R: the
// column less dv_off), the stale test and def_comp on the same column.
eval_result f_OPVARVAL2(expr* e, TVA* tva);
// f_OPSVARVAL1 -> symbol: the member a symbolic column's value selects.
eval_result f_OPSVARVAL1(expr* e, TVA* tva);
// OPLINPART 232.  L: a varref list.  -> number: the sum of coefficient
// times column value, in list order (0 for an empty list).
eval_result f_OPLINPART(expr* e, TVA* tva);
// f_OPPLTERM1 (OPPLTERM 64: L the term, R the column) -> number: the term
// at the column's value.
eval_result f_OPPLTERM1(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_EVAL_DEFVAR_H
