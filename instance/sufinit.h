// Values of generated members that do not come from the declaration's
// bounds and terms: the suffix initialisations of a declaration
// (`suffix s e` clauses) evaluated member by member, and the values that
// data gave by subscript before the members were generated.
#ifndef VEXO_INSTANCE_SUFINIT_H
#define VEXO_INSTANCE_SUFINIT_H

#include <cstdint>

namespace vexo {

struct TVA;
struct xnode;

// Moves what data gave to members of ent (a numeric variable, a
// constraint or an objective) by subscript (its data index, data/values.h)
// into its generated members with the same subscripts: a value becomes
// the member's current value (status GS_HASVAL), a suffix value goes into
// the member's suffix values (the arrays made as needed); the values of
// subscripts that have no member are dropped.  The data index is emptied.
// Nothing for other kinds, for a declaration not generated yet or one
// without such data.
void copy_sufs(xnode* ent, TVA* tva);

}  // namespace vexo

#endif  // VEXO_INSTANCE_SUFINIT_H
