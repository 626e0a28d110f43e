// Suffix declarations and the registry of suffix names.
#include "instance/sufdecl.h"

#include <cstring>
#include <initializer_list>

#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/paramdcl.h"
#include "frontend/rawtok.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "instance/sufstore.h"
#include "report/prex.h"
#include "session/sysdecls.h"
#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

int in_suffixes;
int out_suffixes;
int stage_dcl;

// The suffix operand of the right-side dual of a complementarity
// constraint (Rdual): a marker, never a declared suffix.
static xnode rdual_mark;

void* suffix::operator new(size_t size) { return xmem(XM_SUFFIX, size); }
void suffix::operator delete(void* p) { xmem_free(XM_SUFFIX, p); }

suffix* new_suffix(symbol* name, cstr* alias) {
  suffix* s = new suffix;
  xrecomp_constr(s, name, alias, nullptr, DK_SUFFIX, 0);
  return s;
}

void suffix::addtype(uint32_t bits) { type_bits |= bits; }

void suffix::add_in(set* s) {
  if (s->arity != 1) {
    error(0, "a suffix cannot be in a set of dimen %d", s->arity);
    sdelete(s);
    return;
  }
  list* c = new list;
  c->next = conditions;
  c->item.e = new_expr(opword(OPINCHECK), nullptr, s);
  conditions = c;
}

static const char* dir_name(int d) {
  return d == SUF_IN ? "IN" : d == SUF_OUT ? "OUT" : "INOUT";
}

void suffix::add_dir(int code) {
  int old = direction;
  if (code & SUF_LOCAL) {
    if (old & SUF_INOUT) {
      error(0, "A suffix cannot be both LOCAL and %s", dir_name(old & 3));
      return;
    }
  } else if (old & ~SUF_INOUT) {
    error(0, "A suffix cannot be both LOCAL and %s", dir_name(code));
    return;
  }
  direction = old | code;
}

static bool ends_num(const char* s) {
  size_t n = std::strlen(s);
  return n > 4 && !std::strcmp(s + n - 4, "_num");
}

// Frees a refused declaration: its conditions and the record; the
// statement's redeclaration and dependencies end with it.
static suffix* refuse(suffix* s) {
  redeclares(old_obj0);
  dep_reset();
  for (list* c = s->conditions; c; c = c->next) edelete(c->item.e);
  free_list(s->conditions);
  zap_cstr(&s->alias);
  delete s;
  return nullptr;
}

static bool in_set(set* s, symbol* name) {
  return s && set_lookup(s, &name) >= 0;
}

suffix* suffix::finish_dcl() {
  end_dcl_name();
  const char* nm = name->name;
  static const char taken[] =
      "%s is aleady a suffix; to see all of them,\n\tdisplay _SUFFIXES;\n";
  if (ends_num(nm)) {
    error(0, "Suffix names may not end in \"_num\"");
    return refuse(this);
  }
  bool stage = !std::strcmp(nm, "stage");
  if (in_set(sysdot_names, name)) {
    if (!stage) {
      error(0,
            "%s is a system suffix; to see all of them,\n"
            "\tdisplay _SYSTEM_SUFFIXES;\n",
            nm);
      return refuse(this);
    }
    if (int n = xclass[XC_RANDVARS].n) {
      error(0,
            "Ignoring suffix stage declaration after random variable "
            "declaration%s.",
            n == 1 ? "" : "s");
      return refuse(this);
    }
    if (stage_dcl++) {
      error(0, taken, nm);
      return refuse(this);
    }
  }
  if (in_set(dot_names, name)) {
    suffix* cur = suff_named(name);
    if (stage)
      redeclares(cur);
    else if (old_obj != cur) {
      error(0, taken, nm);
      return refuse(this);
    }
  }
  xnode* old = nullptr;
  if (yychain(this, &old)) return refuse(this);
  finish_check(&conditions, type_bits);
  suffix* r = this;
  if (old) {
    suffix* o = static_cast<suffix*>(old);
    if (o->direction & SUF_IN) --in_suffixes;
    if (o->direction & SUF_OUT) --out_suffixes;
    // The table keeps its notification and parsed text.
    table = o->table;
    r = static_cast<suffix*>(x_copy(old, this, XM_SUFFIX));
  } else if (dot_names) {
    symbol* t = name;
    set_addmem(dot_names, &t);
  }
  if (r->type_bits & SUF_SYMBOLIC) {
    cstr* t = cstr_join(r->name->name, '_', "table");
    r->table.option = Symbol(t->text(), 1);
    zap_cstr(&t);
  }
  // The declaration numbering needs no renumbering here: numbers follow
  // declaration order (frontend/decl.h), whatever the kinds.
  r->type_bits &= ~SUF_DEFER;
  if (!r->direction) r->direction = SUF_INOUT;
  if (r->direction & SUF_IN) ++in_suffixes;
  if (r->direction & SUF_OUT) ++out_suffixes;
  r->table.stale = 1;
  return r;
}

void sufredecl_start(symbol* name) { redecl_of_class(XC_SUFFIXES, name); }

suffix* suf_bynum(int n) {
  return static_cast<suffix*>(xclass[XC_SUFFIXES].a[n]);
}

suffix* suff_named(symbol* name) {
  int64_t k = dot_names ? set_lookup(dot_names, &name) : -1;
  return k < 0 ? nullptr : suf_bynum(int(k));
}

suffix* suff_show(symbol* name) {
  suffix* s = suff_named(name);
  if (!s)
    Fprintf(display_stream(), "### %s is not a declared suffix.\n",
            name->name);
  return s;
}

suffix* getsuf(const char* name, int* symbolic) {
  *symbolic = 0;
  if (!dot_names) return nullptr;
  bool num = ends_num(name);
  symbol* sym;
  if (num) {
    size_t n = std::strlen(name) - 4;
    char buf[256];
    if (n >= sizeof buf) return nullptr;
    std::memcpy(buf, name, n);
    buf[n] = 0;
    sym = Symbol0(buf);
  } else {
    sym = Symbol0(name);
  }
  suffix* s = sym ? suff_named(sym) : nullptr;
  if (s && !num && (s->type_bits & SUF_SYMBOLIC)) *symbolic = 1;
  return s;
}

expr* dotassign(expr* e, cstr* name) {
  int symbolic;
  suffix* s = getsuf(name->text(), &symbolic);
  // A complementarity constraint's reference is its slack: the constraint
  // itself is the entity.
  int opc = opcode(e);
  if ((opc == OPDOT || opc == OPDOTSUB) && e->L.e->R.i == SUF_CCSLACK) {
    expr* in = e->L.e;
    in->R = e->R;
    free_expr(e);
    e = in;
  }
  if (!s) {
    int op = opcode(e);
    bool cc = (op == OPDUAL || op == OPDUALSUB) &&
              (e->L.x->flags & CV_TWOSLOTS);
    expr* r;
    if (cc && !std::strcmp(name->text(), "Ldual")) {
      r = e;
    } else if (cc && !std::strcmp(name->text(), "Rdual")) {
      r = new_expr(opword(OPPARSUB, 3), &rdual_mark, e);
    } else {
      error(0, "%s is not an assignable suffix.", name->text());
      edelete(e);
      r = new_num(0);
    }
    zap_cstr(&name);
    return r;
  }
  zap_cstr(&name);
  dac_add(static_cast<uint32_t>(s->num) + 1);
  return new_expr(symbolic ? opword(OPSPARSUB, 1) : opword(OPPARSUB, 3),
                  static_cast<xnode*>(s), e);
}

bool is_rdual(const xnode* x) { return x == &rdual_mark; }

void sufreset(symbol* name) {
  if (!name) {
    int n = dot_names ? dot_names->nmem : 0;
    for (int k = 0; k < n; ++k) sufs_clear(k);
    return;
  }
  if (suffix* s = suff_named(name)) {
    sufs_clear(s->classnum);
    return;
  }
  if (in_set(sysdot_names, name)) {
    error(0, "%s %s\n%s\n%s\n", name->name,
          "is a system suffix that cannot be reset.",
          "To see all system suffixes,", "\tdisplay _SYSTEM_SUFFIXES;");
    return;
  }
  error(0, "%s is not a declared suffix.", name->name);
}

void name_del(set* s, setmem* m) {
  setmem** p = &s->first;
  while (*p && *p != m) p = &(*p)->next;
  if (!*p) bug("name_del: not a member");
  *p = m->next;
  for (setmem* q = m->next; q; q = q->next) --q->ord;
  if (s->lastnext == &m->next) s->lastnext = p;
  --s->nmem;
  m->next = nullptr;
  del_setmem(s->arity, m);
  s->rehash();
}

suffix* dotdel(symbol* name, int force) {
  suffix* s = suff_named(name);
  if (!s) return nullptr;
  int k = s->classnum;
  if (k < N_Sys_Sufs) {
    error(0, "Cannot delete suffix %s", name->name);
    return nullptr;
  }
  if (!force && s->nrefs) return s;
  for (int cls : suf_classes) dotdel1(k, cls);
  setmem* m;
  set_lookup(dot_names, &name, &m);
  name_del(dot_names, m);
  // The class list follows the numbering: later suffixes move down.
  xclass_rec& c = xclass[XC_SUFFIXES];
  for (int i = k + 1; i < c.n; ++i) {
    c.a[i - 1] = c.a[i];
    if (c.a[i - 1]) --c.a[i - 1]->classnum;
  }
  c.a[--c.n] = nullptr;
  if (s->direction & SUF_IN) --in_suffixes;
  if (s->direction & SUF_OUT) --out_suffixes;
  stat_forget(&s->table);
  stat_free(&s->table);
  return s;
}

void suf_clear() {
  const xclass_rec& c = xclass[XC_SUFFIXES];
  for (int i = 0; i < c.n; ++i)
    if (c.a[i]) stat_forget(&static_cast<suffix*>(c.a[i])->table);
  for (stat_table* t : {&solve_result_table, &astatus_table, &sense_table}) {
    stat_forget(t);
    *t = stat_table{};
  }
}

void sufdecl_reset() {
  in_suffixes = out_suffixes = 0;
  stage_dcl = 0;
}

}  // namespace vexo
