// Named environments and option files.
#include "session/optfiles.h"

namespace vexo {

void write_options() {}

}  // namespace vexo
