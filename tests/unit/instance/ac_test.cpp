// The collected problem record: one record, its counts as the count params
// read them, emptying it, growing its per-variable arrays, and the choice
// of the bounds sent.
#include "instance/ac.h"

#include <gtest/gtest.h>

#include <string>

#include "frontend/keywords.h"
#include "instance/instance_fixture.h"
#include "instance/names.h"
#include "instance/stamps.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "support/pool.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::InstanceTest;

class Collected : public InstanceTest {
 protected:
  void TearDown() override {
    pass_lub1 = 1;
    set_trans_state(0);
    InstanceTest::TearDown();
  }

  // Fills ac as a collection of nv variables, nc constraint rows and no
  // objectives would, each row holding a term of every variable.
  static void fill(AC* ac, int nv, int nc, int no) {
    ac->n_var = ac->n_var_aux = nv;
    ac->n_con = ac->n_con_aux = nc;
    ac->n_obj = no;
    ac->var_class = htcl(8 * size_t(nv));
    ac->con_class = htcl(8 * size_t(nc));
    ac->obj_class = htcl(8 * size_t(no));
    ac->row_class = htcl(8 * size_t(nc + no));
    int kv = ac->var_class, kc = ac->con_class, ko = ac->obj_class,
        kr = ac->row_class;
    ac->var_lb = ac->var_lb_alt = block<double>(kv);
    ac->var_ub = ac->var_ub_alt = block<double>(kv);
    ac->var_init_val = block<double>(kv);
    ac->var_status = block<uint32_t>(elem_class(kv, 4));
    ac->col_nl_rows = block<varref*>(kv);
    ac->var_names_class = htcl(sizeof(xname) * size_t(nv));
    ac->var_names = Vname = block<xname>(ac->var_names_class);
    ac->con_nonlin = block<expr*>(kc);
    ac->con_lb = ac->shape_work.lower = ac->shape_alt.lower = block<double>(kc);
    ac->con_ub = ac->shape_work.upper = ac->shape_alt.upper = block<double>(kc);
    ac->con_names_class = htcl(sizeof(xname) * size_t(nc));
    ac->con_names = block<xname>(ac->con_names_class);
    if (no) {
      ac->obj_nonlin = block<expr*>(ko);
      ac->obj_const = block<double>(ko);
      ac->obj_sense = block<uint8_t>(elem_class(ko, 1));
      ac->obj_order = block<int32_t>(elem_class(ko, 4));
      ac->obj_names_class = htcl(sizeof(xname) * size_t(no));
      ac->obj_names = block<xname>(ac->obj_names_class);
    }
    ac->row_terms = block<varref*>(kr);
    varref_kill0 = 1;
    for (int r = 0; r < nc + no; ++r)
      for (int v = 0; v < nv; ++v)
        ac->row_terms[r] = new_varref(ac->row_terms[r], v, r + 1);
    ac->shape_work.k = elem_class(kr, 4);
    ac->shape_work.order = ac->shape_alt.order = block<int32_t>(elem_class(kr, 4));
    ac->decl_class = 0;
    ac->con_decls = ac->obj_decls = ac->var_decls = block<xnode*>(0);
    ac->n_prob = 1;
  }
};

TEST_F(Collected, OneRecordForTheProcess) {
  AC* ac = new_ac();
  EXPECT_EQ(ac->ac_self, ac);
  ac->gen_decl = decl("Initial");
  ac->work = 5;
  ac->n_var = 3;
  EXPECT_EQ(new_ac(), ac);
  EXPECT_EQ(ac->gen_decl, nullptr);
  EXPECT_EQ(ac->work, 0);
  EXPECT_EQ(ac->n_var, 3);
}

TEST_F(Collected, SizevalCountsByClass) {
  AC* ac = new_ac();
  ac->n_var_aux = 4;
  ac->n_con_aux = 5;
  ac->n_obj = 6;
  int expect[] = {4, 5, 6, 1, 1};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(sizeval(ac, k), expect[k]) << k;
  EXPECT_EQ(sizeval(ac, 9), 1);
}

TEST_F(Collected, EveryCountParamNamesACount) {
  AC ac{};
  for (const kw_row& r : init_tab) {
    if (r.kind != BK_COUNTPARAM) continue;
    double v = -1;
    EXPECT_TRUE(ac_count(&ac, int(r.value), &v)) << r.name;
    EXPECT_EQ(v, 0) << r.name;
  }
  double v;
  EXPECT_FALSE(ac_count(&ac, 24, &v));
}

TEST_F(Collected, CountParamsReadTheCountsTheirNamesSay) {
  parse_text("param p := 1;");
  AC* ac = new_ac();
  ac->n_var_aux = 7;
  ac->jac_nonzeros = 5000000000;  // beyond 32 bits
  ac->n_logical_sent = 4;
  ac->n_sym_member = 3;
  ac->n_log_alg_con = 2;
  ac->n_nlv_sent = 9;
  ac->n_con_added = 11;  // read by none of them
  set_trans_state(3);    // presolved: read as they stand
  test::outcome o;
  parse_input(
      "printf \"%d %.0f %d %d %d %d %d\\n\", _nvars, _snzcons, _snlogcons, "
      "_snsymvars, _nsymvars, _nlog_algcons, _snnlv;\n",
      &o);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "7 5000000000 4 3 3 2 9\n");
}

// A reusing collection takes the column arrays over before emptying the
// rest: the row-side arrays still go, or they would outlive their classes.
TEST_F(Collected, EmptyingWithoutVariablesStillFreesTheRows) {
  AC* ac = new_ac();
  ac->var_names_class = 2;
  ac->var_names = Vname = block<xname>(2);
  ac->con_names_class = 2;
  ac->con_names = block<xname>(2);
  ac->row_class = 2;
  ac->con_pos = block<int32_t>(elem_class(2, 4));
  col_teardown(ac);
  EXPECT_EQ(ac->var_names, nullptr);
  EXPECT_EQ(Vname, nullptr);
  EXPECT_EQ(ac->con_names, nullptr);
  EXPECT_EQ(ac->con_pos, nullptr);
  col_teardown(nullptr);
}

TEST_F(Collected, EmptyingFreesEveryArrayAndReturnsTheTerms) {
  AC* ac = new_ac();
  fill(ac, 3, 2, 1);
  size_t held = free_terms();
  // Presolve made a second bound pair of its own.
  ac->var_lb_alt = block<double>(ac->var_class);
  ac->var_ub_alt = block<double>(ac->var_class);
  col_teardown(ac);
  EXPECT_EQ(free_terms(), held + 9);
  const void* ptrs[] = {
      ac->var_lb,      ac->var_ub,        ac->var_lb_alt,  ac->var_ub_alt,
      ac->var_init_val, ac->var_status,   ac->col_nl_rows, ac->var_names,
      ac->con_nonlin,  ac->con_lb,        ac->con_ub,      ac->con_names,
      ac->obj_nonlin,  ac->obj_const,     ac->obj_sense,   ac->obj_order,
      ac->obj_names,   ac->row_terms,     ac->shape_work.order,
      ac->shape_alt.order, ac->shape_work.lower, ac->shape_alt.upper,
      ac->con_decls,   ac->obj_decls,     ac->var_decls,   Vname};
  for (size_t i = 0; i < std::size(ptrs); ++i)
    EXPECT_EQ(ptrs[i], nullptr) << i;
  // Emptied twice: nothing is freed again.
  col_teardown(ac);
}

TEST_F(Collected, GrowingKeepsTheSecondPairAsItWas) {
  for (bool aliased : {true, false}) {
    AC* ac = new_ac();
    fill(ac, 2, 1, 0);
    if (!aliased) {
      ac->var_lb_alt = block<double>(ac->var_class);
      ac->var_ub_alt = block<double>(ac->var_class);
      ac->var_lb_alt[1] = -4;
    }
    ac->var_lb[1] = -2;
    ac->var_status[1] = 0x84;
    ac->col_nl_rows = nullptr;
    v_upgrade(ac, 3, 2);
    EXPECT_EQ(ac->var_class, 3);
    EXPECT_EQ(ac->var_lb_alt == ac->var_lb, aliased);
    EXPECT_EQ(ac->var_ub_alt == ac->var_ub, aliased);
    EXPECT_EQ(ac->var_lb[1], -2);
    EXPECT_EQ(ac->var_lb_alt[1], aliased ? -2 : -4);
    EXPECT_EQ(ac->var_status[1], 0x84u);
    for (int i = 2; i < 8; ++i) {
      EXPECT_EQ(ac->var_lb[i], 0);
      EXPECT_EQ(ac->var_init_val[i], 0);
      EXPECT_EQ(ac->var_status[i], 0u);
    }
    ASSERT_NE(ac->col_nl_rows, nullptr);  // made when absent
    EXPECT_EQ(ac->col_nl_rows[7], nullptr);
    col_teardown(ac);
  }
}

TEST_F(Collected, VarBoundsPicksThePairAndOrdersTheRows) {
  struct {
    int var_bounds;
    bool same_orders;
    int vb;
  } cases[] = {{1, true, 1}, {1, false, 3}, {2, true, 2}, {2, false, 2}};
  for (auto& c : cases) {
    AC* ac = new_ac();
    fill(ac, 2, 2, 1);
    ac->var_lb_alt = block<double>(ac->var_class);
    ac->var_ub_alt = block<double>(ac->var_class);
    int32_t* work = ac->shape_work.order;
    work[0] = 2, work[1] = 0, work[2] = 1;
    ac->shape_work.n_con = 2;
    ac->shape_work.nonzeros = 4;
    if (!c.same_orders) {
      ac->shape_alt.order = block<int32_t>(ac->shape_work.k);
      ac->shape_alt.order[0] = 1, ac->shape_alt.order[1] = 2,
      ac->shape_alt.order[2] = 0;
    }
    ac->shape_alt.n_con = 1;
    ac->shape_alt.lower = block<double>(ac->con_class);
    pass_lub1 = c.var_bounds;
    set_lubs(ac);
    bool alt = c.var_bounds > 1;
    SCOPED_TRACE(c.var_bounds * 10 + c.same_orders);
    EXPECT_EQ(vb_need, c.vb);
    EXPECT_EQ(ac->var_lb_sent, alt ? ac->var_lb_alt : ac->var_lb);
    EXPECT_EQ(ac->var_ub_sent, alt ? ac->var_ub_alt : ac->var_ub);
    const SendShape& sh = alt ? ac->shape_alt : ac->shape_work;
    EXPECT_EQ(ac->con_lb_sent, sh.lower);
    EXPECT_EQ(ac->n_con_sent, sh.n_con);
    EXPECT_EQ(ac->jac_nonzeros, sh.nonzeros);
    EXPECT_EQ(ac->con_order_sent, sh.order);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ac->con_pos[sh.order[i]], i);
    // Rows are ordered anew: the columns are made from the rows.
    EXPECT_EQ(ac->row_terms, nullptr);
    ASSERT_NE(ac->col_terms, nullptr);
    EXPECT_EQ(ac->col_terms[1]->index, 0);
    EXPECT_EQ(ac->shape_ptr, &ac->n_var_sent);
    col_teardown(ac);
  }
}

TEST_F(Collected, LogicalRowsSentGetASuffixNumberingOfTheirOwn) {
  AC* ac = new_ac();
  fill(ac, 1, 3, 1);
  // Rows 0, 1 algebraic (1 removed), 2 logical, 3 the objective: sent
  // order 0, objective 3, removed 1, logical 2.
  int32_t* o = ac->shape_work.order;
  o[0] = 0, o[1] = 3, o[2] = 1, o[3] = 2;
  ac->shape_work.n_con = 1;
  ac->shape_work.n_logical = 1;
  ac->n_var_sent = 1;
  set_lubs(ac);
  ASSERT_NE(ac->suf_shape, nullptr);
  EXPECT_EQ(ac->shape_ptr, ac->suf_shape->n);
  EXPECT_EQ(ac->shape_ptr[0], 1);
  EXPECT_EQ(ac->shape_ptr[1], 2);  // the algebraic and the logical row
  EXPECT_EQ(ac->shape_ptr[3], 1);
  EXPECT_EQ(ac->suf_shape->order[1][0], 0);
  EXPECT_EQ(ac->suf_shape->order[1][1], 2);
  col_teardown(ac);
  EXPECT_EQ(ac->suf_shape, nullptr);
  EXPECT_EQ(ac->shape_ptr, nullptr);
}

TEST_F(Collected, ResetForgetsWhatLayInFreedMemory) {
  parse_text("var y;");
  varref_kill0 = 0;
  free_varref(new_varref(nullptr, 0, 1));  // a free list in the pool
  fixchanges = new_varref(nullptr, 0, 2);
  var_changes = 3;
  xname n{decl("y"), nullptr, nullptr};
  xwho(&n);
  fill(new_ac(), 1, 1, 0);  // Vname too
  pass_lub1 = 2;
  set_lubs(cur_ac);

  reset_modules();
  fresh_parser();
  EXPECT_EQ(cur_ac, nullptr);
  EXPECT_EQ(varref_freelist, nullptr);
  EXPECT_EQ(varref_bump, varref_bump_end);
  EXPECT_EQ(fixchanges, nullptr);
  EXPECT_EQ(var_changes, 0);
  EXPECT_EQ(Vname, nullptr);
  EXPECT_EQ(vb_need, 0);
  // What is made now comes from the new session's memory (the sanitizer
  // build reports a use of the freed blocks).
  parse_text("var y;");
  xname m{decl("y"), nullptr, nullptr};
  EXPECT_STREQ(xwho(&m), "y");
  varref* v = new_varref(nullptr, 4, 1);
  EXPECT_EQ(v->index, 4);
  free_varref(v);
}

}  // namespace
}  // namespace vexo
