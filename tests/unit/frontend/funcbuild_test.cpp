// The function-like builders over argument lists.
#include "frontend/funcbuild.h"

#include <gtest/gtest.h>

#include "builders_fixture.h"

namespace vexo {
namespace {

TEST_F(Builders, ListOperators) {
  // max(1, x, 3) as the grammar lists it (newest first).
  expr* args = nullptr;
  for (double v : {1., 2., 3.}) {
    expr* a = new_expr(opword(OPARG), nullptr, new_num(v));
    a->next = args;
    args = a;
  }
  expr* mx = vreduc(opword(MAXLIST, EF_NUMERIC), args);
  ASSERT_EQ(opcode(mx), MAXLIST);
  ASSERT_EQ(listlen(mx->L.e), 3);
  EXPECT_EQ(mx->L.e->L.d, 1);
  EXPECT_EQ(mx->L.e->next->next->L.d, 3);
  xnode* v = decl("v", DK_VAR);
  expr* c = new_expr(opword(OPARG), nullptr, entity_ref(v, OPVAR164));
  expr* at = atkword(1, new_num(2), c);
  ASSERT_EQ(opcode(at), OPATMOST);
  EXPECT_EQ(opcode(at->R.e), OPCOUNT);
  EXPECT_TRUE(has_flag(at, EF_VARS));
  expr* d = alldiff(nullptr, new_expr(opword(OPARG), nullptr, str("a")));
  EXPECT_EQ(opcode(d), OPALLDIFFs);
}

}  // namespace
}  // namespace vexo
