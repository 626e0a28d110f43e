// Set-up of the compiler tests that compile parsed declarations to the end
// and evaluate them (iterated operators through the evaluator's own
// iteration): the compiler's start-up, and test-only evaluation routines
// for the opcodes whose routines live elsewhere (parameter references,
// member-to-number conversion).  Parameter references count their
// evaluations per declaration and yield their subscript's value times the
// parameter's weight.
#ifndef VEXO_UNIT_COMPILER_COMPILE_FIXTURE_H
#define VEXO_UNIT_COMPILER_COMPILE_FIXTURE_H

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "compiler/compdecl.h"
#include "compiler/compile.h"
#include "compiler/opgen.h"
#include "compiler/recomp.h"
#include "compiler/tree_walk.h"
#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/model_fixture.h"
#include "session/opttable.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo::test {

// Evaluations of each parameter's references, and the weight its value
// carries (1 unless set).
inline std::map<const xnode*, long>& ref_counts() {
  static std::map<const xnode*, long> m;
  return m;
}
inline std::map<const xnode*, double>& weights() {
  static std::map<const xnode*, double> m;
  return m;
}

inline symbol* t_sym(expr* e, TVA* t) { return *eval(e, t).sp; }

// A parameter reference: its subscripts' numeric values multiplied, times
// its weight (a scalar parameter: its weight).
inline eval_result t_PAR(expr* e, TVA* t) {
  const xnode* d = e->L.x;
  ++ref_counts()[d];
  auto w = weights().find(d);
  double v = w == weights().end() ? 1 : w->second;
  if (expr* sub = e->R.e) {
    // The subscript's look-up node (not evaluated) holds the key.
    if (opcode(sub) >= OP_VALUE0 && opcode(sub) < OP_REWRITE0) sub = sub->L.e;
    if (opcode(sub) == OPLOOKUP) sub = sub->R.e;
    if (opcode(sub) == OPSYMLIST) {
      for (expr* s = sub->L.e; s; s = s->next) v *= t_sym(s, t)->value;
    } else {
      v *= t_sym(sub, t)->value;
    }
  }
  return {.d = v};
}

// Gives the parameter references of a compiled tree the test routine
// above, and its nodes whose opcode's routine is not built their
// stand-ins.  Before the tree's first evaluation only.
inline void rebind(expr* root) {
  struct binder : tree_walk {
    void at(expr* e) override {
      int op = opcode(e);
      if (op == OPPAR || op == OPPARSUB)
        e->op = t_PAR;
      else if (e->op == f_unbuilt)
        if (efunc f = conversion_stand_in(op)) e->op = f;
    }
  } b;
  b.node(root);
}

// A description of a tree as a list of words: op words, leaf values, set
// classes; with addrs the node and set addresses too, with ops the bound
// routines.
inline std::vector<uint64_t> described(expr* root, bool addrs, bool ops) {
  struct describer : tree_walk {
    bool addrs = false, ops = false;
    std::vector<uint64_t> w;
    void word(uint64_t v) { w.push_back(v); }
    void ptr(const void* p) { word(reinterpret_cast<uintptr_t>(p)); }
    void at(expr* e) override {
      if (addrs) ptr(e);
      word(e->opword);
      if (ops && e->op && !in_mem_arena(reinterpret_cast<void*>(e->op)))
        ptr(reinterpret_cast<void*>(e->op));
    }
    void at_set(set* s) override {
      if (addrs) ptr(s);
      word(s->sclass);
    }
    void leaf(uint64_t v) override { word(v); }
    void end() override { word(0); }
  } d;
  d.addrs = addrs;
  d.ops = ops;
  d.node(root);
  return d.w;
}

class CompileTest : public ModelTest {
 protected:
  // Parses the model; the session goes on reading (commands follow), so
  // the end of this input is not the end of all input.
  void model(const std::string& text) {
    ModelTest::model(text);
    at_eof = 0;
  }

  void SetUp() override {
    ModelTest::SetUp();
    show_stats = 0;
    ref_counts().clear();
    weights().clear();
  }
  void TearDown() override {
    while (cur_tva) del_tva(cur_tva);
    show_stats = 0;
    ModelTest::TearDown();
  }

  // Compiles the definition of param name as a command would (mand 1) and
  // returns the value it evaluates to; x keeps the compilation.
  double eval_def(const char* name, xrecomp* x) {
    compile_start();
    mri(&def(name), 1);
    TVA* t = compile_end(x);
    rebind(def(name));
    double v = eval_num(def(name), t);
    del_tva(t);
    return v;
  }

  // What a command's clean-up does with its compilation: the context
  // goes, the level-0 literals are restored, the level-0 rewrites dropped
  // and the compilation undone.
  static void undo(xrecomp* x, TVA* t) {
    if (t) del_tva(t);
    run_cleanup(lev0);
    rew_reset(x->nlev0rew, x->lev0rew, &x->lev0rew);
    x->nlev0rew = 0;
    es_reset(x);
  }

  static long count(const char* name) { return ref_counts()[decl(name)]; }
  static void weigh(const char* name, double w) { weights()[decl(name)] = w; }
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_COMPILER_COMPILE_FIXTURE_H
