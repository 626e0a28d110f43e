// The `solve`, `solution` and `shell` commands, the run of the solver, the
// stub of the problem file and its temporary files, and the `check`
// command.
#ifndef VEXO_SOLVER_SOLVE_H
#define VEXO_SOLVER_SOLVE_H

namespace vexo {

struct AC;
struct expr;
struct redirect;
struct symbol;
struct xrecomp;

// Flags of the write under way, read by the problem writer: bit 1, an
// existing file that cannot be opened is removed and the open tried once
// more; bit 2, "File %s\n" is printed on standard output for each file
// written; bit 4, the file is temporary: what stands under its name goes
// and it is created exclusively (a symbolic link is never followed).
extern int show_files;

// What a solution held: bit 1 primal values, bit 2 dual values (the
// solution reader sets them; a new collection clears them).
extern int havesol;
// `reset data`: no solution is held any more.
void forget_solution();

// Removes the session's temporary files (the stub's files of the twelve
// extensions) when the stub is a temporary one; after each solve and on
// the exit and fatal-signal paths.
void tempfile_zap();

// Start-up and `reset`: no stub, no settled problem, no solution; the
// debug stub count restarts when no input file is being read.
void solve_reset();

// The `check` command: every check statement is queued and run again (a
// check whose inputs did not change would otherwise be skipped, and its
// failure would no longer show in the count), _check_failures starts again
// from 0, and xcg (instance/xcg.h) brings everything cited up to date,
// running the checks.  Returns 1 when that succeeded, 0 when it failed
// (reported) or an interrupt stopped it.
int check_cmd();
// `reset check;`: every check statement counts as not yet evaluated.
void reset_check();

// The `write` command (kind 33): refused in server mode.  Without a file
// argument (*pe null) the problem is written as option outopt says; with
// one, the name (evaluated as rdfname does) becomes outopt first.
void write_cmd(expr** pe, xrecomp* xr);
// The driver of writing the current problem: flags bit 1 solves (a
// temporary or debug stub is made), bit 2 reports when no file is
// written; text, when not null, becomes option outopt; cmd is 0 for
// "solve", 1 for "write" (messages name it).  Returns 0 when the problem
// was written, or settled without a file; nonzero otherwise, with bit 2 of
// the return code set, except that a failed write of the text "0" clears
// the return code and returns 0.  A problem presolve found infeasible, or
// with inconsistent bounds, is not written ("Ignoring %s command
// because ...").
int write_cmd1(int flags, const char* text, int cmd);
// 1 when the problem file must be written (again) before a solver can
// read it, 0 when the file written last is still valid.
int must_write();

// The `solve` command (kind 32); name and subscript: `solve o;` or
// `solve p;` (an objective or a problem) first make it current.  The
// solver's output goes to r.
void solve(symbol* name, expr* subscript, redirect* r, xrecomp* xr);
// The `solution` command (kind 31): reads the file *pe names.
void solution(expr** pe, xrecomp* xr);
// The `shell` command (kind 29): the command that *pe gives run by option
// SHELL with "-c", or an interactive shell without it; refused in server
// mode.  shell_exitcode takes the wait status.
void shell_cmd(expr** pe, redirect* r, xrecomp* xr);

// The outcome of a solve: solve_result_num := num and solve_result := its
// text in option solve_result_table ("?" below 0).
void set_result(double num);
// Flushes the output: in block mode a new block under the current name;
// else standard output (and the log file with log_file_flush).
void fflush_stdout();
// Decides whether the presolved problem ac needs no solver: null when it
// sends variables, else the message (with "." appended) of the settled
// problem, kept with its result code (99 when presolve determined the
// solution, which counts as a new primal solution; 299 infeasible; else 0).
// The solution numbers and the duals to recover are set when the problem
// is settled, not again while it stays settled (trans_state 5).
const char* no_vars(AC* ac);
// The message and code of a problem settled without a solver, or null.
const char* settled_message();
// Publishes the settled problem's message and code as the solve outcome.
void known_result();
// Records the outcome of the last solve for objective objno of ac.
void note_objective_outcome(AC* ac, int objno);
// The name of objective j of ac.
const char* obj_name(AC* ac, int j);

}  // namespace vexo

#endif  // VEXO_SOLVER_SOLVE_H
