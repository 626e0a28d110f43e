// Output arguments of table handlers and imported functions.
#include "data/outarg.h"

namespace vexo {

void outarg_clear(int, Table*) {}

}  // namespace vexo
