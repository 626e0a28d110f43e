// The instantiating copy: its rules shown through the members of objective
// bodies evaluated in generation mode (each objective's body is one
// nonlinear term, so its member is the copy), and hand-made trees for the
// forms a model cannot write.
#include "compiler/ecopy.h"

#include <gtest/gtest.h>

#include <cmath>

#include "compiler/instantiate_fixture.h"
#include "support/symbol.h"

namespace vexo {
namespace {

constexpr const char* kModel =
    "param p; set E; set F; var x; var y{1..3};\n";
constexpr const char* kData = "data; param p := 0; set E := ; set F := 1 2 3;\n";

struct rule {
  const char* body;
  const char* member;  // constant | linear | nonlinear | pl
};

class Instantiate : public test::InstantiateTest {
 protected:
  // Each body as an objective of the model above, and its member.
  void check_rules(std::initializer_list<rule> rows) {
    std::string text = kModel;
    int n = 0;
    for (const rule& r : rows)
      text += "minimize o" + std::to_string(++n) + ": " + r.body + ";\n";
    setup(text + kData);
    n = 0;
    for (const rule& r : rows) {
      std::string name = "o" + std::to_string(++n);
      EXPECT_EQ(member1(name.c_str()), r.member) << r.body;
    }
  }
};

TEST_F(Instantiate, IteratedOperatorsOverEmptyAndFullSets) {
  check_rules({
      {"atan2(x, sum{i in E} y[i])", "0 | | atan2(x, 0) |"},
      {"atan2(x, prod{i in E} y[i])", "0 | | atan2(x, 1) |"},
      {"atan2(x, min{i in E} y[i])", "0 | | atan2(x, Infinity) |"},
      {"atan2(x, max{i in E} y[i])", "0 | | atan2(x, -Infinity) |"},
      {"atan2(x, if exists{i in E} y[i] >= 0 then 1 else 2)",
       "0 | | atan2(x, 2) |"},
      {"atan2(x, if forall{i in E} y[i] >= 0 then 1 else 2)",
       "0 | | atan2(x, 1) |"},
      // Numbers fold into one; the other items keep their order (sums) or
      // are put in front (min and max).
      {"sin(sum{i in F} (y[i] + 1))",
       "0 | | sin(sum(sum(y[1], 1), sum(y[2], 1), sum(y[3], 1))) |"},
      {"sin(sum{i in F} (if i = 2 then y[i] else i))",
       "0 | | sin((4 + y[2])) |"},
      {"x * prod{i in F} (2 * y[i])",
       "0 | | (x * (((2 * y[1]) * (2 * y[2])) * (2 * y[3]))) |"},
      {"sin(min{i in F} (if i = 2 then y[i] else i))",
       "0 | | sin(min(1, y[2])) |"},
      {"max(x, 3, 5, y[1])", "0 | | max(5, y[1], x) |"},
  });
}

TEST_F(Instantiate, ArithmeticIsSimplified) {
  check_rules({
      // The variable part first; a 0 in second place stays.
      {"sin(x + 0)", "0 | | sin(sum(x, 0)) |"},
      {"sin(0 + x)", "0 | | sin(sum(x, 0)) |"},
      // 0 * e: e is not copied (its subscript would be invalid).
      {"sin(p * y[p + 4]^2)", "0 | | |"},
      {"atan2(x^0, x^1)", "0 | | atan2(1, x) |"},
      {"atan2(x, (sum{i in E} y[i])^(sum{i in E} y[i]))",
       "0 | | atan2(x, (0 ^ 0)) |"},
      {"atan2(x^0.5, x^-1)", "0 | | atan2(sqrt(x), (1 / x)) |"},
      {"atan2(x, (sum{i in E} y[i] + 1) / sum{i in E} y[i])",
       "0 | | atan2(x, (1 / 0)) |"},
      {"atan2(x, (sum{i in E} y[i] + 5) mod sum{i in E} y[i])",
       "0 | | atan2(x, (5 mod 0)) |"},
      {"atan2(x - 3 * y[1], -1 * x)",
       "0 | | atan2(sum(x, (-3 * y[1])), -(x)) |"},
  });
}

TEST_F(Instantiate, LogicAndCounting) {
  check_rules({
      {"numberof 3 in (3, 3, x)", "0 | | (if((x == 3), 1, 0) + 2) |"},
      {"alldiff(1, 2, 1, x)", "0 | | |"},
      {"if !alldiff(1, 2, 1, x) then x else y[1]", "0 | | x |"},
      {"count(x >= 1, p = 0, y[1] <= 2)",
       "0 | | (count((x >= 1), (y[1] <= 2)) + 1) |"},
      {"if x >= 1 or p = 0 then x^2 else y[1]", "0 | | (x ^ 2) |"},
      {"if x >= 1 and p = 0 then x^2 else y[1]",
       "0 | | if((x >= 1), (x ^ 2), y[1]) |"},
      {"if exists{i in F} (y[i] >= 0 or i >= 2) then x^2 else 0",
       "0 | | (x ^ 2) |"},
      {"if forall{i in F} (y[i] >= 0 and i <= 2) then x^2 else 0", "0 | | |"},
      {"if exists{i in F} y[i] >= i then x^2 else 0",
       "0 | | if(or((y[1] >= 1), (y[2] >= 2), (y[3] >= 3)), (x ^ 2), 0) |"},
      {"if atleast 2 (x >= 1, y[1] >= 1) then y[2]^2 else 0",
       "0 | | if((2 atleast count((x >= 1), (y[1] >= 1))), (y[2] ^ 2), 0) |"},
  });
}

TEST_F(Instantiate, PiecewiseLinearTermsAreReduced) {
  check_rules({
      {"<<1, 3; 2, 2, 2>> x", "0 | 2*x | |"},
      {"<<0, 5; 1, 1, 3>> x", "0 | | | <<1;5;3>>x"},
      {"<<2, 2; 1, 7, 3>> x", "0 | | | <<1;2;3>>x"},
      {"4 * <<0; -1, 1>> (y[2], 2)", "-8 | | | <<-4;0;4>>y[2]"},
      {"sin(<<0; -1, 1>> (y[2], 2))",
       "0 | | sin((<<-1;0;1>>y[2] - 2)) |"},
      {"<<1, 3; 1, 2>> x",
       "\tpiecewise-linear term has 2 slopes, 2 breakpoints\n"},
      {"<<3, 1; 1, 2, 3>> x",
       "\tpiecewise-linear breakpoint 1 bigger than breakpoint 2\n"},
  });
}

// Hand-made copies: variables are OPVARVAL146 nodes (copied as they are).
class HandMade : public Instantiate {
 protected:
  void SetUp() override {
    Instantiate::SetUp();
    setup(std::string(kModel) + kData);
  }
  static expr* bound(expr* e) {
    int op = opcode(e);
    e->op = op < N_EVAL_OPCODES ? functab[size_t(op)] : nullptr;
    return e;
  }
  static expr* col(int32_t c) {
    return bound(new_expr(opword(OPVARVAL146, EF_NUMERIC | EF_VARS), c));
  }
  static expr* num(double v) { return bound(new_num(v)); }
  // The copy of e in a fresh context, or the message that abandoned it.
  std::string copy(expr* e) {
    std::string s;
    in_cmds = 2;
    interactive = 1;
    if (infile > 0) close(infile);
    infile = 0;
    bailquit = 0;
    auto r = test::run_captured([&] {
      TVA* t = new_tva();
      s = copied(e, t);
      del_tva(t);
    });
    while (cur_tva) del_tva(cur_tva);
    edelete(e);
    EXPECT_FALSE(r.exited) << r.err;
    return r.aborted ? r.err : s;
  }
};

TEST_F(HandMade, NaNConditionKeepsBothBranches) {
  expr* pair = new_expr(opword(OP261, EF_NUMERIC), col(0), col(1));
  expr* e = bound(
      new_expr(opword(OPIF35, EF_NUMERIC | EF_VARS), num(qNaN), pair));
  EXPECT_EQ(copy(e), "if(NaN, x, y[1])");
}

TEST_F(HandMade, AndOrListsTakeTruthValues) {
  struct row {
    int op;
    std::vector<double> items;  // NaN: the variable x
    const char* copy;
  };
  for (const row& r : {
           row{ANDLIST, {1, qNaN, 1, qNaN}, "(x && x)"},
           row{ANDLIST, {1, qNaN, 0, qNaN}, "0"},
           row{ANDLIST, {1, 1}, "1"},
           row{ORLIST, {0, qNaN, 0}, "x"},
           row{ORLIST, {0, qNaN, 2, qNaN}, "2"},
           row{ORLIST, {0, 0, 0}, "0"},
           row{ORLIST, {qNaN, qNaN, qNaN}, "or(x, x, x)"},
       }) {
    expr* first = nullptr;
    expr** link = &first;
    for (double v : r.items) {
      *link = std::isnan(v) ? col(0) : num(v);
      link = &(*link)->next;
    }
    expr* e = bound(new_expr(opword(r.op, EF_VARS), first));
    EXPECT_EQ(copy(e), r.copy) << r.op;
  }
}

TEST_F(HandMade, FormsWithoutARuleAbandonTheCommand) {
  // A string concatenation cannot hold a variable; a tuple cannot be the
  // value of a part of a copy.
  expr* cat = bound(new_expr(opword(OPCONCAT, EF_VARS | EF_STRING), col(0)));
  EXPECT_EQ(copy(cat), "\tunexpected type 0x10614 in ecopy()\n");
  expr* tuple = bound(new_expr(
      opword(OPSYMLIST, EF_CONST),
      bound(new_lit(Number(1)))));
  EXPECT_EQ(copy(bound(new_expr(opword(OPMULT, EF_NUMERIC | EF_VARS),
                                tuple, col(0)))),
            "\tunexpected rewclass 3 for op 0x15a01 in ecopy\n");
}

TEST_F(Instantiate, ExistsDecidedEarlyClosesItsWalk) {
  setup(std::string(kModel) +
        "minimize o: if exists{i in F} (y[i] >= 0 or i >= 2) then x^2 "
        "else 0;\n" +
        kData);
  expr* nl = decl<constr>("o")->body;
  ASSERT_EQ(opcode(nl), OPNLAC);
  TVA* t = new_tva();
  void** frame = t->frame;
  void** free = t->free;
  std::string s;
  auto r = test::run_captured([&] { s = copied(nl->R.e, t); });
  EXPECT_FALSE(r.aborted) << r.err;
  EXPECT_EQ(s, "(x ^ 2)");
  // The walk stopped at its second member and its frame came down.
  EXPECT_EQ(cur_tva, t);
  EXPECT_EQ(t->frame, frame);
  EXPECT_EQ(t->free, free);
  del_tva(t);
}

}  // namespace
}  // namespace vexo
