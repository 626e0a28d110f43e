// Problem statistics: the lines by kind of variable, constraint and
// objective, the presolve lines, the tolerance hints, and the statistics
// shown when option show_stats is set after a problem was sent.
#include "instance/stats.h"

#include <gtest/gtest.h>

#include <string>

#include "instance/ac.h"
#include "frontend/decl.h"
#include "instance/instance_fixture.h"
#include "presolve/presolve.h"
#include "report/prex.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "test_util.h"

namespace vexo {
namespace {

class Stats : public test::InstanceTest {
 protected:
  void SetUp() override {
    InstanceTest::SetUp();
    // The option table's defaults, which the fixture does not build.
    display_width = 79;
    presolve_opt = 10;
    presolve_intepsmax = presolve_epsmax = presolve_fixepsmax = 1e-5;
    show_stats = 1;
  }
  void TearDown() override {
    show_stats = 0;
    presolve_sug = 0;
    set_trans_state(0);
    InstanceTest::TearDown();
  }
  // The linear program as presolve sends it unchanged: two
  // variables, two inequalities with 4 nonzeros, one objective with 2.
  static AC* lp() {
    AC* ac = new_ac();
    ac->n_var = ac->n_var_sent = 2;
    ac->n_con = ac->n_con_sent = 2;
    ac->n_obj = 1;
    ac->jac_nonzeros = 4;
    ac->grad_nonzeros = 2;
    return ac;
  }
  static std::string shown(AC* ac) {
    return test::run_captured([&] { statshow(ac); }).out;
  }
};

TEST_F(Stats, SmallLinearProgram) {
  EXPECT_EQ(shown(lp()),
            "\n2 variables, all linear\n"
            "2 constraints, all linear; 4 nonzeros\n"
            "\t2 inequality constraints\n"
            "1 linear objective; 2 nonzeros.\n\n");
}

// Each case changes the small program and names the lines it expects
// (the others stay as above).
TEST_F(Stats, KindsAndCounts) {
  struct {
    const char* what;
    void (*change)(AC*);
    const char* lines;
  } cases[] = {
      {"binary, integer, linear",
       [](AC* ac) {
         ac->n_var = ac->n_var_sent = 3;
         ac->n_lin_bin = ac->n_lin_int = 1;
       },
       "\n3 variables:\n\t1 binary variable\n\t1 integer variable\n"
       "\t1 linear variable\n2 constraints"},
      {"one variable", [](AC* ac) { ac->n_var = ac->n_var_sent = 1; },
       "\n1 variable, all linear\n"},
      {"no constraint sent",
       [](AC* ac) { ac->n_con = ac->n_con_sent = 0; },
       "all linear\n0 constraints\n1 linear objective"},
      {"one nonzero, no objective",
       [](AC* ac) {
         ac->jac_nonzeros = 1;
         ac->n_obj = 0;
       },
       "; 1 nonzero\n\t2 inequality constraints\n0 objectives.\n\n"},
      {"nonlinear and range rows",
       [](AC* ac) {
         ac->n_nonlin_con = 1;
         ac->n_nlv_con = 1;
         ac->n_range_con = 1;
         ac->n_eq_con = 1;
       },
       "2 variables:\n\t1 nonlinear variable\n\t1 linear variable\n"
       "2 constraints; 4 nonzeros\n\t1 nonlinear constraint\n"
       "\t1 linear constraint\n\t1 equality constraint\n"
       "\t1 range constraint\n"},
      {"objectives, one nonlinear",
       [](AC* ac) {
         ac->n_obj = 3;
         ac->n_nonlin_obj = 1;
       },
       "3 objectives, 1 nonlinear; 2 nonzeros.\n\n"},
      {"eliminated row",
       [](AC* ac) { ac->n_con = 3; },
       "\nPresolve eliminates 1 constraint.\nAdjusted problem:\n2 variables"},
      {"eliminated rows and variable",
       [](AC* ac) {
         ac->n_con = 4;
         ac->n_var = 3;
       },
       "\nPresolve eliminates 2 constraints and 1 variable.\n"
       "Adjusted problem:\n"},
      {"logical and arithmetic",
       [](AC* ac) {
         ac->n_con = 5;
         ac->n_logical = 2;
       },
       "\nPresolve eliminates 1 arithmetic and 2 logical constraints.\n"
       "Adjusted problem:\n"},
  };
  for (auto& c : cases) {
    AC* ac = lp();
    c.change(ac);
    std::string s = shown(ac);
    EXPECT_NE(s.find(c.lines), std::string::npos) << c.what << ":\n" << s;
    *ac = AC{};
  }
  // Nothing to show without rows.
  AC* ac = new_ac();
  ac->n_var = 2;
  EXPECT_EQ(shown(ac), "");
}

TEST_F(Stats, PresolveLevelLine) {
  show_stats = 2;
  presolve_sug = 0;
  std::string s = shown(lp());
  EXPECT_EQ(s.substr(0, s.find("2 variables")),
            "\n\"option presolve 10;\" used, but \"option presolve 0;\" would "
            "suffice.\n");
  presolve_opt = 1;
  presolve_sug = 10;
  s = shown(lp());
  EXPECT_NE(s.find("but \"option presolve 10;\" might work better.\n2 var"),
            std::string::npos)
      << s;
  presolve_sug = 1;
  s = shown(lp());
  EXPECT_NE(s.find("\"option presolve 1;\" used.\n2 var"), std::string::npos)
      << s;
}

TEST_F(Stats, ToleranceHints) {
  auto hint = [](double lo, double hi) {
    return test::run_captured([&] { epsprint(lo, hi, 1e-5, "eps"); }).out;
  };
  EXPECT_EQ(hint(1e-6, 2e-6),
            "Setting $presolve_eps < 8e-07 or >= 2.4e-06 could change "
            "presolve results.\n\n");
  EXPECT_EQ(hint(1e-6, 1e-3),  // high beyond the maximum
            "Setting $presolve_eps < 8e-07 could change presolve "
            "results.\n\n");
  EXPECT_EQ(hint(0, 1e-3), "");
  display_width = 30;
  EXPECT_EQ(hint(1e-6, 2e-6),
            "Setting $presolve_eps < 8e-07\n or >= 2.4e-06\ncould change "
            "presolve results.\n\n");
  // statshow gives the hints of the record's tolerance pairs.
  display_width = 79;
  AC* ac = lp();
  ac->inteps_chg = 1e-6;
  EXPECT_NE(shown(ac).find(".\n\nSetting $presolve_inteps < 8e-07 could"),
            std::string::npos);
}

// Setting show_stats once a problem was sent shows its statistics.
TEST_F(Stats, SettingTheOptionShowsTheLastProblem) {
  lp();
  set_trans_state(3);
  auto r = test::run_captured([] { update_show_stats("1", &show_stats); });
  EXPECT_EQ(r.out.substr(0, 25), "\n2 variables, all linear\n");
  set_trans_state(2);
  r = test::run_captured([] { update_show_stats("1", &show_stats); });
  EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace vexo
