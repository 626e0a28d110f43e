// Value tables of symbolic suffixes and of the solve result.
#include "instance/suftab.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>

#include "eval/set.h"
#include "instance/sufdecl.h"
#include "session/options.h"
#include "support/format.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/strtod.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

stat_table solve_result_table;
stat_table astatus_table;
stat_table sense_table;

void stat_free(stat_table* t) {
  if (t->keys) sdelete(t->keys);
  if (t->numbers) {
    for (int32_t i = 0; i < t->count; ++i) zap_cstr(&t->names[i]);
    del_mblk(t->block_class, t->numbers);
  }
  t->keys = nullptr;
  t->numbers = nullptr;
  t->names = nullptr;
  t->count = t->dense = t->step = 0;
}

void stat_forget(stat_table* t) {
  opt_handler* h = static_cast<opt_handler*>(t->watch);
  if (h && *h == tabnotify) *h = nullptr;
  t->watch = nullptr;
  zap_cstr(&t->text);
}

void tabnotify(const char*, void* target) {
  static_cast<stat_table*>(target)->stale = 1;
}

namespace {

bool blank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Lines of the text: runs of newlines end a line, so empty lines do not
// count.
int32_t count_lines(const char* s) {
  int32_t n = 0;
  while (*s) {
    while (*s == '\n') ++s;
    if (!*s) break;
    ++n;
    while (*s && *s != '\n') ++s;
  }
  return n;
}

// Parses the lines of s into t (count entries, block and keys made).
// Returns false after reporting the first error.
bool parse_lines(stat_table* t, const char* s) {
  const char* opt = t->option->name;
  std::string key;
  for (int32_t i = 0; i < t->count; ++i) {
    int line = i + 1;
    while (*s == '\n') ++s;
    char* end;
    double x = Strtod(s, &end);
    if (end == s || !blank(*end)) {
      error(0, "Bad number at the start of line %d of $%s.", line, opt);
      return false;
    }
    s = end;
    while (*s && *s != '\n' && blank(*s)) ++s;
    if (!*s || *s == '\n') {
      error(0, "No key on line %d of $%s.", line, opt);
      return false;
    }
    const char* k = s;
    while (!blank(*s)) ++s;
    key.assign(k, size_t(s - k));
    symbol* sym = Symbol(key.c_str(), 1);
    if (set_addmem(t->keys, &sym)) {
      error(0, "Duplicate key %s on line %d of $%s.", key.c_str(), line, opt);
      return false;
    }
    if (i > 0 && !(x > t->numbers[i - 1])) {
      error(0, "Numbers in $%s are not increasing.", opt);
      return false;
    }
    t->numbers[i] = x;
    t->names[i] = new_cstring(key.c_str());
    while (*s && *s != '\n') ++s;  // the description
  }
  return true;
}

// The leading run of consecutive integers and the first search step.
void set_dense(stat_table* t) {
  const double* v = t->numbers;
  int32_t d = 0;
  if (v[0] == std::floor(v[0]))
    while (d + 1 < t->count && v[d + 1] == v[0] + (d + 1)) ++d;
  t->dense = d;
  int32_t r = t->count - d - 1;
  int32_t step = 0;
  if (r > 0)
    for (step = 1; step * 2 <= r; step *= 2) {
    }
  t->step = step;
}

void parse_table(stat_table* t, const char* value) {
  int32_t n = count_lines(value);
  t->count = n;
  if (!n) return;
  set* keys = set_enum(new_enum(), 1);
  keys->new_htab(n);
  t->keys = keys;
  t->block_class = htcl(size_t(n) * (sizeof(double) + sizeof(cstr*)));
  t->numbers = static_cast<double*>(new_mblk(t->block_class, 1));
  t->names = reinterpret_cast<cstr**>(t->numbers + n);
  if (!parse_lines(t, value)) {
    stat_free(t);
    return;
  }
  set_dense(t);
}

// Index of the last entry whose number is at most x (x >= numbers[0]).
int32_t entry_of(const stat_table* t, double x) {
  const double* v = t->numbers;
  if (x - v[0] <= t->dense) return static_cast<int32_t>(x - v[0]);
  int32_t i = t->dense;
  for (int32_t s = t->step; s > 0; s >>= 1)
    if (i + s < t->count && v[i + s] <= x) i += s;
  return i;
}

// Whether x has a name in t (a NaN has none).
bool named(stat_table* t, double x) {
  if (t->stale) suftabchk(t);
  return t->numbers && x >= t->numbers[0];
}

}  // namespace

void suftabchk(stat_table* t) {
  t->stale = 0;
  if (!t->watch) t->watch = env_enroll(t->option, tabnotify, t);
  const char* value;
  cstr* cs = evalue_cs(t->option, &value);
  if (cs == t->text) return;
  bool same = cs && t->text &&
              std::strcmp(env_val(t->text->text()), value) == 0;
  zap_cstr(&t->text);
  if (cs) {
    ++cs->refcnt;
    t->text = cs;
  }
  if (same) return;
  stat_free(t);
  if (cs) parse_table(t, value);
}

cstr* cs_sufvalue(double x, stat_table* t) {
  if (!named(t, x)) {
    char buf[64];
    Snprintf(buf, sizeof buf, "%.g", x);
    return new_cstring(buf);
  }
  cstr* c = t->names[entry_of(t, x)];
  ++c->refcnt;
  return c;
}

cstr* astatus_name(double x) { return cs_sufvalue(x, &astatus_table); }
cstr* sense_name(double x) { return cs_sufvalue(x, &sense_table); }

const char* s_sufvalue(double x, stat_table* t, charblk** cb) {
  if (named(t, x)) return t->names[entry_of(t, x)]->text();
  char buf[64];
  Snprintf(buf, sizeof buf, "%.g", x);
  return cblcopy(cb, buf);
}

double suf2num(suffix* s, cstr* text, symbol* key, TVA* tva) {
  stat_table* t = &s->table;
  if (text) {
    key = Symbol(text->text(), 1);
    zap_cstr(&text);
  }
  if (t->stale) suftabchk(t);
  if (!t->keys)
    eerror(tva, "$%s_table does not have the right form.", s->name->name);
  int64_t ord = set_lookup(t->keys, &key);
  if (ord < 0)
    eerror(tva, "\"%s\" does not appear in $%s_table.", key->name,
           s->name->name);
  return t->numbers[ord];
}

void suftab_reset() {
  for (auto [t, name] : {std::pair{&solve_result_table, "solve_result_table"},
                         {&astatus_table, "astatus_table"},
                         {&sense_table, "sense_table"}}) {
    *t = stat_table{};
    t->option = Symbol(name, 0);
    t->stale = 1;
  }
}

}  // namespace vexo
