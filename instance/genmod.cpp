// Generation of the problem instance from the declarations.
#include "instance/genmod.h"

namespace vexo {

void genmod_cleanup() {}

}  // namespace vexo
