// Parameter and set declarations: clause methods, finishing, and the
// system params and sets of start-up.
#include "frontend/paramdcl.h"

#include <cmath>
#include <cstring>

#include "eval/builtin.h"
#include "eval/indexing.h"
#include "eval/ordered.h"
#include "eval/setclass.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/rawtok.h"
#include "frontend/refs.h"
#include "frontend/strexpr.h"
#include "frontend/vardcl.h"
#include "report/prset.h"
#include "session/located.h"
#include "session/sysdecls.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

setdcl* current_setdcl;
int lazy;
int old_param_eq;
int randparam_warn;

static bool has_vars(const expr* e) { return e && has_flag(e, EF_VARS); }

// The literal true that replaces a refused check condition.
static expr* true_lit() {
  return new_expr(opword(OPLOGLIT, EF_CONST | EF_NUMERIC), int32_t{1});
}

// An expression with variables where none may be: reported, deleted and
// replaced by the number 0.
static expr* novars0(expr* e, const char* what) {
  if (!has_vars(e)) return e;
  error(0, "variable in %s expression", what);
  set_rc_bit(8);
  edelete(e);
  return new_num(0.);
}

static bool indexed(const set_spec* ix) { return ix && ix->nindex > 0; }

// Releases a check list: the check nodes (their placeholders, when
// shared, once) and the cells.
static void del_pcheck(list* l) {
  expr* shared = nullptr;
  for (list* c = l; c; c = c->next) {
    expr* n = c->item.e;
    if (!n) continue;
    int oc = opcode(n);
    if (oc == OPINCHECK || oc == OPINCHECKs) {
      if (n->R.s) sdelete(n->R.s);
    } else if (n->R.e) {
      edelete(n->R.e);
    }
    if (n->L.e && opcode(n->L.e) == OPLIT) {
      shared = n->L.e;
    } else if (n->L.e) {
      edelete(n->L.e);
    }
    n->next = nullptr;
    free_expr(n);
  }
  if (shared) {
    shared->next = nullptr;
    free_expr(shared);
  }
  delete l;
}

static void push_check(list** head, expr* node) {
  list* c = new list;
  c->next = *head;
  c->item.e = node;
  *head = c;
}

// ---- param ----------------------------------------------------------------

void* param::operator new(size_t size) { return xmem(XM_PARAM, size); }
void param::operator delete(void* p) { xmem_free(XM_PARAM, p); }

param* new_param(symbol* name, cstr* alias, set_spec* ix) {
  param* p = new param;
  int ind = indexed(ix);
  xrecomp_constr(p, name, alias, ix, DK_PARAM + ind, ind);
  p->ninst = -1;
  rec_xnode = static_cast<xnode*>(name ? name->binding : nullptr);
  recursive = 0;
  return p;
}

void param::addtype(uint32_t bits) {
  if (bits == PT_SYMBOLIC && recursive) {
    // The param's own references in its clauses were built numeric: the
    // attribute is refused and the param stays numeric.
    error(0, "\"symbolic\" must precede %s", asgn ? ":=" : "default");
    set_rc_bit(8);
    return;
  }
  type |= bits;
  if (bits == PT_SYMBOLIC && kind < DK_SET) kind += 10;
}

void param::addasgn(expr* e) {
  e = novars0(e, "=");
  if (!asgn && !dflt) {
    (lazy ? dflt : asgn) = e;
    return;
  }
  error(0, "at most one := or default is allowed");
  edelete(e);
}

void param::addcheck(uint32_t opw, expr* e) {
  if (static_cast<int>(opw >> OPSHIFT) == EQ && old_param_eq != 1) {
    addasgn(e);
    return;
  }
  if (has_vars(e)) {
    error(0, "variable in %s expression", "check");
    set_rc_bit(8);
    edelete(e);
    e = true_lit();
  }
  push_check(&checks, new_expr(opw, nullptr, e));
}

void param::add_in(set* s) {
  if (s->arity != 1) {
    error(0, "a param cannot be in a set of dimen %d", s->arity);
    sdelete(s);
    return;
  }
  push_check(&checks, new_expr(opword(OPINCHECK), nullptr, s));
}

void param::adddflt(expr* e) {
  e = novars0(e, "default");
  if (!asgn && !dflt) {
    dflt = e;
    return;
  }
  error(0, "at most one := or default is allowed");
  edelete(e);
}

// Numeric checks: the integrality test in front, a placeholder for the
// value under test in each node, numeric comparands.
void finish_check(list** head, uint32_t type) {
  if (type & (PT_INTEGER | PT_BINARY)) {
    int oc = (type & PT_BINARY) ? OP_ISLOGICAL : OP_ISINTEGER;
    push_check(head, new_expr(opword(oc)));
  }
  for (list* c = *head; c; c = c->next) {
    expr* n = c->item.e;
    n->L = new_num(0.);
    int oc = opcode(n);
    if (oc != OPINCHECK && n->R.e) n->R = make_numeric(n->R.e);
  }
}

// Symbolic checks: one shared symbol placeholder; == and != take the form
// of their comparand; `in` its symbolic test.  Returns 0 when an ordering
// relation made the whole list go.
static int finish_scheck(list** head) {
  expr* ph = new_expr(opword(OPLIT, EF_CONST), nullptr);
  bool used = false;
  for (list* c = *head; c; c = c->next) {
    expr* n = c->item.e;
    int oc = opcode(n);
    if (oc == OPINCHECK) {
      set_opcode(n, OPINCHECKs);
    } else if (oc == EQ || oc == NE) {
      expr* r = n->R.e;
      if (has_flag(r, EF_NUMERIC))
        set_opcode(n, oc + 2);
      else if (has_flag(r, EF_STRING))
        n->opword = opword(oc == EQ ? EQcscs : NEcscs, eflags(n) | EF_STRING);
      else
        set_opcode(n, oc + 3);
    } else {
      error(0,
            "no comparisons involving inequalities allowed for symbolic "
            "parameters");
      set_rc_bit(8);
      // The nodes given the placeholder so far must not free it twice.
      for (list* d = *head; d != c; d = d->next) d->item.e->L = nullptr;
      del_pcheck(*head);
      *head = nullptr;
      ph->next = nullptr;
      free_expr(ph);
      return 0;
    }
    n->L = ph;
    used = true;
  }
  if (!used) {
    ph->next = nullptr;
    free_expr(ph);
  }
  return 1;
}

param* param::finish_dcl(int haderr) {
  Curdclname = nullptr;
  // A random param's scope is closed by the variable that replaces it.
  if (!(flags & XF_RANDOM)) end_context(nullptr, this);
  if (haderr) {
    edelete(asgn);
    asgn = nullptr;
    recursive = 0;
  }

  if (flags & XF_RANDOM) {
    if (randparam_warn)
      error(2, "Converting %s to a random variable.", xnode_name(this));
    if (checks) {
      error(0, "Bounds may not be specified for random variables.");
      set_rc_bit(8);
      del_pcheck(checks);
      checks = nullptr;
    }
    // The variable takes the param's place; the name's binding before the
    // param is the one a failure restores.
    void* before = oldval;
    bool bound = name && name->binding == this;
    if (bound) name->binding = before;
    var* v = new var(name, alias, indexing, 0);
    v->oldval = before;
    if (Curdclname == name) Oldval = before;
    v->flags |= type & (PT_INTEGER | PT_BINARY);
    if (type & PT_SYMBOLIC) v->flags |= VF_SYMBOLIC;
    v->dflt = dflt ? dflt : asgn;
    if (dflt && asgn) edelete(asgn);
    make_random(v);
    rec_xnode = nullptr;
    param::operator delete(this);
    v->finish_dcl(haderr);
    return nullptr;
  }

  bool ind = kind & 1;
  if ((haderr || !asgn) && (!checks || ind)) flags |= XF_GENERATE;
  xnode* old = nullptr;
  if (yychain(this, &old)) {
    rec_xnode = nullptr;
    return this;
  }

  int marker;
  if (!(type & PT_SYMBOLIC)) {
    finish_check(&checks, type);
    if (dflt) dflt = make_numeric(dflt);
    if (asgn) asgn = make_numeric(asgn);
    marker = OP_RECPAR;
  } else {
    if (type & (PT_INTEGER | PT_BINARY)) {
      error(0, "symbolic parameters may not be integer or binary");
      set_rc_bit(8);
      type &= ~(PT_INTEGER | PT_BINARY);
    } else {
      finish_scheck(&checks);
    }
    // A list in parentheses is refused here as in numeric values.
    dflt = not_tuple(dflt);
    asgn = not_tuple(asgn);
    if (dflt && has_flag(dflt, EF_NUMERIC)) dflt = make_symbolic(dflt);
    if (asgn && has_flag(asgn, EF_NUMERIC)) asgn = make_symbolic(asgn);
    marker = OP_RECSPAR;
  }

  if (ind && (asgn || dflt) && recursive) {
    type |= PT_RECURSIVE;
    set* cache = set_enum(new_enum(), indexing->arity);
    expr** slot = &asgn;
    if (!asgn) {
      slot = &dflt;
      type |= PT_RECDEFAULT;
    }
    expr* holder = new_expr(opword(0), nullptr, cache);
    *slot = new_expr(opword(marker, eflags(*slot)), *slot, holder);
  }
  recursive = 0;
  checks = reverse(checks);
  rec_xnode = nullptr;
  return static_cast<param*>(x_copy(old, this, XM_PARAM));
}

// ---- set declarations ------------------------------------------------------

void* setdcl::operator new(size_t size) { return xmem(XM_SETDCL, size); }
void setdcl::operator delete(void* p) { xmem_free(XM_SETDCL, p); }

setdcl* new_setdcl(symbol* name, cstr* alias, set_spec* ix) {
  setdcl* s = new setdcl;
  int ind = indexed(ix);
  xrecomp_constr(s, name, alias, ix, DK_SET + ind, ind);
  s->circ[0] = s->circ[1] = &s->circ;
  current_setdcl = s;
  return s;
}

void setdcl::add_dimen(double d) {
  if (d != std::floor(d) || d < 1 || d > TUPMAX) {
    error(0, "dimen must specify an integer between 1 and %d", TUPMAX);
    set_rc_bit(8);
    return;
  }
  int n = static_cast<int>(d);
  if (dimen && dimen != n) {
    error(0, "dimen %d already inferred", dimen);
    set_rc_bit(8);
    return;
  }
  dimen = n;
}

void setdcl::add_within(set* s) {
  if (!dimen) {
    dimen = s->arity;
  } else if (s->arity != dimen) {
    error(0, "within set should have dimen %d rather than %d", dimen, s->arity);
    set_rc_bit(8);
    sdelete(s);
    return;
  }
  list* c = new list;
  c->next = within;
  c->item.s = s;
  within = c;
  // Its text for messages, taken before compilation changes the set.
  cstr* t = sprset(s, 0);
  list* tc = new list;
  tc->next = within_text;
  tc->item.p = tostring(t->text());
  within_text = tc;
  zap_cstr(&t);
}

// An empty set expression: an enumerated set without members, or a
// literal {} with no tuples.
static bool empty_setexpr(set* s) {
  if (s->sclass == SC_ENUM) return s->nmem == 0;
  if (s->sclass == SC_LITERAL)
    return reinterpret_cast<intptr_t>(static_cast<set3p*>(s)->f2) == 0;
  return false;
}

// The steps add_init and add_default share; mismatch is the arity
// message.  Returns the set to store, or null after an error.
static set* init_value(setdcl* d, set* s, const char* mismatch) {
  if (empty_setexpr(s)) {
    if (d->dimen)
      s = empty_set(d->dimen, s);
    else
      d->dimen = s->arity;
  } else if (!d->dimen) {
    d->dimen = s->arity;
  }
  if (d->asgn || d->dflt) {
    error(0, "at most one := or default is allowed");
    set_rc_bit(8);
    sdelete(s);
    return nullptr;
  }
  if (s->arity == 0 && d->dimen) fixarity(s, d->dimen, 0);
  if (s->arity != d->dimen) {
    error(0, mismatch, d->dimen, s->arity);
    set_rc_bit(8);
    sdelete(s);
    return nullptr;
  }
  if (s->sclass == SC_SPECSET) {
    set_spec* ss = static_cast<set_spec*>(s);
    if (ss->nindex == 1 && !ss->cond && ss->first) {
      set* t = ss->first->s;
      t->refcnt++;
      sdelete(ss);
      s = t;
    }
  }
  return s;
}

void setdcl::add_init(uint32_t opw, set* s) {
  if (static_cast<int>(opw >> OPSHIFT) != EQ) {
    error(0, "misplaced comparison operator");
    set_rc_bit(8);
    sdelete(s);
    return;
  }
  s = init_value(this, s, "assigned value should have dimen %d rather than %d");
  if (s) (lazy ? dflt : asgn) = s;
}

void setdcl::add_default(set* s) {
  s = init_value(this, s, "default value should have dimen %d rather than %d");
  if (s) dflt = s;
}

void setdcl::add_order(uint32_t bits) {
  if (dimen > 1) {
    error(0, "ordered sets must have dimen 1 rather than %d", dimen);
    set_rc_bit(8);
    return;
  }
  sflags |= bits;
  dimen = 1;
}

void setdcl::add_orderby(uint32_t bits, set* s) {
  if (!ordered_set(s, 1)) {
    error(0, "\"ordered by\" an unordered set");
    set_rc_bit(8);
    sdelete(s);
    return;
  }
  if (dimen >= 2) {
    error(0, "ordered sets must have dimen 1 rather than %d", dimen);
    set_rc_bit(8);
    sdelete(s);
    return;
  }
  sflags |= bits;
  dimen = 1;
  if (orderby) {
    sdelete(orderby->item.s);
  } else {
    orderby = new list;
    orderby->next = nullptr;
  }
  orderby->item.s = s;
  // Its text for messages, taken before compilation changes the set.
  cstr* t = sprset(s, 1);
  orderby_text = tostring(t->text());
  zap_cstr(&t);
}

// Steps of setdcl::finish_dcl from the flag test on (shared with the
// system sets).
static setdcl* finish_set(setdcl* d, int haderr) {
  bool ind = d->kind & 1;
  if ((haderr || !d->asgn) && ((!d->within && !d->orderby) || ind))
    d->flags |= XF_GENERATE;
  xnode* oldx = nullptr;
  if (yychain(d, &oldx)) return d;
  if (!d->dimen) d->dimen = 1;
  setdcl* old = static_cast<setdcl*>(oldx);
  xnode* self = old ? static_cast<xnode*>(old) : d;

  if (!ind) {
    if (d->asgn) {
      if (!d->asgn->owner) d->asgn->owner = self;
      if (d->orderby) {
        d->asgn = set_ordered(d->asgn, d->orderby);
        d->asgn->owner = self;
      }
      d->value = d->asgn;
    } else {
      if (d->dflt && !d->dflt->owner) d->dflt->owner = self;
      // A default is sorted as a := set is, into members of its own.
      if (d->dflt && d->orderby) {
        d->dflt = set_ordered(d->dflt, d->orderby);
        d->dflt->owner = self;
      }
      if (old && old->value && old->value->arity == d->dimen &&
          old->value->nmem >= 0) {
        d->value = old->value;
        setdcl* r = static_cast<setdcl*>(x_copy(old, d, XM_SETDCL));
        r->circ[0] = r->circ[1] = &r->circ;
        return r;
      }
      if (old && old->value && old->value != old->asgn) sdelete(old->value);
      set* v = set_enum(new_enum(), d->dimen);
      v->owner = self;
      v->nmem = -1;
      d->value = v;
    }
  } else if (d->sflags & SF_SUBSCRIPTED) {
    if (d->asgn || d->dflt) {
      d->sflags |= SF_RECCACHE;
      d->cache = set_enum(new_enum(), d->indexing ? d->indexing->arity : 1);
      if (d->asgn) {
        if (d->dflt) sdelete(d->dflt);
        d->dflt = d->asgn;
        d->asgn = nullptr;
      } else {
        d->sflags |= SF_RECDEFAULT;
      }
    }
  }
  setdcl* r = static_cast<setdcl*>(x_copy(old, d, XM_SETDCL));
  // The circular list head points at itself in the surviving record.
  r->circ[0] = r->circ[1] = &r->circ;
  return r;
}

setdcl* setdcl::finish_dcl(int haderr) {
  Curdclname = nullptr;
  recursive = 0;
  end_context(nullptr, this);
  current_setdcl = nullptr;
  if (haderr && asgn) {
    sdelete(asgn);
    asgn = nullptr;
  }
  return finish_set(this, haderr);
}

// ---- system declarations ---------------------------------------------------

int sysset_en_IN(set* s, symbol** tuple, TVA* tva) {
  if (!s->genall) bug("sysset_en_IN called");
  if (s->nmem == -1) set_genall(s, tva);
  return static_cast<int>(set_lookup(s, tuple));
}

setdcl* sysset_en(symbol* name, int arity, set_genall_fn routine, xnode* dep) {
  if (dep) dep_note(dep->num);
  setdcl* d = new setdcl;
  xrecomp_constr(d, name, nullptr, nullptr, DK_SET, 0);
  d->circ[0] = d->circ[1] = &d->circ;
  current_setdcl = d;
  if (routine) {
    set* s = set_enum(new_enum(), arity);
    s->sclass = SC_SYSENUM;
    s->genall = routine;
    s->in = sysset_en_IN;
    s->nmem = -1;
    // Without a table, membership goes through sysset_en_IN, which
    // generates the members first.
    if (s->htab) {
      del_mblk(s->k, s->htab);
      s->htab = nullptr;
    }
    d->add_init(opword(EQ), s);
  }
  d->sflags |= SF_SYSTEM;
  current_setdcl = nullptr;
  return finish_set(d, 0);
}

param* hparamvec(symbol* name) {
  // One index with one dummy over the table handlers; the dummy's name
  // cannot be written in the language and is unbound again when the
  // declaration closes its scope.
  handleindx->refcnt++;
  expr* nm = new_expr(opword(OP279), Symbol("$h", 0));
  Index* ix = index_item(nullptr, nm, handleindx);
  set_spec* ss = new set_spec(ix, nullptr, 1);
  param* p = new param;
  xrecomp_constr(p, name, nullptr, ss, DK_PARAMI, 1);
  p->type = PT_SYMBOLIC;
  p->ninst = -1;
  recursive = 0;
  p->kind += 10;
  if (Sd_HANDLERS) dep_note(Sd_HANDLERS->num);
  param* r = p->finish_dcl(0);
  r->vals = new_mblk(2, 1);
  r->nvals = 1;
  r->valk = 2;
  return r;
}

set* sysset_of(xnode* sysdcl) {
  if (!sysdcl) return nullptr;
  uint32_t k = sysdcl->kind;
  if (k == DK_SET || k == DK_SETI) return static_cast<setdcl*>(sysdcl)->value;
  return nullptr;
}

void finish_current_setdcl() {
  if (current_setdcl) current_setdcl->finish_dcl(0);
}

void paramdcl_reset() { current_setdcl = nullptr; }

}  // namespace vexo
