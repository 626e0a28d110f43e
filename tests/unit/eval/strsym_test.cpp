// String, symbol and declaration-name functions, written in model text and
// evaluated through the parser and the compiler.
#include "eval/strsym.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "eval/defvalue_fixture.h"

namespace vexo {
namespace {

using StrSym = test::DefValueTest;

TEST_F(StrSym, CharactersAndTheirCodes) {
  expect_values({
      {"symbolic := char(65)", "A"},
      // Truncated toward zero, then cut to 16 bits.
      {":= ichar(char(65.9))", "65"},
      {":= ichar(char(65601))", "65"},
      {":= ichar(char(-1))", "0"},
      {":= ichar(char(-0.5))", "0"},
      {":= ichar(char(1e300))", "65535"},
      {":= ichar(char(233))", "233"},
      {":= ichar(char(8364))", "8364"},
      {":= ichar(\"\")", "0"},
      {":= ichar(\"Zebra\")", "90"},
      // The character of code 0 ends the text at once.
      {":= length(char(0))", "0"},
  });
}

TEST_F(StrSym, LengthCountsCharactersNotBytes) {
  expect_values({
      {":= length(\"\xc3\xa9\xc3\xa8\xc3\xaa\")", "3"},
      {":= length(char(233) & char(232) & char(234))", "3"},
      {":= length(char(8364))", "1"},
      {":= length(\"abc\")", "3"},
      {":= length(\"\")", "0"},
  });
}

TEST_F(StrSym, NumericPrefixes) {
  expect_values({
      {":= num0(\"12abc\")", "12"},
      {":= num0(\"abc\")", "0"},
      {":= num0(\"  -3.5e1x\")", "-35"},
      {":= num0(\"\")", "0"},
      {":= num0(\"7\")", "7"},
  });
}

TEST_F(StrSym, ConcatenationAndConversions) {
  model(
      "param p1 symbolic := \"a\" & char(66) & 3;\n"
      "param p2 symbolic := \"\" & 1 & 2.5 & \"\" & 1e30;\n"
      "param p3 := length(\"ab\" & \"\" & \"cde\");\n"
      "param p4 := num0(1/4 & \"\");\n");
  EXPECT_EQ(value("p1"), "aB3");
  EXPECT_EQ(value("p2"), "12.51e+30");
  EXPECT_EQ(value("p3"), "5");
  EXPECT_EQ(value("p4"), "0.25");
}

TEST_F(StrSym, DeclarationsByName) {
  model(
      "set S; set T dimen 2; set U {S} dimen 3;\n"
      "param p; param q {S}; var x {S, T};\n"
      "s.t. c {i in S}: x[i, i, i] >= 0;\n"
      "table tb IN: S <- [i], q;\n"
      "table tu {k in 1..2, l in 1..3} OUT: [i], q;\n"
      "environ en; environ eni {1..3};\n");
  // Each query is its own param, after the declarations it asks about.
  model(
      "param a1 := arity(\"S\"); param a2 := arity(\"T\");\n"
      "param a3 := arity(\"U\"); param a4 := arity(\"p\");\n"
      "param a5 := arity(\"nosuch\");\n"
      "param i1 := indexarity(\"p\"); param i2 := indexarity(\"q\");\n"
      "param i3 := indexarity(\"x\"); param i4 := indexarity(\"c\");\n"
      "param i5 := indexarity(\"S\"); param i6 := indexarity(\"U\");\n"
      "param i7 := indexarity(\"nosuch\"); param i8 := indexarity(\"sum\");\n"
      "param t1 := tableindexarity(\"nosuch\");\n"
      "param t2 := tableindexarity(\"q\");\n"
      "param t3 := tableindexarity(\"tb\");\n"
      "param t4 := tableindexarity(\"tu\");\n"
      "param e1 := environindexarity(\"nosuch\");\n"
      "param e2 := environindexarity(\"en\");\n"
      "param e3 := environindexarity(\"eni\");\n"
      "param e4 := environindexarity(\"Initial\");\n");
  const std::pair<const char*, const char*> rows[] = {
      {"a1", "1"}, {"a2", "2"},  {"a3", "3"},  {"a4", "0"},  {"a5", "0"},
      {"i1", "0"}, {"i2", "1"},  {"i3", "3"},  {"i4", "1"},  {"i5", "0"},
      {"i6", "1"}, {"i7", "-1"}, {"i8", "-1"}, {"t1", "-1"}, {"t2", "-1"},
      {"t3", "0"}, {"t4", "2"},  {"e1", "-1"}, {"e2", "0"},  {"e3", "1"},
      {"e4", "0"},
  };
  for (auto& r : rows) EXPECT_EQ(value(r.first), r.second) << r.first;
  // Asking never declares the name.
  symbol* s = Symbol0("nosuch");
  EXPECT_TRUE(!s || !s->binding);
}

TEST_F(StrSym, ProbabilityOperatorsWarnAndGiveZero) {
  compile_start();
  TVA* t = compile_end(nullptr);
  for (int op : {OPPROB, OPPROBSUB}) {
    expr* n = new_expr(opword(op));
    n->op = functab[op];
    union eval_result v {};
    auto r = test::run_captured([&] { v = n->op(n, t); });
    EXPECT_FALSE(r.aborted);
    std::string name = op == OPPROB ? "f_OPPROB" : "f_OPPROBSUB";
    EXPECT_NE(r.err.find(name + " not yet implemented"), std::string::npos)
        << r.err;
    EXPECT_EQ(v.i, 0);
    free_expr(n);
  }
  del_tva(t);
}

}  // namespace
}  // namespace vexo
