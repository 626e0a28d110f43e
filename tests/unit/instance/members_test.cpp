// The generated members' arrays and the bookkeeping of changes: status
// bytes and values per slot, the starting values sent, what is kept across
// a regeneration or redeclaration, and what a change marks for the next
// collection and presolve.
#include "instance/members.h"

#include <gtest/gtest.h>

#include <cmath>

#include "frontend/decl.h"
#include "frontend/keywords.h"
#include "instance/instance_fixture.h"
#include "instance/problem.h"
#include "instance/stamps.h"
#include "instance/xcg.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo {
namespace {

using test::InstanceTest;

class Members : public InstanceTest {
 protected:
  void TearDown() override {
    set_trans_state(0);
    InstanceTest::TearDown();
  }
  static double* doubles(std::initializer_list<double> v) {
    auto* a = static_cast<double*>(new_mblk(htcl(8 * v.size()), 1));
    std::copy(v.begin(), v.end(), a);
    return a;
  }
};

TEST_F(Members, StatusAndValuesHaveASlotPerRow) {
  parse_text(
      "var x {1..4}; var z {1..3} >= 0;"
      "subject to c {i in 1..3}: 0 <= z[i] complements x[i] >= 0;");
  var* x = var_named("x");
  give_members(x, {1, 2, 3, 4}, 0);
  x->flags |= CV_ALLDROPPED;
  uint8_t* s = figalloc(x);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(s[i], GS_DROPPED) << i;

  auto* c = static_cast<constr*>(decl("c"));
  ASSERT_TRUE(c->flags & CV_TWOSLOTS);
  give_members(c, {1, 2, 3}, 0);
  c->gen.init_vals = doubles({1, 2, 3, 4, 5, 6});
  double* v = vval_alloc(c);
  ASSERT_NE(c->gen.member_status, nullptr);
  EXPECT_GE(size_t(8) << blkclass(c->gen.member_status), 6u);
  EXPECT_GE(size_t(8) << blkclass(v), 6 * sizeof(double));
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(v[i], i + 1);
    EXPECT_EQ(c->gen.member_status[i], 0);
  }
}

TEST_F(Members, StartingValuesSent) {
  parse_text("var x {1..3};");
  var* x = var_named("x");
  give_members(x, {1, 2, 3}, 0);
  double out[4] = {9, 9, 9, 9};
  EXPECT_EQ(dpov_set(x, 3, out), out + 3);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], 9);

  x->gen.init_vals = doubles({1, 2, 3});
  vval_alloc(x);
  x->gen.cur_vals[1] = 20;
  x->gen.cur_vals[2] = 30;
  x->gen.member_status[1] = GS_HASVAL;  // member 2 has a value of its own
  auto* mark = static_cast<uint8_t*>(new_mblk(0, 1));
  mark[2] = 1;  // member 3 is random
  x->gen.rand_mark = mark;
  dpov_set(x, 3, out);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], 20);
  EXPECT_TRUE(std::isnan(out[2]));
}

TEST_F(Members, ChangesBetweenCollections) {
  parse_text("var x {1..4}; var y; subject to c: y >= 0;");
  var* x = var_named("x");
  give_members(x, {1, 2, 3, 4}, 1);
  give_member(var_named("y"), 0);
  // Presolve sent columns 0, 2 and 4 and removed 1 and 3.
  AC* ac = new_ac();
  ac->n_var = 5;
  ac->n_var_sent = 3;
  ac->var_pos = static_cast<int32_t*>(new_mblk(3, 1));
  ac->var_init_val = doubles({0, 1.5, 0, 3.5, 0});
  int32_t pos[] = {0, 3, 1, 4, 2};
  std::copy(pos, pos + 5, ac->var_pos);
  varref_kill0 = 1;

  note_change(x, 0);  // column 1, removed
  ASSERT_NE(fixchanges, nullptr);
  EXPECT_EQ(fixchanges->index, 1);
  EXPECT_EQ(fixchanges->coef, 1.5);
  EXPECT_EQ(vnext(fixchanges), nullptr);
  EXPECT_EQ(varref_kill0, 0);
  EXPECT_EQ(var_changes, 0);
  note_change(x, 1);  // column 2, kept
  note_change(var_named("y"), 0);
  EXPECT_EQ(var_changes, 2);
  EXPECT_EQ(vnext(fixchanges), nullptr);
  note_change(static_cast<xnode2*>(decl("c")), 0);
  EXPECT_EQ(con_changes, 1);
  // Another removed column goes in front.
  note_change(x, 2);
  EXPECT_EQ(fixchanges->index, 3);
  EXPECT_EQ(vnext(fixchanges)->index, 1);
}

TEST_F(Members, ChangesLowerTheStateOnlyWhereTheyBear) {
  parse_text("param p; param q; param r; var x;");
  xnode* p = decl("p");
  xnode* q = decl("q");
  xnode* r = decl("r");
  // The last check found p to bear on the problem; q bears on named
  // problems' membership; r on neither.
  tsr_k = htcl(size_t(dac.next));
  tsr = static_cast<char*>(new_mblk(tsr_k, 1));
  tsr[p->num] = 1;
  q->flags |= XF_INPROB;
  struct {
    xnode* d;
    int state_after;
    int need_prob;
  } cases[] = {{p, 1, 0}, {q, 1, 1}, {r, 3, 0}};
  for (auto& c : cases) {
    set_trans_state(3);
    need_prob = 0;
    double lev = nextgenlev;
    ts_update(c.d, 0);
    EXPECT_EQ(c.d->stamp, lev);
    EXPECT_EQ(trans_state, c.state_after) << xnode_name(c.d);
    EXPECT_EQ(need_prob & 1, c.need_prob) << xnode_name(c.d);
  }
  // A variable's values: its second stamp.
  var* x = var_named("x");
  set_trans_state(2);
  ts_update(x, 1);
  EXPECT_EQ(x->stamp2, nextgenlev);
  EXPECT_EQ(trans_state, 2);
}

TEST_F(Members, SavedForRegeneration) {
  parse_text("var x {1..3}; var y; var z;");
  var* x = var_named("x");
  give_members(x, {3, 1, 2}, 0);
  vval_alloc(x);
  x->gen.n_dropped = 1;
  uint8_t* status = x->gen.member_status;
  savesol(x);
  EXPECT_EQ(x->gen.saved_status, status);
  EXPECT_EQ(x->gen.member_status, nullptr);
  ASSERT_NE(x->gen.saved_subs, nullptr);
  double order[] = {3, 1, 2};
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(x->gen.saved_subs[i], Number(order[i])) << i;
  EXPECT_NE(x->gen.cur_vals, nullptr);

  var* y = var_named("y");
  give_member(y, 3);
  savesol(y);
  EXPECT_EQ(y->gen.saved_subs, nullptr) << "no values, nothing to keep";
  vval_alloc(y);
  savesol(y);
  EXPECT_EQ(y->gen.saved_subs, scalar_subscrs);

  // A fixed variable's values are not kept.
  var* z = var_named("z");
  z->flags |= CV_NOSAVE;
  give_member(z, 4);
  vval_alloc(z);
  savesol(z);
  EXPECT_EQ(z->gen.cur_vals, nullptr);
  EXPECT_EQ(z->gen.saved_subs, nullptr);
}

TEST_F(Members, ARedeclaredScalarKeepsItsValues) {
  parse_text("var y; var w {1..2};");
  var* y = var_named("y");
  give_member(y, 0);
  double* vals = vval_alloc(y);
  vals[0] = 7;
  alignas(var) static char buf[sizeof(var)];
  auto* fresh = reinterpret_cast<var*>(buf);
  *fresh = *y;
  fresh->gen = cvgen{};
  dropsavechk(y, fresh);
  EXPECT_EQ(fresh->gen.cur_vals, vals);
  EXPECT_EQ(fresh->gen.saved_subs, scalar_subscrs);
  EXPECT_EQ(fresh->gen.member_count, 1);
  EXPECT_EQ(y->gen.cur_vals, nullptr);
  EXPECT_EQ(y->gen.member_status, nullptr);
  // Indexed declarations keep theirs otherwise.
  var* w = var_named("w");
  give_members(w, {1, 2}, 1);
  vval_alloc(w);
  dropsavechk(w, fresh);
  EXPECT_NE(w->gen.cur_vals, nullptr);
}

}  // namespace
}  // namespace vexo
