// The `solve` command and the run of the solver.
#include "solver/solve.h"

namespace vexo {

void tempfile_zap() {}

}  // namespace vexo
