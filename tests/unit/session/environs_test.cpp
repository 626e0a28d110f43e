// Named environments: the current one after start, switching with the
// handlers run, options defined in one environment only, copying one
// environment into another, indexed members; the option files and the
// environment file of a child.
#include "session/environs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/compdecl.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/expr.h"
#include "options_fixture.h"
#include "report/prex.h"
#include "session/optcmd.h"
#include "session/opttable.h"
#include "support/symbol.h"
#include "support/text.h"
#include "test_util.h"

extern char** environ;

namespace vexo {
namespace {

class Environs : public ::testing::Test {
 protected:
  void SetUp() override {
    static char none[] = "HOME=/nowhere";
    static char* env[] = {none, nullptr};
    real_ = environ;
    test::start_options(env);
  }
  void TearDown() override {
    test::stop_options();
    environ = real_;
  }
  static std::string current() {
    return test::run_captured([] { cur_environ(nullptr); }).out;
  }
  // environ name [= source];
  static void to(const char* name, const char* source = nullptr) {
    test::run_captured([&] {
      environ_cmd(nullptr, Symbol(name, 1), nullptr,
                  source ? Symbol(source, 1) : nullptr, nullptr);
    });
  }
  static void declare(const char* name) {
    test::run_captured([&] { environ_dcl(new_cstring(name), nullptr); });
  }
  // option ENV.name value;
  static void set_in(const char* env, const char* name, const char* value) {
    test::run_captured([&] {
      option_cmd(optioncmd(nullptr, new_str(new_cstring(name)),
                           envsub(new_cstring(env), nullptr),
                           new_str(new_cstring(value))),
                 nullptr);
    });
  }
  static bool in_env_db(const std::string& text) {
    for (int i = 0; i < env_n; ++i)
      if (text == env_db[i]) return true;
    return false;
  }
  char** real_ = nullptr;
};

TEST_F(Environs, InitialIsCurrentAtStart) {
  EXPECT_EQ(current(), "environ Initial;\n");
  EXPECT_NE(env_xnode(Symbol("Current", 0)), nullptr);
  EXPECT_EQ(env_xnode(Symbol("nope", 1)), nullptr);
  auto r =
      test::run_captured([] { environ_dcl(new_cstring("Initial"), nullptr); });
  EXPECT_EQ(r.err, "\n\tInitial is already a declared environment.\n\n");
}

// A new environment starts with the values in effect; changes there leave
// the others alone, and switching back restores their values with the
// handlers run.
TEST_F(Environs, SwitchingRestoresValuesWithHandlers) {
  declare("E");
  to("E");
  EXPECT_EQ(current(), "environ E;\n");
  setoption("display_width", "100");
  setoption("only_in_e", "yes");
  EXPECT_EQ(display_width, 100);
  to("Initial");
  EXPECT_EQ(display_width, 79);  // the handler ran
  EXPECT_STREQ(evalue("display_width"), "79");
  // Defined only in E: undefined here, gone from env_db and from the
  // children's environment.
  EXPECT_STREQ(evalue("only_in_e"), "");
  EXPECT_FALSE(in_env_db("only_in_e=yes"));
  for (char** e = Get_env(); *e; ++e) EXPECT_STRNE(*e, "only_in_e=yes");
  to("E");
  EXPECT_EQ(display_width, 100);
  EXPECT_TRUE(in_env_db("only_in_e=yes"));
  // A qualified name writes another environment; the current one keeps
  // its value.
  setoption("gutter_width", "4");
  set_in("Initial", "gutter_width", "9");
  EXPECT_EQ(gutter_width, 4);
  to("Initial");
  EXPECT_EQ(gutter_width, 9);
  // Current names the values in effect: setting through it is setting the
  // current environment's option, handler included.
  set_in("Current", "gutter_width", "6");
  EXPECT_EQ(gutter_width, 6);
  EXPECT_TRUE(in_env_db("gutter_width=6"));
}

TEST_F(Environs, CopyingAnotherEnvironment) {
  declare("E");
  to("E");
  setoption("display_width", "120");
  to("Initial");
  to("G", "E");  // G is declared by the parser; here by hand first
  EXPECT_EQ(display_width, 79);  // no such environment: nothing happens
  declare("G");
  to("G", "E");
  EXPECT_EQ(current(), "environ G;\n");
  EXPECT_EQ(display_width, 120);
  setoption("display_width", "130");  // G's own copy from now on
  to("E");
  EXPECT_EQ(display_width, 120);
}

// Members of an indexed environment are made on first use and named with
// their subscript; a subscript outside the indexing makes none.
TEST_F(Environs, IndexedMembers) {
  test::run_captured([] {
    set* over = set_enum(new_enum(), 1);
    for (const char* m : {"a", "b"}) {
      symbol* t[1] = {Symbol(m, 1)};
      set_addmem(over, t);
    }
    Index* ix = new Index(nullptr, over, nullptr, 1);
    environ_dcl(new_cstring("F"), new set_spec(ix, nullptr, 1));
    compile();  // as a command citing F would
  });
  xenvir* f = env_xnode(Symbol("F", 0));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->kind, DK_ENVI);
  expr* sub = new_str(new_cstring("b"));
  test::run_captured(
      [&] { environ_cmd(nullptr, Symbol("F", 0), sub, nullptr, nullptr); });
  EXPECT_EQ(current(), "environ F['b'];\n");
  EXPECT_EQ(f->members->nmem, 1);
  auto out = test::run_captured([] {
    environ_cmd(nullptr, Symbol("F", 0), new_str(new_cstring("z")), nullptr,
                nullptr);
  });
  EXPECT_NE(out.err.find("invalid subscript F['z']"), std::string::npos)
      << out.err;
  EXPECT_EQ(current(), "environ F['b'];\n");
  EXPECT_EQ(f->members->nmem, 1);
  setoption("gutter_width", "8");
  expr* qual = envsub(new_cstring("F"), new_str(new_cstring("b")));
  std::string shown =
      test::run_captured([&] {
        option_cmd(optioncmd(nullptr, new_str(new_cstring("gutter_width")),
                             qual, nullptr),
                   nullptr);
      }).out;
  EXPECT_EQ(shown, "option F['b'].gutter_width 8;\n");
  // Without a subscript it is refused.
  auto r = test::run_captured([] { envsub(new_cstring("F"), nullptr); });
  EXPECT_EQ(r.err, "\n\tF must be subscripted\n");
  r = test::run_captured([] { envsub(new_cstring("Initial"), new_num(1)); });
  EXPECT_EQ(r.err, "\n\tInitial cannot be subscripted\n");
  r = test::run_captured([] { envsub(new_cstring("zz"), nullptr); });
  EXPECT_EQ(r.err, "\n\tzz is not an environment\n");
}

// The option files: listed options sorted by name, a file that cannot be
// written named with its option.
TEST_F(Environs, OptionFiles) {
  char dir[] = "/tmp/vexo_optfiles_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string file = std::string(dir) + "/o.txt";
  setoption("OPTIONS_OUT", file.c_str());
  setoption("display_width", "100");
  setoption("made", "two words");
  write_option_files();
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  EXPECT_NE(s.find("option display_width 100;\n"), std::string::npos);
  EXPECT_NE(s.find("option made 'two words';\n"), std::string::npos);
  EXPECT_LT(s.find("option display_width"), s.find("option made"));
  EXPECT_EQ(s.find("HOME"), std::string::npos);  // not listed
  std::string missing = std::string(dir) + "/no/such/dir/o.txt";
  setoption("OPTIONS_OUT", missing.c_str());
  auto r = test::run_captured([] { write_option_files(); });
  EXPECT_EQ(r.err, "can't write OPTIONS_OUT file " + missing + "\n");
  unlink(file.c_str());
  rmdir(dir);
}

// The environment file: every option with a slot as NAME=value, a newline
// inside a value followed by a blank.
TEST_F(Environs, EnvironmentFileContinuesLinesWithABlank) {
  setoption("two", "a\nb");
  char* buf = nullptr;
  size_t len = 0;
  FILE* f = open_memstream(&buf, &len);
  write_environ(f);
  std::string s(buf, len);
  free(buf);
  EXPECT_NE(s.find("two=a\n b\n"), std::string::npos);
  EXPECT_NE(s.find("HOME=/nowhere\n"), std::string::npos);
  EXPECT_LT(s.find("HOME="), s.find("two="));
}

}  // namespace
}  // namespace vexo
