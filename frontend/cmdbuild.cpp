// Builders of the statements whose subsystems are not built yet, and of
// command items and option settings.
#include "frontend/cmdbuild.h"

#include <cstring>

#include "eval/dispatch.h"
#include "eval/funclib.h"
#include "frontend/exprbuild.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/funcbuild.h"
#include "frontend/parse.h"
#include "frontend/refs.h"
#include "frontend/strexpr.h"
#include "instance/sufdecl.h"
#include "session/cmdfiles.h"
#include "session/cmdlist.h"
#include "session/cmdrec.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/let.h"
#include "session/loop.h"
#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

cstr* list2string(list* words) {
  words = reverse(words);
  size_t n = 1;
  for (list* l = words; l; l = l->next)
    n += strlen(l->item.p ? static_cast<cstr*>(l->item.p)->text() : "") + 1;
  char* buf = static_cast<char*>(new_mblk(htcl(n)));
  buf[0] = 0;
  size_t k = 0;
  for (list* l = words; l; l = l->next) {
    cstr* w = static_cast<cstr*>(l->item.p);
    if (l != words) buf[k++] = ' ';
    size_t m = strlen(w->text());
    std::memcpy(buf + k, w->text(), m);
    k += m;
    buf[k] = 0;
    zap_cstr(&w);
  }
  cstr* r = new_cstring(buf);
  del_mblk(htcl(n), buf);
  free_list(words);
  return r;
}

void einclude(expr* file, int) {
  // The name is evaluated now, while the statement is read: a loop's
  // dummy has no value yet.
  if (lastloopdummy) {
    error(0, "\"model (...);\" cannot use loop dummy %s.\n\t%s",
          dummy_name(lastloopdummy),
          "Consider using \"commands (...);\" instead.");
    if (cmdstate) cmd_reset2();
    return;
  }
  struct reading {
    reading() { read_eval_begin(); }
    ~reading() { read_eval_end(); }
  };
  cstr* evaluated;
  {
    reading r;
    evaluated = rdfname(&file, nullptr);
  }
  held_cstr name(evaluated);
  include(name.text(), 0, 0);
}


namespace {

bool is_kind(const xnode* d, uint32_t k) { return d && (d->kind & ~1u) == k; }

// The declaration bound to name, subscripted exactly when indexed and with
// as many subscripts as its indexing has; false after the message (the
// subscripts freed).
bool subscripts_fit(xnode* d, symbol* name, expr* subs) {
  int given = listlen(subs);
  if (!(d->kind & 1) != !given) {
    mustsub(name, given ? 0 : 1);
  } else if (given && given != subscript_count(d)) {
    error(0, "%s needs %d subscripts.", name->name, subscript_count(d));
  } else {
    return true;
  }
  ldelete(subs);
  return false;
}

// A refused command: the statement ends without a record.
void refused(expr* subs) {
  ldelete(subs);
  cmd0(CK_EMPTY);
}

}  // namespace

void solve_cmd(symbol* name, expr* subscript, redirect* r) {
  if (name) {
    xnode* d = static_cast<xnode*>(name->binding);
    if (!is_kind(d, DK_OBJ) && !is_kind(d, DK_PROB)) {
      error(0, "%s is not an objective or problem name", name->name);
      return refused(subscript);
    }
    if (!subscripts_fit(d, name, subscript)) return cmd0(CK_EMPTY);
  }
  cmd_bef(CK_SOLVE, name, subscript, r);
}

void objective_cmd(symbol* name, expr* subscript) {
  xnode* d = static_cast<xnode*>(name->binding);
  if (!is_kind(d, DK_OBJ)) {
    error(0, "%s is not an objective", name->name);
    return refused(subscript);
  }
  if (!subscripts_fit(d, name, subscript)) return cmd0(CK_EMPTY);
  if (subscript) dep_note(d->num);
  cmd_be(CK_OBJECTIVE_SET, name, subscript);
}

void prob_cmd(symbol* name, expr* subscript) {
  xnode* d = static_cast<xnode*>(name->binding);
  if (subscript && d->kind != DK_PROBI) {
    error(0, "problem %s is not subscripted.", name->name);
    return refused(subscript);
  }
  if (subscript && listlen(subscript) != subscript_count(d)) {
    error(0, "%s needs %d subscripts.", name->name, subscript_count(d));
    return refused(subscript);
  }
  cmd_be(CK_PROBLEM_SET, name, subscript);
}

void probreset(symbol* name, expr* subscript) {
  if (name) {
    xnode* d = static_cast<xnode*>(name->binding);
    if (!is_kind(d, DK_PROB)) {
      error(0, "%s is not a named problem", name->name);
      return refused(subscript);
    }
    if (subscript && d->kind != DK_PROBI) {
      error(0, "%s is not subscripted", name->name);
      return refused(subscript);
    }
    if (subscript && listlen(subscript) != subscript_count(d)) {
      error(0, "%s needs %d subscripts.", name->name, subscript_count(d));
      return refused(subscript);
    }
  }
  cmd_be(CK_RESET_PROBLEM, name, subscript);
}

void purge(expr* names, int purge) {
  cmd_ri(purge ? CK_PURGE : CK_DELETE, names, purge);
}

void xref_cmd(expr* names, redirect* r) { cmd_rf(CK_XREF, names, r); }

expr* func_call(function* f, expr* args) {
  arg_values(args);
  // Built-in routines (print, printf, ...) take their arguments as they
  // come; the rules below are those of declared functions.
  bool builtin = f->funcp && !f->libfuncp && !f->pipe;
  // In the definition of a random variable a random function stays a call,
  // drawn anew at each use.
  uint32_t random =
      (f->fflags & 0x10000) && randvar_rhs ? uint32_t(EF_RANDOM) : 0;
  if (builtin) {
    // A built-in routine reads the arguments its count promises.
    argcount_check(f, args);
    return new_expr(opword(f->fflags & 0x100 ? OPFUNCstr : OPFUNC,
                           (f->fflags & 0x100 ? EF_STRING : EF_NUMERIC) |
                               varargs(args) | random),
                    static_cast<xnode*>(f), args);
  }
  if (f->fflags & 0xA000)
    for (expr* a = args; a; a = a->next)
      if (opcode(a) == OPARG && !a->L.ss) a->R.e = make_numeric(a->R.e);
  funceval_check(f, args);
  bool symbolic = f->fflags & 0x100;
  if (f->fflags & 0x10100) {
    // Iterated arguments of a symbolic or random function: the call fails
    // when evaluated.
    int n = 0;
    for (expr* a = args; a; a = a->next)
      if (opcode(a) == OPARG && a->L.ss) ++n;
    if (n) {
      error(0, "variable argument%s to %s function %s", n > 1 ? "s" : "",
            symbolic ? "symbolic" : "random", f->name->name);
      rc |= 8;
      return new_expr(opword(OPFUNCbad, symbolic ? EF_STRING : EF_NUMERIC),
                      static_cast<xnode*>(f), args);
    }
  }
  uint32_t flags = (symbolic ? EF_STRING : EF_NUMERIC) | varargs(args);
  int op = symbolic ? OPFUNCstr : OPFUNC;
  flags |= random;
  // Zero to two real arguments passed directly: the short forms.
  if (!symbolic && (f->fflags & 0x8000) && f->nargs >= 0 && f->nargs <= 2)
    op = OPFUNC + f->nargs + 1;
  return new_expr(opword(op, flags), static_cast<xnode*>(f), args);
}

expr* funceval(symbol* function, expr* args) {
  return func_call(static_cast<struct function*>(function->binding), args);
}

expr* item_ix(set_spec* ix, expr* body) {
  // An indexing followed by a parenthesised list: the list's items.
  if (body && opcode(body) == OPSYMLIST) {
    expr* t = body;
    body = name_purge(0, t->L.e);
    t->L.e = nullptr;
    free_expr(t);
  }
  // The body's expressions become the entries of the item's list, as in
  // an argument list (a nested item is an entry already).
  expr* entries = nullptr;
  expr** tail = &entries;
  while (body) {
    expr* next = body->next;
    body->next = nullptr;
    expr* entry =
        opcode(body) == OPARG ? body : new_expr(opword(OPARG), nullptr, body);
    *tail = entry;
    tail = &entry->next;
    body = next;
  }
  expr* e = new_expr(opword(OPARG), ix, entries);
  // The item's body is complete: its dummies go out of scope.
  end_context(ix, nullptr);
  return e;
}

expr* whole_entry(xnode* x) { return arg_entry(nullptr, entity_item(x)); }

expr* set_item(set* s) { return new_expr(opword(254), s); }

expr* entity_item(xnode* x) {
  return new_expr(opword(OPXNODE), x, static_cast<int32_t>(-2));
}

expr* show_item(int kind, symbol* name, double n) {
  static const char* const words[] = {"",      "environ", "suffix",
                                      "table", "option",  "check"};
  char buf[256];
  if (kind == SHOW_CHECK) {
    if (n < 0)
      Snprintf(buf, sizeof buf, "check");
    else
      Snprintf(buf, sizeof buf, "check %.g", n);
  } else {
    Snprintf(buf, sizeof buf, "%s %s", words[kind], name->name);
  }
  return new_lit(Symbol(buf, 1));
}

expr* set_target(xnode* sd, expr* subs) {
  if (!subs) return new_expr(opword(OPXNODE), sd, nullptr);
  // The member set of an indexed set: the look-up of its subscript, as a
  // reference has it (the let record frees it).
  return subscript(opword(OPXNODE), sd, subs);
}

}  // namespace vexo
