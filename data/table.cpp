// Table declarations: the grammar builds the record clause by clause;
// finish_dcl checks it and enters it among the tables.
#include "data/table.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "data/tablerw.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/condcl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/parse.h"
#include "frontend/paramdcl.h"
#include "frontend/rawtok.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "instance/sufdecl.h"
#include "report/dotnames.h"
#include "report/prex.h"
#include "report/prset.h"
#include "session/cmdrec.h"
#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

const char* const dir_name[4] = {"???", "IN", "OUT", "INOUT"};
const char* const arrow_text[5] = {"???", "<-", "->", "<->", "="};

// Errors reported by the builders of the declaration being read (the
// record is refused when it is finished).
int tab_errs;

// Column items given back, linked through next; reset empties it (the
// records live in the block allocator, which reset frees).
pvinfo* pv_free;

pvinfo* new_pv() {
  pvinfo* p = pv_free;
  if (p)
    pv_free = p->next;
  else
    p = static_cast<pvinfo*>(new_mblk(3, 1));
  std::memset(p, 0, sizeof *p);
  return p;
}

void pv_release(pvinfo* p) {
  while (p) {
    pvinfo* nx = p->next;
    if (p->gix) sdelete(p->gix);
    edelete(p->e);
    edelete(p->name);
    pv_release(p->members);
    p->next = pv_free;
    pv_free = p;
    p = nx;
  }
}

// Whether the text is a plain name: name characters only, not starting
// with a digit.
bool plain_name(const char* s) {
  if (!*s || (*s >= '0' && *s <= '9')) return false;
  for (; *s; ++s)
    if (!(std::isalnum(static_cast<unsigned char>(*s)) || *s == '_'))
      return false;
  return true;
}

// The text of a string constant node, or null.
const char* str_text(const expr* e) {
  return e && opcode(e) == OPSTR ? e->L.cs->text() : nullptr;
}

// The relational operator's text for cautions.
const char* relop_text(int opw) {
  switch (opw >> 9) {
    case LE:
      return "<=";
    case EQ:
      return "=";
    case GE:
      return ">=";
    case NE:
      return "!=";
    default:
      return "???";
  }
}

// The declaration a column expression refers to, or null: a whole entity
// or a reference with or without subscripts.
xnode* col_entity(const expr* e) {
  if (!e) return nullptr;
  if (opcode(e) == OPXNODE) return e->L.x;
  int32_t sh = shape(e);
  if (sh == SH_ENTITY || sh == SH_SUBSCRIPTED) return e->L.x;
  return nullptr;
}

// The subscript list of a reference (under its look-up node), or null.
const expr* sub_list(const expr* e) {
  const expr* s = e->R.e;
  if (s && opcode(s) == OPLOOKUP) s = s->R.e;
  if (s && opcode(s) == OPSYMLIST) s = s->L.e;
  return s;
}

// Subscripts the column gives its entity: a whole entity takes the key
// columns as its subscripts.
int given_subs(const Table* t, const expr* e) {
  if (opcode(e) == OPXNODE) return t->arity;
  if (shape(e) == SH_ENTITY) return 0;
  return listlen(const_cast<expr*>(sub_list(e)));
}

bool whole(const expr* e) {
  return opcode(e) == OPXNODE || shape(e) == SH_ENTITY;
}

}  // namespace

suffix* pv_suffix(const pvinfo* p, bool* names) {
  xnode* d = p->ent;
  if (!d || !p->e || opcode(p->e) != OPXNODE) return nullptr;
  int code = p->e->R.i;
  uint32_t k = d->kind & ~1u;
  if (code < SUF_NUMBASE || (k != DK_VAR && k != DK_CON && k != DK_OBJ))
    return nullptr;
  bool sym = code >= SUF_SYMBASE;
  if (names) *names = sym;
  return suf_bynum(code - (sym ? SUF_SYMBASE : SUF_NUMBASE));
}

int key_perm(const Table* t, const expr* e, int* perm) {
  if (!e || !t->keyss || shape(e) != SH_SUBSCRIPTED) return 0;
  int level = t->keyss->first->level;
  int n = 0;
  bool seen[MAX_TABLE_KEYS] = {};
  for (const expr* s = sub_list(e); s; s = s->next) {
    if (n >= t->arity || opcode(s) != OPDUMMY || s->L.i != level) return 0;
    int k = static_cast<int>(s->R.i);
    if (k < 0 || k >= t->arity || seen[k]) return 0;
    seen[k] = true;
    perm[n++] = k;
  }
  return n == t->arity;
}

namespace {

// Whether a read column can take values: a param (not defined by :=), a
// symbolic param, a variable's value (not a defined variable's) or a
// constraint's dual, taken whole or subscripted by the key dummies, or a
// declared suffix of a whole variable, constraint or objective.
const char* unreadable(const Table* t, const pvinfo* p) {
  xnode* d = p->ent;
  int perm[MAX_TABLE_KEYS];
  if (!d || !(whole(p->e) || key_perm(t, p->e, perm))) return "";
  uint32_t k = d->kind & ~1u;
  if (opcode(p->e) == OPXNODE && p->e->R.i != -2)
    return pv_suffix(p, nullptr) ? nullptr : "";
  if (k == DK_PARAM || k == DK_SPARAM) {
    if (static_cast<param*>(d)->asgn)
      return "\n\tbecause its declaration specifies a := value.";
    return nullptr;
  }
  if (k == DK_VAR && !(d->flags & VF_DEFINED)) return nullptr;
  if (k == DK_CON && !con_logical(d) && !(d->flags & CF_COMPL)) return nullptr;
  return "";
}

// The name a refused read column is reported by: the entity's, with the
// suffix of a whole-entity suffix column.
std::string read_col_name(const pvinfo* p) {
  xnode* d = p->ent;
  if (!d) {
    const char* s = str_text(p->name);
    return s ? s : "";
  }
  std::string nm = d->name->name;
  if (opcode(p->e) == OPXNODE && p->e->R.i != -2) {
    int code = p->e->R.i;
    if ((d->kind & ~1u) == DK_OBJ && code < 0)
      code = code == -1 ? SUF_OBJVAL : -code;
    nm += '.';
    if (code >= SUF_NUMBASE)
      nm += suf_bynum(code - (code >= SUF_SYMBASE ? SUF_SYMBASE
                                                  : SUF_NUMBASE))->name->name;
    else if (code >= 0 && code < N_DOTCODES)
      nm += dotnames[code];
  }
  return nm;
}

}  // namespace

void* Table::operator new(size_t size) { return xmem(XM_TABLE, size); }
void Table::operator delete(void* p) { xmem_free(XM_TABLE, p); }

Table::Table(symbol* nm, set_spec* ix) {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  xrecomp_constr(this, nm, nullptr, ix, DK_TABLE, 1);
  tab_errs = 0;
}

void Table::addtdir(int d) { tdir = d; }

void Table::addString(expr* s) {
  s->next = strings;
  strings = s;
  ++nstrings;
}

void Table::addindset(set* s, int code) {
  if (setname) sdelete(setname);
  setname = s;
  if (code >= 1 && code <= 3) {
    arrow = code;
  } else if ((code >> 9) == EQ) {
    arrow = 4;
  } else {
    error(2, "Expected  <-  ->  or  <->  rather than %s .", relop_text(code));
    arrow = 0;
  }
}

void Table::addcol(expr* colname, int op, expr* dum) {
  if (arity >= MAX_TABLE_KEYS) {
    error(0, "Table %s has more than %d key columns.", name->name,
          MAX_TABLE_KEYS);
    ++tab_errs;
    edelete(colname);
    edelete(dum);
    return;
  }
  const char* dname = nullptr;
  char buf[16];
  if (dum) {
    if (op != '~') error(2, "Expected ~ rather than %s .", relop_text(op));
    const char* t = str_text(dum);
    if (!t) {
      error(0, "Inappropriate expression for dummy column name.");
      ++tab_errs;
      edelete(colname);
      edelete(dum);
      return;
    }
    if (!plain_name(t)) {
      error(0, "\"%s\" cannot be a dummy column name.", t);
      ++tab_errs;
      edelete(colname);
      edelete(dum);
      return;
    }
    dname = t;
  } else {
    const char* t = str_text(colname);
    if (t && plain_name(t)) {
      symbol* s = Symbol(t, 1);
      if (!s->binding || bound_kind(s->binding) >= 32) dname = t;
    }
    if (!dname) {
      Snprintf(buf, sizeof buf, "$%d", arity + 1);
      dname = buf;
    }
  }
  ++arity;
  expr* n = name_node(Symbol(dname, 1));
  edelete(dum);
  // Both chains in source order.
  expr** tail = &keydums;
  while (*tail) tail = &(*tail)->next;
  *tail = n;
  colname->next = nullptr;
  tail = &keynames;
  while (*tail) tail = &(*tail)->next;
  *tail = colname;
}

int Table::endkeys() {
  if (arity > 0 && keydums) {
    set* s = set_enum(new_enum(), arity);
    expr* names = keydums;
    keydums = nullptr;
    Index* ix = index_item(nullptr, names, s);
    keyss = new set_spec(ix, nullptr, 1);
  }
  return 0;
}

void Table::addinset(set* s) {
  if (s->arity && s->arity != arity) {
    error(0, "The \"in set\" has arity %d rather than %d.", s->arity, arity);
    ++tab_errs;
    sdelete(s);
    return;
  }
  if (!inset) {
    inset = s;
    return;
  }
  inset = set_binop(inset, s, SC_INTER);
}

void Table::endcols(int d) {
  int dir = d ? d : tdir;
  if (setname) {
    bool declared = setname->sclass == SC_NAMED && setname->owner;
    if (!declared) {
      if (arrow == 4 || (arrow & 1)) {
        error(0, "Inappropriate set %s [...]", arrow_text[arrow]);
        ++tab_errs;
      }
      arrow = dir & ~1;
    } else if (arrow == 4) {
      if (dir) {
        error(2, "Treating set = [...] %s as set %s [...].", dir_name[dir],
              arrow_text[dir]);
        arrow = dir;
      } else {
        error(0, "Inappropriate set = [...]");
        ++tab_errs;
      }
    } else if (arrow && d && arrow != d) {
      error(0, "%s is inconsistent with %s.", arrow_text[arrow],
            dir_name[d]);
      ++tab_errs;
    }
  } else if (d && arity == 1) {
    const char* t = str_text(keynames);
    symbol* s = t ? Symbol(t, 0) : nullptr;
    xnode* x = s && s->binding && bound_kind(s->binding) == DK_SET
                   ? static_cast<xnode*>(s->binding)
                   : nullptr;
    setdcl* sd = static_cast<setdcl*>(x);
    if (!sd || sd->dimen > 1) {
      error(0, "Inappropriate %s after [%s]:\n\t%s is not a simple set of "
               "arity 1.",
            dir_name[d], t ? t : "", t ? t : "");
      ++tab_errs;
    } else {
      setname = set_named(sd);
      arrow = d;
    }
  }
  if (d && !tdir) tdir = d;
}

void Table::additpv(pvinfo* item) {
  if (!item) return;
  pvinfo** tail = &cols;
  while (*tail) tail = &(*tail)->next;
  *tail = item;
}

bool pv_in_dir(const Table* t, const pvinfo* p, int b) {
  int d = p->dir ? p->dir : (t->tdir ? t->tdir : 3);
  return d & b;
}

// The checks of one column item; 0 when it passes.
static int check_col(Table* t, pvinfo* p) {
  if (p->flags & PV_GROUP) {
    if (pv_in_dir(t, p, 1)) {
      error(0, "For {...}(...) columns, only OUT is allowed.");
      return 1;
    }
    for (pvinfo* m = p->members; m; m = m->next)
      if (check_col(t, m)) return 1;
    return 0;
  }
  if (!p->name) {
    cstr* s = sprex2(p->e);
    p->name = new_str(s);
  }
  if (xnode* d = p->ent) {
    int need = d->indexing ? d->indexing->arity : 0;
    int got = given_subs(t, p->e);
    if (need != got) {
      error(0, "%s needs %d subscript(s), not %d.", d->name->name, need, got);
      return 1;
    }
  }
  if (pv_in_dir(t, p, 1)) {
    if (const char* why = unreadable(t, p)) {
      std::string nm = read_col_name(p);
      error(0, "%s%s%s", nm.c_str(), " cannot be an IN or INOUT table column",
            why);
      return 1;
    }
  }
  return 0;
}

// Whether a written column is a plain entity reference.
static bool simple_ref(const pvinfo* p) {
  if (p->flags & PV_GROUP) {
    for (const pvinfo* m = p->members; m; m = m->next)
      if (!simple_ref(m)) return false;
    return true;
  }
  return p->ent && whole(p->e);
}

// A refused declaration: the name gets its old binding back and the
// record is freed.
static Table* refuse(Table* t) {
  if (!t->unnamed && t->name->binding == t) t->name->binding = t->oldval;
  del_table(t, 1);
  return nullptr;
}

Table* Table::finish_dcl(int rw) {
  end_dcl_name();
  end_context(nullptr, this);
  unnamed = rw;
  if (errseen || tab_errs) return refuse(this);
  if (!rw && oldval && bound_kind(oldval) == DK_TABLE && oldval != old_obj) {
    error(0, "Table %s already declared.", name->name);
    return refuse(this);
  }
  if (setname && setname->arity && setname->arity != arity) {
    cstr* st = sprset(setname, 1);
    error(0, "Table %s has %d column names, but set %s requires %d.",
          name->name, arity, st->text(), setname->arity);
    zap_cstr(&st);
    return refuse(this);
  }
  for (pvinfo* p = cols; p; p = p->next) {
    if (check_col(this, p)) {
      return refuse(this);
    }
  }
  if (!setname && !cols) {
    error(0, "Table %s has no set_name and no pvnames.", name->name);
    return refuse(this);
  }
  if (arity && !(arrow & 2)) {
    for (pvinfo* p = cols; p; p = p->next)
      if (pv_in_dir(this, p, 2) && !simple_ref(p)) badout = 1;
    if (badout)
      error(0, "Table %s has one or more\n\tOUT or INOUT columns that "
               "require \"set ->\" or \"set <->\".",
            name->name);
  }
  if (rw) {
    table_cmd(rw, this);
    return this;
  }
  xnode* old = nullptr;
  if (yychain(this, &old)) {
    return refuse(this);
  }
  if (old) {
    del_table(static_cast<Table*>(old), 0);
  }
  Table* r = static_cast<Table*>(x_copy(old, this, XM_TABLE));
  if (!old && table_names && r->name) {
    symbol* nm = r->name;
    set_addmem(table_names, &nm);
  }
  return r;
}

void del_table(Table* t, int how) {
  if (!t) return;
  edelete(t->strings);
  if (t->setname) sdelete(t->setname);
  if (t->inset) sdelete(t->inset);
  edelete(t->keynames);
  edelete(t->keydums);
  if (t->keyss) sdelete(t->keyss);
  pv_release(t->cols);
  t->strings = t->keynames = t->keydums = nullptr;
  t->setname = t->inset = nullptr;
  t->keyss = nullptr;
  t->cols = nullptr;
  if (how == 2 && t->deps) {
    del_mblk(htcl(4 * t->ndeps), t->deps);
    t->deps = nullptr;
  }
  if (how) delete t;
}

Table* table_del(symbol* name) {
  xnode* d = xclass_find(XC_TABLES, name);
  if (!d) return nullptr;
  if (table_names) {
    // The names kept in order, without this one.
    std::vector<symbol*> keep;
    for (setmem* m = table_names->first; m; m = m->next)
      if (m->ord >= 0 && m->tup()[0] != name) keep.push_back(m->tup()[0]);
    free_members(table_names);
    table_names->new_htab(static_cast<int>(keep.size()));
    for (symbol* s : keep) table_names->addmem(&s);
  }
  return static_cast<Table*>(d);
}

Table* table_show(symbol* name) {
  xnode* d = xclass_find(XC_TABLES, name);
  if (!d) Fprintf(display_stream(), "### %s is not a table.\n", name->name);
  return static_cast<Table*>(d);
}

int add_inddir(int count, int d) {
  if (!count || count == d) return d;
  error(2, "Treating %s %s as INOUT", dir_name[count & 3], dir_name[d & 3]);
  return 3;
}

namespace {

// Finds a reference to a key dummy (a dummy of the key level).
struct key_dummy_finder : walker_defaults {
  int level;
  expr* found = nullptr;
  void look(expr* e) {
    if (!e || found) return;
    if (opcode(e) == OPDUMMY && e->L.i == level) {
      found = e;
      return;
    }
    visit_operands(e, *this);
  }
  void operand(expr*& e) { look(e); }
  void chain(expr*& e) {
    for (expr* x = e; x; x = x->next) look(x);
  }
  void args(expr*& e, bool) {
    for (expr* x = e; x; x = x->next) look(x);
  }
};

}  // namespace

pvinfo* make_pvi(expr* item, expr* colname, int dir) {
  // A computed column name is evaluated once per transfer, before any row:
  // it may not use the key columns.
  if (colname && opcode(colname) != OPSTR && cur_table && cur_table->keyss) {
    key_dummy_finder f;
    f.level = cur_table->keyss->first->level;
    f.look(colname);
    if (f.found) {
      cstr* d = sprex2(f.found);
      error(0, "key-column dummy %s may not appear in \"%s\"", d->text(),
            "~(...)");
      zap_cstr(&d);
      ++tab_errs;
    }
  }
  pvinfo* p = new_pv();
  p->e = item;
  p->name = colname;
  if (colname) p->flags |= PV_NAMED;
  p->dir = dir;
  p->ent = col_entity(item);
  return p;
}

expr* eqchk(expr* item, int op, expr*) {
  if (op && op != '~') error(2, "Expected ~ rather than %s .", relop_text(op));
  return item;
}

static pvinfo* group_start(set_spec* ix, int kind) {
  pvinfo* g = new_pv();
  g->gix = ix;
  g->flags = PV_GROUP | kind;
  return g;
}

pvinfo* itpv(set_spec* ix, expr* item) {
  if (ix) end_context(ix, nullptr);
  pvinfo* g = group_start(ix, 0);
  g->dir = 2;
  pvinfo* m = make_pvi(item, nullptr, 2);
  g->members = m;
  return g;
}

pvinfo* tabitstart(set_spec* ix, int flags) {
  if (ix) end_context(ix, nullptr);
  return group_start(ix, (flags & 8) ? PV_LIST : 0);
}

static pvinfo* group_add(pvinfo* g, pvinfo* item) {
  if (!item) return g;
  if (item->dir & 1) {
    error(0, "For {...}(...) columns, only OUT is allowed.");
    ++tab_errs;
  }
  pvinfo** tail = &g->members;
  while (*tail) tail = &(*tail)->next;
  *tail = item;
  return g;
}

pvinfo* add_pv_ititem(pvinfo* g, pvinfo* item) { return group_add(g, item); }

pvinfo* add_coldesc(pvinfo* g, pvinfo* item) { return group_add(g, item); }

int arrowlist(const char* arrow) {
  if (!std::strcmp(arrow, "<-")) return 1;
  if (!std::strcmp(arrow, "->")) return 2;
  if (!std::strcmp(arrow, "<->")) return 3;
  error(0, "Ill-formed arrow: expected \"<-\", \"->\", or \"<->\".");
  return 0;
}

set* table_set_spec(set_spec* ix) { return ix; }

void tabredecl_start(symbol* name) { redecl_of_class(XC_TABLES, name); }

void table_reset() {
  pv_free = nullptr;
  tab_errs = 0;
}

}  // namespace vexo
