// Set and param statements of data mode: lists, templates, "(tr)" and ":"
// tables, default symbols, indexed sets, defaults given in data, and the
// messages of each, checked on the stored members and values.
#include "data/spdata.h"

#include <gtest/gtest.h>

#include "data/data_fixture.h"
#include "data/values.h"
#include "frontend/expr.h"

namespace vexo {
namespace {

using test::count;

class SetParam : public test::DataTest {};

TEST_F(SetParam, ListsAndTablesFillSetsAndParams) {
  quiet(
      "set S; param p {S}; param c {S,S};\n"
      "data;\n"
      "set S := a b c;\n"
      "param p := a 1 b 2.5 c 3;\n"
      "param c: a b := a 1 2 b 3 . ;\n");
  EXPECT_EQ(members("S"), "a b c");
  EXPECT_EQ(num("p", {"b"}), 2.5);
  EXPECT_EQ(num("c", {"b", "a"}), 3);
  EXPECT_EQ(num("c", {"a", "b"}), 2);
  EXPECT_FALSE(has("c", {"b", "b"}));
  EXPECT_EQ(decl("c")->nvals, 3);
}

TEST_F(SetParam, NumbersStringsAndCommas) {
  quiet(
      "set S; param q; param r {S}; param w symbolic; param v {S} symbolic;\n"
      "data;\n"
      "set S := 1, 2.0 'b' \"c\";\n"
      "param q := 1d3;\n"
      "param r := 1 -1.5e1, 2 0x10 b .5;\n"
      "param w := 'it''s';\n"
      "param v := 1 a 2 17 b \"x y\";\n");
  // Numbers are numbers whatever their text; quoted names are names.
  EXPECT_EQ(members("S"), "1 2 b c");
  EXPECT_EQ(num("q"), 1000);
  EXPECT_EQ(num("r", {"1"}), -15);
  EXPECT_EQ(num("r", {"2"}), 16);
  EXPECT_EQ(num("r", {"b"}), 0.5);
  EXPECT_EQ(text("w"), "it's");
  EXPECT_EQ(text("v", {"1"}), "a");
  EXPECT_EQ(text("v", {"2"}), "#17");
  EXPECT_EQ(text("v", {"b"}), "x y");
}

TEST_F(SetParam, MissingItemsAndDuplicates) {
  std::string err =
      run("set T dimen 2; set U dimen 2; set S; param p {S};\n"
          "data;\n"
          "set T := a b c;\n"
          "set U := a b c d;\n"
          "set S := a b a c;\n"
          "param p := a 1 b 2 a 3 c;\n");
  EXPECT_EQ(count(err,
                  "1 item(s) missing in last line of table, which "
                  "starts with \"c\""),
            2)
      << err;
  EXPECT_EQ(count(err, "duplicate member a for set S"), 1) << err;
  EXPECT_EQ(count(err, "p['a'] already defined"), 1) << err;
  EXPECT_EQ(members("T"), "a,b");
  EXPECT_EQ(members("U"), "a,b c,d");
  // The rest of the list is read after a duplicate.
  EXPECT_EQ(members("S"), "a b c");
  EXPECT_EQ(num("p", {"a"}), 1);
  EXPECT_EQ(num("p", {"b"}), 2);
  EXPECT_FALSE(has("p", {"c"}));
  EXPECT_EQ(rc_ & 2, 2);
}

TEST_F(SetParam, ALoneItemNamesWhatIsNeeded) {
  std::string err =
      run("set T dimen 2; set S; param p {S};\n"
          "data;\n"
          "set T := a;\n"
          "param p := 5;\n");
  EXPECT_EQ(count(err, "members of T need 2 components"), 1) << err;
  EXPECT_EQ(count(err, "need 1 subscript(s) and a number"), 1) << err;
}

TEST_F(SetParam, DataForAParamAreReadOnce) {
  std::string err =
      run("set S; param p {S}; param s;\n"
          "data;\n"
          "set S := a b;\n"
          "param p := a 1;\n"
          "param p := b 2;\n"
          "param s := 4;\n"
          "param s := 5;\n"
          "data;\n"
          "param p := b 3;\n");
  EXPECT_EQ(count(err, "data for p already read"), 2) << err;
  EXPECT_EQ(count(err, "data for s already read"), 1) << err;
  EXPECT_EQ(num("p", {"a"}), 1);
  EXPECT_FALSE(has("p", {"b"}));
  EXPECT_EQ(num("s"), 4);
  // A set's new data replace the old.
  quiet("data; set S := c;\n");
  EXPECT_EQ(members("S"), "c");
}

TEST_F(SetParam, TransposedTablesAndTemplates) {
  quiet(
      "set A; set B; param c {A,B}; param d {A,B}; set T dimen 2;\n"
      "set U dimen 3; param e {A,B,A};\n"
      "data;\n"
      "set A := a b; set B := x y z;\n"
      "param c (tr): a b := x 1 2 y 3 4 z 5 6;\n"
      "param d := [*,x] a 1 b 2 [a,*] y 3 z 4 [b,z] 7, [b,y] .;\n"
      "set T := (tr) : a b := x + - y - + ;\n"
      "set U := (a,*,*) x y z w (b,x,x);\n"
      "param e := [a,*,*]: a b := x 1 2 y 3 4;\n");
  EXPECT_EQ(num("c", {"a", "x"}), 1);
  EXPECT_EQ(num("c", {"b", "x"}), 2);
  EXPECT_EQ(num("c", {"b", "z"}), 6);
  EXPECT_EQ(num("d", {"a", "x"}), 1);
  EXPECT_EQ(num("d", {"b", "x"}), 2);
  EXPECT_EQ(num("d", {"a", "z"}), 4);
  EXPECT_EQ(num("d", {"b", "z"}), 7);
  EXPECT_FALSE(has("d", {"b", "y"}));
  EXPECT_EQ(members("T"), "a,x b,y");
  EXPECT_EQ(members("U"), "a,x,y a,z,w b,x,x");
  EXPECT_EQ(num("e", {"a", "x", "b"}), 2);
  EXPECT_EQ(num("e", {"a", "y", "a"}), 3);
}

TEST_F(SetParam, HeadersOfSeveralSections) {
  std::string err =
      run("set A; param e {A,A,A}; param f {A,A,A}; param g {A,A,A};\n"
          "param h {A,A};\n"
          "data;\n"
          "set A := a b;\n"
          "param e := [*,:,:] : a b : b a := a 1 2 b 3 4;\n"
          "param f := [*,:,:] : a b := a 1 2;\n"
          "param g := [*,:,:] : a b : a := a 1 2;\n"
          "param h (tr) [*,:]: a b := a 1 2;\n");
  EXPECT_EQ(num("e", {"a", "a", "b"}), 1);
  EXPECT_EQ(num("e", {"a", "b", "a"}), 2);
  EXPECT_EQ(num("e", {"b", "b", "a"}), 4);
  EXPECT_EQ(count(err, "Expected 2 : ... sections; found 1"), 1) << err;
  EXPECT_EQ(count(err, "irregular : ... : header"), 1) << err;
  EXPECT_EQ(num("h", {"a", "b"}), 2);
}

TEST_F(SetParam, DefaultSymbols) {
  std::string err =
      run("set S; param p {S,S}; param q {S,S};\n"
          "data;\n"
          "set S := a b;\n"
          "defaultsym '-';\n"
          "param p: a b := a 1 '-' b - 4;\n"
          "nodefaultsym;\n"
          "param q: a b := a 1 . b 3 4;\n");
  EXPECT_EQ(num("p", {"a", "a"}), 1);
  EXPECT_FALSE(has("p", {"a", "b"}));
  // The quoted form is not the bare one.
  EXPECT_EQ(count(err, "expected ; '-' or number"), 1) << err;
  // After nodefaultsym "." is an ordinary word.
  EXPECT_EQ(count(err, "expected ;  or number"), 1) << err;
  EXPECT_EQ(num("q", {"a", "a"}), 1);
}

TEST_F(SetParam, IndexedSets) {
  std::string err =
      run("set I; set A {I}; set B {I,I} dimen 2;\n"
          "data;\n"
          "set I := x y;\n"
          "set A[x] := a b;\n"
          "set A['y'] := ;\n"
          "set A[x] := c;\n"
          "set B[x,y] := (tr): a b := c + + ;\n"
          "set A := a;\n"
          "set A[x,y] := a;\n");
  setdcl* a = decl<setdcl>("A");
  EXPECT_EQ(members(member_set(a, tuple({"x"}).data())), "a b");
  EXPECT_EQ(members(member_set(a, tuple({"y"}).data())), "");
  EXPECT_EQ(count(err, "set A['x'] already defined"), 1) << err;
  EXPECT_EQ(members(member_set(decl<setdcl>("B"), tuple({"x", "y"}).data())),
            "a,c b,c");
  EXPECT_EQ(count(err, "expected ["), 1) << err;
  EXPECT_EQ(count(err, "A needs 1, not 2 subscripts"), 1) << err;
}

TEST_F(SetParam, DefaultsGivenInData) {
  std::string err =
      run("set S; param p {S}; param q {S} default 1; param s {S} symbolic;\n"
          "data;\n"
          "param p default 5 := a 1;\n"
          "param q := default 2 b 3;\n"
          "param s default zz;\n");
  param* p = decl<param>("p");
  ASSERT_NE(p->dflt, nullptr);
  EXPECT_EQ(opcode(p->dflt), OPNUM);
  EXPECT_EQ(p->dflt->L.d, 5);
  EXPECT_TRUE(p->dflags & DF_DATADFLT);
  EXPECT_EQ(num("p", {"a"}), 1);
  EXPECT_EQ(decl<param>("q")->dflt->L.d, 2);
  EXPECT_EQ(count(err, "default overrides that in model"), 1) << err;
  param* s = decl<param>("s");
  EXPECT_EQ(opcode(s->dflt), OPLIT);
  EXPECT_STREQ(s->dflt->L.sym->name, "zz");
}

TEST_F(SetParam, StatementsThatCannotTakeData) {
  std::string err =
      run("set S := {1}; param p := 3; param q {S}; var x := 1; set T;\n"
          "param u; param q2 {S}; param q3 {S};\n"
          "data;\n"
          "set S := 2;\n"
          "param p := 4;\n"
          "param x := 5;\n"
          "set q := a;\n"
          "param T := 1;\n"
          "param nope := 1;\n"
          "set T [a] := b;\n"
          "param u : a := 1;\n"
          "param q := a b;\n"
          "param q2 := [a;\n"
          "param q3 := (a);\n"
          "7;\n");
  for (const char* m :
       {"S was defined in the model.", "p was defined in the model.",
        "x has an initial value (:= expression) in the model.",
        "q is not a set",
        "T is not a param (or var or constraint or objective)",
        "nope is not a param (or var or constraint or objective)",
        "T is not a set of sets", "u is not subscripted", "expected number",
        "expected , * or ]", "expected (tr)",
        "expected set, param, [no]defaultsym or end"})
    EXPECT_EQ(count(err, m), 1) << m << "\n" << err;
}

}  // namespace
}  // namespace vexo
