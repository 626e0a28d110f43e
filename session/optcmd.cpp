// The option command, its patterns, and the "$" operators.
#include "session/optcmd.h"

#include <cstring>

#include "compiler/compile.h"
#include "compiler/recomp.h"
#include "eval/dispatch.h"
#include "eval/evalerr.h"
#include "eval/set.h"
#include "frontend/cmdbuild.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/parse.h"
#include "frontend/strexpr.h"
#include "instance/ac.h"
#include "instance/xcg.h"
#include "report/prex.h"
#include "report/print.h"
#include "report/prset.h"
#include "session/cmdfiles.h"
#include "session/cmdrec.h"
#include "session/environs.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/options.h"
#include "session/startup.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

// ---------------------------------------------------------------------------
// Builders

// A computed name with "*" anywhere is a pattern: the marker "*" goes
// before it (the reference to name passes to the result).
static cstr* pattern_marked(cstr* name) {
  if (!strchr(name->text(), '*')) return name;
  cstr* marked = new_cstr(strlen(name->text()) + 2);
  marked->text()[0] = '*';
  strcpy(marked->text() + 1, name->text());
  release_cstr(name);
  return marked;
}

expr* computed_optname(expr* name) {
  if (opcode(name) == OPSTR && name->L.cs)
    name->L.cs = pattern_marked(name->L.cs);
  return name;
}

// The message count when the item being read began.
static int item_warnings;

void option_read_begin() { item_warnings = warnings; }

void optcmd_reset() { item_warnings = 0; }

Optioncmd* optioncmd(Optioncmd* prev, expr* name, expr* env, expr* value) {
  Optioncmd* o = static_cast<Optioncmd*>(mem(sizeof(Optioncmd)));
  // An error while its name or value was read (a bad suffix, say) refuses
  // the item; the next item starts afresh.
  o->refused = warnings > item_warnings;
  item_warnings = warnings;
  if (opcode(name) == OPSTR) {
    // A literal name: the item keeps the string, the node goes.
    o->name = name->L.cs;
    name->L.cs = nullptr;
    free_expr(name);
  } else {
    o->namex = name;
  }
  o->env = env;
  o->value = value;
  return settings_join(prev, o);
}

Optioncmd* settings_join(Optioncmd* items, Optioncmd* one) {
  if (!items) return one;
  Optioncmd* t = items;
  while (t->next) t = t->next;
  t->next = one;
  return items;
}

expr* option_words(expr* words) {
  // The words came newest first; blanks go between them.
  expr* chain = nullptr;
  for (expr* w = words; w;) {
    expr* nx = w->next;
    w->next = chain;
    chain = w;
    if (nx) chain = push_expr(chain, new_str(new_cstring(" ")));
    w = nx;
  }
  return strcrunch(chain);
}

void option_free(Optioncmd* items) {
  for (Optioncmd* o = items; o; o = o->next) {
    zap_cstr(&o->name);
    edelete(o->namex);
    edelete(o->env);
    edelete(o->value);
    o->namex = o->env = o->value = nullptr;
  }
}

void option_err(Optioncmd* items) { option_free(items); }

void option_reset_cmd() { cmd0(CK_OPTION_RESET); }

// ---------------------------------------------------------------------------
// Evaluation of a command's expressions

cstr* Litval(expr** pe, xrecomp* xr) {
  expr* e = *pe;
  if (opcode(e) == OPSTR && e->L.cs) return ref_cstr(e->L.cs);
  // A condition's text is that of its number, 1 or 0.
  if (is_logical(e)) *pe = make_numeric(e);
  // What the expression cites is brought up to date first.
  if (!xcg(0)) bailout();
  // Compiled and evaluated in the command's context (loop dummies
  // included); the compilation is released at once, so that the
  // expression is compiled afresh each time the command runs.  A statement
  // run as it is read has no record: a local one serves.
  xrecomp local{};
  if (!xr) xr = &local;
  compile_start();
  mri(pe, 1);
  struct hold {
    TVA* t;
    xrecomp* xr;
    int in_record;
    ~hold() { cmdxreset_held(xr, t, in_record); }
  } h{compile_end(xr), xr, xr != &local};
  return format_text(*pe, h.t);
}

// ---------------------------------------------------------------------------
// Showing

void put_opt_value(FILE* f, const char* value) {
  size_t n = strlen(value) + 1;
  int tk = htcl(n);
  char* t = static_cast<char*>(new_mblk(tk));
  memcpy(t, value, n);
  bool number = *value && valid_param(t, 1);
  del_mblk(tk, t);
  if (number) {
    Fprintf(f, "%s", value);
    return;
  }
  char* blk;
  int k;
  const char* lit = make_lit(value, &blk, &k);
  Fprintf(f, "%s", lit);
  del_mblk(k, blk);
}

// The environment named by the current item, for qualified names.
static xenvir* env_x;
static symbol** env_sub;

// The value text of option ord in the environment *slot, or null.
static cstr* text_in(envir** slot, int ord) {
  envir* v = *slot;
  return ord >= 0 && ord < v->n ? v->a[ord] : nullptr;
}

static void show_opt(FILE* f, const char* name, cstr* text) {
  Fprintf(f, "option ");
  if (env_x) Fprintf(f, "%s%s.", env_x->name->name, slist1(env_x, env_sub));
  Fprintf(f, "%s", name);
  if (!text) {
    Fprintf(f, " ''; #not defined\n");
    return;
  }
  Fprintf(f, " ");
  put_opt_value(f, env_val(text->text()));
  Fprintf(f, ";\n");
}

// A plain option name: a letter or "_", then letters, digits and "_".
static bool valid_name(const char* s) {
  auto word = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
  };
  if (!word(*s)) return false;
  for (++s; *s; ++s)
    if (!word(*s) && !(*s >= '0' && *s <= '9')) return false;
  return true;
}

// ---------------------------------------------------------------------------
// Patterns

constexpr int MAX_STARS = 10;

namespace {

struct pattern {
  const char* piece[MAX_STARS + 1];
  int len[MAX_STARS + 1];
  int stars;
  int minlen;
};

// Splits pat at its stars (a run of stars counts as one); false with more
// than MAX_STARS.
bool patprep(pattern& p, const char* pat) {
  p.stars = 0;
  p.minlen = 0;
  p.piece[0] = pat;
  const char* s = pat;
  for (;;) {
    const char* star = strchr(s, '*');
    int n = static_cast<int>(star ? star - s : strlen(s));
    p.len[p.stars] = n;
    p.minlen += n;
    if (!star) return true;
    while (*star == '*') ++star;
    if (++p.stars > MAX_STARS) return false;
    p.piece[p.stars] = s = star;
  }
}

bool match(const pattern& p, const char* name) {
  int n = static_cast<int>(strlen(name));
  if (n < p.minlen) return false;
  if (strncmp(name, p.piece[0], p.len[0]) != 0) return false;
  int last = p.stars;
  if (strncmp(name + n - p.len[last], p.piece[last], p.len[last]) != 0)
    return false;
  int slack = n - p.minlen;
  int pos = p.len[0];
  for (int i = 1; i < last; ++i) {
    int shift = 0;
    while (shift <= slack &&
           strncmp(name + pos + shift, p.piece[i], p.len[i]) != 0)
      ++shift;
    if (shift > slack) return false;
    slack -= shift;
    pos += shift + p.len[i];
  }
  return true;
}

}  // namespace

// Lists the options matching pat that are defined in *slot.
static void list_matches(FILE* f, const char* pat, envir** slot) {
  pattern p;
  if (!patprep(p, pat)) {
    error(0, "Too many *'s in pattern (more than %d)", MAX_STARS);
    return;
  }
  int n;
  const int* ord = sorted_options(&n);
  bool any = false;
  for (int i = 0; i < n; ++i) {
    cstr* t = text_in(slot, ord[i]);
    symbol* s = env_name(ord[i]);
    if (t && match(p, s->name)) {
      show_opt(f, s->name, t);
      any = true;
    }
  }
  if (!any) Fprintf(f, "# No matches for option %s;\n", pat);
}

static void echo_set(FILE* f, const char* prefix, const char* name,
                     const char* value) {
  Fprintf(f, "%soption %s ", prefix, name);
  put_opt_value(f, value);
  Fprintf(f, ";\n");
}

// Sets the one option matching pat that is defined in *slot to value.
static void set_match(FILE* f, const char* pat, cstr* value, envir** slot) {
  pattern p;
  if (!patprep(p, pat)) {
    error(0, "Too many *'s in pattern (more than %d)", MAX_STARS);
    return;
  }
  if (p.minlen == 0) {
    error(0, "ignoring option * value");
    return;
  }
  int n;
  const int* ord = sorted_options(&n);
  int found = -1, count = 0;
  for (int i = 0; i < n; ++i) {
    if (text_in(slot, ord[i]) && match(p, env_name(ord[i])->name)) {
      found = ord[i];
      ++count;
    }
  }
  const char* v = value->text();
  if (count != 1) {
    echo_set(f, count ? "# Too many matches for " : "# No matches for ", pat,
             v);
    return;
  }
  env_info* e = Myenv[found];
  symbol* s = env_name(found);
  if (slot == cur_envp && e->validator && e->validator(s, v)) {
    echo_set(f, "# Suppressed: ", s->name, v);
    return;
  }
  cstr* old = text_in(slot, found);
  if (strcmp(env_val(old->text()), v) != 0) {
    cstr* t = name_value(s->name, v);
    env_adj(slot, found, t);
    if (slot == cur_envp) envadd(e, t);
  }
  if (slot == cur_envp && e->handler)
    e->handler(env_val(e->text->text()), e->target);
  echo_set(f, "", s->name, v);
}

// ---------------------------------------------------------------------------
// The command

// One item; output to f.
static void option_item(FILE* f, Optioncmd* o, xrecomp* xr) {
  env_x = nullptr;
  env_sub = nullptr;
  if (o->refused) return;
  cstr* name;
  if (o->namex) {
    name = pattern_marked(Litval(&o->namex, xr));
  } else {
    name = o->name;
    ++name->refcnt;
  }
  held_cstr held(name);
  const char* nm = name->text();
  bool pattern = *nm == '*';
  envir** slot = cur_envp;
  if (o->env) {
    xenvir* x;
    symbol** sub;
    slot = env_ref(o->env, &x, &sub, xr);
    if (pattern || !o->value) {
      env_x = x;
      env_sub = sub;
    }
  }
  if (!pattern) {
    if (!o->value) {
      show_opt(f, nm, text_in(slot, env_ordinal(Symbol(nm, 1))));
      return;
    }
    if (!valid_name(nm)) {
      cmdwhere();
      Fprintf(Stderr, "\"%s\" is not a valid option name.\n", nm);
      errorend();
      set_rc_bit(2);
      return;
    }
    option_set(Symbol(nm, 1), Litval(&o->value, xr), slot);
    return;
  }
  if (!o->value) {
    list_matches(f, nm + 1, slot);
    return;
  }
  held_cstr value(Litval(&o->value, xr));
  set_match(f, nm + 1, value.get(), slot);
}

void option_cmd(Optioncmd* items, redirect* r, xrecomp* xr) {
  dispfile(r, xr);
  FILE* f = df;
  if (!items) {
    write_options(nullptr, f);
  } else {
    try {
      for (Optioncmd* o = items; o; o = o->next) option_item(f, o, xr);
    } catch (...) {
      fflush(f);
      env_x = nullptr;
      throw;
    }
  }
  env_x = nullptr;
  fflush(f);
}

void cmd_option(const char* name, const char* value) {
  Optioncmd o{};
  o.name = new_cstring(name);
  o.value = new_str(new_cstring(value));
  try {
    option_cmd(&o, nullptr);
  } catch (...) {
    option_free(&o);
    throw;
  }
  option_free(&o);
}

void cmd_Loption(const char* name, uint32_t n) {
  char buf[16];
  Snprintf(buf, sizeof buf, "%lu", static_cast<unsigned long>(n));
  cmd_option(name, buf);
  Fprintf(display_stream(), "option %s %s;\n", name, buf);
}

void option_reset() {
  for (int i = 0; i < ev->nmem; ++i) {
    env_info* e = Myenv[i];
    if (e->text && strcmp(env_val(e->text->text()), e->dflt) == 0) continue;
    cmd_option(env_name(i)->name, e->dflt);
  }
}

// ---------------------------------------------------------------------------
// The "$" operators

// The option value in *slot (the current environment when null), as a new
// string.
static eval_result dollar_value(symbol* s, envir** slot) {
  eval_result r;
  int ord = env_ordinal(s);
  cstr* t = ord < 0 ? nullptr : text_in(slot ? slot : cur_envp, ord);
  r.cs = t ? new_cstring(env_val(t->text())) : ref_cstr(Blank);
  return r;
}

static eval_result dollar_default(symbol* s) {
  eval_result r;
  int ord = env_ordinal(s);
  const char* d = ord < 0 ? "" : Myenv[ord]->dflt;
  r.cs = *d ? new_cstring(d) : ref_cstr(Blank);
  return r;
}

// The name of a computed "$" operand.
static symbol* operand_name(expr* x, TVA* tva) {
  held_cstr s(eval_str(x, tva));
  return Symbol(s.text(), 1);
}

static envir** env_operand(expr* x, TVA* tva) {
  return x ? static_cast<envir**>(eval(x, tva).p) : nullptr;
}

eval_result f_OPDOLLAR(expr* e, TVA* tva) {
  return dollar_value(Symbol(e->L.cs->text(), 1), env_operand(e->R.e, tva));
}

// The environment, when one is named, is still evaluated: a subscript
// outside its indexing is an error here as for "$".
eval_result f_OPDOLLAR0(expr* e, TVA* tva) {
  env_operand(e->R.e, tva);
  return dollar_default(Symbol(e->L.cs->text(), 1));
}

eval_result f_OPeeDOLLAR(expr* e, TVA* tva) {
  symbol* s = operand_name(e->L.e, tva);
  return dollar_value(
      s, opcode(e) == OPeeDOLLAR220 ? env_operand(e->R.e, tva) : nullptr);
}

eval_result f_OPeDOLLAR0(expr* e, TVA* tva) {
  return dollar_default(operand_name(e->L.e, tva));
}

}  // namespace vexo
