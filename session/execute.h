// Command dispatch.  execute runs a chain of command records
// (session/cmdrec.h): a single top-level command, or an outermost compound
// command with everything linked inside it.  For each record it checks for
// interrupts and new warnings, runs pending clean-up records, counts the
// command in _cmdno, loads the command's dependency list, starts the
// command's output block in block mode and runs the handler of its kind
// from one table (cmdtab).  The loops (for, repeat, brace groups), if,
// break, continue and the loop ends are carried out here, and exit and
// sleep; the other kinds' handlers belong to the subsystems that own the
// commands, and a kind whose handler is not built yet reports "<command>
// is not implemented yet" as an error of the command.
#ifndef VEXO_SESSION_EXECUTE_H
#define VEXO_SESSION_EXECUTE_H

#include <cstdio>

namespace vexo {

struct cmd_fields;
struct expr;
struct redirect;
struct symbol;
struct xrecomp;

// Command kinds run by execute: 26 to 90.
constexpr int CMD_KIND_MIN = 26;
constexpr int CMD_KIND_MAX = 90;
constexpr int N_CMD_KINDS = CMD_KIND_MAX - CMD_KIND_MIN + 1;
// The command names by kind (cmdname[kind - CMD_KIND_MIN]): they name the
// command in error positions (cmdwhere) and its output block in block
// mode.
extern const char* const cmdname[N_CMD_KINDS];

// The handler of a kind runs one record.
using cmd_handler = void (*)(cmd_fields* c);
// The handlers by kind (cmdtab[kind - CMD_KIND_MIN]).  Kinds that never
// reach the executor (then, else_check, else, rbrace, repeat_end,
// semicolon, breakpoint) have the bug reporter "Bad ncmd = %d in
// execute()".
extern const cmd_handler cmdtab[N_CMD_KINDS];

// Runs the chain that starts at first, then releases the command memory
// (or, after an interrupt, prints "<BREAK>" and abandons what ran).  In
// discard mode (an error unwinding open compounds) nothing runs.  Errors
// abandon the chain through the abort path (bailout).
void execute(cmd_fields* first);
// Serves a pending interrupt: clears gotbreak and prints "<BREAK>" (in a
// "break" block in block mode).  The caller abandons what it was doing.
void break_notice();

// The commands of file (mode 1, `commands`, with r its redirection or
// null) or its data (mode 0, `data`), read and executed as at top level
// before the command after it: the file is included (session/include.h)
// and read by a nested parse, or by the data reader, with the insertion
// level inslev one higher; the interpreter's records and open compounds
// of the level it interrupts are kept aside meanwhile.  An error inside it
// abandons the file with the command; break commands and break all leave
// it (break_files).  With r, stdOut is the file of r while the commands
// run.  With no file, data mode reads the current input (`data;` inside
// such a file).  The name at *file and r's name are evaluated as rdfname
// does (session/cmdfiles.h), their compilation released into xr.
void commands_or_data(expr** file, redirect* r, int mode, xrecomp* xr);
// Reports "<name> is not implemented yet" as an error of the statement
// (squawk: at the running command's place, else at the input position)
// and abandons it (bailout): a session that reads a file ends with rc | 2,
// an interactive one goes on.
[[noreturn]] void not_implemented(const char* name);

// break commands and break all (kind 85, 84).  Inside a file read by
// `commands`: the loops of that file (with all, of every level) end and
// the file is left; execution goes on after the `commands` record (with
// all, every such file is left and the outermost chain ends).  Returns
// only outside such files, after closing the current include file when
// one is open.
void break_files(int kind);
// Ends the running loops read at include level lev or deeper (brace groups
// are passed over): each stops before its next pass.  (An error unwinds
// the loops with the handlers that run them: a for's member binding goes
// with its handler.)
void end_loops(int lev);

// Single-stepping (the options single_step and single_step_cmdno): before
// a record, while single_step is positive and the insertion level at most
// single_step, a dialogue reads statements from the current input (the
// terminal, or the file being read) and runs them as at top level, until
// one of the stepping words resumes: `step` runs the record and stops
// before the next one, inside its body too; `next` runs it whole; `skip`
// leaves it out; `cont` (or the end of the input) runs on without stopping
// until the top-level command ends.  A `break` or `continue` there acts on
// the running loop.  At the terminal the command just typed runs before
// the first stop.  An error in the dialogue abandons the command typed
// there and the dialogue goes on.
//
// The dialogue's prompt while one is open (the reader shows it in place
// of the model prompt): "sstep <file>:<line> <command> ? ".
extern const char* step_prompt;
// Nonzero while single-stepping.
extern int stepping;
// In a stepping dialogue, a break or continue (kind 73, 74) outside the
// dialogue's own loops, with name the loop's name or null for the
// innermost: true when a running loop answers to it, which the record
// after the dialogue then leaves or passes.  False outside a dialogue.
bool step_loop_control(int kind, symbol* name);
// Prints record c's place: mode 1 (the times report, option times)
// "## <_cmdno>: <file>:<line>(<offset>) <command>", mode 2 (option
// cmdtrace) "### <file>:<line> <command>".
void cmdstring(cmd_fields* c, int mode);

// Commands executed in the session (the value of _cmdno).
extern double ncmds;

// Where the parser's unit tests and the front-end probe see what the
// grammar built: while set, execute describes each chain it receives to
// this stream (one line per record, cmd_describe) and runs nothing.
extern FILE* exec_listing;

// The commands diff, version and what, and help: "%s not yet implemented"
// as a warning.
void notyet(const char* what);
void help();

// Start-up and `reset`: no loop running, _cmdno's count at 0.
void execute_reset();

// Kind of the command executing, 0 when none.
extern int cmdnum;
// Option single_step: positive while single-stepping.
extern int single_step;

// No command executing, option single_step off.  Kept by `reset`, itself a
// command executing.
void execute_start();
}  // namespace vexo

#endif  // VEXO_SESSION_EXECUTE_H
