// The `solve` command and the run of the solver, and the `check` command.
#ifndef VEXO_SOLVER_SOLVE_H
#define VEXO_SOLVER_SOLVE_H

namespace vexo {

struct expr;
struct xrecomp;

// Flags of the write under way, read by the problem writer: bit 1, an
// existing file that cannot be opened is removed and the open tried once
// more; bit 2, "File %s\n" is printed on standard output for each file
// written.  The write path sets none of them yet.
extern int show_files;

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

// The `write` command (kind 33): refused in server mode.  Without a file
// argument (*pe null) the problem is written as option outopt says; with
// one, the name (evaluated as rdfname does) becomes outopt first.
void write_cmd(expr** pe, xrecomp* xr);
// The driver of writing the current problem: flags bit 2 reports when no
// file is written; text, when not null, becomes option outopt; cmd is 0
// for "solve", 1 for "write" (messages name it).  Returns 0 when the
// problem was written, or settled without a file; nonzero otherwise, with
// bit 2 of the return code set, except that a failed write of the text
// "0" clears the return code and returns 0.  Only the write path is
// built: until collection and presolve exist, a problem whose variables
// were not collected and presolved (trans_state below 3, nothing sent)
// counts as one without variables.
int write_cmd1(int flags, const char* text, int cmd);

}  // namespace vexo

#endif  // VEXO_SOLVER_SOLVE_H
