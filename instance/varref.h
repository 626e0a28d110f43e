// Linear terms (varref) and their pool.
#ifndef VEXO_INSTANCE_VARREF_H
#define VEXO_INSTANCE_VARREF_H

namespace vexo {

struct varref;

// Gives a list of linear terms back to its pool.  The least form: nothing,
// no term is made yet.
void free_varref(varref* v);

}  // namespace vexo

#endif  // VEXO_INSTANCE_VARREF_H
