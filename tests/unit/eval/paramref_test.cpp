// References to parameters: the values data gave, members computed from
// the default and kept, and the errors of references.
#include "eval/paramref.h"

#include <gtest/gtest.h>

#include "compiler/compdecl.h"
#include "data/values.h"
#include "eval/refs_fixture.h"
#include "frontend/paramdcl.h"

namespace vexo {
namespace {

using Params = test::RefsTest;

TEST_F(Params, DataAreWhatReferencesReturn) {
  load(
      "param n; param a{1..3} default 7; param d{1..3};\n"
      "param s symbolic; param q{1..3} symbolic default 'none';\n"
      "data;\n"
      "param n := 5; param a := 2 20; param d default 4 := 1 1;\n"
      "param s := abc; param q := 1 'x y' 2 12;\n");
  struct row {
    const char* expr;
    const char* value;
  };
  for (const row& r :
       {row{"n", "5"}, row{"a[2]", "20"}, row{"a[1]", "7"}, row{"d[1]", "1"},
        row{"d[3]", "4"}, row{"n * a[2] + d[3]", "104"}})
    EXPECT_EQ(value(r.expr), r.value) << r.expr << "\n" << err();
  for (const row& r : {row{"s", "abc"}, row{"q[1]", "x y"}, row{"q[2]", "12"},
                       row{"q[3]", "none"}, row{"q[1] & s", "x yabc"}})
    EXPECT_EQ(svalue(r.expr), r.value) << r.expr << "\n" << err();
  // A number given to a symbolic param is the number.
  EXPECT_EQ(value("q[2] + 1"), "13");
}

TEST_F(Params, MembersWithoutDataAreComputedOnceAndKept) {
  load(
      "param c{i in 1..4} default 10 * i, <= 25;\n"
      "data; param c := 2 5;\n");
  double failed = check_failures_count();
  // c[1] and c[3] are computed, c[3] fails its check once.
  EXPECT_EQ(value("c[1] + c[3] + c[1] + c[2]"), "55");
  EXPECT_EQ(check_failures_count(), failed + 1);
  param* c = decl<param>("c");
  ASSERT_EQ(c->nvals, 3);
  symbol* two = Number(2);
  int64_t k = set_lookup(c->dindex, &two);
  ASSERT_GE(k, 0);
  EXPECT_EQ(static_cast<double*>(c->vals)[k], 5);
  for (int i = 0; i < c->nvals; ++i)
    EXPECT_EQ((c->stat[i] & MS_COMPUTED) != 0, i != k) << i;
  // A member referred to in a loop whose look-up is kept from before it
  // was computed is computed once all the same.
  EXPECT_EQ(value("sum {i in 1..3} c[4]"), "120");
  EXPECT_EQ(check_failures_count(), failed + 2);
  // Compiling the declarations again drops the computed members; the data
  // stay.
  compile();
  ASSERT_EQ(c->nvals, 1);
  EXPECT_EQ(set_lookup(c->dindex, &two), 0);
  EXPECT_EQ(static_cast<double*>(c->vals)[0], 5);
  EXPECT_EQ(value("c[1]"), "10");
}

TEST_F(Params, ErrorsNameTheMember) {
  load(
      "param a{1..3} default 7; param b{1..3}; param z;\n"
      "param e{i in 1..2} default b[i];\n"
      "param t{1..2} symbolic; param u{i in 1..2} symbolic default t[i];\n");
  struct row {
    const char* expr;
    const char* err;
  };
  for (const row& r :
       {row{"a[4]", "\tinvalid subscript a[4]\n"},
        row{"a['x']", "\tinvalid subscript a['x']\n"},
        row{"b[2]", "\tno value for b[2]\n"}, row{"z", "\tno value for z\n"},
        row{"e[2]", "error during evaluation of e[2]:\n\tno value for b[2]\n"},
        // The member being computed is named only while it is computed.
        row{"z + 1", "\tno value for z\n"}})
    EXPECT_EQ(value(r.expr), r.err) << r.expr;
  // A symbolic member's computation names the param alone.
  EXPECT_EQ(svalue("u[1]"),
            "errror during evaluation of u:\n\tno value for t[1]\n");
}

TEST_F(Params, ReadersReachTheValues) {
  load(
      "param a{i in 1..3} default i * i; param s{1..2} symbolic default 'v';\n"
      "data; param a := 1 10; param s := 2 w;\n");
  compile();
  TVA* t = new_tva();
  symbol* sub[3] = {Number(1), Number(2), Number(3)};
  EXPECT_EQ(par_value(decl<param>("a"), &sub[0], t), 10);
  EXPECT_EQ(par_value(decl<param>("a"), &sub[2], t), 9);
  symval* v = spar_value(decl<param>("s"), &sub[1], t);
  EXPECT_STREQ(v->str ? v->str->text() : v->sym->name, "w");
  v = spar_value(decl<param>("s"), &sub[0], t);
  EXPECT_STREQ(v->str ? v->str->text() : v->sym->name, "v");
  del_tva(t);
}

}  // namespace
}  // namespace vexo
