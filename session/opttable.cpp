// The option table: rows, cells, update handlers and validators.
#include "session/opttable.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "data/readdata.h"
#include "eval/elemfunc.h"
#include "eval/evalerr.h"
#include "eval/funclib.h"
#include "eval/random.h"
#include "frontend/conbody.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/paramdcl.h"
#include "frontend/reader.h"
#include "frontend/suffix.h"
#include "instance/ac.h"
#include "instance/stats.h"
#include "presolve/presolve.h"
#include "report/prex.h"
#include "session/batch.h"
#include "session/cmdfiles.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/optcmd.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "support/filename.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/strtod.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

num_format disp_info = {gfmt, 0, 0};
num_format csvdisp_info = {gfmt, 0, 0};
num_format expand_info = {gfmt, 0, 0};
num_format soln_info = {gfmt, 0, 0};

const char* shell_name = "";
const char* vexo_libpath = "";
const char* tmpdir = "";
const char* auxfiles = "";
const char* shell_env_file = "";
const char* solver = "";
const char* spec_insert = "";
const char* outopt = "";
const char* debug_stub = "";
const char* presolve_logfile = "";
const char* opt_path = "";
const char* vexo_funclibs = "";
const char* log_file_opt = "";
const char* table_debug_template = "";

opt_file opt_files[4] = {{"", "OPTIONS_IN"},
                         {"", "OPTIONS_INOUT"},
                         {nullptr, nullptr},
                         {"", "OPTIONS_OUT"}};

int display_1col;
int display_set_1col;
int display_transpose;
int csvdisplay_header;
int csvdisplay_restrict;
int omit_zero_cols;
int omit_zero_rows;
int gutter_width;
int nl_comments;
int linelim;
int solveout;
int new_solveout;
int presolve_opt;
int reset_initial_guesses;
int dual_initial_guesses;
int pass_lub1;
int integer_markers;
int pl_linearize;
int show_stats;
int display_max_2d_cols;
int objective_precision;
int relax_integrality;
int show_boundtol;
int presolve_warnings;
int solver_msg;
int nl_permute;
int show_write_files;
int compl_warn;
int send_statuses;
int send_suffixes;
int shell_ecm[2];
int project_fixed_vars;
int outarg_warn;
int presolve_debug;
int infeas_clear;
int presolve_assoc[3];
int randvar_warn;
int randvar_constwarn;
int table_errbreak;
int badstage;
int stagewarn;
int shell_exitignore[2];
int mpsfile_numwidth;
int old_complementarity_slack;
int libmap_32_64;
int cmdtrace;
int table_debug;
int load_funcdcl;
int show_presolve_messages;
int let_domain_check;
int gentimes;
int tell_times;

double display_eps;
double presolve_eps;
double constraint_drop_tol;
double presolve_inteps;
double presolve_fixeps;
double presolve_intepsmax;
double presolve_epsmax;
double presolve_fixepsmax;
double boundtol_max;
double pl_bigM;
double single_step_cmdno;

// ---------------------------------------------------------------------------
// Reading numbers

// The number at the start of value (0 when none; *got says whether one was
// read).  A caution names what is taken when other text is there: the
// number's own text, or none_as when no number was read.
static double num_prefix(const char* value, const char* none_as,
                         bool* got = nullptr) {
  char* end;
  double x = Strtod(value, &end);
  if (got) *got = end != value;
  if (end == value) {
    x = 0;
    if (*value && Cautions)
      error(2, "treating \"%s\" as \"%s\".", value, none_as);
  } else if (*end && Cautions) {
    error(2, "treating \"%s\" as \"%.*s\".", value,
          static_cast<int>(end - value), value);
  }
  return x;
}

// The same for the handlers that read a decimal integer (strtol).
static long long_prefix(const char* value) {
  char* end;
  errno = 0;
  long n = strtol(value, &end, 10);
  if (end == value) {
    if (*value && Cautions) error(2, "treating \"%s\" as \"%s\".", value, "0");
  } else if (*end && Cautions) {
    error(2, "treating \"%s\" as \"%.*s\".", value,
          static_cast<int>(end - value), value);
  }
  return n;
}

// x held to -lim..lim and truncated toward zero (NaN gives 0).
static int clamp_int(double x, double lim) {
  if (std::isnan(x)) return 0;
  if (x > lim) return static_cast<int>(lim);
  if (x < -lim) return -static_cast<int>(lim);
  return static_cast<int>(x);
}

static int int_value(const char* value) {
  return clamp_int(num_prefix(value, "0"), 32767);
}

// A precision: 0 when no number or a negative one (neg when asked for), at
// most 100 and at most the print buffer's length less 10.
static int prec_value(const char* value, int neg) {
  bool got;
  double x = num_prefix(value, "", &got);
  if (!got || std::isnan(x) || x < 0) return neg;
  double lim = 100;
  if (static_cast<double>(pbuf_len) - 10 < lim)
    lim = static_cast<double>(pbuf_len) - 10;
  if (x > lim) x = lim;
  return static_cast<int>(x);
}

// The problem must be translated again.
static void mark_changed() { set_trans_state(1); }

// ---------------------------------------------------------------------------
// Handlers

void update_char(const char* value, void* target) {
  *static_cast<const char**>(target) = value;
}

void update_int(const char* value, void* target) {
  *static_cast<int*>(target) = int_value(value);
}

// The exit-code limits compare wait statuses (exit code times 256), which
// the integer range of update_int would cut at 32767: "65536" must let
// every exit code pass.  They keep the whole int range.
static void update_status_max(const char* value, void* target) {
  *static_cast<int*>(target) = clamp_int(num_prefix(value, "0"), INT_MAX);
}

void update_real(const char* value, void* target) {
  *static_cast<double*>(target) = num_prefix(value, "0");
}

void update_posint(const char* value, void* target) {
  long n = long_prefix(value);
  if (n > 0 && n <= INT_MAX) *static_cast<int*>(target) = static_cast<int>(n);
}

void update_dw(const char* value, void* target) {
  long n = long_prefix(value);
  if (n == 0 || n > INT_MAX / 3 || n < -INT_MAX) return;
  *static_cast<int*>(target) = static_cast<int>(n);
  // The printers' working width follows: prex_reset copied the cell before
  // the options existed, and a printer that does not set it afresh must
  // not keep an older width.
  disp_width = static_cast<int32_t>(n);
  if (n > 0 && 3 * static_cast<size_t>(n) > pbuf_len)
    bump_pbuf(htcl(3 * static_cast<size_t>(n) + 2), tokend);
}

void update_prec(const char* value, void* target) {
  *static_cast<int*>(target) = prec_value(value, 0);
}

static void set_prec(num_format* f, int p) {
  f->prec = p;
  if (f->fmt == gfmt) f->active = p;
}

void update_prec1(const char* value, void* target) {
  set_prec(static_cast<num_format*>(target), prec_value(value, 0));
}

void update_prec2(const char* value, void* target) {
  set_prec(static_cast<num_format*>(target), prec_value(value, -1));
}

void update_fixed(const char* value, void* target) {
  num_format* f = static_cast<num_format*>(target);
  bool got;
  double x = num_prefix(value, "", &got);
  if (!got) {
    f->active = f->prec;
    f->fmt = gfmt;
    return;
  }
  f->active = clamp_int(x, 100);
  f->fmt = ffmt;
}

void set_012(const char* value, void* target) {
  *static_cast<int*>(target) = value[0] == '1' ? 1 : value[0] == '2' ? 2 : 0;
}

void update_nan(const char* value, void* target) {
  *static_cast<int*>(target) = num_prefix(value, "0") > 0;
}

void update_eexit(const char* value, void*) {
  int n = int_value(value);
  eexit = eexit_save = n < 0 ? -n : n;
  warn_exit = n >= 0;
}

void seed_set(const char* value, void* target) {
  char* end;
  unsigned long n = strtoul(value, &end, 10);
  if (end == value) {
    n = 0;
    if (*value && Cautions) error(2, "treating \"%s\" as \"%s\".", value, "0");
  } else if (*end && Cautions) {
    error(2, "treating \"%s\" as \"%.*s\".", value,
          static_cast<int>(end - value), value);
  }
  uint32_t seed = static_cast<uint32_t>(n);
  *static_cast<uint32_t*>(target) = seed;
  restart_random();
  if (seed) {
    Reset_randseeds(seed);
    return;
  }
  uint32_t t = L_time();
  if (!t) t = 1;
  cmd_Loption("randseed", t);
}

void update_inteps(const char* value, void* target) {
  double* c = static_cast<double*>(target);
  double x = num_prefix(value, "0");
  if (x != *c && trans_state > 1) mark_changed();
  *c = x;
}

void update_bigM(const char* value, void* target) {
  double* c = static_cast<double*>(target);
  double x = num_prefix(value, "0");
  if (x != *c && bigM_used && trans_state > 2) mark_changed();
  *c = x;
}

void update_boundtol(const char* value, void* target) {
  double* bt = static_cast<double*>(target);  // value, lower, upper mark
  double x = num_prefix(value, "0");
  bt[0] = x;
  if (trans_state > 2 && ((x >= bt[2] && bt[2] > 0) || x < bt[1])) need_fd = 1;
}

void update_presolve(const char* value, void* target) {
  int* c = static_cast<int*>(target);
  int n = int_value(value);
  if (n != *c && trans_state > 1) mark_changed();
  *c = n;
}

void update_nl_permute(const char* value, void* target) {
  int* c = static_cast<int*>(target);
  int n = int_value(value);
  if (((n ^ *c) & 7) && trans_state > 1) mark_changed();
  *c = n;
}

void update_assoc(const char* value, void* target) {
  int* a = static_cast<int*>(target);  // value and the two masks
  int n = int_value(value);
  if (n != a[0] && trans_state > 1 && ((n & ~a[1]) || (a[2] & ~n)))
    mark_changed();
  a[0] = n;
}

void update_solveout(const char* value, void* target) {
  int* c = static_cast<int*>(target);
  int n = int_value(value);
  if (n != *c && trans_state > 1) {
    mark_changed();
    new_solveout = n;
    // Constraints that define variables are generated anew.
    const xclass_rec& x = xclass[XC_CONS];
    for (int i = 0; i < x.n; ++i)
      if (x.a[i] && (x.a[i]->flags & CF_VAREQ) && x.a[i]->xr.stamp != 0)
        x.a[i]->xr.stamp = -1.0;
  }
  *c = n;
}

void update_vb(const char* value, void* target) {
  *static_cast<int*>(target) = int_value(value);
  if (trans_state > 2) set_lubs(cur_ac);
}

void update_ig(const char* value, void* target) {
  int* c = static_cast<int*>(target);
  int n = int_value(value);
  if (n != *c && Ig_Count) Ig_Count->stamp = nextgenlev;
  *c = n;
}

void update_boundstats(const char* value, void* target) {
  int n = int_value(value);
  *static_cast<int*>(target) = n;
  if (n == 1 && trans_state > 2) boundstats(cur_ac);
}

void update_show_stats(const char* value, void* target) {
  int n = int_value(value);
  *static_cast<int*>(target) = n;
  if ((n & 3) && trans_state > 2) statshow(cur_ac);
}

void update_telltimes(const char* value, void* target) {
  int n = int_value(value);
  *static_cast<int*>(target) = n;
  if (n) time_heading();
}

void update_logfile(const char* value, void* target) {
  *static_cast<const char**>(target) = value;
  if (!log_open(value))
    option_set(Symbol("log_file", 0), new_cstring(""), cur_envp);
}

void update_inclpath(const char* value, void*) { set_inclpath(value); }

bool tabdb_usable(const char* value) {
  if (!*value) return true;
  int pct = 0;
  bool blank = false;
  for (const unsigned char* s = reinterpret_cast<const unsigned char*>(value);
       *s; ++s) {
    if (*s == '%') ++pct;
    if (*s <= ' ') blank = true;
  }
  return pct == 1 && !blank;
}

void update_tabdb(const char* value, void* target) {
  const char** c = static_cast<const char**>(target);
  if (tabdb_usable(value)) {
    *c = value;
    return;
  }
  error(2,
        "expected one %% character and no white space in \"%s\";\n"
        "\t$table_debug will be treated as 0 until $table_debug_template\n"
        "\tis corrected.",
        value);
  *c = "";
}

// ---------------------------------------------------------------------------
// Validators: they refuse only in server mode.

int ud_forbid(symbol* name, const char*) {
  if (!Serving) return 0;
  cantserve("updating option ", name->name);
  return 1;
}

int anum_chk(symbol* name, const char* value) {
  if (!Serving || !badfname(value)) return 0;
  cantserve("nonalphanumeric option ", name->name);
  return 1;
}

// ---------------------------------------------------------------------------
// The rows

static const char astatus_text[] =
    "\n0\tin\tnormal state (in problem)"
    "\n1\tdrop\tremoved by drop command"
    "\n2\tpre\teliminated by presolve"
    "\n3\tfix\tfixed by fix command"
    "\n4\tsub\tdefined variable, substituted out"
    "\n5\tunused\tnot used in current problem"
    "\n6\tlog\tlogical constraint in current problem"
    "\n7\trand\trandom variable in current problem";
static const char sstatus_text[] =
    "\n0\tnone\tno status assigned"
    "\n1\tbas\tbasic"
    "\n2\tsup\tsuperbasic"
    "\n3\tlow\tnonbasic <= (normally =) lower bound"
    "\n4\tupp\tnonbasic >= (normally =) upper bound"
    "\n5\tequ\tnonbasic at equal lower and upper bounds"
    "\n6\tbtw\tnonbasic between bounds\n";
static const char solve_result_text[] =
    "\n0\tsolved\n100\tsolved?\n200\tinfeasible\n300\tunbounded"
    "\n400\tlimit\n500\tfailure\n";
static const char sense_text[] = "\n-1\tminimize\n1\tmaximize\n";

#define ROW(name, dflt, handler, target) \
  { name, dflt, handler, target, nullptr, 0 }
#define ROWV(name, dflt, handler, target, validator, flag) \
  { name, dflt, handler, target, validator, flag }

opt_row estuff[N_ESTUFF + N_ESTUFF1] = {
    ROW("prompt1", "", update_char, &prompt0[0]),
    ROW("prompt2", "", update_char, &prompt0[1]),
    ROW("dataprompt1", "", update_char, &prompt0[2]),
    ROW("dataprompt2", "", update_char, &prompt0[3]),
    ROW("cmdprompt1", "", update_char, &prompt0[4]),
    ROW("cmdprompt2", "", update_char, &prompt0[5]),
    ROWV("SHELL", "/bin/sh", update_char, &shell_name, ud_forbid, 0),
    ROWV("version", nullptr, nullptr, nullptr, nullptr, 1),
    ROWV("vexo_libpath", nullptr, update_char, &vexo_libpath, nullptr, 1),
    ROWV("TMPDIR", "/tmp/", update_char, &tmpdir, ud_forbid, 0),
    ROW("auxfiles", "", update_char, &auxfiles),
    ROW("shell_env_file", "", update_char, &shell_env_file),
    ROWV("solver", "", update_char, &solver, anum_chk, 0),
    ROW("spec_insert", "summary frequency 50\nlog frequency 999999",
        update_char, &spec_insert),
    ROW("vexocbc_auxfiles", "RF", nullptr, nullptr),
    ROW("print_precision", "0", update_prec1, &print_info),
    ROW("print_round", "", update_fixed, &print_info),
    ROW("display_1col", "20", update_int, &display_1col),
    ROW("display_eps", "0", update_real, &display_eps),
    ROW("display_precision", "6", update_prec1, &disp_info),
    ROW("display_round", "", update_fixed, &disp_info),
    ROW("display_set_1col", "0", update_int, &display_set_1col),
    ROW("display_transpose", "0", update_int, &display_transpose),
    ROW("display_width", "79", update_dw, &display_width),
    ROW("csvdisplay_precision", "0", update_prec1, &csvdisp_info),
    ROW("csvdisplay_round", "", update_fixed, &csvdisp_info),
    ROW("csvdisplay_header", "1", update_int, &csvdisplay_header),
    ROW("csvdisplay_restrict", "", update_int, &csvdisplay_restrict),
    ROW("omit_zero_cols", "0", update_int, &omit_zero_cols),
    ROW("omit_zero_rows", "0", update_int, &omit_zero_rows),
    ROW("gutter_width", "3", update_posint, &gutter_width),
    ROW("MD_precision", "0", update_prec, &MD_prec),
    ROW("nl_comments", "0", update_int, &nl_comments),
    ROW("output_precision", "0", update_prec, &output_prec),
    ROW("Cautions", "1", set_012, &Cautions),
    ROW("linelim", "1", update_solveout, &linelim),
    ROW("presolve", "10", update_presolve, &presolve_opt),
    ROW("presolve_eps", "0", update_inteps, &presolve_eps),
    ROW("solution_precision", "", update_prec2, &soln_info),
    ROW("solution_round", "", update_fixed, &soln_info),
    ROW("substout", "0", update_solveout, &solveout),
    ROW("eexit", "-10", update_eexit, nullptr),
    ROW("outopt", "", update_char, &outopt),
    ROW("randseed", "1", seed_set, &randseed_ZEF),
    ROW("lazy", "0", update_int, &lazy),
    ROW("stdin_offset", "0", update_int, &stdin_offset),
    ROW("reset_initial_guesses", "0", update_ig, &reset_initial_guesses),
    ROW("dual_initial_guesses", "1", update_ig, &dual_initial_guesses),
    ROW("var_bounds", "1", update_vb, &pass_lub1),
    ROW("integer_markers", "1", update_int, &integer_markers),
    ROW("pl_linearize", "1", update_presolve, &pl_linearize),
    ROW("pl_bigM", "1e6", update_bigM, &pl_bigM),
    ROW("show_stats", "0", update_show_stats, &show_stats),
    ROW("print_separator", " ", update_char, &print_separator),
    ROW("display_max_2d_cols", "0", update_int, &display_max_2d_cols),
    ROWV("objective_precision", "10", update_int, &objective_precision, nullptr,
         1),
    ROW("all_auxfiles", "acefprsuv", nullptr, nullptr),
    ROW("relax_integrality", "0", update_presolve, &relax_integrality),
    ROW("constraint_drop_tol", "0", update_inteps, &constraint_drop_tol),
    ROW("presolve_inteps", "1e-6", update_inteps, &presolve_inteps),
    ROW("abs_boundtol", "0", update_boundtol, abs_bt),
    ROW("rel_boundtol", "0", update_boundtol, rel_bt),
    ROW("show_boundtol", "1", update_boundstats, &show_boundtol),
    ROWV("vexo_include", ".", update_inclpath, nullptr, ud_forbid, 0),
    ROW("presolve_intepsmax", "1e-5", update_real, &presolve_intepsmax),
    ROW("presolve_warnings", "5", update_int, &presolve_warnings),
    ROWV("log_file", "", update_logfile, &log_file_opt, anum_chk, 0),
    ROW("log_file_flush", "0", update_int, &log_file_flush),
    ROW("bad_subscripts", "3", update_int, &bad_subscripts),
    ROW("presolve_epsmax", "1e-5", update_real, &presolve_epsmax),
    ROW("presolve_fixeps", "0", update_inteps, &presolve_fixeps),
    ROW("presolve_fixepsmax", "1e-5", update_real, &presolve_fixepsmax),
    ROW("insertprompt", "<%d>", update_char, &insprompt),
    ROW("solver_msg", "1", update_int, &solver_msg),
    ROW("astatus_table", astatus_text, nullptr, nullptr),
    ROW("sstatus_table", sstatus_text, nullptr, nullptr),
    ROW("expand_precision", "6", update_prec1, &expand_info),
    ROW("expand_round", "", update_fixed, &expand_info),
    ROW("debug_stub", "", update_char, &debug_stub),
    ROW("nl_permute", "3", update_nl_permute, &nl_permute),
    ROW("format_range_errmsg", "", update_char, &format_range_errmsg),
    ROW("show_write_files", "0", update_int, &show_write_files),
    ROW("compl_warn", "1", update_presolve, &compl_warn),
    ROW("solve_result_table", solve_result_text, nullptr, nullptr),
    ROW("sense_table", sense_text, nullptr, nullptr),
    ROW("log_data", "0", update_int, &log_data),
    ROW("log_model", "0", update_int, &log_model),
    ROW("send_statuses", "1", update_int, &send_statuses),
    ROW("send_suffixes", "3", update_int, &send_suffixes),
    ROW("shell_exitcode_max", "65536", update_status_max, &shell_ecm[0]),
    ROW("solve_exitcode_max", "0", update_status_max, &shell_ecm[1]),
    ROW("project_fixed_vars", "1", update_int, &project_fixed_vars),
    ROW("outarg_warn", "1", update_int, &outarg_warn),
    ROW("presolve_debug", "0", update_int, &presolve_debug),
    ROW("infeas_clear", "1", update_int, &infeas_clear),
    ROW("presolve_assoc", "7", update_assoc, presolve_assoc),
    ROW("old_param_eq", "0", update_int, &old_param_eq),
    ROW("strict_ineq_warn", "1", update_int, &strict_ineq_warn),
    ROW("convert_logical_to_algebraic", "1", update_int, &convert_logical),
    ROW("randparam_warn", "1", update_int, &randparam_warn),
    ROW("randvar_warn", "5", update_int, &randvar_warn),
    ROW("randvar_constwarn", "5", update_int, &randvar_constwarn),
    ROW("presolve_logfile", "", update_char, &presolve_logfile),
    ROW("table_errbreak", "0", update_int, &table_errbreak),
    ROW("badstage", "2", update_int, &badstage),
    ROW("stagewarn", "1", update_int, &stagewarn),
    ROW("shell_exitignore", "0", update_int, &shell_exitignore[0]),
    ROW("mpsfile_numwidth", "12", update_int, &mpsfile_numwidth),
    ROW("no_hexfp", "0", update_int, &no_hexfp),
    ROW("allow_NaN", "0", update_nan, &allow_NaN),
    ROW("boundtol_max", "1e-5", update_real, &boundtol_max),
    ROWV("PATH", "", update_char, &opt_path, ud_forbid, 1),
    ROW("old_complementarity_slack", "0", update_int,
        &old_complementarity_slack),
    ROW("libmap_32_64", "1", update_int, &libmap_32_64),
    ROW("cmdtrace", "0", update_int, &cmdtrace),
    ROWV("vexo_funclibs", "-", update_char, &vexo_funclibs, nullptr, 1),
    ROW("table_debug", "", update_int, &table_debug),
    ROW("table_debug_template", "%.dbtab", update_tabdb, &table_debug_template),
    ROW("load_funcdcl", "0", update_int, &load_funcdcl),
    ROW("show_presolve_messages", "1", update_int, &show_presolve_messages),
    ROW("let_domain_check", "0", update_int, &let_domain_check),
    // estuff1
    ROW("OPTIONS_IN", "", update_char, &opt_files[0].value),
    ROW("OPTIONS_INOUT", "", update_char, &opt_files[1].value),
    ROW("OPTIONS_OUT", "", update_char, &opt_files[3].value),
    ROW("gentimes", "0", update_int, &gentimes),
    ROW("single_step", "0", update_int, &single_step),
    ROW("single_step_cmdno", "0", update_real, &single_step_cmdno),
    ROW("times", "0", update_telltimes, &tell_times),
};

#undef ROW
#undef ROWV

}  // namespace vexo
