// The options taken over from the process environment and the built-in
// rows start-up needs.
// The fixtures first: session/options.h's evalue (an option's value) hides
// the evaluator's value type of the same name that they use.
#include "frontend/frontend_fixture.h"

#include "session/options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frontend/neighbours.h"
#include "session/located.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "test_util.h"

extern char** environ;

namespace vexo {
namespace {

bool in_env_db(const char* text) {
  for (int i = 0; i < env_n; ++i)
    if (strcmp(env_db[i], text) == 0) return true;
  return false;
}

TEST(Options, StartFromTheProcessEnvironment) {
  test::start_session();
  char e1[] = "solver=first", e2[] = "solver=second", e3[] = "%bad=1",
       e4[] = "Cautions=2", e5[] = "eexit=3", e6[] = "FOO";
  char* fake[] = {e1, e2, e3, e4, e5, e6, nullptr};
  char** real = environ;
  environ = fake;
  envinit();
  EXPECT_EQ(environ, env_db);
  EXPECT_STREQ(evalue("solver"), "first");  // the first occurrence wins
  EXPECT_STREQ(solver, "first");
  EXPECT_EQ(Cautions, 2);
  EXPECT_EQ(eexit, 3);
  EXPECT_EQ(warn_exit, 1);
  EXPECT_STREQ(evalue("FOO"), "");
  EXPECT_FALSE(in_env_db("%bad=1"));
  EXPECT_FALSE(in_env_db("solver=second"));
  // Table defaults of options the environment lacks.
  EXPECT_STREQ(evalue("TMPDIR"), "/tmp/");
  EXPECT_STREQ(tmpdir, "/tmp/");
  EXPECT_EQ(stdin_offset, 0);
  EXPECT_TRUE(in_env_db("insertprompt=<%d>"));
  EXPECT_EQ(evalue("no_such_option"), nullptr);

  // Setting: the cell, the text in env_db, the handler each time.
  setoption("eexit", "-5");
  EXPECT_EQ(eexit, 5);
  EXPECT_EQ(warn_exit, 0);
  EXPECT_TRUE(in_env_db("eexit=-5"));
  eexit = 0;
  setoption("eexit", "-5");
  EXPECT_EQ(eexit, 5);  // the handler runs on an unchanged value too
  setoption("brand_new", "x");
  EXPECT_TRUE(in_env_db("brand_new=x"));
  EXPECT_EQ(getenv("brand_new"), std::string("x"));

  reset_environ();
  EXPECT_EQ(environ, fake);
  environ = real;
  eexit = eexit_save = 0;
  warn_exit = 0;
  Cautions = 1;
}

TEST(Options, NumbersWithTrailingTextGiveACaution) {
  test::start_session();
  Cautions = 1;
  int cell = 0;
  auto r = test::run_captured([&] { update_int("5x", &cell); });
  EXPECT_EQ(cell, 5);
  EXPECT_EQ(r.err, "\n\tCaution: treating \"5x\" as \"5\".\n");
  r = test::run_captured([&] { update_int("abc", &cell); });
  EXPECT_EQ(cell, 0);
  EXPECT_EQ(r.err, "\n\tCaution: treating \"abc\" as \"0\".\n");
  Cautions = 0;
  r = test::run_captured([&] { update_int("99999", &cell); });
  EXPECT_EQ(cell, 32767);
  EXPECT_EQ(r.err, "");
  Cautions = 1;
}

}  // namespace
}  // namespace vexo
