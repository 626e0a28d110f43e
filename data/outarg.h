// Output arguments of table handlers and imported functions: the values a
// call hands back into model entities.
#ifndef VEXO_DATA_OUTARG_H
#define VEXO_DATA_OUTARG_H

namespace vexo {

struct Table;

// Clears the pending output arguments (of table tb, or of every call when
// tb is null).  The least form until table handlers exist: none are ever
// pending, so there is nothing to clear.
void outarg_clear(int keep, Table* tb);

}  // namespace vexo

#endif  // VEXO_DATA_OUTARG_H
