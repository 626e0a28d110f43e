// The MPS problem file: the small linear program byte for byte (file and
// standard output), the number formatter, rows of every type with ranges,
// bound lines, integer markers and their caution, and the refusals.
#include "solver/mpswrite.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "session/opttable.h"
#include "solver/nl_fixture.h"
#include "solver/output.h"
#include "support/machine.h"
#include "support/message.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::NlTest;
using test::plain_problem;

class MpsWrite : public NlTest {
 protected:
  void SetUp() override {
    NlTest::SetUp();
    parse_text(test::lp_model);
    // The option table's defaults, which the fixture does not build.
    mpsfile_numwidth = 12;
    integer_markers = 1;
  }
  void TearDown() override {
    mpsfile_numwidth = 0;
    integer_markers = 0;
    Cautions = 0;
    NlTest::TearDown();
  }
  test::outcome write(AC* ac, const char* o) {
    outopt = o;
    return test::run_captured([&] { output(ac); });
  }
};

const char* const lp_mps =
    "NAME          foo\n"
    "ROWS\n"
    " L  R0001\n"
    " L  R0002\n"
    " N  R0003\n"
    "COLUMNS\n"
    "    C0001     R0001     1\n"
    "    C0001     R0002     1\n"
    "    C0001     R0003     3\n"
    "    C0002     R0001     1\n"
    "    C0002     R0002     3\n"
    "    C0002     R0003     2\n"
    "RHS\n"
    "    B         R0001     4\n"
    "    B         R0002     6\n"
    "BOUNDS\n"
    " UP BOUND     C0002     4\n"
    "ENDATA\n";

TEST_F(MpsWrite, SmallLinearProgramToFileAndStandardOutput) {
  AC* ac = collect_plain(test::lp_problem());
  // An nl file of the same stub left from an earlier write goes.
  std::fclose(std::fopen("foo.nl", "w"));
  auto r = write(ac, "mfoo");
  ASSERT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(slurp("foo.mps"), lp_mps);
  EXPECT_EQ(std::fopen("foo.nl", "r"), nullptr);

  std::remove("foo.mps");
  r = write(ac, "nfoo");
  ASSERT_EQ(r.err, "");
  EXPECT_EQ(r.out, lp_mps);
  EXPECT_EQ(slurp("foo.mps"), "");
}

// Without a stub the name is the input file's, without its extension.
TEST_F(MpsWrite, NameWithoutStub) {
  AC* ac = collect_plain(test::lp_problem());
  const char* saved = infname;
  infname = "dir/diet.run";
  auto r = write(ac, "m");
  infname = nullptr;
  auto u = write(ac, "m");
  infname = saved;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "NAME          diet");
  EXPECT_EQ(u.out.substr(0, u.out.find('\n')), "NAME          Unnamed!");
}

TEST_F(MpsWrite, NumberText) {
  struct {
    int width;
    double x;
    const char* text;
  } cases[] = {
      {12, 1.0 / 3, "0.3333333333"},
      {-12, 1.0 / 3, " 0.333333333"},
      {-12, -1.0 / 3, "-0.333333333"},
      {12, 1e-20 / 3, "3.333333E-21"},
      {12, 1e15, "1E+15"},
      {12, -2.5, "-2.5"},
      {-12, 4, " 4"},
      {40, 0.1, "0.100000000000000005551115123126"},  // width 32
  };
  for (auto& c : cases) {
    mpsfile_numwidth = c.width;
    char b[48];
    int n = mps_numtext(b, c.x);
    EXPECT_EQ(std::string(b, size_t(n)), c.text) << c.width << " " << c.x;
  }
}

// Rows of each type, a range, every bound line, and an integer run whose
// column without upper bound draws the caution after the text.
TEST_F(MpsWrite, RowTypesBoundsAndIntegerMarkers) {
  parse_text("var b binary; var n integer;");
  double inf = Infinity, minf = negInfinity;
  plain_problem p;
  // Sent x, y, b, n; b and n are the discrete columns at the end.
  p.vars = {{"x", minf, 5, 0}, {"y", minf, inf, 0}, {"b", 0, 1, 3},
            {"n", 2, inf, 1}};
  p.lin_bin = p.lin_int = 1;
  p.cons = {{"c1", 1, 3, {{0, 1}, {1, 1}}, 0, 0, nullptr},
            {"c2", 0, 0, {{0, 1}, {2, -1}}, 0, 0, nullptr},
            {"c2", 2, inf, {{3, 1}}, 0, 0, nullptr},
            {"c1", minf, inf, {{1, 1}}, 0, 0, nullptr}};
  p.objs = {{"p", 0, 0, {{2, 1}}, 0, 0, nullptr}};
  AC* ac = collect_plain(p);
  Cautions = 1;
  auto r = write(ac, "nmip");
  EXPECT_EQ(r.out,
            "NAME          mip\n"
            "ROWS\n"
            " G  R0001\n"
            " E  R0002\n"
            " G  R0003\n"
            " N  R0004\n"
            " N  R0005\n"
            "COLUMNS\n"
            "    C0001     R0001     1\n"
            "    C0001     R0002     1\n"
            "    C0002     R0001     1\n"
            "    C0002     R0004     1\n"
            "    INT1      'MARKER'                 'INTORG'\n"
            "    C0003     R0002     -1\n"
            "    C0003     R0005     1\n"
            "    C0004     R0003     1\n"
            "    INT1END   'MARKER'                 'INTEND'\n"
            "RHS\n"
            "    B         R0001     1\n"
            "    B         R0003     2\n"
            "RANGES\n"
            "    RANGE     R0001     2\n"
            "BOUNDS\n"
            " MI BOUND     C0001   \n"
            " UP BOUND     C0001     5\n"
            " FR BOUND     C0002   \n"
            " UP BOUND     C0003     1\n"
            " LO BOUND     C0004     2\n"
            "ENDATA\n");
  EXPECT_NE(r.err.find("1 integer variables have infinite bounds.\n"
                       "\tSolvers vary in their requirements for \"MPS\" "
                       "files\n\tto express these bounds.\n"),
            std::string::npos)
      << r.err;

  integer_markers = 0;
  Cautions = 0;
  r = write(ac, "nmip");
  EXPECT_EQ(r.out.find("MARKER"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

TEST_F(MpsWrite, NoBoundsSectionForDefaultBounds) {
  plain_problem p = test::lp_problem();
  p.vars[1].ub = Infinity;
  AC* ac = collect_plain(p);
  auto r = write(ac, "nfoo");
  EXPECT_EQ(r.out.find("BOUNDS"), std::string::npos);
  EXPECT_NE(r.out.find("RHS\n    B         R0001     4\n    B         R0002"
                       "     6\nENDATA\n"),
            std::string::npos)
      << r.out;
}

// Fixed fields hold seven digits: a larger problem is refused, not
// written misaligned.
TEST_F(MpsWrite, TooManyColumnsRefused) {
  AC* ac = collect_plain(test::lp_problem());
  ac->n_var_sent = MPS_MAX_INDEX + 1;
  auto r = write(ac, "mbig");
  ac->n_var_sent = 2;
  EXPECT_TRUE(r.aborted || r.exited);
  EXPECT_NE(r.err.find("The problem has 10000000 columns; an MPS file "
                       "numbers at most 9999999"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(slurp("big.mps"), "");

  ac->n_nlv_both = 1;
  r = write(ac, "mbig");
  ac->n_nlv_both = 0;
  EXPECT_EQ(r.err,
            "Problem has 1 nonlinear variables.  No MPS file written.\n");
}

}  // namespace
}  // namespace vexo
