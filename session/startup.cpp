// Start-up and exit: the program's frame around the session loop.
#include "session/startup.h"

#include <unistd.h>

#include <climits>
#include <cstring>

#include "compiler/compile.h"
#include "compiler/context.h"
#include "compiler/eexpr.h"
#include "compiler/massage.h"
#include "compiler/opgen.h"
#include "compiler/recomp.h"
#include "compiler/tva.h"
#include "data/readdata.h"
#include "eval/funclib.h"
#include "eval/iterate.h"
#include "eval/pcheck.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/neighbours.h"
#include "frontend/paramdcl.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "instance/ac.h"
#include "instance/genmod.h"
#include "report/dataprint.h"
#include "report/indextab.h"
#include "report/prex.h"
#include "report/display.h"
#include "report/print.h"
#include "report/prset.h"
#include "session/batch.h"
#include "session/cmdfiles.h"
#include "session/cmdmem.h"
#include "session/cmdrec.h"
#include "session/envfile.h"
#include "session/environs.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/infiles.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/options.h"
#include "session/opttable.h"
#include "session/show.h"
#include "session/sysdecls.h"
#include "support/block.h"
#include "support/filename.h"
#include "support/format.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

FILE* stdOut;
int64_t apid;
const char* progname;
const char* progbase;
int isatty_ZEF;
int guisolve;
const char* i_option_ZEF;
int vi_seen;
int Dw_max = INT_MAX;
int allow_times;
int force_exit_0;
double reset_time;
cstr* Blank;
cstr* Question;
cstr* LTc;

void sep_pgroup() { setpgid(0, 0); }

void myexit(int code) {
  if (code == 0) code = eof_loopend();
  if (ev) write_option_files();
  at_reset();
  at_exit();
  fflush(stdout);
  if (Stderr != stdout) fflush(Stderr);
  file_reinit(0);
  if (log_file) {
    fclose(log_file);
    log_file = nullptr;
  }
  exit1(force_exit_0 ? 0 : code);
}

// The first scan: -g, -R, -Rw and the -vi forms, which must be known
// before anything else.  Leaves xargv at the last argument it took.
static void scan_first(char** argv) {
  char** a = argv + 1;
  for (; *a && (*a)[0] == '-'; ++a) {
    const char* s = *a + 1;
    bool taken = true;
    while (*s && taken) {
      if (*s == 'g') {
        sep_pgroup();
        ++s;
      } else if (*s == 'R') {
        Serving = s[1] == 'w' ? 2 : 1;
        s += Serving;
      } else if (s[0] == 'v' && s[1] == 'i') {
        char d = s[2];
        if (d && (d < '0' || d > '5' || s[3])) v_opt(" ");
        static const signed char inter[6] = {-1, 1, 1, -1, 1, -1};
        static const signed char tty[6] = {13, 13, 10, 8, 2, 0};
        int k = d ? d - '0' : 4;
        if (inter[k] > 0) interactive = 1;
        isatty_ZEF = tty[k];
        vi_seen = 1;
        s += strlen(s);
      } else {
        taken = false;
      }
    }
    if (!taken || s == *a + 1) break;
  }
  xargv = a - 1;
}

// The second scan: -b and -i, which the option table and the terminal
// reader depend on.
static void scan_block_and_libs() {
  for (char** a = xargv + 1; *a && (*a)[0] == '-' && (*a)[1]; ++a) {
    const char* s = *a;
    if (strcmp(s, "--") == 0) break;
    if (s[1] == 'b') {
      blockmode = 1;
      for (const char* c = s + 2; *c; ++c) {
        switch (*c) {
          case '4':
            blockmode = 4;
            break;
          case '0':
            blockmode = 0;
            break;
          case 'r':
            blockmode = 2;
            break;
          case 's':
            guisolve = 1;
            break;
          case '?':
            blockmode = 0;
            b_usage();
          default:
            blockmode = 0;
            bug("Bad character '%c' in %s; use -b? to see -b options.", *c, s);
        }
      }
    } else if (s[1] == 'i') {
      if (s[2])
        i_option_ZEF = s + 2;
      else if (a[1])
        i_option_ZEF = *++a;
    }
  }
}

void init_modules() {
  scratch_init();
  symbols_init();
  list_reinit();
  set_reinit();
  setclass_reinit();
  iterate_reset();
  pcheck_reset();
  expr_init();
  dummy_init();
  decl_init();
  paramdcl_init();
  cmd_reinit();
  execute_reinit();
  data_reset();
  cleanup_reset();
  cmdmem_reset();
  include_init();
  file_init();
  Blank = new_cstring("");
  Question = new_cstring("?");
  LTc = new_cstring("<");
  sysdecls();
  option_decls();
  parse_init();
  eehashtab_init();
  context_init();
  massage_init();
  compile_init();
  recomp_init();
  opgen_init();
  tva_reset();
  ac_reset();
  genmod_reset();
  indextab_init();
  prset_init();
  dataprint_init();
  prex_init();
  print_reinit();
  disp_reinit();
  show_reinit();
}

void reset_modules() {
  // The open inputs' names and current lines are copied out of the pools,
  // the command files closed.
  void* inputs = ioreset(nullptr);
  file_reinit(1);
  mem_reset();
  // The statement's file name may be a copy in the string arena.
  stmtfname = nullptr;
  ppinit(nullptr, 0);
  ioreset(inputs);
}

void ppinit(char** argv, int first) {
  reset_time = e_time();
  if (first) {
    progname = argv[0];
    progbase = base_name(progname);
    scan_first(argv);
    Mach();
    init_tok_types();
    scan_block_and_libs();
  }
  init_modules();
  if (!first) return;
  envinit();
  reader = session_read;
  if (!i_option_ZEF) {
    const char* f = evalue("VEXOFUNC");
    if (f && *f) i_option_ZEF = f;
  }
  nextfile(0, 0);
}

void process_setup(const char* argv0) {
  stack_setup();
  stdOut = stdout;
  fpinit_ZEF();
  apid = getpid();
  init_libpath(argv0);
  Init_Stderr();
  vexo_env_init(argv0);
  // Sanitizer builds: released records wait before reuse, so that a read
  // through a stale pointer is reported (support/pool.h).
  pool_hold_released(true);
}

int run_session(int argc, char** argv, int catch_signals) {
  bool exited = false;  // session_exit ended it, with code
  int code = 0;
  try {
    Dw_max = 2;
    ppinit(argv, 1);
    Dw_max = INT_MAX;
    if (show_stats > 3 || tell_times) {
      Fprintf(Stderr, "\n# %s", argv[0]);
      for (int i = 1; i < argc; ++i) Fprintf(Stderr, " %s", argv[i]);
      Fprintf(Stderr, "\n");
    }
    allow_times = 1;
    if (tell_times) time_heading();
    parse_time = 1;
    if (catch_signals) signal_catch();
    int r = session_loop();
    if (r == 3 || (blockmode & 3)) myexit(rc);
    try {
      Process(r);
    } catch (const command_abort&) {
    }
  } catch (const session_exit& e) {
    exited = true;
    code = e.code;
  } catch (const command_abort&) {
    // An abort outside the session loop (during start-up) ends it.
    rc |= 2;
  }
  reset_environ();
  fflush(stdout);
  fflush(Stderr);
  // -w gives 0 on every path, also the ends that do not pass myexit.
  if (force_exit_0) return 0;
  return exited ? code : rc;
}

int session_main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "--version") == 0) {
    show_version(stdout);
    fflush(stdout);
    return 0;
  }
  process_setup(argv[0]);
  return run_session(argc, argv, 1);
}

}  // namespace vexo
