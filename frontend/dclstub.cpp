// Least stand-ins for functions, the random attribute, problems, suffix
// and table declarations.
#include "frontend/dclstub.h"

#include <cstring>

#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/rawtok.h"
#include "frontend/strexpr.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "report/prex.h"
#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {

int nrandom;
int stage_declared;
problem* cur_prob;
problem* initial_prob;

static bool indexed(const set_spec* ix) { return ix && ix->nindex > 0; }

// ---- functions -------------------------------------------------------------

void* function::operator new(size_t size) { return xmem(XM_FUNCTION, size); }
void function::operator delete(void* p) { xmem_free(XM_FUNCTION, p); }

function* function::finish_dcl() {
  Curdclname = nullptr;
  xnode* old = nullptr;
  if (yychain(this, &old)) return this;
  return static_cast<function*>(x_copy(old, this, XM_FUNCTION));
}

function* funcdcl(symbol* name, cstr* alias, funcarg* args, int flags,
                  expr* pipe, expr* format) {
  function* f = new function;
  xrecomp_constr(f, name, alias, nullptr, DK_FUNCTION, 1);
  f->args = args;
  f->fflags = static_cast<uint32_t>(flags);
  f->pipe = pipe;
  f->format = format;
  return f->finish_dcl();
}

// ---- random ----------------------------------------------------------------

static void mark_random(xnode* x) {
  if (stage_declared) {
    error(0, "Ignoring \"random\" after explicit suffix stage declaration.");
    return;
  }
  if (x->flags & XF_RANDOM) return;
  x->flags |= XF_RANDOM;
  nrandom++;
}

void make_random(var* v) { mark_random(v); }
void make_randompar(param* p) { mark_random(p); }
void randvar_cleanup() {}

// ---- problems --------------------------------------------------------------

void* problem::operator new(size_t size) { return xmem(XM_PROBLEM, size); }
void problem::operator delete(void* p) { xmem_free(XM_PROBLEM, p); }

void prob_add(problem* p, xnode* d) {
  expr* ent = new_expr(opword(OPARG), new_expr(opword(OP281), d));
  ent->next = p->ents;
  p->ents = ent;
  xrefer(d, static_cast<uint32_t>(p->num));
}

problem* new_problem(symbol* name, cstr* alias, set_spec* ix, expr* settings,
                     expr* items) {
  problem* p = new problem;
  xrecomp_constr(p, name, alias, ix, DK_PROB + (indexed(ix) ? 1 : 0), 1);
  ldelete(settings);
  p->ents = items;
  if (ix) end_context(ix, nullptr);
  Curdclname = nullptr;
  xnode* old = nullptr;
  if (yychain(p, &old)) return p;
  problem* r = static_cast<problem*>(x_copy(old, p, XM_PROBLEM));
  cur_prob = r;
  return r;
}

// ---- suffixes --------------------------------------------------------------

void* suffix::operator new(size_t size) { return xmem(XM_SUFFIX, size); }
void suffix::operator delete(void* p) { xmem_free(XM_SUFFIX, p); }

suffix* new_suffix(symbol* name, cstr* alias) {
  suffix* s = new suffix;
  xrecomp_constr(s, name, alias, nullptr, DK_SUFFIX, 0);
  return s;
}

void suffix::addtype(uint32_t bits) { sflags |= bits; }

void suffix::add_in(set* s) {
  if (s->arity != 1) {
    error(0, "a suffix cannot be in a set of dimen %d", s->arity);
    sdelete(s);
    return;
  }
  list* c = new list;
  c->next = checks;
  c->item.e = new_expr(opword(OPINCHECK), nullptr, s);
  checks = c;
}

void suffix::add_dir(int code) { dir = code; }

suffix* suffix::finish_dcl() {
  Curdclname = nullptr;
  finish_check(&checks, sflags);
  xnode* old = nullptr;
  if (yychain(this, &old)) return this;
  suffix* r = static_cast<suffix*>(x_copy(old, this, XM_SUFFIX));
  if (!old) {
    r->depslot = static_cast<uint32_t>(r->num);
    r->sufnum = static_cast<uint32_t>(r->classnum);
    if (dot_names) {
      symbol* nm = r->name;
      set_addmem(dot_names, &nm);
    }
    add_dsuffix(r->name, 0, r->depslot, (r->sflags & SUF_SYMBOLIC) != 0);
    // An explicit declaration of suffix stage (sysdecl_suffixes clears
    // the mark its own declaration leaves).
    if (std::strcmp(r->name->name, "stage") == 0) stage_declared = 1;
  }
  return r;
}

void sufredecl_start(symbol* name) {
  xclass_rec& c = xclass[XC_SUFFIXES];
  for (int i = 0; i < c.n; i++)
    if (c.a[i] && c.a[i]->name == name) {
      old_obj = c.a[i];
      return;
    }
}

// ---- tables ----------------------------------------------------------------

void* Table::operator new(size_t size) { return xmem(XM_TABLE, size); }
void Table::operator delete(void* p) { xmem_free(XM_TABLE, p); }

Table::Table(symbol* nm, set_spec* ix) {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  xrecomp_constr(this, nm, nullptr, ix, DK_TABLE, 1);
}

void Table::addtdir(int d) { tdir = d; }

void Table::addString(expr* s) {
  s->next = strings;
  strings = s;
}

void Table::addindset(set* s, int) {
  if (keyset) sdelete(keyset);
  keyset = s;
}

void Table::addcol(expr* column, int, expr* al) {
  edelete(al);
  column->next = items;
  items = column;
  nkeys++;
}

int Table::endkeys() { return nkeys; }

void Table::addinset(set* s) { sdelete(s); }

void Table::endcols(int n) { nkeys = n; }

void Table::additpv(expr* item) {
  if (!item) return;
  item->next = items;
  items = item;
}

Table* Table::finish_dcl(int) {
  Curdclname = nullptr;
  end_context(nullptr, this);
  xnode* old = nullptr;
  if (yychain(this, &old)) return this;
  Table* r = static_cast<Table*>(x_copy(old, this, XM_TABLE));
  if (!old && table_names && r->name) {
    symbol* nm = r->name;
    set_addmem(table_names, &nm);
  }
  return r;
}

// The declaration of class c named name, else null after the message of
// fmt (when given) on the display stream.
static xnode* named_in(int c, symbol* name, const char* fmt) {
  const xclass_rec& r = xclass[c];
  for (int i = 0; i < r.n; ++i)
    if (r.a[i]->name == name) return r.a[i];
  if (c == XC_SUFFIXES) return named_in(XC_SYSTEM_SUFFIXES, name, fmt);
  if (fmt) Fprintf(display_stream(), fmt, name->name);
  return nullptr;
}

suffix* suff_named(symbol* name) {
  return static_cast<suffix*>(named_in(XC_SUFFIXES, name, nullptr));
}

suffix* suff_show(symbol* name) {
  return static_cast<suffix*>(
      named_in(XC_SUFFIXES, name, "### %s is not a declared suffix.\n"));
}

Table* table_show(symbol* name) {
  return static_cast<Table*>(
      named_in(XC_TABLES, name, "### %s is not a table.\n"));
}

int add_inddir(int count, int) { return count; }

expr* make_pvi(expr* item, int) { return item; }

expr* eqchk(expr* item, int, expr* colname) {
  edelete(colname);
  return item;
}

expr* itpv(set_spec* ix, expr* item) {
  if (ix) end_context(ix, nullptr);
  return item;
}

expr* tabitstart(set_spec* ix, int) {
  if (ix) end_context(ix, nullptr);
  return nullptr;
}

expr* add_pv_ititem(expr* start, expr* item) {
  if (!item) return start;
  item->next = start;
  return item;
}

expr* add_coldesc(expr* start, expr* item) {
  return add_pv_ititem(start, item);
}

int arrowlist(const char* arrow) {
  int code = 0;
  for (const char* p = arrow; p && *p; p++) {
    if (*p == '<') code |= 1;
    if (*p == '>') code |= 2;
  }
  return code;
}

set* table_set_spec(set_spec* ix) { return ix; }

void tabredecl_start(symbol* name) {
  xclass_rec& c = xclass[XC_TABLES];
  for (int i = 0; i < c.n; i++)
    if (c.a[i] && c.a[i]->name == name) {
      old_obj = c.a[i];
      return;
    }
}

void dclstub_init() {
  nrandom = 0;
  stage_declared = 0;
  cur_prob = initial_prob = nullptr;
}

}  // namespace vexo
