// Defined variables over a collected problem filled by hand, as presolve
// leaves it: columns 0 and 1 plain, 2 and 3 defined (2 = 3*x0 + x1 + 1,
// 3 = 2*col2 + 5), so that reading 3 computes 2 first.
#include "eval/defvar.h"

#include <gtest/gtest.h>

#include "eval/eval_fixture.h"
#include "frontend/decl.h"
#include "instance/varref.h"
#include "support/pool.h"

namespace vexo {
namespace {

class Defined : public test::EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    trans_state = 3;
    ac = tva->ac;
    ac->n_var = 4;
    ac->var_class = htcl(8 * 4);
    ac->var_init_val = static_cast<double*>(new_mblk(ac->var_class, 1));
    ac->var_status = static_cast<uint32_t*>(
        new_mblk(elem_class(ac->var_class, 4), 1));
    ac->n_dv_bodies = 2;
    ac->dv_class = htcl(8 * 2);
    ac->dv_const = static_cast<double*>(new_mblk(ac->dv_class, 1));
    ac->dv_col = static_cast<int32_t*>(
        new_mblk(elem_class(ac->dv_class, 4), 1));
    ac->dv_bodies = static_cast<expr**>(new_mblk(ac->dv_class, 1));
    ac->var_init_val[0] = 2;
    ac->var_init_val[1] = 10;
    // Body 0: 3*x0 (nonlinear part) and the linear part x1; constant 1.
    varref* lin = new_varref(nullptr, 1, 1);
    ac->dv_bodies[0] = test::chain(
        {new_expr(opword(OPMULT, EF_NUMERIC | EF_VARS), new_num(3), col(0)),
         new_expr(opword(OPLINPART, EF_NUMERIC | EF_VARS), lin)});
    ac->dv_const[0] = 1;
    ac->dv_col[0] = 2;
    // Body 1: 2*col2; constant 5.
    ac->dv_bodies[1] =
        new_expr(opword(OPMULT, EF_NUMERIC | EF_VARS), new_num(2), col(2));
    ac->dv_const[1] = 5;
    ac->dv_col[1] = 3;
    stale();
  }
  void TearDown() override {
    for (int b = 0; b < 2; ++b) {
      for (expr* x = ac->dv_bodies[b]; x; x = x->next)
        if (opcode(x) == OPLINPART) free_varref(x->L.vr), x->L.vr = nullptr;
      ldelete(ac->dv_bodies[b]);
    }
    del_mblk(ac->dv_class, ac->dv_bodies);
    del_mblk(ac->dv_class, ac->dv_const);
    del_mblk(elem_class(ac->dv_class, 4), ac->dv_col);
    if (ac->dv_cmap) del_mblk(elem_class(ac->var_class, 4), ac->dv_cmap);
    del_mblk(ac->var_class, ac->var_init_val);
    del_mblk(elem_class(ac->var_class, 4), ac->var_status);
    std::memset(ac, 0, sizeof(AC));
    trans_state = 0;
    EvalTest::TearDown();
  }
  static expr* col(int32_t c) {
    return new_expr(opword(OPVARVAL146, EF_NUMERIC | EF_VARS), c);
  }
  // The columns changed: both defined values must be computed again.
  void stale() {
    ac->var_status[2] = DV_NONLIN | DV_STALE;
    ac->var_status[3] = DV_NONLIN | DV_STALE;
  }
  // A read of column c as a body reads it.
  double read(int32_t c) {
    expr* e = col(c);
    e->op = f_OPVARVAL1;
    double v = eval_num(e, tva);
    free_node(e);
    return v;
  }
  AC* ac = nullptr;
};

TEST_F(Defined, NestedValueIsComputedOnceThenKept) {
  n_dvals = 0;
  EXPECT_EQ(read(3), 2 * (3 * 2 + 10 + 1) + 5);
  EXPECT_EQ(n_dvals, 2);  // the inner one first, once
  EXPECT_EQ(read(2), 17);
  EXPECT_EQ(read(3), 39);
  EXPECT_EQ(n_dvals, 2);  // kept: nothing evaluated again
  // A change of the columns makes both stale.
  ac->var_init_val[0] = 0;
  stale();
  EXPECT_EQ(read(3), 2 * 11 + 5);
  EXPECT_EQ(n_dvals, 4);
}

TEST_F(Defined, ValueSettledByPresolveIsReturnedAsItIs) {
  n_dvals = 0;
  ac->var_status[2] |= DV_SETTLED;
  ac->var_init_val[2] = 100;
  EXPECT_EQ(read(2), 100);
  EXPECT_EQ(read(3), 205);
  EXPECT_EQ(n_dvals, 1);  // body 0 never evaluated
  EXPECT_EQ(ac->dv_bodies[0]->op, nullptr);
}

}  // namespace
}  // namespace vexo
