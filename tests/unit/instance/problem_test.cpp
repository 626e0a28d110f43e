// Problem declarations: the newest is current and collects the entities
// declared after it.
#include "instance/problem.h"

#include "frontend/decl_fixture.h"

namespace vexo {
namespace {

using Problem = test::DeclTest;

TEST_F(Problem, NewestIsCurrentAndCollectsEntities) {
  problem* p = new_problem(Symbol("P", 1), nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(cur_prob, p);
  EXPECT_NE(p, initial_prob);
  EXPECT_EQ(Symbol("P", 0)->binding, p);
  var* x = new var(Symbol("x", 1), nullptr, nullptr, 0);
  x = x->finish_dcl(0);
  ASSERT_NE(p->ents, nullptr);
  EXPECT_EQ(p->ents->L.e->L.x, x);
  ASSERT_EQ(x->nrefs, 1);
  EXPECT_EQ(x->refs[0], static_cast<uint32_t>(p->num));
}

}  // namespace
}  // namespace vexo
