// The option records and the option table: start-up from the process
// environment, the rows and their handlers, option_set with its validators,
// making an option undefined, the exported environment, and the options
// surviving a reset.
#include "session/options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "eval/elemfunc.h"
#include "eval/evalerr.h"
#include "eval/funclib.h"
#include "eval/random.h"
#include "frontend/condcl.h"
#include "frontend/decl.h"
#include "frontend/paramdcl.h"
#include "options_fixture.h"
#include "report/prex.h"
#include "session/include.h"
#include "session/located.h"
#include "session/loop.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "support/filename.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"
#include "support/scratch.h"
#include "support/symbol.h"
#include "test_util.h"

extern char** environ;

namespace vexo {
namespace {

class Options : public ::testing::Test {
 protected:
  // Builds the options from a process environment holding vars.
  void start(std::vector<std::string> vars = {}) {
    vars_ = std::move(vars);
    ptrs_.clear();
    for (std::string& v : vars_) ptrs_.push_back(v.data());
    ptrs_.push_back(nullptr);
    real_ = environ;
    test::start_options(ptrs_.data());
  }
  void TearDown() override {
    test::stop_options();
    if (real_) environ = real_;
    Serving = 0;
    Cautions = 1;
    eexit = eexit_save = 0;
    warn_exit = 0;
    trans_state = 0;
  }
  static bool in_env_db(const std::string& text) {
    for (int i = 0; i < env_n; ++i)
      if (text == env_db[i]) return true;
    return false;
  }
  static std::vector<std::string> exported() {
    std::vector<std::string> v;
    for (char** e = Get_env(); *e; ++e) v.push_back(*e);
    return v;
  }
  static void set(const char* name, const char* value) {
    setoption(name, value);
  }
  static std::string caution_of(const char* name, const char* value) {
    return test::run_captured([&] { setoption(name, value); }).err;
  }

  std::vector<std::string> vars_;
  std::vector<char*> ptrs_;
  char** real_ = nullptr;
};

TEST_F(Options, StartFromTheProcessEnvironment) {
  start({"solver=first", "solver=second", "%bad=1", "Cautions=2", "eexit=3",
         "FOO", "display_width=120", "VEXOFUNC=lib.so"});
  EXPECT_EQ(environ, env_db);
  EXPECT_STREQ(evalue("solver"), "first");  // the first occurrence wins
  EXPECT_STREQ(solver, "first");
  EXPECT_EQ(Cautions, 2);
  EXPECT_EQ(eexit, 3);
  EXPECT_EQ(warn_exit, 1);
  EXPECT_STREQ(evalue("FOO"), "");
  EXPECT_FALSE(in_env_db("%bad=1"));
  EXPECT_FALSE(in_env_db("solver=second"));
  // A value of the environment overrides the table's default, also as the
  // default that a reset goes back to.
  EXPECT_EQ(display_width, 120);
  EXPECT_STREQ(env_lookup("display_width")->dflt, "120");
  // Table defaults of options the environment lacks.
  EXPECT_STREQ(evalue("TMPDIR"), "/tmp/");
  EXPECT_STREQ(tmpdir, "/tmp/");
  EXPECT_TRUE(in_env_db("insertprompt=<%d>"));
  EXPECT_EQ(evalue("no_such_option"), nullptr);
  EXPECT_EQ(Get_env("no_such_option"), nullptr);
  EXPECT_STREQ(evalue("vexofunc0"), "lib.so");
  // Listed: the table's options, not the inherited ones.
  EXPECT_EQ(env_lookup("FOO")->listed, 0);
  EXPECT_EQ(env_lookup("display_width")->listed, 1);
  EXPECT_EQ(env_lookup("TMPDIR")->listed, 1);
}

TEST_F(Options, TableRowsAndDefaults) {
  start();
  std::set<std::string> names;
  for (const opt_row& r : estuff) {
    EXPECT_TRUE(names.insert(r.name).second) << r.name;
    env_info* e = env_lookup(r.name);
    ASSERT_NE(e, nullptr) << r.name;
    EXPECT_EQ(e->listed, 1) << r.name;
    if (r.dflt) {
      EXPECT_STREQ(evalue(r.name), r.dflt) << r.name;
    }
  }
  EXPECT_EQ(names.size(), 128u);
  // The cells after start-up: a sample of every kind of handler.
  EXPECT_EQ(display_width, 79);
  EXPECT_EQ(gutter_width, 3);
  EXPECT_EQ(bad_subscripts, 3);
  EXPECT_EQ(presolve_opt, 10);
  EXPECT_EQ(eexit, 10);
  EXPECT_EQ(warn_exit, 0);
  EXPECT_EQ(randparam_warn, 1);
  EXPECT_EQ(convert_logical, 1);
  EXPECT_EQ(allow_NaN, 0);
  EXPECT_EQ(randseed_ZEF, 1u);
  EXPECT_EQ(pl_bigM, 1e6);
  EXPECT_EQ(presolve_inteps, 1e-6);
  EXPECT_EQ(disp_info.fmt, gfmt);
  EXPECT_EQ(disp_info.active, 6);
  EXPECT_EQ(soln_info.active, -1);
  EXPECT_EQ(shell_ecm[0], 65536);  // a wait status: not cut at 32767
  EXPECT_STREQ(opt_files[3].value, "");
  EXPECT_STREQ(table_debug_template, "%.dbtab");
  EXPECT_STREQ(evalue("spec_insert"),
               "summary frequency 50\nlog frequency 999999");
  EXPECT_STREQ(evalue("version"),
               "VEXO Development Version 20240404 (Linux-1, 64-bit)");
  const char* sense = evalue("sense_table");
  EXPECT_STREQ(sense, "\n-1\tminimize\n1\tmaximize\n");
  EXPECT_EQ(std::string(evalue("astatus_table")).rfind("\n7\trand\t", 0),
            std::string::npos);
}

// The numeric handlers: the number read, the clamps, the cautions.
TEST_F(Options, NumbersWithTrailingTextGiveACaution) {
  start();
  EXPECT_EQ(caution_of("presolve", "5x"),
            "\n\tCaution: treating \"5x\" as \"5\".\n");
  EXPECT_EQ(presolve_opt, 5);
  EXPECT_STREQ(evalue("presolve"), "5x");  // the text stays as given
  EXPECT_EQ(caution_of("presolve_warnings", "abc"),
            "\n\tCaution: treating \"abc\" as \"0\".\n");
  EXPECT_EQ(presolve_warnings, 0);
  EXPECT_EQ(caution_of("display_precision", "abc"),
            "\n\tCaution: treating \"abc\" as \"\".\n");
  Cautions = 0;
  EXPECT_EQ(caution_of("presolve", "99999"), "");
  EXPECT_EQ(presolve_opt, 32767);
  EXPECT_EQ(caution_of("presolve", "-1e9x"), "");
  EXPECT_EQ(presolve_opt, -32767);
}

TEST_F(Options, HandlersTurnTextIntoCells) {
  start();
  set("display_width", "0");  // ignored
  EXPECT_EQ(display_width, 79);
  set("gutter_width", "-1");  // ignored
  EXPECT_EQ(gutter_width, 3);
  set("gutter_width", "5");
  EXPECT_EQ(gutter_width, 5);
  size_t before = pbuf_len;
  set("display_width", "2000");
  EXPECT_EQ(display_width, 2000);
  EXPECT_GE(pbuf_len, 6000u);
  EXPECT_GT(pbuf_len, before);

  set("MD_precision", "-3");
  EXPECT_EQ(MD_prec, 0);
  set("MD_precision", "250");
  EXPECT_EQ(MD_prec, 100);
  set("output_precision", "7.9");
  EXPECT_EQ(output_prec, 7);

  // A precision and its rounding share one number format.
  set("display_precision", "7");
  EXPECT_EQ(disp_info.active, 7);
  set("display_round", "2");
  EXPECT_EQ(disp_info.fmt, ffmt);
  EXPECT_EQ(disp_info.active, 2);
  set("display_precision", "9");  // kept for later; rounding stays
  EXPECT_EQ(disp_info.active, 2);
  set("display_round", "-300");
  EXPECT_EQ(disp_info.active, -100);
  set("display_round", "");
  EXPECT_EQ(disp_info.fmt, gfmt);
  EXPECT_EQ(disp_info.active, 9);
  set("solution_precision", "-2");
  EXPECT_EQ(soln_info.active, -1);

  set("Cautions", "2");
  EXPECT_EQ(Cautions, 2);
  set("Cautions", "x");
  EXPECT_EQ(Cautions, 0);
  set("Cautions", "1");
  set("allow_NaN", "0.5");
  EXPECT_EQ(allow_NaN, 1);
  set("allow_NaN", "-1");
  EXPECT_EQ(allow_NaN, 0);
  set("eexit", "3");
  EXPECT_EQ(eexit, 3);
  EXPECT_EQ(eexit_save, 3);
  EXPECT_EQ(warn_exit, 1);
  set("eexit", "-10");
  EXPECT_EQ(eexit, 10);
  EXPECT_EQ(warn_exit, 0);
  set("shell_exitcode_max", "1000000");
  EXPECT_EQ(shell_ecm[0], 1000000);
  set("vexo_include", ".\n  /a/b/c\n\tx");
  EXPECT_EQ(pathmax, 6);
  set("presolve_eps", "1e-9");
  EXPECT_EQ(presolve_eps, 1e-9);
  set("display_eps", "2.5");
  EXPECT_EQ(display_eps, 2.5);
}

// A random seed of 0 takes the clock and shows it as the option's value.
TEST_F(Options, RandseedZeroSeedsFromTheClock) {
  start();
  rand_start_ZEF = 0;
  set("randseed", "42");
  EXPECT_EQ(randseed_ZEF, 42u);
  EXPECT_EQ(last_reseed, 42u);
  EXPECT_EQ(rand_start_ZEF, 1);
  auto r = test::run_captured([] { setoption("randseed", "0"); });
  EXPECT_NE(randseed_ZEF, 0u);
  EXPECT_EQ(std::to_string(randseed_ZEF), evalue("randseed"));
  EXPECT_EQ(r.out, "option randseed " + std::to_string(randseed_ZEF) + ";\n");
}

TEST_F(Options, TableDebugTemplateNeedsOnePercent) {
  start();
  auto err = caution_of("table_debug_template", "a b%");
  EXPECT_EQ(err,
            "\n\tCaution: expected one % character and no white space in "
            "\"a b%\";\n\t$table_debug will be treated as 0 until "
            "$table_debug_template\n\tis corrected.\n");
  EXPECT_STREQ(table_debug_template, "");
  set("table_debug_template", "x%y");
  EXPECT_STREQ(table_debug_template, "x%y");
}

// Changes of presolve options mark a generated problem changed.
TEST_F(Options, PresolveOptionsMarkTheProblemChanged) {
  start();
  trans_state = 3;
  set("presolve", "10");  // unchanged
  EXPECT_EQ(trans_state, 3);
  set("presolve", "0");
  EXPECT_EQ(trans_state, 1);
  trans_state = 3;
  set("presolve_inteps", "1e-5");
  EXPECT_EQ(trans_state, 1);
  trans_state = 2;
  set("nl_permute", "11");  // the same low three bits
  EXPECT_EQ(trans_state, 2);
  set("nl_permute", "2");
  EXPECT_EQ(trans_state, 1);
}

TEST_F(Options, SettingCallsTheHandlerEachTime) {
  start();
  set("eexit", "-5");
  EXPECT_EQ(eexit, 5);
  EXPECT_TRUE(in_env_db("eexit=-5"));
  eexit = 0;
  set("eexit", "-5");
  EXPECT_EQ(eexit, 5);  // the handler runs on an unchanged value too
  set("brand_new", "x");
  EXPECT_TRUE(in_env_db("brand_new=x"));
  EXPECT_EQ(getenv("brand_new"), std::string("x"));
  EXPECT_EQ(env_lookup("brand_new")->listed, 1);
}

// In server mode the validators refuse, and nothing changes.
TEST_F(Options, ServerModeRefusesAndKeepsTheValue) {
  start({"SHELL=/bin/sh"});
  Serving = 1;
  auto r = test::run_captured([] { setoption("SHELL", "/bin/evil"); });
  EXPECT_EQ(r.err, "\n\tServer mode: updating option SHELL prohibited.\n");
  EXPECT_STREQ(shell_name, "/bin/sh");
  EXPECT_TRUE(in_env_db("SHELL=/bin/sh"));
  r = test::run_captured([] { setoption("solver", "a;b"); });
  EXPECT_EQ(r.err,
            "\n\tServer mode: nonalphanumeric option solver prohibited.\n");
  set("solver", "plain_name");
  EXPECT_STREQ(solver, "plain_name");
}

// An undefined option leaves env_db (the last string moves into its slot)
// and the exported environment, and its handler sees the empty text.
TEST_F(Options, DeletingAnOption) {
  start({"A=1", "B=2", "C=3"});
  int slot_a = env_lookup("A")->envindex;
  std::string last = env_db[env_n - 1];
  envdel(Symbol("A", 0));
  EXPECT_EQ(env_lookup("A")->envindex, -1);
  EXPECT_EQ(env_lookup("A")->listed, 0);
  EXPECT_EQ(last, env_db[slot_a]);
  EXPECT_FALSE(in_env_db("A=1"));
  for (const std::string& s : exported()) EXPECT_NE(s, "A=1");
  set("display_width", "100");
  envdel(Symbol("display_width", 0));
  EXPECT_EQ(display_width, 100);  // the handler ignores the empty text
  EXPECT_STREQ(evalue("display_width"), "");
}

// Children get the options sorted by name, without the local ones.
TEST_F(Options, ExportedEnvironment) {
  start({"ZZ=last", "AA=first", "display_width=120"});
  std::vector<std::string> v = exported();
  ASSERT_FALSE(v.empty());
  EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
  auto has = [&](const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
  };
  EXPECT_TRUE(has("AA=first"));
  EXPECT_TRUE(has("display_width=120"));  // the environment defined it
  EXPECT_TRUE(has("vexo_funclibs=-"));    // a row with flag 1
  EXPECT_FALSE(has("gutter_width=3"));    // local
  set("new_one", "x");
  EXPECT_TRUE(std::find(exported().begin(), exported().end(), "new_one=x") !=
              exported().end());
}

TEST_F(Options, EnrolAndDefault) {
  start();
  int cell = 7;
  opt_handler* h = env_enroll(Symbol("status_opt", 1), update_int, &cell);
  EXPECT_EQ(*h, update_int);
  EXPECT_EQ(cell, 7);  // not called
  EXPECT_EQ(env_lookup("status_opt")->listed, 0);
  set("status_opt", "9");
  EXPECT_EQ(cell, 9);
  cstr* d = new_cstring("dflt");
  EXPECT_STREQ(env_default("status_opt", d), "dflt");
  EXPECT_EQ(env_default("no_such_name", d), nullptr);
  zap_cstr(&d);
  EXPECT_STREQ(env_lookup("status_opt")->dflt, "dflt");
}

// A reset frees recorded memory and builds the tables again; the options
// keep their values, slots, handlers and validators.
TEST_F(Options, ValuesAndValidatorsSurviveAReset) {
  start({"SHELL=/bin/sh", "display_width=120"});
  set("gutter_width", "7");
  set("solver", "mysolver");
  set("made_here", "1");
  int slot = env_lookup("solver")->envindex;
  env_reset(0);
  reset_modules();
  env_reset(1);
  EXPECT_STREQ(evalue("gutter_width"), "7");
  EXPECT_STREQ(evalue("made_here"), "1");
  EXPECT_EQ(env_lookup("solver")->envindex, slot);
  EXPECT_STREQ(solver, "mysolver");  // a text cell follows the new string
  EXPECT_STREQ(env_lookup("display_width")->dflt, "120");
  EXPECT_EQ(environ, env_db);
  set("gutter_width", "8");
  EXPECT_EQ(gutter_width, 8);
  // Server mode still refuses: the validators were kept.
  Serving = 1;
  auto r = test::run_captured([] { setoption("SHELL", "/bin/evil"); });
  EXPECT_EQ(r.err, "\n\tServer mode: updating option SHELL prohibited.\n");
  EXPECT_STREQ(shell_name, "/bin/sh");
  r = test::run_captured([] { setoption("solver", "x y"); });
  EXPECT_STREQ(solver, "mysolver");
  // The local names came back: gutter_width is not exported.
  for (const std::string& s : exported()) EXPECT_NE(s, "gutter_width=8");
}

}  // namespace
}  // namespace vexo
