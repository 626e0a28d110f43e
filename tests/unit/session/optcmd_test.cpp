// The option command: listing, showing, setting, patterns and their
// messages, program code setting options, the reset of all options, the
// values of computed names and values, and the "$" operators.
#include "session/optcmd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eval/dispatch.h"
#include "frontend/expr.h"
#include "frontend/strexpr.h"
#include "options_fixture.h"
#include "report/prex.h"
#include "session/environs.h"
#include "session/opttable.h"
#include "session/startup.h"
#include "support/filename.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"
#include "test_util.h"

extern char** environ;

namespace vexo {
namespace {

expr* str(const char* s) { return new_str(new_cstring(s)); }

class OptCmd : public ::testing::Test {
 protected:
  void SetUp() override { start({}); }
  void start(std::vector<std::string> vars) {
    vars_ = std::move(vars);
    ptrs_.clear();
    for (std::string& v : vars_) ptrs_.push_back(v.data());
    ptrs_.push_back(nullptr);
    if (!real_) real_ = environ;
    test::start_options(ptrs_.data());
  }
  void TearDown() override {
    test::stop_options();
    environ = real_;
    Serving = 0;
    Cautions = 1;
  }

  // One item: name (a literal), value (a literal or null), env (or null).
  static Optioncmd* item(const char* name, const char* value = nullptr,
                         expr* env = nullptr) {
    return optioncmd(nullptr, str(name), env, value ? str(value) : nullptr);
  }
  // What the command writes (standard output, then standard error).
  // Its messages are not counted against the next item read.
  static test::outcome run(Optioncmd* items) {
    test::outcome r = test::run_captured([&] { option_cmd(items, nullptr); });
    option_read_begin();
    return r;
  }
  static std::string out(Optioncmd* items) { return run(items).out; }

  std::vector<std::string> vars_;
  std::vector<char*> ptrs_;
  char** real_ = nullptr;
};

TEST_F(OptCmd, ShowAndSet) {
  EXPECT_EQ(out(item("display_width")), "option display_width 79;\n");
  EXPECT_EQ(out(item("foo")), "option foo ''; #not defined\n");
  EXPECT_EQ(evalue("foo"), nullptr);  // showing does not create it
  // The printers' width from start-up on.
  EXPECT_EQ(disp_width, 79);
  EXPECT_EQ(out(item("display_width", "100")), "");
  EXPECT_EQ(display_width, 100);
  EXPECT_EQ(disp_width, 100);
  // Numbers bare, other texts quoted.
  EXPECT_EQ(out(settings_join(item("a", "1e-6"), item("b", "x y"))), "");
  EXPECT_EQ(out(settings_join(item("a"), item("b"))),
            "option a 1e-6;\noption b 'x y';\n");
  EXPECT_EQ(out(item("presolve", "5x")), "");
  EXPECT_EQ(out(item("presolve")), "option presolve 5x;\n");
}

TEST_F(OptCmd, InvalidNamesAreSkipped) {
  rc = 0;
  auto r = run(settings_join(item("1abc", "3"), item("ok", "5")));
  EXPECT_EQ(r.err, "\"1abc\" is not a valid option name.\n");
  EXPECT_EQ(rc & 2, 2);
  EXPECT_STREQ(evalue("ok"), "5");
  EXPECT_EQ(evalue("1abc"), nullptr);
  rc = 0;
}

// Patterns: the marker "*" comes first, the pattern after it.
TEST_F(OptCmd, PatternsList) {
  EXPECT_EQ(out(item("*display_w*")), "option display_width 79;\n");
  EXPECT_EQ(out(item("*gutter*")), "option gutter_width 3;\n");
  EXPECT_EQ(out(item("*zzz*")), "# No matches for option zzz*;\n");
  EXPECT_EQ(out(item("**_width")),
            "option display_width 79;\noption gutter_width 3;\n");
  // Anchored at both ends, the middle pieces in order.
  EXPECT_EQ(out(item("*d*_*th")), "option display_width 79;\n");
  EXPECT_EQ(out(item("**prompt1")),
            "option cmdprompt1 '';\noption dataprompt1 '';\n"
            "option prompt1 '';\n");
  auto r = run(item("*a*b*c*d*e*f*g*h*i*j*k*"));
  EXPECT_EQ(r.err, "\n\tToo many *'s in pattern (more than 10)\n");
  EXPECT_EQ(r.out, "");
  // Adjacent stars count as one.
  EXPECT_EQ(out(item("*display**width*****")), "option display_width 79;\n");
}

TEST_F(OptCmd, PatternsSet) {
  EXPECT_EQ(out(item("*gutter*", "5")), "option gutter_width 5;\n");
  EXPECT_EQ(gutter_width, 5);
  EXPECT_EQ(out(item("**_width", "9")),
            "# Too many matches for option *_width 9;\n");
  EXPECT_EQ(gutter_width, 5);
  EXPECT_EQ(out(item("*zzz*", "1")), "# No matches for option zzz* 1;\n");
  auto r = run(item("**", "1"));
  EXPECT_EQ(r.err, "\n\tignoring option * value\n");
  // Unchanged: the handler still runs, and the line is echoed.
  gutter_width = 0;
  EXPECT_EQ(out(item("*gutter_w*", "5")), "option gutter_width 5;\n");
  EXPECT_EQ(gutter_width, 5);
  Serving = 1;
  r = run(item("*vexo_incl*", "x"));
  EXPECT_EQ(r.out, "# Suppressed: option vexo_include x;\n");
  EXPECT_EQ(r.err,
            "\n\tServer mode: updating option vexo_include prohibited.\n");
  EXPECT_STREQ(evalue("vexo_include"), ".");
}

// Listing all: the listed options sorted by name, as the option files
// have them.
TEST_F(OptCmd, ListingAll) {
  start({"INHERITED=1"});
  std::string all = out(nullptr);
  EXPECT_EQ(all.find("INHERITED"), std::string::npos);
  EXPECT_NE(all.find("option display_width 79;\n"), std::string::npos);
  size_t a = all.find("option Cautions 1;"), b = all.find("option badstage");
  EXPECT_LT(a, b);  // byte order: upper case first
  // A pattern of one star lists inherited variables too.
  EXPECT_NE(out(item("**")).find("option INHERITED 1;\n"), std::string::npos);
}

TEST_F(OptCmd, ResetGoesBackToTheDefaults) {
  start({"display_width=120"});
  cmd_option("display_width", "90");
  cmd_option("gutter_width", "7");
  cmd_option("new_here", "1");
  option_reset();
  EXPECT_EQ(display_width, 120);  // the environment's value is the default
  EXPECT_EQ(gutter_width, 3);
  EXPECT_STREQ(evalue("new_here"), "");
  // Validators apply: in server mode a refused reset keeps the value.
  Serving = 0;
  cmd_option("vexo_include", "elsewhere");
  Serving = 1;
  auto r = test::run_captured([] { option_reset(); });
  EXPECT_EQ(r.err,
            "\n\tServer mode: updating option vexo_include prohibited.\n");
  EXPECT_STREQ(evalue("vexo_include"), "elsewhere");
}

// Computed names and values, and the "$" references in values.
TEST_F(OptCmd, ComputedNamesAndValues) {
  expr* name = concat(str("display_"), str("width"));
  expr* value = make_string(
      new_expr(opword(OPMULT, EF_NUMERIC), new_num(3), new_num(40)));
  EXPECT_EQ(out(optioncmd(nullptr, name, nullptr, value)), "");
  EXPECT_EQ(display_width, 120);
  // A computed name with a star is a pattern.
  expr* pat =
      new_expr(opword(OPSYM2STR, EF_STRING), new_lit(Symbol("gut*", 1)));
  EXPECT_EQ(out(optioncmd(nullptr, pat, nullptr, nullptr)),
            "option gutter_width 3;\n");
  // Words with references: "$name" is the value, "$$name" the default.
  expr* words = push_expr(
      push_expr(dollar_word(new_cstring("display_width"), 1), str("and")),
      dollar_word(new_cstring("display_width"), 2));
  EXPECT_EQ(out(optioncmd(nullptr, str("w"), nullptr, option_words(words))),
            "");
  EXPECT_STREQ(evalue("w"), "120 and 79");
}

// The "$" routines: value in the current environment or another one,
// default, and the empty string for what is not there.
TEST_F(OptCmd, DollarOperators) {
  auto text = [](expr* e) {
    cstr* s = Litval(&e, nullptr);
    std::string t = s->text();
    zap_cstr(&s);
    return t;
  };
  EXPECT_EQ(text(dollar_word(new_cstring("display_width"), 1)), "79");
  EXPECT_EQ(text(dollar_word(new_cstring("gutter_width"), 2)), "3");
  EXPECT_EQ(text(dollar_word(new_cstring("nope"), 1)), "");
  EXPECT_EQ(text(dollar_word(new_cstring("nope"), 2)), "");
  cmd_option("gutter_width", "6");
  EXPECT_EQ(text(dollar_word(new_cstring("gutter_width"), 1)), "6");
  EXPECT_EQ(text(dollar_word(new_cstring("gutter_width"), 2)), "3");
  // A computed name, and the qualified forms.
  EXPECT_EQ(text(envqual(OPDOLLAR, nullptr, nullptr,
                         concat(str("display_"), str("width")))),
            "79");
  test::run_captured([] { environ_dcl(new_cstring("E"), nullptr); });
  cmd_option("display_width", "100");  // Initial is current: E keeps 79
  EXPECT_EQ(
      text(envexpr(new_cstring("E"), nullptr, new_cstring("display_width"))),
      "79");
  EXPECT_EQ(
      text(envqual(OPDOLLAR0, new_cstring("E"), nullptr, str("display_width"))),
      "79");
  // The evaluator's forms of computed names.
  expr* ee = new_expr(opword(OPeeDOLLAR220, EF_STRING), str("display_width"),
                      envsub(new_cstring("E"), nullptr));
  EXPECT_EQ(text(ee), "79");
  expr* e0 = new_expr(opword(OPeDOLLAR0, EF_STRING), str("display_width"));
  EXPECT_EQ(text(e0), "79");
  expr* e1 = new_expr(opword(OPeeDOLLAR218, EF_STRING), str("display_width"));
  EXPECT_EQ(text(e1), "100");
}

}  // namespace
}  // namespace vexo
