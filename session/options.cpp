// The option records: the environment taken over at start, the built-in
// rows start-up and the messages need, and the one routine that sets a
// value.
#include "session/options.h"

#include <unistd.h>

#include <cmath>
#include <cstring>

#include "eval/set.h"
#include "frontend/neighbours.h"
#include "session/batch.h"
#include "session/envfile.h"
#include "session/include.h"
#include "session/located.h"
#include "session/startup.h"
#include "support/block.h"
#include "support/filename.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/strtod.h"
#include "support/symbol.h"
#include "support/text.h"

extern char** environ;

namespace vexo {

set* ev;
env_info** Myenv;
static int myenv_k;  // size class of Myenv
set* local_opts;
static envir initial_env;
static envir* current_env;
envir** cur_envp;
char** env_db;
int env_n;
static int env_k;            // size class of env_db
static char** saved_environ;  // the array the process started with

const char* solver = "";
const char* opt_path = "";
const char* shell_name = "";
const char* tmpdir = "";
const char* vexo_libpath = "";
const char* options_in = "";
const char* options_inout = "";
const char* options_out = "";
int tell_times;
int show_stats;

// ---------------------------------------------------------------------------
// Handlers

// The number at the start of value (0 when none); a caution names what is
// taken when text follows it.
static double num_prefix(const char* value) {
  char* end;
  double x = Strtod(value, &end);
  if (end == value) {
    x = 0;
    if (*value && Cautions)
      error(2, "treating \"%s\" as \"%s\".", value, "0");
  } else if (*end && Cautions) {
    error(2, "treating \"%s\" as \"%.*s\".", value,
          static_cast<int>(end - value), value);
  }
  return x;
}

static int int_value(const char* value) {
  double x = num_prefix(value);
  if (std::isnan(x)) return 0;
  if (x > 32767) return 32767;
  if (x < -32767) return -32767;
  return static_cast<int>(x);
}

void update_char(const char* value, void* target) {
  *static_cast<const char**>(target) = value;
}
void update_int(const char* value, void* target) {
  *static_cast<int*>(target) = int_value(value);
}
void update_real(const char* value, void* target) {
  *static_cast<double*>(target) = num_prefix(value);
}
void set_012(const char* value, void* target) {
  *static_cast<int*>(target) =
      value[0] == '1' ? 1 : value[0] == '2' ? 2 : 0;
}
void update_eexit(const char* value, void*) {
  int n = int_value(value);
  eexit = eexit_save = n < 0 ? -n : n;
  warn_exit = n >= 0;
}
void update_inclpath(const char* value, void*) { set_inclpath(value); }
void update_telltimes(const char* value, void* target) {
  int n = int_value(value);
  *static_cast<int*>(target) = n;
  if (n) time_heading();
}

// Validators: they refuse only in server mode.
static int ud_forbid(symbol* name, const char*) {
  if (!Serving) return 0;
  cantserve("updating option ", name->name);
  return 1;
}
static int anum_chk(symbol* name, const char* value) {
  if (!Serving || !badfname(value)) return 0;
  cantserve("nonalphanumeric option ", name->name);
  return 1;
}

// ---------------------------------------------------------------------------
// The built-in rows

struct opt_row {
  const char* name;
  const char* dflt;  // null: filled at run time
  opt_handler handler;
  void* target;
  opt_validator validator;
  int flag;  // 1: never local
};

static opt_row estuff[] = {
    {"prompt1", "", update_char, &prompt0[0], nullptr, 0},
    {"prompt2", "", update_char, &prompt0[1], nullptr, 0},
    {"dataprompt1", "", update_char, &prompt0[2], nullptr, 0},
    {"dataprompt2", "", update_char, &prompt0[3], nullptr, 0},
    {"cmdprompt1", "", update_char, &prompt0[4], nullptr, 0},
    {"cmdprompt2", "", update_char, &prompt0[5], nullptr, 0},
    {"SHELL", "/bin/sh", update_char, &shell_name, ud_forbid, 0},
    {"version", nullptr, nullptr, nullptr, nullptr, 1},
    {"vexo_libpath", "", update_char, &vexo_libpath, nullptr, 1},
    {"TMPDIR", "/tmp/", update_char, &tmpdir, ud_forbid, 0},
    {"solver", "", update_char, &solver, anum_chk, 0},
    {"Cautions", "1", set_012, &Cautions, nullptr, 0},
    {"eexit", "-10", update_eexit, nullptr, nullptr, 0},
    {"stdin_offset", "0", update_int, &stdin_offset, nullptr, 0},
    {"show_stats", "0", update_int, &show_stats, nullptr, 0},
    {"log_file_flush", "0", update_int, &log_file_flush, nullptr, 0},
    {"insertprompt", "<%d>", update_char, &insprompt, nullptr, 0},
    {"log_data", "0", update_int, &log_data, nullptr, 0},
    {"log_model", "0", update_int, &log_model, nullptr, 0},
    {"no_hexfp", "0", update_int, &no_hexfp, nullptr, 0},
    {"PATH", "", update_char, &opt_path, ud_forbid, 1},
    // estuff1
    {"OPTIONS_IN", "", update_char, &options_in, nullptr, 0},
    {"OPTIONS_INOUT", "", update_char, &options_inout, nullptr, 0},
    {"OPTIONS_OUT", "", update_char, &options_out, nullptr, 0},
    {"single_step", "0", update_int, &single_step, nullptr, 0},
    {"times", "0", update_telltimes, &tell_times, nullptr, 0},
    {"vexo_include", ".", update_inclpath, nullptr, ud_forbid, 0},
};

// The version banner without its newline.
static char version_banner[128];

// ---------------------------------------------------------------------------
// Records

static env_info* info_block;
static int info_left;

// Records come 32 at a time in blocks of 1536 bytes.
static env_info* new_info() {
  static_assert(sizeof(env_info) * 32 == 1536);
  if (!info_left) {
    info_block = static_cast<env_info*>(Malloc(1536));
    memset(info_block, 0, 1536);
    info_left = 32;
  }
  --info_left;
  env_info* e = info_block++;
  e->envindex = -1;
  e->dflt = "";
  return e;
}

// The length of the name at the start of s (characters of nonzero class).
static size_t name_len(const char* s) {
  size_t n = 0;
  while (symchars[static_cast<unsigned char>(s[n])]) ++n;
  return n;
}

// The value part of a NAME=value text.
static const char* env_val(const char* s) {
  s += name_len(s);
  return *s == '=' ? s + 1 : "";
}

static int ordinal_of(symbol* name) {
  symbol* t[1] = {name};
  return static_cast<int>(set_lookup(ev, t));
}

// Adds name to ev with a fresh record; returns its ordinal.
static int add_option(symbol* name, env_info* e) {
  int ord = ev->nmem;
  symbol* t[1] = {name};
  set_addmem(ev, t);
  if (ord >= (1 << myenv_k)) {
    Myenv = static_cast<env_info**>(ext_mblk(
        myenv_k, Myenv, myenv_k + 1, sizeof(env_info*) << myenv_k));
    ++myenv_k;
  }
  Myenv[ord] = e;
  return ord;
}

// Stores s (a counted reference handed over) at ordinal ord of *slot,
// copying a shared envir first and growing it as needed; releases what the
// slot held.
static void env_adj(envir** slot, int ord, cstr* s) {
  envir* v = *slot;
  if (v->ref > 1) {
    envir* c = static_cast<envir*>(Malloc(sizeof(envir)));
    c->k = v->k;
    c->n = v->n;
    c->ref = 1;
    c->a = static_cast<cstr**>(new_mblk(c->k, 1));
    for (int i = 0; i < v->n; ++i) {
      c->a[i] = v->a[i];
      if (c->a[i]) ++c->a[i]->refcnt;
    }
    --v->ref;
    if (slot == cur_envp) current_env = c;
    *slot = v = c;
  }
  while (ord >= (1 << v->k)) {
    cstr** a = static_cast<cstr**>(new_mblk(v->k + 1, 1));
    memcpy(a, v->a, sizeof(cstr*) << v->k);
    del_mblk(v->k, v->a);
    v->a = a;
    ++v->k;
  }
  while (v->n <= ord) v->a[v->n++] = nullptr;
  zap_cstr(&v->a[ord]);
  v->a[ord] = s;
}

// Gives the record a slot at the end of env_db.
static void env_db_append(env_info* e) {
  if (env_n + 1 >= (1 << env_k)) {
    env_db = static_cast<char**>(
        ext_mblk(env_k, env_db, env_k + 1, sizeof(char*) << env_k));
    ++env_k;
    environ = env_db;
  }
  e->envindex = env_n;
  env_db[env_n++] = e->text->text();
  env_db[env_n] = nullptr;
}

static cstr* name_value(const char* name, const char* value) {
  return cstr_join(name, '=', value);
}

env_info* option_set(symbol* name, cstr* value, envir** slot) {
  int ord = ordinal_of(name);
  env_info* e;
  if (ord < 0) {
    e = new_info();
    e->listed = 1;
    ord = add_option(name, e);
  } else {
    e = Myenv[ord];
  }
  if (slot == cur_envp && e->validator &&
      e->validator(name, value->text())) {
    zap_cstr(&value);
    return e;
  }
  cstr* s = name_value(name->name, value->text());
  zap_cstr(&value);
  envir* v = *slot;
  if (ord < v->n && v->a[ord] && strcmp(v->a[ord]->text(), s->text()) == 0) {
    zap_cstr(&s);
    if (slot != cur_envp) return nullptr;
  } else {
    env_adj(slot, ord, s);
    if (slot != cur_envp) return nullptr;
    ++s->refcnt;
    zap_cstr(&e->text);
    e->text = s;
    if (e->envindex >= 0)
      env_db[e->envindex] = s->text();
    else
      env_db_append(e);
  }
  if (e->handler) e->handler(env_val(e->text->text()), e->target);
  return e;
}

env_info* setoption(const char* name, const char* value) {
  return option_set(Symbol(name, 1), new_cstring(value), cur_envp);
}

env_info* env_lookup(const char* name) {
  if (!ev) return nullptr;
  symbol* s = Symbol0(name);
  if (!s) return nullptr;
  int ord = ordinal_of(s);
  return ord < 0 ? nullptr : Myenv[ord];
}

const char* evalue(const char* name) {
  env_info* e = env_lookup(name);
  if (!e) return nullptr;
  return e->text ? env_val(e->text->text()) : "";
}

void reset_environ() {
  if (saved_environ) {
    environ = saved_environ;
    saved_environ = nullptr;
  }
}

// The session is interactive in block mode, when -vi asks for it (bit 2)
// or, unless -vi forbids it (bit 1), when standard input and standard
// error are terminals; only then do the prompts get their texts.  -vi1
// sets interactive itself but forbids the rest: interactive without
// prompts.
static bool decide_interactive() {
  bool tty = isatty(0) && isatty(2);
  if (blockmode || (isatty_ZEF & 2) || (!(isatty_ZEF & 1) && tty)) {
    interactive = 1;
    return true;
  }
  return false;
}

void envinit() {
  // The records come from recorded memory, which a reset frees: no block
  // of an earlier table is carved on.
  info_block = nullptr;
  info_left = 0;
  ev = set_enum(new_enum(), 1);
  local_opts = set_enum(new_enum(), 1);
  myenv_k = 5;
  Myenv = static_cast<env_info**>(new_mblk(myenv_k, 1));
  initial_env.k = 4;
  initial_env.n = 0;
  initial_env.ref = 1;
  initial_env.a = static_cast<cstr**>(new_mblk(initial_env.k, 1));
  current_env = &initial_env;
  cur_envp = &current_env;

  saved_environ = environ;
  int n = 0;
  while (environ && environ[n]) ++n;
  env_k = htcl(sizeof(char*) * (n + 1)) ;
  if ((1 << env_k) < n + 1) ++env_k;
  env_db = static_cast<char**>(new_mblk(env_k, 1));
  env_n = 0;
  for (int i = 0; i < n; ++i) {
    const char* entry = saved_environ[i];
    size_t len = name_len(entry);
    if (!len) continue;
    char* nm = static_cast<char*>(Malloc(len + 1));
    memcpy(nm, entry, len);
    nm[len] = 0;
    symbol* s = Symbol(nm, 1);
    if (ordinal_of(s) >= 0) continue;  // the first occurrence wins
    env_info* e = new_info();
    e->text = new_cstring(entry);
    e->dflt = env_val(e->text->text());
    int ord = add_option(s, e);
    ++e->text->refcnt;
    env_adj(cur_envp, ord, e->text);
    env_db_append(e);
  }
  env_db[env_n] = nullptr;
  environ = env_db;

  bool prompting = decide_interactive();
  static const char* const prompt_dflt[6] = {"vexo: ",      "vexo? ",
                                             "vexo data: ", "vexo data? ",
                                             "%s vexo: ",   "%s vexo? "};
  for (int i = 0; i < 6; ++i) estuff[i].dflt = prompting ? prompt_dflt[i] : "";
  size_t vl = strlen(version_line);
  memcpy(version_banner, version_line, vl - 1);
  version_banner[vl - 1] = 0;

  for (opt_row& r : estuff) {
    const char* dflt = r.dflt;
    if (!dflt) dflt = strcmp(r.name, "version") == 0 ? version_banner : "";
    symbol* s = Symbol(r.name, 0);
    int ord = ordinal_of(s);
    env_info* e;
    const char* value;
    if (ord >= 0) {
      e = Myenv[ord];
      e->listed = 1;
      value = env_val(e->text->text());
    } else {
      if (!r.flag) {
        symbol* t[1] = {s};
        set_addmem(local_opts, t);
      }
      e = option_set(s, new_cstring(dflt), cur_envp);
      e->dflt = dflt;
      value = env_val(e->text->text());
    }
    e->handler = r.handler;
    e->target = r.target;
    e->validator = r.validator;
    if (e->handler) e->handler(value, e->target);
  }
}

}  // namespace vexo
