// Set-up of presolve's tests: a model read through the real parser, and
// the collected problem filled by hand as collection leaves it (bounds and
// statuses as declared, linear terms by column, nothing ordered or counted
// for the writer), with the option cells at their defaults.
#ifndef VEXO_UNIT_PRESOLVE_PRESOLVE_FIXTURE_H
#define VEXO_UNIT_PRESOLVE_PRESOLVE_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "data/values.h"
#include "frontend/paramdcl.h"
#include "presolve/presolve.h"
#include "presolve/psmsg.h"
#include "session/opttable.h"
#include "session/sysdecls.h"
#include "solver/nl_fixture.h"
#include "solver/output.h"
#include "support/text.h"

namespace vexo::test {

class PresolveTest : public NlTest {
 protected:
  void SetUp() override {
    NlTest::SetUp();
    presolve_inteps = 1e-6;
    presolve_intepsmax = presolve_epsmax = presolve_fixepsmax = 1e-5;
    presolve_warnings = 5;
    show_presolve_messages = 1;
    presolve_assoc[0] = 7;
    randvar_warn = 5;
  }
  void TearDown() override {
    presolve_eps = presolve_inteps = presolve_fixeps = 0;
    presolve_debug = relax_integrality = show_stats = 0;
    presolve_logfile = "";
    ps_warnings_drop();
    NlTest::TearDown();
  }

  // The collected problem of p: what collection fills, no more.
  static AC* collected(const plain_problem& p) {
    AC* ac = collect_plain(p);
    // collect_plain leaves what a presolve that changes nothing would:
    // take back what is presolve's to make.
    int kv = elem_class(ac->var_class, 4);
    del_mblk(kv, ac->var_order);
    del_mblk(kv, ac->var_pos);
    ac->var_order = ac->var_pos = nullptr;
    del_mblk(ac->shape_work.k, ac->shape_work.order);
    ac->shape_work = SendShape{};
    ac->shape_work.lower = ac->con_lb;
    ac->shape_work.upper = ac->con_ub;
    ac->shape_alt = ac->shape_work;
    ac->con_order_sent = nullptr;
    ac->n_var_sent = ac->n_con_sent = 0;
    ac->n_nlv_both = ac->n_nlv_con = ac->n_nlv_obj = 0;
    ac->n_lin_bin = ac->n_lin_int = ac->n_nonlin_obj = 0;
    // The AC is reused between problems: the column lists of the one
    // before must not stand in for this one's.
    if (ac->row_terms)
      ac->col_terms = transpose(&ac->row_terms, ac->row_class,
                                ac->var_class, ac->n_con + ac->n_obj);
    ac->var_lb_sent = ac->var_ub_sent = nullptr;
    set_trans_state(2);
    return ac;
  }

  static double param_value(param* p) { return *sysparam_cell(p); }
  static std::string messages() {
    cstr* s = sparam_value(presolve_msgs);
    return s ? s->text() : "(none)";
  }
  // The text nl file of ac written as stub, its bytes.
  static std::string written(AC* ac, const char* stub) {
    std::string o = std::string("g") + stub;
    outopt = o.c_str();
    auto r = run_captured([&] { output(ac); });
    EXPECT_FALSE(r.aborted) << r.err;
    outopt = "";
    return slurp((std::string(stub) + ".nl").c_str());
  }
  // Presolve at level, captured.
  static outcome run(AC* ac, int level) {
    return run_captured([&] { presolve(ac, level); });
  }
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_PRESOLVE_PRESOLVE_FIXTURE_H
