// Variable declarations: clause methods, finishing, defined variables,
// arc and column terms, suffix initialisers.
#include "frontend/vardcl.h"

#include <cctype>
#include <cstring>

#include "eval/builtin.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/keywords.h"
#include "frontend/rawtok.h"
#include "frontend/refs.h"
#include "frontend/strexpr.h"
#include "instance/problem.h"
#include "instance/sufdecl.h"
#include "session/located.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {


static bool has_vars(const expr* e) { return e && has_flag(e, EF_VARS); }

// ---- suffix initialisers ---------------------------------------------------

void sufwarn(symbol* sufname) {
  error(0, "%s is not a declared suffix.\n", sufname->name);
}

void add_sufinit(expr** head, symbol* sufname, expr* value) {
  int64_t pos = dot_names ? set_lookup(dot_names, &sufname) : -1;
  xclass_rec& c = xclass[XC_SUFFIXES];
  if (pos < 0 || pos >= c.n || !c.a[pos]) {
    sufwarn(sufname);
    set_rc_bit(8);
    edelete(value);
    return;
  }
  suffix* s = static_cast<suffix*>(c.a[pos]);
  if (!(s->type_bits & SUF_SYMBOLIC)) value = make_numeric(value);
  expr* n = new_expr(opword(OP248), static_cast<xnode*>(s), value);
  n->next = *head;
  *head = n;
  dep_note(s->num);
}

void convar::addsufinit(symbol* sufname, expr* value) {
  add_sufinit(&sufinit, sufname, value);
}

// ---- var -------------------------------------------------------------------

void* var::operator new(size_t size) { return xmem(XM_VAR, size); }
void var::operator delete(void* p) { xmem_free(XM_VAR, p); }

var::var(symbol* nm, cstr* al, set_spec* ix, uint64_t fl) {
  // The record comes zeroed from its pool; every field is set here all
  // the same, since a constructor may not rely on earlier contents.
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  randvar_cleanup();
  kind = ix && ix->nindex > 0 ? DK_VARI_PENDING : DK_VAR;
  name = nm;
  alias = al;
  indexing = ix;
  oldval = nm ? nm->binding : nullptr;
  if (nm && oldval != old_obj) {
    nm->binding = this;
    Curdclname = nm;
    Oldval = oldval;
  }
  flags = fl;
  ninst = -1;
  stamp = stamp2 = 1.0;
  xr.instamp = 1.0;
  rec_xnode = this;
  recursive = 0;
}

void var::addtype(uint32_t bits) { flags |= bits; }

void var::addbound(uint32_t opw, expr* e) {
  int oc = static_cast<int>(opw >> OPSHIFT);
  if (oc != EQ && has_vars(e)) {
    error(0, "variable in %s expression", "bound");
    set_rc_bit(8);
    edelete(e);
    e = new_num(0.);
  }
  e = make_numeric(e);
  switch (oc) {
    case GE:
      if (lb) {
        error(0, "extra >= bound");
        set_rc_bit(8);
        edelete(e);
      } else {
        lb = e;
      }
      return;
    case LE:
      if (ub || (flags & VF_FIXED)) {
        error(0, "extra <= bound");
        set_rc_bit(8);
        edelete(e);
      } else {
        ub = e;
      }
      return;
    case EQ:
      break;
    default:
      error(0, "cannot enforce strict bound");
      set_rc_bit(8);
      edelete(e);
      return;
  }
  if (lb || ub) {
    error(0, "extra == bound (fixed variable)");
    set_rc_bit(8);
    edelete(e);
    return;
  }
  uint32_t ef = eflags(e);
  if ((ef & (EF_RANDVAR | EF_VARS)) == EF_RANDVAR) flags |= VF_RANDOM;
  if (flags & VF_RANDOM) {
    if (init) {
      error(0, "%c%s already specified.", 'R', "andom distribution");
      set_rc_bit(8);
      edelete(e);
      return;
    }
    if (dflt) {
      error(0, "Default %s already specified.", "random distribution");
      set_rc_bit(8);
      edelete(e);
      return;
    }
    if (ef & EF_RANDOM) {
      if (ef & EF_RANDVAR) e = new_expr(opword(OPEVALr162, 0x22), e);
      init = e;
      return;
    }
    flags &= ~static_cast<uint64_t>(VF_RANDOM);
    if (ef & (EF_VARS | EF_RANDVAR))
      error(2, "Treating \"random\" variable %s as a defined variable.",
            name->name);
  }
  lb = e;
  if (!(ef & (EF_RANDVAR | EF_RANDOM | EF_VARS))) {
    flags |= VF_FIXED;
    error(2, "%s should be \"param =\" rather than \"var =\".", name->name);
  } else {
    flags |= VF_FIXED | VF_DEFINED;
  }
}

void var::addiguess(expr* e, int is_default) {
  const char* what =
      (flags & VF_RANDOM) ? "random distribution" : "initial guess";
  if (init) {
    error(0, "%c%s already specified.",
          std::toupper(static_cast<unsigned char>(what[0])), what + 1);
    set_rc_bit(8);
    edelete(e);
    return;
  }
  if (dflt) {
    error(0, "Default %s already specified.", what);
    set_rc_bit(8);
    edelete(e);
    return;
  }
  if (has_vars(e)) {
    error(0, "variable in %s expression", ":=");
    set_rc_bit(8);
    edelete(e);
    e = new_num(0.);
  }
  e = make_numeric(e);
  if (is_default || (flags & VF_RANDOM))
    dflt = e;
  else
    init = e;
}

// A constant bound of an interval: its value, or whether one is there.
static bool const_bound(const expr* e, double* v) {
  if (!e || opcode(e) != OPNUM) return false;
  *v = e->L.d;
  return true;
}

// Searches a domain set for an interval that bounds cannot express:
// null when there is none, else the phrase for the message.
static const char* bad_interval(set* s) {
  if (!s) return nullptr;
  switch (s->sclass) {
    case SC_UNION: {
      set2p* b = static_cast<set2p*>(s);
      const char* r = bad_interval(static_cast<set*>(b->f1));
      return r ? r : bad_interval(static_cast<set*>(b->f2));
    }
    case SC_ITUNION:
      return bad_interval(static_cast<set*>(static_cast<set2p*>(s)->f2));
    case SC_IF: {
      set3p* b = static_cast<set3p*>(s);
      const char* r = bad_interval(static_cast<set*>(b->f2));
      return r ? r : bad_interval(static_cast<set*>(b->f3));
    }
    case SC_INTERVAL:
      break;
    default:
      return nullptr;
  }
  set_interval* iv = static_cast<set_interval*>(s);
  int t = iv->type;
  if ((t & 4) || (t & 3) == 3) return nullptr;
  double lo, hi;
  bool finite_lo = const_bound(iv->lower, &lo) && lo > negInfinity;
  bool finite_hi = const_bound(iv->upper, &hi) && hi < Infinity;
  switch (t & 3) {
    case 1:
      return finite_lo ? "a half-open interval" : nullptr;
    case 2:
      return finite_hi ? "a half-open interval" : nullptr;
    default:
      return finite_lo || finite_hi ? "an open interval" : nullptr;
  }
}

void var::addiset(set* s) {
  if (s->arity != 1) {
    error(0, "ignoring \"in set_expr\" of arity %d.", s->arity);
    set_rc_bit(8);
    sdelete(s);
    return;
  }
  if (const char* what = bad_interval(s)) {
    error(0, "ignoring \"in set_expr\" involving %s", what);
    set_rc_bit(8);
    sdelete(s);
    return;
  }
  if (domain) sdelete(domain);
  domain = s;
}

// The lookup of a node or constraint by subscripts: OPLOOKUP over
// OPSYMLIST of the symbol-valued subscripts; null after a wrong count
// (reported) or without subscripts.
static expr* term_lookup(constr* c, expr* subs, bool* bad) {
  *bad = false;
  if (!subs) return nullptr;
  int given = 0;
  for (expr* e = subs; e; e = e->next) given++;
  int needed = subscript_count(c);
  if (given != needed) {
    wrong_number(c, needed, given);
    ldelete(subs);
    *bad = true;
    return nullptr;
  }
  expr* sl = symlist(SYML_INDEX, subs);
  return new_expr(opword(OPLOOKUP), static_cast<xnode*>(c),
                  new_expr(opword(OPSYMLIST), sl));
}

static void push_term(var* v, set_spec* ix, constr* c, expr* lookup, expr* coef,
                      int32_t kind) {
  var_term* t = static_cast<var_term*>(new_mblk(3, 1));
  t->ix = ix;
  t->con = c;
  t->lookup = lookup;
  t->coef = coef;
  t->kind = kind;
  t->next = v->arcs;
  v->arcs = t;
  c->flags |= VF_COLTERMS;
}

// A rejected arc or column clause: its operands go and its indexing ends.
static void drop_clause(set_spec* ix, expr* subs, expr* coef) {
  set_rc_bit(8);
  ldelete(subs);
  edelete(coef);
  if (ix) end_context(ix, nullptr);
}

void var::addarc(int which, set_spec* ix, constr* node, expr* subs,
                 expr* coef) {
  const char* dir = which ? "from" : "to";
  uint64_t bit = 0;
  if (!ix) bit = which ? VF_FROM1 : VF_TO1;
  bool ok = true;
  if (!(node->flags & CF_NODE)) {
    error(0, "%s is not a node", xnode_name(node));
    ok = false;
  } else if (!(flags & VF_ARC)) {
    error(0, "%s is not an arc", xnode_name(this));
    ok = false;
  }
  if (!ok) {
    drop_clause(ix, subs, coef);
    return;
  }
  if (bit && (flags & bit)) {
    uint64_t once = which ? VF_FROMWARN : VF_TOWARN;
    if (!(flags & once)) {
      error(2, "multiple %s clauses for arc %s", dir, xnode_name(this));
      flags |= once;
    }
  }
  flags |= bit;
  if (coef) {
    if (has_vars(coef))
      error(2, "nonlinear \"%s %s\" clause", dir, xnode_name(node));
    coef = make_numeric(coef);
    if (which) coef = negate(coef);
  } else {
    coef = new_num(which ? -1.0 : 1.0);
  }
  bool bad;
  expr* lookup = term_lookup(node, subs, &bad);
  if (bad) {
    edelete(coef);
  } else {
    push_term(this, ix, node, lookup, coef, which ? VT_FROM : VT_TO);
  }
  if (ix) end_context(ix, nullptr);
}

void var::addcolgen(set_spec* ix, constr* c, expr* subs, expr* coef) {
  bool ok = false;
  if (c->flags & CF_NODE)
    error(0, "%s is an arc; only \"to\" or \"from\" allowed", xnode_name(c));
  else if (!(c->flags & CF_TOCOME))
    error(0, "to_come not specified for %s", xnode_name(c));
  else
    ok = true;
  if (!ok) {
    drop_clause(ix, subs, coef);
    return;
  }
  bool bad;
  expr* lookup = term_lookup(c, subs, &bad);
  if (bad) {
    edelete(coef);
  } else {
    coef = coef ? make_numeric(coef) : new_num(1.0);
    push_term(this, ix, c, lookup, coef, VT_COL);
  }
  if (ix) end_context(ix, nullptr);
}

// "Variables cannot be both %s and %s": drops the attribute named second.
static void drop_attr(var* v, uint64_t bit, const char* keep,
                      const char* drop) {
  if (!(v->flags & bit)) return;
  error(0, "Variables cannot be both %s and %s; ignoring \"%s\".", keep, drop,
        drop);
  set_rc_bit(8);
  v->flags &= ~bit;
}

var* var::finish_dcl(int haderr) {
  Curdclname = nullptr;
  if (kind == DK_VARI_PENDING) kind = DK_VARI;
  rec_xnode = nullptr;
  end_context(nullptr, this);
  sufinit = reverse(sufinit);
  int ncollected = dac.n;
  if (arcs) tc_zap();

  if (flags & VF_SYMBOLIC) {
    error(0, "Sorry, symbolic variables are not yet allowed.");
    set_rc_bit(8);
    drop_attr(this, VF_RANDOM, "symbolic", "random");
    drop_attr(this, VF_INTEGER, "symbolic", "integer");
    drop_attr(this, VF_BINARY, "symbolic", "logical");
  } else if (flags & VF_RANDOM) {
    drop_attr(this, VF_INTEGER, "random", "integer");
    drop_attr(this, VF_BINARY, "random", "logical");
  }
  flags |= XF_GENERATE;

  xnode* oldx = nullptr;
  if (yychain(this, &oldx)) return this;
  tc_zap();
  xnode* self = oldx ? oldx : this;

  // A definition cut short by an error leaves a plain variable: its body
  // (held in lb until here) is dropped below with the other expressions,
  // and a defined variable without a body cannot be generated.
  if (haderr && (flags & VF_DEFINED)) {
    flags &= ~static_cast<uint64_t>(VF_DEFINED | VF_FIXED);
    edelete(lb);
    lb = nullptr;
  }
  if (flags & VF_DEFINED) {
    const char* why = (flags & VF_BINARY)     ? "be binary"
                      : (flags & VF_INTEGER)  ? "be integer"
                      : (flags & VF_SYMBOLIC) ? "be symbolic"
                      : domain                ? "have \"in set\""
                                              : nullptr;
    if (why) {
      error(0, "defined variables cannot %s.", why);
      set_rc_bit(8);
      flags &= ~static_cast<uint64_t>(VF_DEFINED);
      edelete(init);
      init = nullptr;
    } else {
      edelete(init);
      init = negate(lb);
      lb = nullptr;
      flags &= ~static_cast<uint64_t>(VF_FIXED);
      size_t n = std::strlen(name->name);
      char* buf = static_cast<char*>(new_mblk(htcl(n + 2)));
      buf[0] = '=';
      std::memcpy(buf + 1, name->name, n + 1);
      symbol* cn = Symbol(buf, 1);
      del_mblk(htcl(n + 2), buf);
      cn->binding = self;
      if (indexing) indexing->refcnt++;
      constr* c = new constr(cn, indexing);
      c->num = num;
      defcon = c;
    }
  }

  if (flags & VF_SYMBOLIC) {
    if (!domain) {
      error(0, "Symbolic variables must be declared \"in\" a finite set.");
      set_rc_bit(8);
      flags &= ~static_cast<uint64_t>(VF_SYMBOLIC);
    } else if (flags & VF_ARC) {
      error(0, "Arcs cannot be symbolic.");
      set_rc_bit(8);
      flags &= ~static_cast<uint64_t>(VF_SYMBOLIC);
    } else {
      if (lb || ub) {
        error(0, "Symbolic variables cannot have bounds.");
        set_rc_bit(8);
        edelete(lb);
        edelete(ub);
        lb = ub = nullptr;
      }
      if (flags & VF_RANDOM) {
        error(0, "Symbolic variables cannot be random.");
        set_rc_bit(8);
        flags &= ~static_cast<uint64_t>(VF_RANDOM);
      }
      kind += DK_SVAR - DK_VAR;
      for (expr** p : {&init, &dflt}) {
        expr* e = *p;
        if (!e) continue;
        if (opcode(e) == OPSYM2NUM) {
          *p = e->L.e;
          e->next = nullptr;
          free_expr(e);
        } else if (has_flag(e, EF_STRING)) {
          *p = make_sym(e);
        }
      }
    }
  }

  if ((flags & VF_RANDOM) && (lb || ub)) {
    error(0, "Bounds may not be specified for random variables.");
    set_rc_bit(8);
    edelete(lb);
    edelete(ub);
    lb = ub = nullptr;
  }

  if (haderr) {
    edelete(init);
    init = nullptr;
    recursive = 0;
  } else if ((flags & VF_RANDOM) && init) {
    primaladj(init);
  }

  if (domain && domain->sclass == SC_INTERVAL &&
      (static_cast<set_interval*>(domain)->type & 4))
    flags |= VF_INTEGER;
  integ = (flags & (VF_INTEGER | VF_BINARY | VF_SYMBOLIC)) ? 1 : 0;
  if (flags & VF_RANDOM) integ |= 32;

  // A node or constraint that a term names refers to the variable: its
  // columns come from it.
  if (arcs && ncollected) {
    for (int i = 0; i < ndeps; i++) {
      xnode* x = dac.bynum[deps[i]];
      if (!x || x->kind < DK_CON || x->kind > DK_OBJI) continue;
      xrefer(self, x->num);
      add_dep(x, self->num);
    }
  }
  nref_fin = static_cast<uint32_t>(self->nrefs);

  if (!(flags & VF_DEFINED)) {
    inst[0] = inst[1] = self;
    // Also after a redeclaration: the variable may have been a defined
    // one, or declared while another problem was current.
    if (cur_prob) prob_add(cur_prob, self);
  }
  // A redeclared record keeps its place in decls: when decl_rev has
  // already passed it, the new terms are put in clause order here.
  if (oldx && decl_rev_passed(oldx)) var_rev(this);
  return static_cast<var*>(x_copy(oldx, this, XM_VAR));
}

void var_rev(xnode* x) {
  var* v = static_cast<var*>(x);
  var_term* r = nullptr;
  while (var_term* t = v->arcs) {
    v->arcs = t->next;
    t->next = r;
    r = t;
  }
  v->arcs = r;
}

}  // namespace vexo
