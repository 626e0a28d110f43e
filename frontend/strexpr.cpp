// String builders, tree deletion and the small walks over trees and
// argument lists.
#include "frontend/strexpr.h"

#include <cstring>

#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

static void default_badtype(const char* where, uint32_t opword) {
  bug("unexpected type 0x%x in %s()", opword, where);
}

void (*free_varref_hook)(varref* v);
void (*badtype_hook)(const char* where, uint32_t opword) = default_badtype;

static bool is_strlit(const expr* e) {
  return e->opword == opword(OPSTR, EF_STRING) && !e->R.p;
}

expr* make_string(expr* e) {
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

static void del_set(set* s) {
  if (s) sdelete(s);
}

// The branch pair (261, 262) or another inner node whose L and R are owned.
static void del_pair(expr* p) {
  if (!p) return;
  edelete(p->L.e);
  edelete(p->R.e);
  p->next = nullptr;
  free_expr(p);
}

void (*func_unref_hook)(xnode* f);

void edelete(expr* e) {
  if (!e) return;
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
    case 1:
    case 5:
    case 11:
    case 14:
    case 61:
    case 64:
      edelete(e->L.e);
      break;
    case 2:
    case 15:
    case 54:
      edelete(e->L.e);
      edelete(e->R.e);
      break;
    case 3:
      del_set(e->L.s);
      edelete(e->R.e);
      break;
    case 4:
    case 16:
    case 40:
    case 43:
      edelete(e->R.e);
      break;
    case 6:
    case 30:
      ldelete(e->L.e);
      break;
    case 7: {
      expr* lists = e->L.e;  // 259: slopes, breakpoints
      if (lists) {
        ldelete(lists->L.e);
        ldelete(lists->R.e);
        lists->next = nullptr;
        free_expr(lists);
      }
      del_pair(e->R.e);  // 260: argument, optional second
      break;
    }
    case 9:
    case 58:
      edelete(e->L.e);
      del_pair(e->R.e);
      break;
    case 10:
      edelete(e->L.e);
      del_set(e->R.s);
      break;
    case 17:
      del_set(e->L.s);
      edelete(e->R.e);
      break;
    case 18:
      ldelete(e->L.e);
      break;
    case 24:
      // The term's block is handed over to the instance generator, which
      // frees it with its own size class.
      break;
    case 25:
      del_set(e->L.s);
      del_set(e->R.s);
      break;
    case 26:
      if (func_unref_hook && e->L.x) func_unref_hook(e->L.x);
      adelete(e->R.e, 0);
      break;
    case 27:
      del_set(e->L.s);
      if (e->R.cs) zap_cstr(&e->R.cs);
      break;
    case 28:
    case 29: {
      edelete(e->L.e);
      expr* h = e->R.e;  // holder 280: optional string, the set
      if (h) {
        if (h->L.cs) zap_cstr(&h->L.cs);
        del_set(h->R.s);
        h->next = nullptr;
        free_expr(h);
      }
      break;
    }
    case 31:
    case 48:
      // The rewritten reference is a plain node: its R holds a suffix code
      // or a suffix record, not an operand.
      free_expr(e->L.e);
      break;
    case 32:
    case 44:
    case 49:
    case 50:
      free_expr(e->L.e);
      edelete(e->R.e);
      break;
    case 35:
      if (opcode(e) == OPLOOKUPsl175) del_set(e->L.s);
      edelete(e->R.e);
      break;
    case 36:
      if (e->R.p) edelete(e->L.e);
      break;
    case 39:
      if (e->L.cs) zap_cstr(&e->L.cs);
      ldelete(e->R.e);
      break;
    case 41:
      del_set(e->R.s);
      break;
    case 47:
      del_set(e->L.s);
      break;
    case 42:
      edelete(e->R.e);
      break;
    case 45:
      edelete(e->L.e);
      edelete(e->R.e);
      break;
    case 52:
      if (e->L.ss) {
        del_set(e->L.ss);
        adelete(e->R.e, 0);
      } else {
        edelete(e->R.e);
      }
      break;
    case 53:
      if (e->L.s) {
        del_set(e->L.s);
        ldelete(e->R.e);
      } else {
        del_set(e->R.s);
      }
      break;
    case 21: {
      expr* n = e->L.e;
      if (n) {
        edelete(n->R.e);
        n->next = nullptr;
        free_expr(n);
      }
      break;
    }
    case 55:
      edelete(e->L.e);
      adelete(e->R.e, 0);
      break;
    case 56:
      adelete(e->R.e, 1);
      break;
    case 60:
      if (free_varref_hook) free_varref_hook(e->L.vr);
      break;
    case 62:
      if (e->L.p) del_mblk(e->R.i, e->L.p);
      break;
    default:
      badtype_hook("edelete", e->opword);
      return;
  }
  free_expr(e);
}

void adelete(expr* args, int sets) {
  while (args) {
    expr* n = args->next;
    args->next = nullptr;
    if (opcode(args) != OP258) {
      if (args->L.ss) {
        del_set(args->L.ss);
        adelete(args->R.e, sets);
      } else if (sets) {
        del_set(args->R.s);
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

static void padj_chain(expr* c) {
  for (; c; c = c->next) primaladj(c);
}

static void padj_pair(expr* p) {
  if (!p) return;
  primaladj(p->L.e);
  primaladj(p->R.e);
}

void primaladj(expr* e) {
  if (!e) return;
  retype(e);
  switch (shape(e)) {
    case 1:
    case 5:
    case 11:
    case 14:
    case 61:
    case 64:
    case 28:
    case 29:
      primaladj(e->L.e);
      break;
    case 2:
    case 15:
    case 54:
    case 45:
      primaladj(e->L.e);
      primaladj(e->R.e);
      break;
    case 3:
    case 4:
    case 16:
    case 40:
    case 43:
    case 17:
    case 32:
    case 44:
    case 49:
    case 50:
    case 42:
      primaladj(e->R.e);
      break;
    case 6:
    case 30:
    case 18:
      padj_chain(e->L.e);
      break;
    case 7:
      if (e->L.e) {
        padj_chain(e->L.e->L.e);
        padj_chain(e->L.e->R.e);
      }
      padj_pair(e->R.e);
      break;
    case 9:
    case 58:
      primaladj(e->L.e);
      padj_pair(e->R.e);
      break;
    case 10:
      primaladj(e->L.e);
      break;
    case 26:
    case 56:
      aprimaladj(e->R.e);
      break;
    case 55:
      primaladj(e->L.e);
      aprimaladj(e->R.e);
      break;
    case 36:
      if (e->R.p) primaladj(e->L.e);
      break;
    case 39:
      padj_chain(e->R.e);
      break;
    case 52:
      if (e->L.ss)
        aprimaladj(e->R.e);
      else
        primaladj(e->R.e);
      break;
    case 21:
      if (e->L.e) primaladj(e->L.e->R.e);
      break;
  }
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

static expr* lit_symlist(expr* chain) { return symlist(SYML_LITSET, chain); }
static expr* num_const(double v) { return new_num(v); }

void exprs_init() {
  set_edelete_hook = edelete;
  set_make_numeric_hook = make_numeric;
  set_symlist_hook = lit_symlist;
  set_const_hook = num_const;
}

}  // namespace vexo
