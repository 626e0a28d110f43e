// Index dummies (binding, shadowing, release and reuse of the records) and
// symlist's conversions of list elements to set members.
#include "frontend/dummy.h"

#include <gtest/gtest.h>

#include <string>

#include "eval/indexing.h"
#include "frontend/expr.h"
#include "frontend_fixture.h"
#include "session/loop.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

class Dummies : public ::testing::Test {
 protected:
  void SetUp() override {
    test::start_session(false);
    nvarsub = 0;
  }
};

TEST_F(Dummies, ScopeBindsAndRestoresAndRecordsAreReused) {
  symbol* i = Symbol("i", 0);
  symbol* j = Symbol("j", 0);
  symbol* k = Symbol("k", 0);
  new_context();
  dummy* a = last_dummy = new dummy(last_dummy, i);
  dummy* b = last_dummy = new dummy(last_dummy, j);
  dummy* c = last_dummy = new dummy(last_dummy, k);
  EXPECT_EQ(i->binding, a);
  EXPECT_EQ(c->level, 1u);
  EXPECT_EQ(a->offset, 0u);
  EXPECT_EQ(c->offset, 2u);
  expr* ref = dummy_expr(b);
  EXPECT_EQ(opcode(ref), OPDUMMY);
  EXPECT_EQ(ref->L.i, 1);
  EXPECT_EQ(ref->R.i, 1);
  EXPECT_EQ(Dummy_refs[1], 1);
  context_end(1);
  EXPECT_EQ(i->binding, nullptr);
  EXPECT_EQ(k->binding, nullptr);
  // The three records come back for the next three dummies.
  new_context();
  dummy* d1 = last_dummy = new dummy(last_dummy, i);
  dummy* d2 = last_dummy = new dummy(last_dummy, j);
  dummy* d3 = last_dummy = new dummy(last_dummy, k);
  EXPECT_EQ(d1, c);
  EXPECT_EQ(d2, b);
  EXPECT_EQ(d3, a);
  context_end(1);
}

TEST_F(Dummies, DuplicateIsReportedAndUnwoundInOrder) {
  symbol* i = Symbol("i", 0);
  auto r = test::run_captured([&] {
    new_context();
    last_dummy = new dummy(last_dummy, i);
    dummy* outer = last_dummy;
    new_context();
    last_dummy = new dummy(last_dummy, i);
    EXPECT_EQ(static_cast<dummy*>(i->binding)->oldval, outer);
    context_end(1);
    EXPECT_EQ(i->binding, outer);
    context_end(1);
  });
  EXPECT_NE(r.err.find("duplicate definition of i"), std::string::npos);
  EXPECT_EQ(i->binding, nullptr);
}

TEST_F(Dummies, SymlistMakesSetMembers) {
  cstr* s = new_cstring("a");
  s->refcnt = 2;  // one more holder: the string must lose one reference
  expr* num = new_num(3);
  expr* str = new_str(s);
  str->next = num;  // a parsed list: newest first
  expr* out = symlist(SYML_INDEX, str);
  // Source order again, each a literal member.
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(opcode(out), OPLIT);
  EXPECT_EQ(out->L.sym, Number(3));
  ASSERT_NE(out->next, nullptr);
  EXPECT_EQ(opcode(out->next), OPLIT);
  EXPECT_EQ(out->next->L.sym, Symbol("a", 0));
  EXPECT_EQ(s->refcnt, 1u);
}

TEST_F(Dummies, VariableInSetTestIsRefused) {
  expr* v = new_expr(opword(OPVAR164, EF_NUMERIC | EF_VARS));
  expr* out = nullptr;
  auto r = test::run_captured([&] { out = symlist(SYML_NOTIN, v); });
  EXPECT_NE(r.err.find("Cannot test whether a variable is not in a set "
                       "expression."),
            std::string::npos)
      << r.err;
  EXPECT_EQ(opcode(out), OPLIT);
  EXPECT_EQ(out->L.sym, Number(0));
  EXPECT_TRUE(rc & 8);
}

TEST_F(Dummies, IndexItemOpensALevelPerItem) {
  symbol* i = Symbol("i", 0);
  set* s = new_enum();
  Index* ix = index_item(nullptr, new_expr(opword(OP279), i), s);
  EXPECT_EQ(ix->level, 1);
  EXPECT_EQ(ix->ndum, 1);
  Index* ix2 = index_item(ix, nullptr, new_enum());
  EXPECT_EQ(ix2->level, 2);
  EXPECT_EQ(ix2->ndum, 0);
  set_spec* ss = new set_spec(ix2, nullptr, 1);
  EXPECT_EQ(ss->first, ix);  // source order
  EXPECT_EQ(ss->nindex, 2);
  EXPECT_EQ(set_spec_count(ss), 2);
  end_context(ss, nullptr);
  EXPECT_EQ(sslevel, 0);
  EXPECT_EQ(i->binding, nullptr);
}

}  // namespace
}  // namespace vexo
