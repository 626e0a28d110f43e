// The input stack: the include path, the nesting limit, a file not found,
// line directives, the resumed token and the levels kept across a reset.
#include "session/include.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "frontend/frontend_fixture.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "session/infiles.h"
#include "session/startup.h"
#include "support/filename.h"
#include "support/message.h"
#include "test_util.h"

namespace vexo {
namespace {

using test::run_captured;

class Include : public ::testing::Test, protected test::InputDir {
 protected:
  void SetUp() override {
    test::start_session();
    enter("/tmp/vexo_incl_XXXXXX");
    inputs({"top.mod", "t1 t2\nt3\n"});
    nextline();
  }
  void TearDown() override {
    end_include(0);
    set_inclpath(".");
    interactive = 0;
    leave();
  }
  // The text of the current line not read yet, reading the next line
  // first when none is left.
  static std::string rest() {
    if (nextc >= lastc && !nextline()) return "<end>";
    return std::string(nextc, lastc);
  }
};

TEST_F(Include, SearchAlongThePath) {
  mkdir("d1", 0755);
  mkdir("d2", 0755);
  write_file("d2/x.mod", "in d2\n");
  write_file("x.mod", "here\n");
  struct row {
    const char* path;
    const char* name;
    const char* opened;
    const char* text;
  } rows[] = {
      {"d1\nd2", "x.mod", "d2/x.mod", "in d2\n"},  // the second directory
      {"d1/\n  d2  \n", "x.mod", "d2/x.mod", "in d2\n"},  // "/" and blanks
      {"d1\nd2", "./x.mod", "x.mod", "here\n"},           // only here
      {"d1\n.", "x.mod", "x.mod", "here\n"},              // a last "." is bare
      {"d2\t.", "x.mod", "d2/x.mod", "in d2\n"},          // a tab ends a line
      {"", "x.mod", "x.mod", "here\n"},                   // no path: as given
      {"d1\nd2", "<echo piped", "<echo piped", "piped\n"},  // a command
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    set_inclpath(r.path);
    auto out = run_captured([&] { include(r.name, 0, 1); });
    EXPECT_FALSE(out.aborted || out.exited) << out.err;
    EXPECT_EQ(nfs, 1);
    EXPECT_STREQ(infname, r.opened);
    EXPECT_EQ(rest(), r.text);
    end_include(0);
  }
  // The path's first directory is not the current one.
  set_inclpath("d1\nd2");
  EXPECT_EQ(pathmax, 2);
  write_file("y.mod", "here\n");
  interactive = 1;  // at the terminal: the command is abandoned
  infile = 0;
  bailquit = 0;
  auto out = run_captured([] { include("y.mod", 0, 1); });
  EXPECT_TRUE(out.aborted);
  EXPECT_EQ(out.err, "\n\tCan't find  file \"y.mod\"\n");
  EXPECT_EQ(nfs, 0);
}

TEST_F(Include, AbsoluteNameAndStandardInput) {
  set_inclpath("nowhere");
  std::string abs = dir_ + "/x.mod";
  write_file("x.mod", "abs\n");
  include(abs.c_str(), 0, 1);
  EXPECT_EQ(rest(), "abs\n");
  include("-", 0, 1);
  EXPECT_EQ(infile, 0);
  EXPECT_STREQ(infname, "-");
  EXPECT_EQ(nfs, 2);
  end_include(0);
  EXPECT_STREQ(infname, "top.mod");
}

// Twelve levels open; the thirteenth ends the session with the stack.
TEST_F(Include, ThirteenthLevelEndsTheSession) {
  write_file("f.mod", "f\n");
  auto out = run_captured([] {
    for (int i = 0; i < 13; ++i) include("f.mod", 0, 1);
  });
  EXPECT_TRUE(out.exited);
  EXPECT_EQ(out.code, 2 | 4);
  std::string want =
      "\n\tincludes nested too deeply\n\ninclude stack...\n"
      "\ttop.mod, line 1 includes\n";
  for (int i = 0; i < 11; ++i) want += "\tf.mod, line 1 includes\n";
  want += "\tf.mod\n";
  EXPECT_EQ(out.err, want);
  EXPECT_EQ(nfs, MAX_INCLUDES);
}

TEST_F(Include, FileNotFound) {
  // A session reading a file ends with the return code ORed with 4, after
  // the include stack.
  write_file("f.mod", "f\n");
  include("f.mod", 0, 1);
  auto out = run_captured([] { include("nofile", 0, 1); });
  EXPECT_TRUE(out.exited);
  EXPECT_EQ(out.code, 2 | 4);
  EXPECT_EQ(out.err,
            "\n\tCan't find  file \"nofile\"\n\ninclude stack...\n"
            "\ttop.mod, line 1 includes\n\tf.mod\n");
  // The name is cut at 200 characters.
  end_include(0);
  interactive = 1;
  infile = 0;
  bailquit = 0;
  std::string name(300, 'n');
  out = run_captured([&] { include(name.c_str(), 0, 1); });
  EXPECT_TRUE(out.aborted);
  EXPECT_EQ(out.err, "\n\tCan't find  file \"" + name.substr(0, 200) + "\"\n");
}

TEST_F(Include, BlankNameAndBadSyntax) {
  include("  ", 0, 1);
  EXPECT_EQ(nfs, 0);
  auto out = run_captured([] { include("", -1, 1); });
  EXPECT_EQ(out.err, "\n\tinvalid include syntax\n");
  EXPECT_EQ(nextc, lastc);  // the rest of the line is skipped
  EXPECT_EQ(nfs, 0);
}

TEST_F(Include, ServerModeRefusesPathNames) {
  Serving = 1;
  write_file("f.mod", "f\n");
  auto out = run_captured([] { include("../f.mod", 0, 1); });
  Serving = 0;
  EXPECT_EQ(out.err,
            "\n\tServer mode: nonalphanumeric file names prohibited.\n");
  EXPECT_EQ(nfs, 0);
}

// The end of an include gives way to its includer at the resume position;
// the statement's file name follows the input.
TEST_F(Include, EndResumesTheIncluder) {
  write_file("a.mod", "a1\n");
  nextc += 3;  // "t1 " read
  stmtfname = "top.mod";
  include("a.mod", 0, 1);
  EXPECT_EQ(stmtfname, nullptr);
  EXPECT_EQ(infile_number, ninfile_number);
  EXPECT_EQ(rest(), "a1\n");
  nextc = lastc;
  EXPECT_EQ(nextline(), 0);
  EXPECT_EQ(end_include(1), 1);
  EXPECT_STREQ(infname, "top.mod");
  EXPECT_STREQ(stmtfname, "top.mod");
  EXPECT_EQ(rest(), "t2\n");
  // Mode 1 passes over includers with nothing left.
  write_file("b.mod", "b\n");
  nextc = lastc;
  include("a.mod", 0, 1);
  EXPECT_EQ(rest(), "a1\n");
  nextc = lastc;
  include("b.mod", 0, 1);
  EXPECT_EQ(end_include(1), 1);
  EXPECT_EQ(nfs, 0);
  EXPECT_EQ(rest(), "t3\n");
  // ... but not over the file of a `commands` command, whose end nextfile
  // settles.
  include("a.mod", 0, 1);
  EXPECT_EQ(rest(), "a1\n");
  nextc = lastc;
  inslev = 1;
  ins_nfs = nfs;
  include("b.mod", 0, 1);
  EXPECT_EQ(end_include(1), 1);
  inslev = ins_nfs = 0;
  EXPECT_EQ(nfs, 1);
  EXPECT_STREQ(infname, "a.mod");
}

// A token being scanned when its file ended is copied to just before the
// resume position, where a message finds it.
TEST_F(Include, TokenCopiedIntoTheResumedLine) {
  write_file("a.mod", "xyz");
  nextc += 6;  // "t1 t2\n" read
  include("a.mod", 0, 1);
  ASSERT_EQ(rest(), "xyz");
  tstart = nextc;
  nextc = lastc;
  end_include(2);
  ASSERT_NE(tstart, nullptr);
  EXPECT_EQ(std::string(tstart, nextc), "xyz");
  EXPECT_EQ(rest(), "t3\n");
}

TEST_F(Include, LineDirectives) {
  struct row {
    const char* comment;
    long line;         // lineno afterwards (the next line is one more)
    const char* name;  // infname afterwards
  } rows[] = {
      {"line 20 \"a.mod\"", 19, "a.mod"},
      {" 7 \"b.mod\"", 6, "b.mod"},
      {"  9 \"\"", 8, "top.mod"},        // an empty name keeps the name
      {" 9\n", 8, "top.mod"},            // a newline right after the number
      {" 20 a.mod", 5, "top.mod"},       // an unquoted name: ignored
      {" 020 \"a.mod\"", 5, "top.mod"},  // a leading 0: ignored
      {" 9 \"open", 5, "top.mod"},       // no closing quote: ignored
      {" 9", 5, "top.mod"},              // a number alone: ignored
      {"line3", 5, "top.mod"},
      {"a comment", 5, "top.mod"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.comment);
    infname = "top.mod";
    lineno = 5;
    adjusted = 0;
    stmtfname = "s";
    snprintf(ibuf, sizeof ibuf, "%s", r.comment);
    incl_check();
    EXPECT_EQ(lineno, r.line);
    EXPECT_STREQ(infname, r.name);
    EXPECT_EQ(adjusted, r.line != 5);
    EXPECT_EQ(stmtfname == nullptr, strcmp(r.name, "top.mod") != 0);
  }
  // An include's name is replaced in its own block, also by a longer one.
  write_file("a.mod", "a\n");
  include("a.mod", 0, 1);
  std::string longer(300, 'l');
  snprintf(ibuf, sizeof ibuf, " 3 \"%s\"", longer.c_str());
  incl_check();
  EXPECT_EQ(infname, longer);
  snprintf(ibuf, sizeof ibuf, " 4 \"s.mod\"");
  incl_check();
  EXPECT_STREQ(infname, "s.mod");
  end_include(0);
}

// A reset frees the pools: the open levels go on at their current lines,
// the top-level name a directive gave included.
TEST_F(Include, ResetKeepsTheOpenLevels) {
  write_file("a.mod", "a1 a2\na3\n");
  write_file("b.mod", "b1 b2\n");
  snprintf(ibuf, sizeof ibuf, " 1 \"renamed.mod\"");
  incl_check();
  nextc += 3;
  include("a.mod", 0, 1);
  ASSERT_EQ(rest(), "a1 a2\n");
  nextc += 3;
  include("b.mod", 0, 1);
  ASSERT_EQ(rest(), "b1 b2\n");
  nextc += 3;
  reset_modules();
  EXPECT_EQ(nfs, 2);
  EXPECT_STREQ(infname, "b.mod");
  EXPECT_EQ(rest(), "b2\n");
  nextc = lastc;
  EXPECT_EQ(nextline(), 0);
  ASSERT_EQ(end_include(1), 1);
  EXPECT_STREQ(infname, "a.mod");
  EXPECT_EQ(rest(), "a2\n");
  nextc = lastc;
  EXPECT_EQ(rest(), "a3\n");
  nextc = lastc;
  EXPECT_EQ(nextline(), 0);
  ASSERT_EQ(end_include(1), 1);
  EXPECT_STREQ(infname, "renamed.mod");
  EXPECT_EQ(rest(), "t2\n");
}

}  // namespace
}  // namespace vexo
