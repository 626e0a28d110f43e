// Checks of parameter values and definitions through themselves (params
// and indexed sets).
#include "eval/pcheck.h"

#include <gtest/gtest.h>

#include "compiler/compdecl.h"
#include "data/values.h"
#include "eval/refs_fixture.h"
#include "eval/setops.h"
#include "eval/sets_fixture.h"
#include "frontend/dummy.h"
#include "frontend/paramdcl.h"
#include "session/loop.h"

namespace vexo {
namespace {

class Checks : public test::RefsTest {
 protected:
  void TearDown() override {
    eexit = 0;
    RefsTest::TearDown();
  }
  // The guard set of a param's self-referring definition.
  static set* guard(const char* name) {
    return decl<param>(name)->dflt->R.e->R.s;
  }
  static int copies(e_copy* c) {
    int n = 0;
    for (; c; c = c->next) ++n;
    return n;
  }
};

TEST_F(Checks, AFailedCheckNamesTheMemberAndCounts) {
  load(
      "param n; param lo;\n"
      "param a{i in 1..3} default 7 * i, >= 10, <= n;\n"
      "param x default -1, >= 0, integer;\n"
      "param s{1..2} symbolic default 'x', in {'y'};\n"
      "data; param n := 5; param lo := 2;\n");
  double failed = check_failures_count();
  // Both checks of a[1] fail: two reports, two failures counted; the
  // comparand that is no literal shows its value.
  EXPECT_EQ(value("a[1]"), "7");
  EXPECT_EQ(err(),
            "error during evaluation of a[1]:\n"
            "\tfailed check: param a[1] = 7\n"
            "\t\tis not >= 10;\n"
            "error during evaluation of a[1]:\n"
            "\tfailed check: param a[1] = 7\n"
            "\t\tis not <= 5\n"
            "\t\t-- not <= n;\n");
  EXPECT_EQ(check_failures_count(), failed + 2);
  EXPECT_EQ(value("a[2]"), "14");
  EXPECT_EQ(test::occurrences(err(), "failed check"), 1);
  EXPECT_EQ(check_failures_count(), failed + 3);
  EXPECT_EQ(value("x"), "-1");
  EXPECT_EQ(err(),
            "errror during evaluation of x:\n"
            "\tfailed check: param x = -1\n"
            "\t\tis not >= 0;\n");
  // Each command computes x again (its compilation drops computed values),
  // and checks it again.
  EXPECT_EQ(value("x + 0.5"), "-0.5");
  EXPECT_EQ(svalue("s[2]"), "x");
  EXPECT_EQ(err(),
            "errror during evaluation of s:\n"
            "\tfailed check: param s[2] = x\n"
            "\t\tis not in {y};\n");
  EXPECT_EQ(check_failures_count(), failed + 6);
}

TEST_F(Checks, FailuresCountTowardsTheErrorLimit) {
  load("param r{i in 1..4} := if i = 1 then -1 else r[i-1] - 1, >= 0;\n");
  eexit = 2;
  std::string e = value("r[4]");
  EXPECT_EQ(test::occurrences(e, "failed check"), 2) << e;
  EXPECT_NE(e.find("Bailing out after 2 warnings."), std::string::npos) << e;
  // The abandoned computation left no member in the guard.
  EXPECT_EQ(guard("r")->nmem, 0);
  eexit = 0;
  EXPECT_EQ(value("r[4]"), "-4");
  EXPECT_EQ(test::occurrences(err(), "failed check"), 4) << err();
  for (int i = 1; i <= 4; ++i)
    EXPECT_NE(err().find("failed check: param r[" + std::to_string(i) +
                         "] = -" + std::to_string(i)),
              std::string::npos)
        << err();
}

TEST_F(Checks, RecursiveParamEvaluatesEachMemberOnce) {
  load(
      "param n; param f{i in 1..n} := if i = 1 then 1 else i * f[i-1], "
      "<= 0;\n"
      "param w{i in 1..3} symbolic := if i = 1 then 'a' else w[i-1] & 'b';\n"
      "param c{i in 1..2000} := if i = 1 then 0 else c[i-1] + 1;\n"
      "data; param n := 6;\n");
  double failed = check_failures_count();
  EXPECT_EQ(value("f[5]"), "120");
  // Each member computed ran its check once.
  EXPECT_EQ(check_failures_count(), failed + 5);
  param* f = decl<param>("f");
  EXPECT_EQ(f->nvals, 5);
  EXPECT_EQ(guard("f")->nmem, 0);
  // The private copies wait on the free list for the next evaluation.
  int made = copies(static_cast<e_copy*>(f->dflt->R.e->L.p));
  EXPECT_GT(made, 0);
  EXPECT_EQ(value("f[6] + f[5]"), "840");
  EXPECT_EQ(check_failures_count(), failed + 11);
  EXPECT_EQ(svalue("w[3]"), "abb");
  EXPECT_EQ(value("c[2000]"), "1999");
}

TEST_F(Checks, DefinitionThroughItselfIsReported) {
  load(
      "param g{i in 1..3} := g[i] + 1;\n"
      "param h{i in 1..4} := if i = 4 then h[1] else h[i+1];\n"
      "param f{i in 1..3} := if i = 1 then 1 else i * f[i-1];\n"
      "set S{i in 1..4} := if i = 1 then {1} else S[i-1] union {i};\n"
      "set T{i in 1..3} := if i = 3 then T[1] else T[i+1] union {i};\n");
  const char* g2 =
      "error during recursive evaluation of g[2]:\n"
      "\tsorry, no implicit definitions: cannot evaluate g[2]\n";
  EXPECT_EQ(value("g[2]"), g2);
  // The guard was emptied: the same report again, not another.
  EXPECT_EQ(value("g[2]"), g2);
  EXPECT_EQ(value("h[2]"),
            "error during recursive evaluation of h[2]:\n"
            "\tsorry, no implicit definitions: cannot evaluate h[2]\n");
  EXPECT_EQ(guard("h")->nmem, 0);
  EXPECT_EQ(value("f[3]"), "6");
  EXPECT_EQ(value("card(T[2])"),
            "error during recursive evaluation of T[2]:\n"
            "\tsorry, no implicit definitions: cannot evaluate T[2]\n");
  EXPECT_EQ(decl<setdcl>("T")->cache->nmem, 0);
  // A recursive set: each member set computed once and kept.
  EXPECT_EQ(value("card(S[4]) + card(S[3])"), "7");
  setdcl* s = decl<setdcl>("S");
  EXPECT_EQ(s->msubs->nmem, 4);
  symbol* four = Number(4);
  EXPECT_EQ(test::members_of(subscr_genall(s, &four, nullptr), nullptr),
            "1 2 3 4");
  EXPECT_EQ(value("sum {j in S[4]} j"), "10");
}

TEST_F(Checks, SubscriptedSetsReachTheirData) {
  load(
      "set V{1..3}; set W{i in 1..3} default {i};\n"
      "data; set V[1] := a b; set W[2] := x y z;\n");
  EXPECT_EQ(value("card(V[1])"), "2");
  EXPECT_EQ(value("card(V[2])"), "\tno value for V[2]\n");
  EXPECT_EQ(value("card(W[2]) + card(W[3])"), "4");
  EXPECT_EQ(value("sum {j in W[3]} j"), "3");
}

}  // namespace
}  // namespace vexo
