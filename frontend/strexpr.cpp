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

namespace {
// expr_nesting's walk: the deepest operand, counted as edelete descends
// (the operands of an inner node count as e's own).
struct nest_reader : walker_defaults {
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
  static void text(cstr*& c) {
    if (c) zap_cstr(&c);
  }
  template <class V>
  void inner(expr* h, V visit) {
    visit(h, *this);
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
struct adjuster : walker_defaults {
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
  // The operands of lookups of tuples and of SH_FORM285 stay as they are.
  if (shape(e) == SH_LOOKUPSL || shape(e) == SH_FORM285) return;
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
