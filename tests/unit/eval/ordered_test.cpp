// The order bits of set expressions, read from their structure.
#include "eval/ordered.h"

#include <gtest/gtest.h>

#include "eval/indexing.h"
#include "eval/set.h"
#include "eval/setclass.h"
#include "frontend/decl.h"
#include "frontend/frontend_fixture.h"
#include "frontend/paramdcl.h"
#include "support/machine.h"
#include "support/pool.h"

namespace vexo {
namespace {

class Ordered : public ::testing::Test {
 protected:
  void SetUp() override { test::start_session(); }
  // A declared set of dimension 1 with the set flags.
  static set* declared(uint32_t flags) {
    setdcl* d = static_cast<setdcl*>(mem(sizeof(setdcl)));
    d->kind = DK_SET;
    d->sflags = flags;
    d->dimen = 1;
    return set_named(d);
  }
  static set* range() { return set_range(nullptr, nullptr, nullptr); }
  static set* enumerated() { return set_enum(new_enum(), 1); }
};

TEST_F(Ordered, ClassesAndDeclarations) {
  EXPECT_EQ(ordered_set(range(), 1), SET_ORDERED);
  EXPECT_EQ(ordered_set(enumerated(), 1), 0);
  EXPECT_EQ(ordered_set(set_binop(range(), range(), SC_UNION), 1), 0);
  EXPECT_EQ(ordered_set(set_binop(range(), enumerated(), SC_DIFF), 1),
            SET_ORDERED);
  EXPECT_EQ(ordered_set(declared(24), 1), SET_CIRCULAR);
  EXPECT_EQ(ordered_set(declared(8), 1), SET_ORDERED);
  EXPECT_EQ(ordered_set(declared(1), 1), 0);  // forcegen only
  EXPECT_EQ(ordered_set(set_interval(1, nullptr, nullptr, 3), 1), SET_ORDERED);
}

TEST_F(Ordered, ConditionalSets) {
  EXPECT_EQ(ordered_set(set_if(nullptr, declared(24), range()), 1),
            SET_ORDERED);
  EXPECT_EQ(ordered_set(set_if(nullptr, declared(24), declared(24)), 1),
            SET_CIRCULAR);
  EXPECT_EQ(ordered_set(set_if(nullptr, range(), enumerated()), 1), 0);
  EXPECT_EQ(ordered_set(set_if(nullptr, enumerated(), range()), 1), 0);
}

TEST_F(Ordered, IndexingsUsedAsSets) {
  // {i in A} without a condition is A itself.
  set* a = declared(24);
  set* one =
      set_spec_set(new set_spec(new Index(nullptr, a, nullptr, 1), nullptr, 1));
  EXPECT_EQ(one, a);
  EXPECT_EQ(ordered_set(one, 1), SET_CIRCULAR);
  // Two indexes: refused under strict, the last one's answer otherwise.
  Index* ix = new Index(nullptr, range(), nullptr, 1);
  ix = new Index(ix, declared(24), nullptr, 1);
  set* two = set_spec_set(new set_spec(ix, nullptr, 1));
  EXPECT_EQ(two->sclass, uint32_t(SC_SPECSET));
  EXPECT_EQ(ordered_set(two, 1), 0);
  EXPECT_EQ(ordered_set(two, 0), SET_CIRCULAR);
  Index* jx = new Index(nullptr, enumerated(), nullptr, 1);
  jx = new Index(jx, range(), nullptr, 1);
  EXPECT_EQ(ordered_set(set_spec_set(new set_spec(jx, nullptr, 1)), 0), 0);
}

TEST_F(Ordered, TableDummySetsReadDbase) {
  set* s = new_setdb();
  s->kind = SET_KIND;
  s->sclass = SC_DB;
  s->arity = 1;
  s->cword = 3;
  EXPECT_EQ(ordered_set(s, 1), 0);  // nothing at that level
  dbase[3] = range();
  EXPECT_EQ(ordered_set(s, 1), SET_ORDERED);
  dbase[3] = nullptr;
}

}  // namespace
}  // namespace vexo
