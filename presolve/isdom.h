// Variables declared `in` a set of numbers: their domains (the pieces
// collection keeps, instance/varref.h Inset) become integer or binary
// columns and linear rows before writing.
//
// By the shape of the pieces that meet x's bounds:
//   consecutive integers          x becomes integer, nothing added;
//   equally spaced points (or two) one integer (binary for two) z, the
//                                 row x - d z = p0 ("def"), x free;
//   other points                  a binary b_j per point, the rows
//                                 x - sum p_j b_j = 0 ("def") and
//                                 sum b_j = 1 ("sos1"), x free;
//   two pieces, one an interval   one binary z, the rows "IUlb" and
//                                 "IUub" that hold x in the chosen piece;
//   more pieces, intervals among  a binary per piece, "IUlb", "IUub" and
//                                 "sos1".
// An infinite end of an outer interval is replaced by the next finite
// end less (or plus) option pl_bigM (1e6 when not positive), which also
// bounds x, and counts in bigM_used.  The binaries of the last two
// shapes are sent as a special ordered set of type 1 too
// (presolve/linadd.h), their reference values the points and the pieces'
// midpoints.  Unless option pl_linearize has bit 4, the "def" row of a
// free x is marked as x's defining row (RS_DEFINES, con_defvar), so that
// the substitution after the linearisation solves x out where option
// substout allows it.
#ifndef VEXO_PRESOLVE_ISDOM_H
#define VEXO_PRESOLVE_ISDOM_H

#include <cstdint>

namespace vexo {

struct Presolve;

// Lists the kept variables with domains to linearise and counts what
// the linearisation adds (P->is_list, is_nvar, is_ncon, is_nbin).
// Raises no error.
void Is_count(Presolve* P);
// Linearises the listed domains (names numbered by the problem's running
// count of linearisations) and releases the list.  Raises no error.
void Is_linearize(Presolve* P);

}  // namespace vexo

#endif  // VEXO_PRESOLVE_ISDOM_H
