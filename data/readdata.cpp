// Data mode (the least form).
#include "data/readdata.h"

#include "frontend/cmdbuild.h"
#include "session/execute.h"

namespace vexo {

int datanfs = -1;

int read_data() {
  if (cmd_trace) {
    cmd_trace("read_data");
    return 1;
  }
  not_implemented("data");
}

}  // namespace vexo
