// Iteration over indexing expressions: the odometer and its hooks, inner
// sets that depend on outer dummies, rejection, breaks, nested contexts of
// indexings at level 0, membership and single bindings, and the
// bail-out's unwinding of open iterations.
#include "eval/iterate.h"

#include <gtest/gtest.h>

#include <string>

#include "eval/setclass.h"
#include "session/loop.h"
#include "sets_fixture.h"
#include "support/symbol.h"

namespace vexo {
namespace {

// What the hooks saw: "+v" a value bound, "-v" a value left, "*v" a
// completed tuple, in the scope whose first value is v.
std::string trace;

std::string value_in(Index* ix) { return ix->vals[0]->name; }

void left_value(expr*, Index* ix) { trace += "-" + value_in(ix); }
eval_result bound_value(expr* h, TVA*) {
  Index* ix = static_cast<Index*>(h->L.p);
  trace += "+" + value_in(ix);
  // As a rewritten node files its restore record: once per value.
  push_cleanup(ix, h->R.e, left_value);
  return {.i = 0};
}
eval_result completed(expr* h, TVA*) {
  trace += "*" + value_in(static_cast<Index*>(h->L.p));
  return {.i = 0};
}

// Gives ix an on-bind hook (with its clean-up) and a completion hook.
void watch(Index* ix) {
  expr* h =
      new_expr(opword(OPNUM), static_cast<void*>(ix), new_expr(opword(OPNUM)));
  h->op = bound_value;
  h->next = ix->onbind;
  ix->onbind = h;
  expr* c = new_expr(opword(OPNUM), static_cast<void*>(ix));
  c->op = completed;
  c->next = ix->complete;
  ix->complete = c;
}

class Iterate : public test::SetsTest {
 protected:
  void SetUp() override {
    SetsTest::SetUp();
    trace.clear();
    gotbreak = 0;
  }
  void TearDown() override {
    gotbreak = 0;
    SetsTest::TearDown();
  }
  // The indexing of the sum that defines param name.
  set_spec* sum_indexing(const char* name) { return compiled(name)->L.ss; }
  // The context shows no open iteration.
  void expect_idle() {
    EXPECT_EQ(cur_tva, context());
    EXPECT_EQ(context()->frame, context()->base);
  }
};

// Two items: the inner moves fastest; each value is left exactly once; a
// condition on the whole tuple rejects (2,a), and completion runs from the
// outermost item that changed.
TEST_F(Iterate, OdometerAndItsHooks) {
  model(
      "param v := sum {i in {1, 2}, j in {'a', 'b'}: j == 'b' || i == 1} "
      "1;\n");
  set_spec* ss = sum_indexing("v");
  watch(ss->first);
  watch(ss->first->next);
  EXPECT_EQ(eval_num(def("v"), context()), 3);
  EXPECT_EQ(trace,
            "+1+a*1*a"      // (1,a)
            "-a+b*b"        // (1,b): only the inner item changed
            "-b-1+2+a-a+b"  // (2,a) rejected
            "*2*b"          // (2,b)
            "-b-2");
  expect_idle();
}

// An inner set that depends on the outer dummy is generated afresh for
// each outer value; an empty one skips that value.
TEST_F(Iterate, InnerSetsFollowTheOuterDummy) {
  model("set X := {i in 1 .. 3, j in 2 .. i};\n");
  set_spec* ss = static_cast<set_spec*>(compiled_set("X"));
  ASSERT_EQ(ss->sclass, SC_SPECSET);
  // The inner set reads the outer dummy: it is forgotten whenever the
  // outer item moves on.
  EXPECT_EQ(ss->first->next->s->errctx, ss->first);
  EXPECT_EQ(members("X"), "2,2 3,2 3,3");
  // Membership binds the dummies: (3, 3) is in, (1, 2) is not.
  symbol* t[2] = {Number(3), Number(3)};
  ss->nuse = 0;
  EXPECT_EQ(spec_in(ss, t, context()), -2);
  t[0] = Number(1);
  t[1] = Number(2);
  EXPECT_EQ(spec_in(ss, t, context()), -1);
  expect_idle();
}

// A range nobody has listed is walked in place, its members computed as
// they are bound: a stride, a descending range, an inner range that reads
// the outer dummy and an empty one; the ranges stay unlisted.  A range
// listed already is walked through its members.
TEST_F(Iterate, RangesWalkedInPlace) {
  model(
      "param v := sum {i in 1 .. 4, j in i .. 9 by 3} (10 * i + j);\n"
      "param w := (sum {i in 5 .. 1 by -2, j in 3 .. 2} 1) +\n"
      "  (sum {k in 5 .. 1 by -2} k * k);\n"
      "param big := sum {i in 100001 .. 100003} i;\n");
  set_spec* ss = sum_indexing("v");
  watch(ss->first);
  // (1,1)(1,4)(1,7) (2,2)(2,5)(2,8) (3,3)(3,6)(3,9) (4,4)(4,7)
  EXPECT_EQ(value("v"), 30 + 12 + 60 + 15 + 90 + 18 + 80 + 11);
  EXPECT_EQ(trace, "+1-1+2-2+3-3+4-4");
  EXPECT_LT(ss->first->s->nmem, 0);
  EXPECT_LT(ss->first->next->s->nmem, 0);
  EXPECT_EQ(value("w"), 25 + 9 + 1);
  EXPECT_EQ(value("big"), 300006);
  // The walk binds interned numbers: the members compare by identity.
  set_spec* b = sum_indexing("big");
  TVA* c = ss_begin(b, context());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(b->first->vals[0], Number(100001));
  ss_end1(b, c);
  // Listed first: the walk takes its members.
  test::members_of(b->first->s, context());
  EXPECT_EQ(b->first->s->nmem, 3);
  EXPECT_EQ(value("big"), 300006);
  expect_idle();
}

TEST_F(Iterate, NothingToIterate) {
  model(
      "param a := sum {i in 1 .. 3: i > 5} 1;\n"
      "param b := sum {i in {}} 1;\n"
      "param c := sum {if 2 > 1} 7;\n"
      "param d := sum {if 1 > 2} 7;\n");
  set_spec* ss = sum_indexing("a");
  watch(ss->first);
  EXPECT_EQ(value("a"), 0);
  // Every rejected value was left again.
  EXPECT_EQ(trace, "+1-1+2-2+3-3");
  EXPECT_EQ(value("b"), 0);
  EXPECT_EQ(value("c"), 7);
  EXPECT_EQ(value("d"), 0);
  expect_idle();
}

// A break stops the walk at its next step, every value left.
TEST_F(Iterate, BreakEndsTheWalkCleanly) {
  model("param v := sum {i in 1 .. 5, j in 1 .. 2} 1;\n");
  set_spec* ss = sum_indexing("v");
  watch(ss->first);
  watch(ss->first->next);
  TVA* c = ss_begin(ss, context());
  ASSERT_NE(c, nullptr);
  int n = 1;
  while (ss_continue(ss, c)) {
    if (++n == 3) gotbreak = 1;
  }
  EXPECT_EQ(n, 3);
  // Completion hooks run only for an indexing with a condition.
  EXPECT_EQ(trace, "+1+1-1+2-2-1+2+1-1-2");
  expect_idle();
}

// An indexing at level 0 met while the context runs a frame gets a context
// of its own: carved out of the free space, or a block when its size is
// larger; the outer dummy keeps its value and the outer walk goes on.
TEST_F(Iterate, NestedIndexingsAtLevelZero) {
  model(
      "param a := sum {i in {1, 2}} 1;\n"
      "param b := sum {k in {'x', 'y', 'z'}} 1;\n");
  bracket({&def("a"), &def("b")});
  set_spec* sa = sum_indexing("a");
  set_spec* sb = sum_indexing("b");
  TVA* t = context();
  for (int big : {0, 1}) {
    if (big) {
      sb->size = *t->size;
      ++sb->size.hcl;
    }
    std::string seen;
    TVA* c = ss_begin(sa, t);
    ASSERT_EQ(c, t);
    do {
      TVA* d = ss_begin(sb, c);
      ASSERT_NE(d, nullptr);
      EXPECT_NE(d, c);
      EXPECT_EQ(d->parent, big ? c : nullptr);
      EXPECT_EQ(cur_tva, d);
      do seen += value_in(sa->first) + value_in(sb->first);
      while (ss_continue(sb, d));
      EXPECT_EQ(cur_tva, c);
    } while (ss_continue(sa, c));
    EXPECT_EQ(seen, "1x1y1z2x2y2z");
    expect_idle();
  }
}

TEST_F(Iterate, SingleBindingAndEarlyEnd) {
  model("param v := sum {i in {1, 2}, j in {'a', 'b'}} 1;\n");
  set_spec* ss = sum_indexing("v");
  watch(ss->first);
  watch(ss->first->next);
  symbol* t[2] = {Number(2), Symbol("b", 0)};
  TVA* c = ss_begin1(ss, context(), t);
  EXPECT_EQ(value_in(ss->first) + value_in(ss->first->next), "2b");
  ss_end1(ss, c);
  EXPECT_EQ(trace, "+2*2+b*b-b-2");
  expect_idle();
}

// An error inside a body leaves through the bail-out: every open frame
// comes down with its clean-ups, nested contexts included, and so do the
// hooks of a set that was being generated.
TEST_F(Iterate, BailoutUnwindsOpenIterations) {
  model(
      "param a := sum {i in {1, 2}} 1;\n"
      "param b := sum {k in {'x', 'y'}} 1;\n");
  bracket({&def("a"), &def("b")});
  set_spec* sa = sum_indexing("a");
  set_spec* sb = sum_indexing("b");
  watch(sa->first);
  watch(sb->first);
  TVA* t = context();
  symbol** lev1 = t->lev[1];
  // A set being generated when the error strikes, with its error context.
  set* g = set_enum(new_enum(), 1);
  g->nmem = -1;
  g->genall = [](set*, TVA* tva) { eerror(tva, "no good"); };
  Index* host = sa->first;
  g->errctx = host;
  g->privnode = new_expr(opword(OPNUM));
  g->privnode->op = reinterpret_cast<efunc>(
      reinterpret_cast<void (*)()>(+[](expr*, Index*) { trace += "!"; }));
  auto r = test::run_captured([&] {
    TVA* c = ss_begin(sa, t);
    TVA* d = ss_begin(sb, c);
    ASSERT_NE(d, c);
    set_genall(g, d);
  });
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.err, "\tno good\n");
  EXPECT_EQ(trace, "+1+x-x!-1");
  EXPECT_EQ(err_fel, nullptr);
  EXPECT_EQ(t->lev[1], lev1);
  expect_idle();
  g->errctx = nullptr;
  sdelete(g);
}

}  // namespace
}  // namespace vexo
