// The order of the top-level inputs.
#include "session/infiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frontend/frontend_fixture.h"
#include "frontend/reader.h"
#include "session/located.h"
#include "session/startup.h"
#include "support/filename.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo {
namespace {

class Inputs : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vexo_inXXXXXX";
    dir = mkdtemp(tmpl);
    ASSERT_TRUE(getcwd(old, sizeof old));
    ASSERT_EQ(chdir(dir.c_str()), 0);
    std::ofstream("a") << "line of a\n";
    std::ofstream("empty");
    std::ofstream("b") << "line of b\n";
    std::ofstream("-x") << "dash file\n";
    test::start_session();
    read_options = 1;
    at_eof = 0;
  }
  void TearDown() override {
    if (infile > 0) close(infile);
    infile = -1;
    EXPECT_EQ(chdir(old), 0);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    EXPECT_FALSE(ec) << dir << ": " << ec.message();
  }
  // The name and first line of the next input, or "end".
  static std::string next() {
    if (!nextfile(1, 1)) return "end";
    return std::string(infname) + ": " + std::string(nextc, lastc - nextc);
  }
  std::string dir;
  char old[4096];
};

TEST_F(Inputs, FilesInOrderEmptyOnesPassedOver) {
  char* argv[] = {const_cast<char*>("vexo"), const_cast<char*>("a"),
                  const_cast<char*>("empty"), const_cast<char*>("b"), nullptr};
  xargv = argv;
  EXPECT_EQ(next(), "a: line of a\n");
  EXPECT_EQ(next(), "b: line of b\n");
  EXPECT_EQ(next(), "end");
  EXPECT_EQ(next(), "end");  // the end is met again
}

TEST_F(Inputs, DoubleDashEndsTheOptions) {
  char* argv[] = {const_cast<char*>("vexo"), const_cast<char*>("--"),
                  const_cast<char*>("-x"), nullptr};
  xargv = argv;
  EXPECT_EQ(next(), "-x: dash file\n");
  EXPECT_EQ(next(), "end");
}

TEST_F(Inputs, NoInputNameReadsStandardInput) {
  char* argv[] = {const_cast<char*>("vexo"), const_cast<char*>("-w"), nullptr};
  xargv = argv;
  EXPECT_EQ(nextfile(0, 1), 1);  // start-up: opened, nothing read
  EXPECT_EQ(infile, 0);
  EXPECT_STREQ(infname, "-");
  EXPECT_EQ(force_exit_0, 1);
  force_exit_0 = 0;
  EXPECT_EQ(nextfile(1, 1), 0);
}

// A -x value must be a positive number read to its end.
TEST_F(Inputs, BadTimeLimitsEndWithTheUsage) {
  const char* usage =
      "Bad -x option: expected a positive session time limit (wall-clock "
      "seconds)\nafter -x\nUsage: ";
  std::vector<std::vector<const char*>> rows = {
      {"-x0"}, {"-x", "-1"}, {"-x5s"}, {"-x"}, {"-xnan"}};
  for (auto& args : rows) {
    SCOPED_TRACE(args[0] + std::string(args.size() > 1 ? args[1] : ""));
    std::vector<char*> argv = {const_cast<char*>("vexo")};
    for (const char* a : args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    xargv = argv.data();
    read_options = 1;
    auto r = test::run_captured([] { nextfile(1, 1); });
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.substr(0, strlen(usage)), usage);
  }
}

// The start-up scan stops inside an argument at the first letter it does
// not know; the argument is then read here whole.
TEST_F(Inputs, ServerLettersReadWhole) {
  char* argv[] = {const_cast<char*>("vexo"), const_cast<char*>("-Rq"),
                  const_cast<char*>("-Rwq"), const_cast<char*>("a"), nullptr};
  xargv = argv;
  auto r = test::run_captured([] { EXPECT_EQ(next(), "a: line of a\n"); });
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Serving, 2);
  EXPECT_EQ(quote_literals, 1);
  Serving = 0;
  quote_literals = 0;
}

// An input that cannot be opened ends the session with rc + 4 while the
// error limit is set; with no limit the next one is taken.
TEST_F(Inputs, MissingInputs) {
  char* argv[] = {const_cast<char*>("vexo"), const_cast<char*>("nosuch"),
                  const_cast<char*>("a"), nullptr};
  xargv = argv;
  eexit = 10;
  rc = 1;
  auto r = test::run_captured([] { nextfile(1, 1); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 5);
  EXPECT_EQ(r.err, "can't open nosuch\n");
  xargv = argv;
  eexit = 0;
  rc = 0;
  r = test::run_captured([] { EXPECT_EQ(next(), "a: line of a\n"); });
  EXPECT_EQ(r.err, "can't open nosuch\n");
}

// A new top-level input starts without the previous one's line directive
// and statement file.
TEST_F(Inputs, NewInputStartsAfresh) {
  char* argv[] = {const_cast<char*>("vexo"), const_cast<char*>("a"),
                  const_cast<char*>("b"), nullptr};
  xargv = argv;
  EXPECT_EQ(next(), "a: line of a\n");
  adjusted = 1;
  stmtfname = "a";
  int n = infile_number;
  EXPECT_EQ(next(), "b: line of b\n");
  EXPECT_EQ(adjusted, 0);
  EXPECT_EQ(stmtfname, nullptr);
  EXPECT_EQ(infile_number, n + 1);
}

}  // namespace
}  // namespace vexo
