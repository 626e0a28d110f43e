// Massaging of sets and indexing expressions: what massage does for a
// scalar expression (compiler/massage.h), set_massage does for a set.  Its
// operand expressions and sub-sets are compiled, it gets its shared record
// (hash with bit 31 set), an equal set compiled earlier takes its place,
// operands living at an outer level are flagged, and cached members are
// dropped when the set's inputs are newer than them.
#ifndef VEXO_COMPILER_SETMASSAGE_H
#define VEXO_COMPILER_SETMASSAGE_H

#include "eval/optab.h"

namespace vexo {

struct eexpr;
struct expr;
struct set;
struct symbol;
struct TVA;

// Compiles the set at *ps, may replace it there by an equal set (logged)
// and returns its record; null for a missing set.  A set that already has
// a record is not compiled again.  A class code that cannot occur is a bug
// ("unexpected subtype %d in set_massage").
eexpr* set_massage(set** ps);

// Membership and generation routines of a named set that refers to the
// set declaration being compiled recursively: they answer from, and show
// the members of, the declaration's own set.
int named_in1(set* s, symbol** tuple, TVA* tva);
void named_genall1(set* s, TVA* tva);

// Routines of a reference chained to an equal earlier one: the earlier
// node (held in the first operand) is evaluated in its place, for a number
// (r_) or a string or symbol (s_).
evalue r_chaineval(expr* e, TVA* tva);
evalue s_chaineval(expr* e, TVA* tva);

}  // namespace vexo

#endif  // VEXO_COMPILER_SETMASSAGE_H
