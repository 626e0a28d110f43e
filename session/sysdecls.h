// The system declarations that start-up makes (and a reset makes again).
// ppinit declares (sysdecls): the numeric params Infinity, _pid, _version
// and NaN with their values as default expressions; the params of the
// interpreter (_cmdno, solve_result_num, the presolve and solution
// numbers, ...) and the 22 time params, each with a scalar value cell the
// interpreter reads and writes directly; the symbolic params
// solve_message, solve_result, _cd, ...; the 15 system sets that list the
// declarations of each class (_VARS, _CONS, ...) or that the interpreter
// fills (_ENVS, _SUFFIXES, _TABLES, _SYSTEM_SUFFIXES); and the set
// _file_prefixmap of file-name prefix pairs.  The keyword set-up
// (parse_init, frontend/keywords.h) declares in its places: the system
// suffixes derstage, relax, sstatus and stage (sysdecl_suffixes); the
// current and the initial problem (sysdecl_problems, instance/problem.h);
// the system sets
// "$display", _LIBS, _AVAILFUNCS, _AVAILFUNC2, _SFUNCS and _HANDLERS with
// the params _handler_desc and _handler_lib (sysdecl_sets).
#ifndef VEXO_SESSION_SYSDECLS_H
#define VEXO_SESSION_SYSDECLS_H

#include <cstddef>

namespace vexo {

struct param;
struct setdcl;
struct set;
struct cstr;
struct suffix;
struct symbol;
struct xnode;

// The interface date, the value of _version.
constexpr double a_version = 20240404;

// The declarations of _Solution_Count and _Initial_Guess_Count, against
// which suffixes count solutions and initial guesses (frontend/suffix.h).
extern xnode* Solution_Count;
extern xnode* Ig_Count;
// Params with a scalar value cell (names in the comments).
extern param* Cmdno;             // _cmdno
extern param* solve_result_num;  // solve_result_num
extern param* solve_exitcode;    // solve_exitcode
extern param* shell_exitcode;    // shell_exitcode
extern param* Pd_presolve_req;   // _presolve_req
extern param* Pd_presolve_sug;   // _presolve_sug
extern param* Pd_ps_epsmax;      // _presolve_eps_U
extern param* Pd_ps_epsmin;      // _presolve_eps_L
extern param* Pd_ps_fixepsmax;   // _presolve_fixeps_U
extern param* Pd_ps_fixepsmin;   // _presolve_fixeps_L
extern param* Pd_ps_intepsmax;   // _presolve_inteps_U
extern param* Pd_ps_intepsmin;   // _presolve_inteps_L
extern param* dual_solno;        // _dual_solno
extern param* last_solno;        // _last_solno
extern param* primal_solno;      // _primal_solno
extern param* status_solno;      // _status_solno
extern param* backslash_map;     // _backslash_map
extern param* filename_case;     // _filename_case
extern param* check_failures;    // _check_failures
extern xnode* Pd_trans_state;    // _trans_state (written by set_trans_state)

// The time params in the order the timing code indexes them.
enum : int {
  T_SOLVE,
  T_SOLVE_SYSTEM,
  T_SOLVE_USER,
  T_SOLVE_ELAPSED,
  T_TOTAL_SOLVE,
  T_TOTAL_SOLVE_SYSTEM,
  T_TOTAL_SOLVE_USER,
  T_TOTAL_SOLVE_ELAPSED,
  T_SHELL,
  T_SHELL_SYSTEM,
  T_SHELL_USER,
  T_SHELL_ELAPSED,
  T_TOTAL_SHELL,
  T_TOTAL_SHELL_SYSTEM,
  T_TOTAL_SHELL_USER,
  T_TOTAL_SHELL_ELAPSED,
  T_VEXO,  // _vexo_time .. _session_time read the clock at every use
  T_VEXO_SYSTEM,
  T_VEXO_USER,
  T_VEXO_ELAPSED,
  T_SESSION,
  T_SESSION_MAX,  // _session_maxtime: the -x limit
  N_TIME_PARAMS
};
extern param* Time_params[N_TIME_PARAMS];
// Once the built-in functions exist: gives _vexo_time a call of _vexotime
// as its value (which also writes the cells of _vexo_system_time ..
// _session_time) and makes those depend on it, so the clock is read once
// per command, and only by commands that refer to them.
void time_params_bind();

// Symbolic params with a one-member value block holding a string.
extern param* presolve_msgs;  // _presolve_messages
extern param* solve_message;  // solve_message
extern param* solve_result;   // solve_result
extern param* Curdir;         // _cd
extern param* table_errmsg;   // _table_errmsg

// The system sets by class code 0..16 (the codes without a set are null),
// and the value sets of the four that the interpreter fills (codes 13 to
// 16: _ENVS, _SUFFIXES, _TABLES, _SYSTEM_SUFFIXES).
constexpr int N_SYSSET_CODES = 17;
extern setdcl* Sd_sysset[N_SYSSET_CODES];
extern set* sysenum_sets[4];
extern setdcl* Sd_file_prefixmap;

// The system suffixes and the names kept of them.
extern suffix* derstage_suf;
extern suffix* relax_suf;
extern suffix* sstatus_suf;
extern suffix* stage_suf;
extern symbol* Sstatus;
extern symbol* Stage;

// The system sets and params of the keyword set-up.
extern setdcl* Sd_display;  // "$display", in the order of Display
extern setdcl* Sd_LIBS;     // names of the loaded libraries
extern setdcl* Sd_AVAILFUNCS;
extern setdcl* Sd_AVAILFUNC2;
extern setdcl* Sd_SFUNCS;
extern setdcl* Sd_HANDLERS;  // the table handlers
extern param* Pd_handler_desc;
extern param* Pd_handler_lib;
// The index set of the table handlers (the value set of _HANDLERS).
extern set* handleindx;

// The scalar value cell of a param made here (one double), or null for
// another param.  The interpreter reads and writes the values through it.
double* sysparam_cell(param* p);
// The string of a symbolic param made by sparam.
cstr* sparam_value(param* p);
// Sets the value of a param with a scalar cell, or of a symbolic param made
// by sparam; the param's data stamp becomes nextgenlev only when its value
// changes (the translation state is not touched).
void set_sysparam(param* p, double v);
void set_sparam(param* p, const char* value);

// A numeric param with a default expression holding v, marked system and
// finished.  Start-up only.
param* sysparam(const char* name, double v);
// A set declaration without a generator: an empty enumerated set of
// arity dimen, marked system, that its owner fills.  Start-up only.
setdcl* plain_set(const char* name, int dimen);
// A symbolic param whose one-member value block holds value (its count
// raised), stored in *global.  Start-up only.
param* sparam(const char* name, const char* value, param** global);

// Declares the params and sets of ppinit (start-up, and again after a
// reset).
void sysdecls_reset();
// Two steps of the keyword set-up, as parse_init runs them: declare the
// system suffixes (into dot_names, which parse_init has made), returning
// how many; declare the system sets of the keyword set-up.
int sysdecl_suffixes();
void sysdecl_sets();

}  // namespace vexo

#endif  // VEXO_SESSION_SYSDECLS_H
