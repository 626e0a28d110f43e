// The expand command: the generated constraints, objectives and variables
// of the current problem written as text, with all indexing and data
// applied.  Rows come from the collected problem (instance/ac.h): each
// constraint or objective as a heading and a body of terms with numeric
// coefficients and its bounds; each variable as the list of its
// coefficients in the rows, objectives first.  Output goes to the
// command's redirection or standard output (df), wrapped at
// display_width; numbers use expand_precision and expand_round.
#ifndef VEXO_REPORT_EXPAND_H
#define VEXO_REPORT_EXPAND_H

#include <cstdint>

namespace vexo {

struct expr;
struct redirect;
struct xrecomp;

// Variables below Nv are ordinary columns; an index of Nv or more in an
// expression is the nonlinear part of the defined variable Nv less.  Set
// by expand_cmd from the collected problem.
extern int32_t Nv;

// The command: variant 0 `expand` (the model's view); 1 `solexpand`, the
// same text in the solver's view (presolve run first: rows, columns and
// bounds as sent, removed ones reported); 2 `_solexpand`, the solver's
// view as lines for programs (a header per row, its bounds in hexadecimal
// floating point or, under no_hexfp, decimal, then a line per term).
// items: the argument chain (null: every objective, then every
// constraint).  The problem is collected first when it is not; a failure
// there abandons the command without output.  Errors: "Cannot expand
// _scvar." and those of the argument forms not handled yet (the command
// is abandoned).
void expand_cmd(int variant, expr* items, redirect* r, xrecomp* xr);

// Start-up and `reset`: Nv 0.
void expand_reinit();

}  // namespace vexo

#endif  // VEXO_REPORT_EXPAND_H
