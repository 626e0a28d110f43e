// The order of the top-level inputs.
#include "session/infiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "frontend/frontend_fixture.h"
#include "frontend/neighbours.h"
#include "frontend/reader.h"
#include "session/located.h"
#include "session/startup.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/symbol.h"

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
    EXPECT_EQ(system(("rm -rf " + dir).c_str()), 0);
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
                  const_cast<char*>("empty"), const_cast<char*>("b"),
                  nullptr};
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
  char* argv[] = {const_cast<char*>("vexo"), const_cast<char*>("-w"),
                  nullptr};
  xargv = argv;
  EXPECT_EQ(nextfile(0, 1), 1);  // start-up: opened, nothing read
  EXPECT_EQ(infile, 0);
  EXPECT_STREQ(infname, "-");
  EXPECT_EQ(force_exit_0, 1);
  force_exit_0 = 0;
  EXPECT_EQ(nextfile(1, 1), 0);
}

}  // namespace
}  // namespace vexo
