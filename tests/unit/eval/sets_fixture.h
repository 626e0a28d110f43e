// Set-up of the set and iteration tests: model text parsed through the real
// lexer and grammar and compiled by the compiler's massage, then every node
// bound to its functab routine (the plain binding that opcode generation
// will do, without its store and rewrite nodes), and evaluated in a fresh
// context.  Also the texts of a set's members.
#ifndef VEXO_UNIT_EVAL_SETS_FIXTURE_H
#define VEXO_UNIT_EVAL_SETS_FIXTURE_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compiler/opgen.h"
#include "compiler/setmassage.h"
#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/slice.h"
#include "frontend/model_fixture.h"
#include "instance/ac.h"
#include "support/list.h"
#include "support/symbol.h"

namespace vexo::test {

void bind_set(set* s);

// Stand-ins for the conversions between numbers and members, whose
// routines come with the symbol evaluators.
inline evalue sym2num(expr* e, TVA* t) {
  return {.d = eval_sym(e->L.e, t)->value};
}
inline evalue num2sym(expr* e, TVA* t) {
  return {.sp = pNumber(eval_num(e->L.e, t))};
}

// Binds e and every node under it (the shapes that set and iteration tests
// use; any other is a failure of the test).
inline void bind_expr(expr* e) {
  if (!e) return;
  e->op = opcode(e) == OPSYM2NUM   ? sym2num
          : opcode(e) == OPNUM2SYM ? num2sym
                                   : functab[opcode(e)];
  switch (shape(e)) {
    case 0:
    case 8:
    case 13:
    case 57:
      break;
    case 1:
    case 5:
    case 11:
    case 14:
    case 19:
      bind_expr(e->L.e);
      break;
    case 2:
    case 15:
    case 54:
      bind_expr(e->L.e);
      bind_expr(e->R.e);
      break;
    case 3:
    case 17:
      bind_set(e->L.s);
      bind_expr(e->R.e);
      break;
    case 6:
    case 18:
      for (expr* c = e->L.e; c; c = c->next) bind_expr(c);
      break;
    case 39:
      for (expr* c = e->R.e; c; c = c->next) bind_expr(c);
      break;
    case 9:
      bind_expr(e->L.e);
      bind_expr(e->R.e->L.e);
      bind_expr(e->R.e->R.e);
      break;
    case 10:
      bind_expr(e->L.e);
      bind_set(e->R.s);
      break;
    case 55:
    case 56: {
      bind_expr(e->L.e);
      bool sets = shape(e) == 56;
      auto args = [&](auto& self, expr* a) -> void {
        for (; a; a = a->next) {
          if (a->L.ss) {
            bind_set(a->L.ss);
            self(self, a->R.e);
          } else if (sets) {
            bind_set(a->R.s);
          } else {
            bind_expr(a->R.e);
          }
        }
      };
      args(args, e->R.e);
      break;
    }
    default:
      ADD_FAILURE() << "bind_expr: shape " << shape(e) << " of opcode "
                    << opcode(e);
  }
}

inline void bind_chain(void* c) {
  for (expr* e = static_cast<expr*>(c); e; e = e->next) bind_expr(e);
}

inline void bind_set(set* s) {
  if (!s) return;
  set3p* r = static_cast<set3p*>(s);
  switch (s->sclass) {
    case SC_SPEC:
    case SC_SPECSET: {
      set_spec* ss = static_cast<set_spec*>(s);
      for (Index* ix = ss->first; ix; ix = ix->next) bind_set(ix->s);
      bind_expr(ss->cond);
      break;
    }
    case SC_RANGE:
      bind_expr(static_cast<expr*>(r->f1));
      bind_expr(static_cast<expr*>(r->f2));
      bind_expr(static_cast<expr*>(r->f3));
      break;
    case SC_UNION:
    case SC_DIFF:
    case SC_SYMDIFF:
    case SC_INTER:
      bind_set(static_cast<set*>(r->f1));
      bind_set(static_cast<set*>(r->f2));
      break;
    case SC_SETOF:
      bind_set(static_cast<set*>(r->f1));
      bind_chain(r->f2);
      break;
    case SC_ITUNION:
    case SC_ITINTER:
      bind_set(static_cast<set*>(r->f1));
      bind_set(static_cast<set*>(r->f2));
      break;
    case SC_IF:
      bind_expr(static_cast<expr*>(r->f1));
      bind_set(static_cast<set*>(r->f2));
      bind_set(static_cast<set*>(r->f3));
      break;
    case SC_ORDERED:
      bind_set(static_cast<set*>(r->f1));
      if (list* cell = static_cast<list*>(r->f2)) bind_set(cell->item.s);
      break;
    case SC_LITERAL:
      bind_chain(r->f1);
      break;
    case SC_CROSS:
      for (int k = 0; k < s->cword; ++k) bind_set(static_cast<set**>(r->f1)[k]);
      break;
    case SC_SUBSCR:
      bind_expr(static_cast<expr*>(r->f2)->R.e);
      break;
    case SC_SLICE:
      bind_chain(r->f1);
      bind_set(static_cast<set*>(r->f3));
      break;
    case SC_INTERVAL: {
      auto* iv = static_cast<struct set_interval*>(s);
      if (!(iv->type & 8)) {
        bind_expr(iv->lower);
        bind_expr(iv->upper);
      }
      break;
    }
    default:
      break;
  }
}

// What opcode generation does for a set that depends on the dummies of
// ix's level: the set is forgotten each time that level moves on (its
// private node joins ix's clean-up hooks whenever it is generated).
inline void forget_with(set* s, Index* ix) {
  expr* node = new_expr(opword(OPNUM));
  node->L.s = s;
  node->op = reinterpret_cast<efunc>(
      reinterpret_cast<void (*)()>(+[](expr* h, Index*) { Clearset(h->L.s); }));
  s->errctx = ix;
  s->privnode = node;
}

// The members of s, generated first when needed: each tuple's components
// joined by ",", tuples by " ".
inline std::string members_of(set* s, TVA* tva) {
  if (s->nmem < 0) set_genall(s, tva);
  std::string t;
  for (setmem* m = s->first; m; m = m->next) {
    if (!t.empty()) t += " ";
    for (int i = 0; i < s->arity; ++i) {
      if (i) t += ",";
      t += m->tup()[i]->name;
    }
  }
  return t;
}

class SetsTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    in_cmds = 2;  // evaluation errors abandon the command
  }
  void TearDown() override {
    drop_context();
    in_cmds = 1;
    ModelTest::TearDown();
  }
  void drop_context() {
    if (tva_) del_tva(tva_);
    tva_ = nullptr;
    cur_tva = nullptr;
  }
  // A fresh session's front end and compiler, with no context yet.
  void fresh() {
    drop_context();
    fresh_parser();
    eehashtab_init();
    context_init();
    compile_init();
    indextab_init();
    compile_start();
    in_cmds = 2;
  }

  // The context of the evaluations, sized after what was compiled.
  TVA* context() {
    if (!tva_) {
      tva_reset();
      tva_ = new_tva();
      std::memset(tva_->ac, 0, sizeof(AC));
      tva_->ac->tva = tva_;
    }
    return tva_;
  }
  // A param's definition, compiled and bound.
  expr* compiled(const char* name) {
    massage(&def(name));
    bind_expr(def(name));
    return def(name);
  }
  double value(const char* name) {
    expr* e = compiled(name);  // before the context is sized
    return eval_num(e, context());
  }
  // A set declaration's value set, compiled and bound.
  set* compiled_set(const char* name) {
    set*& s = decl<setdcl>(name)->value;
    set_massage(&s);
    bind_set(s);
    return s;
  }
  std::string members(const char* name) {
    set* s = compiled_set(name);  // before the context is sized
    return members_of(s, context());
  }
  // In a fresh session, the members of the set S := sexpr, or the message
  // that ended its generation.
  std::string set_of(const std::string& sexpr) {
    fresh();
    model("set S := " + sexpr + ";\n");
    set* s = compiled_set("S");
    std::string t;
    auto r = run_captured([&] { t = members_of(s, context()); });
    return r.aborted ? r.err : t;
  }

  TVA* tva_ = nullptr;
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_EVAL_SETS_FIXTURE_H
