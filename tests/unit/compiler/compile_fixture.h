// Set-up of the compiler tests that compile parsed declarations to the end
// and evaluate them: the compiler's start-up, and test-only evaluation
// routines for the opcodes whose routines live elsewhere (iterated sums,
// parameter references, member-to-number conversion).  The sum walks its
// indexing the way iteration does: frame cells bound level by level, the
// precondition tested once, each entry's on-bind hooks before its
// condition, completion hooks for an accepted tuple of a conditional
// indexing, an entry's clean-up hooks whenever it leaves a member.  Its
// members come from ranges and enumerated sets only.  Parameter references
// count their evaluations per declaration and yield their subscript's
// value times the parameter's weight.
#ifndef VEXO_UNIT_COMPILER_COMPILE_FIXTURE_H
#define VEXO_UNIT_COMPILER_COMPILE_FIXTURE_H

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "compiler/compdecl.h"
#include "compiler/compile.h"
#include "compiler/opgen.h"
#include "compiler/recomp.h"
#include "compiler/tva.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/model_fixture.h"
#include "session/options.h"
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

// The members of a set as tuples: a range by its bounds, an enumerated set
// by its member list.
inline std::vector<std::vector<symbol*>> members_of(set* s, TVA* t) {
  std::vector<std::vector<symbol*>> out;
  if (s->sclass == SC_RANGE) {
    set3p* r = static_cast<set3p*>(s);
    double lo = eval_num(static_cast<expr*>(r->f1), t);
    double hi = eval_num(static_cast<expr*>(r->f2), t);
    double by = r->f3 ? eval_num(static_cast<expr*>(r->f3), t) : 1;
    for (double v = lo; v <= hi; v += by) out.push_back({Number(v)});
  } else if (s->sclass == SC_ENUM) {
    for (setmem* m = s->first; m; m = m->next)
      out.emplace_back(m->tup(), m->tup() + s->arity);
  } else {
    ADD_FAILURE() << "test iteration over set class " << s->sclass;
  }
  return out;
}

// Walks ss in t, calling body for every accepted tuple.
inline void walk(set_spec* ss, TVA* t, const std::function<void()>& body) {
  void** cells = tva_push(t, ss, ss->arity);
  std::vector<symbol**> saved;
  int off = 0;
  for (Index* ix = ss->first; ix; ix = ix->next) {
    saved.push_back(t->lev[ix->level]);
    t->lev[ix->level] = reinterpret_cast<symbol**>(cells + off);
    off += ix->cells;
  }
  std::function<void(Index*)> level = [&](Index* ix) {
    for (auto& tuple : members_of(ix->s, t)) {
      for (size_t k = 0; k < tuple.size(); ++k) t->lev[ix->level][k] = tuple[k];
      run_hooks(ix->onbind, t);
      if (!ix->cond || eval_true(ix->cond, t)) {
        if (ix->next) {
          level(ix->next);
        } else {
          if (ss->cond)
            for (Index* c = ss->first; c; c = c->next)
              run_hooks(c->complete, t);
          body();
        }
      }
      run_cleanup(ix);
    }
  };
  if (!ss->precond || eval_true(ss->precond, t)) level(ss->first);
  int k = 0;
  for (Index* ix = ss->first; ix; ix = ix->next) t->lev[ix->level] = saved[k++];
  tva_pop(t);
}

inline union evalue t_SUM(expr* e, TVA* t) {
  double total = 0;
  walk(e->L.ss, t, [&] { total += eval_num(e->R.e, t); });
  return {.d = total};
}

inline symbol* t_sym(expr* e, TVA* t) { return *eval(e, t).sp; }

// A parameter reference: its subscripts' numeric values multiplied, times
// its weight (a scalar parameter: its weight).
inline union evalue t_PAR(expr* e, TVA* t) {
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

inline union evalue t_SYM2NUM(expr* e, TVA* t) {
  return {.d = t_sym(e->L.e, t)->value};
}

// A walk over a tree, parsed or compiled, in a fixed order: each node (at)
// before its operands, leaf values (leaf), the sets and indexings it holds
// with their entries' conditions; a missing node or the end of a list is
// end.  A compiled tree is walked through the computations its value and
// REWRITE nodes keep (before its first evaluation).
struct tree_walk {
  virtual ~tree_walk() = default;
  virtual void at(expr* e) = 0;
  virtual void at_set(set*) {}
  virtual void leaf(uint64_t) {}
  virtual void end() {}

  void set_(set* s) {
    if (!s) return end();
    at_set(s);
    switch (s->sclass) {
      case SC_RANGE:
      case SC_IF: {
        set3p* r = static_cast<set3p*>(s);
        for (void* f : {r->f1, r->f2, r->f3}) node(static_cast<expr*>(f));
        break;
      }
      case SC_LITERAL:
        list_(static_cast<expr*>(static_cast<set3p*>(s)->f1));
        break;
      case SC_UNION:
      case SC_DIFF:
      case SC_SYMDIFF:
      case SC_INTER: {
        set2p* b = static_cast<set2p*>(s);
        set_(static_cast<set*>(b->f1));
        set_(static_cast<set*>(b->f2));
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
  void list_(expr* l) {
    for (; l; l = l->next) node(l);
    end();
  }
  void node(expr* e) {
    if (!e) return end();
    at(e);
    int op = opcode(e);
    if (op >= OP_VALUE0 && op < OP_REWRITE0) return node(e->L.e);
    if (op >= OP_REWRITE0 && op <= OP_REWRITE0 + 6) return node(e->L.e->R.e);
    switch (shape(e)) {
      case 0:
      case 8:
      case 12:
      case 57:
        leaf(e->L.u);
        break;
      case 13:
        leaf(static_cast<uint64_t>(e->L.i) << 32 | uint32_t(e->R.i));
        break;
      case 1:
      case 5:
      case 11:
      case 14:
      case 19:
      case 64:
        node(e->L.e);
        break;
      case 2:
      case 15:
      case 37:
      case 54:
        node(e->L.e);
        node(e->R.e);
        break;
      case 3:
        set_(e->L.s);
        node(e->R.e);
        break;
      case 4:
      case 16:
        leaf(e->L.u);
        node(e->R.e);
        break;
      case 6:
      case 18:
        list_(e->L.e);
        break;
      case 9:
        node(e->L.e);
        node(e->R.e->L.e);
        node(e->R.e->R.e);
        break;
      case 10:
        node(e->L.e);
        set_(e->R.s);
        break;
      case 25:
        set_(e->L.s);
        set_(e->R.s);
        break;
      case 27:
        set_(e->L.s);
        break;
    }
  }
};

// Gives the nodes of a compiled tree whose opcode's routine is not built
// the test routines above.  Before the tree's first evaluation only.
inline void rebind(expr* root) {
  struct binder : tree_walk {
    void at(expr* e) override {
      if (e->op != f_unbuilt) return;
      switch (opcode(e)) {
        case SUM:
          e->op = t_SUM;
          break;
        case OPPAR:
        case OPPARSUB:
          e->op = t_PAR;
          break;
        case OPSYM2NUM:
          e->op = t_SYM2NUM;
          break;
      }
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
