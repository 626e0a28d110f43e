// Start-up and exit.  session_main is the program: it prints the version
// line for "--version", builds the interpreter's global state (ppinit, with
// the one list of the modules' start-up, init_modules), runs the session
// loop and the batch path (Process, session/batch.h), and returns the exit
// code.  myexit is the single orderly way out: it closes a compound command
// still open, writes the option files, runs the libraries' reset and exit
// callbacks, flushes and closes the streams and ends in exit1, whose
// session_exit run_session catches.
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
extern FILE* stdOut;          // the program's standard output
extern int64_t apid;          // the process id
extern const char* progname;  // argv[0]
extern const char* progbase;  // its last path component
extern int isatty_ZEF;        // terminal-mode bits from -vi (2 force, 1
                              // forbid interactive; 8 no raw terminal)
extern int guisolve;          // -bs: solves through the "solve_args" dialogue
extern const char* i_option_ZEF;  // -i: the user-function library list
extern int vi_seen;               // a -vi form was given
extern int Dw_max;                // widest display: 2 during start-up
extern int allow_times;           // start-up has ended
extern int force_exit_0;          // -w: every exit gives code 0
extern double reset_time;         // elapsed time (e_time) at start-up or at the
                                  // last reset: the base of the translator's
                                  // own times
// Shared strings "", "?" and "<" (nodes that refer to them hold a
// reference).
extern cstr* Blank;
extern cstr* Question;
extern cstr* LTc;

// The program: main's body (process_setup, then run_session with the
// signal handlers).  Returns the exit code.
int session_main(int argc, char** argv);
// The process's set-up, once before any session: the stack limit
// (stack_setup), stdOut, the floating-point modes, the process id, the library
// path, Stderr and the environment file (argv0 the program's name, which finds
// the install directory); in sanitizer builds, the hold of released pool
// records (pool_hold_released).
void process_setup(const char* argv0);
// One session from its command line to its end: start-up (ppinit), the
// session loop and the batch path; session_exit and command_abort end here.
// With catch_signals the session installs its signal handlers first
// (signal_catch); without, the handlers the process has stay (an in-process
// host such as a fuzz target keeps its own).  Puts the process environment
// back (reset_environ) and returns the exit code.
int run_session(int argc, char** argv, int catch_signals);
// Builds the global tables (init_modules); with first 1 also scans the
// command line, builds the options and opens the first input.  Can end
// the session (session_exit) for -b?, a bad -b letter or a bad -vi digit.
void ppinit(char** argv, int first);

// The one list of the modules' start-up, in order.  Each routine builds
// its module's state from nothing (its free lists emptied), so the same
// list serves start-up (ppinit), `reset` after its memory walk
// (reset_modules) and the unit-test fixtures:
//   support/scratch  scratch_init     the scratch buffers tok, pbuf, Bf
//   support/symbol   symbols_init     symhash, numhash, small_ints
//   support/list     list_reinit      list cells, the context stack
//   eval/set         set_reinit       member and set-record free lists
//   eval/setclass    setclass_reinit  the last "dimen ... needs to be given"
//   eval/iterate     iterate_reset    no set being generated (err_fel)
//   frontend/expr    expr_init        expression nodes
//   frontend/dummy   dummy_init       dummies, expression copies, level sets
//   frontend/decl    decl_init        declarations, class lists, dac
//   frontend/paramdcl paramdcl_init   the set declaration being parsed
//   session/cmdrec   cmd_reinit       open compound commands, link slot,
//                                     the continuation-prompt buffer
//   session/execute  execute_reinit   running loops, the command count
//   data/readdata    data_reset       default symbol ".", no data mode,
//                                     the data reader's message buffers
//   session/loop     cleanup_reset    clean-up records, the running
//                                     command
//   session/cmdmem   cmdmem_reset     the command arena
//   session/include  include_init     the top-level input's name block
//   session/cmdfiles file_init        an empty table of command files, df
//                                     stdOut (the log file reopened after
//                                     a reset)
//   session/startup  (here)           Blank, Question, LTc
//   session/sysdecls sysdecls         built-in params and system sets
//   session/options  option_decls     _LOCAL_OPTIONS, the environments
//                                     Current and Initial (system
//                                     declarations: before parse_init)
//   frontend/keywords parse_init      word sets, keywords, built-in sets,
//                                     system suffixes, problems and sets
//                                     (sysdecl_*), the built-in function
//                                     records (builtins_init)
//   compiler/eexpr   eehashtab_init   shared-expression table, its free
//                                     list, the opcode tables, no_common
//   compiler/context context_init     context records, level-0 entries
//                                     (before any new_tva: it sizes
//                                     contexts by max_context)
//   compiler/massage massage_init     draw count, recursive compilation
//   compiler/compile compile_init     shared constants, the rewrite list
//   compiler/recomp  recomp_init      the retained recompilation block
//   compiler/opgen   opgen_init       rewrite counters
//   compiler/tva     tva_reset        current context and context sizing
//   instance/ac      ac_reset         the collected problem record
//   report/indextab  indextab_init    the printer's index banks
//   report/prset     prset_init       set printer's buffers, current decl
//   report/dataprint dataprint_init   members marked as printed
//   report/prex      prex_init        line buffer, print modes; the width
//                                     from display_width (after start-up
//                                     display_width's handler sets
//                                     disp_width too)
//   report/print     print_reinit     printf's format, the refusal count
// State that survives `reset` by design, outside the recorded pools: the
// process set-up (Stderr, stdOut, the machine constants, the lexer's
// character tables, the signal handlers, the block-mode buffer, the
// reader's block chunks, svsub0, the big-integer pool of the decimal
// conversions), the command line (xargv, read_options, xoption, the
// -b/-i/-vi settings), the session's modes (interactive, block mode), the
// reader and lexer state with the top-level line buffer (the statement's
// file name aside), the allocator's serial numbers, the
// environment-file results, the cells of the options (each written only by
// its row's handler, session/opttable.h), and the log file's names
// (session/cmdfiles.h).  Kept across `reset` by reset_modules: the open
// include levels, which live in the pools (ioreset keeps their names and
// current lines).  Kept by the reset command itself (not built yet): the
// option table with the named environments (env_reset saves it and
// restores it into fresh records; envinit builds it from nothing).
void init_modules();
// The memory walk of `reset` and the rebuild: closes the command files
// (file_reinit), frees every recorded allocation (mem_reset) and runs
// start-up again without the command line (ppinit with first 0, which
// runs init_modules); the open include levels go on at their current
// lines (ioreset).
void reset_modules();

// The orderly end with code; never returns (throws session_exit).
[[noreturn]] void myexit(int code);
// Puts the process into a process group of its own.
void sep_pgroup();

}  // namespace vexo

#endif  // VEXO_SESSION_STARTUP_H
