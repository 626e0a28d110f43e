// The solution file reader: what a solver writes beside the problem file
// (the stub with ".sol" appended), or what the `solution` command names,
// in the text ("ASCII") or the binary form.
//
// Reading has two stages.  parse_soln takes the file's bytes apart against
// the counts of the problem sent (it touches no session state, so the fuzz
// target drives it alone); read_soln opens the file, parses it, and only
// when the whole file is sound installs what it holds: values, duals,
// suffixes, echoed options, solve_result and the solution counters.  A
// file that fails part way installs nothing, so the values held before
// stay whole.
#ifndef VEXO_SOLVER_SOLREAD_H
#define VEXO_SOLVER_SOLREAD_H

#include "solver/solparse.h"

namespace vexo {

struct AC;
struct redirect;

// Reads the solution file: stub with ".sol" appended at end_of_stub when
// end_of_stub is given (and taken off again), else the file named by stub
// as it stands; r redirects the solver's message.  Returns 0, or the code
// of the failure (reported): SOL_PRESOLVE_FAILED, SOL_BAD, SOL_CANT_OPEN
// (solve_exitcode then 65536).  Can raise an error only through the
// problem's generation and presolve.
int read_soln(char* stub, char* end_of_stub, redirect* r);

// Copies the values of ac (primal values when primal, and duals) into the
// declarations' current values; returns how many changed.  copy_dpov also
// counts a solution (_Solution_Count).
int copy_ov(AC* ac, int primal);
int copy_dpov(AC* ac, int primal);
// Copies the duals of the constraint declarations that hold a row not
// sent to the solver (all of them when no row was sent) into their
// current values; returns how many changed.
int copy_unsent_duals(AC* ac);

// Marks the cached constraint-body values stale.
void zap_cvals();

}  // namespace vexo

#endif  // VEXO_SOLVER_SOLREAD_H
