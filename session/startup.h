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

// Process-wide state set at start (rc lives with the message core, xargv
// with the input files).
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
// Server mode (-R, -Rw: 1 or 2; 0 off).  Its refusals are reported by
// cantserve (session/located.h).
extern int Serving;
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
// Its start: ppinit (widest display 2 meanwhile), the -v statistics
// heading, and the end of start-up (allow_times, parse_time 1).  Can end
// the session as ppinit can.
void start_session(int argc, char** argv);
// Builds the global tables (init_modules, a new session's with first 1);
// with first 1 also scans the
// command line, builds the options and opens the first input.  Can end
// the session (session_exit) for -b?, a bad -b letter or a bad -vi digit.
void ppinit(char** argv, int first);

// The one list of the modules' start-up, in order, run by ppinit at
// start-up (start 1) and after `reset`'s memory walk (start 0, from
// reset_modules), and by the unit-test fixtures and the fuzz targets for a
// fresh session.
//
// Naming: `<module>_reset` puts back what `reset` discards (the module's
// state that lives in or points into the recorded pools, and its counts);
// `<module>_start` sets what a new session starts with and `reset` keeps
// by design.  Routines whose names the design fixes keep them: parse_init,
// file_init, eehashtab_init, cmd_reinit, disp_reinit and show_reinit.
//
// With start only (kept by `reset`, which runs as a command inside the
// parser and reads on from the input it came from, with the command line,
// the options and the session's counts as they are):
//   session/startup  startup_start    the command-line settings (-vi, -R,
//                                     -bs, -i, -w), interactive
//   support/message  message_start    rc, the message counts, in_cmds
//   support/block    block_start      block mode off, the block names
//   frontend/reader  reader_start     no source, the line buffer, prompts
//   frontend/rawtok  rawtok_start     token count, push-back, statement place
//   frontend/lexer   lexer_start      lexer states, push-back stack
//   frontend/parse   parse_start      the grammar actions' state
//   session/infiles  infiles_start    the input-file stack's counters, the
//                                     command-line cursor and settings
//   session/include  include_start    an empty include stack
//   session/located  located_start    warn_exit, stdin_offset, -x
//   session/loop     loop_start       parse_time, log_what, pending signals
//   session/cmdrec   cmdrec_start     no compound command being built
//   session/execute  execute_start    no command executing, single_step
//   data/readdata    readdata_start   log_data, no data recovery point
//   session/options  options_start    no option table (envinit builds it)
// Always:
//   support/scratch  scratch_reset    the scratch buffers tok, pbuf, Bf
//   support/symbol   symbol_reset     symhash, numhash, small_ints
//   support/list     list_reset       list cells, the context stack
//   eval/set         set_reset        member and set-record free lists
//   eval/setclass    setclass_reset   the last "dimen ... needs to be given"
//   eval/iterate     iterate_reset    no set being generated (err_fel)
//   eval/pcheck      pcheck_reset     no param check running
//   frontend/expr    expr_reset       expression nodes
//   frontend/dummy   dummy_reset      dummies, expression copies, level sets
//   frontend/decl    decl_reset       declarations, class lists, dac
//   frontend/paramdcl paramdcl_reset  the set declaration being parsed
//   frontend/rawtok  rawtok_reset     the statement's file name (it may be a
//                                     copy in the string arena)
//   session/cmdrec   cmd_reinit       open compound commands, link slot,
//                                     the continuation-prompt buffer
//   session/execute  execute_reset    running loops, the command count
//   data/readdata    readdata_reset   default symbol ".", no data mode,
//                                     the data reader's message buffers
//   session/loop     loop_reset       clean-up records, the running command
//   session/cmdmem   cmdmem_reset     the command arena
//   session/include  include_reset    the top-level input's name block
//   session/cmdfiles file_init        an empty table of command files, df
//                                     stdOut (the log file reopened after
//                                     a reset)
//   session/startup  startup_reset    the shared strings Blank, Question, LTc
//   eval/builtin     builtin_reset    no random declaration
//   instance/problem problem_reset    no problem (parse_init makes Initial)
//   frontend/suffix  suffix_reset     no declared suffix values (dsuffix)
//   session/sysdecls sysdecls_reset   built-in params and system sets
//   session/options  options_reset    _LOCAL_OPTIONS, the environments
//                                     Current and Initial (system
//                                     declarations: before parse_init)
//   frontend/keywords parse_init      word sets, keywords, built-in sets,
//                                     system suffixes, problems and sets
//                                     (sysdecl_*), the built-in function
//                                     records (builtins_init)
//   instance/sufdecl sufdecl_reset    suffix stage not declared (after
//                                     parse_init, whose own declaration of
//                                     stage is not an explicit one)
//   compiler/eexpr   eehashtab_init   shared-expression table, its free
//                                     list, the opcode tables, no_common
//   compiler/context context_reset    context records, level-0 entries
//                                     (before any new_tva: it sizes
//                                     contexts by max_context)
//   compiler/massage massage_reset    draw count, recursive compilation
//   compiler/compile compile_reset    shared constants, the rewrite list
//   compiler/compdecl compdecl_reset  no compilation due, none counted
//   compiler/recomp  recomp_reset     the retained recompilation block
//   compiler/opgen   opgen_reset      rewrite counters
//   compiler/tva     tva_reset        current context and context sizing
//   instance/ac      ac_reset         the collected problem record
//   instance/genmod  genmod_reset     nothing being generated
//   report/indextab  indextab_reset   the printer's index banks
//   report/prset     prset_reset      set printer's buffers, current decl
//   report/dataprint dataprint_reset  members marked as printed
//   report/prex      prex_reset       line buffer, print modes; the width
//                                     from display_width (after start-up
//                                     display_width's handler sets
//                                     disp_width too)
//   report/print     print_reset      printf's format, the refusal count,
//                                     the display flags
//   report/display   disp_reinit      the display module's pools
//   session/show     show_reinit      the show command's class records
// State that survives even a new session, set once per process: Stderr,
// stdOut, apid, the machine constants (Mach), the lexer's character tables
// (init_tok_types), the signal handlers, the block-mode buffer, the
// reader's block chunks, svsub0, the big-integer pool of the decimal
// conversions, the allocator's serial numbers and the environment-file
// results.  The option cells are set by the option table (envinit, at
// start-up only: the reset command keeps the options, env_reset), each
// written only by its row's handler besides its owner (session/opttable.h).
// kept_by_reset (below) names every global whose value `reset` keeps
// although this list sets it at start-up, with the reason.
void init_modules(int start);

// The globals whose values `reset` keeps by design although the start-up
// list sets them in a new session, and the globals a running session
// changes that neither `reset` nor `reset data` puts back, each group with
// its reason.  names: the globals' names (within namespace vexo, as the
// symbol table spells them), separated by commas.
struct kept_state {
  const char* names;
  const char* why;
  int data_only;  // 1: kept by `reset data` only (`reset` sets them)
};
extern const kept_state kept_by_reset[];
extern const int n_kept_by_reset;

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

// The command-line settings of a new session (none given), interactive 0.
void startup_start();
// The shared strings Blank, Question and LTc, made afresh.
void startup_reset();

// Set when the session runs at a terminal, in block mode, or when the
// command line forces it.
extern int interactive;

}  // namespace vexo

#endif  // VEXO_SESSION_STARTUP_H
