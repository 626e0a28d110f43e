// Constraint and objective members: each row's bounds (the body's constant
// moved to the sides) and terms, as generation leaves them in the
// declaration's per-member arrays; the errors that abandon a command and
// leave nothing behind once the data are repaired.
#include "instance/gencon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "frontend/condcl.h"
#include "frontend/frontend_fixture.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/varref.h"
#include "instance/xcg.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/symbol.h"
#include "test_util.h"

namespace vexo {
namespace {

class GenCon : public test::ParserTest {
 protected:
  void SetUp() override {
    begin("/tmp/vexo_gencon_XXXXXX");
    // Until variables' members answer references (their member sets
    // joined with the value side), no body is generated.
    bool joined = generate("var v; s.t. r: v <= 1;").err.empty() &&
                  decl("r")->gen.member_count == 1;
    fresh_parser();
    if (!joined) GTEST_SKIP() << "variable references not joined yet";
  }

  // Reads the statements, then generates every variable, constraint and
  // objective.  Returns what both wrote.
  test::outcome generate(const std::string& text) {
    test::outcome o = typed(text);
    test::outcome g = test::run_captured([] { xcg(1); });
    o.out += g.out;
    o.err += g.err;
    return o;
  }

  static convar* decl(const char* name) {
    return static_cast<convar*>(Symbol0(name)->binding);
  }

  // Slot s's linear terms, "column:coefficient" by column.
  static std::string terms(const convar* d, int32_t s) {
    std::vector<std::pair<int32_t, double>> t;
    if (d->gen.lin)
      for (varref* r = d->gen.lin[s]; r; r = r->next)
        t.emplace_back(r->index, r->coef);
    std::sort(t.begin(), t.end());
    std::string out;
    char b[64];
    for (auto& [c, x] : t) {
      Snprintf(b, sizeof b, "%s%d:%g", out.empty() ? "" : " ", c, x);
      out += b;
    }
    return out;
  }
  static int nonlinear_parts(const convar* d, int32_t s) {
    int n = 0;
    if (d->gen.nonlin)
      for (expr* e = d->gen.nonlin[s]; e; e = e->next) ++n;
    return n;
  }
};

// Columns: x 0, y[1] 1, y[2] 2.
const char* const rows_model =
    "var x; var y {1..2};\n"
    "param p default 2; param lo default 1;\n"
    "s.t. at_most: x - 2 <= 0;\n"
    "s.t. at_least: x - 2 >= 0;\n"
    "s.t. equal: 2 * x + 3 = 7 + y[2];\n"
    "s.t. range: lo <= x + 1 <= 5;\n"
    "s.t. reversed: 5 >= x + y[1] >= -Infinity;\n"
    "s.t. each {i in 1..2}: y[i] + x <= i * p;\n"
    "s.t. none: y[1] >= -Infinity;\n"
    "s.t. curved: x * y[1] + x <= 4;\n"
    "s.t. priced := 5: x <= 3;\n"
    "s.t. pair: x >= 0 complements y[1] - 1 <= 0;\n"
    "minimize cost: 3 * x + 4;\n"
    "maximize bare: to_come;\n";

TEST_F(GenCon, RowsGetTheirBoundsAndTerms) {
  test::outcome o = generate(rows_model);
  ASSERT_EQ(o.err, "");
  struct {
    const char* name;
    int32_t slot;
    double lb, ub;
    const char* lin;
    int nonlin;
  } cases[] = {
      {"at_most", 0, negInfinity, 2, "0:1", 0},
      {"at_least", 0, 2, Infinity, "0:1", 0},
      {"equal", 0, 4, 4, "0:2 2:-1", 0},
      {"range", 0, 0, 4, "0:1", 0},
      {"reversed", 0, negInfinity, 5, "0:1 1:1", 0},
      {"each", 1, negInfinity, 4, "0:1 2:1", 0},
      {"none", 0, negInfinity, Infinity, "1:1", 0},
      {"curved", 0, negInfinity, 4, "0:1", 1},
      // A complementarity member has two rows: its slots 0 and 1.
      {"pair", 0, 0, Infinity, "0:1", 0},
      {"pair", 1, negInfinity, 1, "1:1", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    convar* d = decl(c.name);
    ASSERT_NE(d->gen.lb, nullptr);
    EXPECT_EQ(d->gen.lb[c.slot], c.lb);
    EXPECT_EQ(d->gen.ub[c.slot], c.ub);
    EXPECT_EQ(terms(d, c.slot), c.lin);
    EXPECT_EQ(nonlinear_parts(d, c.slot), c.nonlin);
  }
  EXPECT_EQ(decl("each")->gen.member_count, 2);
  EXPECT_EQ(decl("pair")->gen.member_count, 1);
  // The initial dual of `:=`; none elsewhere.
  ASSERT_NE(decl("priced")->gen.init_vals, nullptr);
  EXPECT_EQ(decl("priced")->gen.init_vals[0], 5);
  EXPECT_EQ(decl("at_most")->gen.init_vals, nullptr);
  // An objective keeps its constant; one without terms gets no lists.
  convar* cost = decl("cost");
  EXPECT_EQ(cost->gen.consts[0], 4);
  EXPECT_EQ(terms(cost, 0), "0:3");
  convar* bare = decl("bare");
  EXPECT_EQ(bare->gen.member_count, 1);
  EXPECT_EQ(bare->gen.lin, nullptr);
}

// A logical constraint keeps its instantiated expression per member.
TEST_F(GenCon, LogicalConstraintsKeepTheirExpressions) {
  test::outcome o = generate(
      "var x; param k {1..2} default 1;\n"
      "s.t. either {i in 1..2}: x >= k[i] or x <= -k[i];\n");
  ASSERT_EQ(o.err, "");
  convar* d = decl("either");
  ASSERT_EQ(d->gen.member_count, 2);
  ASSERT_NE(d->gen.logexpr, nullptr);
  EXPECT_NE(d->gen.logexpr[0], nullptr);
  EXPECT_NE(d->gen.logexpr[1], nullptr);
  EXPECT_EQ(d->gen.lb, nullptr);
}

// A bound infinite on the wrong side, an infinite equality constant, an
// infinite coefficient or objective constant abandons the command; once
// the data are repaired the declaration is generated whole, each member
// once with its terms once.
TEST_F(GenCon, InfiniteConstantsAreRefused) {
  generate(
      "var x {1..3};\n"
      "param r {1..3} default 1; param lo default 0; param q default 1;\n"
      "param a {1..3} default 1;\n"
      "s.t. eq {i in 1..3}: x[i] = r[i];\n"
      "s.t. rg: lo <= x[1] <= 7;\n"
      "s.t. co: sum {i in 1..3} a[i] * x[i] <= 1;\n"
      "minimize o: x[1] + q;\n");
  convar* eq = decl("eq");
  ASSERT_EQ(eq->gen.member_count, 3);
  struct {
    const char* let;
    const char* err;
    const char* name;
  } cases[] = {
      {"let r[2] := Infinity;", "Inappropriate use of Infinity.\n", "eq"},
      {"let r[2] := -Infinity;", "Inappropriate use of -Infinity.\n", "eq"},
      {"let lo := Infinity;", "Inappropriate use of Infinity.\n", "rg"},
      {"let a[2] := Infinity;", "can't multiply x[2] by Infinity", "co"},
      {"let q := -Infinity;", "Inappropriate use of -Infinity.\n", "o"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.let);
    test::outcome o = generate(c.let);
    EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
    EXPECT_EQ(decl(c.name)->gen.lin, nullptr);
    o = generate("let r[2] := 1; let q := 1; let lo := 0; let a[2] := 1;");
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(eq->gen.member_count, 3);
    EXPECT_EQ(eq->gen.lb[1], 1);
    EXPECT_EQ(terms(eq, 1), "1:1");
    EXPECT_EQ(terms(decl("co"), 0), "0:1 1:1 2:1");
    EXPECT_EQ(decl("o")->gen.consts[0], 1);
  }
  // -Infinity below is no bound at all.
  generate("let lo := -Infinity;");
  EXPECT_EQ(decl("rg")->gen.lb[0], negInfinity);
}

}  // namespace
}  // namespace vexo
