// Shared expressions (eexpr) and their hash table.
#ifndef VEXO_COMPILER_EEXPR_H
#define VEXO_COMPILER_EEXPR_H

namespace vexo {

struct set;

// Empties and sets up the hash table of shared expressions; the keyword
// set-up runs it.  The least form: nothing, no table is built yet.
void eehashtab_init();
// Withdraws a set that is being released from the shared-expression table
// and deletes its private node.  The least form: the set's ee and privnode
// fields are cleared.
void del_ee(set* s);

}  // namespace vexo

#endif  // VEXO_COMPILER_EEXPR_H
