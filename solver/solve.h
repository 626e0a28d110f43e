// The `solve` command and the run of the solver, and the `check` command.
#ifndef VEXO_SOLVER_SOLVE_H
#define VEXO_SOLVER_SOLVE_H

namespace vexo {

// Removes the session's temporary files (the stub's files of the twelve
// extensions) after a solve and on the exit and fatal-signal paths.  The
// least form: nothing, no temporary file is written yet.
void tempfile_zap();

// The `check` command: every check statement is queued and run again (a
// check whose inputs did not change would otherwise be skipped, and its
// failure would no longer show in the count), _check_failures starts again
// from 0, and xcg (instance/xcg.h) brings everything cited up to date,
// running the checks.  Returns 1 when that succeeded, 0 when it failed
// (reported) or an interrupt stopped it.
int check_cmd();

}  // namespace vexo

#endif  // VEXO_SOLVER_SOLVE_H
