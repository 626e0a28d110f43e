// The checks of declared bounds and the reports of rows and variables that
// cannot be satisfied, which presolve makes at every level.  Reports go to
// the message buffer under the message limit (presolve/psmsg.h).
#ifndef VEXO_PRESOLVE_BOUNDS_H
#define VEXO_PRESOLVE_BOUNDS_H

#include <cstdint>

namespace vexo {

struct Presolve;
struct xname;

// Checks n bound pairs: a pair with lb > ub by more than preeps is
// reported ("inconsistent bounds for <kind> <name>: ...") and makes the
// problem infeasible, a smaller gap is forgiven (preeps1); both bounds
// become the midpoint in either case.
void bound_check(double* lb, double* ub, int32_t n, const xname* names,
                 const char* kind);
// A row that cannot hold: infeasible set, "presolve, constraint|objective
// <name>:\n\t<why>\n" reported; with stop set the command is abandoned
// (warninc 16, bailout), otherwise a complementarity pair is dissolved.
void badcon(Presolve* P, int32_t row, int stop, const char* why);
// A logical constraint known to be false: badcon's report with "Logical
// constraint is always false.", and the row marked infeasible.
void false_lc(Presolve* P, int32_t row);
// A report of two bounds that cross, under the message limit: head takes
// two strings and the two bounds (lo, hi); ";\n\tdifference = <d>\n"
// follows when both bounds are nonzero, else "\n".
void bound_gap_report(const char* head, const char* a, const char* b,
                      double lo, double hi, double d);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_BOUNDS_H
