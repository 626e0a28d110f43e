// A walk over expression trees, parsed or compiled, shared by the fixtures
// that look into compiled trees: describing a tree word by word, and
// giving the nodes of opcodes whose evaluation routines are not built
// test stand-ins.
#ifndef VEXO_UNIT_COMPILER_TREE_WALK_H
#define VEXO_UNIT_COMPILER_TREE_WALK_H

#include <cstdint>
#include <functional>
#include <utility>

#include "compiler/opgen.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/expr.h"
#include "support/list.h"
#include "support/symbol.h"

namespace vexo::test {

// Visits each node (at) before its operands and (leave) after them, leaf
// values (leaf), the sets and indexings a tree holds with their entries'
// conditions (at_set, leave_set); a missing node or the end of a list is
// end.  A compiled tree is walked through the computations its value and
// REWRITE nodes keep (before its first evaluation).
struct tree_walk {
  virtual ~tree_walk() = default;
  virtual void at(expr* e) = 0;
  virtual void leave(expr*) {}
  virtual void at_set(set*) {}
  virtual void leave_set(set*) {}
  virtual void leaf(uint64_t) {}
  virtual void end() {}

  // Set for a tree as the parser leaves it, where the opcodes of value and
  // REWRITE nodes name forms of their own.
  bool parsed = false;

  void set_(set* s) {
    if (!s) return end();
    at_set(s);
    set_parts(s);
    leave_set(s);
  }
  void list_(expr* l) {
    for (; l; l = l->next) node(l);
    end();
  }
  // The arguments of a counting operator or call: plain expressions, and
  // holders of one argument or of an indexed group (iterated ones with
  // their indexings); with sets, the held plain ones are sets.
  void args_(expr* a, bool sets) {
    for (; a; a = a->next) {
      int op = opcode(a);
      if (op != OPARG && op != OP246) {
        node(a);
      } else if (a->L.ss) {
        set_(a->L.ss);
        if (op == OPARG)
          args_(a->R.e, sets);
        else
          node(a->R.e);
      } else if (sets) {
        set_(a->R.s);
      } else {
        node(a->R.e);
      }
    }
    end();
  }
  void node(expr* e) {
    if (!e) return end();
    at(e);
    operands(e);
    leave(e);
  }

 private:
  void set_parts(set* s) {
    set3p* r = static_cast<set3p*>(s);
    switch (s->sclass) {
      case SC_RANGE:
        for (void* f : {r->f1, r->f2, r->f3}) node(static_cast<expr*>(f));
        break;
      case SC_IF:
        node(static_cast<expr*>(r->f1));
        set_(static_cast<set*>(r->f2));
        set_(static_cast<set*>(r->f3));
        break;
      case SC_LITERAL:
        list_(static_cast<expr*>(r->f1));
        break;
      case SC_UNION:
      case SC_DIFF:
      case SC_SYMDIFF:
      case SC_INTER:
      case SC_ITUNION:
      case SC_ITINTER:
        set_(static_cast<set*>(r->f1));
        set_(static_cast<set*>(r->f2));
        break;
      case SC_SETOF:
        set_(static_cast<set*>(r->f1));
        list_(static_cast<expr*>(r->f2));
        break;
      case SC_ORDERED:
        set_(static_cast<set*>(r->f1));
        if (list* cell = static_cast<list*>(r->f2)) set_(cell->item.s);
        break;
      case SC_CROSS:
        for (int k = 0; k < s->cword; ++k) set_(static_cast<set**>(r->f1)[k]);
        break;
      case SC_SUBSCR:  // the subscripts under the look-up node, if any
        node(r->f2 ? static_cast<expr*>(r->f2)->R.e : nullptr);
        break;
      case SC_SLICE:
        list_(static_cast<expr*>(r->f1));
        set_(static_cast<set*>(r->f3));
        break;
      case SC_INTERVAL: {
        auto* iv = static_cast<struct set_interval*>(s);
        if (!(iv->type & 8)) {
          node(iv->lower);
          node(iv->upper);
        }
        break;
      }
      case SC_SPEC:
      case SC_SPECSET: {
        set_spec* ss = static_cast<set_spec*>(s);
        for (Index* ix = ss->first; ix; ix = ix->next) {
          set_(ix->s);
          list_(ix->dummies);
          node(ix->cond);
        }
        node(ss->precond);
        node(ss->cond);
        break;
      }
    }
  }
  // The set held by the holder node h (an ord's or next's set argument).
  static set* held_set(expr* h) { return h ? h->R.s : nullptr; }
  void operands(expr* e) {
    int op = opcode(e);
    if (!parsed && op >= OP_VALUE0 && op < OP_REWRITE0) return node(e->L.e);
    if (!parsed && op >= OP_REWRITE0 && op < OP_CLEARSET)
      return node(e->L.e->R.e);
    switch (shape(e)) {
      case SH_LITERAL:
      case SH_NUMBER:
      case SH_ENTITY:
      case SH_LOGLIT:
        leaf(e->L.u);
        break;
      case SH_DUMMY:
        leaf(static_cast<uint64_t>(e->L.i) << 32 | uint32_t(e->R.i));
        break;
      case SH_UNARY:
      case SH_FUNC1:
      case SH_FROM_NUMBER:
      case SH_TO_NUMBER:
      case SH_EVAL:
      case SH_SAMPLE:
      case SH_RECPAR:
        node(e->L.e);
        break;
      case SH_BINARY:
      case SH_FUNC2:
      case SH_VARAC:
      case SH_COUNTREL:
        node(e->L.e);
        node(e->R.e);
        break;
      case SH_ITERATED:
      case SH_PLENTRY:
        set_(e->L.s);
        node(e->R.e);
        break;
      case SH_SUBSCRIPTED:
      case SH_LOOKUP:
        leaf(e->L.u);
        if (op == OPENVSUB)
          list_(e->R.e);
        else
          node(e->R.e);
        break;
      case SH_LIST:
      case SH_SYMLIST:
      case SH_SUMLIST:
        list_(e->L.e);
        break;
      case SH_STRING:
        list_(e->R.e);
        break;
      case SH_PL:  // two lists under L, two operands under R
        list_(e->L.e ? e->L.e->L.e : nullptr);
        list_(e->L.e ? e->L.e->R.e : nullptr);
        node(e->R.e ? e->R.e->L.e : nullptr);
        node(e->R.e ? e->R.e->R.e : nullptr);
        break;
      case SH_IF:
      case SH_IMPELSE:
        node(e->L.e);
        if (expr* alt = e->R.e) {
          node(alt->L.e);
          node(alt->R.e);
        }
        break;
      case SH_MEMBERSHIP:
        node(e->L.e);
        set_(e->R.s);
        break;
      case SH_SETREL:
        set_(e->L.s);
        set_(e->R.s);
        break;
      case SH_CALL:
        args_(e->R.e, false);
        break;
      case SH_SETFUNC:
        set_(e->L.s);
        break;
      case SH_ORD:
        node(e->L.e);
        set_(held_set(e->R.e));
        break;
      case SH_NEXT:
        node(e->L.e ? e->L.e->L.e : nullptr);
        node(e->L.e ? e->L.e->R.e : nullptr);
        set_(held_set(e->R.e));
        break;
      case SH_DOTSUB:
        node(e->R.e);
        break;
      case SH_ARGLIST:
      case SH_SETARGS:
        node(e->L.e);
        args_(e->R.e, shape(e) == SH_SETARGS);
        break;
    }
  }
};

// Stand-ins for the conversions between numbers and members, whose
// routines come with the symbol evaluators; the one for op, or null.
inline eval_result sym2num(expr* e, TVA* t) {
  return {.d = eval_sym(e->L.e, t)->value};
}
inline eval_result num2sym(expr* e, TVA* t) {
  return {.sp = pNumber(eval_num(e->L.e, t))};
}
inline efunc conversion_stand_in(int op) {
  return op == OPSYM2NUM ? sym2num : op == OPNUM2SYM ? num2sym : nullptr;
}

// Gives every node of a compiled tree whose opcode's routine is not built
// the routine pick names for the opcode (none when pick gives null).
// Before the tree's first evaluation only.
struct stand_in_binder : tree_walk {
  explicit stand_in_binder(std::function<efunc(int op)> p)
      : pick(std::move(p)) {}
  void at(expr* e) override {
    if (e->op != f_unbuilt) return;
    if (efunc f = pick(opcode(e))) e->op = f;
  }
  std::function<efunc(int op)> pick;
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_COMPILER_TREE_WALK_H
