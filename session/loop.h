// The session loop, error recovery and signals.  session_loop runs the
// parser's main loop (parse, frontend/parse.h) behind the recovery point:
// an aborted command (command_abort) comes back to it, the failed
// command's state is unwound (cmd_loopreset) and the parser goes on with
// the next statement.  Clean-up records let code that holds temporary state
// during a command have it released exactly once, newest first, whether
// the command ends normally or by an error.
//
// Signal handlers only record what happened (gotbreak, a pending
// termination, a pending floating-point exception or broken pipe) and wake
// a blocked read through a self-pipe; the session acts on the record at the
// next safe point (signal_point): when input is read, between statements,
// at each step of an iteration (check_msgloop) and wherever long work
// polls it.
#ifndef VEXO_SESSION_LOOP_H
#define VEXO_SESSION_LOOP_H

#include <sys/types.h>

#include <csignal>
#include <cstddef>
#include <type_traits>

namespace vexo {

// A clean-up record: live records form a circular list at cleanup_head,
// newest first.
struct cleanup_rec {
  cleanup_rec* next;
  cleanup_rec* prev;
  void (*routine)(void* arg);
  void* arg;
};
static_assert(std::is_trivially_destructible_v<cleanup_rec>,
              "clean-up records are plain pool records");

// Written outside session/, by design: rc and eexit by the message core
// (support/message.cpp), which keeps the session's state as it reports
// and aborts: a caution that must not mark the return code puts rc back,
// and an abort restores the warning limit eexit to eexit_save.  gotbreak
// by the solve and solution commands (solver/solve.cpp): a solution that
// cannot be read stops the compound commands running.

// The session's return code, which the message core marks (and restores
// after a caution that must not count); clear_rc clears it (a primary
// prompt, frontend/reader.cpp; a print command that passed its checks,
// report/print.cpp).
extern int rc;
void clear_rc();
// ORs bits into the return code (2: the command failed).
void mark_rc(int bits);
// The warning limit: eexit counts down the warnings that may still be
// given before a command is abandoned; eexit_save is the limit it is
// restored to after each abort (by the message core's bail1out).
extern int eexit;
extern int eexit_save;
// Warnings stop counting against the limit until resume_warning_exit
// restores the saved count (messages that must not abandon a statement
// half way, data/values.cpp; the report of exhausted memory,
// support/pool.cpp).
int suspend_warning_exit();
void resume_warning_exit(int saved);

// The command being executed (session/cmdrec.h), or null; its kind is
// cmdnum.  cmdwhere reports its name, its statement's place and the value
// of _cmdno.
struct cmd_fields;
extern cmd_fields* curcmd;
// The current command asked for collection of the problem.
extern int req_collect;
// The statement being read asks for collection (bits joined to
// req_collect; the builders of references, frontend/refs.cpp, suffix.cpp).
void request_collect(int bits);
// The problem was collected: no request stands (instance/collect.cpp).
void clear_req_collect();
// The lexer's pending character, saved when the loop starts.
extern char* yylastc_saved;
// A pipe writer sets this while it writes to a child; a broken pipe then
// only marks pipe_broken (the write fails with EPIPE) instead of ending the
// session.
extern volatile std::sig_atomic_t spjb;
extern volatile std::sig_atomic_t pipe_broken;

// The session loop: runs the parser's main loop (parse, frontend/parse.h:
// yyparse with its recovery point, the result mapped through {0, 3, 2, 3,
// 1, 3}) and recovers from aborts that reach it; returns 0..3: 3 ends the
// session at once, the others go to the batch path.  The signal handlers
// are the caller's (signal_catch, run_session).
int session_loop();
// Thrown by the `reset` command's parser action: the reset runs at the
// session loop's recovery point (reset_session, session/batch.h), once the
// nested reading levels and the parse have unwound, so nothing that the
// reset frees is still in use.
struct reset_request {};
// The recovery at the recovery point: end the open evaluation contexts,
// cmd_loopreset, clear req_collect and prompt2, rc 0 when interactive,
// parse_time 1.  The parser's loop calls it when it catches an abort.
void recover();
// Installs the signal handlers (SIGHUP stays ignored when it was ignored
// at start) and the waking self-pipe.
void signal_catch();
// Acts on what the signal handlers recorded: a pending termination removes
// the temporary files and ends the session (code 32 after a second
// interrupt, with a "break" block in block mode; the signal number for the
// others; 13 with "*** Unexpected SIGPIPE received. ***"); a pending
// floating-point exception reports "floating point exception." and aborts
// the command.  Returns otherwise.
void signal_point();
// Record from a signal handler that the session is to end at the next
// safe point, and wake a blocked read (async-signal-safe): post_exit with
// the signal's number as a termination would; post_time_limit with 3 and
// the -x limit's message.
void post_exit(int code);
void post_time_limit();
// The line reader's input source (reader): reads like read(2), but a
// signal that arrives while it waits is acted on (signal_point) and the
// wait goes on; only an interrupt ends the wait (except at framed
// standard input in block mode): -1 with errno EINTR, for the reader to
// serve at its prompt or to end the file it reads (a pipe that is slow
// to write).
// Standard input read by the raw-terminal reader thread goes through its
// line pipe (hist_read, session/rawio.h).
ssize_t session_read(int fd, void* buf, size_t n);
// The wait of session_read: until fd can be read, acting on signals
// meanwhile; returns 0, or -1 with errno EINTR when stops_on_break and an
// interrupt arrived.
int session_wait(int fd, bool stops_on_break);

// Links a new clean-up record at the front; returns it.
cleanup_rec* register_cleanup(void (*routine)(void*), void* arg);
// Unlinks the record, frees it, then runs its routine.
void unregister_cleanup(cleanup_rec* r);
// Runs every pending record, newest first (each is unlinked before its
// routine runs, so an error inside one does not run it again).
void run_cleanups();
// Start-up and `reset`: no live records and an empty free list (the
// records live in recorded memory, which `reset` frees), no running
// command.
void loop_reset();
// The command-memory reset after each top-level command and after an
// error: the pending clean-ups run, the outermost evaluation context is
// cleared (lev0_clear), what the finished command records own is freed
// and the command arena is given back.
void cmd_mem_reset();
// Called by bail1out before the abort reaches the recovery point: the
// running command's compiled state is undone, the command forgotten, and
// cmd_reset2 runs; a session whose input is a file ends (myexit) with
// rc | 2 (the include levels read from a file first).
void cmd_cleanup();
// After an error in a command or a statement: every open compound command
// is closed (its records discarded), the running loops and the command
// memory are reset (cmd_reset) and the brace count cleared.  A session
// whose input is a file reads on (only an aborted command ends it:
// cmd_cleanup, cmd_loopreset).
void cmd_reset2();
// The reset of the command state after an error: the running loops and
// the command memory (cmd_mem_reset).
void cmd_reset();
// The reset at the recovery point: as cmd_cleanup.  (Nested command files
// come with their owner.)
void cmd_loopreset();
// Writes where the running command failed: "Error executing \"%s\"
// command:\n" or the numbered form with file, line and offset; with no
// command running while a statement being read evaluates its file name
// (read_eval set), the place read (readwhere, session/located.h).
void cmdwhere();
// Nonzero while a statement evaluates an expression as it is read (the
// file name of `model` or `data`): between read_eval_begin and
// read_eval_end (frontend/cmdbuild.cpp).
extern int read_eval;
void read_eval_begin();
void read_eval_end();
// Safe points: clear_queue after each piece of block input (does nothing),
// check_msgloop at each step of an iteration (acts on signals).
void clear_queue();
void check_msgloop();

// Option log_model: log input read from files too (model and commands);
// log_what points at the logging option in force (log_model, or log_data
// while data are read).
extern int log_model;
extern int* log_what;
// 0 before parsing, 1 while model and commands are read, 2 while data are
// read.
extern int parse_time;
// The data reader (data/readdata.cpp) begins reading data: parse_time 2,
// its logging option (log_data) in force; returns the logging option it
// replaced, which data_parse_end puts back (parse_time 1 again).
int* data_parse_begin(int* log);
void data_parse_end(int* saved_log);
// An interrupt is pending (set by the signal handler).
extern volatile std::sig_atomic_t gotbreak;
// The poll point of a long walk (members generated, entries displayed):
// at every 1024th call pending signals are acted on (check_msgloop, which
// may end the session); true when an interrupt is pending, and the walk
// stops short.
bool poll_step();
// The interrupt brk, pending, was met by an interrupted read of the
// terminal (frontend/reader.cpp): it is no longer pending.
void forget_break(std::sig_atomic_t brk);

// The loop of a new session: nothing parsed yet, no interrupt pending,
// logging by log_model.  Kept by `reset`, which runs inside the loop.
void loop_start();
}  // namespace vexo

#endif  // VEXO_SESSION_LOOP_H
