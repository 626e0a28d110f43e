// Synonym sets: for each synonym kind (eval/dotvalue.h), the numbers 1 .. n
// of the entities it addresses in the current problem, as an enumerated
// set of numbers that display walks to show a suffix of a whole synonym
// array (`display _var.ub;`).  A set is kept until a newer presolve can
// have changed the numbering.
#ifndef VEXO_INSTANCE_SYNSET_H
#define VEXO_INSTANCE_SYNSET_H

namespace vexo {

struct AC;
struct expr;
struct set;

// Synonym set k of ac: the cached one when it was built since the last
// presolve, else a new one (getsynset).  The set stays the cache's; a
// holder raises its reference count.
set* synset(AC* ac, int k);
// Builds synonym set k of ac anew: the numbers 1 .. syn_count(ac, k) (the
// old set released), recorded with the current presolve count.  Member i
// (from 0) stands for the entity syn_entry(ac, k, i) gives.
set* getsynset(AC* ac, int k);
// The set behind display item e: for a whole synonym array (OP257) or a
// suffix on one (OP256) *flag is set to 1, the problem is brought to state 3 (get_ts3;
// *acp receives it) and the synonym set of the array's kind is returned;
// for any other item *flag is 0 and null is returned.
set* fmtset(expr* e, int* flag, AC** acp);
// Forgets every cached set (their records go with the pools at reset).
void synset_reinit();

}  // namespace vexo

#endif  // VEXO_INSTANCE_SYNSET_H
