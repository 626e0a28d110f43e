// The dispatcher: every kind reaches its handler through the one table;
// the kinds not built yet are reported at their place; the kinds that never
// reach the executor are bugs; exit ends the session with its value.
#include "session/execute.h"

#include <gtest/gtest.h>

#include <string>

#include "frontend/cmdbuild.h"
#include "frontend/expr.h"
#include "frontend/frontend_fixture.h"
#include "session/cmdfiles.h"
#include "session/cmdrec.h"
#include "session/include.h"
#include "session/infiles.h"
#include "session/loop.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"
#include "test_util.h"

namespace vexo {
namespace {

class Execute : public ::testing::Test {
 protected:
  void SetUp() override { test::start_session(); }
  void TearDown() override {
    stepping = 0;
    interactive = 0;
    infile = -1;
  }
};

TEST_F(Execute, CommandNamesAndTable) {
  EXPECT_STREQ(cmdname[CK_DISPLAY - CMD_KIND_MIN], "display");
  EXPECT_STREQ(cmdname[CK_SOLVE - CMD_KIND_MIN], "solve");
  EXPECT_STREQ(cmdname[CK_EXIT - CMD_KIND_MIN], "exit");
  EXPECT_STREQ(cmdname[CK_BRACES - CMD_KIND_MIN], "{...}");
  EXPECT_STREQ(cmdname[CMD_KIND_MAX - CMD_KIND_MIN], "snapshot");
  for (int k = CMD_KIND_MIN; k <= CMD_KIND_MAX; ++k)
    EXPECT_NE(cmdtab[k - CMD_KIND_MIN], nullptr) << cmdname[k - CMD_KIND_MIN];
}

TEST_F(Execute, ExitWithAConstantEndsTheSessionWithIt) {
  cmd_fields* c = start_cmd("e", 1, CK_EXIT);
  c->f()[0].e = new_num(3.9);
  auto r = test::run_captured([&] { execute(c); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.err, "");
  // exit 0 (also what `exit;` gives): the session's return code (one
  // that lets commands run: above 1 an error ended the session's work).
  rc = 1;
  c = start_cmd("e", 1, CK_EXIT);
  c->f()[0].e = new_num(0);
  r = test::run_captured([&] { execute(c); });
  EXPECT_EQ(r.code, 1);
}

// `delete environ E;`, which reports "delete environ not yet implemented".
cmd_fields* delete_environ() {
  cmd_fields* c = start_cmd("eb", 2, CK_DELETE);
  c->f()[0].e = show_item(SHOW_ENVIRON, Symbol("E", 1), 0);
  c->f()[1].i = 0;
  return c;
}

TEST_F(Execute, CommandErrorsAreReportedAtTheirPlace) {
  // A batch session ends at the error, with the error bit.
  cmd_fields* c = delete_environ();
  c->stmtfname = "m.mod";
  c->stmtline = 4;
  c->stmtoffset = 148;
  auto r = test::run_captured([&] { execute(c); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err,
            "Error at _cmdno 1 executing \"delete\" command\n"
            "(file m.mod, line 4, offset 148):\n"
            "\n\tdelete environ not yet implemented\n");
  EXPECT_EQ(*sysparam_cell(Cmdno), 1);

  // Typed at a terminal: the session goes on; the place of standard input
  // has no file.
  rc = 0;
  interactive = 1;
  infile = 0;
  c = delete_environ();
  c->stmtfname = nullptr;
  r = test::run_captured([&] { execute(c); });
  EXPECT_FALSE(r.exited);
  EXPECT_EQ(r.err,
            "Error executing \"delete\" command:\n"
            "\n\tdelete environ not yet implemented\n");
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
  cmd_fields* c = start_cmd("ef", 2, CK_COMMANDS);
  c->stmtfname = nullptr;
  c->f()[0].e = new_str(new_cstring("nofile.run"));
  auto r = test::run_captured([&] { execute(c); });
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.err,
            "Error executing \"commands\" command:\n"
            "\n\tCan't find  file \"nofile.run\"\n");
  EXPECT_EQ(inslev, 0);
  EXPECT_EQ(nfs, 0);
  EXPECT_EQ(stdOut, stdout);
  EXPECT_EQ(curcmd, nullptr);
}

TEST_F(Execute, KindsOutsideTheTableOrNeverExecutedAreBugs) {
  for (int kind : {25, 91, int(CK_THEN), int(CK_RBRACE), int(CK_EMPTY)}) {
    cmd_fields* c = start_cmd("", 0, CK_XREF);
    c->kind = kind;
    auto r = test::run_captured([&] { execute(c); });
    EXPECT_TRUE(r.exited) << kind;
    EXPECT_EQ(r.code, 2) << kind;
    EXPECT_NE(
        r.err.find("Bug: Bad ncmd = " + std::to_string(kind) + " in execute()"),
        std::string::npos)
        << r.err;
    test::start_session();
  }
}

}  // namespace
}  // namespace vexo
