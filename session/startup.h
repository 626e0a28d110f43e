// Start-up and exit.  session_main is the program: it prints the version
// line for "--version", builds the interpreter's global state (ppinit),
// runs the session loop and the batch path, and returns the exit code.
// myexit is the single orderly way out: it writes the option files, runs
// the library exit hooks, flushes and closes the streams and ends in exit1,
// whose session_exit session_main catches.
//
// Exit codes: 0 for "--version", a normal end with rc 0 and every exit with
// -w (force_exit_0); rc for a normal end or an end by command; rc | 2 when
// a non-interactive session ends at its first error; 1 for a bad -vi
// digit; 2 for a "Bug: " report (a bad -b letter, say); 3 the -x limit; 32
// a second interrupt before the first was served; the signal number for
// SIGHUP, SIGQUIT, SIGABRT, SIGTERM and an unexpected SIGPIPE.
#ifndef VEXO_SESSION_STARTUP_H
#define VEXO_SESSION_STARTUP_H

#include <cstdint>
#include <cstdio>

namespace vexo {

struct cstr;

// Process-wide state set at start (rc, blockmode, interactive, Serving and
// xargv live in the lower modules that read them).
extern FILE* stdOut;         // the program's standard output
extern int64_t apid;         // the process id
extern const char* progname;  // argv[0]
extern const char* progbase;  // its last path component
extern int isatty_ZEF;       // terminal-mode bits from -vi (2 force, 1
                             // forbid interactive; 8 no raw terminal)
extern int guisolve;         // -bs: solves through the "solve_args" dialogue
extern const char* i_option_ZEF;  // -i: the user-function library list
extern int vi_seen;          // a -vi form was given
extern int Dw_max;           // widest display: 2 during start-up
extern int allow_times;      // start-up has ended
extern int force_exit_0;     // -w: every exit gives code 0
extern double reset_time;    // elapsed time (e_time) at start-up or at the
                             // last reset: the base of the translator's
                             // own times
// Shared strings "", "?" and "<" (nodes that refer to them hold a
// reference).
extern cstr* Blank;
extern cstr* Question;
extern cstr* LTc;

// Services of later parts of the session and of other subsystems, each
// with the least behaviour start-up and exit need.
// Closes compound commands still open at the end (a waiting if or repeat
// runs); returns the code.  Default: rc.
extern int (*eof_loopend_hook)();
// Library reset and exit hooks.  Default: nothing.
extern void (*lib_exit_hook)();
// Closes the session's input and output files.  Default: nothing.
extern void (*file_reinit_hook)(int k);
// The batch path after the parser ends (r the mapped parser result).
// Default: process_least.
extern void (*Process_hook)(int r);
// The least batch path: the return-code rules without a problem to write.
void process_least(int r);

// The program: main's body.  Returns the exit code.
int session_main(int argc, char** argv);
// Builds the global tables; with first 1 also scans the command line,
// builds the options and opens the first input.  Can end the session
// (session_exit) for -b?, a bad -b letter or a bad -vi digit.
void ppinit(char** argv, int first);
// The orderly end with code; never returns (throws session_exit).
[[noreturn]] void myexit(int code);
// Puts the process into a process group of its own.
void sep_pgroup();
// The two heading lines of the times report, once start-up has ended
// (allow_times); option times calls it.
void time_heading();

}  // namespace vexo

#endif  // VEXO_SESSION_STARTUP_H
