// Synonyms over a collected problem filled by hand (as collection and
// presolve will leave it): x and y[1], y[2] are columns 0 .. 2, sent to the
// solver in the order y[2], x (y[1] removed by presolve).
#include "eval/dotvalue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>

#include "compiler/tva.h"
#include "eval/refs_fixture.h"
#include "eval/set.h"
#include "frontend/condcl.h"
#include "frontend/expr.h"
#include "frontend/parse.h"
#include "frontend/strexpr.h"
#include "instance/ac.h"
#include "instance/instance_fixture.h"
#include "instance/members.h"
#include "instance/names.h"
#include "session/include.h"
#include "support/machine.h"
#include "support/pool.h"
#include "support/text.h"

namespace vexo {
namespace {

class Synonyms : public test::RefsTest {
 protected:
  void SetUp() override {
    RefsTest::SetUp();
    load("var x; var y{1..2};\n");
    ac = new_ac();
    ac->n_var = ac->n_var_aux = 3;
    ac->n_var_sent = 2;
    ac->var_class = htcl(8 * 3);
    ac->var_init_val = static_cast<double*>(new_mblk(ac->var_class, 1));
    ac->var_order = static_cast<int32_t*>(
        new_mblk(elem_class(ac->var_class, 4), 1));
    ac->var_names_class = htcl(sizeof(xname) * 3);
    ac->var_names = static_cast<xname*>(new_mblk(ac->var_names_class, 1));
    double vals[] = {4, 5, 6};
    int32_t order[] = {2, 0, 1};
    members = set_enum(new_enum(), 1);
    for (int i = 1; i <= 2; ++i) {
      symbol* t[1] = {Number(i)};
      set_addmem(members, t);
    }
    xnode* x = static_cast<xnode*>(Symbol0("x")->binding);
    xnode* y = static_cast<xnode*>(Symbol0("y")->binding);
    ac->var_names[0] = {x, nullptr, nullptr};
    ac->var_names[1] = {y, members->first, nullptr};
    ac->var_names[2] = {y, members->first->next, nullptr};
    for (int i = 0; i < 3; ++i) {
      ac->var_init_val[i] = vals[i];
      ac->var_order[i] = order[i];
    }
    trans_state = 3;
  }
  void TearDown() override {
    trans_state = 0;
    del_mblk(ac->var_class, ac->var_init_val);
    del_mblk(elem_class(ac->var_class, 4), ac->var_order);
    del_mblk(ac->var_names_class, ac->var_names);
    ac->var_init_val = nullptr;
    ac->var_order = nullptr;
    ac->var_names = nullptr;
    ac->n_var = ac->n_var_aux = ac->n_var_sent = 0;
    del_enum(members);
    RefsTest::TearDown();
  }
  // What a print command typed at a terminal writes, errors included
  // without their location (the first two lines).
  std::string print(const std::string& what) {
    in_cmds = 2;
    interactive = 1;
    if (infile > 0) close(infile);
    infile = 0;
    bailquit = 0;
    test::outcome o;
    parse_input("print " + what + ";\n", &o);
    rec_xnode = nullptr;
    while (cur_tva) del_tva(cur_tva);
    std::string err = o.err;
    for (int i = 0; i < 2 && !err.empty(); ++i) err.erase(0, err.find('\n') + 1);
    return o.out + err;
  }
  AC* ac = nullptr;
  set* members = nullptr;
};

TEST_F(Synonyms, NumberTheColumnsInEitherOrder) {
  EXPECT_EQ(print("_var[1] + 10 * _var[3], _varname[3]"), "64 y[2]\n");
  EXPECT_EQ(print("_svar[1], _svarname[2]"), "6 x\n");
}

TEST_F(Synonyms, SubscriptOutsideTheCountIsRefused) {
  for (const auto& [sub, shown] : {
           std::pair{"0", "0"},
           {"_nvars + 1", "4"},
           {"1.5", "1.5"},
           {"'a'", "'a'"},
       }) {
    EXPECT_EQ(print(std::string("_var[") + sub + "]"),
              std::string("\tCan't evaluate _var[") + shown +
                  "]:\n\tsubscript not in 1 .. 3\n")
        << sub;
  }
  EXPECT_EQ(print("_svar[3]"),
            "\tCan't evaluate _svar[3]:\n\tsubscript not in 1 .. 2\n");
}

class Dots : public test::InstanceTest {
 protected:
  void SetUp() override {
    InstanceTest::SetUp();
    parse_text(
        "var x {1..3};\nsubject to c {i in 1..3}: x[i] >= 0;\n"
        "minimize o: x[1];\nmaximize m: x[2];\n");
    c = static_cast<constr*>(decl("c"));
    give_members(c, {1, 2, 3}, 0);
    figalloc(c);
    x = var_named("x");
    give_members(x, {1, 2, 3}, 0);
    figalloc(x);
    auto dbl = [&] {
      return static_cast<double*>(new_mblk(x->gen.member_class, 1));
    };
    x->gen.lb = dbl();
    x->gen.ub = dbl();
    x->gen.init_vals = dbl();
    x->gen.lb[0] = 0, x->gen.ub[0] = 10, x->gen.init_vals[0] = 3;
    x->gen.lb[1] = 0, x->gen.ub[1] = 10;
    x->gen.lb[2] = negInfinity, x->gen.ub[2] = Infinity;
    tva = new_tva();
    std::memset(tva->ac, 0, sizeof(AC));
    ac = tva->ac;
  }
  void TearDown() override {
    set_trans_state(0);
    std::memset(ac, 0, sizeof(AC));  // the tests' arrays are their own
    del_tva(tva);
    InstanceTest::TearDown();
  }
  double dot(int code, int32_t k) { return dotvalue(code, x, k, tva); }
  var* x = nullptr;
  constr* c = nullptr;
  TVA* tva = nullptr;
  AC* ac = nullptr;
};

TEST_F(Dots, BoundsFollowPresolveAndDeclaredOnesStay) {
  const double I = Infinity;
  // Codes: lb 3, ub 4, lb0 5, ub0 6, val 11, slack 17, lslack 18,
  // uslack 19, no 21, sno 22.
  const int codes[] = {3, 4, 5, 6, 11, 17, 18, 19, 21, 22};
  const double before[] = {0, 10, 0, 10, 3, 3, 3, 7, 1, 0};
  const double free_member[] = {-I, I, -I, I, 0, I, I, I, 3, 0};
  for (size_t i = 0; i < std::size(codes); ++i) {
    EXPECT_EQ(dot(codes[i], 0), before[i]) << codes[i];
    EXPECT_EQ(dot(codes[i], 2), free_member[i]) << codes[i];
  }
  // Presolved: x[1] sent first with bounds 1 .. 4 and value 2; x[2]
  // removed (no sno), defined by body 2.
  double lb[3] = {1, 0, 0}, ub[3] = {4, 10, 10}, vals[3] = {2, 5, 0};
  double lb2[3] = {-1, 0, 0};
  int32_t pos[3] = {0, 2, 1};
  uint32_t status[3] = {0, DV_NONLIN, 0};
  int32_t dv_cmap[3] = {0, 2, 0};
  ac->var_lb = lb;
  ac->var_ub = ub;
  ac->var_lb_alt = lb2;
  ac->var_init_val = vals;
  ac->var_pos = pos;
  ac->var_status = status;
  ac->dv_cmap = dv_cmap;
  ac->n_var = 3;
  ac->n_var_sent = 1;
  set_trans_state(3);
  const double after[] = {1, 4, 0, 10, 2, 1, 1, 2, 1, 1};
  for (size_t i = 0; i < std::size(codes); ++i)
    EXPECT_EQ(dot(codes[i], 0), after[i]) << codes[i];
  EXPECT_EQ(dot(7, 0), 1);    // lb1
  EXPECT_EQ(dot(9, 0), -1);   // lb2
  EXPECT_EQ(dot(0, 1), 2);    // defeqn
  EXPECT_EQ(dot(0, 0), 0);
  EXPECT_EQ(dot(21, 1), 2);   // no kept
  EXPECT_EQ(dot(22, 1), 0);   // sno of a removed column
  EXPECT_EQ(dot(11, 1), 5);
}

TEST_F(Dots, ConstraintRowsInAndOutOfTheProblem) {
  // c[1] is row 0, c[2] dropped, c[3] row 1 (sent first); declared
  // bounds 0 .. 10, bodies 4, 12, 1.
  auto dbl = [&] {
    return static_cast<double*>(new_mblk(c->gen.member_class, 1));
  };
  c->gen.lb = dbl();
  c->gen.ub = dbl();
  c->gen.consts = dbl();
  const double body[3] = {4, 12, 1};
  for (int k = 0; k < 3; ++k)
    c->gen.lb[k] = 0, c->gen.ub[k] = 10, c->gen.consts[k] = -body[k];
  c->gen.member_status[1] = GS_DROPPED;
  c->gen.n_in_prob = 2;
  double lbs[2] = {1, 2}, lb[2] = {0, 0}, ub[2] = {10, 10};
  double duals[2] = {3, 5};
  int32_t pos[2] = {1, 0};
  ac->con_lb = lb;
  ac->con_ub = ub;
  ac->con_lb_sent = lbs;
  ac->con_duals = duals;
  ac->con_pos = pos;
  ac->n_con = ac->n_con_sent = 2;
  set_trans_state(3);
  // Codes: lb 24, ub 25, lbs 26, body 32, slack 33, lslack 34, uslack 35,
  // dual 36, no 41, sno 42, astatus_num 43.
  const int codes[] = {24, 25, 26, 32, 33, 34, 35, 36, 41, 42, 43};
  const double want[3][11] = {{0, 10, 1, 4, 4, 4, 6, 3, 1, 2, 0},
                              {0, 10, 0, 12, -2, 12, -2, 0, 0, 0, 1},
                              {0, 10, 2, 1, 1, 1, 9, 5, 2, 1, 0}};
  for (int k = 0; k < 3; ++k)
    for (size_t i = 0; i < std::size(codes); ++i)
      EXPECT_EQ(dotvalue(codes[i], c, k, tva), want[k][i])
          << "member " << k << " code " << codes[i];
}

TEST_F(Dots, ObjectiveSenseAndSolveRecord) {
  auto* o = static_cast<constr*>(decl("o"));
  auto* m = static_cast<constr*>(decl("m"));
  give_member(o, 3);
  give_member(m, 4);
  EXPECT_EQ(dotvalue(99, o, 0, tva), 1);  // sense_num
  EXPECT_EQ(dotvalue(99, m, 0, tva), -1);
  // Before a solve: exitcode and result_num -1; then the record's.
  EXPECT_EQ(dotvalue(94, o, 0, tva), -1);
  EXPECT_EQ(dotvalue(97, o, 0, tva), -1);
  objsolve rec{.result_num = 0, .exitcode = 2, .result = nullptr,
               .message = nullptr};
  o->gen.solves = &rec;
  EXPECT_EQ(dotvalue(94, o, 0, tva), -1);  // no result text: no record
  rec.result = new_cstring("solved");
  EXPECT_EQ(dotvalue(94, o, 0, tva), 2);
  EXPECT_EQ(dotvalue(97, o, 0, tva), 0);
  o->gen.solves = nullptr;
  zap_cstr(&rec.result);
  // val: the objective's body, its constant here.
  o->gen.consts = static_cast<double*>(new_mblk(0, 1));
  o->gen.consts[0] = 7;
  EXPECT_EQ(dotvalue(100, o, 0, tva), 7);
}

TEST_F(Dots, LogicalConstraintValueIsItsTruth) {
  // c[1] holds 1 < 2, c[2] 3 < 2: val and val_num are 1 and 0.
  c->gen.logexpr = static_cast<expr**>(new_mblk(c->gen.member_class, 1));
  c->gen.logexpr[0] = new_expr(opword(LT, EF_NUMERIC), new_num(1), new_num(2));
  c->gen.logexpr[1] = new_expr(opword(LT, EF_NUMERIC), new_num(3), new_num(2));
  set_trans_state(3);
  EXPECT_EQ(dotvalue(106, c, 0, tva), 1);
  EXPECT_EQ(dotvalue(107, c, 1, tva), 0);
  ldelete(c->gen.logexpr[0]);
  ldelete(c->gen.logexpr[1]);
}

}  // namespace
}  // namespace vexo
