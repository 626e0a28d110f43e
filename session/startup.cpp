// Start-up and exit: the program's frame around the session loop.
#include "session/startup.h"

#include <unistd.h>

#include <climits>
#include <cstring>

#include "compiler/compdecl.h"
#include "compiler/compile.h"
#include "compiler/context.h"
#include "compiler/eexpr.h"
#include "compiler/genterms.h"
#include "compiler/massage.h"
#include "compiler/opgen.h"
#include "compiler/plterm.h"
#include "compiler/recomp.h"
#include "compiler/tva.h"
#include "data/readdata.h"
#include "data/table.h"
#include "data/tablerw.h"
#include "eval/builtin.h"
#include "eval/defvar.h"
#include "eval/funclib.h"
#include "eval/iterate.h"
#include "eval/pcheck.h"
#include "eval/random.h"
#include "eval/regexp.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "eval/solval.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/lexer.h"
#include "frontend/paramdcl.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "frontend/suffix.h"
#include "instance/ac.h"
#include "instance/collect.h"
#include "instance/genmod.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "presolve/presolve.h"
#include "instance/suftab.h"
#include "instance/xcg.h"
#include "report/dataprint.h"
#include "report/display.h"
#include "report/expand.h"
#include "report/indextab.h"
#include "report/prex.h"
#include "report/print.h"
#include "report/prset.h"
#include "session/batch.h"
#include "session/child.h"
#include "session/cmdfiles.h"
#include "session/cmdmem.h"
#include "session/cmdrec.h"
#include "session/envfile.h"
#include "session/environs.h"
#include "session/execute.h"
#include "session/xref.h"
#include "session/include.h"
#include "session/infiles.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/optcmd.h"
#include "session/rawio.h"
#include "session/options.h"
#include "session/opttable.h"
#include "session/show.h"
#include "session/sysdecls.h"
#include "solver/nlwrite.h"
#include "solver/output.h"
#include "solver/solve.h"
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

int interactive;

FILE* stdOut;
int64_t apid;
int Serving;
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
  close_log_file();
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
      set_blockmode(1);
      for (const char* c = s + 2; *c; ++c) {
        switch (*c) {
          case '4':
            set_blockmode(4);
            break;
          case '0':
            set_blockmode(0);
            break;
          case 'r':
            set_blockmode(2);
            break;
          case 's':
            guisolve = 1;
            break;
          case '?':
            set_blockmode(0);
            b_usage();
          default:
            set_blockmode(0);
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

// Whether standard input will be read: no input name follows the
// options, one of them is "-", or a -vi form was seen.  Options taken
// here: those of -i and -x may stand in the next argument.  A -R anywhere
// among the options is server mode (no terminal reader).
static bool stdin_wanted(bool* serving) {
  char** a = xargv + 1;
  for (; *a && (*a)[0] == '-' && (*a)[1]; ++a) {
    const char* s = *a;
    if (strcmp(s, "--") == 0) {
      ++a;
      break;
    }
    if (s[1] == 'R') *serving = true;
    if ((s[1] == 'i' || s[1] == 'x') && !s[2] && a[1]) ++a;
  }
  if (!*a || vi_seen) return true;
  for (; *a; ++a)
    if (strcmp(*a, "-") == 0) return true;
  return false;
}

void init_modules(int start) {
  if (start) {
    // A new session only: `reset` keeps all of these, since it runs as a
    // command inside the parser, reading on from the input being read,
    // with the command line, the options and the session's counts as they
    // are.
    startup_start();
    message_start();
    cmdfiles_start();
    block_start();
    reader_start();
    rawtok_start();
    lexer_start();
    parse_start();
    infiles_start();
    include_start();
    located_start();
    loop_start();
    cmdrec_start();
    execute_start();
    readdata_start();
    options_start();
    xref_start();
  }
  scratch_reset();
  symbol_reset();
  list_reset();
  set_reset();
  setclass_reset();
  iterate_reset();
  pcheck_reset();
  regexp_reinit();
  random_reset();
  expr_reset();
  dummy_reset();
  decl_reset();
  xcg_reset();
  paramdcl_reset();
  rawtok_reset();
  cmd_reinit();
  execute_reset();
  readdata_reset();
  loop_reset();
  cmdmem_reset();
  include_reset();
  file_init();
  startup_reset();
  builtin_reset();
  problem_reset();
  sufdecl_reset();
  sysdecls_reset();
  options_reset();
  optcmd_reset();
  parse_init();
  suftab_reset();
  eehashtab_init();
  context_reset();
  massage_reset();
  compile_reset();
  compdecl_reset();
  recomp_reset();
  opgen_reset();
  tva_reset();
  ac_reset();
  presolve_reset();
  outmps_reinit();
  output_reset();
  solve_reset();
  batch_reset();
  child_reset();
  misc_reinit();
  genmod_reset();
  collect_reset();
  genterms_reset();
  pl_reset();
  defvar_reset();
  solval_reset();
  indextab_reset();
  prset_reset();
  dataprint_reset();
  prex_reset();
  print_reset();
  disp_reinit();
  expand_reinit();
  show_reinit();
  table_reset();
  th_init();
  funclib_reset(start);
}

void reset_modules() {
  // The open inputs' names and current lines are copied out of the pools,
  // the command files closed.
  void* inputs = ioreset(nullptr);
  file_reinit(1);
  mem_reset();
  ppinit(nullptr, 0);
  ioreset(inputs);
}

void ppinit(char** argv, int first) {
  reset_time = e_time();
  if (first) {
    Mach();
    init_tok_types();
  }
  init_modules(first);
  if (!first) return;
  progname = argv[0];
  progbase = base_name(progname);
  scan_first(argv);
  scan_block_and_libs();
  envinit();
  // The terminal reader, in raw mode only for an interactive session that
  // reads its standard input, outside block and server mode.
  bool serving = Serving != 0;
  bool wanted = stdin_wanted(&serving);
  rawio_add(wanted && interactive && !(isatty_ZEF & 8) && !serving &&
            !blockmode);
  if (!i_option_ZEF) {
    const char* f = evalue("VEXOFUNC");
    if (f && *f) i_option_ZEF = f;
  }
  func_add(1);
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

void start_session(int argc, char** argv) {
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
}

int run_session(int argc, char** argv, int catch_signals) {
  bool exited = false;  // session_exit ended it, with code
  int code = 0;
  try {
    start_session(argc, argv);
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
  // Also when start-up itself ended the session.
  Dw_max = INT_MAX;
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

void startup_start() {
  interactive = 0;
  Serving = 0;
  isatty_ZEF = 0;
  guisolve = 0;
  i_option_ZEF = nullptr;
  vi_seen = 0;
  allow_times = 0;
  force_exit_0 = 0;
}

void startup_reset() {
  Blank = new_cstring("");
  Question = new_cstring("?");
  LTc = new_cstring("<");
}

const kept_state kept_by_reset[] = {
    {"lineno,linestart,linebuf0,stmtline,stmtoffset,yytokno,fc0,yytext,"
     "yylval,yysbuf,toklen,last_tok,qtype,inject_text,infile_changed,"
     "ninfile_number,fs,in_cmds",
     "the input being read: `reset` is a command read by the parser, which "
     "reads on after it (the reader, the tokenizers, the include stack)",
     0},
    {"errbuf", "the buffer of the error stream, set up once per process", 0},
    {"reset_time", "the time of the last start-up or reset, the base of the "
     "translator's own times", 0},
    {"(anonymous namespace)::last_user,(anonymous namespace)::last_sys",
     "the times report's base: the process times at its last line, or at "
     "the last start-up or reset",
     0},
    {"(anonymous namespace)::MBfree,(anonymous namespace)::xmem_sizes,"
     "Malloced,nalloc,(anonymous namespace)::chunks,"
     "(anonymous namespace)::nchunks,(anonymous namespace)::chunks_cap",
     "the allocator's own bookkeeping: `reset` gives its memory back, not "
     "its free blocks, record sizes and counts, nor the table of its "
     "chunks",
     0},
#ifdef VEXO_ASAN
    {"(anonymous namespace)::ring,(anonymous namespace)::ring_first,"
     "(anonymous namespace)::ring_count,(anonymous namespace)::ring_bytes,"
     "(anonymous namespace)::hold_on",
     "the queue of released records held back before reuse (sanitizer "
     "builds): part of the allocator's bookkeeping, emptied with the memory "
     "it holds",
     0},
#endif
    {"loop_cells,n_loop_cells,bufcl()::k",
     "plain memory and sizes computed once, serving every session",
     0},
    {"nextgenlev,tsr,tsr_k",
     "generation stamps only grow: what was generated before must look old",
     1},
    {"ncmds,cmd_rc,randcalls,dcl_compiles,poll_steps",
     "counts of the session's commands, draws, compilations and poll steps",
     1},
    {"symhash", "the data's names stay interned", 1},
    {"one,negone,eone,enegone,epmone,eehashtab,eeh_mask,eeh_count,eeh_k,"
     "con,Ind0,firstdummy0,cur_ac,"
     "tva_len,tva_hcl,tva_need,max_context,m_optrew,m_mandrew,Dummy_refs,"
     "(anonymous namespace)::check_texts()::m",
     "the compiled forms of the model's declarations and the compiler's "
     "shared constants and sizes they use",
     1},
    {"(anonymous namespace)::slab_base,(anonymous namespace)::nslabs,"
     "(anonymous namespace)::slab_hcl,(anonymous namespace)::slab_next,"
     "(anonymous namespace)::slab_end",
     "the slabs of compiled-expression records: the records of the model's "
     "declarations live there too, so the slabs stay",
     1},
    {"expr_free_list",
     "the free list of expression records: the first start-up also parses "
     "the options of the command line and the environment, so its head "
     "differs from a reset's while holding only free records",
     0},
    {"enum_free_list,eexpr_free_list,free_setmem,cmd_blocks,"
     "(anonymous namespace)::work()::w",
     "free lists and work storage, kept for reuse",
     1},
    {"(anonymous namespace)::flow_target,(anonymous namespace)::chain_first,"
     "(anonymous namespace)::out,(anonymous namespace)::Dw,"
     "(anonymous namespace)::disp1,item_warnings,show_opprint,line,line_k,sabuf0,sabuf,"
     "sabufend,sacl",
     "the last command's state, which each command sets afresh, and the "
     "printers' buffers made at first use",
     1},
};
const int n_kept_by_reset =
    static_cast<int>(sizeof kept_by_reset / sizeof kept_by_reset[0]);

}  // namespace vexo
