// Membership, set relations, card and ord0, written in model text and
// evaluated through the parser and the compiler.
#include "eval/settest.h"

#include <gtest/gtest.h>

#include "eval/defvalue_fixture.h"
#include "eval/set.h"

namespace vexo {
namespace {

using SetTest = test::DefValueTest;

TEST_F(SetTest, Membership) {
  expect_values({
      {":= if 2 in 1..3 then 1 else 0", "1"},
      {":= if 4 in 1..3 then 1 else 0", "0"},
      {":= if 4 not in 1..3 then 1 else 0", "1"},
      {":= if \"b\" in {\"a\", \"b\"} then 1 else 0", "1"},
      // A number and a string are never the same member.
      {":= if \"2\" in 1..3 then 1 else 0", "0"},
      {":= if (1, \"x\") in {(1, \"x\"), (2, \"y\")} then 1 else 0", "1"},
      {":= if (2, \"x\") in {(1, \"x\"), (2, \"y\")} then 1 else 0", "0"},
      {":= if (2, \"y\") not in {(1, \"x\"), (2, \"y\")} then 1 else 0", "0"},
      // The tuple's cells hold the symbols of each component: a number
      // computed for one component stays while the next is interned.
      {":= sum {i in 1..3, j in 1..3: (i * 10 + j, j) in {(12, 2), (33, 3)}} 1",
       "2"},
  });
}

TEST_F(SetTest, WithinAndContains) {
  expect_values({
      // An empty set is within any set, and any set contains it.
      {":= if 1..0 within {\"a\"} then 1 else 0", "1"},
      {":= if 1..0 not within {\"a\"} then 1 else 0", "0"},
      {":= if {\"a\"} contains 1..0 then 1 else 0", "1"},
      {":= if 1..3 within 0..5 then 1 else 0", "1"},
      {":= if 1..7 within 0..5 then 1 else 0", "0"},
      {":= if 0..5 contains 2..4 then 1 else 0", "1"},
      {":= if 0..5 not contains 2..6 then 1 else 0", "1"},
      {":= if {i in 1..9: i mod 3 = 0} within 3..9 by 3 then 1 else 0", "1"},
  });
}

TEST_F(SetTest, CardAndOrd0) {
  expect_values({
      {":= card(1..5)", "5"},
      {":= card(1..0)", "0"},
      {":= card({i in 1..10: i mod 2 = 0})", "5"},
      {":= card({(1, 2), (2, 1)})", "2"},
      {":= ord0(3, 1..5)", "3"},
      {":= ord0(1, 1..5)", "1"},
      // A member that is absent is at position 0.
      {":= ord0(7, 1..5)", "0"},
      {":= ord0(2.5, 1..5)", "0"},
      {":= ord0(30, 10..50 by 10)", "3"},
  });
}

// A class that knows a member is there but not where: ord0 finds its place
// among the generated members, never giving -1.
TEST_F(SetTest, Ord0OfAMemberWithoutAKnownPosition) {
  model("param p := ord0(30, 10..50 by 10);\n");
  compile_start();
  mri(&def("p"), 1);
  TVA* t = compile_end(nullptr);
  // The ord0 node: the definition, or the computation its value node
  // keeps.
  expr* e = def("p");
  if (opcode(e) >= OP_VALUE0 && opcode(e) < OP_REWRITE0) e = e->L.e;
  ASSERT_EQ(opcode(e), OPORD0);
  set* s = e->R.e->R.s;
  ASSERT_EQ(s->sclass, SC_RANGE);
  static int asked;
  asked = 0;
  s->in = [](set*, symbol**, TVA*) {
    ++asked;
    return MEMBER_NO_ORD;
  };
  EXPECT_EQ(eval_num(def("p"), t), 3);
  EXPECT_EQ(asked, 1);
  del_tva(t);
}

// A subscript's position among the members that have data.
TEST_F(SetTest, LookupOfASubscriptAmongTheMembersWithData) {
  model(
      "param b {1..9}; param c {1..2, {\"x\", \"y\"}};\n"
      "param q := b[3] + b[9] + c[2, \"x\"];\n"
      "data;\n"
      "param b := 1 5 3 7 4 2;\n");
  compile_start();
  mri(&def("q"), 1);
  TVA* t = compile_end(nullptr);
  struct lookups : test::tree_walk {
    std::vector<expr*> found;
    void at(expr* e) override {
      if (opcode(e) == OPLOOKUP) found.push_back(e);
    }
  } w;
  w.node(def("q"));
  ASSERT_EQ(w.found.size(), 3u);
  std::vector<int64_t> got;
  for (expr* e : w.found) got.push_back(eval(e, t).i);
  // b's data hold 1, 3, 4 in that order; 9 has none; c has no data yet.
  EXPECT_EQ(got, (std::vector<int64_t>{1, NOT_MEMBER, NOT_MEMBER}));
  del_tva(t);
}

}  // namespace
}  // namespace vexo
