// The option records.  Options and the process environment are one name
// space: at start every variable of the environment becomes an option and
// the built-in options are added.  The program replaces the process
// environment array with its own, which always holds the current
// NAME=value text of every defined option, and puts the original back when
// main returns.  A built-in option has a default text and an update
// handler that turns the text into a typed cell read by the rest of the
// program.  This module holds the options that start-up, the session loop
// and the messages read; the option command builds on option_set.
#ifndef VEXO_SESSION_OPTIONS_H
#define VEXO_SESSION_OPTIONS_H

#include <cstdint>
#include <type_traits>

namespace vexo {

struct cstr;
struct symbol;
struct set;

using opt_handler = void (*)(const char* value, void* target);
using opt_validator = int (*)(symbol* name, const char* value);

// One record per option name.
struct env_info {
  cstr* text;         // NAME=value, or null while the option is undefined
  const char* dflt;   // default value (without the name)
  opt_handler handler;
  void* target;       // the typed cell handed to handler
  opt_validator validator;
  int32_t envindex;   // slot in env_db, -1 when none
  int32_t listed;     // 1: entered through the table or the option command
};

// The values of one environment, indexed by option ordinal.
struct envir {
  cstr** a;      // NAME=value texts, null for undefined
  uint32_t k;    // size class of a
  int32_t n;     // slots in use
  int32_t ref;   // holders
};
static_assert(std::is_trivially_destructible_v<env_info> &&
                  std::is_trivially_destructible_v<envir>,
              "option records are plain pool records");

// Option names in creation order; an option's ordinal indexes Myenv and
// every envir.
extern set* ev;
extern env_info** Myenv;
// Names of the built-in options that are not exported to children (rows
// with flag 0 that the process environment did not define).
extern set* local_opts;
// The slot holding the current environment's values.
extern envir** cur_envp;
// The program's environment array: env_n strings and a null, installed as
// the process's environ.
extern char** env_db;
extern int env_n;

// Typed cells of the options held here (the rest of the program reads
// them; only the handlers write them).  Cautions, eexit, warn_exit,
// stdin_offset, single_step, log_model, log_data, log_file_flush,
// prompt0, insprompt and no_hexfp live in the lower modules that read them.
extern const char* solver;    // option solver
extern const char* opt_path;  // option PATH
extern const char* shell_name;  // option SHELL
extern const char* tmpdir;    // option TMPDIR
extern const char* vexo_libpath;  // option vexo_libpath
extern const char* options_in;    // option OPTIONS_IN
extern const char* options_inout;  // option OPTIONS_INOUT
extern const char* options_out;   // option OPTIONS_OUT
extern int tell_times;   // option times
extern int show_stats;   // option show_stats

// Update handlers of this module's options.
void update_char(const char* value, void* target);  // const char* cell
void update_int(const char* value, void* target);   // int, -32767..32767
void update_real(const char* value, void* target);  // double
void set_012(const char* value, void* target);      // "1" 1, "2" 2, else 0
void update_eexit(const char* value, void* target);  // eexit and warn_exit
// vexo_include: inclpath and pathmax (session/include.h).
void update_inclpath(const char* value, void* target);
void update_telltimes(const char* value, void* target);

// Start-up: the options of the process environment (first occurrence of a
// name wins; entries that do not begin with a name character are dropped),
// then the built-in rows, each taking the environment's value over its
// default, with its handler called once.  Installs env_db as environ.
void envinit();
// Sets option name to value in the environment slot (cur_envp for the
// current one): the validator may refuse (the record comes back
// unchanged); otherwise stores NAME=value and calls the handler, also when
// the text did not change.  Releases value.  Returns the record, or null
// when slot is not the current environment.
env_info* option_set(symbol* name, cstr* value, envir** slot);
// option_set on the current environment with a copy of value.
env_info* setoption(const char* name, const char* value);
// The record of option name, or null.
env_info* env_lookup(const char* name);
// The value of option name ("" when undefined), or null when no such
// option exists.
const char* evalue(const char* name);
// Puts back the environment array the process started with.
void reset_environ();

}  // namespace vexo

#endif  // VEXO_SESSION_OPTIONS_H
