// The session loop with its recovery point, the clean-up records and the
// signal handlers.  Handlers only record and wake; signal_point acts.
#include "session/loop.h"

#include "session/batch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "compiler/context.h"
#include "compiler/recomp.h"
#include "frontend/decl.h"
#include "frontend/lexer.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "session/cmdmem.h"
#include "session/cmdrec.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/infiles.h"
#include "session/located.h"
#include "session/optcmd.h"
#include "session/rawio.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "solver/solve.h"
#include "support/block.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

int rc;
int eexit;
int eexit_save;
int log_model;

void clear_rc() { rc = 0; }
void mark_rc(int bits) { rc |= bits; }

int suspend_warning_exit() {
  int saved = eexit;
  eexit = 0;
  return saved;
}

void resume_warning_exit(int saved) { eexit = saved; }
int* log_what = &log_model;
int parse_time;

int* data_parse_begin(int* log) {
  parse_time = 2;
  int* saved = log_what;
  log_what = log;
  return saved;
}

void data_parse_end(int* saved_log) {
  log_what = saved_log;
  parse_time = 1;
}
volatile std::sig_atomic_t gotbreak;

void forget_break(std::sig_atomic_t brk) {
  if (gotbreak == brk) gotbreak = 0;
}

cmd_fields* curcmd;
int req_collect;
char* yylastc_saved;
volatile std::sig_atomic_t spjb;
volatile std::sig_atomic_t pipe_broken;

void request_collect(int bits) { req_collect |= bits; }
void clear_req_collect() { req_collect = 0; }

// ---------------------------------------------------------------------------
// Signals

// What the handlers recorded: the exit code of a pending termination (0:
// none), a pending floating-point exception, and whether a pending 13 came
// from an unexpected broken pipe.
static volatile std::sig_atomic_t pending_code;
static volatile std::sig_atomic_t fpe_pending;
static volatile std::sig_atomic_t pipe_unexpected;
// The self-pipe that wakes session_read: handlers write a byte.
static int wake_fd[2] = {-1, -1};
// Calls of poll_step (its count of steps between polls).
static uint32_t poll_steps;
// SIGHUP was ignored when the program started: it stays ignored.
static int hup_ignored = -1;

static void wake() {
  if (wake_fd[1] >= 0) {
    int e = errno;
    char c = 0;
    ssize_t r = write(wake_fd[1], &c, 1);
    (void)r;
    errno = e;
  }
}

static void intcatch(int) {
  gotbreak = gotbreak + 1;
  if (gotbreak > 1 && !pending_code) {
    pending_code = 32;
    term_reset();
  }
  wake();
}

// The signals that end the session put the terminal's modes back at once
// (term_reset): an exit that does not pass the orderly path (abort) must
// not leave the terminal raw.
static void hupcatch(int sig) {
  if (!pending_code) pending_code = sig;
  term_reset();
  wake();
}

void post_exit(int code) { hupcatch(code); }

// The -x limit was reached (catchalarm, session/child.cpp).
static volatile std::sig_atomic_t xlimit_pending;
void post_time_limit() {
  xlimit_pending = 1;
  term_reset();
  wake();
}

static void pipecatch(int) {
  if (spjb) {
    pipe_broken = 1;  // the writer sees EPIPE and returns to its caller
  } else if (!pending_code) {
    pipe_unexpected = 1;
    pending_code = 13;
  }
  wake();
}

static void fpecatch(int sig, siginfo_t* si, void*) {
  if (si && si->si_code > 0) {
    // A trap raised by an instruction cannot be resumed: returning would
    // run it again.  Traps are off, so only an integer fault gets here;
    // let the default action end the process.
    static const char msg[] = "floating point exception.\n";
    ssize_t r = write(2, msg, sizeof msg - 1);
    (void)r;
    signal(sig, SIG_DFL);
    return;
  }
  fpe_pending = 1;
  wake();
}

static void catch_one(int sig, void (*h)(int)) {
  struct sigaction sa = {};
  sa.sa_handler = h;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a blocked read returns EINTR
  sigaction(sig, &sa, nullptr);
}

void signal_catch() {
  if (wake_fd[0] < 0 && pipe2(wake_fd, O_NONBLOCK | O_CLOEXEC) != 0)
    wake_fd[0] = wake_fd[1] = -1;
  if (hup_ignored < 0) {
    struct sigaction old;
    hup_ignored =
        sigaction(SIGHUP, nullptr, &old) == 0 && old.sa_handler == SIG_IGN;
  }
  struct sigaction sa = {};
  sa.sa_sigaction = fpecatch;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_SIGINFO;
  sigaction(SIGFPE, &sa, nullptr);
  catch_one(SIGINT, intcatch);
  if (!hup_ignored) catch_one(SIGHUP, hupcatch);
  catch_one(SIGABRT, hupcatch);
  catch_one(SIGQUIT, hupcatch);
  catch_one(SIGTERM, hupcatch);
  catch_one(SIGPIPE, pipecatch);
}

void signal_point() {
  if (xlimit_pending && !pending_code) {
    // The -x limit: bail_quit says so and ends the session with 3.
    xlimit_pending = 0;
    tempfile_zap();
    bailquit = 2;
    bail_quit();
  }
  if (pending_code) {
    int code = pending_code;
    // Later signals must not start a second exit.
    static int ending;
    if (ending) return;
    ending = 1;
    if (code == 13 && pipe_unexpected)
      Fprintf(Stderr, "\n\n*** Unexpected SIGPIPE received. ***\n\n");
    tempfile_zap();
    if (code == 32 && blockmode) blockstart("break");
    myexit(code);
  }
  if (fpe_pending) {
    fpe_pending = 0;
    error(0, "floating point exception.\n");
    throw command_abort{};
  }
}

static void drain_wake() {
  char buf[64];
  while (read(wake_fd[0], buf, sizeof buf) > 0) {
  }
}

// Waits until fd is ready; -1 (errno EINTR) when stops and gotbreak has
// moved from brk.
static int wait_ready(int fd, bool stops, std::sig_atomic_t brk) {
  for (;;) {
    signal_point();
    if (stops && gotbreak != brk) {
      errno = EINTR;
      return -1;
    }
    if (wake_fd[0] < 0) return 0;
    struct pollfd p[2] = {{fd, POLLIN, 0}, {wake_fd[0], POLLIN, 0}};
    if (poll(p, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return 0;  // the read reports what is wrong
    }
    if (p[1].revents) {
      drain_wake();
      continue;
    }
    if (p[0].revents) return 0;
  }
}

int session_wait(int fd, bool stops_on_break) {
  return wait_ready(fd, stops_on_break, gotbreak);
}

ssize_t session_read(int fd, void* buf, size_t n) {
  if (fd == 0 && rawio_running()) return hist_read(fd, buf, n);
  std::sig_atomic_t brk = gotbreak;
  // Framed standard input keeps waiting: its blocks must stay whole.
  bool stops = !block1mode;
  for (;;) {
    if (wait_ready(fd, stops, brk) < 0) return -1;
    ssize_t r = read(fd, buf, n);
    if (r < 0 && errno == EINTR) continue;
    return r;
  }
}

// ---------------------------------------------------------------------------
// Clean-up records

static cleanup_rec cleanup_head = {&cleanup_head, &cleanup_head, nullptr,
                                   nullptr};
static cleanup_rec* cleanup_free;

cleanup_rec* register_cleanup(void (*routine)(void*), void* arg) {
  cleanup_rec* r = cleanup_free;
  if (r) {
    pool_take(r, sizeof(cleanup_rec));
    cleanup_free = r->next;
  } else {
    r = static_cast<cleanup_rec*>(mem(sizeof(cleanup_rec)));
  }
  r->routine = routine;
  r->arg = arg;
  r->prev = &cleanup_head;
  r->next = cleanup_head.next;
  cleanup_head.next->prev = r;
  cleanup_head.next = r;
  return r;
}

// Unlinks r and puts it on the free list.
static void unlink_rec(cleanup_rec* r) {
  r->prev->next = r->next;
  r->next->prev = r->prev;
  r->next = cleanup_free;
  r->prev = nullptr;
  cleanup_free = r;
  // prev stays readable: a holder's unregister_cleanup after a reset ran
  // the record finds it null.
  pool_release(r, sizeof(cleanup_rec), &r->next);
  pool_unpoison(&r->prev, sizeof r->prev);
}

void unregister_cleanup(cleanup_rec* r) {
  if (!r->prev) return;  // already run by a reset
  void (*routine)(void*) = r->routine;
  void* arg = r->arg;
  unlink_rec(r);
  routine(arg);
}

void run_cleanups() {
  while (cleanup_head.next != &cleanup_head)
    unregister_cleanup(cleanup_head.next);
}

void loop_reset() {
  cleanup_head.next = cleanup_head.prev = &cleanup_head;
  cleanup_free = nullptr;
  curcmd = nullptr;
  poll_steps = 0;
}

void cmd_mem_reset() {
  run_cleanups();
  if (lev0) lev0_clear();
  cmd_mem_free();
  cmdmem_release();
}

// ---------------------------------------------------------------------------
// Recovery

void cmd_reset() { cmd_mem_reset(); }

void cmd_reset2() {
  cmd_rc = rc | 2;
  if (open_cmds) {
    // Records that reach the executor while the compounds close are
    // ignored.
    cmd_discard = 2;
    close_compounds();
  }
  cmd_reset();
  cmd_discard = 0;
  close_compounds();
  forget_braces();
}

// After an aborted command: an error read from a file ends the session
// with the pending return code: include files read from a file are
// abandoned first (back to the bottom input), and when that input is a
// file too the session ends.  So an error that reaches the recovery point
// without passing bail1out (a floating-point exception) still ends a
// session that reads a file.
static void abort_reset() {
  int pending = rc | 2;
  cmd_reset2();
  // A single-stepping dialogue recovers on its own and reads on.
  if (stepping) return;
  if (nfs > 0 && infile != 0) end_include(0);
  if (nfs == 0 && infile > 0) myexit(pending);
}

// The running command's part of the reset: forget it and, when it had
// asked for collection, mark a generated problem changed.
static void cmd_forget() {
  // The running command's compilation is undone.
  if (curcmd) cmdxreset(curcmd->xrp, nullptr);
  log_what = &log_model;
  curcmd = nullptr;
  cmdnum = 0;
  if (req_collect) {
    req_collect = 0;
    if (trans_state) set_trans_state(1);
  }
}

void cmd_cleanup() {
  cmd_forget();
  abort_reset();
}

void cmd_loopreset() {
  cmd_forget();
  abort_reset();
}

int read_eval;

void read_eval_begin() { read_eval = 1; }

void read_eval_end() { read_eval = 0; }

void cmdwhere() {
  cmd_fields* c = curcmd;
  if (!c) {
    if (read_eval) readwhere();
    return;
  }
  const char* name = cmdname[c->kind - CMD_KIND_MIN];
  if (!c->stmtfname) {
    Fprintf(Stderr, "Error executing \"%s\" command:\n", name);
  } else {
    double n = Cmdno ? *sysparam_cell(Cmdno) : 0;
    Fprintf(Stderr,
            "Error at _cmdno %.0f executing \"%s\" command\n"
            "(file %s, line %ld, offset %ld):\n",
            n, name, c->stmtfname, c->stmtline, c->stmtoffset);
  }
}

void clear_queue() {}
void check_msgloop() { signal_point(); }

bool poll_step() {
  if ((++poll_steps & 1023) == 0) check_msgloop();
  return gotbreak != 0;
}

// ---------------------------------------------------------------------------
// The loop

void recover() {
  end_all_contexts();
  cmd_loopreset();
  req_collect = 0;
  prompt_afresh();
  if (interactive) rc = 0;
  parse_time = 1;
}

int session_loop() {
  yylastc_saved = yylastc;
  for (;;) {
    try {
      signal_point();
      lex_statements();
      int r = parse();
      // The end of a model read without commands: the problem is written
      // in the form the command line asked for.
      if (r == 1 && cmdoutopt && std::strcmp(outopt, cmdoutopt) != 0)
        cmd_option("outopt", cmdoutopt);
      return r >= 0 && r <= 3 ? r : 3;
    } catch (const command_abort&) {
      recover();
    } catch (const reset_request&) {
      reset_session();
      prompt_afresh();
      parse_time = 1;
    }
  }
}

void loop_start() {
  rc = 0;
  eexit = eexit_save = 0;
  log_model = 0;
  log_what = &log_model;
  parse_time = 0;
  gotbreak = 0;
  req_collect = 0;
  yylastc_saved = nullptr;
  spjb = 0;
  pipe_broken = 0;
  pending_code = 0;
  fpe_pending = 0;
  pipe_unexpected = 0;
}

}  // namespace vexo
