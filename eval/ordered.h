// Whether a set expression is ordered, from its structure alone.  The order
// operations (next, prev, ord, first ...), the ordered by and circular by
// clauses and the breakpoint lists of piecewise-linear terms need sets whose
// members have a defined order; ordered_set decides that when the
// expression is parsed, without evaluating anything.
#ifndef VEXO_EVAL_ORDERED_H
#define VEXO_EVAL_ORDERED_H

#include <cstdint>

namespace vexo {

struct set;
struct xnode;

// Order bits, the same a set declaration keeps in its flags.
enum : int32_t {
  SET_ORDERED = 8,
  SET_CIRCULAR = 24  // ordered (8) and wrapping (16)
};

// The order bits of s (never null): 0 unordered, 8 ordered, 24 circular;
// a declared set answers with its declaration's flags (setdcl sflags).
// strict nonzero demands a one-dimensional set where s is an indexing used
// as a set.
int32_t ordered_set(set* s, int strict);

// The set pointers of the table dummies by scope level (class 24 reads the
// entry at the dummy's level; an empty entry answers 0).
extern set* dbase[32];

}  // namespace vexo

#endif  // VEXO_EVAL_ORDERED_H
