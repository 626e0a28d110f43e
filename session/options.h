// The option records.  Options and the process environment are one name
// space: at start every variable of the environment becomes an option and
// the built-in options of the option table (session/opttable.h) are added.
// The program replaces the process environment array with its own, which
// always holds the current NAME=value text of every defined option, and
// puts the original back when main returns.  Values are kept per
// environment (envir, shared and copied on write); the current one is
// *cur_envp.  option_set is the one way a value changes; children get the
// exported subset (gen_ex_env, handed over by child_env, session/child.h).
// The lookups by name are evalue, evalue_cs and Get_env.
#ifndef VEXO_SESSION_OPTIONS_H
#define VEXO_SESSION_OPTIONS_H

#include <cstdint>
#include <type_traits>

namespace vexo {

struct cstr;
struct symbol;
struct set;
struct setdcl;

using opt_handler = void (*)(const char* value, void* target);
using opt_validator = int (*)(symbol* name, const char* value);

// One record per option name.
struct env_info {
  cstr* text;        // NAME=value, or null while the option is undefined
  const char* dflt;  // default value (without the name)
  opt_handler handler;
  void* target;  // the typed cell handed to handler
  opt_validator validator;
  int32_t envindex;  // slot in env_db, -1 when none
  int32_t listed;    // 1: entered through the table or the option command
};

// The values of one environment, indexed by option ordinal.
struct envir {
  cstr** a;     // NAME=value texts, null for undefined
  uint32_t k;   // size class of a
  int32_t n;    // slots in use
  int32_t ref;  // holders
};
static_assert(std::is_trivially_destructible_v<env_info> &&
                  std::is_trivially_destructible_v<envir>,
              "option records are plain pool records");

// Option names in creation order; an option's ordinal indexes Myenv and
// every envir.
extern set* ev;
extern env_info** Myenv;
// _LOCAL_OPTIONS and its member set: names of the built-in options that are
// not exported to children (rows with flag 0 that the process environment
// did not define).
extern setdcl* Sd_local_opts;
extern set* local_opts;
// The slot holding the current environment's values.
extern envir** cur_envp;
// The program's environment array: env_n strings and a null, installed as
// the process's environ.
extern char** env_db;
extern int env_n;
// The exported environment of children, or null until gen_ex_env builds it;
// every change of a value discards it.
extern char** ex_env;

// Start-up and reset, in the start-up list before the keyword set-up
// counts the system declarations: an empty _LOCAL_OPTIONS and the
// environments Current and Initial (init_environs), system declarations.
void options_reset();
// Start-up: the options of the process environment (first occurrence of a
// name wins; entries that do not begin with a name character are dropped),
// into the environment Initial (options_reset made it), then the built-in
// rows, each taking the environment's value over its default, with its
// handler called once.  Installs env_db as environ.
void envinit();
// Enrols one option as a table row is enrolled: the environment's value
// when it has one (the option becomes listed), else def, set through
// option_set (local unless flag is 1); handler and validator attached and
// the handler called once with the value taken.
env_info* env_init(const char* name, const char* def, opt_handler handler,
                   void* target, opt_validator validator, int flag);
// Sets option name to value in the environment slot (cur_envp for the
// current one): the validator may refuse (the record comes back
// unchanged); otherwise stores NAME=value and calls the handler, also when
// the text did not change.  Releases value.  Returns the record, or null
// when slot is not the current environment.
env_info* option_set(symbol* name, cstr* value, envir** slot);
// option_set on the current environment with a copy of value.
env_info* setoption(const char* name, const char* value);
// Attaches handler and target to option name, making an undefined option
// record when the name is new (no slot, not listed); the handler is not
// called.  Returns the address of the record's handler field.
opt_handler* env_enroll(symbol* name, opt_handler handler, void* target);
// When name is an option, its default becomes a private copy of s's text,
// which is returned; otherwise null.
const char* env_default(const char* name, cstr* s);
// Makes option name undefined: its env_db slot goes (the last string moves
// in), it is no longer listed, its handler sees the empty text.
void envdel(symbol* name);
// The record of option name, or null.
env_info* env_lookup(const char* name);
// The ordinal of option s in ev, or -1.
int env_ordinal(symbol* s);
// The name of the option with ordinal ord.
symbol* env_name(int ord);
// The value part of a NAME=value text.
const char* env_val(const char* s);
// Stores s (a counted reference handed over) at ordinal ord of *slot,
// copying a shared envir first (Current follows a copy of the current
// one) and growing it as needed; releases what the slot held; discards
// ex_env.
void env_adj(envir** slot, int ord, cstr* s);
// Makes s (counted, one reference taken here) the text of option e in
// env_db, giving e a slot when it has none.
void envadd(env_info* e, cstr* s);
// Takes option e out of env_db (the last string moves into its slot); e
// loses its slot and its listing.
void env_db_remove(env_info* e);
// A new cstr "name=value".
cstr* name_value(const char* name, const char* value);
// The ordinals of all options sorted by their names (re-sorted only when
// the number of options changed since the last sort); *n receives the
// count.  Valid until the next option is created.
const int* sorted_options(int* n);

// Rebuilds ex_env: the NAME=value texts of the defined options that are
// not local, sorted by name, null-ended; returns it.
char** gen_ex_env();

// The lookups of option values by name.
// The value of option name ("" when undefined or without value), or null
// when no such option exists.
const char* evalue(const char* name);
// For symbol s: the option's NAME=value text with *value its value part,
// or null (and *value null) when s is no option or undefined.
cstr* evalue_cs(symbol* s, const char** value);
// Without a name: the exported environment (built when absent).  With a
// name: its value as evalue gives it, but null when the option does not
// exist or is undefined.
char** Get_env();
const char* Get_env(const char* name);

// Before a reset frees recorded memory (stage 0): the options with a slot
// are saved outside it, with their handlers, targets and defaults, and the
// local names.  After start-up has been rerun (stage 1): they are
// restored into fresh records in the same env_db slots, Initial and Current
// holding them; handlers are not called.  Validators are attached again
// from the option table.
void env_reset(int stage);
// Puts back the environment array the process started with.
void reset_environ();

// No option table yet (envinit builds it at start-up), no option files
// named.  Kept by `reset`, which saves the table and restores it into
// fresh records (env_reset).
void options_start();
}  // namespace vexo

#endif  // VEXO_SESSION_OPTIONS_H
