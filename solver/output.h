// The problem writer's dispatch on option outopt: its first letter chooses
// the form of the problem file ("b" binary nl, "g" text nl, "m"/"n" MPS,
// "0"/"1" none), the rest is the stub.
#ifndef VEXO_SOLVER_OUTPUT_H
#define VEXO_SOLVER_OUTPUT_H

namespace vexo {

struct AC;

// The number of dual initial guesses of the last file written (-1 while
// unknown; digcount, solver/nlwrite.h, counts them).
extern int n_dig;
// What the last file written carried: 1 dual initial guesses, 2 a held
// solution as initial guesses, 4 the second variable-bound pair
// (option var_bounds 2 or more).
extern int ig_state;

// Start-up and `reset`: no file written.
void output_reset();

// Writes ac in the form outopt names.  Returns 1 when a file was written,
// 0 for the forms "0" and "1" (before the end of input "0" says "No files
// written: option outopt is 0.").  An empty outopt, an unknown letter, or
// an MPS form for a nonlinear problem (refused with the count of its
// nonlinear variables) is reported on the error stream and the command
// abandoned (bailout), as are the writer's own failures.
int output(AC* ac);
// The -o? screen: the forms of -o on the error stream, then the session
// ends with 0 (myexit).
[[noreturn]] void ousage();

}  // namespace vexo

#endif  // VEXO_SOLVER_OUTPUT_H
