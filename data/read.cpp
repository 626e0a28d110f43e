// The `read` command.
#include "data/read.h"

namespace vexo {

void read_end() {}

}  // namespace vexo
