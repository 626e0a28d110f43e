// Set-up of the problem writer's tests: a model read through the real
// parser, and the collected problem filled by hand as collection and a
// presolve that changes nothing would leave it (every variable and row
// sent in its own order), in the state a write starts from.
#ifndef VEXO_UNIT_SOLVER_NL_FIXTURE_H
#define VEXO_UNIT_SOLVER_NL_FIXTURE_H

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "frontend/decl.h"
#include "instance/ac.h"
#include "instance/instance_fixture.h"
#include "instance/names.h"
#include "presolve/presolve.h"
#include "session/opttable.h"
#include "support/machine.h"
#include "support/pool.h"
#include "support/symbol.h"

namespace vexo::test {

// A problem in plain terms.  Rows list constraints, then objectives.
struct plain_term {
  int var;
  double coef;
};
struct plain_var {
  const char* name;  // a declared scalar variable, or null
  double lb, ub;
  uint32_t status;  // integrality bits
};
struct plain_row {
  const char* name;
  double lb, ub;  // constraints
  std::vector<plain_term> terms;
  int sense;  // objectives: 0 minimise, 1 maximise
  double constant;
  expr* nonlin;  // a list of expression nodes, or null
};
struct plain_problem {
  std::vector<plain_var> vars;
  std::vector<plain_row> cons;
  std::vector<plain_row> objs;
  // Writer order of the variables (empty: as listed) and the class counts
  // that go with it.
  std::vector<int> var_order;
  int nlv_both = 0, nlv_con = 0, nlv_obj = 0, lin_bin = 0, lin_int = 0;
  int nonlin_con = 0, nonlin_obj = 0;
};

class NlTest : public InstanceTest {
 protected:
  // The defaults of the option table, which the fixture does not build.
  void SetUp() override {
    InstanceTest::SetUp();
    send_suffixes = 3;
    send_statuses = 1;
    dual_initial_guesses = 1;
    nl_permute = 3;
  }
  void TearDown() override {
    nl_comments = 0;
    nl_permute = 3;
    output_prec = 0;
    outopt = "";
    pass_lub1 = 1;
    set_trans_state(0);
    InstanceTest::TearDown();
  }

  static xname name_of(const char* name) {
    return {name ? decl(name) : nullptr, nullptr, nullptr};
  }

  // Fills the collected problem from p and sends it as it stands.
  static AC* collect_plain(const plain_problem& p) {
    AC* ac = new_ac();
    int nv = int(p.vars.size()), nc = int(p.cons.size()),
        no = int(p.objs.size());
    ac->n_var = ac->n_var_aux = nv;
    ac->n_con = ac->n_con_aux = ac->n_alg_con = nc;
    ac->n_obj = no;
    ac->var_class = htcl(8 * size_t(nv + 1));
    ac->con_class = htcl(8 * size_t(nc + 1));
    ac->obj_class = htcl(8 * size_t(no + 1));
    ac->row_class = htcl(8 * size_t(nc + no + 1));
    int kv = ac->var_class, kc = ac->con_class, ko = ac->obj_class,
        kr = ac->row_class;
    ac->var_lb = ac->var_lb_alt = block<double>(kv);
    ac->var_ub = ac->var_ub_alt = block<double>(kv);
    ac->var_init_val = block<double>(kv);
    ac->var_status = block<uint32_t>(elem_class(kv, 4));
    ac->col_nl_rows = block<varref*>(kv);
    ac->var_order = block<int32_t>(elem_class(kv, 4));
    ac->var_pos = block<int32_t>(elem_class(kv, 4));
    ac->var_names_class = htcl(sizeof(xname) * size_t(nv + 1));
    ac->var_names = Vname = block<xname>(ac->var_names_class);
    for (int i = 0; i < nv; ++i) {
      const plain_var& v = p.vars[size_t(i)];
      ac->var_lb[i] = v.lb;
      ac->var_ub[i] = v.ub;
      ac->var_status[i] = v.status;
      ac->var_names[i] = name_of(v.name);
      int o = p.var_order.empty() ? i : p.var_order[size_t(i)];
      ac->var_order[i] = o;
      ac->var_pos[o] = i;
    }
    ac->con_nonlin = block<expr*>(kc);
    ac->con_lb = ac->shape_work.lower = ac->shape_alt.lower = block<double>(kc);
    ac->con_ub = ac->shape_work.upper = ac->shape_alt.upper = block<double>(kc);
    ac->con_init_dual = block<double>(kc);
    ac->con_names_class = htcl(sizeof(xname) * size_t(nc + 1));
    ac->con_names = block<xname>(ac->con_names_class);
    ac->obj_nonlin = block<expr*>(ko);
    ac->obj_const = block<double>(ko);
    ac->obj_sense = block<uint8_t>(elem_class(ko, 1));
    ac->obj_order = block<int32_t>(elem_class(ko, 4));
    ac->obj_names_class = htcl(sizeof(xname) * size_t(no + 1));
    ac->obj_names = block<xname>(ac->obj_names_class);
    ac->row_terms = block<varref*>(kr);
    int32_t* order = block<int32_t>(elem_class(kr, 4));
    ac->shape_work.order = ac->shape_alt.order = order;
    ac->shape_work.k = elem_class(kr, 4);
    int64_t nzc = 0;
    for (int i = 0; i < nc; ++i) {
      const plain_row& r = p.cons[size_t(i)];
      ac->con_lb[i] = r.lb;
      ac->con_ub[i] = r.ub;
      ac->con_names[i] = name_of(r.name);
      ac->con_nonlin[i] = r.nonlin;
      if (r.lb == r.ub)
        ++ac->shape_work.n_eq;
      else if (r.lb > negInfinity && r.ub < Infinity)
        ++ac->shape_work.n_range;
      for (auto t = r.terms.rbegin(); t != r.terms.rend(); ++t)
        ac->row_terms[i] = new_varref(ac->row_terms[i], t->var, t->coef);
      nzc += int64_t(r.terms.size());
    }
    for (int j = 0; j < no; ++j) {
      const plain_row& r = p.objs[size_t(j)];
      ac->obj_const[j] = r.constant;
      ac->obj_sense[j] = uint8_t(r.sense);
      ac->obj_order[j] = j;
      ac->obj_names[j] = name_of(r.name);
      ac->obj_nonlin[j] = r.nonlin;
      for (auto t = r.terms.rbegin(); t != r.terms.rend(); ++t)
        ac->row_terms[nc + j] =
            new_varref(ac->row_terms[nc + j], t->var, t->coef);
      ac->grad_nonzeros += int64_t(r.terms.size());
    }
    for (int i = 0; i < nc + no; ++i) order[i] = i;
    SendShape& s = ac->shape_work;
    s.n_con = nc;
    s.n_nonlin = p.nonlin_con;
    s.nonzeros = nzc;
    ac->shape_alt = s;
    ac->n_var_sent = nv;
    ac->n_nlv_both = p.nlv_both;
    ac->n_nlv_con = p.nlv_con;
    ac->n_nlv_obj = p.nlv_obj;
    ac->n_lin_bin = p.lin_bin;
    ac->n_lin_int = p.lin_int;
    ac->n_nonlin_obj = p.nonlin_obj;
    ac->n_prob = 1;
    set_lubs(ac);
    set_trans_state(3);
    return ac;
  }

  // The file's bytes.
  static std::string slurp(const char* name) {
    std::string s;
    if (FILE* f = std::fopen(name, "rb")) {
      char b[4096];
      for (size_t n; (n = std::fread(b, 1, sizeof b, f)) > 0;) s.append(b, n);
      std::fclose(f);
    }
    return s;
  }
};

// The small linear program: maximize 3x + 2y s.t. x + y <= 4,
// x + 3y <= 6, x >= 0, 0 <= y <= 4.
inline const char* lp_model =
    "var x >= 0; var y >= 0 <= 4; maximize p: 3*x + 2*y;\n"
    "s.t. c1: x + y <= 4; s.t. c2: x + 3*y <= 6;\n";
inline plain_problem lp_problem() {
  plain_problem p;
  p.vars = {{"x", 0, Infinity, 0}, {"y", 0, 4, 0}};
  p.cons = {{"c1", negInfinity, 4, {{0, 1}, {1, 1}}, 0, 0, nullptr},
            {"c2", negInfinity, 6, {{0, 1}, {1, 3}}, 0, 0, nullptr}};
  p.objs = {{"p", 0, 0, {{0, 3}, {1, 2}}, 1, 0, nullptr}};
  return p;
}

}  // namespace vexo::test

#endif  // VEXO_UNIT_SOLVER_NL_FIXTURE_H
