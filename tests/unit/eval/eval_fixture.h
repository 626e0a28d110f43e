// Set-up of the evaluator tests: the support layers, the node pool, a
// fresh evaluation context over a clean accumulator, and builders of small
// expression trees whose nodes are bound to their functab routines.
#ifndef VEXO_UNIT_EVAL_EVAL_FIXTURE_H
#define VEXO_UNIT_EVAL_EVAL_FIXTURE_H

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "compiler/context.h"
#include "compiler/tva.h"
#include "eval/builtin.h"
#include "eval/dispatch.h"
#include "eval/elemfunc.h"
#include "eval/evalerr.h"
#include "eval/funclib.h"
#include "frontend/expr.h"
#include "frontend/frontend_fixture.h"
#include "instance/ac.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo::test {

// Builders; every node is bound to its functab routine.
inline expr* bind(expr* e) {
  e->op = functab[opcode(e)];
  return e;
}
inline expr* node(int op, operand l = nullptr, operand r = nullptr,
                  uint32_t flags = 0) {
  return bind(new_expr(opword(op, flags), l, r));
}
inline expr* num(double x) { return bind(new_num(x)); }
inline expr* lit(const char* s) { return bind(new_lit(Symbol(s, 1))); }
inline expr* numlit(double x) { return bind(new_lit(Number(x))); }
inline expr* str(const char* s) { return bind(new_str(new_cstring(s))); }
inline expr* loglit(int32_t v) { return node(OPLOGLIT, v); }
// Members chained through next, in the order given.
inline expr* chain(std::initializer_list<expr*> members) {
  expr* first = nullptr;
  expr** link = &first;
  for (expr* m : members) {
    *link = m;
    link = &m->next;
  }
  return first;
}
// A conditional form: condition c, then-part t, else-part f.
inline expr* cond(int op, expr* c, expr* t, expr* f) {
  return node(op, c, new_expr(opword(OP261), t, f));
}
// A node whose evaluation fails the test: for operands that must not be
// evaluated.
inline expr* bomb() {
  expr* e = new_expr(opword(OPNUM));
  e->op = [](expr*, TVA*) -> eval_result {
    ADD_FAILURE() << "operand evaluated";
    return {.i = 0};
  };
  return e;
}

// A call of the built-in row name (its OPFUNCcs, OPFUNC or OPFUNC0 node)
// with the arguments, each a bound node.
inline expr* builtin_call(const char* name, std::initializer_list<expr*> args) {
  expr* list = nullptr;
  expr** link = &list;
  for (expr* a : args) {
    *link = new_expr(opword(OPARG), nullptr, a);
    link = &(*link)->next;
  }
  pinit_row* row = static_cast<pinit_row*>(Symbol(name, 0)->binding);
  uint32_t op = row->type == 12   ? opword(OPFUNC0, EF_NUMERIC)
                : row->type == 20 ? opword(OPFUNC, EF_NUMERIC)
                                  : opword(OPFUNCcs, EF_STRING);
  return bind(new_expr(op, static_cast<xnode*>(row->f), list));
}
// The text of a string-valued node, its reference released.
inline std::string string_value(expr* e, TVA* tva) {
  cstr* s = eval_str(e, tva);
  std::string r = s->text();
  zap_cstr(&s);
  return r;
}

class EvalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A session typed at a terminal: an evaluation error abandons the
    // command and the session goes on.
    start_session();
    interactive = 1;
    infile = 0;
    allow_NaN = 0;
    bad_subscripts = 3;
    tva = new_tva();
    std::memset(tva->ac, 0, sizeof(AC));
    tva->ac->tva = tva;
  }
  void TearDown() override {
    del_tva(tva);
    interactive = 0;
    infile = -1;
  }

  double number(expr* e) { return eval_num(e, tva); }
  int64_t logical(expr* e) { return eval(e, tva).i; }

  TVA* tva = nullptr;
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_EVAL_EVAL_FIXTURE_H
