// The batch path after the parser ends, and the times report.
#ifndef VEXO_SESSION_BATCH_H
#define VEXO_SESSION_BATCH_H

namespace vexo {

struct AC;

// The batch path after the parser ends (r the mapped parser result, 0 to
// 2), or a caller's request for the collected problem (r 3).  r 0 sets rc
// to 2 (0 with -w); r 1 reports the "parse" line of the times report.
// When nothing was generated and the command line asked for listings
// (Print_all: -M the model, -D the data, -O the compiled model, -G the
// generated data) they are printed instead, and the session ends after
// the first two.  Otherwise: before any command a nonzero rc with bailquit
// ends the session, after commands rc becomes 0; the problem is collected
// and, unless r is 3, written (output_time mode 4).  Returns the collected
// problem or null.
AC* Process(int r);
// One line of the times report for phase (option times): the process's
// user and system seconds and the recorded memory allocated since the
// last line, and the memory in all, on the error stream.
void report_times(const char* phase);
// Brings the collected problem ac to mode 2 (collected), 3 (presolved) or
// 4 and above (problem file written); returns it, or null when a step
// failed.  Below translation state 2 the problem is collected (collect,
// instance/collect.h), below 3 presolved (presolve/presolve.h) at the
// level of option presolve.  A problem settled without a solver (no_vars,
// solver/solve.h) goes to state 5 and is not written; from mode 3 on its
// message is printed when option solver_msg is positive.
AC* output_time(AC* ac, int mode);
// Start-up and `reset`: the times report's base is now.
void batch_reset();
// The two heading lines of the times report, once start-up has ended
// (allow_times); option times calls it too.
void time_heading();

// The `reset` command (the parser's action): asks the session loop to
// reset (throws reset_request, session/loop.h).  Inside a compound command
// being built it is refused ("reset is not allowed inside a compound
// command.") and the compound abandoned.
void reset();
// The reset itself, at the session loop's recovery point.  Inside a file
// being included (model, include, commands, data) the files are left;
// otherwise a reset with nothing to undo (only the system's declarations,
// the model prompts) only records a new elapsed-time base and closes the
// session's files.  Else every recorded allocation is freed and start-up
// runs again: the model, its data and the session's files are gone, the
// options keep their values, the open inputs go on where they were.  The
// random numbers start again from the seed.
void reset_session();

}  // namespace vexo

#endif  // VEXO_SESSION_BATCH_H
