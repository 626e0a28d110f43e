// String builders, tree deletion and the small walks over trees and
// argument lists.
#include "frontend/strexpr.h"

#include <cstring>

#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "eval/strsym.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "instance/names.h"
#include "instance/varref.h"
#include "session/infiles.h"
#include "session/located.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

static bool is_strlit(const expr* e) {
  return e->opword == opword(OPSTR, EF_STRING) && !e->R.p;
}

expr* make_string(expr* e) {
  e = not_tuple(e);
  // A condition's text is that of its number, 1 or 0.
  if (e && is_logical(e)) e = make_numeric(e);
  if (has_flag(e, EF_STRING)) return e;
  switch (e->opword) {
    case opword(OPSPAR, EF_CONST):
      e->opword = opword(OPSPARSTR, EF_CONST | EF_STRING);
      return e;
    case opword(OPSPARSUB, EF_CONST):
      e->opword = opword(OPSPARSUBSTR, EF_CONST | EF_STRING);
      return e;
    case opword(OPNUM2SYM):
      e->opword = opword(OPNUM2STR, EF_STRING);
      return e;
    case opword(OPLIT, EF_CONST): {
      expr* s = new_str(new_cstring(e->L.sym->name));
      free_expr(e);
      return s;
    }
    case opword(OPNUM, EF_CONST | EF_NUMERIC): {
      expr* s = new_str(new_cstring(gfmt(e->L.d, 0, nullptr)));
      free_expr(e);
      return s;
    }
  }
  int opc = has_flag(e, EF_NUMERIC) ? OPNUM2STR : OPSYM2STR;
  return new_expr(opword(opc, EF_STRING), e);
}

expr* list2string(expr* chain) {
  expr* out = nullptr;
  while (chain) {
    expr* n = chain->next;
    chain->next = nullptr;
    expr* s = make_string(chain);
    s->next = out;
    out = s;
    chain = n;
  }
  return out;
}

expr* concat(expr* L, expr* R) {
  if (has_flag(L, EF_NUMERIC) && has_flag(R, EF_NUMERIC))
    error(2, "Converting two numeric values to strings to concatenate them.");
  L = make_string(L);
  R = make_string(R);
  expr *lfirst = L, *llast = L;
  if (opcode(L) == OPCONCAT) {
    lfirst = L->L.e;
    llast = L->R.e;
    L->next = nullptr;
    free_expr(L);
  }
  expr* rfirst = R;
  if (opcode(R) == OPCONCAT) {
    rfirst = R->L.e;
    R->next = nullptr;
    free_expr(R);
  }
  llast->next = rfirst;
  return strcrunch(lfirst);
}

expr* strcrunch(expr* chain) {
  for (expr* e = chain; e; e = e->next) {
    if (!is_strlit(e) || !e->next || !is_strlit(e->next)) continue;
    size_t len = std::strlen(e->L.cs->text());
    expr* f = e->next;
    for (; f && is_strlit(f); f = f->next) len += std::strlen(f->L.cs->text());
    cstr* c = new_cstr(len + 1);
    char* t = c->text();
    for (expr* g = e; g != f; g = g->next) {
      size_t n = std::strlen(g->L.cs->text());
      std::memcpy(t, g->L.cs->text(), n);
      t += n;
    }
    *t = 0;
    // Drop the old strings and the merged nodes; e keeps its place.
    zap_cstr(&e->L.cs);
    e->L.cs = c;
    expr* g = e->next;
    while (g != f) {
      expr* n = g->next;
      zap_cstr(&g->L.cs);
      g->next = nullptr;
      free_expr(g);
      g = n;
    }
    e->next = f;
  }
  if (!chain->next) return chain;
  expr* last = chain;
  while (last->next) last = last->next;
  return new_expr(opword(OPCONCAT, EF_STRING), chain, last);
}

expr* make_sym(expr* e) {
  if (is_strlit(e)) {
    symbol* s = Symbol(e->L.cs->text(), 1);
    zap_cstr(&e->L.cs);
    e->opword = opword(OPLIT, EF_CONST);
    e->L.sym = s;
    return e;
  }
  return new_expr(opword(OPSTR2SYM), e);
}

// Deletes a chain of owned nodes, each on its own.
void ldelete(expr* chain) {
  while (chain) {
    expr* n = chain->next;
    chain->next = nullptr;
    edelete(chain);
    chain = n;
  }
}

// Visits the operands of e as its shape lays them out and returns true, or
// returns false for a shape without a layout here.  The walker w has, in
// the order of the operands:
//   operand(expr*)          an operand expression (may be null)
//   chain(expr*)            a chain of operand expressions
//   args(expr*, int sets)   an argument list of OPARG entries (sets: the
//                           entries hold sets, not expressions)
//   operand_set(set*)       an operand set (may be null)
//   plain(expr*)            a rewritten reference: a node whose R holds a
//                           suffix code or record, not an operand
//   text(cstr**)            an owned string (may be null)
//   holder(expr*)           an inner node, after its own operands
//   func(xnode*)            a called function (may be null)
//   ref(varref*)            a variable reference record
//   block(expr*)            the block of a term that e owns (shape 62)
// walk_base gives the walks that need only some of these the others as
// no-ops.
struct walk_base {
  static void operand_set(set*) {}
  static void plain(expr*) {}
  static void text(cstr**) {}
  static void holder(expr*) {}
  static void func(xnode*) {}
  static void ref(varref*) {}
  static void block(expr*) {}
};

// The pair node (260) or another inner node whose L and R are operands.
template <class W>
static void visit_pair(expr* p, W& w) {
  if (!p) return;
  w.operand(p->L.e);
  w.operand(p->R.e);
  w.holder(p);
}

template <class W>
static bool visit_operands(expr* e, W& w) {
  switch (shape(e)) {
    case 0:
    case 8:
    case 12:
    case 13:
    case 19:
    case 22:
    case 23:
    case 33:
    case 34:
    case 38:
    case 51:
    case 57:
    case 59:
      break;
    case 24:
      // The term's block is handed over to the instance generator, which
      // frees it with its own size class.
      break;
    case 1:
    case 5:
    case 11:
    case 14:
    case 61:
    case 64:
      w.operand(e->L.e);
      break;
    case 2:
    case 15:
    case 45:
    case 54:
      w.operand(e->L.e);
      w.operand(e->R.e);
      break;
    case 3:
    case 17:
      w.operand_set(e->L.s);
      w.operand(e->R.e);
      break;
    case 4:
    case 16:
    case 40:
    case 42:
    case 43:
      w.operand(e->R.e);
      break;
    case 6:
    case 18:
    case 30:
      w.chain(e->L.e);
      break;
    case 7:
      if (expr* lists = e->L.e) {  // 259: slopes, breakpoints
        w.chain(lists->L.e);
        w.chain(lists->R.e);
        w.holder(lists);
      }
      visit_pair(e->R.e, w);  // 260: argument, optional second
      break;
    case 9:
    case 58:
      w.operand(e->L.e);
      visit_pair(e->R.e, w);
      break;
    case 10:
      w.operand(e->L.e);
      w.operand_set(e->R.s);
      break;
    case 21:
      if (expr* n = e->L.e) {
        w.operand(n->R.e);
        w.holder(n);
      }
      break;
    case 25:
      w.operand_set(e->L.s);
      w.operand_set(e->R.s);
      break;
    case 26:
      w.func(e->L.x);
      w.args(e->R.e, 0);
      break;
    case 27:
      w.operand_set(e->L.s);
      w.text(&e->R.cs);
      break;
    case 28:
    case 29:
      w.operand(e->L.e);
      if (expr* h = e->R.e) {  // holder 280: optional string, the set
        w.text(&h->L.cs);
        w.operand_set(h->R.s);
        w.holder(h);
      }
      break;
    case 31:
    case 48:
      w.plain(e->L.e);
      break;
    case 32:
    case 44:
    case 49:
    case 50:
      w.plain(e->L.e);
      w.operand(e->R.e);
      break;
    case 35:
      if (opcode(e) == OPLOOKUPsl175) w.operand_set(e->L.s);
      w.operand(e->R.e);
      break;
    case 36:
      if (e->R.p) w.operand(e->L.e);
      break;
    case 39:
      w.text(&e->L.cs);
      w.chain(e->R.e);
      break;
    case 41:
      w.operand_set(e->R.s);
      break;
    case 47:
      w.operand_set(e->L.s);
      break;
    case 52:
      if (e->L.ss) {
        w.operand_set(e->L.ss);
        w.args(e->R.e, 0);
      } else {
        w.operand(e->R.e);
      }
      break;
    case 53:
      if (e->L.s) {
        w.operand_set(e->L.s);
        w.chain(e->R.e);
      } else {
        w.operand_set(e->R.s);
      }
      break;
    case 55:
      w.operand(e->L.e);
      w.args(e->R.e, 0);
      break;
    case 56:
      w.args(e->R.e, 1);
      break;
    case 60:
      w.ref(e->L.vr);
      break;
    case 62:
      w.block(e);
      break;
    default:
      return false;
  }
  return true;
}

namespace {
// expr_nesting's walk: the deepest operand, counted as edelete descends.
struct nest_reader : walk_base {
  uint32_t d = 0;
  void take(uint32_t x) {
    if (x > d) d = x;
  }
  void operand(expr* e) { take(nest_of(e)); }
  void chain(expr* c) { take(chain_nest(c)); }
  void operand_set(set* s) { take(nest_of(s)); }
  // An entry over an indexing holds a nested list, one level further down
  // (adelete recurses into it).
  void args(expr* a, int sets) {
    for (; a; a = a->next) {
      if (opcode(a) == OP258) continue;
      if (a->L.ss) {
        take(nest_of(a->L.ss));
        nest_reader inner;
        inner.args(a->R.e, sets);
        take(inner.d + 1);
      } else {
        take(sets ? nest_of(a->R.s) : nest_of(a->R.e));
      }
    }
  }
};
}  // namespace

uint32_t expr_nesting(const expr* e) {
  if (opcode(e) == OPARG || opcode(e) == OP258) return 1;
  nest_reader w;
  if (!visit_operands(const_cast<expr*>(e), w)) return 1;
  return w.d + 1;
}

namespace {
// edelete's walk: every operand goes back to its pool.
struct deleter {
  static void operand(expr* e) { edelete(e); }
  static void chain(expr* c) { ldelete(c); }
  static void args(expr* a, int sets) { adelete(a, sets); }
  static void operand_set(set* s) {
    if (s) sdelete(s);
  }
  static void plain(expr* e) { free_expr(e); }
  static void text(cstr** c) {
    if (*c) zap_cstr(c);
  }
  static void holder(expr* h) {
    h->next = nullptr;
    free_expr(h);
  }
  // An imported function's count of references would drop here; the
  // function records of today keep no count.
  static void func(xnode*) {}
  static void ref(varref* v) { free_varref(v); }
  static void block(expr* e) {
    if (e->L.p) del_mblk(e->R.i, e->L.p);
  }
};
}  // namespace

void edelete(expr* e) {
  if (!e) return;
  if (opcode(e) == OPSYMLIST) symlist_cells_free(e);
  deleter w;
  if (!visit_operands(e, w)) {
    badtype("edelete", e->opword);
  }
  free_expr(e);
}

void adelete(expr* args, int sets) {
  while (args) {
    expr* n = args->next;
    args->next = nullptr;
    if (opcode(args) != OP258) {
      if (args->L.ss) {
        deleter::operand_set(args->L.ss);
        adelete(args->R.e, sets);
      } else if (sets) {
        deleter::operand_set(args->R.s);
      } else {
        edelete(args->R.e);
      }
    }
    free_expr(args);
    args = n;
  }
}

// Visits the arguments of a list, nested lists included; stops at the first
// for which test is true.
template <class F>
static bool any_arg(expr* args, F test) {
  for (expr* a = args; a; a = a->next) {
    if (opcode(a) == OP258) continue;
    if (opcode(a) != OPARG) {
      if (test(a)) return true;
      continue;
    }
    if (a->L.ss) {
      if (any_arg(a->R.e, test)) return true;
    } else if (a->R.e && test(a->R.e)) {
      return true;
    }
  }
  return false;
}

int has_variable(expr* args) {
  return any_arg(args, [](expr* a) { return has_flag(a, EF_VARS); }) ? 4 : 0;
}

int has_nonnumeric(expr* args) {
  return any_arg(args, [](expr* a) { return !has_flag(a, EF_NUMERIC); });
}

expr* baduse(expr* e) {
  xnode* d = e->L.x;
  const char* how = "Invalid";
  const char* what = "problem";
  uint32_t k = d ? d->kind : 0;
  if (k == DK_CON || k == DK_CONI) {
    how = "Unqualified";
    what = "constraint";
  } else if (k == DK_OBJ || k == DK_OBJI) {
    how = "Unqualified";
    what = "objective";
  }
  error(0, "%s reference to %s %s.", how, what, d ? xnode_name(d) : "?");
  edelete(e);
  return new_num(0.);
}

static void retype(expr* e) {
  uint32_t f = eflags(e);
  switch (opcode(e)) {
    case OPPRIMAL:
      e->opword = opword(OPSVEXOVAR, (f & (1 | 4 | 8 | 16 | 64 | 128)) | 2);
      break;
    case OPPRIMALSUB:
      e->opword = opword(OPSVEXOVARSUB, (f & (1 | 4 | 8 | 16 | 64 | 128)) | 2);
      break;
    case OPVAR164:
      e->opword = opword(OPSVEXOVAR, f | 2);
      break;
    case OPVARSUB165:
      e->opword = opword(OPSVEXOVARSUB, f | 2);
      break;
  }
}

namespace {
// primaladj's walk: only operand expressions are adjusted.
struct adjuster : walk_base {
  static void operand(expr* e) { primaladj(e); }
  static void chain(expr* c) {
    for (; c; c = c->next) primaladj(c);
  }
  // Argument lists of sets (alldisjoint, alldistinct) hold no expressions
  // to adjust.
  static void args(expr* a, int sets) {
    if (!sets) aprimaladj(a);
  }
};
}  // namespace

void primaladj(expr* e) {
  if (!e) return;
  retype(e);
  // The operands of lookups (35) and of shape 53 stay as they are.
  if (shape(e) == 35 || shape(e) == 53) return;
  adjuster w;
  visit_operands(e, w);
}

void aprimaladj(expr* args) {
  for (expr* a = args; a; a = a->next) {
    if (opcode(a) == OP258) continue;
    if (a->L.ss)
      aprimaladj(a->R.e);
    else
      primaladj(a->R.e);
  }
}

expr* Sample(expr* e) {
  if (!has_flag(e, EF_RANDOM)) return e;
  primaladj(e);
  uint32_t f = eflags(e) & ~uint32_t(EF_VARS | EF_RANDOM | EF_RANDVAR);
  if (has_flag(e, EF_STRING))
    return new_expr(opword(OPSVEXOESTR, f | EF_STRING), e);
  return new_expr(opword(OPSVEXOE, f | EF_NUMERIC), e);
}

}  // namespace vexo
