// Index dummies and symbol lists.
#include "frontend/dummy.h"

#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "eval/slice.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/strexpr.h"
#include "session/located.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

dummy* dummy_free_list;
e_copy* e_copy_freelist;
int nvarsub;

void* dummy::operator new(size_t size) {
  dummy* d = dummy_free_list;
  if (!d) return mem(size);
  pool_take(d, size);
  dummy_free_list = d->next;
  d->next = nullptr;
  return d;
}

static void put_dummy(void* p, int) {
  dummy* d = static_cast<dummy*>(p);
  d->next = dummy_free_list;
  dummy_free_list = d;
}

void dummy::operator delete(void* p) {
  if (p) pool_free(p, sizeof(dummy), p, put_dummy);
}

dummy::dummy(dummy* next_, symbol* name_)
    : next(next_),
      kind(DUMMY_KIND),
      name(name_),
      oldval(name_->binding),
      level(static_cast<uint32_t>(sslevel)),
      offset(static_cast<uint32_t>(next_dummy_offset())) {
  // A name bound to a declaration or a dummy (kinds below 32; keywords and
  // built-ins have larger kinds and are simply shadowed).  The "?" entries
  // that pad a short list after its error are no names of the user's.
  if (oldval && bound_kind(oldval) < 32 && std::strcmp(name_->name, "?") != 0)
    error(0, "duplicate definition of %s", name_->name);
  name_->binding = this;
}

void dummy_release(dummy* first) {
  if (!first) return;
  for (dummy* d = first; d; d = d->next) d->name->binding = d->oldval;
  pool_free_chain(first, &dummy_free_list, sizeof(dummy), put_dummy);
}

expr* dummy_expr(dummy* d) {
  expr* e = new_expr(opword(OPDUMMY), static_cast<int32_t>(d->level),
                     static_cast<int32_t>(d->offset));
  // The routine slot holds the name until the compiler binds a routine.
  e->op = reinterpret_cast<efunc>(d->name);
  count_dummy_ref(d->level, 1);
  return e;
}

expr* loopdummy_expr(dummy* d) {
  lastloopdummy = d;
  return new_expr(opword(OPLOOPDUMMY), static_cast<void*>(d));
}

// The set of the item that opened each scope level (null where none is
// open), for the order operators on a dummy.
static set* level_set[MAX_SSLEVEL + 1];

// The entries of an item as many as the set has components: a set of
// unknown dimension takes their number; otherwise a mismatch is reported,
// a short list padded with "?" and a long one cut.
static expr* fit_entries(expr* names, set* s) {
  int n = listlen(names), d = s->arity;
  if (!d) {
    fixarity(s, n, 0);
    return names;
  }
  if (n == d) return names;
  error(0, "%d ind%s for set of dimen %d", n, n == 1 ? "ex" : "ices", d);
  set_rc_bit(8);
  expr** tail = &names;
  for (int k = 0; k < d; ++k) {
    if (!*tail) *tail = new_expr(opword(OP279), Symbol("?", 1));
    tail = &(*tail)->next;
  }
  for (expr* x = *tail; x;) {
    expr* n = x->next;
    x->next = nullptr;
    if (opcode(x) == OP279)
      free_expr(x);
    else
      edelete(x);
    x = n;
  }
  *tail = nullptr;
  return names;
}

Index* index_item(Index* prev, expr* names, set* s) {
  // Every item opens a level, with or without dummies: closing an
  // indexing closes one level per item.
  Index* ix = new Index(prev, s, nullptr, 1);
  if (names) names = fit_entries(names, s);
  expr* refs = nullptr;
  expr** tail = &refs;
  // Components given by expressions fix the member's component: the item
  // runs over the slice of s with those positions fixed.
  expr* keys = nullptr;
  expr** ktail = &keys;
  int32_t pos[TUPMAX];
  int nfix = 0, p = 0;
  for (; names; ++p) {
    expr* nx = names->next;
    names->next = nullptr;
    if (opcode(names) == OP279) {
      newest_dummy(new dummy(last_dummy, names->L.sym));
      free_expr(names);
      *tail = dummy_expr(last_dummy);
      tail = &(*tail)->next;
    } else {
      pos[nfix++] = p;
      *ktail = names;
      ktail = &names->next;
    }
    names = nx;
  }
  if (keys) {
    if (nfix == p) error(2, "0-dimensional slice");
    ix->s = set_slice(s, symlist(SYML_INDEX, reverse(keys)), pos, nfix, 0);
    ix->cells = ix->s->arity;
  }
  if (ix->level >= 0 && ix->level <= MAX_SSLEVEL) level_set[ix->level] = ix->s;
  ix->dummies = refs;
  ix->ndum = listlen(refs);
  return ix;
}

set* dummy_set(int level) {
  if (level < 1 || level > MAX_SSLEVEL || level > sslevel) return nullptr;
  return level_set[level];
}

void dummy_level_closed(int level) {
  if (level >= 0 && level <= MAX_SSLEVEL) level_set[level] = nullptr;
}

// The symbol-valued replacement of one list element (symlist's steps).
static const char* const symlist_what[4] = {"index expression", "tuple",
                                            "literal set", "setof expression"};

static expr* symlist_refuse(int mode, expr* e) {
  if (mode >= SYML_IN) {
    int plain = opcode(e) == OPVAR164 || opcode(e) == OPVARSUB165;
    error(0, "Cannot test whether a variable%s is %sin a set expression.",
          plain ? "" : " expression", mode == SYML_NOTIN ? "not " : "");
  } else {
    error(0, "variable in %s", symlist_what[mode]);
  }
  set_rc_bit(8);
  // The element becomes the symbol of 0 in place; what it referred to is
  // left to its pools.
  e->opword = opword(OPLIT, EF_CONST);
  e->op = nullptr;
  e->L = Number(0.);
  e->R = nullptr;
  return e;
}

// Moves e's content into a new node and makes e a conversion node of the
// opcode over it (e keeps its place and next link).
static void wrap(expr* e, int opc, uint32_t flags) {
  expr* inner = new_expr(e->opword, e->L, e->R);
  inner->op = e->op;
  e->opword = opword(opc, flags);
  e->op = nullptr;
  e->L = inner;
  e->R = nullptr;
}

static expr* symlist1(int mode, expr* e) {
  // A condition stands for its number, 1 or 0.
  if (is_logical(e)) {
    e->next = nullptr;
    e = make_numeric(e);
  }
  uint32_t f = eflags(e);
  if (f & EF_NUMERIC) {
    if (!(f & (EF_VARS | EF_RANDVAR))) {
      if (opcode(e) == OPNUM) {
        e->L = Number(e->L.d);
        e->opword = opword(OPLIT, EF_CONST);
      } else {
        wrap(e, OPNUM2SYM, 0);
      }
      return e;
    }
    if (nvarsub && (f & EF_CONST)) {
      ++nvarsub;
      wrap(e, OPNUM2SYM, 0);
      return e;
    }
    return symlist_refuse(mode, e);
  }
  if (f & EF_STRING) {
    switch (opcode(e)) {
      case OPFUNCstr:
        e->opword = opword(OPFUNCs);
        break;
      case OPSTR: {
        cstr* cs = e->L.cs;
        e->L = Symbol(cs->text(), 1);
        e->opword = opword(OPLIT, EF_CONST);
        zap_cstr(&cs);
        break;
      }
      case OPSYM2STR: {
        expr* in = e->L.e;
        e->opword = in->opword;
        e->op = in->op;
        e->L = in->L;
        e->R = in->R;
        in->next = nullptr;
        free_expr(in);
        break;
      }
      case OPSPARSTR:
        e->opword = opword(OPSPAR, EF_CONST);
        break;
      case OPSPARSUBSTR:
        e->opword = opword(OPSPARSUB, EF_CONST);
        break;
      default:
        wrap(e, OPSTR2SYM, 0);
    }
    return e;
  }
  if (f & EF_VARS) {
    if (!(f & EF_CONST)) bug("symlist: continuous nonnumeric variable?");
    if (nvarsub) {
      ++nvarsub;
      return e;
    }
    return symlist_refuse(mode, e);
  }
  return e;
}

expr* symlist(int mode, expr* list) {
  expr* out = nullptr;
  while (list) {
    expr* nx = list->next;
    expr* e = symlist1(mode, list);
    e->next = out;
    out = e;
    list = nx;
  }
  return out;
}

expr* name_purge(int mode, expr* list) {
  for (expr* e = list; e; e = e->next) {
    if (e->opword == opword(OP279)) {
      error(0, "%s is undefined", e->L.sym->name);
      e->opword = opword(OPLIT, EF_CONST);
    } else if (mode && has_flag(e, EF_VARS)) {
      error(0, "variable in tuple");
    }
  }
  return list;
}

e_copy* new_e_copy() {
  e_copy* c = e_copy_freelist;
  if (!c) return static_cast<e_copy*>(mem(sizeof(e_copy)));
  pool_take(c, sizeof(e_copy));
  e_copy_freelist = c->next;
  c->next = nullptr;
  return c;
}

static void put_ecopy(void* p, int) {
  e_copy* c = static_cast<e_copy*>(p);
  c->next = e_copy_freelist;
  e_copy_freelist = c;
}

void del_ecopy(e_copy* c) {
  if (c) pool_free(c, sizeof(e_copy), c, put_ecopy);
}

void dummy_reset() {
  dummy_free_list = nullptr;
  e_copy_freelist = nullptr;
  nvarsub = 0;
  for (set*& s : level_set) s = nullptr;
}

}  // namespace vexo
