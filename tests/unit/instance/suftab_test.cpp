// Value tables of symbolic suffixes: parsing an option's text, number to
// name and name to number.
#include "instance/suftab.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "compiler/tva.h"
#include "instance/instance_fixture.h"
#include "instance/sufdecl.h"
#include "session/options_fixture.h"
#include "session/sysdecls.h"
#include "support/text.h"

namespace vexo {
namespace {

class SufTab : public test::InstanceTest {
 protected:
  void SetUp() override {
    InstanceTest::SetUp();
    static char* no_env[] = {nullptr};
    environ = no_env;
    envinit();
    parse_text("suffix s symbolic;");
    s = suff_named(Symbol("s", 1));
  }
  void TearDown() override {
    test::stop_options();
    InstanceTest::TearDown();
  }
  static std::string name(double x, stat_table* t) {
    cstr* c = cs_sufvalue(x, t);
    std::string r = c->text();
    zap_cstr(&c);
    return r;
  }
  // Sets $s_table; returns what was reported while it was read.
  std::string set_table(const char* text) {
    setoption("s_table", text);
    return test::run_captured([&] { suftabchk(&s->table); }).err;
  }
  suffix* s = nullptr;
};

TEST_F(SufTab, NumbersToNames) {
  struct row {
    stat_table* t;
    double x;
    const char* name;
  };
  stat_table* st = &sstatus_suf->table;
  EXPECT_EQ(name(1, &s->table), "1");  // option unset: numbers as numbers
  EXPECT_EQ(set_table("1 a\n2 b\n4 c\n8 d\n"), "");
  for (const row& r : {row{st, 0, "none"}, row{st, 3, "low"},
                       row{st, 6.5, "btw"}, row{st, 7, "btw"},
                       row{st, -1, "-1"}, row{&s->table, 3, "b"},
                       row{&s->table, 5, "c"}, row{&s->table, 100, "d"},
                       row{&s->table, 0.5, "0.5"}, row{&s->table, 1, "a"}})
    EXPECT_EQ(name(r.x, r.t), r.name) << r.x;
}

TEST_F(SufTab, BadTablesAreReportedAndLeftEmpty) {
  struct row {
    const char* text;
    const char* err;
  };
  for (const row& r :
       {row{"10 a\n5 b", "Numbers in $s_table are not increasing."},
        row{"1 a\n2 a", "Duplicate key a on line 2 of $s_table."},
        row{"1x a", "Bad number at the start of line 1 of $s_table."},
        row{"1", "No key on line 1 of $s_table."},
        row{"5\n6 six", "No key on line 1 of $s_table."}}) {
    std::string err = set_table(r.text);
    EXPECT_NE(err.find(r.err), std::string::npos) << r.text << err;
    EXPECT_EQ(s->table.numbers, nullptr);
    EXPECT_EQ(s->table.keys, nullptr);
    EXPECT_EQ(name(5, &s->table), "5");
  }
}

TEST_F(SufTab, OnlyChangedTextIsReadAgain) {
  set_table("\n\n0 zero\n\n1 one described\n");
  const double* first = s->table.numbers;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(s->table.count, 2);
  EXPECT_EQ(set_table("\n\n0 zero\n\n1 one described\n"), "");
  EXPECT_EQ(s->table.numbers, first);
  set_table("0 nil\n1 one");
  EXPECT_EQ(name(0, &s->table), "nil");
}

TEST_F(SufTab, NamesToNumbers) {
  set_table("2 two\n3 three");
  EXPECT_EQ(suf2num(s, new_cstring("three"), nullptr, nullptr), 3);
  EXPECT_EQ(suf2num(s, nullptr, Symbol("two", 1), nullptr), 2);
  auto r = test::run_captured(
      [&] { suf2num(sstatus_suf, new_cstring("zz"), nullptr, new_tva()); });
  EXPECT_NE(r.err.find("\"zz\" does not appear in $sstatus_table."),
            std::string::npos)
      << r.err;
  envdel(Symbol("s_table", 1));
  r = test::run_captured(
      [&] { suf2num(s, new_cstring("two"), nullptr, new_tva()); });
  EXPECT_NE(r.err.find("$s_table does not have the right form."),
            std::string::npos)
      << r.err;
}

// The constant-time run and the search agree with a scan of the entries.
TEST_F(SufTab, LookupEqualsLinearScan) {
  std::mt19937 gen(7);
  for (int round = 0; round < 40; ++round) {
    std::string text;
    std::vector<double> nums;
    double v = std::uniform_int_distribution<int>(-3, 3)(gen);
    int n = std::uniform_int_distribution<int>(1, 40)(gen);
    for (int i = 0; i < n; ++i) {
      nums.push_back(v);
      text += std::to_string(v) + " k" + std::to_string(i) + "\n";
      v += gen() % 3 ? 1 : 0.5 + gen() % 7;
    }
    ASSERT_EQ(set_table(text.c_str()), "");
    for (double x = nums[0] - 1; x < v + 2; x += 0.25) {
      std::string want;
      for (int i = 0; i < n; ++i)
        if (nums[size_t(i)] <= x) want = "k" + std::to_string(i);
      if (want.empty()) continue;
      EXPECT_EQ(name(x, &s->table), want) << text << x;
    }
  }
}

}  // namespace
}  // namespace vexo
