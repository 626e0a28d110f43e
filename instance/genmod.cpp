// Generation of the problem instance from the declarations.
#include "instance/genmod.h"

namespace vexo {

int recvar_lim;

void genmod_cleanup() {}

int32_t first_num(const convar*) { return -1; }

void copy_sufs(xnode*, TVA*) {}

}  // namespace vexo
