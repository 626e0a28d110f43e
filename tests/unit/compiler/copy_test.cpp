// Private copies of compiled definitions: what a copy shares with its
// source and what it owns, evaluated side by side with the source.
#include "compiler/copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "compiler/compdecl.h"
#include "compiler/compile_fixture.h"
#include "eval/iterate.h"
#include "frontend/dummy.h"

namespace vexo {
namespace {

class Copy : public test::CompileTest {
 protected:
  // Compiles the model's declarations; a context to evaluate them in.
  TVA* compiled() {
    compile();
    return new_tva();
  }
  // Copies of q's definition, the test's evaluation routines given to
  // them and to the source before any of them is evaluated.
  static std::vector<e_copy*> copies(param* q, TVA* t, int n) {
    std::vector<e_copy*> c;
    for (int i = 0; i < n; ++i) c.push_back(copy_e(q->asgn, q, t));
    test::rebind(q->asgn);
    for (e_copy* x : c) test::rebind(x->e);
    return c;
  }
  // The value of definition e for each member of indexing ss, in order.
  static std::vector<double> values(set_spec* ss, expr* e, TVA* t) {
    std::vector<double> v;
    if (TVA* c = ss_begin(ss, t)) do {
        v.push_back(eval_num(e, c));
      } while (ss_continue(ss, c));
    return v;
  }
  // What a value or REWRITE node computes.
  static expr* computation(expr* e) {
    for (;;) {
      int op = opcode(e);
      if (op >= OP_VALUE0 && op < OP_REWRITE0)
        e = e->L.e;
      else if (op >= OP_REWRITE0 && op <= OP_REWRITE0 + 6)
        e = e->L.e->R.e;
      else
        return e;
    }
  }
  // The conjuncts of a condition, left to right.
  static void conjuncts(expr* c, std::vector<expr*>* out) {
    if (!c) return;
    if (opcode(c) == OPAND) {
      conjuncts(c->L.e, out);
      conjuncts(c->R.e, out);
    } else {
      out->push_back(c);
    }
  }
  // Every node of a tree, through value and REWRITE nodes, indexings and
  // the computations their hooks hold; not the dummy chains of the
  // indexings' entries, which copies share (iteration never reads them).
  static std::set<const expr*> nodes(expr* root) {
    struct collect : test::tree_walk {
      std::set<const expr*> seen, chains;
      void at(expr* e) override { seen.insert(e); }
      void at_set(set* s) override {
        if (s->sclass != SC_SPEC && s->sclass != SC_SPECSET) return;
        for (Index* ix = static_cast<set_spec*>(s)->first; ix; ix = ix->next)
          for (expr* d = ix->dummies; d; d = d->next) chains.insert(d);
      }
    } w;
    w.node(root);
    for (const expr* d : w.chains) w.seen.erase(d);
    return w.seen;
  }
};

TEST_F(Copy, DefinitionWithoutDummiesIsShared) {
  model("param a; param q := (a + 1) * 2;\n");
  TVA* t = compiled();
  param* q = decl<param>("q");
  e_copy* c = copy_e(q->asgn, q, t);
  EXPECT_EQ(c->e, q->asgn);
  EXPECT_EQ(c->ss, nullptr);
  EXPECT_EQ(c->items, nullptr);
  del_ecopy(c);
  del_tva(t);
}

TEST_F(Copy, CopyEvaluatesLikeItsSourceWithStateOfItsOwn) {
  model(
      "param a; param b {1..4};\n"
      "param q {i in 1..3} := (a + 1) * i + sum {j in 1..4: j > i} b[j] * "
      "i;\n");
  weigh("a", 2);
  TVA* t = compiled();
  param* q = decl<param>("q");
  e_copy* c = copies(q, t, 1)[0];
  ASSERT_NE(c->ss, nullptr);
  EXPECT_NE(c->ss, q->indexing);
  EXPECT_NE(c->e, q->asgn);
  // The copy's indexing has its own entries over the same (shared) set.
  ASSERT_NE(c->ss->first, nullptr);
  EXPECT_NE(c->ss->first, q->indexing->first);
  EXPECT_EQ(c->ss->first->s, q->indexing->first->s);
  // Dummy references are new; the scalar reference is shared.
  std::set<const expr*> src = nodes(q->asgn), cp = nodes(c->e);
  for (const expr* n : cp) {
    if (opcode(n) == OPDUMMY) {
      EXPECT_EQ(src.count(n), 0u);
    }
    if (opcode(n) == OPPAR) {
      EXPECT_EQ(src.count(n), 1u);
    }
  }
  std::vector<double> want = {3 * 1 + 9, 3 * 2 + 14, 3 * 3 + 12};
  // The copy first, the source after it, then the copy again: neither
  // disturbs the other.
  EXPECT_EQ(values(c->ss, c->e, t), want);
  EXPECT_EQ(values(q->indexing, q->asgn, t), want);
  EXPECT_EQ(values(c->ss, c->e, t), want);
  // a + 1 is computed at level 0 once, and both read it; b[j] at its own
  // level, in each evaluation.
  EXPECT_EQ(count("a"), 1);
  EXPECT_EQ(count("b"), 18);
  del_ecopy(c);
  del_tva(t);
}

TEST_F(Copy, SecondCopyIsIndependentOfTheFirst) {
  model("param q {i in 1..3} := sum {j in 1..i} (i * j + i * j);\n");
  TVA* t = compiled();
  param* q = decl<param>("q");
  std::vector<e_copy*> c = copies(q, t, 2);
  e_copy* c1 = c[0];
  e_copy* c2 = c[1];
  EXPECT_NE(c1->e, c2->e);
  EXPECT_NE(c1->ss->first, c2->ss->first);
  std::vector<double> want = {2, 12, 36};
  EXPECT_EQ(values(c1->ss, c1->e, t), want);
  EXPECT_EQ(values(c2->ss, c2->e, t), want);
  del_ecopy(c1);
  del_ecopy(c2);
  del_tva(t);
}

// A copy made in the middle of an evaluation of its source (as a member
// defined through another member is): the source's REWRITE nodes of the
// current member are literals then, and the copy's are not.
struct midway {
  static inline param* src;
  static inline TVA* ctx;
  static inline e_copy* made;
  static inline int literals;  // REWRITE nodes of q's level then literal
  static union eval_result snap(expr* e, TVA* t) {
    if (!made) {
      Index* ix = src->indexing->first;
      for (int k = 0; k < ix->nrew; ++k)
        if (ix->rew[k]->op == f_OPNUM) ++literals;
      made = copy_e(src->asgn, src, ctx);
    }
    return test::t_PAR(e, t);
  }
};

TEST_F(Copy, CopyMadeWhileItsSourceIsEvaluated) {
  model(
      "param b {1..3};\n"
      "param q {i in 1..3} := if i > 1 then (i * i + 1) * (i * i + 1) + "
      "b[i];\n");
  TVA* t = compiled();
  param* q = decl<param>("q");
  test::rebind(q->asgn);
  struct hook : test::tree_walk {
    void at(expr* e) override {
      if (opcode(e) == OPPARSUB) e->op = midway::snap;
    }
  } h;
  h.node(q->asgn);
  midway::src = q;
  midway::ctx = t;
  midway::made = nullptr;
  midway::literals = 0;
  std::vector<double> want = {0, 25 + 2, 100 + 3};
  EXPECT_EQ(values(q->indexing, q->asgn, t), want);
  e_copy* c = midway::made;
  ASSERT_NE(c, nullptr);
  EXPECT_GT(midway::literals, 0);
  test::rebind(c->e);
  EXPECT_EQ(values(c->ss, c->e, t), want);
  EXPECT_EQ(values(q->indexing, q->asgn, t), want);
  del_ecopy(c);
  del_tva(t);
}

TEST_F(Copy, ConjunctOfTwoPlacesIsCopiedOnce) {
  model(
      "param q {i in 1..3} :=\n"
      "  sum {j in 1..4, k in 1..2: i > 1 and j > k and k < 2} 1;\n");
  TVA* t = compiled();
  param* q = decl<param>("q");
  e_copy* c = copies(q, t, 1)[0];
  expr* sum = computation(c->e);
  ASSERT_EQ(opcode(sum), SUM);
  set_spec* ss = sum->L.ss;
  set_spec* src = computation(q->asgn)->L.ss;
  ASSERT_NE(ss, src);
  std::vector<expr*> whole, parts, orig;
  conjuncts(ss->cond, &whole);
  conjuncts(ss->precond, &parts);
  for (Index* ix = ss->first; ix; ix = ix->next) conjuncts(ix->cond, &parts);
  conjuncts(src->cond, &orig);
  ASSERT_EQ(whole.size(), 3u);
  // The places the conjuncts were given hold the very copies the whole
  // condition holds, and none of the source's.
  EXPECT_EQ(std::set<expr*>(whole.begin(), whole.end()),
            std::set<expr*>(parts.begin(), parts.end()));
  for (expr* w : whole)
    EXPECT_EQ(std::count(orig.begin(), orig.end(), w), 0) << opcode(w);
  EXPECT_EQ(values(c->ss, c->e, t), (std::vector<double>{0, 3, 3}));
  del_ecopy(c);
  del_tva(t);
}

// A slice keyed by the copy's dummy: over a set without dummies both
// slices share the sliced set and its record; a set that depends on the
// dummy is copied and sliced through a record of its own.
TEST_F(Copy, Slices) {
  struct row {
    const char* set;
    bool shared;
    std::vector<double> want;
  };
  const row rows[] = {
      {"{(1, 1), (1, 2), (2, 3), (3, 3), (3, 4), (3, 5)}", true, {3, 3, 12}},
      {"{(i, 1), (i, i + 1), (1, 5)}", false, {8, 4, 5}},
  };
  int k = 0;
  for (const row& r : rows) {
    SCOPED_TRACE(r.set);
    std::string name = "q" + std::to_string(++k);
    model("param " + name + " {i in 1..3} := sum {(i, j) in " + r.set +
          "} j;\n");
    TVA* t = compiled();
    param* q = decl<param>(name.c_str());
    e_copy* c = copies(q, t, 1)[0];
    set* src = computation(q->asgn)->L.ss->first->s;
    set* cp = computation(c->e)->L.ss->first->s;
    ASSERT_EQ(src->sclass, SC_SLICE);
    ASSERT_EQ(cp->sclass, SC_SLICE);
    EXPECT_NE(cp, src);
    set3p* a = static_cast<set3p*>(src);
    set3p* b = static_cast<set3p*>(cp);
    EXPECT_EQ(a->f3 == b->f3, r.shared);
    EXPECT_EQ(a->f2 == b->f2, r.shared);
    EXPECT_EQ(values(c->ss, c->e, t), r.want);
    EXPECT_EQ(values(q->indexing, q->asgn, t), r.want);
    EXPECT_EQ(values(c->ss, c->e, t), r.want);
    del_ecopy(c);
    del_tva(t);
  }
}

TEST_F(Copy, SetThatIsItsDeclarationsValueIsShared) {
  model(
      "set S := setof {k in 1..3} k * 2;\n"
      "param q {i in S} := card({j in 1..i: j > 1});\n");
  TVA* t = compiled();
  param* q = decl<param>("q");
  e_copy* c = copy_e(q->asgn, q, t);
  set* s = q->indexing->first->s;
  EXPECT_EQ(c->ss->first->s, s);
  // The set inside, which depends on i, is the copy's own.
  expr* card = computation(c->e);
  ASSERT_EQ(opcode(card), OPCARD);
  EXPECT_NE(card->L.s, computation(q->asgn)->L.s);
  del_ecopy(c);
  del_tva(t);
}

TEST_F(Copy, ChecksTestASlotOfTheirOwn) {
  model("param q {i in 1..3} >= 0, <= 10 := i;\n");
  TVA* t = compiled();
  param* q = decl<param>("q");
  e_copy* c = copy_e(q->asgn, q, t);
  ASSERT_NE(c->items, nullptr);
  ASSERT_NE(c->items->next, nullptr);
  EXPECT_EQ(c->items->next->next, nullptr);
  expr* slot = q->checks->item.e->L.e;
  expr* own = c->items->item.e->L.e;
  EXPECT_NE(own, slot);
  for (list* k = c->items; k; k = k->next) EXPECT_EQ(k->item.e->L.e, own);
  // The copies are the checks themselves otherwise: the same tests.
  list* s = q->checks;
  for (list* k = c->items; k; k = k->next, s = s->next)
    EXPECT_EQ(k->item.e->opword, s->item.e->opword);
  del_ecopy(c);
  del_tva(t);
}

TEST_F(Copy, SetDefinitionAndWithinSets) {
  model("set T {i in 1..3} within 1..10 := {j in 1..i: j > 1};\n");
  TVA* t = compiled();
  setdcl* d = decl<setdcl>("T");
  e_copy* c = copy_s(d, t);
  ASSERT_NE(c->ss, nullptr);
  EXPECT_NE(c->ss, d->indexing);
  EXPECT_EQ(c->e, nullptr);
  ASSERT_NE(c->s, nullptr);
  EXPECT_NE(c->s, d->asgn);
  EXPECT_EQ(c->s->sclass, d->asgn->sclass);
  EXPECT_EQ(c->s->nmem, -1);
  // The within set has no dummy in it: shared.
  ASSERT_NE(c->items, nullptr);
  EXPECT_EQ(c->items->item.s, d->within->item.s);
  del_ecopy(c);
  del_tva(t);
}

// What a compiled definition cannot hold ends the command instead of
// leaving a hole in the copy.
TEST_F(Copy, UnexpectedFormsEndTheCommand) {
  model("param q {i in 1..2} := i;\n");
  TVA* t = compiled();
  param* q = decl<param>("q");
  // Inside a command of a session that goes on.
  stepping = 1;
  in_cmds = 2;
  // A synonym element (SH_SYNSUB) is not a form the copy knows.
  expr* odd = new_expr(opword(OPSYNNAME, EF_STRING), Symbol("_varname", 0),
                       new_expr(opword(OPDUMMY), int32_t(1), int32_t(0)));
  auto r = test::run_captured([&] { copy_e(odd, q, t); });
  EXPECT_TRUE(r.aborted);
  EXPECT_NE(r.err.find("unexpected type 0x1c610 in cpexpr()"),
            std::string::npos)
      << r.err;
  // A set class no definition holds (table dummies).
  set* db = new_setdb();
  db->sclass = SC_DB;
  db->nmem = -1;
  db->refcnt = 1;
  db->arity = 1;
  expr* card = new_expr(opword(OPCARD, EF_NUMERIC), db);
  r = test::run_captured([&] { copy_e(card, q, t); });
  EXPECT_TRUE(r.aborted);
  EXPECT_NE(r.err.find("unexpected subtype 24 in cpset"), std::string::npos)
      << r.err;
  stepping = 0;
  in_cmds = 1;
  del_tva(t);
}

}  // namespace
}  // namespace vexo
