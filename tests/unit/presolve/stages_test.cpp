// The walks and counts presolve makes after its reductions, on hand-built
// trees and problems: extype, zrctype1, the gated walks of the stages
// (rand_use1, randprop, nrand) and their comparators, nzcount under both
// bound choices, vq_setup.
#include "presolve/stages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "frontend/expr.h"
#include "presolve/presolve.h"
#include "presolve/presolve_fixture.h"
#include "support/list.h"

namespace vexo {
namespace {

using test::PresolveTest;

class Walks : public PresolveTest {
 protected:
  static expr* var(int j, uint32_t flags = EF_VARS) {
    expr* e = new_expr(opword(OPVARVAL146, flags | EF_NUMERIC), nullptr);
    e->L.i = j;
    return e;
  }
  static expr* op(int code, expr* a, expr* b, uint32_t flags = EF_VARS) {
    return new_expr(opword(code, flags | EF_NUMERIC), a, b);
  }
  static expr* num(double v) { return new_num(v); }
};

TEST_F(Walks, ExtypeTellsConstantLinearAndNonlinear) {
  struct row {
    expr* e;
    int type;
  } rows[] = {
      {num(3), 0},
      {op(OPPLUS, num(1), num(2), 0), 0},
      {op(OPMULT, num(3), var(0)), 1},
      {op(OPMINUS, var(0), op(OPUMINUS, var(1), nullptr)), 1},
      {op(OPMULT, var(0), var(1)), 2},
      {op(OPPLUS, var(0), op(OPPOW, var(1), num(2))), 2},
  };
  for (const row& r : rows) EXPECT_EQ(extype(r.e), r.type);
}

TEST_F(Walks, Zrctype1OrsTheKindsOfOccurrence) {
  EXPECT_EQ(zrctype1(nullptr, num(1)), 0);
  EXPECT_EQ(zrctype1(nullptr, op(OPMULT, num(2), var(0))), 1);
  EXPECT_EQ(zrctype1(nullptr, op(OPPLUS, var(0), op(OPMULT, var(1), var(2)))),
            3);
}

TEST_F(Walks, GatedWalksSkipSubtreesWithoutTheirFlags) {
  uint32_t vstat[3] = {0, VS_RANDOM, 0};
  // x0 + x1 with the random x1 under an op word that shows no variables.
  expr* hidden = op(OPPLUS, var(0), var(1), 0);
  EXPECT_EQ(rand_use1(hidden, vstat), 0);
  expr* shown = op(OPPLUS, var(0), var(1));
  EXPECT_EQ(rand_use1(shown, vstat), 1);

  uint8_t part[3] = {1, 1, 1};
  uint32_t st[3] = {0, 0x200, 0};
  int32_t out[3];
  rp_info r{nullptr, part, st, out, 0, 0x40};
  expr* e = op(OPPLUS, var(0, EF_RANDVAR), op(OPMULT, var(1, EF_RANDVAR),
                                              var(2, EF_RANDVAR), EF_RANDVAR),
               EF_RANDVAR);
  randprop(e, &r);
  ASSERT_EQ(r.out - out, 2);  // x1 has 0x200
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 2);
  EXPECT_EQ(st[0], 0x40u);
  EXPECT_EQ(st[1], 0x200u);
}

TEST_F(Walks, NrandKeepsTheLargestStageAndFlagsTheEntityOnce) {
  double stage[3] = {2, 5, 3};
  uint8_t flagged[1] = {0};
  stage_info s{};
  s.flagged = flagged;
  s.stage = stage;
  s.entity = 0;
  s.maxvar = -1;
  s.hi = 1;
  EXPECT_EQ(nrand(op(OPPLUS, var(0), op(OPMULT, var(1), var(2))), &s), 0);
  EXPECT_EQ(s.maxstage, 5);
  EXPECT_EQ(s.maxvar, 1);
  ASSERT_NE(s.raised, nullptr);
  EXPECT_EQ(s.raised->next, nullptr);
  free_list(s.raised);
}

TEST_F(Walks, StageComparatorsPutZeroFirst) {
  std::vector<double> d = {3, 0, 1, 0, 2};
  std::qsort(d.data(), d.size(), sizeof(double), jstage_cmp);
  EXPECT_EQ(d, (std::vector<double>{0, 0, 1, 2, 3}));
  int32_t stages[3] = {4, 1, 2};
  int32_t a = 0, b = 1;
  EXPECT_GT(stgcmp(&a, &b, stages), 0);
}

TEST_F(Walks, NzcountIsTheSameUnderBothBoundChoicesAndCountsRanges) {
  parse_text(test::lp_model);
  test::plain_problem p = test::lp_problem();
  p.cons[0].lb = 1;  // c1 a range, c2 an equality
  p.cons[1].lb = 6;
  AC* ac = collected(p);
  presolve(ac, 10);
  EXPECT_EQ(ac->shape_work.nonzeros, 4);
  EXPECT_EQ(ac->shape_alt.nonzeros, 4);
  EXPECT_EQ(ac->grad_nonzeros, 2);
  EXPECT_EQ(ac->shape_work.n_range, 1);
  EXPECT_EQ(ac->shape_work.n_eq, 1);
  EXPECT_EQ(ac->shape_alt.n_eq, 1);
  EXPECT_EQ(ac->n_range_con, 1);
}

TEST_F(Walks, VqSetupQueuesTheNonlinearVariablesInOrder) {
  AC* ac = new_ac();
  ac->n_var = 3;
  ac->var_class = 2;
  Presolve P{};
  P.ac = ac;
  P.nvars = 3;
  P.nrows = 1;
  ps_scratch s{};
  s.self_k = -1;
  P.scratch = &s;
  varref* nl[3] = {new_varref(nullptr, 0, 1), nullptr,
                   new_varref(nullptr, 0, 1)};
  P.nlcols = nl;
  vq_setup(&P);
  ASSERT_EQ(P.nvq, 2);
  EXPECT_EQ(P.vq[0], 0);
  EXPECT_EQ(P.vq[1], 2);
  for (int i = 0; i < s.n; ++i) del_mblk(s.k[i], s.blk[i]);
  free_varref(nl[0]);
  free_varref(nl[2]);
}

}  // namespace
}  // namespace vexo
