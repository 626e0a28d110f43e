// Opcode generation: binds every compiled node to its evaluation routine
// and plants the STORE, REWRITE and RESTORE nodes that keep a shared value
// once per member of its level.
#ifndef VEXO_COMPILER_OPGEN_H
#define VEXO_COMPILER_OPGEN_H

#include <cstdint>

namespace vexo {

struct eexpr;
struct Index;
struct set;

// STORE and REWRITE nodes planted over the whole run (the sizing
// statistics of compiler/tva.h report them).
extern int32_t m_mandrew;
extern int32_t m_optrew;

// Plants the evaluation of one record at the level of ix (withset 1 when
// a closing level hands it over).  Stand-in until opcode generation is
// built: the node forgets its record (its routine field is cleared).
void opgen(eexpr* e, Index* ix, int withset);
// Drops the cached members of a set whose inputs changed.  Stand-in: the
// members are freed and the set is marked ungenerated.
void Clearset(set* s);

}  // namespace vexo

#endif  // VEXO_COMPILER_OPGEN_H
