// The problem writer's dispatch on option outopt.
#include "solver/output.h"

#include "session/startup.h"

namespace vexo {

void ousage() { myexit(0); }

}  // namespace vexo
