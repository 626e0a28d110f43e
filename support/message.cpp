// The message, abort and exit core.  Aborts and the end of the session are
// C++ exceptions (command_abort, session_exit) so that every frame between
// the failure and the recovery point unwinds normally.
#include "support/message.h"

#include <unistd.h>

#include <cstring>

#include "eval/iterate.h"
#include "support/block.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/scratch.h"
#include "support/text.h"

namespace vexo {

int rc;
int Cautions = 1;
FILE* log_file;
int eexit;
int eexit_save;
int stepping;
int bailquit;
int trc = 4;
int in_cmds = 1;
int yy_special;
int doing_read_cmd;
const char* error_kind = "misc?";

static void default_squawk(const char* text) {
  size_t n = strlen(text);
  Fprintf(Stderr, n && text[n - 1] == '\n' ? "%s" : "%s\n", text);
  fflush(Stderr);
  rc |= 2;
}

static void do_nothing() {}
static void default_cmd_where() { cmdwhere_hook(); }

static void default_mgwhere(TVA*) {
  if (blockmode) errorstart("error_error");
}

static void default_myexit(int) {
  fflush(stdout);
  fflush(Stderr);
  if (log_file) {
    fclose(log_file);
    log_file = nullptr;
  }
}

static void ignore_flag(int) {}
static int no_quit() { return 0; }

static void default_notyet(const char* what) {
  error(0, "%s not yet implemented", what);
}

void (*squawk_hook)(const char*) = default_squawk;
void (*cmdwhere_hook)() = do_nothing;
void (*cmd_where_hook)() = default_cmd_where;
void (*mgwhere_hook)(TVA*) = default_mgwhere;
void (*myexit_hook)(int) = default_myexit;
void (*bailout_hook)() = bail_unwind;
void (*read_end_hook)() = do_nothing;
void (*end_include_hook)(int) = ignore_flag;
int (*bail_quit_hook)() = no_quit;
void (*cmd_cleanup_hook)() = do_nothing;
void (*notyet_hook)(const char*) = default_notyet;

// The session's clean-up normally ends in exit1 itself; exit1 here covers a
// clean-up that returns.
void call_myexit(int code) {
  myexit_hook(code);
  exit1(code);
}

// Back to the block that was current before the message, or push the
// message out.
static void restart_block() {
  if (blockmode)
    blockstart(oldblkname ? oldblkname : "misc");
  else
    fflush(Stderr);
}

static const char* const kind_block[3] = {"error_warning", "error_error",
                                          "error_caution"};

static void verror(int kind, const char* fmt, va_list ap) {
  if (kind < 0 || kind > 2) kind = 0;
  errorstart(kind_block[kind]);
  mstr* m = nullptr;
  if (kind == 1) {
    mprintf(&m, "Bug: ");
    vmprintf(&m, fmt, ap);
    squawk_hook(mstr_val(m));
    mstr_free(&m);
    call_myexit(2);
  }
  if (kind == 0 || Cautions) {
    if (kind == 2) mprintf(&m, "Caution: ");
    vmprintf(&m, fmt, ap);
    int rc0 = rc;
    squawk_hook(mstr_val(m));
    if (kind == 2 && Cautions == 1) rc = rc0;
    mstr_free(&m);
  }
  if (blockmode) blockstart(oldblkname);
}

void error(int kind, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  verror(kind, fmt, ap);
  va_end(ap);
}

void bug(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  verror(1, fmt, ap);
  va_end(ap);
  call_myexit(2);  // not reached: kind 1 ends the session
}

// The location of the evaluation and the message with a newline.
static void eval_message(TVA* tva, const char* fmt, va_list ap) {
  mgwhere_hook(tva);
  Vfprintf(Stderr, fmt, ap);
  Fprintf(Stderr, "\n");
}

// After an evaluation message: the session ends with trc unless it is 0.
// Kept apart from eval_message so that the caller's va_end comes first.
static void eval_message_done() {
  if (trc) call_myexit(trc);
  restart_block();
}

void terror(TVA* tva, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  eval_message(tva, fmt, ap);
  va_end(ap);
  eval_message_done();
}

void eerror(TVA* tva, const char* fmt, ...) {
  if (in_cmds > 1) trc = 0;
  va_list ap;
  va_start(ap, fmt);
  eval_message(tva, fmt, ap);
  va_end(ap);
  eval_message_done();
  trc = 4;
  bailout();
}

void serror(const char* fmt, ...) {
  errorstart(error_kind);
  cmdwhere_hook();
  va_list ap;
  va_start(ap, fmt);
  Vfprintf(Stderr, fmt, ap);
  va_end(ap);
  restart_block();
}

void errorend() { restart_block(); }

char* msgBf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  Vsnprintf(Bf, Bflen, fmt, ap);
  va_end(ap);
  return Bf;
}

void bailout() {
  if (!bailquit) bailout_hook();
  bail1out();
}

void bail1out() {
  restart_block();
  if (doing_read_cmd) read_end_hook();
  if (!stepping) {
    end_include_hook(0);
    if (bail_quit_hook()) call_myexit(rc | 2);
  }
  cmd_cleanup_hook();
  yy_special = 2;
  eexit = eexit_save;
  throw command_abort{};
}

void exit1(int code) {
  if (blockmode) {
    if (log_file) {
      fclose(log_file);
      log_file = nullptr;
    }
    blockstart("exit");
    Printf("%d\n", code);
    if (blockmode < 4) {
      Printf("%d\n", code);
      blockstart("");
    }
  }
  throw session_exit{code};
}

int get_pid() { return static_cast<int>(getpid()); }

void help() { notyet_hook("help"); }

extern "C" int cmdwhere_fprintf(FILE* stream, const char* fmt, ...) {
  if (stream == Stderr) cmd_where_hook();
  va_list ap;
  va_start(ap, fmt);
  int n = Vfprintf(stream, fmt, ap);
  va_end(ap);
  return n;
}

}  // namespace vexo
