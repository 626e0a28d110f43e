// Xref, delete, purge and redeclaration.
#include "session/delete.h"

#include "frontend/decl.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

// The record pool of a declaration kind (-1: not built here).  A
// redeclaration is taken over only by a record of the same pool, since
// x_copy copies the new record over the old one.
static int pool_of(uint32_t kind) {
  switch (kind) {
    case DK_CHECK:
      return XM_CHECK;
    case DK_CON:
    case DK_CONI:
    case DK_OBJ:
    case DK_OBJI:
      return XM_CONSTR;
    case DK_FUNCTION:
      return XM_FUNCTION;
    case DK_PARAM:
    case DK_PARAMI:
    case DK_SPARAM:
    case DK_SPARAMI:
      return XM_PARAM;
    case DK_PROB:
    case DK_PROBI:
      return XM_PROBLEM;
    case DK_SET:
    case DK_SETI:
      return XM_SETDCL;
    case DK_VAR:
    case DK_VARI:
    case DK_SVAR:
    case DK_SVARI:
      return XM_VAR;
    case DK_ENV:
    case DK_ENVI:
      return XM_XENVIR;
    case DK_SUFFIX:
      return XM_SUFFIX;
    case DK_TABLE:
      return XM_TABLE;
    default:
      return -1;
  }
}

int redclchk(xnode* old, xnode* d, xnode** out) {
  if (pool_of(old->kind) < 0 || pool_of(old->kind) != pool_of(d->kind))
    return 0;
  *out = old;
  d->num = old->num;
  return 1;
}

void del_function(xnode* f) { f->name->binding = nullptr; }

}  // namespace vexo
