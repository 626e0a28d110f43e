// Sets built from other sets: the orders of the two-operand operations,
// iterated union and intersection, setof, products, ordered sets and their
// collations, slices and subscripted sets.
#include "eval/setops.h"

#include <gtest/gtest.h>

#include "compiler/compdecl.h"
#include "eval/setclass.h"
#include "eval/slice.h"
#include "session/loop.h"
#include "sets_fixture.h"
#include "support/symbol.h"

namespace vexo {
namespace {

using SetOps = test::SetsTest;

TEST_F(SetOps, OrdersOfTheOperations) {
  struct row {
    const char* in;
    const char* members;
  };
  const row rows[] = {
      // The left operand's order, then the right's new members.
      {"{1, 2, 3} union {3, 4}", "1 2 3 4"},
      {"{3, 4} union {1, 2, 3}", "3 4 1 2"},
      // The smaller operand is walked: its order; the right one when the
      // left's size is not known yet.
      {"{1, 2, 3, 4} inter {4, 2}", "4 2"},
      {"{4, 2} inter {1, 2, 3, 4}", "2 4"},
      {"{1, 2, 3} diff {2}", "1 3"},
      {"{1, 2} symdiff {2, 3}", "1 3"},
      {"{3, 1} symdiff {2, 3, 0}", "1 2 0"},
      {"{1, 2} cross {'a', 'b', 'c'}", "1,a 1,b 1,c 2,a 2,b 2,c"},
      {"{1, 2} cross {} cross {3}", ""},
      // Each pass of an iterated intersection reverses its survivors: an
      // odd number of passes gives the operand's order reversed.
      {"inter {i in 1 .. 3} {1, 2, 3, 4}", "4 3 2 1"},
      {"inter {i in 1 .. 2} {1, 2, 3, 4}", "1 2 3 4"},
      {"inter {i in 1 .. 0} {1}", "empty iterator in iterated intersection\n"},
      {"union {i in 1 .. 0} {1}", ""},
      // setof keeps first occurrences in order.
      {"setof {i in -2 .. 2} abs(i)", "2 1 0"},
      {"setof {i in 1 .. 2, j in {'x'}} (j, i)", "x,1 x,2"},
  };
  for (const row& r : rows) EXPECT_EQ(set_of(r.in), r.members) << r.in;
}

TEST_F(SetOps, ProductMembershipIsTheGenerationOrdinal) {
  model("set P := {1, 2} cross {'a', 'b', 'c'};\n");
  set* p = compiled_set("P");
  symbol* t[2] = {Number(2), Symbol("b", 0)};
  EXPECT_EQ(set_in(p, t, context()), 4);
  t[1] = Symbol("z", 1);
  EXPECT_EQ(set_in(p, t, context()), -1);
  EXPECT_EQ(p->nmem, -1);
}

// An operand that depends on the dummy is generated afresh for each tuple
// (the compiler has it forgotten when its level moves on).
TEST_F(SetOps, IteratedOperandsFollowTheDummy) {
  model(
      "set U := union {i in 1 .. 3} i .. i + 1;\n"
      "set N := inter {i in 1 .. 2} i .. 4;\n");
  for (const char* name : {"U", "N"}) {
    auto* r = static_cast<set3p*>(compiled_set(name));
    EXPECT_EQ(static_cast<set*>(r->f2)->errctx,
              static_cast<set_spec*>(r->f1)->first);
  }
  EXPECT_EQ(members("U"), "1 2 3 4");
  EXPECT_EQ(members("N"), "2 3 4");
  symbol* x = Number(4);
  symbol* y = Number(1);
  EXPECT_EQ(itunion_in(compiled_set("U"), &x, context()), -2);
  EXPECT_EQ(itinter_in(compiled_set("N"), &y, context()), -1);
}

// Sets generated while an interrupt is pending may have stopped short: they
// serve the interrupted command, and its bail-out has them generated again.
TEST_F(SetOps, AnInterruptedGenerationIsRedoneAfterTheBreak) {
  model("set U := {0} union setof {i in 1 .. 5} i;\n");
  set* u = compiled_set("U");
  gotbreak = 1;
  EXPECT_EQ(test::members_of(u, context()), "0");
  gotbreak = 0;
  set_gen_abandon();
  EXPECT_EQ(u->nmem, -1);
  EXPECT_EQ(test::members_of(u, context()), "0 1 2 3 4 5");
}

TEST_F(SetOps, CollationsOfOrderedSets) {
  model(
      "set A ordered by ASCII := {'b', 'B', 'a'};\n"
      "set E ordered by EBCDIC := {'b', 'B', 'a', '1'};\n"
      "set D ordered by Display := {'b', 10, 2, 'B'};\n"
      "set R ordered by reversed Display := {'b', 10, 2, 'B'};\n"
      "set W ordered by Reals := {3, -1, 2.5};\n"
      "set T ordered := {'c', 'a', 'b'};\n"
      "set S ordered by T := {'a', 'c', 'b'};\n"
      "set Z ordered by T := {'a', 'z'};\n");
  EXPECT_EQ(members("A"), "B a b");
  EXPECT_EQ(members("E"), "a b B 1");
  EXPECT_EQ(members("D"), "2 10 B b");
  EXPECT_EQ(members("R"), "b B 10 2");
  EXPECT_EQ(members("W"), "-1 2.5 3");
  EXPECT_EQ(members("S"), "c a b");
  // Ordinals run along the new order.
  symbol* b = Symbol("b", 0);
  EXPECT_EQ(set_lookup(compiled_set("R"), &b), 0);
  set* z = compiled_set("Z");
  auto r = test::run_captured([&] { test::members_of(z, context()); });
  EXPECT_TRUE(r.aborted);
  EXPECT_NE(r.err.find("Z contains z, which is not\n\tordered by T"),
            std::string::npos)
      << r.err;
}

// A dummy of an outer item in a tuple fixes that component: the item runs
// over the slice of the set with the component fixed.  "== outer" in the
// condition selects the same members whole.  Both share one record per set
// and pattern.
TEST_F(SetOps, SlicesAndSelections) {
  model(
      "set E dimen 2 := {(1, 'a'), (2, 'c'), (1, 'b')};\n"
      "set P := setof {i in {1, 2, 3}, (i, j) in E} (j, i);\n"
      "set Q := setof {i in {1, 2, 3}, (a, b) in E: a == i} (b, a);\n"
      "set F := setof {i in {1, 2}, (a, b) in E: b == 'c' && a == i} a;\n");
  EXPECT_EQ(members("P"), "a,1 b,1 c,2");
  EXPECT_EQ(members("Q"), "a,1 b,1 c,2");
  EXPECT_EQ(members("F"), "2");
  auto item = [&](const char* name) {
    set* s = compiled_set(name);
    return static_cast<set_spec*>(static_cast<set2p*>(s)->f1)->first->next;
  };
  Index* p = item("P");
  Index* q = item("Q");
  ASSERT_EQ(p->s->sclass, SC_SLICE);
  ASSERT_EQ(q->s->sclass, SC_SLICE);
  EXPECT_EQ(p->s->arity, 1);  // the free component
  EXPECT_EQ(q->s->arity, 2);  // the whole member
  // Q's condition is gone: the selection stands for it.
  EXPECT_EQ(
      static_cast<set_spec*>(static_cast<set2p*>(compiled_set("Q"))->f1)->cond,
      nullptr);
  // A declared set's slices have records of their own; the slices of a
  // set without a declaration share one record per pattern.
  set* e = compiled_set("E");
  slice_rec* rp = static_cast<slice_rec*>(static_cast<set3p*>(p->s)->f2);
  EXPECT_EQ(rp->sliced, e);
  int32_t first = 0;
  EXPECT_EQ(find_slice(e, 1, &first, 0), nullptr);
  set* u = set_enum(new_enum(), 2);
  for (setmem* m = e->first; m; m = m->next) u->addmem(m->tup());
  auto slice_at = [&](double k) {
    expr* key = new_lit(Number(k));
    key->op = functab[OPLIT];
    ++u->refcnt;
    return set_slice(u, key, &first, 1, 0);
  };
  set* s1 = slice_at(1);
  set* s2 = slice_at(2);
  slice_rec* ru = static_cast<slice_rec*>(static_cast<set3p*>(s1)->f2);
  EXPECT_EQ(static_cast<set3p*>(s2)->f2, ru);
  EXPECT_EQ(find_slice(u, 1, &first, 0), ru);
  EXPECT_EQ(test::members_of(s1, context()), "a b");
  EXPECT_EQ(test::members_of(s2, context()), "c");
  symbol* c = Symbol("c", 0);
  symbol* a = Symbol("a", 0);
  EXPECT_EQ(set_in(s2, &c, context()), 0);
  EXPECT_EQ(set_in(s2, &a, context()), -1);
  // The set generated again: the record is rebuilt on its next use.
  symbol* t[2] = {Number(2), Symbol("d", 1)};
  free_members(u);
  for (setmem* m = e->first; m; m = m->next) set_addmem(u, m->tup());
  set_addmem(u, t);
  s2->nmem = -1;
  EXPECT_EQ(test::members_of(s2, context()), "c d");
  sdelete(s1);
  sdelete(s2);
  sdelete(u);
  // A slice of a set not generated yet: the record is built once, after
  // the set, and serves the next key too.
  set* x = set_cross(set_enum(new_enum(), 1), set_enum(new_enum(), 1));
  for (set* f : {static_cast<set**>(static_cast<set3p*>(x)->f1)[0],
                 static_cast<set**>(static_cast<set3p*>(x)->f1)[1]})
    for (double v : {1.0, 2.0}) {
      symbol* sv = Number(v);
      f->addmem(&sv);
    }
  u = x;
  set* x1 = slice_at(1);
  EXPECT_EQ(test::members_of(x1, context()), "1 2");
  EXPECT_EQ(static_cast<slice_rec*>(static_cast<set3p*>(x1)->f2)->stale, 0);
  sdelete(x1);
  sdelete(x);
}

// An item names as many components as its set has: a mismatch is
// reported and the list padded or cut; naming none freely is cautioned.
TEST_F(SetOps, ItemEntriesMatchTheDimension) {
  struct row {
    const char* in;
    const char* err;
  };
  const row rows[] = {
      {"sum {i in E} 1", "1 index for set of dimen 2"},
      {"sum {(i, j, k) in E} 1", "3 indices for set of dimen 2"},
      {"sum {i in {1}, (i, 'a') in E} 1", "0-dimensional slice"},
  };
  for (const row& r : rows) {
    fresh();
    test::outcome o;
    parse_input("set E dimen 2; param v := " + std::string(r.in) + ";\n", &o);
    EXPECT_NE(o.err.find(r.err), std::string::npos) << r.in << "\n" << o.err;
  }
}

TEST_F(SetOps, SubscriptedSets) {
  model(
      "set I := {1, 2};\n"
      "set S {i in I} := i .. 3;\n"
      "set V {I};\n"
      "set A := S[2]; set B := S[1]; set C := S[5]; set D := V[1];\n");
  // The declarations compiled: S's defining set inside its indexing.
  compile();
  test::conversions().set_(decl<setdcl>("S")->asgn);
  EXPECT_EQ(members("A"), "2 3");
  EXPECT_EQ(members("B"), "1 2 3");
  // Computed once, stored by subscript.
  symbol* two = Number(2);
  EXPECT_EQ(subscr_genall(decl<setdcl>("S"), &two, context()),
            static_cast<set3p*>(compiled_set("A"))->f3);
  symbol* three = Number(3);
  EXPECT_EQ(set_in(compiled_set("A"), &three, context()), 1);
  set* c = compiled_set("C");
  auto r = test::run_captured([&] { test::members_of(c, context()); });
  EXPECT_TRUE(r.aborted);
  EXPECT_NE(r.err.find("invalid subscript S[5]"), std::string::npos) << r.err;
  set* d = compiled_set("D");
  r = test::run_captured([&] { test::members_of(d, context()); });
  EXPECT_TRUE(r.aborted);
  EXPECT_NE(r.err.find("no value for V[1]"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vexo
