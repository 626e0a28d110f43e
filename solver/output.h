// The problem writer's dispatch on option outopt.
#ifndef VEXO_SOLVER_OUTPUT_H
#define VEXO_SOLVER_OUTPUT_H

namespace vexo {

// The -o? screen: the forms of -o on the error stream, then the session
// ends with 0 (myexit).  The least form: the end alone.
[[noreturn]] void ousage();

}  // namespace vexo

#endif  // VEXO_SOLVER_OUTPUT_H
