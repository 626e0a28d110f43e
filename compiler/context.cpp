// Context levels, the context stack, marking and negation pushing.
#include "compiler/context.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "compiler/eexpr.h"
#include "compiler/massage.h"
#include "compiler/opgen.h"
#include "compiler/recomp.h"
#include "compiler/setmassage.h"
#include "compiler/tva.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/paramdcl.h"
#include "frontend/strexpr.h"
#include "instance/names.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"

namespace vexo {

context_rec con[MAX_CONTEXT + 1];
context_rec* ccon = con;
int curcon;
int max_context;
set_spec* curss;
int iflevel;
uint64_t ee_no_mand;
uint64_t let_sslev = 1;
int mand_stel;
list* rew_list;
list* rew_list0;
Index* lev0;
Index* lev00;


// The two level-0 entries live outside the pools, so that start-up and
// reset make them afresh in place.
alignas(Index) static unsigned char lev0_store[2][sizeof(Index)];

static Index* fresh_level0(int k) {
  std::memset(lev0_store[k], 0, sizeof(Index));
  return ::new (static_cast<void*>(lev0_store[k]))
      Index(nullptr, nullptr, nullptr, 0);
}

void context_reset() {
  for (int L = 0; L <= MAX_CONTEXT; ++L) {
    con[L] = context_rec{};
    con[L].levbit = uint64_t(1) << L;
    con[L].scope = (uint64_t(2) << L) - 1;
  }
  lev0 = fresh_level0(0);
  lev00 = fresh_level0(1);
  con[0].ix = lev0;
  ee_no_mand = 0;
  let_sslev = 1;
  ccon = con;
  curcon = 0;
  max_context = 0;
  curss = nullptr;
  iflevel = 0;
  mand_stel = 0;
  rew_list = rew_list0 = nullptr;
}

context_rec* level(uint64_t lev) {
  for (context_rec* c = ccon; c >= con; --c)
    if (c->levbit & lev) return c;
  bug("level has impossible levbits 0x%lx", static_cast<unsigned long>(lev));
}

void lev_adjust(int n) {
  curcon = n;
  ccon = con + n;
}

// ---- Opening and closing an indexing expression ----------------------------

// A new enumerated set that iteration fills with the accepted tuples: its
// own hashed record at level 0, contents never compared.
static set* new_result_set(int arity, double stamp) {
  set* rs = set_enum(new_enum(), arity);
  rs->nmem = -1;
  rs->stamp = stamp;
  eexpr* r = new eexpr;
  r->sinit(rs, static_cast<int64_t>(reinterpret_cast<uintptr_t>(rs) >> 3), 1, 1,
           stamp);
  r->flags |= EE_RUNTIME;
  rs->ee = r;
  return rs;
}

// The record and result set of a declaration's indexing (step 7 with an
// owner).  fresh: some entry's set record is new in this compilation.
static eexpr* owner_record(set_spec* ss, xnode* owner, int64_t h, uint64_t lev,
                           double stamp, bool fresh) {
  if (ss->rset) {
    sdelete(ss->rset);
    ss->rset = nullptr;
  }
  if (ss->cond)
    if (eexpr* c = ee_of(ss->cond)) ++c->nuse;
  eexpr* r = new eexpr;
  set* rs;
  Index* f = ss->first;
  if (f && !f->next && !ss->cond) {
    if (f->s->sclass != SC_SUBSCR) {
      rs = f->s;
      owner->flags |= XF_SETRESULT;
    } else {
      rs = new_result_set(f->s->arity, stamp);
      --rs->refcnt;  // the reference taken below is its first
    }
    r->sinit(ss, h, lev, 0, stamp);
  } else {
    ss->sclass = SC_SPECSET;
    eexpr* m = shash(h, ss);
    if (m && !fresh) {
      set_spec* ms = static_cast<set_spec*>(m->s);
      --ms->refcnt;
      if (ms->rset && ms->rset->stamp == stamp) {
        rs = ms->rset;
      } else {
        rs = new_result_set(ss->arity, stamp);
        if (ms->rset) sdelete(ms->rset);
        ms->rset = rs;  // the new set serves both
      }
      ss->sclass = SC_SPEC;
      r->sinit(ss, h, lev, 0, stamp);
    } else {
      if (m) {
        disc(m);
        --m->s->refcnt;
      }
      rs = new_result_set(ss->arity, stamp);
      --rs->refcnt;
      r->sinit(ss, h, lev, 1, stamp);
    }
  }
  ss->rset = rs;
  ++rs->refcnt;
  if (rs->ee) ++rs->ee->nuse;
  return r;
}

void ss_start(set_spec* ss, xnode* owner) {
  del_privnode(ss);
  ss->oldss = curss;
  curss = ss;
  if (ss->cond) not_elim(&ss->cond, 0);

  context_rec* outer = ccon;
  int first_level = curcon + 1;
  // Hash arithmetic wraps: kept unsigned.
  uint64_t uh = 0;
  uint64_t lev = 0;
  double stamp = 0;
  bool fresh = false;
  for (Index* ix = ss->first; ix; ix = ix->next) {
    if (curcon >= MAX_CONTEXT) bug("context stack overflow");
    eexpr* r = set_massage(&ix->s);
    ix->ee = r;
    if (!r->nuse) fresh = true;
    ++r->nuse;
    context_rec* c = &con[++curcon];
    c->ix = ix;
    c->ss = ss;
    c->iflevel = iflevel;
    iflevel = 0;
    c->framesize = 0;
    c->chain = c->early = nullptr;
    c->stamp = r->stamp;
    c->mandmask =
        ss->cond ? c->levbit : c->scope & ~((uint64_t(1) << first_level) - 1);
    ccon = c;
    uh = uh * 33 + static_cast<uint64_t>(r->hash);
    lev |= r->levbits;
    stamp = std::max(stamp, r->stamp);
    ix->cells = ix->s->arity;
  }
  if (ss->cond) {
    eexpr* r = massage(&ss->cond);
    // The conjuncts go to the levels they read (a compilation not undone
    // may have left them there before).
    ss->precond = nullptr;
    ss->split = 0;
    for (Index* ix = ss->first; ix; ix = ix->next) ix->cond = nullptr;
    st_adjust(r, ss);
    stamp = std::max(stamp, r->stamp);
    lev |= r->levbits;
    uh = uh * 33 + static_cast<uint64_t>(r->hash);
    for (context_rec* c = outer + 1; c <= ccon; ++c) {
      c->early = c->chain;
      c->chain = nullptr;
      c->stamp = stamp;
    }
  }
  int64_t h = static_cast<int64_t>(uh | EE_SETHASH);
  if (ss->nmem >= 0 && stamp > ss->stamp) Clearset(ss);
  ss->depmask = lev;
  if (!ss->first) ++iflevel;

  uint64_t sslev = lev & outer->scope;
  if (!sslev) sslev = 1;
  eexpr* r;
  if (owner) {
    r = owner_record(ss, owner, h, sslev, stamp, fresh);
  } else if (ss->sclass == SC_SPECSET) {
    eexpr* m = shash(h, ss);
    if (m && !fresh) {
      // An equal indexing compiled before: share its record.
      m->s->nuse += ss->nuse;
      ss->ee = m;
      max_context = std::max(max_context, curcon);
      return;
    }
    if (m) {
      disc(m);
      --m->s->refcnt;
    }
    r = new eexpr;
    r->sinit(ss, h, sslev, 1, stamp);
    if (ss->cond)
      if (eexpr* c = ee_of(ss->cond)) ++c->nuse;
  } else {
    r = new eexpr;
    r->sinit(ss, h, sslev, 0, stamp);
    if (ss->cond)
      if (eexpr* c = ee_of(ss->cond)) ++c->nuse;
  }
  ss->ee = r;
  ++r->nuse;
  max_context = std::max(max_context, curcon);
}

// Hands one chain of a closing level to opcode generation and recycles its
// records.
static void hand_over(eexpr* chain, Index* ix, int stel) {
  mand_stel = stel;
  while (chain) {
    eexpr* next = chain->lnext;
    if (chain->e) opgen(chain, ix, 1);
    delete chain;
    chain = next;
  }
  mand_stel = 0;
}

void rewlist(Index* ix) {
  int n = listlen(rew_list);
  // An array of an earlier compilation that nobody took over goes.
  if (ix->rew) del_mblk(htcl(sizeof(expr*) * size_t(ix->nrew)), ix->rew);
  ix->nrew = n;
  ix->rew = nullptr;
  if (n) {
    ix->rew = static_cast<expr**>(new_mblk(htcl(sizeof(expr*) * n)));
    int k = 0;
    for (list* l = rew_list; l; l = l->next) ix->rew[k++] = l->item.e;
    free_list(rew_list);
    rew_list = nullptr;
  }
  rew_list0 = new_list(rew_list0, ix);
}

static void end_scope(set_spec* ss) {
  curss = ss->oldss;
  if (curss) curss->depmask |= ss->depmask & ccon->scope;
}

void ss_end(set_spec* ss) {
  if (!ss->first) {
    --iflevel;
    end_scope(ss);
    return;
  }
  Index* entries[MAX_CONTEXT + 1];
  int n = 0;
  for (Index* ix = ss->first; ix && n <= MAX_CONTEXT; ix = ix->next)
    entries[n++] = ix;
  int arity = 0, need = 0;
  while (n-- > 0) {
    Index* ix = entries[n];
    if (curcon <= 0) bug("context stack underflow");
    context_rec* c = ccon;
    --curcon;
    --ccon;
    need = c->framesize + ix->cells;
    if (need > ccon->framesize) ccon->framesize = need;
    arity += ix->cells;
    iflevel = c->iflevel;
    if (ss->cond) {
      hand_over(c->early, ix, 0);
      hand_over(c->chain, ix, 1);
    } else {
      hand_over(c->chain, ix, 0);
    }
    c->chain = c->early = nullptr;
    rewlist(ix);
  }
  ss->arity = arity;
  ss->size.need = static_cast<uint32_t>(TVAneed(need));
  ss->size.hcl = static_cast<uint32_t>(htcl(8 * size_t{ss->size.need}) + 2);
  ss->size.max_context = max_context;
  end_scope(ss);
}

// ---- Marking
// -------------------------------------------------------------------

static void mand_node(expr* e) {
  if (e) mandate(ee_of(uneval(e)));
}

static void mand_list(expr* l) {
  for (; l; l = l->next) mand_node(l);
}

// Plain (not iterated) arguments of a call.
static void mand_args(expr* args) {
  for (expr* a = args; a; a = a->next)
    if (a->opword != opword(OP258) && !a->L.p) mand_node(a->R.e);
}

void lmandate(expr* l) { mand_list(l); }

namespace {
// mandate's walk over the operands of a node.
struct mandate_walk : walker_defaults {
  static void operand(expr* e) { mand_node(e); }
  static void chain(expr* l) { mand_list(l); }
  static void args(expr* a, bool) { mand_args(a); }
  static void operand_set(set* s) { smandate(s); }
};
}  // namespace

void mandate(eexpr* r) {
  if (r && r->is_set()) {
    smandate(r->s);
    return;
  }
  if (!r || (r->flags & EE_MANDATED) || !(r->levbits & ccon->mandmask)) return;
  r->flags |= EE_MANDATED;
  expr* e = r->e;
  if (!e) return;
  int cls = shape(e);
  switch (cls) {
    case SH_LITERAL:
    case SH_ITERATED:
    case SH_NUMBER:
    case SH_ENTITY:
    case SH_DUMMY:
    case SH_EVAL:
    case SH_DOT:
    case SH_ALIAS:
    case SH_LOOPDUMMY:
    case SH_SUF:
    case SH_SYN:
    case SH_SETARGS:
      break;
    // The condition only: a branch is evaluated when it is chosen.
    case SH_IF:
    case SH_IMPELSE:
      mand_node(e->L.e);
      break;
    // The one node in R: the tuple of a look-up (not its set), the
    // environment of a string.
    case SH_LOOKUPSL:
    case SH_STRING:
      mand_node(e->R.e);
      break;
    case SH_PLENTRY:
      if (e->L.s)
        smandate(e->L.s);
      else
        mand_node(e->R.e);
      break;
    // The lists and the argument, not the point where the term is zero.
    case SH_PL:
      if (expr* lists = e->L.e) {
        mand_list(lists->L.e);
        mand_list(lists->R.e);
      }
      if (e->R.e) mand_node(e->R.e->L.e);
      break;
    case SH_SETFUNC:
      if (!(r->flags & EE_COND)) smandate(e->L.s);
      break;
    // Every operand, list member, plain argument and set as visit_operands
    // lays them out.
    case SH_UNARY:
    case SH_FUNC1:
    case SH_FROM_NUMBER:
    case SH_TO_NUMBER:
    case SH_RECPAR:
    case SH_BINARY:
    case SH_FUNC2:
    case SH_COUNTREL:
    case SH_SUBSCRIPTED:
    case SH_LOOKUP:
    case SH_DOTSUB:
    case SH_SYNSUB:
    case SH_SYNDOT:
    case SH_SUFSUB:
    case SH_SYNSUF:
    case SH_LIST:
    case SH_SYMLIST:
    case SH_MEMBERSHIP:
    case SH_SETREL:
    case SH_CALL:
    case SH_ORD:
    case SH_NEXT:
    case SH_ARGLIST: {
      mandate_walk w;
      visit_operands(e, w);
      break;
    }
    default:
      badtype("mandate", static_cast<unsigned>(cls));
  }
}

static void* fld(set* s, int k) {
  set3p* t = static_cast<set3p*>(s);
  return k == 1 ? t->f1 : k == 2 ? t->f2 : t->f3;
}
static set* fset(set* s, int k) { return static_cast<set*>(fld(s, k)); }
static expr* fexpr(set* s, int k) { return static_cast<expr*>(fld(s, k)); }

// The set held by an ordered set's ordered-by cell, or null.
static set* orderby_set(set* s) {
  list* cell = static_cast<list*>(fld(s, 2));
  return cell ? cell->item.s : nullptr;
}

void smandate(set* s) {
  if (!s || !s->ee) return;
  eexpr* r = s->ee;
  if ((r->flags & EE_MANDATED) || !(r->levbits & ccon->mandmask) ||
      s->nmem >= 0)
    return;
  r->flags |= EE_MANDATED;
  switch (s->sclass) {
    case SC_ENUM:
    case SC_SYS:
    case SC_SYSENUM:
    case SC_INVALID:
    case SC_NAMED:
    case SC_DB:
      break;
    case SC_SLICE:
      mand_list(fexpr(s, 1));
      smandate(fset(s, 3));
      break;
    case SC_SPEC:
    case SC_SPECSET: {
      Index* f = static_cast<set_spec*>(s)->first;
      if (f) smandate(f->s);
      break;
    }
    case SC_RANGE:
      mand_node(fexpr(s, 1));
      mand_node(fexpr(s, 2));
      mand_node(fexpr(s, 3));
      break;
    case SC_UNION:
    case SC_DIFF:
    case SC_SYMDIFF:
    case SC_INTER:
      smandate(fset(s, 1));
      smandate(fset(s, 2));
      break;
    case SC_SETOF:
    case SC_ITUNION:
    case SC_ITINTER:
      smandate(fset(s, 1));
      break;
    case SC_IF:
      mand_node(fexpr(s, 1));
      smandate(fset(s, 2));
      smandate(fset(s, 3));
      break;
    case SC_ORDERED:
      smandate(orderby_set(s));
      smandate(fset(s, 1));
      break;
    case SC_LITERAL:
      mand_list(fexpr(s, 1));
      break;
    case SC_CROSS: {
      set** f = static_cast<set**>(fld(s, 1));
      for (int k = 0; k < s->cword; ++k) smandate(f[k]);
      break;
    }
    case SC_SUBSCR:
      mand_node(fexpr(s, 2));
      break;
    case SC_INTERVAL: {
      struct set_interval* iv = static_cast<struct set_interval*>(s);
      if (!(iv->type & 8)) {
        mand_node(iv->lower);
        mand_node(iv->upper);
      }
      break;
    }
    default:
      bug("unexpected subtype %d in set_mandate", static_cast<int>(s->sclass));
  }
}

static void force_node(expr* e) {
  if (eexpr* r = ee_of(uneval(e))) r->flags |= EE_FORCED;
}

void sforce(context_rec* c, set* s) {
  if (!s || !s->ee) return;
  eexpr* r = s->ee;
  if ((r->flags & (EE_MANDATED | EE_FORCED)) || s->nmem >= 0) return;
  r->flags |= EE_FORCED;
  switch (s->sclass) {
    case SC_ENUM:
    case SC_SPEC:
    case SC_SPECSET:
    case SC_SETOF:
    case SC_ITUNION:
    case SC_ITINTER:
    case SC_SYS:
    case SC_SYSENUM:
    case SC_INVALID:
    case SC_DB:
      break;
    case SC_SLICE:
      sforce(c, fset(s, 3));
      break;
    case SC_RANGE:
      force_node(fexpr(s, 1));
      force_node(fexpr(s, 2));
      force_node(fexpr(s, 3));
      break;
    case SC_UNION:
    case SC_DIFF:
    case SC_SYMDIFF:
    case SC_INTER:
      sforce(c, fset(s, 1));
      sforce(c, fset(s, 2));
      break;
    case SC_IF:
      force_node(fexpr(s, 1));
      sforce(c, fset(s, 2));
      sforce(c, fset(s, 3));
      break;
    case SC_ORDERED:
      sforce(c, fset(s, 1));
      sforce(c, orderby_set(s));
      break;
    case SC_LITERAL:
      for (expr* m = fexpr(s, 1); m; m = m->next)
        if (eexpr* mr = ee_of(uneval(m)); mr && mr->con < c)
          mr->flags |= EE_FORCED;
      break;
    case SC_CROSS: {
      set** f = static_cast<set**>(fld(s, 1));
      for (int k = 0; k < s->cword; ++k) sforce(c, f[k]);
      break;
    }
    case SC_SUBSCR:
      force_node(fexpr(s, 2));
      break;
    case SC_INTERVAL: {
      struct set_interval* iv = static_cast<struct set_interval*>(s);
      if (!(iv->type & 8)) {
        force_node(iv->lower);
        force_node(iv->upper);
      }
      break;
    }
    case SC_NAMED:
      if (s->owner && (s->owner->kind == DK_SET))
        sforce(c, static_cast<setdcl*>(s->owner)->value);
      break;
    default:
      bug("unexpected subtype %d in sforce", static_cast<int>(s->sclass));
  }
}

// ---- Negation pushed inwards
// ---------------------------------------------------

// Complement of each logical opcode, 0 where there is none.
static int complement(int opc) {
  static const int pairs[][2] = {{EXISTS, FORALL},
                                 {OPISIN, OPISNOTIN},
                                 {OPOR, OPAND},
                                 {EQ, NE},
                                 {EQrs, NErs},
                                 {EQsr, NEsr},
                                 {EQss, NEss},
                                 {EQscs, NEscs},
                                 {EQcscs, NEcscs},
                                 {OPATLEAST, OPNOTATLEAST},
                                 {OPATMOST, OPNOTATMOST},
                                 {OPEXACTLY, OPNOTEXACTLY},
                                 {ANDLIST, ORLIST},
                                 {OPALLDIFF, OPSOMESAME},
                                 {OPALLDIFFs, OPSOMESAMEs},
                                 {OPALLDISJOINT, OPNOTDISJOINT},
                                 {OPWITHIN, OPNOTWITHIN},
                                 {OPTESTZ, OPTESTNZ}};
  for (auto& p : pairs) {
    if (p[0] == opc) return p[1];
    if (p[1] == opc) return p[0];
  }
  return 0;
}

// Operators that not_elim takes apart itself rather than complementing.
static bool taken_apart(int opc) {
  switch (opc) {
    case OPNOT:
    case OPIMPELSE72:
    case OPIMPELSE79:
    case OP_IFF:
    case OPLOGLIT:
    case OPIMPLIES:
    case OPIMPLIEDBY:
      return true;
  }
  return false;
}

// Its negation needs a new OPNOT around it.
static bool needs_not(const expr* e) {
  int opc = opcode(e);
  return !taken_apart(opc) && !complement(opc);
}

// The slot receives n in place of its node (logged); n takes the node's
// place in a list.
static expr* replace(expr** pe, expr* n) {
  expr* old = *pe;
  n->next = old->next;
  Retain_new(pe, old, n);
  *pe = n;
  return n;
}

static expr* wrap_not(expr** pe) {
  expr* x = *pe;
  uint32_t f = eflags(x) | EF_NUMERIC;
  if (f & EF_VARS) f |= EF_NONLIN;
  expr* n = replace(pe, new_expr(opword(OPNOT, f & ~uint32_t(EF_CONST)), x));
  x->next = nullptr;
  return n;
}

static expr* complemented(expr** pe) {
  expr* e = *pe;
  return replace(
      pe, new_expr(opword(complement(opcode(e)), eflags(e)), e->L, e->R));
}

expr* not_elim(expr** pe, int neg) {
  for (;;) {
    expr* e = *pe;
    if (!e) return nullptr;
    switch (opcode(e)) {
      case EXISTS:
      case FORALL:
        not_elim(&e->R.e, neg);
        return neg ? complemented(pe) : e;
      case OPOR:
      case OPAND:
        not_elim(&e->L.e, neg);
        not_elim(&e->R.e, neg);
        return neg ? complemented(pe) : e;
      case ANDLIST:
      case ORLIST:
        for (expr** p = &e->L.e; *p; p = &(*p)->next) not_elim(p, neg);
        return neg ? complemented(pe) : e;
      case OPNOT: {
        expr* x = e->L.e;
        if (!neg && needs_not(x)) return e;
        x->next = e->next;
        Retain(pe, e, nullptr);
        *pe = x;
        neg = !neg;
        continue;
      }
      case OPIMPELSE72:
      case OPIMPELSE79: {
        not_elim(&e->L.e, 0);
        expr* r = e->R.e;
        if (r && (opcode(r) == OP261 || opcode(r) == OP262)) {
          not_elim(&r->L.e, neg);
          pe = &r->R.e;
        } else {
          pe = &e->R.e;
        }
        continue;
      }
      case OP_IFF:
        not_elim(&e->L.e, 0);
        pe = &e->R.e;
        continue;
      case OPLOGLIT:
        if (!neg) return e;
        return replace(pe, new_expr(e->opword, int32_t(!e->L.i)));
      case OPIMPLIES:
      case OPIMPLIEDBY: {
        // a ==> b is (not a) or b; a <== b is a or (not b).
        bool imp = opcode(e) == OPIMPLIES;
        not_elim(imp ? &e->L.e : &e->R.e, !neg);
        not_elim(imp ? &e->R.e : &e->L.e, neg);
        int opc = neg ? OPAND : OPOR;
        return replace(pe, new_expr(opword(opc, eflags(e)), e->L, e->R));
      }
      default:
        if (!neg) return e;
        if (complement(opcode(e))) return complemented(pe);
        return wrap_not(pe);
    }
  }
}

eexpr* varfix(eexpr* r, expr** pe) {
  expr* e = r->e;
  int opc = opcode(e);
  if (opc != OPVAR164 && opc != OPVARSUB165 && opc != OPRECVAR166) return r;
  expr* w = new_expr(opword(OPVARREF87, EF_NUMERIC | EF_VARS), e);
  ++r->nuse;
  eexpr* n = new eexpr;
  n->eexpr_init(w, r->levbits, r->stamp);
  w->next = e->next;
  Retain_new(pe, *pe, w);
  *pe = w;
  return n;
}

}  // namespace vexo
