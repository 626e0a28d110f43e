// The auxiliary files beside the problem file: names of rows and columns
// (and their lengths in the nl header), objective constants, rows and
// columns presolve removed, the solver settings file after an MPS file, the
// choice by upper-case letters, and the removal of stale files.
#include "solver/auxfiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "instance/ac.h"
#include "session/opttable.h"
#include "solver/nl_fixture.h"
#include "solver/output.h"
#include "solver/solve.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::NlTest;
using test::plain_problem;

class AuxFiles : public NlTest {
 protected:
  void SetUp() override {
    NlTest::SetUp();
    parse_text(test::lp_model);
    mpsfile_numwidth = 12;
  }
  void TearDown() override {
    auxfiles = "";
    spec_insert = "";
    show_files = 0;
    mpsfile_numwidth = 0;
    NlTest::TearDown();
  }
  test::outcome write(AC* ac, const char* o, const char* aux) {
    outopt = o;
    auxfiles = aux;
    return test::run_captured([&] { output(ac); });
  }
  // aux_before alone, for records that presolve would have left.
  test::outcome before(AC* ac, const char* aux) {
    auxfiles = aux;
    return test::run_captured([&] {
      int lens[2];
      aux_before(ac, "foo", lens);
    });
  }
  static bool exists(const char* name) {
    FILE* f = std::fopen(name, "r");
    if (f) std::fclose(f);
    return f != nullptr;
  }
  static void touch(const char* name) { std::fclose(std::fopen(name, "w")); }
};

TEST_F(AuxFiles, RowAndColumnNamesAndTheirLengths) {
  AC* ac = collect_plain(test::lp_problem());
  show_files = 2;
  auto r = write(ac, "gfoo", "rc");
  ASSERT_EQ(r.err, "");
  EXPECT_EQ(r.out, "File foo.row\nFile foo.col\nFile foo.nl\n");
  EXPECT_EQ(slurp("foo.row"), "c1\nc2\np\n");
  EXPECT_EQ(slurp("foo.col"), "x\ny\n");
  EXPECT_NE(slurp("foo.nl").find("\n 2 1\t# max name lengths"),
            std::string::npos);
  // Not selected: no lengths.
  std::remove("foo.row");
  ASSERT_EQ(write(ac, "gfoo", "").err, "");
  EXPECT_NE(slurp("foo.nl").find("\n 0 0\t# max name lengths"),
            std::string::npos);
  EXPECT_FALSE(exists("foo.row"));
}

TEST_F(AuxFiles, ObjectiveConstants) {
  plain_problem p = test::lp_problem();
  p.objs[0].constant = 1.5;
  AC* ac = collect_plain(p);
  ASSERT_EQ(write(ac, "gfoo", "a").err, "");
  EXPECT_EQ(slurp("foo.adj"), "'p'  1.5\n");
  ac->n_obj = 0;
  ASSERT_EQ(before(ac, "a").err, "");
  EXPECT_EQ(slurp("foo.adj"), "'<no_objectives>' 0\n");
}

// Upper-case letters count only for nonlinear or discrete problems; a
// selected file with nothing to list is not made, and an old one goes.
TEST_F(AuxFiles, NothingToListRemovesTheOldFile) {
  AC* ac = collect_plain(test::lp_problem());
  touch("foo.slc");
  touch("foo.fix");
  ASSERT_EQ(write(ac, "gfoo", "sFC").err, "");
  EXPECT_FALSE(exists("foo.slc"));
  EXPECT_TRUE(exists("foo.fix"));  // "F" does not select it for an LP
  EXPECT_FALSE(exists("foo.col"));
  ac->n_lin_int = 1;
  EXPECT_TRUE(aux_wanted(ac, 'c'));
  EXPECT_FALSE(aux_wanted(ac, 'r'));
  ac->n_lin_int = 0;
}

// What presolve removed: a constraint (in .slc), a fixed column (in .fix
// only with "v" too), and columns eliminated or left out.
TEST_F(AuxFiles, RemovedRowsAndColumns) {
  AC* ac = collect_plain(test::lp_problem());
  // Sent: c1 and x; c2 removed, y fixed at 2.5.
  ac->n_con_sent = 1;
  ac->n_var_sent = 1;
  ac->var_lb[1] = ac->var_ub[1] = 2.5;
  ASSERT_EQ(before(ac, "sf").err, "");
  EXPECT_EQ(slurp("foo.slc"), "c2\n");
  EXPECT_FALSE(exists("foo.fix"));
  ASSERT_EQ(before(ac, "fv").err, "");
  EXPECT_EQ(slurp("foo.fix"), "y\t2.5\n");
  // y eliminated by a linear definition instead: listed without "v".
  ac->var_status[1] = DV_LINEAR;
  ASSERT_EQ(before(ac, "fu").err, "");
  EXPECT_EQ(slurp("foo.fix"), "y\t!\n");
  EXPECT_FALSE(exists("foo.unv"));
  // y a member left out: unused.
  ac->var_status[1] = 0x84;
  ASSERT_EQ(before(ac, "fu").err, "");
  EXPECT_EQ(slurp("foo.unv"), "y\n");
  EXPECT_FALSE(exists("foo.fix"));
}

TEST_F(AuxFiles, SettingsFileAfterMps) {
  AC* ac = collect_plain(test::lp_problem());
  spec_insert = "summary frequency 50\nlog frequency 999999";
  auto r = write(ac, "nfoo", "p");
  ASSERT_EQ(r.err, "");
  EXPECT_EQ(slurp("foo.spc"),
            "BEGIN foo\nROWS 3\nCOLUMNS 3\n*true value: COLUMNS 2\n"
            "ELEMENTS 6\nMAXIMIZE\nOBJECTIVE R0003\n* MAXIMIZE R0003 = p\n"
            "summary frequency 50\nlog frequency 999999\nEND foo\n");
  // Not selected: the old one goes.
  ASSERT_EQ(write(ac, "nfoo", "").err, "");
  EXPECT_FALSE(exists("foo.spc"));
  // An auxiliary file that cannot be opened abandons the command.
  r = write(ac, "gnodir/foo", "r");
  EXPECT_TRUE(r.aborted || r.exited);
  EXPECT_NE(r.err.find("can't open nodir/foo.row"), std::string::npos);
}

}  // namespace
}  // namespace vexo
