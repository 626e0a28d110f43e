// Massaging of expressions.
#include "compiler/massage.h"

#include <array>
#include <cstring>
#include <vector>

#include "compiler/context.h"
#include "compiler/eexpr.h"
#include "compiler/recomp.h"
#include "compiler/setmassage.h"
#include "eval/funclib.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/strsym.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "frontend/vardcl.h"
#include "instance/names.h"
#include "report/indextab.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/text.h"

namespace vexo {

int randcalls;
int rec_compile;
xnode* rec_suf;
xnode* rec_sufxnode;

static constexpr std::array<uint8_t, 249> logical_ops() {
  std::array<uint8_t, 249> t{};
  t[OPOR] = t[OPAND] = t[OPIMPLIES] = t[OPIMPLIEDBY] = 1;
  return t;
}
const std::array<uint8_t, 249> islogical = logical_ops();

namespace {

constexpr uint64_t B31 = 0x80000000u;

uint64_t H(const eexpr* r) { return r ? static_cast<uint64_t>(r->hash) : 0; }
int64_t fin(uint64_t h) { return static_cast<int64_t>(h & ~B31); }
double mx(double a, double b) { return a > b ? a : b; }

// The integer part of a stamp term; stamps are moderate non-negative
// numbers, anything else contributes 0.
uint64_t sterm(double s) {
  if (s > -4e18 && s < 4e18)
    return static_cast<uint64_t>(static_cast<int64_t>(s));
  return 0;
}

uint64_t addr(const void* p) { return reinterpret_cast<uintptr_t>(p) >> 3; }

// The hash of a number's 64 bits: equal numbers share a node.
uint64_t numhash(uint64_t b) { return ((b + (b >> 32)) >> 1) & 0x7fffffffu; }

eexpr* new_rec(expr* e, uint64_t h, uint64_t lev, int hashit, double stamp) {
  eexpr* r = new eexpr;
  r->eexpr_init(e, static_cast<int64_t>(h), lev ? lev : 1, hashit, stamp);
  return r;
}

// Moves a record just made (the head of its level's chain) to level c.
void move_to(eexpr* r, context_rec* c) {
  if (r->con == c || r->con->chain != r) return;
  r->con->chain = r->lnext;
  r->con = c;
  r->lnext = c->chain;
  c->chain = r;
}

bool is_pair(const expr* p) {
  return p && (opcode(p) == OP261 || opcode(p) == OP262);
}

// The data stamp of a referenced entity; the by-value and dual forms of
// variables and constraints read their second stamp.
double ent_stamp(const expr* e, const xnode* d) {
  if (!d || opcode(e) == OPENVSUB) return 0;
  switch (opcode(e)) {
    case OPSVEXOVAR:
    case OPSVEXOVARSUB:
    case OPPRIMAL:
    case OPPRIMALSUB:
    case OPDUAL:
    case OPDUALSUB:
      switch (d->kind) {
        case DK_VAR:
        case DK_VARI:
        case DK_CON:
        case DK_CONI:
        case DK_OBJ:
        case DK_OBJI:
        case DK_SVAR:
        case DK_SVARI:
          return static_cast<const convar*>(d)->stamp2;
      }
  }
  return d->stamp;
}

// Steps 4 to 6 of the common step: the node gives way to an equal earlier
// one when every operand record was in use before, else a new hashed
// record; mandated operands, use counts, the outer operand forced.
eexpr* finish(expr* e, eexpr* const* rs, int n, uint64_t h, uint64_t lev,
              double stamp, int logical) {
  bool used = true;
  for (int i = 0; i < n; ++i)
    if (rs[i] && !rs[i]->nuse) used = false;
  if (eexpr* f = ehash(fin(h), e)) {
    if (used) return f;
    disc(f);
  }
  eexpr* r = new_rec(e, h & ~B31, lev, 1, stamp);
  if (r->flags & EE_MANDATED)
    for (int i = 0; i < (logical ? 1 : n); ++i) mandate(rs[i]);
  for (int i = 0; i < n; ++i)
    if (rs[i]) ++rs[i]->nuse;
  if (n == 2 && rs[0] && rs[1] && rs[0]->con != rs[1]->con)
    (rs[0]->con < rs[1]->con ? rs[0] : rs[1])->flags |= EE_FORCED;
  return r;
}

// The common step over the operands of a node of one or two operand
// expressions (visit_operands): each massaged in turn, the second of a
// logical operator inside a condition; level bits, stamp and hash from
// theirs.  stamp_only: the final hash term is the stamp alone (not the
// opcode plus the stamp).
struct common_walk : walker_defaults {
  explicit common_walk(expr* node) : e(node) {}
  expr* e;
  int logical = opcode(e) < 249 ? islogical[opcode(e)] : 0;
  eexpr* rs[2] = {};
  int n = 0;
  uint64_t lev = 0, h = 0;
  double stamp = 0;

  void operand(expr*& x) {
    if (n == 2) badtype("massage", e->opword);
    if (logical && n == 1) ++iflevel;
    eexpr* r = massage(&x);
    if (logical && n == 1) --iflevel;
    rs[n++] = r;
    if (!r) return;
    lev |= r->levbits;
    stamp = mx(stamp, r->stamp);
    h = h * 33 + H(r);
  }
  void chain(expr*) { badtype("massage", e->opword); }
  void args(expr*, bool) { badtype("massage", e->opword); }
};

eexpr* common(expr* e, bool stamp_only) {
  common_walk w(e);
  visit_operands(e, w);
  uint64_t h = w.h * 33 + sterm(stamp_only ? w.stamp : opcode(e) + w.stamp);
  return finish(e, w.rs, w.n, h, w.lev, w.stamp, w.logical);
}

// The node at *pe takes the place of e: e's slot receives the earlier node
// f->e, and e is chained to it (its first operand the earlier node, its
// routine one that calls the earlier node's).
void chain_to(expr** pe, expr* e, eexpr* f) {
  if (f->e == e) return;
  // e may be held elsewhere too: it stays, chained to the earlier node.
  Retain(pe, e, Display);
  *pe = f->e;
  Retain(&e->L.e, e->L.e, Display);
  e->L.e = f->e;
  e->op = has_flag(e, EF_NUMERIC) ? r_chaineval : s_chaineval;
}

// Entity references without subscript (class 12).
eexpr* entity(expr** pe) {
  expr* e = *pe;
  xnode* d = e->L.x;
  double stamp = ent_stamp(e, d);
  uint64_t h = (addr(d) + sterm(stamp)) & ~B31;
  eexpr* r;
  if (d && d == rec_xnode) {
    note_self_ref();
    r = new_rec(e, h, 1, 0, stamp);
  } else if (eexpr* f = ehash(fin(h), e)) {
    chain_to(pe, e, f);
    r = f;
  } else {
    r = new_rec(e, h, 1, 1, stamp);
  }
  return varfix(r, pe);
}

eexpr* env_member(expr* e);

// Subscripted references (class 4).
eexpr* subscripted(expr** pe) {
  expr* e = *pe;
  if (opcode(e) == OPENVSUB) return env_member(e);
  xnode* d = e->L.x;
  eexpr* sr = massage(&e->R.e);
  double stamp = mx(ent_stamp(e, d), sr ? sr->stamp : 0);
  uint64_t h = (H(sr) * 33 + addr(d) + sterm(stamp)) & ~B31;
  uint64_t lev = (sr ? sr->levbits : 0) | 1;
  eexpr* r = nullptr;
  if (d && d == rec_xnode) {
    note_self_ref();
  } else if (eexpr* f = ehash(fin(h), e)) {
    if (!sr || sr->nuse) {
      chain_to(pe, e, f);
      r = f;
    } else {
      disc(f);
    }
  }
  if (!r) {
    r = new_rec(e, h, lev, 1, stamp);
    if (sr) ++sr->nuse;
  }
  return varfix(r, pe);
}

eexpr* dummy_ref(expr* e) {
  int L = e->L.i;
  if (L < 0 || L > curcon)
    bug("level has impossible levbits 0x%lx",
        static_cast<unsigned long>(L >= 0 && L < 64 ? uint64_t(1) << L : 0));
  context_rec* c = &con[L];
  double stamp = c->stamp;
  uint64_t h = (sterm(stamp * 101 + e->R.i) + 33 * uint64_t(L)) & ~B31;
  if (eexpr* f = ehash(fin(h), e)) return f;
  uint64_t lev = c->levbit | (c->ss ? c->ss->depmask & c->scope : 0);
  return new_rec(e, h, lev, 1, stamp);
}

// Leaves at level 0: looked up, the node gives way to an equal earlier one.
eexpr* leaf(expr* e, uint64_t h) {
  h &= ~B31;
  if (eexpr* f = ehash(fin(h), e)) return f;
  return new_rec(e, h, 1, 1, 0.0);
}

// Iterated operators (class 3): never shared.
eexpr* iterated(expr* e) {
  set_spec* ss = static_cast<set_spec*>(e->L.s);
  ss_setup(ss, nullptr);
  eexpr* b = massage(&e->R.e);
  uint64_t blev = 0;
  double bstamp = 0;
  if (b) {
    if (!(b->levbits & ccon->levbit)) b->flags |= EE_FORCED;
    ++b->nuse;
    blev = b->levbits;
    bstamp = b->stamp;
  }
  ss_teardown(ss);
  uint64_t lev = (blev | ss->depmask) & ccon->scope;
  double stamp = mx(bstamp, ss->ee ? ss->ee->stamp : 0);
  return new_rec(e, 0, lev, 0, stamp);
}

// Conditionals (class 9, recode) and OPIMPELSE (class 58).
eexpr* conditional(expr* e, bool cls9) {
  if (cls9 && (e->opword & (EF_VARS | EF_RANDVAR))) {
    if (e->R.e && e->R.e->opword == opword(OP262))
      e->opword = has_flag(e, EF_STRING)
                      ? opword(OPIFSYMstr101, EF_VARS | EF_STRING)
                      : opword(OPIFSYM65, EF_VARS);
    else
      e->opword = opword(OPIF35, EF_NUMERIC | EF_VARS | EF_NONLIN);
  }
  not_elim(&e->L.e, 0);
  eexpr* tr = massage(&e->L.e);
  eexpr *ar = nullptr, *br = nullptr;
  ++iflevel;
  expr* pair = e->R.e;
  if (is_pair(pair)) {
    ar = massage(&pair->L.e);
    br = massage(&pair->R.e);
  } else {
    ar = massage(&e->R.e);
  }
  --iflevel;
  uint64_t lev = 0;
  double stamp = 0;
  bool used = true;
  for (eexpr* r : {tr, ar, br}) {
    if (!r) continue;
    lev |= r->levbits;
    stamp = mx(stamp, r->stamp);
    if (!r->nuse) used = false;
  }
  uint64_t h = ((H(tr) * 33 + H(ar)) * 33 + H(br) + sterm(stamp)) & ~B31;
  context_rec* whole = level(lev);
  bool rew = cls9 && tr && whole > tr->con;
  if (rew) set_opcode(e, OPIFrew);
  if (eexpr* f = ehash(fin(h), e)) {
    if (used) return f;
    disc(f);
  }
  eexpr* r = new_rec(e, h, lev, 1, stamp);
  if (rew) {
    if (!rec_compile) move_to(r, tr->con);
    for (eexpr* x : {ar, br})
      if (x && x->con < whole) x->flags |= EE_FORCED;
  }
  if (r->flags & EE_MANDATED) mandate(tr);
  for (eexpr* x : {tr, ar, br})
    if (x) ++x->nuse;
  return r;
}

// Element records of a compiled list: each one's use count raised (an
// OPEVAL wrapper's wrapped node too); mandated when the user is.
void count_elems(expr* l, bool mand) {
  for (; l; l = l->next) {
    eexpr* r = ee_of(l);
    if (r) ++r->nuse;
    if (uneval(l) != l)
      if (eexpr* w = ee_of(l->L.e)) ++w->nuse;
    if (mand) mandate(ee_of(uneval(l)));
  }
}

struct lmres {
  eexpr* first = nullptr;
  uint64_t lev = 0;
  uint64_t hash = 0;
  double stamp = 0;
  bool used = true;
};

lmres lmassage1(expr** pl) {
  lmres m;
  if (!*pl) return m;
  // The list is rebuilt from its end; its head and every link are logged
  // first, so that undoing gives the list back as it was.  While an
  // element is compiled, *pl is its slot.
  std::vector<expr*> elems;
  for (expr* x = *pl; x; x = x->next) elems.push_back(x);
  Retain(pl, *pl, Display);
  for (expr* x : elems) Retain(&x->next, x->next, Display);
  expr* built = nullptr;
  for (size_t i = elems.size(); i-- > 0;) {
    expr* x = elems[i];
    x->next = nullptr;
    *pl = x;
    eexpr* r = massage(pl);
    expr* y = *pl;
    if (y == x) {
      x->next = built;
      built = x;
    } else if (y->next == built) {
      built = y;
    } else {
      // A shared node standing in another list: a private wrapper here.
      expr* w = new_expr(opword(OPEVAL, y->opword & 15), y);
      w->next = built;
      Retain(nullptr, w, nullptr);
      eexpr* wr = new eexpr;
      wr->eexpr_init(w, r->levbits, r->stamp);
      wr->hash = r->hash;
      wr->nuse = r->nuse;
      built = w;
      r = wr;
    }
    m.first = r;
    m.lev |= r->levbits;
    m.stamp = mx(m.stamp, r->stamp);
    m.hash = m.hash * 33 + H(r);
    if (!r->nuse) m.used = false;
  }
  *pl = built;
  return m;
}

// A member of an indexed environment (OPENVSUB): its subscript is a plain
// chain of symbol-valued expressions, each one compiled.
eexpr* env_member(expr* e) {
  lmres m = lmassage1(&e->R.e);
  uint64_t h = (m.hash * 33 + addr(e->L.p) + sterm(m.stamp)) & ~B31;
  if (eexpr* f = ehash(fin(h), e)) {
    if (m.used) return f;
    disc(f);
  }
  eexpr* r = new_rec(e, h, m.lev | 1, 1, m.stamp);
  count_elems(e->R.e, r->flags & EE_MANDATED);
  return r;
}

// Lists of operands (MINLIST, MAXLIST, OPCONCAT, OPSYMLIST).
eexpr* listop(expr* e) {
  lmres m = lmassage1(&e->L.e);
  uint64_t h = (m.hash * 33 + sterm(opcode(e) + m.stamp)) & ~B31;
  if (eexpr* f = ehash(fin(h), e)) {
    if (m.used) return f;
    disc(f);
  }
  eexpr* r = new_rec(e, h, m.lev, 1, m.stamp);
  count_elems(e->L.e, r->flags & EE_MANDATED);
  return r;
}

// Arguments ------------------------------------------------------------------

bool nomatch_arg(const expr* x) {
  uint32_t f = eflags(x);
  switch (opcode(x)) {
    case OPDUAL:
    case OPDUALSUB:
    case OPPRIMAL:
    case OPPRIMALSUB:
    case OPSUFSUB:
    case OPSYNSUF:
    case OPSYNSUB:
      return f & EF_NUMERIC;
    case OPSUFSUBSYM:
    case OPSYNSUFSYM:
      return f & EF_STRING;
    case OPPAR:
    case OPPARSUB:
      return (f & (EF_CONST | EF_NUMERIC)) == (EF_CONST | EF_NUMERIC);
    case OPSPAR:
    case OPSPARSUB:
      return f & EF_CONST;
  }
  return false;
}

int account(eexpr* r, int add, eacc* acc, double* stamp) {
  if (!r) return 1;
  if (!(r->levbits & ccon->levbit)) r->flags |= EE_FORCED;
  *stamp = mx(*stamp, r->stamp);
  int old = r->nuse != 0;
  r->nuse += add;
  acc->hash =
      static_cast<int64_t>(static_cast<uint64_t>(acc->hash) * 33 + H(r));
  acc->lev |= r->levbits;
  return old;
}

int one_arg(int add, eacc* acc, expr** px, double* stamp, int mode) {
  expr* x = *px;
  if (!x || x->opword == opword(OP281)) return 1;
  if (x->opword == opword(OPXNODE)) {
    if (x->R.x) *stamp = mx(*stamp, x->R.x->stamp);
    return 1;
  }
  bool nm = (mode & 16) && nomatch_arg(x);
  if (nm) e_nomatch = x;
  eexpr* r = massage(px);
  if (nm) e_nomatch = nullptr;
  return account(r, add, acc, stamp);
}

// Random draws and calls are repeated in the innermost open level.
eexpr* call(expr* e) {
  xnode* fx = e->L.x;
  // Kinds 39 and 42: the built-in random functions (eval/random.h).
  const function* f = fx && (fx->kind == DK_FUNCTION ||
                             fx->kind == DK_FUNC39 || fx->kind == 42)
                          ? static_cast<const function*>(fx)
                          : nullptr;
  if (e->R.e && e->R.e->opword == opword(OP258)) {
    expr* m = e->R.e;
    e->R.e = m->next;
    m->next = nullptr;
    free_expr(m);
  }
  eacc acc{};
  double stamp = 0;
  bool random = f && (f->fflags & 0x10000);
  if (random) {
    ++randcalls;
    acc.lev = ccon->scope;
  }
  expr* saved = e_nomatch;
  e_nomatch = nullptr;
  int used = argmassage(0, &acc, e->R.e, &stamp, f ? int(f->fflags & 16) : 0);
  e_nomatch = saved;
  if (random) stamp = nextgenlev;
  uint64_t h =
      (addr(fx) * 33 + static_cast<uint64_t>(acc.hash) + sterm(stamp)) & ~B31;
  if (eexpr* found = ehash(fin(h), e)) {
    if (used) return found;
    disc(found);
  }
  eexpr* r = new_rec(e, h, acc.lev, 1, stamp);
  arg_refinc(e->R.e);
  return r;
}

// Counting operators and the OPALLDIFF family (55), OPALLDISJOINT (56).
// A shared node counts its arguments' uses once it is known to be new; the
// OPALLDISJOINT family is never shared, so its set arguments count their
// use as they are massaged (else a literal set reaches opcode generation
// unused).
eexpr* counting(expr* e, bool shared) {
  eexpr* fr = e->L.e ? massage(&e->L.e) : nullptr;
  expr* saved = e_nomatch;
  eacc acc{};
  double stamp = fr ? fr->stamp : 0;
  int used = argmassage(shared ? 0 : 1, &acc, e->R.e, &stamp, shared ? 0 : 2);
  e_nomatch = saved;
  if (fr && !fr->nuse) used = 0;
  uint64_t lev = acc.lev | (fr ? fr->levbits : 0);
  uint64_t h = ((H(fr) * 33 + static_cast<uint64_t>(acc.hash)) * 33 +
                sterm(opcode(e) + stamp)) &
               ~B31;
  if (shared) {
    if (eexpr* f = ehash(fin(h), e)) {
      if (used) return f;
      disc(f);
    }
  }
  eexpr* r = new_rec(e, h, lev, shared, stamp);
  if (fr) ++fr->nuse;
  if (shared) arg_refinc(e->R.e);
  return r;
}

// Piecewise-linear terms (class 7): never shared.
eexpr* plterm(expr* e) {
  expr* lists = e->L.e;
  expr* pair = e->R.e;
  eacc acc{};
  double stamp = 0;
  if (lists) {
    argmassage(1, &acc, lists->L.e, &stamp, 0);
    argmassage(1, &acc, lists->R.e, &stamp, 0);
  }
  eexpr *a1 = nullptr, *a2 = nullptr;
  if (pair) {
    a1 = massage(&pair->L.e);
    a2 = massage(&pair->R.e);
  }
  uint64_t lev = acc.lev;
  for (eexpr* a : {a1, a2})
    if (a) {
      lev |= a->levbits;
      stamp = mx(stamp, a->stamp);
    }
  eexpr* r = new_rec(e, 0, lev, 0, stamp);
  bool mand = r->flags & EE_MANDATED;
  if (lists) {
    for (expr* l : {lists->L.e, lists->R.e})
      for (expr* x = l; x; x = x->next) {
        if (x->L.p) {
          sforce(r->con, x->L.s);
        } else if (eexpr* xr = ee_of(uneval(x->R.e))) {
          if (xr->con < r->con) xr->flags |= EE_FORCED;
          if (mand) mandate(xr);
        }
      }
  }
  for (eexpr* a : {a1, a2})
    if (a) {
      if (a->con < r->con) a->flags |= EE_FORCED;
      if (mand) mandate(a);
      ++a->nuse;
    }
  return r;
}

// String chains and option references (class 39).
eexpr* strings(expr* e) {
  uint32_t s = 0;
  if (e->L.cs)
    for (const char* p = e->L.cs->text(); *p; ++p)
      s = 31 * s + static_cast<unsigned char>(*p);
  s &= 0x7fffffffu;
  eexpr* rr = e->R.e ? massage(&e->R.e) : nullptr;
  uint64_t h = rr ? H(rr) * 33 + s : s;
  eexpr* ops[1] = {rr};
  return finish(e, ops, rr ? 1 : 0, h, rr ? rr->levbits : 1,
                rr ? rr->stamp : 1.0, 0);
}

// The dot forms once the subscript (if any) is known: a new record counts
// one more use of the subscript's.
eexpr* dot_common(expr* e, double stamp, uint64_t seed, uint64_t lev, int rec,
                  eexpr* sub) {
  const void* ent = e->L.e ? e->L.e->L.p : nullptr;
  uint64_t h = (seed * 33 + addr(ent) + sterm(stamp)) & ~B31;
  if (rec) {
    note_self_ref();
  } else if (eexpr* f = ehash(fin(h), e)) {
    return f;
  }
  int opc = opcode(e);
  bool here = (e->opword & (EF_VARS | EF_RANDVAR)) && !canvary[opc];
  if (sub) ++sub->nuse;
  return new_rec(e, h, lev | 1, !here, stamp);
}

double dot_stamp(const expr* e) {
  switch (shape(e)) {
    case SH_SYNDOT:
    case SH_SYNSUF:
      return 0;  // synonyms name no declaration
  }
  return e->L.e && e->L.e->L.x ? e->L.e->L.x->stamp : 0;
}

int dot_rec(const expr* e) {
  const void* ent = e->L.e ? e->L.e->L.p : nullptr;
  switch (shape(e)) {
    case SH_DOT:
    case SH_DOTSUB:
      return ent && ent == rec_xnode;
  }
  return rec_suf && ent && ent == rec_sufxnode;
}

// Forms that replace themselves before compiling ------------------------------

eexpr* undo_rewrite(expr** pe) {
  unrewrite(*pe);
  return massage(pe);
}

eexpr* massage1(expr** pe) {
  expr* e = *pe;
  int opc = opcode(e);
  switch (shape(e)) {
    case SH_LITERAL:
    case SH_ALIAS:
    case SH_LOOPDUMMY:
    case SH_SYN:
      return leaf(e, addr(e->L.p));
    case SH_NUMBER:
    case SH_LOGLIT:
      return leaf(e, numhash(e->L.u));
    case SH_UNARY:
    case SH_TO_NUMBER:
      return common(e, false);
    case SH_FROM_NUMBER:
      return common(e, true);
    case SH_FUNC1:
    case SH_RECPAR:
      if (e->opword == opword(OPVARREF87, EF_NUMERIC | EF_VARS)) {
        expr* x = e->L.e;
        x->next = e->next;
        e->next = nullptr;
        free_expr(e);
        *pe = x;
        return massage(pe);
      }
      return common(e, false);
    case SH_EVAL: {
      expr* x = e->L.e;
      e->next = nullptr;
      free_expr(e);
      *pe = x;
      return massage(pe);
    }
    case SH_BINARY:
    case SH_FUNC2:
    case SH_COUNTREL:
      return common(e, false);
    case SH_ITERATED:
      return iterated(e);
    case SH_SUBSCRIPTED:
      return subscripted(pe);
    case SH_LIST:
      if (!e->L.e && (opc == MINLIST || opc == MAXLIST)) {
        expr* n = new_expr(opword(OPNUM, EF_CONST | EF_NUMERIC),
                           opc == MINLIST ? Infinity : negInfinity);
        n->next = e->next;
        Retain_new(pe, e, n);
        *pe = n;
        return massage(pe);
      }
      return listop(e);
    case SH_PL:
      return plterm(e);
    case SH_IF:
      return conditional(e, true);
    case SH_IMPELSE:
      return conditional(e, false);
    case SH_MEMBERSHIP: {
      eexpr* tr = e->L.e ? massage(&e->L.e) : nullptr;
      eexpr* sr = set_massage(&e->R.s);
      double stamp = mx(tr ? tr->stamp : 0, sr ? sr->stamp : 0);
      uint64_t h = H(tr) * 33 + H(sr) + sterm(stamp);
      eexpr* ops[2] = {tr, sr};
      return finish(e, ops, 2, h, (tr ? tr->levbits : 0) | sr->levbits, stamp,
                    0);
    }
    case SH_SETREL: {
      eexpr* a = set_massage(&e->L.s);
      eexpr* b = set_massage(&e->R.s);
      double stamp = mx(a->stamp, b->stamp);
      uint64_t h = H(a) * 33 + H(b) + sterm(stamp);
      eexpr* ops[2] = {a, b};
      return finish(e, ops, 2, h, a->levbits | b->levbits, stamp, 0);
    }
    case SH_SETFUNC: {
      eexpr* sr = set_massage(&e->L.s);
      uint64_t h = uint64_t(e->opword) * 33 + H(sr) + sterm(sr->stamp);
      eexpr* ops[1] = {sr};
      return finish(e, ops, 1, h, sr->levbits, sr->stamp, 0);
    }
    case SH_ORD:
    case SH_NEXT: {
      eexpr* ops[3] = {};
      int n = 0;
      if (shape(e) == SH_ORD) {
        ops[n++] = massage(&e->L.e);
      } else if (expr* p = e->L.e) {
        ops[n++] = massage(&p->L.e);
        ops[n++] = massage(&p->R.e);
      }
      if (e->R.e) ops[n++] = set_massage(&e->R.e->R.s);
      uint64_t h = 0, lev = 0;
      double stamp = 0;
      for (int i = 0; i < n; ++i)
        if (ops[i]) {
          h = h * 33 + H(ops[i]);
          lev |= ops[i]->levbits;
          stamp = mx(stamp, ops[i]->stamp);
        }
      h = h * 33 + sterm(opc + stamp);
      return finish(e, ops, n, h, lev, stamp, 0);
    }
    case SH_ENTITY:
      return entity(pe);
    case SH_DUMMY:
      return dummy_ref(e);
    case SH_LOOKUP: {
      xnode* d = e->L.x;
      eexpr* kr = massage(&e->R.e);
      double stamp = mx(d ? d->stamp : 0, kr ? kr->stamp : 0);
      uint64_t h = addr(d) * 33 + H(kr) + sterm(stamp);
      eexpr* ops[1] = {kr};
      return finish(e, ops, 1, h, (kr ? kr->levbits : 0) | 1, stamp, 0);
    }
    case SH_PLENTRY: {
      set_spec* ss = e->L.ss;
      if (ss) ss_setup(ss, nullptr);
      eexpr* v = massage(&e->R.e);
      uint64_t lev = 0;
      double stamp = 0;
      if (v) {
        ++v->nuse;
        lev = v->levbits;
        stamp = v->stamp;
      }
      if (ss) {
        ss_teardown(ss);
        if (ss->ee) lev |= ss->ee->levbits;
      }
      return new_rec(e, 0, lev & ccon->scope, 0, stamp);
    }
    case SH_SYMLIST:
      if (e->L.e && !e->L.e->next) {
        expr* x = e->L.e;
        x->next = e->next;
        Retain(pe, e, nullptr);
        *pe = x;
        return massage(pe);
      }
      symlist_cells_free(e);
      return listop(e);
    case SH_REWRITE:
      if (opc >= 239 && opc <= 245) return undo_rewrite(pe);
      break;
    case SH_CALL:
      return call(e);
    case SH_DOT:
      return dot_common(e, dot_stamp(e), 0, 1, dot_rec(e), nullptr);
    case SH_DOTSUB:
    case SH_SYNDOT:
    case SH_SUFSUB:
    case SH_SYNSUF:
      return opdotsub_massage(e, pe, dot_stamp(e), dot_rec(e));
    case SH_SUF:
      return dot_common(e, dot_stamp(e), 0, 1, dot_rec(e), nullptr);
    case SH_RELOPCH: {
      expr* x = e->L.e;
      expr* second = e->R.e;
      x->next = e->next;
      Retain(pe, e, nullptr);
      *pe = x;
      eexpr* r = massage(pe);
      if (second) second->op = reinterpret_cast<efunc>(r);
      return r;
    }
    case SH_STRING:
      return strings(e);
    case SH_SYNSUB: {
      eexpr* sr = massage(&e->R.e);
      double stamp = sr ? sr->stamp : 0;
      uint64_t h = H(sr) * 33 + addr(e->L.p) + sterm(stamp);
      eexpr* ops[1] = {sr};
      return finish(e, ops, 1, h, sr ? sr->levbits : 1, stamp, 0);
    }
    case SH_ARGLIST:
      return counting(e, true);
    case SH_SETARGS:
      return counting(e, false);
    case SH_SAMPLE: {
      eexpr* x = massage(&e->L.e);
      ++randcalls;
      uint64_t h = (H(x) * 33 + sterm(opc + (x ? x->stamp : 0))) & ~B31;
      eexpr* r = new_rec(e, h, (x ? x->levbits : 0) | ccon->scope, 1,
                         x ? x->stamp : 0);
      if (x) ++x->nuse;
      return r;
    }
  }
  badtype("massage", e->opword);
}

}  // namespace

void unrewrite(expr* e) {
  expr* rr = e->L.e;
  expr* copy = rr ? rr->R.e : nullptr;
  if (!copy) badtype("massage", e->opword);
  e->opword = copy->opword;
  e->L = copy->L;
  e->R = copy->R;
  e->op = nullptr;
  rr->next = copy->next = nullptr;
  free_expr(rr);
  free_expr(copy);
}

eexpr* massage(expr** pe) {
  if (!pe || !*pe) return nullptr;
  eexpr* r = ee_of(*pe);
  if (!r) r = massage1(pe);
  if (*pe != r->e) {
    Retain(pe, *pe, nullptr);
    *pe = r->e;
  }
  if (curss) curss->depmask |= r->levbits;
  if (iflevel) r->flags |= EE_COND;
  return r;
}

eexpr* lmassage(expr** pl, double* stamp) {
  lmres m = lmassage1(pl);
  if (stamp) *stamp = mx(*stamp, m.stamp);
  return m.first;
}

int argmassage(int add, eacc* acc, expr* args, double* stamp, int mode) {
  int all = 1;
  for (expr* a = args; a; a = a->next) {
    int opc = opcode(a);
    if (a->opword == opword(OP258) || (opc != OPARG && opc != OP246)) continue;
    if (a->L.p) {
      // The records inside are handed to opcode generation when the
      // indexing closes, so they are counted here (arg_refinc skips
      // iterated arguments).
      set_spec* ss = a->L.ss;
      ss_setup(ss, nullptr);
      if (opc == OPARG)
        all &= argmassage(1, acc, a->R.e, stamp, mode);
      else
        all &= one_arg(1, acc, &a->R.e, stamp, mode);
      ss_teardown(ss);
      acc->lev &= ccon->scope;
      *stamp = mx(*stamp, ss->ee ? ss->ee->stamp : ss->stamp);
      continue;
    }
    if (mode & 2) {
      all &= account(set_massage(&a->R.s), add, acc, stamp);
      continue;
    }
    all &= one_arg(add, acc, &a->R.e, stamp, mode);
  }
  return all;
}

double arg_massage(expr* args, eacc* acc) {
  *acc = eacc{};
  e_nomatch = nullptr;
  double stamp = 0;
  argmassage(0, acc, args, &stamp, 0);
  return stamp;
}

eexpr* opdot_massage(expr* e, expr**, double stamp, int64_t seed, int rec) {
  return dot_common(e, stamp, static_cast<uint64_t>(seed), 1, rec, nullptr);
}

eexpr* opdotsub_massage(expr* e, expr**, double stamp, int rec) {
  eexpr* sr = massage(&e->R.e);
  uint64_t lev = 1;
  if (sr) {
    stamp = mx(stamp, sr->stamp);
    lev |= sr->levbits;
  }
  return dot_common(e, stamp, H(sr), lev, rec, sr);
}

void massage_reset() {
  randcalls = 0;
  rec_compile = 0;
  rec_suf = rec_sufxnode = nullptr;
}

}  // namespace vexo
