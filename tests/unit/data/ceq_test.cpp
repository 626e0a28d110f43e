// Column statements: several params and a row-label set from one table,
// default symbols per column, defaults for every column, dotted columns of
// variables, patterns, a single column read as a param statement, tables
// wider than any fixed buffer, and the header and row messages.
#include "data/ceq.h"

#include <gtest/gtest.h>

#include <string>

#include "data/data_fixture.h"
#include "data/values.h"
#include "frontend/expr.h"
#include "frontend/suffix.h"
#include "instance/sufdecl.h"

namespace vexo {
namespace {

using test::count;

class Column : public test::DataTest {};

TEST_F(Column, OneTableFillsASetAndSeveralParams) {
  quiet(
      "set S; param p {S}; param q {S}; param r {S} symbolic;\n"
      "data;\n"
      "param: S: p q r := a 1 2 x b 3 . 'y z' c . 6 .;\n");
  EXPECT_EQ(members("S"), "a b c");
  EXPECT_EQ(num("p", {"a"}), 1);
  EXPECT_EQ(num("q", {"a"}), 2);
  EXPECT_EQ(num("p", {"b"}), 3);
  EXPECT_FALSE(has("q", {"b"}));
  EXPECT_FALSE(has("p", {"c"}));
  EXPECT_EQ(num("q", {"c"}), 6);
  EXPECT_EQ(text("r", {"a"}), "x");
  EXPECT_EQ(text("r", {"b"}), "y z");
  EXPECT_FALSE(has("r", {"c"}));
  // Column data count as the params' data.
  std::string err = run("data; param p := d 1;\n");
  EXPECT_EQ(count(err, "data for p already read"), 1) << err;
}

TEST_F(Column, DefaultsPatternsAndTwoSubscripts) {
  std::string err =
      run("set A; set B; param p {A,B} default 7; param q {A,B};\n"
          "param u {A,B}; param v {A,B};\n"
          "data;\n"
          "param default 0: p q := a x 1 2 b y 3 4;\n"
          "param: u[*,x] v[*,y] := a 5 6;\n");
  EXPECT_EQ(count(err, "default overrides that in model"), 1) << err;
  EXPECT_EQ(decl<param>("p")->dflt->L.d, 0);
  EXPECT_EQ(decl<param>("q")->dflt->L.d, 0);
  EXPECT_EQ(num("q", {"b", "y"}), 4);
  EXPECT_EQ(num("u", {"a", "x"}), 5);
  EXPECT_EQ(num("v", {"a", "y"}), 6);
}

TEST_F(Column, ASingleColumnGoesOnAsAParamStatement) {
  quiet(
      "set A; param p {A,A};\n"
      "data;\n"
      "param: p := [a,*] a 1 b 2 [b,*] a 3;\n");
  EXPECT_EQ(num("p", {"a", "b"}), 2);
  EXPECT_EQ(num("p", {"b", "a"}), 3);
}

TEST_F(Column, DottedColumnsOfVariables) {
  quiet(
      "set S; var x {S}; var y {S}; suffix mysuf;\n"
      "data;\n"
      "param: x.init x.mysuf y := a 1 2 3 b 4 . .;\n");
  xnode2* x = decl("x");
  EXPECT_EQ(num("x", {"a"}), 1);
  EXPECT_EQ(num("x", {"b"}), 4);
  EXPECT_EQ(num("y", {"a"}), 3);
  int symbolic;
  int mysuf = getsuf("mysuf", &symbolic)->classnum;
  sufvals* s = sufv_find(x, mysuf);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->v[member(x, {"a"})], 2);
  EXPECT_EQ(s->v[member(x, {"b"})], 0);
  // Dotted data are not plain data.
  quiet("data; param x.mysuf := c 9;\n");
  int64_t c = member(x, {"c"});
  ASSERT_GE(c, 0);
  EXPECT_EQ(sufv_find(x, mysuf)->v[c], 9);
  ASSERT_NE(x->stat, nullptr);
  EXPECT_EQ(x->stat[c], MS_NOVALUE) << c << " " << x->nvals;
  EXPECT_FALSE(x->stat[member(x, {"a"})] & MS_NOVALUE);
}

TEST_F(Column, WideTablesHaveNoColumnLimit) {
  // More columns than a fixed column buffer of 1,024 entries would hold.
  constexpr int N = 1500;
  std::string model = "set S;\n", head = "param: S:", row = " r";
  for (int i = 0; i < N; ++i) {
    model += "param p" + std::to_string(i) + " {S};\n";
    head += " p" + std::to_string(i);
    row += " " + std::to_string(i);
  }
  quiet(model + "data;\n" + head + " :=" + row + ";\n");
  EXPECT_EQ(members("S"), "r");
  EXPECT_EQ(num("p0", {"r"}), 0);
  EXPECT_EQ(num("p1499", {"r"}), 1499);
}

TEST_F(Column, HeaderAndRowMessages) {
  std::string err =
      run("set S; set T dimen 2; param p {S}; param q {S}; param s;\n"
          "param w {S,S}; param v {S}; param z {S};\n"
          "data;\n"
          "set S := a;\n"
          "param: S: p := b 1;\n"
          "param: s := 1;\n"
          "param: T: p := a 1;\n"
          "param: p w := a 1 2;\n"
          "param: p q;\n"
          "param: := a;\n"
          "param: p S: q := a 1;\n"
          "param: q v := a 1 2 b 3 x;\n"
          "param: v[a,*] := 1;\n");
  for (const char* m :
       {"set S already defined", "s is not a subscripted param",
        "T has dimen 2 but p needs 1 subscript(s)",
        "p needs 1 subscript(s), w needs 2", "no := between param : and ;",
        "no param names between : and :=",
        "only one set name allowed between colons",
        "v['b'] must be numeric, not 'x'", "Wrong size pattern"})
    EXPECT_EQ(count(err, m), 1) << m << "\n" << err;
  // The row read before the error stays.
  EXPECT_EQ(num("q", {"a"}), 1);
  EXPECT_EQ(num("v", {"a"}), 2);
  EXPECT_EQ(num("q", {"b"}), 3);
  std::string err2 = run("data; param: z := c;\n");
  EXPECT_EQ(count(err2,
                  "1 item(s) missing in last line of table, which "
                  "starts with \"c\""),
            1)
      << err2;
}

}  // namespace
}  // namespace vexo
