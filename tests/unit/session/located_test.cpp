// The return-code rule, the warning limit and the caution bit.
#include "session/located.h"

#include <gtest/gtest.h>

#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "session/loop.h"
#include "session/startup.h"
#include "support/message.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::run_captured;

class Located : public ::testing::Test {
 protected:
  void SetUp() override {
    init_tok_types();
    rc = 0;
    warnings = warn0 = 0;
    eexit = eexit_save = 10;
    warn_exit = 0;
    interactive = 0;
    infile = 0;
    parse_time = 0;
    Cautions = 1;
  }
  void TearDown() override {
    interactive = 0;
    eexit = 0;
    rc = 0;
  }
};

TEST_F(Located, ReturnCodeBits) {
  struct row {
    int interactive, infile, warn_exit, bit, want;
  } rows[] = {
      {0, 0, 0, 2, 2},   // a batch session: always
      {1, 3, 0, 2, 2},   // interactive, reading a file
      {1, 0, 1, 2, 2},   // the error limit ends the program
      {1, 0, 0, 2, 0},   // typed at the terminal: untouched
      {1, 0, 0, 16, 16}, // ... except for bits above 8
  };
  for (const row& r : rows) {
    rc = 0;
    interactive = r.interactive;
    infile = r.infile;
    warn_exit = r.warn_exit;
    set_rc_bit(r.bit);
    EXPECT_EQ(rc, r.want) << r.interactive << r.infile << r.warn_exit;
  }
}

TEST_F(Located, WarningLimitAbortsOrEnds) {
  eexit = eexit_save = 3;
  interactive = 1;  // at the terminal an abort does not end the session
  auto r = run_captured([] {
    warninc(0);
    warninc(0);
    warninc(0);
  });
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.err, "\nBailing out after 3 warnings.\n");
  EXPECT_EQ(warnings, 0);

  interactive = 0;
  warn_exit = 1;
  rc = 0;
  r = run_captured([] {
    for (int i = 0; i < 3; ++i) error(0, "e%d", i);
  });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "\n\te0\n\n\te1\n\n\te2\n\nBailing out after 3 warnings.\n");
}

TEST_F(Located, CautionSetsTheErrorBitOnlyWhenTreatedAsError) {
  for (int c : {0, 1, 2}) {
    Cautions = c;
    rc = 0;
    auto r = run_captured([] { error(2, "careful"); });
    EXPECT_EQ(rc, c == 2 ? 2 : 0) << "Cautions " << c;
    EXPECT_EQ(r.err, c ? "\n\tCaution: careful\n" : "") << "Cautions " << c;
  }
}

TEST_F(Located, BailQuit) {
  EXPECT_EQ(bail_quit(), 1);  // not interactive
  interactive = 1;
  infile = 0;
  EXPECT_EQ(bail_quit(), 0);  // at the terminal the session goes on
  infile = 5;
  EXPECT_EQ(bail_quit(), 1);
}

TEST_F(Located, BadFileNameCharacter) {
  EXPECT_EQ(badfname("cbc_2.x-y+z"), 0);
  EXPECT_EQ(badfname("a b"), ' ');
  EXPECT_EQ(badfname("x;rm"), ';');
}

}  // namespace
}  // namespace vexo
