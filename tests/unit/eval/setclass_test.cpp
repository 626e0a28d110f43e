// The records the set constructors build: heads, operands, reconciled
// dimensions and the messages of construction.
#include "eval/setclass.h"

#include <gtest/gtest.h>

#include "compiler/tva.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/frontend_fixture.h"
#include "frontend/paramdcl.h"
#include "session/execute.h"
#include "session/loop.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo {
namespace {

class SetClasses : public ::testing::Test {
 protected:
  void SetUp() override { test::start_session(); }
  static set* range_set() { return set_range(nullptr, nullptr, nullptr); }
};

TEST_F(SetClasses, HeadsAndOperands) {
  set* u = set_binop(range_set(), range_set(), SC_INTER);
  EXPECT_EQ(u->sclass, uint32_t(SC_INTER));
  EXPECT_EQ(u->nmem, -1);
  EXPECT_EQ(u->refcnt, 1);
  EXPECT_EQ(u->arity, 1);
  EXPECT_NE(u->in, nullptr);
  EXPECT_NE(u->genall, nullptr);
  set* x = set_cross(u, set_enum(new_enum(), 2));
  EXPECT_EQ(x->arity, 3);
  EXPECT_EQ(x->cword, 2);
  sdelete(x);  // releases the factors too
  set* e = set_enum(new_enum(), 2);
  set* c = set_if(nullptr, range_set(), e);  // empty else takes the arity
  EXPECT_EQ(c->arity, 1);
  EXPECT_EQ(static_cast<set*>(static_cast<set3p*>(c)->f3)->arity, 1);
  sdelete(c);
}

// A chain of set operators nests one level per operator: the chain of
// MAX_NESTING operators is accepted, one more refused where it is built.
TEST_F(SetClasses, NestingLimit) {
  stack_setup();  // the walks at the limit need more than 8 MiB
  set* s = set_enum(new_enum(), 1);
  for (uint32_t i = 0; i < MAX_NESTING; ++i)
    s = set_binop(s, set_enum(new_enum(), 1), SC_UNION);
  EXPECT_EQ(s->depth, MAX_NESTING);
  stepping = 1;  // the statement is abandoned, the session goes on
  auto o = test::run_captured(
      [&] { set_binop(s, set_enum(new_enum(), 1), SC_UNION); });
  stepping = 0;
  EXPECT_TRUE(o.aborted);
  EXPECT_NE(o.err.find("expression nested too deeply"), std::string::npos);
  sdelete(s);
}

TEST_F(SetClasses, DimensionsOfOperands) {
  auto o = test::run_captured([] {
    set* b =
        set_binop(set_enum(new_enum(), 2), set_enum(new_enum(), 1), SC_UNION);
    EXPECT_EQ(b->arity, 2);
    sdelete(b);
  });
  EXPECT_EQ(o.err, "\n\tleft set operand has dimen 2, right has 1\n");
  EXPECT_TRUE(rc & 8);
  rc = 0;
  // An empty set held once takes the other operand's dimension.
  set* a = set_enum(new_enum(), 2);
  ++a->refcnt;  // held elsewhere too: not replaceable
  o = test::run_captured([&] {
    set* c = set_if(nullptr, a, set_enum(new_enum(), 1));
    EXPECT_EQ(c->arity, 2);
    EXPECT_EQ(static_cast<set*>(static_cast<set3p*>(c)->f3)->arity, 2);
    sdelete(c);
  });
  EXPECT_EQ(o.err, "");
  sdelete(a);
}

TEST_F(SetClasses, LiteralTuplesOfOneLength) {
  // {(a, b), (c), (d, e)}: tuple lists hold their elements newest first.
  // Pool nodes: the tuple of the wrong length is freed.
  expr* n[5];
  for (expr*& e : n) e = new_num(0);
  n[1]->next = n[0];  // (a, b) as the parser chains it: b, a
  n[4]->next = n[3];
  list* t = tulist(nullptr, n[1]);
  t = tulist(t, n[2]);
  t = tulist(t, n[4]);
  set* s = nullptr;
  auto o = test::run_captured([&] { s = set_literal(t); });
  EXPECT_EQ(o.err, "\n\ttuple 1 has 2 components, tuple 2 has 1\n");
  EXPECT_EQ(s->sclass, uint32_t(SC_LITERAL));
  EXPECT_EQ(s->arity, 2);
  set3p* r = static_cast<set3p*>(s);
  EXPECT_EQ(reinterpret_cast<intptr_t>(r->f2), 2);
  expr* m = static_cast<expr*>(r->f1);
  ASSERT_EQ(listlen(m), 4);
  EXPECT_EQ(m, n[0]);  // a, b, d, e
  EXPECT_EQ(m->next, n[1]);
  EXPECT_EQ(m->next->next, n[3]);
  sdelete(s);
}

TEST_F(SetClasses, InvalidIntervalKind) {
  set* s = nullptr;
  auto o =
      test::run_captured([&] { s = set_interval(2, nullptr, nullptr, 3); });
  EXPECT_EQ(o.err, "\n\tinvalid interval type\n");
  EXPECT_EQ(s->sclass, uint32_t(SC_INTERVAL));
  EXPECT_EQ(static_cast<struct set_interval*>(s)->type, 3);
  set* i = set_interval(1, nullptr, nullptr, 3);
  EXPECT_EQ(static_cast<struct set_interval*>(i)->type, 7);
  sdelete(s);
  sdelete(i);
}

// A set used with the wrong number of subscripts is reported where it is
// used, and the command is abandoned.
TEST_F(SetClasses, WrongSubscriptCountIsReportedWhenUsed) {
  setdcl* d = static_cast<setdcl*>(mem(sizeof(setdcl)));
  d->kind = DK_SETI;
  d->name = Symbol("S", 1);
  set* s = new_set_subscr(d, nullptr, 1, 1);
  symbol* t = Symbol("a", 1);
  stepping = 1;  // (the session goes on)
  TVA* c = new_tva();
  auto o = test::run_captured([&] { set_in(s, &t, c); });
  EXPECT_TRUE(o.aborted);
  EXPECT_EQ(o.err, "\twrong number of subscripts for set S\n");
  o = test::run_captured([&] { set_genall(s, c); });
  del_tva(c);
  stepping = 0;
  EXPECT_TRUE(o.aborted);
}

}  // namespace
}  // namespace vexo
