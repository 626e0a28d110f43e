// The column permutation applied to generated rows: linear and
// piecewise-linear terms get their new columns, terms of columns that went
// are dropped, and variable references in nonlinear parts follow (a
// reference to a column that went is worth 0).
#include "instance/renum.h"

#include <gtest/gtest.h>

#include <vector>

#include "frontend/expr.h"
#include "instance/instance_fixture.h"
#include "instance/members.h"
#include "instance/varref.h"

namespace vexo {
namespace {

class Renum : public test::InstanceTest {};

std::vector<int32_t> columns(varref* v) {
  std::vector<int32_t> c;
  for (; v; v = vnext(v)) c.push_back(v->index);
  return c;
}

TEST_F(Renum, RowsFollowThePermutation) {
  parse_text("var x {1..4}; s.t. c {i in 1..2}: sum {j in 1..4} x[j] >= i;");
  constr* c = static_cast<constr*>(decl("c"));
  give_members(c, {1, 2}, 0);
  cvgen& g = c->gen;
  g.lin = block<varref*>(htcl(2 * sizeof(varref*)));
  g.nonlin = block<expr*>(htcl(2 * sizeof(expr*)));
  // Row 0: 2 x[col 0] + 3 x[col 1] + 4 x[col 3]; row 1: x[col 2], and the
  // nonlinear part col 1 * col 2.
  g.lin[0] = new_varref(new_varref(new_varref(nullptr, 3, 4), 1, 3), 0, 2);
  g.lin[1] = new_varref(nullptr, 2, 1);
  auto varval = [](int32_t col) {
    return new_expr(opword(OPVARVAL146, EF_NUMERIC | EF_VARS), col);
  };
  g.nonlin[1] = new_expr(opword(OPMULT, EF_NUMERIC | EF_VARS), varval(1),
                         varval(2));
  // Column 1 went; 0 and 2 swap; 3 moves to 1.
  const int32_t perm[] = {2, -1, 0, 1};
  size_t free0 = free_terms();
  ApplyVperm(c, perm, 4);
  EXPECT_EQ(columns(g.lin[0]), (std::vector<int32_t>{2, 1}));
  EXPECT_EQ(g.lin[0]->coef, 2);
  EXPECT_EQ(vnext(g.lin[0])->coef, 4);
  EXPECT_EQ(columns(g.lin[1]), (std::vector<int32_t>{0}));
  EXPECT_EQ(free_terms(), free0 + 1);
  expr* m = g.nonlin[1];
  EXPECT_EQ(opcode(m->L.e), OPNUM);
  EXPECT_EQ(m->L.e->L.d, 0);
  EXPECT_EQ(opcode(m->R.e), OPVARVAL146);
  EXPECT_EQ(m->R.e->L.i, 0);
}

}  // namespace
}  // namespace vexo
