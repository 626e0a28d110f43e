// The option records: the environment taken over at start, the built-in
// rows, the one routine that sets a value, the exported environment, and
// the saving of the options across a reset.
#include "session/options.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "eval/set.h"
#include "frontend/paramdcl.h"
#include "session/envfile.h"
#include "session/environs.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "support/block.h"
#include "support/pool.h"
#include "support/sort.h"
#include "support/symbol.h"
#include "support/text.h"

extern char** environ;

namespace vexo {

set* ev;
env_info** Myenv;
setdcl* Sd_local_opts;
set* local_opts;
envir** cur_envp;
char** env_db;
int env_n;
char** ex_env;

static int myenv_k;           // size class of Myenv and Mynames
static symbol** Mynames;      // the name of each ordinal
static int env_k;             // size class of env_db
static int ex_env_k;          // size class of ex_env
static char** saved_environ;  // the array the process started with

// Ordinals sorted by name, valid while the option count is Lastps.
static int* sorted;
static int sorted_k;
static int Lastps;

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

const char* env_val(const char* s) {
  s += name_len(s);
  return *s == '=' ? s + 1 : "";
}

int env_ordinal(symbol* name) {
  if (!ev) return -1;
  symbol* t[1] = {name};
  return static_cast<int>(set_lookup(ev, t));
}

symbol* env_name(int ord) { return Mynames[ord]; }

// Adds name to ev with record e; returns its ordinal.
static int add_option(symbol* name, env_info* e) {
  int ord = ev->nmem;
  symbol* t[1] = {name};
  set_addmem(ev, t);
  if (ord >= (1 << myenv_k)) {
    size_t n = sizeof(void*) << myenv_k;
    Myenv = static_cast<env_info**>(ext_mblk(myenv_k, Myenv, myenv_k + 1, n));
    Mynames = static_cast<symbol**>(ext_mblk(myenv_k, Mynames, myenv_k + 1, n));
    ++myenv_k;
  }
  Myenv[ord] = e;
  Mynames[ord] = name;
  return ord;
}

static void discard_ex_env() {
  if (ex_env) {
    del_mblk(ex_env_k, ex_env);
    ex_env = nullptr;
  }
}

void env_adj(envir** slot, int ord, cstr* s) {
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
    if (slot == cur_envp) *Current_slot = c;
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
  discard_ex_env();
}

// Gives the record a slot at the end of env_db for its text.
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

void envadd(env_info* e, cstr* s) {
  ++s->refcnt;
  zap_cstr(&e->text);
  e->text = s;
  if (e->envindex >= 0)
    env_db[e->envindex] = s->text();
  else
    env_db_append(e);
  discard_ex_env();
}

// The record whose env_db slot is idx.
static env_info* holder_of(int idx) {
  for (int i = 0; i < ev->nmem; ++i)
    if (Myenv[i]->envindex == idx) return Myenv[i];
  return nullptr;
}

void env_db_remove(env_info* e) {
  int idx = e->envindex;
  if (idx < 0) return;
  int last = env_n - 1;
  if (idx != last) {
    if (env_info* m = holder_of(last)) m->envindex = idx;
    env_db[idx] = env_db[last];
  }
  env_db[last] = nullptr;
  env_n = last;
  e->envindex = -1;
  e->listed = 0;
  Lastps = 0;
  discard_ex_env();
}

cstr* name_value(const char* name, const char* value) {
  return cstr_join(name, '=', value);
}

env_info* option_set(symbol* name, cstr* value, envir** slot) {
  int ord = env_ordinal(name);
  env_info* e;
  if (ord < 0) {
    e = new_info();
    e->listed = 1;
    ord = add_option(name, e);
  } else {
    e = Myenv[ord];
  }
  if (slot == cur_envp && e->validator && e->validator(name, value->text())) {
    zap_cstr(&value);
    return e;
  }
  cstr* s = name_value(name->name, value->text());
  zap_cstr(&value);
  envir* v = *slot;
  if (ord < v->n && v->a[ord] && strcmp(v->a[ord]->text(), s->text()) == 0) {
    zap_cstr(&s);
    if (slot != cur_envp) return nullptr;
    // The environment holds this text already; the record may not (an
    // environment that shares Current's values).
    if (e->text != v->a[ord]) envadd(e, v->a[ord]);
  } else {
    env_adj(slot, ord, s);
    if (slot != cur_envp) return nullptr;
    envadd(e, s);
  }
  if (e->handler) e->handler(env_val(e->text->text()), e->target);
  return e;
}

env_info* setoption(const char* name, const char* value) {
  return option_set(Symbol(name, 1), new_cstring(value), cur_envp);
}

opt_handler* env_enroll(symbol* name, opt_handler handler, void* target) {
  int ord = env_ordinal(name);
  env_info* e;
  if (ord < 0) {
    e = new_info();
    add_option(name, e);
  } else {
    e = Myenv[ord];
  }
  e->handler = handler;
  e->target = target;
  return &e->handler;
}

const char* env_default(const char* name, cstr* s) {
  env_info* e = env_lookup(name);
  if (!e) return nullptr;
  e->dflt = tostring(s->text());
  return e->dflt;
}

void envdel(symbol* name) {
  int ord = env_ordinal(name);
  if (ord < 0) return;
  env_info* e = Myenv[ord];
  zap_cstr(&e->text);
  env_db_remove(e);
  if (e->handler) e->handler("", e->target);
  discard_ex_env();
  envir* v = *cur_envp;
  if (ord < v->n && v->a[ord]) env_adj(cur_envp, ord, nullptr);
}

env_info* env_lookup(const char* name) {
  if (!ev) return nullptr;
  symbol* s = Symbol0(name);
  if (!s) return nullptr;
  int ord = env_ordinal(s);
  return ord < 0 ? nullptr : Myenv[ord];
}

// ---------------------------------------------------------------------------
// Sorted order and lookups

static int by_name(const void* a, const void* b) {
  return strcmp(Mynames[*static_cast<const int*>(a)]->name,
                Mynames[*static_cast<const int*>(b)]->name);
}

const int* sorted_options(int* n) {
  int count = ev->nmem;
  if (count != Lastps || !sorted) {
    int k = htcl(sizeof(int) * (count + 1));
    if (sorted) del_mblk(sorted_k, sorted);
    sorted = static_cast<int*>(new_mblk(k));
    sorted_k = k;
    for (int i = 0; i < count; ++i) sorted[i] = i;
    Qsort(sorted, count, sizeof(int), by_name);
    Lastps = count;
  }
  *n = count;
  return sorted;
}

const char* evalue(const char* name) {
  env_info* e = env_lookup(name);
  if (!e) return nullptr;
  return e->text ? env_val(e->text->text()) : "";
}

cstr* evalue_cs(symbol* s, const char** value) {
  int ord = env_ordinal(s);
  if (ord < 0 || !Myenv[ord]->text) {
    *value = nullptr;
    return nullptr;
  }
  cstr* t = Myenv[ord]->text;
  *value = env_val(t->text());
  return t;
}

char** Get_env() { return ex_env ? ex_env : gen_ex_env(); }

const char* Get_env(const char* name) {
  env_info* e = env_lookup(name);
  if (!e || !e->text) return nullptr;
  return env_val(e->text->text());
}

char** gen_ex_env() {
  discard_ex_env();
  int n;
  const int* ord = sorted_options(&n);
  ex_env_k = htcl(sizeof(char*) * (n + 1));
  ex_env = static_cast<char**>(new_mblk(ex_env_k));
  int m = 0;
  for (int i = 0; i < n; ++i) {
    env_info* e = Myenv[ord[i]];
    if (e->envindex < 0 || !e->text) continue;
    symbol* t[1] = {Mynames[ord[i]]};
    if (local_opts && set_lookup(local_opts, t) >= 0) continue;
    ex_env[m++] = e->text->text();
  }
  ex_env[m] = nullptr;
  return ex_env;
}

void reset_environ() {
  if (saved_environ) {
    environ = saved_environ;
    saved_environ = nullptr;
  }
}

// ---------------------------------------------------------------------------
// Start-up

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

void options_reset() {
  Sd_local_opts = plain_set("_LOCAL_OPTIONS", 1);
  local_opts = Sd_local_opts->value;
  init_environs();
}

// ev, Myenv and an env_db for n strings.
static void new_tables(int n) {
  ev = set_enum(new_enum(), 1);
  myenv_k = 5;
  Myenv = static_cast<env_info**>(new_mblk(myenv_k, 1));
  Mynames = static_cast<symbol**>(new_mblk(myenv_k, 1));
  info_left = 0;
  sorted = nullptr;
  Lastps = 0;
  ex_env = nullptr;
  env_k = htcl(sizeof(char*) * (n + 1));
  env_db = static_cast<char**>(new_mblk(env_k, 1));
  env_n = 0;
  env_db[0] = nullptr;
  environ = env_db;
}

env_info* env_init(const char* name, const char* def, opt_handler handler,
                   void* target, opt_validator validator, int flag) {
  symbol* s = Symbol(name, 0);
  int ord = env_ordinal(s);
  env_info* e;
  if (ord >= 0 && Myenv[ord]->text) {
    e = Myenv[ord];
    e->listed = 1;
  } else {
    if (!flag) {
      symbol* t[1] = {s};
      set_addmem(local_opts, t);
    }
    e = option_set(s, new_cstring(def), cur_envp);
    e->listed = 1;
    e->dflt = def;
  }
  e->handler = handler;
  e->target = target;
  e->validator = validator;
  if (handler) handler(env_val(e->text->text()), target);
  return e;
}

void envinit() {
  saved_environ = environ;
  int n = 0;
  while (saved_environ && saved_environ[n]) ++n;
  new_tables(n);
  for (int i = 0; i < n; ++i) {
    const char* entry = saved_environ[i];
    size_t len = name_len(entry);
    if (!len) continue;
    char* nm = static_cast<char*>(Malloc(len + 1));
    memcpy(nm, entry, len);
    nm[len] = 0;
    symbol* s = Symbol(nm, 0);
    if (env_ordinal(s) >= 0) continue;  // the first occurrence wins
    env_info* e = new_info();
    cstr* t = new_cstring(entry);
    // The default is a copy: the option's text goes when it changes.
    e->dflt = tostring(env_val(entry));
    int ord = add_option(s, e);
    env_adj(cur_envp, ord, t);
    envadd(e, t);
  }

  bool prompting = decide_interactive();
  static const char* const prompt_dflt[6] = {"vexo: ",      "vexo? ",
                                             "vexo data: ", "vexo data? ",
                                             "%s vexo: ",   "%s vexo? "};
  for (int i = 0; i < 6; ++i) estuff[i].dflt = prompting ? prompt_dflt[i] : "";
  size_t vl = strlen(version_line);
  memcpy(version_banner, version_line, vl - 1);
  version_banner[vl - 1] = 0;

  for (const opt_row& r : estuff) {
    const char* dflt = r.dflt;
    if (!dflt) dflt = strcmp(r.name, "version") == 0 ? version_banner : "";
    env_init(r.name, dflt, r.handler, r.target, r.validator, r.flag);
  }
  const char* f = Get_env("VEXOFUNC");
  env_init("vexofunc0", f ? f : "", nullptr, nullptr, nullptr, 1);
}

// ---------------------------------------------------------------------------
// Reset

// What survives a reset: one block from the plain allocator holding a
// record per option with a slot (texts copied after the records), then the
// local names.
struct saved_opt {
  const char* text;  // NAME=value
  const char* dflt;
  opt_handler handler;
  void* target;
  opt_validator validator;
  int32_t envindex;
  int32_t listed;
};
static char* saved_block;
static int saved_n;        // saved options
static int saved_locals;   // local names after the texts
static char* saved_names;  // first local name

// Copies s at *p and advances it; returns the copy.
static const char* keep_text(char** p, const char* s) {
  size_t n = strlen(s) + 1;
  memcpy(*p, s, n);
  const char* r = *p;
  *p += n;
  return r;
}

static void env_save() {
  free(saved_block);
  size_t size = 0;
  saved_n = 0;
  for (int i = 0; i < ev->nmem; ++i) {
    env_info* e = Myenv[i];
    if (e->envindex < 0 || !e->text) continue;
    ++saved_n;
    size += sizeof(saved_opt) + strlen(e->text->text()) + strlen(e->dflt) + 2;
  }
  saved_locals = local_opts ? local_opts->nmem : 0;
  if (saved_locals > 0)
    for (setmem* m = local_opts->first; m; m = m->next)
      size += strlen(m->tup()[0]->name) + 1;
  saved_block = static_cast<char*>(mymalloc_ZEF(size + 1));
  saved_opt* rec = reinterpret_cast<saved_opt*>(saved_block);
  char* p = saved_block + sizeof(saved_opt) * saved_n;
  for (int i = 0; i < ev->nmem; ++i) {
    env_info* e = Myenv[i];
    if (e->envindex < 0 || !e->text) continue;
    rec->text = keep_text(&p, e->text->text());
    rec->dflt = keep_text(&p, e->dflt);
    rec->handler = e->handler;
    rec->target = e->target;
    rec->validator = e->validator;
    rec->envindex = e->envindex;
    rec->listed = e->listed;
    ++rec;
  }
  saved_names = p;
  if (saved_locals > 0)
    for (setmem* m = local_opts->first; m; m = m->next)
      keep_text(&p, m->tup()[0]->name);
  ex_env = nullptr;
  sorted = nullptr;
}

// Text cells point into the option's string: they follow the new one.
// (vexo_include has no cell: the input stack keeps a copy of the path.)
static bool points_into_text(opt_handler h) {
  return h == update_char || h == update_logfile;
}

static void env_restore() {
  new_tables(saved_n);
  const saved_opt* rec = reinterpret_cast<const saved_opt*>(saved_block);
  for (int i = 0; i < saved_n; ++i, ++rec) {
    size_t len = name_len(rec->text);
    char* nm = static_cast<char*>(Malloc(len + 1));
    memcpy(nm, rec->text, len);
    nm[len] = 0;
    env_info* e = new_info();
    int ord = add_option(Symbol(nm, 0), e);
    cstr* t = new_cstring(rec->text);
    e->dflt = tostring(rec->dflt);
    e->handler = rec->handler;
    e->target = rec->target;
    e->validator = rec->validator;
    e->listed = rec->listed;
    e->envindex = rec->envindex;
    e->text = t;
    ++t->refcnt;
    env_adj(cur_envp, ord, t);
    env_db[rec->envindex] = t->text();
    if (points_into_text(e->handler))
      *static_cast<const char**>(e->target) = env_val(t->text());
    // The template's cell points into the old text too while usable.
    if (e->handler == update_tabdb) {
      const char* v = env_val(t->text());
      *static_cast<const char**>(e->target) = tabdb_usable(v) ? v : "";
    }
  }
  env_n = saved_n;
  env_db[env_n] = nullptr;
  const char* p = saved_names;
  for (int i = 0; i < saved_locals; ++i) {
    symbol* t[1] = {Symbol(p, 1)};
    set_addmem(local_opts, t);
    p += strlen(p) + 1;
  }
  free(saved_block);
  saved_block = nullptr;
  saved_names = nullptr;
  saved_n = saved_locals = 0;
}

void env_reset(int stage) {
  if (stage == 0)
    env_save();
  else
    env_restore();
}

void options_start() {
  ev = nullptr;
  // The text cells the table sets point into the last session's option
  // texts, which are gone: a new session starts them at their defaults
  // (static texts) until the table sets them again.
  for (const opt_row& r : estuff)
    if (r.handler == update_char && r.target)
      *static_cast<const char**>(r.target) = r.dflt;
  // The option files' names point into the texts of the last session's
  // table: none until envinit sets them again.
  for (opt_file& f : opt_files) f.value = nullptr;
}

}  // namespace vexo
