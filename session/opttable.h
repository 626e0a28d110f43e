// The option table: the built-in options with their defaults, the update
// handlers that turn an option's text into the typed cell the rest of the
// program reads, and the validators that refuse changes in server mode.
// A handler is the only writer of its cell besides the cell's owner.
//
// Cells live with the module that reads them: prompt0, insprompt and
// log_file_flush in frontend/reader.h; log_model in session/loop.h;
// log_data in data/readdata.h; single_step in session/execute.h;
// stdin_offset and warn_exit in session/located.h; lazy, old_param_eq and
// randparam_warn in frontend/paramdcl.h; convert_logical in
// frontend/condcl.h;
// strict_ineq_warn in frontend/conbody.h; Cautions, eexit and eexit_save in
// support/message.h; no_hexfp in support/text.h; output_prec in
// support/numfmt.h; display_width and MD_prec in report/prex.h; allow_NaN
// in eval/elemfunc.h; bad_subscripts in eval/evalerr.h; randseed_ZEF in
// eval/random.h; format_range_errmsg in eval/builtin.h; print_info and
// print_separator in report/print.h; abs_bt, rel_bt and bigM_used in
// presolve/presolve.h.
// The cells below have no reader built yet and live here until they do.
#ifndef VEXO_SESSION_OPTTABLE_H
#define VEXO_SESSION_OPTTABLE_H

#include <cstdint>

#include "eval/builtin.h"
#include "report/print.h"
#include "session/options.h"
#include "session/startup.h"
#include "support/numfmt.h"

namespace vexo {

// Written outside session/, by design: presolve_assoc by presolve
// (presolve/presolve.cpp), which records in the option's two masks the
// rewritings its run used.

// The number formats of the precision options with their rounding options
// (support/numfmt.h).
extern num_format disp_info;     // display_precision, display_round
extern num_format csvdisp_info;  // csvdisplay_precision, csvdisplay_round
extern num_format expand_info;   // expand_precision, expand_round
extern num_format soln_info;     // solution_precision, solution_round

// Text cells (the value part of the option's current text).
extern const char* shell_name;    // SHELL
extern const char* vexo_libpath;  // vexo_libpath
extern const char* tmpdir;        // TMPDIR
extern const char* auxfiles;      // auxfiles
extern const char* shell_env_file;
extern const char* solver;
extern const char* spec_insert;
extern const char* outopt;
extern const char* debug_stub;
extern const char* presolve_logfile;
extern const char* opt_path;  // PATH
extern const char* vexo_funclibs;
extern const char* log_file_opt;          // log_file (the open log:
                                          // session/cmdfiles.h)
extern const char* table_debug_template;  // "" while it is not usable

// The option files: OPTIONS_IN, OPTIONS_INOUT, then (after a pair with a
// null option name that ends the input files) OPTIONS_OUT.
struct opt_file {
  const char* value;   // the option's value (its update_char cell)
  const char* option;  // the option's name
};
extern opt_file opt_files[4];

// Integer cells.
extern int display_1col;
extern int display_set_1col;
extern int display_transpose;
extern int csvdisplay_header;
extern int csvdisplay_restrict;
extern int omit_zero_cols;
extern int omit_zero_rows;
extern int gutter_width;
extern int nl_comments;
extern int linelim;
extern int solveout;      // substout (bit 1: defining-constraint
                          // substitution)
extern int new_solveout;  // linelim or substout as last changed
extern int presolve_opt;  // presolve
extern int reset_initial_guesses;
extern int dual_initial_guesses;
extern int pass_lub1;  // var_bounds
extern int integer_markers;
extern int pl_linearize;
extern int show_stats;
extern int display_max_2d_cols;
extern int objective_precision;
extern int relax_integrality;
extern int show_boundtol;
extern int presolve_warnings;
extern int solver_msg;
extern int nl_permute;
extern int show_write_files;
extern int compl_warn;
extern int send_statuses;
extern int send_suffixes;
extern int shell_ecm[2];  // shell_exitcode_max, solve_exitcode_max
extern int project_fixed_vars;
extern int outarg_warn;
extern int presolve_debug;
extern int infeas_clear;
extern int presolve_assoc[3];  // the value and two masks of presolve
extern int randvar_warn;
extern int randvar_constwarn;
extern int table_errbreak;
extern int badstage;
extern int stagewarn;
extern int shell_exitignore[2];  // shell; the solver's stays 0
extern int mpsfile_numwidth;
extern int old_complementarity_slack;
extern int libmap_32_64;
extern int cmdtrace;
extern int table_debug;
extern int load_funcdcl;
extern int show_presolve_messages;
extern int let_domain_check;
extern int gentimes;
extern int tell_times;  // times

// Real cells.
extern double display_eps;
extern double presolve_eps;
extern double constraint_drop_tol;
extern double presolve_inteps;
extern double presolve_fixeps;
extern double presolve_intepsmax;
extern double presolve_epsmax;
extern double presolve_fixepsmax;
extern double boundtol_max;
extern double pl_bigM;
extern double single_step_cmdno;

// Update handlers.  Numeric ones read the number at the start of the text
// (Strtod); text after it, or no number at all, gives a caution while
// Cautions is nonzero ("treating \"5x\" as \"5\".") and the number read
// (0 when none) is used.  Integers are held to -32767..32767 and truncated.
void update_char(const char* value, void* target);    // const char* cell
void update_int(const char* value, void* target);     // int
void update_real(const char* value, void* target);    // double
void update_posint(const char* value, void* target);  // only n > 0 taken
// display_width: 0 ignored; the printers' disp_width follows; pbuf grows.
void update_dw(const char* value, void* target);
void update_prec(const char* value, void* target);   // 0..100
void update_prec1(const char* value, void* target);  // num_format
void update_prec2(const char* value, void* target);  // -1 when none
void update_fixed(const char* value, void* target);  // rounding
void set_012(const char* value, void* target);       // "1" 1, "2" 2, else 0
void update_nan(const char* value, void* target);    // 1 when > 0
void update_eexit(const char* value, void* target);
void seed_set(const char* value, void* target);
void update_inteps(const char* value, void* target);
void update_bigM(const char* value, void* target);
void update_boundtol(const char* value, void* target);
void update_presolve(const char* value, void* target);
void update_nl_permute(const char* value, void* target);
void update_assoc(const char* value, void* target);
void update_solveout(const char* value, void* target);
void update_vb(const char* value, void* target);
void update_ig(const char* value, void* target);
void update_boundstats(const char* value, void* target);
void update_show_stats(const char* value, void* target);
void update_telltimes(const char* value, void* target);
// log_file: the log switched through the command files (log_open); a
// name that cannot be opened sets the option back to empty.
void update_logfile(const char* value, void* target);
// vexo_include: the input stack's copy of the path (set_inclpath,
// session/include.h); no cell of its own.
void update_inclpath(const char* value, void* target);
void update_tabdb(const char* value, void* target);
// Whether value serves as table_debug_template (empty, or one "%" and no
// white space); update_tabdb's cell points into the value then.
bool tabdb_usable(const char* value);

// Validators; they refuse only in server mode (Serving), with
// "Server mode: %s%s prohibited.": ud_forbid every change, anum_chk a
// value that is not a plain file name.
int ud_forbid(symbol* name, const char* value);
int anum_chk(symbol* name, const char* value);

// One row of the option table.
struct opt_row {
  const char* name;
  const char* dflt;  // null: filled at run time (version, vexo_libpath)
  opt_handler handler;
  void* target;
  opt_validator validator;
  int flag;  // 1: never local
};
// The 121 rows of estuff and then the 7 of estuff1, in table order.
constexpr int N_ESTUFF = 121;
constexpr int N_ESTUFF1 = 7;
extern opt_row estuff[N_ESTUFF + N_ESTUFF1];

}  // namespace vexo

#endif  // VEXO_SESSION_OPTTABLE_H
