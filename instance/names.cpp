// Instance names.
#include "instance/names.h"

#include "support/message.h"

namespace vexo {

void badtype(const char* where, uint32_t kind) {
  bug("unexpected type 0x%x in %s()", kind, where);
}

void tbadtype(TVA* tva, const char* where, uint32_t kind) {
  terror(tva, "unexpected type 0x%x in %s()", kind, where);
}

}  // namespace vexo
