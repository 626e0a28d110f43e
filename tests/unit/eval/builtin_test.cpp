// The built-in functions through their call nodes: the formatter's
// range errors and their replacement text, the limit on an item's length,
// the functions without a routine, and the argument record's numbers and
// strings.
#include "eval/builtin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "eval/eval_fixture.h"
#include "eval/funcall.h"
#include "eval/funclib.h"
#include "frontend/keywords.h"
#include "support/text.h"

namespace vexo {
namespace {

class Builtin : public test::EvalTest {
 protected:
  expr* call(const char* name, std::initializer_list<expr*> args) {
    return test::builtin_call(name, args);
  }
  std::string text(expr* e) { return test::string_value(e, tva); }
};

TEST_F(Builtin, TableRowsAndRecords) {
  EXPECT_EQ(p_initlist[0].f, print_func);
  EXPECT_EQ(p_initlist[1].f, printf_func);
  EXPECT_EQ(Symbol("print", 0)->binding, print_func);
  // print and printf: type 1, any number of arguments, a value that may
  // change; time: explicit real arguments (none).
  EXPECT_EQ(print_func->fflags, 1u | 0x4000 | 0x10000);
  function* t = static_cast<pinit_row*>(Symbol("time", 0)->binding)->f;
  EXPECT_EQ(t->fflags, 8u | 0xA000 | 0x10000);
  EXPECT_EQ(t->nargs, 0);
  EXPECT_GT(eval_num(call("time", {}), tva), 1e9);
}

TEST_F(Builtin, IntegerItemsOutOfRange) {
  // Reported at the evaluation's place, quoting the item as the format
  // has it; the command is abandoned.
  for (const char* item : {"%d", "%5d", "%-3i", "%5ld", "%*X"}) {
    for (double x : {1e30, -1e30, std::nan("")}) {
      expr* e =
          std::strchr(item, '*')
              ? call("sprintf", {test::str(item), test::num(4), test::num(x)})
              : call("sprintf", {test::str(item), test::num(x)});
      auto r = test::run_captured([&] { text(e); });
      EXPECT_TRUE(r.aborted);
      std::string want =
          std::string(" is out of range for format \"") + item + "\".\n";
      EXPECT_NE(r.err.find(want), std::string::npos) << r.err;
    }
  }
  // Unsigned conversions take values up to the largest unsigned long.
  EXPECT_EQ(text(call("sprintf", {test::str("%x"), test::num(1.5e19)})),
            "d02ab486cedc0000");
  EXPECT_EQ(text(call("sprintf", {test::str("%u"), test::num(-3)})),
            "18446744073709551613");
  // The option's text stands for the item instead.
  format_range_errmsg = "<out>";
  EXPECT_EQ(text(call("sprintf", {test::str("[%5d]"), test::num(1e30)})),
            "[<out>]");
  format_range_errmsg = "";
}

TEST_F(Builtin, LongItemsAndLongOutput) {
  // Output of any length is kept whole.
  EXPECT_EQ(text(call("sprintf", {test::str("%1500d"), test::num(7)})).size(),
            1500u);
  std::string long_arg(5000, 'y');
  EXPECT_EQ(
      text(call("sprintf", {test::str("<%s>"), test::str(long_arg.c_str())})),
      "<" + long_arg + ">");
  // An item of more than 64 characters is refused as a bug.
  std::string item = "%" + std::string(70, '1') + "d";
  expr* e = call("sprintf", {test::str(item.c_str()), test::num(1)});
  auto r = test::run_captured([&] { text(e); });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Bug: format item %1111111111111111111... too long"),
            std::string::npos)
      << r.err;
}

TEST_F(Builtin, FunctionWithoutRoutine) {
  function* f = new function;
  xrecomp_constr(f, Symbol("nolib", 0), nullptr, nullptr, DK_FUNCTION, 0);
  expr* e =
      test::bind(new_expr(opword(OPFUNC, EF_NUMERIC), static_cast<xnode*>(f),
                          new_expr(opword(OPARG), nullptr, test::num(1))));
  auto r = test::run_captured([&] { eval_num(e, tva); });
  EXPECT_TRUE(r.aborted);
  EXPECT_NE(r.err.find("Can't invoke unavailable function nolib.\n"),
            std::string::npos)
      << r.err;
}

// The argument record sorts the arguments into numbers and strings; a
// member that is a number goes with the numbers.
TEST_F(Builtin, ArgumentRecord) {
  arglgen g;
  expr* args = test::chain({new_expr(opword(OPARG), nullptr, test::num(1)),
                            new_expr(opword(OPARG), nullptr, test::str("a")),
                            new_expr(opword(OPARG), nullptr, test::numlit(2)),
                            new_expr(opword(OPARG), nullptr, test::lit("b"))});
  f_setup(&g, args, print_func, tva);
  ASSERT_EQ(g.al.n, 4);
  EXPECT_EQ(g.al.nr, 2);
  EXPECT_EQ(g.al.nsin, 2);
  EXPECT_EQ(g.al.at[0], 0);
  EXPECT_EQ(g.al.at[1], -1);
  EXPECT_EQ(g.al.at[2], 1);
  EXPECT_EQ(g.al.at[3], -2);
  EXPECT_EQ(g.al.ra[1], 2);
  EXPECT_STREQ(g.al.sa[0], "a");
  EXPECT_STREQ(g.al.sa[1], "b");
  arglzap(&g);
  EXPECT_EQ(g.al.sa, nullptr);
}

}  // namespace
}  // namespace vexo
