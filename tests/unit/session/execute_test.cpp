// The least dispatcher: exit with a constant, and every other command
// reported as not implemented yet at its place.
#include "session/execute.h"

#include <gtest/gtest.h>

#include <string>

#include "frontend/expr.h"
#include "frontend/frontend_fixture.h"
#include "frontend/neighbours.h"
#include "session/cmdfiles.h"
#include "session/loop.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "support/message.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

constexpr int EXIT = 66, DISPLAY = 34, SOLVE = 32;

class Execute : public ::testing::Test {
 protected:
  void SetUp() override { test::start_session(); }
  void TearDown() override {
    stepping = 0;
    interactive = 0;
    infile = -1;
  }
};

TEST_F(Execute, CommandNames) {
  EXPECT_STREQ(cmdname[DISPLAY - CMD_KIND_MIN], "display");
  EXPECT_STREQ(cmdname[SOLVE - CMD_KIND_MIN], "solve");
  EXPECT_STREQ(cmdname[EXIT - CMD_KIND_MIN], "exit");
  EXPECT_STREQ(cmdname[81 - CMD_KIND_MIN], "{...}");
  EXPECT_STREQ(cmdname[CMD_KIND_MAX - CMD_KIND_MIN], "snapshot");
}

// The fields of a command whose first expression is e.
cmd_args with_value(expr* e) {
  cmd_args a{};
  a.e[0] = e;
  return a;
}

TEST_F(Execute, ExitWithAConstantEndsTheSessionWithIt) {
  cmd_place where{nullptr, "m.mod", 2, 9, 0};
  cmd_args a = with_value(new_num(3.9));
  auto r = test::run_captured([&] { execute(EXIT, where, &a); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.err, "");
  // exit 0 (also what `exit;` gives): the session's return code.
  rc = 5;
  a = with_value(new_num(0));
  r = test::run_captured([&] { execute(EXIT, where, &a); });
  EXPECT_EQ(r.code, 5);
}

TEST_F(Execute, OtherCommandsAreReportedAtTheirPlace) {
  // A batch session ends at the error, with the error bit.
  cmd_place where{nullptr, "m.mod", 4, 148, 0};
  auto r = test::run_captured([&] { execute(DISPLAY, where, nullptr); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err,
            "Error at _cmdno 1 executing \"display\" command\n"
            "(file m.mod, line 4, offset 148):\n"
            "\n\tdisplay is not implemented yet\n");
  EXPECT_EQ(*sysparam_cell(Cmdno), 1);

  // Typed at a terminal: the command is abandoned and the session goes on;
  // the place of standard input has no file.
  rc = 0;
  interactive = 1;
  infile = 0;
  r = test::run_captured([&] {
    execute(SOLVE, cmd_place{nullptr, nullptr, 1, 0, 0}, nullptr);
  });
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.err,
            "Error executing \"solve\" command:\n"
            "\n\tsolve is not implemented yet\n");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(curcmd, nullptr);  // the command's clean-up ran
  EXPECT_EQ(cmdnum, 0);
  EXPECT_EQ(*sysparam_cell(Cmdno), 2);
}

// A `commands` file that cannot be found, typed at a terminal: the
// command is abandoned and the state it changed comes back.
TEST_F(Execute, CommandsOfAMissingFile) {
  interactive = 1;
  infile = 0;
  stdOut = stdout;
  constexpr int COMMANDS = 47;
  cmd_args a = with_value(new_str(new_cstring("nofile.run")));
  auto r = test::run_captured([&] {
    execute(COMMANDS, cmd_place{nullptr, nullptr, 1, 0, 0}, &a);
  });
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.err,
            "Error executing \"commands\" command:\n"
            "\n\tCan't find  file \"nofile.run\"\n");
  EXPECT_EQ(inslev, 0);
  EXPECT_EQ(nfs, 0);
  EXPECT_EQ(stdOut, stdout);
  EXPECT_EQ(curcmd, nullptr);
}

TEST_F(Execute, AKindOutsideTheTableIsABug) {
  auto r = test::run_captured([] {
    execute(25, cmd_place{nullptr, nullptr, 0, 0, 0}, nullptr);
  });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Bug: Bad ncmd = 25 in execute()"), std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace vexo
