// Generation stamps of declarations.
#include "instance/stamps.h"

#include "frontend/decl.h"

namespace vexo {

void ts_update(xnode* d, int) {
  d->stamp = nextgenlev;
  if (trans_state > 1) set_trans_state(1);
}

}  // namespace vexo
