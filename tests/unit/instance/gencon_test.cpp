// Constraint and objective members: each row's bounds (the body's constant
// moved to the sides) and terms, as generation leaves them in the
// declaration's per-member arrays; the errors that abandon a command and
// leave nothing behind once the data are repaired.
#include "instance/gencon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "frontend/condcl.h"
#include "frontend/frontend_fixture.h"
#include "frontend/vardcl.h"
#include "instance/ac.h"
#include "instance/varref.h"
#include "instance/xcg.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
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

  // Slot s's linear terms, "<variable><member>:<coefficient>" (x0:2 for
  // 2 times x's first member) in order; the columns are the variables'
  // members' whatever their numbers.
  static std::string terms(const convar* d, int32_t s) {
    std::vector<std::string> t;
    char b[96];
    if (d->gen.lin)
      for (varref* r = d->gen.lin[s]; r; r = vnext(r)) {
        var* v = var_of_column(r->index);
        Snprintf(b, sizeof b, "%s%d:%g", v ? v->name->name : "?",
                 v ? r->index - v->gen.first_col : r->index, r->coef);
        t.push_back(b);
      }
    std::sort(t.begin(), t.end());
    std::string out;
    for (const std::string& x : t) out += (out.empty() ? "" : " ") + x;
    return out;
  }
  static int nonlinear_parts(const convar* d, int32_t s) {
    int n = 0;
    if (d->gen.nonlin)
      for (expr* e = d->gen.nonlin[s]; e; e = e->next) ++n;
    return n;
  }
};

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
      {"at_most", 0, negInfinity, 2, "x0:1", 0},
      {"at_least", 0, 2, Infinity, "x0:1", 0},
      {"equal", 0, 4, 4, "x0:2 y1:-1", 0},
      {"range", 0, 0, 4, "x0:1", 0},
      {"reversed", 0, negInfinity, 5, "x0:1 y0:1", 0},
      {"each", 1, negInfinity, 4, "x0:1 y1:1", 0},
      {"none", 0, negInfinity, Infinity, "y0:1", 0},
      {"curved", 0, negInfinity, 4, "x0:1", 1},
      // A complementarity member has two rows: its slots 0 and 1.
      {"pair", 0, 0, Infinity, "x0:1", 0},
      {"pair", 1, negInfinity, 1, "y0:1", 0},
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
  EXPECT_EQ(terms(cost, 0), "x0:3");
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
    EXPECT_EQ(terms(eq, 1), "x1:1");
    EXPECT_EQ(terms(decl("co"), 0), "x0:1 x1:1 x2:1");
    EXPECT_EQ(decl("o")->gen.consts[0], 1);
  }
  // -Infinity below is no bound at all.
  generate("let lo := -Infinity;");
  EXPECT_EQ(decl("rg")->gen.lb[0], negInfinity);
}

// Arcs x: (1,2) member 0, (2,3) 1, (1,3) 2.
const char* const network_model =
    "param d {1..3} default 0; param u default 5; param a default 2;\n"
    "node N {i in 1..3}: net_in = d[i];\n"
    "arc x {(i,j) in {(1,2),(2,3),(1,3)}} >= 0, <= u, from N[i], to N[j];\n"
    "s.t. c {i in 1..2}: to_come >= 1;\n"
    "minimize cost: to_come;\n"
    "var y {i in 1..2} coeff c[i] a, obj cost 3, coeff c[1] 0;\n";

// Arcs and column clauses put their terms on the members they name; the
// terms follow regeneration of either side without loss or duplicates.
TEST_F(GenCon, ColumnClausesPutTermsOnTheirTargets) {
  ASSERT_EQ(generate(network_model).err, "");
  struct {
    const char* let;  // change before generating again
    const char* n1;   // terms of N[1], N[2], c[1], cost
    const char* n2;
    const char* c1;
    const char* cost;
  } cases[] = {
      {"", "x0:-1 x2:-1", "x0:1 x1:-1", "y0:2", "y0:3 y1:3"},
      // The node changes: it is generated again, and the arcs with it.
      {"let d[1] := -3;", "x0:-1 x2:-1", "x0:1 x1:-1", "y0:2", "y0:3 y1:3"},
      // Only the arcs change: the nodes keep one term per arc.
      {"let u := 4;", "x0:-1 x2:-1", "x0:1 x1:-1", "y0:2", "y0:3 y1:3"},
      {"let a := 5;", "x0:-1 x2:-1", "x0:1 x1:-1", "y0:5", "y0:3 y1:3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.let);
    ASSERT_EQ(generate(c.let).err, "");
    EXPECT_EQ(terms(decl("N"), 0), c.n1);
    EXPECT_EQ(terms(decl("N"), 1), c.n2);
    EXPECT_EQ(terms(decl("c"), 0), c.c1);
    EXPECT_EQ(terms(decl("cost"), 0), c.cost);
  }
  EXPECT_EQ(decl("N")->gen.lb[0], -3);
}

// A `to` coefficient below 0, and a second `to` term of one member, are
// cautioned about while Cautions is nonzero; a target member that does
// not exist abandons the command.
TEST_F(GenCon, ArcCautionsAndMissingTargets) {
  const char* model =
      "node N {1..3};\n"
      "arc z >= 0, to N[1] -2;\n"
      "arc w {i in 1..2}, to N[i], to {k in 1..3: k = i} N[k];\n";
  Cautions = 0;
  test::outcome o = generate(model);
  EXPECT_EQ(o.err, "");
  fresh_parser();
  Cautions = 1;
  o = generate(model);
  EXPECT_NE(o.err.find("Caution: z has \"to N[1] -2\"\n"), std::string::npos)
      << o.err;
  EXPECT_NE(o.err.find("Caution: w[1] has multiple \"to\" clauses\n"),
            std::string::npos)
      << o.err;
  EXPECT_EQ(terms(decl("N"), 0), "w0:1 w0:1 z0:-2");
  o = generate("arc q, to N[4];");
  EXPECT_NE(o.err.find("N[4] does not exist\n"), std::string::npos) << o.err;
}

// A defined variable's row: the definition's terms, the variable's own
// term, its constant.
TEST_F(GenCon, DefinedVariablesGetTheirRows) {
  ASSERT_EQ(generate("var x {1..2}; param p default 3;\n"
                     "var y {i in 1..2} = p * x[i] + i;\n")
                .err,
            "");
  var* y = static_cast<var*>(Symbol0("y")->binding);
  convar* row = y->defcon;
  ASSERT_EQ(row->gen.member_count, 2);
  EXPECT_EQ(terms(row, 1), "x1:-3 y1:1");
  EXPECT_EQ(row->gen.consts[1], 2);
}

}  // namespace
}  // namespace vexo
