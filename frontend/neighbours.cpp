// Stand-ins for the session's services that the reader uses: its state,
// its hooks with their least defaults, the least input-file stack (the
// named inputs in order, then nothing) and the located-message printer.
#include "frontend/neighbours.h"

#include <unistd.h>

#include <cstring>

#include "data/readdata.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "support/block.h"
#include "support/filename.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

int interactive;
const char* prompt0[6] = {"", "", "", "", "", ""};
const char* insprompt = "<%d>";

int log_model;
int log_data;
int* log_what = &log_model;
int log_file_flush;

int inslev;
int nfs;
int ins_nfs;
int at_eof;
int infile_changed;
int infile_number;
int ninfile_number;
const char* eofmsg;
char** xargv;

int endjump;
int parse_time;

int cmdstate;
int cmdnum;
int single_step;
int warnings;
int warn0;
int warn_exit;
int stdin_offset;
int adjusted;
volatile std::sig_atomic_t gotbreak;

int pr_cmd;
int pr_badnames;

void set_prompt_defaults() {
  static const char* const texts[6] = {"vexo: ",      "vexo? ",
                                       "vexo data: ", "vexo data? ",
                                       "%s vexo: ",   "%s vexo? "};
  for (int i = 0; i < 6; ++i) prompt0[i] = interactive ? texts[i] : "";
}

// ---------------------------------------------------------------------------
// The least input-file stack

static char stdin_name[] = "-";
static char* stdin_only[2] = {stdin_name, nullptr};
static char** next_name = stdin_only;

void set_input_files(char** names) {
  next_name = names && *names ? names : stdin_only;
  xargv = nullptr;
  at_eof = 0;
}

// The least include stack: the includer's reader state, saved while an
// include file is read.
constexpr int MAX_INCLUDES = 12;
struct saved_input {
  int32_t infile;
  void* vinfile;
  const char* infname;
  char* name_copy;  // the include file's own name (freed at its end)
  char* linebuf;
  char* firstc;
  char* nextc;
  char* lastc;
  char* line_end;
  int64_t lineno;
  int64_t linestart;
  int32_t lineinc;
  int32_t eof_nextline;
  int32_t block1mode;
  int adjusted;
  int infile_number;
  const char* stmtfname;
};
static saved_input include_stack[MAX_INCLUDES];
static char* include_name;  // name block of the current include file

// Ends the current include file and resumes the includer at its saved
// position.
static void pop_include() {
  if (infile > 0) close(infile);
  saved_input& r = include_stack[--nfs];
  del_mblk(htcl(LINEBUF_SIZE), linebuf);
  if (include_name) del_mblk(htcl(strlen(include_name) + 1), include_name);
  include_name = r.name_copy;
  infile = r.infile;
  vinfile = r.vinfile;
  infname = r.infname;
  linebuf = r.linebuf;
  firstc = r.firstc;
  nextc = r.nextc;
  lastc = r.lastc;
  line_end = r.line_end;
  lineno = r.lineno;
  linestart = r.linestart;
  lineinc = r.lineinc;
  eof_nextline = r.eof_nextline;
  block1mode = r.block1mode;
  adjusted = r.adjusted;
  infile_number = r.infile_number;
  stmtfname = r.stmtfname;
  yylastc = nextc;
  tstart = nullptr;
  comment_kind = 0;
  infile_changed = 1;
}

static void least_end_include(int mode);

static void least_include(const char* name, int how, int) {
  // Whoever ends an include level reaches this stack's pop through
  // end_include_hook, also when neighbours_init was not run.
  end_include_hook = least_end_include;
  if (how < 0) {
    error(0, "invalid include syntax");
    nextc = lastc;
    return;
  }
  while (*name && static_cast<unsigned char>(*name) < 33) ++name;
  if (!*name) return;
  if (nfs >= MAX_INCLUDES) {
    squawk_hook("includes nested too deeply");
    call_myexit(rc | 4);
  }
  int fd = 0;
  void* handle = nullptr;
  if (strcmp(name, "-") != 0) {
    fd = Open_map(name, &handle);
    if (fd < 0) {
      char msg[240];
      Snprintf(msg, sizeof msg, "Can't find  file \"%.200s\"", name);
      squawk_hook(msg);
      bailout();
    }
  }
  saved_input& r = include_stack[nfs++];
  r = {infile,       vinfile,    infname,  include_name,  linebuf,   firstc,
       nextc,        lastc,      line_end, lineno,        linestart, lineinc,
       eof_nextline, block1mode, adjusted, infile_number, stmtfname};
  size_t n = strlen(name) + 1;
  include_name = static_cast<char*>(new_mblk(htcl(n)));
  memcpy(include_name, name, n);
  infile = fd;
  vinfile = handle;
  infname = include_name;
  block1mode = fd == 0 ? (blockmode & 3) : 0;
  linebuf = static_cast<char*>(new_mblk(htcl(LINEBUF_SIZE)));
  firstc = nextc = lastc = line_end = yylastc = linebuf;
  tstart = nullptr;
  lineno = 1;
  linestart = 0;
  lineinc = 0;
  eof_nextline = 0;
  adjusted = 0;
  stmtfname = nullptr;
  infile_number = ++ninfile_number;
  infile_changed = 1;
}

// Ends include levels: with 0 all of them (after an aborted command);
// with 1 the current one and each includer that has no text left; with 2
// exactly one.
static void least_end_include(int mode) {
  if (nfs == 0) return;
  pop_include();
  if (mode == 2) return;
  while (nfs > 0 && (mode == 0 || !(nextc < lastc || nextline()))) {
    pop_include();
  }
}

static int least_nextfile(int k, int) {
  // The file a data section began in ended: data mode ends with it
  // (reported where the file ended when a statement was left open), and
  // the includer is read in the mode it was in.
  if (nfs > 0 && endjump && datanfs == nfs) {
    if (endjump != 2) issue_eofmsg();
    pop_include();
    return 0;
  }
  // An include file ended: resume the includer, or the level below it
  // when the includer has no text left either.
  while (nfs > 0) {
    pop_include();
    if (nextc < lastc || nextline()) return 1;
  }
  if (infile > 0) close(infile);
  infile = -1;
  for (;;) {
    if (!next_name || !*next_name) {
      ++at_eof;
      return 0;
    }
    char** slot = next_name++;
    const char* name = *slot;
    int fd = 0;
    void* handle = nullptr;
    if (strcmp(name, "-") != 0) {
      fd = Open_map(name, &handle);
      if (fd < 0) {
        Fprintf(Stderr, "can't open %s\n", name);
        errorend();
        if (eexit) {
          call_myexit(rc + 4);
        }
        continue;
      }
    }
    xargv = slot;
    infname = name;
    stmtfname = nullptr;
    if (!start_source(fd, handle, k)) continue;  // empty: take the next one
    infile_number = ++ninfile_number;
    infile_changed = 1;
    return 1;
  }
}

static const char* no_cmdprompt() { return "???"; }
static void nothing() {}

int (*nextfile_hook)(int k, int c) = least_nextfile;
const char* (*cmdprompt_hook)() = no_cmdprompt;
void (*start_check_hook)() = nothing;
void (*incl_check_hook)() = nothing;
void (*cmd_reset2_hook)() = nothing;
void (*clear_queue_hook)() = nothing;
void (*include_hook)(const char*, int, int) = least_include;

// ---------------------------------------------------------------------------
// Located messages

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

void squawk(const char* msg) {
  if (blockmode && strncmp(blockname, "error_", 6) != 0) {
    errorstart("error_error");
  }
  if (parse_time && !(cmdnum && !inslev)) {
    // Show a position the lexer saved for this input instead of the
    // current one.
    char* keep_nextc = nullptr;
    char* keep_tstart = nullptr;
    if (oinfno == infile_number) {
      if (onextc) {
        keep_nextc = nextc;
        nextc = onextc;
      }
      if (otstart) {
        keep_tstart = tstart;
        tstart = otstart;
      }
    } else {
      onextc = otstart = nullptr;
    }
    if (cmdnum) cmdwhere_hook();
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
    } else if (infile == 0 && stdin_offset < 1) {
      Fprintf(Stderr, "\n");
    } else if (adjusted) {
      Fprintf(Stderr, "\n%s, line %ld:\n\t", name, line);
    } else {
      Fprintf(Stderr, "\n%s, line %ld (offset %ld):\n\t", name, line, offset);
    }
    Fprintf(Stderr, "%s\n", msg);
    if (firstc < lastc) context_line(t);
    if (keep_nextc) {
      nextc = keep_nextc;
      onextc = nullptr;
    }
    if (keep_tstart) {
      tstart = keep_tstart;
      otstart = nullptr;
    }
  } else {
    if (cmdnum) cmdwhere_hook();
    message_line(msg);
  }
  if (count_warning(2, false)) pr_badnames = 0;
}

void set_rc_bit(int bit) {
  // Errors typed at an interactive terminal leave the return code alone.
  if (!(interactive && infile == 0 && !warn_exit) || bit > 8) rc |= bit;
}

bool count_warning(int bit, bool zero_warn0) {
  set_rc_bit(bit);
  errorend();
  if (single_step > 0) return false;
  ++warnings;
  if (!bit) ++warn0;
  if (eexit && warnings >= eexit) {
    Fprintf(Stderr, "\nBailing out after %d warnings.\n", warnings);
    if (warn_exit) call_myexit(rc | 2);
    warnings = 0;
    if (zero_warn0) warn0 = 0;
    bailout();
  }
  return true;
}

void missing(int c) {
  char msg[16];
  Snprintf(msg, sizeof msg, "missing %c", c);
  squawk_hook(msg);
}

void neighbours_init() {
  squawk_hook = squawk;
  end_include_hook = least_end_include;
  set_prompt_defaults();
}

}  // namespace vexo
