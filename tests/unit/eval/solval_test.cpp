// Solution values over declarations and a collected problem filled by hand
// (as generation, collection and presolve leave them).
#include "eval/solval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "compiler/tva.h"
#include "frontend/decl.h"
#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "instance/instance_fixture.h"
#include "instance/members.h"
#include "session/opttable.h"
#include "support/list.h"
#include "support/machine.h"
#include "support/pool.h"

namespace vexo {
namespace {

using test::InstanceTest;

class Solval : public InstanceTest {
 protected:
  void SetUp() override {
    InstanceTest::SetUp();
    parse_text(
        "var x {1..6};\n"
        "subject to c {i in 1..5}: x[i] >= 0;\n"
        "subject to d {i in 1..2}: x[i] >= 0;\n"
        "minimize o: x[1];\n");
    x = var_named("x");
    c = static_cast<constr*>(decl("c"));
    d = static_cast<constr*>(decl("d"));
    give_members(x, {1, 2, 3, 4, 5, 6}, 0);
    give_members(c, {1, 2, 3, 4, 5}, 0);
    give_members(d, {1, 2}, 5);
    o = static_cast<constr*>(decl("o"));
    give_member(o, 9);
    d->flags |= CV_TWOSLOTS;
    figalloc(x);
    figalloc(c);
    figalloc(d);
    tva = new_tva();
    std::memset(tva->ac, 0, sizeof(AC));
    ac = tva->ac;
  }
  void TearDown() override {
    set_trans_state(0);
    for (list* l = ac->cmap_decls; l; l = l->next) {
      cvgen& g = static_cast<convar*>(l->item.p)->gen;
      del_mblk(blkclass(g.cmap), g.cmap);
      g.cmap = nullptr;
    }
    free_list(ac->cmap_decls);
    std::memset(ac, 0, sizeof(AC));  // the tests' arrays are their own
    del_tva(tva);
    InstanceTest::TearDown();
  }
  static std::vector<int32_t> map_of(constr* k, int32_t n) {
    return std::vector<int32_t>(k->gen.cmap, k->gen.cmap + n);
  }
  TVA* tva = nullptr;
  AC* ac = nullptr;
  var* x = nullptr;
  constr* c = nullptr;
  constr* d = nullptr;
  constr* o = nullptr;
};

TEST_F(Solval, ComplementaritySlack) {
  const double I = Infinity, N = negInfinity;
  struct Row {
    int shape;
    double llb, lub, l, rlb, rub, r;
    bool old;
    double want;
  };
  const Row rows[] = {
      // Two one-sided conditions: the smaller slack.
      {0, 0, I, 3, 0, I, 5, false, 3},
      {0, N, 4, 1, 0, I, 5, false, 3},
      {0, N, I, 1, N, I, 5, false, I},  // free sides: ub
      // Left range, right side as presented.
      {10, 2, 2, 2.5, 0, I, 7, false, -0.5},  // equal bounds: left alone
      {10, N, 4, 1, 0, 9, 5, false, -5},      // llb -inf: rub := 0
      {10, 1, I, 3, 6, 9, 5, false, 2},       // lub +inf: rlb := 0
      {10, 1, 5, 0.5, 6, 9, 7, false, -0.5},  // below: rlb := 0
      {10, 1, 5, 6, 6, 9, 7, false, -7},      // above: rub := 0
      {10, 1, 5, 2, 6, 9, 7, false, 1},       // lower half: rlb := 0
      {10, 1, 5, 4, 6, 9, 7, false, -7},      // upper half: rub := 0
      {10, 1, 5, 2, 6, 9, 7, true, -7},       // old: both 0
      // Right range: the same with the sides exchanged.
      {11, 6, 9, 7, 1, 5, 2, false, 1},
      {11, 6, 9, 7, 1, 5, 4, false, -7},
      {11, 0, I, 7, 2, 2, 3, false, -1},
  };
  for (const Row& w : rows)
    EXPECT_DOUBLE_EQ(compl_slack(w.shape, w.llb, w.lub, w.l, w.rlb, w.rub,
                                 w.r, w.old),
                     w.want)
        << "shape " << w.shape << " l " << w.l << " r " << w.r;
}

TEST_F(Solval, MapNumbersTheMembersInTheProblem) {
  c->gen.member_status[1] = GS_DROPPED;
  c->gen.member_status[4] = GS_DROPPED | GS_BODY;
  EXPECT_EQ(make_cmap(c, ac), c->gen.cmap);
  EXPECT_EQ(map_of(c, 5), (std::vector<int32_t>{0, -1, 1, 2, -1}));
  // Two rows per complementarity member; the first slot decides.
  d->gen.member_status[0] = GS_DROPPED;
  make_cmap(d, ac);
  EXPECT_EQ(map_of(d, 4), (std::vector<int32_t>{-1, -1, 0, 0}));
  // Both noted for the next collection to free.
  ASSERT_NE(ac->cmap_decls, nullptr);
  EXPECT_EQ(ac->cmap_decls->item.p, d);
  ASSERT_NE(ac->cmap_decls->next, nullptr);
  EXPECT_EQ(ac->cmap_decls->next->item.p, c);
}

TEST_F(Solval, StatusCodesFollowTheSolverOrder) {
  // Columns: 2 sent, 1 substituted, 1 random, then presolve's and unused.
  int32_t var_pos[6] = {1, 0, 2, 3, 4, 5};
  uint32_t var_status[6] = {0, 0, 0, 0, DV_SETTLED, 0};
  ac->var_pos = var_pos;
  ac->var_status = var_status;
  ac->n_var_sent = 2;
  ac->n_subst_var = 1;
  ac->n_rand_var = 1;
  const int want_var[6] = {AS_IN, AS_IN, AS_SUB, AS_RAND, AS_PRE, AS_UNUSED};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(astatval(x, k, ac), want_var[k]) << k;
  x->gen.member_status[5] = GS_DROPPED;
  EXPECT_EQ(astatval(x, 5, ac), AS_FIX);

  // Rows: 1 algebraic sent, 2 logical (1 sent), 1 kept for a defined
  // variable, then presolve's.
  int32_t con_pos[5] = {0, 1, 2, 3, 4};
  ac->con_pos = con_pos;
  ac->n_con_sent = 1;
  ac->n_logical = 2;
  ac->n_logical_sent = 1;
  ac->n_defvar = 1;
  const int want_con[5] = {AS_IN, AS_LOG, AS_PRE, AS_SUB, AS_PRE};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(astatval(c, k, ac), want_con[k]) << k;

  // With members outside the problem the map renumbers the rest, and a
  // dropped member is "drop" (a variable's "fix").
  c->gen.member_status[0] = GS_DROPPED;
  c->gen.n_in_prob = 4;
  EXPECT_EQ(astatval(c, 0, ac), AS_DROP);
  EXPECT_EQ(astatval(c, 1, ac), AS_IN);  // row 0 now
  EXPECT_EQ(astatval(c, 2, ac), AS_LOG);
  x->gen.n_in_prob = 5;
  EXPECT_EQ(astatval(x, 5, ac), AS_FIX);
  c->flags |= CV_ALLDROPPED;
  EXPECT_EQ(astatval(c, 3, ac), AS_DROP);

  // Without solver orders everything is in.
  AC none{};
  EXPECT_EQ(astatval(x, 3, &none), AS_IN);
}

TEST_F(Solval, VariableValuesBeforeAndAfterCollection) {
  x->gen.init_vals = static_cast<double*>(new_mblk(x->gen.member_class, 1));
  x->gen.init_vals[0] = 2;
  x->gen.init_vals[1] = 3;
  vval_alloc(x);
  x->gen.cur_vals[1] = 5;
  x->gen.member_status[1] |= GS_HASVAL;
  // Nothing collected: the current value, else the initial one, else 0.
  EXPECT_EQ(var_value(x, 0, tva, false), 2);
  EXPECT_EQ(var_value(x, 1, tva, true), 5);
  EXPECT_EQ(var_value(x, 2, tva, false), 0);
  // Collected (columns 0..3 of 6): the column's value; a member beyond the
  // collected columns keeps the rule above.
  double cols[4] = {7, 8, 9, 10};
  uint32_t status[4] = {};
  ac->var_init_val = cols;
  ac->var_status = status;
  ac->n_var = 4;
  set_trans_state(3);
  EXPECT_EQ(var_value(x, 0, tva, false), 7);
  EXPECT_EQ(var_value(x, 1, tva, true), 8);
  x->gen.first_col = 2;
  EXPECT_EQ(var_value(x, 1, tva, false), 10);
  EXPECT_EQ(var_value(x, 2, tva, false), 0);
}

TEST_F(Solval, BodiesAreComputedOnceUntilTheirMembersChange) {
  double cols[3] = {2, 3, negInfinity};
  uint32_t status[3] = {};
  ac->var_init_val = cols;
  ac->var_status = status;
  ac->n_var = 3;
  set_trans_state(3);
  // c[1]: x1 + 2*x2 (+ 0); c[2]: Infinity + x3 - 5, the linear part not
  // added to the infinite sum; o: 4 + 3*x1.
  varref* l0 = new_varref(new_varref(nullptr, 1, 2), 0, 1);
  varref* l1 = new_varref(nullptr, 2, 1);
  varref* lo = new_varref(nullptr, 0, 3);
  auto vrs = [](int32_t cls) {
    return static_cast<varref**>(new_mblk(cls, 1));
  };
  auto dbl = [](int32_t cls) { return static_cast<double*>(new_mblk(cls, 1)); };
  c->gen.lin = vrs(c->gen.member_class);
  c->gen.lin[0] = l0;
  c->gen.lin[1] = l1;
  c->gen.consts = dbl(c->gen.member_class);
  c->gen.consts[1] = 5;
  c->gen.nonlin = static_cast<expr**>(new_mblk(c->gen.member_class, 1));
  c->gen.nonlin[1] = new_num(Infinity);
  o->gen.lin = vrs(0);
  o->gen.lin[0] = lo;
  o->gen.consts = dbl(0);
  o->gen.consts[0] = 4;
  int32_t before = n_cvals;
  EXPECT_EQ(co_val(c, 0, tva), 8);
  cols[0] = 4;
  EXPECT_EQ(co_val(c, 0, tva), 8);  // kept
  c->gen.member_status[0] &= uint8_t(~GS_BODY);
  EXPECT_EQ(co_val(c, 0, tva), 10);
  EXPECT_EQ(n_cvals - before, 2);
  EXPECT_EQ(co_val(c, 1, tva), Infinity);
  EXPECT_EQ(co_val(o, 0, tva), 16);
  // Without collected values: the members' own values.
  ac->var_init_val = nullptr;
  xname names[3] = {{x, nullptr, nullptr}, {x, nullptr, nullptr}, {}};
  ac->var_names = names;
  x->gen.init_vals = dbl(x->gen.member_class);
  x->gen.init_vals[0] = 1;
  x->gen.init_vals[1] = 7;
  c->gen.member_status[0] &= uint8_t(~GS_BODY);
  EXPECT_EQ(co_val(c, 0, tva), 15);
  free_varref(l0);
  free_varref(l1);
  free_varref(lo);
  ldelete(c->gen.nonlin[1]);
}

TEST_F(Solval, BoundDualsTakeTheActiveSide) {
  const double I = Infinity, N = negInfinity;
  // Rows 0..4 of c: an equality, <= 5, >= 0, and two ranges whose bodies
  // lie near their lower and their upper bound.
  double lb[5] = {3, N, 0, 0, 0}, ub[5] = {3, 5, I, 10, 10};
  double duals[5] = {2, -1, 4, 1.5, 1.5};
  ac->con_lb = lb;
  ac->con_ub = ub;
  ac->con_duals = duals;
  c->gen.consts = static_cast<double*>(new_mblk(c->gen.member_class, 1));
  c->gen.consts[3] = -2;
  c->gen.consts[4] = -9;
  set_trans_state(3);
  const double lower[5] = {2, 0, 4, 1.5, 0}, upper[5] = {0, -1, 0, 0, 1.5};
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(ludval(c, k, tva, 1), lower[k]) << k;
    EXPECT_EQ(ludval(c, k, tva, -1), upper[k]) << k;
  }
  // Maximising, an equality's positive dual is the upper one.
  uint8_t sense[1] = {1};
  ac->obj_sense = sense;
  ac->n_obj = 1;
  EXPECT_EQ(ludval(c, 0, tva, 1), 0);
  EXPECT_EQ(ludval(c, 0, tva, -1), 2);
}

TEST_F(Solval, ComplementaritySlackReadsBothRows) {
  // d[1]: left side 1 <= L <= 5 with L = 2, right side 6 <= R <= 9 with
  // R = 7.
  auto dbl = [&] {
    return static_cast<double*>(new_mblk(d->gen.member_class + 1, 1));
  };
  d->gen.lb = dbl();
  d->gen.ub = dbl();
  d->gen.consts = dbl();
  d->gen.lb[0] = 1, d->gen.ub[0] = 5, d->gen.consts[0] = -2;
  d->gen.lb[1] = 6, d->gen.ub[1] = 9, d->gen.consts[1] = -7;
  d->flags = (d->flags & ~uint64_t(0xb)) | 10;
  set_trans_state(3);
  EXPECT_EQ(ccslack(d, 0, tva), 1);
  old_complementarity_slack = 1;
  EXPECT_EQ(ccslack(d, 0, tva), -7);
  old_complementarity_slack = 0;
}

TEST_F(Solval, DualsOfMembersInAndOutOfTheProblem) {
  // c[2] is dropped and keeps its stored dual; the others are rows 0..3.
  c->gen.member_status[1] = GS_DROPPED;
  c->gen.n_in_prob = 4;
  c->gen.init_vals = static_cast<double*>(new_mblk(c->gen.member_class, 1));
  c->gen.init_vals[1] = 6;
  EXPECT_EQ(con_dual(c, 0, tva), 0);  // before a solve
  double duals[4] = {1, 2, 3, 4};
  ac->con_duals = duals;
  EXPECT_EQ(con_dual(c, 0, tva), 1);
  EXPECT_EQ(con_dual(c, 1, tva), 6);
  EXPECT_EQ(con_dual(c, 2, tva), 2);
  EXPECT_EQ(con_dual(c, 4, tva), 4);
  c->flags |= CV_ALLDROPPED;
  EXPECT_EQ(con_dual(c, 0, tva), 0);  // no stored dual
}

}  // namespace
}  // namespace vexo
