// Linear terms (varref) and their pool.
#include "instance/varref.h"

namespace vexo {

void free_varref(varref*) {}

}  // namespace vexo
