// The walk over the top-level inputs: the option files, then the command
// line's option letters and input names, then standard input when no name
// was given.  The walk only goes forward.
#include "session/infiles.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "data/readdata.h"
#include "eval/funclib.h"
#include "eval/random.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "session/child.h"
#include "session/cmdfiles.h"
#include "session/cmdrec.h"
#include "session/envfile.h"
#include "session/include.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/options.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "solver/output.h"
#include "support/block.h"
#include "support/filename.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/strtod.h"
#include "support/symbol.h"

namespace vexo {

int inslev;
int ins_nfs;
int ins_eof;
int at_eof;
int infile_changed;
int infile_number;
int ninfile_number;
int adjusted;
char** xargv;

int read_options = 1;
int Print_all;
const char* init_sharp = "";
int force_gen;
int quote_literals;
const char* cmdoutopt;
int merge_Stderr;
int dbg;

// ---------------------------------------------------------------------------
// Usage screens

static const char* const opts[] = {
    "-Cn {0 = suppress Cautions; 1 = default; 2 = treat as error;}*",
    "-Ln {0 = treat linear definitional constrs and var = decls as nonlin}*",
    "-P {skip presolve -- same as \"option presolve 0;\" }",
    "-S {substitute out definitional constraints (var = expression)}*",
    "-T {show genmod times for each item}*",
    "-enn {exit (if nn > 0) or abort command at |nn|-th error; 0 = no exit}*",
    "-g {run in a separate process group}",
    "-ix {import functions from x; specify -i? for details }",
    "-ooutopt {specify -o? for details}*",
    "-s[seed] {seed for random numbers; -s means current time}*",
    "-t {show times}*",
    "-v {show version; -v? shows more -v options}",
    "--version {show version and exit}",
    "-xnn {allow nn wall-clock seconds of execution time; not enforced yet}",
    "-?? {show debug and obscure options}",
};
static const char* const eqv[] = {
    "Cn\toption Cautions n;\t\t-Ln\toption linelim n",
    "P\toption presolve 0;\t\t-S\toption substout 1",
    "T\toption gentimes 1;\t\t-enn\toption eexit nn",
    "ofstub\toption outopt fstub;\t\t-s\toption randseed ''",
    "snn\toption randseed nn;\t\t-t\toption times 1",
};
static const char* const debugopts[] = {
    "-# {precede -MDG output with #}",
    "-D {print data read in}",
    "-F {force generation of := sets}",
    "-G {print generated data}",
    "-M {print model}",
    "-O {print compiled model}",
    "-b {block I/O mode; -b? gives details}",
    "-pnn {use nn decimal places in converting numbers to symbols}",
    "-q {always quote output literals (under -D, -G, -M, -O)}",
    "-w {give exit code 0 when exiting with some error messages}",
    "-z {lazy mode -- treat := as default (evaluate only as needed);\n"
    "\t\tsame as \"option lazy 1;\" }",
};
static const char* const vopts[] = {
    "-v? {show -v options}",
    "-v2 {merge stderr with stdout (subprocesses as well as vexo)}",
    "-vd[nnn] {debug level nnn (default 3)}",
    "-ve {write vexo error messages on stdout rather than stderr}",
    "-vf {show available user-defined functions}",
    "-vi[nnn] {interactive mode?  (Must be first.)",
    "\t   nnn = 0 ==> no,",
    "\t   nnn = 1 ==> yes but no prompts, no history,",
    "\t   nnn = 2 ==> yes with prompts, no history,",
    "\t   nnn = 3 ==> 0 or 2, based on isatty(), no history,",
    "\t   nnn = 4 ==> yes with prompts and history,",
    "\t   nnn = 5 ==> 0 or 4, based on isatty(), with history.",
    "\tNo nnn ==> nnn = 4; default (no -vi): assume -vi5.",
    "\tWhen input from stdin is under way, interactive mode",
    "\tallows more input from stdin after an error.",
    "-vp {write prompts on stdout rather than stderr}",
    "-vq {quit now}",
    "-vr {show builtin random functions}",
    "-vs {show statistics}",
    "-vv {show version}",
};
static const char* const bopts[] = {
    "-b?  {show -b options}",
    "-b   {by itself: use block mode}",
    "-br  {block mode with \\n --> \\r\\n}",
    "-bs  {block mode, solves via \"solve_args\" dialogue}",
    "-b0  {cancel block mode}",
    "-b4  {cancel block mode but use block-mode buffering}",
    "-b0s {-bs -b0: \"solve_args\" dialogue without block mode}",
};

template <size_t N>
static void rows(const char* const (&r)[N], const char* fmt) {
  for (const char* s : r) Fprintf(Stderr, fmt, s);
}

template <size_t N>
[[noreturn]] static void listing(const char* what, const char* const (&r)[N],
                                 int code) {
  Fprintf(Stderr, "%s options:\n", what);
  rows(r, "\t%s\n");
  myexit(code);
}

void ooptions(int code) {
  Fprintf(Stderr,
          "Usage: %s [options] [file [file...]]\nNo file arguments means "
          "read from standard input, as does - by itself.\nOptions:\n",
          progbase ? progbase : "vexo");
  rows(opts, "\t%s\n");
  Fprintf(Stderr, "* Equivalent option settings:\n");
  rows(eqv, "\t-%s;\n");
  myexit(code);
}

void b_usage() { listing("-b", bopts, 0); }

void v_opt(const char* s) {
  if (!*s) {
    Fprintf(Stderr, "%s", version_line);
    errorend();
    return;
  }
  for (; *s; ++s) {
    switch (*s) {
      case '?':
        listing("-v", vopts, 0);
      case '2':
        merge_Stderr = 1;
        dup2(1, 2);
        break;
      case 'd':
        dbg = s[1] >= '0' && s[1] <= '9' ? atoi(s + 1) : 3;
        return;
      case 'e':
        errorend();
        Stderr = stdout;
        break;
      case 'f':
        show_funcs();
        break;
      case 'p':
        prompt_unit = 1;
        break;
      case 'q':
        myexit(0);
      case 'r':
        show_rand();
        break;
      case 's':
        setoption("show_stats", "4");
        break;
      case 'v':
        Fprintf(Stderr, "%s", version_line);
        errorend();
        break;
      default:
        listing("-v", vopts, 1);
    }
  }
}

// ---------------------------------------------------------------------------
// Option letters

// The value of a letter that takes the rest of the argument or, when that
// is empty, the next one (null when there is none).
static const char* rest_or_next(const char* s) {
  if (*s) return s;
  if (!xargv[1]) return nullptr;
  return *++xargv;
}

[[noreturn]] static void bad_x() {
  Fprintf(Stderr, "%s\n",
          "Bad -x option: expected a positive session time limit "
          "(wall-clock seconds)\nafter -x");
  ooptions(1);
}

// Applies the letters of one option group (s after the "-").
static void option_group(const char* s) {
  for (; *s; ++s) {
    char c = *s;
    switch (c) {
      case '#':
        init_sharp = "# ";
        break;
      case '?':
        if (s[1] == '?') listing("debug", debugopts, 0);
        ooptions(0);
      case 'C': {
        setoption("Cautions", s + 1);
        if (s[1] >= '0' && s[1] <= '2') {
          ++s;
          break;
        }
        return;
      }
      case 'D':
        Print_all |= 2;
        break;
      case 'F':
        force_gen = 1;
        break;
      case 'G':
        Print_all |= 8;
        break;
      case 'L': {
        if (s[1] < '0' || s[1] > '9') {
          setoption("linelim", "1");
          break;
        }
        char* end;
        Strtod(s + 1, &end);
        setoption("linelim", s + 1);
        s = end - 1;
        break;
      }
      case 'M':
        Print_all |= 1;
        break;
      case 'O':
        Print_all |= 4;
        break;
      case 'P':
        setoption("presolve", "0");
        break;
      case 'S':
        setoption("substout", "1");
        break;
      case 'T':
        setoption("gentimes", "1");
        break;
      case 'b':  // taken by the start-up scan
        return;
      case 'g':  // the start-up scan stops before the first letter it does
                 // not know: an argument it began is read here whole
        sep_pgroup();
        break;
      case 'R':
        Serving = s[1] == 'w' ? 2 : 1;
        if (s[1] == 'w') ++s;
        break;
      case 'e':
        setoption("eexit", s[1] ? s + 1 : "10");
        return;
      case 'i': {
        const char* v = rest_or_next(s + 1);
        if (v && strcmp(v, "?") == 0) {
          Fprintf(Stderr, "%s options:\n", "-i");
          ix_details_ZEF();
          myexit(0);
        }
        return;
      }
      case 'o':
        if (strcmp(s + 1, "?") == 0) ousage();
        cmdoutopt = s + 1;
        setoption("outopt", s + 1);
        return;
      case 'p': {
        long n = strtol(s + 1, nullptr, 10);
        if (n < 0 || n > 36) {
          n = n < 0 ? 0 : 36;
          Fprintf(Stderr, "assuming -p%d\n", static_cast<int>(n));
        }
        numsym_prec = static_cast<int>(n);
        return;
      }
      case 'q':
        quote_literals = 1;
        break;
      case 's':
        setoption("randseed", s + 1);
        return;
      case 't':
        setoption("times", "1");
        break;
      case 'v':
        v_opt(s + 1);
        return;
      case 'w':
        force_exit_0 = 1;
        return;
      case 'x': {
        const char* v = rest_or_next(s + 1);
        if (!v) bad_x();
        char* end;
        double x = Strtod(v, &end);
        if (!(x > 0) || *end || end == v) bad_x();
        xoption = x;
        // The built-in params exist already: give the limit to the one
        // that shows it.
        if (param* p = Time_params[T_SESSION_MAX]) *sysparam_cell(p) = x;
        start_alarm(x);
        return;
      }
      case 'z':
        setoption("lazy", "1");
        break;
      default:
        Fprintf(Stderr, "\ninvalid option -%c\n", c);
        ooptions(1);
    }
  }
}

// ---------------------------------------------------------------------------
// Inputs

static int next_option_file;

static char stdin_name[] = "-";

// Makes name the current top-level input: 1 done, 0 an empty input
// (closed again; k nonzero), -1 it cannot be opened.
static int open_input(const char* name, int k) {
  int fd = 0;
  void* handle = nullptr;
  if (strcmp(name, "-") != 0) {
    fd = Open_map(name, &handle);
    if (fd < 0) return -1;
  }
  stmtfname = nullptr;
  adjusted = 0;
  if (!start_source(fd, handle, k)) return 0;  // an empty input is passed over
  if (nfs == 0) bailquit = infile != 0 || warn_exit || !interactive;
  lineno = 1;
  infname = name;
  infile_number = ++ninfile_number;
  infile_changed = 1;
  return 1;
}

// Back at the terminal between statements after an include ended: the
// included file's errors are reported and it is over, so the terminal
// starts afresh as at a primary prompt.  Without this, text typed ahead
// after the include would be abandoned for errors that are not its own.
// Inside a compound command being read the errors stay: they belong to it.
static void resume_terminal() {
  if (nfs == 0 && interactive && reading_stdin() && prompt2 == 0 && !cmdstate)
    rc = 0;
}

// The end of a nested input: the file of a `read`, a file inserted by
// `commands` or `data` inside a compound command, a data section's file or
// an include file.  -1 when the next top-level input is to be taken, else
// nextfile's result.
static int nested_end(int c) {
  if (nfs && nfs == doing_read_cmd) {
    // A `read` ended inside an item: the end separates it first.
    if (nextc > firstc && c == 0) return 2;
    read_end();
    eofmsg = "unexpected end of file";
    issue_eofmsg();
    bailout();
  }
  if (inslev && nfs <= ins_nfs) {
    if (eof_lastline) {
      eof_lastline = 0;
      return 0;
    }
    if (nfs != ins_nfs) return 0;
    if (prompt2 && c != 1) {
      // A statement is left open.
      eofmsg = "unexpected end of file";
      if (endjump == 2) return 0;
      issue_eofmsg();
      bailout();
    }
    if (infile) ins_eof = 1;
    if (nfs) end_include(2);
    return 0;
  }
  if (nfs > 0) {
    if (endjump && datanfs == nfs) {
      // The file a data section began in ended: data mode ends with it
      // (reported where the file ended when a statement was left open,
      // rather than read on into the includer's commands), and the
      // includer is read in the mode it was in.  Inside a quoted string
      // (or a token after ":" or "/") the end is reported here in every
      // case, and the reader stops without reading on into the includer.
      if (c == 2 && !eofmsg) eofmsg = "unexpected end of file";
      if (endjump != 2 || c == 2) issue_eofmsg();
      // The statement left open ends with the file: back at the terminal
      // the next command starts afresh, as after a complete statement.
      prompt2 = 0;
      end_include(2);
      resume_terminal();
      return c == 2 ? 3 : 0;
    }
    if (end_include(1)) {
      resume_terminal();
      return 1;
    }
  }
  return -1;
}

// The end of the arguments: the next call meets it again.
static int end_of_arguments(int k) {
  if (at_eof > 2) {
    // The input keeps being asked for: the position is made printable and
    // the end reported, which with the limit at 1 abandons the command.
    eexit = 1;
    if (firstc >= lastc) {
      firstc = nextc = lastc = line_end = linebuf;
      *lastc++ = '\n';
      line_end = lastc;
    }
    fc0 = firstc;
    nextc = tstart = lastc - 1;
    squawk("unexpected end of file");
  }
  if (read_options) {
    read_options = 0;
    return open_input(stdin_name, k) > 0 ? 1 : -1;
  }
  ++at_eof;
  bailquit = 1;
  return 0;
}

int nextfile(int k, int c) {
  int r;
  if (k && (r = nested_end(c)) >= 0) return r;
  close_source();
  for (;;) {
    while (opt_files[next_option_file].option) {
      const opt_file& f = opt_files[next_option_file++];
      if (!f.value || !*f.value) continue;
      // The input keeps its own copy of the name: the option's text goes
      // when the option changes.
      const char* name = tostring(f.value);
      r = open_input(name, k);
      if (r > 0) return 1;
      if (r < 0) {
        Fprintf(Stderr, "can't read %s file %s\n", f.option, name);
        errorend();
      }
    }
    const char* arg = xargv ? xargv[1] : nullptr;
    if (!arg) {
      r = end_of_arguments(k);
      if (r >= 0) return r;
      continue;
    }
    ++xargv;
    if (read_options && arg[0] == '-' && arg[1]) {
      if (strcmp(arg, "--") == 0)
        read_options = 0;
      else
        option_group(arg + 1);
      continue;
    }
    read_options = 0;
    r = open_input(arg, k);
    if (r > 0) return 1;
    if (r < 0) {
      Fprintf(Stderr, "can't open %s\n", arg);
      errorend();
      if (eexit) myexit(rc + 4);
    }
  }
}

void infiles_start() {
  inslev = ins_nfs = ins_eof = at_eof = 0;
  infile_changed = 0;
  infile_number = ninfile_number = 0;
  adjusted = 0;
  xargv = nullptr;
  read_options = 1;
  Print_all = 0;
  init_sharp = "";
  force_gen = 0;
  quote_literals = 0;
  cmdoutopt = nullptr;
  merge_Stderr = 0;
  dbg = 0;
  next_option_file = 0;
}

}  // namespace vexo
