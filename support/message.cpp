// The message, abort and exit core.  Aborts and the end of the session are
// C++ exceptions (command_abort, session_exit) so that every frame between
// the failure and the recovery point unwinds normally.
#include "support/message.h"

#include <unistd.h>

#include <cstring>

#include "eval/evalerr.h"
#include "eval/funclib.h"
#include "eval/iterate.h"
#include "eval/set.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "session/cmdfiles.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/scratch.h"
#include "support/text.h"

namespace vexo {

int warnings;
int warn0;

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
    squawk(mstr_val(m));
    mstr_free(&m);
    myexit(2);
  }
  if (kind == 0 || Cautions) {
    if (kind == 2) mprintf(&m, "Caution: ");
    vmprintf(&m, fmt, ap);
    int rc0 = rc;
    int w0 = warnings;
    squawk(mstr_val(m));
    if (kind == 2) {
      if (Cautions == 1) rc = rc0;
      // A caution counts as a plain warning: against the error limit, not
      // as an error that stops print, display and let (process1).
      warn0 += warnings - w0;
    }
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
  myexit(2);  // not reached: kind 1 ends the session
}

// The location of the evaluation and the message with a newline; returns
// 0, having written nothing, when mgwhere swallows the error (quiet
// simplification), else 1.
static int eval_message(TVA* tva, const char* fmt, va_list ap) {
  if (mgwhere(tva)) return 0;
  Vfprintf(Stderr, fmt, ap);
  Fprintf(Stderr, "\n");
  return 1;
}

// After an evaluation message: the session ends with trc unless it is 0.
// Kept apart from eval_message so that the caller's va_end comes first.
static void eval_message_done() {
  if (trc) myexit(trc);
  restart_block();
}

void terror(TVA* tva, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int shown = eval_message(tva, fmt, ap);
  va_end(ap);
  if (shown) eval_message_done();
}

void eerror(TVA* tva, const char* fmt, ...) {
  if (in_cmds > 1) trc = 0;
  va_list ap;
  va_start(ap, fmt);
  int shown = eval_message(tva, fmt, ap);
  va_end(ap);
  if (shown) eval_message_done();
  trc = 4;
  bailout();
}

void serror(const char* fmt, ...) {
  errorstart(error_kind);
  cmdwhere();
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
  set_gen_abandon();
  if (!bailquit) bail_unwind();
  bail1out();
}

void bail1out() {
  set_gen_abandon();
  restart_block();
  if (doing_read_cmd) read_end();
  if (!stepping) {
    end_include(0);
    if (bail_quit()) myexit(rc | 2);
  }
  cmd_cleanup();
  // The ";;;" injection ends the statement being read (or the one that
  // ran); what the scanner read ahead of the parser in the current raw
  // token past the statement's ";" (the next statement's first word when
  // no blank follows the ";") is read again after the injection instead
  // of before it.
  abandon_rest(cmdnum != 0 || parser_took_semicolon);
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

extern "C" int cmdwhere_fprintf(FILE* stream, const char* fmt, ...) {
  if (stream == Stderr) cmd_where();
  va_list ap;
  va_start(ap, fmt);
  int n = Vfprintf(stream, fmt, ap);
  va_end(ap);
  return n;
}

void message_start() {
  warnings = warn0 = 0;
  rc = 0;
  Cautions = 1;
  log_file = nullptr;
  eexit = eexit_save = 0;
  stepping = bailquit = 0;
  trc = 4;
  in_cmds = 1;
  yy_special = 0;
  doing_read_cmd = 0;
  error_kind = "misc?";
}

}  // namespace vexo
