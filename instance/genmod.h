// Generation of the problem instance from the declarations.
#ifndef VEXO_INSTANCE_GENMOD_H
#define VEXO_INSTANCE_GENMOD_H

namespace vexo {

// Undoes a partly finished instance generation after an abort.  The least
// form until generation exists: nothing is ever partly generated.
void genmod_cleanup();

}  // namespace vexo

#endif  // VEXO_INSTANCE_GENMOD_H
