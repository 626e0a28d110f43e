// Located messages, the return-code rule, the error limit and the decision
// whether an aborted command ends the session.
#include "session/located.h"

#include <cstring>

#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "presolve/psmsg.h"
#include "report/print.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/infiles.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"

namespace vexo {

int warn_exit;
int warnings;
int warn0;
int stdin_offset;

double xoption;

static void message_line(const char* msg) {
  Fprintf(Stderr, "%s%s\n", msg[0] == '\n' ? "" : "\n\t", msg);
}

// The context line: the current line with the token being read between
// ">>>" and "<<<"; t is the token's start (firstc when unknown).
static void context_line(char* t) {
  if (yy_special > 2) nextc_restore();
  char* e = nextc;
  char* rest_end;
  if (!e || e < firstc || e > lastc) {
    e = rest_end = lastc;
  } else {
    if (e > firstc && (e[-1] == '\n' || e[-1] == '\r')) --e;
    rest_end = lastc;
    if (rest_end > e && rest_end[-1] == '\n') --rest_end;
  }
  if (e < t) e = t;
  // Leading blanks and control characters of the line are not shown.
  char* from = firstc;
  while (from < e && static_cast<unsigned char>(*from) < 33) ++from;
  char* mid = t > from ? t : from;
  Fprintf(Stderr, "context:  %.*s >>> %.*s <<< %.*s\n",
          static_cast<int>(mid - from), from, static_cast<int>(e - mid), mid,
          static_cast<int>(rest_end - e), e);
}

// The place being read, before a message: "\nFILE, line N (offset K):\n"
// and tab (the forms of block mode and the terminal differ); returns the
// start of the token shown.
static char* read_place(const char* tab) {
  char* t = tstart;
  long col = 0;
  if (firstc == fc0 && t && t >= firstc && t <= lastc) {
    col = static_cast<long>(t - firstc);
  } else {
    t = firstc;
  }
  const char* name = infname ? infname : "-";
  long line = static_cast<long>(lineno);
  long offset = static_cast<long>(linestart) + col;
  if (blockmode) {
    Fprintf(Stderr, "file %s\nline %ld\noffset %ld\n", name, line, offset);
  } else if (reading_stdin() && stdin_offset < 1) {
    Fprintf(Stderr, "\n");
  } else if (adjusted) {
    Fprintf(Stderr, "\n%s, line %ld:\n%s", name, line, tab);
  } else {
    Fprintf(Stderr, "\n%s, line %ld (offset %ld):\n%s", name, line, offset,
            tab);
  }
  return t;
}

void readwhere() { read_place(""); }

void squawk(const char* msg) {
  if (blockmode && strncmp(blockname, "error_", 6) != 0) {
    errorstart("error_error");
  }
  if (parse_time && !(cmdnum && !inslev)) {
    // Show a position the lexer saved for this input instead of the
    // current one.
    shown_position kept = show_saved_position(oinfno == infile_number);
    if (cmdnum) cmdwhere();
    char* t = read_place("\t");
    Fprintf(Stderr, "%s\n", msg);
    if (firstc < lastc) context_line(t);
    back_from_saved_position(kept);
  } else {
    if (cmdnum) cmdwhere();
    message_line(msg);
  }
  if (count_warning(2, false)) forget_bad_names();
}

void set_rc_bit(int bit) {
  // Errors typed at an interactive terminal leave the return code alone.
  if (!(interactive && reading_stdin() && !warn_exit) || bit > 8) rc |= bit;
}

bool count_warning(int bit, bool zero_warn0) {
  set_rc_bit(bit);
  errorend();
  if (single_step > 0) return false;
  ++warnings;
  if (!bit) ++warn0;
  if (eexit && warnings >= eexit) {
    // Pending presolve messages come first: never lost.
    dump_ps_warnings();
    Fprintf(Stderr, "\nBailing out after %d warnings.\n", warnings);
    if (warn_exit) myexit(rc | 2);
    warnings = 0;
    if (zero_warn0) warn0 = 0;
    bailout();
  }
  return true;
}

void missing(int c) {
  char msg[16];
  Snprintf(msg, sizeof msg, "missing %c", c);
  squawk(msg);
}

void warninc(int bit) {
  count_warning(bit, true);
  forget_bad_names();
}

int bail_quit() {
  if (bailquit == 2) {
    Fprintf(stdout,
            "\nTerminating VEXO due to command-line option \"-x %g\".\n",
            xoption);
    myexit(3);
  }
  if (!interactive || warn_exit) return 1;
  // At the end of all input, standard input is still the one read.
  return nfs > 0 ? bottom_infile() != 0 : !reading_stdin();
}

void cantserve(const char* what, const char* name) {
  error(0, "Server mode: %s%s prohibited.", what, name ? name : " command");
}

int badfname(const char* s) {
  for (; *s; ++s) {
    if (tok_type[static_cast<unsigned char>(*s)] != 4)
      return static_cast<unsigned char>(*s);
  }
  return 0;
}

void clear_warnings() { warnings = warn0 = 0; }

void located_start() {
  warnings = warn0 = 0;
  warn_exit = 0;
  stdin_offset = 0;
  xoption = 0;
}

}  // namespace vexo
