// Recompilation records and undo.
#include "compiler/recomp.h"

namespace vexo {

// Stand-in: the undo records are not built yet, so nothing is logged.
void* Retain(expr**, expr*, set*) { return nullptr; }

}  // namespace vexo
