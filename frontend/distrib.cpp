// Distribution of factors over linear sums.
#include "frontend/distrib.h"

#include <utility>

#include "compiler/compile.h"
#include "compiler/context.h"
#include "compiler/eexpr.h"
#include "compiler/massage.h"
#include "compiler/recomp.h"
#include "eval/indexing.h"
#include "frontend/expr.h"
#include "frontend/keywords.h"
#include "report/indextab.h"

namespace vexo {

namespace {

constexpr uint64_t B31 = 0x80000000u;
constexpr uint32_t VARFLAGS = EF_VARS | EF_RANDVAR;
constexpr uint32_t TERMFLAGS = EF_NUMERIC | EF_VARS;

uint64_t H(const eexpr* r) { return static_cast<uint64_t>(r->hash); }
double mx(double a, double b) { return a > b ? a : b; }
uint64_t sterm(double s) {
  if (s > -4e18 && s < 4e18)
    return static_cast<uint64_t>(static_cast<int64_t>(s));
  return 0;
}
bool has_vars(const expr* e) { return e && (e->opword & VARFLAGS); }

// The hash of a node over two records, as the massager forms it.
uint64_t hash2(const eexpr* a, const eexpr* b, int opc, double stamp) {
  return ((H(a) * 33 + H(b)) * 33 + sterm(opc + stamp)) & ~B31;
}

// A found equal node may be reused when its operands were in use before;
// otherwise it goes to the discard list.
bool reusable(eexpr* found, const eexpr* a, const eexpr* b) {
  if (!found) return false;
  if (a->nuse && (!b || b->nuse)) return true;
  return disc(found) != 0;
}

// A term (op word of OPVARAC, OPNLAC, OPPLAC) or quotient factor (OPDIV)
// node with L the factor's expression and R the compiled expression at
// *slot (a variable reference itself for a linear term).
eexpr* new_term(uint32_t op, eexpr* f, expr** slot);

// The product factor f*c.
eexpr* product(eexpr* f, eexpr* c) {
  expr* p = new_expr(opword(OPMULT, EF_NUMERIC), f->e, c->e);
  double stamp = mx(f->stamp, c->stamp);
  uint64_t h = hash2(f, c, OPMULT, stamp);
  eexpr* found = ehash(static_cast<int64_t>(h), p);
  if (reusable(found, f, c)) {
    free_expr(p);
    return found;
  }
  eexpr* r = new eexpr;
  r->eexpr_init(p, static_cast<int64_t>(h), f->levbits | c->levbits, 1,
                stamp);
  ++f->nuse;
  ++c->nuse;
  Retain(nullptr, p, nullptr);
  return r;
}

eexpr* nonlinear(eexpr* f, expr** slot) {
  return new_term(opword(OPNLAC, TERMFLAGS), f, slot);
}

eexpr* linear(eexpr* f, expr** slot) {
  return new_term(opword(OPVARAC, TERMFLAGS), f, slot);
}

// What an earlier compilation left at e (a shared variable's planted
// value, opcodes 239 to 245) takes back the computation it stands for, so
// that distribution sees the form it distributes; whether it did.
bool fresh(expr* e) {
  int opc = opcode(e);
  if (shape(e) != SH_REWRITE || opc < 239 || opc > 245) return false;
  unrewrite(e);
  return true;
}

bool plain_var(expr* e) {
  fresh(e);
  return e->opword == opword(OPVAR164, TERMFLAGS) ||
         e->opword == opword(OPRECVAR166, TERMFLAGS);
}

bool var_ref(expr* e) {
  fresh(e);
  int opc = opcode(e);
  return opc == OPVAR164 || opc == OPVARSUB165 || opc == OPRECVAR166;
}

// The record of node e over its distributed operands: never shared, its
// level bits their union.
eexpr* node_rec(expr* e, uint64_t lev, double stamp) {
  eexpr* r = new eexpr;
  r->eexpr_init(e, lev, stamp);
  return r;
}

// The record of node e over its distributed operands a and b, which it
// keeps: a use of each, the lower one forced to stay to the level of the
// other, both pinned when e is.
eexpr* pair_rec(expr* e, eexpr* a, eexpr* b) {
  eexpr* r = node_rec(e, a->levbits | b->levbits, mx(a->stamp, b->stamp));
  if (a->con != b->con) (a->con < b->con ? a : b)->flags |= EE_FORCED;
  if (r->flags & EE_MANDATED) {
    mandate(a);
    mandate(b);
  }
  ++a->nuse;
  ++b->nuse;
  return r;
}

// Whether a distributed expression yields a constant beside its terms
// (the terms themselves yield 0).
bool leaves_constant(const expr* x) {
  switch (opcode(x)) {
    case OPVARAC:
    case OPVARACDEF:
    case OPNLAC:
    case OPPLAC:
      return false;
    case OPPLUS:
    case OPMINUS:
      return leaves_constant(x->L.e) || leaves_constant(x->R.e);
    case OPUMINUS:
      return leaves_constant(x->L.e);
    case SUM:
      return leaves_constant(x->R.e);
    case OPMULT:
      return leaves_constant(x->R.e);
    case OPDIV:
      return leaves_constant(x->L.e);
    case OPIF35:
    case OPIFrew:
      return leaves_constant(x->R.e->L.e) || leaves_constant(x->R.e->R.e);
  }
  return true;
}

// The record of a product or quotient e whose operand at *varside was
// distributed into v (c: the other operand's record): while the variable
// side yields a constant beside its terms, e stays to scale it (3*(x + 5)
// has the constant 15); otherwise the terms, which carry the factor, are
// all there is.
eexpr* scaled(expr* e, expr** varside, eexpr* v, eexpr* c) {
  if (!leaves_constant(*varside)) return v;
  return e->R.e == *varside ? pair_rec(e, c, v) : pair_rec(e, v, c);
}

// f over a product with one constant side.
eexpr* dist_mult(eexpr* f, expr** slot) {
  expr* e = *slot;
  if (has_vars(e->L.e) == has_vars(e->R.e)) return nonlinear(f, slot);
  if (has_vars(e->L.e)) {
    Retain(&e->L.e, e->L.e, Display);
    Retain(&e->R.e, e->R.e, Display);
    std::swap(e->L, e->R);
  }
  eexpr* cm = massage(&e->L.e);
  eexpr* c = cm;
  bool minus = false;
  if (opcode(e->L.e) == OPUMINUS) {
    if (eexpr* o = ee_of(e->L.e->L.e)) {
      c = o;
      minus = true;
    }
  }
  eexpr* nf;
  if (f == eone) {
    nf = minus ? neg(c) : c;
  } else if (f == enegone) {
    nf = minus ? c : neg(c);
  } else {
    if (minus) {
      if (opcode(f->e) == OPNUM) {
        expr* n = new_num(-f->e->L.d);
        f = massage(&n);
      } else {
        f = neg(f);
      }
    }
    nf = product(f, c);
  }
  if (plain_var(e->R.e)) return linear(nf, &e->R.e);
  return scaled(e, &e->R.e, dist(nf, &e->R.e), cm);
}

eexpr* dist_if(eexpr* f, expr* e, expr** slot) {
  if (has_vars(e->L.e) || has_flag(e->L.e, EF_NONLIN)) return nonlinear(f, slot);
  eexpr* cr = massage(&e->L.e);
  expr* pair = e->R.e;
  ++iflevel;
  eexpr* a = dist(f, &pair->L.e);
  eexpr* b = dist(f, &pair->R.e);
  --iflevel;
  uint64_t lev = cr->levbits | a->levbits | b->levbits;
  context_rec* whole = level(lev);
  if (whole > cr->con) set_opcode(e, OPIFrew);
  eexpr* r =
      node_rec(e, lev, mx(cr->stamp, mx(a->stamp, b->stamp)));
  for (eexpr* x : {cr, a, b}) ++x->nuse;
  for (eexpr* x : {a, b})
    if (x->con < whole) x->flags |= EE_FORCED;
  return r;
}

eexpr* dist_sum(eexpr* f, expr* e) {
  set_spec* ss = static_cast<set_spec*>(e->L.s);
  ss_setup(ss, nullptr);
  ++f->nuse;
  eexpr* b = dist(f, &e->R.e);
  ++b->nuse;  // the sum's use of its body
  uint64_t blev = b->levbits;
  double bstamp = b->stamp;
  ss_teardown(ss);
  uint64_t lev = (blev | ss->depmask) & ccon->scope;
  return node_rec(e, lev, mx(bstamp, ss->ee ? ss->ee->stamp : 0));
}

}  // namespace

eexpr* neg(eexpr* f) {
  if (f == eone) return enegone;
  if (f == enegone) return eone;
  expr* x = f->e;
  if (opcode(x) == OPUMINUS) {
    if (eexpr* o = ee_of(x->L.e)) {
      f->flags |= EE_ENUM;
      return o;
    }
  }
  expr* n = new_expr(opword(OPUMINUS, EF_NUMERIC | (x->opword & EF_CONST)), x);
  uint64_t h = (H(f) * 33 + sterm(int(OPUMINUS) + f->stamp)) & ~B31;
  eexpr* found = ehash(static_cast<int64_t>(h), n);
  if (reusable(found, f, nullptr)) {
    free_expr(n);
    return found;
  }
  eexpr* r = new eexpr;
  r->eexpr_init(n, static_cast<int64_t>(h), f->levbits, 1, f->stamp);
  r->nuse = 1;
  r->flags |= EE_ENUM;
  ++f->nuse;
  Retain(nullptr, n, nullptr);
  return r;
}

namespace {

eexpr* new_term(uint32_t op, eexpr* f, expr** slot) {
  eexpr* m = massage(slot);
  int opc = static_cast<int>(op >> OPSHIFT);
  if ((opc == OPVARAC || opc == OPVARACDEF) && opcode(*slot) == OPVARREF87) {
    // The value-of-variable wrapper goes: its record is never planted
    // (flag 4, no use), and the use it counted on the variable stands for
    // the term's (counted below).
    Retain(slot, *slot, Display);
    *slot = (*slot)->L.e;
    m->flags |= EE_ENUM;
    if (eexpr* v = ee_of(*slot)) {
      --v->nuse;
      m = v;
    }
  }
  expr* n = new_expr(op, f->e, *slot);
  double stamp = mx(f->stamp, m->stamp);
  uint64_t h = hash2(f, m, opc, stamp);
  bool quotient = opc == OPDIV;
  if (quotient) {
    eexpr* found = ehash(static_cast<int64_t>(h), n);
    if (reusable(found, f, m)) {
      free_expr(n);
      return found;
    }
  }
  // A quotient is a factor and lies where its operands do; a term belongs
  // to the level being compiled.
  uint64_t lev = quotient ? f->levbits | m->levbits : ccon->levbit;
  // Like every result of dist, the node is counted by its user.
  eexpr* r = new eexpr;
  r->eexpr_init(n, static_cast<int64_t>(h), lev, quotient, stamp);
  if (r->flags & EE_MANDATED) {
    mandate(f);
    mandate(m);
  }
  ++f->nuse;
  ++m->nuse;
  Retain(nullptr, n, nullptr);
  return r;
}

}  // namespace

eexpr* dist(eexpr* f, expr** slot) {
  expr* e = *slot;
  eexpr* r;
  if (!has_vars(e)) {
    r = massage(slot);
  } else {
    int opc = opcode(e);
    if (fresh(e)) opc = opcode(e);
    switch (opc < N_EEOPS ? Distributable[opc] : 0) {
      case 1: {
        eexpr* o = dist(neg(f), &e->L.e);
        r = node_rec(e, o->levbits, o->stamp);
        ++o->nuse;
        break;
      }
      case 2:
        if (opc == OPMULT) {
          r = dist_mult(f, slot);
        } else if (opc == OPDIV) {
          if (has_vars(e->R.e)) {
            r = nonlinear(f, slot);
          } else {
            // The quotient stays over the numerator, as a product does.
            eexpr* q = new_term(opword(OPDIV, EF_NUMERIC), f, &e->R.e);
            r = scaled(e, &e->L.e, dist(q, &e->L.e), ee_of(e->R.e));
          }
        } else {
          eexpr* a = dist(f, &e->L.e);
          eexpr* b = dist(opc == OPMINUS ? neg(f) : f, &e->R.e);
          r = pair_rec(e, a, b);
        }
        break;
      case 3:
        r = dist_sum(f, e);
        break;
      case 4:
        r = dist_if(f, e, slot);
        break;
      case 5:
        r = linear(f, slot);
        break;
      case 6: {
        expr* pair = e->R.e;
        r = pair && pair->L.e && var_ref(pair->L.e)
                ? new_term(opword(OPPLAC, TERMFLAGS), f, slot)
                : nonlinear(f, slot);
        break;
      }
      default:
        r = nonlinear(f, slot);
    }
  }
  if (curss) curss->depmask |= r->levbits;
  if (*slot != r->e) {
    // A new term node keeps the old expression as its operand.
    expr* old = *slot;
    bool kept = r->e->L.e == old || r->e->R.e == old;
    Retain(slot, old, kept ? Display : nullptr);
    *slot = r->e;
  }
  return r;
}

eexpr* distrib(expr** slot) {
  eexpr* r = dist(eone, slot);
  ++r->nuse;
  return r;
}

void ldistrib(expr** slot) {
  not_elim(slot, 0);
  eexpr* m = massage(slot);
  expr* n = new_expr(opword(OPNLAC, TERMFLAGS), eone->e, *slot);
  uint64_t h = hash2(eone, m, OPNLAC, m->stamp);
  eexpr* r = new eexpr;
  r->eexpr_init(n, static_cast<int64_t>(h), ccon->levbit | m->levbits, 0,
                m->stamp);
  ++eone->nuse;
  ++m->nuse;
  ++r->nuse;
  Retain_new(slot, *slot, n);
  *slot = n;
}

}  // namespace vexo
