// The `solve` command and the run of the solver.
#ifndef VEXO_SOLVER_SOLVE_H
#define VEXO_SOLVER_SOLVE_H

namespace vexo {

// Removes the session's temporary files (the stub's files of the twelve
// extensions) after a solve and on the exit and fatal-signal paths.  The
// least form: nothing, no temporary file is written yet.
void tempfile_zap();

}  // namespace vexo

#endif  // VEXO_SOLVER_SOLVE_H
